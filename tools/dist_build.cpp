#include "tools/dist_build.h"

#include <cctype>
#include <vector>

#include "platform/file.h"
#include "platform/fs.h"
#include "platform/profile.h"
#include "platform/profile_edit.h"
#include "platform/setup_config.h"
#include "tools/dist_check.h"
#include "tools/one_file_build.h"
#include "tools/scratch_folder.h"
#include "tools/signing.h"
#include "tools/tool_error.h"

namespace {

constexpr uint64_t kMegabyte = 1u << 20;

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// A distribution's files, and the partial files of one whose making was cut off.
bool IsDistFile(const std::string& name) {
  for (const char* file : kDistFiles) {
    for (const char* suffix : {"", ".part", ".tmp"}) {
      if (SameIgnoringCase(name, std::string(file) + suffix))
        return true;
    }
  }
  return false;
}

// What may be replaced: nothing there, or a folder of a distribution's files only.
bool MayReplace(const std::string& path, std::string* error) {
  if (platform::FileExists(path.c_str()) || platform::IsLink(path.c_str()))
    return FailWith(error, Quoted(path) + " is in the way; remove it or choose another folder");
  if (!platform::FolderExists(path.c_str()))
    return true;
  std::vector<platform::FolderEntry> entries;
  if (!platform::ListFolder(path.c_str(), &entries))
    return FailWith(error, "cannot read " + Quoted(path) + ": " + Reason());
  for (const platform::FolderEntry& entry : entries) {
    if (!entry.regular || !IsDistFile(entry.name))
      return FailWith(error, Quoted(path) + " holds '" + entry.name +
                                 "', which no distribution holds; choose a new or empty folder");
  }
  return true;
}

// The folder being made, removed unless it was moved into place.
class CPartialFolder {
 public:
  explicit CPartialFolder(const std::string& path) : m_path(path) {}
  ~CPartialFolder() {
    if (m_bCreated)
      platform::RemoveTree(m_path.c_str());
  }
  bool Create() { return m_bCreated = platform::CreateFolder(m_path.c_str()); }
  void Placed() { m_bCreated = false; }
  std::string Join(const char* name) const { return m_path + "\\" + name; }
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
  bool m_bCreated = false;
};

bool CopyInto(const std::string& from, const CPartialFolder& folder, const char* name,
              std::string* error) {
  if (!platform::CopyFileReplacing(from.c_str(), folder.Join(name).c_str()))
    return FailWith(error, "cannot copy " + Quoted(from) + ": " + Reason());
  return true;
}

// setup.ini as given, with totalfiles set and needspace added when it has none; every other
// byte stays as it was.
bool WriteSetupIni(const std::string& ini, const std::string& out, size_t members,
                   uint64_t unpackedBytes, long long* needspace, std::string* error) {
  std::string bytes;
  if (!platform::ReadWholeFile(ini.c_str(), "rb", &bytes))
    return FailWith(error, "cannot read " + Quoted(ini) + ": " + Reason());
  CProfileSection layout;
  ProfileEdit edit;
  if (!layout.Parse(bytes, "main") ||
      !layout.Plan("totalfiles", std::to_string(members).c_str(), &edit))
    return FailWith(error, "cannot edit " + Quoted(ini) + ": it is not a profile file");
  bytes.replace(edit.begin, edit.end - edit.begin, edit.bytes);
  layout.Take(edit);
  CProfileSectionReader main;
  std::string value;
  *needspace = -1;
  if (!main.Load(ini.c_str(), "main") || !main.Read("needspace", &value)) {
    *needspace = static_cast<long long>((unpackedBytes + kMegabyte - 1) / kMegabyte);
    if (!layout.Plan("needspace", std::to_string(*needspace).c_str(), &edit))
      return FailWith(error, "cannot edit " + Quoted(ini) + ": it is not a profile file");
    bytes.replace(edit.begin, edit.end - edit.begin, edit.bytes);
  }
  if (!platform::WriteFileReplacing(out.c_str(), bytes))
    return FailWith(error, "cannot write " + Quoted(out) + ": " + Reason());
  return true;
}

// Moves the finished folder to out; an earlier distribution there goes only once the new one
// has taken its place.
bool PlaceFolder(CPartialFolder* made, const std::string& out, std::string* error) {
  std::string old = out + ".old";
  bool replacing = platform::FolderExists(out.c_str());
  if (replacing && !platform::RenameReplacing(out.c_str(), old.c_str()))
    return FailWith(error, "cannot move " + Quoted(out) + " aside: " + Reason());
  if (!platform::RenameReplacing(made->Path().c_str(), out.c_str())) {
    std::string reason = Reason();
    if (replacing)
      platform::RenameReplacing(old.c_str(), out.c_str());
    return FailWith(error,
                    "cannot rename " + Quoted(made->Path()) + " to " + Quoted(out) + ": " + reason);
  }
  made->Placed();
  if (replacing)
    platform::RemoveTree(old.c_str());
  return true;
}

// Windows compares names without regard to ASCII case.
std::string FoldedAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// True when path is folder or lies below it.
bool LiesInside(const std::string& path, const std::string& folder) {
  return FoldedAscii(path + "\\").compare(0, folder.size() + 1, FoldedAscii(folder + "\\")) == 0;
}

bool NeedFile(const std::string& path, const char* what, std::string* error) {
  if (!path.empty() && !platform::FileExists(path.c_str()))
    return FailWith(error, "cannot read the " + std::string(what) + " " + Quoted(path));
  return true;
}

}  // namespace

