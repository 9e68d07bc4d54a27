#pragma once
// The core's one door to the file system. Paths are the installer's own: single-byte text with
// backslashes. The Win32 side hands them to the API unchanged; the POSIX side maps them to host
// paths, so the same core runs and is tested natively.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// GetLastError() on Windows, errno elsewhere; kept with every failure so callers can report it.
using ErrorCode = uint32_t;
ErrorCode LastError();
// Puts a code back, for a caller that must clean up before it reports.
void SetLastErrorCode(ErrorCode code);
std::string ErrorText(ErrorCode code);

// What a failed file-system call meant, for reports that say why something stayed.
enum class FsError { kNotFound, kInUse, kAccessDenied, kNotEmpty, kOther };
FsError ClassifyError(ErrorCode code);

// The installer's path as the host's C library and system calls want it.
std::string HostPath(const char* path);

// The inverse: a host path (as typed on a command line) in the installer's form.
std::string InstallerPath(const char* hostPath);

// 64-bit positions in a stream, for packages and members past 2 GiB.
int64_t TellFile(FILE* file);
bool SeekFile(FILE* file, int64_t offset, int origin);

// fopen on an installer path. Opening an existing read-only file for writing fails on both
// sides, also for root on POSIX, which models the Windows read-only attribute.
FILE* OpenFile(const char* path, const char* mode);

// One folder level, like CreateDirectoryA: false when it exists or the parent is missing.
bool CreateFolder(const char* path);
// path, and first each missing folder above it. Existing folders, drive roots and prefixes that
// are no folder at all end the walk harmlessly; true when path is a folder afterwards.
bool CreateFolders(const char* path);
bool RemoveFolder(const char* path);  // empty folders only
// A copy of from at to, made as OpenReplacing makes a file (platform/held_folder.h).
bool CopyFileReplacing(const char* from, const char* to);
bool SetNormalAttributes(const char* path);  // clears read-only (and hidden/system on Windows)
bool SetReadOnly(const char* path);
bool RemoveFile(const char* path);
bool RenameReplacing(const char* from, const char* to);
bool FileExists(const char* path);
bool FolderExists(const char* path);
// A symbolic link or, on Windows, any reparse point (a junction, a mount point): what lies
// behind it may be anywhere.
bool IsLink(const char* path);

// Appends what the stream holds from where it stands to its end; false on a read error.
bool ReadToEnd(FILE* file, std::string* bytes);

// Appends a whole file's bytes, opened with mode: "rb", or "r+b" to refuse a read-only file.
// False for a folder, which POSIX would open, and when it cannot be opened or read.
bool ReadWholeFile(const char* path, const char* mode, std::string* bytes);

// Removes a folder and everything below it, making read-only files writable first.
bool RemoveTree(const char* path);

// Bytes the caller may still write on the volume whose root is given.
bool FreeBytesAvailable(const char* root, uint64_t* bytes);

// The path with every existing component in its long form (Windows' 8.3 short names such as
// PROGRA~1 spelled out), so two spellings of one folder compare alike; the rest as given.
std::string LongPathForm(const char* path);

// Full path of the running program, in the installer's path form.
std::string ModuleFileName();

// A fresh empty folder below the system's temporary folder.
bool MakeTempFolder(const char* prefix, std::string* path);

struct FolderEntry {
  std::string name;
  bool folder = false;
  bool regular = false;  // neither folder nor regular: links, devices and the like
  uint64_t size = 0;
};
// The entries of one folder, without "." and "..", in no particular order.
bool ListFolder(const char* path, std::vector<FolderEntry>* entries);

// True when standard error is an interactive terminal (for progress lines).
bool StderrIsTerminal();

}  // namespace platform
