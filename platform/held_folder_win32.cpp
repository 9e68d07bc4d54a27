// Win32 side of acting through handles. Folders are held without delete sharing: Windows then
// refuses to rename or delete them, so a path below a held folder keeps naming what it named.
#include "platform/held_folder.h"

#include <fcntl.h>
#include <io.h>

#include <windows.h>

#include "platform/handle.h"

namespace platform {

namespace {

// FileDispositionInfoEx and its flags (Windows 10 1809 and later), which Debian's headers hide
// below _WIN32_WINNT 0x0A000002. Wine 8 answers the class with ERROR_INVALID_PARAMETER.
constexpr FILE_INFO_BY_HANDLE_CLASS kFileDispositionInfoEx =
    static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1;
constexpr DWORD kDispositionIgnoreReadOnly = 0x10;
struct DispositionInfoEx {
  DWORD flags;
};

constexpr DWORD kNoFollow = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
// What a held folder is opened for: enough to open what lies below and to read its final path.
constexpr DWORD kFolderAccess =
    FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

// The handle's path as the system resolves it, without the \\?\ or \\?\UNC\ prefix.
bool FinalPathOf(HANDLE handle, std::string* out) {
  char buffer[MAX_PATH + 8];
  DWORD n = GetFinalPathNameByHandleA(handle, buffer, sizeof buffer,
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (n == 0 || n >= sizeof buffer)
    return false;
  std::string path(buffer, n);
  if (path.compare(0, 8, "\\\\?\\UNC\\") == 0)
    *out = "\\\\" + path.substr(8);
  else if (path.compare(0, 4, "\\\\?\\") == 0)
    *out = path.substr(4);
  else
    *out = path;
  return true;
}

LinkForTestingFn g_linkForTesting = nullptr;

// The handle's attributes, with a test's stand-in for a reparse point at final. Not from
// GetFileInformationByHandle: that also asks for the volume's serial number, which costs Wine
// more than the whole delete.
bool Attributes(HANDLE handle, const std::string& final, DWORD* attributes) {
  FILE_BASIC_INFO basic;
  if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
    return false;
  *attributes = basic.FileAttributes;
  if (g_linkForTesting && g_linkForTesting(final))
    *attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  return true;
}

// Whether the file has names besides this one; asked only of a read-only file.
bool HasOtherNames(HANDLE handle) {
  FILE_STANDARD_INFO standard;
  return !GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard) ||
         standard.NumberOfLinks > 1;
}

bool IsLinkAttribute(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

EntryFault Failed(ErrorCode* error) {
  DWORD code = GetLastError();
  if (error)
    *error = code;
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? EntryFault::kNotFound
                                                                      : EntryFault::kError;
}

bool SetDisposition(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                    sizeof disposition) != 0;
}

bool SetAttributes(HANDLE handle, DWORD attributes) {
  FILE_BASIC_INFO basic = {};  // times left at zero are kept
  basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) != 0;
}

// Removes what path names, checked through the handle that deletes it: found at expected (when
// given), of the kind asked for, its attributes changed only when it has no other name.
EntryFault RemoveAt(const std::string& path, const std::string& expected, EntryKind kind,
                    ErrorCode* error) {
  CHandle handle(CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, kNoFollow, nullptr));
  if (!handle)
    return Failed(error);
  std::string final;
  DWORD attributes = 0;
  if (!FinalPathOf(handle.Get(), &final) || !Attributes(handle.Get(), final, &attributes))
    return Failed(error);
  if (!expected.empty() && !SameFinalPath(final, expected))
    return EntryFault::kMoved;
  bool link = IsLinkAttribute(attributes);
  bool folder = !link && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (kind == EntryKind::kFile && folder)
    return EntryFault::kFolder;
  if (kind == EntryKind::kFolder && !folder)
    return link ? EntryFault::kLink : EntryFault::kNotFolder;

