#include "api/async_model.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "api/api_help.h"
#include "types/record_description.h"
#include "types/type_builder.h"

namespace Vane {
namespace {

std::string IdName(uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "#%08X", static_cast<unsigned>(id));
    return text;
}

struct FieldExpectation {
    std::string_view name;
    NativeKind kind;
    NativeKind element;
    std::string_view description;
};

class AsyncModelTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(RegisterBuiltins(registry_)); }

    TypeRegistry registry_;
};

TEST_F(AsyncModelTest, RegistersTheRecordsWithFixedIdsAndPlaceholderNames) {
    const std::vector<std::string> builtin{"$builtin", "async"};
    const struct {
        std::string_view name;
        uint32_t id;
        std::string_view description;
        std::vector<std::string> tags;
        std::vector<FieldExpectation> fields;
    } cases[] = {
        {"BindingGenericEvent",
         kBindingGenericEventId,
         "Represents generic data for an event.",
         {},
         {{"data", NativeKind::kObject, NativeKind::kNone, "Event data"}}},
        {"BindingCallbackEvent",
         kBindingCallbackEventId,
         "Represents the parameters of a call to a provided callback.",
         {},
         {{"id", NativeKind::kUint32, NativeKind::kNone, "ID of the callback being invoked"},
          {"parameters", NativeKind::kVector, NativeKind::kObject, "Callback parameters"}}},
        {"BindingGenericAsyncEvent",
         kBindingGenericAsyncEventId,
         "Represents generic data for an asynchronous event.",
         builtin,
         {{"asyncToken", NativeKind::kUint32, NativeKind::kNone, "Asynchronous operation token"},
          {"data", NativeKind::kObject, NativeKind::kNone, "Event data"}}},
        {"BindingAsyncFailureEvent",
         kBindingAsyncFailureEventId,
         "Represents a failed asynchronous operation.",
         builtin,
         {{"asyncToken", NativeKind::kUint32, NativeKind::kNone, "Asynchronous operation token"},
          {"error", NativeKind::kString, NativeKind::kNone, "Error message"}}},
        {"BindingAsyncCancelEvent",
         kBindingAsyncCancelEventId,
         "Represents a cancelled asynchronous operation.",
         builtin,
         {{"asyncToken", NativeKind::kUint32, NativeKind::kNone, "Asynchronous operation token"}}},
    };
    EXPECT_EQ(kBindingAsyncStateId, 0x4B896D21u);
    EXPECT_EQ(kBindingGenericEventId, 0x2A500213u);
    std::vector<uint32_t> ids{kBindingAsyncStateId};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TypeDescriptor* type = registry_.FindByName(c.name);
        ASSERT_NE(type, nullptr);
        EXPECT_FALSE(type->isEnum);
        EXPECT_EQ(type->typeId, c.id);
        EXPECT_EQ(registry_.FindById(c.id), type);
        EXPECT_EQ(type->typeInfo->Name(), IdName(c.id));
        EXPECT_EQ(type->description, c.description);
        EXPECT_EQ(type->tags, c.tags);
        ASSERT_EQ(type->fields.size(), c.fields.size());
        for (size_t index = 0; index < c.fields.size(); ++index) {
            const FieldRecord& field = type->fields[index];
            EXPECT_EQ(field.name, c.fields[index].name);
            EXPECT_EQ(field.type.kind, static_cast<uint32_t>(c.fields[index].kind));
            EXPECT_EQ(field.type.elementKind, static_cast<uint32_t>(c.fields[index].element));
            EXPECT_EQ(field.description, c.fields[index].description);
        }
        for (uint32_t other : ids) EXPECT_NE(other, c.id);  // ids are unique
        ids.push_back(c.id);
    }
}

