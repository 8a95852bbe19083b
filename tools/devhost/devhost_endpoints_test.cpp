// The control endpoints of the devhost program over HTTP: what each answers, and how it refuses
// a request it cannot use. The probe plugin is loaded; these endpoints do not depend on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codec/json_reader.h"
#include "devhost/console_files.h"
#include "devhost/devhost_process_test_support.h"
#include "devhost/endpoint_example_test_support.h"
#include "devhost/endpoints.h"
#include "devhost/gameflow_phase.h"
#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

using testing::BuiltFile;
using testing::DevHostProcess;
using testing::ExamplePath;

// The answer's body as compact JSON, so that the tests do not depend on its layout; the text
// itself when it is not JSON.
std::string CompactBody(const std::string& body) {
    if (body.empty()) return "";
    ConversionStatus status = ParseJson(body);
    return status.Ok() ? ToJsonText(status.Value()) : body;
}

std::string ErrorBody(const std::string& message) {
    BindingProperty body;
    EXPECT_TRUE(body.MakeStructure());
    SetMemberString(body, "error", message);
    return ToJsonText(body);
}

// True for the answers of what takes the requests no endpoint of the table matched: the 404 for
// a path under /devhost/, the plugin's routes for the rest.
bool LeftOver(const std::string& body) {
    ConversionStatus json = ParseJson(body);
    if (!json.Ok() || json.Value().Kind() != PropertyKind::kStructure) return false;
    const std::string error = ReadString(json.Value().Member("error")).value_or("");
    return error.rfind("No control endpoint", 0) == 0 ||
           !json.Value().Member("httpStatus").IsEmpty();
}

struct Exchange {
    const char* method;
    const char* path;
    const char* body;
    int status;
    std::string answer;  // compact JSON; empty for no body
};

class EndpointsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        process_ = DevHostProcess::Start(BuiltFile(DEVHOST_BINARY),
                                         {"--plugin", BuiltFile(PROBE_PLUGIN), "--quiet"}, error);
        ASSERT_NE(process_, nullptr) << error;
        client_ = process_->Client();
    }

    httplib::Result Send(const std::string& method, const std::string& path,
                         const std::string& body) {
        httplib::Request request;
        request.method = method;
        request.path = path;
        request.body = body;
        if (!body.empty()) request.set_header("Content-Type", "application/json");
        return client_->send(request);
    }

    // Sends each request in turn (each may depend on the ones before) and checks its answer.
    void ExpectInTurn(const std::vector<Exchange>& exchanges) {
        for (const Exchange& exchange : exchanges) {
            SCOPED_TRACE(std::string(exchange.method) + " " + exchange.path + " " + exchange.body);
            httplib::Result result = Send(exchange.method, exchange.path, exchange.body);
            ASSERT_TRUE(result);
            EXPECT_EQ(result->status, exchange.status);
            EXPECT_EQ(CompactBody(result->body), exchange.answer);
        }
    }

    std::unique_ptr<DevHostProcess> process_;
    std::unique_ptr<httplib::Client> client_;
};

std::string NotJson(const char* text) {
    return ErrorBody("The body is not JSON: " + std::string(ParseJson(text).Error()));
}

TEST_F(EndpointsTest, ResourcesAnswerAndRefuse) {
    // Nested deeper than any reader of devhost goes.
    const std::string deep = std::string(600, '[') + std::string(600, ']');
    ExpectInTurn({
        {"PUT", "/devhost/resources/a/b", R"({"x":1})", 200,
         R"({"eventType":"Create","path":"/a/b"})"},
        {"POST", "/devhost/resources/a/b", R"({"x":2})", 200,
         R"({"eventType":"Update","path":"/a/b"})"},
        {"GET", "/devhost/resources/a/b", "", 200, R"({"x":2})"},
        {"PUT", "/devhost/resources/a/b", "", 400,
         ErrorBody("A JSON value is required as the body")},
        {"PUT", "/devhost/resources/a/b", "{bad", 400, NotJson("{bad")},
        {"DELETE", "/devhost/resources/a/b", "", 204, ""},
        {"DELETE", "/devhost/resources/a/b", "", 404, ErrorBody("No resource at /a/b")},
        {"GET", "/devhost/resources/a/b", "", 404, ErrorBody("No resource at /a/b")},
        {"POST", "/devhost/player-update", "nope", 400, NotJson("nope")},
        {"PUT", "/devhost/resources/a/b", deep.c_str(), 400, NotJson(deep.c_str())},
    });
}

