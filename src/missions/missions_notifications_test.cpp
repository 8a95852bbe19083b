// The new-mission notification and the celebration registration, end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "missions/missions_fixture_test_support.h"

namespace Vane::testing {
namespace {

using MissionsNotificationsTest = MissionsFixture;

std::string NewMission(const std::string& id, const char* displayType = "ALWAYS",
                       const char* notifyLevel = "ALWAYS", bool isNew = true) {
    return MissionJson(id, std::string("\"isNew\":") + (isNew ? "true" : "false") +
                               ",\"displayType\":\"" + displayType + "\",\"clientNotifyLevel\":\"" +
                               notifyLevel + "\"");
}

// The notification record the plugin posted (its one positional argument) as JSON with the
// members sorted, or "" when nothing was posted.
std::string PostedNotification(const MissionsHarness& h) {
    const std::vector<RecordedRequest> posts = h.RequestsTo(kPost, kNotifications);
    if (posts.empty()) return "";
    EXPECT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts.back().arguments.size(), 1u);
    if (posts.back().arguments.empty()) return "?";
    EXPECT_EQ(posts.back().arguments[0].first, "");
    TestValue record = posts.back().arguments[0].second;
    std::sort(record.members.begin(), record.members.end(),
              [](const TestMember& a, const TestMember& b) { return a.name < b.name; });
    for (TestMember& member : record.members) {
        std::sort(member.value.members.begin(), member.value.members.end(),
                  [](const TestMember& a, const TestMember& b) { return a.name < b.name; });
    }
    return ToJson(record);
}

TEST_F(MissionsNotificationsTest, NewMissionsOfTheFirstAnswerRaiseOneNotification) {
    struct Case {
        const char* name;
        std::vector<std::string> missions;
        const char* posted;  // sorted JSON, "" for none
    };
    const Case cases[] = {
        {"one",
         {NewMission("m1"), NewMission("m2", "CELEBRATION_ONLY"),
          NewMission("m3", "ALWAYS", "NEVER"), NewMission("m4", "ALWAYS", "ALWAYS", false)},
         R"({"backgroundUrl":"","created":"","critical":false,)"
         R"("data":{"mission_title":"Title m1","quantity":"1"},"detailKey":"new_mission_details",)"
         R"("expires":"","iconUrl":"/fe/pyx-missions/RewardIcons_Mission.png","id":0,)"
         R"("source":"missions","state":"","titleKey":"new_mission_title","type":"new_mission"})"},
        {"two",
         {NewMission("m1"), NewMission("m2")},
         R"({"backgroundUrl":"","created":"","critical":false,)"
         R"("data":{"mission_title":"","quantity":"2"},"detailKey":"new_mission_details_multi",)"
         R"("expires":"","iconUrl":"/fe/pyx-missions/RewardIcons_Mission.png","id":0,)"
         R"("source":"missions","state":"","titleKey":"new_mission_title_multi",)"
         R"("type":"new_mission"})"},
        {"celebration only", {NewMission("m1", "CELEBRATION_ONLY")}, ""},
        {"case matters", {NewMission("m1", "always")}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MissionsHarness h;
        h.SetWorld(kNotifications, "[]");
        std::string list = "[";
        for (const std::string& mission : c.missions)
            list += (list.size() > 1 ? "," : "") + mission;
        h.StartAnswered(AnswerJson(list + "]"));
        EXPECT_EQ(PostedNotification(h), c.posted);
        EXPECT_EQ(h.RequestsTo(kGet, kNotifications).size(), *c.posted ? 1u : 0u);
    }
}

TEST_F(MissionsNotificationsTest, AnExistingNotificationIsKeptOrRefreshed) {
    const std::string existing =
        R"([{"source":"other","type":"new_mission","id":5,"data":{"quantity":"1"}},
            {"source":"missions","type":"new_mission","id":77,"created":"yesterday",
             "expires":"tomorrow","state":"read","titleKey":"t","detailKey":"d",
             "iconUrl":"/old.png","critical":true,"data":{"quantity":"%Q","mission_title":"%T"}}])";
    struct Case {
        const char* quantity;
        const char* title;
        bool posted;
    };
    const Case cases[] = {{"1", "Title m1", false}, {"2", "Title m1", true}, {"1", "Other", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.quantity) + " " + c.title);
        MissionsHarness h;
        std::string world = existing;
        world.replace(world.find("%Q"), 2, c.quantity);
        world.replace(world.find("%T"), 2, c.title);
        h.SetWorld(kNotifications, world);
        h.StartAnswered(AnswerJson("[" + NewMission("m1") + "]"));
        EXPECT_EQ(h.RequestsTo(kGet, kNotifications).size(), 1u);
        if (!c.posted) {
            EXPECT_EQ(PostedNotification(h), "");
            continue;
        }
        // The held one is posted again with the new data and keys, unread, the rest kept.
        EXPECT_EQ(PostedNotification(h),
                  R"({"backgroundUrl":"","created":"yesterday","critical":true,)"
                  R"("data":{"mission_title":"Title m1","quantity":"1"},)"
                  R"("detailKey":"new_mission_details","expires":"tomorrow","iconUrl":"/old.png",)"
                  R"("id":77,"source":"missions","state":"unread","titleKey":"new_mission_title",)"
                  R"("type":"new_mission"})");
    }
}

