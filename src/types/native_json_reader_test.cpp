// The direct JSON -> native reader against the value path (ParseJson + FromBinding): the same ok
// flag, the same message and the same record, for documents it decides alone and for those it
// hands to the value path.
#include "types/native_json_reader.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "codec/large_document_test_support.h"
#include "types/large_document_records_test_support.h"
#include "types/native_json_reader_test_support.h"
#include "types/type_builder.h"

namespace Vane::direct_read {

// Records described by hand: a handler of its own is filled through its FromBinding, and two
// fields of one name are left to the value path, both with the value path's results.
struct Loose {
    int32_t id = 0;
    Inner inner;
    int32_t twin = 0;
    int32_t twinToo = 0;
};
// Gives Loose a native handler; its descriptors are registered by hand below. (Outside the
// anonymous namespace: only the description concept uses it.)
void DescribeType(RecordBuilder<Loose>& /*r*/) {}

namespace {

class NativeJsonReaderTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(RegisterType<Outer>(registry_), nullptr); }

    // Both paths agree on `text` read into FilledOuter(); returns that outcome.
    Outcome ExpectSameOutcome(std::string_view text) {
        const Outcome expected = ReadThroughValue(registry_, text, FilledOuter());
        const Outcome actual = ReadNative(registry_, text, FilledOuter());
        EXPECT_EQ(actual.ok, expected.ok) << text;
        EXPECT_EQ(actual.error, expected.error) << text;
        EXPECT_TRUE(actual.record == expected.record) << text;
        return expected;
    }

    TypeRegistry registry_;
};

// Documents that convert: the direct reader decides them alone, with the value path's record.
TEST_F(NativeJsonReaderTest, DocumentsThatConvertAreReadDirectlyWithTheSameRecord) {
    const char* const kDocuments[] = {
        // Every kind at once, members in no particular order.
        R"({"text":"a\"b\u00e9\n","flag":true,"i8":-128,"u8":255,"i16":-32768,"u16":65535,)"
        R"("i32":-2147483648,"u32":4294967295,"i64":-9223372036854775808,)"
        R"("u64":18446744073709551615,"f32":1.5,"f64":-1e300,"color":"Blue",)"
        R"("inner":{"a":1,"b":"x","c":false},"held":{"k":[1,"two",null,{"z":true}]},)"
        R"("numbers":[1,2,3],"bits":[true,false,true],"words":["w",""],)"
        R"("inners":[{"a":2},{}],"colors":["Red",2,"-3"],"helds":[1,"s",[],{}],)"
        R"("tagged":[{"id":"t1","weight":2}],"counts":{"x":1,"y":-2},)"
        R"("innerByName":{"n":{"b":"nb"}},"labels":{"l":"L"},"heldByName":{"h":[true]}})",
        // Text where numbers are expected: base 0, blanks, enum numbers as text.
        R"({"i32":" 0x10","u32":"017","i64":"-5","u64":"","f64":"1e3","f32":"0.25","flag":"1",)"
        R"("color":"2","bits":["0","true"],"numbers":["-7"]})",
        // Numbers across kinds: -0 into unsigned, floats truncated, integers into floats.
        R"({"u8":-0,"i32":3.9,"u32":4294967295.0,"f64":18446744073709551615,"f32":-7,)"
        R"("color":-3,"u64":1e19})",
        // Null members leave their fields, null elements are default ones, null entries none.
        R"({"i32":null,"text":null,"inner":null,"held":null,"numbers":[null,4],)"
        R"("bits":[null,true],"inners":[null,{"b":"q"}],"helds":[null],"counts":{"z":null},)"
        R"("tagged":[null]})",
        // Unknown members of every shape are skipped; nested unknown members too.
        R"({"unknown":{"deep":[[{"x":[1e308,-0.0,"s",null,true]}]]},"also":[],"i32":5,)"
        R"("inner":{"zz":{"a":1},"a":3},"inners":[{"q":[{}]}],"innerByName":{"m":{"b":"c","d":4}}})",
        // Empty containers clear vectors and maps; an empty object sets no field.
        R"({"numbers":[],"counts":{},"inner":{},"held":{},"tagged":[]})",
        // Repeated keys inside a held value merge as the value path merges them.
        R"({"held":{"a":1,"a":2,"b":[1],"b":[2],"c":{"x":1},"c":{"y":2},"d":3,"d":null}})",
        // Repeated keys of unknown members and a null after a value.
        R"({"u":1,"u":[2],"i32":4,"i32":null,"text":null,"text":"late"})",
        // A string field with NUL bytes and escapes; a key with an escape.
        R"({"text":"a\u0000b","\u0069\u0033\u0032":12,"words":["\ud83d\ude00"]})",
        // Scalars and arrays at the root are only the root's business: whitespace around.
        " \t\r\n{\"i32\":1}\n ",
    };
    for (const char* text : kDocuments) {
        const Outcome outcome = ExpectSameOutcome(text);
        EXPECT_TRUE(outcome.ok) << text << ": " << outcome.error;
        EXPECT_TRUE(DecidedDirectly(registry_, text, FilledOuter())) << text;
    }
}

