// One-shot scheduled callbacks, named repeating timers and the cooperative wait.
//
// The plugin has no thread of its own: every callback is scheduled with the host (host
// operation "schedule") and runs when the host calls the runtime's trampoline back.
//
// Lifetime: what the host receives as the callback's context is a token looked up in a
// process-wide table that outlives every plugin; the token leads only to a weak reference
// of the table's shared state. A callback or tick the host delivers after `Shutdown`, or
// after the `TimerTable` is gone, therefore finds nothing and does nothing.
#ifndef PYX_PLUGIN_TIMERS_H_
#define PYX_PLUGIN_TIMERS_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "plugin/host_link.h"

namespace Vane {

namespace timers_detail {
struct TimerState;
}

class TimerTable {
  public:
    using Callback = std::function<void()>;
    // A monotonic clock in nanoseconds.
    using Clock = std::function<int64_t()>;

    // `shortName` starts the table's log lines; an empty `clock` means the steady clock.
    explicit TimerTable(std::string shortName, Clock clock = {});
    // Shuts the table down (see Shutdown).
    ~TimerTable();
    TimerTable(const TimerTable&) = delete;
    TimerTable& operator=(const TimerTable&) = delete;

    // Sets the name that starts the table's log lines; before anything is scheduled.
    void SetShortName(std::string shortName);
    // Replaces the clock (an empty one means the steady clock); before anything is scheduled.
    void SetClock(Clock clock);

    // Sets the host that schedules callbacks; until then nothing can be scheduled.
    void Attach(const HostLink& host);

    // The table's clock, in nanoseconds.
    int64_t Now() const;

    // Runs `callback` once at or after `deadline` (a clock value; one in the past means
    // "as soon as possible"). Callable from any thread. Returns the callback's id (ids start
    // at 1 and are never reused) or 0 when it could not be scheduled: no host, or the table
    // is shut down. The callback runs without any runtime lock held; an empty one is skipped.
    uint64_t Schedule(const char* name, Callback callback, int64_t deadline);

    // (Re)starts the repeating timer `name`: its first tick comes `interval` nanoseconds
    // from now, then every `interval` after the start of the previous tick. A restart makes
    // the pending tick of the earlier start stale. Host thread only; ignored after Shutdown.
    void StartTimer(const std::string& name, int64_t interval, Callback callback);
    // Removes the timer `name`; its pending tick finds nothing and logs that. Host thread only.
    void StopTimer(const std::string& name);
    // Removes every repeating timer; their pending ticks find nothing. One-shot callbacks
    // already scheduled stay. Host thread only.
    void ClearTimers();
    // Whether the timer `name` is running. Host thread only.
    bool HasTimer(const std::string& name) const;

    // Number of scheduled callbacks handed to the host and not yet run.
    size_t PendingCount() const;

    // Yields once to the host under the label "Wait: yield" and returns the host's value
    // read right after the yield (0 without a host).
    uint64_t Wait();

    // Removes every timer and every pending callback without running anything; what the
    // host still delivers afterwards does nothing, and nothing new can be scheduled.
    void Shutdown();

  private:
    std::shared_ptr<timers_detail::TimerState> state_;
};

}  // namespace Vane

#endif  // PYX_PLUGIN_TIMERS_H_
