// mkpak: builds, lists, verifies and extracts the installer's data.pak, and makes and checks
// whole distribution folders.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "installer_version.h"
#include "package/pack_format.h"
#include "platform/dll_search.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "platform/profile.h"
#include "tools/dist_build.h"
#include "tools/dist_check.h"
#include "tools/one_file_check.h"
#include "tools/pack_reader_tools.h"
#include "tools/pack_writer.h"

namespace {

// Exit codes: 1 means the package has a fault; 2 means mkpak refused or could not do the work.
constexpr int kExitOk = 0;
constexpr int kExitFault = 1;
constexpr int kExitRefused = 2;

const char kUsage[] =
    "usage:\n"
    "  mkpak build SRC_DIR -o data.pak [-l LEVEL] [--ini setup.ini] [--uninstaller FILE]\n"
    "  mkpak list data.pak\n"
    "  mkpak verify data.pak\n"
    "  mkpak extract data.pak DEST_DIR\n"
    "  mkpak dist PAYLOAD -o DIST --ini setup.ini [--face BMP] [--template uninstall.ini]\n"
    "             [--uninstaller uninstall.exe] [--setup setup.exe]\n"
    "             [--sign-command \"COMMAND {}\"] [--one-file NAME.exe [--carrier FILE]]\n"
    "  mkpak check [--strict] [--ca-file CERTS] DIST|NAME.exe\n"
    "  mkpak --help\n"
    "  mkpak --version\n";

const char kHelp[] =
    "mkpak builds the package data.pak that setup.exe installs, and checks it.\n"
    "\n"
    "build SRC_DIR -o data.pak\n"
    "    One member per regular file below SRC_DIR, sorted by name; each member is a\n"
    "    one-file zip archive. Member names are the paths below SRC_DIR with backslashes.\n"
    "    The same input always gives the same bytes. Prints the member count, which is\n"
    "    the value setup.ini needs as [main] totalfiles.\n"
    "    -l LEVEL        deflate level 1-12 (libdeflate's; default 12, the smallest):\n"
    "                    1-9 trade speed for size as zlib's levels do, 10-12 are slower\n"
    "                    and smaller still; 0 stores the files uncompressed\n"
    "    --ini FILE      also set [main] totalfiles in FILE, keeping everything else in it\n"
    "    --uninstaller FILE\n"
    "                    pack FILE (uninstall.exe) as the member uninstall.exe, first of all,\n"
    "                    so that even an interrupted installation can be removed\n"
    "    Refused (exit status 2, nothing written): names of 260 bytes or more, names with\n"
    "    a character Windows forbids (< > : \" | ? * or control characters), reserved\n"
    "    device names (CON, NUL, COM1, ...), components ending in a dot or blank, files of\n"
    "    4 GiB or more, and unreadable files or folders. Links and other special files\n"
    "    are skipped with a warning.\n"
    "\n"
    "list data.pak\n"
    "    Each member's name, packed size (its zip archive) and unpacked size.\n"
    "\n"
    "verify data.pak\n"
    "    Unpacks every member as the installer would, in a temporary folder, checking\n"
    "    names, data and CRCs. Reports the first fault with its offset and name.\n"
    "\n"
    "extract data.pak DEST_DIR\n"
    "    Installs the files into DEST_DIR exactly as the installer's reader does.\n"
    "\n"
    "dist PAYLOAD -o DIST --ini setup.ini\n"
    "    Makes the distribution folder DIST: data.pak from PAYLOAD as build makes it,\n"
    "    the uninstaller first; setup.exe; setup.ini with [main] totalfiles set, and\n"
    "    needspace set to the unpacked megabytes when the file has none (every other\n"
    "    byte kept); and the picture and log template when given. Then checks DIST as\n"
    "    check does.\n"
    "    --face BMP      copied as face.bmp, the picture of the main dialog\n"
    "    --template FILE copied as uninstall.ini, the template of the uninstall log\n"
    "    --uninstaller FILE, --setup FILE\n"
    "                    default: uninstall.exe and setup.exe beside mkpak\n"
    "    --sign-command \"COMMAND {}\"\n"
    "                    signs copies of uninstall.exe (before it is packed) and setup.exe:\n"
    "                    COMMAND runs through sh -c (cmd.exe /c on Windows) with {} replaced\n"
    "                    by the copy's path, quoted; it must change the file in place and\n"
    "                    exit with status 0. Signed, the folder differs on every run.\n"
    "    --one-file NAME.exe\n"
    "                    also writes the whole folder as one program, NAME.exe: started,\n"
    "                    it unpacks the folder into a new temporary folder, runs setup.exe\n"
    "                    from there and removes it again. The folder travels as one solid\n"
    "                    xz stream, its data.pak with stored members; with --sign-command\n"
    "                    NAME.exe is signed last, after its payload is in place\n"
    "    --carrier FILE  the one-file program; default: onefile.exe beside mkpak\n"
    "    The folder is made beside DIST and renamed into place when complete. An existing\n"
    "    DIST is replaced only when it holds nothing but a distribution's files.\n"
    "\n"
    "check [--strict] [--ca-file CERTS] DIST|NAME.exe\n"
    "    Reads DIST as setup.exe will and reports errors (the installation would fail or\n"
    "    leave something broken; exit status 1) and warnings (exit status 0, or 1 with\n"
    "    --strict), each naming the file and key or member and what to change. Says for\n"
    "    setup.exe and the packed uninstall.exe whether each is signed and, where\n"
    "    osslsigncode is installed, whether the signature verifies; a program changed\n"
    "    after signing is an error.\n"
    "    Given a single file that mkpak dist --one-file made, checks its signature (which\n"
    "    must cover its payload) and its payload against the digest sealed into it, then\n"
    "    the folder it carries as above, each finding prefixed with the file's name.\n"
    "    --ca-file CERTS the certificates (PEM) to verify signatures against\n"
    "\n"
    "Exit status: 0 success; 1 the package or folder has a fault; 2 bad usage or the work\n"
    "was refused.\n";

// Paths as the user gave them, in the host's form.
std::string Shown(const std::string& path) {
  return platform::HostPath(path.c_str());
}

int Usage() {
  fputs(kUsage, stderr);
  return kExitRefused;
}

int Refuse(const std::string& message) {
  fprintf(stderr, "mkpak: %s\n", message.c_str());
  return kExitRefused;
}

int ReportFault(const std::string& pak, const PackFault& fault) {
  fprintf(stderr, "mkpak: %s: fault at offset %" PRIu64, Shown(pak).c_str(), fault.offset);
  if (!fault.name.empty())
    fprintf(stderr, " (member '%s')", fault.name.c_str());
  fprintf(stderr, ": %s\n", fault.what.c_str());
  return kExitFault;
}

// A single progress line on a terminal, refreshed in place; nothing when output is redirected.
void ShowProgress(size_t done, size_t total, uint64_t doneBytes, uint64_t totalBytes) {
  fprintf(stderr, "\rmkpak: %zu/%zu files, %" PRIu64 "/%" PRIu64 " MiB", done, total,
          doneBytes >> 20, totalBytes >> 20);
  if (done == total)
    fputs("\r\033[K", stderr);
  fflush(stderr);
}

bool ParseLevel(const char* text, int* level) {
  char* end = nullptr;
  long value = strtol(text, &end, 10);
  if (!*text || *end || value < kStoreLevel || value > kBestLevel)
    return false;
  *level = static_cast<int>(value);
  return true;
}

int Build(int argc, char** argv) {
  std::string source, out, ini;
  BuildOptions options;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "-o" && hasValue) {
      out = platform::InstallerPath(argv[++i]);
    } else if (arg == "-l" && hasValue) {
      if (!ParseLevel(argv[++i], &options.level))
        return Refuse("-l takes a level from 0 to 12");
    } else if (arg == "--ini" && hasValue) {
      ini = platform::InstallerPath(argv[++i]);
    } else if (arg == "--uninstaller" && hasValue) {
      options.uninstaller = platform::InstallerPath(argv[++i]);
    } else if (source.empty() && arg[0] != '-') {
      source = platform::InstallerPath(argv[i]);
    } else {
      return Usage();
    }
  }
  if (source.empty() || out.empty())
    return Usage();
  if (platform::StderrIsTerminal())
    options.progress = ShowProgress;

  BuildSummary summary;
  std::string error;
  if (!BuildPack(source, out, options, &summary, &error))
    return Refuse(error);
  for (const std::string& name : summary.skipped)
    fprintf(stderr, "mkpak: warning: skipped '%s': not a regular file\n", name.c_str());
  if (summary.members == 0)
    fprintf(stderr, "mkpak: warning: %s is empty\n", Shown(source).c_str());
  printf("%s: %zu members, %" PRIu64 " bytes\n", Shown(out).c_str(), summary.members,
         summary.bytes);
  if (summary.longestName > 0) {
    // The installer writes each file to location + "\" + name, a path that must fit in
    // kMaxPathChars, and takes no location shorter than 3 characters ("C:\").
    long room = static_cast<long>(kMaxPathChars) - 1L - static_cast<long>(summary.longestName);
    printf("longest member name: %zu bytes; install folders of up to %ld characters fit\n",
           summary.longestName, room);
    if (room < 3)
      fprintf(stderr, "mkpak: warning: no install folder leaves room for the longest name\n");
  }
  printf("totalfiles=%zu\n", summary.members);
  if (!ini.empty()) {
    std::string count = std::to_string(summary.members);
    if (!WriteProfileString("main", "totalfiles", count.c_str(), ini.c_str()))
      return Refuse("cannot write totalfiles into " + Shown(ini) + ": " +
                    platform::ErrorText(platform::LastError()));
    printf("%s: [main] totalfiles=%zu\n", Shown(ini).c_str(), summary.members);
  }
  return kExitOk;
}

