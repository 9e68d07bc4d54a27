// uninstall.exe on a real installation: setup.exe installs a folder made as mkpak dist makes it,
// whose package holds the uninstaller first, with a group, two links and a desktop link; the
// uninstaller is then driven through its question and its final message, and the disk is checked
// for anything of ours.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/setup_config.h"
#include "res/resource.h"
#include "tests/unit/pack_fixtures.h"
#include "tests/unit/test_support.h"
#include "tests/wine/keep_desktop.h"
#include "tests/wine/ui_driver.h"
#include "tools/dist_build.h"
#include "tools/dist_check.h"

namespace {

constexpr DWORD kTimeoutMs = 30000;

bool Exists(const std::string& path) {
  return platform::FileExists(path.c_str()) || platform::FolderExists(path.c_str());
}

// Part-way through an installation: once path is there.
bool WaitForFile(const std::string& path) {
  for (DWORD start = GetTickCount(); !Exists(path) && GetTickCount() - start < kTimeoutMs;)
    Sleep(10);
  return Exists(path);
}

// The folders an uninstaller's copy may run in: the Windows temporary folder, where an elevated
// one goes (as every program under Wine is), and the user's.
std::vector<std::string> TemporaryFolders() {
  char windows[MAX_PATH];
  char user[MAX_PATH];
  GetSystemWindowsDirectoryA(windows, MAX_PATH);
  GetTempPathA(MAX_PATH, user);
  return {std::string(windows) + "\\Temp\\", user};
}

// Each entry of those folders, by its path.
std::vector<std::string> TemporaryEntries() {
  std::vector<std::string> paths;
  for (const std::string& folder : TemporaryFolders()) {
    std::vector<platform::FolderEntry> entries;
    platform::ListFolder(folder.c_str(), &entries);
    for (const platform::FolderEntry& entry : entries)
      paths.push_back(folder + entry.name);
  }
  return paths;
}

// Names that a system DLL loads by name after start-up (shell32 pulls in shcore, the common
// controls uxtheme), planted where a program of ours runs or works; a planted one that is loaded
// leaves NAME.loaded beside itself.
const char* const kPlantedDlls[] = {"shcore.dll", "uxtheme.dll"};

class UninstallTest : public ::testing::Test {
 protected:
  // The distribution folder as a publisher makes it, with mkpak dist's own code: setup.exe and
  // uninstall.exe lie beside this program as beside mkpak in a release.
  void SetUp() override {
    for (const char* folder : {"payload", "payload\\doc"})
      ASSERT_TRUE(platform::CreateFolder(m_scratch.Join(folder).c_str()));
    for (const char* file : {"app.exe", "doc\\readme.txt"})
      ASSERT_TRUE(WriteWholeFile(m_scratch.Join(std::string("payload\\") + file), file));
    ASSERT_TRUE(
        WriteWholeFile(m_scratch.Join("uninstall.ini"), "[uninstall]\r\ntitle=E2E App\r\n"));
    ASSERT_TRUE(WriteWholeFile(m_scratch.Join("setup.ini"),
                               "[main]\r\ntitle=E2E Setup\r\n[shortcut]\r\ngroup=" + m_groupName +
                                   "\r\nitemnum=2\r\nitem0FileName=app.exe\r\nitem0Desc=E2E App\r\n"
                                   "item1FileName=uninstall.exe\r\nitem1Desc=Uninstall E2E\r\n"
                                   "item1Desktop=1\r\n"));
    ASSERT_EQ(BuildDist("payload", "setup.ini", m_dist), 3u);
    std::string error;
    DistReport report;
    ASSERT_TRUE(CheckDistribution(m_dist, &report, &error));
    // The one finding of a 64-bit run: its setup.exe is not the i686 one.
    EXPECT_EQ(report.errors, sizeof(void*) == 4 ? 0u : 1u);
    EXPECT_EQ(report.warnings, 0u);
  }

