#pragma once
// CUnpackDlg: the one-file program's progress while it unpacks, in the style of the installer's
// progress dialog. It stays hidden for its first moment: most downloads unpack at once, and a
// window that flashes up and away is noise. There is no cancel: the unpacking is short, and
// what it leaves is removed either way.

#include <atomic>

#include "onefile/carried_unpack.h"
#include "ui/progress_dlg.h"

class CUnpackDlg : public CProgressDlg, public onefile::IUnpackView {
 public:
  explicit CUnpackDlg(const onefile::UnpackPlace& place);

  // Unpacks with the dialog showing it when slow; true when every file is in place.
  bool Run();

 protected:
  BOOL OnInitDialog() override;
  void OnCancel() override {}

  // What the worker uses, on the worker's thread: the bar counts bytes in steps of kStepBytes.
  void BeginBytes(uint64_t total) override;
  void AddBytes(uint64_t bytes) override;
  void ShowMessage(const std::string& text) override;

 private:
  friend UINT UnpackThreadProc(LPVOID param);

  onefile::UnpackPlace m_place;
  uint64_t m_unstepped = 0;  // bytes written since the last step
  std::atomic<bool> m_bComplete{false};
};
