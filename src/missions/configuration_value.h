// How the feature reads the values of the platform configuration.
#ifndef PYX_MISSIONS_CONFIGURATION_VALUE_H_
#define PYX_MISSIONS_CONFIGURATION_VALUE_H_

#include <cstdint>

#include "types/type_registry.h"
#include "value/binding_property.h"

namespace Vane::Client::Missions {

// A switch: the value's boolean when it holds one; any other value (text, number, nothing)
// switches on.
bool ConfigurationSwitch(const BindingProperty& value) noexcept;

// A number of seconds: the value converted to double (numbers as they are, text read as a
// decimal number); anything that does not convert gives 0.
double ConfigurationSeconds(const TypeRegistry& registry, const BindingProperty& value) noexcept;

// The longest timer interval, about 31 years: longer ones are cut to it.
inline constexpr double kLongestIntervalSeconds = 1e9;

// The timer interval of `seconds` in nanoseconds, capped at kLongestIntervalSeconds so that no
// value (however large, infinite included) overflows the clock; 0 for NaN and values <= 0.
int64_t IntervalNanoseconds(double seconds) noexcept;

}  // namespace Vane::Client::Missions

#endif  // PYX_MISSIONS_CONFIGURATION_VALUE_H_
