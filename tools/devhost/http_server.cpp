#include "devhost/http_server.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>

#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "devhost/accept_encoding.h"
#include "devhost/access_guard.h"
#include "devhost/console_files.h"
#include "devhost/dev_host.h"
#include "devhost/endpoints.h"
#include "devhost/fetch_conditions.h"
#include "devhost/gameflow_phase.h"
#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

// What the handlers work on.
struct Served {
    DevHost& host;
    World& world;
    std::atomic<uint32_t> callerTokens{0};
    // Set once the port is bound; requests are only served after that.
    std::unique_ptr<AccessGuard> guard;
};

using Request = const httplib::Request&;
using Response = httplib::Response&;
using Handler = void (*)(Served&, Request, Response);

void SendJson(Response res, int status, const BindingProperty& value) {
    res.status = status;
    std::string text = value.IsEmpty() ? "null" : WriteJson(value, nullptr, "\n");
    text += '\n';
    res.set_content(text, "application/json");
}

void SendError(Response res, int status, const std::string& message) {
    BindingProperty body;
    Require(body.MakeStructure());
    SetMemberString(body, "error", message);
    SendJson(res, status, body);
}

// The body as JSON; an empty body reads as the empty value. On a syntax error answers 400 and
// returns nothing.
std::optional<BindingProperty> JsonBody(Request req, Response res) {
    ConversionStatus status = ParseJson(req.body);
    if (!status.Ok()) {
        SendError(res, 400, "The body is not JSON: " + std::string(status.Error()));
        return std::nullopt;
    }
    return std::move(status.Value());
}

// What a request sent where something else was expected: "nothing", "a list", "a number"...
std::string Described(const BindingProperty& value) {
    return value.IsEmpty() ? "nothing" : std::string("a ") + KindWord(value);
}

