#include "tools/pack_writer.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "package/member_name.h"
#include "package/pack_format.h"
#include "platform/file.h"
#include "platform/fs.h"

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

bool FailWith(std::string* error, const std::string& message) {
  *error = message;
  return false;
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

}  // namespace

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

bool AppendPackMember(FILE* pak, const std::string& name, FILE* source, int level,
                      std::string* error) {
  if (CheckMemberName(name.data(), name.size()) != NameCheck::kOk)
    return FailWith(error, "member name " + Quote(name) + " is not acceptable");
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
  int method = level == 0 ? 0 : Z_DEFLATED;
  bool ok = zipOpenNewFileInZip64(zip, zipName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                  method, level, 0) == ZIP_OK;
  char buffer[65536];
  size_t n = 0;
  while (ok && (n = fread(buffer, 1, sizeof buffer, source)) > 0) {
    ok = zipWriteInFileInZip(zip, buffer, static_cast<unsigned>(n)) == ZIP_OK;
  }
  bool readFailed = ferror(source) != 0;
  ok = zipCloseFileInZip(zip) == ZIP_OK && ok;
  ok = zipClose(zip, nullptr) == ZIP_OK && ok;
  if (readFailed)
    return FailWith(error, "cannot read " + Quote(name));
  if (!ok)
    return FailWith(error,
                    "cannot write the package: " + platform::ErrorText(platform::LastError()));

  int64_t end = platform::TellFile(pak);
  uint64_t dataSize = static_cast<uint64_t>(end - member.base);
  if (end < 0 || dataSize > kMaxMemberBytes)
    return FailWith(error, "the archive of " + Quote(name) + " is 4 GiB or larger");
  unsigned char size[4];
  WriteLittleEndian32(size, static_cast<uint32_t>(dataSize));
  if (!platform::SeekFile(pak, headerAt + static_cast<int64_t>(kPackDataSizeOffset), SEEK_SET) ||
      fwrite(size, 1, 4, pak) != 4 || !platform::SeekFile(pak, end, SEEK_SET))
    return FailWith(error,
                    "cannot write the package: " + platform::ErrorText(platform::LastError()));
  return true;
}

namespace {

bool WriteMembers(FILE* pak, const std::vector<PackEntry>& entries, const BuildOptions& options,
                  std::string* error) {
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
    if (!AppendPackMember(pak, entry.name, source.Get(), options.level, error))
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
  if (options.level < 0 || options.level > 9)
    return FailWith(error, "compression level must be 0 to 9");
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
