#include "tools/dist_check.h"

#include <set>

#include "package/member_name.h"
#include "platform/fs.h"
#include "platform/path_text.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/profile_parse.h"
#include "platform/profile_text.h"
#include "tools/file_probes.h"
#include "tools/pack_reader_tools.h"
#include "tools/pack_writer.h"
#include "tools/signing.h"

const char* const kDistFiles[5] = {"setup.exe", "setup.ini", "data.pak", "uninstall.ini",
                                   "face.bmp"};

namespace {

// The main dialog's picture control is 256 x 93 dialog units (res/setup.rc). In the dialog's
// font, MS Sans Serif 8 at 96 DPI, the base units are 6 x 13 pixels, and a dialog unit is a
// quarter of the base width and an eighth of the base height: 256 * 6 / 4 = 384 and
// 93 * 13 / 8 = 151 pixels. setup.exe is DPI-aware, so at a higher DPI the dialog only grows,
// while the bitmap is always shown at its own size.
struct PictureArea {
  long width;
  long height;
};
constexpr PictureArea kPictureArea = {384, 151};

// The installer reads string values through 260-byte buffers: 259 characters are used.
constexpr uint32_t kValueBuffer = 260;
constexpr uint32_t kWholeValue = 1u << 16;
constexpr uint64_t kMegabyte = 1u << 20;

char FoldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Folded(std::string text) {
  for (char& c : text)
    c = FoldAscii(c);
  return text;
}

// The key names of section's first occurrence, as the installer's lookups see them.
std::vector<std::string> SectionKeys(const std::string& ini, const char* section) {
  std::vector<std::string> keys;
  std::string bytes;
  if (!platform::ReadWholeFile(ini.c_str(), "rb", &bytes))
    return keys;
  std::vector<profile::Entry> entries = profile::ParseEntries(profile::DecodeUnits(bytes));
  profile::Section found;
  if (!profile::FindSection(entries, profile::Trimmed(profile::AnsiToUnits(section)), &found))
    return keys;
  for (size_t i = found.first; i < found.last; ++i) {
    std::string name;
    for (char16_t unit : entries[i].name)
      name += profile::UnitToAnsi(unit);
    keys.push_back(name);
  }
  return keys;
}

// "item12Desc" and the like: the item's number, and whether the installer ever reads the key
// by that spelling (plain decimal without a leading zero, as it formats the number).
bool ParseItemKey(const std::string& key, long long* item, bool* readable) {
  std::string folded = Folded(key);
  if (folded.compare(0, 4, "item") != 0)
    return false;
  size_t end = 4;
  long long number = 0;
  for (; end < folded.size() && folded[end] >= '0' && folded[end] <= '9'; ++end) {
    if (number <= 0x7fffffff)
      number = number * 10 + (folded[end] - '0');
  }
  std::string field = folded.substr(end);
  if (end == 4 || (field != "filename" && field != "desc" && field != "desktop"))
    return false;
  *item = number;
  *readable = (end == 5 || folded[4] != '0') && number <= 0x7fffffff;
  return true;
}

// On Chinese, Japanese or Korean Windows a lead byte takes the byte after it as the second half
// of one character, so a '\' or ASCII letter there is no longer itself. mkpak knows no target
// code page, so any of the four counts.
bool ReadsDifferentlyWithTwoByteCharacters(const std::string& name) {
  const unsigned codePages[] = {932, 936, 949, 950};
  for (size_t i = 0; i + 1 < name.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(name[i]);
    char next = name[i + 1];
    bool taken = next == '\\' || (next >= 'A' && next <= 'Z') || (next >= 'a' && next <= 'z');
    if (byte < 0x80 || !taken)
      continue;
    for (unsigned codePage : codePages) {
      if (platform::IsLeadByteIn(codePage, byte))
        return true;
    }
  }
  return false;
}

std::string ItemKey(long long item, const char* field) {
  return "item" + std::to_string(item) + field;
}

class CDistCheck {
 public:
  CDistCheck(const std::string& folder, const CheckOptions& options, DistReport* report)
      : m_folder(folder), m_options(options), m_report(report), m_ini(Path("setup.ini")) {}

