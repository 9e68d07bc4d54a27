#include "install/extract_dlg.h"

#include "install/install_worker.h"
#include "install/shortcut_phase.h"
#include "platform/fs.h"
#include "platform/setup_config.h"
#include "res/resource.h"
#include "shell/registry_key.h"
#include "shell/shell_link.h"

namespace {

// The user's folders as the shell records them under HKEY_CURRENT_USER.
class CRegistryShellFolders : public IShellFolders {
 public:
  bool Read(CString* programs, CString* desktop) override {
    CRegistryKey key;
    key.SelectRoot(HKEY_CURRENT_USER);
    if (!key.OpenSubKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0))
      return false;
    *programs = key.QueryString("Programs", "");
    *desktop = key.QueryString("Desktop", "");
    return true;
  }
};

class CShellLinkWriter : public IShortcutWriter {
 public:
  int CreateShortcut(const CString& targetName, const CString& description, const CString& linkName,
                     const CString& baseFolder, const CString& linkFolder) override {
    return ::CreateShortcut(targetName, description, linkName, baseFolder, linkFolder);
  }
};

}  // namespace

CExtractDlg::CExtractDlg(CWnd* parent) : CDialog(IDD_EXTRACT_DIALOG, parent) {}

CExtractDlg::~CExtractDlg() = default;

BEGIN_MESSAGE_MAP(CExtractDlg, CDialog)
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
  // One level only: the package reader makes every deeper folder. Results are not examined:
  // the worker's own steps show what went wrong.
  platform::CreateFolder(m_strLocation);
  platform::CopyFileReplacing(GetModuleDir() + "\\uninstall.ini",
                              m_strLocation + "\\uninstall.ini");
  int totalFiles = ReadSetupInt("main", "totalfiles");
  // The bar holds 16 bits: only the low word of the count sets its maximum.
  SendMessageA(m_progress.m_hWnd, PBM_SETRANGE, 0,
               static_cast<LPARAM>(static_cast<WORD>(totalFiles)) << 16);
  SendMessageA(m_progress.m_hWnd, PBM_SETPOS, 0, 0);
  SendMessageA(m_progress.m_hWnd, PBM_SETSTEP, 1, 0);
  m_bCancel = false;
  m_pThread = AfxBeginThread(InstallThreadProc, this);
  if (!m_pThread) {
    // Without a worker nothing would ever close the dialog.
    MessageBox("Setup could not start its installation thread.", "setup", MB_OK | MB_ICONSTOP);
    EndDialog(IDABORT);
  }
  return TRUE;
}

void CExtractDlg::OnCancel() {
  if (m_bEnded)
    return;
  m_pause.Pause();
  int answer = MessageBox("Cancel setup?", "setup", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  // The flag goes up before the worker moves on, so it stops at its very next check.
  if (answer == IDYES)
    m_bCancel = true;
  m_pause.Resume();
}

void CExtractDlg::ShowPath(const char* path) {
  SetDlgItemText(IDC_DEST_FILE, path);
}

void CExtractDlg::StepProgress() {
  SendMessageA(m_progress.m_hWnd, PBM_STEPIT, 0, 0);
}

int CExtractDlg::ShowMessage(const char* text, const char* caption, unsigned type) {
  return MessageBox(text, caption, type);
}

bool CExtractDlg::IsCancelled() {
  return m_bCancel.load(std::memory_order_relaxed);
}

void CExtractDlg::WaitWhilePaused() {
  m_pause.WaitWhilePaused();
}

void CExtractDlg::End() {
  m_bEnded = true;
  PostMessageA(m_hWnd, WM_QUIT, 0, 0);
}

UINT InstallThreadProc(LPVOID param) {
  CExtractDlg* dialog = static_cast<CExtractDlg*>(param);
  CRegistryShellFolders folders;
  CShellLinkWriter writer;
  CShortcutPhase shortcuts(&folders, &writer, GetSetupIniPath(), dialog);
  RunInstall(dialog->m_strLocation, GetModuleDir() + "data.pak", dialog, &shortcuts);
  return 0;
}
