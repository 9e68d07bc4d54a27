#include "tools/pack_writer.h"

#include <libdeflate.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "package/member_name.h"
#include "package/pack_format.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "tools/tool_error.h"

namespace {

constexpr uint64_t kMaxMemberBytes = 0xFFFFFFFFull;  // the header's 32-bit size

// minizip writes the member's zip straight into the package: positions it sees are relative to
// where the member's data starts, so each member is a self-contained zip archive.
struct MemberStream {
  FILE* pak;
  int64_t base;
};

voidpf ZOpen(voidpf opaque, const void*, int) {
  return opaque;
}
uLong ZRead(voidpf, voidpf stream, void* buffer, uLong size) {
  return static_cast<uLong>(fread(buffer, 1, size, static_cast<MemberStream*>(stream)->pak));
}
uLong ZWrite(voidpf, voidpf stream, const void* buffer, uLong size) {
  return static_cast<uLong>(fwrite(buffer, 1, size, static_cast<MemberStream*>(stream)->pak));
}
ZPOS64_T ZTell(voidpf, voidpf stream) {
  MemberStream* member = static_cast<MemberStream*>(stream);
  return static_cast<ZPOS64_T>(platform::TellFile(member->pak) - member->base);
}
long ZSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  MemberStream* member = static_cast<MemberStream*>(stream);
  int64_t target = static_cast<int64_t>(offset);
  int whence = SEEK_CUR;
  if (origin == ZLIB_FILEFUNC_SEEK_SET) {
    target += member->base;
    whence = SEEK_SET;
  } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
    whence = SEEK_END;
  }
  return platform::SeekFile(member->pak, target, whence) ? 0 : -1;
}
int ZClose(voidpf, voidpf) {
  return 0;
}  // the package stays open for the next member
int ZError(voidpf, voidpf stream) {
  return ferror(static_cast<MemberStream*>(stream)->pak);
}

std::string Quote(const std::string& text) {
  return "'" + text + "'";
}

// Paths in messages read as the user typed them, in the host's own form.
std::string QuotePath(const std::string& path) {
  return Quote(platform::HostPath(path.c_str()));
}

bool ListRecursively(const std::string& folder, const std::string& prefix,
                     std::vector<PackEntry>* entries, std::vector<std::string>* skipped,
                     std::string* error) {
  std::vector<platform::FolderEntry> children;
  if (!platform::ListFolder(folder.c_str(), &children)) {
    *error = "cannot read folder " + QuotePath(folder) + ": " +
             platform::ErrorText(platform::LastError());
    return false;
  }
  for (const platform::FolderEntry& child : children) {
    std::string name = prefix.empty() ? child.name : prefix + "\\" + child.name;
    // On a POSIX host a backslash is an ordinary character, but in a member name it would
    // split the file into folders on Windows.
    if (child.name.find('\\') != std::string::npos) {
      *error = "file name " + Quote(name) + " holds a backslash";
      return false;
    }
    std::string path = folder + "\\" + child.name;
    if (child.folder) {
      if (!ListRecursively(path, name, entries, skipped, error))
        return false;
    } else if (child.regular) {
      entries->push_back(PackEntry{name, path, child.size});
    } else {
      skipped->push_back(name);
    }
  }
  return true;
}

// Every regular file below sourceDir, sorted by member name. Entries that are neither folders
// nor regular files (links, devices) are left out and named in skipped. False, with a message
// in error, when a folder cannot be listed or holds a name with a backslash.
bool CollectPackEntries(const std::string& sourceDir, std::vector<PackEntry>* entries,
                        std::vector<std::string>* skipped, std::string* error) {
  entries->clear();
  skipped->clear();
  if (!platform::FolderExists(sourceDir.c_str()))
    return FailWith(error, "source folder " + QuotePath(sourceDir) + " does not exist");
  if (!ListRecursively(sourceDir, "", entries, skipped, error))
    return false;
  std::sort(entries->begin(), entries->end(),
            [](const PackEntry& a, const PackEntry& b) { return a.name < b.name; });
  std::sort(skipped->begin(), skipped->end());
  return true;
}

