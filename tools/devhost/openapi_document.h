// The OpenAPI 3.1 document of what the development host serves: the plugin's routes, types and
// events as its API table describes them, and the host's own control endpoints as the endpoint
// table lists them. GET /devhost/openapi.json answers it and `devhost --openapi` prints it.
//
// How the table's records become the document:
//   - every route with a url is a path; "{name}" segments are path parameters, and so are the
//     "{+name}" (the rest of the path, "/" included) and "{#name}" ("#" and the rest) forms,
//     whose parameter description says what they take;
//   - a route for any method (code 0) is an operation for each method the host passes on to
//     the plugin (GET, PUT, POST, DELETE, OPTIONS, PATCH), except those an earlier route of the
//     same url takes: the host calls the first route of the table that accepts the request.
//     HEAD (answered as GET) and custom-method routes are left out: the host never calls them;
//   - arguments from the query string, path or headers are parameters (headers under the
//     lower-cased argument name the plugin looks for); an argument from "any" source is the
//     path parameter when the url has a hole of its name, else a query parameter whose
//     description says it may come as a header too; the first body argument is the request
//     body, in every media type the plugin decodes; an argument no HTTP request can fill is
//     named in the operation's description instead;
//   - 200 with the return value's schema, or 204 when the route returns nothing; 4XX and 5XX
//     with the host's error body {"httpStatus", "message"};
//   - every type is a schema under components.schemas; every event a webhook whose request
//     body is its payload (they arrive over GET /events as Server-Sent Events);
//   - control endpoints under the tag "devhost", "<name>" placeholders as path parameters and
//     the listed query as optional query parameters.
#ifndef PYX_DEVHOST_OPENAPI_DOCUMENT_H_
#define PYX_DEVHOST_OPENAPI_DOCUMENT_H_

#include <span>
#include <string>

#include "devhost/endpoints.h"
#include "pyx/host_abi.h"
#include "value/binding_property.h"

namespace Vane::DevHost {

// What the document says about the plugin it describes.
struct OpenApiSubject {
    std::string pluginName;     // the plugin's short name; empty when none is loaded
    std::string pluginVersion;  // its API version, "X.Y.Z"
};

// The document for `api` (null: no plugin loaded, only the control endpoints are described)
// and `endpoints`. The records of `api` are read during the call only; a record's missing
// texts read as empty and its missing arrays as empty, so a malformed table gives a smaller
// document, never a crash.
BindingProperty BuildOpenApiDocument(const HostApiTable* api,
                                     std::span<const EndpointDescription> endpoints,
                                     const OpenApiSubject& subject);

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_OPENAPI_DOCUMENT_H_
