// The host thread: the one thread that runs every call into the plugin.
//
// Other threads post work (Post, PostAfter) or post and wait for the result (Call). Tasks run
// one at a time: posted tasks in the order they were posted, delayed tasks once their real
// delay has passed, in order of due time (then of posting). A delayed task that is due runs
// before the next posted one, so a stream of posted work cannot hold timers back.
#ifndef PYX_DEVHOST_HOST_LOOP_H_
#define PYX_DEVHOST_HOST_LOOP_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

namespace Vane::DevHost {

class HostLoop {
  public:
    using Task = std::function<void()>;
    using Clock = std::chrono::steady_clock;

    // Starts the thread.
    HostLoop();
    // Stops and joins (see Stop).
    ~HostLoop();
    HostLoop(const HostLoop&) = delete;
    HostLoop& operator=(const HostLoop&) = delete;

    // Queues `task`; false once the loop is stopping.
    bool Post(Task task);

    // Queues `task` to run at least `seconds` from now (a negative or NaN delay counts as 0);
    // false once the loop is stopping.
    bool PostAfter(double seconds, Task task);

    // Runs `f` on the loop thread and returns its result; nothing when the loop stopped before
    // running it or `f` threw. Called on the loop thread itself, `f` runs at once (nested), so a
    // task may Call without deadlocking.
    template <class F>
    auto Call(F&& f) -> std::optional<
        std::conditional_t<std::is_void_v<std::invoke_result_t<F>>, bool, std::invoke_result_t<F>>>;

    // True on the loop thread.
    bool OnLoopThread() const { return std::this_thread::get_id() == thread_.get_id(); }

    // Drops every delayed task not yet run; returns how many.
    size_t DropDelayed();

    // Delayed tasks not yet run.
    size_t DelayedCount() const;

    // Stops taking work, lets the task running now finish, drops what is queued (a waiting
    // Call then returns nothing) and joins the thread. Idempotent; not callable from the loop
    // thread.
    void Stop();

  private:
    void Run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    uint64_t sequence_ = 0;
    std::deque<Task> tasks_;
    std::map<std::pair<Clock::time_point, uint64_t>, Task> delayed_;
    std::thread thread_;
};

template <class F>
auto HostLoop::Call(F&& f) -> std::optional<
    std::conditional_t<std::is_void_v<std::invoke_result_t<F>>, bool, std::invoke_result_t<F>>> {
    using Result = std::invoke_result_t<F>;
    using Value = std::conditional_t<std::is_void_v<Result>, bool, Result>;
    const auto run = [&f]() -> Value {
        if constexpr (std::is_void_v<Result>) {
            f();
            return true;
        } else {
            return f();
        }
    };
    if (OnLoopThread()) {
        try {
            return run();
        } catch (...) {
            return std::nullopt;
        }
    }
    // Only the task holds the promise: a task dropped unrun destroys it, which breaks the
    // future.
    auto promise = std::make_shared<std::promise<Value>>();
    std::future<Value> future = promise->get_future();
    const bool posted = Post([promise = std::move(promise), &run] {
        try {
            promise->set_value(run());
        } catch (...) {
            promise->set_exception(std::current_exception());
        }
    });
    if (!posted) return std::nullopt;
    try {
        return future.get();
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_HOST_LOOP_H_