bool PlaceUninstallerFirst(const std::string& path, std::vector<PackEntry>* entries,
                           std::string* error) {
  for (const PackEntry& entry : *entries) {
    if (IsUninstallerMember(entry.name))
      return FailWith(error, "the source folder already holds " + Quote(entry.name) +
                                 "; leave it out or leave out --uninstaller");
  }
  platform::CFile file;
  int64_t size = -1;
  if (!platform::FolderExists(path.c_str()) && file.Open(path.c_str(), "rb") &&
      platform::SeekFile(file.Get(), 0, SEEK_END))
    size = platform::TellFile(file.Get());
  if (size < 0)
    return FailWith(error, "cannot read the uninstaller " + QuotePath(path) + ": " +
                               platform::ErrorText(platform::LastError()));
  entries->insert(entries->begin(),
                  PackEntry{kUninstallerMember, path, static_cast<uint64_t>(size)});
  return true;
}

// libdeflate deflates whole buffers only, and a file may be hundreds of megabytes. So a file is
// deflated a chunk at a time, each chunk a complete deflate stream, and the streams are joined
// into one as zlib's gzjoin joins them: every chunk but the last loses the final-block bit of its
// last block, and an empty stored block after that block's end-of-block code brings the stream
// back to a byte boundary. Memory stays at most at two chunk buffers whatever the file's size,
// and every chunk is deflated at the chosen level. Each chunk starts without the previous one's 32
// KiB of history, which costs a few hundred bytes in a chunk of 16 MiB.

// An empty stored block's length and its complement, after its three header bits (all zero:
// neither final nor compressed) and the padding to the byte boundary. A join adds them, and
// before them at most one byte for the header bits.
constexpr unsigned char kEmptyStoredLengths[] = {0x00, 0x00, 0xFF, 0xFF};
constexpr size_t kJoinBytes = 1 + sizeof kEmptyStoredLengths;

// The buffers start small and double as a file needs: a package of small files, or a test's
// package of one small member, never pays for a chunk's buffers (under Wine, making them takes
// many times longer than deflating a small file).
constexpr size_t kFirstChunkBytes = 64 << 10;

// In a complete raw deflate stream: where its final block's header starts (its final-block bit)
// and how many padding bits follow that block's end-of-block code in the stream's last byte.
struct FinalBlock {
  size_t headerByte = 0;
  int headerBit = 0;
  int paddingBits = 0;
};

// zlib's inflate, asked to stop at every block boundary (Z_BLOCK), tells there how many bits of
// the last byte it read are left over: the next block's header starts at the first of them.
bool FindFinalBlock(const unsigned char* stream, size_t size, FinalBlock* block) {
  z_stream inflater = {};
  if (inflateInit2(&inflater, -MAX_WBITS) != Z_OK)
    return false;
  inflater.next_in = const_cast<unsigned char*>(stream);
  inflater.avail_in = static_cast<uInt>(size);
  unsigned char sink[32768];
  FinalBlock at;  // the first block's header is the stream's first bit
  bool found = false;
  for (;;) {
    inflater.next_out = sink;
    inflater.avail_out = sizeof sink;
    if (inflate(&inflater, Z_BLOCK) != Z_OK)
      break;
    if (!(inflater.data_type & 128))  // stopped inside a block, its output filling the sink
      continue;
    int unused = inflater.data_type & 7;
    size_t next = static_cast<size_t>(inflater.next_in - stream);
    if (inflater.data_type & 64) {  // the block that just ended was the final one
      at.paddingBits = unused;
      found = next == size;
      break;
    }
    at.headerByte = unused ? next - 1 : next;
    at.headerBit = unused ? 8 - unused : 0;
  }
  inflateEnd(&inflater);
  *block = at;
  return found;
}

}  // namespace

