#include "devhost/scenario.h"

#include <gtest/gtest.h>

#include <string>

#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

MaybeType<ScenarioError, Scenario> Load(const std::string& text, const char* source) {
    return LoadScenario(&text, source);
}

std::string ErrorOf(const std::string& text, const char* source = "s.yaml") {
    MaybeType<ScenarioError, Scenario> result = Load(text, source);
    return result.IsFailure() ? result.GetFailure().message : "(no error)";
}

TEST(Scenario, BuiltInWorldIsLoggedInEnabledAndHasMissions) {
    MaybeType<ScenarioError, Scenario> result = LoadScenario(nullptr, "");
    ASSERT_TRUE(result.HasValue()) << result.GetFailure().message;
    const Scenario& scenario = result.Value();
    EXPECT_TRUE(scenario.player.loggedIn);
    EXPECT_NE(scenario.player.accountId, 0u);
    EXPECT_NE(scenario.player.summonerId, 0u);
    EXPECT_FALSE(scenario.player.platformId.empty());
    EXPECT_TRUE(scenario.configurationComplete);
    ASSERT_EQ(scenario.config.count("Missions/MissionsEnabled"), 1u);
    EXPECT_TRUE(scenario.config.at("Missions/MissionsEnabled").GetBool());
    EXPECT_GT(scenario.remoteMissions.Size(), 0u);
    EXPECT_GT(scenario.remoteSeries.Size(), 0u);
    EXPECT_GT(scenario.champions.Size(), 0u);
    EXPECT_EQ(scenario.gameflowPhase, "Lobby");
}

TEST(Scenario, FileIsLaidOverTheBuiltInOne) {
    MaybeType<ScenarioError, Scenario> base = LoadScenario(nullptr, "");
    ASSERT_TRUE(base.HasValue());
    MaybeType<ScenarioError, Scenario> result = Load(
        "remote:\n  latencyMs: 20\n  series: []\nplayer: {accountId: 7}\n"
        "config: {Missions: {MissionsPollingTime: 12.5}}\n"
        "resources: {/extra/v1/thing: {a: 1}, /vaneclient/region-locale: null}\n",
        "over.yaml");
    ASSERT_TRUE(result.HasValue()) << result.GetFailure().message;
    const Scenario& scenario = result.Value();
    EXPECT_DOUBLE_EQ(scenario.remoteLatencySeconds, 0.02);
    EXPECT_EQ(scenario.remoteSeries.Size(), 0u);                                    // lists replace
    EXPECT_EQ(scenario.remoteMissions.Size(), base.Value().remoteMissions.Size());  // kept
    EXPECT_EQ(scenario.player.accountId, 7u);
    EXPECT_EQ(scenario.player.summonerId, base.Value().player.summonerId);  // objects merge
    EXPECT_DOUBLE_EQ(scenario.config.at("Missions/MissionsPollingTime").GetFloat(), 12.5);
    EXPECT_TRUE(scenario.config.at("Missions/MissionsEnabled").GetBool());
    ASSERT_EQ(scenario.resources.count("/extra/v1/thing"), 1u);
    ASSERT_EQ(scenario.resources.count("/vaneclient/region-locale"), 1u);
    EXPECT_TRUE(scenario.resources.at("/vaneclient/region-locale").IsEmpty());

    // JSON reads the same way; an empty file changes nothing.
    result = Load(R"({"player": {"loggedIn": false}, "gameflowPhase": "InProgress"})", "s.json");
    ASSERT_TRUE(result.HasValue()) << result.GetFailure().message;
    EXPECT_FALSE(result.Value().player.loggedIn);
    EXPECT_EQ(result.Value().gameflowPhase, "InProgress");
    EXPECT_TRUE(Load("", "empty.yaml").HasValue());
}

