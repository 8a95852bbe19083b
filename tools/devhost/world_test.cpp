#include "devhost/world.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/json_reader.h"
#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

constexpr uint32_t kDelete = 1;
constexpr uint32_t kGet = 2;
constexpr uint32_t kPost = 6;
constexpr uint32_t kPut = 7;

BindingProperty Json(const std::string& text) {
    ConversionStatus status = ParseJson(text);
    EXPECT_TRUE(status.Ok()) << text << ": " << status.Error();
    return std::move(status.Value());
}

// The form of a random (version 4) uuid: 8-4-4-4-12 lower-case hex digits, version digit 4 and
// variant digit 8, 9, a or b.
bool IsRandomUuid(const std::string& text) {
    if (text.size() != 36) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const char c = text[i];
        if (dash != (c == '-')) return false;
        if (!dash && !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return text[14] == '4' && std::string("89ab").find(text[19]) != std::string::npos;
}

RequestArgument Positional(BindingProperty value) {
    return RequestArgument{"", std::move(value)};
}

struct Deferred {
    double delay;
    std::string name;
    BindingProperty payload;
};

class WorldTest : public ::testing::Test {
  protected:
    void Build(const std::string& overlay = "") {
        MaybeType<ScenarioError, Scenario> scenario =
            overlay.empty() ? LoadScenario(nullptr, "") : LoadScenario(&overlay, "t.yaml");
        ASSERT_TRUE(scenario.HasValue()) << scenario.GetFailure().message;
        scenario_ = std::move(scenario).Value();
        world_ = std::make_unique<World>(
            scenario_,
            [this](const ResourceChange& change) {
                changes_.push_back(change.path + " " + ResourceEventTypeName(change.type));
            },
            [this](double delay, std::string name, BindingProperty payload) {
                deferred_.push_back({delay, std::move(name), std::move(payload)});
            },
            [] { return int64_t{5000}; });
    }
    void SetUp() override { Build(); }

    std::string Summoner() const { return std::to_string(scenario_.player.summonerId); }

    Scenario scenario_;
    std::unique_ptr<World> world_;
    std::vector<std::string> changes_;
    std::vector<Deferred> deferred_;
};

TEST_F(WorldTest, StartsWithTheResourcesThePluginWatches) {
    const std::string summoner = Summoner();
    for (const std::string& path :
         {std::string("/pyx-platform-config/v1/initial-configuration-complete"),
          std::string("/pyx-platform-config/v1/namespaces/Missions/MissionsEnabled"),
          std::string(kPlatformIdPath), std::string("/entitlements/v1/token"),
          std::string(kSessionPath), std::string(kGameflowSessionPath),
          std::string("/vaneclient/region-locale"), std::string(kNotificationsPath),
          "/pyx-champions/v1/inventories/" + summoner + "/champions",
          "/pyx-collections/v1/inventories/" + summoner + "/ward-skins",
          "/pyx-collections/v1/inventories/" + summoner + "/summoner-icons",
          "/pyx-summoner/v1/summoners/" + summoner}) {
        RequestAnswer answer = world_->Answer(kGet, path, {});
        EXPECT_EQ(answer.status, 200) << path;
        EXPECT_FALSE(answer.error.has_value()) << path;
        EXPECT_FALSE(answer.body.IsEmpty()) << path;
    }
    const RequestAnswer session = world_->Answer(kGet, kSessionPath, {});
    EXPECT_EQ(ReadUint64(session.body.Member("accountId")), scenario_.player.accountId);
    EXPECT_EQ(ReadString(world_->Answer(kGet, kPlatformIdPath, {}).body),
              scenario_.player.platformId);
    EXPECT_TRUE(changes_.empty());  // the start state is not reported as changes
}

TEST_F(WorldTest, UnknownPathsAndAbsentResourcesAnswer404WithAText) {
    const struct {
        uint32_t method;
        const char* url;
        const char* error;
    } cases[] = {
        {kGet, "/vane-messaging-service/v1/message/missions/v1/player",
         "Resource not found: /vane-messaging-service/v1/message/missions/v1/player"},
        {kPost, "/nothing/here", "Not found: POST /nothing/here"},
        {kPut, "/pyx-login/v1/session", "Not found: PUT /pyx-login/v1/session"},
        {kDelete, "/pyx-pre-end-of-game/v1/registration/missions-celebration",
         "Not registered: missions-celebration"},
        {kPost, "/pyx-pre-end-of-game/v1/registration/x/two",
         "Not found: POST /pyx-pre-end-of-game/v1/registration/x/two"},
    };
    for (const auto& c : cases) {
        RequestAnswer answer = world_->Answer(c.method, c.url, {});
        EXPECT_EQ(answer.status, 404) << c.url;
        EXPECT_EQ(answer.error.value_or("(none)"), c.error) << c.url;
    }
}

TEST_F(WorldTest, UuidRequestAnswersAUuidAndDefersTheServiceAnswer) {
    const std::string envelope =
        R"({"body":"{\"level\":1}","headers":{},"method":"PUT","path":"/missions/v3/player/XX1/42?locale="})";
    RequestAnswer answer =
        world_->Answer(kPost, "/pyx-login/v1/service-proxy-uuid-requests",
                       {Positional(StringValue("missions.server")),
                        Positional(StringValue("missions")), Positional(StringValue(envelope))});
    ASSERT_FALSE(answer.error.has_value()) << *answer.error;
    const std::string uuid = ReadString(answer.body).value_or("");
    EXPECT_TRUE(IsRandomUuid(uuid)) << uuid;

    ASSERT_EQ(deferred_.size(), 1u);
    EXPECT_EQ(deferred_[0].name, "OnServiceProxyUuidEvent");
    EXPECT_DOUBLE_EQ(deferred_[0].delay, scenario_.remoteLatencySeconds);
    const BindingProperty& event = deferred_[0].payload;
    EXPECT_EQ(ReadString(event.Member("uuid")), uuid);
    EXPECT_EQ(ReadString(event.Member("serviceName")), "missions.server");
    EXPECT_EQ(ReadString(event.Member("methodName")), "missions");
    EXPECT_EQ(ReadString(event.Member("status")), "200");
    EXPECT_EQ(ReadString(event.Member("error")), "");
    const BindingProperty payload = Json(ReadString(event.Member("payload")).value_or(""));
    EXPECT_EQ(payload.Member("playerMissions").Size(), scenario_.remoteMissions.Size());

    // A second request gets another uuid.
    world_->Answer(kPost, "/pyx-login/v1/service-proxy-uuid-requests",
                   {Positional(StringValue("missions.server")), Positional(StringValue("missions")),
                    Positional(StringValue(envelope))});
    ASSERT_EQ(deferred_.size(), 2u);
    EXPECT_NE(ReadString(deferred_[1].payload.Member("uuid")), uuid);
}

