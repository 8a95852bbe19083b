// A portable critical section and its scoped guard.
//
// The section is recursive: the logger calls its targets while holding its own section, and a
// target (or anything it calls) may log again on the same thread.
#ifndef PYX_UTIL_LOCK_H_
#define PYX_UTIL_LOCK_H_

#include <mutex>

namespace Vane {

// Recursive mutual exclusion; the same thread may enter it again before leaving.
class CriticalSection {
  public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    // Blocks until the calling thread owns the section (again).
    void Enter() { mutex_.lock(); }
    // Releases one level of ownership held by the calling thread.
    void Leave() { mutex_.unlock(); }
    // Takes the section when it is free or already owned by the caller; false otherwise.
    bool TryEnter() { return mutex_.try_lock(); }

    // The standard Lockable names, so standard guards work as well.
    void lock() { Enter(); }
    void unlock() { Leave(); }
    bool try_lock() { return TryEnter(); }

  private:
    std::recursive_mutex mutex_;
};

// Owns a critical section from construction to the end of the scope.
class ScopedLock {
  public:
    explicit ScopedLock(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~ScopedLock() { section_.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

  private:
    CriticalSection& section_;
};

}  // namespace Vane

#endif  // PYX_UTIL_LOCK_H_
