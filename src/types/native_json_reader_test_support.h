// Records of every native kind and the comparison of the two JSON -> native paths, shared by the
// differential test and the fuzzer of the direct reader (native_json_reader.h).
#ifndef PYX_TYPES_NATIVE_JSON_READER_TEST_SUPPORT_H_
#define PYX_TYPES_NATIVE_JSON_READER_TEST_SUPPORT_H_

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "types/native_json_reader.h"
#include "types/record_description.h"

namespace Vane::direct_read {

enum class Color : int16_t { kRed = 1, kGreen = 2, kBlue = -3 };

struct Inner {
    int32_t a = 0;
    std::string b;
    bool c = false;
};

// A record with a required field, for the required-field checks inside vectors and maps.
struct Tagged {
    std::string id;
    double weight = 0;
};

struct Outer {
    bool flag = false;
    int8_t i8 = 0;
    uint8_t u8 = 0;
    int16_t i16 = 0;
    uint16_t u16 = 0;
    int32_t i32 = 0;
    uint32_t u32 = 0;
    int64_t i64 = 0;
    uint64_t u64 = 0;
    float f32 = 0;
    double f64 = 0;
    std::string text;
    Color color = Color::kRed;
    Inner inner;
    BindingProperty held;
    BindingBlob blob;
    std::vector<int32_t> numbers;
    std::vector<bool> bits;
    std::vector<std::string> words;
    std::vector<Inner> inners;
    std::vector<Color> colors;
    std::vector<BindingProperty> helds;
    std::vector<Tagged> tagged;
    std::map<std::string, int32_t> counts;
    std::map<std::string, Inner> innerByName;
    std::unordered_map<std::string, std::string> labels;
    std::map<std::string, BindingProperty> heldByName;
};

inline void DescribeType(RecordBuilder<Color>& r) {
    r.Name("DirectColor");
    r.Enumerator("Red", Color::kRed);
    r.Enumerator("Green", Color::kGreen);
    r.Enumerator("Blue", Color::kBlue);
}
inline void DescribeType(RecordBuilder<Inner>& r) {
    r.Name("DirectInner");
    r.Field("a", &Inner::a);
    r.Field("b", &Inner::b);
    r.Field("c", &Inner::c);
}
inline void DescribeType(RecordBuilder<Tagged>& r) {
    r.Name("DirectTagged");
    r.Field("id", &Tagged::id, kFieldRequired);
    r.Field("weight", &Tagged::weight);
}
inline void DescribeType(RecordBuilder<Outer>& r) {
    r.Name("DirectOuter");
    r.Field("flag", &Outer::flag);
    r.Field("i8", &Outer::i8);
    r.Field("u8", &Outer::u8);
    r.Field("i16", &Outer::i16);
    r.Field("u16", &Outer::u16);
    r.Field("i32", &Outer::i32);
    r.Field("u32", &Outer::u32);
    r.Field("i64", &Outer::i64);
    r.Field("u64", &Outer::u64);
    r.Field("f32", &Outer::f32);
    r.Field("f64", &Outer::f64);
    r.Field("text", &Outer::text);
    r.Field("color", &Outer::color);
    r.Field("inner", &Outer::inner);
    r.Field("held", &Outer::held);
    r.Field("blob", &Outer::blob);
    r.Field("numbers", &Outer::numbers);
    r.Field("bits", &Outer::bits);
    r.Field("words", &Outer::words);
    r.Field("inners", &Outer::inners);
    r.Field("colors", &Outer::colors);
    r.Field("helds", &Outer::helds);
    r.Field("tagged", &Outer::tagged);
    r.Field("counts", &Outer::counts);
    r.Field("innerByName", &Outer::innerByName);
    r.Field("labels", &Outer::labels);
    r.Field("heldByName", &Outer::heldByName);
}

// A record already holding values, so that fields the input leaves alone show.
inline Outer FilledOuter() {
    Outer record;
    record.i32 = 7;
    record.text = "kept";
    record.inner.b = "kept inner";
    // Without memory for the fixture the comparison would be meaningless: stop.
    if (!record.held.SetString("held before")) std::abort();
    record.numbers = {9, 9};
    record.counts = {{"old", 1}};
    record.tagged = {Tagged{"t0", 0.5}};
    return record;
}

// What a read left: its ok flag, its message and the record as a value.
struct Outcome {
    bool ok = false;
    std::string error;
    BindingProperty record;

    bool operator==(const Outcome& other) const {
        return ok == other.ok && error == other.error && record == other.record;
    }
};

template <class T>
Outcome MakeOutcome(const TypeRegistry& registry, const ConversionStatus& status, const T& record) {
    ConversionStatus value = ToBinding(registry, record);
    return Outcome{status.Ok(), std::string(status.Error()), std::move(value.Value())};
}

// The reference: ParseJson, then FromBinding, on a copy of `start`.
template <class T>
Outcome ReadThroughValue(const TypeRegistry& registry, std::string_view text, const T& start) {
    T record(start);
    ConversionStatus status = ReadJsonThroughValue(registry, text, record);
    return MakeOutcome(registry, status, record);
}

// ReadJsonNative on a copy of `start`.
template <class T>
Outcome ReadNative(const TypeRegistry& registry, std::string_view text, const T& start) {
    T record(start);
    ConversionStatus status = ReadJsonNative(registry, text, record);
    return MakeOutcome(registry, status, record);
}

// Whether the direct reader decides `text` alone (without the value path), on a copy of `start`.
template <class T>
bool DecidedDirectly(const TypeRegistry& registry, std::string_view text, const T& start) {
    T record(start);
    return ReadJsonNativeDirect(registry, text, &record, HandlerOf<T>(), DescriptorOf<T>(registry),
                                kTopLevelValueName);
}

}  // namespace Vane::direct_read

#endif  // PYX_TYPES_NATIVE_JSON_READER_TEST_SUPPORT_H_
