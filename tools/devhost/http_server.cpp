#include "http_server.h"

#include <httplib.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>

#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "dev_host.h"
#include "endpoints.h"
#include "gameflow_phase.h"
#include "value_access.h"

namespace Vane::DevHost {
namespace {

void SendJson(httplib::Response& res, int status, const BindingProperty& value) {
    res.status = status;
    std::string text = value.IsEmpty() ? "null" : WriteJson(value, nullptr, "\n");
    text += '\n';
    res.set_content(text, "application/json");
}

void SendError(httplib::Response& res, int status, const std::string& message) {
    BindingProperty body;
    body.MakeStructure();
    SetMemberString(body, "error", message);
    SendJson(res, status, body);
}

// The body as JSON; an empty body reads as the empty value. On a syntax error answers 400 and
// returns nothing.
std::optional<BindingProperty> JsonBody(const httplib::Request& req, httplib::Response& res) {
    ConversionStatus status = ParseJson(req.body);
    if (!status.Ok()) {
        SendError(res, 400, "The body is not JSON: " + std::string(status.Error()));
        return std::nullopt;
    }
    return std::move(status.Value());
}

// The query parameter "since" (default 1); answers 400 and returns nothing when malformed.
std::optional<uint64_t> Since(const httplib::Request& req, httplib::Response& res) {
    if (!req.has_param("since")) return 1;
    const std::string text = req.get_param_value("since");
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || *end != '\0' || errno == ERANGE) {
        SendError(res, 400, "since must be a whole number, not '" + text + "'");
        return std::nullopt;
    }
    return value;
}

void SendHistory(const History& history, const httplib::Request& req, httplib::Response& res) {
    if (std::optional<uint64_t> since = Since(req, res)) {
        SendJson(res, 200, history.Since(*since));
    }
}

BindingProperty EndpointIndex() {
    BindingProperty list;
    list.MakeCollection();
    for (const EndpointDescription& endpoint : Endpoints()) {
        BindingProperty* item = list.AppendElement();
        if (item == nullptr) break;
        SetMemberString(*item, "method", endpoint.method);
        SetMemberString(*item, "path", endpoint.path);
        SetMemberString(*item, "description", endpoint.description);
    }
    return list;
}

}  // namespace

struct HttpServer::State {
    DevHost& host;
    httplib::Server server;
    std::atomic<uint32_t> callerTokens{0};

    explicit State(DevHost& owner) : host(owner) {}

    void PluginRoute(const httplib::Request& req, httplib::Response& res);
    void EventStream(httplib::Response& res);
    void Routes();
};

void HttpServer::State::PluginRoute(const httplib::Request& req, httplib::Response& res) {
    HttpRequestData request;
    request.method = req.method;
    request.target = req.target.empty() ? req.path : req.target;
    for (const auto& [name, value] : req.headers) {
        // httplib adds the peer's and its own address as headers; they were not sent.
        if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
            name == "LOCAL_PORT") {
            continue;
        }
        request.headers.emplace_back(name, value);
    }
    request.body = req.body;
    request.callerToken = ++callerTokens;
    HttpReply reply = host.ServeRoute(request);
    res.status = reply.status;
    if (!reply.reason.empty()) res.reason = reply.reason;
    for (const auto& [name, value] : reply.headers) res.set_header(name.c_str(), value);
    if (!reply.body.empty() || !reply.contentType.empty()) {
        res.set_content(reply.body,
                        reply.contentType.empty() ? "application/json" : reply.contentType.c_str());
    }
}

void HttpServer::State::EventStream(httplib::Response& res) {
    std::shared_ptr<SseHub::Client> client = host.EventStream().Connect();
    if (client == nullptr) return SendError(res, 503, "The development host is stopping");
    res.set_header("Cache-Control", "no-cache");
    auto first = std::make_shared<bool>(true);
    SseHub& hub = host.EventStream();
    res.set_chunked_content_provider(
        "text/event-stream",
        [&hub, client, first](size_t, httplib::DataSink& sink) {
            std::string text;
            if (*first) {
                // Tells the client the stream is attached: later events will reach it.
                *first = false;
                text = ": connected\n\n";
                return sink.write(text.data(), text.size());
            }
            if (!hub.Next(*client, text, std::chrono::seconds(15))) {
                sink.done();
                return true;
            }
            if (text.empty()) text = ": keep-alive\n\n";
            return sink.write(text.data(), text.size());
        },
        [&hub, client](bool) { hub.Disconnect(client); });
}