TEST_F(WorldTest, ServiceProxyChecksItsArgumentsAndServices) {
    RequestAnswer answer = world_->Answer(kPost, "/pyx-login/v1/service-proxy-uuid-requests",
                                          {Positional(StringValue("missions.server"))});
    EXPECT_EQ(answer.status, 400);
    EXPECT_EQ(answer.error.value_or(""),
              "Expected three positional strings: service name, method name, payload");
    EXPECT_TRUE(deferred_.empty());

    answer = world_->Answer(kPost, "/pyx-login/v1/service-proxy-method-requests",
                            {Positional(StringValue("other.server")), Positional(StringValue("m")),
                             Positional(StringValue("answerM")), Positional(StringValue("{}"))});
    EXPECT_FALSE(answer.error.has_value());
    EXPECT_TRUE(answer.body.IsEmpty());
    ASSERT_EQ(deferred_.size(), 1u);
    EXPECT_EQ(deferred_[0].name, "OnServiceProxyMethodEvent");
    EXPECT_EQ(ReadString(deferred_[0].payload.Member("methodName")), "answerM");
    EXPECT_EQ(ReadString(deferred_[0].payload.Member("status")), "404");
    EXPECT_EQ(ReadString(deferred_[0].payload.Member("error")), "Unknown service 'other.server'");
}

TEST_F(WorldTest, NotificationsAreStoredListedAndReplacedById) {
    RequestAnswer posted = world_->Answer(
        kPost, kNotificationsPath,
        {Positional(Json(R"({"id":0,"source":"missions","type":"new_mission","state":""})"))});
    ASSERT_FALSE(posted.error.has_value()) << *posted.error;
    EXPECT_EQ(ReadUint64(posted.body.Member("id")), 1u);
    world_->Answer(kPost, kNotificationsPath,
                   {Positional(Json(R"({"id":0,"source":"other","type":"x"})"))});
    world_->Answer(kPost, kNotificationsPath,
                   {Positional(Json(
                       R"({"id":1,"source":"missions","type":"new_mission","state":"unread"})"))});

    const RequestAnswer list = world_->Answer(kGet, kNotificationsPath, {});
    ASSERT_EQ(list.body.Size(), 2u);
    EXPECT_EQ(ReadString(list.body.Element(0).Member("state")), "unread");
    EXPECT_EQ(ReadUint64(list.body.Element(1).Member("id")), 2u);
    EXPECT_EQ(changes_,
              (std::vector<std::string>{"/player-notifications/v1/notifications Update",
                                        "/player-notifications/v1/notifications Update",
                                        "/player-notifications/v1/notifications Update"}));

    EXPECT_EQ(world_->Answer(kPost, kNotificationsPath, {}).status, 400);
}

