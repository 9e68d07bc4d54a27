#pragma once
#include <cstdint>
#include <cstdio>

#include "package/copy_gate.h"

namespace platform {
class CFileCloser;
class CHeldFolder;
}  // namespace platform

// Unpacks the first member of a one-file zip archive into a file of the caller's choosing.

enum class UnzipFault {
  kNone,
  kNotZip,        // the archive is missing, unreadable or no zip archive
  kBadMember,     // no first member, or it cannot be opened (method, local header)
  kEncrypted,     // no password is ever given, so an encrypted member is refused
  kCannotWrite,   // the output file cannot be opened for writing
  kDamaged,       // the data is corrupt or ends early; the output holds what came before
  kCrcMismatch,   // all data read, but its CRC-32 differs from the archive's
  kWriteFailed,   // writing or closing the output failed (a full disk)
  kLinkedFolder,  // a folder on the way is a link or junction: nothing is written through it
  kInUse,         // another program holds the output file: a sharing or lock violation
};

// True only when the whole member was written to destPath intact. The output file is opened
// only after the archive and its member opened, so a bad archive leaves destPath untouched.
bool UnzipSingleFile(const char* zipPath, const char* destPath);
bool UnzipSingleFile(const char* zipPath, const char* destPath, UnzipFault* fault);

// A zip archive read where it lies: in memory, or in a stretch of an open stream such as a
// member inside the package. Nothing has to be staged on disk first.
struct ArchiveSpan {
  const unsigned char* data = nullptr;  // the archive's bytes; null to read them from stream
  FILE* stream = nullptr;
  int64_t offset = 0;  // where the archive starts in stream
  uint64_t size = 0;
};
// Where a member's file goes: the file name inside a folder held open, and its whole path, by
// which reports name it.
struct MemberTarget {
  const platform::CHeldFolder* folder;
  const char* name;
  const char* path;
};
// The same as for a path, except that the file is made as OpenReplacingIn makes it: whatever had
// its name before (a read-only, hidden or system file, a hard or symbolic link) loses the name
// and is never written into. gate is called between the buffers of the copy, and a stream is
// left at an unspecified position. With a closer, the output is flushed here and closed there,
// which then reports a failed close.
bool UnzipSingleFile(const ArchiveSpan& archive, const MemberTarget& target, UnzipFault* fault,
                     ICopyGate* gate, platform::CFileCloser* closer = nullptr);

const char* DescribeUnzipFault(UnzipFault fault);

// For tests: asked with the output's path before it is opened; a nonzero code fails the open with
// that as the system's error, as a file held by another program does (POSIX has no sharing
// violations). None by default.
using RefuseOutputFn = uint32_t (*)(const char* path);
void SetRefuseOutputForTesting(RefuseOutputFn fn);
