// The plugin's lifecycle as the host drives it: what Start watches, the switches, the locale,
// and shutdown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "missions/missions_fixture_test_support.h"

namespace Vane::testing {
namespace {

using MissionsLifecycleTest = MissionsFixture;

TEST_F(MissionsLifecycleTest, StartWatchesTheElevenResourcesInOrder) {
    Start();
    const std::vector<std::string> watched = {
        kConfigurationComplete, kMissionsEnabled, kFrontEndEnabled, kPollingTime,
        kCooldownPollingTime,   kEntitlements,    kLoginSession,    kPlatformId,
        kGameflowSession,       kPlayerUpdate,    kRegionLocale};
    // Each watched resource is read once as it is subscribed.
    std::vector<std::string> reads;
    for (const RecordedRequest& request : host_.Requests()) {
        for (const std::string& path : watched) {
            if (request.method == kGet && request.url == path) reads.push_back(path);
        }
    }
    EXPECT_EQ(reads, watched);
    const auto subscriptions = host_.Subscriptions();
    for (const std::string& path : watched) {
        EXPECT_EQ(subscriptions.count(ResourceEventName(path)), 1u) << path;
    }
    // The login made the inventory sources of summoner 456 watched, in their order.
    std::vector<std::string> inventory;
    for (const RecordedRequest& request : host_.Requests()) {
        if (request.url.find("/456") != std::string::npos) inventory.push_back(request.url);
    }
    EXPECT_EQ(inventory,
              (std::vector<std::string>{kChampions, kWardSkins, kSummonerIcons, kSummoner}));
    // The service-proxy answers are subscribed with flag 1, resources with flag 0.
    EXPECT_EQ(subscriptions.at("OnServiceProxyUuidEvent").flag, 1u);
    EXPECT_EQ(subscriptions.at(ResourceEventName(kLoginSession)).flag, 0u);
}

TEST_F(MissionsLifecycleTest,
       ConfigurationCompleteSwitchesOnOnceUntilMissionsEnabledSaysOtherwise) {
    StartAnswered(AnswerJson("[" + MissionJson("m1") + "]"));
    EXPECT_EQ(RequestsTo(kGet, kChampions).size(), 1u);
    Push(kConfigurationComplete, "true");
    EXPECT_EQ(RequestsTo(kGet, kChampions).size(), 1u);

    Push(kMissionsEnabled, "false");
    EXPECT_TRUE(CallRoute(kGet, kMissionsUri).value.items.empty());
    Push(kPlayerUpdate, "{}");
    EXPECT_EQ(Fetches().size(), 1u);
    // Configuration complete again does not override a received MissionsEnabled.
    Push(kConfigurationComplete, "true");
    Push(kPlayerUpdate, "{}");
    EXPECT_EQ(Fetches().size(), 1u);
}

TEST_F(MissionsLifecycleTest, WithoutConfigurationTheFeatureStaysOff) {
    for (const char* complete : {static_cast<const char*>(nullptr), "false", R"("true")"}) {
        SCOPED_TRACE(complete ? complete : "absent");
        MissionsHarness h;
        if (complete) {
            h.SetWorld(kConfigurationComplete, complete);
        } else {
            h.host_.RemoveResource(kConfigurationComplete);
        }
        h.Start();
        EXPECT_TRUE(h.Fetches().empty());
        EXPECT_TRUE(h.RequestsTo(kGet, kChampions).empty());
    }
}

TEST_F(MissionsLifecycleTest, LocaleChangesAloneFetchNothing) {
    StartAnswered();
    Push(kRegionLocale, R"({"locale":"de_DE","region":"EUW"})");
    EXPECT_EQ(Fetches().size(), 1u);
    Push(kPlayerUpdate, "{}");
    EXPECT_EQ(Fetches().back().Path(), "/missions/v3/player/XX1/123?locale=de_DE");
    Answer(Fetches().back(), AnswerJson());

    // An event without a locale empties it.
    PushDelete(kRegionLocale);
    Push(kPlayerUpdate, "{}");
    EXPECT_EQ(Fetches().back().Path(), "/missions/v3/player/XX1/123?locale=");
}

TEST_F(MissionsLifecycleTest, PushedDeletionsStillFetch) {
    StartAnswered();
    PushDelete(kPlayerUpdate);
    EXPECT_EQ(Fetches().size(), 2u);
}

TEST_F(MissionsLifecycleTest, ShutdownUnsubscribesEverything) {
    SetWorld(kPollingTime, "20");
    StartAnswered();
    EXPECT_FALSE(host_.Subscriptions().empty());
    plugin_.ShutDown();
    EXPECT_TRUE(host_.Subscriptions().empty());
    // Ticks the host still delivers find nothing to do.
    const size_t requests = host_.Requests().size();
    host_.AdvanceTime(100.0);
    EXPECT_EQ(host_.Requests().size(), requests);
}

TEST_F(MissionsLifecycleTest, FeatureLogLinesReachTheHostWithTheirLevel) {
    Start();
    Answer(Fetches().back(), "{");
    const std::vector<HostLogLine> failed = LogLinesWith("failed to fetch missions: ");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].level, 2);
    // The service proxy's own lines come at level 3 under the plugin's short name.
    const std::vector<HostLogLine> prepared =
        LogLinesWith("pyx-missions: Preparing service proxy request: missions.server.missions");
    ASSERT_FALSE(prepared.empty());
    EXPECT_EQ(prepared[0].level, 3);
}

}  // namespace
}  // namespace Vane::testing
