#include "api/api_help.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "types/event_builder.h"
#include "types/record_description.h"
#include "value/binding_blob.h"

namespace Vane::api_help_test {

enum class Shade : int32_t { kDim = -1, kLight = 1, kDark = 2 };

struct Swatch {
    std::string label;
    Shade shade = Shade::kLight;
    std::vector<int32_t> codes;
    std::vector<Shade> palette;
    std::map<std::string, int64_t> byName;
    BindingBlob raw;
};

}  // namespace Vane::api_help_test

namespace Vane {

using api_help_test::Shade;
using api_help_test::Swatch;

template <>
struct TypeDescription<Shade> {
    static void Describe(RecordBuilder<Shade>& r) {
        r.Name("ShadeEnum").Description("-Tone of light").Tag("demo");
        // Registered out of value order: help lists them by value.
        r.Enumerator("Dark", Shade::kDark);
        r.Enumerator("Light", Shade::kLight, "Bright");
        r.Enumerator("Dim", Shade::kDim, "Barely {lit}");
    }
};

template <>
struct TypeDescription<Swatch> {
    static void Describe(RecordBuilder<Swatch>& r) {
        r.Name("SwatchDTO").Description("A colour sample.").Tag("demo").Tag("paint");
        r.Field("label", &Swatch::label, "Label {text}");
        r.Field("shade", &Swatch::shade,
                FieldOptions{.description = "Its shade", .optional = true});
        r.Field("codes", &Swatch::codes);
        r.Field("palette", &Swatch::palette);
        r.Field("byName", &Swatch::byName);
        r.Field("raw", &Swatch::raw);
    }
};

namespace {

TypeIdentifier Kind(NativeKind kind, NativeKind element = NativeKind::kNone,
                    const TypeDescriptor* descriptor = nullptr) {
    return TypeIdentifier{static_cast<uint32_t>(kind), static_cast<uint32_t>(element), descriptor};
}

ArgumentDescription Argument(std::string name, std::string description, TypeIdentifier type,
                             bool optional = false) {
    ArgumentDescription argument;
    argument.name = std::move(name);
    argument.description = std::move(description);
    argument.type = type;
    argument.optional = optional;
    return argument;
}

BindingProperty Text(std::string_view text) {
    BindingProperty value;
    EXPECT_TRUE(value.SetString(text));
    return value;
}

BindingProperty TextList(std::initializer_list<std::string_view> texts) {
    BindingProperty list;
    EXPECT_TRUE(list.MakeCollection());
    for (std::string_view text : texts) EXPECT_TRUE(list.AppendElement()->SetString(text));
    return list;
}

BindingProperty FullType(std::string_view type, std::string_view elementType = "") {
    BindingProperty value;
    EXPECT_TRUE(value.MemberForWrite("type")->SetString(type));
    EXPECT_TRUE(value.MemberForWrite("elementType")->SetString(elementType));
    return value;
}

// The first element of `list` whose member "name" is `name`, or the shared empty value.
const BindingProperty& Named(const BindingProperty& list, std::string_view name) {
    for (const BindingProperty& element : list.Elements()) {
        if (element.Member("name").GetString() == name) return element;
    }
    return BindingProperty::SharedEmpty();
}

// The byte offset of `member` in a Swatch (offsetof is not portable for non-standard layouts).
template <class M>
size_t OffsetIn(M Swatch::*member) {
    static const Swatch sample;
    return static_cast<size_t>(reinterpret_cast<const char*>(&(sample.*member)) -
                               reinterpret_cast<const char*>(&sample));
}

std::vector<std::string> Names(const BindingProperty& list) {
    std::vector<std::string> names;
    for (const BindingProperty& element : list.Elements()) {
        names.emplace_back(element.Member("name").GetString());
    }
    return names;
}

// A small API: one function with arguments, a struct, an enum and an event, besides the help
// types themselves.
class ApiHelpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterHelpTypes(registry_));
        swatch_ = RegisterType<Swatch>(registry_);
        ASSERT_NE(swatch_, nullptr);
        shade_ = registry_.FindByName("ShadeEnum");
        ASSERT_NE(shade_, nullptr);

