// PluginBase's lifecycle: construction, the loader, the three host callbacks, Shutdown, the
// forwarding of the host's operations, timers and telemetry.
#include "plugin/plugin_base.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "api/async_model.h"
#include "api/function_name.h"
#include "log/assertion.h"
#include "log/event_tracing.h"
#include "log/log_categories.h"
#include "log/logger.h"
#include "plugin/memory_accounting.h"
#include "plugin/plugin_log_target.h"
#include "plugin/startup_figures.h"
#include "plugin/telemetry_sender.h"
#include "plugin/trace.h"
#include "value/page_reserve.h"

namespace Vane {

// The C entry points the host calls; each turns its plugin pointer back into the object.
struct PluginEntryPoints {
    static uint8_t PYX_CDECL Initialise(void* plugin, const HostContext* context) {
        if (!plugin) return 0;
        try {
            return static_cast<PluginBase*>(plugin)->Initialise(context) ? 1 : 0;
        } catch (const std::exception&) {
            return 0;
        }
    }

    static void PYX_CDECL ShutDown(void* plugin) {
        if (!plugin) return;
        auto* base = static_cast<PluginBase*>(plugin);
        base->stopping_.store(true, std::memory_order_release);
        try {
            base->Shutdown();
        } catch (const std::exception&) {
            // Shutting down regardless: the object goes below.
        }
        delete base;
        // The value pools keep a few empty regions for reuse while the plugin runs; once it is
        // gone they go back to the system.
        PageReserve::Instance().Trim();
        UnregisterEventTracing();
    }

