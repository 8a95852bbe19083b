// Serving the plugin's own routes: finding the route record for an HTTP request, calling its
// request callback and turning the response into an HTTP answer.
#ifndef PYX_DEVHOST_ROUTE_CALLS_H_
#define PYX_DEVHOST_ROUTE_CALLS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pyx/host_abi.h"

namespace Vane::DevHost {

// The wire code of an HTTP method: DELETE 1, GET 2, HEAD 3, OPTIONS 4, PATCH 5, POST 6, PUT 7,
// any other non-empty name 8 (custom), 0 for an empty name.
uint32_t MethodCode(std::string_view method);

// The name of a wire code ("DELETE" ... "PUT"), "*" for 0 (any method), "CUSTOM" for 8 and
// "?" for anything else.
const char* MethodName(uint32_t code);

// Whether the route url `routeUrl` serves `path` (no query): a url without "{" must equal the
// path; otherwise "{name}" stands for one segment (no "/", possibly empty), "{+name}" for the
// rest of the path and "{#name}" for "#" and the rest, and every other character for itself.
bool RouteUrlMatches(std::string_view routeUrl, std::string_view path);

// The result of looking a request up in the plugin's route table.
struct RouteLookup {
    const HostRouteRecord* route = nullptr;  // the route to call, if any
    bool pathServed = false;                 // some route serves the path, whatever the method
    std::vector<std::string> allowed;        // methods of the routes that serve the path
};

// Finds the route for `method` (a wire code; HEAD looks for GET routes) and `path`: the first
// route of the table whose url serves the path and whose method is the request's, 0 (any) or,
// for custom methods, the same custom name. Routes without a url are not served over HTTP.
RouteLookup FindRoute(const HostApiTable* table, uint32_t method, std::string_view customMethod,
                      std::string_view path);

// An HTTP request as the server received it.
struct HttpRequestData {
    std::string method;
    std::string target;  // path and query as sent, not decoded
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    uint32_t callerToken = 0;
};

// The HTTP answer to send.
struct HttpReply {
    int status = 200;
    std::string reason;  // empty: the standard one
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

// An answer with the JSON body {"httpStatus": status, "message": message}.
HttpReply JsonErrorReply(int status, std::string_view message);

// Calls `route` for `request` on this thread and converts its response:
//   - an error text: the route's status (500 when it gave none) and the JSON body
//     {"httpStatus": status, "message": error text};
//   - a stream: drained and released through its own release function; status 200 unless the
//     route gave one; a failing read answers 500;
//   - a value: its JSON, status 200 unless the route gave one; no value answers 204 unless the
//     route gave a status;
//   - headers and status message are passed on.
// The response is released through its `release` function exactly once.
HttpReply CallRoute(const HostRouteRecord& route, const HttpRequestData& request);

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_ROUTE_CALLS_H_