        FunctionDescription paint;
        paint.name = "PaintSwatch";
        paint.nameSpace = "paint";
        paint.arguments.push_back(Argument("label", "The {label}", Kind(NativeKind::kString)));
        paint.arguments.push_back(
            Argument("codes", "", Kind(NativeKind::kVector, NativeKind::kInt32)));
        paint.arguments.push_back(
            Argument("shade", "Preferred shade", Kind(NativeKind::kEnum, {}, shade_), true));
        paint.returns = Kind(NativeKind::kStruct, {}, swatch_);
        paint.description = "-Paints a swatch.";
        paint.help = "Use {sparingly}.";
        paint.threadSafe = true;
        paint.asyncResultType = swatch_;
        paint.tags = {"paint", "demo"};
        ASSERT_TRUE(registry_.AddFunction(paint));

        EventBuilder event = BeginEvent(registry_, "OnSwatchPainted", swatch_);
        event.Description("Fired {once}.").Tag("demo");
    }

    TypeRegistry registry_;
    const TypeDescriptor* swatch_ = nullptr;
    const TypeDescriptor* shade_ = nullptr;
};

TEST(EpytextEscapeTest, EscapesALeadingHyphenThenEveryBrace) {
    const struct {
        std::string_view text;
        std::string_view escaped;
    } cases[] = {
        {"", ""},
        {"plain-text", "plain-text"},
        {"-", "E{-}"},
        {"-a-b {c}", "E{-}a-b E{lb}cE{rb}"},
        {"{{}}", "E{lb}E{lb}E{rb}E{rb}"},
        {" -x", " -x"},
        {"}-", "E{rb}-"},
    };
    for (const auto& c : cases) EXPECT_EQ(EpytextEscape(c.text), c.escaped) << c.text;
}

TEST(EpytextTypeNameTest, NamesEveryKind) {
    TypeDescriptor record;
    record.name = "Rec";
    const struct {
        TypeIdentifier type;
        std::string_view name;
    } cases[] = {
        {Kind(NativeKind::kNone), ""},
        {Kind(NativeKind::kBool), "bool"},
        {Kind(NativeKind::kInt8), "int8"},
        {Kind(NativeKind::kUint64), "uint64"},
        {Kind(NativeKind::kDouble), "double"},
        {Kind(NativeKind::kString), "string"},
        {Kind(NativeKind::kObject), "object"},
        {Kind(NativeKind::kCallback), "callback"},
        {Kind(NativeKind::kBlob), "bytearray"},
        {Kind(NativeKind::kVector, NativeKind::kInt32), "list[int32]"},
        {Kind(NativeKind::kVector, NativeKind::kBlob), "list[bytearray]"},
        {Kind(NativeKind::kVector, NativeKind::kStruct, &record), "list[L{Rec}]"},
        {Kind(NativeKind::kMap, NativeKind::kString), "dict[string]"},
        {Kind(NativeKind::kMap, NativeKind::kEnum, &record), "dict[L{Rec}]"},
        {Kind(NativeKind::kStruct, {}, &record), "L{Rec}"},
        {Kind(NativeKind::kEnum, {}, &record), "L{Rec}"},
        {Kind(NativeKind::kStruct), "L{struct}"},
        {TypeIdentifier{20, 0, nullptr}, ""},
        {TypeIdentifier{0xFFFFFFFF, 0, nullptr}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EpytextTypeName(c.type), c.name) << c.type.kind << "/" << c.type.elementKind;
    }
}

TEST(FullTypeIdentifierTest, UsesKindNamesAndRegisteredNames) {
    TypeDescriptor record;
    record.name = "Rec";
    const struct {
        TypeIdentifier type;
        std::string_view text;
        std::string_view element;
    } cases[] = {
        {Kind(NativeKind::kNone), "", ""},
        {Kind(NativeKind::kBlob), "blob", ""},
        {Kind(NativeKind::kInt32), "int32", ""},
        {Kind(NativeKind::kVector, NativeKind::kInt32), "vector", "int32"},
        {Kind(NativeKind::kMap, NativeKind::kStruct, &record), "map", "Rec"},
        {Kind(NativeKind::kVector, NativeKind::kEnum), "vector", "enum"},
        {Kind(NativeKind::kEnum, {}, &record), "Rec", ""},
        {Kind(NativeKind::kStruct), "struct", ""},
    };
    for (const auto& c : cases) {
        const BindingFullTypeIdentifier full = FullTypeIdentifier(c.type);
        EXPECT_EQ(full.type, c.text);
        EXPECT_EQ(full.elementType, c.element);
    }
}

