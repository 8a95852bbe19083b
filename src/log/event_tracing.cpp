#include "log/event_tracing.h"

#include <cstring>

#include "util/lock.h"
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

namespace {

// The identities of the four providers, fixed for the life of the program so that trace
// sessions can name them.
const TraceProviderId kProviderIds[kTraceProviderCount] = {
    {0x5a1c0e31, 0x7d42, 0x4b8e, {0x9f, 0x13, 0x6c, 0x2d, 0x81, 0x47, 0xa0, 0x01}},
    {0x5a1c0e31, 0x7d42, 0x4b8e, {0x9f, 0x13, 0x6c, 0x2d, 0x81, 0x47, 0xa0, 0x02}},
    {0x5a1c0e31, 0x7d42, 0x4b8e, {0x9f, 0x13, 0x6c, 0x2d, 0x81, 0x47, 0xa0, 0x03}},
    {0x5a1c0e31, 0x7d42, 0x4b8e, {0x9f, 0x13, 0x6c, 0x2d, 0x81, 0x47, 0xa0, 0x04}}};

struct Registration {
    Mutex mutex;
    const EventTracingFunctions* replacement GUARDED_BY(mutex) = nullptr;
    bool active GUARDED_BY(mutex) = false;    // RegisterEventTracing found functions and ran
    bool complete GUARDED_BY(mutex) = false;  // and every provider was accepted
    EventTracingFunctions functions
        GUARDED_BY(mutex){};  // those the registered providers went through
    bool registered[kTraceProviderCount] GUARDED_BY(mutex) = {};
    uint64_t handles[kTraceProviderCount] GUARDED_BY(mutex) = {};
};

Registration& GetRegistration() {
    static Registration registration;
    return registration;
}

#ifdef _WIN32

using EventRegisterFn = ULONG(WINAPI*)(LPCGUID, PENABLECALLBACK, PVOID, PREGHANDLE);
using EventWriteFn = ULONG(WINAPI*)(REGHANDLE, PCEVENT_DESCRIPTOR, ULONG, PEVENT_DATA_DESCRIPTOR);
using EventUnregisterFn = ULONG(WINAPI*)(REGHANDLE);

constexpr uint32_t kMaxTraceFields = 8;
constexpr uint32_t kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER

struct Advapi32 {
    EventRegisterFn registerFn = nullptr;
    EventWriteFn writeFn = nullptr;
    EventUnregisterFn unregisterFn = nullptr;
};

// A function of the library, through the generic function type the compilers accept.
template <class Function>
Function Lookup(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

// Looked up once. The library stays loaded for the rest of the process: registered providers
// call back into it.
const Advapi32& GetAdvapi32() {
    static const Advapi32 functions = [] {
        Advapi32 found;
        HMODULE library = ::LoadLibraryA("Advapi32.dll");
        if (library == nullptr) return found;
        found.registerFn = Lookup<EventRegisterFn>(library, "EventRegister");
        found.writeFn = Lookup<EventWriteFn>(library, "EventWrite");
        found.unregisterFn = Lookup<EventUnregisterFn>(library, "EventUnregister");
        return found;
    }();
    return functions;
}

void NTAPI OnEnable(LPCGUID, ULONG controlCode, UCHAR level, ULONGLONG anyKeyword,
                    ULONGLONG allKeyword, PEVENT_FILTER_DESCRIPTOR, PVOID context) {
    static_cast<TraceProvider*>(context)->OnEnableCallback(controlCode, level, anyKeyword,
                                                           allKeyword);
}

uint32_t RegisterWithPlatform(const TraceProviderId* id, TraceProvider* provider,
                              uint64_t* handle) {
    GUID guid;
    guid.Data1 = id->data1;
    guid.Data2 = id->data2;
    guid.Data3 = id->data3;
    std::memcpy(guid.Data4, id->data4, sizeof guid.Data4);
    REGHANDLE registered = 0;
    ULONG result = GetAdvapi32().registerFn(&guid, &OnEnable, provider, &registered);
    *handle = registered;
    return result;
}

uint32_t WriteWithPlatform(uint64_t handle, const TraceEventDescriptor* event, uint32_t fieldCount,
                           const TraceDataField* fields) {
    if (fieldCount > kMaxTraceFields) return kInvalidParameter;
    EVENT_DESCRIPTOR descriptor;
    EventDescCreate(&descriptor, event->id, event->version, event->channel, event->level,
                    event->task, event->opcode, event->keyword);
    EVENT_DATA_DESCRIPTOR data[kMaxTraceFields];
    for (uint32_t i = 0; i < fieldCount; ++i) {
        EventDataDescCreate(&data[i], fields[i].data, fields[i].size);
    }
    return GetAdvapi32().writeFn(handle, &descriptor, fieldCount, data);
}

uint32_t UnregisterWithPlatform(uint64_t handle) {
    return GetAdvapi32().unregisterFn(handle);
}

// Advapi32's functions, or null when the library or one of them is missing.
const EventTracingFunctions* PlatformFunctions() {
    static const EventTracingFunctions functions = {&RegisterWithPlatform, &WriteWithPlatform,
                                                    &UnregisterWithPlatform};
    const Advapi32& advapi = GetAdvapi32();
    if (advapi.registerFn == nullptr || advapi.writeFn == nullptr ||
        advapi.unregisterFn == nullptr) {
        return nullptr;
    }
    return &functions;
}

#else

// No event tracing on this platform.
const EventTracingFunctions* PlatformFunctions() {
    return nullptr;
}

#endif

// The thread-name event for the calling thread, under the registration's lock.
bool WriteThreadName(Registration& registration, const char* text) REQUIRES(registration.mutex) {
    if (!registration.active || !registration.registered[1] ||
        !GetTraceProvider(1).IsEventEnabled(0)) {
        return false;
    }
    if (text == nullptr) text = "NULL";
    const uint32_t threadId = Platform::CurrentThreadId();
    const TraceDataField fields[2] = {{&threadId, sizeof threadId},
                                      {text, static_cast<uint32_t>(std::strlen(text) + 1)}};
    return registration.functions.write(registration.handles[1], &kThreadNameEvent, 2, fields) == 0;
}

}  // namespace

const EventTracingFunctions* SetEventTracingFunctions(const EventTracingFunctions* functions) {
    Registration& registration = GetRegistration();
    MutexLock guard(registration.mutex);
    const EventTracingFunctions* previous = registration.replacement;
    registration.replacement = functions;
    return previous;
}

bool RegisterEventTracing() {
    Registration& registration = GetRegistration();
    MutexLock guard(registration.mutex);
    if (registration.active) return registration.complete;
    const EventTracingFunctions* functions =
        registration.replacement != nullptr ? registration.replacement : PlatformFunctions();
    if (functions == nullptr) return false;
    registration.functions = *functions;
    registration.active = true;
    int accepted = 0;
    for (int i = 0; i < kTraceProviderCount; ++i) {
        registration.handles[i] = 0;
        registration.registered[i] =
            registration.functions.registerProvider(&kProviderIds[i], &GetTraceProvider(i),
                                                    &registration.handles[i]) == 0;
        accepted += registration.registered[i] ? 1 : 0;
    }
    registration.complete = accepted == kTraceProviderCount;
    WriteThreadName(registration, "Main thread");
    return registration.complete;
}

bool AnnounceThreadName(const char* name) {
    Registration& registration = GetRegistration();
    MutexLock guard(registration.mutex);
    return WriteThreadName(registration, name);
}

void UnregisterEventTracing() {
    Registration& registration = GetRegistration();
    MutexLock guard(registration.mutex);
    if (!registration.active) return;
    for (int i = 0; i < kTraceProviderCount; ++i) {
        if (registration.registered[i]) {
            registration.functions.unregisterProvider(registration.handles[i]);
        }
        registration.registered[i] = false;
        registration.handles[i] = 0;
        GetTraceProvider(i).OnEnableCallback(0, 0, 0, 0);
    }
    registration.active = false;
    registration.complete = false;
}

}  // namespace Vane