  // A distribution folder from the payload and setup.ini named below the scratch folder, as mkpak
  // dist makes it; the number of members packed.
  size_t BuildDist(const char* payload, const char* ini, const std::string& out,
                   const std::string& oneFile = std::string()) {
    DistInputs inputs;
    inputs.oneFile = oneFile;
    inputs.payload = m_scratch.Join(payload);
    inputs.out = out;
    inputs.ini = m_scratch.Join(ini);
    inputs.face = GetModuleDir().str() + "face.bmp";
    inputs.uninstallTemplate = m_scratch.Join("uninstall.ini");
    DistSummary summary;
    std::string error;
    EXPECT_TRUE(BuildDistribution(inputs, &summary, &error)) << error;
    return summary.pack.members;
  }

  void TearDown() override {
    // What a failed test left in the user's folders must not reach the next.
    for (const std::string& link : Links())
      platform::RemoveFile(link.c_str());
    platform::RemoveTree(Group().c_str());
  }

  std::string Group() const { return ShellFolder("Programs") + "\\" + m_groupName; }
  std::vector<std::string> Links() const {
    return {Group() + "\\E2E App.lnk", Group() + "\\Uninstall E2E.lnk",
            ShellFolder("Desktop") + "\\Uninstall E2E.lnk"};
  }
  // Everything the installation made.
  std::vector<std::string> Ours() const {
    std::vector<std::string> ours = {m_dest + "\\uninstall.exe",   m_dest + "\\app.exe",
                                     m_dest + "\\doc\\readme.txt", m_dest + "\\doc",
                                     m_dest + "\\uninstall.ini",   Group()};
    for (const std::string& link : Links())
      ours.push_back(link);
    return ours;
  }

  // Starts dist's setup.exe, installs into m_dest and returns the progress dialog; null when
  // any step fails.
  HWND StartInstall(CDrivenProcess* setup, const std::string& dist) {
    if (!setup->Start(dist + "\\setup.exe", ""))
      return nullptr;
    HWND dialog = WaitForDialog(setup->Id(), "E2E Setup", kTimeoutMs);
    if (!dialog || !SetItemText(dialog, IDC_LOCATION, m_dest.c_str()) || !ClickButton(dialog, IDOK))
      return nullptr;
    return WaitForDialog(setup->Id(), "Extracting files...", kTimeoutMs);
  }

  void Install() {
    CDrivenProcess setup;
    HWND progress = StartInstall(&setup, m_dist);
    HWND box = progress ? WaitForMessageBox(setup.Id(), progress, kTimeoutMs) : nullptr;
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(MessageBoxText(box), "Install completed!");
    ClickButton(box, IDOK);
    ASSERT_TRUE(setup.WaitForExit(kTimeoutMs));
    for (const std::string& path : Ours())
      ASSERT_TRUE(Exists(path)) << path;
  }

  // Starts the installed uninstaller, answers its first message with button, and returns the
  // first message's text, then (after Yes) the final message's, once everything has ended.
  std::vector<std::string> Uninstall(int button, const char* screenshot = nullptr) {
    std::vector<std::string> texts;
    std::vector<std::string> before = TemporaryEntries();
    CDrivenProcess uninstaller;
    EXPECT_TRUE(uninstaller.Start(m_dest + "\\uninstall.exe", ""));
    HWND box = WaitForMessageBox(uninstaller.Id(), nullptr, kTimeoutMs);
    if (!box)
      return {"<no message>"};
    texts.push_back(MessageBoxText(box));
    if (screenshot)
      KeepScreenshot(box, std::string(screenshot) + "-question");
    ClickButton(box, button);
    EXPECT_TRUE(uninstaller.WaitForExit(kTimeoutMs));
    if (button != IDYES)
      return texts;
    // The removal goes on in the uninstaller's copy, a process of its own. Its progress shows
    // only while there is much to remove.
    if (screenshot) {
      if (HWND progress = WaitForDialog(0, "Removing files...", 2000))
        KeepScreenshot(progress, std::string(screenshot) + "-progress");
    }
    HWND done = WaitForDialog(0, "Uninstall", kTimeoutMs);
    if (!done)
      return {texts[0], "<no final message>"};
    texts.push_back(MessageBoxText(done));
    if (screenshot)
      KeepScreenshot(done, screenshot);
    ClickButton(done, IDOK);
    // The copy's file and folder go as it ends: once they are gone, everything has ended.
    std::vector<std::string> left;
    for (DWORD start = GetTickCount(); GetTickCount() - start < kTimeoutMs; Sleep(20)) {
      left.clear();
      for (const std::string& entry : TemporaryEntries()) {
        if (std::find(before.begin(), before.end(), entry) == before.end())
          left.push_back(entry);
      }
      if (left.empty())
        break;
    }
    EXPECT_TRUE(left.empty()) << "the uninstaller's copy left " << left[0];
    return texts;
  }

