#include "uninstall/self_copy.h"

#include <cstdint>
#include <cstring>
#include <cwchar>

#include "platform/fs.h"
#include "platform/path_text.h"
#include "platform/private_folder.h"

using platform::CHandle;

namespace {

constexpr DWORD kWaitForFirstMs = 60000;

// What the uninstaller hands its copy, in an inherited section: nobody else can make one.
constexpr char kMagic[16] = "uninstall-copy1";
struct HandoverBlock {
  char magic[sizeof kMagic];
  uint64_t copyFile;  // the copy's own file, opened for deletion on close and inherited
  uint32_t ownFolder;
  char uninstaller[MAX_PATH];
};

struct CopyPlace {
  CString parent;  // the temporary folder, with its trailing backslash: the copy's current folder
  CString folder;  // the copy's own folder; empty when it lies in parent itself
  CString file;
};

uint64_t HandleNumber(HANDLE handle) {
  return reinterpret_cast<uintptr_t>(handle);
}

// A handle's number as StartCopy writes it: decimal digits alone, within a pointer.
bool ParseHandle(const char* text, HANDLE* handle) {
  uint64_t value = 0;
  if (!*text)
    return false;
  for (; *text; ++text) {
    if (*text < '0' || *text > '9')
      return false;
    unsigned digit = static_cast<unsigned>(*text - '0');
    if (value > (UINTPTR_MAX - digit) / 10)
      return false;
    value = value * 10 + digit;
  }
  *handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
  return value != 0;
}

// Copies the uninstaller to place.file and starts it there with the handover; the file, once
// written, goes whenever this fails.
bool StartCopy(const CopyPlace& place, const CString& uninstaller) {
  if (uninstaller.GetLength() >= MAX_PATH || !CopyFileA(uninstaller, place.file, TRUE))
    return false;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  // Deleted when the last handle closes: ours now, the copy's when it ends. Without write or
  // delete sharing, nobody can change, rename or replace the file while it is held.
  CHandle file(CreateFileA(place.file, GENERIC_READ | DELETE, FILE_SHARE_READ, &inherit,
                           OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!file) {
    DeleteFileA(place.file);
    return false;
  }

  HandoverBlock block = {};
  memcpy(block.magic, kMagic, sizeof kMagic);
  block.copyFile = HandleNumber(file.Get());
  block.ownFolder = place.folder.IsEmpty() ? 0 : 1;
  memcpy(block.uninstaller, uninstaller.c_str(), uninstaller.GetLength() + 1);
  CHandle section(
      CreateFileMappingA(INVALID_HANDLE_VALUE, &inherit, PAGE_READWRITE, 0, sizeof block, nullptr));
  void* view = section ? MapViewOfFile(section.Get(), FILE_MAP_WRITE, 0, 0, sizeof block) : nullptr;
  if (!view)
    return false;
  memcpy(view, &block, sizeof block);
  UnmapViewOfFile(view);

  HANDLE self = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                       SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0))
    return false;
  CHandle selfHandle(self);

  CString command;
  command.Format("\"%s\" %s %llu %llu", place.file.c_str(), kRemoveSwitch,
                 static_cast<unsigned long long>(HandleNumber(self)),
                 static_cast<unsigned long long>(HandleNumber(section.Get())));
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(place.file, command.GetBuffer(command.GetLength()), nullptr, nullptr, TRUE, 0,
                      nullptr, place.parent, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

bool StartRemovalCopy(const CString& uninstaller, bool elevated) {
  CopyPlace place;
  if (!platform::PrivateFolderParent(elevated, &place.parent))
    return false;
  if (elevated) {
    if (!platform::MakePrivateFolder(place.parent, "uninstall-", true, &place.folder))
      return false;
    place.file = place.folder + "\\uninstall.exe";
  } else {
    place.file.Format("%suninstall-%lu.exe", place.parent.c_str(), GetCurrentProcessId());
  }
  if (StartCopy(place, uninstaller))
    return true;
  if (!place.folder.IsEmpty())
    RemoveDirectoryA(place.folder);
  return false;
}

bool CHandover::Take(int argc, char* const* argv) {
  HANDLE first = nullptr;
  HANDLE section = nullptr;
  if (argc != 4 || strcmp(argv[1], kRemoveSwitch) != 0 || !ParseHandle(argv[2], &first) ||
      !ParseHandle(argv[3], &section))
    return false;
  // Another process: the pseudo handle that a hand-written -1 makes names this one.
  DWORD firstId = GetProcessId(first);
  if (firstId == 0 || firstId == GetCurrentProcessId())
    return false;
  auto* block = static_cast<const HandoverBlock*>(
      MapViewOfFile(section, FILE_MAP_READ, 0, 0, sizeof(HandoverBlock)));
  if (!block)
    return false;
  bool valid = memcmp(block->magic, kMagic, sizeof kMagic) == 0 &&
               memchr(block->uninstaller, 0, sizeof block->uninstaller) != nullptr;
  if (valid) {
    m_uninstaller = block->uninstaller;
    m_copyFile = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(block->copyFile));
    m_ownFolder = block->ownFolder != 0;
  }
  UnmapViewOfFile(block);
  if (!valid)
    return false;
  CloseHandle(section);
  m_first.Reset(first);
  return true;
}

void CHandover::WaitForFirstProcess() const {
  if (m_first)
    WaitForSingleObject(m_first.Get(), kWaitForFirstMs);
}

void CHandover::LeaveOwnFolder() {
  if (!m_ownFolder)
    return;
  CString file = platform::ModuleFileName().c_str();
  size_t slash = 0;
  if (!platform::LastSeparator(file, file.GetLength(), &slash) || slash == 0)
    return;
  CString folder = file.Left(static_cast<int>(slash));
  // Renamed through the inherited handle, the only one allowed to: it shares no delete access.
  // The new name lies in the temporary folder and is as random as the folder's.
  CString outside = folder + ".exe";
  alignas(FILE_RENAME_INFO) char buffer[sizeof(FILE_RENAME_INFO) + MAX_PATH * sizeof(WCHAR)] = {};
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer);
  int units = MultiByteToWideChar(CP_ACP, 0, outside, -1, rename->FileName, MAX_PATH);
  bool moved = false;
  if (units > 0) {
    rename->FileNameLength = static_cast<DWORD>((units - 1) * sizeof(WCHAR));
    moved = SetFileInformationByHandle(m_copyFile, FileRenameInfo, rename, sizeof buffer) != 0;
  }
  if (moved && RemoveDirectoryA(folder))
    return;
  // Left behind: gone at the next restart, the file first so that the folder is empty by then.
  if (!moved)
    MoveFileExA(file, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  MoveFileExA(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