// The query parameter "since" (default 1); answers 400 and returns nothing when malformed.
std::optional<uint64_t> Since(Request req, Response res) {
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

void SendHistory(const History& history, Request req, Response res) {
    if (std::optional<uint64_t> since = Since(req, res)) {
        SendJson(res, 200, history.Since(*since));
    }
}

// Paths under /devhost/ belong to the control endpoints, so one that none of them matched is a
// mistake to point out rather than a plugin route. OPTIONS stays the plugin's whatever the path:
// no control endpoint answers it.
bool IsUnknownControl(Request req) {
    return req.path.rfind("/devhost/", 0) == 0 && req.method != "OPTIONS";
}

HttpRequestData PluginRequest(Request req, uint32_t callerToken) {
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
    request.callerToken = callerToken;
    return request;
}

void PluginRoutes(Served& served, Request req, Response res) {
    if (IsUnknownControl(req)) {
        return SendError(
            res, 404,
            "No control endpoint " + req.method + " " + req.path + "; GET /devhost lists them");
    }
    HttpReply reply = served.host.ServeRoute(PluginRequest(req, ++served.callerTokens));
    res.status = reply.status;
    if (!reply.reason.empty()) res.reason = reply.reason;
    for (const auto& [name, value] : reply.headers) res.set_header(name.c_str(), value);
    if (!reply.body.empty() || !reply.contentType.empty()) {
        res.set_content(reply.body,
                        reply.contentType.empty() ? "application/json" : reply.contentType.c_str());
    }
}

// Answers `status` with `message` and makes the server close the connection once the answer is
// out: the library keeps a connection open after any answer it writes whole, and whatever the
// client sent after the headers (a body refused unread) would be read as its next request. A
// content provider that reports failure after writing the whole answer is the one way a handler
// of this library can end the connection.
void SendErrorAndClose(Response res, int status, const std::string& message) {
    SendError(res, status, message);
    auto text = std::make_shared<std::string>(std::move(res.body));
    res.body.clear();
    res.headers.erase("Content-Type");  // set again below, once
    res.set_header("Connection", "close");
    res.set_content_provider(text->size(), "application/json",
                             [text](size_t offset, size_t length, httplib::DataSink& sink) {
                                 if (offset < text->size()) {
                                     (void)sink.write(text->data() + offset,
                                                      std::min(length, text->size() - offset));
                                 }
                                 return false;  // ends the connection (see above)
                             });
}

// How often a quiet stream checks whether its client is still there, and how many quiet checks
// pass before it sends a comment: a client that left frees its worker and its place within a
// second, while an idle proxy still sees traffic every 15 seconds.
constexpr std::chrono::milliseconds kStreamCheck{500};
constexpr int kChecksPerKeepAlive = 30;

void EventStream(Served& served, Request, Response res) {
    SseHub& hub = served.host.EventStream();
    SseRefusal refusal = SseRefusal::kNone;
    std::shared_ptr<SseHub::Client> client = hub.Connect(&refusal);
    if (client == nullptr && refusal == SseRefusal::kFull) {
        res.set_header("Retry-After", std::to_string(kStreamRetryAfterSeconds));
        return SendErrorAndClose(res, 503,
                                 "As many event streams as devhost serves at once are open "
                                 "(--max-streams); try again later");
    }
    if (client == nullptr) return SendError(res, 503, "The development host is stopping");
    res.set_header("Cache-Control", "no-cache");
    auto first = std::make_shared<bool>(true);
    auto quietChecks = std::make_shared<int>(0);
    res.set_chunked_content_provider(
        "text/event-stream",
        [&hub, client, first, quietChecks](size_t, httplib::DataSink& sink) {
            std::string text;
            if (*first) {
                // Tells the client the stream is attached: later events will reach it.
                *first = false;
                text = ": connected\n\n";
                return sink.write(text.data(), text.size());
            }
            if (!hub.Next(*client, text, kStreamCheck)) {
                sink.done();
                return true;
            }
            if (text.empty()) {
                // A client that closed its end reads as not writable.
                if (!sink.is_writable()) return false;
                if (++*quietChecks < kChecksPerKeepAlive) return true;
                text = ": keep-alive\n\n";
            }
            *quietChecks = 0;
            return sink.write(text.data(), text.size());
        },
        [&hub, client](bool) { hub.Disconnect(client); });
}

// Refuses, before its body is read, a request that asks more of the server than it gives; the
// connection is closed after the answer, since what is left of the request is never read.
httplib::Server::HandlerResponse RefusedUnread(Request req, Response res) {
    using httplib::Server;
    size_t headerBytes = 0;
    for (const auto& [name, value] : req.headers) headerBytes += name.size() + value.size() + 4;
    if (headerBytes > kMaxHeaderBytes) {
        SendErrorAndClose(res, 431,
                          "The request's headers take " + std::to_string(headerBytes) +
                              " bytes; devhost reads at most " + std::to_string(kMaxHeaderBytes));
        return Server::HandlerResponse::Handled;
    }
    if (req.has_header("Transfer-Encoding")) {
        SendErrorAndClose(
            res, 411, "Send the body with a Content-Length: devhost takes no Transfer-Encoding");
        return Server::HandlerResponse::Handled;
    }
    if (!req.has_header("Content-Length")) return Server::HandlerResponse::Unhandled;
    const std::string length = req.get_header_value("Content-Length");
    char* end = nullptr;
    errno = 0;
    const unsigned long long bytes = std::strtoull(length.c_str(), &end, 10);
    if (length.empty() || length[0] < '0' || length[0] > '9' || *end != '\0' || errno == ERANGE) {
        SendErrorAndClose(res, 400, "Content-Length must be a whole number, not '" + length + "'");
        return Server::HandlerResponse::Handled;
    }
    // The library reads a body only for these methods; any other's would be left on the
    // connection and read as the next request.
    const bool bodyIsRead = req.method == "POST" || req.method == "PUT" || req.method == "PATCH" ||
                            req.method == "DELETE";
    if (bytes > 0 && !bodyIsRead) {
        SendErrorAndClose(res, 400,
                          req.method + " takes no body; this one has " + length + " bytes");
        return Server::HandlerResponse::Handled;
    }
    if (bytes > kMaxBodyBytes) {
        SendErrorAndClose(res, 413,
                          "The body has " + length + " bytes; devhost takes at most " +
                              std::to_string(kMaxBodyBytes));
        return Server::HandlerResponse::Handled;
    }
    return Server::HandlerResponse::Unhandled;
}

// What the console's page may load: only what devhost itself serves. (Styles and the import map
// are inline; the API panel's bundle sets style attributes.)
constexpr const char* kConsolePolicy =
    "default-src 'self'; script-src 'self' 'unsafe-inline'; style-src 'self' 'unsafe-inline'; "
    "img-src 'self' data:; connect-src 'self'; frame-ancestors 'none'; base-uri 'none'";

// Sends the console file `name`, or 304 when the client's copy is current. Every answer asks
// the browser to check again before using its copy: a rebuilt devhost may serve new files.
void SendConsoleFile(std::string_view name, Request req, Response res) {
    const ConsoleReply reply = AnswerConsoleRequest(name, req.get_header_value("If-None-Match"));
    if (reply.file == nullptr) {
        return SendError(res, 404,
                         "No console file " + std::string(name) + "; GET / opens the console");
    }
    res.status = reply.status;
    res.set_header("ETag", std::string(reply.file->etag));
    res.set_header("Cache-Control", "no-cache");
    res.set_header("X-Content-Type-Options", "nosniff");
    if (reply.file->contentType.rfind("text/html", 0) == 0) {
        res.set_header("Content-Security-Policy", kConsolePolicy);
    }
    if (reply.status == 200) {
        res.set_content(reply.file->content.data(), reply.file->content.size(),
                        std::string(reply.file->contentType));
    }
}

void Console(Served&, Request req, Response res) {
    SendConsoleFile("index.html", req, res);
}

void ConsoleFile(Served&, Request req, Response res) {
    SendConsoleFile(req.matches[1].str(), req, res);
}

void Index(Served&, Request, Response res) {
    BindingProperty list;
    Require(list.MakeCollection());
    for (const EndpointDescription& endpoint : Endpoints()) {
        BindingProperty* item = list.AppendElement();
        if (item == nullptr) break;
        SetMemberString(*item, "method", HttpMethodName(endpoint.method));
        SetMemberString(*item, "path", endpoint.path);
        SetMemberString(*item, "description", endpoint.description);
    }
    SendJson(res, 200, list);
}

void OpenApi(Served& served, Request, Response res) {
    SendJson(res, 200, served.host.OpenApi());
}

void Status(Served& served, Request, Response res) {
    SendJson(res, 200, served.host.Status());
}

void Conditions(Served& served, Request, Response res) {
    SendJson(res, 200, FetchConditionsValue(FetchConditions(served.world)));
}

void Routes(Served& served, Request, Response res) {
    SendJson(res, 200, served.host.Routes());
}

void Subscriptions(Served& served, Request, Response res) {
    SendJson(res, 200, served.host.Subscriptions());
}

void Resources(Served& served, Request, Response res) {
    BindingProperty list;
    Require(list.MakeCollection());
    for (const std::string& path : served.world.Resources().Paths()) {
        BindingProperty* item = list.AppendElement();
        if (item != nullptr) Require(item->SetString(path));
    }
    SendJson(res, 200, list);
}

void ResourceGet(Served& served, Request req, Response res) {
    const std::string path = req.matches[1];
    std::optional<BindingProperty> value = served.world.Resources().Get(path);
    if (!value) return SendError(res, 404, "No resource at " + path);
    SendJson(res, 200, *value);
}

void ResourceSet(Served& served, Request req, Response res) {
    const std::string path = req.matches[1];
    std::optional<BindingProperty> body = JsonBody(req, res);
    if (!body) return;
    if (body->IsEmpty()) return SendError(res, 400, "A JSON value is required as the body");
    BindingProperty answer;
    Require(answer.MakeStructure());
    SetMemberString(answer, "path", path);
    SetMemberString(answer, "eventType",
                    ResourceEventTypeName(served.world.Resources().Set(path, *body)));
    SendJson(res, 200, answer);
}

void ResourceDelete(Served& served, Request req, Response res) {
    const std::string path = req.matches[1];
    if (!served.world.Resources().Delete(path)) {
        return SendError(res, 404, "No resource at " + path);
    }
    res.status = 204;
}

void PlayerUpdate(Served& served, Request req, Response res) {
    std::optional<BindingProperty> body = JsonBody(req, res);
    if (!body) return;
    BindingProperty answer;
    Require(answer.MakeStructure());
    SetMemberString(answer, "eventType",
                    ResourceEventTypeName(served.world.PushPlayerUpdate(*body)));
    SendJson(res, 200, answer);
}

// The login `body` asks for; nothing, with `error` set, when a member is of the wrong kind.
std::optional<LoginRequest> ReadLogin(const BindingProperty& body, std::string& error) {
    LoginRequest login;
    const std::pair<const char*, std::optional<uint64_t>*> numbers[] = {
        {"accountId", &login.accountId}, {"summonerId", &login.summonerId}};
    for (const auto& [key, target] : numbers) {
        const BindingProperty& value = body.Member(key);
        if (value.IsEmpty()) continue;
        *target = ReadUint64(value);
        if (!*target) {
            error = std::string(key) + " must be a whole number of 0 or more";
            return std::nullopt;
        }
    }
    const BindingProperty& platform = body.Member("platformId");
    if (!platform.IsEmpty()) {
        login.platformId = ReadString(platform);
        if (!login.platformId) {
            error = "platformId must be a string";
            return std::nullopt;
        }
    }
    return login;
}

void Login(Served& served, Request req, Response res) {
    std::optional<BindingProperty> body = JsonBody(req, res);
    if (!body) return;
    if (!body->IsEmpty() && body->Kind() != PropertyKind::kStructure) {
        return SendError(res, 400, "The body is an object or nothing, not " + Described(*body));
    }
    std::string error;
    std::optional<LoginRequest> login = ReadLogin(*body, error);
    if (!login) return SendError(res, 400, error);
    SendJson(res, 200, served.world.Login(*login));
}

void Logout(Served& served, Request, Response res) {
    if (!served.world.Logout()) return SendError(res, 409, "Nobody is logged in");
    res.status = 204;
}

void Gameflow(Served& served, Request req, Response res) {
    std::optional<BindingProperty> body = JsonBody(req, res);
    if (!body) return;
    const bool wrapped = body->Kind() == PropertyKind::kStructure;
    const BindingProperty& value = wrapped ? body->Member("phase") : *body;
    std::optional<std::string> phase = ReadString(value);
    if (!phase) {
        const std::string got = wrapped && value.IsEmpty() ? "an object without \"phase\""
                                : wrapped                  ? "phase as " + Described(value)
                                                           : Described(value);
        return SendError(
            res, 400,
            "Expected {\"phase\": name} with one of: " + GameflowPhaseList() + "; got " + got);
    }
    if (!served.world.SetGameflowPhase(*phase)) {
        return SendError(res, 400,
                         "No gameflow phase '" + *phase + "'; one of: " + GameflowPhaseList());
    }
    res.status = 204;
}

void Remote(Served& served, Request, Response res) {
    SendJson(res, 200, served.world.Remote().Snapshot());
}

// The query parameter "player" ("" for every player); answers 400 and returns nothing when it
// is not a key the remote service gives players: PLATFORM/ACCOUNT.
std::optional<std::string> Player(Request req, Response res) {
    if (!req.has_param("player")) return std::string();
    const std::string player = req.get_param_value("player");
    const size_t slash = player.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == player.size() ||
        player.find('/', slash + 1) != std::string::npos) {
        SendError(res, 400,
                  "player must be PLATFORM/ACCOUNT (e.g. XX1/2400001), not '" + player + "'");
        return std::nullopt;
    }
    return player;
}