  ScratchFolder m_scratch;
  std::string m_dist = m_scratch.Join("dist");
  std::string m_dest = m_scratch.Join("Installed App");
  std::string m_groupName = "E2E Uninstall " + std::to_string(GetCurrentProcessId());
};

TEST_F(UninstallTest, RemovesEverythingOursAndKeepsWhatIsNot) {
  ASSERT_TRUE(platform::CreateFolder(m_dest.c_str()));
  ASSERT_TRUE(WriteWholeFile(m_dest + "\\mine.txt", "the user's own"));
  Install();
  ASSERT_TRUE(WriteWholeFile(Group() + "\\notes.txt", "also the user's"));
  std::vector<std::string> texts = Uninstall(IDYES, "uninstall-completed");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "Remove E2E App and everything its installation created?");
  EXPECT_EQ(texts[1].find("Uninstall completed!"), 0u) << texts[1];
  EXPECT_NE(texts[1].find(Group() + " (not empty"), std::string::npos) << texts[1];
  for (const std::string& path : Ours()) {
    if (path != Group()) {
      EXPECT_FALSE(Exists(path)) << path;
    }
  }
  EXPECT_EQ(ReadWholeFile(m_dest + "\\mine.txt"), "the user's own");
  EXPECT_EQ(ReadWholeFile(Group() + "\\notes.txt"), "also the user's");
}

// The same distribution as one program: it installs what the folder installs, ends with
// setup.exe's exit code, and leaves nothing of its own behind.
TEST_F(UninstallTest, OneFileInstallsWhatTheFolderDoesAndLeavesNothing) {
  std::string single = m_scratch.Join("E2E Setup.exe");
  ASSERT_EQ(BuildDist("payload", "setup.ini", m_scratch.Join("dist1"), single), 3u);
  std::vector<std::string> before = TemporaryEntries();
  CDrivenProcess program;
  ASSERT_TRUE(program.Start(single, ""));
  // setup.exe runs as the program's child.
  HWND dialog = WaitForDialog(0, "E2E Setup", kTimeoutMs);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetItemText(dialog, IDC_LOCATION, m_dest.c_str()));
  ASSERT_TRUE(ClickButton(dialog, IDOK));
  HWND progress = WaitForDialog(0, "Extracting files...", kTimeoutMs);
  HWND box = progress ? WaitForMessageBox(0, progress, kTimeoutMs) : nullptr;
  ASSERT_NE(box, nullptr);
  ASSERT_EQ(MessageBoxText(box), "Install completed!");
  ClickButton(box, IDOK);
  DWORD code = 99;
  ASSERT_TRUE(program.WaitForExit(kTimeoutMs, &code));
  EXPECT_EQ(code, 0u);
  for (const std::string& path : Ours())
    EXPECT_TRUE(Exists(path)) << path;
  for (const std::string& entry : TemporaryEntries())
    EXPECT_NE(std::find(before.begin(), before.end(), entry), before.end()) << entry << " left";

  std::vector<std::string> texts = Uninstall(IDYES);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1], "Uninstall completed!");
  EXPECT_FALSE(Exists(m_dest));
}

