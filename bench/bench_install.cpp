// Runs the install worker's whole loop natively, as the progress dialog's thread does, with a
// view that shows nothing: unpacking from the package, one uninstall log entry per file, and the
// status text and progress step calls, so the time measured is the engine's and not a window's.
// Like the dialog, it makes the installation folder and copies the log template in first.
//
//   bench_install PACKAGE DEST_FOLDER UNINSTALL_TEMPLATE   (host paths)
//
// Exit status: 0 every file installed intact, 1 the installation failed, 2 bad usage.

#include <cstdio>
#include <string>

#include "install/install_view.h"
#include "install/install_worker.h"
#include "platform/fs.h"

namespace {

// Every call is made and answered at once; a message would mean a failure, so it is printed.
class QuietView : public IInstallView {
 public:
  void ShowPath(const char*) override {}
  void StepProgress() override {}
  int ShowMessage(const char* text, const char* caption, unsigned) override {
    fprintf(stderr, "bench_install: [%s] %s\n", caption, text);
    return 1;
  }
  bool IsCancelled() override { return false; }
  void WaitWhilePaused() override {}
  void End() override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: bench_install PACKAGE DEST_FOLDER UNINSTALL_TEMPLATE\n");
    return 2;
  }
  std::string package = platform::InstallerPath(argv[1]);
  std::string location = platform::InstallerPath(argv[2]);
  std::string uninstallTemplate = platform::InstallerPath(argv[3]);

  if (!platform::CreateFolder(location.c_str()) ||
      !platform::CopyFileReplacing(uninstallTemplate.c_str(),
                                   (location + "\\uninstall.ini").c_str())) {
    fprintf(stderr, "bench_install: cannot prepare %s: %s\n", argv[2],
            platform::ErrorText(platform::LastError()).c_str());
    return 2;
  }
  QuietView view;
  InstallOutcome outcome = RunInstall(location.c_str(), package.c_str(), &view, nullptr);
  if (outcome.kind != InstallOutcome::kCompleted) {
    fprintf(stderr, "bench_install: installation ended with outcome %d after %d entries\n",
            static_cast<int>(outcome.kind), outcome.entries);
    return 1;
  }
  return 0;
}