bool BuildDistribution(const DistInputs& given, DistSummary* summary, std::string* error) {
  DistInputs inputs = given;
  // "dist\" names the same folder as "dist", and the partial folder must lie beside it.
  while (inputs.out.size() > 1 && inputs.out.back() == '\\')
    inputs.out.pop_back();
  // A folder inside the payload would be packed into its own data.pak while being written.
  std::string payload = inputs.payload;
  while (payload.size() > 1 && payload.back() == '\\')
    payload.pop_back();
  if (LiesInside(inputs.out, payload))
    return FailWith(error, Quoted(inputs.out) + " lies inside the payload " + Quoted(payload) +
                               "; choose a folder outside it");
  if (!inputs.oneFile.empty() &&
      (LiesInside(inputs.oneFile, payload) || LiesInside(inputs.oneFile, inputs.out)))
    return FailWith(error, "--one-file " + Quoted(inputs.oneFile) +
                               " lies inside the payload or the distribution folder; choose a "
                               "path outside both");
  if (!inputs.oneFile.empty() &&
      (platform::FolderExists(inputs.oneFile.c_str()) || platform::IsLink(inputs.oneFile.c_str())))
    return FailWith(error,
                    "--one-file " + Quoted(inputs.oneFile) + " is in the way; choose a file");
  std::string beside = GetModuleDir().str();
  if (inputs.setup.empty()) {
    inputs.setup = beside + "setup.exe";
    if (!platform::FileExists(inputs.setup.c_str()))
      return FailWith(
          error, "no setup.exe beside mkpak (" + Quoted(inputs.setup) + "); give one with --setup");
  }
  if (!inputs.oneFile.empty() && inputs.carrier.empty()) {
    inputs.carrier = beside + "onefile.exe";
    if (!platform::FileExists(inputs.carrier.c_str()))
      return FailWith(error, "no onefile.exe beside mkpak (" + Quoted(inputs.carrier) +
                                 "); give one with --carrier");
  }
  if (inputs.uninstaller.empty() && platform::FileExists((beside + "uninstall.exe").c_str()))
    inputs.uninstaller = beside + "uninstall.exe";
  if (!inputs.signCommand.empty() && inputs.signCommand.find("{}") == std::string::npos)
    return FailWith(error, "--sign-command '" + inputs.signCommand +
                               "' holds no {} where the program's path goes");
  if (!NeedFile(inputs.ini, "setup.ini", error) || !NeedFile(inputs.setup, "setup.exe", error) ||
      !NeedFile(inputs.face, "picture", error) ||
      !NeedFile(inputs.uninstallTemplate, "log template", error) ||
      !NeedFile(inputs.carrier, "one-file program", error))
    return false;
  CPartialFolder made(inputs.out + ".part");
  if (!MayReplace(inputs.out, error) || !MayReplace(inputs.out + ".old", error) ||
      !MayReplace(made.Path(), error))
    return false;
  platform::RemoveTree((inputs.out + ".old").c_str());
  platform::RemoveTree(made.Path().c_str());
  if (!made.Create())
    return FailWith(error, "cannot create " + Quoted(made.Path()) + ": " + Reason());

  *summary = DistSummary();
  summary->uninstaller = inputs.uninstaller;
  BuildOptions options;
  options.uninstaller = inputs.uninstaller;
  // The programs are signed as copies, never the files given: the uninstaller in a folder of
  // its own before it is packed, setup.exe once it lies in the folder being made, and the single
  // file last, once it carries the whole folder.
  bool signing = !inputs.signCommand.empty();
  bool oneFile = !inputs.oneFile.empty();
  CScratchFolder scratch;
  if ((signing || oneFile) && !scratch.Create())
    return FailWith(error, "cannot create a temporary folder: " + Reason());
  if (signing && !inputs.uninstaller.empty()) {
    options.uninstaller = scratch.Join("uninstall.exe");
    if (!platform::CopyFileReplacing(inputs.uninstaller.c_str(), options.uninstaller.c_str()))
      return FailWith(error, "cannot copy " + Quoted(inputs.uninstaller) + ": " + Reason());
    if (!SignCopy(inputs.signCommand, "uninstall.exe", options.uninstaller, error))
      return false;
  }
  if (!BuildPack(inputs.payload, made.Join("data.pak"), options, &summary->pack, error) ||
      !CopyInto(inputs.setup, made, "setup.exe", error) ||
      (signing && !SignCopy(inputs.signCommand, "setup.exe", made.Join("setup.exe"), error)) ||
      (!inputs.face.empty() && !CopyInto(inputs.face, made, "face.bmp", error)) ||
      (!inputs.uninstallTemplate.empty() &&
       !CopyInto(inputs.uninstallTemplate, made, "uninstall.ini", error)) ||
      !WriteSetupIni(inputs.ini, made.Join("setup.ini"), summary->pack.members,
                     summary->pack.unpackedBytes, &summary->needspace, error))
    return false;
  if (oneFile) {
    // The single file carries data.pak with its members stored: the solid stream compresses
    // them together far better than each member alone.
    BuildOptions stored = options;
    stored.level = kStoreLevel;
    stored.progress = nullptr;
    BuildSummary storedSummary;
    OneFileInputs one;
    one.carrier = inputs.carrier;
    one.folder = made.Path();
    one.storedPak = scratch.Join("data.pak");
    one.out = inputs.oneFile;
    one.signCommand = inputs.signCommand;
    if (!BuildPack(inputs.payload, one.storedPak, stored, &storedSummary, error) ||
        !BuildOneFile(one, &summary->oneFileBytes, error))
      return false;
  }
  if (PlaceFolder(&made, inputs.out, error))
    return true;
  // Nothing half done: the single file goes with the folder that failed.
  if (oneFile)
    platform::RemoveFile(inputs.oneFile.c_str());
  return false;
}