TEST_F(AsyncModelTest, TheStateEnumerationListsSixValuesInValueOrder) {
    const TypeDescriptor* state = registry_.FindById(kBindingAsyncStateId);
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(state->isEnum);
    EXPECT_EQ(state->name, "BindingAsyncState");
    EXPECT_EQ(state->typeInfo->Name(), "#4B896D21");
    EXPECT_EQ(state->description, "Possible states of an asynchronous operation.");
    EXPECT_EQ(state->tags, (std::vector<std::string>{"$builtin", "async"}));

    const ConversionStatus help = BuildApiHelp(registry_, BindingHelpFormat::kFull);
    ASSERT_TRUE(help.Ok()) << help.Error();
    const BindingProperty* listed = nullptr;
    for (const BindingProperty& type : help.Value().Member("types").Elements()) {
        if (type.Member("name").GetString() == "BindingAsyncState") listed = &type;
    }
    ASSERT_NE(listed, nullptr);
    const struct {
        std::string_view name;
        int64_t value;
        std::string_view description;
    } values[] = {
        {"None", 0, "Invalid state"},
        {"Running", 1, "The operation is in flight"},
        {"Cancelling", 2, "A request to cancel the operation has been made"},
        {"Cancelled", 3, "The operation was cancelled"},
        {"Succeeded", 4, "The operation completed successfully"},
        {"Failed", 5, "The operation encountered an error"},
    };
    const BindingProperty& listedValues = listed->Member("values");
    ASSERT_EQ(listedValues.Size(), std::size(values));
    for (size_t index = 0; index < std::size(values); ++index) {
        const BindingProperty& value = listedValues.Element(index);
        EXPECT_EQ(value.Member("name").GetString(), values[index].name);
        EXPECT_EQ(value.Member("value").GetSigned(-1), values[index].value);
        EXPECT_EQ(value.Member("description").GetString(), values[index].description);
    }
    EXPECT_EQ(listed->Member("fields").Size(), 0u);

    // A state converts as an enum value of the state's type id, and back by name.
    const ConversionStatus running = ToBinding(registry_, BindingAsyncState::kRunning);
    ASSERT_TRUE(running.Ok()) << running.Error();
    EXPECT_EQ(running.Value().GetEnum(), (EnumRecord{1, kBindingAsyncStateId}));
    BindingProperty name;
    EXPECT_TRUE(name.SetString("Cancelling"));
    auto read = ConvertTo<BindingAsyncState>(registry_, name);
    ASSERT_TRUE(read.HasValue()) << read.GetFailure().Message();
    EXPECT_EQ(read.Value(), BindingAsyncState::kCancelling);
}

TEST_F(AsyncModelTest, OnCallbackCarriesTheCallbackEvent) {
    auto events = registry_.Events();
    ASSERT_TRUE(events.HasValue());
    ASSERT_EQ(events.Value().size(), 1u);
    const EventDescription& event = events.Value()[0];
    EXPECT_EQ(event.name, "OnCallback");
    ASSERT_NE(event.payload, nullptr);
    EXPECT_EQ(event.payload, registry_.FindByName("BindingCallbackEvent"));
    EXPECT_EQ(event.description, "Fired when a callback is invoked.");
    EXPECT_EQ(event.tags, (std::vector<std::string>{"$builtin"}));

    const ConversionStatus help = BuildApiHelp(registry_, BindingHelpFormat::kFull);
    ASSERT_TRUE(help.Ok()) << help.Error();
    const BindingProperty& listed = help.Value().Member("events").Element(0);
    EXPECT_EQ(listed.Member("name").GetString(), "OnCallback");
    EXPECT_EQ(listed.Member("type").Member("type").GetString(), "BindingCallbackEvent");
}