  void Run() {
    CheckSetupExe();
    CheckPackage();
    CheckMain();
    CheckShortcuts();
    CheckTemplate();
    CheckFace();
  }

 private:
  std::string Path(const char* name) const { return m_folder + "\\" + name; }

  void Error(const std::string& text) { m_report->Error(text); }
  void Warn(const std::string& text) { m_report->Warn(text); }
  void Info(const std::string& text) { m_report->Info(text); }
  void CheckSignature(const std::string& name, const std::string& path, const std::string& bytes) {
    CheckProgramSignature(name, path, bytes, m_options, m_report);
  }

  void CheckSetupExe() {
    std::string path = Path("setup.exe");
    std::string bytes;
    if (!platform::FileExists(path.c_str())) {
      Error("setup.exe: missing; put the 32-bit setup.exe into the folder");
    } else if (!platform::ReadWholeFile(path.c_str(), "rb", &bytes)) {
      Error("setup.exe: cannot be read: " + platform::ErrorText(platform::LastError()));
    } else {
      std::string why = WhyNotI686Program(bytes);
      if (!why.empty())
        Error("setup.exe: " + why + "; use the 32-bit setup.exe");
      else
        CheckSignature("setup.exe", path, bytes);
    }
  }

  void CheckPackage() {
    std::string pak = Path("data.pak");
    if (!platform::FileExists(pak.c_str())) {
      Error("data.pak: missing; build it from the payload with mkpak dist or mkpak build");
      return;
    }
    PackFault fault;
    size_t members = 0;
    auto name = [this](const MemberListing& member) { m_members.push_back(member.name); };
    // The uninstaller as the installer will unpack it, checked while it lies unpacked.
    size_t unpacked = 0;
    auto signature = [this, &unpacked](const std::string& path) {
      std::string bytes;
      if (unpacked++ == 0 && IsUninstallerMember(m_members[0]) &&
          platform::ReadWholeFile(path.c_str(), "rb", &bytes))
        CheckSignature("data.pak: " + m_members[0], path, bytes);
    };
    if (!ListPack(pak, name, &fault) ||
        !VerifyPack(pak, &members, &fault, &m_unpackedBytes, signature)) {
      std::string where = fault.name.empty() ? "" : " (member '" + fault.name + "')";
      Error("data.pak: fault at offset " + std::to_string(fault.offset) + where + ": " +
            fault.what + "; build it anew with mkpak");
      m_members.clear();
      return;
    }
    m_bPackageRead = true;
    bool uninstaller = false;
    for (size_t i = 0; i < m_members.size(); ++i) {
      if (!IsUninstallerMember(m_members[i]))
        continue;
      uninstaller = true;
      if (i > 0)
        Error("data.pak: " + m_members[i] + " is member " + std::to_string(i + 1) +
              ", not the first, so an installation stopped before it cannot be removed; leave "
              "it out of the payload and pack it with --uninstaller");
    }
    for (const std::string& member : m_members) {
      if (ReadsDifferentlyWithTwoByteCharacters(member))
        Warn("data.pak: member '" + member +
             "' has a byte of 0x80 or above before a backslash or ASCII letter, so on Chinese, "
             "Japanese or Korean Windows the name reads differently (the two make one "
             "character); use ASCII names");
    }
    if (!uninstaller)
      Warn(
          "data.pak: holds no uninstall.exe, so the installation cannot be removed; pack it "
          "with --uninstaller");
  }

