#include "package/pack_file.h"

#include <cstring>

#include "platform/path_text.h"

namespace {

constexpr size_t kCopyBufferSize = 65536;

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

// Creates every missing folder on the way to the file.
void CreateFoldersOnPath(const char* path) {
  size_t length = 0;
  if (!platform::LastSeparator(path, strlen(path), &length))
    return;
  platform::CreateFolders(std::string(path, length).c_str());
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
  m_heldBase.clear();
  m_base.Close();
  m_chain.clear();
  m_chainNames.clear();
  m_bMemberPending = false;
  m_nextHeader = -1;
  m_packageSize = -1;
  return m_pFile.Open(path, readMode ? "rb" : "wb");
}

int CPackFile::Close() {
  return m_pFile.Close() ? 0 : EOF;
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
  size_t folderLength = 0;
  platform::LastSeparator(path, strlen(path), &folderLength);
  ++folderLength;
  if (folderLength == strlen(m_szLastFolder) && memcmp(path, m_szLastFolder, folderLength) == 0)
    return true;
  CreateFoldersOnPath(path);
  memcpy(m_szLastFolder, path, folderLength);
  m_szLastFolder[folderLength] = '\0';
  return false;
}

bool CPackFile::OpenStaged(const char* staged, platform::CFile* out) {
  if (MakeFolders(staged) && out->Open(staged, "wb"))
    return true;
  CreateFoldersOnPath(staged);
  if (out->Open(staged, "wb"))
    return true;
  m_szLastFolder[0] = '\0';
  return false;
}

bool CPackFile::ReadHeader(FILE* in, unsigned char (&bytes)[kPackHeaderSize], PackHeader* parsed) {
  // A read already ran into the end: whatever stopped us then still holds.
  if (feof(in))
    return Stop(m_stop == PackStop::kNone ? PackStop::kEnd : m_stop, m_dwStopError);

  size_t got = fread(bytes, 1, kPackHeaderSize, in);
  if (got < kPackHeaderSize) {
    if (ferror(in))
      return Stop(PackStop::kIoError, platform::LastError());
    return Stop(got == 0 ? PackStop::kEnd : PackStop::kTruncated);
  }

  // The name is untrusted: it must end within its field and stay inside the location.
  *parsed = ParsePackHeader(bytes);
  size_t kept = parsed->nameLength < kPackNameSize ? parsed->nameLength : kPackNameSize - 1;
  memcpy(m_szStopName, parsed->name, kept);
  m_szStopName[kept] = '\0';
  if (parsed->check != NameCheck::kOk)
    return Stop(PackStop::kUnsafeName);
  return true;
}

bool CPackFile::ExtractNext(const char* destFolder, FILE* stream, char* nameOut) {
  m_szStopName[0] = '\0';
  if (!destFolder)
    return Stop(PackStop::kNotReadable);
  FILE* in = stream;
  if (!in) {
    if (!m_bReadMode || !m_pFile.IsOpen())
      return Stop(PackStop::kNotReadable);
    in = m_pFile.Get();
  }
  unsigned char bytes[kPackHeaderSize];
  PackHeader header;
  if (!ReadHeader(in, bytes, &header))
    return false;

  char staged[kMaxPathChars + 2];
  if (!BuildPath(destFolder, header.name, ".zip", staged))
    return Stop(PackStop::kPathTooLong);
  // Closed on every way out; a failure path keeps the bytes copied so far.
  platform::CFile out;
  if (!OpenStaged(staged, &out))
    return Stop(PackStop::kIoError, platform::LastError());

  unsigned char buffer[kCopyBufferSize];
  uint32_t remaining = header.dataSize;
  while (remaining != 0) {
    if (m_pGate)
      m_pGate->BetweenBuffers();
    size_t want = remaining < kCopyBufferSize ? remaining : kCopyBufferSize;
    size_t n = fread(buffer, 1, want, in);
    if (n == 0) {
      if (ferror(in))
        return Stop(PackStop::kIoError, platform::LastError());
      return Stop(PackStop::kTruncated);
    }
    if (fwrite(buffer, 1, n, out.Get()) != n)
      return Stop(PackStop::kIoError, platform::LastError());
    remaining -= static_cast<uint32_t>(n);
  }
  // Buffered bytes reach the disk at the close; a full disk shows up here.
  if (!out.Close())
    return Stop(PackStop::kIoError, platform::LastError());

  if (nameOut)
    memcpy(nameOut, header.name, header.nameLength + 1);
  m_szStopName[0] = '\0';
  return true;
}

bool CPackFile::NextMember(const char* destFolder, char* nameOut) {
  m_szStopName[0] = '\0';
  m_bMemberPending = false;
  if (!destFolder || !m_bReadMode || !m_pFile.IsOpen())
    return Stop(PackStop::kNotReadable);
  // The last member's archive was read in place, which leaves the stream anywhere.
  if (m_nextHeader >= 0) {
    if (!platform::SeekFile(m_pFile.Get(), m_nextHeader, SEEK_SET))
      return Stop(PackStop::kIoError, platform::LastError());
    m_nextHeader = -1;
  }

  unsigned char bytes[kPackHeaderSize];
  PackHeader header;
  if (!ReadHeader(m_pFile.Get(), bytes, &header))
    return false;
  if (!BuildPath(destFolder, header.name, "", m_szMemberPath))
    return Stop(PackStop::kPathTooLong);
  // Damage shows before any folder is made for the member.
  if (!TakeMemberData(header.dataSize))
    return false;
  // The chosen folder now, so that the member's log entry has a folder to go into; the folders
  // below it only when the member is unpacked.
  m_folderFault = HoldBase(destFolder);
  m_nameAt = strlen(m_szMemberPath) - header.nameLength;
  m_bChainPending = m_folderFault == platform::EntryFault::kNone;
  size_t lastSeparator = 0;
  platform::LastSeparator(m_szMemberPath, strlen(m_szMemberPath), &lastSeparator);
  m_leafAt = lastSeparator + 1;

  if (nameOut)
    memcpy(nameOut, header.name, header.nameLength + 1);
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
    if (fread(m_memberData.get(), 1, size, m_pFile.Get()) == size)
      return true;
    if (ferror(m_pFile.Get()))
      return Stop(PackStop::kIoError, platform::LastError());
    return Stop(PackStop::kTruncated);
  }
  m_memberOffset = platform::TellFile(m_pFile.Get());
  if (m_packageSize < 0) {
    if (!platform::SeekFile(m_pFile.Get(), 0, SEEK_END))
      return Stop(PackStop::kIoError, platform::LastError());
    m_packageSize = platform::TellFile(m_pFile.Get());
  }
  if (m_memberOffset < 0 || m_packageSize < 0)
    return Stop(PackStop::kIoError, platform::LastError());
  if (m_packageSize - m_memberOffset < static_cast<int64_t>(size))
    return Stop(PackStop::kTruncated);
  m_nextHeader = m_memberOffset + size;
  return true;
}

