// The dispatcher behind the host's route callback: matches the request against the route it
// names, binds the arguments, calls the handler and fills the response record.
#ifndef PYX_API_REQUEST_DISPATCH_H_
#define PYX_API_REQUEST_DISPATCH_H_

#include <span>
#include <string_view>
#include <vector>

#include "api/function_handler.h"
#include "api/function_registry.h"
#include "api/http_method.h"
#include "api/route_pattern.h"
#include "pyx/host_abi.h"
#include "types/type_registry.h"

namespace Vane {

// The candidate a request path matched, and its path captures in template order.
struct RouteMatch {
    const RouteBinding* binding = nullptr;
    std::vector<RouteCapture> captures;
};

// Whether `binding` accepts a request of `method` (custom name `customMethod`, empty unless the
// method is kCustom): a binding of kAny accepts every method; any other binding only its own
// method with the same custom name (byte compare).
bool AcceptsMethod(const RouteBinding& binding, HttpMethod method,
                   std::string_view customMethod) noexcept;

// Picks the candidate that serves `path` (query included, compared as given): one whose route
// matches the whole path and whose binding accepts the method. When several match, a later one
// replaces an earlier one only when the total length of its captured texts is smaller (ties keep
// the earlier); a match without captures ends the search at once. False, with `match` cleared,
// when none matches or memory ran out.
bool MatchRoute(std::span<const RouteBinding* const> candidates, std::string_view path,
                HttpMethod method, std::string_view customMethod, RouteMatch& match) noexcept;

// Fills `response` from `result` (overwriting every field; nothing in it is released first):
//   - a failure: the error text (a copy of the failure's message) and the error flag;
//   - a value: converted into the response's HostValue, enumerations by name through
//     `registry` (may be null). When the conversion fails, the status becomes 400, and the
//     error text and flag carry the conversion's message, so the host never takes the failed
//     call for a success without a value;
//   - a host-form value (FunctionResult::HostValueTree): handed over as it is, its root
//     becoming the response's value and its arena moving out of `result` into the response;
//   - options; mode (1, 2 and 3 pass, others become 0); status (the result's unless the
//     conversion failed); a copy of the status message (empty text when none); a new array of
//     copied header pairs with its count;
//   - the result's body stream, whose ownership moves into the response with its read and
//     release functions;
//   - `release` = ReleaseRouteResponse.
// Texts are copied with the C heap. When memory runs out, the response instead carries the error
// text "Couldn't write the response because memory ran out." and status 500. Never throws.
void WriteResponse(HostRouteResponse& response, FunctionResult& result,
                   const TypeRegistry* registry) noexcept;

// The response's release function: frees everything WriteResponse put into the response (the
// owned value tree, or the arena holding the tree at once; texts; the header array) and zeroes
// the record. A stream is left to whoever
// drains it (its own release function frees it). A null response is ignored.
void PYX_CDECL ReleaseRouteResponse(HostRouteResponse* response) noexcept;

// The route callback handed to the host. `request->context` is the context of the route record
// the host called (a RouteBinding). The request path is matched against that binding; no match
// (or a null request, context or path) answers the error text "Invalid function" with status
// 404. Otherwise the arguments are bound (headers, captures and query, then named host
// arguments, then the body), the handler prepares and performs the call (with a RequestContext
// when it asks for one, and asked for the host form of its value), and the response is written;
// what Prepare made is released after. Safe to call from several threads at once. Null pointers
// inside the request (header names and values, content type, custom method, argument names, arrays
// with a count) never crash it. Nothing escapes: an exception thrown by a handler answers the
// failure "Function '%1' failed: %2" (or "Function '%1' failed." when it carries no text) with
// status 500. A null response is ignored.
void PYX_CDECL HandleRequest(HostRouteResponse* response, const HostRouteRequest* request) noexcept;

}  // namespace Vane

#endif  // PYX_API_REQUEST_DISPATCH_H_