TEST_F(ApiHelpTest, EpytextTextsOfASmallApi) {
    const ConversionStatus help = BuildApiHelp(registry_, BindingHelpFormat::kEpytext);
    ASSERT_TRUE(help.Ok()) << help.Error();
    const BindingProperty& value = help.Value();
    ASSERT_EQ(value.Kind(), PropertyKind::kStructure);
    EXPECT_EQ(value.Size(), 3u);

    const BindingProperty& functions = value.Member("functions");
    ASSERT_EQ(functions.Kind(), PropertyKind::kStructure);
    EXPECT_EQ(functions.Size(), 1u);
    EXPECT_EQ(functions.Member("PaintSwatch").GetString(),
              "E{-}Paints a swatch.\r\n\r\n"
              "Use E{lb}sparinglyE{rb}.\r\n\r\n"
              "@param label: The E{lb}labelE{rb}\r\n"
              "@type label: string\r\n"
              "@type codes: list[int32]\r\n"
              "@param shade: (optional) Preferred shade\r\n"
              "@type shade: L{ShadeEnum}\r\n"
              "@rtype: L{SwatchDTO}\r\n"
              "@tags: paint,demo\r\n"
              "@threadsafe: true\r\n"
              "@async: L{SwatchDTO}\r\n");

    const BindingProperty& types = value.Member("types");
    ASSERT_EQ(types.Kind(), PropertyKind::kStructure);
    EXPECT_EQ(types.Size(), 11u);  // the two above and the nine help types
    // Field and enumerator descriptions are written as given.
    EXPECT_EQ(types.Member("SwatchDTO").GetString(),
              "A colour sample.\r\n\r\n"
              "@ivar label: Label {text}\r\n"
              "@type label: string\r\n"
              "@ivar shade: Its shade\r\n"
              "@type shade: L{ShadeEnum}\r\n"
              "@ivar codes: \r\n"
              "@type codes: list[int32]\r\n"
              "@ivar palette: \r\n"
              "@type palette: list[L{ShadeEnum}]\r\n"
              "@ivar byName: \r\n"
              "@type byName: dict[int64]\r\n"
              "@ivar raw: \r\n"
              "@type raw: bytearray\r\n"
              "@tags: demo,paint\r\n");
    EXPECT_EQ(types.Member("ShadeEnum").GetString(),
              "E{-}Tone of light\r\n\r\n"
              "@cvar Dim: (-1) Barely {lit}\r\n"
              "@cvar Light: (1) Bright\r\n"
              "@cvar Dark: (2)\r\n"
              "@tags: demo\r\n"
              "@size: 4\r\n");
    EXPECT_EQ(types.Member("BindingHelpFormat").GetString(),
              "Help format for binding functions and types.\r\n\r\n"
              "@cvar Full: (1) Native help format\r\n"
              "@cvar Epytext: (2) Python epytext format\r\n"
              "@tags: $builtin,help\r\n"
              "@size: " +
                  std::to_string(sizeof(BindingHelpFormat)) + "\r\n");
    EXPECT_EQ(types.Member("BindingFullEnumValueHelp").GetString(),
              "Describes an enumerator.\r\n\r\n"
              "@ivar name: \r\n"
              "@type name: string\r\n"
              "@ivar description: \r\n"
              "@type description: string\r\n"
              "@ivar value: \r\n"
              "@type value: int32\r\n"
              "@tags: $builtin,help\r\n");

    const BindingProperty& events = value.Member("events");
    ASSERT_EQ(events.Kind(), PropertyKind::kStructure);
    EXPECT_EQ(events.Size(), 1u);
    EXPECT_EQ(events.Member("OnSwatchPainted").GetString(),
              "Fired E{lb}onceE{rb}.\r\n\r\n@tags: demo\r\n");
}

TEST_F(ApiHelpTest, EpytextOfAFunctionWithOnlyAnUndescribedVectorArgument) {
    FunctionDescription bare;
    bare.name = "Bare";
    bare.arguments.push_back(Argument("x", "", Kind(NativeKind::kVector, NativeKind::kInt32)));
    EXPECT_EQ(EpytextFunctionText(bare), "@type x: list[int32]\r\n");

    // Nothing at all for a function that has nothing to say; no "@async" without a result type.
    FunctionDescription empty;
    empty.name = "Empty";
    EXPECT_EQ(EpytextFunctionText(empty), "");

    EventDescription silent;
    silent.name = "OnNothing";
    EXPECT_EQ(EpytextEventText(silent), "");
}

