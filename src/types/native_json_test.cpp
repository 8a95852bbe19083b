// The direct path (native record -> writer) against the value path (native record ->
// BindingProperty -> writer): the same JSON text, compact and pretty, and the same slot calls,
// for every shape of record.
#include "types/native_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "codec/json_reader.h"
#include "codec/large_document_test_support.h"
#include "types/large_document_records_test_support.h"
#include "types/native_walk.h"
#include "types/type_builder.h"

namespace Vane::native_json_test {

enum class Mood : int32_t { kNone = 0, kCalm = 1, kAngry = -5 };
// Registered without enumerators: always written as a number.
enum class Bare : uint8_t { kZero = 0, kOne = 1 };

struct Inner {
    int32_t count = 0;
    std::string note;
};

// Every field omit-empty, followed by fields of the same kinds that are always written.
struct Holder {
    bool flag = false;
    int64_t signedValue = 0;
    uint64_t unsignedValue = 0;
    double real = 0.0;
    float single = 0.0f;
    std::string text;
    BindingBlob blob;
    Mood mood = Mood::kNone;
    Inner inner;
    std::vector<int32_t> list;
    std::map<std::string, int32_t> table;
    BindingProperty extra;
    Mood plainMood = Mood::kNone;
    Inner plainInner;
    BindingProperty plainExtra;
};

struct Wide {
    int8_t i8 = 0;
    int16_t i16 = 0;
    int32_t i32 = 0;
    int64_t i64 = 0;
    uint8_t u8 = 0;
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    uint64_t u64 = 0;
    float f32 = 0.0f;
    double f64 = 0.0;
    std::vector<double> reals;
    std::vector<float> singles;
    std::vector<bool> bits;
    std::vector<Mood> moods;
    Bare bare = Bare::kZero;
    std::vector<std::string> texts;
    std::vector<BindingBlob> blobs;
    std::vector<Inner> inners;
    std::vector<BindingProperty> values;
    std::map<std::string, Mood> moodByName;
    std::unordered_map<std::string, Inner> innerByName;
    std::map<std::string, std::string, std::greater<>> reversed;
    std::map<std::string, BindingProperty> valueByName;
};

// Two fields share the name "value": the later one's value replaces the earlier one's.
struct Twin {
    int32_t first = 0;
    std::string second;
    bool after = false;
};
struct TwinHolder {
    Twin twin;
    int32_t id = 0;
};

void DescribeType(RecordBuilder<Mood>& r) {
    r.Name("Mood");
    r.Enumerator("None", Mood::kNone);
    r.Enumerator("Calm", Mood::kCalm);
    r.Enumerator("Angry", Mood::kAngry);
}
void DescribeType(RecordBuilder<Bare>& r) {
    r.Name("Bare");
}
void DescribeType(RecordBuilder<Inner>& r) {
    r.Name("Inner");
    r.Field("count", &Inner::count, kFieldOmitEmpty);
    r.Field("note", &Inner::note, kFieldOmitEmpty);
}
void DescribeType(RecordBuilder<Holder>& r) {
    r.Name("Holder");
    r.Field("flag", &Holder::flag, kFieldOmitEmpty);
    r.Field("signedValue", &Holder::signedValue, kFieldOmitEmpty);
    r.Field("unsignedValue", &Holder::unsignedValue, kFieldOmitEmpty);
    r.Field("real", &Holder::real, kFieldOmitEmpty);
    r.Field("single", &Holder::single, kFieldOmitEmpty);
    r.Field("text", &Holder::text, kFieldOmitEmpty);
    r.Field("blob", &Holder::blob, kFieldOmitEmpty);
    r.Field("mood", &Holder::mood, kFieldOmitEmpty);
    r.Field("inner", &Holder::inner, kFieldOmitEmpty);
    r.Field("list", &Holder::list, kFieldOmitEmpty);
    r.Field("table", &Holder::table, kFieldOmitEmpty);
    r.Field("extra", &Holder::extra, kFieldOmitEmpty);
    r.Field("plainMood", &Holder::plainMood);
    r.Field("plainInner", &Holder::plainInner);
    r.Field("plainExtra", &Holder::plainExtra);
}
void DescribeType(RecordBuilder<Wide>& r) {
    r.Name("Wide");
    r.Field("i8", &Wide::i8);
    r.Field("i16", &Wide::i16);
    r.Field("i32", &Wide::i32);
    r.Field("i64", &Wide::i64);
    r.Field("u8", &Wide::u8);
    r.Field("u16", &Wide::u16);
    r.Field("u32", &Wide::u32);
    r.Field("u64", &Wide::u64);
    r.Field("f32", &Wide::f32);
    r.Field("f64", &Wide::f64);
    r.Field("reals", &Wide::reals);
    r.Field("singles", &Wide::singles);
    r.Field("bits", &Wide::bits);
    r.Field("moods", &Wide::moods);
    r.Field("bare", &Wide::bare);
    r.Field("texts", &Wide::texts);
    r.Field("blobs", &Wide::blobs);
    r.Field("inners", &Wide::inners);
    r.Field("values", &Wide::values);
    r.Field("moodByName", &Wide::moodByName);
    r.Field("innerByName", &Wide::innerByName);
    r.Field("reversed", &Wide::reversed);
    r.Field("valueByName", &Wide::valueByName);
}
void DescribeType(RecordBuilder<Twin>& r) {
    r.Name("Twin");
    r.Field("value", &Twin::first);
    r.Field("value", &Twin::second, kFieldOmitEmpty);
    r.Field("after", &Twin::after, kFieldOmitEmpty);
}
void DescribeType(RecordBuilder<TwinHolder>& r) {
    r.Name("TwinHolder");
    r.Field("twin", &TwinHolder::twin, kFieldOmitEmpty);
    r.Field("id", &TwinHolder::id);
}

namespace {

// Logs every slot call, so that two walks can be compared call for call (counts included,
// which JSON text does not show).
class RecordingWriter final : public BindingWriter {
  public:
    std::string log;

