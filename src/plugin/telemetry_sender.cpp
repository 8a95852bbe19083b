#include "plugin/telemetry_sender.h"

#include <vector>

#include "plugin/plugin_base.h"

namespace Vane {

std::future<MaybeType<Failure, void>> TelemetrySender::PostTelemetryEvent(
    const std::string& eventName, const BindingProperty& parameters) {
    std::promise<MaybeType<Failure, void>> promise;
    std::vector<BindingProperty> arguments;
    if (!parameters.IsEmpty()) arguments.push_back(parameters);
    RequestResponse response;
    promise.set_value(plugin_.SendValues(HttpMethod::kPost, "/telemetry/v1/events/" + eventName,
                                         arguments, response));
    return promise.get_future();
}

}  // namespace Vane