// Every failure, and every input the direct reader leaves to the value path, ends exactly as the
// value path ends it: same message, same partly written record.
TEST_F(NativeJsonReaderTest, FailuresGiveTheValuePathsMessageAndRecord) {
    const std::string deep = std::string(511, '[') + std::string(511, ']');
    const std::string tooDeep = std::string(512, '[') + std::string(512, ']');
    const std::string kDocuments[] = {
        // Wrong kinds.
        R"({"i32":true})",
        R"({"text":5})",
        R"({"flag":"TRUE"})",
        R"({"inner":[1]})",
        R"({"numbers":{"a":1}})",
        R"({"counts":[1]})",
        R"({"numbers":[1,"x"]})",
        R"({"bits":[[true]]})",
        R"({"blob":"bytes"})",
        R"({"blob":[1]})",
        R"({"inners":[1]})",
        R"({"innerByName":{"k":"v"}})",
        R"([1,2])",
        R"("text")",
        R"(null)",
        R"(7)",
        // Out of range and unknown names.
        R"({"i8":128})",
        R"({"u8":-1})",
        R"({"u64":"-1"})",
        R"({"i32":"12abc"})",
        R"({"f32":1e39})",
        R"({"u32":4294967296.0})",
        R"({"color":"Purple"})",
        R"({"color":4})",
        R"({"colors":["Red","red"]})",
        // Required fields.
        R"({"tagged":[{"weight":1}]})",
        R"({"tagged":[{"id":null}]})",
        // Two failures: the value path reports the first field in registration order.
        R"({"text":1,"i32":"x"})",
        R"({"inners":[{"a":"x"}],"flag":2})",
        // Repeated keys the direct reader leaves to the value path (merging or replacing).
        R"({"i32":1,"i32":2})",
        R"({"i32":"x","i32":2})",
        R"({"numbers":[1],"numbers":[2]})",
        R"({"inner":{"a":1},"inner":{"b":"2"}})",
        R"({"counts":{"k":1,"k":2}})",
        R"({"innerByName":{"k":{"a":1},"k":{"b":"x"}}})",
        // Syntax errors, also after values the direct reader has already written.
        R"({"i32":1,)",
        R"({"i32":1} x)",
        R"({"i32":1,"text":"ab)",
        R"({"i32":01})",
        R"({"i32":1,"u":[1,2,]})",
        R"({"u":1e400,"i32":1})",
        R"({"u":-1e400})",
        R"({"u":1e-400,"i32":"x"})",
        std::string("{\"i32\":1}\0 ", 11),
        std::string("{\"text\":\"a\0b\"}", 14),
        std::string("\0", 1),
        "",
        "   ",
        // Nesting: 512 open containers pass, 513 do not, wherever they are.
        R"({"unknown":)" + deep + "}",
        R"({"unknown":)" + tooDeep + "}",
        R"({"held":)" + tooDeep + "}",
        R"({"helds":)" + deep + "}",
    };
    for (const std::string& text : kDocuments) ExpectSameOutcome(text);
}

// The nesting limit counts the containers around a held value: 512 open pass.
TEST_F(NativeJsonReaderTest, HeldValuesKeepTheNestingLimitOfTheWholeDocument) {
    const std::string deepest = R"({"held":)" + std::string(511, '[') + std::string(511, ']') + "}";
    const Outcome outcome = ExpectSameOutcome(deepest);
    EXPECT_TRUE(outcome.ok) << outcome.error;
    EXPECT_TRUE(DecidedDirectly(registry_, deepest, FilledOuter()));
    const std::string deeper = R"({"held":)" + std::string(512, '[') + std::string(512, ']') + "}";
    EXPECT_FALSE(ExpectSameOutcome(deeper).ok);
    EXPECT_FALSE(DecidedDirectly(registry_, deeper, FilledOuter()));
}