CMemberDeflater::CMemberDeflater(int level, size_t chunkBytes)
    : m_level(level), m_chunkBytes(chunkBytes) {
  if (level < kStoreLevel || level > kBestLevel || chunkBytes == 0)
    return;
  if (level != kStoreLevel) {
    m_compressor = libdeflate_alloc_compressor(level);
    if (!m_compressor)
      return;
  }
  m_ready = Reserve(kFirstChunkBytes);
}

CMemberDeflater::~CMemberDeflater() {
  if (m_compressor)
    libdeflate_free_compressor(m_compressor);
}

bool CMemberDeflater::Reserve(size_t bytes) {
  bytes = std::min(bytes, m_chunkBytes);
  if (bytes <= m_capacity)
    return true;
  std::unique_ptr<unsigned char[]> chunk(new (std::nothrow) unsigned char[bytes]);
  size_t outBytes = 0;
  std::unique_ptr<unsigned char[]> out;
  if (m_compressor) {
    outBytes = libdeflate_deflate_compress_bound(m_compressor, bytes) + kJoinBytes;
    out.reset(new (std::nothrow) unsigned char[outBytes]);
  }
  if (!chunk || (m_compressor && !out))
    return false;
  if (m_capacity > 0)
    memcpy(chunk.get(), m_chunk.get(), m_capacity);
  m_chunk = std::move(chunk);
  m_capacity = bytes;
  m_out = std::move(out);
  m_outBytes = outBytes;
  return true;
}

bool CMemberDeflater::Deflate(size_t size, bool last, const unsigned char** out, size_t* outSize) {
  if (!m_out || size > m_capacity)
    return false;
  unsigned char* bytes = m_out.get();
  size_t n = libdeflate_deflate_compress(m_compressor, m_chunk.get(), size, bytes,
                                         m_outBytes - kJoinBytes);
  if (n == 0)
    return false;
  if (!last) {
    FinalBlock block;
    if (!FindFinalBlock(bytes, n, &block))
      return false;
    bytes[block.headerByte] &= static_cast<unsigned char>(~(1u << block.headerBit));
    // The empty stored block's header takes the first three padding bits, all zero, and when
    // fewer are left, the start of one more byte.
    bytes[n - 1] &= static_cast<unsigned char>(0xFFu >> block.paddingBits);
    if (block.paddingBits < 3)
      bytes[n++] = 0;
    memcpy(bytes + n, kEmptyStoredLengths, sizeof kEmptyStoredLengths);
    n += sizeof kEmptyStoredLengths;
  }
  *out = bytes;
  *outSize = n;
  return true;
}

bool IsUninstallerMember(const std::string& name) {
  size_t length = strlen(kUninstallerMember);
  if (name.size() != length)
    return false;
  for (size_t i = 0; i < length; ++i) {
    if (tolower(static_cast<unsigned char>(name[i])) != kUninstallerMember[i])
      return false;
  }
  return true;
}

bool CheckPackEntries(const std::vector<PackEntry>& entries, std::string* error) {
  for (const PackEntry& entry : entries) {
    NameCheck check = CheckMemberName(entry.name.data(), entry.name.size());
    if (check != NameCheck::kOk)
      return FailWith(error, "file name " + Quote(entry.name) + " " + DescribeNameCheck(check));
#ifndef _WIN32
    // The installer reads names in the user's ANSI code page, which a Linux host cannot know.
    for (unsigned char c : entry.name) {
      if (c >= 0x80)
        return FailWith(error, "file name " + Quote(entry.name) +
                                   " is not plain ASCII; rename it, or pack with the Windows "
                                   "build of mkpak, which reads names in the Windows code page");
    }
#endif
    if (entry.size >= (1ull << 32))
      return FailWith(error, "file " + Quote(entry.name) + " is 4 GiB or larger");
  }
  return true;
}