TEST_F(ApiHelpTest, FullFormatOfASmallApi) {
    const ConversionStatus help = BuildApiHelp(registry_, BindingHelpFormat::kFull);
    ASSERT_TRUE(help.Ok()) << help.Error();
    const BindingProperty& value = help.Value();
    ASSERT_EQ(value.Size(), 3u);

    const BindingProperty& functions = value.Member("functions");
    ASSERT_EQ(functions.Kind(), PropertyKind::kCollection);
    ASSERT_EQ(functions.Size(), 1u);
    BindingProperty expected;
    EXPECT_TRUE(expected.MemberForWrite("name")->SetString("PaintSwatch"));
    EXPECT_TRUE(expected.MemberForWrite("nameSpace")->SetString("paint"));
    BindingProperty& arguments = *expected.MemberForWrite("arguments");
    const struct {
        std::string_view name, description;
        BindingProperty type;
        bool optional;
    } argumentCases[] = {
        {"label", "The {label}", FullType("string"), false},
        {"codes", "", FullType("vector", "int32"), false},
        {"shade", "Preferred shade", FullType("ShadeEnum"), true},
    };
    for (const auto& c : argumentCases) {
        BindingProperty& argument = *arguments.AppendElement();
        EXPECT_TRUE(argument.MemberForWrite("name")->SetString(c.name));
        EXPECT_TRUE(argument.MemberForWrite("description")->SetString(c.description));
        *argument.MemberForWrite("type") = c.type;
        argument.MemberForWrite("optional")->SetBool(c.optional);
    }
    *expected.MemberForWrite("returns") = FullType("SwatchDTO");
    EXPECT_TRUE(expected.MemberForWrite("description")->SetString("-Paints a swatch."));
    EXPECT_TRUE(expected.MemberForWrite("help")->SetString("Use {sparingly}."));
    expected.MemberForWrite("threadSafe")->SetBool(true);
    EXPECT_TRUE(expected.MemberForWrite("async")->SetString("SwatchDTO"));
    *expected.MemberForWrite("tags") = TextList({"paint", "demo"});
    EXPECT_EQ(functions.Element(0), expected);

    const BindingProperty& types = value.Member("types");
    ASSERT_EQ(types.Kind(), PropertyKind::kCollection);
    EXPECT_EQ(Names(types),
              (std::vector<std::string>{"BindingFullApiHelp", "BindingFullArgumentHelp",
                                        "BindingFullEnumValueHelp", "BindingFullEventHelp",
                                        "BindingFullFieldHelp", "BindingFullFunctionHelp",
                                        "BindingFullTypeHelp", "BindingFullTypeIdentifier",
                                        "BindingHelpFormat", "ShadeEnum", "SwatchDTO"}));

    // An enumeration: values in value order, no fields.
    const BindingProperty& shade = Named(types, "ShadeEnum");
    EXPECT_EQ(shade.Member("nameSpace"), Text(""));
    EXPECT_EQ(shade.Member("size").GetUnsigned(), sizeof(Shade));
    EXPECT_EQ(shade.Member("description"), Text("-Tone of light"));
    EXPECT_EQ(shade.Member("tags"), TextList({"demo"}));
    EXPECT_EQ(shade.Member("fields").Kind(), PropertyKind::kCollection);
    EXPECT_EQ(shade.Member("fields").Size(), 0u);
    const BindingProperty& values = shade.Member("values");
    ASSERT_EQ(values.Size(), 3u);
    const struct {
        std::string_view name, description;
        int64_t value;
    } valueCases[] = {{"Dim", "Barely {lit}", -1}, {"Light", "Bright", 1}, {"Dark", "", 2}};
    for (size_t index = 0; index < std::size(valueCases); ++index) {
        const BindingProperty& element = values.Element(index);
        EXPECT_EQ(element.Member("name"), Text(valueCases[index].name));
        EXPECT_EQ(element.Member("description"), Text(valueCases[index].description));
        EXPECT_EQ(element.Member("value").Kind(), PropertyKind::kSigned);
        EXPECT_EQ(element.Member("value").GetSigned(), valueCases[index].value);
    }

    // A structure: fields in registration order with their offsets, no values.
    const BindingProperty& swatch = Named(types, "SwatchDTO");
    EXPECT_EQ(swatch.Member("size").GetUnsigned(), sizeof(Swatch));
    EXPECT_EQ(swatch.Member("tags"), TextList({"demo", "paint"}));
    EXPECT_EQ(swatch.Member("values").Kind(), PropertyKind::kCollection);
    EXPECT_EQ(swatch.Member("values").Size(), 0u);
    const BindingProperty& fields = swatch.Member("fields");
    const struct {
        std::string_view name, description;
        size_t offset;
        BindingProperty type;
        bool optional;
    } fieldCases[] = {
        {"label", "Label {text}", OffsetIn(&Swatch::label), FullType("string"), false},
        {"shade", "Its shade", OffsetIn(&Swatch::shade), FullType("ShadeEnum"), true},
        {"codes", "", OffsetIn(&Swatch::codes), FullType("vector", "int32"), false},
        {"palette", "", OffsetIn(&Swatch::palette), FullType("vector", "ShadeEnum"), false},
        {"byName", "", OffsetIn(&Swatch::byName), FullType("map", "int64"), false},
        {"raw", "", OffsetIn(&Swatch::raw), FullType("blob"), false},
    };
    ASSERT_EQ(fields.Size(), std::size(fieldCases));
    for (size_t index = 0; index < std::size(fieldCases); ++index) {
        const BindingProperty& field = fields.Element(index);
        const auto& c = fieldCases[index];
        EXPECT_EQ(field.Member("name"), Text(c.name));
        EXPECT_EQ(field.Member("description"), Text(c.description));
        EXPECT_EQ(field.Member("offset").GetUnsigned(), c.offset) << c.name;
        EXPECT_EQ(field.Member("type"), c.type) << c.name;
        EXPECT_EQ(field.Member("optional").GetBool(), c.optional) << c.name;
    }

    const BindingProperty& events = value.Member("events");
    ASSERT_EQ(events.Size(), 1u);
    BindingProperty event;
    EXPECT_TRUE(event.MemberForWrite("name")->SetString("OnSwatchPainted"));
    EXPECT_TRUE(event.MemberForWrite("nameSpace")->SetString(""));
    *event.MemberForWrite("type") = FullType("SwatchDTO");
    EXPECT_TRUE(event.MemberForWrite("description")->SetString("Fired {once}."));
    *event.MemberForWrite("tags") = TextList({"demo"});
    EXPECT_EQ(events.Element(0), event);
}