// A package that cannot be opened at all is a refusal (status 2), not a fault in it.
bool CanOpen(const std::string& pak) {
  platform::CFile file;
  if (file.Open(pak.c_str(), "rb"))
    return true;
  fprintf(stderr, "mkpak: cannot open %s: %s\n", Shown(pak).c_str(),
          platform::ErrorText(platform::LastError()).c_str());
  return false;
}

int List(const std::string& pak) {
  if (!CanOpen(pak))
    return kExitRefused;
  PackFault fault;
  size_t count = 0;
  bool ok = ListPack(
      pak,
      [&](const MemberListing& member) {
        ++count;
        if (member.unpackedSize < 0)
          printf("%10s %10" PRIu32 "  %s\n", "?", member.packedSize, member.name.c_str());
        else
          printf("%10" PRId64 " %10" PRIu32 "  %s\n", member.unpackedSize, member.packedSize,
                 member.name.c_str());
      },
      &fault);
  if (!ok)
    return ReportFault(pak, fault);
  printf("%zu members\n", count);
  return kExitOk;
}

int Verify(const std::string& pak) {
  if (!CanOpen(pak))
    return kExitRefused;
  PackFault fault;
  size_t members = 0;
  if (!VerifyPack(pak, &members, &fault))
    return ReportFault(pak, fault);
  printf("%s: %zu members, all intact\n", Shown(pak).c_str(), members);
  return kExitOk;
}