    static void PYX_CDECL MemoryStatistics(void*, uint32_t out[14]) {
        if (out) FillMemoryStatistics(out);
    }
};

PluginBase::PluginBase() : timers_(std::string()), api_(std::make_unique<LocalApi>()) {
    callbacks_.initialise = &PluginEntryPoints::Initialise;
    callbacks_.shutdown = &PluginEntryPoints::ShutDown;
    callbacks_.memoryStatistics = &PluginEntryPoints::MemoryStatistics;
}

PluginBase::~PluginBase() {
    timers_.Shutdown();
}

void PluginBase::SetClock(TimerTable::Clock clock) {
    timers_.SetClock(std::move(clock));
}

void LoadPlugin(PluginBase* plugin, PluginLoadRecord* record, const char* shortName) {
    if (!plugin || !record) return;
    const PluginApiVersion core(record->apiMajor, record->apiMinor, record->apiPatch);
    const PluginApiVersion& own = OwnPluginApiVersion();
    const char* name = shortName ? shortName : "";
    if (!IsCompatiblePluginApi(core, own)) {
        const std::string message = FormatPositional(
            "%1 which supports plugin API %2 is not compatible with core's plugin API %3", name,
            own, core);
        // The report names the code and the versions only: where in the source the check
        // lives means nothing to whoever reads the host's log.
        ReportFatalError("ALE-EECF0606", message.c_str(), nullptr, 0, nullptr);
        std::fflush(stderr);
        std::abort();
    }
    // Process-wide set-up of the plugin's start: its own log category, in the first slot after
    // the preset ones, and the event-tracing providers, which the shut-down callback
    // unregisters again.
    CategoryBit("LOC");
    RegisterEventTracing();
    plugin->CompleteLoad(core, name);
    record->apiMajor = own.Major();
    record->apiMinor = own.Minor();
    record->apiPatch = own.Patch();
    record->callbacks = &plugin->callbacks_;
    record->plugin = plugin;
    record->shortName = plugin->shortName_.c_str();
    record->apiTable = plugin->ApiTable();
}

void PluginBase::CompleteLoad(const PluginApiVersion& coreVersion, const char* shortName) {
    coreVersion_ = coreVersion;
    shortName_ = shortName;
    timers_.SetShortName(shortName_);
    identity_ = MakePluginIdentity(shortName_, BackendPluginType());
    logContext_ = {"Plugins", "Plugin " + shortName_};
    apiPathPrefix_ = MakeFunctionName("", shortName_);
    RegisterBuiltins(Types());
    RegisterRuntimeTypes(Types());
    RegisterApi();
    MaybeType<Failure, std::unique_ptr<HostRouteTable>> table = BuildHostRouteTable(*api_);
    if (table.HasValue()) {
        routeTable_ = std::move(table.Value());
    } else {
        Log(kLogError, 0, 0, "%s: Couldn't build the route table: %s", shortName_.c_str(),
            table.GetFailure().Message().c_str());
    }
}

bool PluginBase::Initialise(const HostContext* context) {
    host_ = HostLink(context);
    timers_.Attach(host_);
    if (std::unique_ptr<PluginLogTarget> target = SetUpLogForwarding(host_)) {
        logTarget_ = std::move(target);
    }
    // The first place where a log line reaches the host.
    LogStartupFigures(shortName_);
    userAgent_ = FormatPositional("VaneClient/%1 (%2)", coreVersion_, shortName_);
    pluginHandle_ = host_.PluginHandle();
    telemetry_ = std::make_unique<TelemetrySender>(*this);
    RegisterServiceProxyEventHandler(
        "OnServiceProxyUuidEvent",
        [this](const PluginServiceProxyResponse& r) { HandleServiceProxyAnswer(r.uuid, r); }, 1);
    RegisterServiceProxyEventHandler(
        "OnServiceProxyMethodEvent",
        [this](const PluginServiceProxyResponse& r) {
            HandleServiceProxyAnswer(FormatPositional("%1.%2", r.serviceName, r.methodName), r);
        },
        1);
    RegisterServiceProxyEventHandler(
        "OnServiceProxyAsyncEvent",
        [this](const PluginServiceProxyResponse& r) { HandleServiceProxyAsync(r); }, 1);
    return Start();
}

void PluginBase::Shutdown() {
    for (const auto& [name, handler] : eventHandlers_) HostUnsubscribe(name.c_str());
    eventHandlers_.clear();
    std::map<std::string, ServiceProxyHandler> pending;
    std::map<std::string, ServiceProxyHandler> async;
    std::map<std::string, PluginServiceProxyResponse> received;
    {
        std::lock_guard<std::mutex> guard(serviceProxyMutex_);
        pending.swap(pendingServiceProxy_);
        async.swap(asyncServiceProxyHandlers_);
        received.swap(receivedServiceProxy_);
    }
    // The callbacks are destroyed here, outside the lock, without being called.
    timers_.ClearTimers();
    exactResourceHandlers_.clear();
    wildcardResourceHandlers_.clear();
}

void PluginBase::RegisterApi() {}

bool PluginBase::Start() {
    return true;
}

uint32_t PluginBase::SubscriptionCount(const std::string& eventName) const {
    auto it = subscriptions_.find(eventName);
    return it == subscriptions_.end() ? 0 : it->second;
}

// --- Host operations --------------------------------------------------------------------

bool PluginBase::HostRequest(HostResponseArea* response, HostRequestRecord* request) {
    return host_.Request(response, request);
}

bool PluginBase::HostFireEvent(const HostOutgoingEvent& event) {
    return host_.FireEvent(event);
}

bool PluginBase::HostSubscribe(const char* eventName, HostDispatchFn dispatch, void* context,
                               uint32_t flag) {
    return host_.Subscribe(eventName, dispatch, context, flag);
}

bool PluginBase::HostUnsubscribe(const char* eventName) {
    return host_.Unsubscribe(eventName);
}

bool PluginBase::HostSchedule(const char* name, HostScheduledFn callback, void* context,
                              double delaySeconds) {
    return host_.Schedule(name, callback, context, delaySeconds);
}

bool PluginBase::HostYield() {
    return host_.Yield();
}

bool PluginBase::HostLabel(const char* label) {
    return host_.Label(label);
}

uint64_t PluginBase::HostAfterYield() {
    return host_.AfterYield();
}

bool PluginBase::HostLog(const char* message, int32_t level) {
    return host_.Log(message, level);
}

// --- Timers and telemetry -----------------------------------------------------------------

uint64_t PluginBase::ScheduleCallback(const std::string& name, std::function<void()> callback,
                                      int64_t deadline) {
    return timers_.Schedule(name.c_str(), std::move(callback), deadline);
}

void PluginBase::StartTimer(const std::string& name, int64_t intervalNanoseconds,
                            std::function<void()> callback) {
    timers_.StartTimer(name, intervalNanoseconds, std::move(callback));
}

void PluginBase::StopTimer(const std::string& name) {
    timers_.StopTimer(name);
}

std::future<MaybeType<Failure, void>> PluginBase::PostTelemetryEvent(
    const std::string& name, const BindingProperty& parameters) {
    if (!telemetry_) {
        std::promise<MaybeType<Failure, void>> promise;
        promise.set_value(Failure(0, std::string("The plugin is not initialised")));
        return promise.get_future();
    }
    return telemetry_->PostTelemetryEvent(name, parameters);
}

void PluginBase::Trace(const char* format, std::initializer_list<std::string_view> args) const {
    TraceRuntime(format, args);
}

}  // namespace Vane