TEST_F(EndpointsTest, LoginAndGameflowAnswerAndRefuse) {
    ExpectInTurn({
        {"POST", "/devhost/login", "[1]", 400,
         ErrorBody("The body is an object or nothing, not a list")},
        {"POST", "/devhost/login", R"("me")", 400,
         ErrorBody("The body is an object or nothing, not a string")},
        {"POST", "/devhost/login", R"({"accountId":1.5})", 400,
         ErrorBody("accountId must be a whole number of 0 or more")},
        {"POST", "/devhost/login", R"({"accountId":-1})", 400,
         ErrorBody("accountId must be a whole number of 0 or more")},
        {"POST", "/devhost/login", R"({"summonerId":"x"})", 400,
         ErrorBody("summonerId must be a whole number of 0 or more")},
        {"POST", "/devhost/login", R"({"platformId":3})", 400,
         ErrorBody("platformId must be a string")},
        {"POST", "/devhost/logout", "", 204, ""},
        {"POST", "/devhost/logout", "", 409, ErrorBody("Nobody is logged in")},
        {"PUT", "/devhost/gameflow", R"({"phase":"Lobby"})", 204, ""},
        {"POST", "/devhost/gameflow", R"("InProgress")", 204, ""},
        {"PUT", "/devhost/gameflow", R"({"phase":"Nope"})", 400,
         ErrorBody("No gameflow phase 'Nope'; one of: " + GameflowPhaseList())},
        {"PUT", "/devhost/gameflow", R"({"phase":3})", 400,
         ErrorBody("Expected {\"phase\": name} with one of: " + GameflowPhaseList() +
                   "; got phase as a number")},
        {"PUT", "/devhost/gameflow", R"({"state":"Lobby"})", 400,
         ErrorBody("Expected {\"phase\": name} with one of: " + GameflowPhaseList() +
                   "; got an object without \"phase\"")},
        {"PUT", "/devhost/gameflow", "", 400,
         ErrorBody("Expected {\"phase\": name} with one of: " + GameflowPhaseList() +
                   "; got nothing")},
        {"PUT", "/devhost/gameflow", "[\"Lobby\"]", 400,
         ErrorBody("Expected {\"phase\": name} with one of: " + GameflowPhaseList() +
                   "; got a list")},
        {"PUT", "/devhost/gameflow", R"({"phase":"Lobby")", 400, NotJson(R"({"phase":"Lobby")")},
    });
}

TEST_F(EndpointsTest, RemoteServiceAndReadOutsAnswerAndRefuse) {
    const auto badLatency = [](const std::string& got) {
        return ErrorBody("Expected {\"ms\": milliseconds from 0 to 3600000}, not " + got);
    };
    const auto badPlayer = [](const std::string& got) {
        return ErrorBody("player must be PLATFORM/ACCOUNT (e.g. XX1/2400001), not '" + got + "'");
    };
    ExpectInTurn({
        {"PUT", "/devhost/remote/latency", R"({"ms":5})", 204, ""},
        {"PUT", "/devhost/remote/latency", "-3", 400, badLatency("-3")},
        {"PUT", "/devhost/remote/latency", "3600001", 400, badLatency("3600001")},
        {"PUT", "/devhost/remote/latency", R"({"ms":"5"})", 400, badLatency("a string")},
        {"PUT", "/devhost/remote/latency", R"({"milliseconds":5})", 400, badLatency("nothing")},
        {"PUT", "/devhost/remote/latency", "{", 400, NotJson("{")},
        {"PUT", "/devhost/remote/missions", R"({"x":1})", 400,
         ErrorBody("Remote missions: expected a list of objects, got object")},
        {"PUT", "/devhost/remote/missions", R"([{"id":"a"},7])", 400,
         ErrorBody("Remote missions: [1]: expected an object, got number")},
        {"PUT", "/devhost/remote/missions", R"([{"title":"no id"}])", 400,
         ErrorBody("Remote missions: [0].id: expected a non-empty string")},
        {"PUT", "/devhost/remote/missions", "[", 400, NotJson("[")},
        {"PUT", "/devhost/remote/missions?player=XX1", "[]", 400, badPlayer("XX1")},
        {"PUT", "/devhost/remote/series", "3", 400,
         ErrorBody("Remote series: expected a list of objects, got number")},
        {"PUT", "/devhost/remote/series", R"([{"id":"s"},{"id":"s"}])", 400,
         ErrorBody("Remote series: [1].id: repeats id 's'")},
        {"PUT", "/devhost/remote/series?player=/1", "[]", 400, badPlayer("/1")},
        {"POST", "/devhost/remote/missions/nope/complete", "", 404, ErrorBody("No mission 'nope'")},
        {"POST", "/devhost/remote/missions/nope/complete?player=a/b/c", "", 400,
         badPlayer("a/b/c")},
        {"GET", "/devhost/remote/calls?since=-1", "", 400,
         ErrorBody("since must be a whole number, not '-1'")},
        {"GET", "/devhost/log?since=99999999999999999999999", "", 400,
         ErrorBody("since must be a whole number, not '99999999999999999999999'")},
        {"GET", "/devhost/telemetry?since=1x", "", 400,
         ErrorBody("since must be a whole number, not '1x'")},
    });
}

