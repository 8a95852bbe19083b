#include "log/log_target.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "log/console_targets.h"
#include "log/log_test_support.h"
#include "log/logger.h"
#include "util/platform.h"

namespace Vane {
namespace {

using testing::LoggerTest;
using testing::RecordingLogTarget;

size_t Occurrences(Logger* logger, LogTargetInterface* target) {
    std::vector<LogTargetInterface*> targets = logger->GetTargets();
    return static_cast<size_t>(std::count(targets.begin(), targets.end(), target));
}

LogRecord Record(int32_t level, uint64_t categories, const char* message) {
    LogRecord record;
    record.level = level;
    record.categories = categories;
    record.message = message;
    return record;
}

// Everything a stream received, read back from its start.
std::string Contents(std::FILE* stream) {
    std::fflush(stream);
    std::rewind(stream);
    std::string text;
    char chunk[512];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, stream)) > 0) text.append(chunk, count);
    return text;
}

TEST_F(LoggerTest, NewTargetIsDetachedWithBaseDefaults) {
    RecordingLogTarget target;
    target.SetMinLevel(kLogWarn);  // The recorder lowers it; the base default is WARN.
    LogTarget& base = target;
    EXPECT_FALSE(base.IsAttached());
    EXPECT_EQ(base.GetIncludedCategories(), 0u);
    EXPECT_EQ(base.GetExcludedCategories(), 0u);
    EXPECT_STREQ(base.GetPattern(LogRecord{}), "#D| #L| #G| #M");
    EXPECT_EQ(base.GetInterface()->version, 1u);
    EXPECT_EQ(LogTarget::FromInterface(base.GetInterface()), &base);
    EXPECT_EQ(LogTarget::FromInterface(nullptr), nullptr);
}

TEST_F(LoggerTest, SetCategoriesRemovesExcludedBitsFromIncluded) {
    struct Case {
        uint64_t included, excluded, storedIncluded;
    };
    const Case cases[] = {
        {0x3, 0x1, 0x2},
        {0x0, 0xFF, 0x0},
        {0xF0, 0x0F, 0xF0},
        {~uint64_t{0}, uint64_t{1} << 63, ~uint64_t{0} >> 1},
    };
    RecordingLogTarget target;
    LogTargetInterface* table = target.GetInterface();
    for (const Case& c : cases) {
        table->SetCategories(table, c.included, c.excluded);
        EXPECT_EQ(table->GetIncludedCategories(table), c.storedIncluded) << c.included;
        EXPECT_EQ(table->GetExcludedCategories(table), c.excluded) << c.included;
    }
}

TEST_F(LoggerTest, TableOperationsReachTheTarget) {
    RecordingLogTarget target("TableTarget");
    LogTargetInterface* table = target.GetInterface();
    table->SetMinLevel(table, kLogAlways);
    EXPECT_EQ(target.GetMinLevel(), kLogAlways);
    EXPECT_EQ(table->GetMinLevel(table), kLogAlways);
    EXPECT_STREQ(table->GetClassName(table), "TableTarget");
    target.SetPattern("[#M]");
    LogRecord record = Record(kLogWarn, 0, "via table");
    EXPECT_STREQ(table->GetPattern(table, &record), "[#M]");
    EXPECT_TRUE(table->Write(table, &record));
    ASSERT_EQ(target.Lines().size(), 1u);
    EXPECT_EQ(target.Lines()[0].line, "[via table]\n");
    table->Attach(table);
    EXPECT_TRUE(table->IsAttached(table));
    table->Detach(table);
    EXPECT_FALSE(table->IsAttached(table));
}

TEST_F(LoggerTest, AttachAndDetachAreIdempotent) {
    RecordingLogTarget target;
    LogTargetInterface* table = target.GetInterface();
    target.Attach();
    target.Attach();
    logger_->AttachTarget(table);
    EXPECT_EQ(Occurrences(logger_, table), 1u);
    EXPECT_TRUE(target.IsAttached());

    target.Detach();
    std::vector<LogTargetInterface*> before = logger_->GetTargets();
    target.Detach();
    logger_->DetachTarget(table);
    EXPECT_EQ(logger_->GetTargets(), before);
    EXPECT_FALSE(target.IsAttached());
    logger_->AttachTarget(nullptr);
    logger_->DetachTarget(nullptr);
    EXPECT_EQ(logger_->GetTargets(), before);
}