// Replaces the remote missions, or else the series, with the body's list.
void ReplaceRemoteList(Served& served, Request req, Response res, bool missions) {
    std::optional<std::string> player = Player(req, res);
    if (!player) return;
    std::optional<BindingProperty> body = JsonBody(req, res);
    if (!body) return;
    RemoteMissionsService& remote = served.world.Remote();
    std::string error;
    const bool ok = missions ? remote.SetMissions(*body, *player, error)
                             : remote.SetSeries(*body, *player, error);
    if (!ok) {
        return SendError(res, 400,
                         std::string(missions ? "Remote missions: " : "Remote series: ") + error);
    }
    res.status = 204;
}

void RemoteMissions(Served& served, Request req, Response res) {
    ReplaceRemoteList(served, req, res, true);
}

void RemoteSeries(Served& served, Request req, Response res) {
    ReplaceRemoteList(served, req, res, false);
}

void MissionComplete(Served& served, Request req, Response res) {
    const std::string id = req.matches[1];
    std::optional<std::string> player = Player(req, res);
    if (!player) return;
    const size_t changed = served.world.Remote().CompleteMission(id, *player);
    if (changed == 0) return SendError(res, 404, "No mission '" + id + "'");
    BindingProperty answer;
    Require(answer.MakeStructure());
    SetMemberUnsigned(answer, "completed", changed);
    SendJson(res, 200, answer);
}

