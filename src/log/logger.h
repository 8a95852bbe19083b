// The process-wide logger: filters printf-style messages by level and category, stamps them
// with the local time and hands them to every attached log target.
//
// Category masks are 64-bit; the Log entry point takes them as two 32-bit words:
// categoriesLow carries bits 0..31 (slots 0..31) and categoriesHigh bits 32..63, so
// mask == (uint64_t{categoriesHigh} << 32) | categoriesLow. LogCategoriesLow/High split one.
#ifndef PYX_LOG_LOGGER_H_
#define PYX_LOG_LOGGER_H_

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <vector>

#include "log/console_targets.h"
#include "log/log_categories.h"
#include "log/log_line.h"
#include "log/log_target.h"
#include "util/lock.h"

namespace Vane {

// The low word (bits 0..31) of a category mask, as Log takes it.
constexpr uint32_t LogCategoriesLow(uint64_t mask) {
    return static_cast<uint32_t>(mask);
}
// The high word (bits 32..63) of a category mask, as Log takes it.
constexpr uint32_t LogCategoriesHigh(uint64_t mask) {
    return static_cast<uint32_t>(mask >> 32);
}

// The singleton logger. Its storage lives for the whole process, so a Log racing with the
// last ReleaseLogger never touches freed memory; "creating" and "destroying" it attach the
// built-in targets and return everything to the defaults.
class Logger {
  public:
    // The logger object without creating it (no built-in targets attached yet). Targets use
    // it to attach and detach themselves.
    static Logger& Instance();
    // The logger, created first if needed: standard error and debugger console attached.
    static Logger& Get();

    // Messages below level are dropped (default 1, WARN).
    void SetMinLevel(int32_t level) { minLevel_.store(level, std::memory_order_relaxed); }
    int32_t GetMinLevel() const { return minLevel_.load(std::memory_order_relaxed); }
    // Messages in any of these categories are dropped (default the "XTR" bit, 0x4).
    void SetExcludedCategories(uint32_t low, uint32_t high);
    uint64_t GetExcludedCategories() const { return excluded_.load(std::memory_order_relaxed); }
    // While disabled every message is dropped (default enabled).
    void Disable() { disabled_.store(true, std::memory_order_relaxed); }
    void Enable() { disabled_.store(false, std::memory_order_relaxed); }
    bool IsDisabled() const { return disabled_.load(std::memory_order_relaxed); }

    // Lets target attach itself (its Attach operation). A null target is ignored.
    void AttachTarget(LogTargetInterface* target);
    // Lets target detach itself (its Detach operation). A null target is ignored.
    void DetachTarget(LogTargetInterface* target);
    // The first attached target whose class name equals className byte for byte; null when
    // none does or className is null.
    LogTargetInterface* FindTarget(const char* className);
    // The attached targets in dispatch order (a copy).
    std::vector<LogTargetInterface*> GetTargets();

    // The built-in targets; they live as long as the process.
    StdErrLogTarget& GetStdErrTarget() { return stdErr_; }
    StdOutLogTarget& GetStdOutTarget() { return stdOut_; }
    DebuggerConsoleLogTarget& GetDebuggerConsoleTarget() { return debugger_; }

    // The executable's file name, "<unknown>" until the logger was first created.
    static const char* GetExecutableName();
    // The six-character word of level (see the free LevelWord).
    static const char* LevelWord(int32_t level) { return Vane::LevelWord(level); }

    // Level 1 (WARN) and level 2 (ERROR) messages that passed the logger's filter since it
    // was created.
    uint32_t GetWarningCount() const { return warnings_.load(std::memory_order_relaxed); }
    uint64_t GetErrorCount() const { return errors_.load(std::memory_order_relaxed); }

    // True when the logger's own filter drops a message of level and categories. Lock-free.
    bool Drops(int32_t level, uint64_t categories) const {
        return level < minLevel_.load(std::memory_order_relaxed) ||
               (categories & excluded_.load(std::memory_order_relaxed)) != 0 ||
               disabled_.load(std::memory_order_relaxed);
    }

    // Counts message and hands it to every attached target whose filter accepts it, under
    // the logger lock. The caller has already applied Drops. A message logged from inside a
    // target beyond a small nesting depth is dropped, so a target that logs cannot recurse
    // without end.
    void Dispatch(int32_t level, uint64_t categories, const char* message);

    // The logger lock: guards the target list and the dispatch.
    CriticalSection& GetLock() { return lock_; }
    // For target implementations: appends target to the list (under the logger lock) without
    // looking at any attached flag. False when memory runs out.
    bool AppendTargetEntry(LogTargetInterface* target);
    // For target implementations: removes every occurrence of target (under the logger lock).
    void RemoveTargetEntries(LogTargetInterface* target);

  private:
    friend Logger* AcquireLogger();
    friend void ReleaseLogger();

    Logger() = default;
    void CreateLocked() REQUIRES(lock_);
    void DestroyLocked() REQUIRES(lock_);

    CriticalSection lock_;
    std::vector<LogTargetInterface*> targets_ GUARDED_BY(lock_);
    std::atomic<bool> created_{false};
    std::atomic<bool> disabled_{false};
    std::atomic<int32_t> minLevel_{kLogWarn};
    std::atomic<uint64_t> excluded_{kCategoryXTR};
    std::atomic<uint32_t> warnings_{0};
    std::atomic<uint64_t> errors_{0};
    int32_t references_ = 0;
    StdErrLogTarget stdErr_;
    StdOutLogTarget stdOut_;
    DebuggerConsoleLogTarget debugger_;
};

// Adds a user of the logger, creating it first when needed; returns it.
Logger* AcquireLogger();
// Removes a user. The last one detaches every target (last attached first), puts the
// built-in targets and all settings and counters back to their defaults; the next Log or
// AcquireLogger creates the logger again. Without users it does nothing.
void ReleaseLogger();

// Logs a printf-style message at level in the categories (low and high words, see above).
// Dropped without formatting when the logger is disabled, the level is below the minimum or
// a category is excluded. The message is cut to 4095 bytes; a null format logs an empty
// message.
void Log(int32_t level, uint32_t categoriesLow, uint32_t categoriesHigh, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Log with a 64-bit category mask and a va_list.
void LogV(int32_t level, uint64_t categories, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));

}  // namespace Vane

#endif  // PYX_LOG_LOGGER_H_
