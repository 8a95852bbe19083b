#include "plugin/timers.h"

#include <chrono>
#include <limits>
#include <map>
#include <optional>
#include <unordered_map>
#include <utility>

#include "log/log_categories.h"
#include "log/logger.h"
#include "util/lock.h"

namespace Vane {
namespace timers_detail {

// What a repeating timer schedules with the host for one tick.
struct TickClosure {
    std::string name;
    uint64_t generation = 0;
    TimerTable::Callback callback;
};

struct TimerRecord {
    std::string name;
    TimerTable::Callback callback;
    TickClosure tick;
    int64_t nextDeadline = 0;
    int64_t interval = 0;
    uint64_t generation = 0;
};

struct ScheduledEntry {
    uint64_t id;
    uintptr_t token;
    TimerTable::Callback callback;
};

struct TimerState {
    std::string shortName;
    TimerTable::Clock clock;

    // Guards the host copy, the scheduled-callback table, its id counter and `closed`.
    CriticalSection lock;
    HostLink host;
    uint64_t nextId = 1;
    bool closed = false;
    std::unordered_map<uint64_t, ScheduledEntry> scheduled;

    // Host thread only.
    std::map<std::string, TimerRecord> timers;
    // Shared by all names so that a timer stopped and started again never reuses the
    // generation of a tick that is still pending.
    uint64_t lastGeneration = 0;
};

namespace {

// Where a token handed to the host leads.
struct Route {
    std::weak_ptr<TimerState> state;
    uint64_t id;
};

// Process-wide table of tokens handed to the host as callback contexts. It is never
// destroyed, so a callback the host delivers at any time finds either its route or nothing.
class RouteTable {
  public:
    static RouteTable& Instance() {
        static RouteTable* table = new RouteTable;
        return *table;
    }

    // A fresh non-zero token leading to (state, id).
    uintptr_t Add(std::weak_ptr<TimerState> state, uint64_t id) {
        ScopedLock guard(lock_);
        uintptr_t token;
        do {
            token = ++last_;
        } while (token == 0 || routes_.count(token) != 0);
        routes_.emplace(token, Route{std::move(state), id});
        return token;
    }

    // Removes the token and returns its route; nothing when it is unknown.
    std::optional<Route> Take(uintptr_t token) {
        ScopedLock guard(lock_);
        auto it = routes_.find(token);
        if (it == routes_.end()) return std::nullopt;
        Route route = std::move(it->second);
        routes_.erase(it);
        return route;
    }

    // Forgets the tokens of `entries`.
    void Remove(const std::unordered_map<uint64_t, ScheduledEntry>& entries) {
        ScopedLock guard(lock_);
        for (const auto& [id, entry] : entries) routes_.erase(entry.token);
    }

  private:
    // Guards the token counter and the routes.
    CriticalSection lock_;
    uintptr_t last_ = 0;
    std::unordered_map<uintptr_t, Route> routes_;
};

int64_t SteadyNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t SaturatingAdd(int64_t a, int64_t b) {
    int64_t sum;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    }
    return sum;
}

// Seconds from now to deadline; never negative.
double DelaySeconds(int64_t deadline, int64_t now) {
    int64_t difference;
    if (__builtin_sub_overflow(deadline, now, &difference)) {
        return deadline > now ? static_cast<double>(std::numeric_limits<int64_t>::max()) * 1e-9
                              : 0.0;
    }
    const double delay = static_cast<double>(difference) * 1e-9;
    return delay > 0 ? delay : 0.0;
}

void Trampoline(void* context);

uint64_t ScheduleOn(const std::shared_ptr<TimerState>& state, const char* name,
                    TimerTable::Callback callback, int64_t deadline) {
    const double delay = DelaySeconds(deadline, state->clock());
    uint64_t id;
    uintptr_t token;
    HostLink host;
    {
        ScopedLock guard(state->lock);
        if (state->closed || !state->host.IsAttached()) return 0;
        host = state->host;
        id = state->nextId++;
        token = RouteTable::Instance().Add(state, id);
        state->scheduled.emplace(id, ScheduledEntry{id, token, std::move(callback)});
    }
    if (host.Schedule(name, &Trampoline, reinterpret_cast<void*>(token), delay)) return id;

    // The host refused the call: nothing will ever come back for this entry.
    RouteTable::Instance().Take(token);
    TimerTable::Callback dropped;
    ScopedLock guard(state->lock);
    auto it = state->scheduled.find(id);
    if (it != state->scheduled.end()) {
        dropped = std::move(it->second.callback);
        state->scheduled.erase(it);
    }
    return 0;
}

void ScheduleTick(const std::shared_ptr<TimerState>& state, const TickClosure& tick,
                  int64_t deadline);

void Tick(const std::shared_ptr<TimerState>& state, const TickClosure& tick) {
    auto it = state->timers.find(tick.name);
    if (it == state->timers.end()) {
        Log(kLogWarn, LogCategoriesLow(kCategoryGEN), LogCategoriesHigh(kCategoryGEN),
            "%s: Couldn't find timer named %s", state->shortName.c_str(), tick.name.c_str());
        return;
    }
    if (it->second.generation != tick.generation) return;  // restarted; a newer tick is due
    // Set before the callback runs, so the period does not include the callback's run time.
    it->second.nextDeadline = SaturatingAdd(state->clock(), it->second.interval);
    // `tick` is the scheduled copy, so the callback survives its timer being stopped or
    // restarted while it runs.
    if (tick.callback) {
        try {
            tick.callback();
        } catch (...) {
            // A throwing tick must not end the host's call; the timer keeps its period.
        }
    }
    it = state->timers.find(tick.name);
    if (it != state->timers.end() && it->second.generation == tick.generation) {
        ScheduleTick(state, it->second.tick, it->second.nextDeadline);
    }
}

void ScheduleTick(const std::shared_ptr<TimerState>& state, const TickClosure& tick,
                  int64_t deadline) {
    std::weak_ptr<TimerState> weak = state;
    const std::string label = "Timer: " + tick.name;
    ScheduleOn(
        state, label.c_str(),
        [weak, tick] {
            if (auto alive = weak.lock()) Tick(alive, tick);
        },
        deadline);
}

// The host calls this with the token given at schedule time.
void Trampoline(void* context) {
    try {
        std::optional<Route> route =
            RouteTable::Instance().Take(reinterpret_cast<uintptr_t>(context));
        if (!route) return;  // shut down, or never ours
        std::shared_ptr<TimerState> state = route->state.lock();
        if (!state) return;  // the table is gone
        TimerTable::Callback callback;
        {
            ScopedLock guard(state->lock);
            auto it = state->scheduled.find(route->id);
            if (it == state->scheduled.end()) return;
            callback = it->second.callback;
        }
        if (callback) {
            try {
                callback();
            } catch (...) {
                // Swallowed: nothing may unwind into the host, and the entry must still go.
            }
        }
        TimerTable::Callback finished;
        ScopedLock guard(state->lock);
        auto it = state->scheduled.find(route->id);
        if (it != state->scheduled.end()) {
            finished = std::move(it->second.callback);
            state->scheduled.erase(it);
        }
    } catch (...) {
        // Nothing may unwind into the host.
    }
}

}  // namespace
}  // namespace timers_detail