  bool readOnly = !folder && !link && (attributes & FILE_ATTRIBUTE_READONLY);
  if (readOnly && HasOtherNames(handle.Get())) {
    // The attribute belongs to the file, which other names share: only the name may go.
    DispositionInfoEx ex = {kDispositionDelete | kDispositionIgnoreReadOnly};
    if (SetFileInformationByHandle(handle.Get(), kFileDispositionInfoEx, &ex, sizeof ex))
      return EntryFault::kNone;
    if (error)
      *error = GetLastError();
    return EntryFault::kOtherNames;
  }
  if (readOnly && !SetAttributes(handle.Get(), attributes & ~FILE_ATTRIBUTE_READONLY))
    return Failed(error);
  if (SetDisposition(handle.Get()))
    return EntryFault::kNone;
  // Windows lets a running program or DLL be opened for deletion, then refuses the delete with
  // ERROR_ACCESS_DENIED because its image is mapped. Read-only is cleared by now, so for a plain
  // file that denial means in use, and the user is told so.
  if (!folder && !link && GetLastError() == ERROR_ACCESS_DENIED)
    SetLastError(ERROR_SHARING_VIOLATION);
  EntryFault fault = Failed(error);
  if (readOnly)
    SetAttributes(handle.Get(), attributes);  // it stays: as it was
  return fault;
}

std::string Join(const std::string& folder, const char* name) {
  return folder + "\\" + name;
}

// The C library's stream over file, which it then owns; the handle is closed on a failure.
FILE* StreamOf(HANDLE file, int access, const char* mode) {
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), access | _O_BINARY);
  if (fd == -1) {
    CloseHandle(file);
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return nullptr;
  }
  FILE* stream = _fdopen(fd, mode);
  if (!stream) {
    _close(fd);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  }
  return stream;
}

HANDLE CreateNew(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A new file at path, open for writing: whatever had the name loses it first, so nothing is
// written into an existing file through any of its names.
FILE* CreateAnew(const std::string& path, const std::string& expected, EntryFault* fault) {
  // A new name costs one call: nothing was there to follow or to share.
  HANDLE file = CreateNew(path);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
      *fault = EntryFault::kError;
      return nullptr;
    }
    ErrorCode error = 0;
    *fault = RemoveAt(path, expected, EntryKind::kFile, &error);
    if (*fault != EntryFault::kNone && *fault != EntryFault::kNotFound) {
      SetLastError(*fault == EntryFault::kError || *fault == EntryFault::kOtherNames
                       ? error
                       : ERROR_ACCESS_DENIED);
      return nullptr;
    }
    // Should the name be taken again meanwhile, this fails: it never opens what is there.
    file = CreateNew(path);
    if (file == INVALID_HANDLE_VALUE) {
      *fault = EntryFault::kError;
      return nullptr;
    }
  }
  FILE* stream = StreamOf(file, _O_WRONLY, "wb");
  *fault = stream ? EntryFault::kNone : EntryFault::kError;
  return stream;
}

}  // namespace

void SetLinkForTesting(LinkForTestingFn fn) {
  g_linkForTesting = fn;
}

bool SameFinalPath(const std::string& a, const std::string& b) {
  // As the file system compares names: UTF-16 units, letters of every script in any case.
  WCHAR wideA[MAX_PATH + 8];
  WCHAR wideB[MAX_PATH + 8];
  int lengthA = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, a.data(),
                                    static_cast<int>(a.size()), wideA, MAX_PATH + 8);
  int lengthB = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, b.data(),
                                    static_cast<int>(b.size()), wideB, MAX_PATH + 8);
  return lengthA > 0 && lengthB > 0 &&
         CompareStringOrdinal(wideA, lengthA, wideB, lengthB, TRUE) == CSTR_EQUAL;
}

CHeldFolder::CHeldFolder(CHeldFolder&& other) noexcept
    : m_handle(other.m_handle), m_path(std::move(other.m_path)), m_final(std::move(other.m_final)) {
  other.m_handle = nullptr;
}

CHeldFolder& CHeldFolder::operator=(CHeldFolder&& other) noexcept {
  if (this != &other) {
    Close();
    m_handle = other.m_handle;
    other.m_handle = nullptr;
    m_path = std::move(other.m_path);
    m_final = std::move(other.m_final);
  }
  return *this;
}