TEST_F(ApiHelpTest, ListsAreSortedByteWiseByName) {
    for (const char* name : {"zeta", "Alpha", "beta", "Zed"}) {
        FunctionDescription function;
        function.name = name;
        ASSERT_TRUE(registry_.AddFunction(function));
    }
    BeginEvent(registry_, "OnAaa", nullptr).Description("first");

    const ConversionStatus help = BuildApiHelp(registry_, BindingHelpFormat::kFull);
    ASSERT_TRUE(help.Ok()) << help.Error();
    EXPECT_EQ(Names(help.Value().Member("functions")),
              (std::vector<std::string>{"Alpha", "PaintSwatch", "Zed", "beta", "zeta"}));
    EXPECT_EQ(Names(help.Value().Member("events")),
              (std::vector<std::string>{"OnAaa", "OnSwatchPainted"}));
    // An event without a payload type has an empty type.
    EXPECT_EQ(Named(help.Value().Member("events"), "OnAaa").Member("type"), FullType(""));
}

TEST_F(ApiHelpTest, GivenListsAreDescribedInsteadOfTheRegistryTables) {
    std::vector<FunctionDescription> functions(2);
    functions[0].name = "b";
    functions[1].name = "a";
    const TypeDescriptor* types[] = {shade_, nullptr};
    ConversionStatus status;
    BuildApiHelp(registry_, functions, types, {}, BindingHelpFormat::kEpytext, status);
    ASSERT_TRUE(status.Ok()) << status.Error();
    EXPECT_EQ(status.Value().Member("functions").Size(), 2u);
    EXPECT_NE(status.Value().Member("functions").FindMember("a"), nullptr);
    EXPECT_EQ(status.Value().Member("types").Size(), 1u);
    EXPECT_EQ(status.Value().Member("events").Kind(), PropertyKind::kStructure);
    EXPECT_EQ(status.Value().Member("events").Size(), 0u);

    // A status that has already failed is left alone.
    ConversionStatus failed;
    failed.Fail("earlier");
    BuildApiHelp(registry_, functions, types, {}, BindingHelpFormat::kFull, failed);
    EXPECT_EQ(failed.Error(), "earlier");
}