// One byte of the carried stream changed: refused with one message before anything is
// unpacked or run.
TEST_F(UninstallTest, ChangedOneFileIsRefusedBeforeAnythingRuns) {
  std::string single = m_scratch.Join("E2E Setup.exe");
  ASSERT_EQ(BuildDist("payload", "setup.ini", m_scratch.Join("dist1"), single), 3u);
  std::string bytes = ReadWholeFile(single);
  bytes[bytes.size() - 100] ^= 1;
  ASSERT_TRUE(WriteWholeFile(single, bytes));
  std::vector<std::string> before = TemporaryEntries();
  CDrivenProcess program;
  ASSERT_TRUE(program.Start(single, ""));
  HWND box = WaitForMessageBox(program.Id(), nullptr, kTimeoutMs);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(WindowText(box), "Setup");
  EXPECT_EQ(MessageBoxText(box),
            "This setup program is damaged or incomplete (the stream is damaged). Please "
            "download it again.");
  KeepScreenshot(box, "onefile-damaged");
  ClickButton(box, IDOK);
  DWORD code = 0;
  ASSERT_TRUE(program.WaitForExit(kTimeoutMs, &code));
  EXPECT_EQ(code, 1u);
  EXPECT_EQ(WaitForDialog(0, "E2E Setup", 0), nullptr);
  for (const std::string& entry : TemporaryEntries())
    EXPECT_NE(std::find(before.begin(), before.end(), entry), before.end()) << entry << " left";
}

TEST_F(UninstallTest, NoAtTheQuestionChangesNothing) {
  Install();
  std::vector<std::string> texts = Uninstall(IDNO);
  ASSERT_EQ(texts.size(), 1u);
  for (const std::string& path : Ours())
    EXPECT_TRUE(Exists(path)) << path;
}

TEST_F(UninstallTest, TamperedEntriesOutsideAreReportedAndLeftAlone) {
  Install();
  std::string beside = m_scratch.Join("beside.txt");
  ASSERT_TRUE(WriteWholeFile(beside, "beside the install folder"));
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  std::string system = std::string(windows) + "\\win.ini";
  ASSERT_TRUE(Exists(system));
  std::string log = m_dest + "\\uninstall.ini";
  // A log may spell the install folder in its short form: that is still the install folder.
  char shortApp[MAX_PATH];
  ASSERT_NE(GetShortPathNameA((m_dest + "\\app.exe").c_str(), shortApp, MAX_PATH), 0u);
  ASSERT_NE(std::string(shortApp).find('~'), std::string::npos) << shortApp;
  WritePrivateProfileStringA("files", "file1", shortApp, log.c_str());
  WritePrivateProfileStringA("files", "file7", system.c_str(), log.c_str());
  WritePrivateProfileStringA("files", "file8", (m_dest + "\\..\\beside.txt").c_str(), log.c_str());
  WritePrivateProfileStringA("files", "filenum", "9", log.c_str());
  std::vector<std::string> texts = Uninstall(IDYES, "uninstall-refused");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[1].find(system + " (outside"), std::string::npos) << texts[1];
  EXPECT_TRUE(Exists(system));
  EXPECT_EQ(ReadWholeFile(beside), "beside the install folder");
  for (const std::string& path : Ours())
    EXPECT_FALSE(Exists(path)) << path;
  EXPECT_FALSE(Exists(m_dest));
}

