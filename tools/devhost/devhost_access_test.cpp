// Who may talk to the devhost program, through real HTTP: foreign Host names, writes from other
// origins, body types a page can send without a preflight, the one allowed origin, and the
// token that opening it to other machines requires.
#include <gtest/gtest.h>

#include <algorithm>

#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "devhost/devhost_process_test_support.h"
#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

using testing::BuiltFile;
using testing::DevHostProcess;

constexpr const char* kMissions = "/pyx-missions/v1/missions";
constexpr const char* kPlayer = "/pyx-missions/v1/player";
constexpr const char* kAttacker = "http://attacker.example";
constexpr const char* kFrontEnd = "http://localhost:5173";

class AccessTest : public ::testing::Test {
  protected:
    void Start(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--plugin", BuiltFile(MISSIONS_PLUGIN), "--quiet"});
        std::string error;
        process_ = DevHostProcess::Start(BuiltFile(DEVHOST_BINARY), arguments, error);
        ASSERT_NE(process_, nullptr) << error;
        client_ = process_->Client();
    }

    // Waits until the plugin's first fetch has been answered and acted on, so that a snapshot
    // taken after it stays the same unless a request changes the world.
    void WaitForFirstFetch() {
        ASSERT_TRUE(testing::Eventually([&] {
            httplib::Result missions = client_->Get(kMissions);
            httplib::Result notifications =
                client_->Get("/devhost/resources/player-notifications/v1/notifications");
            return missions && notifications && missions->body != "[]" &&
                   notifications->body.find("new_mission") != std::string::npos;
        }));
    }

    std::string Own() const { return process_->Address() + ":" + std::to_string(process_->Port()); }

    // Everything a write could change: every resource of the world, the remote service, the
    // plugin's lists and the requests it made.
    std::string WorldSnapshot() {
        std::string snapshot;
        const auto read = [&](const std::string& path) {
            httplib::Result result = client_->Get(path);
            snapshot += path + " " + (result ? std::to_string(result->status) + result->body : "-");
            snapshot += "\n";
        };
        httplib::Result paths = client_->Get("/devhost/resources");
        if (!paths) return "no answer";
        ConversionStatus list = ParseJson(paths->body);
        if (!list.Ok()) return "not JSON";
        for (const BindingProperty& path : list.Value().Elements()) {
            read("/devhost/resources" + ReadString(path).value_or(""));
        }
        read("/devhost/remote");
        read(kMissions);
        read("/pyx-missions/v1/series");
        read("/devhost/requests?since=1");
        return snapshot;
    }

    // The snapshot once the world has settled: the plugin's start-up (its fetch, the
    // notification after it) and whatever a request set off arrive over several answers with
    // latency, slower still in a sanitizer build.
    std::string SettledSnapshot() {
        std::string last = WorldSnapshot();
        for (int attempt = 0; attempt < 50; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            std::string now = WorldSnapshot();
            if (now == last) return now;
            last = std::move(now);
        }
        ADD_FAILURE() << "the world never settled";
        return last;
    }

    std::unique_ptr<DevHostProcess> process_;
    std::unique_ptr<httplib::Client> client_;
};

TEST_F(AccessTest, ForeignHostIsRefusedBeforeAnyHandler) {
    Start({"--allow-host", "devbox.lan"});
    WaitForFirstFetch();
    const std::string port = std::to_string(process_->Port());
    struct Case {
        const char* method;
        const char* path;
    };
    const Case cases[] = {
        {"GET", kMissions},          {"GET", "/devhost/status"}, {"GET", "/events"},
        {"POST", "/devhost/logout"}, {"PUT", kPlayer},
    };
    const std::string before = SettledSnapshot();
    for (const Case& c : cases) {
        httplib::Request request;
        request.method = c.method;
        request.path = c.path;
        request.headers = {{"Host", "attacker.example:" + port},
                           {"Content-Type", "application/json"}};
        if (std::string(c.method) != "GET") request.body = "{}";
        httplib::Result result = client_->send(request);
        ASSERT_TRUE(result) << c.path;
        EXPECT_EQ(result->status, 403) << c.method << " " << c.path;
        EXPECT_NE(result->body.find("--allow-host"), std::string::npos) << result->body;
    }
    EXPECT_EQ(SettledSnapshot(), before);

    for (const std::string& host : {"localhost:" + port, "devbox.lan:" + port, Own()}) {
        httplib::Result result = client_->Get(kMissions, {{"Host", host}});
        ASSERT_TRUE(result) << host;
        EXPECT_EQ(result->status, 200) << host;
    }
}

