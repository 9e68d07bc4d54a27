#include "onefile/unpack_dlg.h"

#include "res/resource.h"

namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 50;
// The window appears once the unpacking has taken this long.
constexpr UINT kShowAfterTicks = 400 / kRefreshMs;
constexpr int kBarRange = 1000;

}  // namespace

UINT UnpackThreadProc(LPVOID param) {
  CUnpackDlg* dialog = static_cast<CUnpackDlg*>(param);
  dialog->m_bComplete = onefile::UnpackCarried(dialog->m_place, dialog);
  // The worker's last use of the dialog.
  PostMessageA(dialog->m_hWnd, WM_QUIT, 0, 0);
  return 0;
}

CUnpackDlg::CUnpackDlg(const onefile::UnpackPlace& place)
    : CDialog(IDD_UNPACK_DIALOG, nullptr), m_place(place) {
  m_bShowAtStart = false;
}

CUnpackDlg::~CUnpackDlg() {
  // The worker has finished with the dialog once it ended it: this waits out its last steps.
  m_pThread.reset();
}

BEGIN_MESSAGE_MAP(CUnpackDlg, CDialog)
ON_WM_TIMER()
END_MESSAGE_MAP()

bool CUnpackDlg::Run() {
  DoModal();
  return m_bComplete;
}

void CUnpackDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_PROGRESS, m_progress);
}

BOOL CUnpackDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_progress.SetRange32(0, kBarRange);
  SetTimer(kRefreshTimer, kRefreshMs);
  // Started suspended only to keep its object: it runs at once.
  m_pThread.reset(
      AfxBeginThread(UnpackThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
  if (!m_pThread) {
    MessageBox("Setup could not start unpacking its files.", "Setup", MB_OK | MB_ICONSTOP);
    EndDialog(IDABORT);
    return TRUE;
  }
  m_pThread->m_bAutoDelete = FALSE;
  m_pThread->ResumeThread();
  return TRUE;
}

void CUnpackDlg::OnTimer(UINT_PTR id) {
  if (id != kRefreshTimer)
    return;
  if (++m_nTicks == kShowAfterTicks)
    ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
  ShowProgress();
}

void CUnpackDlg::ShowProgress() {
  uint64_t total = m_total, done = m_done;
  if (total > 0)
    m_progress.SetPos(static_cast<int>(done * kBarRange / total));
}

void CUnpackDlg::ShowMessage(const std::string& text) {
  MessageBoxOnOwnThread(text.c_str(), "Setup", MB_OK | MB_ICONSTOP);
}
