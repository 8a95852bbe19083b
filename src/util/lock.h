// The project's locks and their scoped guards, annotated for clang's thread-safety analysis:
// CriticalSection (recursive) and Mutex (not recursive).
//
// The section is recursive: the logger calls its targets while holding its own section, and a
// target (or anything it calls) may log again on the same thread.
#ifndef PYX_UTIL_LOCK_H_
#define PYX_UTIL_LOCK_H_

#include <mutex>

#include "util/thread_annotations.h"

namespace Vane {

// Recursive mutual exclusion; the same thread may enter it again before leaving.
class CAPABILITY("critical section") CriticalSection {
  public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    // Blocks until the calling thread owns the section (again).
    void Enter() ACQUIRE() { mutex_.lock(); }
    // Releases one level of ownership held by the calling thread.
    void Leave() RELEASE() { mutex_.unlock(); }
    // Takes the section when it is free or already owned by the caller; false otherwise.
    bool TryEnter() TRY_ACQUIRE(true) { return mutex_.try_lock(); }

    // The standard Lockable names, so standard guards work as well.
    void lock() ACQUIRE() { Enter(); }
    void unlock() RELEASE() { Leave(); }
    bool try_lock() TRY_ACQUIRE(true) { return TryEnter(); }

  private:
    std::recursive_mutex mutex_;
};

// Owns a critical section from construction to the end of the scope.
class SCOPED_CAPABILITY ScopedLock {
  public:
    explicit ScopedLock(CriticalSection& section) ACQUIRE(section) : section_(section) {
        section_.Enter();
    }
    ~ScopedLock() RELEASE() { section_.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

  private:
    CriticalSection& section_;
};

// Plain mutual exclusion, for state no callback can re-enter.
class CAPABILITY("mutex") Mutex {
  public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void Lock() ACQUIRE() { mutex_.lock(); }
    void Unlock() RELEASE() { mutex_.unlock(); }

    // The standard BasicLockable names, for std::condition_variable_any and standard guards.
    void lock() ACQUIRE() { Lock(); }
    void unlock() RELEASE() { Unlock(); }

  private:
    std::mutex mutex_;
};

// Owns a mutex from construction to the end of the scope.
class SCOPED_CAPABILITY MutexLock {
  public:
    explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.Lock(); }
    ~MutexLock() RELEASE() { mutex_.Unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

  private:
    Mutex& mutex_;
};

}  // namespace Vane

#endif  // PYX_UTIL_LOCK_H_
