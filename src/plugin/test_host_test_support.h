// A host for the plugin's own tests: the ten host operations as a C table over a virtual
// clock, a scheduler queue the test advances, a resource table for GETs, a service-proxy
// fake, and records of everything the plugin hands over (copied, since the plugin's data is
// only valid during the call).
#ifndef PYX_PLUGIN_TEST_HOST_TEST_SUPPORT_H_
#define PYX_PLUGIN_TEST_HOST_TEST_SUPPORT_H_

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "pyx/host_abi.h"

namespace Vane::testing {

struct TestMember;

// An owned copy of a HostValue tree.
struct TestValue {
    uint32_t type = kHostValueNone;
    bool boolean = false;
    int64_t i64 = 0;
    uint64_t u64 = 0;
    double f64 = 0;
    std::string text;  // strings and blobs
    std::vector<TestValue> items;
    std::vector<TestMember> members;

    // An owned string value.
    static TestValue String(std::string s);

    // Copies a value the plugin handed over; owned and borrowed forms copy alike.
    static TestValue Copy(const HostValue& in);
};

struct TestMember {
    std::string name;
    TestValue value;
};

inline TestValue TestValue::String(std::string s) {
    TestValue v;
    v.type = kHostValueStringOwned;
    v.text = std::move(s);
    return v;
}

inline TestValue TestValue::Copy(const HostValue& in) {
    TestValue v;
    v.type = in.type;
    switch (in.type) {
        case kHostValueBool:
            v.boolean = in.payload.boolean != 0;
            break;
        case kHostValueSigned:
            v.i64 = in.payload.i64;
            break;
        case kHostValueUnsigned:
            v.u64 = in.payload.u64;
            break;
        case kHostValueFloat:
            v.f64 = in.payload.f64;
            break;
        case kHostValueStringBorrowed:
        case kHostValueStringOwned:
            v.type = kHostValueStringOwned;
            if (in.payload.string.chars != nullptr)
                v.text.assign(in.payload.string.chars, in.payload.string.length);
            break;
        case kHostValueBlobBorrowed:
        case kHostValueBlobOwned:
            v.type = kHostValueBlobOwned;
            if (in.payload.blob.bytes != nullptr)
                v.text.assign(reinterpret_cast<const char*>(in.payload.blob.bytes),
                              in.payload.blob.size);
            break;
        case kHostValueCollection:
            for (uint32_t i = 0;
                 in.payload.collection.items != nullptr && i < in.payload.collection.count; ++i) {
                v.items.push_back(Copy(in.payload.collection.items[i]));
            }
            break;
        case kHostValueStructure:
            for (uint32_t i = 0;
                 in.payload.structure.members != nullptr && i < in.payload.structure.count; ++i) {
                const HostMember& m = in.payload.structure.members[i];
                v.members.push_back({m.name != nullptr ? m.name : "", Copy(m.value)});
            }
            break;
        default:
            v.type = kHostValueNone;
            break;
    }
    return v;
}

// Keeps host-side HostValue trees alive for the host's lifetime (the plugin may read them
// only during the call that carried them, so keeping them longer is always safe).
class TestValueArena {
  public:
    HostValue Build(const TestValue& v) {
        HostValue out{};
        out.type = v.type;
        switch (v.type) {
            case kHostValueBool:
                out.payload.boolean = v.boolean ? 1 : 0;
                break;
            case kHostValueSigned:
                out.payload.i64 = v.i64;
                break;
            case kHostValueUnsigned:
                out.payload.u64 = v.u64;
                break;
            case kHostValueFloat:
                out.payload.f64 = v.f64;
                break;
            case kHostValueStringBorrowed:
            case kHostValueStringOwned: {
                out.type = kHostValueStringBorrowed;
                const std::string& s =
                    *strings_.emplace_back(std::make_unique<std::string>(v.text));
                out.payload.string = {s.c_str(), static_cast<uint32_t>(s.size())};
                break;
            }
            case kHostValueBlobBorrowed:
            case kHostValueBlobOwned: {
                out.type = kHostValueBlobBorrowed;
                const std::string& s =
                    *strings_.emplace_back(std::make_unique<std::string>(v.text));
                out.payload.blob = {reinterpret_cast<const uint8_t*>(s.data()),
                                    static_cast<uint32_t>(s.size())};
                break;
            }
            case kHostValueCollection: {
                // A raw pointer: nested values append to values_ and may move its unique_ptrs.
                std::vector<HostValue>* items =
                    values_.emplace_back(std::make_unique<std::vector<HostValue>>()).get();
                for (const TestValue& item : v.items) items->push_back(Build(item));
                out.payload.collection = {items->data(), static_cast<uint32_t>(items->size())};
                break;
            }
            case kHostValueStructure: {
                std::vector<HostMember>* members =
                    members_.emplace_back(std::make_unique<std::vector<HostMember>>()).get();
                for (const auto& [name, value] : v.members) {
                    const std::string& n =
                        *strings_.emplace_back(std::make_unique<std::string>(name));
                    members->push_back(HostMember{n.c_str(), Build(value), 0});
                }
                out.payload.structure = {members->data(), static_cast<uint32_t>(members->size())};
                break;
            }
            default:
                out.type = kHostValueNone;
                break;
        }
        return out;
    }