  // A value longer than the installer's buffer is cut.
  void CheckLength(const char* section, const std::string& key,
                   const CProfileSectionReader& values) {
    std::string value;
    if (values.Read(key.c_str(), &value, kWholeValue) && value.size() >= kValueBuffer)
      Warn("setup.ini: [" + std::string(section) + "] " + key + " is " +
           std::to_string(value.size()) + " characters long; the installer reads only the first " +
           std::to_string(kValueBuffer - 1) + ", so shorten it");
  }

  void CheckMain() {
    if (!platform::FileExists(m_ini.c_str()))
      Warn(
          "setup.ini: missing; every key takes its default (no caption, no proposed folder, "
          "no shortcuts); write one");
    m_main.Load(m_ini.c_str(), "main");
    m_shortcut.Load(m_ini.c_str(), "shortcut");
    CheckLength("main", "title", m_main);
    CheckLength("main", "location", m_main);
    if (!m_bPackageRead)
      return;
    long long members = static_cast<long long>(m_members.size());
    long long total = ReadProfileInt("main", "totalfiles", 0, m_ini.c_str());
    if (total != members)
      Warn("setup.ini: [main] totalfiles=" + std::to_string(total) + ", but data.pak holds " +
           std::to_string(members) + " members, so the progress bar would " +
           (total < members ? "wrap" : "stop short") +
           "; set totalfiles=" + std::to_string(members));
    long long needed = static_cast<long long>((m_unpackedBytes + kMegabyte - 1) / kMegabyte);
    long long space = ReadProfileInt("main", "needspace", 0, m_ini.c_str());
    if (space < needed)
      Warn("setup.ini: [main] needspace=" + std::to_string(space) + ", but the files take " +
           std::to_string(needed) + " MB unpacked, so a drive without room for them passes; " +
           "set needspace=" + std::to_string(needed) + " or more");
  }

  // The rule the installer applies to the group and each description, and the one level of
  // folders it makes: a name with a backslash only works where its folders already exist.
  void CheckLinkName(const std::string& key, const std::string& name, const char* what) {
    NameCheck check = CheckShortcutName(name.data(), name.size());
    if (check != NameCheck::kOk)
      Error("setup.ini: [shortcut] " + key + "=" + name + " " + DescribeNameCheck(check) +
            ", so the installer makes no " + what +
            " and reports problems at create shortcut; choose a plain name");
    else if (name.find('\\') != std::string::npos)
      Error("setup.ini: [shortcut] " + key + "=" + name + " holds a backslash, but the " +
            "installer makes no folder for the " + what +
            " to go in, so the user would see problems at create shortcut; choose a plain name");
  }

  // A shortcut's target is the installation folder joined with the name; it exists when the
  // name is a member, or a folder that holds one.
  bool NamesMember(const std::string& target) const {
    std::string wanted = Folded(target);
    for (char& c : wanted) {
      if (c == '/')
        c = '\\';
    }
    for (const std::string& member : m_members) {
      std::string folded = Folded(member);
      if (folded == wanted || folded.compare(0, wanted.size() + 1, wanted + "\\") == 0)
        return true;
    }
    return false;
  }

  void CheckShortcuts() {
    std::string group;
    if (!m_shortcut.Read("group", &group, kValueBuffer))
      group = "default group";
    CheckLength("shortcut", "group", m_shortcut);
    CheckLinkName("group", group, "program group");

    long long items = ReadProfileInt("shortcut", "itemnum", 0, m_ini.c_str());
    std::set<long long> configured;
    std::set<std::string> reported;
    for (const std::string& key : SectionKeys(m_ini, "shortcut")) {
      long long item = 0;
      bool readable = false;
      if (!ParseItemKey(key, &item, &readable))
        continue;
      if (readable && item < items) {
        configured.insert(item);
      } else if (!readable) {
        Warn("setup.ini: [shortcut] " + key +
             " is never read: item numbers are plain decimal without leading zeros; rename it");
      } else if (reported.insert(ItemKey(item, "")).second) {
        Warn("setup.ini: [shortcut] " + key +
             " is never read, as itemnum=" + std::to_string(items) + "; raise itemnum to " +
             std::to_string(item + 1) + " or remove the keys of item " + std::to_string(item));
      }
    }
    long long missing = items > 0 ? items - static_cast<long long>(configured.size()) : 0;
    if (missing > 0) {
      long long first = 0;
      while (configured.count(first))
        ++first;
      Warn("setup.ini: [shortcut] itemnum=" + std::to_string(items) + ", but item " +
           std::to_string(first) + " has no keys" +
           (missing > 1 ? " (nor have " + std::to_string(missing - 1) + " more)" : "") +
           ", so the installer would make a shortcut 'desc' to 'item' for each; lower itemnum "
           "or add " +
           ItemKey(first, "FileName") + " and " + ItemKey(first, "Desc"));
    }
    for (long long item : configured)
      CheckItem(item);
  }

