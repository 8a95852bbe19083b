#include "missions/configuration_value.h"

#include <cmath>

#include "types/record_description.h"

namespace Vane::Client::Missions {

bool ConfigurationSwitch(const BindingProperty& value) noexcept {
    return value.Kind() == PropertyKind::kBool ? value.GetBool() : true;
}

double ConfigurationSeconds(const TypeRegistry& registry, const BindingProperty& value) noexcept {
    MaybeType<Failure, double> seconds = ConvertTo<double>(registry, value);
    return seconds.HasValue() ? seconds.Value() : 0.0;
}

int64_t IntervalNanoseconds(double seconds) noexcept {
    if (std::isnan(seconds) || seconds <= 0) return 0;
    if (seconds > kLongestIntervalSeconds) seconds = kLongestIntervalSeconds;
    return static_cast<int64_t>(seconds * 1e9);
}

}  // namespace Vane::Client::Missions
