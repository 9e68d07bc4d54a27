#pragma once
// CExtractDlg: the progress dialog. It prepares the installation folder and the log, starts the
// worker, shows what the worker reports, asks before cancelling, and closes when the worker
// posts its quit request. It never closes on the user's request.

#include <atomic>
#include <memory>

#include "install/install_view.h"
#include "install/pause_gate.h"
#include "install/progress_relay.h"
#include "platform/cstring.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/thread.h"

class CExtractDlg : public CDialog, public IInstallView {
 public:
  explicit CExtractDlg(CWnd* parent = nullptr);
  ~CExtractDlg() override;

  // Stores the installation folder and runs the dialog modally.
  INT_PTR Run(const char* location);

  // The worker's thread object, kept until the dialog goes so that it never names a thread
  // object that is gone; null until OnInitDialog has started the worker.
  std::unique_ptr<CWinThread> m_pThread;
  std::atomic<bool> m_bCancel{false};
  CString m_strLocation;
  CProgressCtrl m_progress;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnCancel() override;
  void OnTimer(UINT_PTR id);
  // Sent by the worker: shows everything it recorded, before it goes on.
  LRESULT OnFlush(WPARAM, LPARAM);
  // Posted by the worker once a cancel no longer counts: the button goes grey.
  LRESULT OnCancelClosed(WPARAM, LPARAM);

  // What the worker uses, on the worker's thread.
  void ShowPath(const char* path) override;
  void StepProgress() override;
  int ShowMessage(const char* text, const char* caption, unsigned type) override;
  bool IsCancelled() override;
  void WaitWhilePaused() override;
  void CloseCancel() override;
  void End() override;

 private:
  friend UINT InstallThreadProc(LPVOID param);
  // Shows what the relay gives, on the user-interface thread.
  void Apply(const ProgressUpdate& update);
  // Has the user-interface thread show everything recorded, and waits until it has.
  void Flush();

  // The first "file%d" index the worker writes: after the entries carried from an earlier log.
  int m_nFirstEntry = 0;
  CPauseGate m_pause;
  CProgressRelay m_relay;
  // Set once the worker has ended the dialog: a late cancel then asks nothing.
  std::atomic<bool> m_bEnded{false};

  DECLARE_MESSAGE_MAP()
};

// The worker thread: installs the package into the dialog's m_strLocation.
UINT InstallThreadProc(LPVOID param);
