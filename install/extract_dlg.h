#pragma once
// CExtractDlg: the progress dialog. It prepares the installation folder and the log, starts the
// worker, shows what the worker reports, asks before cancelling, and closes when the worker
// posts its quit request. It never closes on the user's request.

#include <atomic>

#include "install/install_view.h"
#include "install/pause_gate.h"
#include "platform/cstring.h"
#include "ui/progress_dlg.h"

class CExtractDlg : public CProgressDlg, public IInstallView {
 public:
  explicit CExtractDlg(CWnd* parent = nullptr);

  // Stores the installation folder and runs the dialog modally.
  INT_PTR Run(const char* location);

  std::atomic<bool> m_bCancel{false};
  CString m_strLocation;

 protected:
  BOOL OnInitDialog() override;
  void OnCancel() override;
  // Posted by the worker once a cancel no longer counts: the button goes grey.
  LRESULT OnCancelClosed(WPARAM, LPARAM);

  // What the worker uses, on the worker's thread.
  void ShowPath(const char* path) override { RecordPath(path); }
  void StepProgress() override { RecordStep(); }
  int ShowMessage(const char* text, const char* caption, unsigned type) override {
    return AskOnOwnThread(text, caption, type);
  }
  bool IsCancelled() override;
  void WaitWhilePaused() override;
  void CloseCancel() override;
  void End() override;

 private:
  friend UINT InstallThreadProc(LPVOID param);

  // The first "file%d" index the worker writes: after the entries carried from an earlier log.
  int m_nFirstEntry = 0;
  CPauseGate m_pause;
  // Set once the worker has ended the dialog: a late cancel then asks nothing.
  std::atomic<bool> m_bEnded{false};

  DECLARE_MESSAGE_MAP()
};

// The worker thread: installs the package into the dialog's m_strLocation.
UINT InstallThreadProc(LPVOID param);
