// The missions plugin in a host that fails it: operations the host does not offer, a
// service-proxy request that errors, answers duplicated or for calls never made, and a
// shutdown with a fetch in flight. The plugin logs, keeps its lists whole and never crashes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "missions/missions_fixture_test_support.h"

namespace Vane::testing {
namespace {

using MissionsHostFaultsTest = MissionsFixture;

const std::string kOneMission = AnswerJson("[" + MissionJson("kept") + "]");

// A host without one of its operations: the plugin starts or refuses to, answers its routes
// from what it holds, takes events and timer ticks and shuts down, whichever is missing.
TEST(MissionsMissingHostOperationTest, EachMissingOperationLeavesThePluginWhole) {
    struct Case {
        const char* name;
        void (*remove)(TestHost&);
    };
    const Case cases[] = {
        {"request", [](TestHost& h) { h.RemoveOperation(&HostCore::request); }},
        {"fireEvent", [](TestHost& h) { h.RemoveOperation(&HostCore::fireEvent); }},
        {"subscribe", [](TestHost& h) { h.RemoveOperation(&HostCore::subscribe); }},
        {"unsubscribe", [](TestHost& h) { h.RemoveOperation(&HostCore::unsubscribe); }},
        {"schedule", [](TestHost& h) { h.RemoveOperation(&HostCore::schedule); }},
        {"yield", [](TestHost& h) { h.RemoveOperation(&HostCore::yield); }},
        {"label", [](TestHost& h) { h.RemoveOperation(&HostCore::label); }},
        {"afterYield", [](TestHost& h) { h.RemoveOperation(&HostCore::afterYield); }},
        {"log", [](TestHost& h) { h.RemoveOperation(&HostCore::log); }},
        {"every one",
         [](TestHost& h) {
             h.RemoveOperation(&HostCore::request);
             h.RemoveOperation(&HostCore::unused1);
             h.RemoveOperation(&HostCore::fireEvent);
             h.RemoveOperation(&HostCore::subscribe);
             h.RemoveOperation(&HostCore::unsubscribe);
             h.RemoveOperation(&HostCore::schedule);
             h.RemoveOperation(&HostCore::yield);
             h.RemoveOperation(&HostCore::label);
             h.RemoveOperation(&HostCore::afterYield);
             h.RemoveOperation(&HostCore::log);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MissionsHarness h;
        c.remove(h.host_);
        ASSERT_TRUE(h.plugin_.Load());
        // Starting may be refused (without subscriptions the plugin cannot work), never crash.
        const bool started = h.plugin_.Initialise();
        const std::vector<ProxyCall> fetches = h.Fetches();
        if (!fetches.empty()) h.Answer(fetches.back(), kOneMission);
        h.Push(kPlayerUpdate, "{}");
        h.host_.AdvanceTime(120.0);
        // Whatever the plugin holds, the routes answer it whole: the one mission or none.
        const RouteAnswer missions = h.CallRoute(kGet, kMissionsUri);
        EXPECT_EQ(missions.error, "");
        EXPECT_LE(missions.value.items.size(), 1u);
        EXPECT_EQ(h.CallRoute(kPut, "/pyx-missions/v1/player", R"({"missionIds":["kept"]})").error,
                  "");
        EXPECT_EQ(h.CallRoute(kGet, kSeriesUri).error, "");
        // The answered fetch counts only where the host could deliver it.
        if (started && !fetches.empty() &&
            h.host_.Subscriptions().count("OnServiceProxyUuidEvent")) {
            EXPECT_EQ(Ids(missions.value), std::vector<std::string>{"kept"});
        }
        h.plugin_.ShutDown();
        h.host_.AdvanceTime(120.0);
    }
}

// The login plugin's request fails: the fetch is logged as failed at once, the lists stay, and
// the next player update fetches again.
TEST_F(MissionsHostFaultsTest, AFailingServiceProxyRequestFailsTheFetchAndTheNextOneGoesOut) {
    StartAnswered(kOneMission);
    int refused = 0;
    host_.SetRequestHook([&](const RecordedRequest& request, HostResponseArea* response) {
        if (request.url != TestHost::kServiceProxyUuidPath || refused > 0) return false;
        ++refused;
        response->error = host_.KeepText("login plugin is gone");
        response->status = 503;
        return true;
    });
    ASSERT_TRUE(Push(kPlayerUpdate, "{}"));
    host_.AdvanceTime(0);
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(LogLinesWith("failed to fetch missions").size(), 1u);
    EXPECT_EQ(Ids(CallRoute(kGet, kMissionsUri).value), std::vector<std::string>{"kept"});

    // Nothing is left in flight: the next update is sent and its answer counts.
    const size_t fetches = Fetches().size();
    ASSERT_TRUE(Push(kPlayerUpdate, "{}"));
    ASSERT_EQ(Fetches().size(), fetches + 1);
    Answer(Fetches().back(), AnswerJson("[" + MissionJson("fresh") + "]"));
    EXPECT_EQ(Ids(CallRoute(kGet, kMissionsUri).value), std::vector<std::string>{"fresh"});
    // The timeout of the failed fetch finds nothing to give up.
    host_.AdvanceTime(120.0);
    EXPECT_EQ(LogLinesWith("failed to fetch missions").size(), 1u);
}

// Answers the host repeats, or that belong to no call the plugin made, change nothing.
TEST_F(MissionsHostFaultsTest, DuplicatedAndUnaskedAnswersChangeNothing) {
    StartAnswered(kOneMission);
    const ProxyCall first = Fetches().front();
    const size_t events = host_.Events().size();

    struct Case {
        const char* name;
        ProxyCall call;
    };
    ProxyCall unasked = first;
    unasked.uuid = "uuid-never-asked";
    ProxyCall otherMethod = first;
    otherMethod.method = "someone-else";
    const Case cases[] = {{"the same answer again", first},
                          {"an answer to no call", unasked},
                          {"an answer naming another method", otherMethod}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(Answer(c.call, AnswerJson("[" + MissionJson("intruder") + "]")));
        host_.AdvanceTime(0);
        EXPECT_EQ(Ids(CallRoute(kGet, kMissionsUri).value), std::vector<std::string>{"kept"});
        EXPECT_EQ(host_.Events().size(), events);
    }
    // The plugin still fetches and takes the answer to a real call.
    ASSERT_TRUE(Push(kPlayerUpdate, "{}"));
    Answer(Fetches().back(), AnswerJson("[" + MissionJson("fresh") + "]"));
    EXPECT_EQ(Ids(CallRoute(kGet, kMissionsUri).value), std::vector<std::string>{"fresh"});
}

// Two fetches in flight answered in reverse order: the answer of the older one, arriving last,
// does not overwrite the newer one.
TEST_F(MissionsHostFaultsTest, AnOlderAnswerArrivingLastDoesNotOverwriteTheNewer) {
    Start();
    const ProxyCall older = Fetches().front();
    host_.AdvanceTime(61.0);  // the first fetch is given up
    ASSERT_TRUE(Push(kPlayerUpdate, "{}"));
    ASSERT_EQ(Fetches().size(), 2u);
    const ProxyCall newer = Fetches().back();
    Answer(newer, AnswerJson("[" + MissionJson("newer") + "]"));
    Answer(older, AnswerJson("[" + MissionJson("older") + "]"));
    host_.AdvanceTime(0);
    EXPECT_EQ(Ids(CallRoute(kGet, kMissionsUri).value), std::vector<std::string>{"newer"});
    ASSERT_FALSE(Published(kMissionsUri).empty());
    EXPECT_EQ(Ids(Published(kMissionsUri).back()), std::vector<std::string>{"newer"});
}

// Shut down with a fetch in flight, a route's remote call unanswered and timers pending: what
// the host still runs afterwards (the timeout, the poll) does nothing and reaches no host
// operation.
TEST_F(MissionsHostFaultsTest, ShutdownWithAFetchInFlightLeavesNothingBehind) {
    SetWorld(kPollingTime, "20");
    StartAnswered(kOneMission);
    ASSERT_TRUE(Push(kPlayerUpdate, "{}"));
    ASSERT_EQ(CallRoute(kPut, "/pyx-missions/v1/player", R"({"missionIds":["kept"]})").error, "");
    ASSERT_GT(host_.PendingCount(), 0u);
    plugin_.ShutDown();
    EXPECT_TRUE(host_.Subscriptions().empty());
    const size_t requests = host_.Requests().size();
    const size_t lines = host_.LogLines().size();
    const size_t events = host_.Events().size();
    host_.AdvanceTime(300.0);
    EXPECT_EQ(host_.Requests().size(), requests);
    EXPECT_EQ(host_.LogLines().size(), lines);
    EXPECT_EQ(host_.Events().size(), events);
    // Events for the plugin find no subscription any more.
    EXPECT_FALSE(Push(kPlayerUpdate, "{}"));
    EXPECT_FALSE(Answer(Fetches().back(), kOneMission));
}

}  // namespace
}  // namespace Vane::testing
