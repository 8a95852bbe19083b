#include "plugin/event_router.h"

#include <exception>
#include <utility>

#include "host/host_value.h"
#include "plugin/trace.h"
#include "types/record_description.h"
#include "types/static_type.h"

namespace Vane {

EventRouter::EventRouter(const HostLink& host, const std::string& shortName,
                         const TypeRegistry& types, HostEntry entry)
    : host_(host), shortName_(shortName), types_(types), entry_(entry) {}

void EventRouter::RegisterResourceHandler(const std::string& eventName, ResourceHandler handler,
                                          uint32_t flag) {
    handlers_[eventName] = std::make_shared<ResourceHandler>(std::move(handler));
    // Without a host there is nothing to subscribe with; the handler waits for none.
    static_cast<void>(
        host_.Subscribe(eventName.c_str(), entry_.resourceDispatch, entry_.context, flag));
}

void EventRouter::RegisterServiceProxyHandler(const std::string& eventName,
                                              ServiceProxyHandler handler, uint32_t flag) {
    handlers_[eventName] = std::make_shared<ServiceProxyHandler>(std::move(handler));
    static_cast<void>(
        host_.Subscribe(eventName.c_str(), entry_.serviceProxyDispatch, entry_.context, flag));
}

void EventRouter::Unregister(const std::string& eventName) {
    // A host that is gone has no subscription left to drop.
    static_cast<void>(host_.Unsubscribe(eventName.c_str()));
    handlers_.erase(eventName);
}

void EventRouter::UnregisterAll() {
    for (const auto& [name, handler] : handlers_) {
        // As in Unregister: without a host nothing is left subscribed.
        static_cast<void>(host_.Unsubscribe(name.c_str()));
    }
    handlers_.clear();
}

template <class Payload>
void EventRouter::Deliver(const HostIncomingEvent& event) noexcept {
    if (!event.eventName) return;
    try {
        Handle<Payload>(event);
    } catch (const std::exception&) {
        // Out of memory while handling: the event is dropped, the plugin stays usable.
    }
}

template <class Payload>
void EventRouter::Handle(const HostIncomingEvent& event) {
    using TypedHandler = std::function<void(const Payload&)>;
    const std::string name = event.eventName;
    auto it = handlers_.find(name);
    if (it == handlers_.end()) return;
    const std::shared_ptr<TypedHandler>* slot =
        std::get_if<std::shared_ptr<TypedHandler>>(&it->second);
    if (!slot || !*slot) return;
    // Held for the call: the handler may replace or remove its own registration.
    std::shared_ptr<TypedHandler> handler = *slot;

    const std::string typeName(StaticType::Name<Payload>());
    BindingProperty value;
    HostErrorSlot error;
    if (!HostValueToBinding(event.payload, "<result>", value, error)) {
        TraceRuntime("%s: Couldn't convert payload %s for event %s: %s",
                     {shortName_, typeName, name, error.text ? error.text : ""});
        ReleaseHostError(error);
        return;
    }
    Payload payload{};
    ConversionStatus status;
    FromBinding(types_, value, payload, status);
    if (!status.Ok()) {
        TraceRuntime("%s: Couldn't convert payload %s for event %s: %s",
                     {shortName_, typeName, name, status.Error()});
        return;
    }
    TraceRuntime("%s: Handling event %s", {shortName_, name});
    (*handler)(payload);
}

template void EventRouter::Deliver<PluginResourceEvent>(const HostIncomingEvent&) noexcept;
template void EventRouter::Deliver<PluginServiceProxyResponse>(const HostIncomingEvent&) noexcept;

}  // namespace Vane
