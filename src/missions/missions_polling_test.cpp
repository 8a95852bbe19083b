// The polling and cooldown timers, the in-game pause, and logout and re-login, end to end.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "missions/missions_fixture_test_support.h"

namespace Vane::testing {
namespace {

using MissionsPollingTest = MissionsFixture;

// The delays with which the timer `name` was scheduled.
std::vector<double> TimerDelays(const TestHost& host, const std::string& name) {
    std::vector<double> delays;
    for (const auto& [scheduled, delay] : host.ScheduleCalls()) {
        if (scheduled == "Timer: " + name) delays.push_back(delay);
    }
    return delays;
}

int64_t NowMillis() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count() * 1000;
}

TEST_F(MissionsPollingTest, PollingStartsAboveTenSecondsOnly) {
    struct Case {
        const char* value;
        double interval;  // 0: no timer
    };
    const Case cases[] = {{"10", 0},         {"0", 0},         {"-20", 0},
                          {"true", 0},       {R"("x")", 0},    {"10.5", 10.5},
                          {R"("12")", 12.0}, {"3600", 3600.0}, {"1e300", 1e9}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        MissionsHarness h;
        h.SetWorld(kPollingTime, c.value);
        h.StartAnswered();
        const std::vector<double> delays = TimerDelays(h.host_, "missionsPoll");
        if (c.interval == 0) {
            EXPECT_TRUE(delays.empty());
            h.host_.AdvanceTime(100.0);
            EXPECT_EQ(h.Fetches().size(), 1u);
            continue;
        }
        ASSERT_EQ(delays.size(), 1u);
        // The plugin runs on the real steady clock: the delay it hands over is the interval less
        // the (sub-millisecond, more under sanitizers) time between its two clock reads.
        EXPECT_NEAR(delays[0], c.interval, 5e-3);
        if (c.interval > 100) continue;
        h.host_.AdvanceTime(c.interval - 0.01);
        EXPECT_EQ(h.Fetches().size(), 1u);
        h.host_.AdvanceTime(0.02);
        ASSERT_EQ(h.Fetches().size(), 2u);
        h.Answer(h.Fetches().back(), AnswerJson());
        // It repeats, one interval after each tick.
        h.host_.AdvanceTime(c.interval);
        EXPECT_EQ(h.Fetches().size(), 3u);
    }
}

TEST_F(MissionsPollingTest, ANewPollingValueReplacesTheTimer) {
    SetWorld(kPollingTime, "20");
    StartAnswered();
    Push(kPollingTime, "5");  // stops it
    host_.AdvanceTime(60.0);
    EXPECT_EQ(Fetches().size(), 1u);
    Push(kPollingTime, "30");
    host_.AdvanceTime(30.5);
    EXPECT_EQ(Fetches().size(), 2u);
}

TEST_F(MissionsPollingTest, CooldownTickFetchesOnlyForADueRepeatingMission) {
    const int64_t now = NowMillis();
    const int64_t hourAgo = now - 3600 * 1000;
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    struct Case {
        const char* name;
        std::string missionType;
        int64_t completedDate;
        int64_t cooldown;
        bool fetches;
    };
    const Case cases[] = {
        {"not completed", "REPEATING", -1, 0, false},
        {"cooldown over", "REPEATING", hourAgo, 60 * 1000, true},
        {"completed at 0 counts as completed", "REPEATING", 0, 0, true},
        {"cooldown running", "REPEATING", hourAgo, 24 * 3600 * 1000, false},
        {"not repeating", "DAILY", hourAgo, 1000, false},
        {"huge cooldown does not wrap around", "REPEATING", hourAgo, kMax, false},
        {"both huge", "REPEATING", kMax, kMax, false},
        {"negative sum below the range is due", "REPEATING", kMin + 5, -10, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MissionsHarness h;
        h.SetWorld(kCooldownPollingTime, "15");
        const std::string mission =
            MissionJson("r", "\"missionType\":\"" + c.missionType +
                                 "\",\"completedDate\":" + std::to_string(c.completedDate) +
                                 ",\"cooldownTimeMillis\":" + std::to_string(c.cooldown));
        h.StartAnswered(AnswerJson("[" + MissionJson("plain") + "," + mission + "]"));
        h.host_.AdvanceTime(15.01);
        EXPECT_EQ(h.Fetches().size(), c.fetches ? 2u : 1u);
    }
}

TEST_F(MissionsPollingTest, TimersSkipTheirWorkInGame) {
    struct Case {
        const char* phase;
        bool inGame;
    };
    const Case cases[] = {{"GameStart", true}, {"FailedToLaunch", true}, {"InProgress", true},
                          {"Reconnect", true}, {"ChampSelect", false},   {"EndOfGame", false},
                          {"None", false}};
    const std::string due = MissionJson(
        "r", R"("missionType":"REPEATING","completedDate":1000,"cooldownTimeMillis":1000)");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.phase);
        MissionsHarness h;
        h.SetWorld(kPollingTime, "20");
        h.SetWorld(kCooldownPollingTime, "30");
        h.StartAnswered(AnswerJson("[" + due + "]"));
        h.Push(kGameflowSession, std::string(R"({"phase":")") + c.phase + "\"}");
        h.host_.AdvanceTime(20.01);  // poll
        const size_t afterPoll = h.Fetches().size();
        EXPECT_EQ(afterPoll, c.inGame ? 1u : 2u);
        if (afterPoll == 2) h.Answer(h.Fetches().back(), AnswerJson("[" + due + "]"));
        h.host_.AdvanceTime(10.0);  // cooldown at 30 s
        EXPECT_EQ(h.Fetches().size(), c.inGame ? 1u : 3u);
        // Pushed updates still fetch in game: only the timers pause.
        if (c.inGame) {
            h.Push(kPlayerUpdate, "{}");
            EXPECT_EQ(h.Fetches().size(), 2u);
        }
    }
    // Leaving the game (or the session going away) resumes polling.
    MissionsHarness h;
    h.SetWorld(kPollingTime, "20");
    h.SetWorld(kGameflowSession, R"({"phase":"InProgress"})");
    h.StartAnswered();
    h.host_.AdvanceTime(20.01);
    EXPECT_EQ(h.Fetches().size(), 1u);
    h.PushDelete(kGameflowSession);
    h.host_.AdvanceTime(20.0);
    EXPECT_EQ(h.Fetches().size(), 2u);
}