// Under /devhost/, a path no control endpoint serves is a mistake, whatever the method but
// OPTIONS; elsewhere, and for /devhost itself but GET, it is the plugin's.
TEST_F(EndpointsTest, PathsNoControlEndpointServes) {
    ExpectInTurn({
        {"GET", "/devhost/nothing", "", 404,
         ErrorBody("No control endpoint GET /devhost/nothing; GET /devhost lists them")},
        {"DELETE", "/devhost/remote", "", 404,
         ErrorBody("No control endpoint DELETE /devhost/remote; GET /devhost lists them")},
        {"PATCH", "/devhost/login", "", 404,
         ErrorBody("No control endpoint PATCH /devhost/login; GET /devhost lists them")},
        {"POST", "/devhost/status", "", 404,
         ErrorBody("No control endpoint POST /devhost/status; GET /devhost lists them")},
        {"OPTIONS", "/devhost/nothing", "", 404,
         R"({"httpStatus":404,"message":"No route serves /devhost/nothing"})"},
        {"POST", "/devhost", "", 404, R"({"httpStatus":404,"message":"No route serves /devhost"})"},
    });
}

TEST_F(EndpointsTest, TheIndexListsTheTableAndEveryListedEndpointIsServed) {
    httplib::Result index = client_->Get("/devhost");
    ASSERT_TRUE(index);
    ASSERT_EQ(index->status, 200);
    ConversionStatus listed = ParseJson(index->body);
    ASSERT_TRUE(listed.Ok()) << index->body;
    const std::span<const EndpointDescription> endpoints = Endpoints();
    ASSERT_EQ(listed.Value().Size(), endpoints.size()) << index->body;
    for (size_t i = 0; i < endpoints.size(); ++i) {
        const BindingProperty& item = listed.Value().Element(i);
        EXPECT_EQ(ReadString(item.Member("method")), HttpMethodName(endpoints[i].method));
        EXPECT_EQ(ReadString(item.Member("path")), endpoints[i].path);
        EXPECT_EQ(ReadString(item.Member("description")), endpoints[i].description);
    }

    for (const EndpointDescription& endpoint : endpoints) {
        // The plugin's routes are what is left over, and the event stream never ends; the
        // probe tests drive both.
        if (endpoint.id == EndpointId::kPluginRoutes || endpoint.id == EndpointId::kEventStream) {
            continue;
        }
        for (HttpMethod method : ServedMethods(endpoint)) {
            const std::string request =
                std::string(HttpMethodName(method)) + " " + ExamplePath(endpoint);
            httplib::Result result =
                Send(std::string(HttpMethodName(method)), ExamplePath(endpoint), "");
            ASSERT_TRUE(result) << request;
            EXPECT_FALSE(LeftOver(result->body)) << request << ": " << result->body;
        }
    }
}

