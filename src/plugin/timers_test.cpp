#include "plugin/timers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "log/log_test_support.h"
#include "plugin/host_link.h"
#include "plugin/test_host_test_support.h"

namespace Vane {
namespace {

constexpr int64_t kSecond = 1000000000;

class TimersTest : public testing::LoggerTest {
  protected:
    void SetUp() override {
        LoggerTest::SetUp();
        QuietConsoles();
        log_.Attach();
        table_ = MakeTable();
    }
    void TearDown() override {
        table_.reset();
        log_.Detach();
        LoggerTest::TearDown();
    }

    std::unique_ptr<TimerTable> MakeTable() {
        auto table =
            std::make_unique<TimerTable>("pyx-missions", [this] { return host_.NowNanoseconds(); });
        table->Attach(HostLink(host_.Context()));
        return table;
    }

    std::vector<std::string> LogMessages() const { return log_.Messages(); }

    testing::TestHost host_;
    testing::RecordingLogTarget log_;
    std::unique_ptr<TimerTable> table_;
};

TEST_F(TimersTest, ScheduleSendsTheDelayUntilTheDeadlineAndNeverANegativeOne) {
    host_.AdvanceTime(100);  // now = 100 s
    const int64_t now = host_.NowNanoseconds();
    struct Case {
        const char* name;
        int64_t deadline;
        double delay;
    } cases[] = {
        {"future", now + 2 * kSecond + kSecond / 2, 2.5},
        {"now", now, 0},
        {"past", now - 3 * kSecond, 0},
        {"far past", std::numeric_limits<int64_t>::min(), 0},
    };
    uint64_t expectedId = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(table_->Schedule(
                      c.name, [] {}, c.deadline),
                  expectedId++);
        EXPECT_EQ(host_.ScheduleCalls().back().first, c.name);
        EXPECT_DOUBLE_EQ(host_.ScheduleCalls().back().second, c.delay);
    }
}

TEST_F(TimersTest, ScheduledCallbacksRunOnceInDeadlineOrder) {
    std::vector<std::string> ran;
    const int64_t now = host_.NowNanoseconds();
    table_->Schedule(
        "late", [&] { ran.push_back("late"); }, now + 3 * kSecond);
    table_->Schedule(
        "early", [&] { ran.push_back("early"); }, now + 1 * kSecond);
    table_->Schedule("empty", nullptr, now + 2 * kSecond);
    EXPECT_EQ(table_->PendingCount(), 3u);

    EXPECT_EQ(host_.AdvanceTime(0.5), 0);
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(host_.AdvanceTime(10), 3);
    EXPECT_EQ(ran, (std::vector<std::string>{"early", "late"}));
    EXPECT_EQ(table_->PendingCount(), 0u);
    host_.AdvanceTime(10);
    EXPECT_EQ(ran.size(), 2u);
}

TEST_F(TimersTest, NothingIsScheduledWithoutAHost) {
    TimerTable detached("pyx-missions", [this] { return host_.NowNanoseconds(); });
    bool ran = false;
    EXPECT_EQ(detached.Schedule(
                  "x", [&] { ran = true; }, 0),
              0u);
    EXPECT_EQ(detached.PendingCount(), 0u);
    EXPECT_EQ(detached.Wait(), 0u);
    EXPECT_TRUE(host_.ScheduleCalls().empty());

    // A host whose schedule entry is empty refuses the call: the entry is not kept.
    HostCore emptyTable{};
    HostContext context{&emptyTable, 1};
    detached.Attach(HostLink(&context));
    EXPECT_EQ(detached.Schedule(
                  "x", [&] { ran = true; }, 0),
              0u);
    EXPECT_EQ(detached.PendingCount(), 0u);
    EXPECT_FALSE(ran);
}

TEST_F(TimersTest, RepeatingTimerTicksEveryIntervalUnderItsLabel) {
    std::vector<int64_t> ticks;
    table_->StartTimer("missionsPoll", 10 * kSecond,
                       [&] { ticks.push_back(host_.NowNanoseconds() / kSecond); });
    host_.AdvanceTime(35);
    EXPECT_EQ(ticks, (std::vector<int64_t>{10, 20, 30}));
    for (const auto& [name, delay] : host_.ScheduleCalls()) {
        EXPECT_EQ(name, "Timer: missionsPoll");
        EXPECT_DOUBLE_EQ(delay, 10.0);
    }
    EXPECT_EQ(table_->PendingCount(), 1u);  // the chain goes on
    EXPECT_TRUE(LogMessages().empty());
}

// Restarting a timer, directly or after a stop, leaves exactly one chain: the earlier tick
// is stale and ignored without a log line.
TEST_F(TimersTest, RestartLeavesOneChain) {
    struct Case {
        const char* name;
        bool stopFirst;
        double restartAfter;
    } cases[] = {
        {"restart while running", false, 4},
        {"stop then start", true, 4},
        {"stop then start at once", true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TestHost host;
        TimerTable table("pyx-missions", [&] { return host.NowNanoseconds(); });
        table.Attach(HostLink(host.Context()));
        std::vector<std::string> ticks;
        table.StartTimer("t", 10 * kSecond, [&] { ticks.push_back("old"); });
        host.AdvanceTime(c.restartAfter);
        if (c.stopFirst) table.StopTimer("t");
        table.StartTimer("t", 10 * kSecond, [&] { ticks.push_back("new"); });
        host.AdvanceTime(25);
        EXPECT_EQ(ticks, (std::vector<std::string>{"new", "new"}));
    }
    EXPECT_TRUE(LogMessages().empty());
}

TEST_F(TimersTest, StoppedTimerLogsOnceWhenItsTickArrives) {
    int ticks = 0;
    table_->StartTimer("missionsCooldownPoll", 5 * kSecond, [&] { ++ticks; });
    table_->StopTimer("missionsCooldownPoll");
    EXPECT_FALSE(table_->HasTimer("missionsCooldownPoll"));
    host_.AdvanceTime(60);
    EXPECT_EQ(ticks, 0);
    const auto lines = log_.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, kLogWarn);
    EXPECT_EQ(lines[0].message, "pyx-missions: Couldn't find timer named missionsCooldownPoll");
    EXPECT_EQ(table_->PendingCount(), 0u);
}

TEST_F(TimersTest, CallbackThatStopsOrRestartsItsOwnTimer) {
    int stops = 0;
    table_->StartTimer("self-stop", kSecond, [&] {
        ++stops;
        table_->StopTimer("self-stop");
    });
    int restarts = 0;
    table_->StartTimer("self-restart", kSecond, [&] {
        if (++restarts < 3) table_->StartTimer("self-restart", kSecond, [&] { restarts += 10; });
    });
    host_.AdvanceTime(30);
    EXPECT_EQ(stops, 1);
    // The first run restarts with a new callback, which then ticks every second for good.
    EXPECT_EQ(restarts, 1 + 10 * 29);
    EXPECT_TRUE(LogMessages().empty());
}

TEST_F(TimersTest, PeriodStartsBeforeTheCallbackRuns) {
    // The table's clock runs ahead of the host's by what the callbacks "spend".
    int64_t spent = 0;
    TimerTable table("pyx-missions", [&] { return host_.NowNanoseconds() + spent; });
    table.Attach(HostLink(host_.Context()));
    table.StartTimer("t", 10 * kSecond, [&] { spent += 3 * kSecond; });
    host_.AdvanceTime(10);
    const auto calls = host_.ScheduleCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_DOUBLE_EQ(calls[0].second, 10.0);
    // The next deadline was fixed before the 3-second run, so 7 seconds remain after it.
    EXPECT_DOUBLE_EQ(calls[1].second, 7.0);
}

TEST_F(TimersTest, ThrowingCallbacksStayInside) {
    int ticks = 0;
    table_->StartTimer("t", kSecond, [&] {
        ++ticks;
        throw std::runtime_error("tick");
    });
    table_->Schedule(
        "once", [] { throw 42; }, 0);
    EXPECT_NO_THROW(host_.AdvanceTime(3));
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(table_->PendingCount(), 1u);  // only the timer's next tick
}

TEST_F(TimersTest, WaitYieldsOnceAndReturnsTheHostValue) {
    host_.SetAfterYieldValue(0xfedcba9876543210ull);
    EXPECT_EQ(table_->Wait(), 0xfedcba9876543210ull);
    EXPECT_EQ(host_.Labels(), std::vector<std::string>{"Wait: yield"});
    EXPECT_EQ(host_.YieldCount(), 1);
}

// What the host delivers after Shutdown, or after the table is gone, does nothing (and,
// under AddressSanitizer, touches no freed memory).
TEST_F(TimersTest, LateDeliveriesDoNothing) {
    enum class End { kShutdown, kDestroy, kDestroyInsideTick };
    for (End end : {End::kShutdown, End::kDestroy, End::kDestroyInsideTick}) {
        SCOPED_TRACE(static_cast<int>(end));
        testing::TestHost host;
        auto table =
            std::make_unique<TimerTable>("pyx-missions", [&] { return host.NowNanoseconds(); });
        table->Attach(HostLink(host.Context()));
        auto counter = std::make_shared<int>(0);
        table->Schedule(
            "once", [counter] { ++*counter; }, 5 * kSecond);
        table->StartTimer("t", 2 * kSecond, [&, counter] {
            ++*counter;
            if (end == End::kDestroyInsideTick) table.reset();
        });
        if (end == End::kShutdown) table->Shutdown();
        if (end == End::kDestroy) table.reset();
        host.AdvanceTime(60);
        EXPECT_EQ(*counter, end == End::kDestroyInsideTick ? 1 : 0);
        EXPECT_EQ(host.PendingCount(), 0u);
        if (end == End::kShutdown) {
            EXPECT_EQ(table->PendingCount(), 0u);
            EXPECT_EQ(counter.use_count(), 1);  // the dropped callbacks were released
            EXPECT_EQ(table->Schedule(
                          "later", [] {}, 0),
                      0u);
            table->StartTimer("t", kSecond, [] {});
            EXPECT_FALSE(table->HasTimer("t"));
        }
    }
    EXPECT_TRUE(LogMessages().empty());
}

TEST_F(TimersTest, TablesDoNotShareCallbacks) {
    auto other = MakeTable();
    int mine = 0;
    int theirs = 0;
    EXPECT_EQ(table_->Schedule(
                  "a", [&] { ++mine; }, 0),
              1u);
    EXPECT_EQ(other->Schedule(
                  "b", [&] { ++theirs; }, 0),
              1u);  // ids are per table
    other->Shutdown();
    host_.AdvanceTime(1);
    EXPECT_EQ(mine, 1);
    EXPECT_EQ(theirs, 0);
}

}  // namespace
}  // namespace Vane
