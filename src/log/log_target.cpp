#include "log/log_target.h"

#include "log/logger.h"

namespace Vane {

namespace {

void ThunkSetMinLevel(LogTargetInterface* self, int32_t level) {
    LogTarget::FromInterface(self)->SetMinLevel(level);
}
int32_t ThunkGetMinLevel(LogTargetInterface* self) {
    return LogTarget::FromInterface(self)->GetMinLevel();
}
void ThunkSetCategories(LogTargetInterface* self, uint64_t included, uint64_t excluded) {
    LogTarget::FromInterface(self)->SetCategories(included, excluded);
}
uint64_t ThunkGetIncludedCategories(LogTargetInterface* self) {
    return LogTarget::FromInterface(self)->GetIncludedCategories();
}
uint64_t ThunkGetExcludedCategories(LogTargetInterface* self) {
    return LogTarget::FromInterface(self)->GetExcludedCategories();
}
const char* ThunkGetClassName(LogTargetInterface* self) {
    return LogTarget::FromInterface(self)->GetClassName();
}
const char* ThunkGetPattern(LogTargetInterface* self, const LogRecord* record) {
    return LogTarget::FromInterface(self)->GetPattern(*record);
}
void ThunkAttach(LogTargetInterface* self) {
    LogTarget::FromInterface(self)->Attach();
}
void ThunkDetach(LogTargetInterface* self) {
    LogTarget::FromInterface(self)->Detach();
}
bool ThunkIsAttached(LogTargetInterface* self) {
    return LogTarget::FromInterface(self)->IsAttached();
}
bool ThunkWrite(LogTargetInterface* self, const LogRecord* record) {
    LogTarget* target = LogTarget::FromInterface(self);
    try {
        ScopedLock guard(target->GetLock());
        return target->Write(*record);
    } catch (...) {
        return false;
    }
}

}  // namespace

LogTarget::LogTarget()
    : table_{{kLogTargetInterfaceVersion, &ThunkSetMinLevel, &ThunkGetMinLevel, &ThunkSetCategories,
              &ThunkGetIncludedCategories, &ThunkGetExcludedCategories, &ThunkGetClassName,
              &ThunkGetPattern, &ThunkAttach, &ThunkDetach, &ThunkIsAttached, &ThunkWrite},
             this} {}

LogTarget::~LogTarget() {
    LogTarget::Detach();
}

LogTarget* LogTarget::FromInterface(LogTargetInterface* table) {
    return table != nullptr ? reinterpret_cast<Table*>(table)->owner : nullptr;
}

void LogTarget::Detach() {
    Logger& logger = Logger::Instance();
    ScopedLock guard(logger.GetLock());
    if (!attached_.load(std::memory_order_relaxed)) return;
    attached_.store(false, std::memory_order_release);
    logger.RemoveTargetEntries(&table_.ops);
}

const char* LogTarget::GetClassName() const {
    return "LogTarget";
}

const char* LogTarget::GetPattern(const LogRecord&) const {
    return pattern_.c_str();
}

void LogTarget::Attach() {
    Logger& logger = Logger::Instance();
    ScopedLock guard(logger.GetLock());
    if (attached_.load(std::memory_order_relaxed)) return;
    if (logger.AppendTargetEntry(&table_.ops)) attached_.store(true, std::memory_order_release);
}

void LogTarget::SetMinLevel(int32_t level) {
    ScopedLock guard(lock_);
    minLevel_.store(level, std::memory_order_relaxed);
}

void LogTarget::SetCategories(uint64_t included, uint64_t excluded) {
    ScopedLock guard(lock_);
    excluded_.store(excluded, std::memory_order_relaxed);
    included_.store(included & ~excluded, std::memory_order_relaxed);
}

void LogTarget::SetPattern(const char* pattern) {
    ScopedLock guard(lock_);
    try {
        pattern_ = pattern != nullptr ? pattern : "";
    } catch (...) {
        // Out of memory: the previous pattern stays.
    }
}

void LogTarget::Configure(const LogTargetSettings& settings) {
    // The target's lock is not held across Detach/Attach: those take the logger lock, and the
    // logger holds its lock while it takes a target's lock to write. Taking them the other
    // way round here could deadlock against a concurrent Log.
    Detach();
    {
        ScopedLock guard(lock_);
        minLevel_.store(settings.minLevel, std::memory_order_relaxed);
        SetPattern(settings.pattern.c_str());
        SetCategories(settings.includedCategories, settings.excludedCategories);
    }
    Attach();
}

bool TargetAccepts(int32_t minLevel, uint64_t included, uint64_t excluded, int32_t level,
                   uint64_t categories) {
    if (level < minLevel) return false;
    if (categories == 0) return true;
    if ((categories & excluded) != 0) return false;
    return included == 0 || (categories & included) != 0;
}

}  // namespace Vane
