// The development host: one plugin, the host thread that runs every call into it, the host
// operations it calls, and the simulated world they reach.
//
// Threads. Every call into the plugin (export, callbacks, event dispatch, scheduled callbacks,
// route calls) runs on the host thread (HostLoop). HTTP threads post route calls there and
// wait. The plugin may call the host operations from any thread; none of them calls back
// into the plugin: events for the plugin (resource changes, service-proxy answers, events the
// plugin fires to itself) are queued and delivered by the host thread once the current call
// has returned, and only while the subscription still exists and the plugin is running.
#ifndef PYX_DEVHOST_DEV_HOST_H_
#define PYX_DEVHOST_DEV_HOST_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "devhost/event_fan_out.h"
#include "devhost/history.h"
#include "devhost/host_loop.h"
#include "devhost/host_operations.h"
#include "devhost/plugin_call_scope.h"
#include "devhost/plugin_loader.h"
#include "devhost/route_calls.h"
#include "devhost/scenario.h"
#include "devhost/sse_hub.h"
#include "devhost/subscriptions.h"
#include "devhost/world.h"
#include "util/maybe.h"
#include "util/system_info.h"
#include "value/binding_property.h"

namespace Vane::DevHost {

class DevHost : private HostOperations {
  public:
    // The handle the host assigns to its one plugin.
    static constexpr uint32_t kPluginHandle = 1;

    // A host whose world starts as `scenario` describes. With `echoLog`, the plugin's log lines
    // are printed on stdout as they arrive.
    DevHost(const Scenario& scenario, bool echoLog);
    // Stops (see Stop).
    ~DevHost() override;
    DevHost(const DevHost&) = delete;
    DevHost& operator=(const DevHost&) = delete;

    // Loads the plugin at `pluginPath`, announcing `core`, checks its answer and calls its
    // initialise callback, all on the host thread. The value tells whether the plugin reported
    // that it started (a plugin that did not start stays loaded and is still served).
    MaybeType<LoadError, bool> Start(const std::string& pluginPath, const ApiVersion& core);

    // Calls the plugin's shut-down callback on the host thread, drops every callback and event
    // still pending, stops the host thread and closes the library. Idempotent. Stop the HTTP
    // server first: route calls after this answer 503.
    void Stop();

    // Serves an HTTP request with the plugin's routes: 404 when no route serves the path, 405
    // (with the allowed methods) when none accepts the method, 503 once stopping; otherwise the
    // route's answer (see CallRoute).
    HttpReply ServeRoute(const HttpRequestData& request);

    World& GetWorld() { return *world_; }
    SseHub& EventStream() { return sse_; }
    // Requests the plugin made: {"time", "method", "url", "arguments", "status", "error",
    // "response"}.
    const History& Requests() const { return requests_; }
    // Log lines of the plugin: {"time", "level", "levelName", "message"}.
    const History& LogLines() const { return logLines_; }
    // Events the plugin fired: {"time", "name", "flags", "payload"}.
    const History& FiredEvents() const { return firedEvents_; }

    // {"plugin", "memory", "system", "routes", "subscriptions", "pendingCallbacks", "counters",
    //  "lastLabel", "eventStreamClients"}; "system" holds the figures read right before the
    // plugin was loaded (see SystemFiguresValue).
    BindingProperty Status();
    // The OpenAPI document of the plugin's routes, types and events and of the control
    // endpoints (openapi_document.h). Built on the host thread, the one that shuts the plugin
    // down, so that the plugin's API table cannot go away while it is read; once the plugin is
    // shut down (or when none was loaded) it describes the control endpoints only.
    BindingProperty OpenApi();
    // The plugin's routes: [{"method", "url", "name"}].
    BindingProperty Routes() const;
    // The plugin's subscriptions: [{"eventName", "flag"}].
    BindingProperty Subscriptions() const;

  private:
    void Request(HostResponseArea& response, const HostRequestRecord& request) override;
    void FireEvent(const HostOutgoingEvent& event) override;
    void Subscribe(const char* eventName, uint32_t pluginHandle, HostDispatchFn dispatch,
                   void* context, uint32_t flag) override;
    void Unsubscribe(const char* eventName, uint32_t pluginHandle) override;
    void Schedule(const char* name, HostScheduledFn callback, void* context,
                  double delaySeconds) override;
    void YieldTurn() override;
    void Label(const char* label) override;
    uint64_t AfterYield() override;
    void Log(const char* message, int32_t level) override;

    // Hands an event to one subscriber on the host thread (see the header comment).
    void Deliver(const Subscriber& subscriber, const std::string& eventName,
                 std::shared_ptr<const BindingProperty> payload);
    // Where a request's answer lives: the current call's arena, or, for a request made outside
    // any call the host made, an arena kept for a minute.
    HostValueArena& ArenaForRequest();

    const bool echoLog_;
    SubscriptionTable subscriptions_;
    EventFanOut fanOut_;
    SseHub sse_;
    History requests_{5000};
    History logLines_{10000};
    History firedEvents_{5000};
    HostCoreTable table_;
    HostContext context_{};
    std::unique_ptr<World> world_;
    std::unique_ptr<LoadedPlugin> plugin_;
    std::atomic<bool> alive_{false};
    bool stopped_ = false;

    std::atomic<uint64_t> yields_{0};
    std::atomic<uint64_t> scheduled_{0};
    std::atomic<uint64_t> delivered_{0};
    mutable std::mutex mutex_;  // guards what follows
    std::string lastLabel_;
    std::optional<SystemFigures> systemFigures_;
    uint64_t nextCallbackId_ = 1;
    std::map<uint64_t, std::string> pendingCallbacks_;
    std::deque<std::pair<std::chrono::steady_clock::time_point, std::unique_ptr<HostValueArena>>>
        looseArenas_;

    // Last: the host thread must stop before anything it uses is destroyed.
    HostLoop loop_;
};

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_DEV_HOST_H_
