#include "install/extract_dlg.h"

#include "install/install_worker.h"
#include "install/log_carry.h"
#include "install/shortcut_phase.h"
#include "platform/fs.h"
#include "platform/setup_config.h"
#include "res/resource.h"
#include "shell/shell_folders.h"
#include "shell/shell_link.h"

namespace {

class CRegistryShellFolders : public IShellFolders {
 public:
  bool Read(CString* programs, CString* desktop) override {
    return ReadShellFolders(programs, desktop);
  }
};

class CShellLinkWriter : public IShortcutWriter {
 public:
  int CreateShortcut(const CString& targetName, const CString& description, const CString& linkName,
                     const CString& baseFolder, const CString& linkFolder) override {
    return ::CreateShortcut(targetName, description, linkName, baseFolder, linkFolder);
  }
};

// The worker's request to show what it recorded; and how often the timer shows it otherwise,
// often enough to look live and rare enough to cost nothing beside the unpacking.
constexpr UINT kFlushMessage = WM_APP + 1;
constexpr UINT kCancelClosedMessage = WM_APP + 2;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 50;
// The bar advances by this much per file.
constexpr int kBarStep = 1;

}  // namespace

CExtractDlg::CExtractDlg(CWnd* parent) : CDialog(IDD_EXTRACT_DIALOG, parent) {}

CExtractDlg::~CExtractDlg() {
  // Waits for the worker to be gone before the members it used go. It has finished with the
  // dialog once it ended it, so this is at most its last few instructions.
  m_pThread.reset();
}

BEGIN_MESSAGE_MAP(CExtractDlg, CDialog)
ON_WM_TIMER()
ON_MESSAGE(kFlushMessage, &CExtractDlg::OnFlush)
ON_MESSAGE(kCancelClosedMessage, &CExtractDlg::OnCancelClosed)
END_MESSAGE_MAP()

INT_PTR CExtractDlg::Run(const char* location) {
  m_strLocation = location;
  return DoModal();
}

void CExtractDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_PROGRESS, m_progress);
}

BOOL CExtractDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // Every missing folder of the location first, so that the template reaches a location whose
  // parent is new too. Results are not examined: the worker's own steps show what went wrong.
  platform::CreateFolders(m_strLocation);
  // The old log is read here, once, before the worker starts.
  LogPlaces places;
  places.location = m_strLocation;
  ReadShellFolders(&places.programs, &places.desktop);
  m_nFirstEntry = PrepareLog(places, GetModuleDir() + kLogName);
  int totalFiles = ReadSetupInt("main", "totalfiles");
  // The bar holds 16 bits: only the low word of the count sets its maximum.
  m_progress.SetRange(0, static_cast<short>(totalFiles));
  m_progress.SetPos(0);
  m_progress.SetStep(kBarStep);
  m_bCancel = false;
  SetTimer(kRefreshTimer, kRefreshMs);
  // Started suspended only to keep its object: it runs at once.
  m_pThread.reset(
      AfxBeginThread(InstallThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
  if (!m_pThread) {
    // Without a worker nothing would ever close the dialog.
    MessageBox("Setup could not start its installation thread.", "setup", MB_OK | MB_ICONSTOP);
    EndDialog(IDABORT);
    return TRUE;
  }
  m_pThread->m_bAutoDelete = FALSE;
  m_pThread->ResumeThread();
  return TRUE;
}

void CExtractDlg::OnCancel() {
  // Once the worker is past its last cancel check, a click that was already on its way (even one
  // taken from the queue inside the completion message's own loop) asks nothing.
  if (m_bEnded || !m_pause.Pause())
    return;
  // The window stands still while the question is open: the question box's own loop still
  // delivers the timer, and the worker may record once more before it reaches its next pause
  // check. What it recorded is shown once the question is answered.
  m_relay.Hold();
  int answer = MessageBox("Cancel setup?", "setup", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  // The flag goes up before the worker moves on, so it stops at its very next check.
  if (answer == IDYES)
    m_bCancel = true;
  m_relay.Release();
  ProgressUpdate update;
  if (m_relay.TakeAll(&update))
    Apply(update);
  m_pause.Resume();
}

void CExtractDlg::OnTimer(UINT_PTR id) {
  if (id != kRefreshTimer)
    return;
  ProgressUpdate update;
  if (m_relay.TakeForTick(&update))
    Apply(update);
}

LRESULT CExtractDlg::OnFlush(WPARAM, LPARAM) {
  // Even while the cancel question is open: the worker flushes only when its work is done.
  ProgressUpdate update;
  if (m_relay.TakeAll(&update))
    Apply(update);
  return 0;
}

void CExtractDlg::Apply(const ProgressUpdate& update) {
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

void CExtractDlg::Flush() {
  SendMessage(kFlushMessage);
}

void CExtractDlg::ShowPath(const char* path) {
  m_relay.RecordPath(path);
}

void CExtractDlg::StepProgress() {
  m_relay.RecordStep();
}

int CExtractDlg::ShowMessage(const char* text, const char* caption, unsigned type) {
  Flush();
  return MessageBoxOnOwnThread(text, caption, type);
}

bool CExtractDlg::IsCancelled() {
  return m_bCancel.load(std::memory_order_relaxed);
}

void CExtractDlg::WaitWhilePaused() {
  m_pause.WaitWhilePaused();
}

void CExtractDlg::CloseCancel() {
  m_pause.Close();
  PostMessageA(m_hWnd, kCancelClosedMessage, 0, 0);
}

LRESULT CExtractDlg::OnCancelClosed(WPARAM, LPARAM) {
  ::EnableWindow(::GetDlgItem(m_hWnd, IDCANCEL), FALSE);
  return 0;
}

void CExtractDlg::End() {
  m_bEnded = true;
  Flush();
  PostMessageA(m_hWnd, WM_QUIT, 0, 0);
}

UINT InstallThreadProc(LPVOID param) {
  CExtractDlg* dialog = static_cast<CExtractDlg*>(param);
  CRegistryShellFolders folders;
  CShellLinkWriter writer;
  CShortcutPhase shortcuts(&folders, &writer, GetSetupIniPath(), dialog);
  RunInstall(dialog->m_strLocation, GetModuleDir() + "data.pak", dialog, &shortcuts,
             dialog->m_nFirstEntry);
  return 0;
}
