#include "ui/thread.h"

#include <process.h>

CWinThread::~CWinThread() {
  if (m_hThread)
    CloseHandle(m_hThread);
}

unsigned __stdcall CWinThread::Start(void* self) {
  CWinThread* thread = static_cast<CWinThread*>(self);
  UINT result = thread->m_pfnThreadProc(thread->m_pThreadParams);
  delete thread;
  return result;
}

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize,
                           DWORD createFlags, LPSECURITY_ATTRIBUTES security) {
  CWinThread* thread = new CWinThread;
  thread->m_pfnThreadProc = proc;
  thread->m_pThreadParams = param;
  // Created suspended so that the object is complete before the thread can delete it.
  unsigned id = 0;
  uintptr_t handle = _beginthreadex(security, stackSize, CWinThread::Start, thread,
                                    createFlags | CREATE_SUSPENDED, &id);
  if (!handle) {
    delete thread;
    return nullptr;
  }
  thread->m_hThread = reinterpret_cast<HANDLE>(handle);
  thread->m_nThreadID = id;
  SetThreadPriority(thread->m_hThread, priority);
  if (!(createFlags & CREATE_SUSPENDED))
    ResumeThread(thread->m_hThread);
  return thread;
}
