#pragma once
// CPackFile reads data.pak (layout in pack_format.h) one member at a time. ExtractNext stages
// each member's archive below the install location as <location>\<name>.zip, creating the
// folders on the way; the installer itself walks the package with WalkPackage (pack_walk.h),
// which unpacks each archive where it lies in the package through NextMember and UnzipMember,
// sparing every file a staged copy that is written, read back and deleted.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "package/copy_gate.h"
#include "package/pack_format.h"
#include "package/unzip_single.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "platform/held_folder.h"

// Members up to this size are read into memory whole and unpacked from there.
constexpr uint32_t kMemberInMemoryMax = 65536;

// Why the reader stopped, so the caller can tell a clean end from a damaged package.
enum class PackStop {
  kNone,         // still reading
  kEnd,          // the package ended after a whole member: the normal end
  kNotReadable,  // no location, or no open stream in read mode
  kTruncated,    // a partial header, or the data ends inside a member
  kUnsafeName,   // a name that could write outside the location, or is no valid file name
  kPathTooLong,  // location + name (+ ".zip" for ExtractNext) does not fit in a path
  kIoError,      // a folder, the staged file or a read/write failed; see StopError()
};

class CPackFile {
 public:
  explicit CPackFile(const char* path = nullptr, bool readMode = true);
  ~CPackFile();
  CPackFile(const CPackFile&) = delete;
  CPackFile& operator=(const CPackFile&) = delete;

  // Opens path with "rb" (read mode) or "wb"; closes any open stream first. A null path
  // returns false and changes nothing.
  bool Open(const char* path, bool readMode);
  // Closes the stream; returns 0 when the close worked or nothing was open, EOF otherwise.
  int Close();

  // Reads the next member from stream (or the object's own when null) and writes its archive to
  // destFolder\<name>.zip. On success copies the name into nameOut (260 bytes) when given.
  // False at the end of the package and on any failure; StopReason() says which.
  bool ExtractNext(const char* destFolder, FILE* stream, char* nameOut);

  // Reads the next member's header from the object's own stream and checks its name, staging
  // nothing; of its folders only destFolder is made (and held) yet. On success copies the name into
  // nameOut (260 bytes) when given; UnzipMember may then unpack the member into MemberPath(). False
  // at the end of the package and on any failure, with StopReason() as for ExtractNext. Not to be
  // mixed with ExtractNext on one object.
  bool NextMember(const char* destFolder, char* nameOut);
  // destFolder + "\" + name of the member NextMember read last.
  const char* MemberPath() const { return m_szMemberPath; }
  // Unpacks the member NextMember read into MemberPath(), reading its archive in the package.
  // First it makes the folders below destFolder that the file needs, each opened without
  // following a link and held until a later member needs others: one that is a link or junction
  // is not used (the unpack fails), as a program that can write the chosen folder could make one
  // to send the files anywhere; destFolder itself, the user's choice, may be one. Whatever had
  // the file's name loses it first and is never written into. False with the reason in fault when
  // the file did not arrive intact; reading goes on either way. May be called again for the same
  // member, as when the file was held by another program that has let go since.
  bool UnzipMember(UnzipFault* fault);
  // Members up to bytes (at most kMemberInMemoryMax) are read into memory; the fuzzer sets 0 to
  // reach the reading in place with small inputs.
  void SetMemberInMemoryMax(uint32_t bytes) {
    m_inMemoryMax = bytes < kMemberInMemoryMax ? bytes : kMemberInMemoryMax;
  }
  // The data size of the member NextMember read last.
  uint32_t MemberSize() const { return m_memberSize; }

  // Called between the buffers of each member's copy; none by default.
  void SetCopyGate(ICopyGate* gate) { m_pGate = gate; }
  // Closes each member's file there rather than before the next member; none by default.
  void SetFileCloser(platform::CFileCloser* closer) { m_pCloser = closer; }

  PackStop StopReason() const { return m_stop; }
  // The system error code behind kIoError; 0 otherwise.
  platform::ErrorCode StopError() const { return m_dwStopError; }
  // The name of the member the reader stopped on (may be cut, never unterminated); empty when
  // it stopped between members.
  const char* StopName() const { return m_szStopName; }

 private:
  bool Stop(PackStop reason, platform::ErrorCode error = 0);
  // Reads one header and checks its name; on success parsed points into bytes.
  bool ReadHeader(FILE* in, unsigned char (&bytes)[kPackHeaderSize], PackHeader* parsed);
  // Makes the folders on the way to path unless they are the ones the last member went into;
  // true when the walk was skipped.
  bool MakeFolders(const char* path);
  // Holds destFolder, making it when missing, unless it is held already.
  platform::EntryFault HoldBase(const char* destFolder);
  // Holds the folders below it that name's file goes into, making the missing ones; the fault of
  // the first that cannot be held.
  platform::EntryFault HoldChain(const char* name);
  // Creates the staged file, and the folders on its way when they may be missing.
  bool OpenStaged(const char* staged, platform::CFile* out);
  // Reads the data of a member NextMember found, or checks that the package holds all of it.
  bool TakeMemberData(uint32_t size);

  platform::CFile m_pFile;
  ICopyGate* m_pGate = nullptr;
  platform::CFileCloser* m_pCloser = nullptr;
  bool m_bReadMode = false;
  PackStop m_stop = PackStop::kNone;
  platform::ErrorCode m_dwStopError = 0;
  char m_szStopName[kPackNameSize] = {};
  // The folder (with its final backslash) that the last member's file went into.
  char m_szLastFolder[kMaxPathChars + 2] = {};

  // The folders UnzipMember holds: destFolder, and below it the chain the last member's file
  // went into, by their names.
  std::string m_heldBase;
  platform::CHeldFolder m_base;
  std::vector<platform::CHeldFolder> m_chain;
  std::vector<std::string> m_chainNames;

  // The member NextMember read last, until the next NextMember: its archive stays in memory or
  // at its offset in the stream, so UnzipMember can unpack it again.
  bool m_bMemberPending = false;
  bool m_bChainPending = false;  // its folders below destFolder wait for the first UnzipMember
  platform::EntryFault m_folderFault = platform::EntryFault::kNone;
  size_t m_nameAt = 0;  // where the member's name starts in m_szMemberPath
  size_t m_leafAt = 0;  // where the file's own name starts in m_szMemberPath
  uint32_t m_memberSize = 0;
  char m_szMemberPath[kMaxPathChars + 2] = {};
  uint32_t m_inMemoryMax = kMemberInMemoryMax;
  int64_t m_memberOffset = 0;  // of its data in the stream, when not held in memory
  std::unique_ptr<unsigned char[]> m_memberData;  // kMemberInMemoryMax bytes, made on first use
  // Where the next header starts, when the stream does not stand there (-1 when it does).
  int64_t m_nextHeader = -1;
  int64_t m_packageSize = -1;  // learnt when a large member needs it
};

// A short English phrase for a stop reason: "the package is truncated".
const char* DescribePackStop(PackStop stop);