  void CheckItem(long long item) {
    std::string fileKey = ItemKey(item, "FileName");
    std::string descKey = ItemKey(item, "Desc");
    CheckLength("shortcut", fileKey, m_shortcut);
    CheckLength("shortcut", descKey, m_shortcut);
    std::string file;
    bool named = m_shortcut.Read(fileKey.c_str(), &file, kValueBuffer);
    if (m_bPackageRead && !NamesMember(named ? file : "item")) {
      if (named)
        Error("setup.ini: [shortcut] " + fileKey + "=" + file +
              " names no member of data.pak; add the file to the payload or correct the name");
      else
        Error("setup.ini: [shortcut] " + fileKey +
              " is missing, so the shortcut would point at 'item', which data.pak does not "
              "hold; add " +
              fileKey);
    }
    std::string desc;
    if (!m_shortcut.Read(descKey.c_str(), &desc, kValueBuffer))
      desc = "desc";
    CheckLinkName(descKey, desc, "shortcut");
  }

  void CheckTemplate() {
    if (!platform::FileExists(Path("uninstall.ini").c_str()))
      Warn(
          "uninstall.ini: missing, so the uninstall log starts without the product's name "
          "and the uninstaller names the folder instead; add the log template");
  }

  void CheckFace() {
    std::string path = Path("face.bmp");
    std::string bytes;
    std::string size = std::to_string(kPictureArea.width) + " x " +
                       std::to_string(kPictureArea.height) + " pixels";
    if (!platform::FileExists(path.c_str())) {
      Warn("face.bmp: missing, so the main dialog shows no picture; add a BMP of up to " + size);
      return;
    }
    if (!platform::ReadWholeFile(path.c_str(), "rb", &bytes)) {
      Warn("face.bmp: cannot be read: " + platform::ErrorText(platform::LastError()));
      return;
    }
    BitmapProbe probe = ProbeBitmap(bytes);
    if (!probe.whyNot.empty()) {
      Warn("face.bmp: " + probe.whyNot +
           ", so the main dialog would show no picture; save it as an uncompressed BMP");
    } else if (probe.width > kPictureArea.width || probe.height > kPictureArea.height) {
      Warn("face.bmp: " + std::to_string(probe.width) + " x " + std::to_string(probe.height) +
           " pixels is larger than the main dialog's " + size +
           " for it, so it would cover the dialog's controls; scale it down");
    }
  }

  std::string m_folder;
  CheckOptions m_options;
  DistReport* m_report;
  std::string m_ini;
  bool m_bPackageRead = false;
  std::vector<std::string> m_members;
  uint64_t m_unpackedBytes = 0;
  CProfileSectionReader m_main;
  CProfileSectionReader m_shortcut;
};

}  // namespace

bool CheckDistribution(const std::string& folder, DistReport* report, std::string* error,
                       const CheckOptions& options) {
  *report = DistReport();
  if (!platform::FolderExists(folder.c_str())) {
    *error = "cannot read folder '" + platform::HostPath(folder.c_str()) + "'";
    return false;
  }
  CDistCheck(folder, options, report).Run();
  return true;
}