namespace {

enum class DataFault { kNone, kRead, kMemory, kDeflate, kWrite };

// Reads the next chunk of source into the deflater's buffer, which grows up to a whole chunk while
// the file fills it. size is what was read: less than a chunk only at the file's end.
DataFault ReadChunk(FILE* source, CMemberDeflater* deflater, size_t* size) {
  *size = 0;
  for (;;) {
    *size += fread(deflater->Chunk() + *size, 1, deflater->Capacity() - *size, source);
    if (ferror(source))
      return DataFault::kRead;
    if (*size < deflater->Capacity() || deflater->Capacity() == deflater->ChunkBytes())
      return DataFault::kNone;
    if (!deflater->Reserve(2 * deflater->Capacity()))
      return DataFault::kMemory;
  }
}

// Reads source to its end into the open zip member: deflated, or as it is at level 0.
DataFault WriteMemberData(zipFile zip, FILE* source, CMemberDeflater* deflater, uint64_t* size,
                          uint32_t* crc) {
  for (bool last = false; !last;) {
    size_t n = 0;
    DataFault fault = ReadChunk(source, deflater, &n);
    if (fault != DataFault::kNone)
      return fault;
    // A file of whole chunks ends with an empty one, a few bytes more.
    last = n < deflater->ChunkBytes();
    *crc = libdeflate_crc32(*crc, deflater->Chunk(), n);
    *size += n;
    const unsigned char* out = deflater->Chunk();
    size_t outSize = n;
    if (deflater->Level() != kStoreLevel && !deflater->Deflate(n, last, &out, &outSize))
      return DataFault::kDeflate;
    if (zipWriteInFileInZip(zip, out, static_cast<unsigned>(outSize)) != ZIP_OK)
      return DataFault::kWrite;
  }
  return DataFault::kNone;
}

}  // namespace

bool AppendPackMember(FILE* pak, const std::string& name, FILE* source, CMemberDeflater* deflater,
                      std::string* error) {
  if (CheckMemberName(name.data(), name.size()) != NameCheck::kOk)
    return FailWith(error, "member name " + Quote(name) + " is not acceptable");
  int level = deflater->Level();
  if (level < kStoreLevel || level > kBestLevel)
    return FailWith(error, "compression level must be 0 to 12");
  if (!deflater->IsReady())
    return FailWith(error, "not enough memory to deflate at level " + std::to_string(level));
  int64_t headerAt = platform::TellFile(pak);
  unsigned char header[kPackHeaderSize] = {};
  memcpy(header, name.data(), name.size());
  if (headerAt < 0 || fwrite(header, 1, sizeof header, pak) != sizeof header)
    return FailWith(error,
                    "cannot write the package: " + platform::ErrorText(platform::LastError()));

  MemberStream member{pak, headerAt + static_cast<int64_t>(kPackHeaderSize)};
  zlib_filefunc64_def io = {};
  io.zopen64_file = ZOpen;
  io.zread_file = ZRead;
  io.zwrite_file = ZWrite;
  io.ztell64_file = ZTell;
  io.zseek64_file = ZSeek;
  io.zclose_file = ZClose;
  io.zerror_file = ZError;
  io.opaque = &member;
  zipFile zip = zipOpen2_64("member", APPEND_STATUS_CREATE, nullptr, &io);
  if (!zip)
    return FailWith(error, "cannot start the zip archive of " + Quote(name));

  // Inside the archive the name uses zip's forward slashes; the installer never reads it.
  std::string zipName = name;
  std::replace(zipName.begin(), zipName.end(), '\\', '/');
  zip_fileinfo info = {};
  info.tmz_date.tm_mday = 1;
  info.tmz_date.tm_year = 1980;
  // Raw: minizip writes the records around the bytes given, and the deflating is ours. The
  // level only sets the header's compression option bits, which top out at zlib's 9.
  int method = level == kStoreLevel ? 0 : Z_DEFLATED;
  bool ok = zipOpenNewFileInZip2_64(zip, zipName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                    method, std::min(level, 9), 1, 0) == ZIP_OK;
  uint64_t size = 0;
  uint32_t crc = 0;
  DataFault fault = DataFault::kWrite;
  if (ok) {
    fault = WriteMemberData(zip, source, deflater, &size, &crc);
    ok = zipCloseFileInZipRaw64(zip, size, crc) == ZIP_OK && fault == DataFault::kNone;
  }
  ok = zipClose(zip, nullptr) == ZIP_OK && ok;
  if (fault == DataFault::kRead)
    return FailWith(error, "cannot read " + Quote(name));
  if (fault == DataFault::kMemory)
    return FailWith(error, "not enough memory to deflate " + Quote(name));
  if (fault == DataFault::kDeflate)
    return FailWith(error, "cannot deflate " + Quote(name));
  if (!ok)
    return FailWith(error,
                    "cannot write the package: " + platform::ErrorText(platform::LastError()));

  int64_t end = platform::TellFile(pak);
  uint64_t dataSize = static_cast<uint64_t>(end - member.base);
  if (end < 0 || dataSize > kMaxMemberBytes)
    return FailWith(error, "the archive of " + Quote(name) + " is 4 GiB or larger");
  unsigned char sizeBytes[4];
  WriteLittleEndian32(sizeBytes, static_cast<uint32_t>(dataSize));
  if (!platform::SeekFile(pak, headerAt + static_cast<int64_t>(kPackDataSizeOffset), SEEK_SET) ||
      fwrite(sizeBytes, 1, 4, pak) != 4 || !platform::SeekFile(pak, end, SEEK_SET))
    return FailWith(error,
                    "cannot write the package: " + platform::ErrorText(platform::LastError()));
  return true;
}