// Cancelled part-way: the log holds what was unpacked so far, no group and no count.
TEST_F(UninstallTest, CancelledInstallationIsRemoved) {
  std::string package =
      MemberBytes("uninstall.exe", ReadWholeFile(GetModuleDir().str() + "uninstall.exe"));
  for (int i = 0; i < 4000; ++i)
    package += MemberBytes("many\\file" + std::to_string(i) + ".txt", "x");
  ASSERT_TRUE(WriteWholeFile(m_dist + "\\data.pak", package));
  CDrivenProcess setup;
  HWND progress = StartInstall(&setup, m_dist);
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(WaitForFile(m_dest + "\\many\\file10.txt"));
  ASSERT_TRUE(ClickButton(progress, IDCANCEL));
  HWND question = WaitForMessageBox(setup.Id(), progress, kTimeoutMs);
  ASSERT_NE(question, nullptr);
  ASSERT_EQ(MessageBoxText(question), "Cancel setup?");
  ClickButton(question, IDYES);
  ASSERT_TRUE(setup.WaitForExit(kTimeoutMs));
  ASSERT_TRUE(Exists(m_dest + "\\uninstall.exe"));
  ASSERT_FALSE(Exists(Group()));

  std::vector<std::string> texts = Uninstall(IDYES, "uninstall-cancelled");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1], "Uninstall completed!");
  EXPECT_FALSE(Exists(m_dest));
}

// An installation killed after its third member leaves the files logged so far and no count;
// the uninstaller packed first is there to remove them.
TEST_F(UninstallTest, InterruptedInstallationIsRemoved) {
  Install();
  for (const std::string& link : Links())
    platform::RemoveFile(link.c_str());
  platform::RemoveFolder(Group().c_str());
  std::string log = m_dest + "\\uninstall.ini";
  for (const char* key : {"file3", "file4", "file5", "file6", "filenum"})
    WritePrivateProfileStringA("files", key, nullptr, log.c_str());
  std::vector<std::string> texts = Uninstall(IDYES);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1], "Uninstall completed!");
  EXPECT_FALSE(Exists(m_dest));
}

TEST_F(UninstallTest, FileInUseStaysWithTheUninstallerAndASecondRunFinishes) {
  Install();
  std::string app = m_dest + "\\app.exe";
  HANDLE held =
      CreateFileA(app.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::vector<std::string> first = Uninstall(IDYES, "uninstall-in-use");
  CloseHandle(held);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[1].find("Uninstall not completed!"), 0u) << first[1];
  EXPECT_NE(first[1].find(app + " (in use)"), std::string::npos) << first[1];
  for (const std::string& stays : {app, m_dest + "\\uninstall.exe", m_dest + "\\uninstall.ini"})
    EXPECT_TRUE(Exists(stays)) << stays;
  EXPECT_FALSE(Exists(m_dest + "\\doc"));
  EXPECT_FALSE(Exists(Group()));

  std::vector<std::string> second = Uninstall(IDYES);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[1], "Uninstall completed!");
  EXPECT_FALSE(Exists(m_dest));
}

TEST_F(UninstallTest, WithoutALogNothingIsTouched) {
  Install();
  ASSERT_TRUE(platform::RemoveFile((m_dest + "\\uninstall.ini").c_str()));
  std::vector<std::string> texts = Uninstall(IDOK, "uninstall-no-log");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0], "Nothing to uninstall: there is no uninstall.ini beside the uninstaller.");
  for (const std::string& path : Ours()) {
    if (path != m_dest + "\\uninstall.ini") {
      EXPECT_TRUE(Exists(path)) << path;
    }
  }
}

// uninstall.exe /remove written by hand, in the form the copy's command line once had: it is
// not a handover from an uninstaller, so the program asks first, as on a plain start.
TEST_F(UninstallTest, RemoveSwitchWrittenByHandAsksFirst) {
  Install();
  CDrivenProcess uninstaller;
  ASSERT_TRUE(
      uninstaller.Start(m_dest + "\\uninstall.exe", "/remove 4 \"" + m_dest + "\\uninstall.exe\""));
  HWND box = WaitForMessageBox(uninstaller.Id(), nullptr, kTimeoutMs);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "Remove E2E App and everything its installation created?");
  ClickButton(box, IDNO);
  EXPECT_TRUE(uninstaller.WaitForExit(kTimeoutMs));
  for (const std::string& path : Ours())
    EXPECT_TRUE(Exists(path)) << path;
}

