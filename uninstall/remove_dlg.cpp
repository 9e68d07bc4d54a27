#include "uninstall/remove_dlg.h"

#include "res/resource.h"

UINT RemoveThreadProc(LPVOID param) {
  CRemoveDlg* dialog = static_cast<CRemoveDlg*>(param);
  dialog->m_bComplete = RunRemoval(dialog->m_place, dialog);
  dialog->EndFromWorker();
  return 0;
}

CRemoveDlg::CRemoveDlg(const UninstallPlace& place)
    : CProgressDlg(IDD_REMOVE_DIALOG, nullptr), m_place(place) {}

bool CRemoveDlg::Run() {
  DoModal();
  return m_bComplete;
}

BOOL CRemoveDlg::OnInitDialog() {
  CProgressDlg::OnInitDialog();
  StartWorker(RemoveThreadProc, this, "The uninstaller could not start its removal thread.",
              "Uninstall");
  return TRUE;
}
