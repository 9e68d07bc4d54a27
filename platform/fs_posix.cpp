// POSIX side of the file-system layer, for the native build and its tests.
#include "platform/fs.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>

namespace platform {
namespace {

// A file without the owner's write bit stands for a Windows read-only file. Root could write it
// anyway, so the check is ours rather than the kernel's.
bool IsReadOnlyFile(const std::string& host) {
  struct stat st;
  return stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR);
}

bool ModeWrites(const char* mode) {
  return strchr(mode, 'w') || strchr(mode, 'a') || strchr(mode, '+');
}

}  // namespace

std::string InstallerPath(const char* hostPath) {
  std::string path = hostPath ? hostPath : "";
  for (char& c : path) {
    if (c == '/')
      c = '\\';
  }
  return path;
}

int64_t TellFile(FILE* file) {
  return static_cast<int64_t>(ftello(file));
}

bool SeekFile(FILE* file, int64_t offset, int origin) {
  return fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

ErrorCode LastError() {
  return static_cast<ErrorCode>(errno);
}

void SetLastErrorCode(ErrorCode code) {
  errno = static_cast<int>(code);
}

FsError ClassifyError(ErrorCode code) {
  switch (code) {
    case ENOENT:
    case ENOTDIR:
      return FsError::kNotFound;
    case EBUSY:
    case ETXTBSY:
      return FsError::kInUse;
    case EACCES:
    case EPERM:
    case EROFS:
      return FsError::kAccessDenied;
    case ENOTEMPTY:
    case EEXIST:
      return FsError::kNotEmpty;
    default:
      return FsError::kOther;
  }
}

std::string ErrorText(ErrorCode code) {
  return strerror(static_cast<int>(code));
}

std::string HostPath(const char* path) {
  std::string host = path ? path : "";
  for (char& c : host) {
    if (c == '\\')
      c = '/';
  }
  return host;
}

FILE* OpenFile(const char* path, const char* mode) {
  std::string host = HostPath(path);
  if (ModeWrites(mode) && IsReadOnlyFile(host)) {
    errno = EACCES;
    return nullptr;
  }
  return fopen(host.c_str(), mode);
}

bool CreateFolder(const char* path) {
  return mkdir(HostPath(path).c_str(), 0777) == 0;
}

bool RemoveFolder(const char* path) {
  return rmdir(HostPath(path).c_str()) == 0;
}

bool SetNormalAttributes(const char* path) {
  std::string host = HostPath(path);
  struct stat st;
  if (stat(host.c_str(), &st) != 0)
    return false;
  return chmod(host.c_str(), st.st_mode | S_IWUSR) == 0;
}

bool SetReadOnly(const char* path) {
  std::string host = HostPath(path);
  struct stat st;
  if (stat(host.c_str(), &st) != 0)
    return false;
  return chmod(host.c_str(), st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool RemoveFile(const char* path) {
  std::string host = HostPath(path);
  if (IsReadOnlyFile(host)) {
    errno = EACCES;
    return false;
  }
  return unlink(host.c_str()) == 0;
}

bool RenameReplacing(const char* from, const char* to) {
  return rename(HostPath(from).c_str(), HostPath(to).c_str()) == 0;
}

bool FileExists(const char* path) {
  struct stat st;
  return stat(HostPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const char* path) {
  struct stat st;
  return stat(HostPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsLink(const char* path) {
  struct stat st;
  return lstat(HostPath(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool FreeBytesAvailable(const char* root, uint64_t* bytes) {
  struct statvfs vfs;
  if (statvfs(HostPath(root).c_str(), &vfs) != 0)
    return false;
  *bytes = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
  return true;
}

// POSIX has no second spelling of a name.
std::string LongPathForm(const char* path) {
  return path ? path : "";
}

std::string ModuleFileName() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0)
    return std::string();
  buffer[n] = '\0';
  return InstallerPath(buffer);
}

bool MakeTempFolder(const char* prefix, std::string* path) {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "XXXXXX";
  if (!mkdtemp(&pattern[0]))
    return false;
  *path = InstallerPath(pattern.c_str());
  return true;
}

bool ListFolder(const char* path, std::vector<FolderEntry>* entries) {
  std::string host = HostPath(path);
  DIR* dir = opendir(host.c_str());
  if (!dir)
    return false;
  entries->clear();
  while (struct dirent* d = readdir(dir)) {
    if (strcmp(d->d_name, ".") == 0 || strcmp(d->d_name, "..") == 0)
      continue;
    FolderEntry entry;
    entry.name = d->d_name;
    struct stat st;
    if (lstat((host + "/" + entry.name).c_str(), &st) == 0) {
      entry.folder = S_ISDIR(st.st_mode);
      entry.regular = S_ISREG(st.st_mode);
      entry.size = static_cast<uint64_t>(st.st_size);
    }
    entries->push_back(entry);
  }
  int saved = errno;
  closedir(dir);
  errno = saved;
  return true;
}

bool StderrIsTerminal() {
  return isatty(2) != 0;
}

}  // namespace platform