bool AppendPackMember(FILE* pak, const std::string& name, FILE* source, int level,
                      std::string* error) {
  CMemberDeflater deflater(level);
  return AppendPackMember(pak, name, source, &deflater, error);
}

namespace {

bool WriteMembers(FILE* pak, const std::vector<PackEntry>& entries, const BuildOptions& options,
                  std::string* error) {
  CMemberDeflater deflater(options.level);
  uint64_t totalBytes = 0;
  for (const PackEntry& entry : entries)
    totalBytes += entry.size;
  uint64_t doneBytes = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const PackEntry& entry = entries[i];
    platform::CFile source;
    if (!source.Open(entry.sourcePath.c_str(), "rb"))
      return FailWith(error, "cannot read " + QuotePath(entry.sourcePath) + ": " +
                                 platform::ErrorText(platform::LastError()));
    if (!AppendPackMember(pak, entry.name, source.Get(), &deflater, error))
      return false;
    doneBytes += entry.size;
    if (options.progress)
      options.progress(i + 1, entries.size(), doneBytes, totalBytes);
  }
  return true;
}

}  // namespace

bool BuildPack(const std::string& sourceDir, const std::string& outPath,
               const BuildOptions& options, BuildSummary* summary, std::string* error) {
  if (options.level < kStoreLevel || options.level > kBestLevel)
    return FailWith(error, "compression level must be 0 to 12");
  std::vector<PackEntry> entries;
  std::vector<std::string> skipped;
  if (!CollectPackEntries(sourceDir, &entries, &skipped, error))
    return false;
  if (!options.uninstaller.empty() && !PlaceUninstallerFirst(options.uninstaller, &entries, error))
    return false;
  if (!CheckPackEntries(entries, error))
    return false;

  platform::CReplacingFile pak(outPath.c_str(), ".part");
  if (!pak.Open())
    return FailWith(error, "cannot create " + QuotePath(pak.PartialPath()) + ": " +
                               platform::ErrorText(platform::LastError()));
  if (!WriteMembers(pak.Get(), entries, options, error))
    return false;
  int64_t bytes = platform::TellFile(pak.Get());
  if (!pak.Commit())
    return FailWith(error, "cannot write " + QuotePath(outPath) + ": " +
                               platform::ErrorText(platform::LastError()));
  *summary = BuildSummary();
  summary->members = entries.size();
  summary->bytes = static_cast<uint64_t>(bytes);
  for (const PackEntry& entry : entries) {
    summary->longestName = std::max(summary->longestName, entry.name.size());
    summary->unpackedBytes += entry.size;
  }
  summary->skipped = std::move(skipped);
  return true;
}
