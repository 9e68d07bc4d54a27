#pragma once
// Worker threads. The thread object belongs to the framework and is deleted when the thread's
// function returns.

#include <windows.h>

#include "ui/cmd_target.h"

using AFX_THREADPROC = UINT (*)(LPVOID);

class CWinThread : public CCmdTarget {
 public:
  HANDLE m_hThread = nullptr;
  DWORD m_nThreadID = 0;
  ~CWinThread() override;

 private:
  friend CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD,
                                    LPSECURITY_ATTRIBUTES);
  static unsigned __stdcall Start(void* self);
  AFX_THREADPROC m_pfnThreadProc = nullptr;
  LPVOID m_pThreadParams = nullptr;
};

// Starts proc(param) on a new thread; null when it could not be started.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD createFlags = 0,
                           LPSECURITY_ATTRIBUTES security = nullptr);
