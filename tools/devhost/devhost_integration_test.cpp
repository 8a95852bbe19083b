// The devhost program with the missions plugin, driven over HTTP as a front-end developer
// would: missions after start, marking viewed, opting, pushed updates, logout and errors.
#include <gtest/gtest.h>

#include "codec/json_reader.h"
#include "devhost/devhost_process_test_support.h"
#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

using testing::BuiltFile;
using testing::DevHostProcess;
using testing::EventStreamListener;
using testing::Eventually;
using testing::StopWith;

constexpr const char* kMissions = "/pyx-missions/v1/missions";
constexpr const char* kPlayer = "/pyx-missions/v1/player";
// The built-in player, as the remote service keys it.
constexpr const char* kRemotePlayer = "XX1/2400001";

BindingProperty Json(const std::string& text) {
    ConversionStatus status = ParseJson(text);
    EXPECT_TRUE(status.Ok()) << text;
    return std::move(status.Value());
}

const BindingProperty* FindById(const BindingProperty& list, const std::string& id) {
    for (const BindingProperty& item : list.Elements()) {
        if (ReadString(item.Member("id")).value_or("") == id) return &item;
    }
    return nullptr;
}

class MissionsHostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        process_ = DevHostProcess::Start(
            BuiltFile(DEVHOST_BINARY), {"--plugin", BuiltFile(MISSIONS_PLUGIN), "--latency", "30"},
            error);
        ASSERT_NE(process_, nullptr) << error;
        client_ = process_->Client();
    }

    BindingProperty Get(const std::string& path, int expectedStatus = 200) {
        httplib::Result result = client_->Get(path);
        EXPECT_TRUE(result) << path;
        if (!result) return BindingProperty();
        EXPECT_EQ(result->status, expectedStatus) << path << ": " << result->body;
        return Json(result->body);
    }

    BindingProperty Missions() { return Get(kMissions); }

    // The number the next request of the plugin will get in /devhost/requests.
    uint64_t NextRequest() {
        return ReadUint64(Get("/devhost/requests?since=999999999").Member("next")).value_or(0);
    }

    // How many service-proxy fetches the plugin sent since request number `since`.
    size_t FetchesSince(uint64_t since) {
        const BindingProperty items =
            Get("/devhost/requests?since=" + std::to_string(since)).Member("items");
        size_t fetches = 0;
        for (const BindingProperty& request : items.Elements()) {
            if (ReadString(request.Member("url")) != "/pyx-login/v1/service-proxy-uuid-requests") {
                continue;
            }
            const std::string envelope =
                ReadString(request.Member("arguments").Element(2).Member("value")).value_or("");
            fetches += envelope.find("?locale=") != std::string::npos ? 1 : 0;
        }
        return fetches;
    }

    std::unique_ptr<DevHostProcess> process_;
    std::unique_ptr<httplib::Client> client_;
};

TEST_F(MissionsHostTest, MissionsAreServedAfterStartWithNotificationAndCelebration) {
    ASSERT_TRUE(Eventually([&] { return Missions().Size() == 4; })) << process_->Output();
    const BindingProperty missions = Missions();
    const BindingProperty* first = FindById(missions, "mission-first-win");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ReadString(first->Member("title")), "First Win of the Day");
    EXPECT_EQ(ReadInt64(first->Member("completedDate")), -1);
    EXPECT_EQ(Get("/pyx-missions/v1/series").Size(), 2u);

    // Two new missions to show: one notification, quantity 2.
    ASSERT_TRUE(Eventually([&] {
        return Get("/devhost/resources/player-notifications/v1/notifications").Size() == 1;
    }));
    const BindingProperty notification =
        Get("/devhost/resources/player-notifications/v1/notifications").Element(0);
    EXPECT_EQ(ReadString(notification.Member("source")), "missions");
    EXPECT_EQ(ReadString(notification.Member("type")), "new_mission");
    EXPECT_EQ(ReadString(notification.Member("data").Member("quantity")), "2");
    EXPECT_EQ(ToJsonText(Get("/devhost/registrations")), R"({"missions-celebration":2})");

    // The eligibility data reached the remote service with the fetch.
    const BindingProperty eligibility =
        Get("/devhost/remote").Member("players").Member(kRemotePlayer).Member("eligibility");
    EXPECT_EQ(ReadInt64(eligibility.Member("level")), 30);
    EXPECT_EQ(ToJsonText(eligibility.Member("playerInventory").Member("wardSkins")),
              "[1,4294967296]");

    EXPECT_EQ(process_->Stop(StopWith::kInterrupt), 0) << process_->Output();
}

