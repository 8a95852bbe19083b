#include "types/type_registry.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "types/event_builder.h"
#include "types/native_handlers.h"
#include "types/type_builder.h"

namespace Vane {
namespace {

TEST(NativeKindNameTest, NamesEveryCodeAndNothingElse) {
    const char* expected[] = {"",       "bool",   "int8",   "uint8",    "int16",
                              "uint16", "int32",  "uint32", "int64",    "uint64",
                              "float",  "double", "string", "object",   "blob",
                              "vector", "enum",   "struct", "callback", "map"};
    for (uint32_t code = 0; code < std::size(expected); ++code) {
        EXPECT_STREQ(NativeKindName(code), expected[code]);
    }
    EXPECT_STREQ(NativeKindName(20u), "");
    EXPECT_STREQ(NativeKindName(0xFFFFFFFFu), "");
}

TEST(TypeInfoTest, BuildTimeAndPlaceholderInfos) {
    static_assert(TypeInfoOf<int64_t>().id == StaticType::Id<int64_t>());
    EXPECT_STREQ(TypeInfoOf<long long>().name, "int64_t");
    EXPECT_STREQ(TypeInfoOf<std::vector<std::string>>().name, "std::vector<std::string>");

    const TypeInfo& state = PlaceholderTypeInfo(0x4B896D21);
    EXPECT_EQ(state.id, 0x4B896D21u);
    EXPECT_STREQ(state.name, "#4B896D21");
    EXPECT_EQ(&PlaceholderTypeInfo(0x4B896D21), &state);  // one record per id
    EXPECT_STREQ(PlaceholderTypeInfo(0x0000000A).name, "#0000000A");
    EXPECT_STREQ(PlaceholderTypeInfo(kPlaceholderTypeId).name, "#1BE7EF8E");
}

TEST(TypeIdHashTest, IsFnv1aOverTheIdBytesLowestFirst) {
    for (uint32_t id : {0u, 1u, 0x4B896D21u, 0xFFFFFFFFu}) {
        const char bytes[] = {static_cast<char>(id & 0xFF), static_cast<char>((id >> 8) & 0xFF),
                              static_cast<char>((id >> 16) & 0xFF),
                              static_cast<char>((id >> 24) & 0xFF)};
        EXPECT_EQ(TypeIdHash()(id), Fnv1a32(std::string_view(bytes, 4)));
    }
}

struct Pair {
    int32_t first = 0;
    std::string second;
};

// Registers "PairDTO" by hand, as code without a typed description does.
TypeBuilder BeginPair(TypeRegistry& registry,
                      const TypeInfo& info = PlaceholderTypeInfo(0x00C0FFEE)) {
    return BeginType(registry, sizeof(Pair), "PairDTO", info, false);
}

bool AddPairField(TypeBuilder& builder, std::string_view name, size_t offset,
                  const TypeHandler& handler, TypeIdentifier type, uint32_t flags = 0) {
    return AddField(builder, FieldDefinition{.name = name,
                                             .offset = static_cast<uint32_t>(offset),
                                             .typeInfo = &TypeInfoOf<int32_t>(),
                                             .type = type,
                                             .flags = flags,
                                             .handler = &handler});
}

TEST(TypeRegistryTest, ManualRegistrationAndLookups) {
    TypeRegistry registry;
    {
        TypeBuilder builder = BeginPair(registry);
        ASSERT_TRUE(builder.Writable());
        EXPECT_FALSE(builder.AlreadyRegistered());
        builder.Description("A pair.").NameSpace("test").Tag("a").Tag("b");
        EXPECT_TRUE(AddPairField(builder, "first", offsetof(Pair, first), HandlerOf<int32_t>(),
                                 {6, 0, nullptr}, kFieldRequired));
        EXPECT_TRUE(AddPairField(builder, "second", offsetof(Pair, second),
                                 HandlerOf<std::string>(), {12, 0, nullptr}));
    }
    const TypeDescriptor* pair = registry.FindByName("PairDTO");
    ASSERT_NE(pair, nullptr);
    EXPECT_EQ(registry.FindById(0x00C0FFEE), pair);
    EXPECT_EQ(registry.TypeIdOf("PairDTO"), 0x00C0FFEEu);
    EXPECT_EQ(registry.TypeIdOf("Missing"), 0u);
    EXPECT_EQ(registry.FindById(1), nullptr);
    EXPECT_EQ(pair->registry, &registry);
    EXPECT_EQ(pair->typeInfo->Name(), "#00C0FFEE");
    EXPECT_EQ(pair->nameSpace, "test");
    EXPECT_EQ(pair->tags, (std::vector<std::string>{"a", "b"}));
    ASSERT_EQ(pair->fields.size(), 2u);
    EXPECT_EQ(pair->FindField("second"), &pair->fields[1]);
    EXPECT_EQ(pair->fields[1].owner, pair);

    // The generic conversions work from the hand-made descriptor.
    Pair native{5, "five"};
    ConversionStatus written;
    StructToBinding(written, written.Value(), &native, pair, registry);
    ASSERT_TRUE(written.Ok());
    EXPECT_EQ(written.Value().Member("first").GetSigned(), 5);
    Pair read;
    ConversionStatus status;
    StructFromBinding(status, &read, written.Value(), "pair", pair, registry);
    ASSERT_TRUE(status.Ok());
    EXPECT_EQ(read.second, "five");

    // A second registration under the name changes nothing, whatever it adds.
    {
        TypeBuilder again = BeginPair(registry, PlaceholderTypeInfo(0x0000BEEF));
        EXPECT_TRUE(again.AlreadyRegistered());
        EXPECT_EQ(again.Descriptor(), pair);
        again.Description("Other.");
        EXPECT_FALSE(AddPairField(again, "third", 0, HandlerOf<int32_t>(), {6, 0, nullptr}));
    }
    EXPECT_EQ(pair->fields.size(), 2u);
    EXPECT_EQ(pair->description, "A pair.");
    EXPECT_EQ(registry.FindById(0x0000BEEF), nullptr);
}

TEST(TypeRegistryTest, PlaceholderIdsAndSharedIdsAreReachableByNameOnly) {
    TypeRegistry registry;
    BeginType(registry, 4, "Nameless", PlaceholderTypeInfo(kPlaceholderTypeId), false);
    EXPECT_NE(registry.FindByName("Nameless"), nullptr);
    EXPECT_EQ(registry.FindById(kPlaceholderTypeId), nullptr);
    EXPECT_EQ(registry.TypeIdOf("Nameless"), kPlaceholderTypeId);

    BeginType(registry, 4, "First", PlaceholderTypeInfo(77), false);
    BeginType(registry, 4, "Second", PlaceholderTypeInfo(77), false);
    EXPECT_EQ(registry.FindById(77), registry.FindByName("First"));
    EXPECT_NE(registry.FindByName("Second"), nullptr);
}

TEST(TypeRegistryTest, AFailedRegistrationIsWithdrawn) {
    TypeRegistry registry;
    {
        TypeBuilder builder = BeginPair(registry);
        // A field without a handler could never convert.
        EXPECT_FALSE(AddField(builder, FieldDefinition{.name = "first"}));
        EXPECT_FALSE(builder.Ok());
    }
    EXPECT_EQ(registry.FindByName("PairDTO"), nullptr);
    EXPECT_EQ(registry.FindById(0x00C0FFEE), nullptr);
    EXPECT_TRUE(registry.Types().Value().empty());
    // The name is free again.
    EXPECT_FALSE(BeginPair(registry).AlreadyRegistered());
}

// A record handler written against the low-level interface.
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

struct Outer {
    int32_t id = 0;
    Pair inner;
};

TEST(TypeRegistryTest, ANestedRecordWithoutDescriptorFailsTheWholeConversion) {
    TypeRegistry registry;
    {
        TypeBuilder builder =
            BeginType(registry, sizeof(Outer), "Outer", PlaceholderTypeInfo(3), false);
        AddPairField(builder, "id", offsetof(Outer, id), HandlerOf<int32_t>(), {6, 0, nullptr});
        AddPairField(builder, "inner", offsetof(Outer, inner), kRecordHandler, {17, 0, nullptr});
    }
    const TypeDescriptor* outer = registry.FindByName("Outer");
    ASSERT_NE(outer, nullptr);

    // The failure deep inside replaces the half-built structure: only the error is left.
    Outer native{7, {}};
    ConversionStatus written;
    StructToBinding(written, written.Value(), &native, outer, registry);
    EXPECT_EQ(written.Error(),
              "Couldn't convert native value because it's an unregistered structure.");
    EXPECT_EQ(written.Value().Size(), 1u);

    BindingProperty value;
    value.MemberForWrite("id")->SetSigned(1);
    value.MemberForWrite("inner")->MemberForWrite("first")->SetSigned(2);
    ConversionStatus status;
    StructFromBinding(status, &native, value, "outer", outer, registry);
    EXPECT_EQ(status.Error(),
              "Couldn't assign value to 'inner' because the input is an unregistered structure "
              "or not a structure at all.");
    EXPECT_EQ(native.id, 1);  // converted before the failure
}

TEST(TypeRegistryTest, Enumerators) {
    TypeRegistry registry;
    const TypeInfo& info = PlaceholderTypeInfo(0x4B896D21);
    {
        TypeBuilder builder = BeginType(registry, 4, "BindingAsyncState", info, true);
        AddEnumerator(builder, "Running", 1, "old");
        AddEnumerator(builder, "None", 0, "Invalid state");
        AddEnumerator(builder, "Failed", 5, "");
        AddEnumerator(builder, "Alias", 5, "");
        AddEnumerator(builder, "Running", 1, "The operation is in flight");  // replaces
    }
    const TypeDescriptor* state = registry.FindById(0x4B896D21);
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(state->isEnum);
    ASSERT_EQ(state->enumerators.size(), 4u);
    EXPECT_EQ(state->FindEnumerator("Running")->description, "The operation is in flight");
    EXPECT_EQ(state->FindEnumerator("Running")->owner, state);
    EXPECT_EQ(state->FindEnumerator(2), nullptr);
    EXPECT_EQ(state->FindEnumerator("running"), nullptr);
    // Several names for one value: the first by name.
    EXPECT_STREQ(registry.EnumName(0x4B896D21, 5), "Alias");
    EXPECT_STREQ(registry.EnumName(0x4B896D21, 0), "None");
    EXPECT_EQ(registry.EnumName(0x4B896D21, 3), nullptr);
    EXPECT_EQ(registry.EnumName(0x12345678, 0), nullptr);

    const EnumNameResolver& resolver = registry;
    EXPECT_STREQ(resolver.EnumName(0x4B896D21, 1), "Running");
}

TEST(TypeRegistryTest, FunctionAndEventTables) {
    TypeRegistry registry;
    EXPECT_FALSE(registry.HoldsBuiltIns());
    registry.MarkBuiltIns();
    EXPECT_TRUE(registry.HoldsBuiltIns());

    FunctionDescription help;
    help.name = "Help";
    help.arguments.push_back(ArgumentDescription{.name = "format", .optional = true});
    help.threadSafe = true;
    help.tags = {"$builtin"};
    EXPECT_TRUE(registry.AddFunction(help));
    FunctionDescription other = help;
    other.description = "second";
    EXPECT_FALSE(registry.AddFunction(other));
    other.name = "Other";
    EXPECT_TRUE(registry.AddFunction(other));
    auto functions = registry.Functions();
    ASSERT_TRUE(functions.HasValue());
    ASSERT_EQ(functions.Value().size(), 2u);
    EXPECT_EQ(functions.Value()[0].name, "Help");
    EXPECT_EQ(functions.Value()[0].description, "");
    EXPECT_TRUE(functions.Value()[0].arguments[0].optional);
    EXPECT_EQ(functions.Value()[1].name, "Other");

    BeginType(registry, 4, "Payload", PlaceholderTypeInfo(0x1234), false);
    BeginEvent(registry, "OnCallback", PlaceholderTypeInfo(0x1234))
        .Description("Fired when a callback is invoked.")
        .Tag("$builtin");
    BeginEvent(registry, "OnCallback", nullptr).Description("ignored").Tag("ignored");
    BeginEvent(registry, "OnUnknown", PlaceholderTypeInfo(0x9999));
    auto events = registry.Events();
    ASSERT_TRUE(events.HasValue());
    ASSERT_EQ(events.Value().size(), 2u);
    EXPECT_EQ(events.Value()[0].payload, registry.FindByName("Payload"));
    EXPECT_EQ(events.Value()[0].description, "Fired when a callback is invoked.");
    EXPECT_EQ(events.Value()[0].tags, std::vector<std::string>{"$builtin"});
    EXPECT_EQ(events.Value()[1].payload, nullptr);

    auto types = registry.Types();
    ASSERT_TRUE(types.HasValue());
    ASSERT_EQ(types.Value().size(), 1u);
    EXPECT_EQ(types.Value()[0]->name, "Payload");

    // The record views point at the registry's own records, which stay put as tables grow.
    auto functionRecords = registry.FunctionRecords();
    auto eventRecords = registry.EventRecords();
    ASSERT_TRUE(functionRecords.HasValue() && eventRecords.HasValue());
    const char* name = functionRecords.Value()[0]->name.c_str();
    const EventDescription* event = eventRecords.Value()[0];
    for (int index = 0; index < 100; ++index) {
        FunctionDescription more;
        more.name = "F" + std::to_string(index);
        registry.AddFunction(std::move(more));
        BeginEvent(registry, "E" + std::to_string(index), nullptr);
    }
    EXPECT_EQ(registry.FunctionRecords().Value()[0]->name.c_str(), name);
    EXPECT_EQ(registry.EventRecords().Value()[0], event);
    EXPECT_EQ(registry.FunctionRecords().Value().size(), 102u);
}

}  // namespace
}  // namespace Vane
