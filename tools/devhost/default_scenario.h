// The built-in scenario: what the world holds when no scenario file is given, and the base
// every scenario file is laid over.
#ifndef PYX_DEVHOST_DEFAULT_SCENARIO_H_
#define PYX_DEVHOST_DEFAULT_SCENARIO_H_

#include <string_view>

namespace Vane::DevHost {

// The built-in scenario as YAML text: a logged-in player in the lobby, the feature enabled
// and entitled, an inventory that lets fetches run, and a remote service holding four
// missions (one repeating) in two series.
std::string_view DefaultScenarioText();

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_DEFAULT_SCENARIO_H_