TEST_F(ApiHelpTest, AnUnknownFormatLeavesTheThreeMembersEmpty) {
    for (int32_t format : {0, 3, -1}) {
        const ConversionStatus help =
            BuildApiHelp(registry_, static_cast<BindingHelpFormat>(format));
        ASSERT_TRUE(help.Ok()) << help.Error();
        const BindingProperty& value = help.Value();
        EXPECT_EQ(value.Size(), 3u);
        for (const char* member : {"functions", "types", "events"}) {
            const BindingProperty* found = value.FindMember(member);
            ASSERT_NE(found, nullptr) << member;
            EXPECT_TRUE(found->IsEmpty()) << member;
        }
    }
}

TEST(ApiHelpWithoutHelpTypesTest, FullFormatFailsButEpytextWorks) {
    TypeRegistry registry;
    FunctionDescription function;
    function.name = "Lonely";
    ASSERT_TRUE(registry.AddFunction(function));

    const ConversionStatus full = BuildApiHelp(registry, BindingHelpFormat::kFull);
    EXPECT_FALSE(full.Ok());
    EXPECT_EQ(full.Error(),
              "Couldn't convert native value because it's an unregistered structure.");

    const ConversionStatus epytext = BuildApiHelp(registry, BindingHelpFormat::kEpytext);
    ASSERT_TRUE(epytext.Ok()) << epytext.Error();
    EXPECT_EQ(epytext.Value().Member("functions").Member("Lonely").Kind(), PropertyKind::kString);
    EXPECT_EQ(epytext.Value().Member("types").Size(), 0u);
}

TEST(RegisterHelpTypesTest, RegistersOnceWithTagsAndDescriptions) {
    TypeRegistry registry;
    ASSERT_TRUE(RegisterHelpTypes(registry));
    auto first = registry.Types();
    ASSERT_TRUE(first.HasValue());
    ASSERT_TRUE(RegisterHelpTypes(registry));
    auto second = registry.Types();
    ASSERT_TRUE(second.HasValue());
    EXPECT_EQ(first.Value(), second.Value());

    const struct {
        std::string_view name, description;
        std::vector<std::string> fields;
    } cases[] = {
        {"BindingHelpFormat", "Help format for binding functions and types.", {}},
        {"BindingFullTypeIdentifier", "Describes the type of a value.", {"type", "elementType"}},
        {"BindingFullArgumentHelp",
         "Describes a function parameter.",
         {"name", "description", "type", "optional"}},
        {"BindingFullFunctionHelp",
         "Describes a function.",
         {"name", "nameSpace", "arguments", "returns", "description", "help", "threadSafe", "async",
          "tags"}},
        {"BindingFullEnumValueHelp", "Describes an enumerator.", {"name", "description", "value"}},
        {"BindingFullFieldHelp",
         "Describes a member of a struct.",
         {"name", "description", "offset", "type", "optional"}},
        {"BindingFullTypeHelp",
         "Describes a struct or enum type.",
         {"name", "nameSpace", "size", "description", "tags", "fields", "values"}},
        {"BindingFullEventHelp",
         "Describes an event.",
         {"name", "nameSpace", "type", "description", "tags"}},
        {"BindingFullApiHelp",
         "Describes the exposed native API.",
         {"functions", "types", "events"}},
    };
    ASSERT_EQ(first.Value().size(), std::size(cases));
    for (size_t index = 0; index < std::size(cases); ++index) {
        const TypeDescriptor* type = first.Value()[index];
        EXPECT_EQ(type->name, cases[index].name);  // registration order
        EXPECT_EQ(type->description, cases[index].description);
        EXPECT_EQ(type->tags, (std::vector<std::string>{"$builtin", "help"}));
        std::vector<std::string> fields;
        for (const FieldRecord& field : type->fields) fields.push_back(field.name);
        EXPECT_EQ(fields, cases[index].fields) << cases[index].name;
    }
}

}  // namespace
}  // namespace Vane
