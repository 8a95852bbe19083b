// Clang's thread-safety annotations, so the compiler checks which lock guards which member.
//
// Under clang with -Wthread-safety (every clang build of this project) a read or write of a
// GUARDED_BY member without its lock held, a function marked REQUIRES called without the lock,
// or a lock left held at the end of a scope is a compile error. Other compilers see nothing.
#ifndef PYX_UTIL_THREAD_ANNOTATIONS_H_
#define PYX_UTIL_THREAD_ANNOTATIONS_H_

#if defined(__clang__)
#define PYX_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define PYX_THREAD_ANNOTATION(x)
#endif

// On a class: its objects are locks.
#define CAPABILITY(name) PYX_THREAD_ANNOTATION(capability(name))
// On a class: its objects hold a lock from construction to destruction.
#define SCOPED_CAPABILITY PYX_THREAD_ANNOTATION(scoped_lockable)
// On a member: read and written only with the lock held.
#define GUARDED_BY(lock) PYX_THREAD_ANNOTATION(guarded_by(lock))
// On a pointer member: what it points to is read and written only with the lock held.
#define PT_GUARDED_BY(lock) PYX_THREAD_ANNOTATION(pt_guarded_by(lock))
// On a function: its callers hold the lock.
#define REQUIRES(...) PYX_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
// On a function: its callers do not hold the lock (it takes it).
#define EXCLUDES(...) PYX_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
// On a function: it takes the lock and returns with it held.
#define ACQUIRE(...) PYX_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
// On a function: it releases the lock its caller held.
#define RELEASE(...) PYX_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
// On a function: it takes the lock when it returns `result`.
#define TRY_ACQUIRE(...) PYX_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
// On a function that returns a lock: the lock it returns.
#define RETURN_CAPABILITY(lock) PYX_THREAD_ANNOTATION(lock_returned(lock))
// On a function the analysis cannot follow (a lock handed between objects); say why beside it.
#define NO_THREAD_SAFETY_ANALYSIS PYX_THREAD_ANNOTATION(no_thread_safety_analysis)

#endif  // PYX_UTIL_THREAD_ANNOTATIONS_H_
