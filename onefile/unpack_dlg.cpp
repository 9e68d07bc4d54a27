#include "onefile/unpack_dlg.h"

#include "res/resource.h"

namespace {

// The bar's step: a range in bytes would not fit its 32 bits for a payload of 2 GiB or more.
constexpr uint64_t kStepBytes = 1 << 20;
// The window appears once the unpacking has taken this long.
constexpr UINT kShowAfterMs = 400;

}  // namespace

UINT UnpackThreadProc(LPVOID param) {
  CUnpackDlg* dialog = static_cast<CUnpackDlg*>(param);
  dialog->m_bComplete = onefile::UnpackCarried(dialog->m_place, dialog);
  dialog->EndFromWorker();
  return 0;
}

CUnpackDlg::CUnpackDlg(const onefile::UnpackPlace& place)
    : CProgressDlg(IDD_UNPACK_DIALOG, nullptr), m_place(place) {
  ShowOnlyAfter(kShowAfterMs);
}

bool CUnpackDlg::Run() {
  DoModal();
  return m_bComplete;
}

BOOL CUnpackDlg::OnInitDialog() {
  CProgressDlg::OnInitDialog();
  StartWorker(UnpackThreadProc, this, "Setup could not start unpacking its files.", "Setup");
  return TRUE;
}

void CUnpackDlg::BeginBytes(uint64_t total) {
  BeginSteps(static_cast<int>(total / kStepBytes));
}

void CUnpackDlg::AddBytes(uint64_t bytes) {
  for (m_unstepped += bytes; m_unstepped >= kStepBytes; m_unstepped -= kStepBytes)
    RecordStep();
}

void CUnpackDlg::ShowMessage(const std::string& text) {
  AskOnOwnThread(text.c_str(), "Setup", MB_OK | MB_ICONSTOP);
}
