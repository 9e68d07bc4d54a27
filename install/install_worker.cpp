#include "install/install_worker.h"

#include <string>
#include <vector>

#include "package/pack_file.h"
#include "package/pack_walk.h"
#include "package/unzip_single.h"
#include "platform/file_closer.h"
#include "platform/file_users.h"
#include "platform/fs.h"

namespace {

// Message box types, as the Win32 constants give them.
constexpr unsigned kMbOk = 0x00;
constexpr unsigned kMbIconExclamation = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr unsigned kMbCancelTryContinue = 0x06;
constexpr unsigned kMbDefButton2 = 0x100;
// Buttons of the in-use question, as the box returns them.
constexpr int kIdCancel = 2;
constexpr int kIdTryAgain = 10;

// A file held by many programs (a DLL) would make the question taller than the screen.
constexpr size_t kShownUsers = 5;

// Lets the copy loops of the package code honour a pause.
class ViewGate : public ICopyGate {
 public:
  explicit ViewGate(IInstallView* view) : m_view(view) {}
  void BetweenBuffers() override { m_view->WaitWhilePaused(); }

 private:
  IInstallView* m_view;
};

// Notes the first failure only: that is the one the user is told about.
void NoteFailure(InstallOutcome* outcome, const CString& path, const char* reason) {
  if (!outcome->firstFailed.IsEmpty())
    return;
  outcome->firstFailed = path;
  outcome->reason = reason;
}

// Why the package stopped, when it did not simply end.
void NoteStop(const CPackFile& pack, const CString& location, InstallOutcome* outcome) {
  PackStop stop = pack.StopReason();
  if (stop == PackStop::kEnd)
    return;
  CString reason = DescribePackStop(stop);
  if (stop == PackStop::kIoError)
    reason += CString(" (") + platform::ErrorText(pack.StopError()).c_str() + ")";
  CString path = pack.StopName()[0] ? location + "\\" + pack.StopName() : location;
  NoteFailure(outcome, path, reason);
}

// A failed close belongs to a file handed over before anything that fails now, so the closer is
// waited for and its failure noted first: the failure told is the first in the package's order.
void NoteCloseFailure(platform::CFileCloser* closer, InstallOutcome* outcome) {
  std::string path;
  platform::ErrorCode error = 0;
  if (closer->Finish(&path, &error))
    return;
  CString reason = CString(DescribeUnzipFault(UnzipFault::kWriteFailed)) + " (" +
                   platform::ErrorText(error).c_str() + ")";
  NoteFailure(outcome, path.c_str(), reason);
}

// The question about a file another program holds, naming that program where Windows can say.
CString DescribeInUse(const char* path) {
  std::vector<std::string> users;
  if (!platform::FileUsers(path, &users))
    users.clear();
  std::string text = "This file is in use by another program and cannot be replaced:\r\n";
  text += path;
  if (users.empty()) {
    text += "\r\n\r\nWindows cannot say which program is using it.";
  } else {
    text += "\r\n\r\nIt is used by:";
    for (size_t i = 0; i < users.size() && i < kShownUsers; ++i)
      text += "\r\n" + users[i];
    if (users.size() > kShownUsers)
      text += "\r\nand " + std::to_string(users.size() - kShownUsers) + " more";
  }
  text += users.size() > 1 ? "\r\n\r\nClose the programs" : "\r\n\r\nClose the program";
  text += " and click Try Again. Continue keeps the old file; Cancel stops setup.";
  return text.c_str();
}

// One pass of the member loop, in its fixed order: status text, log entry, (the walk resets the
// attributes and unpacks, again for as long as the user tries again a file in use), progress
// step; the cancel is read at the top of each pass.
class InstallPass : public IMemberVisitor {
 public:
  InstallPass(IInstallView* view, CUninstallLog* log, platform::CFileCloser* closer,
              InstallOutcome* outcome)
      : m_view(view), m_log(log), m_closer(closer), m_outcome(outcome) {}

  bool BeforeUnpack(const PackMember& member) override {
    m_view->WaitWhilePaused();
    if (m_view->IsCancelled())
      return false;
    m_view->ShowPath(member.path);
    // A question may have opened since the top of the pass: no log entry while it is open.
    m_view->WaitWhilePaused();
    m_log->AddEntry(member.path);
    return true;
  }

