#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "log/console_targets.h"
#include "log/log_categories.h"
#include "log/log_test_support.h"
#include "log/logger.h"

namespace Vane {
namespace {

using testing::LoggerTest;

constexpr int kThreads = 4;
constexpr int kMessages = 400;

// Builds each line one character at a time, yielding in between, so a missing lock shows up
// as interleaved lines.
class SlowTarget : public LogTarget {
  public:
    SlowTarget() { SetMinLevel(kLogOkay); }
    ~SlowTarget() override { Detach(); }
    bool Write(const LogRecord& record) override {
        char line[kLogBufferSize];
        size_t length = FormatLogLine(line, sizeof line, GetPattern(record), record);
        for (size_t i = 0; i < length; ++i) {
            text_.push_back(line[i]);
            if (i % 16 == 0) std::this_thread::yield();
        }
        return true;
    }
    const std::string& Text() const { return text_; }

  private:
    std::string text_;
};

std::string ReadAll(std::FILE* stream) {
    std::fflush(stream);
    std::rewind(stream);
    std::string text;
    char chunk[4096];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, stream)) > 0) text.append(chunk, count);
    return text;
}

// Every line is whole and each thread's messages arrive complete and in order.
void ExpectWholeLines(const std::string& text, int threads, int messages) {
    static const std::regex kLine("[0-9A-F]{8}\\|thread ([0-9]+) message ([0-9]+) (x+) end");
    std::map<int, int> next;
    std::istringstream lines(text);
    std::string line;
    int total = 0;
    while (std::getline(lines, line)) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, kLine)) << line;
        int thread = std::stoi(match[1]);
        int message = std::stoi(match[2]);
        EXPECT_EQ(message, next[thread]++) << line;
        EXPECT_EQ(match[3].length(), 100 + thread * 37) << line;
        ++total;
    }
    EXPECT_EQ(total, threads * messages);
    EXPECT_EQ(static_cast<int>(next.size()), threads);
}

void RunThreads(int count, const std::function<void(int)>& body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < count; ++t) threads.emplace_back(body, t);
    for (std::thread& thread : threads) thread.join();
}

TEST_F(LoggerTest, LinesFromManyThreadsNeverInterleaveAndCountersAreExact) {
    QuietConsoles();
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    StdErrLogTarget file(stream);
    SlowTarget slow;
    for (LogTarget* target : std::initializer_list<LogTarget*>{&file, &slow}) {
        LogTargetSettings settings;
        settings.minLevel = kLogOkay;
        settings.pattern = "#T|#M";
        target->Configure(settings);
    }

    RunThreads(kThreads, [](int t) {
        std::string payload(100 + t * 37, 'x');
        for (int i = 0; i < kMessages; ++i) {
            Log(i % 2 == 0 ? kLogWarn : kLogError, 0, 0, "thread %d message %d %s end", t, i,
                payload.c_str());
        }
    });

    EXPECT_EQ(logger_->GetWarningCount(), static_cast<uint32_t>(kThreads * kMessages / 2));
    EXPECT_EQ(logger_->GetErrorCount(), static_cast<uint64_t>(kThreads * kMessages / 2));
    ExpectWholeLines(ReadAll(stream), kThreads, kMessages);
    ExpectWholeLines(slow.Text(), kThreads, kMessages);
    std::fclose(stream);
}

TEST_F(LoggerTest, DirectWritesToOneTargetAreSerialisedByItsLock) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    StdErrLogTarget file(stream);
    SlowTarget slow;
    file.SetPattern("#T|#M");
    slow.SetPattern("#T|#M");

    RunThreads(kThreads, [&](int t) {
        std::string payload(100 + t * 37, 'x');
        char message[512];
        for (int i = 0; i < kMessages; ++i) {
            std::snprintf(message, sizeof message, "thread %d message %d %s end", t, i,
                          payload.c_str());
            LogRecord record;
            record.level = kLogWarn;
            record.message = message;
            file.Write(record);
            LogTargetInterface* table = slow.GetInterface();
            table->Write(table, &record);
        }
    });

    ExpectWholeLines(ReadAll(stream), kThreads, kMessages);
    ExpectWholeLines(slow.Text(), kThreads, kMessages);
    std::fclose(stream);
}

TEST_F(LoggerTest, ReconfiguringWhileOthersLogDoesNotDeadlock) {
    QuietConsoles();
    SlowTarget target;
    std::atomic<bool> done{false};
    std::thread configurer([&] {
        LogTargetSettings settings;
        settings.minLevel = kLogOkay;
        // At least one round: the target is attached only by Configure, and on a busy machine
        // the writers may all finish before this thread first looks at `done`.
        for (int i = 0; i == 0 || !done.load(); ++i) {
            settings.pattern = i % 2 == 0 ? "#M" : "#L| #M";
            target.Configure(settings);
            target.SetMinLevel(kLogOkay);
            target.SetCategories(0, 0);
        }
    });
    RunThreads(kThreads, [](int t) {
        for (int i = 0; i < kMessages; ++i) Log(kLogWarn, 0, 0, "thread %d message %d", t, i);
    });
    done = true;
    configurer.join();
    EXPECT_TRUE(target.IsAttached());
    EXPECT_EQ(logger_->GetWarningCount(), static_cast<uint32_t>(kThreads * kMessages));
}

TEST(CategoryConcurrencyTest, SameNewNamesFromManyThreadsGetOneSlotEach) {
    CategoryTable table;
    constexpr int kNames = 40;
    std::vector<std::vector<uint64_t>> seen(kThreads, std::vector<uint64_t>(kNames));
    RunThreads(kThreads, [&](int t) {
        for (int i = 0; i < kNames; ++i) {
            int rotated = (i + t * 7) % kNames;  // A different order per thread.
            int n = t % 2 == 0 ? rotated : kNames - 1 - rotated;
            std::string name = "N" + std::to_string(n);
            seen[t][n] = table.Bit(name.c_str());
            // Readers never see a half-written name.
            std::string shown = table.Name(8 + n).text;
            EXPECT_TRUE(shown == "???" || shown[0] == 'N') << shown;
        }
    });
    for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t], seen[0]);
    uint64_t all = 0;
    for (uint64_t bit : seen[0]) {
        EXPECT_NE(bit, 0u);
        EXPECT_EQ(all & bit, 0u);
        all |= bit;
    }
    EXPECT_EQ(table.HighestSlot(), 7 + kNames);
}

TEST(LoggerLifetimeConcurrencyTest, LoggingWhileUsersComeAndGoIsSafe) {
    std::atomic<bool> done{false};
    std::thread cycler([&] {
        while (!done.load()) {
            Logger* logger = AcquireLogger();
            logger->SetMinLevel(kLogOkay);
            ReleaseLogger();
        }
    });
    // GEN at WARN reaches none of the console targets attached at creation.
    RunThreads(kThreads, [](int t) {
        for (int i = 0; i < kMessages; ++i) {
            Log(kLogWarn, LogCategoriesLow(kCategoryGEN), 0, "thread %d message %d", t, i);
        }
    });
    done = true;
    cycler.join();
    AcquireLogger();
    ReleaseLogger();
    EXPECT_EQ(Logger::Instance().GetMinLevel(), kLogWarn);
}

}  // namespace
}  // namespace Vane