// DLLs planted beside setup.exe, beside uninstall.exe and in the temporary folders where its
// copy runs: none of them is loaded by a whole installation and removal.
TEST_F(UninstallTest, PlantedDllsAreNotLoaded) {
  std::string plant = ReadWholeFile(GetModuleDir().str() + "planted.dll");
  ASSERT_FALSE(plant.empty());
  std::vector<std::string> planted;
  auto plantIn = [&](const std::string& folder) {
    for (const char* name : kPlantedDlls) {
      planted.push_back(folder + name);
      ASSERT_TRUE(WriteWholeFile(planted.back(), plant));
    }
  };
  plantIn(m_dist + "\\");
  Install();
  plantIn(m_dest + "\\");
  for (const std::string& folder : TemporaryFolders())
    plantIn(folder);
  std::vector<std::string> texts = Uninstall(IDYES);
  EXPECT_EQ(texts.size(), 2u);
  for (const std::string& path : planted) {
    EXPECT_FALSE(Exists(path + ".loaded")) << path << " was loaded";
    platform::RemoveFile((path + ".loaded").c_str());
    platform::RemoveFile(path.c_str());
  }
}

// The user's Shell Folders values, set for one test and put back after it.
class CShellFoldersSet {
 public:
  CShellFoldersSet(const std::string& programs, const std::string& desktop)
      : m_programs(ShellFolder("Programs")), m_desktop(ShellFolder("Desktop")) {
    Set(programs, desktop);
  }
  ~CShellFoldersSet() { Set(m_programs, m_desktop); }

 private:
  static void Set(const std::string& programs, const std::string& desktop) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                      KEY_SET_VALUE, &key) != ERROR_SUCCESS)
      return;
    for (const auto& value :
         {std::make_pair("Programs", programs), std::make_pair("Desktop", desktop)})
      RegSetValueExA(key, value.first, 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(value.second.c_str()),
                     static_cast<DWORD>(value.second.size() + 1));
    RegCloseKey(key);
  }
  std::string m_programs;
  std::string m_desktop;
};

