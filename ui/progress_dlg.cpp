#include "ui/progress_dlg.h"

#include "res/resource.h"

namespace {

// How often the timer shows what was recorded: often enough to look live, rare enough to cost
// nothing beside the work.
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 50;
// The bar advances by this much per step.
constexpr int kBarStep = 1;

}  // namespace

CProgressDlg::CProgressDlg(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}

CProgressDlg::~CProgressDlg() {
  m_pThread.reset();
}

BEGIN_MESSAGE_MAP(CProgressDlg, CDialog)
ON_WM_TIMER()
ON_MESSAGE(kFlushMessage, &CProgressDlg::OnFlush)
ON_MESSAGE(kBeginMessage, &CProgressDlg::OnBegin)
END_MESSAGE_MAP()

void CProgressDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_PROGRESS, m_progress);
}

void CProgressDlg::ShowOnlyAfter(UINT ms) {
  m_bShowAtStart = false;
  m_nShowAfterTicks = ms / kRefreshMs;
}

bool CProgressDlg::StartWorker(AFX_THREADPROC proc, void* param, const char* failure,
                               const char* caption) {
  SetTimer(kRefreshTimer, kRefreshMs);
  // Started suspended only to keep its object: it runs at once.
  m_pThread.reset(AfxBeginThread(proc, param, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
  if (!m_pThread) {
    MessageBox(failure, caption, MB_OK | MB_ICONSTOP);
    EndDialog(IDABORT);
    return false;
  }
  m_pThread->m_bAutoDelete = FALSE;
  m_pThread->ResumeThread();
  return true;
}

void CProgressDlg::OnTimer(UINT_PTR id) {
  if (id != kRefreshTimer)
    return;
  if (!m_bShowAtStart && ++m_nTicks == m_nShowAfterTicks)
    ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
  ProgressUpdate update;
  if (m_relay.TakeForTick(&update))
    Apply(update);
}

LRESULT CProgressDlg::OnFlush(WPARAM, LPARAM) {
  // Even while a question is open: the worker flushes only when it has something to say.
  ApplyAll();
  return 0;
}

LRESULT CProgressDlg::OnBegin(WPARAM total, LPARAM) {
  m_progress.SetRange32(0, static_cast<int>(total));
  m_progress.SetPos(0);
  m_progress.SetStep(kBarStep);
  return 0;
}

void CProgressDlg::ApplyAll() {
  ProgressUpdate update;
  if (m_relay.TakeAll(&update))
    Apply(update);
}

int CProgressDlg::AskOnOwnThread(const char* text, const char* caption, UINT type) {
  Flush();
  return MessageBoxOnOwnThread(text, caption, type);
}

void CProgressDlg::EndFromWorker() {
  Flush();
  PostMessageA(m_hWnd, WM_QUIT, 0, 0);
}

void CProgressDlg::Apply(const ProgressUpdate& update) {
  if (update.pathChanged)
    SetDlgItemText(IDC_DEST_FILE, update.path);
  // Every message that moves the bar repaints it, which under Wine is a round trip to its server
  // and to the X server each: a tick's worth of single steps would cost that for every file.
  // Steps that stay within the range land where single steps would, so they are taken as one
  // new position.
  int steps = update.steps;
  if (steps == 0)
    return;
  int pos = m_progress.GetPos();
  if (steps <= (m_progress.GetUpper() - pos) / kBarStep) {
    m_progress.SetPos(pos + steps * kBarStep);
    return;
  }
  // A step past the maximum is left to the bar, which alone knows how it starts over; the
  // steps are taken unseen and the bar is painted once.
  m_progress.SetRedraw(FALSE);
  while (steps > 0) {
    pos = m_progress.GetPos();
    int fit = (m_progress.GetUpper() - pos) / kBarStep;
    if (fit <= 0) {
      m_progress.StepIt();
      --steps;
      continue;
    }
    int taken = steps < fit ? steps : fit;
    m_progress.SetPos(pos + taken * kBarStep);
    steps -= taken;
  }
  m_progress.SetRedraw(TRUE);
  m_progress.RedrawWindow(RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}
