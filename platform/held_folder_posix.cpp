// POSIX side of acting through handles, for the native build and its tests: symbolic links stand
// in for junctions. A held folder is a descriptor, and everything below it is opened and removed
// relative to it with links never followed, so a rename or swap of its name changes nothing.
#include "platform/held_folder.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace platform {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

bool FinalPathOf(int fd, std::string* out) {
  char buffer[PATH_MAX];
  std::string link = "/proc/self/fd/" + std::to_string(fd);
  ssize_t n = readlink(link.c_str(), buffer, sizeof buffer - 1);
  if (n <= 0)
    return false;
  *out = InstallerPath(std::string(buffer, static_cast<size_t>(n)).c_str());
  return true;
}

EntryFault Failed(ErrorCode* error) {
  if (error)
    *error = static_cast<ErrorCode>(errno);
  return errno == ENOENT ? EntryFault::kNotFound : EntryFault::kError;
}

// A read-only file, as the Windows attribute is modelled here: no write bit for its owner.
bool IsReadOnly(const struct stat& st) {
  return S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR);
}

EntryFault RemoveAt(int folder, const char* name, EntryKind kind, ErrorCode* error) {
  struct stat st;
  if (fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
    return Failed(error);
  bool link = S_ISLNK(st.st_mode);
  bool isFolder = S_ISDIR(st.st_mode);
  if (kind == EntryKind::kFile && isFolder)
    return EntryFault::kFolder;
  if (kind == EntryKind::kFolder && !isFolder)
    return link ? EntryFault::kLink : EntryFault::kNotFolder;
  // As on Windows without the flag that deletes a read-only name alone: the file is left.
  if (IsReadOnly(st) && st.st_nlink > 1) {
    if (error)
      *error = EACCES;
    return EntryFault::kOtherNames;
  }
  if (unlinkat(folder, name, isFolder ? AT_REMOVEDIR : 0) != 0)
    return Failed(error);
  return EntryFault::kNone;
}

std::string Join(const std::string& folder, const char* name) {
  return folder + "\\" + name;
}

// The C library's stream over fd, which it then owns; fd is closed on a failure.
FILE* StreamOf(int fd, const char* mode) {
  FILE* file = fdopen(fd, mode);
  if (!file) {
    int saved = errno;
    close(fd);
    errno = saved;
  }
  return file;
}

// A new file name inside folder, open for writing: whatever had the name loses it first, so
// nothing is written into an existing file through any of its names.
FILE* CreateAnew(int folder, const char* name, EntryFault* fault) {
  constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  int fd = openat(folder, name, kFlags, 0666);
  if (fd < 0 && errno == EEXIST) {
    ErrorCode error = 0;
    *fault = RemoveAt(folder, name, EntryKind::kFile, &error);
    if (*fault != EntryFault::kNone && *fault != EntryFault::kNotFound) {
      errno = *fault == EntryFault::kError || *fault == EntryFault::kOtherNames
                  ? static_cast<int>(error)
                  : EACCES;
      return nullptr;
    }
    fd = openat(folder, name, kFlags, 0666);
  }
  if (fd < 0) {
    *fault = EntryFault::kError;
    return nullptr;
  }
  FILE* file = StreamOf(fd, "wb");
  *fault = file ? EntryFault::kNone : EntryFault::kError;
  return file;
}

}  // namespace

bool SameFinalPath(const std::string& a, const std::string& b) {
  return a == b;
}

CHeldFolder::CHeldFolder(CHeldFolder&& other) noexcept
    : m_fd(other.m_fd), m_path(std::move(other.m_path)), m_final(std::move(other.m_final)) {
  other.m_fd = -1;
}

CHeldFolder& CHeldFolder::operator=(CHeldFolder&& other) noexcept {
  if (this != &other) {
    Close();
    m_fd = other.m_fd;
    other.m_fd = -1;
    m_path = std::move(other.m_path);
    m_final = std::move(other.m_final);
  }
  return *this;
}

void CHeldFolder::Close() {
  if (m_fd >= 0)
    close(m_fd);
  m_fd = -1;
}