TEST_F(MissionsPollingTest, LogoutForgetsMissionsAndReLoginFetchesAgain) {
    SetWorld(kPollingTime, "20");
    SetWorld(kCooldownPollingTime, "30");
    SetWorld(kNotifications, "[]");
    const std::string fresh = MissionJson("m1", R"("isNew":true,"displayType":"ALWAYS",)"
                                                R"("clientNotifyLevel":"ALWAYS")");
    StartAnswered(AnswerJson("[" + fresh + "]", R"([{"id":"s1"}])"));
    ASSERT_EQ(RequestsTo(kPost, kNotifications).size(), 1u);
    ASSERT_EQ(host_.Subscriptions().count("OnJsonApiEvent_pyx-champions_v1_inventories"), 1u);

    ASSERT_TRUE(PushDelete(kLoginSession));
    EXPECT_TRUE(CallRoute(kGet, kMissionsUri).value.items.empty());
    // The series stay.
    EXPECT_EQ(Ids(CallRoute(kGet, "/pyx-missions/v1/series").value),
              std::vector<std::string>{"s1"});
    EXPECT_EQ(host_.Subscriptions().count("OnJsonApiEvent_pyx-champions_v1_inventories"), 0u);
    EXPECT_EQ(host_.Subscriptions().count("OnJsonApiEvent_pyx-summoner_v1_summoners"), 0u);
    // No player: nothing fetches, the polling timer is stopped, the cooldown timer still ticks.
    Push(kPlayerUpdate, "{}");
    host_.AdvanceTime(60.0);
    EXPECT_EQ(Fetches().size(), 1u);
    EXPECT_EQ(TimerDelays(host_, "missionsPoll").size(), 1u);
    EXPECT_GE(TimerDelays(host_, "missionsCooldownPoll").size(), 3u);

    // The same player logs in again: the sources report again and the fetch goes out.
    ASSERT_TRUE(Push(kLoginSession, R"({"accountId":123,"summonerId":456,"platformId":"XX1"})"));
    ASSERT_EQ(Fetches().size(), 2u);
    Answer(Fetches().back(), AnswerJson("[" + fresh + "]", R"([{"id":"s1"}])"));
    EXPECT_EQ(Ids(CallRoute(kGet, kMissionsUri).value), std::vector<std::string>{"m1"});
    // The list held before was empty: the player is told again.
    EXPECT_EQ(RequestsTo(kGet, kNotifications).size(), 2u);
    // Polling stays off until a new polling value arrives.
    host_.AdvanceTime(45.0);
    EXPECT_EQ(Fetches().size(), 2u);
}

TEST_F(MissionsPollingTest, AnotherSummonersSourcesAreDroppedOnLogin) {
    StartAnswered();
    ASSERT_TRUE(Push(kLoginSession, R"({"accountId":124,"summonerId":457,"platformId":"XX1"})"));
    // The new summoner's sources are read; the old summoner's reports are no longer taken.
    EXPECT_EQ(RequestsTo(kGet, "/pyx-summoner/v1/summoners/457").size(), 1u);
    const size_t fetches = Fetches().size();
    Push(kSummoner, R"({"summonerLevel":99})");
    EXPECT_EQ(Fetches().size(), fetches);
    CallRoute(kPost, "/pyx-missions/v1/force");
    ASSERT_GT(Fetches().size(), 1u);
    EXPECT_EQ(Fetches().back().Path(), "/missions/v3/player/XX1/124?locale=en_US");
    EXPECT_EQ(Fetches().back().Body().find("99"), std::string::npos);
}

}  // namespace
}  // namespace Vane::testing