TEST_F(AccessTest, CrossOriginWritesAndSimpleBodiesChangeNothing) {
    Start({});
    WaitForFirstFetch();
    const std::string before = SettledSnapshot();
    struct Case {
        const char* method;
        const char* path;
        const char* origin;
        const char* contentType;
        int status;
    };
    const Case cases[] = {
        {"POST", "/devhost/logout", kAttacker, "application/json", 403},
        {"PUT", kPlayer, kAttacker, "application/json", 403},
        {"PATCH", kPlayer, kAttacker, "application/json", 403},
        {"DELETE", "/devhost/resources/pyx-login/v1/session", kAttacker, "application/json", 403},
        {"POST", "/pyx-missions/v1/force", "null", "application/json", 403},
        {"PUT", "/devhost/remote/missions", kAttacker, "application/json", 403},
        // No Origin (a tool, not a page), but a body no JSON endpoint takes.
        {"POST", "/devhost/player-update", nullptr, "text/plain", 415},
        {"PUT", kPlayer, nullptr, "text/plain;charset=UTF-8", 415},
        {"PUT", "/devhost/resources/pyx-login/v1/session", nullptr,
         "application/x-www-form-urlencoded", 415},
    };
    for (const Case& c : cases) {
        httplib::Request request;
        request.method = c.method;
        request.path = c.path;
        request.headers = {{"Content-Type", c.contentType}};
        if (c.origin != nullptr) request.headers.emplace("Origin", c.origin);
        request.body = std::string(c.path) == kPlayer
                           ? R"({"missionIds":["mission-first-win"],"seriesIds":[]})"
                           : "[]";
        httplib::Result result = client_->send(request);
        ASSERT_TRUE(result) << c.method << " " << c.path;
        EXPECT_EQ(result->status, c.status) << c.method << " " << c.path << ": " << result->body;
        EXPECT_FALSE(result->has_header("Access-Control-Allow-Origin"));
    }
    EXPECT_EQ(SettledSnapshot(), before);

    // The console's own writes: same origin, JSON.
    httplib::Result viewed =
        client_->Put(kPlayer, {{"Origin", "http://" + Own()}},
                     R"({"missionIds":["mission-first-win"],"seriesIds":[]})", "application/json");
    ASSERT_TRUE(viewed);
    EXPECT_EQ(viewed->status, 204) << viewed->body;
    EXPECT_NE(SettledSnapshot(), before);
}

// A page of any site may make a browser send GETs (images, links), so no GET may change
// anything: every GET devhost lists, and every GET route of the plugin.
TEST_F(AccessTest, NoGetChangesTheWorld) {
    Start({});
    WaitForFirstFetch();
    std::vector<std::string> paths;
    httplib::Result index = client_->Get("/devhost");
    ASSERT_TRUE(index);
    ConversionStatus endpoints = ParseJson(index->body);
    ASSERT_TRUE(endpoints.Ok());
    for (const BindingProperty& endpoint : endpoints.Value().Elements()) {
        if (ReadString(endpoint.Member("method")) != "GET") continue;
        std::string path = ReadString(endpoint.Member("path")).value_or("");
        if (path == "/events") continue;  // a stream that never ends; it only reads
        path = path.substr(0, path.find('?'));
        for (const auto& [placeholder, example] :
             {std::pair<std::string, std::string>{"<path>", "pyx-login/v1/session"},
              {"<file>", "app.js"}}) {
            const size_t at = path.find(placeholder);
            if (at != std::string::npos) path.replace(at, placeholder.size(), example);
        }
        paths.push_back(path);
    }
    httplib::Result routes = client_->Get("/devhost/routes");
    ASSERT_TRUE(routes);
    ConversionStatus routeList = ParseJson(routes->body);
    ASSERT_TRUE(routeList.Ok());
    for (const BindingProperty& route : routeList.Value().Elements()) {
        const std::string method = ReadString(route.Member("method")).value_or("");
        if (method == "GET" || method == "*") {
            paths.push_back(ReadString(route.Member("url")).value_or(""));
        }
    }
    // Both lists were read: a control read-out and a plugin route are among them.
    ASSERT_NE(std::find(paths.begin(), paths.end(), "/devhost/status"), paths.end());
    ASSERT_NE(std::find(paths.begin(), paths.end(), kMissions), paths.end());

    const std::string before = SettledSnapshot();
    for (const std::string& path : paths) {
        httplib::Result result = client_->Get(path);
        ASSERT_TRUE(result) << path;
        EXPECT_LT(result->status, 500) << path;
    }
    EXPECT_EQ(SettledSnapshot(), before);
}