TEST_F(LoggerTest, DestroyingAnAttachedTargetDetachesIt) {
    QuietConsoles();
    LogTargetInterface* table;
    {
        RecordingLogTarget target;
        target.Attach();
        table = target.GetInterface();
        EXPECT_EQ(Occurrences(logger_, table), 1u);
    }
    EXPECT_EQ(Occurrences(logger_, table), 0u);
    {
        StdErrLogTarget console(nullptr);
        console.Attach();
        table = console.GetInterface();
    }
    EXPECT_EQ(Occurrences(logger_, table), 0u);
    Log(kLogWarn, 0, 0, "no dangling target is called");
}

TEST_F(LoggerTest, ConfigureAppliesEverySettingAndAttaches) {
    QuietConsoles();
    RecordingLogTarget target;
    LogTargetSettings settings;
    settings.minLevel = kLogError;
    settings.includedCategories = 0x3;
    settings.excludedCategories = 0x1;
    settings.pattern = "#L| #M";
    target.Configure(settings);
    EXPECT_TRUE(target.IsAttached());
    EXPECT_EQ(target.GetMinLevel(), kLogError);
    EXPECT_EQ(target.GetIncludedCategories(), 0x2u);
    EXPECT_EQ(target.GetExcludedCategories(), 0x1u);
    Log(kLogError, 0x2, 0, "configured");
    Log(kLogWarn, 0x2, 0, "below minimum");
    ASSERT_EQ(target.Lines().size(), 1u);
    EXPECT_EQ(target.Lines()[0].line, " ERROR| configured\n");

    // Configuring again keeps one entry, moved to the end of the list.
    RecordingLogTarget other;
    other.Attach();
    target.Configure(LogTargetSettings{});
    EXPECT_EQ(Occurrences(logger_, target.GetInterface()), 1u);
    EXPECT_EQ(logger_->GetTargets().back(), target.GetInterface());
    EXPECT_STREQ(target.GetPattern(LogRecord{}), kDefaultLogPattern);
    EXPECT_EQ(target.GetMinLevel(), kLogWarn);
}

TEST_F(LoggerTest, ConsoleTargetsHaveTheirNamesAndDefaults) {
    struct Case {
        BaseConsoleLogTarget* target;
        const char* className;
        const char* pattern;
        uint64_t included;
        uint64_t excluded;
        bool attached;
    };
    const Case cases[] = {
        {&logger_->GetStdErrTarget(), "StdErrLogTarget", "#E(#T): #L| #M", kCategoryDBG,
         kCategoryGEN, true},
        {&logger_->GetStdOutTarget(), "StdOutLogTarget", "#M", kCategoryGEN, kCategoryDBG, false},
        {&logger_->GetDebuggerConsoleTarget(), "DebuggerConsoleLogTarget", "#E(#T): #L| #M",
         kCategoryDBG, 0, true},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.target->GetClassName(), c.className);
        EXPECT_STREQ(c.target->GetPattern(LogRecord{}), c.pattern) << c.className;
        EXPECT_EQ(c.target->GetIncludedCategories(), c.included) << c.className;
        EXPECT_EQ(c.target->GetExcludedCategories(), c.excluded) << c.className;
        EXPECT_EQ(c.target->GetMinLevel(), kLogWarn) << c.className;
        EXPECT_EQ(c.target->IsAttached(), c.attached) << c.className;
    }
    EXPECT_EQ(logger_->GetStdOutTarget().GetFlushSetting(), 0);

    struct Unnamed : BaseConsoleLogTarget {
        bool Write(const LogRecord&) override { return true; }
        void Flush() override {}
    } unnamed;
    EXPECT_STREQ(unnamed.GetClassName(), "BaseConsoleLogTarget");
}

