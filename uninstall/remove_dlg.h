#pragma once
// CRemoveDlg: the uninstaller's progress dialog, in the style of the installer's. A worker
// removes the entries and records each path and step; the window shows them a few times a
// second. Removal is quick and a half-removed installation is the worst outcome, so there is
// no cancel: the dialog closes when the worker is done.

#include <atomic>
#include <memory>

#include "install/progress_relay.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/thread.h"
#include "uninstall/uninstall_flow.h"

class CRemoveDlg : public CDialog, public IUninstallView {
 public:
  explicit CRemoveDlg(const UninstallPlace& place);
  ~CRemoveDlg() override;

  // Runs the removal with the dialog showing it; true when it was complete.
  bool Run();

  CProgressCtrl m_progress;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnCancel() override {}
  void OnTimer(UINT_PTR id);
  LRESULT OnFlush(WPARAM, LPARAM);
  LRESULT OnBegin(WPARAM total, LPARAM);

  // What the worker uses, on the worker's thread.
  void BeginSteps(size_t total) override;
  void ShowPath(const char* path) override;
  void StepProgress() override;
  int ShowMessage(const char* text, const char* caption, unsigned type) override;

 private:
  friend UINT RemoveThreadProc(LPVOID param);
  void Apply(const ProgressUpdate& update);

  std::unique_ptr<CWinThread> m_pThread;
  UninstallPlace m_place;
  CProgressRelay m_relay;
  std::atomic<bool> m_bComplete{false};

  DECLARE_MESSAGE_MAP()
};
