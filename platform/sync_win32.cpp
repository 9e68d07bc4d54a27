#include <windows.h>

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

}  // namespace platform
