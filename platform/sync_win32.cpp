#include <windows.h>

#include <process.h>

#include "platform/sync.h"

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*),
              "the slim lock and the condition variable are one pointer each");

namespace platform {

namespace {
PSRWLOCK Srw(void** state) {
  return reinterpret_cast<PSRWLOCK>(state);
}
}  // namespace

void CLock::Lock() {
  AcquireSRWLockExclusive(Srw(&m_srw));
}

void CLock::Unlock() {
  ReleaseSRWLockExclusive(Srw(&m_srw));
}

void CCondition::Wait(CLock& lock) {
  SleepConditionVariableSRW(reinterpret_cast<PCONDITION_VARIABLE>(&m_cv), Srw(&lock.m_srw),
                            INFINITE, 0);
}

void CCondition::NotifyAll() {
  WakeAllConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(&m_cv));
}

// The C runtime's own start, so the thread's stdio state is set up and freed with it.
unsigned __stdcall CThread::Enter(void* self) {
  CThread* thread = static_cast<CThread*>(self);
  thread->m_pfnProc(thread->m_pParam);
  return 0;
}

bool CThread::Start(void (*proc)(void*), void* param) {
  m_pfnProc = proc;
  m_pParam = param;
  m_hThread = reinterpret_cast<void*>(_beginthreadex(nullptr, 0, Enter, this, 0, nullptr));
  return m_hThread != nullptr;
}

void CThread::Join() {
  if (!m_hThread)
    return;
  WaitForSingleObject(m_hThread, INFINITE);
  CloseHandle(m_hThread);
  m_hThread = nullptr;
}

}  // namespace platform
