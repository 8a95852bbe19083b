#include "devhost/fetch_conditions.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>

#include "codec/json_reader.h"
#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

constexpr const char* kMissionsEnabled =
    "/pyx-platform-config/v1/namespaces/Missions/MissionsEnabled";
constexpr const char* kFrontEndEnabled =
    "/pyx-platform-config/v1/namespaces/Missions/MissionsFrontEndEnabled";
constexpr const char* kConfigComplete = "/pyx-platform-config/v1/initial-configuration-complete";
constexpr const char* kToken = "/entitlements/v1/token";

BindingProperty Json(const std::string& text) {
    ConversionStatus status = ParseJson(text);
    EXPECT_TRUE(status.Ok()) << text << ": " << status.Error();
    return std::move(status.Value());
}

class FetchConditionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MaybeType<ScenarioError, Scenario> scenario = LoadScenario(nullptr, "");
        ASSERT_TRUE(scenario.HasValue()) << scenario.GetFailure().message;
        scenario_ = std::move(scenario).Value();
        world_ = std::make_unique<World>(scenario_, nullptr, nullptr, [] { return int64_t{0}; });
    }

    void Set(const std::string& path, const std::string& json) {
        world_->Resources().Set(path, Json(json));
    }
    std::string Summoner() const { return std::to_string(scenario_.player.summonerId); }
    std::string Champions() const {
        return "/pyx-champions/v1/inventories/" + Summoner() + "/champions";
    }

    std::set<std::string> Missing() {
        std::set<std::string> ids;
        for (const FetchCondition& condition : FetchConditions(*world_)) {
            if (!condition.met) ids.insert(condition.id);
        }
        return ids;
    }

    const FetchCondition Condition(const std::string& id) {
        for (FetchCondition& condition : FetchConditions(*world_)) {
            if (condition.id == id) return std::move(condition);
        }
        ADD_FAILURE() << "no condition " << id;
        return {};
    }

    Scenario scenario_;
    std::unique_ptr<World> world_;
};

TEST_F(FetchConditionsTest, TheBuiltInWorldMeetsEveryConditionInTheListedOrder) {
    std::vector<std::string> ids;
    for (const FetchCondition& condition : FetchConditions(*world_)) {
        ids.push_back(condition.id);
        EXPECT_TRUE(condition.met) << condition.id << ": " << condition.hint;
        EXPECT_FALSE(condition.paths.empty()) << condition.id;
        EXPECT_FALSE(condition.label.empty()) << condition.id;
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"missions-enabled", "account", "platform", "champions",
                                             "ward-skins", "summoner-icons", "summoner",
                                             "not-in-game", "front-end-enabled", "entitled"}));
    const BindingProperty value = FetchConditionsValue(FetchConditions(*world_));
    EXPECT_TRUE(value.Member("fetchReady").GetBool());
    EXPECT_TRUE(value.Member("pollingReady").GetBool());
}

// Each change of the world against exactly the conditions it leaves missing: the rules of the
// plugin's switches (a non-boolean value switches on, configuration completion stands in for an
// absent value), its eligibility rule for champions and its exact entitlement match.
TEST_F(FetchConditionsTest, EachChangeLeavesExactlyItsConditionsMissing) {
    struct Case {
        const char* what;
        std::function<void()> change;
        std::set<std::string> missing;
    };
    const std::string champions = Champions();
    const std::set<std::string> inventory = {"champions", "ward-skins", "summoner-icons",
                                             "summoner"};
    std::set<std::string> loggedOut = inventory;
    loggedOut.insert("account");
    const std::vector<Case> cases = {
        {"MissionsEnabled false", [&] { Set(kMissionsEnabled, "false"); }, {"missions-enabled"}},
        {"MissionsEnabled a string", [&] { Set(kMissionsEnabled, R"("no")"); }, {}},
        {"no MissionsEnabled, configuration complete",
         [&] { ASSERT_TRUE(world_->Resources().Delete(kMissionsEnabled)); },
         {}},
        {"no MissionsEnabled, configuration incomplete",
         [&] {
             ASSERT_TRUE(world_->Resources().Delete(kMissionsEnabled));
             Set(kConfigComplete, "false");
         },
         {"missions-enabled"}},
        {"configuration incomplete but MissionsEnabled true",
         [&] { Set(kConfigComplete, "false"); },
         {}},
        {"front end off", [&] { Set(kFrontEndEnabled, "false"); }, {"front-end-enabled"}},
        {"logged out", [&] { ASSERT_TRUE(world_->Logout()); }, loggedOut},
        {"session with account 0",
         [&] {
             Set(std::string(kSessionPath), R"({"accountId":0,"summonerId":)" + Summoner() + "}");
         },
         {"account"}},
        {"empty platform id", [&] { Set(std::string(kPlatformIdPath), R"("")"); }, {"platform"}},
        {"platform id a number", [&] { Set(std::string(kPlatformIdPath), "7"); }, {"platform"}},
        {"no platform id",
         [&] { ASSERT_TRUE(world_->Resources().Delete(kPlatformIdPath)); },
         {"platform"}},
        {"champions none usable",
         [&] {
             Set(champions, R"([{"id":1,"freeToPlay":false,"ownership":{"owned":false,
                 "freeToPlayReward":false,"rental":{"rented":false}}}])");
         },
         {"champions"}},
        {"champions free to play only",
         [&] { Set(champions, R"([{"id":1,"freeToPlay":true,"ownership":{}}])"); },
         {}},
        {"champions rented only",
         [&] { Set(champions, R"([{"id":1,"ownership":{"rental":{"rented":true}}}])"); },
         {}},
        {"champions not a list", [&] { Set(champions, R"({"id":1})"); }, {"champions"}},
        {"ward skins gone",
         [&] {
             ASSERT_TRUE(world_->Resources().Delete("/pyx-collections/v1/inventories/" +
                                                    Summoner() + "/ward-skins"));
         },
         {"ward-skins"}},
        {"ward skins empty list",
         [&] { Set("/pyx-collections/v1/inventories/" + Summoner() + "/ward-skins", "[]"); },
         {}},
        {"summoner icons a list",
         [&] { Set("/pyx-collections/v1/inventories/" + Summoner() + "/summoner-icons", "[1]"); },
         {"summoner-icons"}},
        {"summoner gone",
         [&] {
             ASSERT_TRUE(world_->Resources().Delete("/pyx-summoner/v1/summoners/" + Summoner()));
         },
         {"summoner"}},
        {"in game", [&] { ASSERT_TRUE(world_->SetGameflowPhase("InProgress")); }, {"not-in-game"}},
        {"reconnecting",
         [&] { ASSERT_TRUE(world_->SetGameflowPhase("Reconnect")); },
         {"not-in-game"}},
        {"waiting for stats",
         [&] { ASSERT_TRUE(world_->SetGameflowPhase("WaitingForStats")); },
         {}},
        {"entitlement with a suffix",
         [&] {
             Set(kToken, R"({"entitlements":["urn:entitlement:globalvane.missions.enabled2"]})");
         },
         {"entitled"}},
        {"entitlements not a list", [&] { Set(kToken, R"({"entitlements":"x"})"); }, {"entitled"}},
        {"no token", [&] { ASSERT_TRUE(world_->Resources().Delete(kToken)); }, {"entitled"}},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        SetUp();
        each.change();
        EXPECT_EQ(Missing(), each.missing);
    }
}

