#include "devhost/host_operations.h"

#include <cstdio>
#include <exception>

namespace Vane::DevHost {
namespace {

HostOperations& Owner(const HostCore* core) {
    return *reinterpret_cast<const HostCoreRecord*>(core)->owner;
}

void Report(const char* operation) {
    try {
        throw;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "devhost: host operation %s failed: %s\n", operation, error.what());
    } catch (...) {
        std::fprintf(stderr, "devhost: host operation %s failed\n", operation);
    }
}

// Runs `f`, reporting anything thrown instead of letting it cross into the plugin.
template <class F>
void Guarded(const char* operation, F&& f) noexcept {
    try {
        f();
    } catch (...) {
        Report(operation);
    }
}

void PYX_CDECL OnRequest(const HostCore* core, HostResponseArea* response,
                         const HostRequestRecord* request) {
    if (response == nullptr) return;
    if (request == nullptr) {
        response->error = "Request record missing";
        response->status = 400;
        return;
    }
    try {
        Owner(core).Request(*response, *request);
    } catch (...) {
        Report("request");
        response->error = "The development host failed while answering the request";
        response->status = 500;
    }
}

void PYX_CDECL OnUnused(const HostCore*, uint32_t, uint32_t) {}

void PYX_CDECL OnFireEvent(const HostCore* core, const HostOutgoingEvent* event) {
    if (event == nullptr) return;
    Guarded("fire event", [&] { Owner(core).FireEvent(*event); });
}

void PYX_CDECL OnSubscribe(const HostCore* core, const char* eventName, uint32_t pluginHandle,
                           HostDispatchFn dispatch, void* context, uint32_t flag) {
    if (eventName == nullptr) return;
    Guarded("subscribe",
            [&] { Owner(core).Subscribe(eventName, pluginHandle, dispatch, context, flag); });
}

void PYX_CDECL OnUnsubscribe(const HostCore* core, const char* eventName, uint32_t pluginHandle) {
    if (eventName == nullptr) return;
    Guarded("unsubscribe", [&] { Owner(core).Unsubscribe(eventName, pluginHandle); });
}

void PYX_CDECL OnSchedule(const HostCore* core, const char* name, HostScheduledFn callback,
                          void* context, double delaySeconds, uint32_t) {
    if (callback == nullptr) return;
    Guarded("schedule", [&] {
        Owner(core).Schedule(name != nullptr ? name : "", callback, context, delaySeconds);
    });
}

void PYX_CDECL OnYield(const HostCore* core) {
    Guarded("yield", [&] { Owner(core).YieldTurn(); });
}

void PYX_CDECL OnLabel(const HostCore* core, const char* label, uint32_t) {
    Guarded("label", [&] { Owner(core).Label(label != nullptr ? label : ""); });
}

uint64_t PYX_CDECL OnAfterYield(const HostCore* core) {
    uint64_t value = 0;
    Guarded("after yield", [&] { value = Owner(core).AfterYield(); });
    return value;
}

void PYX_CDECL OnLog(const HostCore* core, const char* message, int32_t level) {
    Guarded("log", [&] { Owner(core).Log(message != nullptr ? message : "", level); });
}

}  // namespace

HostCoreTable::HostCoreTable(HostOperations& operations) : table_{} {
    table_.owner = &operations;
    HostCore& core = table_.core;
    core.request = &OnRequest;
    core.unused1 = &OnUnused;
    core.fireEvent = &OnFireEvent;
    core.subscribe = &OnSubscribe;
    core.unsubscribe = &OnUnsubscribe;
    core.schedule = &OnSchedule;
    core.yield = &OnYield;
    core.label = &OnLabel;
    core.afterYield = &OnAfterYield;
    core.log = &OnLog;
}

}  // namespace Vane::DevHost
