#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "plugin/host_link.h"
#include "plugin/test_host_test_support.h"
#include "plugin/timers.h"

namespace Vane {
namespace {

constexpr int kThreads = 4;
constexpr int kPerThread = 500;
constexpr int64_t kMillisecond = 1000000;

// Threads schedule while the host thread keeps delivering: every callback runs exactly once
// and every id is handed out exactly once.
TEST(TimersConcurrencyTest, SchedulingFromSeveralThreadsWhileTheHostDelivers) {
    testing::TestHost host;
    TimerTable table("pyx-missions", [&] { return host.NowNanoseconds(); });
    table.Attach(HostLink(host.Context()));

    std::atomic<int> ran{0};
    std::atomic<int> finished{0};
    std::vector<std::vector<uint64_t>> ids(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                const int64_t deadline = table.Now() + (i % 5) * kMillisecond;
                ids[t].push_back(table.Schedule(
                    "work", [&] { ++ran; }, deadline));
            }
            ++finished;
        });
    }
    while (finished.load() < kThreads || host.PendingCount() != 0) host.AdvanceTime(0.001);
    for (std::thread& thread : threads) thread.join();

    EXPECT_EQ(ran.load(), kThreads * kPerThread);
    EXPECT_EQ(table.PendingCount(), 0u);
    std::vector<uint64_t> all;
    for (const auto& list : ids) all.insert(all.end(), list.begin(), list.end());
    std::sort(all.begin(), all.end());
    ASSERT_EQ(all.size(), static_cast<size_t>(kThreads * kPerThread));
    EXPECT_EQ(all.front(), 1u);
    EXPECT_EQ(all.back(), static_cast<uint64_t>(kThreads * kPerThread));
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
}

// Shutdown and destruction race with threads that schedule and a host that delivers:
// nothing scheduled after Shutdown runs, and nothing touches the freed table.
TEST(TimersConcurrencyTest, ShutdownWhileThreadsScheduleAndTheHostDelivers) {
    testing::TestHost host;
    auto table =
        std::make_unique<TimerTable>("pyx-missions", [&] { return host.NowNanoseconds(); });
    table->Attach(HostLink(host.Context()));
    TimerTable* raw = table.get();

    std::atomic<bool> stop{false};
    std::atomic<int> accepted{0};
    std::atomic<int> ran{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            // Bounded, so the host's delivery loop cannot be outpaced forever.
            for (int i = 0; i < kPerThread && !stop.load(); ++i) {
                if (raw->Schedule(
                        "work", [&] { ++ran; }, raw->Now()) != 0)
                    ++accepted;
            }
        });
    }
    for (int round = 0; round < 20; ++round) host.AdvanceTime(0.001);
    raw->Shutdown();
    const int ranAtShutdown = ran.load();
    for (int round = 0; round < 50; ++round) host.AdvanceTime(0.001);
    stop = true;
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(ran.load(), ranAtShutdown);
    EXPECT_LE(ran.load(), accepted.load());

    table.reset();
    host.AdvanceTime(1);
    EXPECT_EQ(ran.load(), ranAtShutdown);
    EXPECT_EQ(host.PendingCount(), 0u);
}

}  // namespace
}  // namespace Vane
