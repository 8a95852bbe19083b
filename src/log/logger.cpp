#include "log/logger.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "util/platform.h"

namespace Vane {

namespace {

// Messages logged from inside a target deeper than this are dropped.
constexpr int kMaxDispatchDepth = 4;
constexpr size_t kMaxExecutableName = 1024;

thread_local int dispatchDepth = 0;

std::atomic<const char*> executableName{"<unknown>"};

// Reads the executable's name once per process; it cannot change while the process runs.
void LoadExecutableName() {
    static std::once_flag once;
    std::call_once(once, [] {
        static char name[kMaxExecutableName + 1] = {};
        try {
            std::string file = Platform::ExecutableFileName();
            if (file.empty()) return;
            std::snprintf(name, sizeof name, "%s", file.c_str());
        } catch (...) {
            return;
        }
        executableName.store(name, std::memory_order_release);
    });
}

// Formats into the fixed message buffer; anything that fails formatting leaves it empty.
void FormatMessage(char (&message)[kLogBufferSize], const char* format, va_list args) {
    message[0] = '\0';
    if (format == nullptr) return;
    if (std::vsnprintf(message, sizeof message, format, args) < 0) message[0] = '\0';
}

}  // namespace

Logger& Logger::Instance() {
    // Never destroyed: targets and static objects may still log or detach while the process
    // shuts down.
    static Logger* const instance = new Logger();
    return *instance;
}

Logger& Logger::Get() {
    Logger& logger = Instance();
    if (!logger.created_.load(std::memory_order_acquire)) {
        ScopedLock guard(logger.lock_);
        logger.CreateLocked();
    }
    return logger;
}

void Logger::CreateLocked() {
    if (created_.load(std::memory_order_relaxed)) return;
    LoadExecutableName();
    stdErr_.Attach();
    debugger_.Attach();
    created_.store(true, std::memory_order_release);
}

void Logger::DestroyLocked() {
    while (!targets_.empty()) {
        LogTargetInterface* target = targets_.back();
        size_t before = targets_.size();
        target->Detach(target);
        // A target whose Detach left it in the list is taken out all the same.
        if (targets_.size() >= before) RemoveTargetEntries(target);
    }
    ResetConsoleDefaults(stdErr_);
    ResetConsoleDefaults(stdOut_);
    ResetConsoleDefaults(debugger_);
    disabled_.store(false, std::memory_order_relaxed);
    minLevel_.store(kLogWarn, std::memory_order_relaxed);
    excluded_.store(kCategoryXTR, std::memory_order_relaxed);
    warnings_.store(0, std::memory_order_relaxed);
    errors_.store(0, std::memory_order_relaxed);
    created_.store(false, std::memory_order_release);
}

void Logger::SetExcludedCategories(uint32_t low, uint32_t high) {
    excluded_.store((uint64_t{high} << 32) | low, std::memory_order_relaxed);
}

void Logger::AttachTarget(LogTargetInterface* target) {
    if (target != nullptr) target->Attach(target);
}

void Logger::DetachTarget(LogTargetInterface* target) {
    if (target != nullptr) target->Detach(target);
}

LogTargetInterface* Logger::FindTarget(const char* className) {
    if (className == nullptr) return nullptr;
    ScopedLock guard(lock_);
    for (LogTargetInterface* target : targets_) {
        const char* name = target->GetClassName(target);
        if (name != nullptr && std::strcmp(name, className) == 0) return target;
    }
    return nullptr;
}

std::vector<LogTargetInterface*> Logger::GetTargets() {
    ScopedLock guard(lock_);
    try {
        return targets_;
    } catch (...) {
        return {};
    }
}

const char* Logger::GetExecutableName() {
    return executableName.load(std::memory_order_acquire);
}

bool Logger::AppendTargetEntry(LogTargetInterface* target) {
    if (target == nullptr) return false;
    ScopedLock guard(lock_);
    try {
        targets_.push_back(target);
    } catch (...) {
        return false;
    }
    return true;
}

void Logger::RemoveTargetEntries(LogTargetInterface* target) {
    ScopedLock guard(lock_);
    targets_.erase(std::remove(targets_.begin(), targets_.end(), target), targets_.end());
}

void Logger::Dispatch(int32_t level, uint64_t categories, const char* message) {
    if (dispatchDepth >= kMaxDispatchDepth) return;
    Platform::LocalTime now = Platform::GetLocalTime();
    LogRecord record;
    record.year = now.year;
    record.month = now.month;
    record.day = now.day;
    record.hour = now.hour;
    record.minute = now.minute;
    record.second = now.second;
    record.millisecond = now.millisecond;
    record.level = level;
    record.categories = categories;
    record.message = message != nullptr ? message : "";

    ScopedLock guard(lock_);
    CreateLocked();  // A last release may have run since the caller's Get().
    ++dispatchDepth;
    if (level == kLogWarn) warnings_.fetch_add(1, std::memory_order_relaxed);
    if (level == kLogError) errors_.fetch_add(1, std::memory_order_relaxed);
    // Indexes, not iterators: a target may attach or detach targets from inside Write.
    for (size_t i = 0; i < targets_.size(); ++i) {
        LogTargetInterface* target = targets_[i];
        if (!TargetAccepts(target->GetMinLevel(target), target->GetIncludedCategories(target),
                           target->GetExcludedCategories(target), level, categories)) {
            continue;
        }
        target->Write(target, &record);
        if (i < targets_.size() && targets_[i] == target) continue;
        // The list changed under us: carry on after the target's new place, or at the same
        // index when it left the list, so no other target misses the record.
        auto found = std::find(targets_.begin(), targets_.end(), target);
        if (found != targets_.end()) {
            i = static_cast<size_t>(found - targets_.begin());
        } else {
            --i;  // Wraps to SIZE_MAX at 0; the loop's ++i brings it back.
        }
    }
    --dispatchDepth;
}

Logger* AcquireLogger() {
    Logger& logger = Logger::Instance();
    ScopedLock guard(logger.lock_);
    ++logger.references_;
    logger.CreateLocked();
    return &logger;
}

void ReleaseLogger() {
    Logger& logger = Logger::Instance();
    ScopedLock guard(logger.lock_);
    if (logger.references_ == 0) return;
    if (--logger.references_ == 0) logger.DestroyLocked();
}

void LogV(int32_t level, uint64_t categories, const char* format, va_list args) {
    Logger& logger = Logger::Get();
    if (logger.Drops(level, categories)) return;
    char message[kLogBufferSize];
    FormatMessage(message, format, args);
    logger.Dispatch(level, categories, message);
}

void Log(int32_t level, uint32_t categoriesLow, uint32_t categoriesHigh, const char* format, ...) {
    Logger& logger = Logger::Get();
    uint64_t categories = (uint64_t{categoriesHigh} << 32) | categoriesLow;
    // Decided before any va_list or formatting work.
    if (logger.Drops(level, categories)) return;
    char message[kLogBufferSize];
    va_list args;
    va_start(args, format);
    FormatMessage(message, format, args);
    va_end(args);
    logger.Dispatch(level, categories, message);
}

}  // namespace Vane
