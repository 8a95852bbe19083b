// Log targets: where log records become lines, each with its own filter and line pattern.
//
// The logger talks to a target only through its LogTargetInterface, a flat table of
// operations each receiving the table's own address, so a target implemented anywhere (as a
// LogTarget subclass or as a hand-filled table) attaches the same way.
#ifndef PYX_LOG_LOG_TARGET_H_
#define PYX_LOG_LOG_TARGET_H_

#include <atomic>
#include <cstdint>
#include <string>

#include "log/log_line.h"
#include "util/lock.h"

namespace Vane {

// The operations of a log target, in table order. Every entry receives the table's address.
struct LogTargetInterface {
    uint32_t version;  // always kLogTargetInterfaceVersion
    void (*SetMinLevel)(LogTargetInterface* self, int32_t level);
    int32_t (*GetMinLevel)(LogTargetInterface* self);
    void (*SetCategories)(LogTargetInterface* self, uint64_t included, uint64_t excluded);
    uint64_t (*GetIncludedCategories)(LogTargetInterface* self);
    uint64_t (*GetExcludedCategories)(LogTargetInterface* self);
    const char* (*GetClassName)(LogTargetInterface* self);
    const char* (*GetPattern)(LogTargetInterface* self, const LogRecord* record);
    void (*Attach)(LogTargetInterface* self);
    void (*Detach)(LogTargetInterface* self);
    bool (*IsAttached)(LogTargetInterface* self);
    bool (*Write)(LogTargetInterface* self, const LogRecord* record);
};

inline constexpr uint32_t kLogTargetInterfaceVersion = 1;

// The base target's line pattern.
inline constexpr const char* kDefaultLogPattern = "#D| #L| #G| #M";

// A target's whole configuration, applied in one step by LogTarget::Configure.
struct LogTargetSettings {
    int32_t minLevel = kLogWarn;
    uint64_t includedCategories = 0;
    uint64_t excludedCategories = 0;
    std::string pattern = kDefaultLogPattern;
};

// Base of the targets: filter, pattern, attachment to the logger and the embedded table.
// Created detached. Writes and settings changes are serialised by the target's own lock.
class LogTarget {
  public:
    // A detached target: minimum level WARN, all categories, pattern "#D| #L| #G| #M".
    LogTarget();
    // Detaches the target. A subclass whose Write uses its own members should call Detach()
    // in its own destructor, so no record reaches it half-destroyed.
    virtual ~LogTarget();
    LogTarget(const LogTarget&) = delete;
    LogTarget& operator=(const LogTarget&) = delete;

    // When attached: clears the flag and removes every occurrence of the target from the
    // logger's list (under the logger lock). Otherwise nothing.
    virtual void Detach();
    // The class name FindTarget compares against ("LogTarget" here).
    virtual const char* GetClassName() const;
    // The pattern for record: the configured one. The text stays valid until the settings
    // change; read it with the target's lock held when other threads may reconfigure.
    virtual const char* GetPattern(const LogRecord& record) const;
    // Delivers record; true when it was written. Calls through the operation table hold the
    // target's lock.
    virtual bool Write(const LogRecord& record) = 0;

    // When detached: sets the flag and appends the target to the logger's list (under the
    // logger lock). Otherwise nothing.
    void Attach();
    // True while the target is in the logger's list.
    bool IsAttached() const { return attached_.load(std::memory_order_acquire); }

    // The lowest level the target accepts.
    void SetMinLevel(int32_t level);
    int32_t GetMinLevel() const { return minLevel_.load(std::memory_order_relaxed); }
    // Stores excluded as given and included without the excluded bits. Included 0 accepts
    // every category; records without categories pass both masks.
    void SetCategories(uint64_t included, uint64_t excluded);
    uint64_t GetIncludedCategories() const { return included_.load(std::memory_order_relaxed); }
    uint64_t GetExcludedCategories() const { return excluded_.load(std::memory_order_relaxed); }
    // Replaces the line pattern (a null pattern counts as empty).
    void SetPattern(const char* pattern);

    // Detaches, applies every setting of settings (categories as SetCategories does) and
    // attaches again.
    void Configure(const LogTargetSettings& settings);

    // The embedded operation table; the address the logger keeps.
    LogTargetInterface* GetInterface() { return &table_.ops; }
    // The target behind a table built by a LogTarget.
    static LogTarget* FromInterface(LogTargetInterface* table);

    // The target's own lock, held by writes and settings changes.
    CriticalSection& GetLock() const { return lock_; }

  private:
    // Standard layout with the table first, so the table's address leads back to the target.
    struct Table {
        LogTargetInterface ops;
        LogTarget* owner;
    };

    mutable CriticalSection lock_;
    Table table_;
    std::atomic<bool> attached_{false};
    std::atomic<int32_t> minLevel_{kLogWarn};
    std::atomic<uint64_t> included_{0};
    std::atomic<uint64_t> excluded_{0};
    std::string pattern_ = kDefaultLogPattern;
};

// True when a target with these filter values accepts a record of level and categories.
bool TargetAccepts(int32_t minLevel, uint64_t included, uint64_t excluded, int32_t level,
                   uint64_t categories);

}  // namespace Vane

#endif  // PYX_LOG_LOG_TARGET_H_
