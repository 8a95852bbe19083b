#include "util/platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "util/lock.h"

#ifndef _WIN32
#include <errno.h>
#include <unistd.h>
#endif

namespace Vane {
namespace {

TEST(PlatformTest, LocalTimeAgreesWithTheCLibrary) {
    time_t before = std::time(nullptr);
    Platform::LocalTime now = Platform::GetLocalTime();
    time_t after = std::time(nullptr);

    std::tm broken{};
    broken.tm_year = now.year - 1900;
    broken.tm_mon = now.month - 1;
    broken.tm_mday = now.day;
    broken.tm_hour = now.hour;
    broken.tm_min = now.minute;
    broken.tm_sec = now.second;
    broken.tm_isdst = -1;
    time_t seconds = std::mktime(&broken);

    EXPECT_GE(seconds, before - 1);
    EXPECT_LE(seconds, after + 1);
    EXPECT_GE(now.millisecond, 0);
    EXPECT_LE(now.millisecond, 999);
}

TEST(PlatformTest, ThreadIdIsStablePerThreadAndDistinctAcrossThreads) {
    uint32_t mine = Platform::CurrentThreadId();
    EXPECT_EQ(mine, Platform::CurrentThreadId());
#ifndef _WIN32
    // gtest runs the tests on the process's first thread, whose id is the process id.
    EXPECT_EQ(mine, static_cast<uint32_t>(getpid()));
#endif
    uint32_t other = 0;
    std::thread worker([&] { other = Platform::CurrentThreadId(); });
    worker.join();
    EXPECT_NE(other, 0u);
    EXPECT_NE(other, mine);
}

TEST(PlatformTest, ExecutableFileNameIsTheRunningBinaryWithoutDirectories) {
    std::string name = Platform::ExecutableFileName();
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(name.find('/'), std::string::npos);
    EXPECT_EQ(name.find('\\'), std::string::npos);
#if defined(__GLIBC__)
    EXPECT_EQ(name, program_invocation_short_name);
#endif
}

TEST(PlatformTest, HighResolutionClockIsMonotonicAndCountsSeconds) {
    double first = Platform::HighResolutionSeconds();
    EXPECT_GE(first, 0.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    double second = Platform::HighResolutionSeconds();
    EXPECT_GE(second - first, 0.025);
    EXPECT_GE(Platform::HighResolutionSeconds(), second);
}

TEST(PlatformTest, DebugOutputReachesTheInstalledSinkOnly) {
    std::vector<std::string> seen;
    Platform::DebugOutputSink previous =
        Platform::SetDebugOutputSink([&](const char* text) { seen.emplace_back(text); });

    Platform::DebugOutput("first line\n");
    Platform::DebugOutput(nullptr);
    Platform::DebugOutput("");

    Platform::DebugOutputSink mine = Platform::SetDebugOutputSink(previous);
    ASSERT_TRUE(mine);
    Platform::DebugOutput("after removal\n");

    EXPECT_EQ(seen, (std::vector<std::string>{"first line\n", ""}));
}

TEST(PlatformTest, SinkMayWriteDebugOutputItself) {
    int calls = 0;
    Platform::DebugOutputSink previous = Platform::SetDebugOutputSink([&](const char* text) {
        if (++calls == 1) Platform::DebugOutput(text);
    });
    Platform::DebugOutput("again");
    Platform::SetDebugOutputSink(previous);
    EXPECT_EQ(calls, 2);
}

TEST(CriticalSectionTest, OwnerMayReenterAndOthersWaitUntilFullyLeft) {
    CriticalSection section;
    section.Enter();
    {
        ScopedLock again(section);
        bool otherGotIt = true;
        std::thread([&] { otherGotIt = section.TryEnter(); }).join();
        EXPECT_FALSE(otherGotIt);
    }
    // Still held once by this thread.
    bool otherGotIt = true;
    std::thread([&] { otherGotIt = section.TryEnter(); }).join();
    EXPECT_FALSE(otherGotIt);
    section.Leave();

    std::thread([&] {
        otherGotIt = section.TryEnter();
        if (otherGotIt) section.Leave();
    }).join();
    EXPECT_TRUE(otherGotIt);
}

}  // namespace
}  // namespace Vane
