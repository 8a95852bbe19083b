// The console log targets: standard error, standard output and the debugger output.
#ifndef PYX_LOG_CONSOLE_TARGETS_H_
#define PYX_LOG_CONSOLE_TARGETS_H_

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "log/log_target.h"

namespace Vane {

// The console targets' pattern: executable, thread, level and message.
inline constexpr const char* kConsoleLogPattern = "#E(#T): #L| #M";

// Common base of the console targets; detaches them before they are destroyed.
class BaseConsoleLogTarget : public LogTarget {
  public:
    // Detaches the target.
    ~BaseConsoleLogTarget() override;
    // "BaseConsoleLogTarget".
    const char* GetClassName() const override;
    // Pushes out what the destination buffers.
    virtual void Flush() = 0;
};

// Writes lines to a stream, standard error by default. Accepts DBG, excludes GEN.
class StdErrLogTarget : public BaseConsoleLogTarget {
  public:
    // A detached target writing to stream (standard error unless given) with pattern
    // "#E(#T): #L| #M", included DBG, excluded GEN.
    explicit StdErrLogTarget(std::FILE* stream = stderr);
    ~StdErrLogTarget() override;
    // "StdErrLogTarget".
    const char* GetClassName() const override;
    // Formats the line and writes it in one call, under the target's lock. False when the
    // stream rejects it.
    bool Write(const LogRecord& record) override;
    // Flushes the stream.
    void Flush() override;

  private:
    std::FILE* stream_;
};

// Writes lines to a stream, standard output by default, and flushes after each line when the
// flush setting is 1. Accepts GEN, excludes DBG.
class StdOutLogTarget : public BaseConsoleLogTarget {
  public:
    // A detached target writing to stream (standard output unless given) with pattern "#M",
    // included GEN, excluded DBG, flush setting 0.
    explicit StdOutLogTarget(std::FILE* stream = stdout);
    ~StdOutLogTarget() override;
    // "StdOutLogTarget".
    const char* GetClassName() const override;
    // Formats the line and writes it in one call (then flushes when the setting is 1), under
    // the target's lock. False when the stream rejects it.
    bool Write(const LogRecord& record) override;
    // Flushes the stream.
    void Flush() override;

    // 1 flushes the stream after every line; any other value leaves buffering to the stream.
    void SetFlushSetting(int32_t flush) { flush_.store(flush, std::memory_order_relaxed); }
    int32_t GetFlushSetting() const { return flush_.load(std::memory_order_relaxed); }

  private:
    std::FILE* stream_;
    std::atomic<int32_t> flush_{0};
};

// Writes lines to the platform's debugger output (Platform::DebugOutput). Accepts DBG.
class DebuggerConsoleLogTarget : public BaseConsoleLogTarget {
  public:
    // A detached target with pattern "#E(#T): #L| #M", included DBG, nothing excluded.
    DebuggerConsoleLogTarget();
    ~DebuggerConsoleLogTarget() override;
    // "DebuggerConsoleLogTarget".
    const char* GetClassName() const override;
    // Formats the line and hands it to the debugger output, under the target's lock.
    bool Write(const LogRecord& record) override;
    // Nothing to flush.
    void Flush() override;
};

// Puts target back to the settings its constructor gives (and, for standard output, flush 0);
// leaves the attachment as it is.
void ResetConsoleDefaults(StdErrLogTarget& target);
void ResetConsoleDefaults(StdOutLogTarget& target);
void ResetConsoleDefaults(DebuggerConsoleLogTarget& target);

}  // namespace Vane

#endif  // PYX_LOG_CONSOLE_TARGETS_H_
