// PluginBase's lifecycle: construction, the loader, the host's callbacks and Shutdown.
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

    // The host passes the plugin back as every event's context.
    template <class Payload>
    static void PYX_CDECL DispatchEvent(const HostIncomingEvent* event) {
        if (!event || !event->context || !event->eventName) return;
        static_cast<PluginBase*>(event->context)->events_.Deliver<Payload>(*event);
    }
};

PluginBase::PluginBase()
    : api_(std::make_unique<LocalApi>()),
      timers_(std::string()),
      events_(
          host_, shortName_, Types(),
          EventRouter::HostEntry{this, &PluginEntryPoints::DispatchEvent<PluginResourceEvent>,
                                 &PluginEntryPoints::DispatchEvent<PluginServiceProxyResponse>}),
      requests_(host_, Types(), timers_),
      resources_(events_, requests_, host_, Types(), shortName_),
      serviceProxy_(events_, requests_, timers_, Types(), shortName_, stopping_),
      telemetry_(requests_) {
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
    telemetry_.Attach();
    serviceProxy_.SubscribeAnswers();
    return Start();
}

void PluginBase::Shutdown() {
    events_.UnregisterAll();
    serviceProxy_.Clear();
    timers_.ClearTimers();
    resources_.ClearObservers();
}

void PluginBase::RegisterApi() {}

bool PluginBase::Start() {
    return true;
}

}  // namespace Vane
