// The host's naming of resource events.
#ifndef PYX_DEVHOST_EVENT_NAME_H_
#define PYX_DEVHOST_EVENT_NAME_H_

#include <string>
#include <string_view>

namespace Vane::DevHost {

// The name under which a change of the resource at `path` is delivered: the path split on "/"
// with empty pieces dropped, its first three pieces kept (five when the first is exactly
// "pyx-platform-config"), joined to "OnJsonApiEvent" with "_". "/pyx-missions/v1/missions/abc"
// gives "OnJsonApiEvent_pyx-missions_v1_missions"; a path without pieces gives "OnJsonApiEvent".
std::string ResourceEventName(std::string_view path);

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_EVENT_NAME_H_
