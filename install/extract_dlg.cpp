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

// Posted by the worker once a cancel no longer counts.
constexpr UINT kCancelClosedMessage = CProgressDlg::kFirstOwnMessage;

}  // namespace

CExtractDlg::CExtractDlg(CWnd* parent) : CProgressDlg(IDD_EXTRACT_DIALOG, parent) {}

BEGIN_MESSAGE_MAP(CExtractDlg, CProgressDlg)
ON_MESSAGE(kCancelClosedMessage, &CExtractDlg::OnCancelClosed)
END_MESSAGE_MAP()

INT_PTR CExtractDlg::Run(const char* location) {
  m_strLocation = location;
  return DoModal();
}

BOOL CExtractDlg::OnInitDialog() {
  CProgressDlg::OnInitDialog();
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
  m_progress.SetStep(1);
  m_bCancel = false;
  StartWorker(InstallThreadProc, this, "Setup could not start its installation thread.", "setup");
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
  ApplyAll();
  m_pause.Resume();
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
  EndFromWorker();
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
