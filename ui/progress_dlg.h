#pragma once
// CProgressDlg: what every progress window of ours shares. A worker thread does the work and
// records what to show in a CProgressRelay; the window shows it a few times a second, and all of
// it whenever the worker flushes (before each of its message boxes and at its end). The
// worker's message boxes are put up on the window's own thread, and the worker ends the window
// with WM_QUIT as its last use of it. Derived dialogs keep what is their own: the installer's
// cancel question, the uninstaller's and the unpacker's ranges.

#include <memory>

#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/progress_relay.h"
#include "ui/thread.h"

class CProgressDlg : public CDialog {
 public:
  // Where a derived window's own messages start.
  static constexpr UINT kFirstOwnMessage = WM_APP + 16;

  CProgressDlg(UINT templateId, CWnd* parent);
  // Waits for the worker to be gone before the members it used go. It has finished with the
  // dialog once it ended it, so this is at most its last few instructions.
  ~CProgressDlg() override;

  // The worker's thread object, kept until the dialog goes so that it never names a thread
  // object that is gone; null until the worker has started.
  std::unique_ptr<CWinThread> m_pThread;
  CProgressCtrl m_progress;

 protected:
  // Binds the bar, control IDC_PROGRESS.
  void DoDataExchange(CDataExchange* pDX) override;
  void OnTimer(UINT_PTR id);
  LRESULT OnFlush(WPARAM, LPARAM);
  LRESULT OnBegin(WPARAM total, LPARAM);

  // From OnInitDialog, last: the refresh timer, then proc(param) on the worker's thread, param
  // being the derived dialog as proc expects it. Without a worker nothing would ever close the
  // dialog, so when none starts the user is told why (failure, with caption) and it ends.
  bool StartWorker(AFX_THREADPROC proc, void* param, const char* failure, const char* caption);
  // A window that most often has done its work at once shows itself only after this long.
  void ShowOnlyAfter(UINT ms);

  // The worker's side.
  void RecordPath(const char* path) { m_relay.RecordPath(path); }
  void RecordStep() { m_relay.RecordStep(); }
  // Sets the bar to run from 0 to total steps of one.
  void BeginSteps(int total) { SendMessage(kBeginMessage, static_cast<WPARAM>(total)); }
  // Has the window show everything recorded, and waits until it has.
  void Flush() { SendMessage(kFlushMessage); }
  // A message box owned by the window, after everything recorded is shown.
  int AskOnOwnThread(const char* text, const char* caption, UINT type);
  // The worker's last use of the window: shows the lot and ends the modal loop.
  void EndFromWorker();

  // The user-interface thread's side: the relay, for a window that holds it still while it asks.
  CProgressRelay m_relay;
  void ApplyAll();

 private:
  static constexpr UINT kFlushMessage = WM_APP + 1;
  static constexpr UINT kBeginMessage = WM_APP + 2;
  void Apply(const ProgressUpdate& update);

  UINT m_nShowAfterTicks = 0;
  UINT m_nTicks = 0;

  DECLARE_MESSAGE_MAP()
};