// The page and its files as a browser gets them: the right type, a tag to revalidate with, and
// the bytes the build embedded, whatever their size.
TEST_F(EndpointsTest, ServesTheConsoleAndItsFilesWithTagsToRevalidate) {
    const struct {
        const char* path;
        const char* file;
    } kCases[] = {
        {"/", "index.html"},
        {"/console/index.html", "index.html"},
        {"/console/app.js", "app.js"},
        {"/console/vendor/preact.mjs", "vendor/preact.mjs"},
        {"/console/vendor/swagger-ui-bundle.js", "vendor/swagger-ui-bundle.js"},
    };
    for (const auto& each : kCases) {
        SCOPED_TRACE(each.path);
        const EmbeddedFile* file = FindConsoleFile(each.file);
        ASSERT_NE(file, nullptr);
        httplib::Result result = client_->Get(each.path);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 200);
        EXPECT_EQ(result->get_header_value("Content-Type"), file->contentType);
        EXPECT_EQ(result->get_header_value("ETag"), file->etag);
        EXPECT_EQ(result->get_header_value("Cache-Control"), "no-cache");
        EXPECT_TRUE(result->body == file->content) << result->body.size() << " bytes";

        httplib::Result again =
            client_->Get(each.path, {{"If-None-Match", std::string(file->etag)}});
        ASSERT_TRUE(again);
        EXPECT_EQ(again->status, 304);
        EXPECT_TRUE(again->body.empty());
        EXPECT_EQ(again->get_header_value("ETag"), file->etag);
    }
    // A browser offers brotli too; the answer comes in another coding, whole.
    httplib::Result offered =
        client_->Get("/console/vendor/swagger-ui-bundle.js", {{"Accept-Encoding", "gzip, br"}});
    ASSERT_TRUE(offered);
    EXPECT_EQ(offered->status, 200);
    EXPECT_NE(offered->get_header_value("Content-Encoding"), "br");
    EXPECT_TRUE(offered->body == FindConsoleFile("vendor/swagger-ui-bundle.js")->content);

    httplib::Result page = client_->Get("/");
    ASSERT_TRUE(page);
    EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'self'"),
              std::string::npos);

    ExpectInTurn({
        {"GET", "/console/nope.js", "", 404,
         ErrorBody("No console file nope.js; GET / opens the console")},
        {"GET", "/console/", "", 404,
         R"({"httpStatus":404,"message":"No route serves /console/"})"},
    });
}

// Breaks the world in several ways at once over HTTP, then sends the call each missing
// condition names: every condition is met afterwards.
TEST_F(EndpointsTest, EachConditionsFixMakesItMet) {
    ExpectInTurn({
        {"POST", "/devhost/logout", "", 204, ""},
        {"PUT", "/devhost/resources/pyx-platform-config/v1/namespaces/Missions/MissionsEnabled",
         "false", 200,
         R"({"eventType":"Update","path":"/pyx-platform-config/v1/namespaces/Missions/MissionsEnabled"})"},
        {"PUT", "/devhost/resources/pyx-platform-config/v1/namespaces/LoginDataPacket/platformId",
         R"("")", 200,
         R"({"eventType":"Update","path":"/pyx-platform-config/v1/namespaces/LoginDataPacket/platformId"})"},
        {"PUT", "/devhost/gameflow", R"({"phase":"InProgress"})", 204, ""},
        {"PUT", "/devhost/resources/entitlements/v1/token", R"({"entitlements":[]})", 200,
         R"({"eventType":"Update","path":"/entitlements/v1/token"})"},
    });
    const auto missing = [&] {
        httplib::Result result = client_->Get("/devhost/conditions");
        EXPECT_TRUE(result && result->status == 200);
        std::vector<BindingProperty> conditions;
        if (!result) return conditions;
        ConversionStatus answer = ParseJson(result->body);
        EXPECT_TRUE(answer.Ok()) << result->body;
        for (const BindingProperty& condition : answer.Value().Member("conditions").Elements()) {
            if (!condition.Member("met").GetBool()) conditions.push_back(condition);
        }
        return conditions;
    };
    std::vector<std::string> ids;
    // A login fixes the account and the inventory at once; the next reading shows what is left.
    for (int round = 0; round < 3; ++round) {
        const std::vector<BindingProperty> open = missing();
        if (open.empty()) break;
        for (const BindingProperty& condition : open) {
            ids.push_back(ReadString(condition.Member("id")).value_or("?"));
            const BindingProperty& fix = condition.Member("fix");
            const std::string body =
                fix.Member("body").IsEmpty() ? "" : ToJsonText(fix.Member("body"));
            httplib::Result result = Send(ReadString(fix.Member("method")).value_or(""),
                                          ReadString(fix.Member("path")).value_or(""), body);
            ASSERT_TRUE(result);
            EXPECT_LT(result->status, 300) << ToJsonText(fix) << ": " << result->body;
        }
    }
    for (const BindingProperty& condition : missing()) ADD_FAILURE() << ToJsonText(condition);
    for (const char* id :
         {"missions-enabled", "account", "platform", "champions", "not-in-game", "entitled"}) {
        EXPECT_NE(std::find(ids.begin(), ids.end(), id), ids.end()) << id << " was never missing";
    }
}

}  // namespace
}  // namespace Vane::DevHost
