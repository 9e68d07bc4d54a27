// uninstall.exe: asks, then hands the removal to a copy of itself in a temporary folder so that
// its own file and folder can go too. Started with a handover from an uninstaller, it is that
// uninstaller's copy.
#include <cstdlib>
#include <cstring>

#include "platform/fs.h"
#include "platform/path_text.h"
#include "platform/private_folder.h"
#include "shell/shell_folders.h"
#include "ui/win_app.h"
#include "uninstall/remove_dlg.h"
#include "uninstall/self_copy.h"
#include "uninstall/uninstall_flow.h"

namespace {

UninstallPlace PlaceOf(const CString& uninstaller) {
  UninstallPlace place;
  place.uninstaller = uninstaller;
  size_t slash = 0;
  bool found = platform::LastSeparator(uninstaller, uninstaller.GetLength(), &slash) && slash > 0;
  place.installFolder = found ? uninstaller.Left(static_cast<int>(slash)) : uninstaller;
  if (!ReadShellFolders(&place.programs, &place.desktop)) {
    place.programs.Empty();
    place.desktop.Empty();
  }
  return place;
}

// Before the removal there is no dialog: the messages stand alone.
class CMessageView : public IUninstallView {
 public:
  void BeginSteps(size_t) override {}
  void ShowPath(const char*) override {}
  void StepProgress() override {}
  int ShowMessage(const char* text, const char* caption, unsigned type) override {
    return MessageBoxA(nullptr, text, caption, type);
  }
};

class CUninstallApp : public CWinApp {
 public:
  CUninstallApp() : CWinApp(nullptr) {}
  BOOL InitInstance() override;
};

CUninstallApp theApp;

BOOL CUninstallApp::InitInstance() {
  CHandover handover;
  if (handover.Take(__argc, __argv)) {
    handover.WaitForFirstProcess();
    CRemoveDlg dialog(PlaceOf(handover.Uninstaller()));
    dialog.Run();
    handover.LeaveOwnFolder();
    return FALSE;
  }
  // Any other command line, a /remove written by hand too, is a plain start: the question comes
  // first, for this program's own folder.
  UninstallPlace place = PlaceOf(platform::ModuleFileName().c_str());
  CMessageView view;
  if (!AskToUninstall(place, &view) ||
      StartRemovalCopy(place.uninstaller, platform::IsProcessElevated()))
    return FALSE;
  // Without the copy the removal runs here; this file then stays, and the message says so.
  CRemoveDlg dialog(place);
  dialog.Run();
  return FALSE;
}

}  // namespace