    void WriteEmpty() noexcept override { log += "empty "; }
    void WriteBool(bool value) noexcept override { log += value ? "true " : "false "; }
    void WriteSigned(int64_t value) noexcept override { log += "s" + std::to_string(value) + " "; }
    void WriteUnsigned(uint64_t value) noexcept override {
        log += "u" + std::to_string(value) + " ";
    }
    void WriteFloat(double value) noexcept override {
        uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        log += "f" + std::to_string(bits) + " ";
    }
    void WriteString(std::string_view text) noexcept override {
        log += "\"" + std::string(text) + "\" ";
    }
    void WriteBlob(std::span<const uint8_t> bytes) noexcept override {
        log += "b'" + std::string(bytes.begin(), bytes.end()) + "' ";
    }
    void WriteEnum(const EnumRecord& value) noexcept override {
        log += "e" + std::to_string(value.value) + "/" + std::to_string(value.typeId) + " ";
    }
    void BeginCollection(size_t count) noexcept override {
        log += "[" + std::to_string(count) + " ";
    }
    void BeginElement() noexcept override { log += "< "; }
    void EndElement() noexcept override { log += "> "; }
    void EndCollection() noexcept override { log += "] "; }
    void BeginStructure(size_t count) noexcept override {
        log += "{" + std::to_string(count) + " ";
    }
    void MemberName(std::string_view name) noexcept override {
        log += "'" + std::string(name) + "': ";
    }
    void EndMember() noexcept override { log += ", "; }
    void EndStructure() noexcept override { log += "} "; }
};

// Newlines the text is compared in: compact, pretty with CR LF, pretty with LF.
const std::string_view kNewlines[] = {"", "\r\n", "\n"};

// Compares both paths for the record at `source` converted by `handler`; returns the compact
// text of the value path.
std::string ExpectSamePaths(const TypeRegistry& registry, const void* source,
                            const TypeHandler& handler, const TypeDescriptor* descriptor) {
    ConversionStatus value;
    handler.ToBinding(value, value.Value(), source, descriptor, registry);
    for (std::string_view newline : kNewlines) {
        std::string direct = "not written";
        EXPECT_TRUE(WriteNativeJsonTo(registry, source, handler, descriptor, newline, direct));
        EXPECT_EQ(direct, WriteJson(value.Value(), &registry, newline))
            << "newline of " << newline.size() << " bytes";
    }

    RecordingWriter viaValue;
    if (value.Ok()) Walk(value.Value(), viaValue);
    RecordingWriter direct;
    ConversionStatus walked;
    handler.Walk(walked, source, descriptor, registry, direct);
    EXPECT_EQ(walked.Ok(), value.Ok());
    EXPECT_EQ(walked.Error(), value.Error());
    if (walked.Ok()) {
        EXPECT_EQ(direct.log, viaValue.log);
    }

    EXPECT_EQ(handler.EmptyForOutput(source, descriptor, registry),
              value.Ok() && IsEmptyForOutput(value.Value()));
    return WriteJson(value.Value(), &registry);
}

// As above for a typed record, through the typed entry points as well.
template <class T>
std::string ExpectSame(const TypeRegistry& registry, const T& record) {
    for (std::string_view newline : kNewlines) {
        EXPECT_EQ(WriteJson(registry, record, newline),
                  WriteJson(ToBinding(registry, record).Value(), &registry, newline));
    }
    RecordingWriter direct;
    const ConversionStatus walked = WalkNative(registry, record, direct);
    const ConversionStatus value = ToBinding(registry, record);
    EXPECT_EQ(walked.Error(), value.Error());
    if (walked.Ok()) {
        RecordingWriter viaValue;
        Walk(value.Value(), viaValue);
        EXPECT_EQ(direct.log, viaValue.log);
    }
    return ExpectSamePaths(registry, &record, HandlerOf<T>(), DescriptorOf<T>(registry));
}

class NativeJsonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(RegisterType<Holder>(registry_), nullptr);
        ASSERT_NE(RegisterType<Wide>(registry_), nullptr);
        ASSERT_NE(RegisterType<TwinHolder>(registry_), nullptr);
    }

