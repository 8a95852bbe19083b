#include "plugin/resource_watcher.h"

#include <exception>

#include "host/host_value.h"
#include "plugin/event_names.h"

namespace Vane {

ResourceWatcher::ResourceWatcher(EventRouter& events, RequestClient& requests, const HostLink& host,
                                 const TypeRegistry& types, const std::string& shortName)
    : events_(events), requests_(requests), host_(host), types_(types), shortName_(shortName) {}

void ResourceWatcher::Subscribe(const std::string& path) {
    const std::string name = JsonApiEventName(path);
    uint32_t& count = subscriptions_[name];
    if (++count != 1) return;
    TraceRuntime("%s: Subscribing to event: %s", {shortName_, name});
    events_.RegisterResourceHandler(
        name, [this](const PluginResourceEvent& event) { Dispatch(event); }, 0);
}

void ResourceWatcher::Unsubscribe(const std::string& path) {
    const std::string name = JsonApiEventName(path);
    auto it = subscriptions_.find(name);
    // An unbalanced call would wrap the count around; it is ignored instead.
    if (it == subscriptions_.end() || it->second == 0) return;
    if (--it->second != 0) return;
    events_.Unregister(name);
    TraceRuntime("%s: Unsubscribing to event: %s", {shortName_, name});
}

uint32_t ResourceWatcher::SubscriptionCount(const std::string& eventName) const {
    auto it = subscriptions_.find(eventName);
    return it == subscriptions_.end() ? 0 : it->second;
}

void ResourceWatcher::ClearObservers() {
    exactHandlers_.clear();
    wildcardHandlers_.clear();
}

void ResourceWatcher::AddHandler(const std::string& pattern, Handler handler) {
    auto shared = std::make_shared<Handler>(std::move(handler));
    if (pattern.find('*') != std::string::npos) {
        wildcardHandlers_.push_back({pattern, std::move(shared)});
    } else {
        exactHandlers_[pattern] = std::move(shared);
    }
}

void ResourceWatcher::Dispatch(const PluginResourceEvent& event) {
    const std::string path =
        !event.uri.empty() && event.uri[0] == '/' ? event.uri : "/" + event.uri;
    // Handlers may register or drop observers while they run: work on what is registered now.
    std::shared_ptr<Handler> exact;
    if (auto it = exactHandlers_.find(path); it != exactHandlers_.end()) exact = it->second;
    std::vector<std::shared_ptr<Handler>> matching;
    for (const WildcardHandler& entry : wildcardHandlers_) {
        if (WildcardMatch(entry.pattern, path)) matching.push_back(entry.handler);
    }
    if (exact && *exact) (*exact)(event);
    for (const auto& handler : matching) {
        if (handler && *handler) (*handler)(event);
    }
}

void ResourceWatcher::ReadInitial(const std::string& path) {
    RequestResponse response;
    if (requests_.Send(HttpMethod::kGet, path, response).IsFailure()) return;
    MaybeType<Failure, BindingProperty> body =
        requests_.ReadResponse(HttpMethod::kGet, path, response);
    if (body.IsFailure()) return;
    auto it = exactHandlers_.find(path);
    if (it == exactHandlers_.end() || !it->second || !*it->second) return;
    std::shared_ptr<Handler> handler = it->second;
    PluginResourceEvent event;
    event.uri = path;
    event.eventType = PluginResourceEventType::Create;
    event.data = std::move(body.Value());
    (*handler)(event);
}

MaybeType<Failure, void> ResourceWatcher::Publish(const std::string& uri,
                                                  PluginResourceEventType eventType,
                                                  const BindingProperty& data) {
    try {
        PluginResourceEvent event;
        event.uri = uri;
        event.eventType = eventType;
        event.data = data;
        ConversionStatus status = ToBinding(types_, event);
        if (!status.Ok()) return Failure(kConversionFailureCode, std::string(status.Error()));
        const std::string name = JsonApiEventName(uri);
        TraceRuntime("%s: Sending event: %s", {shortName_, name});
        HostOutgoingEvent outgoing{};
        std::string error;
        if (!BindingToHostValue(status.Value(), &types_, outgoing.payload, &error)) {
            return Failure(0, std::move(error));
        }
        outgoing.eventName = name.c_str();
        outgoing.flags = 0;
        outgoing.zero = 0;
        // Events go out whether or not anyone listens; without a host there is no one to tell.
        static_cast<void>(host_.FireEvent(outgoing));
        ReleaseHostValue(outgoing.payload);
        return {};
    } catch (const std::exception&) {
        return Failure(0, std::string("Couldn't publish the resource because memory ran out."));
    }
}

}  // namespace Vane
