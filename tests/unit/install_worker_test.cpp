#include "install/install_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "install/pause_gate.h"
#include "package/pack_file.h"
#include "package/unzip_single.h"
#include "platform/file_users.h"
#include "platform/profile.h"
#include "tests/unit/pack_fixtures.h"
#include "tests/unit/test_support.h"

namespace {

// Records what the worker shows, and cancels once a given number of steps have been taken.
class RecordingView : public IInstallView {
 public:
  void ShowPath(const char* path) override { events.push_back(std::string("path ") + path); }
  void StepProgress() override {
    ++steps;
    events.push_back("step");
  }
  int ShowMessage(const char* text, const char* caption, unsigned type) override {
    events.push_back("message " + std::string(caption) + " " + std::to_string(type) + " " + text);
    return answered < answers.size() ? answers[answered++] : 1;
  }
  bool IsCancelled() override { return cancelAfterSteps >= 0 && steps >= cancelAfterSteps; }
  void WaitWhilePaused() override { ++waits; }
  void End() override { events.push_back("end"); }

  std::vector<std::string> events;
  int steps = 0;
  int waits = 0;
  int cancelAfterSteps = -1;
  std::vector<int> answers;  // to the messages in turn; OK to any after them
  size_t answered = 0;
};

class RecordingPhase : public IShortcutPhase {
 public:
  bool Run(const CString&, CUninstallLog* log) override {
    counterAtStart = log->Entries();
    log->WriteCount();
    return result;
  }
  int counterAtStart = -1;
  bool result = true;
};

class InstallWorkerTest : public ::testing::Test {
 protected:
  void WritePackage(const std::vector<std::pair<std::string, std::string>>& files,
                    const std::string& tail = "") {
    std::string bytes;
    for (const auto& file : files)
      bytes += MemberBytes(file.first, file.second);
    ASSERT_TRUE(WriteWholeFile(m_pak, bytes + tail));
  }

  InstallOutcome Install(IShortcutPhase* phase = nullptr) {
    return RunInstall(m_location.c_str(), m_pak.c_str(), &m_view, phase);
  }

  std::string LogValue(const std::string& key) {
    char buffer[260];
    ReadProfileString("files", key.c_str(), "<none>", buffer, sizeof buffer,
                      (m_location + "\\uninstall.ini").c_str());
    return buffer;
  }