int Extract(const std::string& pak, const std::string& dest) {
  if (!CanOpen(pak))
    return kExitRefused;
  PackFault fault;
  size_t members = 0;
  bool ok = ExtractPack(
      pak, dest, true, [](const std::string& path) { printf("%s\n", Shown(path).c_str()); },
      &members, &fault);
  if (!ok)
    return ReportFault(pak, fault);
  printf("%zu files extracted into %s\n", members, Shown(dest).c_str());
  return kExitOk;
}

int Report(const DistReport& report, bool strict) {
  for (const DistFinding& finding : report.findings)
    printf("%s: %s\n",
           finding.error  ? "error"
           : finding.info ? "info"
                          : "warning",
           finding.text.c_str());
  printf("mkpak check: %zu error%s, %zu warning%s\n", report.errors, report.errors == 1 ? "" : "s",
         report.warnings, report.warnings == 1 ? "" : "s");
  return report.errors > 0 || (strict && report.warnings > 0) ? kExitFault : kExitOk;
}

// A folder, or the single file that carries one.
int CheckFolder(const std::string& folder, bool strict,
                const CheckOptions& options = CheckOptions()) {
  DistReport report;
  std::string error;
  bool read = platform::FileExists(folder.c_str())
                  ? CheckOneFile(folder, &report, &error, options)
                  : CheckDistribution(folder, &report, &error, options);
  if (!read)
    return Refuse(error);
  return Report(report, strict);
}

