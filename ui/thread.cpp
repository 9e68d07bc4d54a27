#include "ui/thread.h"

#include <process.h>

CWinThread::~CWinThread() {
  if (!m_hThread)
    return;
  // An owner's object: the thread may still be on its way out of Start.
  if (!m_bAutoDelete)
    WaitForSingleObject(m_hThread, INFINITE);
  CloseHandle(m_hThread);
}

unsigned __stdcall CWinThread::Start(void* self) {
  CWinThread* thread = static_cast<CWinThread*>(self);
  // Once the function has returned, an owner may delete the object at any moment.
  bool autoDelete = thread->m_bAutoDelete;
  UINT result = thread->m_pfnThreadProc(thread->m_pThreadParams);
  if (autoDelete)
    delete thread;
  return result;
}

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize,
                           DWORD createFlags, LPSECURITY_ATTRIBUTES security) {
  CWinThread* thread = new CWinThread;
  thread->m_pfnThreadProc = proc;
  thread->m_pThreadParams = param;
  // Created suspended so that the object is complete before the thread can delete it.
  uintptr_t handle = _beginthreadex(security, stackSize, CWinThread::Start, thread,
                                    createFlags | CREATE_SUSPENDED, nullptr);
  if (!handle) {
    delete thread;
    return nullptr;
  }
  thread->m_hThread = reinterpret_cast<HANDLE>(handle);
  SetThreadPriority(thread->m_hThread, priority);
  if (!(createFlags & CREATE_SUSPENDED))
    thread->ResumeThread();
  return thread;
}