bool CHeldFolder::IsOpen() const {
  return m_fd >= 0;
}

bool CHeldFolder::Finish(const std::string& path, const std::string& expected, EntryFault* fault) {
  std::string final;
  if (!FinalPathOf(m_fd, &final)) {
    *fault = Failed(nullptr);
    Close();
    return false;
  }
  *fault =
      !expected.empty() && !SameFinalPath(final, expected) ? EntryFault::kMoved : EntryFault::kNone;
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
  m_fd = open(HostPath(path).c_str(), kFolderFlags);
  if (m_fd < 0) {
    *fault = errno == ENOTDIR ? EntryFault::kNotFolder : Failed(nullptr);
    return false;
  }
  return Finish(path, noLinks ? path : "", fault);
}

bool CHeldFolder::OpenChild(const CHeldFolder& parent, const char* name, EntryFault* fault) {
  Close();
  m_fd = openat(parent.m_fd, name, kFolderFlags | O_NOFOLLOW);
  if (m_fd < 0) {
    int code = errno;
    struct stat st;
    bool link = fstatat(parent.m_fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
    errno = code;
    *fault = link ? EntryFault::kLink : code == ENOTDIR ? EntryFault::kNotFolder : Failed(nullptr);
    return false;
  }
  return Finish(Join(parent.m_path, name), Join(parent.m_final, name), fault);
}

bool CHeldFolder::CreateChild(const CHeldFolder& parent, const char* name, EntryFault* fault) {
  mkdirat(parent.m_fd, name, 0777);
  return OpenChild(parent, name, fault);
}

EntryFault CHeldFolder::RemoveSelf(ErrorCode* error) {
  // Found again through its parent, and removed only when that is still this folder.
  struct stat held;
  bool known = m_fd >= 0 && fstat(m_fd, &held) == 0;
  Close();
  size_t slash = m_final.rfind('\\');
  if (!known || slash == std::string::npos)
    return EntryFault::kMoved;
  int parent = open(HostPath(m_final.substr(0, slash ? slash : 1).c_str()).c_str(), kFolderFlags);
  if (parent < 0)
    return Failed(error);
  std::string name = m_final.substr(slash + 1);
  struct stat now;
  EntryFault fault = EntryFault::kMoved;
  if (fstatat(parent, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0)
    fault = Failed(error);
  else if (now.st_dev == held.st_dev && now.st_ino == held.st_ino)
    fault = RemoveAt(parent, name.c_str(), EntryKind::kFolder, error);
  close(parent);
  return fault;
}

EntryFault RemoveEntry(const CHeldFolder& parent, const char* name, EntryKind kind,
                       ErrorCode* error) {
  return RemoveAt(parent.m_fd, name, kind, error);
}

FILE* OpenReplacingIn(const CHeldFolder& parent, const char* name, EntryFault* fault) {
  return CreateAnew(parent.m_fd, name, fault);
}

namespace {

// A plain file with one name, not reached through a link; read-only refused when writing.
FILE* OpenOwn(const char* path, bool update) {
  int fd = open(HostPath(path).c_str(), (update ? O_RDWR : O_RDONLY) | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0)
    return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 1 ||
      (update && IsReadOnly(st))) {
    close(fd);
    errno = EACCES;
    return nullptr;
  }
  return StreamOf(fd, update ? "r+b" : "rb");
}

}  // namespace

FILE* OpenOwnForUpdate(const char* path) {
  return OpenOwn(path, true);
}

FILE* OpenOwnForReading(const char* path) {
  return OpenOwn(path, false);
}

FILE* OpenReplacing(const char* path) {
  std::string host = HostPath(path);
  size_t slash = host.rfind('/');
  std::string folder = slash == std::string::npos ? "." : host.substr(0, slash ? slash : 1);
  int fd = open(folder.c_str(), kFolderFlags);
  if (fd < 0)
    return nullptr;
  EntryFault fault;
  FILE* file = CreateAnew(fd, host.c_str() + (slash == std::string::npos ? 0 : slash + 1), &fault);
  int saved = errno;
  close(fd);
  errno = saved;
  return file;
}

}  // namespace platform