  ScratchFolder m_scratch;
  std::string m_pak = m_scratch.Join("data.pak");
  std::string m_location = m_scratch.Join("App");
  RecordingView m_view;
  const std::vector<std::pair<std::string, std::string>> m_files = {
      {"app.exe", "MZ program"}, {"doc\\readme.txt", "read me"}, {"doc\\more\\x.dat", "x"}};
};

TEST_F(InstallWorkerTest, InstallsEveryMemberAndLogsItInOrder) {
  WritePackage(m_files);
  InstallOutcome outcome = Install();
  EXPECT_EQ(outcome.kind, InstallOutcome::kCompleted);
  EXPECT_EQ(outcome.entries, 3);
  std::vector<std::string> expected;
  for (size_t i = 0; i < m_files.size(); ++i) {
    std::string path = m_location + "\\" + m_files[i].first;
    EXPECT_EQ(ReadWholeFile(path), m_files[i].second);
    EXPECT_FALSE(platform::FileExists((path + ".zip").c_str()));
    EXPECT_EQ(LogValue("file" + std::to_string(i)), path);
    expected.push_back("path " + path);
    expected.push_back("step");
  }
  // No shortcut phase yet: no completion message, and no count in the log.
  expected.push_back("end");
  EXPECT_EQ(m_view.events, expected);
  EXPECT_EQ(LogValue("filenum"), "<none>");
}

TEST_F(InstallWorkerTest, MissingPackageIsReportedAndNothingIsLogged) {
  InstallOutcome outcome = Install();
  EXPECT_EQ(outcome.kind, InstallOutcome::kOpenFailed);
  EXPECT_EQ(m_view.events,
            (std::vector<std::string>{"message setup 0 pack file open failed!", "end"}));
  EXPECT_FALSE(platform::FileExists((m_location + "\\uninstall.ini").c_str()));
}

TEST_F(InstallWorkerTest, EmptyPackageGoesStraightToTheShortcutPhase) {
  WritePackage({});
  // Made by the dialog; with no member, nothing else makes it.
  ASSERT_TRUE(platform::CreateFolder(m_location.c_str()));
  RecordingPhase phase;
  InstallOutcome outcome = Install(&phase);
  EXPECT_EQ(outcome.kind, InstallOutcome::kCompleted);
  EXPECT_EQ(phase.counterAtStart, 0);
  EXPECT_EQ(m_view.events,
            (std::vector<std::string>{"message setup 64 Install completed!", "end"}));
}

TEST_F(InstallWorkerTest, ShortcutPhaseContinuesTheCounterAndDecidesTheMessage) {
  WritePackage(m_files);
  RecordingPhase phase;
  phase.result = false;
  Install(&phase);
  EXPECT_EQ(phase.counterAtStart, 3);
  EXPECT_EQ(LogValue("filenum"), "3");
  ASSERT_GE(m_view.events.size(), 2u);
  EXPECT_EQ(m_view.events[m_view.events.size() - 2],
            "message setup 64 Install completed! There are problems at create shortcut.");
}

// With a folder where the log should be, every file still installs, and the last message says
// the log is missing, after what it would have said.
TEST_F(InstallWorkerTest, LogThatCannotBeWrittenIsNamedInTheLastMessage) {
  std::string bad = MemberBytes("bad.txt", std::string(3000, 'b'), 0);
  bad[kPackHeaderSize + ZipDataOffset(bad.substr(kPackHeaderSize)) + 100] ^= 0x01;
  const std::string fileFailed = "Install not completed! There are problems at extract file:\r\n" +
                                 m_location + "\\bad.txt\r\n(";
  struct Case {
    bool damaged;
    bool shortcutsMade;
    std::string before;  // the message up to the log's part
  } cases[] = {
      {false, true, "message setup 64 Install completed! "},
      {false, false,
       "message setup 64 Install completed! There are problems at create shortcut.\r\n"},
      {true, true, "message setup 48 " + fileFailed},
  };
  std::string log = m_location + "\\uninstall.ini";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    platform::RemoveTree(m_location.c_str());
    ASSERT_TRUE(platform::CreateFolder(m_location.c_str()));
    ASSERT_TRUE(platform::CreateFolder(log.c_str()));
    ASSERT_TRUE(WriteWholeFile(m_pak, MemberBytes("a.txt", "a") + (c.damaged ? bad : "")));
    m_view = RecordingView();
    RecordingPhase phase;
    phase.result = c.shortcutsMade;
    InstallOutcome outcome = Install(&phase);
    EXPECT_EQ(ReadWholeFile(m_location + "\\a.txt"), "a");
    EXPECT_EQ(outcome.entries, 0);
    EXPECT_EQ(outcome.logFailed, log.c_str());
    ASSERT_FALSE(outcome.logReason.IsEmpty());
    std::string message = m_view.events[m_view.events.size() - 2];
    EXPECT_EQ(message.find(c.before), 0u) << message;
    std::string logPart = "There are problems at write uninstall log:\r\n" + log + "\r\n(" +
                          outcome.logReason.c_str() + ")";
    EXPECT_EQ(message.substr(message.size() - logPart.size()), logPart) << message;
  }
}

TEST_F(InstallWorkerTest, CancelAtTheTopOfAPassStopsBeforeThatMember) {
  WritePackage(m_files);
  RecordingPhase phase;
  m_view.cancelAfterSteps = 1;
  InstallOutcome outcome = Install(&phase);
  EXPECT_EQ(outcome.kind, InstallOutcome::kCancelled);
  EXPECT_EQ(outcome.entries, 1);
  EXPECT_EQ(LogValue("file0"), m_location + "\\app.exe");
  EXPECT_EQ(LogValue("file1"), "<none>");
  // The second member was read, but nothing of it reaches the disk, not even its folder, which
  // no log entry would name for the uninstaller.
  EXPECT_FALSE(platform::FolderExists((m_location + "\\doc").c_str()));
  EXPECT_EQ(phase.counterAtStart, -1);
  EXPECT_EQ(m_view.events.back(), "end");
  EXPECT_EQ(m_view.steps, 1);
}

