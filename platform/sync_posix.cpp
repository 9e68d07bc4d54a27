#include "platform/sync.h"

namespace platform {

void CLock::Lock() {
  m_mutex.lock();
}

void CLock::Unlock() {
  m_mutex.unlock();
}

void CCondition::Wait(CLock& lock) {
  // The caller holds the lock and keeps holding it after the wait.
  std::unique_lock<std::mutex> held(lock.m_mutex, std::adopt_lock);
  m_cv.wait(held);
  held.release();
}

void CCondition::NotifyAll() {
  m_cv.notify_all();
}

bool CThread::Start(void (*proc)(void*), void* param) {
  m_thread = std::thread(proc, param);
  return true;
}

void CThread::Join() {
  if (m_thread.joinable())
    m_thread.join();
}

}  // namespace platform