TEST_F(WorldTest, CelebrationRegistrationAndTelemetryAreKept) {
    EXPECT_EQ(
        world_->Answer(kPost, "/pyx-pre-end-of-game/v1/registration/missions-celebration/2", {})
            .status,
        204);
    EXPECT_EQ(ToJsonText(world_->Registrations()), R"({"missions-celebration":2})");
    EXPECT_EQ(
        world_->Answer(kDelete, "/pyx-pre-end-of-game/v1/registration/missions-celebration", {})
            .status,
        204);
    EXPECT_EQ(ToJsonText(world_->Registrations()), "{}");

    EXPECT_EQ(
        world_->Answer(kPost, "/telemetry/v1/events/a/b", {Positional(Json(R"({"k":1})"))}).status,
        204);
    EXPECT_EQ(world_->Answer(kPost, "/telemetry/v1/events/plain", {}).status, 204);
    const BindingProperty items = world_->Telemetry().Since(1).Member("items");
    ASSERT_EQ(items.Size(), 2u);
    EXPECT_EQ(ReadString(items.Element(0).Member("name")), "a/b");
    EXPECT_EQ(ToJsonText(items.Element(0).Member("parameters")), R"({"k":1})");
    EXPECT_TRUE(items.Element(1).Member("parameters").IsEmpty());
}

TEST_F(WorldTest, LoginPreparesTheInventoryBeforeTheSession) {
    EXPECT_TRUE(world_->Logout());
    EXPECT_FALSE(world_->Logout());
    ASSERT_EQ(changes_, (std::vector<std::string>{"/pyx-login/v1/session Delete"}));
    changes_.clear();

    LoginRequest login;
    login.summonerId = 77;
    login.platformId = "YY2";
    const BindingProperty session = world_->Login(login);
    EXPECT_EQ(ReadUint64(session.Member("accountId")), scenario_.player.accountId);
    EXPECT_EQ(ReadUint64(session.Member("summonerId")), 77u);
    EXPECT_EQ(changes_, (std::vector<std::string>{
                            std::string(kPlatformIdPath) + " Update",
                            "/pyx-champions/v1/inventories/77/champions Create",
                            "/pyx-collections/v1/inventories/77/summoner-icons Create",
                            "/pyx-collections/v1/inventories/77/ward-skins Create",
                            "/pyx-summoner/v1/summoners/77 Create",
                            "/pyx-login/v1/session Create",
                        }));

    changes_.clear();
    world_->Login({});  // same player again: only the session changes
    EXPECT_EQ(changes_, (std::vector<std::string>{"/pyx-login/v1/session Update"}));
}

TEST_F(WorldTest, GameflowAndPlayerUpdatesChangeTheirResources) {
    EXPECT_FALSE(world_->SetGameflowPhase("Lobbyy"));
    EXPECT_TRUE(changes_.empty());
    EXPECT_TRUE(world_->SetGameflowPhase("InProgress"));
    EXPECT_EQ(ReadString(world_->Answer(kGet, kGameflowSessionPath, {}).body.Member("phase")),
              "InProgress");

    EXPECT_EQ(world_->PushPlayerUpdate(BindingProperty()), ResourceEventType::kCreate);
    EXPECT_EQ(ToJsonText(world_->Answer(kGet, kPlayerUpdatePath, {}).body),
              R"({"timestamp":5000})");
    EXPECT_EQ(world_->PushPlayerUpdate(Json(R"({"n":2})")), ResourceEventType::kUpdate);
    EXPECT_EQ(ToJsonText(world_->Answer(kGet, kPlayerUpdatePath, {}).body), R"({"n":2})");
}

TEST_F(WorldTest, ScenarioResourcesAddAndRemove) {
    Build(
        "player: {loggedIn: false}\nresources: {/extra/v1/x: [1], /vaneclient/region-locale: "
        "null}\n");
    EXPECT_EQ(ToJsonText(world_->Answer(kGet, "/extra/v1/x", {}).body), "[1]");
    EXPECT_EQ(world_->Answer(kGet, "/vaneclient/region-locale", {}).status, 404);
    EXPECT_EQ(world_->Answer(kGet, kSessionPath, {}).status, 404);
    EXPECT_EQ(world_->Answer(kGet, "/pyx-summoner/v1/summoners/" + Summoner(), {}).status, 404);
}

}  // namespace
}  // namespace Vane::DevHost
