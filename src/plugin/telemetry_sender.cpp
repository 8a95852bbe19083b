#include "plugin/telemetry_sender.h"

#include <vector>

namespace Vane {

std::future<MaybeType<Failure, void>> TelemetrySender::PostTelemetryEvent(
    const std::string& eventName, const BindingProperty& parameters) {
    std::promise<MaybeType<Failure, void>> promise;
    if (!attached_.load(std::memory_order_acquire)) {
        promise.set_value(Failure(0, std::string("The plugin is not initialised")));
        return promise.get_future();
    }
    std::vector<BindingProperty> arguments;
    if (!parameters.IsEmpty()) arguments.push_back(parameters);
    RequestResponse response;
    promise.set_value(requests_.SendValues(HttpMethod::kPost, "/telemetry/v1/events/" + eventName,
                                           arguments, response));
    return promise.get_future();
}

}  // namespace Vane
