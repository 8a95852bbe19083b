// Fetching end to end through the plugin library: triggers, the gate, coalescing, the answer's
// publication, failures and the timeout.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "missions/missions_fixture_test_support.h"

namespace Vane::testing {
namespace {

using MissionsFetchTest = MissionsFixture;

TEST_F(MissionsFetchTest, PushedUpdateReachesTheFrontEndsGet) {
    StartAnswered();
    const size_t eventsBefore = host_.Events().size();

    // The messaging service pushes a player update; its content is not read.
    ASSERT_TRUE(Push(kPlayerUpdate, R"({"anything":"at all"})"));
    ASSERT_EQ(Fetches().size(), 2u);
    const ProxyCall fetch = Fetches().back();
    EXPECT_EQ(fetch.service, "missions.server");
    EXPECT_EQ(fetch.method, "missions");
    EXPECT_EQ(fetch.Path(), "/missions/v3/player/XX1/123?locale=en_US");

    ASSERT_TRUE(Answer(fetch, AnswerJson("[" + MissionJson("m1") + "," + MissionJson("m2") + "]",
                                         R"([{"id":"s1","title":"Series one"}])")));
    ASSERT_EQ(host_.Events().size(), eventsBefore + 2);
    ASSERT_FALSE(Published(kMissionsUri).empty());
    EXPECT_EQ(Ids(Published(kMissionsUri).back()), (std::vector<std::string>{"m1", "m2"}));

    const RouteAnswer missions = CallRoute(kGet, "/pyx-missions/v1/missions");
    ASSERT_TRUE(missions.found);
    EXPECT_EQ(missions.error, "");
    EXPECT_EQ(Ids(missions.value), (std::vector<std::string>{"m1", "m2"}));
    const TestValue* title = FindMember(missions.value.items.at(0), "title");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text, "Title m1");
    // Fields the answer left out keep the record's defaults.
    const TestValue* completed = FindMember(missions.value.items.at(0), "completedDate");
    ASSERT_NE(completed, nullptr);
    EXPECT_EQ(completed->i64, -1);

