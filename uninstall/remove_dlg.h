#pragma once
// CRemoveDlg: the uninstaller's progress dialog, in the style of the installer's. A worker
// removes the entries and records each path and step; the window shows them a few times a
// second. Removal is quick and a half-removed installation is the worst outcome, so there is
// no cancel: the dialog closes when the worker is done.

#include <atomic>

#include "ui/progress_dlg.h"
#include "uninstall/uninstall_flow.h"

class CRemoveDlg : public CProgressDlg, public IUninstallView {
 public:
  explicit CRemoveDlg(const UninstallPlace& place);

  // Runs the removal with the dialog showing it; true when it was complete.
  bool Run();

 protected:
  BOOL OnInitDialog() override;
  void OnCancel() override {}

  // What the worker uses, on the worker's thread.
  void BeginSteps(size_t total) override { CProgressDlg::BeginSteps(static_cast<int>(total)); }
  void ShowPath(const char* path) override { RecordPath(path); }
  void StepProgress() override { RecordStep(); }
  int ShowMessage(const char* text, const char* caption, unsigned type) override {
    return AskOnOwnThread(text, caption, type);
  }

 private:
  friend UINT RemoveThreadProc(LPVOID param);

  UninstallPlace m_place;
  std::atomic<bool> m_bComplete{false};
};
