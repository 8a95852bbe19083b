#include "devhost/host_loop.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

namespace Vane::DevHost {

HostLoop::HostLoop() : thread_([this] { Run(); }) {}

HostLoop::~HostLoop() {
    Stop();
}

bool HostLoop::Post(Task task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return false;
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
    return true;
}

bool HostLoop::PostAfter(double seconds, Task task) {
    if (!(seconds > 0)) seconds = 0;
    // Beyond a year the delay is as good as never; clamping keeps the time point in range.
    seconds = std::min(seconds, 365.0 * 24 * 3600);
    const auto due = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(seconds));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return false;
        delayed_.emplace(std::make_pair(due, sequence_++), std::move(task));
    }
    wake_.notify_one();
    return true;
}

size_t HostLoop::DropDelayed() {
    std::map<std::pair<Clock::time_point, uint64_t>, Task> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dropped.swap(delayed_);
    }
    return dropped.size();  // destroyed outside the lock
}

size_t HostLoop::DelayedCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return delayed_.size();
}

void HostLoop::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable() && !OnLoopThread()) thread_.join();
    std::deque<Task> tasks;
    std::map<std::pair<Clock::time_point, uint64_t>, Task> delayed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks.swap(tasks_);
        delayed.swap(delayed_);
    }
}

void HostLoop::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        Task task;
        const bool due = !delayed_.empty() && delayed_.begin()->first.first <= Clock::now();
        if (due) {
            task = std::move(delayed_.begin()->second);
            delayed_.erase(delayed_.begin());
        } else if (!tasks_.empty()) {
            task = std::move(tasks_.front());
            tasks_.pop_front();
        } else if (!delayed_.empty()) {
            // A copy: the node may be dropped while the lock is released during the wait.
            const Clock::time_point due = delayed_.begin()->first.first;
            wake_.wait_until(lock, due);
            continue;
        } else {
            wake_.wait(lock);
            continue;
        }
        lock.unlock();
        try {
            task();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "devhost: a host task failed: %s\n", error.what());
        } catch (...) {
            std::fprintf(stderr, "devhost: a host task failed\n");
        }
        task = nullptr;  // captured state goes before the lock is taken again
        lock.lock();
    }
}

}  // namespace Vane::DevHost