// What an unelevated program could prepare to have the elevated programs write or delete
// elsewhere: hard links to files outside (Wine makes real ones), and the user's folders in the
// registry set to C:\ and to the system folder, with a log naming a group and links there.
TEST_F(UninstallTest, NothingOutsideChangesThroughOtherNamesOrTheRegistry) {
  std::string outside = m_scratch.Join("outside.txt");
  std::string readOnly = m_scratch.Join("read-only.txt");
  ASSERT_TRUE(WriteWholeFile(outside, "outside"));
  ASSERT_TRUE(WriteWholeFile(readOnly, "read-only"));
  ASSERT_TRUE(platform::SetReadOnly(readOnly.c_str()));
  // Before the installation: a hard link where the package puts app.exe.
  ASSERT_TRUE(platform::CreateFolder(m_dest.c_str()));
  ASSERT_TRUE(CreateHardLinkA((m_dest + "\\app.exe").c_str(), outside.c_str(), nullptr));
  Install();
  EXPECT_EQ(ReadWholeFile(outside), "outside");
  EXPECT_EQ(ReadWholeFile(m_dest + "\\app.exe"), "app.exe");

  // After it: a logged file made a hard link to a read-only file, and the user's folders moved.
  std::string readme = m_dest + "\\doc\\readme.txt";
  ASSERT_TRUE(platform::RemoveFile(readme.c_str()));
  ASSERT_TRUE(CreateHardLinkA(readme.c_str(), readOnly.c_str(), nullptr));
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  std::string victims[] = {"C:\\E2E Victim " + std::to_string(GetCurrentProcessId()),
                           std::string(system) + "\\E2E Victim.lnk"};
  ASSERT_TRUE(platform::CreateFolder(victims[0].c_str()));
  ASSERT_TRUE(WriteWholeFile(victims[0] + "\\x.lnk", "not ours"));
  ASSERT_TRUE(WriteWholeFile(victims[1], "not ours"));
  std::string log = m_dest + "\\uninstall.ini";
  WritePrivateProfileStringA("files", "file9", victims[0].c_str(), log.c_str());
  WritePrivateProfileStringA("files", "file10", (victims[0] + "\\x.lnk").c_str(), log.c_str());
  WritePrivateProfileStringA("files", "file11", victims[1].c_str(), log.c_str());
  WritePrivateProfileStringA("files", "filenum", "12", log.c_str());
  std::vector<std::string> texts;
  {
    CShellFoldersSet moved("C:\\", system);
    texts = Uninstall(IDYES);
  }
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[1].find(readme + " (read-only, with other names"), std::string::npos) << texts[1];
  EXPECT_EQ(ReadWholeFile(readOnly), "read-only");
  EXPECT_NE(GetFileAttributesA(readOnly.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(ReadWholeFile(victims[0] + "\\x.lnk"), "not ours");
  EXPECT_EQ(ReadWholeFile(victims[1]), "not ours");
  platform::RemoveTree(victims[0].c_str());
  platform::RemoveFile(victims[1].c_str());
  platform::SetNormalAttributes(readme.c_str());
}

// Code page 932: an install folder whose name ends in 表 (95 5C) is removed whole, and a sibling
// whose name starts with the same characters, named in a tampered log, is left alone.
TEST_F(UninstallTest, CodePage932RemovalLeavesTheSiblingAlone) {
  if (GetACP() != 932)
    GTEST_SKIP() << "needs code page 932 (a Japanese locale), not " << GetACP();
  m_dest = m_scratch.Join("App \x95\x5c");
  std::string sibling = m_scratch.Join("App \x95\x5c\x8c\x76\x8e\x5a");  // 表計算
  ASSERT_TRUE(platform::CreateFolder(sibling.c_str()));
  ASSERT_TRUE(WriteWholeFile(sibling + "\\x.txt", "not ours"));
  Install();
  std::string log = m_dest + "\\uninstall.ini";
  WritePrivateProfileStringA("files", "file9", (sibling + "\\x.txt").c_str(), log.c_str());
  WritePrivateProfileStringA("files", "filenum", "10", log.c_str());
  std::vector<std::string> texts = Uninstall(IDYES);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1].find("Uninstall completed!"), 0u) << texts[1];
  EXPECT_FALSE(Exists(m_dest));
  EXPECT_EQ(ReadWholeFile(sibling + "\\x.txt"), "not ours");
}

// Version 2 installed over version 1 into the same folder, with another group, without the
// "E2E App" link and doc\readme.txt, and with a new file; completed, cancelled half-way or killed
// half-way. The uninstaller then removes what either version made, and says all went.
enum class SecondRun { kCompleted, kCancelled, kKilled };

std::string RunName(SecondRun run) {
  switch (run) {
    case SecondRun::kCompleted:
      return "Completed";
    case SecondRun::kCancelled:
      return "Cancelled";
    case SecondRun::kKilled:
      break;
  }
  return "Killed";
}

class UpgradeTest : public UninstallTest, public ::testing::WithParamInterface<SecondRun> {
 protected:
  void TearDown() override {
    platform::RemoveTree(Group2().c_str());
    UninstallTest::TearDown();
  }
  std::string Group2() const { return Group() + " v2"; }