TEST_F(AccessTest, OnlyTheAllowedOriginGetsCors) {
    Start({"--allow-origin", kFrontEnd});
    httplib::Request preflight;
    preflight.method = "OPTIONS";
    preflight.path = kPlayer;
    preflight.headers = {{"Origin", kFrontEnd},
                         {"Access-Control-Request-Method", "PUT"},
                         {"Access-Control-Request-Headers", "content-type"}};
    httplib::Result result = client_->send(preflight);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 204);
    EXPECT_EQ(result->get_header_value("Access-Control-Allow-Origin"), kFrontEnd);
    EXPECT_NE(result->get_header_value("Access-Control-Allow-Methods").find("PUT"),
              std::string::npos);
    EXPECT_EQ(result->get_header_value("Access-Control-Allow-Headers"), "content-type");

    result =
        client_->Put(kPlayer, {{"Origin", kFrontEnd}},
                     R"({"missionIds":["mission-first-win"],"seriesIds":[]})", "application/json");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 204) << result->body;
    EXPECT_EQ(result->get_header_value("Access-Control-Allow-Origin"), kFrontEnd);

    result = client_->Get(kMissions, {{"Origin", kFrontEnd}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->get_header_value("Access-Control-Allow-Origin"), kFrontEnd);

    // Another origin, even one port away, gets nothing of it.
    preflight.headers.erase("Origin");
    preflight.headers.emplace("Origin", "http://localhost:5174");
    result = client_->send(preflight);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 403);
    EXPECT_FALSE(result->has_header("Access-Control-Allow-Origin"));
    result = client_->Get(kMissions, {{"Origin", kAttacker}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_FALSE(result->has_header("Access-Control-Allow-Origin"));
}

TEST_F(AccessTest, BoundElsewhereEveryRequestNeedsTheToken) {
    // Another loopback address stands in for a network one: reachable here, and not a name the
    // guard lets in for being loopback.
    Start({"--bind", "127.0.0.2", "--token"});
    ASSERT_EQ(process_->Address(), "127.0.0.2");
    const std::string output = process_->Output();
    const std::string tokenLine = "every request needs the token ";
    const size_t tokenAt = output.find(tokenLine);
    ASSERT_NE(tokenAt, std::string::npos) << output;
    const std::string token = output.substr(tokenAt + tokenLine.size(), 32);
    const std::string linkLine = "/?code=";
    const size_t linkAt = output.find(linkLine);
    ASSERT_NE(linkAt, std::string::npos) << output;
    const std::string code = output.substr(linkAt + linkLine.size(), 32);

    for (const char* path : {kMissions, "/devhost/status", "/events"}) {
        httplib::Result result = client_->Get(path);
        ASSERT_TRUE(result) << path;
        EXPECT_EQ(result->status, 401) << path;
        result = client_->Get(path, {{"Authorization", "Bearer " + token + "0"}});
        ASSERT_TRUE(result) << path;
        EXPECT_EQ(result->status, 401) << path;
    }
    httplib::Result result = client_->Get(kMissions, {{"Authorization", "Bearer " + token}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);

    // The console link sets the cookie once.
    result = client_->Get("/?code=" + code);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 303);
    const std::string cookie = result->get_header_value("Set-Cookie");
    ASSERT_EQ(cookie.rfind("devhost_token=" + token + ";", 0), 0u) << cookie;
    result = client_->Get(kMissions, {{"Cookie", "devhost_token=" + token}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    result = client_->Get("/?code=" + code);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 401);
}

}  // namespace
}  // namespace Vane::DevHost