TEST_F(AsyncModelTest, RecordsConvertBothWays) {
    const ConversionStatus failure =
        ToBinding(registry_, BindingAsyncFailureEvent{7, "Operation timed out"});
    ASSERT_TRUE(failure.Ok()) << failure.Error();
    const BindingProperty& value = failure.Value();
    EXPECT_EQ(value.Kind(), PropertyKind::kStructure);
    EXPECT_EQ(value.Size(), 2u);
    EXPECT_EQ(value.Member("asyncToken").Kind(), PropertyKind::kUnsigned);
    EXPECT_EQ(value.Member("asyncToken").GetUnsigned(), 7u);
    EXPECT_EQ(value.Member("error").Kind(), PropertyKind::kString);
    EXPECT_EQ(value.Member("error").GetString(), "Operation timed out");

    BindingCallbackEvent call;
    call.id = 3;
    call.parameters.resize(2);
    EXPECT_TRUE(call.parameters[0].SetString("first"));
    call.parameters[1].MemberForWrite("nested")->SetSigned(-4);
    const ConversionStatus written = ToBinding(registry_, call);
    ASSERT_TRUE(written.Ok()) << written.Error();
    auto read = ConvertTo<BindingCallbackEvent>(registry_, written.Value());
    ASSERT_TRUE(read.HasValue()) << read.GetFailure().Message();
    EXPECT_EQ(read.Value().id, 3u);
    ASSERT_EQ(read.Value().parameters.size(), 2u);
    EXPECT_EQ(read.Value().parameters[0], call.parameters[0]);
    EXPECT_EQ(read.Value().parameters[1], call.parameters[1]);

    BindingProperty cancel;
    cancel.MemberForWrite("asyncToken")->SetSigned(-1);
    auto badToken = ConvertTo<BindingAsyncCancelEvent>(registry_, cancel);
    ASSERT_TRUE(badToken.IsFailure());
    EXPECT_EQ(badToken.GetFailure().Message(),
              "Value -1 for 'asyncToken' of type uint32 is out of range");
}

TEST_F(AsyncModelTest, RegisteringAgainChangesNothing) {
    EXPECT_TRUE(registry_.HoldsBuiltIns());
    auto typesBefore = registry_.Types();
    auto eventsBefore = registry_.EventRecords();
    ASSERT_TRUE(typesBefore.HasValue() && eventsBefore.HasValue());
    const ConversionStatus helpBefore = BuildApiHelp(registry_, BindingHelpFormat::kFull);

    EXPECT_TRUE(RegisterBuiltins(registry_));

    auto typesAfter = registry_.Types();
    auto eventsAfter = registry_.EventRecords();
    ASSERT_TRUE(typesAfter.HasValue() && eventsAfter.HasValue());
    EXPECT_EQ(typesAfter.Value(), typesBefore.Value());
    EXPECT_EQ(eventsAfter.Value(), eventsBefore.Value());
    EXPECT_EQ(BuildApiHelp(registry_, BindingHelpFormat::kFull).Value(), helpBefore.Value());

    // The order of registration: help types first, then the state and the five records.
    std::vector<std::string> names;
    for (const TypeDescriptor* type : typesAfter.Value()) names.push_back(type->name);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "BindingHelpFormat", "BindingFullTypeIdentifier",
                         "BindingFullArgumentHelp", "BindingFullFunctionHelp",
                         "BindingFullEnumValueHelp", "BindingFullFieldHelp", "BindingFullTypeHelp",
                         "BindingFullEventHelp", "BindingFullApiHelp", "BindingAsyncState",
                         "BindingGenericEvent", "BindingCallbackEvent", "BindingGenericAsyncEvent",
                         "BindingAsyncFailureEvent", "BindingAsyncCancelEvent"}));
}

TEST(AsyncModelConflictTest, ANameTakenByAnotherTypeLeavesTheMarkUnset) {
    TypeRegistry registry;
    {
        TypeBuilder builder = BeginType(registry, 8, "BindingAsyncFailureEvent",
                                        PlaceholderTypeInfo(0x00BADBAD), false);
        ASSERT_TRUE(builder.Ok());
    }
    EXPECT_FALSE(RegisterBuiltins(registry));
    EXPECT_FALSE(registry.HoldsBuiltIns());
    // The other built-ins are still there.
    EXPECT_NE(registry.FindByName("BindingAsyncCancelEvent"), nullptr);
    EXPECT_NE(registry.FindByName("BindingFullApiHelp"), nullptr);
}

}  // namespace
}  // namespace Vane