TEST_F(FetchConditionsTest, ReadinessFollowsTheGatesOfTheMissingConditions) {
    const auto readiness = [&] {
        const BindingProperty value = FetchConditionsValue(FetchConditions(*world_));
        return std::make_pair(value.Member("fetchReady").GetBool(),
                              value.Member("pollingReady").GetBool());
    };
    Set(kToken, R"({"entitlements":[]})");
    EXPECT_EQ(readiness(), std::make_pair(true, true)) << "notifications gate neither";
    ASSERT_TRUE(world_->SetGameflowPhase("GameStart"));
    EXPECT_EQ(readiness(), std::make_pair(true, false));
    ASSERT_TRUE(world_->SetGameflowPhase("Lobby"));
    Set(kMissionsEnabled, "false");
    EXPECT_EQ(readiness(), std::make_pair(false, false));
}

TEST_F(FetchConditionsTest, InventoryConditionsFollowTheLoggedInSummoner) {
    EXPECT_EQ(Condition("summoner").paths,
              std::vector<std::string>{"/pyx-summoner/v1/summoners/" + Summoner()});
    ASSERT_TRUE(world_->Logout());
    const FetchCondition unknown = Condition("ward-skins");
    EXPECT_FALSE(unknown.met);
    EXPECT_EQ(unknown.fix.path, "/devhost/login");
    EXPECT_EQ(unknown.paths,
              std::vector<std::string>{"/pyx-collections/v1/inventories/<summonerId>/ward-skins"});

    LoginRequest other;
    other.accountId = 55;
    other.summonerId = 77;
    (void)world_->Login(other);  // the session is read back through the conditions
    for (const char* id : {"champions", "ward-skins", "summoner-icons", "summoner"}) {
        const FetchCondition condition = Condition(id);
        EXPECT_TRUE(condition.met) << id << ": " << condition.hint;
        ASSERT_EQ(condition.paths.size(), 1u);
        EXPECT_NE(condition.paths[0].find("/77"), std::string::npos) << condition.paths[0];
    }
}

// The fixes name the call and a body that makes the condition met; the HTTP tests apply them.
// Here: they keep what the resource held besides, and use the world's own values.
TEST_F(FetchConditionsTest, FixesKeepTheRestOfAResourceAndUseTheWorldsValues) {
    Set(kToken, R"({"entitlements":["urn:other"],"subject":"s"})");
    const FetchCondition entitled = Condition("entitled");
    EXPECT_EQ(entitled.fix.method, "PUT");
    EXPECT_EQ(entitled.fix.path, std::string("/devhost/resources") + kToken);
    EXPECT_EQ(ToJsonText(entitled.fix.body),
              R"({"entitlements":["urn:other","urn:entitlement:globalvane.missions.enabled"],)"
              R"("subject":"s"})");

    Set(Champions(), "[]");
    const FetchCondition champions = Condition("champions");
    EXPECT_EQ(champions.fix.path, "/devhost/resources" + Champions());
    EXPECT_EQ(ToJsonText(champions.fix.body), ToJsonText(scenario_.champions));

    ASSERT_TRUE(world_->Logout());
    const FetchCondition account = Condition("account");
    EXPECT_EQ(account.fix.method, "POST");
    EXPECT_EQ(account.fix.path, "/devhost/login");
    EXPECT_EQ(ReadUint64(account.fix.body.Member("accountId")), scenario_.player.accountId);
    EXPECT_EQ(ConditionGateName(Condition("not-in-game").gate), "polling");
}

}  // namespace
}  // namespace Vane::DevHost
