// The HTTP endpoints of the development host, described once for --help and GET /devhost.
#ifndef VANE_DEVHOST_ENDPOINTS_H_
#define VANE_DEVHOST_ENDPOINTS_H_

#include <span>

namespace Vane::DevHost {

struct EndpointDescription {
    const char* method;
    const char* path;
    const char* description;
};

// Every endpoint, the plugin's routes and the event stream first, then the control endpoints.
std::span<const EndpointDescription> Endpoints();

}  // namespace Vane::DevHost

#endif  // VANE_DEVHOST_ENDPOINTS_H_
