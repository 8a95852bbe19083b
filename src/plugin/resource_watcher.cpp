// PluginBase's events: subscriptions, handler registration, dispatch of host events, the
// resource dispatcher and resource publication.
#include <exception>

#include "host/host_value.h"
#include "plugin/event_names.h"
#include "plugin/plugin_base.h"

namespace Vane {

void PluginBase::Subscribe(const std::string& path) {
    const std::string name = JsonApiEventName(path);
    uint32_t& count = subscriptions_[name];
    if (++count != 1) return;
    Trace("%s: Subscribing to event: %s", {shortName_, name});
    RegisterResourceEventHandler(
        name, [this](const PluginResourceEvent& event) { DispatchResourceEvent(event); }, 0);
}

void PluginBase::Unsubscribe(const std::string& path) {
    const std::string name = JsonApiEventName(path);
    auto it = subscriptions_.find(name);
    // An unbalanced call would wrap the count around; it is ignored instead.
    if (it == subscriptions_.end() || it->second == 0) return;
    if (--it->second != 0) return;
    HostUnsubscribe(name.c_str());
    eventHandlers_.erase(name);
    Trace("%s: Unsubscribing to event: %s", {shortName_, name});
}

void PluginBase::RegisterResourceEventHandler(const std::string& eventName, ResourceHandler handler,
                                              uint32_t flag) {
    eventHandlers_[eventName] = std::make_shared<ResourceHandler>(std::move(handler));
    HostSubscribe(eventName.c_str(), &PluginBase::DispatchEvent<PluginResourceEvent>, this, flag);
}

void PluginBase::RegisterServiceProxyEventHandler(const std::string& eventName,
                                                  ServiceProxyHandler handler, uint32_t flag) {
    eventHandlers_[eventName] = std::make_shared<ServiceProxyHandler>(std::move(handler));
    HostSubscribe(eventName.c_str(), &PluginBase::DispatchEvent<PluginServiceProxyResponse>, this,
                  flag);
}

template <class Payload>
void PluginBase::DispatchEvent(const HostIncomingEvent* event) {
    if (!event || !event->context || !event->eventName) return;
    try {
        static_cast<PluginBase*>(event->context)->HandleEvent<Payload>(*event);
    } catch (const std::exception&) {
        // Out of memory while handling: the event is dropped, the plugin stays usable.
    }
}

template <class Payload>
void PluginBase::HandleEvent(const HostIncomingEvent& event) {
    using Handler = std::function<void(const Payload&)>;
    const std::string name = event.eventName;
    auto it = eventHandlers_.find(name);
    if (it == eventHandlers_.end()) return;
    const std::shared_ptr<Handler>* slot = std::get_if<std::shared_ptr<Handler>>(&it->second);
    if (!slot || !*slot) return;
    // Held for the call: the handler may replace or remove its own registration.
    std::shared_ptr<Handler> handler = *slot;

    const std::string typeName(StaticType::Name<Payload>());
    BindingProperty value;
    HostErrorSlot error;
    if (!HostValueToBinding(event.payload, "<result>", value, error)) {
        Trace("%s: Couldn't convert payload %s for event %s: %s",
              {shortName_, typeName, name, error.text ? error.text : ""});
        ReleaseHostError(error);
        return;
    }
    Payload payload{};
    ConversionStatus status;
    FromBinding(Types(), value, payload, status);
    if (!status.Ok()) {
        Trace("%s: Couldn't convert payload %s for event %s: %s",
              {shortName_, typeName, name, status.Error()});
        return;
    }
    Trace("%s: Handling event %s", {shortName_, name});
    (*handler)(payload);
}

void PluginBase::AddResourceHandler(const std::string& pattern, ResourceHandler handler) {
    auto shared = std::make_shared<ResourceHandler>(std::move(handler));
    if (pattern.find('*') != std::string::npos) {
        wildcardResourceHandlers_.push_back({pattern, std::move(shared)});
    } else {
        exactResourceHandlers_[pattern] = std::move(shared);
    }
}

void PluginBase::DispatchResourceEvent(const PluginResourceEvent& event) {
    const std::string path =
        !event.uri.empty() && event.uri[0] == '/' ? event.uri : "/" + event.uri;
    // Handlers may register or drop observers while they run: work on what is registered now.
    std::shared_ptr<ResourceHandler> exact;
    if (auto it = exactResourceHandlers_.find(path); it != exactResourceHandlers_.end()) {
        exact = it->second;
    }
    std::vector<std::shared_ptr<ResourceHandler>> matching;
    for (const WildcardHandler& entry : wildcardResourceHandlers_) {
        if (WildcardMatch(entry.pattern, path)) matching.push_back(entry.handler);
    }
    if (exact && *exact) (*exact)(event);
    for (const auto& handler : matching) {
        if (handler && *handler) (*handler)(event);
    }
}

void PluginBase::ReadInitialResource(const std::string& path) {
    RequestResponse response;
    if (Send(HttpMethod::kGet, path, response).IsFailure()) return;
    MaybeType<Failure, BindingProperty> body = ReadResponse(HttpMethod::kGet, path, response);
    if (body.IsFailure()) return;
    auto it = exactResourceHandlers_.find(path);
    if (it == exactResourceHandlers_.end() || !it->second || !*it->second) return;
    std::shared_ptr<ResourceHandler> handler = it->second;
    PluginResourceEvent event;
    event.uri = path;
    event.eventType = PluginResourceEventType::Create;
    event.data = std::move(body.Value());
    (*handler)(event);
}

MaybeType<Failure, void> PluginBase::PublishResource(const std::string& uri,
                                                     PluginResourceEventType eventType,
                                                     const BindingProperty& data) {
    try {
        PluginResourceEvent event;
        event.uri = uri;
        event.eventType = eventType;
        event.data = data;
        ConversionStatus status = ToBinding(Types(), event);
        if (!status.Ok()) return Failure(kConversionFailureCode, std::string(status.Error()));
        const std::string name = JsonApiEventName(uri);
        Trace("%s: Sending event: %s", {shortName_, name});
        HostOutgoingEvent outgoing{};
        std::string error;
        if (!BindingToHostValue(status.Value(), &Types(), outgoing.payload, &error)) {
            return Failure(0, std::move(error));
        }
        outgoing.eventName = name.c_str();
        outgoing.flags = 0;
        outgoing.zero = 0;
        HostFireEvent(outgoing);
        ReleaseHostValue(outgoing.payload);
        return {};
    } catch (const std::exception&) {
        return Failure(0, std::string("Couldn't publish the resource because memory ran out."));
    }
}

}  // namespace Vane
