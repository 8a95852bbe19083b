#include "endpoints.h"

namespace Vane::DevHost {
namespace {

constexpr EndpointDescription kEndpoints[] = {
    {"any", "<route url>",
     "the plugin's own routes (GET /devhost/routes lists them): JSON in and out, the route's "
     "status and error text passed through as {\"httpStatus\", \"message\"}"},
    {"GET", "/events",
     "Server-Sent Events: every event the plugin fires (event: name, data: JSON)"},
    {"GET", "/devhost", "this list, as JSON"},
    {"GET", "/devhost/status",
     "plugin, memory statistics, system figures, routes, subscriptions, counters"},
    {"GET", "/devhost/routes", "the plugin's routes"},
    {"GET", "/devhost/subscriptions", "the events the plugin subscribed to"},
    {"GET", "/devhost/resources", "the paths of every resource of the simulated world"},
    {"GET", "/devhost/resources/<path>", "a resource's value (404 when absent)"},
    {"PUT", "/devhost/resources/<path>",
     "sets a resource from the JSON body; subscribers get Create or Update (POST works too)"},
    {"DELETE", "/devhost/resources/<path>", "deletes a resource; subscribers get Delete"},
    {"POST", "/devhost/player-update",
     "pushes a player update on the messaging resource (optional JSON body as its data)"},
    {"POST", "/devhost/login",
     "logs in; optional body {\"accountId\", \"summonerId\", \"platformId\"}"},
    {"POST", "/devhost/logout", "logs out (deletes the login session)"},
    {"PUT", "/devhost/gameflow", "changes the gameflow phase: {\"phase\": \"InProgress\"}"},
    {"GET", "/devhost/remote", "the remote missions service: template and per-player state"},
    {"PUT", "/devhost/remote/missions",
     "replaces the remote missions (JSON list) of every player, or of ?player=PLATFORM/ACCOUNT"},
    {"PUT", "/devhost/remote/series", "replaces the remote series, like missions"},
    {"POST", "/devhost/remote/missions/<id>/complete",
     "completes a mission now (repeating ones come back after their cooldown); ?player= as above"},
    {"PUT", "/devhost/remote/latency", "sets the service proxy's answer latency: {\"ms\": 200}"},
    {"GET", "/devhost/remote/calls?since=N", "calls the remote service received"},
    {"GET", "/devhost/requests?since=N", "requests the plugin made, with the answers it got"},
    {"GET", "/devhost/log?since=N", "the plugin's log lines"},
    {"GET", "/devhost/events?since=N", "events the plugin fired"},
    {"GET", "/devhost/registrations", "registrations with the pre-end-of-game plugin"},
    {"GET", "/devhost/telemetry?since=N", "telemetry events the plugin posted"},
};

}  // namespace

std::span<const EndpointDescription> Endpoints() {
    return kEndpoints;
}

}  // namespace Vane::DevHost