TEST_F(InstallWorkerTest, CancelDuringTheLastMemberSkipsTheShortcutPhase) {
  WritePackage(m_files);
  RecordingPhase phase;
  m_view.cancelAfterSteps = 3;
  InstallOutcome outcome = Install(&phase);
  EXPECT_EQ(outcome.kind, InstallOutcome::kCancelled);
  EXPECT_EQ(outcome.entries, 3);
  EXPECT_EQ(phase.counterAtStart, -1);
  EXPECT_EQ(LogValue("filenum"), "<none>");
  for (const std::string& event : m_view.events)
    EXPECT_EQ(event.find("message"), std::string::npos);
}

TEST_F(InstallWorkerTest, DamageIsReportedNamingTheFirstFailedFile) {
  std::string bad = MemberBytes("bad.txt", std::string(3000, 'b'), 0);
  // A byte of the stored data: only the CRC notices.
  bad[kPackHeaderSize + ZipDataOffset(bad.substr(kPackHeaderSize)) + 100] ^= 0x01;
  std::string good = MemberBytes("good.txt", "good");
  std::string truncated = MemberBytes("cut.txt", std::string(3000, 'c'), 0);
  ASSERT_TRUE(WriteWholeFile(m_pak, bad + good + truncated.substr(0, 500)));
  RecordingPhase phase;
  InstallOutcome outcome = Install(&phase);
  EXPECT_EQ(outcome.kind, InstallOutcome::kDamaged);
  EXPECT_EQ(outcome.firstFailed, (m_location + "\\bad.txt").c_str());
  // The flow goes on as usual: later members, their log entries, the shortcut phase.
  EXPECT_EQ(ReadWholeFile(m_location + "\\good.txt"), "good");
  EXPECT_EQ(outcome.entries, 2);
  EXPECT_EQ(phase.counterAtStart, 2);
  ASSERT_GE(m_view.events.size(), 2u);
  const std::string& message = m_view.events[m_view.events.size() - 2];
  EXPECT_EQ(message.find("message setup 48 Install not completed!"), 0u) << message;
  EXPECT_NE(message.find(m_location + "\\bad.txt"), std::string::npos);
  EXPECT_NE(message.find("CRC"), std::string::npos);
}

TEST_F(InstallWorkerTest, TruncatedOrHostilePackageIsNotACompletedInstall) {
  const std::string tails[] = {
      MemberBytes("cut.txt", std::string(3000, 'c'), 0).substr(0, 400),
      RawHeader("..\\..\\evil.dll", 4) + "PK\x03\x04",
      RawHeader("x", 0).substr(0, 100),
  };
  for (const std::string& tail : tails) {
    m_view = RecordingView();
    WritePackage({{"a.txt", "a"}}, tail);
    InstallOutcome outcome = Install();
    EXPECT_EQ(outcome.kind, InstallOutcome::kDamaged);
    EXPECT_EQ(outcome.entries, 1);
    EXPECT_FALSE(platform::FileExists(m_scratch.Join("evil.dll").c_str()));
    ASSERT_GE(m_view.events.size(), 2u);
    EXPECT_EQ(m_view.events[m_view.events.size() - 2].find("message setup 48"), 0u);
  }
}

// Another program holding a file, as the seams give it: POSIX has no sharing violations, and
// Windows names the holder only where it can.
#ifdef _WIN32
constexpr uint32_t kInUse = 32, kDenied = 5;  // ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED
#else
constexpr uint32_t kInUse = EBUSY, kDenied = EACCES;
#endif
struct Holder {
  std::string path;
  uint32_t code = 0;
  int refusals = 0;  // opens it spoils before it lets go
  bool known = false;
  std::vector<std::string> users;
  std::string askedAbout;
} g_holder;

uint32_t RefuseHeld(const char* path) {
  if (g_holder.path != path || g_holder.refusals == 0)
    return 0;
  --g_holder.refusals;
  return g_holder.code;
}

bool UsersOfHeld(const char* path, std::vector<std::string>* names) {
  g_holder.askedAbout = path;
  *names = g_holder.users;
  return g_holder.known;
}

