#include "devhost/event_fan_out.h"

#include "devhost/event_name.h"
#include "devhost/value_access.h"

namespace Vane::DevHost {

BindingProperty ResourceEventPayload(const ResourceChange& change) {
    BindingProperty payload;
    Require(payload.MakeStructure());
    SetMemberString(payload, "uri", change.path);
    SetMemberString(payload, "eventType", ResourceEventTypeName(change.type));
    SetMember(payload, "data", change.data);
    return payload;
}

size_t EventFanOut::PublishResourceChange(const ResourceChange& change) const {
    return Publish(ResourceEventName(change.path), ResourceEventPayload(change));
}

size_t EventFanOut::Publish(const std::string& eventName, BindingProperty payload) const {
    const std::vector<Subscriber> receivers = subscriptions_.Matching(eventName);
    if (receivers.empty() || !deliver_) return 0;
    auto shared = std::make_shared<const BindingProperty>(std::move(payload));
    for (const Subscriber& subscriber : receivers) deliver_(subscriber, eventName, shared);
    return receivers.size();
}

}  // namespace Vane::DevHost