// The generated catalog: read directly, to the record the value path reads.
TEST(NativeJsonReaderCatalogTest, GeneratedCatalogReadsDirectlyToTheSameRecord) {
    using large_document_records::Catalog;
    TypeRegistry registry;
    ASSERT_NE(RegisterType<Catalog>(registry), nullptr);
    const std::string text = large_document::LargeDocument(120);
    const Outcome expected = ReadThroughValue(registry, text, Catalog());
    ASSERT_TRUE(expected.ok) << expected.error;
    EXPECT_TRUE(DecidedDirectly(registry, text, Catalog()));
    const Outcome actual = ReadNative(registry, text, Catalog());
    EXPECT_TRUE(actual == expected);
    EXPECT_EQ(actual.record.Member("items").Size(), 120u);

    // One offer with a type that does not exist: the same message either way.
    std::string broken = text;
    const std::string known = "\"offerType\":\"TRADE\"";
    const size_t at = broken.find(known);
    ASSERT_NE(at, std::string::npos);
    broken.replace(at, known.size(), "\"offerType\":\"TRADES\"");
    const Outcome failed = ReadNative(registry, broken, Catalog());
    EXPECT_FALSE(failed.ok);
    EXPECT_TRUE(failed == ReadThroughValue(registry, broken, Catalog())) << failed.error;
}

// Fills Inner records through StructFromBinding, without direct input operations.
class InnerHandler final : public TypeHandler {
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
const InnerHandler kInnerHandler;

struct LooseField {
    const char* name;
    uint32_t offset;
    const TypeHandler* handler;
    TypeIdentifier type;
};

const TypeDescriptor* RegisterLoose(TypeRegistry& registry, std::string_view name,
                                    const std::vector<LooseField>& fields) {
    TypeBuilder builder =
        BeginType(registry, sizeof(Loose), name, PlaceholderTypeInfo(kPlaceholderTypeId), false);
    for (const LooseField& field : fields) {
        AddField(builder, FieldDefinition{.name = field.name,
                                          .offset = field.offset,
                                          .typeInfo = &TypeInfoOf<int32_t>(),
                                          .type = field.type,
                                          .handler = field.handler});
    }
    return builder.Ok() ? builder.Descriptor() : nullptr;
}

TEST(NativeJsonReaderHandTest, HandlersOfTheirOwnAndTwinFieldsMatchTheValuePath) {
    TypeRegistry registry;
    const TypeDescriptor* inner = RegisterType<Inner>(registry);
    ASSERT_NE(inner, nullptr);
    constexpr uint32_t kInt32 = static_cast<uint32_t>(NativeKind::kInt32);
    constexpr uint32_t kStruct = static_cast<uint32_t>(NativeKind::kStruct);
    const LooseField id{"id", offsetof(Loose, id), &HandlerOf<int32_t>(), {kInt32, 0, nullptr}};
    const LooseField own{"inner", offsetof(Loose, inner), &kInnerHandler, {kStruct, 0, inner}};
    const LooseField twin{
        "twin", offsetof(Loose, twin), &HandlerOf<int32_t>(), {kInt32, 0, nullptr}};
    const LooseField twinToo{
        "twin", offsetof(Loose, twinToo), &HandlerOf<int32_t>(), {kInt32, 0, nullptr}};
    const TypeDescriptor* withOwn = RegisterLoose(registry, "LooseOwn", {id, own});
    const TypeDescriptor* withTwins = RegisterLoose(registry, "LooseTwins", {id, twin, twinToo});
    ASSERT_NE(withOwn, nullptr);
    ASSERT_NE(withTwins, nullptr);

    auto read = [&](const TypeDescriptor* descriptor, std::string_view text, bool direct) {
        Loose expected{1, Inner{2, "b", true}, 3, 4};
        ConversionStatus parsed = ParseJson(text);
        ConversionStatus status;
        if (parsed.Ok()) {
            StructFromBinding(status, &expected, parsed.Value(), kTopLevelValueName, descriptor,
                              registry);
        }
        Loose actual{1, Inner{2, "b", true}, 3, 4};
        const bool decided = ReadJsonNativeDirect(registry, text, &actual, HandlerOf<Loose>(),
                                                  descriptor, kTopLevelValueName);
        EXPECT_EQ(decided, direct) << text;
        if (!decided) return;
        EXPECT_TRUE(parsed.Ok() && status.Ok()) << text;
        EXPECT_EQ(actual.id, expected.id) << text;
        EXPECT_EQ(actual.inner.a, expected.inner.a) << text;
        EXPECT_EQ(actual.inner.b, expected.inner.b) << text;
        EXPECT_EQ(actual.inner.c, expected.inner.c) << text;
        EXPECT_EQ(actual.twin, expected.twin) << text;
        EXPECT_EQ(actual.twinToo, expected.twinToo) << text;
    };
    read(withOwn, R"({"id":5,"inner":{"a":6,"c":false,"x":[1]}})", true);
    read(withOwn, R"({"inner":{"a":"six"}})", false);
    read(withOwn, R"({"inner":"text"})", false);
    read(withTwins, R"({"twin":8})", false);
}

}  // namespace
}  // namespace Vane::direct_read