void RemoteLatency(Served& served, Request req, Response res) {
    std::optional<BindingProperty> body = JsonBody(req, res);
    if (!body) return;
    const BindingProperty& value =
        body->Kind() == PropertyKind::kStructure ? body->Member("ms") : *body;
    std::optional<double> ms = ReadNumber(value);
    if (!ms || !(*ms >= 0) || *ms > 3600000) {
        return SendError(res, 400,
                         "Expected {\"ms\": milliseconds from 0 to 3600000}, not " +
                             (ms ? ToJsonText(value) : Described(value)));
    }
    served.world.Remote().SetLatencySeconds(*ms / 1000.0);
    res.status = 204;
}

void RemoteCalls(Served& served, Request req, Response res) {
    SendHistory(served.world.Remote().Calls(), req, res);
}

void Requests(Served& served, Request req, Response res) {
    SendHistory(served.host.Requests(), req, res);
}

void Log(Served& served, Request req, Response res) {
    SendHistory(served.host.LogLines(), req, res);
}

void Events(Served& served, Request req, Response res) {
    SendHistory(served.host.FiredEvents(), req, res);
}

void Registrations(Served& served, Request, Response res) {
    SendJson(res, 200, served.world.Registrations());
}

void Telemetry(Served& served, Request req, Response res) {
    SendHistory(served.world.Telemetry(), req, res);
}