    const RouteAnswer series = CallRoute(kGet, "/pyx-missions/v1/series");
    ASSERT_TRUE(series.found);
    EXPECT_EQ(Ids(series.value), (std::vector<std::string>{"s1"}));
}

// Each condition of the gate blocks the fetch alone: with it missing nothing is sent, whatever
// triggers; once it is met the fetch goes out.
TEST_F(MissionsFetchTest, EachMissingConditionOfTheGateBlocksTheFetch) {
    struct Case {
        const char* name;
        std::function<void(MissionsHarness&)> breakWorld;
        std::function<void(MissionsHarness&)> mend;
    };
    const Case cases[] = {
        {"feature disabled", [](MissionsHarness& f) { f.SetWorld(kMissionsEnabled, "false"); },
         [](MissionsHarness& f) { f.Push(kMissionsEnabled, "true"); }},
        {"account id 0",
         [](MissionsHarness& f) {
             f.SetWorld(kLoginSession, R"({"accountId":0,"summonerId":456,"platformId":"XX1"})");
         },
         [](MissionsHarness& f) {
             f.Push(kLoginSession, R"({"accountId":123,"summonerId":456,"platformId":"XX1"})");
         }},
        {"platform id empty", [](MissionsHarness& f) { f.SetWorld(kPlatformId, R"("")"); },
         [](MissionsHarness& f) { f.Push(kPlatformId, R"("XX1")"); }},
        {"no icons report", [](MissionsHarness& f) { f.host_.RemoveResource(kSummonerIcons); },
         [](MissionsHarness& f) { f.Push(kSummonerIcons, R"({"icons":[7,8,9]})"); }},
        {"no ward skins report", [](MissionsHarness& f) { f.host_.RemoveResource(kWardSkins); },
         [](MissionsHarness& f) { f.Push(kWardSkins, "[]"); }},
        {"no champions (and skins) report",
         [](MissionsHarness& f) { f.host_.RemoveResource(kChampions); },
         [](MissionsHarness& f) {
             f.Push(kChampions, R"([{"id":2,"ownership":{"owned":true}}])");
         }},
        {"champion report without an eligible champion",
         [](MissionsHarness& f) {
             f.SetWorld(kChampions, R"([{"id":2,"ownership":{"owned":false},
                                         "skins":[{"id":3,"ownership":{"owned":true}}]}])");
         },
         [](MissionsHarness& f) {
             f.Push(kChampions, R"([{"id":2,"ownership":{"rental":{"rented":true}}}])");
         }},
        {"no summoner report", [](MissionsHarness& f) { f.host_.RemoveResource(kSummoner); },
         [](MissionsHarness& f) { f.Push(kSummoner, R"({"summonerLevel":31})"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MissionsHarness f;
        c.breakWorld(f);
        f.Start();
        f.Push(kPlayerUpdate, "{}");
        f.CallRoute(kPost, "/pyx-missions/v1/force");
        EXPECT_EQ(f.Fetches().size(), 0u);
        c.mend(f);
        f.Push(kPlayerUpdate, "{}");
        EXPECT_EQ(f.Fetches().size(), 1u);
    }
}

TEST_F(MissionsFetchTest, RequestsDuringAFetchCollapseIntoOneMoreFetch) {
    Start();
    ASSERT_EQ(Fetches().size(), 1u);
    for (int i = 0; i < 3; ++i) Push(kPlayerUpdate, "{}");
    EXPECT_EQ(Fetches().size(), 1u);

    Answer(Fetches()[0], AnswerJson());
    ASSERT_EQ(Fetches().size(), 2u);
    Answer(Fetches()[1], AnswerJson());
    EXPECT_EQ(Fetches().size(), 2u);
    // Idle again: the next trigger fetches at once.
    CallRoute(kPost, "/pyx-missions/v1/force");
    EXPECT_EQ(Fetches().size(), 3u);
}

TEST_F(MissionsFetchTest, EveryAnswerPublishesBothListsChangedOrNot) {
    StartAnswered();
    const std::string missions = "[" + MissionJson("m1") + "]";
    for (int round = 0; round < 2; ++round) {
        Push(kPlayerUpdate, "{}");
        Answer(Fetches().back(), AnswerJson(missions, R"([{"id":"s1"},{"id":"s2"}])"));
    }
    // The start's empty answer, then the same answer twice.
    const std::vector<TestValue> published = Published(kMissionsUri);
    ASSERT_EQ(published.size(), 3u);
    EXPECT_TRUE(published[0].items.empty());
    EXPECT_EQ(Ids(published[1]), std::vector<std::string>{"m1"});
    EXPECT_EQ(ToJson(published[1]), ToJson(published[2]));
    const std::vector<TestValue> series = Published(kSeriesUri);
    ASSERT_EQ(series.size(), 3u);
    EXPECT_EQ(Ids(series[2]), (std::vector<std::string>{"s1", "s2"}));

    // Each answer fires the missions update, then the series update, as "Update" events.
    const std::vector<FiredEvent> events = host_.Events();
    ASSERT_GE(events.size(), 2u);
    const FiredEvent& last = events.back();
    EXPECT_EQ(last.name, "OnJsonApiEvent_pyx-missions_v1_series");
    EXPECT_EQ(FindMember(last.payload, "uri")->text, kSeriesUri);
    const FiredEvent& beforeLast = events[events.size() - 2];
    EXPECT_EQ(beforeLast.name, "OnJsonApiEvent_pyx-missions_v1_missions");
    const TestValue* eventType = FindMember(beforeLast.payload, "eventType");
    ASSERT_NE(eventType, nullptr);
    EXPECT_EQ(eventType->text, "Update");

    // An empty answer after a full one publishes the empty list and empties the route.
    Push(kPlayerUpdate, "{}");
    Answer(Fetches().back(), AnswerJson());
    EXPECT_TRUE(Published(kMissionsUri).back().items.empty());
    EXPECT_TRUE(CallRoute(kGet, kMissionsUri).value.items.empty());
}

TEST_F(MissionsFetchTest, FailedFetchIsLoggedAsAnErrorAndKeepsTheLists) {
    StartAnswered(AnswerJson("[" + MissionJson("kept") + "]"));
    const size_t eventsBefore = host_.Events().size();
    Push(kPlayerUpdate, "{}");
    Push(kPlayerUpdate, "{}");  // pending: still sent after the failure
    Answer(Fetches().back(), "not json");

    const std::vector<HostLogLine> lines = LogLinesWith("failed to fetch missions");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].message,
              "failed to fetch missions: Failed to deserialize response payload \"not json\" to a "
              "Vane::Client::Missions::Api::PlayerUpdateResponse");
    EXPECT_EQ(lines[0].level, 2);
    EXPECT_EQ(host_.Events().size(), eventsBefore);
    EXPECT_EQ(Ids(CallRoute(kGet, kMissionsUri).value), std::vector<std::string>{"kept"});
    EXPECT_EQ(Fetches().size(), 3u);

