#include "devhost/host_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Vane::DevHost {
namespace {

using namespace std::chrono_literals;

TEST(HostLoop, RunsEverythingOnOneThreadInOrder) {
    HostLoop loop;
    std::mutex mutex;
    std::vector<int> order;
    std::vector<std::thread::id> threads;
    const auto note = [&](int n) {
        std::lock_guard<std::mutex> lock(mutex);
        order.push_back(n);
        threads.push_back(std::this_thread::get_id());
    };
    // Posted from several threads at once; each thread's tasks keep their order.
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) loop.Post([&, t, i] { note(t * 1000 + i); });
        });
    }
    for (std::thread& poster : posters) poster.join();
    ASSERT_EQ(loop.Call([] { return 7; }), 7);

    ASSERT_EQ(order.size(), 200u);
    int last[4] = {-1, -1, -1, -1};
    for (int n : order) {
        EXPECT_GT(n % 1000, last[n / 1000]);
        last[n / 1000] = n % 1000;
    }
    for (std::thread::id id : threads) EXPECT_EQ(id, threads.front());
    EXPECT_NE(threads.front(), std::this_thread::get_id());
}

TEST(HostLoop, DelayedTasksWaitTheirDelayAndRunInDueOrder) {
    HostLoop loop;
    std::mutex mutex;
    std::vector<std::string> order;
    const auto start = HostLoop::Clock::now();
    std::atomic<int64_t> ranAfterMs{-1};
    loop.PostAfter(0.12, [&] {
        ranAfterMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(HostLoop::Clock::now() - start)
                .count();
        std::lock_guard<std::mutex> lock(mutex);
        order.push_back("late");
    });
    loop.PostAfter(0.04, [&] {
        std::lock_guard<std::mutex> lock(mutex);
        order.push_back("early");
    });
    loop.PostAfter(-1, [&] {  // a negative delay runs as soon as possible
        std::lock_guard<std::mutex> lock(mutex);
        order.push_back("now");
    });
    while (loop.DelayedCount() > 0) std::this_thread::sleep_for(5ms);
    loop.Call([] {});
    EXPECT_EQ(order, (std::vector<std::string>{"now", "early", "late"}));
    EXPECT_GE(ranAfterMs.load(), 120);
}

TEST(HostLoop, CallFromTheLoopRunsNestedAndStopDropsWhatIsLeft) {
    HostLoop loop;
    std::optional<int> nested = loop.Call([&] {
        EXPECT_TRUE(loop.OnLoopThread());
        return loop.Call([] { return 5; }).value_or(0) + 1;  // would deadlock if posted
    });
    EXPECT_EQ(nested, 6);
    EXPECT_FALSE(loop.OnLoopThread());

    std::atomic<bool> ran{false};
    loop.PostAfter(60, [&] { ran = true; });
    EXPECT_EQ(loop.DropDelayed(), 1u);
    EXPECT_EQ(loop.DelayedCount(), 0u);

    // A task that blocks the loop while Stop comes: the queued Call then answers nothing.
    std::atomic<bool> release{false};
    loop.Post([&] {
        while (!release) std::this_thread::sleep_for(1ms);
    });
    std::optional<bool> dropped;
    std::thread caller([&] { dropped = loop.Call([&] { ran = true; }); });
    std::this_thread::sleep_for(20ms);
    std::thread stopper([&] { loop.Stop(); });
    std::this_thread::sleep_for(20ms);
    release = true;
    stopper.join();
    caller.join();
    EXPECT_FALSE(dropped.has_value());
    EXPECT_FALSE(ran);
    EXPECT_FALSE(loop.Post([] {}));
    EXPECT_FALSE(loop.Call([] { return 1; }).has_value());
}

TEST(HostLoop, DroppingTheTaskTheLoopWaitsForIsSafe) {
    HostLoop loop;
    std::atomic<bool> ran{false};
    loop.PostAfter(60, [&] { ran = true; });
    std::this_thread::sleep_for(20ms);  // the loop now waits for that task's due time
    EXPECT_EQ(loop.DropDelayed(), 1u);
    EXPECT_EQ(loop.Call([] { return 2; }), 2);  // wakes the loop, which must not read the task
    EXPECT_FALSE(ran);
}

TEST(HostLoop, AThrowingTaskNeitherStopsTheLoopNorHangsItsCaller) {
    HostLoop loop;
    EXPECT_FALSE(loop.Call([]() -> int { throw std::runtime_error("boom"); }).has_value());
    loop.Post([] { throw 1; });
    EXPECT_EQ(loop.Call([] { return 3; }), 3);
}

}  // namespace
}  // namespace Vane::DevHost
