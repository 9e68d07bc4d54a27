#include "package/pack_file.h"

#include <cerrno>
#include <cstring>

#include "package/member_name.h"

namespace {

constexpr size_t kCopyBufferSize = 65536;

uint32_t ReadLittleEndian32(const unsigned char* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Joins folder, "\", name and suffix into path; false when that would not fit.
bool BuildPath(const char* folder, const char* name, const char* suffix,
               char (&path)[kMaxPathChars + 2]) {
  size_t folderLength = strlen(folder);
  size_t nameLength = strlen(name);
  size_t suffixLength = strlen(suffix);
  if (folderLength + 1 + nameLength + suffixLength > kMaxPathChars)
    return false;
  char* out = path;
  memcpy(out, folder, folderLength);
  out += folderLength;
  *out++ = '\\';
  memcpy(out, name, nameLength);
  out += nameLength;
  memcpy(out, suffix, suffixLength + 1);
  return true;
}

// Creates every folder on the way to the file, outermost first. Existing folders, drive
// roots and prefixes that are no folder at all fail harmlessly; the open that follows tells.
void CreateFoldersOnPath(const char* staged) {
  char prefix[kMaxPathChars + 2] = {};
  for (size_t i = 0; staged[i] != '\0'; ++i) {
    prefix[i] = staged[i];
    if (staged[i] == '\\')
      platform::CreateFolder(prefix);
  }
}

}  // namespace

CPackFile::CPackFile(const char* path, bool readMode) {
  Open(path, readMode);
}

CPackFile::~CPackFile() {
  Close();
}

bool CPackFile::Open(const char* path, bool readMode) {
  if (!path)
    return false;
  Close();
  m_bReadMode = readMode;
  m_stop = PackStop::kNone;
  m_dwStopError = 0;
  m_szStopName[0] = '\0';
  m_szLastFolder[0] = '\0';
  m_bMemberPending = false;
  m_nextHeader = -1;
  m_packageSize = -1;
  m_pFile = platform::OpenFile(path, readMode ? "rb" : "wb");
  return m_pFile != nullptr;
}

int CPackFile::Close() {
  if (!m_pFile)
    return 0;
  int result = fclose(m_pFile);
  m_pFile = nullptr;
  return result;
}

bool CPackFile::Stop(PackStop reason, platform::ErrorCode error) {
  m_stop = reason;
  m_dwStopError = error;
  return false;
}

bool CPackFile::MakeFolders(const char* path) {
  // Members come folder by folder: when this one's folder is the one the last walk made, the
  // walk would only meet existing folders. Should the file's open fail anyway (a folder removed
  // meanwhile), the caller walks after all.
  size_t folderLength = strrchr(path, '\\') - path + 1;
  if (folderLength == strlen(m_szLastFolder) && memcmp(path, m_szLastFolder, folderLength) == 0)
    return true;
  CreateFoldersOnPath(path);
  memcpy(m_szLastFolder, path, folderLength);
  m_szLastFolder[folderLength] = '\0';
  return false;
}

FILE* CPackFile::OpenStaged(const char* staged) {
  FILE* out = MakeFolders(staged) ? platform::OpenFile(staged, "wb") : nullptr;
  if (!out) {
    CreateFoldersOnPath(staged);
    out = platform::OpenFile(staged, "wb");
  }
  if (!out)
    m_szLastFolder[0] = '\0';
  return out;
}

bool CPackFile::ReadHeader(FILE* in, unsigned char (&header)[kPackHeaderSize], size_t* nameLength) {
  // A read already ran into the end: whatever stopped us then still holds.
  if (feof(in))
    return Stop(m_stop == PackStop::kNone ? PackStop::kEnd : m_stop, m_dwStopError);

  size_t got = fread(header, 1, kPackHeaderSize, in);
  if (got < kPackHeaderSize) {
    if (ferror(in))
      return Stop(PackStop::kIoError, platform::LastError());
    return Stop(got == 0 ? PackStop::kEnd : PackStop::kTruncated);
  }

  // The name is untrusted: it must end within its field and stay inside the location.
  const char* name = reinterpret_cast<const char*>(header);
  const void* terminator = memchr(name, '\0', kPackNameSize);
  size_t length = terminator ? static_cast<const char*>(terminator) - name : kPackNameSize;
  size_t kept = length < kPackNameSize ? length : kPackNameSize - 1;
  memcpy(m_szStopName, name, kept);
  m_szStopName[kept] = '\0';
  if (!terminator || CheckMemberName(name, length) != NameCheck::kOk)
    return Stop(PackStop::kUnsafeName);
  *nameLength = length;
  return true;
}

bool CPackFile::ExtractNext(const char* destFolder, FILE* stream, char* nameOut) {
  m_szStopName[0] = '\0';
  if (!destFolder)
    return Stop(PackStop::kNotReadable);
  FILE* in = stream;
  if (!in) {
    if (!m_bReadMode || !m_pFile)
      return Stop(PackStop::kNotReadable);
    in = m_pFile;
  }
  unsigned char header[kPackHeaderSize];
  size_t nameLength = 0;
  if (!ReadHeader(in, header, &nameLength))
    return false;
  const char* name = reinterpret_cast<const char*>(header);

  char staged[kMaxPathChars + 2];
  if (!BuildPath(destFolder, name, ".zip", staged))
    return Stop(PackStop::kPathTooLong);
  FILE* out = OpenStaged(staged);
  if (!out)
    return Stop(PackStop::kIoError, platform::LastError());

  unsigned char buffer[kCopyBufferSize];
  uint32_t remaining = ReadLittleEndian32(header + kPackDataSizeOffset);
  while (remaining != 0) {
    if (m_pGate)
      m_pGate->BetweenBuffers();
    size_t want = remaining < kCopyBufferSize ? remaining : kCopyBufferSize;
    size_t n = fread(buffer, 1, want, in);
    if (n == 0) {
      bool readError = ferror(in) != 0;
      platform::ErrorCode error = platform::LastError();
      fclose(out);
      return readError ? Stop(PackStop::kIoError, error) : Stop(PackStop::kTruncated);
    }
    if (fwrite(buffer, 1, n, out) != n) {
      platform::ErrorCode error = platform::LastError();
      fclose(out);
      return Stop(PackStop::kIoError, error);
    }
    remaining -= static_cast<uint32_t>(n);
  }
  // Buffered bytes reach the disk at the close; a full disk shows up here.
  if (fclose(out) != 0)
    return Stop(PackStop::kIoError, platform::LastError());

  if (nameOut)
    memcpy(nameOut, name, nameLength + 1);
  m_szStopName[0] = '\0';
  return true;
}

bool CPackFile::NextMember(const char* destFolder, char* nameOut) {
  m_szStopName[0] = '\0';
  m_bMemberPending = false;
  if (!destFolder || !m_bReadMode || !m_pFile)
    return Stop(PackStop::kNotReadable);
  // The last member's archive was read in place, which leaves the stream anywhere.
  if (m_nextHeader >= 0) {
    if (!platform::SeekFile(m_pFile, m_nextHeader, SEEK_SET))
      return Stop(PackStop::kIoError, platform::LastError());
    m_nextHeader = -1;
  }

  unsigned char header[kPackHeaderSize];
  size_t nameLength = 0;
  if (!ReadHeader(m_pFile, header, &nameLength))
    return false;
  const char* name = reinterpret_cast<const char*>(header);
  char path[kMaxPathChars + 2];
  if (!BuildPath(destFolder, name, "", path))
    return Stop(PackStop::kPathTooLong);
  // Damage shows before any folder is made for the member, as when it was staged.
  if (!TakeMemberData(ReadLittleEndian32(header + kPackDataSizeOffset)))
    return false;
  m_bWalkSkipped = MakeFolders(path);

  if (nameOut)
    memcpy(nameOut, name, nameLength + 1);
  m_szStopName[0] = '\0';
  m_bMemberPending = true;
  return true;
}

bool CPackFile::TakeMemberData(uint32_t size) {
  m_memberSize = size;
  if (size <= m_inMemoryMax) {
    // Small archives are read whole: one sequential read instead of minizip's seeks.
    if (!m_memberData)
      m_memberData.reset(new unsigned char[kMemberInMemoryMax]);
    if (fread(m_memberData.get(), 1, size, m_pFile) == size)
      return true;
    if (ferror(m_pFile))
      return Stop(PackStop::kIoError, platform::LastError());
    return Stop(PackStop::kTruncated);
  }
  m_memberOffset = platform::TellFile(m_pFile);
  if (m_packageSize < 0) {
    if (!platform::SeekFile(m_pFile, 0, SEEK_END))
      return Stop(PackStop::kIoError, platform::LastError());
    m_packageSize = platform::TellFile(m_pFile);
  }
  if (m_memberOffset < 0 || m_packageSize < 0)
    return Stop(PackStop::kIoError, platform::LastError());
  if (m_packageSize - m_memberOffset < static_cast<int64_t>(size))
    return Stop(PackStop::kTruncated);
  m_nextHeader = m_memberOffset + size;
  return true;
}

bool CPackFile::UnzipMember(const char* destPath, UnzipFault* fault) {
  if (!m_bMemberPending) {
    *fault = UnzipFault::kNotZip;
    return false;
  }
  m_bMemberPending = false;
  ArchiveSpan span;
  span.size = m_memberSize;
  if (m_memberSize <= m_inMemoryMax) {
    span.data = m_memberData.get();
  } else {
    span.stream = m_pFile;
    span.offset = m_memberOffset;
  }
  bool ok = UnzipSingleFile(span, destPath, fault, m_pGate);
  if (!ok && *fault == UnzipFault::kCannotWrite && m_bWalkSkipped) {
    CreateFoldersOnPath(destPath);
    ok = UnzipSingleFile(span, destPath, fault, m_pGate);
  }
  if (!ok && *fault == UnzipFault::kCannotWrite)
    m_szLastFolder[0] = '\0';
  return ok;
}

const char* DescribePackStop(PackStop stop) {
  switch (stop) {
    case PackStop::kNone:
      return "the package is being read";
    case PackStop::kEnd:
      return "the package ended";
    case PackStop::kNotReadable:
      return "the package is not open for reading";
    case PackStop::kTruncated:
      return "the package is truncated";
    case PackStop::kUnsafeName:
      return "a member's name is not a safe relative file name";
    case PackStop::kPathTooLong:
      return "a member's path is too long for the chosen folder";
    case PackStop::kIoError:
      return "a file could not be read or written";
  }
  return "the package could not be read";
}
