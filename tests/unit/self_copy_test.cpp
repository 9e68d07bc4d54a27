// The uninstaller's removal copy, with this program standing in for uninstall.exe: started with a
// handover, it writes where it runs beside the uninstaller it was handed, instead of removing
// anything, and then leaves as the real copy does. (Wine keeps no security descriptor for a
// folder it makes, so who may write the copy's folder cannot be read back here.)
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/fs.h"
#include "tests/unit/test_support.h"
#include "uninstall/self_copy.h"

namespace {

constexpr DWORD kTimeoutMs = 30000;
constexpr int kNotTaken = 3;

std::string Folder(const std::string& path) {
  return path.substr(0, path.rfind('\\') + 1);
}

// Paths name the same place whatever their case.
std::string Folded(std::string path) {
  CharUpperBuffA(&path[0], static_cast<DWORD>(path.size()));
  return path;
}

int RunAsCopy(int argc, char** argv) {
  CHandover handover;
  if (!handover.Take(argc, argv))
    return kNotTaken;
  char current[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, current);
  std::string self = platform::ModuleFileName();
  std::string report = self + "\n" + current + "\n";
  WriteWholeFile(std::string(handover.Uninstaller()) + ".report", report);
  handover.LeaveOwnFolder();
  return 0;
}

bool WaitFor(bool (*done)(const std::string&), const std::string& path) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < kTimeoutMs; Sleep(20)) {
    if (done(path))
      return true;
  }
  return false;
}
bool Exists(const std::string& path) {
  return platform::FileExists(path.c_str()) || platform::FolderExists(path.c_str());
}
bool Gone(const std::string& path) {
  return !Exists(path);
}

struct PlaceCase {
  bool elevated;
  const char* why;
};

class RemovalCopyTest : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(RemovalCopyTest, RunsWhereNobodyElseWritesAndLeavesNothing) {
  ScratchFolder scratch;
  std::string uninstaller = scratch.Join("uninstall.exe");
  ASSERT_TRUE(CopyFileA(platform::ModuleFileName().c_str(), uninstaller.c_str(), TRUE));
  ASSERT_TRUE(StartRemovalCopy(uninstaller.c_str(), GetParam().elevated));
  std::string reportPath = uninstaller + ".report";
  ASSERT_TRUE(WaitFor(Exists, reportPath)) << "the copy did not take its handover";
  std::string report = ReadWholeFile(reportPath);
  size_t first = report.find('\n');
  size_t second = report.find('\n', first + 1);
  ASSERT_NE(second, std::string::npos) << report;
  std::string copy = report.substr(0, first);
  std::string current = Folded(report.substr(first + 1, second - first - 1) + "\\");

  char temp[MAX_PATH];
  if (GetParam().elevated) {
    UINT n = GetSystemWindowsDirectoryA(temp, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH);
    std::string parent = Folded(std::string(temp) + "\\Temp\\");
    // A folder of its own, made for it, below the Windows temporary folder.
    std::string folder = Folder(copy);
    EXPECT_EQ(Folded(Folder(folder.substr(0, folder.size() - 1))), parent) << copy;
    EXPECT_EQ(current, parent);
    EXPECT_TRUE(WaitFor(Gone, folder)) << folder;
    EXPECT_TRUE(WaitFor(Gone, folder.substr(0, folder.size() - 1) + ".exe"));
  } else {
    DWORD n = GetTempPathA(MAX_PATH, temp);
    ASSERT_TRUE(n > 0 && n < MAX_PATH);
    EXPECT_EQ(Folded(Folder(copy)), Folded(temp));
    EXPECT_EQ(current, Folded(temp));
  }
  EXPECT_TRUE(WaitFor(Gone, copy)) << copy;
}

INSTANTIATE_TEST_SUITE_P(Places, RemovalCopyTest,
                         ::testing::Values(PlaceCase{true, "elevated"},
                                           PlaceCase{false, "not elevated"}),
                         [](const auto& info) {
                           return info.param.elevated ? "Elevated" : "User";
                         });

std::string Number(HANDLE handle) {
  return std::to_string(reinterpret_cast<uintptr_t>(handle));
}

// Command lines that did not come from StartRemovalCopy: none is taken.
TEST(HandoverTest, ForgedCommandLinesAreNotTaken) {
  // A process that has ended, and a section that holds something else.
  PROCESS_INFORMATION process = {};
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::string command = "\"" + platform::ModuleFileName() + "\" /remove 0 0";
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  WaitForSingleObject(process.hProcess, kTimeoutMs);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &code) && code == kNotTaken);
  HANDLE section =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
  ASSERT_NE(section, nullptr);

  struct Row {
    std::string first, second;
    const char* why;
  } rows[] = {
      {Number(process.hProcess), "\"C:\\Program Files\\App\\uninstall.exe\"",
       "the earlier form, with the uninstaller's path"},
      {Number(GetCurrentProcess()), Number(section), "-1, the pseudo handle of this very process"},
      {Number(process.hProcess), Number(section), "a section without the handover"},
  };
  for (const Row& row : rows) {
    std::string first = row.first, second = row.second;
    char* argv[] = {const_cast<char*>("uninstall.exe"), const_cast<char*>(kRemoveSwitch), &first[0],
                    &second[0], nullptr};
    CHandover handover;
    EXPECT_FALSE(handover.Take(4, argv)) << row.why;
  }
  CloseHandle(section);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], kRemoveSwitch) == 0)
    return RunAsCopy(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