    uint32_t MoodId() const { return registry_.TypeIdOf("Mood"); }

    TypeRegistry registry_;
};

TEST_F(NativeJsonTest, GeneratedCatalogIsWrittenIdentically) {
    using large_document_records::Catalog;
    TypeRegistry registry;
    ASSERT_NE(RegisterType<Catalog>(registry), nullptr);
    const std::string document = large_document::LargeDocument(40);
    Catalog catalog;
    ConversionStatus status;
    FromBinding(registry, ParseJson(document).Value(), catalog, status);
    ASSERT_TRUE(status.Ok()) << status.Error();
    ASSERT_EQ(catalog.items.size(), 40u);

    const std::string text = ExpectSame(registry, catalog);
    // Offers carry an enum, written by name through the registry.
    EXPECT_NE(text.find(R"("offerType":")"), std::string::npos);
    // The text read and the text written agree as values (member order aside).
    EXPECT_TRUE(ParseJson(text).Value() == ParseJson(document).Value());
}

TEST_F(NativeJsonTest, OmitEmptyFieldsAreLeftOutExactlyWhenEmpty) {
    // Each case changes one thing from an all-empty record.
    const std::vector<std::pair<const char*, std::function<void(Holder&)>>> cases = {
        {"all empty", [](Holder&) {}},
        {"flag", [](Holder& h) { h.flag = true; }},
        {"negative", [](Holder& h) { h.signedValue = -1; }},
        {"unsigned", [](Holder& h) { h.unsignedValue = 1; }},
        {"negative zero is empty", [](Holder& h) { h.real = -0.0; }},
        {"NaN is not empty", [](Holder& h) { h.real = std::nan(""); }},
        {"tiny float", [](Holder& h) { h.single = std::numeric_limits<float>::denorm_min(); }},
        {"text", [](Holder& h) { h.text = "x"; }},
        {"blob of a NUL byte", [](Holder& h) { h.blob.bytes = {0}; }},
        {"named enum", [](Holder& h) { h.mood = Mood::kAngry; }},
        {"unnamed enum", [](Holder& h) { h.mood = static_cast<Mood>(7); }},
        {"inner with a count", [](Holder& h) { h.inner.count = 3; }},
        {"inner with a note", [](Holder& h) { h.inner.note = "n"; }},
        {"list", [](Holder& h) { h.list = {0}; }},
        {"table", [](Holder& h) { h.table["k"] = 0; }},
        {"extra false", [](Holder& h) { h.extra.SetBool(false); }},
        {"extra zero enum", [](Holder& h) { EXPECT_TRUE(h.extra.SetEnum(0, 1234)); }},
        {"extra empty structure", [](Holder& h) { EXPECT_TRUE(h.extra.MakeStructure()); }},
        {"extra string", [](Holder& h) { EXPECT_TRUE(h.extra.SetString("s")); }},
        {"extra collection", [](Holder& h) { EXPECT_TRUE(h.extra.AppendElement()); }},
        {"plain fields set",
         [](Holder& h) {
             h.plainMood = Mood::kCalm;
             h.plainInner.note = "p";
             h.plainExtra.MemberForWrite("k")->SetUnsigned(5);
         }},
    };
    for (const auto& [name, change] : cases) {
        SCOPED_TRACE(name);
        Holder holder;
        change(holder);
        ExpectSame(registry_, holder);
    }

    // The all-empty record keeps only the fields that are always written.
    EXPECT_EQ(WriteJson(registry_, Holder{}),
              R"({"plainExtra":null,"plainInner":{},"plainMood":"None"})");
    Holder angry;
    angry.mood = static_cast<Mood>(7);
    angry.real = -0.0;
    angry.single = std::numeric_limits<float>::infinity();
    EXPECT_EQ(WriteJson(registry_, angry),
              R"({"mood":7,"plainExtra":null,"plainInner":{},"plainMood":"None","single":null})");
}

TEST_F(NativeJsonTest, NumbersAtTheirLimitsAndSpecialFloats) {
    Wide low;
    low.i8 = INT8_MIN;
    low.i16 = INT16_MIN;
    low.i32 = INT32_MIN;
    low.i64 = INT64_MIN;
    low.f32 = -std::numeric_limits<float>::max();
    low.f64 = -std::numeric_limits<double>::infinity();
    low.reals = {std::nan(""), -0.0, 5e-324, 0.1, 1e300, 3.0, std::numeric_limits<double>::max()};
    low.singles = {std::numeric_limits<float>::quiet_NaN(), 0.1f, -0.0f};
    Wide high;
    high.i8 = INT8_MAX;
    high.i16 = INT16_MAX;
    high.i32 = INT32_MAX;
    high.i64 = INT64_MAX;
    high.u8 = UINT8_MAX;
    high.u16 = UINT16_MAX;
    high.u32 = UINT32_MAX;
    high.u64 = UINT64_MAX;
    high.f32 = std::numeric_limits<float>::infinity();
    high.f64 = std::numeric_limits<double>::denorm_min();
    high.reals = {std::numeric_limits<double>::infinity(), 9007199254740993.0};
    for (const Wide* wide : {&low, &high}) {
        const std::string text = ExpectSame(registry_, *wide);
        EXPECT_NE(text.find(wide == &low ? R"("i64":-9223372036854775808)"
                                         : R"("u64":18446744073709551615)"),
                  std::string::npos)
            << text;
    }
    EXPECT_NE(WriteJson(registry_, low).find(R"("reals":[null,-0.0,5e-324,0.1,1e300,3.0,)"),
              std::string::npos);
}

TEST_F(NativeJsonTest, CollectionsMapsEnumsAndHeldValues) {
    Wide wide;
    wide.bits = {true, false, true};
    wide.moods = {Mood::kCalm, static_cast<Mood>(42), Mood::kNone};
    wide.bare = Bare::kOne;
    wide.texts = {"", "quote \" backslash \\ tab \t", std::string("nul\0byte", 8), "\x01\x1F"};
    wide.blobs = {BindingBlob{}, BindingBlob{{'a', 0, '\n', 0xFF}}};
    wide.inners = {Inner{}, Inner{2, "two"}};
    wide.values.resize(3);
    EXPECT_TRUE(wide.values[1].SetEnum(1, MoodId()));
    wide.values[2].MemberForWrite("z")->SetFloat(std::nan(""));
    EXPECT_TRUE(wide.values[2].MemberForWrite("a")->AppendElement()->SetEnum(9, MoodId()));
    // Keys out of byte order, sharing prefixes, beyond ASCII, empty, holding a NUL.
    for (const char* key : {"b", "a", "ab", "\xC3\xA9", "B", ""}) {
        wide.moodByName[key] = Mood::kAngry;
        wide.innerByName[key] = Inner{static_cast<int32_t>(std::strlen(key)), key};
        wide.reversed[key] = key;
        EXPECT_TRUE(wide.valueByName[key].SetString(key));
    }
    wide.innerByName[std::string("a\0b", 3)] = Inner{1, {}};
    wide.valueByName["empty"];
    const std::string text = ExpectSame(registry_, wide);
    EXPECT_NE(text.find(R"("moods":["Calm",42,"None"])"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("bare":1)"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("reversed":{"":"","B":"B","a":"a","ab":"ab","b":"b",)"),
              std::string::npos)
        << text;

    // A top-level vector, map, enum and held value convert like a record.
    ExpectSame(registry_, wide.moods);
    ExpectSame(registry_, wide.innerByName);
    ExpectSame(registry_, Mood::kAngry);
    ExpectSame(registry_, wide.values[2]);
    EXPECT_EQ(WriteJson(registry_, BindingProperty{}), "");
    EXPECT_EQ(WriteJson(registry_, Mood::kAngry), R"("Angry")");
}

TEST_F(NativeJsonTest, LaterFieldOfTheSameNameDecidesTheMember) {
    // Twin's second "value" is omit-empty: when empty the member goes, even though the first
    // "value" is always written; a Twin with no member left is empty itself.
    const std::vector<std::pair<Twin, const char*>> cases = {
        {Twin{5, "", false}, R"({"id":0})"},
        {Twin{5, "", true}, R"({"id":0,"twin":{"after":true}})"},
        {Twin{5, "text", false}, R"({"id":0,"twin":{"value":"text"}})"},
        {Twin{0, "text", true}, R"({"id":0,"twin":{"after":true,"value":"text"}})"},
    };
    for (const auto& [twin, expected] : cases) {
        SCOPED_TRACE(expected);
        const TwinHolder holder{twin, 0};
        EXPECT_EQ(ExpectSame(registry_, holder), expected);
        ExpectSame(registry_, twin);
    }
}

TEST_F(NativeJsonTest, PrettyTextUsesTheGivenLineEnds) {
    Holder holder;
    holder.list = {1, 2};
    holder.text = "line\nfeed";
    ExpectSame(registry_, holder);
    const std::string pretty = WriteJson(registry_, holder, "\r\n");
    EXPECT_EQ(pretty,
              "{\r\n    \"list\": [\r\n        1,\r\n        2\r\n    ],\r\n"
              "    \"plainExtra\": null,\r\n    \"plainInner\": {},\r\n"
              "    \"plainMood\": \"None\",\r\n    \"text\": \"line\\nfeed\"\r\n}");
}

// ---- Records registered by hand, with handlers of their own and missing descriptors ----

struct Point {
    int32_t x = 0;
    int32_t y = 0;
};
void DescribeType(RecordBuilder<Point>& r) {
    r.Name("Point");
    r.Field("x", &Point::x);
    r.Field("y", &Point::y);
}

struct Loose {
    int32_t id = 0;
    Point point;
    std::vector<Point> points;
    Point shadowed;
    int32_t custom = 0;
};

// A record handler written against the two conversion operations only: walking and the
// emptiness test fall back on the value.
class RecordHandler final : public TypeHandler {
  public:
    void FromBinding(ConversionStatus& status, void* destination, const BindingProperty& source,
                     std::string_view name, const TypeDescriptor* descriptor,
                     const TypeRegistry& registry) const noexcept override {
        StructFromBinding(status, destination, source, name, descriptor, registry);
    }
    void ToBinding(ConversionStatus& status, BindingProperty& out, const void* source,
                   const TypeDescriptor* descriptor,
                   const TypeRegistry& registry) const noexcept override {
        StructToBinding(status, out, source, descriptor, registry);
    }
};
const RecordHandler kRecordHandler;

// The same record handler walking directly.
class WalkingRecordHandler final : public TypeHandler {
  public:
    void FromBinding(ConversionStatus& status, void* destination, const BindingProperty& source,
                     std::string_view name, const TypeDescriptor* descriptor,
                     const TypeRegistry& registry) const noexcept override {
        StructFromBinding(status, destination, source, name, descriptor, registry);
    }
    void ToBinding(ConversionStatus& status, BindingProperty& out, const void* source,
                   const TypeDescriptor* descriptor,
                   const TypeRegistry& registry) const noexcept override {
        StructToBinding(status, out, source, descriptor, registry);
    }
    void Walk(ConversionStatus& status, const void* source, const TypeDescriptor* descriptor,
              const TypeRegistry& registry, BindingWriter& writer) const noexcept override {
        WalkStruct(status, source, descriptor, registry, writer);
    }
    bool EmptyForOutput(const void* source, const TypeDescriptor* descriptor,
                        const TypeRegistry& registry) const noexcept override {
        return StructEmptyForOutput(source, descriptor, registry);
    }
};
const WalkingRecordHandler kWalkingRecordHandler;

// An int32 written as the structure {"n": value}, or as the empty structure for 0.
class BoxedHandler final : public TypeHandler {
  public:
    void FromBinding(ConversionStatus&, void*, const BindingProperty&, std::string_view,
                     const TypeDescriptor*, const TypeRegistry&) const noexcept override {}
    void ToBinding(ConversionStatus& status, BindingProperty& out, const void* source,
                   const TypeDescriptor*, const TypeRegistry&) const noexcept override {
        if (!BeginStructureOutput(status, out)) return;
        const int32_t value = *static_cast<const int32_t*>(source);
        if (value != 0) OutputMember(status, out, "n")->SetSigned(value);
    }
};
const BoxedHandler kBoxedHandler;

template <class M>
uint32_t OffsetIn(M Loose::*member) {
    static const Loose sample{};
    return static_cast<uint32_t>(reinterpret_cast<const char*>(&(sample.*member)) -
                                 reinterpret_cast<const char*>(&sample));
}

struct FieldSpec {
    const char* name;
    uint32_t offset;
    const TypeHandler* handler;
    TypeIdentifier type;
    uint32_t flags = 0;
};

const TypeDescriptor* RegisterLoose(TypeRegistry& registry, std::string_view name,
                                    const std::vector<FieldSpec>& fields) {
    TypeBuilder builder =
        BeginType(registry, sizeof(Loose), name, PlaceholderTypeInfo(kPlaceholderTypeId), false);
    for (const FieldSpec& field : fields) {
        AddField(builder, FieldDefinition{.name = field.name,
                                          .offset = field.offset,
                                          .typeInfo = &TypeInfoOf<int32_t>(),
                                          .type = field.type,
                                          .flags = field.flags,
                                          .handler = field.handler});
    }
    return builder.Ok() ? builder.Descriptor() : nullptr;
}

TEST(NativeJsonHandTest, FailuresAndHandlersOfTheirOwnMatchTheValuePath) {
    TypeRegistry registry;
    const TypeDescriptor* point = RegisterType<Point>(registry);
    ASSERT_NE(point, nullptr);
    constexpr uint32_t kStruct = static_cast<uint32_t>(NativeKind::kStruct);
    constexpr uint32_t kVector = static_cast<uint32_t>(NativeKind::kVector);
    const FieldSpec id{"id", OffsetIn(&Loose::id), &HandlerOf<int32_t>(), {6, 0, nullptr}};
    const FieldSpec custom{
        "custom", OffsetIn(&Loose::custom), &kBoxedHandler, {6, 0, nullptr}, kFieldOmitEmpty};
    const FieldSpec lostPoint{"point",
                              OffsetIn(&Loose::point),
                              &HandlerOf<Point>(),
                              {kStruct, 0, nullptr},
                              kFieldOmitEmpty};
    const FieldSpec lostPoints{"points",
                               OffsetIn(&Loose::points),
                               &HandlerOf<std::vector<Point>>(),
                               {kVector, kStruct, nullptr}};
    const FieldSpec ownPoint{
        "point", OffsetIn(&Loose::point), &kRecordHandler, {kStruct, 0, point}, kFieldOmitEmpty};
    // Shadowed by the "id" registered after it: never shown, but still converted.
    const FieldSpec lostShadowed{
        "id", OffsetIn(&Loose::shadowed), &HandlerOf<Point>(), {kStruct, 0, nullptr}};

    const TypeDescriptor* handlers = RegisterLoose(registry, "Handlers", {id, custom, ownPoint});
    const TypeDescriptor* lost = RegisterLoose(registry, "Lost", {id, lostPoint});
    const TypeDescriptor* lostInVector = RegisterLoose(registry, "LostInVector", {id, lostPoints});
    const TypeDescriptor* lostBehind = RegisterLoose(registry, "LostBehind", {lostShadowed, id});
    for (const TypeDescriptor* descriptor : {handlers, lost, lostInVector, lostBehind}) {
        ASSERT_NE(descriptor, nullptr);
    }

    const std::string unregistered =
        R"({"error":"Couldn't convert native value because it's an unregistered structure."})";
    Loose empty;
    Loose full;
    full.id = 4;
    full.custom = 9;
    full.point = {1, 2};
    full.points = {{3, 4}};
    struct Case {
        const TypeDescriptor* descriptor;
        const Loose* record;
        std::string expected;
    };
    const Case cases[] = {
        // The omit-empty fields of handlers of their own are tested on their values.
        {handlers, &empty, R"({"id":0,"point":{"x":0,"y":0}})"},
        {handlers, &full, R"({"custom":{"n":9},"id":4,"point":{"x":1,"y":2}})"},
        // A record without a descriptor fails even where an omit-empty field holds it.
        {lost, &empty, unregistered},
        {lost, &full, unregistered},
        // An empty vector never meets its elements' missing descriptor.
        {lostInVector, &empty, R"({"id":0,"points":[]})"},
        {lostInVector, &full, unregistered},
        {lostBehind, &full, unregistered},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        for (const TypeHandler* handler :
             {static_cast<const TypeHandler*>(&kRecordHandler),
              static_cast<const TypeHandler*>(&kWalkingRecordHandler)}) {
            EXPECT_EQ(ExpectSamePaths(registry, c.record, *handler, c.descriptor), c.expected);
        }
    }

    // A record type the registry does not know fails at the top.
    TypeRegistry other;
    EXPECT_EQ(ExpectSame(other, Point{}), unregistered);
    EXPECT_FALSE(StructEmptyForOutput(&empty, nullptr, registry));
}

}  // namespace
}  // namespace Vane::native_json_test