TEST_F(LoggerTest, StreamTargetsWriteFormattedLines) {
    std::FILE* errStream = std::tmpfile();
    std::FILE* outStream = std::tmpfile();
    ASSERT_NE(errStream, nullptr);
    ASSERT_NE(outStream, nullptr);
    {
        StdErrLogTarget err(errStream);
        StdOutLogTarget out(outStream);
        err.SetPattern("#L| #M");
        EXPECT_TRUE(err.Write(Record(kLogError, 0, "first")));
        EXPECT_TRUE(err.Write(Record(kLogWarn, 0, "second\n")));
        EXPECT_TRUE(out.Write(Record(kLogWarn, 0, "plain")));
        err.Flush();
        out.Flush();
    }
    EXPECT_EQ(Contents(errStream), " ERROR| first\n  WARN| second\n");
    EXPECT_EQ(Contents(outStream), "plain\n");
    std::fclose(errStream);
    std::fclose(outStream);

    StdErrLogTarget nowhere(nullptr);
    EXPECT_FALSE(nowhere.Write(Record(kLogWarn, 0, "lost")));
}

TEST_F(LoggerTest, StdOutFlushSettingPushesEachLineOut) {
    // A named file read through a second handle shows what has left the stream's buffer.
    const std::string path = ::testing::TempDir() + "stdout_flush_setting_test.txt";
    std::FILE* stream = std::fopen(path.c_str(), "wb");
    ASSERT_NE(stream, nullptr);
    static char buffer[8192];
    ASSERT_EQ(std::setvbuf(stream, buffer, _IOFBF, sizeof buffer), 0);
    auto onDisk = [&] {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    };
    StdOutLogTarget out(stream);
    out.Write(Record(kLogWarn, 0, "held"));
    EXPECT_EQ(onDisk(), "");
    out.SetFlushSetting(1);
    out.Write(Record(kLogWarn, 0, "pushed"));
    EXPECT_EQ(onDisk(), "held\npushed\n");
    out.SetFlushSetting(2);  // Only 1 means flush.
    out.Write(Record(kLogWarn, 0, "held again"));
    EXPECT_EQ(onDisk(), "held\npushed\n");
    out.Flush();
    EXPECT_EQ(onDisk(), "held\npushed\nheld again\n");
    std::fclose(stream);
}

// Captures what the built-in console targets write while it lives.
class ConsoleCapture {
  public:
    ConsoleCapture() {
        previous_ =
            Platform::SetDebugOutputSink([this](const char* text) { debugger_.append(text); });
        ::testing::internal::CaptureStderr();
        ::testing::internal::CaptureStdout();
    }
    ~ConsoleCapture() { Finish(); }
    void Finish() {
        if (finished_) return;
        finished_ = true;
        stdout_ = ::testing::internal::GetCapturedStdout();
        stderr_ = ::testing::internal::GetCapturedStderr();
        Platform::SetDebugOutputSink(previous_);
    }
    std::string stdout_, stderr_, debugger_;

  private:
    Platform::DebugOutputSink previous_;
    bool finished_ = false;
};

TEST_F(LoggerTest, BuiltInTargetsRouteByCategory) {
    logger_->GetStdOutTarget().Attach();
    std::string prefix = std::string(Logger::GetExecutableName()) + "(";
    ConsoleCapture capture;
    Log(kLogWarn, LogCategoriesLow(kCategoryGEN), 0, "general");
    Log(kLogWarn, LogCategoriesLow(kCategoryDBG), 0, "debug");
    Log(kLogError, 0, 0, "uncategorised");
    Log(kLogWarn, LogCategoriesLow(kCategoryNET), 0, "network");
    capture.Finish();

    char thread[16];
    std::snprintf(thread, sizeof thread, "%08X", Platform::CurrentThreadId());
    std::string console = prefix + thread + "): ";
    EXPECT_EQ(capture.stdout_, "general\nuncategorised\n");
    EXPECT_EQ(capture.stderr_, console + "  WARN| debug\n" + console + " ERROR| uncategorised\n");
    EXPECT_EQ(capture.debugger_, console + "  WARN| debug\n" + console + " ERROR| uncategorised\n");
}

}  // namespace
}  // namespace Vane
