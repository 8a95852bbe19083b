// Cost of a Log call that the filter drops, against a passed call and plain snprintf.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "log/log_line.h"
#include "log/log_target.h"
#include "log/logger.h"

namespace Vane {
namespace {

// Accepts everything and writes nothing: what remains is the logger's own work.
class NullTarget : public LogTarget {
  public:
    NullTarget() { SetMinLevel(kLogOkay); }
    ~NullTarget() override { Detach(); }
    bool Write(const LogRecord& record) override {
        benchmark::DoNotOptimize(record.message);
        return true;
    }
};

// Holds the logger with the console targets detached for one benchmark.
class QuietLogger {
  public:
    QuietLogger() : logger_(AcquireLogger()) {
        logger_->GetStdErrTarget().Detach();
        logger_->GetDebuggerConsoleTarget().Detach();
    }
    ~QuietLogger() { ReleaseLogger(); }

  private:
    Logger* logger_;
};

void BM_LogDroppedBelowMinimumLevel(benchmark::State& state) {
    QuietLogger quiet;
    NullTarget target;
    target.Attach();
    int value = 0;
    for (auto _ : state) {
        Log(kLogOkay, LogCategoriesLow(kCategoryGEN), 0, "mission %d of %s", value++, "series");
    }
}
BENCHMARK(BM_LogDroppedBelowMinimumLevel);

void BM_LogDroppedExcludedCategory(benchmark::State& state) {
    QuietLogger quiet;
    NullTarget target;
    target.Attach();
    int value = 0;
    for (auto _ : state) {
        Log(kLogAlways, LogCategoriesLow(kCategoryXTR), 0, "mission %d of %s", value++, "series");
    }
}
BENCHMARK(BM_LogDroppedExcludedCategory);

void BM_LogPassedToNullTarget(benchmark::State& state) {
    QuietLogger quiet;
    NullTarget target;
    target.Attach();
    int value = 0;
    for (auto _ : state) {
        Log(kLogWarn, LogCategoriesLow(kCategoryGEN), 0, "mission %d of %s", value++, "series");
    }
}
BENCHMARK(BM_LogPassedToNullTarget);

// Reference: formatting the same message alone.
void BM_SnprintfReference(benchmark::State& state) {
    char message[kLogBufferSize];
    int value = 0;
    for (auto _ : state) {
        std::snprintf(message, sizeof message, "mission %d of %s", value++, "series");
        benchmark::DoNotOptimize(message);
    }
}
BENCHMARK(BM_SnprintfReference);

// Reference: the line a console target builds per record with the default pattern.
void BM_FormatLogLineDefaultPattern(benchmark::State& state) {
    LogRecord record;
    record.year = 2024;
    record.month = 5;
    record.day = 1;
    record.level = kLogWarn;
    record.categories = kCategoryDBG | kCategoryNET;
    record.message = "mission 12 of series";
    char line[kLogBufferSize];
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatLogLine(line, sizeof line, kDefaultLogPattern, record));
    }
}
BENCHMARK(BM_FormatLogLineDefaultPattern);

}  // namespace
}  // namespace Vane