TEST_F(MissionsHostTest, MarkViewedReachesTheServiceAndTheNextFetchShowsIt) {
    ASSERT_TRUE(Eventually([&] { return Missions().Size() == 4; })) << process_->Output();
    EXPECT_FALSE(FindById(Missions(), "mission-first-win")->Member("viewed").GetBool(true));

    httplib::Result viewed = client_->Put(
        kPlayer, R"({"missionIds":["mission-first-win"],"seriesIds":["series-starter"]})",
        "application/json");
    ASSERT_TRUE(viewed);
    EXPECT_EQ(viewed->status, 204) << viewed->body;
    ASSERT_TRUE(Eventually([&] {
        const BindingProperty calls = Get("/devhost/remote/calls").Member("items");
        for (const BindingProperty& call : calls.Elements()) {
            if (ReadString(call.Member("path")) == "/missions/v3/player/XX1/2400001/viewed/") {
                return true;
            }
        }
        return false;
    }));
    // The plugin's list changes only with the next fetch.
    EXPECT_FALSE(FindById(Missions(), "mission-first-win")->Member("viewed").GetBool(true));

    httplib::Result opt = client_->Patch(
        kPlayer, R"({"seriesId":"series-event","optStatus":"OPT_IN"})", "application/json");
    ASSERT_TRUE(opt);
    EXPECT_EQ(opt->status, 204) << opt->body;

    httplib::Result force = client_->Post("/pyx-missions/v1/force", "", "application/json");
    ASSERT_TRUE(force);
    EXPECT_EQ(force->status, 204) << force->body;
    ASSERT_TRUE(Eventually([&] {
        const BindingProperty missions = Missions();
        const BindingProperty* mission = FindById(missions, "mission-first-win");
        return mission != nullptr && mission->Member("viewed").GetBool();
    }));
    EXPECT_FALSE(FindById(Missions(), "mission-first-win")->Member("isNew").GetBool(true));
    const BindingProperty series = Get("/pyx-missions/v1/series");
    EXPECT_TRUE(FindById(series, "series-starter")->Member("viewed").GetBool());
    EXPECT_EQ(ReadString(FindById(series, "series-event")->Member("status")), "OPT_IN");
}

TEST_F(MissionsHostTest, PushedUpdateFetchesAgainAndPublishesEvents) {
    ASSERT_TRUE(Eventually([&] { return Missions().Size() == 4; })) << process_->Output();
    EventStreamListener events(process_->Port());
    ASSERT_TRUE(events.WaitConnected());
    const uint64_t since = NextRequest();

    // The remote service changes; the plugin learns it from the pushed update.
    httplib::Result replaced =
        client_->Put("/devhost/remote/missions", R"([{"id":"pushed","title":"Pushed mission"}])",
                     "application/json");
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->status, 204) << replaced->body;
    httplib::Result pushed = client_->Post("/devhost/player-update", "", "application/json");
    ASSERT_TRUE(pushed);
    EXPECT_EQ(pushed->status, 200) << pushed->body;

    ASSERT_TRUE(Eventually([&] { return FetchesSince(since) >= 1; }));
    ASSERT_TRUE(
        Eventually([&] { return events.Count("OnJsonApiEvent_pyx-missions_v1_missions") >= 1; }));
    ASSERT_TRUE(
        Eventually([&] { return events.Count("OnJsonApiEvent_pyx-missions_v1_series") >= 1; }));
    BindingProperty update;
    for (const auto& event : events.Events()) {
        if (event.name == "OnJsonApiEvent_pyx-missions_v1_missions") update = Json(event.data);
    }
    EXPECT_EQ(ReadString(update.Member("uri")), kMissions);
    EXPECT_EQ(ReadString(update.Member("eventType")), "Update");
    ASSERT_EQ(update.Member("data").Size(), 1u);
    EXPECT_EQ(ReadString(update.Member("data").Element(0).Member("id")), "pushed");
    EXPECT_EQ(Missions().Size(), 1u);
}

