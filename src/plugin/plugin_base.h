// The runtime base of a plugin: the handshake with the host, the plugin's identity and its
// lifecycle. The runtime's services are objects of their own, each reached through an accessor:
// Timers() (scheduled callbacks and repeating timers), Events() (the host events the plugin
// handles), Requests() (requests to other plugins), Resources() (watched and published
// resources), ServiceProxy() (requests to remote services) and Telemetry().
//
// A plugin derives from `PluginBase`, overrides RegisterApi (its routes and types), Start
// (what it does once the host is known) and Shutdown, and is handed to `LoadPlugin` by the
// library's export. The host then drives it through the callbacks of `Callbacks()`.
//
// Threads: the host runs one call into the plugin at a time; service-proxy answers may arrive
// on another thread while the plugin waits inside a host request, and requests and
// service-proxy calls may start on any thread. Each service's header says what it locks.
#ifndef PYX_PLUGIN_PLUGIN_BASE_H_
#define PYX_PLUGIN_PLUGIN_BASE_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "api/function_registry.h"
#include "api/route_table.h"
#include "plugin/event_router.h"
#include "plugin/host_link.h"
#include "plugin/plugin_api_version.h"
#include "plugin/plugin_identity.h"
#include "plugin/request_client.h"
#include "plugin/resource_watcher.h"
#include "plugin/runtime_types.h"
#include "plugin/service_proxy_client.h"
#include "plugin/telemetry_sender.h"
#include "plugin/timers.h"
#include "pyx/host_abi.h"

namespace Vane {

class PluginLogTarget;

class PluginBase {
  public:
    // A plugin not yet loaded: its local API exists, its callbacks table is filled.
    PluginBase();
    // Releases every runtime table; callbacks and ticks the host delivers later do nothing.
    virtual ~PluginBase();
    PluginBase(const PluginBase&) = delete;
    PluginBase& operator=(const PluginBase&) = delete;

    // --- Lifecycle ----------------------------------------------------------------------

    // Registers the plugin's types and routes with Api(); called once by the loader.
    virtual void RegisterApi();
    // Starts the plugin once the host is known; false makes initialise report failure.
    virtual bool Start();
    // Unsubscribes every handled event from the host and clears the handler, service-proxy,
    // timer and resource tables (without calling anything in them). Subscription counts and
    // one-shot scheduled callbacks stay.
    virtual void Shutdown();

    // --- Identity and state -------------------------------------------------------------

    LocalApi& Api() { return *api_; }
    TypeRegistry& Types() { return api_->Types(); }
    const TypeRegistry& Types() const { return api_->Types(); }
    const std::string& ShortName() const { return shortName_; }
    const PluginIdentity& Identity() const { return identity_; }
    const std::string& UserAgent() const { return userAgent_; }
    const std::string& ApiPathPrefix() const { return apiPathPrefix_; }
    const std::vector<std::string>& LogContext() const { return logContext_; }
    const PluginApiVersion& CoreVersion() const { return coreVersion_; }
    uint32_t PluginHandle() const { return pluginHandle_; }
    // The host's operations; each one does nothing and reports false before initialise.
    const HostLink& Host() const { return host_; }
    bool IsStopping() const { return stopping_.load(std::memory_order_acquire); }
    // The table whose address the loader returns in the load record.
    const PluginCallbacks& Callbacks() const { return callbacks_; }
    // The host's route table (null before the loader built it).
    const HostApiTable* ApiTable() const { return routeTable_ ? &routeTable_->Table() : nullptr; }
    PluginLogTarget* LogTarget() const { return logTarget_.get(); }

    // --- The runtime's services ---------------------------------------------------------

    TimerTable& Timers() { return timers_; }
    EventRouter& Events() { return events_; }
    RequestClient& Requests() { return requests_; }
    ResourceWatcher& Resources() { return resources_; }
    ServiceProxyClient& ServiceProxy() { return serviceProxy_; }
    TelemetrySender& Telemetry() { return telemetry_; }

  protected:
    // Replaces the clock of the timers (tests and hosts with a virtual clock).
    void SetClock(TimerTable::Clock clock);

  private:
    friend void LoadPlugin(PluginBase* plugin, PluginLoadRecord* record, const char* shortName);
    friend struct PluginEntryPoints;

    // Loader steps after the version check.
    void CompleteLoad(const PluginApiVersion& coreVersion, const char* shortName);
    // Initialise callback steps; the result of Start.
    bool Initialise(const HostContext* context);

    uint32_t pluginHandle_ = 0;
    std::string shortName_;
    std::string userAgent_;
    std::atomic<bool> stopping_{false};
    PluginApiVersion coreVersion_;
    std::unique_ptr<PluginLogTarget> logTarget_;
    PluginIdentity identity_;
    std::string apiPathPrefix_;
    std::vector<std::string> logContext_;
    std::unique_ptr<LocalApi> api_;
    HostLink host_;
    PluginCallbacks callbacks_{};
    std::unique_ptr<HostRouteTable> routeTable_;

    // The services, each built on the state above and the services before it.
    TimerTable timers_;
    EventRouter events_;
    RequestClient requests_;
    ResourceWatcher resources_;
    ServiceProxyClient serviceProxy_;
    TelemetrySender telemetry_;
};

// The loader: checks the core's plugin API version (ending the process with the fatal error
// "ALE-EECF0606" when it is not compatible), registers the log category "LOC" and the
// event-tracing providers, gives `plugin` its identity, registers the runtime's types and
// events and the plugin's API, builds the host's route table and fills the load record's
// answer. `plugin` must come from `new`; the host owns it from here on and destroys it through
// the shut-down callback, which also unregisters the event-tracing providers.
void LoadPlugin(PluginBase* plugin, PluginLoadRecord* record, const char* shortName);

}  // namespace Vane

#endif  // PYX_PLUGIN_PLUGIN_BASE_H_