void HttpServer::State::Routes() {
    using Request = const httplib::Request&;
    using Response = httplib::Response&;
    World& world = host.GetWorld();

    server.Get("/events", [this](Request, Response res) { EventStream(res); });
    server.Get("/devhost", [](Request, Response res) { SendJson(res, 200, EndpointIndex()); });
    server.Get("/devhost/status",
               [this](Request, Response res) { SendJson(res, 200, host.Status()); });
    server.Get("/devhost/routes",
               [this](Request, Response res) { SendJson(res, 200, host.Routes()); });
    server.Get("/devhost/subscriptions",
               [this](Request, Response res) { SendJson(res, 200, host.Subscriptions()); });

    server.Get("/devhost/resources", [&world](Request, Response res) {
        BindingProperty list;
        list.MakeCollection();
        for (const std::string& path : world.Resources().Paths()) {
            BindingProperty* item = list.AppendElement();
            if (item != nullptr) item->SetString(path);
        }
        SendJson(res, 200, list);
    });
    server.Get(R"(/devhost/resources(/.+))", [&world](Request req, Response res) {
        const std::string path = req.matches[1];
        std::optional<BindingProperty> value = world.Resources().Get(path);
        if (!value) return SendError(res, 404, "No resource at " + path);
        SendJson(res, 200, *value);
    });
    const auto setResource = [&world](Request req, Response res) {
        const std::string path = req.matches[1];
        std::optional<BindingProperty> body = JsonBody(req, res);
        if (!body) return;
        if (body->IsEmpty()) return SendError(res, 400, "A JSON value is required as the body");
        BindingProperty answer;
        answer.MakeStructure();
        SetMemberString(answer, "path", path);
        SetMemberString(answer, "eventType",
                        ResourceEventTypeName(world.Resources().Set(path, *body)));
        SendJson(res, 200, answer);
    };
    server.Put(R"(/devhost/resources(/.+))", setResource);
    server.Post(R"(/devhost/resources(/.+))", setResource);
    server.Delete(R"(/devhost/resources(/.+))", [&world](Request req, Response res) {
        const std::string path = req.matches[1];
        if (!world.Resources().Delete(path)) return SendError(res, 404, "No resource at " + path);
        res.status = 204;
    });

    server.Post("/devhost/player-update", [&world](Request req, Response res) {
        std::optional<BindingProperty> body = JsonBody(req, res);
        if (!body) return;
        BindingProperty answer;
        answer.MakeStructure();
        SetMemberString(answer, "eventType", ResourceEventTypeName(world.PushPlayerUpdate(*body)));
        SendJson(res, 200, answer);
    });
    server.Post("/devhost/login", [&world](Request req, Response res) {
        std::optional<BindingProperty> body = JsonBody(req, res);
        if (!body) return;
        if (!body->IsEmpty() && body->Kind() != PropertyKind::kStructure) {
            return SendError(res, 400, "The body is an object or nothing");
        }
        LoginRequest login;
        const std::pair<const char*, std::optional<uint64_t>*> numbers[] = {
            {"accountId", &login.accountId}, {"summonerId", &login.summonerId}};
        for (const auto& [key, target] : numbers) {
            const BindingProperty& value = body->Member(key);
            if (value.IsEmpty()) continue;
            *target = ReadUint64(value);
            if (!*target) {
                return SendError(res, 400,
                                 std::string(key) + " must be a whole number of 0 or more");
            }
        }
        const BindingProperty& platform = body->Member("platformId");
        if (!platform.IsEmpty()) {
            login.platformId = ReadString(platform);
            if (!login.platformId) return SendError(res, 400, "platformId must be a string");
        }
        SendJson(res, 200, world.Login(login));
    });
    server.Post("/devhost/logout", [&world](Request, Response res) {
        if (!world.Logout()) return SendError(res, 409, "Nobody is logged in");
        res.status = 204;
    });
    const auto gameflow = [&world](Request req, Response res) {
        std::optional<BindingProperty> body = JsonBody(req, res);
        if (!body) return;
        std::optional<std::string> phase = body->Kind() == PropertyKind::kStructure
                                               ? ReadString(body->Member("phase"))
                                               : ReadString(*body);
        if (!phase || !world.SetGameflowPhase(*phase)) {
            return SendError(res, 400,
                             "Expected {\"phase\": name} with one of: " + GameflowPhaseList());
        }
        res.status = 204;
    };
    server.Put("/devhost/gameflow", gameflow);
    server.Post("/devhost/gameflow", gameflow);

    server.Get("/devhost/remote",
               [&world](Request, Response res) { SendJson(res, 200, world.Remote().Snapshot()); });
    const auto replaceList = [&world](bool missions) {
        return [&world, missions](Request req, Response res) {
            std::optional<BindingProperty> body = JsonBody(req, res);
            if (!body) return;
            const std::string player = req.get_param_value("player");
            std::string error;
            const bool ok = missions ? world.Remote().SetMissions(*body, player, error)
                                     : world.Remote().SetSeries(*body, player, error);
            if (!ok) return SendError(res, 400, error);
            res.status = 204;
        };
    };
    server.Put("/devhost/remote/missions", replaceList(true));
    server.Put("/devhost/remote/series", replaceList(false));
    server.Post(R"(/devhost/remote/missions/([^/]+)/complete)", [&world](Request req,
                                                                         Response res) {
        const std::string id = req.matches[1];
        const size_t changed = world.Remote().CompleteMission(id, req.get_param_value("player"));
        if (changed == 0) return SendError(res, 404, "No mission '" + id + "'");
        BindingProperty answer;
        answer.MakeStructure();
        SetMemberUnsigned(answer, "completed", changed);
        SendJson(res, 200, answer);
    });
    server.Put("/devhost/remote/latency", [&world](Request req, Response res) {
        std::optional<BindingProperty> body = JsonBody(req, res);
        if (!body) return;
        std::optional<double> ms =
            ReadNumber(body->Kind() == PropertyKind::kStructure ? body->Member("ms") : *body);
        if (!ms || !(*ms >= 0) || *ms > 3600000) {
            return SendError(res, 400, "Expected {\"ms\": milliseconds from 0 to 3600000}");
        }
        world.Remote().SetLatencySeconds(*ms / 1000.0);
        res.status = 204;
    });
    server.Get("/devhost/remote/calls", [&world](Request req, Response res) {
        SendHistory(world.Remote().Calls(), req, res);
    });
    server.Get("/devhost/requests",
               [this](Request req, Response res) { SendHistory(host.Requests(), req, res); });
    server.Get("/devhost/log",
               [this](Request req, Response res) { SendHistory(host.LogLines(), req, res); });
    server.Get("/devhost/events",
               [this](Request req, Response res) { SendHistory(host.FiredEvents(), req, res); });
    server.Get("/devhost/telemetry",
               [&world](Request req, Response res) { SendHistory(world.Telemetry(), req, res); });
    server.Get("/devhost/registrations",
               [&world](Request, Response res) { SendJson(res, 200, world.Registrations()); });

    const auto unknownControl = [](Request req, Response res) {
        SendError(
            res, 404,
            "No control endpoint " + req.method + " " + req.path + "; GET /devhost lists them");
    };
    const auto plugin = [this](Request req, Response res) { PluginRoute(req, res); };
    server.Get("/devhost/.*", unknownControl);
    server.Post("/devhost/.*", unknownControl);
    server.Put("/devhost/.*", unknownControl);
    server.Patch("/devhost/.*", unknownControl);
    server.Delete("/devhost/.*", unknownControl);
    server.Get(".*", plugin);
    server.Post(".*", plugin);
    server.Put(".*", plugin);
    server.Patch(".*", plugin);
    server.Delete(".*", plugin);
    server.Options(".*", plugin);
}

HttpServer::HttpServer(DevHost& host, int threads) : state_(std::make_unique<State>(host)) {
    const size_t workers = threads < 1 ? 1 : static_cast<size_t>(threads);
    state_->server.new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
    // Headers and body go out in separate writes; without this, Nagle's algorithm meets the
    // client's delayed acknowledgement and every answer waits about 40 ms.
    state_->server.set_tcp_nodelay(true);
    state_->server.set_keep_alive_max_count(1000);
    state_->Routes();
}

HttpServer::~HttpServer() {
    Stop();
}

int HttpServer::Bind(int port) {
    if (port == 0) return state_->server.bind_to_any_port("127.0.0.1");
    return state_->server.bind_to_port("127.0.0.1", port) ? port : -1;
}

bool HttpServer::Serve() {
    return state_->server.listen_after_bind();
}

void HttpServer::Stop() {
    state_->host.EventStream().Close();
    state_->server.stop();
}

}  // namespace Vane::DevHost