// httplib chooses the answer's compression from the request once the handler has returned, and
// compresses brotli so slowly that a browser waits seconds for a large JSON list (gzip takes
// milliseconds). The request is the server's own object, handed to the handlers as const; its
// Accept-Encoding is rewritten in place so that the choice falls on gzip.
void OfferNoBrotli(Request req) {
    auto& headers = const_cast<httplib::Request&>(req).headers;
    const auto found = headers.find("Accept-Encoding");
    if (found != headers.end()) found->second = WithoutBrotli(found->second);
}

std::optional<std::string_view> HeaderOf(Request req, const char* name) {
    const auto found = req.headers.find(name);
    if (found == req.headers.end()) return std::nullopt;
    return std::string_view(found->second);
}

// Answers `req` itself and returns true when the access guard refuses it (or answers it, as
// a CORS preflight or the console link); otherwise adds the guard's headers and returns false.
// It runs in every handler rather than before routing: by then the server has read the whole
// body, so a refused request cannot leave a body behind that would be read as the next request
// on the connection, past the guard.
bool Refused(Served& served, Request req, Response res) {
    GuardedRequest request;
    request.method = req.method;
    request.path = req.path;
    request.host = HeaderOf(req, "Host");
    request.origin = HeaderOf(req, "Origin");
    request.contentType = HeaderOf(req, "Content-Type");
    request.authorization = HeaderOf(req, "Authorization");
    request.cookie = HeaderOf(req, "Cookie");
    request.preflightMethod = HeaderOf(req, "Access-Control-Request-Method");
    request.preflightHeaders = HeaderOf(req, "Access-Control-Request-Headers");
    const auto code = req.params.find("code");
    if (code != req.params.end()) request.oneTimeCode = std::string_view(code->second);
    request.hasBody = !req.body.empty();
    const AccessVerdict verdict = served.guard->Check(request);
    for (const auto& [name, value] : verdict.headers) res.set_header(name.c_str(), value);
    if (verdict.status == 0) return false;
    if (verdict.message.empty()) {
        res.status = verdict.status;
    } else {
        SendError(res, verdict.status, verdict.message);
    }
    return true;
}

