// Posts telemetry events through the host's telemetry endpoint.
#ifndef PYX_PLUGIN_TELEMETRY_SENDER_H_
#define PYX_PLUGIN_TELEMETRY_SENDER_H_

#include <atomic>
#include <future>
#include <string>

#include "plugin/request_client.h"
#include "util/failure.h"
#include "util/maybe.h"
#include "value/binding_property.h"

namespace Vane {

class TelemetrySender {
  public:
    // A sender posting through `requests`, which outlives it; it refuses to post until
    // attached.
    explicit TelemetrySender(RequestClient& requests) : requests_(requests) {}
    TelemetrySender(const TelemetrySender&) = delete;
    TelemetrySender& operator=(const TelemetrySender&) = delete;

    // Lets the sender post: the plugin is initialised.
    void Attach() { attached_.store(true, std::memory_order_release); }

    // POSTs "/telemetry/v1/events/" + `eventName` (appended unchanged) with `parameters` as one
    // positional structure, or with no argument when `parameters` is empty. The result is
    // in the returned future, which is ready at once; before Attach it is the failure "The
    // plugin is not initialised".
    [[nodiscard]] std::future<MaybeType<Failure, void>> PostTelemetryEvent(
        const std::string& eventName, const BindingProperty& parameters);

  private:
    RequestClient& requests_;
    std::atomic<bool> attached_{false};
};

}  // namespace Vane

#endif  // PYX_PLUGIN_TELEMETRY_SENDER_H_