platform::EntryFault CPackFile::HoldBase(const char* destFolder) {
  platform::EntryFault fault = platform::EntryFault::kNone;
  if (m_base.IsOpen() && m_heldBase == destFolder)
    return fault;
  m_chain.clear();
  m_chainNames.clear();
  m_heldBase = destFolder;
  // The chosen folder and any missing parents are made by name: the user chose where.
  if (!platform::FolderExists(destFolder))
    platform::CreateFolders(destFolder);
  if (!m_base.OpenBase(destFolder, false, &fault))
    m_heldBase.clear();
  return fault;
}

platform::EntryFault CPackFile::HoldChain(const char* name) {
  platform::EntryFault fault = platform::EntryFault::kNone;
  // Members come folder by folder: the chain the last one needed mostly serves this one too.
  size_t length = strlen(name);
  size_t depth = 0;
  for (size_t start = 0, end; (end = platform::NextSeparator(name, length, start)) < length;
       start = end + 1, ++depth) {
    // Compared in place: a folder already held costs no copy of its name per member.
    if (depth < m_chainNames.size() &&
        m_chainNames[depth].compare(0, std::string::npos, name + start, end - start) == 0)
      continue;
    std::string component(name + start, end - start);
    m_chain.resize(depth);
    m_chainNames.resize(depth);
    platform::CHeldFolder next;
    if (!next.CreateChild(depth ? m_chain.back() : m_base, component.c_str(), &fault))
      return fault;
    m_chain.push_back(std::move(next));
    m_chainNames.push_back(component);
  }
  m_chain.resize(depth);
  m_chainNames.resize(depth);
  return platform::EntryFault::kNone;
}

bool CPackFile::UnzipMember(UnzipFault* fault) {
  if (!m_bMemberPending) {
    *fault = UnzipFault::kNotZip;
    return false;
  }
  if (m_bChainPending) {
    // Made only now, once the caller has seen (and logged) the member: a walk stopped before
    // it leaves no folder that nothing names.
    m_folderFault = HoldChain(m_szMemberPath + m_nameAt);
    m_bChainPending = false;
  }
  if (m_folderFault != platform::EntryFault::kNone) {
    *fault = m_folderFault == platform::EntryFault::kError ? UnzipFault::kCannotWrite
                                                           : UnzipFault::kLinkedFolder;
    // The next member builds its chain anew.
    m_chain.clear();
    m_chainNames.clear();
    return false;
  }
  ArchiveSpan span;
  span.size = m_memberSize;
  if (m_memberSize <= m_inMemoryMax) {
    span.data = m_memberData.get();
  } else {
    span.stream = m_pFile.Get();
    span.offset = m_memberOffset;
  }
  MemberTarget target{m_chain.empty() ? &m_base : &m_chain.back(), m_szMemberPath + m_leafAt,
                      m_szMemberPath};
  return UnzipSingleFile(span, target, fault, m_pGate, m_pCloser);
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
