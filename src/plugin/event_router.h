// The host events a plugin handles: one handler per event name, subscribed with the host, and
// the conversion of each delivered payload to the record its handler takes.
//
// The host passes a subscription's context back with every event. That context is the plugin
// object itself, which is how hosts (and their tests) know a plugin, so the router does not own
// the functions the host calls: the plugin hands it its two dispatch functions and its address,
// and those functions come back here through Deliver.
//
// Threads: handlers are registered and removed on the host thread only. Deliver may run on
// several threads at once (service-proxy answers arrive on others) and only reads the table,
// so the table has no lock.
#ifndef PYX_PLUGIN_EVENT_ROUTER_H_
#define PYX_PLUGIN_EVENT_ROUTER_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <variant>

#include "plugin/host_link.h"
#include "plugin/runtime_types.h"
#include "pyx/host_abi.h"
#include "types/type_registry.h"

namespace Vane {

class EventRouter {
  public:
    using ResourceHandler = std::function<void(const PluginResourceEvent&)>;
    using ServiceProxyHandler = std::function<void(const PluginServiceProxyResponse&)>;

    // What every subscription hands the host: the context it passes back with each event and
    // the function it calls for each kind of payload.
    struct HostEntry {
        void* context = nullptr;
        HostDispatchFn resourceDispatch = nullptr;
        HostDispatchFn serviceProxyDispatch = nullptr;
    };

    // A router subscribing through `host` (which may be attached later), converting payloads
    // with `types`; `shortName` starts its trace lines. All three outlive the router.
    EventRouter(const HostLink& host, const std::string& shortName, const TypeRegistry& types,
                HostEntry entry);
    EventRouter(const EventRouter&) = delete;
    EventRouter& operator=(const EventRouter&) = delete;

    // Makes `handler` the one handler of event `eventName` (payload PluginResourceEvent) and
    // subscribes to it with the host under `flag`.
    void RegisterResourceHandler(const std::string& eventName, ResourceHandler handler,
                                 uint32_t flag);
    // The same for events whose payload is a PluginServiceProxyResponse.
    void RegisterServiceProxyHandler(const std::string& eventName, ServiceProxyHandler handler,
                                     uint32_t flag);
    // Unsubscribes `eventName` from the host and drops its handler.
    void Unregister(const std::string& eventName);
    // Unsubscribes every handled event from the host and drops every handler, calling none.
    void UnregisterAll();

    // Converts the payload of `event` to Payload (PluginResourceEvent or
    // PluginServiceProxyResponse) and calls the handler of the event's name with it, when that
    // handler takes a Payload. A payload that does not convert is traced and dropped, and so is
    // an event whose handling runs out of memory.
    template <class Payload>
    void Deliver(const HostIncomingEvent& event) noexcept;

  private:
    using Handler =
        std::variant<std::shared_ptr<ResourceHandler>, std::shared_ptr<ServiceProxyHandler>>;

    template <class Payload>
    void Handle(const HostIncomingEvent& event);

    const HostLink& host_;
    const std::string& shortName_;
    const TypeRegistry& types_;
    const HostEntry entry_;
    // Host thread only (see the threads note above).
    std::map<std::string, Handler> handlers_;
};

}  // namespace Vane

#endif  // PYX_PLUGIN_EVENT_ROUTER_H_