TEST_F(MissionsHostTest, LogoutEmptiesTheMissionsRoute) {
    ASSERT_TRUE(Eventually([&] { return Missions().Size() == 4; })) << process_->Output();
    httplib::Result logout = client_->Post("/devhost/logout", "", "application/json");
    ASSERT_TRUE(logout);
    EXPECT_EQ(logout->status, 204);
    ASSERT_TRUE(Eventually([&] { return Missions().Size() == 0; }));
    EXPECT_EQ(Missions().Kind(), PropertyKind::kCollection);  // an empty list, not an error

    // Logging in again brings them back.
    httplib::Result login = client_->Post("/devhost/login", "", "application/json");
    ASSERT_TRUE(login);
    EXPECT_EQ(login->status, 200);
    ASSERT_TRUE(Eventually([&] { return Missions().Size() == 4; }));
}

TEST_F(MissionsHostTest, RouteErrorsPassThroughWithTheirStatus) {
    // The dispatcher itself refuses a path its route does not match (a query on a literal
    // route), with its own status.
    httplib::Result query = client_->Get(std::string(kMissions) + "?debug=1");
    ASSERT_TRUE(query);
    EXPECT_EQ(query->status, 404);
    EXPECT_EQ(ReadString(Json(query->body).Member("message")), "Invalid function");

    // A body the route cannot decode: the decoder's message; no status from the route, so 500.
    httplib::Result bad = client_->Put(kPlayer, "{\"missionIds\": [", "application/json");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->status, 500);
    const std::string message = ReadString(Json(bad->body).Member("message")).value_or("");
    EXPECT_NE(message.find("at offset 16"), std::string::npos) << message;

    // A body of the wrong shape: the type conversion's message.
    httplib::Result shape = client_->Put(kPlayer, R"({"missionIds": 3})", "application/json");
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->status, 500);
    EXPECT_EQ(ReadString(Json(shape->body).Member("message")),
              "Couldn't assign value to 'missionIds' of type vector because the input not a "
              "collection.");

    // (text/plain never gets this far: devhost refuses it with 415, see devhost_access_test.)
    httplib::Result text = client_->Put(kPlayer, "ids", "application/octet-stream");
    ASSERT_TRUE(text);
    EXPECT_EQ(ReadString(Json(text->body).Member("message")), "Unsupported body content type");

    httplib::Result method = client_->Delete(kMissions);
    ASSERT_TRUE(method);
    EXPECT_EQ(method->status, 405);
}

