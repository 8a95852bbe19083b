// Posts telemetry events through the host's telemetry endpoint.
#ifndef PYX_PLUGIN_TELEMETRY_SENDER_H_
#define PYX_PLUGIN_TELEMETRY_SENDER_H_

#include <future>
#include <string>

#include "util/failure.h"
#include "util/maybe.h"
#include "value/binding_property.h"

namespace Vane {

class PluginBase;

class TelemetrySender {
  public:
    // A sender posting on behalf of `plugin`, which outlives it.
    explicit TelemetrySender(PluginBase& plugin) : plugin_(plugin) {}
    virtual ~TelemetrySender() = default;

    // POSTs "/telemetry/v1/events/" + `eventName` (appended unchanged) with `parameters` as one
    // positional structure, or with no argument when `parameters` is empty. The result is
    // in the returned future, which is ready at once.
    virtual std::future<MaybeType<Failure, void>> PostTelemetryEvent(
        const std::string& eventName, const BindingProperty& parameters);

  private:
    PluginBase& plugin_;
};

}  // namespace Vane

#endif  // PYX_PLUGIN_TELEMETRY_SENDER_H_
