#pragma once
// CUnpackDlg: the one-file program's progress while it unpacks, in the style of the installer's
// progress dialog. A worker unpacks and counts the bytes written; the window shows them a few
// times a second. It stays hidden for its first moment: most downloads unpack at once, and a
// window that flashes up and away is noise. There is no cancel: the unpacking is short, and
// what it leaves is removed either way.

#include <atomic>
#include <memory>

#include "onefile/carried_unpack.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/thread.h"

class CUnpackDlg : public CDialog, public onefile::IUnpackView {
 public:
  explicit CUnpackDlg(const onefile::UnpackPlace& place);
  ~CUnpackDlg() override;

  // Unpacks with the dialog showing it when slow; true when every file is in place.
  bool Run();

  CProgressCtrl m_progress;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnCancel() override {}
  void OnTimer(UINT_PTR id);

  // What the worker uses, on the worker's thread.
  void BeginBytes(uint64_t total) override { m_total = total; }
  void AddBytes(uint64_t bytes) override { m_done += bytes; }
  void ShowMessage(const std::string& text) override;

 private:
  friend UINT UnpackThreadProc(LPVOID param);
  void ShowProgress();

  std::unique_ptr<CWinThread> m_pThread;
  onefile::UnpackPlace m_place;
  std::atomic<uint64_t> m_total{0};
  std::atomic<uint64_t> m_done{0};
  std::atomic<bool> m_bComplete{false};
  UINT m_nTicks = 0;

  DECLARE_MESSAGE_MAP()
};
