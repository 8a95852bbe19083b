#include "log/event_tracing.h"

#include <cstring>
#include <mutex>

#include "util/platform.h"

#ifdef _WIN32
#include <windows.h>

// Needs the types of windows.h first.
#include <evntprov.h>
#endif

namespace Vane {

namespace {

const TraceEventDescriptor kSecondProviderEvents[] = {kThreadNameEvent};

}  // namespace

bool TraceEventWanted(uint8_t providerLevel, uint64_t anyKeyword, uint64_t allKeyword,
                      const TraceEventDescriptor& event) {
    bool levelWanted = providerLevel == 0 || providerLevel >= event.level;
    bool keywordWanted = event.keyword == 0 || ((event.keyword & anyKeyword) != 0 &&
                                                (event.keyword & allKeyword) == allKeyword);
    return levelWanted && keywordWanted;
}

TraceProvider::TraceProvider(const TraceEventDescriptor* events, size_t count)
    : events_(events), count_(events != nullptr ? (count < 64 ? count : 64) : 0) {}

void TraceProvider::OnEnableCallback(uint32_t controlCode, uint8_t level, uint64_t anyKeyword,
                                     uint64_t allKeyword) {
    if (controlCode == 0) {
        enabled_.store(false, std::memory_order_release);
        eventBits_.store(0, std::memory_order_release);
        return;
    }
    if (controlCode != 1) return;
    level_.store(level, std::memory_order_relaxed);
    anyKeyword_.store(anyKeyword, std::memory_order_relaxed);
    allKeyword_.store(allKeyword, std::memory_order_relaxed);
    uint64_t bits = 0;
    for (size_t i = 0; i < count_; ++i) {
        if (TraceEventWanted(level, anyKeyword, allKeyword, events_[i])) bits |= uint64_t{1} << i;
    }
    eventBits_.store(bits, std::memory_order_release);
    enabled_.store(true, std::memory_order_release);
}

bool TraceProvider::IsEventEnabled(size_t index) const {
    return index < count_ && (eventBits_.load(std::memory_order_acquire) >> index & 1) != 0;
}

TraceProvider& GetTraceProvider(int index) {
    static TraceProvider providers[kTraceProviderCount] = {
        {nullptr, 0}, {kSecondProviderEvents, 1}, {nullptr, 0}, {nullptr, 0}};
    if (index < 0 || index >= kTraceProviderCount) index = 0;
    return providers[index];
}

#ifdef _WIN32

namespace {

using EventRegisterFn = ULONG(WINAPI*)(LPCGUID, PENABLECALLBACK, PVOID, PREGHANDLE);
using EventWriteFn = ULONG(WINAPI*)(REGHANDLE, PCEVENT_DESCRIPTOR, ULONG, PEVENT_DATA_DESCRIPTOR);
using EventUnregisterFn = ULONG(WINAPI*)(REGHANDLE);

const GUID kProviderIds[kTraceProviderCount] = {
    {0x5a1c0e31, 0x7d42, 0x4b8e, {0x9f, 0x13, 0x6c, 0x2d, 0x81, 0x47, 0xa0, 0x01}},
    {0x5a1c0e31, 0x7d42, 0x4b8e, {0x9f, 0x13, 0x6c, 0x2d, 0x81, 0x47, 0xa0, 0x02}},
    {0x5a1c0e31, 0x7d42, 0x4b8e, {0x9f, 0x13, 0x6c, 0x2d, 0x81, 0x47, 0xa0, 0x03}},
    {0x5a1c0e31, 0x7d42, 0x4b8e, {0x9f, 0x13, 0x6c, 0x2d, 0x81, 0x47, 0xa0, 0x04}}};

struct Registration {
    std::mutex mutex;
    bool registered = false;
    EventWriteFn write = nullptr;
    EventUnregisterFn unregister = nullptr;
    REGHANDLE handles[kTraceProviderCount] = {};
};

Registration& GetRegistration() {
    static Registration registration;
    return registration;
}

// A function of the library, through the generic function type the compilers accept.
template <class Function>
Function Lookup(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

void NTAPI OnEnable(LPCGUID, ULONG controlCode, UCHAR level, ULONGLONG anyKeyword,
                    ULONGLONG allKeyword, PEVENT_FILTER_DESCRIPTOR, PVOID context) {
    static_cast<TraceProvider*>(context)->OnEnableCallback(controlCode, level, anyKeyword,
                                                           allKeyword);
}

void WriteThreadName(Registration& registration, const char* text) {
    if (text == nullptr) text = "NULL";
    UINT32 threadId = Platform::CurrentThreadId();
    EVENT_DESCRIPTOR descriptor;
    EventDescCreate(&descriptor, kThreadNameEvent.id, kThreadNameEvent.version,
                    kThreadNameEvent.channel, kThreadNameEvent.level, kThreadNameEvent.task,
                    kThreadNameEvent.opcode, kThreadNameEvent.keyword);
    EVENT_DATA_DESCRIPTOR data[2];
    EventDataDescCreate(&data[0], &threadId, sizeof threadId);
    EventDataDescCreate(&data[1], text, static_cast<ULONG>(strlen(text) + 1));
    registration.write(registration.handles[1], &descriptor, 2, data);
}

}  // namespace

bool RegisterEventTracing() {
    Registration& registration = GetRegistration();
    std::lock_guard<std::mutex> guard(registration.mutex);
    if (registration.registered) return true;
    HMODULE library = ::LoadLibraryA("Advapi32.dll");
    if (library == nullptr) return false;
    auto registerFn = Lookup<EventRegisterFn>(library, "EventRegister");
    auto writeFn = Lookup<EventWriteFn>(library, "EventWrite");
    auto unregisterFn = Lookup<EventUnregisterFn>(library, "EventUnregister");
    if (registerFn == nullptr || writeFn == nullptr || unregisterFn == nullptr) return false;
    registration.write = writeFn;
    registration.unregister = unregisterFn;
    for (int i = 0; i < kTraceProviderCount; ++i) {
        registration.handles[i] = 0;
        registerFn(&kProviderIds[i], &OnEnable, &GetTraceProvider(i), &registration.handles[i]);
    }
    registration.registered = true;
    if (GetTraceProvider(1).IsEventEnabled(0)) WriteThreadName(registration, "Main thread");
    return true;
}

void UnregisterEventTracing() {
    Registration& registration = GetRegistration();
    std::lock_guard<std::mutex> guard(registration.mutex);
    if (!registration.registered) return;
    for (int i = 0; i < kTraceProviderCount; ++i) {
        if (registration.handles[i] != 0) registration.unregister(registration.handles[i]);
        registration.handles[i] = 0;
        GetTraceProvider(i).OnEnableCallback(0, 0, 0, 0);
    }
    registration.registered = false;
}

#else

bool RegisterEventTracing() {
    return false;
}

void UnregisterEventTracing() {}

#endif

}  // namespace Vane