  // The second version's distribution folder; a long package when it is to be stopped.
  std::string BuildVersion2(bool longPackage) {
    std::string dist = m_scratch.Join("dist2");
    std::string payload = m_scratch.Join("payload2");
    EXPECT_TRUE(platform::CreateFolder(payload.c_str()));
    EXPECT_TRUE(WriteWholeFile(payload + "\\app.exe", "app.exe v2"));
    EXPECT_TRUE(WriteWholeFile(payload + "\\newfile.txt", "new"));
    EXPECT_TRUE(WriteWholeFile(m_scratch.Join("setup2.ini"),
                               "[main]\r\ntitle=E2E Setup\r\n[shortcut]\r\ngroup=" + m_groupName +
                                   " v2\r\nitemnum=1\r\nitem0FileName=uninstall.exe\r\n"
                                   "item0Desc=Uninstall E2E\r\nitem0Desktop=1\r\n"));
    EXPECT_EQ(BuildDist("payload2", "setup2.ini", dist), 3u);
    if (longPackage) {
      std::string package =
          MemberBytes("uninstall.exe", ReadWholeFile(GetModuleDir().str() + "uninstall.exe")) +
          MemberBytes("app.exe", "app.exe v2") + MemberBytes("newfile.txt", "new");
      for (int i = 0; i < 2000; ++i)
        package += MemberBytes("many\\file" + std::to_string(i) + ".txt", "x");
      EXPECT_TRUE(WriteWholeFile(dist + "\\data.pak", package));
    }
    return dist;
  }
};

TEST_P(UpgradeTest, EverythingOfEitherVersionIsRemoved) {
  Install();
  // A first installation's log, as it has always been.
  std::string log = m_dest + "\\uninstall.ini";
  std::string desktop = ShellFolder("Desktop");
  EXPECT_EQ(ReadWholeFile(log),
            "[uninstall]\r\ntitle=E2E App\r\n[files]\r\nfile0=" + m_dest + "\\uninstall.exe\r\n" +
                "file1=" + m_dest + "\\app.exe\r\nfile2=" + m_dest + "\\doc\\readme.txt\r\nfile3=" +
                Group() + "\r\nfile4=" + Group() + "\\E2E App.lnk\r\nfile5=" + Group() +
                "\\Uninstall E2E.lnk\r\nfile6=" + desktop + "\\Uninstall E2E.lnk\r\nfilenum=7\r\n");

  SecondRun run = GetParam();
  {
    CDrivenProcess setup;
    HWND progress = StartInstall(&setup, BuildVersion2(run != SecondRun::kCompleted));
    ASSERT_NE(progress, nullptr);
    if (run == SecondRun::kCompleted) {
      HWND box = WaitForMessageBox(setup.Id(), progress, kTimeoutMs);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(MessageBoxText(box), "Install completed!");
      ClickButton(box, IDOK);
    } else {
      // Half-way: once some of the long package is in.
      ASSERT_TRUE(WaitForFile(m_dest + "\\many\\file100.txt"));
      if (run == SecondRun::kCancelled) {
        ASSERT_TRUE(ClickButton(progress, IDCANCEL));
        HWND question = WaitForMessageBox(setup.Id(), progress, kTimeoutMs);
        ASSERT_NE(question, nullptr);
        ClickButton(question, IDYES);
      }
    }
    if (run != SecondRun::kKilled) {
      ASSERT_TRUE(setup.WaitForExit(kTimeoutMs));
    }
  }  // a setup still running is killed here
  EXPECT_EQ(Exists(Group2()), run == SecondRun::kCompleted);

  std::vector<std::string> texts = Uninstall(IDYES);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1], "Uninstall completed!");
  for (const std::string& path : Ours())
    EXPECT_FALSE(Exists(path)) << path;
  EXPECT_FALSE(Exists(Group2()));
  EXPECT_FALSE(Exists(m_dest));
}

INSTANTIATE_TEST_SUITE_P(Upgrades, UpgradeTest,
                         ::testing::Values(SecondRun::kCompleted, SecondRun::kCancelled,
                                           SecondRun::kKilled),
                         [](const auto& info) { return RunName(info.param); });

const ::testing::Environment* const g_keepDesktop =
    ::testing::AddGlobalTestEnvironment(new KeepDesktop);

}  // namespace
