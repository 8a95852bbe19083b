// The HTTP endpoints of the development host, described once: the server answers each with the
// handler it binds to the endpoint's id (http_server.cpp), and GET /devhost and --help list
// them. This half knows no HTTP library, so that --help does not need one.
#ifndef PYX_DEVHOST_ENDPOINTS_H_
#define PYX_DEVHOST_ENDPOINTS_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace Vane::DevHost {

// One per endpoint, in the order they are listed. The server's handlers are bound by id and
// both lists are checked against it when compiled, so an endpoint cannot go unanswered nor a
// handler undescribed.
enum class EndpointId : uint8_t {
    kPluginRoutes,
    kEventStream,
    kConsole,
    kConsoleFile,
    kIndex,
    kOpenApi,
    kStatus,
    kConditions,
    kRoutes,
    kSubscriptions,
    kResources,
    kResourceGet,
    kResourceSet,
    kResourceDelete,
    kPlayerUpdate,
    kLogin,
    kLogout,
    kGameflow,
    kRemote,
    kRemoteMissions,
    kRemoteSeries,
    kMissionComplete,
    kRemoteLatency,
    kRemoteCalls,
    kRequests,
    kLog,
    kEvents,
    kRegistrations,
    kTelemetry,
    kCount,
};

inline constexpr size_t kEndpointCount = static_cast<size_t>(EndpointId::kCount);

enum class HttpMethod : uint8_t { kNone, kGet, kPost, kPut, kPatch, kDelete, kOptions, kAny };

struct EndpointDescription {
    EndpointId id;
    // As listed; kAny answers GET, POST, PUT, PATCH, DELETE and OPTIONS.
    HttpMethod method;
    // As listed: <placeholders> for the parts that vary, then the query the endpoint reads.
    std::string_view path;
    // The regular expression the request's path must match in full, as the server is given it.
    std::string_view pattern;
    std::string_view description;
    // A second method answered the same way, for clients that cannot send the first.
    HttpMethod alsoMethod = HttpMethod::kNone;
};

// "GET", "POST", ..., "any" for kAny.
std::string_view HttpMethodName(HttpMethod method);

// Every endpoint, as listed: the plugin's routes, the event stream and the console first, then
// the control endpoints.
std::span<const EndpointDescription> Endpoints();

// The methods the server answers `endpoint` for (never kNone or kAny).
std::vector<HttpMethod> ServedMethods(const EndpointDescription& endpoint);

// The endpoints in the order the server tries their patterns: as listed, except that the
// plugin's routes, which match every path, take only what no other endpoint matched.
std::vector<const EndpointDescription*> EndpointsInMatchingOrder();

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_ENDPOINTS_H_