struct HandlerBinding {
    EndpointId id;
    Handler handler;
};

using enum EndpointId;

constexpr HandlerBinding kHandlers[] = {
    {kPluginRoutes, PluginRoutes},
    {kEventStream, EventStream},
    {kConsole, Console},
    {kConsoleFile, ConsoleFile},
    {kIndex, Index},
    {kOpenApi, OpenApi},
    {kStatus, Status},
    {kConditions, Conditions},
    {kRoutes, Routes},
    {kSubscriptions, Subscriptions},
    {kResources, Resources},
    {kResourceGet, ResourceGet},
    {kResourceSet, ResourceSet},
    {kResourceDelete, ResourceDelete},
    {kPlayerUpdate, PlayerUpdate},
    {kLogin, Login},
    {kLogout, Logout},
    {kGameflow, Gameflow},
    {kRemote, Remote},
    {kRemoteMissions, RemoteMissions},
    {kRemoteSeries, RemoteSeries},
    {kMissionComplete, MissionComplete},
    {kRemoteLatency, RemoteLatency},
    {kRemoteCalls, RemoteCalls},
    {kRequests, Requests},
    {kLog, Log},
    {kEvents, Events},
    {kRegistrations, Registrations},
    {kTelemetry, Telemetry},
};

constexpr bool OneHandlerPerIdInIdOrder() {
    if (std::size(kHandlers) != kEndpointCount) return false;
    for (size_t i = 0; i < kEndpointCount; ++i) {
        if (kHandlers[i].id != static_cast<EndpointId>(i) || kHandlers[i].handler == nullptr) {
            return false;
        }
    }
    return true;
}
static_assert(OneHandlerPerIdInIdOrder(), "every EndpointId has one handler, in its own place");

void Register(httplib::Server& server, HttpMethod method, const std::string& pattern,
              httplib::Server::Handler handler) {
    switch (method) {
        case HttpMethod::kGet:
            server.Get(pattern, std::move(handler));
            break;
        case HttpMethod::kPost:
            server.Post(pattern, std::move(handler));
            break;
        case HttpMethod::kPut:
            server.Put(pattern, std::move(handler));
            break;
        case HttpMethod::kPatch:
            server.Patch(pattern, std::move(handler));
            break;
        case HttpMethod::kDelete:
            server.Delete(pattern, std::move(handler));
            break;
        case HttpMethod::kOptions:
            server.Options(pattern, std::move(handler));
            break;
        // ServedMethods names single methods only.
        case HttpMethod::kNone:
        case HttpMethod::kAny:
            break;
    }
}

