// Feeds arbitrary value trees to the record conversions. The bytes are read as a small program
// that builds a BindingProperty of any kind (enums, blobs, NaN and out-of-range numbers, texts
// of every shape), so every acceptance rule is reached. Aborts when reading such a value fails
// without a message, when a record read successfully doesn't survive native -> value ->
// native, or when writing the record as JSON straight from the native record gives another
// text than writing the value converted from it.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "codec/json_writer.h"
#include "types/native_json.h"
#include "types/record_description.h"

namespace Vane::fuzz_types {

// 0 is registered: an empty element of a vector of enums stays default, that is 0.
enum class Shade : int16_t { kUnset = 0, kDark = -1, kLight = 1, kNeon = 300 };

struct Leaf {
    std::string label;
    Shade shade = Shade::kLight;
    uint8_t small = 0;

    bool operator==(const Leaf&) const = default;
};

struct Root {
    bool flag = false;
    int8_t i8 = 0;
    uint16_t u16 = 0;
    int32_t i32 = 0;
    uint32_t u32 = 0;
    int64_t i64 = 0;
    uint64_t u64 = 0;
    float f32 = 0.0f;
    double f64 = 0.0;
    std::string text;
    Shade shade = Shade::kDark;
    Leaf leaf;
    std::vector<Leaf> leaves;
    std::vector<Shade> shades;
    std::vector<bool> bits;
    std::vector<std::string> texts;
    std::map<std::string, uint64_t> counts;
    std::unordered_map<std::string, Leaf> named;
    BindingProperty extra;
    BindingBlob blob;

    bool operator==(const Root&) const = default;
};

}  // namespace Vane::fuzz_types

namespace Vane {

using fuzz_types::Leaf;
using fuzz_types::Root;
using fuzz_types::Shade;

template <>
struct TypeDescription<Shade> {
    static void Describe(RecordBuilder<Shade>& r) {
        r.Name("Shade");
        r.Enumerator("Unset", Shade::kUnset);
        r.Enumerator("Dark", Shade::kDark);
        r.Enumerator("Light", Shade::kLight);
        r.Enumerator("Neon", Shade::kNeon);
    }
};

template <>
struct TypeDescription<Leaf> {
    static void Describe(RecordBuilder<Leaf>& r) {
        r.Name("Leaf");
        r.Field("label", &Leaf::label);
        r.Field("shade", &Leaf::shade, kFieldRequired);
        r.Field("small", &Leaf::small, kFieldOmitEmpty);
    }
};

template <>
struct TypeDescription<Root> {
    static void Describe(RecordBuilder<Root>& r) {
        r.Name("Root");
        r.Field("flag", &Root::flag);
        r.Field("i8", &Root::i8);
        r.Field("u16", &Root::u16);
        r.Field("i32", &Root::i32);
        r.Field("u32", &Root::u32);
        r.Field("i64", &Root::i64);
        r.Field("u64", &Root::u64);
        r.Field("f32", &Root::f32);
        r.Field("f64", &Root::f64);
        r.Field("text", &Root::text);
        r.Field("shade", &Root::shade);
        r.Field("leaf", &Root::leaf);
        r.Field("leaves", &Root::leaves);
        r.Field("shades", &Root::shades);
        r.Field("bits", &Root::bits);
        r.Field("texts", &Root::texts);
        r.Field("counts", &Root::counts);
        r.Field("named", &Root::named);
        r.Field("extra", &Root::extra);
        r.Field("blob", &Root::blob);
    }
};

namespace {

// Field names (and a few others) for member names, so structures hit fields often.
const char* const kNames[] = {"flag",   "i8",     "u16",   "i32",   "u32",    "i64",
                              "u64",    "f32",    "f64",   "text",  "shade",  "leaf",
                              "leaves", "shades", "bits",  "texts", "counts", "named",
                              "extra",  "blob",   "label", "small", "other",  ""};
const char* const kTexts[] = {"",
                              "0",
                              "1",
                              "-1",
                              "true",
                              "false",
                              "0x10",
                              "010",
                              " 7",
                              "7 ",
                              "12abc",
                              "Dark",
                              "Neon",
                              "neon",
                              "300",
                              "1e999",
                              "nan",
                              "-0",
                              "1.5",
                              "9223372036854775808",
                              "18446744073709551616",
                              "-9223372036854775809"};

class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool AtEnd() const { return at_ >= size_; }

    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

