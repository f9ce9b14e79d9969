#pragma once

// Which lock guards which state, in a form clang's -Wthread-safety checks at
// compile time (scripts/test --clang-tsa). Under GCC the annotations are
// empty and Mutex is a plain std::mutex.
//
//   Mutex mutex_;
//   std::vector<Item> items_ GUARDED_BY(mutex_);
//   void addLocked(Item item) REQUIRES(mutex_);
//   ... { MutexLock lock(mutex_); items_.push_back(item); }

#include <mutex>

#if defined(__clang__)
#define CRVN_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define CRVN_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) CRVN_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY CRVN_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) CRVN_THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) CRVN_THREAD_ANNOTATION(pt_guarded_by(x))
#define REQUIRES(...) CRVN_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) CRVN_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) CRVN_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) CRVN_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) CRVN_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define RETURN_CAPABILITY(x) CRVN_THREAD_ANNOTATION(lock_returned(x))

namespace crv {

// A std::mutex the analysis knows as a lock. It also serves std::lock_guard,
// std::unique_lock and std::condition_variable_any, which the analysis does
// not follow.
class CAPABILITY("mutex") Mutex {
 public:
  void lock() ACQUIRE() { mutex_.lock(); }
  void unlock() RELEASE() { mutex_.unlock(); }
  bool try_lock() TRY_ACQUIRE(true) { return mutex_.try_lock(); }

 private:
  std::mutex mutex_;
};

// Holds the mutex for its scope.
class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
  ~MutexLock() RELEASE() { mutex_.unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mutex_;
};

}  // namespace crv