using timers_detail::TimerState;

TimerTable::TimerTable(std::string shortName, Clock clock)
    : state_(std::make_shared<TimerState>()) {
    state_->shortName = std::move(shortName);
    state_->clock = clock ? std::move(clock) : Clock(&timers_detail::SteadyNow);
}

TimerTable::~TimerTable() {
    Shutdown();
}

void TimerTable::SetShortName(std::string shortName) {
    state_->shortName = std::move(shortName);
}

void TimerTable::SetClock(Clock clock) {
    state_->clock = clock ? std::move(clock) : Clock(&timers_detail::SteadyNow);
}

void TimerTable::Attach(const HostLink& host) {
    ScopedLock guard(state_->lock);
    state_->host = host;
}

int64_t TimerTable::Now() const {
    return state_->clock();
}

uint64_t TimerTable::Schedule(const char* name, Callback callback, int64_t deadline) {
    try {
        return timers_detail::ScheduleOn(state_, name, std::move(callback), deadline);
    } catch (...) {
        return 0;
    }
}

void TimerTable::StartTimer(const std::string& name, int64_t interval, Callback callback) {
    {
        ScopedLock guard(state_->lock);
        if (state_->closed) return;
    }
    try {
        timers_detail::TimerRecord& record = state_->timers[name];
        record.name = name;
        record.interval = interval;
        record.callback = std::move(callback);
        record.nextDeadline = timers_detail::SaturatingAdd(state_->clock(), interval);
        record.generation = ++state_->lastGeneration;
        record.tick = timers_detail::TickClosure{name, record.generation, record.callback};
        timers_detail::ScheduleTick(state_, record.tick, record.nextDeadline);
    } catch (...) {
        // Out of memory: the timer may exist without a pending tick; it can be started again.
    }
}

void TimerTable::StopTimer(const std::string& name) {
    state_->timers.erase(name);
}

void TimerTable::ClearTimers() {
    std::map<std::string, timers_detail::TimerRecord> timers;
    timers.swap(state_->timers);
}

bool TimerTable::HasTimer(const std::string& name) const {
    return state_->timers.count(name) != 0;
}

size_t TimerTable::PendingCount() const {
    ScopedLock guard(state_->lock);
    return state_->scheduled.size();
}

uint64_t TimerTable::Wait() {
    HostLink host;
    {
        ScopedLock guard(state_->lock);
        host = state_->host;
    }
    host.Label("Wait: yield");
    host.Yield();
    return host.AfterYield();
}

void TimerTable::Shutdown() {
    std::unordered_map<uint64_t, timers_detail::ScheduledEntry> dropped;
    std::map<std::string, timers_detail::TimerRecord> timers;
    {
        ScopedLock guard(state_->lock);
        state_->closed = true;
        dropped.swap(state_->scheduled);
    }
    timers.swap(state_->timers);
    timers_detail::RouteTable::Instance().Remove(dropped);
    // The dropped callbacks are destroyed here, outside every lock.
}

}  // namespace Vane