// The document's five plugin routes, read from the plugin's own table: their methods, bodies
// and answers, and schemas that the routes' real answers meet.
TEST_F(MissionsHostTest, TheOpenApiDocumentDescribesThePluginsRoutes) {
    ASSERT_TRUE(Eventually([&] { return Missions().Size() == 4; })) << process_->Output();
    const BindingProperty document = Get("/devhost/openapi.json");
    EXPECT_EQ(ReadString(document.Member("openapi")), "3.1.0");
    EXPECT_EQ(ReadString(document.Member("info").Member("title")), "devhost: pyx-missions");
    const BindingProperty& paths = document.Member("paths");
    const std::string schemas = "#/components/schemas/";
    const struct {
        const char* path;
        const char* method;
        const char* operationId;
        const char* body;     // the request body's type, or nullptr
        const char* answers;  // "200" or "204"
        const char* items;    // the answer's element type, or nullptr
    } routes[] = {
        {kMissions, "get", "GetPyxMissionsV1Missions", nullptr, "200", "PlayerMissionDTO"},
        {"/pyx-missions/v1/series", "get", "GetPyxMissionsV1Series", nullptr, "200", "SeriesDTO"},
        {kPlayer, "put", "PutPyxMissionsV1Player", "IdsDTO", "204", nullptr},
        {"/pyx-missions/v1/force", "post", "PostPyxMissionsV1Force", nullptr, "204", nullptr},
        {kPlayer, "patch", "PatchPyxMissionsV1Player", "PyxMissionsSeriesOpt", "204", nullptr},
    };
    size_t pluginOperations = 0;
    for (const auto& [path, item] : paths.Members()) {
        if (path.rfind("/pyx-missions/", 0) == 0) pluginOperations += item.Size();
    }
    EXPECT_EQ(pluginOperations, std::size(routes));
    for (const auto& route : routes) {
        SCOPED_TRACE(std::string(route.method) + " " + route.path);
        const BindingProperty& operation = paths.Member(route.path).Member(route.method);
        ASSERT_EQ(operation.Kind(), PropertyKind::kStructure);
        EXPECT_EQ(ReadString(operation.Member("operationId")), route.operationId);
        EXPECT_TRUE(operation.Member("parameters").IsEmpty());
        const BindingProperty& content = operation.Member("requestBody").Member("content");
        if (route.body == nullptr) {
            EXPECT_TRUE(content.IsEmpty());
        } else {
            for (const char* type :
                 {"application/json", "application/x-msgpack", "application/x-yaml"}) {
                EXPECT_EQ(ReadString(content.Member(type).Member("schema").Member("$ref")),
                          schemas + route.body)
                    << type;
            }
        }
        const BindingProperty& responses = operation.Member("responses");
        EXPECT_EQ(responses.Size(), 3u);  // the answer, 4XX and 5XX
        const BindingProperty& answer = responses.Member(route.answers);
        ASSERT_FALSE(answer.IsEmpty());
        if (route.items != nullptr) {
            const BindingProperty& schema =
                answer.Member("content").Member("application/json").Member("schema");
            EXPECT_EQ(ReadString(schema.Member("type")), "array");
            EXPECT_EQ(ReadString(schema.Member("items").Member("$ref")), schemas + route.items);
        }
    }

    const BindingProperty& components = document.Member("components").Member("schemas");
    EXPECT_EQ(ToJsonText(components.Member("IdsDTO").Member("properties")),
              R"({"missionIds":{"items":{"type":"string"},"type":"array"},)"
              R"("seriesIds":{"items":{"type":"string"},"type":"array"}})");
    EXPECT_EQ(ToJsonText(components.Member("PyxMissionsSeriesOpt").Member("required")),
              R"(["seriesId","optStatus"])");
    // Enumerations go out by name: the resource events the plugin fires say "Update".
    EXPECT_EQ(ToJsonText(components.Member("PluginResourceEventType")),
              R"({"enum":["Create","Delete","Update"],"type":"string"})");
    EXPECT_FALSE(document.Member("webhooks").Member("OnJsonApiEvent").IsEmpty());

    // What the list routes answer has every property their schema requires, and no other.
    const struct {
        const char* path;
        const char* type;
    } lists[] = {{kMissions, "PlayerMissionDTO"}, {"/pyx-missions/v1/series", "SeriesDTO"}};
    for (const auto& list : lists) {
        const BindingProperty& schema = components.Member(list.type);
        const BindingProperty answer = Get(list.path);
        ASSERT_NE(answer.Size(), 0u) << list.path;
        for (const BindingProperty& item : answer.Elements()) {
            for (const auto& [name, value] : item.Members()) {
                EXPECT_NE(schema.Member("properties").FindMember(name), nullptr)
                    << list.type << " lacks " << name;
            }
            for (const BindingProperty& required : schema.Member("required").Elements()) {
                EXPECT_NE(item.FindMember(required.GetString()), nullptr)
                    << list.path << " left out " << required.GetString();
            }
        }
    }
}

}  // namespace
}  // namespace Vane::DevHost
