// Hands resource changes and other events to the plugins subscribed to them.
#ifndef PYX_DEVHOST_EVENT_FAN_OUT_H_
#define PYX_DEVHOST_EVENT_FAN_OUT_H_

#include <functional>
#include <memory>
#include <string>

#include "devhost/resource_store.h"
#include "devhost/subscriptions.h"
#include "value/binding_property.h"

namespace Vane::DevHost {

// The payload a resource change travels with: {"uri": path, "eventType": "Create" | "Update" |
// "Delete", "data": the value (empty for a deletion)}.
BindingProperty ResourceEventPayload(const ResourceChange& change);

// Delivery is left to `deliver`, which receives each (subscriber, event name, payload); the
// payload is shared by every subscriber of one event and never changes.
class EventFanOut {
  public:
    using Deliver = std::function<void(const Subscriber& subscriber, const std::string& eventName,
                                       std::shared_ptr<const BindingProperty> payload)>;

    EventFanOut(const SubscriptionTable& subscriptions, Deliver deliver)
        : subscriptions_(subscriptions), deliver_(std::move(deliver)) {}

    // Hands the change, under the full event name of its path (ResourceEventName), to every
    // subscriber of exactly that name. Returns how many subscribers it reached.
    size_t PublishResourceChange(const ResourceChange& change) const;

    // Hands `payload` under `eventName` to every subscriber of exactly that name.
    size_t Publish(const std::string& eventName, BindingProperty payload) const;

  private:
    const SubscriptionTable& subscriptions_;
    Deliver deliver_;
};

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_EVENT_FAN_OUT_H_
