#pragma once
// A lock, a condition to wait on and a thread, for the worker and those it hands work to. On
// Windows they are the system's own slim lock, condition variable and thread: std::mutex there
// needs the pthreads emulation, about 30 KB of setup.exe for a few small objects.

#ifndef _WIN32
#include <condition_variable>
#include <mutex>
#include <thread>
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

// A thread running one function, joined by its owner at the latest when the owner goes.
class CThread {
 public:
  CThread() = default;
  ~CThread() { Join(); }
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  // False when the system could not start it; proc then never runs.
  bool Start(void (*proc)(void*), void* param);
  // Waits for proc to return; at once when it was never started.
  void Join();

 private:
#ifdef _WIN32
  static unsigned __stdcall Enter(void* self);
  void* m_hThread = nullptr;
  void (*m_pfnProc)(void*) = nullptr;
  void* m_pParam = nullptr;
#else
  std::thread m_thread;
#endif
};

}  // namespace platform