void CHeldFolder::Close() {
  if (m_handle)
    CloseHandle(m_handle);
  m_handle = nullptr;
}

bool CHeldFolder::IsOpen() const {
  return m_handle != nullptr;
}

bool CHeldFolder::Finish(const std::string& path, const std::string& expected, EntryFault* fault) {
  std::string final;
  DWORD attributes = 0;
  if (!FinalPathOf(m_handle, &final) || !Attributes(m_handle, final, &attributes)) {
    *fault = Failed(nullptr);
    Close();
    return false;
  }
  *fault = IsLinkAttribute(attributes)                            ? EntryFault::kLink
           : !(attributes & FILE_ATTRIBUTE_DIRECTORY)             ? EntryFault::kNotFolder
           : !expected.empty() && !SameFinalPath(final, expected) ? EntryFault::kMoved
                                                                  : EntryFault::kNone;
  if (*fault != EntryFault::kNone) {
    Close();
    return false;
  }
  m_path = path;
  m_final = final;
  return true;
}

bool CHeldFolder::OpenBase(const char* path, bool noLinks, EntryFault* fault) {
  Close();
  m_handle = CreateFileA(path, kFolderAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (m_handle == INVALID_HANDLE_VALUE) {
    m_handle = nullptr;
    *fault = Failed(nullptr);
    return false;
  }
  // Followed, a link reads as its target: a final path other than the name shows one on the way.
  return Finish(path, noLinks ? path : "", fault);
}

bool CHeldFolder::OpenChild(const CHeldFolder& parent, const char* name, EntryFault* fault) {
  Close();
  std::string path = Join(parent.m_path, name);
  m_handle = CreateFileA(path.c_str(), kFolderAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, kNoFollow, nullptr);
  if (m_handle == INVALID_HANDLE_VALUE) {
    m_handle = nullptr;
    *fault = Failed(nullptr);
    return false;
  }
  return Finish(path, Join(parent.m_final, name), fault);
}

bool CHeldFolder::CreateChild(const CHeldFolder& parent, const char* name, EntryFault* fault) {
  // Made by name below a held folder; an existing link of the name stays as it is, and the open
  // below refuses it.
  CreateDirectoryA(Join(parent.m_path, name).c_str(), nullptr);
  return OpenChild(parent, name, fault);
}

EntryFault CHeldFolder::RemoveSelf(ErrorCode* error) {
  // Let go first: the handle shares no delete access, not even with this process.
  Close();
  return RemoveAt(m_path, m_final, EntryKind::kFolder, error);
}

EntryFault RemoveEntry(const CHeldFolder& parent, const char* name, EntryKind kind,
                       ErrorCode* error) {
  return RemoveAt(Join(parent.Path(), name), Join(parent.FinalPath(), name), kind, error);
}

FILE* OpenReplacingIn(const CHeldFolder& parent, const char* name, EntryFault* fault) {
  return CreateAnew(Join(parent.Path(), name), Join(parent.FinalPath(), name), fault);
}

namespace {

// A plain file with one name, not reached through a link; read-only refused when writing.
FILE* OpenOwn(const char* path, bool update) {
  HANDLE file = CreateFileA(path, GENERIC_READ | (update ? GENERIC_WRITE : 0),
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return nullptr;
  // Read-only is asked, not left to the open: Wine run as root would write the file anyway.
  DWORD attributes = 0;
  if (!Attributes(file, path, &attributes) || IsLinkAttribute(attributes) ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (update && (attributes & FILE_ATTRIBUTE_READONLY)) || HasOtherNames(file)) {
    CloseHandle(file);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return update ? StreamOf(file, _O_RDWR, "r+b") : StreamOf(file, _O_RDONLY, "rb");
}

}  // namespace

FILE* OpenOwnForUpdate(const char* path) {
  return OpenOwn(path, true);
}

FILE* OpenOwnForReading(const char* path) {
  return OpenOwn(path, false);
}

FILE* OpenReplacing(const char* path) {
  EntryFault fault;
  return CreateAnew(path, "", &fault);
}

}  // namespace platform
