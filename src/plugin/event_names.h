// Event names of watched resources and the wildcard match of resource patterns.
#ifndef PYX_PLUGIN_EVENT_NAMES_H_
#define PYX_PLUGIN_EVENT_NAMES_H_

#include <string>
#include <string_view>

namespace Vane {

// The host event that carries changes of the resource at `path`: "OnJsonApiEvent" joined with
// "_" to the first three non-empty "/"-separated pieces of the path (the first five when the
// first piece is "pyx-platform-config", whose namespaces are events of their own).
// "/pyx-missions/v1/missions/abc" gives "OnJsonApiEvent_pyx-missions_v1_missions".
std::string JsonApiEventName(std::string_view path);

// Whether `path` matches `pattern`, where a "*" stands for one or more characters other than
// "/" at the end of the pattern, and for zero or more such characters before a "/":
// "/a/*" matches "/a/b" but neither "/a/" nor "/a/b/c"; "/a/*/c" matches "/a/b/c" and "/a//c";
// a "*" followed by anything but "/" never matches.
bool WildcardMatch(std::string_view pattern, std::string_view path) noexcept;

}  // namespace Vane

#endif  // PYX_PLUGIN_EVENT_NAMES_H_
