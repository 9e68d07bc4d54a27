// Win32 side of the file-system layer: thin calls on the ANSI API, errors kept as Windows codes.
#include "platform/fs.h"
#include "platform/path_text.h"

#include <fcntl.h>
#include <io.h>
#include <string.h>

#include <windows.h>
#include <cerrno>

namespace platform {

ErrorCode LastError() {
  return GetLastError();
}

void SetLastErrorCode(ErrorCode code) {
  SetLastError(code);
}

FsError ClassifyError(ErrorCode code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return FsError::kNotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      return FsError::kInUse;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return FsError::kAccessDenied;
    case ERROR_DIR_NOT_EMPTY:
      return FsError::kNotEmpty;
    default:
      return FsError::kOther;
  }
}

std::string ErrorText(ErrorCode code) {
  char* text = nullptr;
  DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = n && text ? std::string(text, n) : "error " + std::to_string(code);
  if (text)
    LocalFree(text);
  while (!result.empty() &&
         (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
    result.pop_back();
  return result;
}

std::string HostPath(const char* path) {
  return path ? path : "";
}

std::string InstallerPath(const char* hostPath) {
  return hostPath ? hostPath : "";
}

int64_t TellFile(FILE* file) {
  return _ftelli64(file);
}

bool SeekFile(FILE* file, int64_t offset, int origin) {
  return _fseeki64(file, offset, origin) == 0;
}

FILE* OpenFile(const char* path, const char* mode) {
  // Windows refuses to write a read-only file, but Wine run as root maps the attribute to mode
  // bits that root ignores; asking first keeps the rule the same everywhere we run.
  bool writes = strchr(mode, 'w') || strchr(mode, 'a') || strchr(mode, '+');
  DWORD attributes = writes ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
      !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    errno = EACCES;
    return nullptr;
  }
  _doserrno = 0;
  FILE* file = fopen(path, mode);
  // The C library maps errors to errno; keep the Windows code it came from for our reports.
  if (!file)
    SetLastError(_doserrno ? static_cast<DWORD>(_doserrno) : ERROR_OPEN_FAILED);
  return file;
}

bool CreateFolder(const char* path) {
  return CreateDirectoryA(path, nullptr) != 0;
}

bool RemoveFolder(const char* path) {
  return RemoveDirectoryA(path) != 0;
}

bool SetNormalAttributes(const char* path) {
  return SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) != 0;
}

bool SetReadOnly(const char* path) {
  return SetFileAttributesA(path, FILE_ATTRIBUTE_READONLY) != 0;
}

bool RemoveFile(const char* path) {
  return DeleteFileA(path) != 0;
}

bool RenameReplacing(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
}

bool FileExists(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsLink(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool FreeBytesAvailable(const char* root, uint64_t* bytes) {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExA(root, &available, nullptr, nullptr))
    return false;
  *bytes = available.QuadPart;
  return true;
}

std::string LongPathForm(const char* path) {
  std::string given = path ? path : "";
  // Windows makes a short name only for a long one, and always with a '~' in it.
  if (given.find('~') == std::string::npos)
    return given;
  // Only what exists has a long form: convert the longest existing part, keep the rest.
  // A bare "C:" would name the drive's current folder, so the walk stops above it.
  // Shortened at separators that are characters of their own (code page 932 puts 5C in 表).
  for (size_t end = given.size(); end > 2;
       end = platform::LastSeparator(given.c_str(), end, &end) ? end : 0) {
    std::string head = given.substr(0, end);
    char buffer[MAX_PATH];
    DWORD n = GetLongPathNameA(head.c_str(), buffer, MAX_PATH);
    if (n != 0 && n < MAX_PATH)
      return std::string(buffer, n) + given.substr(end);
  }
  return given;
}

std::string ModuleFileName() {
  char buffer[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  // A result that fills the buffer was cut short; an empty path is the honest answer then.
  if (n == 0 || n >= MAX_PATH)
    return std::string();
  return std::string(buffer, n);
}

bool MakeTempFolder(const char* prefix, std::string* path) {
  char base[MAX_PATH];
  DWORD n = GetTempPathA(MAX_PATH, base);
  if (n == 0 || n >= MAX_PATH)
    return false;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = std::string(base) + prefix + std::to_string(GetCurrentProcessId()) +
                            "_" + std::to_string(GetTickCount() + attempt);
    if (CreateDirectoryA(candidate.c_str(), nullptr)) {
      *path = candidate;
      return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS)
      return false;
  }
  return false;
}

bool ListFolder(const char* path, std::vector<FolderEntry>* entries) {
  std::string pattern = std::string(path) + "\\*";
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE)
    return false;
  entries->clear();
  do {
    if (strcmp(data.cFileName, ".") == 0 || strcmp(data.cFileName, "..") == 0)
      continue;
    FolderEntry entry;
    entry.name = data.cFileName;
    bool reparse = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.folder = !reparse && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    entry.regular = !reparse && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entries->push_back(entry);
  } while (FindNextFileA(find, &data));
  DWORD error = GetLastError();
  FindClose(find);
  SetLastError(error);
  return error == ERROR_NO_MORE_FILES;
}

bool StderrIsTerminal() {
  return _isatty(2) != 0;
}

}  // namespace platform
