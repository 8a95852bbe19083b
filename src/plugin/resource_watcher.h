// The resources a plugin watches and publishes: counted subscriptions to the host events that
// carry resource changes, observers by exact path or "*" pattern, the first read of an exactly
// watched resource, and the events that announce changes of the plugin's own resources.
//
// Threads: host thread only; the subscription and observer tables have no lock.
#ifndef PYX_PLUGIN_RESOURCE_WATCHER_H_
#define PYX_PLUGIN_RESOURCE_WATCHER_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "plugin/event_router.h"
#include "plugin/host_link.h"
#include "plugin/request_client.h"
#include "plugin/runtime_types.h"
#include "plugin/trace.h"
#include "types/record_description.h"
#include "types/type_registry.h"
#include "util/failure.h"
#include "util/maybe.h"
#include "value/binding_property.h"

namespace Vane {

class ResourceWatcher {
  public:
    using Handler = EventRouter::ResourceHandler;
    template <class T>
    using Observer = std::function<void(const std::string& uri, const std::optional<T>&)>;

    // A watcher subscribing through `events`, reading through `requests`, publishing through
    // `host` and converting with `types`; `shortName` starts its trace lines. All of them
    // outlive the watcher.
    ResourceWatcher(EventRouter& events, RequestClient& requests, const HostLink& host,
                    const TypeRegistry& types, const std::string& shortName);
    ResourceWatcher(const ResourceWatcher&) = delete;
    ResourceWatcher& operator=(const ResourceWatcher&) = delete;

    // Counts one more watcher of the event of `path` (JsonApiEventName); the first one
    // registers the resource dispatcher with the host.
    void Subscribe(const std::string& path);
    // Counts one watcher less; the last one unsubscribes from the host and drops the handler.
    // An unbalanced call is ignored.
    void Unsubscribe(const std::string& path);
    // The subscription count of the full event name `eventName`.
    uint32_t SubscriptionCount(const std::string& eventName) const;

    // Watches the resources matching `pattern` ("*" wildcards, see WildcardMatch): `observer`
    // receives the uri and the value converted to T, or no value for a deletion. A pattern
    // without "*" is also read at once with a GET and, when that succeeds, reported as created.
    // Data that does not convert to T is traced and not reported. An observer stays after its
    // subscription is dropped.
    template <class T>
    void Observe(const std::string& pattern, Observer<T> observer);

    // Fires "OnJsonApiEvent" for a change of the resource `uri`. Fails when the event cannot be
    // converted or encoded; nothing is sent then.
    [[nodiscard]] MaybeType<Failure, void> Publish(const std::string& uri,
                                                   PluginResourceEventType eventType,
                                                   const BindingProperty& data);
    // The same with native data converted through the type registry.
    template <class T>
    [[nodiscard]] MaybeType<Failure, void> Publish(const std::string& uri,
                                                   PluginResourceEventType eventType,
                                                   const T& data);

    // Drops every observer without calling it. Subscription counts stay.
    void ClearObservers();

  private:
    struct WildcardHandler {
        std::string pattern;
        std::shared_ptr<Handler> handler;
    };

    void AddHandler(const std::string& pattern, Handler handler);
    void Dispatch(const PluginResourceEvent& event);
    // GET `path` and report it as created to the observer registered for it.
    void ReadInitial(const std::string& path);

    EventRouter& events_;
    RequestClient& requests_;
    const HostLink& host_;
    const TypeRegistry& types_;
    const std::string& shortName_;
    // Host thread only, like the rest of the watcher.
    std::map<std::string, uint32_t> subscriptions_;
    std::unordered_map<std::string, std::shared_ptr<Handler>> exactHandlers_;
    std::vector<WildcardHandler> wildcardHandlers_;
};

// ---------------------------------------------------------------------------------------
// Templates

template <class T>
void ResourceWatcher::Observe(const std::string& pattern, Observer<T> observer) {
    if (!observer) return;
    Handler handler = [this, observer = std::move(observer)](const PluginResourceEvent& event) {
        if (event.eventType == PluginResourceEventType::Delete) {
            observer(event.uri, std::nullopt);
            return;
        }
        T value{};
        ConversionStatus status;
        FromBinding(types_, event.data, value, status, "<value>");
        if (!status.Ok()) {
            TraceRuntime("Couldn't convert resource %s to C++ while handling update for URL: %s",
                         {status.Error(), event.uri});
            return;
        }
        observer(event.uri, std::optional<T>(std::move(value)));
    };
    AddHandler(pattern, std::move(handler));
    Subscribe(pattern);
    if (pattern.find('*') == std::string::npos) ReadInitial(pattern);
}

template <class T>
MaybeType<Failure, void> ResourceWatcher::Publish(const std::string& uri,
                                                  PluginResourceEventType eventType,
                                                  const T& data) {
    ConversionStatus status = ToBinding(types_, data);
    if (!status.Ok()) return Failure(kConversionFailureCode, std::string(status.Error()));
    return Publish(uri, eventType, status.Value());
}

}  // namespace Vane

#endif  // PYX_PLUGIN_RESOURCE_WATCHER_H_