  // The user can free a file in use, so the worker waits for the answer before it goes on; the
  // log entry stays the one written before the first attempt.
  bool UnpackAgain(const PackMember& member, UnzipFault fault) override {
    if (fault != UnzipFault::kInUse)
      return false;
    int answer = m_view->ShowMessage(DescribeInUse(member.path), "setup",
                                     kMbCancelTryContinue | kMbIconExclamation | kMbDefButton2);
    if (answer == kIdCancel)
      m_bCancelled = true;
    return answer == kIdTryAgain;
  }

  bool AfterUnpack(const PackMember& member, UnzipFault fault) override {
    // Cancel in the question ends the walk as a confirmed cancel does.
    if (m_bCancelled)
      return false;
    if (fault != UnzipFault::kNone) {
      NoteCloseFailure(m_closer, m_outcome);
      NoteFailure(m_outcome, member.path, DescribeUnzipFault(fault));
    }
    m_view->StepProgress();
    m_view->WaitWhilePaused();
    return true;
  }

  bool Cancelled() const { return m_bCancelled; }

 private:
  IInstallView* m_view;
  CUninstallLog* m_log;
  platform::CFileCloser* m_closer;
  InstallOutcome* m_outcome;
  bool m_bCancelled = false;  // answered Cancel to a file in use
};

// The log is the only record of what to remove, so an incomplete one is always told.
CString DescribeLogFailure(const InstallOutcome& outcome) {
  return "There are problems at write uninstall log:\r\n" + outcome.logFailed + "\r\n(" +
         outcome.logReason + ")";
}

}  // namespace

InstallOutcome RunInstall(const CString& location, const CString& packPath, IInstallView* view,
                          IShortcutPhase* shortcuts, int firstEntry) {
  InstallOutcome outcome;
  CPackFile pack;
  if (!pack.Open(packPath, true)) {
    view->ShowMessage("pack file open failed!", "setup", kMbOk);
    view->End();
    return outcome;
  }
  ViewGate gate(view);
  pack.SetCopyGate(&gate);
  platform::CFileCloser closer;
  pack.SetFileCloser(&closer);
  CUninstallLog log(location + "\\" + kLogName, firstEntry);

  view->WaitWhilePaused();
  // Each member's archive is unpacked where it lies in the package: a staged copy beside the
  // file would cost every file three more opens and a delete, and leave the disk no different.
  InstallPass pass(view, &log, &closer, &outcome);
  WalkPackage(&pack, location, &pass);
  // Nothing is told, nor any shortcut made, before every file is closed.
  NoteCloseFailure(&closer, &outcome);
  outcome.entries = log.Entries();

  // The last cancel check: a cancel pressed from here on would come too late to undo anything.
  view->CloseCancel();
  if (view->IsCancelled() || pass.Cancelled()) {
    pack.Close();
    outcome.kind = InstallOutcome::kCancelled;
    view->End();
    return outcome;
  }
  NoteStop(pack, location, &outcome);
  pack.Close();
  outcome.kind =
      outcome.firstFailed.IsEmpty() ? InstallOutcome::kCompleted : InstallOutcome::kDamaged;

  bool shortcutsMade = true;
  if (shortcuts) {
    view->WaitWhilePaused();
    shortcutsMade = shortcuts->Run(location, &log);
    outcome.entries = log.Entries();
  }
  if (log.Failed()) {
    outcome.logFailed = log.Path().c_str();
    outcome.logReason = log.Failure().c_str();
  }
  if (outcome.kind == InstallOutcome::kDamaged) {
    view->ShowMessage(DescribeDamage(outcome), "setup", kMbOk | kMbIconExclamation);
  } else if (shortcuts) {
    view->ShowMessage(DescribeCompletion(outcome, shortcutsMade), "setup",
                      kMbOk | kMbIconInformation);
  }
  view->End();
  return outcome;
}

CString DescribeDamage(const InstallOutcome& outcome) {
  CString text = "Install not completed! There are problems at extract file:\r\n" +
                 outcome.firstFailed + "\r\n(" + outcome.reason + ")";
  return outcome.logFailed.IsEmpty() ? text : text + "\r\n" + DescribeLogFailure(outcome);
}

CString DescribeCompletion(const InstallOutcome& outcome, bool shortcutsMade) {
  if (outcome.logFailed.IsEmpty()) {
    return shortcutsMade ? "Install completed!"
                         : "Install completed! There are problems at create shortcut.";
  }
  return CString(shortcutsMade ? "Install completed! "
                               : "Install completed! There are problems at create shortcut.\r\n") +
         DescribeLogFailure(outcome);
}
