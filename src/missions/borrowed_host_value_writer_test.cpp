#include "missions/borrowed_host_value_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/function_registry.h"
#include "binding/host_value.h"
#include "binding/nesting_limit.h"
#include "binding/record_description.h"
#include "missions/missions_records.h"
#include "missions/test_value_json_test_support.h"

namespace Vane::Client::Missions {
namespace {

using testing::TestValue;
using testing::ToJson;

class BorrowedHostValueWriterTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(RegisterMissionsTypes(api_.Types(), names_).HasValue()); }

    // The value BindingToHostValue gives for ToBinding(record), as an owned test value.
    template <class T>
    TestValue ThroughValue(const T& record) {
        ConversionStatus value = ToBinding(api_.Types(), record);
        EXPECT_TRUE(value.Ok());
        HostValue host{};
        EXPECT_TRUE(BindingToHostValue(value.Value(), &api_.Types(), host, nullptr));
        TestValue copy = TestValue::Copy(host);
        ReleaseHostValue(host);
        return copy;
    }

    LocalApi api_;
    RemoteTypeNames names_;
};

// Texts with NUL bytes, nested records, empty lists, 64-bit ids, an enumeration and a map: the
// borrowed tree carries exactly the value of the owned conversion.
TEST_F(BorrowedHostValueWriterTest, BuildsTheTreeOfTheValuePath) {
    Api::PlayerUpdateResponse answer;
    Api::Mission mission;
    mission.id = std::string("a\0b", 3);
    mission.title = "Title";
    mission.completedDate = -1;
    mission.cooldownTimeMillis = INT64_MAX;
    mission.objectives.push_back({"CHAMPION", "Win", {1, 2, 3}, 4});
    mission.requirements = {"r1", ""};
    answer.playerMissions = {mission, Api::Mission{}};
    answer.playerSeries.push_back(Api::Series{});
    answer.playerSeries[0].tags = {"seasonal"};

    Api::MissionsNotificationResource notification;
    notification.id = UINT64_MAX;
    notification.data = {{"quantity", "2"}, {"mission_title", ""}};
    Api::GameflowSession session{Api::GameflowPhase::Reconnect};

    BorrowedHostValueWriter answerWriter(&api_.Types());
    ASSERT_TRUE(WalkNative(api_.Types(), answer, answerWriter).Ok());
    ASSERT_TRUE(answerWriter.Ok());
    EXPECT_EQ(ToJson(TestValue::Copy(answerWriter.Root())), ToJson(ThroughValue(answer)));

    BorrowedHostValueWriter notificationWriter(&api_.Types());
    ASSERT_TRUE(WalkNative(api_.Types(), notification, notificationWriter).Ok());
    EXPECT_EQ(ToJson(TestValue::Copy(notificationWriter.Root())),
              ToJson(ThroughValue(notification)));

    BorrowedHostValueWriter sessionWriter(&api_.Types());
    ASSERT_TRUE(WalkNative(api_.Types(), session, sessionWriter).Ok());
    EXPECT_EQ(ToJson(TestValue::Copy(sessionWriter.Root())), R"({"phase":"Reconnect"})");

    // Texts are borrowed and NUL-terminated; names are not owned. (The records are packed:
    // fields are copied out before they are compared.)
    const HostValue& root = answerWriter.Root();
    const HostMember& missions = root.payload.structure.members[0];
    const uint8_t ownsName = missions.ownsName;
    EXPECT_EQ(ownsName, 0);
    const HostValue& first = missions.value.payload.collection.items[0];
    const HostValue* id = nullptr;
    for (uint32_t i = 0; i < first.payload.structure.count; ++i) {
        const HostMember& member = first.payload.structure.members[i];
        if (std::string(member.name) == "id") id = &member.value;
    }
    ASSERT_NE(id, nullptr);
    const uint32_t type = id->type, length = id->payload.string.length;
    EXPECT_EQ(type, kHostValueStringBorrowed);
    ASSERT_EQ(length, 3u);
    EXPECT_EQ(std::string(id->payload.string.chars, 4), std::string("a\0b\0", 4));
}

TEST_F(BorrowedHostValueWriterTest, AWalkOutOfProtocolFails) {
    struct Case {
        const char* name;
        void (*walk)(BorrowedHostValueWriter&);
    };
    const Case cases[] = {
        {"nothing written", [](BorrowedHostValueWriter&) {}},
        {"two roots",
         [](BorrowedHostValueWriter& w) {
             w.WriteBool(true);
             w.WriteBool(false);
         }},
        {"member missing",
         [](BorrowedHostValueWriter& w) {
             w.BeginStructure(2);
             w.MemberName("a");
             w.WriteSigned(1);
             w.EndMember();
             w.EndStructure();
         }},
        {"element beyond the count",
         [](BorrowedHostValueWriter& w) {
             w.BeginCollection(0);
             w.BeginElement();
             w.WriteSigned(1);
             w.EndElement();
             w.EndCollection();
         }},
        {"unclosed", [](BorrowedHostValueWriter& w) { w.BeginCollection(1); }},
        {"member name in a collection",
         [](BorrowedHostValueWriter& w) {
             w.BeginCollection(1);
             w.MemberName("a");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BorrowedHostValueWriter writer(nullptr);
        c.walk(writer);
        EXPECT_FALSE(writer.Ok());
    }
    // Deep but within the limit is fine; an empty collection still has an array.
    BorrowedHostValueWriter writer(nullptr);
    for (int i = 0; i < 100; ++i) {
        writer.BeginCollection(1);
        writer.BeginElement();
    }
    writer.BeginCollection(0);
    writer.EndCollection();
    for (int i = 0; i < 100; ++i) {
        writer.EndElement();
        writer.EndCollection();
    }
    ASSERT_TRUE(writer.Ok());
}

TEST_F(BorrowedHostValueWriterTest, NestingBeyondTheLimitFails) {
    BorrowedHostValueWriter writer(nullptr);
    for (size_t i = 0; i <= kMaxNestingDepth; ++i) {
        writer.BeginCollection(1);
        writer.BeginElement();
    }
    EXPECT_FALSE(writer.Ok());
}

}  // namespace
}  // namespace Vane::Client::Missions