// The server library listens with a backlog of 5: fifty clients connecting at once would see
// SYNs dropped and wait a second for the retry. Listening again on a listening socket sets a new
// backlog (Linux); Windows keeps the first one, so the cross build gives the library a larger
// one at compile time (cmake/PyxCrossWindows.cmake).
void WidenBacklog(socket_t socket) {
    constexpr int kBacklog = 512;
#ifndef _WIN32
    if (socket >= 0) ::listen(socket, kBacklog);
#else
    (void)socket;
    (void)kBacklog;
#endif
}

}  // namespace

struct HttpServer::State {
    Served served;
    httplib::Server server;

    AccessOptions access;

    State(DevHost& host, AccessOptions accessOptions)
        : served{host, host.GetWorld()}, access(std::move(accessOptions)) {}

    void RegisterEndpoints() {
        // httplib tries the patterns of a method in the order they were registered.
        for (const EndpointDescription* endpoint : EndpointsInMatchingOrder()) {
            const Handler handler = kHandlers[static_cast<size_t>(endpoint->id)].handler;
            for (HttpMethod method : ServedMethods(*endpoint)) {
                Register(server, method, std::string(endpoint->pattern),
                         [this, handler](Request req, Response res) {
                             if (Refused(served, req, res)) return;
                             OfferNoBrotli(req);
                             handler(served, req, res);
                         });
            }
        }
    }
};

HttpServer::HttpServer(DevHost& host, HttpLimits limits, AccessOptions access)
    : state_(std::make_unique<State>(host, std::move(access))) {
    const size_t workers = limits.threads < 1 ? 1 : static_cast<size_t>(limits.threads);
    state_->server.new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
    // Streams beyond the budget are refused rather than queued: they would hold workers until
    // none is left for anything else.
    host.EventStream().SetClientLimit(
        static_cast<size_t>(std::clamp(limits.maxStreams, 0, static_cast<int>(workers) - 1)));
    state_->server.set_pre_routing_handler(RefusedUnread);
    // Behind the check above, which sees every request first: the library's own limit drains a
    // body that is too long rather than leaving it on the connection.
    state_->server.set_payload_max_length(kMaxBodyBytes);
    state_->server.set_read_timeout(kReadTimeout);
    state_->server.set_write_timeout(kWriteTimeout);
    // Headers and body go out in separate writes; without this, Nagle's algorithm meets the
    // client's delayed acknowledgement and every answer waits about 40 ms.
    state_->server.set_tcp_nodelay(true);
    state_->server.set_keep_alive_max_count(1000);
    // A browser keeps idle connections open, and stopping waits for each idle one to time out:
    // one second instead of httplib's five lets devhost stop promptly with the console open.
    // A client that pauses longer simply connects again.
    state_->server.set_keep_alive_timeout(1);
    state_->RegisterEndpoints();
}

HttpServer::~HttpServer() {
    Stop();
}

int HttpServer::Bind(int port) {
    const std::string& address = state_->access.bindAddress;
    // The listening socket passes through here just before it is bound, which is where its
    // backlog can be made to fit many simultaneous connects (see WidenBacklog).
    std::atomic<int> listening{-1};
    state_->server.set_socket_options([&listening](socket_t socket) {
        int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes),
                   sizeof(yes));
        listening = static_cast<int>(socket);
    });
    const int bound = port == 0 ? state_->server.bind_to_any_port(address)
                                : (state_->server.bind_to_port(address, port) ? port : -1);
    if (bound < 0) return -1;
    WidenBacklog(static_cast<socket_t>(listening.load()));
    state_->served.guard = std::make_unique<AccessGuard>(state_->access, bound);
    return bound;
}

std::string HttpServer::NewConsoleCode() {
    return state_->served.guard == nullptr ? std::string() : state_->served.guard->NewOneTimeCode();
}

bool HttpServer::Serve() {
    return state_->server.listen_after_bind();
}

void HttpServer::Stop() {
    state_->served.host.EventStream().Close();
    state_->server.stop();
}

}  // namespace Vane::DevHost
