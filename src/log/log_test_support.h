// Test helpers of the log: a recording target and a fixture that restores the logger.
#ifndef PYX_LOG_LOG_TEST_SUPPORT_H_
#define PYX_LOG_LOG_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "log/log_target.h"
#include "log/logger.h"

namespace Vane::testing {

// What a RecordingLogTarget received.
struct RecordedLine {
    int32_t level;
    uint64_t categories;
    std::string message;
    std::string line;  // formatted with the target's pattern
};

// Keeps every record it is given; accepts every level and category unless told otherwise.
class RecordingLogTarget : public LogTarget {
  public:
    explicit RecordingLogTarget(const char* className = "RecordingLogTarget")
        : className_(className) {
        SetMinLevel(kLogOkay);
    }
    ~RecordingLogTarget() override { Detach(); }

    const char* GetClassName() const override { return className_; }

    bool Write(const LogRecord& record) override {
        char line[kLogBufferSize];
        FormatLogLine(line, sizeof line, GetPattern(record), record);
        {
            std::lock_guard<std::mutex> guard(mutex_);
            lines_.push_back({record.level, record.categories, record.message, line});
        }
        if (onWrite) onWrite(record);
        return true;
    }

    std::vector<RecordedLine> Lines() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return lines_;
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const RecordedLine& line : Lines()) messages.push_back(line.message);
        return messages;
    }

    // Called after each record is kept, on the logging thread.
    std::function<void(const LogRecord&)> onWrite;

  private:
    const char* className_;
    mutable std::mutex mutex_;
    std::vector<RecordedLine> lines_;
};

// Holds the logger for one test and releases it afterwards, which puts every setting,
// counter and built-in target back to the defaults, so tests do not depend on their order.
class LoggerTest : public ::testing::Test {
  protected:
    void SetUp() override { logger_ = AcquireLogger(); }
    void TearDown() override { ReleaseLogger(); }

    // Keeps the built-in console targets from printing while a test logs.
    void QuietConsoles() {
        logger_->GetStdErrTarget().Detach();
        logger_->GetDebuggerConsoleTarget().Detach();
    }

    Logger* logger_ = nullptr;
};

}  // namespace Vane::testing

#endif  // PYX_LOG_LOG_TEST_SUPPORT_H_
