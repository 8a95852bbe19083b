// Counting stand-ins for the platform's event-tracing functions, on every platform.
//
// While a FakeEventTracing lives, RegisterEventTracing goes through it: it keeps every
// registration, write and unregistration, and can play a listening session by sending a
// provider its enable notification while it registers, as the platform does. One at a time.
#ifndef PYX_LOG_EVENT_TRACING_TEST_SUPPORT_H_
#define PYX_LOG_EVENT_TRACING_TEST_SUPPORT_H_

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "log/event_tracing.h"

namespace Vane::testing {

// What a listening session asks of a provider.
struct TraceSession {
    uint8_t level = 0;
    uint64_t anyKeyword = 0;
    uint64_t allKeyword = 0;
};

class FakeEventTracing {
  public:
    struct Registered {
        int provider;  // index of GetTraceProvider, -1 for another one
        TraceProviderId id;
        uint64_t handle;
    };
    struct Written {
        uint64_t handle;
        TraceEventDescriptor event;
        std::vector<uint32_t> fieldSizes;
        uint32_t threadId = 0;    // the first field, when it is four bytes
        std::string text;         // the second field up to its terminating NUL
        bool terminated = false;  // the second field ends with a NUL
    };

    FakeEventTracing() {
        Instance() = this;
        previous_ = SetEventTracingFunctions(&kFunctions);
    }
    ~FakeEventTracing() {
        UnregisterEventTracing();
        SetEventTracingFunctions(previous_);
        Instance() = nullptr;
    }
    FakeEventTracing(const FakeEventTracing&) = delete;
    FakeEventTracing& operator=(const FakeEventTracing&) = delete;

    // Provider `index` is enabled by `session` as it registers.
    void ListenAtRegistration(int index, TraceSession session) { sessions_.at(index) = session; }
    // Registering provider `index` fails.
    void Refuse(int index) { refused_.at(index) = true; }

    std::vector<Registered> registrations;
    std::vector<Written> writes;
    std::vector<uint64_t> unregistered;

  private:
    static FakeEventTracing*& Instance() {
        static FakeEventTracing* instance = nullptr;
        return instance;
    }

    static int IndexOf(const TraceProvider* provider) {
        for (int i = 0; i < kTraceProviderCount; ++i) {
            if (&GetTraceProvider(i) == provider) return i;
        }
        return -1;
    }

    static uint32_t Register(const TraceProviderId* id, TraceProvider* provider, uint64_t* handle) {
        FakeEventTracing& fake = *Instance();
        const int index = IndexOf(provider);
        if (index >= 0 && fake.refused_[index]) return 5;  // access denied
        *handle = 0x7000 + fake.registrations.size();
        fake.registrations.push_back({index, *id, *handle});
        if (index >= 0 && fake.sessions_[index]) {
            const TraceSession& session = *fake.sessions_[index];
            provider->OnEnableCallback(1, session.level, session.anyKeyword, session.allKeyword);
        }
        return 0;
    }

    static uint32_t Write(uint64_t handle, const TraceEventDescriptor* event, uint32_t fieldCount,
                          const TraceDataField* fields) {
        Written written{handle, *event, {}};
        for (uint32_t i = 0; i < fieldCount; ++i) written.fieldSizes.push_back(fields[i].size);
        if (fieldCount > 0 && fields[0].size == sizeof(uint32_t)) {
            std::memcpy(&written.threadId, fields[0].data, sizeof(uint32_t));
        }
        if (fieldCount > 1 && fields[1].size > 0) {
            const char* text = static_cast<const char*>(fields[1].data);
            written.terminated = text[fields[1].size - 1] == '\0';
            written.text.assign(text, written.terminated ? fields[1].size - 1 : fields[1].size);
        }
        Instance()->writes.push_back(written);
        return 0;
    }

    static uint32_t Unregister(uint64_t handle) {
        Instance()->unregistered.push_back(handle);
        return 0;
    }

    static constexpr EventTracingFunctions kFunctions = {&Register, &Write, &Unregister};

    const EventTracingFunctions* previous_ = nullptr;
    std::array<std::optional<TraceSession>, kTraceProviderCount> sessions_{};
    std::array<bool, kTraceProviderCount> refused_{};
};

}  // namespace Vane::testing

#endif  // PYX_LOG_EVENT_TRACING_TEST_SUPPORT_H_
