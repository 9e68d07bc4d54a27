// The one-file program: a distribution folder travels after its image as one stream. Started,
// it checks that stream against the seal in its own image, unpacks it into a new folder of its
// own, runs setup.exe from there, waits for it and passes on its exit code, then removes the
// folder, also when setup.exe crashed. Like setup.exe it takes no arguments.
#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <string>
#include <vector>

#include "onefile/seal.h"
#include "onefile/unpack_dlg.h"
#include "platform/dll_search.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "platform/handle.h"
#include "platform/private_folder.h"

namespace {

// Filled by mkpak in the program's file; read here from the image Windows started, which
// nobody can change while it runs. Volatile: the compiler must not take the zeros it sees.
__attribute__((used))
const volatile unsigned char g_seal[onefile::kSealSize] = {ONEFILE_SEAL_MAGIC};

// What this program ends with when it ran no setup.exe.
constexpr int kExitNotRun = 1;

int Refuse(const std::string& text) {
  MessageBoxA(nullptr, text.c_str(), "Setup", MB_OK | MB_ICONSTOP);
  return kExitNotRun;
}

std::string Reason() {
  return platform::ErrorText(platform::LastError());
}

bool ReadOwnSeal(onefile::Seal* seal) {
  unsigned char block[onefile::kSealSize];
  for (size_t i = 0; i < sizeof block; ++i)
    block[i] = g_seal[i];
  return onefile::ReadSeal(block, seal);
}

// The program's own file, held open denying writes so that nobody changes it while it is read.
// A file put in its place under the same name is told apart by the seal's digest.
FILE* OpenOwnFile() {
  std::string path = platform::ModuleFileName();
  if (path.empty())
    return nullptr;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return nullptr;
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
  if (fd == -1) {
    CloseHandle(file);
    return nullptr;
  }
  FILE* stream = _fdopen(fd, "rb");
  if (!stream)
    _close(fd);
  return stream;
}

// Removes the folder; what cannot go now (a file still in use) goes at the next restart.
void RemoveOwnFolder(const CString& folder) {
  if (platform::RemoveTree(folder))
    return;
  std::vector<platform::FolderEntry> entries;
  if (platform::ListFolder(folder, &entries)) {
    for (const platform::FolderEntry& entry : entries)
      MoveFileExA((folder + "\\" + entry.name.c_str()).c_str(), nullptr,
                  MOVEFILE_DELAY_UNTIL_REBOOT);
  }
  MoveFileExA(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// Runs setup.exe from folder, its current folder too, and waits for it to end.
bool RunSetup(const CString& folder, DWORD* exitCode) {
  CString program = folder + "\\setup.exe";
  CString command;
  command.Format("\"%s\"", program.c_str());
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program, command.GetBuffer(command.GetLength()), nullptr, nullptr, FALSE, 0,
                      nullptr, folder, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  platform::CHandle owner(process.hProcess);
  WaitForSingleObject(process.hProcess, INFINITE);
  return GetExitCodeProcess(process.hProcess, exitCode) != 0;
}

int Run() {
  onefile::UnpackPlace place;
  if (!ReadOwnSeal(&place.seal))
    return Refuse("This program carries no installation: mkpak dist --one-file makes one.");
  platform::CFile self(OpenOwnFile());
  if (!self.IsOpen())
    return Refuse("This setup program could not read its own file: " + Reason());
  place.self = self.Get();
  bool elevated = platform::IsProcessElevated();
  CString parent, folder;
  if (!platform::PrivateFolderParent(elevated, &parent) ||
      !platform::MakePrivateFolder(parent, "setup-", elevated, &folder))
    return Refuse("Setup could not make a folder to unpack its files into: " + Reason());
  place.folder = folder.c_str();
  CUnpackDlg dialog(place);
  bool unpacked = dialog.Run();
  self.Close();
  DWORD exitCode = kExitNotRun;
  if (unpacked && !RunSetup(folder, &exitCode)) {
    std::string reason = Reason();
    RemoveOwnFolder(folder);
    return Refuse("Setup could not start setup.exe: " + reason);
  }
  RemoveOwnFolder(folder);
  return unpacked ? static_cast<int>(exitCode) : kExitNotRun;
}

}  // namespace

// Its own entry point, not the dialog framework's: the program's exit code is setup.exe's.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything can load a DLL by name: none may come from the program's own folder, which
  // is most likely the Downloads folder.
  platform::RestrictDllSearch();
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  return Run();
}
