// Request paths for the endpoints of the table, for tests that walk it.
#ifndef PYX_DEVHOST_ENDPOINT_EXAMPLE_TEST_SUPPORT_H_
#define PYX_DEVHOST_ENDPOINT_EXAMPLE_TEST_SUPPORT_H_

#include <string>

#include "devhost/endpoints.h"

namespace Vane::DevHost::testing {

// The listed path of `endpoint` as a request carries it: each <placeholder> filled with "x",
// the query left off.
inline std::string ExamplePath(const EndpointDescription& endpoint) {
    const std::string_view listed = endpoint.path.substr(0, endpoint.path.find('?'));
    std::string path;
    for (size_t at = 0; at < listed.size(); ++at) {
        if (listed[at] != '<') {
            path += listed[at];
            continue;
        }
        path += 'x';
        at = listed.find('>', at);
        if (at == std::string_view::npos) break;
    }
    return path;
}

}  // namespace Vane::DevHost::testing

#endif  // PYX_DEVHOST_ENDPOINT_EXAMPLE_TEST_SUPPORT_H_
