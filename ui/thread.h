#pragma once
// Worker threads. By default the thread object belongs to the framework and is deleted when the
// thread's function returns, so a pointer to it is good only while the thread runs. An owner
// that keeps the object starts the thread suspended, clears m_bAutoDelete and resumes it; its
// delete then waits for the thread to end.

#include <windows.h>

using AFX_THREADPROC = UINT (*)(LPVOID);

class CWinThread {
 public:
  ~CWinThread();
  CWinThread(const CWinThread&) = delete;
  CWinThread& operator=(const CWinThread&) = delete;

  DWORD ResumeThread() { return ::ResumeThread(m_hThread); }

  HANDLE m_hThread = nullptr;
  // Read once, when the thread starts: change it only while the thread is still suspended.
  BOOL m_bAutoDelete = TRUE;

 private:
  friend CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD,
                                    LPSECURITY_ATTRIBUTES);
  CWinThread() = default;
  static unsigned __stdcall Start(void* self);
  AFX_THREADPROC m_pfnThreadProc = nullptr;
  LPVOID m_pThreadParams = nullptr;
};

// Starts proc(param) on a new thread (suspended with CREATE_SUSPENDED); null when it could not be
// started.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD createFlags = 0,
                           LPSECURITY_ATTRIBUTES security = nullptr);