    // A well-formed answer of the wrong shape fails the same way.
    Answer(Fetches().back(), R"({"playerMissions":"nope"})");
    EXPECT_EQ(LogLinesWith("failed to fetch missions").size(), 2u);
    EXPECT_EQ(Ids(CallRoute(kGet, kMissionsUri).value), std::vector<std::string>{"kept"});
}

// The exact text the service proxy receives for a known state: the envelope's members in name
// order, its body the compact JSON of the eligibility data.
TEST_F(MissionsFetchTest, FetchEnvelopeTextForAKnownState) {
    StartAnswered();
    Push(kPlayerUpdate, "{}");
    ASSERT_EQ(Fetches().size(), 2u);
    EXPECT_EQ(Fetches().back().payload,
              R"({"body":"{\"level\":30,\"playerInventory\":{\"champions\":[1],\"icons\":[7,8,9],)"
              R"(\"skins\":[1001],\"wardSkins\":[5000000000]}}","headers":{},"method":"PUT",)"
              R"("path":"/missions/v3/player/XX1/123?locale=en_US"})");
    // The first fetch went out before the locale was known.
    EXPECT_EQ(Fetches().front().Path(), "/missions/v3/player/XX1/123?locale=");
}

TEST_F(MissionsFetchTest, AFetchWithoutAnswerTimesOutAfterSixtySeconds) {
    Start();
    ASSERT_EQ(Fetches().size(), 1u);
    const ProxyCall abandoned = Fetches()[0];
    Push(kPlayerUpdate, "{}");  // pending behind the silent fetch

    host_.AdvanceTime(59.0);
    EXPECT_EQ(Fetches().size(), 1u);
    EXPECT_TRUE(LogLinesWith("failed to fetch missions").empty());

    host_.AdvanceTime(2.0);
    const std::vector<HostLogLine> lines = LogLinesWith("failed to fetch missions");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, 2);
    EXPECT_NE(lines[0].message.find("did not answer within 60 seconds"), std::string::npos);
    ASSERT_EQ(Fetches().size(), 2u);  // the pending fetch went out

    // The abandoned request's late answer changes nothing.
    const size_t eventsBefore = host_.Events().size();
    Answer(abandoned, AnswerJson("[" + MissionJson("late") + "]"));
    EXPECT_EQ(host_.Events().size(), eventsBefore);
    EXPECT_TRUE(CallRoute(kGet, kMissionsUri).value.items.empty());

    // The fetch in flight is still the newer one, and its answer counts.
    Answer(Fetches()[1], AnswerJson("[" + MissionJson("fresh") + "]"));
    EXPECT_EQ(Ids(CallRoute(kGet, kMissionsUri).value), std::vector<std::string>{"fresh"});

    // Answered fetches do not time out later.
    host_.AdvanceTime(120.0);
    EXPECT_EQ(LogLinesWith("failed to fetch missions").size(), 1u);
}

TEST_F(MissionsFetchTest, TimeoutWithoutPendingFetchLeavesTheFeatureIdle) {
    Start();
    host_.AdvanceTime(61.0);
    EXPECT_EQ(LogLinesWith("failed to fetch missions").size(), 1u);
    EXPECT_EQ(Fetches().size(), 1u);
    Push(kPlayerUpdate, "{}");
    EXPECT_EQ(Fetches().size(), 2u);
}

// The login plugin may hand the answer over before the request that asked for it returned:
// when that happens to the pending fetch started while an older answer is handled, the older
// answer must not overwrite the newer one.
TEST_F(MissionsFetchTest, AnAnswerDeliveredDuringItsRequestIsNotOverwrittenByAnOlderOne) {
    Start();
    Push(kPlayerUpdate, "{}");  // pending
    const ProxyCall first = Fetches()[0];
    host_.SetServiceProxyHook(
        [this](const std::string& service, const std::string& method, const std::string&) {
            ProxyCall early{service, method, "", "uuid-early", {}};
            Answer(early, AnswerJson("[" + MissionJson("newer") + "]"));
            return early.uuid;
        });
    Answer(first, AnswerJson("[" + MissionJson("older") + "]"));
    // The newer answer was waiting when its request returned: it comes right after, as a
    // scheduled callback, and the older one must not overwrite it.
    host_.AdvanceTime(0);
    EXPECT_EQ(Ids(CallRoute(kGet, kMissionsUri).value), std::vector<std::string>{"newer"});
    ASSERT_FALSE(Published(kMissionsUri).empty());
    EXPECT_EQ(Ids(Published(kMissionsUri).back()), std::vector<std::string>{"newer"});
}

}  // namespace
}  // namespace Vane::testing
