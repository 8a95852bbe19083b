#include "log/console_targets.h"

#include "log/log_categories.h"
#include "util/platform.h"

namespace Vane {

namespace {

// Formats record with target's pattern into line; the caller holds the target's lock.
size_t FormatFor(const LogTarget& target, const LogRecord& record, char (&line)[kLogBufferSize]) {
    return FormatLogLine(line, sizeof line, target.GetPattern(record), record);
}

bool WriteToStream(std::FILE* stream, const char* line, size_t length) {
    if (stream == nullptr) return false;
    return std::fwrite(line, 1, length, stream) == length;
}

}  // namespace

BaseConsoleLogTarget::~BaseConsoleLogTarget() {
    Detach();
}

const char* BaseConsoleLogTarget::GetClassName() const {
    return "BaseConsoleLogTarget";
}

StdErrLogTarget::StdErrLogTarget(std::FILE* stream) : stream_(stream) {
    ResetConsoleDefaults(*this);
}

StdErrLogTarget::~StdErrLogTarget() {
    Detach();
}

const char* StdErrLogTarget::GetClassName() const {
    return "StdErrLogTarget";
}

bool StdErrLogTarget::Write(const LogRecord& record) {
    ScopedLock guard(GetLock());
    char line[kLogBufferSize];
    size_t length = FormatFor(*this, record, line);
    return WriteToStream(stream_, line, length);
}

void StdErrLogTarget::Flush() {
    ScopedLock guard(GetLock());
    if (stream_ != nullptr) std::fflush(stream_);
}

StdOutLogTarget::StdOutLogTarget(std::FILE* stream) : stream_(stream) {
    ResetConsoleDefaults(*this);
}

StdOutLogTarget::~StdOutLogTarget() {
    Detach();
}

const char* StdOutLogTarget::GetClassName() const {
    return "StdOutLogTarget";
}

bool StdOutLogTarget::Write(const LogRecord& record) {
    ScopedLock guard(GetLock());
    char line[kLogBufferSize];
    size_t length = FormatFor(*this, record, line);
    bool written = WriteToStream(stream_, line, length);
    if (written && GetFlushSetting() == 1) written = std::fflush(stream_) == 0;
    return written;
}

void StdOutLogTarget::Flush() {
    ScopedLock guard(GetLock());
    if (stream_ != nullptr) std::fflush(stream_);
}

DebuggerConsoleLogTarget::DebuggerConsoleLogTarget() {
    ResetConsoleDefaults(*this);
}

DebuggerConsoleLogTarget::~DebuggerConsoleLogTarget() {
    Detach();
}

const char* DebuggerConsoleLogTarget::GetClassName() const {
    return "DebuggerConsoleLogTarget";
}

bool DebuggerConsoleLogTarget::Write(const LogRecord& record) {
    ScopedLock guard(GetLock());
    char line[kLogBufferSize];
    FormatFor(*this, record, line);
    Platform::DebugOutput(line);
    return true;
}

void DebuggerConsoleLogTarget::Flush() {}

void ResetConsoleDefaults(StdErrLogTarget& target) {
    target.SetMinLevel(kLogWarn);
    target.SetCategories(kCategoryDBG, kCategoryGEN);
    target.SetPattern(kConsoleLogPattern);
}

void ResetConsoleDefaults(StdOutLogTarget& target) {
    target.SetMinLevel(kLogWarn);
    target.SetCategories(kCategoryGEN, kCategoryDBG);
    target.SetPattern("#M");
    target.SetFlushSetting(0);
}

void ResetConsoleDefaults(DebuggerConsoleLogTarget& target) {
    target.SetMinLevel(kLogWarn);
    target.SetCategories(kCategoryDBG, 0);
    target.SetPattern(kConsoleLogPattern);
}

}  // namespace Vane
