// The program's event-tracing providers and the "Main thread" announcement.
//
// On Windows the platform's event tracing is looked up at run time in "Advapi32.dll"; four
// providers are registered and, when a session listens, the registering thread is announced
// as "Main thread". Elsewhere registration is skipped and the same calls do nothing, unless
// a test installed functions of its own (SetEventTracingFunctions).
#ifndef PYX_LOG_EVENT_TRACING_H_
#define PYX_LOG_EVENT_TRACING_H_

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace Vane {

inline constexpr int kTraceProviderCount = 4;

// The fixed description of one trace event.
struct TraceEventDescriptor {
    uint16_t id;
    uint8_t version;
    uint8_t channel;
    uint8_t level;
    uint8_t opcode;
    uint16_t task;
    uint64_t keyword;
};

// The thread-name event of the second provider.
inline constexpr TraceEventDescriptor kThreadNameEvent = {103, 0, 0, 0, 14, 2, 0x1};

// True when a provider enabled at providerLevel with the keyword masks anyKeyword and
// allKeyword wants event: level 0 or not below the event's level, and a keyword of 0 or one
// that meets anyKeyword and holds every bit of allKeyword.
bool TraceEventWanted(uint8_t providerLevel, uint64_t anyKeyword, uint64_t allKeyword,
                      const TraceEventDescriptor& event);

// What the platform last told one provider about its listeners, and which of its events
// (at most 64) are wanted. Safe to read from any thread while the callback updates it.
class TraceProvider {
  public:
    // A disabled provider owning the events [events, events + count); count is cut to 64.
    TraceProvider(const TraceEventDescriptor* events, size_t count);

    // The platform's enable callback: control code 1 enables with the given level and masks
    // and recomputes every event's enable bit; 0 disables and clears them all; other codes
    // (state capture requests) change nothing.
    void OnEnableCallback(uint32_t controlCode, uint8_t level, uint64_t anyKeyword,
                          uint64_t allKeyword);

    bool IsEnabled() const { return enabled_.load(std::memory_order_acquire); }
    uint8_t GetLevel() const { return level_.load(std::memory_order_relaxed); }
    uint64_t GetAnyKeyword() const { return anyKeyword_.load(std::memory_order_relaxed); }
    uint64_t GetAllKeyword() const { return allKeyword_.load(std::memory_order_relaxed); }
    // True when the event at index is wanted by a listener; false for an unknown index.
    bool IsEventEnabled(size_t index) const;

  private:
    const TraceEventDescriptor* events_;
    size_t count_;
    std::atomic<bool> enabled_{false};
    std::atomic<uint8_t> level_{0};
    std::atomic<uint64_t> anyKeyword_{0};
    std::atomic<uint64_t> allKeyword_{0};
    std::atomic<uint64_t> eventBits_{0};
};

// The program's providers, index 0..3; the second (index 1) carries the thread-name event.
TraceProvider& GetTraceProvider(int index);

// The identity of a trace provider, laid out as the platform's GUID.
struct TraceProviderId {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

// One field of an event's data: `size` bytes at `data`.
struct TraceDataField {
    const void* data;
    uint32_t size;
};

// The three platform functions event tracing goes through. On Windows they are those of
// "Advapi32.dll", looked up at run time so that the library never imports them; tests install
// their own. Each returns 0 on success, as the platform does.
struct EventTracingFunctions {
    // Registers the provider `id`; the platform hands its enable notifications to
    // provider->OnEnableCallback, possibly at once when a session already listens. Sets
    // *handle on success.
    uint32_t (*registerProvider)(const TraceProviderId* id, TraceProvider* provider,
                                 uint64_t* handle);
    // Writes `event` with the fields [fields, fields + fieldCount) for the provider `handle`.
    uint32_t (*write)(uint64_t handle, const TraceEventDescriptor* event, uint32_t fieldCount,
                      const TraceDataField* fields);
    // Unregisters the provider `handle`.
    uint32_t (*unregisterProvider)(uint64_t handle);
};

// Makes `functions` the ones the next RegisterEventTracing uses (null: the platform's again)
// and returns the previous replacement (null when the platform's were in use). Registered
// providers keep the functions they were registered with until they are unregistered. The
// table must stay valid until it is replaced and its providers are unregistered.
const EventTracingFunctions* SetEventTracingFunctions(const EventTracingFunctions* functions);

// Registers the four providers and, when the thread-name event is wanted, writes it once for
// the calling thread with the text "Main thread". True when all four were registered; false
// where event tracing is missing (always off Windows, unless functions were installed) or
// when the platform refused a provider (those it accepted stay registered). Calling it again
// while registered does nothing and gives the same answer.
bool RegisterEventTracing();

// Writes the thread-name event for the calling thread with the text `name` (a null name is
// written as "NULL") when the providers are registered and a listener wants the event. True
// when it was written.
bool AnnounceThreadName(const char* name);

// Unregisters the providers registered by RegisterEventTracing and forgets what their
// listeners asked for; otherwise nothing.
void UnregisterEventTracing();

}  // namespace Vane

#endif  // PYX_LOG_EVENT_TRACING_H_
