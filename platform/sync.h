#pragma once
// A lock and a condition to wait on, for the worker and the window. On Windows they are the
// system's own slim lock and condition variable: std::mutex there needs the pthreads emulation,
// about 30 KB of setup.exe for two small objects.

#ifndef _WIN32
#include <condition_variable>
#include <mutex>
#endif

namespace platform {

class CLock {
 public:
  CLock() = default;
  CLock(const CLock&) = delete;
  CLock& operator=(const CLock&) = delete;

  void Lock();
  void Unlock();

 private:
  friend class CCondition;
#ifdef _WIN32
  void* m_srw = nullptr;  // an SRWLOCK: one pointer, unlocked when null
#else
  std::mutex m_mutex;
#endif
};

class CLockGuard {
 public:
  explicit CLockGuard(CLock& lock) : m_lock(lock) { m_lock.Lock(); }
  ~CLockGuard() { m_lock.Unlock(); }
  CLockGuard(const CLockGuard&) = delete;
  CLockGuard& operator=(const CLockGuard&) = delete;

 private:
  CLock& m_lock;
};

class CCondition {
 public:
  CCondition() = default;
  CCondition(const CCondition&) = delete;
  CCondition& operator=(const CCondition&) = delete;

  // Called with lock held; releases it while waiting and holds it again on return. May return
  // without a notification, so callers wait in a loop on their own condition.
  void Wait(CLock& lock);
  void NotifyAll();

 private:
#ifdef _WIN32
  void* m_cv = nullptr;  // a CONDITION_VARIABLE: one pointer, empty when null
#else
  std::condition_variable m_cv;
#endif
};

}  // namespace platform