// The held member is read where it lies in the package, not from memory, so a second attempt
// must find its archive again; its log entry is written once, however often it is tried.
TEST_F(InstallWorkerTest, FileInUseIsAskedAboutThenTriedAgainKeptOrCancelled) {
  constexpr int kCancel = 2, kTryAgain = 10, kContinue = 11;
  const std::string held = m_location + "\\doc\\big.dat";
  const std::string bytes(kMemberInMemoryMax + 1, 'n');
  const std::string damage =
      "message setup 48 Install not completed! There are problems at extract file:\r\n" + held +
      "\r\n(";
  // The programs the system names, and what the question says of them and after them.
  const std::vector<std::string> two = {"Editor (process 12)", "Viewer (process 34)"}, nobody;
  const std::string named =
      "It is used by:\r\nEditor (process 12)\r\nViewer (process 34)\r\n\r\nClose the programs";
  const std::string cannotSay =
      "Windows cannot say which program is using it.\r\n\r\nClose the program";
  // The answers, to each question in turn.
  const std::vector<int> twice = {kTryAgain, kTryAgain}, carryOn = {kContinue}, stop = {kCancel},
                         unasked;
  struct Row {
    const char* what;
    uint32_t code;
    int refusals;
    const std::vector<int>& answers;
    bool known;
    const std::vector<std::string>& users;
    const std::string& named;
    InstallOutcome::Kind kind;
    std::string last;  // the message after the questions, empty for none
  } rows[] = {
      {"try again until it lets go", kInUse, 2, twice, true, two, named, InstallOutcome::kCompleted,
       "message setup 64 Install completed!"},
      {"continue, as Wine names nobody", kInUse, 100, carryOn, true, nobody, cannotSay,
       InstallOutcome::kDamaged, damage + "the file is in use by another program)"},
      {"cancel, where the system cannot say", kInUse, 100, stop, false, nobody, cannotSay,
       InstallOutcome::kCancelled, ""},
      {"refused for another reason: not asked", kDenied, 100, unasked, false, nobody, cannotSay,
       InstallOutcome::kDamaged, damage + "the output file cannot be opened for writing)"},
  };
  // Set for this test only, even when an assertion ends it early.
  struct Seams {
    Seams() {
      SetRefuseOutputForTesting(RefuseHeld);
      platform::SetFileUsersForTesting(UsersOfHeld);
    }
    ~Seams() {
      SetRefuseOutputForTesting(nullptr);
      platform::SetFileUsersForTesting(nullptr);
    }
  } seams;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    platform::RemoveTree(m_location.c_str());
    ASSERT_TRUE(platform::CreateFolders((m_location + "\\doc").c_str()));
    ASSERT_TRUE(WriteWholeFile(held, "old"));
    ASSERT_TRUE(WriteWholeFile(m_pak, MemberBytes("a.txt", "a") +
                                          MemberBytes("doc\\big.dat", bytes, 0) +
                                          MemberBytes("z.txt", "z")));
    g_holder = Holder{held, row.code, row.refusals, row.known, row.users, ""};
    m_view = RecordingView();
    m_view.answers = row.answers;
    RecordingPhase phase;
    InstallOutcome outcome = Install(&phase);

    EXPECT_EQ(outcome.kind, row.kind);
    bool replaced = row.kind == InstallOutcome::kCompleted;
    std::string now = ReadWholeFile(held);
    EXPECT_TRUE(now == (replaced ? bytes : "old")) << now.size() << " bytes: " << now.substr(0, 8);
    bool cancelled = row.kind == InstallOutcome::kCancelled;
    EXPECT_EQ(ReadWholeFile(m_location + "\\z.txt"), cancelled ? "" : "z");
    EXPECT_EQ(LogValue("file1"), held);
    EXPECT_EQ(outcome.entries, cancelled ? 2 : 3);
    EXPECT_EQ(LogValue("filenum"), cancelled ? "<none>" : "3");

    const std::string question =
        "message setup 310 This file is in use by another program and cannot be replaced:\r\n" +
        held + "\r\n\r\n" + row.named +
        " and click Try Again. Continue keeps the old file; Cancel stops setup.";
    std::vector<std::string> expected = {"path " + m_location + "\\a.txt", "step", "path " + held};
    expected.insert(expected.end(), row.answers.size(), question);
    if (!cancelled)
      expected.insert(expected.end(), {"step", "path " + m_location + "\\z.txt", "step"});
    if (!row.last.empty())
      expected.push_back(row.last);
    expected.push_back("end");
    EXPECT_EQ(m_view.events, expected);
    EXPECT_EQ(g_holder.askedAbout, row.answers.empty() ? "" : held);
  }
}

