#pragma once
// Lock annotations that clang's -Wthread-safety checks at compile time: which lock guards a
// field, which locks a function needs held or not held, which functions take and give back a
// lock. Under other compilers they expand to nothing.

#if defined(__clang__)
#define KAVRO_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define KAVRO_THREAD_ATTRIBUTE(x)
#endif

// A type that is a lock.
#define CAPABILITY(x) KAVRO_THREAD_ATTRIBUTE(capability(x))
// A type whose objects hold a lock for their lifetime.
#define SCOPED_CAPABILITY KAVRO_THREAD_ATTRIBUTE(scoped_lockable)
// The field is read and written only with the lock held.
#define GUARDED_BY(x) KAVRO_THREAD_ATTRIBUTE(guarded_by(x))
// What the pointer points to is read and written only with the lock held.
#define PT_GUARDED_BY(x) KAVRO_THREAD_ATTRIBUTE(pt_guarded_by(x))
// Locks to be taken in this order.
#define ACQUIRED_BEFORE(...) KAVRO_THREAD_ATTRIBUTE(acquired_before(__VA_ARGS__))
#define ACQUIRED_AFTER(...) KAVRO_THREAD_ATTRIBUTE(acquired_after(__VA_ARGS__))
// The caller holds the lock (exclusively / shared).
#define REQUIRES(...) KAVRO_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define REQUIRES_SHARED(...) KAVRO_THREAD_ATTRIBUTE(requires_shared_capability(__VA_ARGS__))
// The function takes the lock and returns holding it.
#define ACQUIRE(...) KAVRO_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define ACQUIRE_SHARED(...) KAVRO_THREAD_ATTRIBUTE(acquire_shared_capability(__VA_ARGS__))
// The function gives back a lock the caller held.
#define RELEASE(...) KAVRO_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define RELEASE_SHARED(...) KAVRO_THREAD_ATTRIBUTE(release_shared_capability(__VA_ARGS__))
// The function takes the lock when it returns the given value.
#define TRY_ACQUIRE(...) KAVRO_THREAD_ATTRIBUTE(try_acquire_capability(__VA_ARGS__))
// The caller must not hold the lock (the function takes it itself).
#define EXCLUDES(...) KAVRO_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
// Checked at run time instead: the analysis takes the lock as held from here on.
#define ASSERT_CAPABILITY(x) KAVRO_THREAD_ATTRIBUTE(assert_capability(x))
// The function returns a reference to the lock.
#define RETURN_CAPABILITY(x) KAVRO_THREAD_ATTRIBUTE(lock_returned(x))
// The function's locking is beyond the analysis (kept rare, each with its reason).
#define NO_THREAD_SAFETY_ANALYSIS KAVRO_THREAD_ATTRIBUTE(no_thread_safety_analysis)
