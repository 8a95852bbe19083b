#include "devhost/endpoints.h"

#include <iterator>

namespace Vane::DevHost {
namespace {

using enum EndpointId;
using enum HttpMethod;

constexpr EndpointDescription kEndpoints[] = {
    {kPluginRoutes, kAny, "<route url>", ".*",
     "the plugin's own routes (GET /devhost/routes lists them): JSON in and out, the route's "
     "status and error text passed through as {\"httpStatus\", \"message\"}"},
    {kEventStream, kGet, "/events", "/events",
     "Server-Sent Events: every event the plugin fires (event: name, data: JSON)"},
    {kConsole, kGet, "/", "/",
     "the web console, a page for a browser: missions, series, why the list is empty, world "
     "controls, resources, live events, log and requests, status and the API"},
    {kConsoleFile, kGet, "/console/<file>", R"(/console/(.+))",
     "the console's files, built into devhost (nothing is loaded from the network); each with "
     "an ETag, answering 304 to a matching If-None-Match"},
    {kIndex, kGet, "/devhost", "/devhost", "this list, as JSON"},
    {kOpenApi, kGet, "/devhost/openapi.json", R"(/devhost/openapi\.json)",
     "OpenAPI 3.1 document of the plugin's routes, types and events and of these endpoints"},
    {kStatus, kGet, "/devhost/status", "/devhost/status",
     "plugin, memory statistics, system figures, routes, subscriptions, counters"},
    {kConditions, kGet, "/devhost/conditions", "/devhost/conditions",
     "what the plugin waits for before it fetches, polls and notifies, read from the world: each "
     "condition met or missing, the resources it reads and the control call that fixes it"},
    {kRoutes, kGet, "/devhost/routes", "/devhost/routes", "the plugin's routes"},
    {kSubscriptions, kGet, "/devhost/subscriptions", "/devhost/subscriptions",
     "the events the plugin subscribed to"},
    {kResources, kGet, "/devhost/resources", "/devhost/resources",
     "the paths of every resource of the simulated world"},
    {kResourceGet, kGet, "/devhost/resources/<path>", R"(/devhost/resources(/.+))",
     "a resource's value (404 when absent)"},
    {kResourceSet, kPut, "/devhost/resources/<path>", R"(/devhost/resources(/.+))",
     "sets a resource from the JSON body; subscribers get Create or Update (POST works too)",
     kPost},
    {kResourceDelete, kDelete, "/devhost/resources/<path>", R"(/devhost/resources(/.+))",
     "deletes a resource; subscribers get Delete"},
    {kPlayerUpdate, kPost, "/devhost/player-update", "/devhost/player-update",
     "pushes a player update on the messaging resource (optional JSON body as its data)"},
    {kLogin, kPost, "/devhost/login", "/devhost/login",
     "logs in; optional body {\"accountId\", \"summonerId\", \"platformId\"}"},
    {kLogout, kPost, "/devhost/logout", "/devhost/logout", "logs out (deletes the login session)"},
    {kGameflow, kPut, "/devhost/gameflow", "/devhost/gameflow",
     "changes the gameflow phase: {\"phase\": \"InProgress\"}", kPost},
    {kRemote, kGet, "/devhost/remote", "/devhost/remote",
     "the remote missions service: template and per-player state"},
    {kRemoteMissions, kPut, "/devhost/remote/missions", "/devhost/remote/missions",
     "replaces the remote missions (JSON list) of every player, or of ?player=PLATFORM/ACCOUNT"},
    {kRemoteSeries, kPut, "/devhost/remote/series", "/devhost/remote/series",
     "replaces the remote series, like missions"},
    {kMissionComplete, kPost, "/devhost/remote/missions/<id>/complete",
     R"(/devhost/remote/missions/([^/]+)/complete)",
     "completes a mission now (repeating ones come back after their cooldown); ?player= as above"},
    {kRemoteLatency, kPut, "/devhost/remote/latency", "/devhost/remote/latency",
     "sets the service proxy's answer latency: {\"ms\": 200}"},
    {kRemoteCalls, kGet, "/devhost/remote/calls?since=N", "/devhost/remote/calls",
     "calls the remote service received"},
    {kRequests, kGet, "/devhost/requests?since=N", "/devhost/requests",
     "requests the plugin made, with the answers it got"},
    {kLog, kGet, "/devhost/log?since=N", "/devhost/log", "the plugin's log lines"},
    {kEvents, kGet, "/devhost/events?since=N", "/devhost/events", "events the plugin fired"},
    {kRegistrations, kGet, "/devhost/registrations", "/devhost/registrations",
     "registrations with the pre-end-of-game plugin"},
    {kTelemetry, kGet, "/devhost/telemetry?since=N", "/devhost/telemetry",
     "telemetry events the plugin posted"},
};

constexpr bool OneEntryPerIdInIdOrder() {
    if (std::size(kEndpoints) != kEndpointCount) return false;
    for (size_t i = 0; i < kEndpointCount; ++i) {
        if (kEndpoints[i].id != static_cast<EndpointId>(i)) return false;
    }
    return true;
}
static_assert(OneEntryPerIdInIdOrder(), "every EndpointId is described once, in its own place");

}  // namespace

std::string_view HttpMethodName(HttpMethod method) {
    switch (method) {
        case kNone:
            return "";
        case kGet:
            return "GET";
        case kPost:
            return "POST";
        case kPut:
            return "PUT";
        case kPatch:
            return "PATCH";
        case kDelete:
            return "DELETE";
        case kOptions:
            return "OPTIONS";
        case kAny:
            return "any";
    }
    return "";
}

std::span<const EndpointDescription> Endpoints() {
    return kEndpoints;
}

std::vector<HttpMethod> ServedMethods(const EndpointDescription& endpoint) {
    if (endpoint.method == kAny) return {kGet, kPost, kPut, kPatch, kDelete, kOptions};
    std::vector<HttpMethod> methods{endpoint.method};
    if (endpoint.alsoMethod != kNone) methods.push_back(endpoint.alsoMethod);
    return methods;
}

std::vector<const EndpointDescription*> EndpointsInMatchingOrder() {
    std::vector<const EndpointDescription*> order;
    for (const EndpointDescription& endpoint : kEndpoints) {
        if (endpoint.method != kAny) order.push_back(&endpoint);
    }
    for (const EndpointDescription& endpoint : kEndpoints) {
        if (endpoint.method == kAny) order.push_back(&endpoint);
    }
    return order;
}

}  // namespace Vane::DevHost