TEST_F(MissionsNotificationsTest, FailedLookUpIsLoggedAndPostsNothing) {
    // No notifications resource in the world: the GET fails.
    StartAnswered(AnswerJson("[" + NewMission("m1") + "]"));
    EXPECT_EQ(PostedNotification(*this), "");
    const std::vector<HostLogLine> lines = LogLinesWith("Failed to look up player notifications");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].message, "Failed to look up player notifications");
    EXPECT_EQ(lines[0].level, 2);
}

TEST_F(MissionsNotificationsTest, OnlyAnAnswerAfterAnEmptyListNotifies) {
    SetWorld(kNotifications, "[]");
    StartAnswered(AnswerJson("[" + NewMission("m1") + "]"));
    EXPECT_EQ(RequestsTo(kGet, kNotifications).size(), 1u);
    Push(kPlayerUpdate, "{}");
    Answer(Fetches().back(), AnswerJson("[" + NewMission("m1") + "," + NewMission("m2") + "]"));
    EXPECT_EQ(RequestsTo(kGet, kNotifications).size(), 1u);
    Push(kPlayerUpdate, "{}");
    Answer(Fetches().back(), AnswerJson());
    Push(kPlayerUpdate, "{}");
    Answer(Fetches().back(), AnswerJson("[" + NewMission("m2") + "]"));
    EXPECT_EQ(RequestsTo(kGet, kNotifications).size(), 2u);
}

TEST_F(MissionsNotificationsTest, NotificationsNeedTheFrontEndOrTheEntitlement) {
    struct Case {
        const char* entitlements;
        bool notified;
    };
    const Case cases[] = {
        {R"({"entitlements":[]})", false},
        {R"({"entitlements":["urn:entitlement:globalvane.missions.enabledX"]})", false},
        {R"({"entitlements":["a","urn:entitlement:globalvane.missions.enabled"]})", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entitlements);
        MissionsHarness h;
        h.SetWorld(kNotifications, "[]");
        h.SetWorld(kFrontEndEnabled, "false");
        h.SetWorld(kEntitlements, c.entitlements);
        h.StartAnswered(AnswerJson("[" + NewMission("m1") + "]"));
        EXPECT_EQ(h.RequestsTo(kGet, kNotifications).size(), c.notified ? 1u : 0u);
    }
}

using MissionsCelebrationTest = MissionsFixture;

TEST_F(MissionsCelebrationTest, RegisteredOnceWhileWanted) {
    Start();
    // Configuration complete switched both on: one registration.
    EXPECT_EQ(RequestsTo(kPost, kCelebrationRegister).size(), 1u);
    Push(kFrontEndEnabled, "true");
    Push(kEntitlements, R"({"entitlements":["urn:entitlement:globalvane.missions.enabled"]})");
    EXPECT_EQ(RequestsTo(kPost, kCelebrationRegister).size(), 1u);
    EXPECT_TRUE(RequestsTo(kDelete, kCelebration).empty());
    // Every registration is sent without arguments.
    EXPECT_TRUE(RequestsTo(kPost, kCelebrationRegister)[0].arguments.empty());
}

TEST_F(MissionsCelebrationTest, EntitlementRegistersWhenTheFrontEndIsOff) {
    // Without "configuration complete" nothing switches the front end on by default.
    host_.RemoveResource(kConfigurationComplete);
    SetWorld(kMissionsEnabled, "true");
    SetWorld(kFrontEndEnabled, "false");
    Start();
    EXPECT_TRUE(RequestsTo(kPost, kCelebrationRegister).empty());
    const char* entitled = R"({"entitlements":["urn:entitlement:globalvane.missions.enabled"]})";
    Push(kEntitlements, entitled);
    EXPECT_EQ(RequestsTo(kPost, kCelebrationRegister).size(), 1u);
    Push(kEntitlements, entitled);
    EXPECT_EQ(RequestsTo(kPost, kCelebrationRegister).size(), 1u);
    Push(kEntitlements, R"({"entitlements":[]})");
    EXPECT_EQ(RequestsTo(kDelete, kCelebration).size(), 1u);
}

TEST_F(MissionsCelebrationTest, EachTransitionSendsExactlyOneRequest) {
    StartAnswered(AnswerJson("[" + MissionJson("m1") + "]"));
    ASSERT_EQ(RequestsTo(kPost, kCelebrationRegister).size(), 1u);

    Push(kMissionsEnabled, "false");
    EXPECT_EQ(RequestsTo(kDelete, kCelebration).size(), 1u);
    // Switching off also forgets the missions and stops watching the inventory.
    EXPECT_TRUE(CallRoute(kGet, kMissionsUri).value.items.empty());
    EXPECT_EQ(host_.Subscriptions().count("OnJsonApiEvent_pyx-champions_v1_inventories"), 0u);
    Push(kFrontEndEnabled, "true");
    EXPECT_EQ(RequestsTo(kDelete, kCelebration).size(), 1u);

    Push(kMissionsEnabled, R"("yes")");  // not a boolean: on
    EXPECT_EQ(RequestsTo(kPost, kCelebrationRegister).size(), 2u);
    EXPECT_EQ(host_.Subscriptions().count("OnJsonApiEvent_pyx-champions_v1_inventories"), 1u);
}

}  // namespace
}  // namespace Vane::testing