    const char* Text(std::string s) {
        return strings_.emplace_back(std::make_unique<std::string>(std::move(s)))->c_str();
    }

  private:
    std::vector<std::unique_ptr<std::string>> strings_;
    std::vector<std::unique_ptr<std::vector<HostValue>>> values_;
    std::vector<std::unique_ptr<std::vector<HostMember>>> members_;
};

struct RecordedRequest {
    uint32_t method;
    std::string url;
    std::vector<std::pair<std::string, TestValue>> arguments;  // empty name: positional
    uint32_t pluginHandle;
};

struct FiredEvent {
    std::string name;
    TestValue payload;
    uint32_t flags;
};

struct HostLogLine {
    std::string message;
    int32_t level;
};

struct Subscription {
    uint32_t pluginHandle;
    HostDispatchFn dispatch;
    void* context;
    uint32_t flag;
};

// The test host. Thread-safe: the plugin may call it from any thread while the test
// advances time; scheduled callbacks run on the thread that calls AdvanceTime, outside the
// host's lock.
class TestHost {
  public:
    static constexpr uint32_t kPluginHandle = 7;
    static constexpr const char* kServiceProxyUuidPath =
        "/pyx-login/v1/service-proxy-uuid-requests";

    // Answers a service-proxy POST (service, method, payload) with the uuid to return.
    using ServiceProxyHook = std::function<std::string(
        const std::string& service, const std::string& method, const std::string& payload)>;

    TestHost() {
        table_.owner = this;
        HostCore& t = table_.core;
        t.request = &OnRequest;
        t.unused1 = &OnUnused;
        t.fireEvent = &OnFireEvent;
        t.subscribe = &OnSubscribe;
        t.unsubscribe = &OnUnsubscribe;
        t.schedule = &OnSchedule;
        t.yield = &OnYield;
        t.label = &OnLabel;
        t.afterYield = &OnAfterYield;
        t.log = &OnLog;
        context_.core = &table_.core;
        context_.pluginHandle = kPluginHandle;
    }
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // The context the host hands to the plugin's initialise callback.
    const HostContext* Context() const { return &context_; }

    // Leaves `operation` empty in the table, as a host that does not offer it: the plugin
    // must then get along without it. Not while the plugin may be calling the host.
    template <class Operation>
    void RemoveOperation(Operation HostCore::*operation) {
        table_.core.*operation = nullptr;
    }

    // Virtual monotonic clock in nanoseconds.
    int64_t NowNanoseconds() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return now_;
    }

    // Moves the clock forward by `seconds`, running every scheduled callback that falls due
    // on the way, in order of due time (then of scheduling), each at its own due time;
    // callbacks scheduled meanwhile run too when they fall due before the end. Returns the
    // number of callbacks run.
    int AdvanceTime(double seconds) {
        std::unique_lock<std::mutex> lock(mutex_);
        const int64_t end = now_ + static_cast<int64_t>(seconds * 1e9);
        int ran = 0;
        for (;;) {
            auto next = queue_.begin();
            if (next == queue_.end() || next->first.first > end) break;
            Scheduled item = next->second;
            if (next->first.first > now_) now_ = next->first.first;
            queue_.erase(next);
            lock.unlock();
            item.callback(item.context);
            ++ran;
            lock.lock();
        }
        if (end > now_) now_ = end;
        return ran;
    }