TEST(Scenario, SyntaxErrorsNameLineAndColumn) {
    // The closing brace after the trailing comma, where a member name should be.
    EXPECT_EQ(ErrorOf("{\n  \"player\": {\n    \"loggedIn\": true,\n  }\n}", "bad.json"),
              "bad.json:4:3: Missing a name for object member.");
    EXPECT_EQ(ErrorOf("{\"remote\": {\"latencyMs\": 5}} x", "bad.json"),
              "bad.json:1:30: The document root must not be followed by other values.");
    // libyaml counts from 0; the message counts from 1.
    EXPECT_EQ(ErrorOf("player:\n  accountId: 1\n bad: 2\n", "bad.yaml"),
              "bad.yaml:3:2: YAML parser error: did not find expected key.");
    EXPECT_EQ(ErrorOf("player: {accountId: *nowhere}\n", "bad.yaml"),
              "bad.yaml:1:21: Undefined alias encountered: \"nowhere\".");
    // Without an extension the text decides: this one is JSON.
    const std::string probed = ErrorOf("  [1,", "scenario.txt");
    EXPECT_EQ(probed.rfind("scenario.txt:1:6: ", 0), 0u) << probed;
    EXPECT_GT(probed.size(), 18u) << probed;
}

TEST(Scenario, ContentErrorsNameTheKeyPath) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"[1, 2]", "s.yaml: a scenario is an object, not a list"},
        {"plaeyr: {}",
         "s.yaml: plaeyr: unknown key (expected one of: player, gameflowPhase, "
         "configurationComplete, config, inventory, remote, notifications, resources)"},
        {"player: {accountId: -1}",
         "s.yaml: player.accountId: expected a whole number of 0 or more, got number -1"},
        {"player: {platformId: 12}", "s.yaml: player.platformId: expected a string, got number 12"},
        {"player: {entitlements: [a, 3]}",
         "s.yaml: player.entitlements[1]: expected a string, got number 3"},
        {"player: 5", "s.yaml: player: expected an object, got number"},
        {"gameflowPhase: Lobbyy",
         "s.yaml: gameflowPhase: 'Lobbyy' is not a phase (one of: None, Lobby, Matchmaking, "
         "CheckedIntoTournament, ReadyCheck, ChampSelect, GameStart, FailedToLaunch, InProgress, "
         "Reconnect, WaitingForStats, PreEndOfGame, EndOfGame, TerminatedInError)"},
        {"configurationComplete: yes please",
         "s.yaml: configurationComplete: expected true or false, got string \"yes please\""},
        {"config: {Missions: 3}", "s.yaml: config.Missions: expected an object, got number"},
        {"inventory: {summonerIcons: [1, 2.5]}",
         "s.yaml: inventory.summonerIcons[1]: expected a whole number from -2147483648 to "
         "2147483647, got number 2.5"},
        {"inventory: {champions: [{id: 1}, 2]}",
         "s.yaml: inventory.champions[1]: expected an object, got number"},
        {"remote: {latencyMs: -5}",
         "s.yaml: remote.latencyMs: expected milliseconds from 0 to 3600000, got number -5"},
        {"remote: {missions: [{id: a}, {title: b}]}",
         "s.yaml: remote.missions[1].id: expected a string, got null"},
        {"remote: {missions: [{id: a}, {id: a}]}", "s.yaml: remote.missions[1].id: repeats id 'a'"},
        {"remote: {series: [{id: ''}]}", "s.yaml: remote.series[0].id: must not be empty"},
        {"remote: {latency: 5}",
         "s.yaml: remote.latency: unknown key (expected one of: latencyMs, missions, series)"},
        {"notifications: {}", "s.yaml: notifications: expected a list, got object"},
        {"resources: {pyx-login/v1/session: {}}",
         "s.yaml: resources.pyx-login/v1/session: a resource key is a path and starts with '/'"},
    };
    for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.text), c.error) << c.text;
}

TEST(Scenario, MergeReplacesEverythingButObjects) {
    MaybeType<ScenarioError, BindingProperty> base =
        ReadScenarioDocument(R"({"a": {"b": [1, 2], "c": 1}, "d": "x"})", "a.json");
    MaybeType<ScenarioError, BindingProperty> over =
        ReadScenarioDocument(R"({"a": {"b": [3]}, "d": {"e": 1}})", "b.json");
    ASSERT_TRUE(base.HasValue());
    ASSERT_TRUE(over.HasValue());
    BindingProperty merged = base.Value();
    MergeScenarioDocument(merged, over.Value());
    EXPECT_EQ(ToJsonText(merged), R"({"a":{"b":[3],"c":1},"d":{"e":1}})");
}

}  // namespace
}  // namespace Vane::DevHost
