#include "uninstall/remove_dlg.h"

#include "res/resource.h"

namespace {

constexpr UINT kFlushMessage = WM_APP + 1;
constexpr UINT kBeginMessage = WM_APP + 2;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 50;

}  // namespace

UINT RemoveThreadProc(LPVOID param) {
  CRemoveDlg* dialog = static_cast<CRemoveDlg*>(param);
  dialog->m_bComplete = RunRemoval(dialog->m_place, dialog);
  dialog->SendMessage(kFlushMessage);
  // The worker's last use of the dialog.
  PostMessageA(dialog->m_hWnd, WM_QUIT, 0, 0);
  return 0;
}

CRemoveDlg::CRemoveDlg(const UninstallPlace& place)
    : CDialog(IDD_REMOVE_DIALOG, nullptr), m_place(place) {}

CRemoveDlg::~CRemoveDlg() {
  // The worker has finished with the dialog once it ended it: this waits out its last steps.
  m_pThread.reset();
}

BEGIN_MESSAGE_MAP(CRemoveDlg, CDialog)
ON_WM_TIMER()
ON_MESSAGE(kFlushMessage, &CRemoveDlg::OnFlush)
ON_MESSAGE(kBeginMessage, &CRemoveDlg::OnBegin)
END_MESSAGE_MAP()

bool CRemoveDlg::Run() {
  DoModal();
  return m_bComplete;
}

void CRemoveDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_PROGRESS, m_progress);
}

BOOL CRemoveDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetTimer(kRefreshTimer, kRefreshMs);
  // Started suspended only to keep its object: it runs at once.
  m_pThread.reset(
      AfxBeginThread(RemoveThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
  if (!m_pThread) {
    MessageBox("The uninstaller could not start its removal thread.", "Uninstall",
               MB_OK | MB_ICONSTOP);
    EndDialog(IDABORT);
    return TRUE;
  }
  m_pThread->m_bAutoDelete = FALSE;
  m_pThread->ResumeThread();
  return TRUE;
}

void CRemoveDlg::OnTimer(UINT_PTR id) {
  ProgressUpdate update;
  if (id == kRefreshTimer && m_relay.TakeForTick(&update))
    Apply(update);
}

LRESULT CRemoveDlg::OnFlush(WPARAM, LPARAM) {
  ProgressUpdate update;
  if (m_relay.TakeAll(&update))
    Apply(update);
  return 0;
}

LRESULT CRemoveDlg::OnBegin(WPARAM total, LPARAM) {
  m_progress.SetRange32(0, static_cast<int>(total));
  m_progress.SetPos(0);
  m_progress.SetStep(1);
  return 0;
}

void CRemoveDlg::Apply(const ProgressUpdate& update) {
  if (update.pathChanged)
    SetDlgItemText(IDC_DEST_FILE, update.path);
  // The bar stops at its end, so the steps of a tick go in one move.
  if (update.steps > 0)
    m_progress.SetPos(m_progress.GetPos() + update.steps);
}

void CRemoveDlg::BeginSteps(size_t total) {
  SendMessage(kBeginMessage, static_cast<WPARAM>(total));
}

void CRemoveDlg::ShowPath(const char* path) {
  m_relay.RecordPath(path);
}

void CRemoveDlg::StepProgress() {
  m_relay.RecordStep();
}

int CRemoveDlg::ShowMessage(const char* text, const char* caption, unsigned type) {
  SendMessage(kFlushMessage);
  return MessageBoxOnOwnThread(text, caption, type);
}