    // Scheduled callbacks not yet run.
    size_t PendingCount() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return queue_.size();
    }
    // Names and delays of every schedule call, in order.
    std::vector<std::pair<std::string, double>> ScheduleCalls() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return scheduleCalls_;
    }
    // Drops every pending callback without running it.
    void DropPending() {
        std::lock_guard<std::mutex> guard(mutex_);
        queue_.clear();
    }

    // Sets the body a GET of `url` answers with.
    void SetResource(const std::string& url, TestValue value) {
        std::lock_guard<std::mutex> guard(mutex_);
        resources_[url] = std::move(value);
    }
    // Answers requests before the built-in rules (service proxy, resources, 404): a hook that
    // returns true has filled the response itself (BuildValue / KeepText keep what it hands
    // over alive). Called without the host's lock.
    using RequestHook = std::function<bool(const RecordedRequest&, HostResponseArea*)>;
    void SetRequestHook(RequestHook hook) {
        std::lock_guard<std::mutex> guard(mutex_);
        requestHook_ = std::move(hook);
    }
    // A host value that stays valid as long as the host.
    HostValue BuildValue(const TestValue& value) {
        std::lock_guard<std::mutex> guard(mutex_);
        return arena_.Build(value);
    }
    // A text that stays valid as long as the host.
    const char* KeepText(std::string text) {
        std::lock_guard<std::mutex> guard(mutex_);
        return arena_.Text(std::move(text));
    }
    // Removes the answer of a GET of `url`.
    void RemoveResource(const std::string& url) {
        std::lock_guard<std::mutex> guard(mutex_);
        resources_.erase(url);
    }
    void SetServiceProxyHook(ServiceProxyHook hook) {
        std::lock_guard<std::mutex> guard(mutex_);
        serviceProxy_ = std::move(hook);
    }
    void SetAfterYieldValue(uint64_t value) {
        std::lock_guard<std::mutex> guard(mutex_);
        afterYield_ = value;
    }

    // Whether fired events are copied for Events() (the default). Off, they are only counted,
    // so that long runs (benchmarks) stay flat in time and memory.
    void SetRecordEvents(bool record) {
        std::lock_guard<std::mutex> guard(mutex_);
        recordEvents_ = record;
    }
    // Every event fired, recorded or not.
    size_t FiredEventCount() const { return Locked(firedEventCount_); }

    std::vector<RecordedRequest> Requests() const { return Locked(requests_); }
    std::vector<FiredEvent> Events() const { return Locked(events_); }
    std::vector<HostLogLine> LogLines() const { return Locked(logLines_); }
    std::vector<std::string> Labels() const { return Locked(labels_); }
    std::map<std::string, Subscription> Subscriptions() const { return Locked(subscriptions_); }
    int YieldCount() const { return Locked(yields_); }

    // Delivers an event to the plugin's subscription for `name`; false when there is none.
    bool Deliver(const std::string& name, const TestValue& payload) {
        HostIncomingEvent event{};
        Subscription subscription{};
        {
            std::lock_guard<std::mutex> guard(mutex_);
            auto it = subscriptions_.find(name);
            if (it == subscriptions_.end() || it->second.dispatch == nullptr) return false;
            subscription = it->second;
            event.eventName = arena_.Text(name);
            event.payload = arena_.Build(payload);
        }
        event.context = subscription.context;
        subscription.dispatch(&event);
        return true;
    }

  private:
    struct Table {
        HostCore core;  // first member: the table's address is the Table's address
        TestHost* owner;
    };
    struct Scheduled {
        HostScheduledFn callback;
        void* context;
    };

    template <class T>
    T Locked(const T& field) const {
        std::lock_guard<std::mutex> guard(mutex_);
        return field;
    }

    static TestHost& Self(const HostCore* core) {
        return *reinterpret_cast<const Table*>(core)->owner;
    }

    static void OnRequest(const HostCore* core, HostResponseArea* response,
                          const HostRequestRecord* request) {
        TestHost& host = Self(core);
        RecordedRequest recorded{
            request->method, request->url ? request->url : "", {}, request->pluginHandle};
        for (uint32_t i = 0; request->arguments != nullptr && i < request->argumentCount; ++i) {
            const HostArgument& a = request->arguments[i];
            recorded.arguments.emplace_back(a.name ? a.name : "", TestValue::Copy(a.value));
        }
        std::unique_lock<std::mutex> lock(host.mutex_);
        host.requests_.push_back(recorded);
        if (host.requestHook_) {
            auto hook = host.requestHook_;
            lock.unlock();
            if (hook(recorded, response)) return;
            lock.lock();
        }
        if (recorded.method == 6 && recorded.url == kServiceProxyUuidPath && host.serviceProxy_) {
            auto hook = host.serviceProxy_;
            lock.unlock();
            auto text = [&](size_t i) {
                return i < recorded.arguments.size() ? recorded.arguments[i].second.text
                                                     : std::string();
            };
            std::string uuid = hook(text(0), text(1), text(2));
            lock.lock();
            response->body = host.arena_.Build(TestValue::String(uuid));
            response->status = 200;
            return;
        }
        auto it = host.resources_.find(recorded.url);
        if (recorded.method == 2 && it != host.resources_.end()) {
            response->body = host.arena_.Build(it->second);
            response->status = 200;
            return;
        }
        response->error = host.arena_.Text("Not found: " + recorded.url);
        response->status = 404;
    }
    static void OnUnused(const HostCore*, uint32_t, uint32_t) {}
    static void OnFireEvent(const HostCore* core, const HostOutgoingEvent* event) {
        TestHost& host = Self(core);
        {
            std::lock_guard<std::mutex> guard(host.mutex_);
            ++host.firedEventCount_;
            if (!host.recordEvents_) return;
        }
        FiredEvent fired{event->eventName ? event->eventName : "", TestValue::Copy(event->payload),
                         event->flags};
        std::lock_guard<std::mutex> guard(host.mutex_);
        host.events_.push_back(std::move(fired));
    }
    static void OnSubscribe(const HostCore* core, const char* name, uint32_t handle,
                            HostDispatchFn dispatch, void* context, uint32_t flag) {
        TestHost& host = Self(core);
        std::lock_guard<std::mutex> guard(host.mutex_);
        host.subscriptions_[name] = Subscription{handle, dispatch, context, flag};
    }
    static void OnUnsubscribe(const HostCore* core, const char* name, uint32_t) {
        TestHost& host = Self(core);
        std::lock_guard<std::mutex> guard(host.mutex_);
        host.subscriptions_.erase(name);
    }
    static void OnSchedule(const HostCore* core, const char* name, HostScheduledFn callback,
                           void* context, double delaySeconds, uint32_t) {
        TestHost& host = Self(core);
        std::lock_guard<std::mutex> guard(host.mutex_);
        host.scheduleCalls_.emplace_back(name ? name : "", delaySeconds);
        const int64_t due = host.now_ + static_cast<int64_t>(delaySeconds * 1e9);
        host.queue_.emplace(std::make_pair(due, host.sequence_++), Scheduled{callback, context});
    }
    static void OnYield(const HostCore* core) {
        TestHost& host = Self(core);
        std::lock_guard<std::mutex> guard(host.mutex_);
        ++host.yields_;
    }
    static void OnLabel(const HostCore* core, const char* label, uint32_t) {
        TestHost& host = Self(core);
        std::lock_guard<std::mutex> guard(host.mutex_);
        host.labels_.emplace_back(label ? label : "");
    }
    static uint64_t OnAfterYield(const HostCore* core) {
        TestHost& host = Self(core);
        std::lock_guard<std::mutex> guard(host.mutex_);
        return host.afterYield_;
    }
    static void OnLog(const HostCore* core, const char* message, int32_t level) {
        TestHost& host = Self(core);
        std::lock_guard<std::mutex> guard(host.mutex_);
        host.logLines_.push_back({message ? message : "", level});
    }

    Table table_{};
    HostContext context_{};
    mutable std::mutex mutex_;
    int64_t now_ = 0;
    uint64_t sequence_ = 0;
    std::map<std::pair<int64_t, uint64_t>, Scheduled> queue_;
    std::vector<std::pair<std::string, double>> scheduleCalls_;
    std::map<std::string, TestValue> resources_;
    ServiceProxyHook serviceProxy_;
    RequestHook requestHook_;
    uint64_t afterYield_ = 0;
    std::vector<RecordedRequest> requests_;
    std::vector<FiredEvent> events_;
    bool recordEvents_ = true;
    size_t firedEventCount_ = 0;
    std::vector<HostLogLine> logLines_;
    std::vector<std::string> labels_;
    std::map<std::string, Subscription> subscriptions_;
    int yields_ = 0;
    TestValueArena arena_;
};

}  // namespace Vane::testing

#endif  // PYX_PLUGIN_TEST_HOST_TEST_SUPPORT_H_