// Attributes as Windows numbers them; elsewhere only read-only exists, as a missing write bit.
constexpr unsigned kReadOnly = 0x1, kHidden = 0x2, kSystem = 0x4;

bool SetAttributes(const std::string& path, unsigned attributes) {
#ifdef _WIN32
  return SetFileAttributesA(path.c_str(), attributes) != 0;
#else
  return attributes == kReadOnly && platform::SetReadOnly(path.c_str());
#endif
}

// Whether the file still has an attribute that would refuse its replacing.
bool HasRefusingAttribute(const std::string& path) {
#ifdef _WIN32
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & (kReadOnly | kHidden | kSystem));
#else
  platform::CFile file;
  return !file.Open(path.c_str(), "r+b");
#endif
}

// Windows refuses to create a file anew over a read-only, hidden or system one, and Wine replaces
// it but keeps the attribute: either way the file must end replaced and with normal attributes.
TEST_F(InstallWorkerTest, ExistingFileIsReplacedWhateverItsAttributesAndTemplateContentKept) {
  std::vector<unsigned> cases = {kReadOnly};
#ifdef _WIN32
  cases.insert(cases.end(), {kHidden, kSystem, kHidden | kSystem | kReadOnly});
#endif
  for (unsigned attributes : cases) {
    SCOPED_TRACE(attributes);
    platform::RemoveTree(m_location.c_str());
    m_view = RecordingView();
    WritePackage(m_files);
    ASSERT_TRUE(platform::CreateFolder(m_location.c_str()));
    std::string existing = m_location + "\\app.exe";
    ASSERT_TRUE(WriteWholeFile(existing, "old version, longer than the new one"));
    ASSERT_TRUE(SetAttributes(existing, attributes));
    std::string log = m_location + "\\uninstall.ini";
    ASSERT_TRUE(WriteWholeFile(log, "[product]\r\nname=App\r\n[files]\r\n[other]\r\nkeep=1\r\n"));
    EXPECT_EQ(Install().kind, InstallOutcome::kCompleted);
    EXPECT_EQ(ReadWholeFile(existing), "MZ program");
    EXPECT_FALSE(HasRefusingAttribute(existing));
    char buffer[260];
    ReadProfileString("other", "keep", "", buffer, sizeof buffer, log.c_str());
    EXPECT_STREQ(buffer, "1");
    ReadProfileString("product", "name", "", buffer, sizeof buffer, log.c_str());
    EXPECT_STREQ(buffer, "App");
    EXPECT_EQ(LogValue("file2"), m_location + "\\doc\\more\\x.dat");
  }
}

TEST_F(InstallWorkerTest, LocationWithTrailingBackslashIsUsedUnchanged) {
  WritePackage({{"a.txt", "a"}});
  m_location += "\\";
  EXPECT_EQ(Install().kind, InstallOutcome::kCompleted);
  EXPECT_EQ(LogValue("file0"), m_location + "\\a.txt");
  EXPECT_EQ(ReadWholeFile(m_location + "a.txt"), "a");
}

// A paused worker takes no step until it is resumed, and then goes on where it stopped.
TEST(PauseGateTest, WorkerWaitsWhilePausedAndResumes) {
  CPauseGate gate;
  std::atomic<int> passes{0};
  gate.Pause();
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i) {
      gate.WaitWhilePaused();
      ++passes;
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(passes.load(), 0);
  gate.Resume();
  worker.join();
  EXPECT_EQ(passes.load(), 3);
}

// Closing waits for the answer to a question already open, and no later pause is taken.
TEST(PauseGateTest, CloseWaitsOutAPauseAndRefusesLaterOnes) {
  CPauseGate gate;
  ASSERT_TRUE(gate.Pause());
  std::atomic<bool> closed{false};
  std::thread worker([&] {
    gate.Close();
    closed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(closed.load());
  gate.Resume();
  worker.join();
  EXPECT_FALSE(gate.Pause());
  gate.WaitWhilePaused();
}

}  // namespace