    template <class T>
    T Raw() {
        T value{};
        const size_t count = std::min(sizeof(T), size_ - std::min(at_, size_));
        std::memcpy(&value, data_ + std::min(at_, size_), count);
        at_ += count;
        return value;
    }

    std::string_view Bytes() {
        const size_t length = std::min<size_t>(Byte() % 24, size_ - std::min(at_, size_));
        std::string_view text(reinterpret_cast<const char*>(data_ + at_), length);
        at_ += length;
        return text;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

void Build(Reader& in, BindingProperty& out, int depth, uint32_t shadeId) {
    const uint8_t op = in.Byte();
    switch (op % 13) {
        case 0:
            out.Clear();
            break;
        case 1:
            out.SetBool(in.Byte() & 1);
            break;
        case 2:
            out.SetSigned(in.Raw<int64_t>());
            break;
        case 3:
            out.SetUnsigned(in.Raw<uint64_t>());
            break;
        case 4:
            out.SetFloat(in.Raw<double>());
            break;
        case 5:
            out.SetString(kTexts[in.Byte() % std::size(kTexts)]);
            break;
        case 6:
            out.SetString(in.Bytes());
            break;
        case 7: {
            const std::string_view bytes = in.Bytes();
            out.SetBlob({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
            break;
        }
        case 8:
            out.SetEnum(in.Raw<int16_t>(), in.Byte() & 1 ? shadeId : in.Raw<uint32_t>());
            break;
        case 9:
        case 10: {
            out.MakeCollection();
            const int count = depth < 6 ? in.Byte() % 5 : 0;
            for (int index = 0; index < count && !in.AtEnd(); ++index) {
                Build(in, *out.AppendElement(), depth + 1, shadeId);
            }
            break;
        }
        default: {
            out.MakeStructure();
            const int count = depth < 6 ? in.Byte() % 8 : 0;
            for (int index = 0; index < count && !in.AtEnd(); ++index) {
                const uint8_t pick = in.Byte();
                BindingProperty* member = pick < 200
                                              ? out.MemberForWrite(kNames[pick % std::size(kNames)])
                                              : out.MemberForWrite(in.Bytes());
                Build(in, *member, depth + 1, shadeId);
            }
            break;
        }
    }
}

void Check(bool condition) {
    if (!condition) std::abort();
}

// NaN compares unequal to itself, so records holding one can't be compared.
bool HasNaN(const BindingProperty& value) {
    if (value.Kind() == PropertyKind::kFloat) return std::isnan(value.GetFloat());
    for (const BindingProperty& element : value.Elements()) {
        if (HasNaN(element)) return true;
    }
    for (const auto [name, member] : value.Members()) {
        if (HasNaN(member)) return true;
    }
    return false;
}

}  // namespace
}  // namespace Vane

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace Vane;
    static TypeRegistry* registry = [] {
        auto* made = new TypeRegistry;
        RegisterType<Root>(*made);
        return made;
    }();
    static const uint32_t shadeId = registry->TypeIdOf("Shade");

    Reader in(data, size);
    BindingProperty value;
    Build(in, value, 0, shadeId);

    Root first;
    ConversionStatus status;
    FromBinding(*registry, value, first, status);
    if (!status.Ok()) {
        Check(!status.Error().empty());
        return 0;
    }
    const ConversionStatus written = ToBinding(*registry, first);
    Check(written.Ok());
    for (std::string_view newline : {std::string_view(), std::string_view("\r\n")}) {
        Check(WriteJson(*registry, first, newline) ==
              WriteJson(written.Value(), registry, newline));
    }
    MaybeType<Failure, Root> second = ConvertTo<Root>(*registry, written.Value());
    Check(second.HasValue());
    Check(HasNaN(written.Value()) || second.Value() == first);
    return 0;
}