int Check(int argc, char** argv) {
  bool strict = false;
  CheckOptions options;
  std::string folder;
  for (int i = 0; i < argc; ++i) {
    if (strcmp(argv[i], "--strict") == 0)
      strict = true;
    else if (strcmp(argv[i], "--ca-file") == 0 && i + 1 < argc)
      options.caFile = platform::InstallerPath(argv[++i]);
    else if (folder.empty() && argv[i][0] != '-')
      folder = platform::InstallerPath(argv[i]);
    else
      return Usage();
  }
  if (folder.empty())
    return Usage();
  if (!options.caFile.empty() && !platform::FileExists(options.caFile.c_str()))
    return Refuse("cannot read the CA file " + Shown(options.caFile));
  return CheckFolder(folder, strict, options);
}

int Dist(int argc, char** argv) {
  DistInputs inputs;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    std::string* value = arg == "-o"              ? &inputs.out
                         : arg == "--ini"         ? &inputs.ini
                         : arg == "--face"        ? &inputs.face
                         : arg == "--template"    ? &inputs.uninstallTemplate
                         : arg == "--uninstaller" ? &inputs.uninstaller
                         : arg == "--setup"       ? &inputs.setup
                         : arg == "--one-file"    ? &inputs.oneFile
                         : arg == "--carrier"     ? &inputs.carrier
                                                  : nullptr;
    if (arg == "--sign-command" && i + 1 < argc)
      inputs.signCommand = argv[++i];  // the publisher's own words, not a path
    else if (value && i + 1 < argc)
      *value = platform::InstallerPath(argv[++i]);
    else if (!value && inputs.payload.empty() && arg[0] != '-')
      inputs.payload = platform::InstallerPath(argv[i]);
    else
      return Usage();
  }
  if (inputs.payload.empty() || inputs.out.empty() || inputs.ini.empty())
    return Usage();

  DistSummary summary;
  std::string error;
  if (!BuildDistribution(inputs, &summary, &error))
    return Refuse(error);
  for (const std::string& name : summary.pack.skipped)
    fprintf(stderr, "mkpak: warning: skipped '%s': not a regular file\n", name.c_str());
  printf("%s: data.pak of %zu members, %" PRIu64 " bytes; setup.ini: totalfiles=%zu",
         Shown(inputs.out).c_str(), summary.pack.members, summary.pack.bytes, summary.pack.members);
  if (summary.needspace >= 0)
    printf(", needspace=%lld", summary.needspace);
  printf("\n");
  if (summary.oneFileBytes > 0)
    printf("%s: %" PRIu64 " bytes\n", Shown(inputs.oneFile).c_str(), summary.oneFileBytes);
  int status = CheckFolder(inputs.out, false);
  if (summary.oneFileBytes > 0 && status == kExitOk)
    status = CheckFolder(inputs.oneFile, false);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  platform::RestrictDllSearch();
  if (argc < 2)
    return Usage();
  std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    fputs(kHelp, stdout);
    return kExitOk;
  }
  if (command == "--version") {
    printf("mkpak %s\n", INSTALLER_VERSION);
    return kExitOk;
  }
  if (command == "build")
    return Build(argc - 2, argv + 2);
  if (command == "dist")
    return Dist(argc - 2, argv + 2);
  if (command == "check")
    return Check(argc - 2, argv + 2);
  if (command == "list" && argc == 3)
    return List(platform::InstallerPath(argv[2]));
  if (command == "verify" && argc == 3)
    return Verify(platform::InstallerPath(argv[2]));
  if (command == "extract" && argc == 4)
    return Extract(platform::InstallerPath(argv[2]), platform::InstallerPath(argv[3]));
  return Usage();
}
