// The shortcut writer against the system's own shell link object, in scratch folders; each link
// is read back through a fresh object, as the shell would.
#include "shell/shell_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/unit/test_support.h"

namespace {

struct LinkSettings {
  std::string path, workingFolder, iconFile, description, arguments;
  int iconIndex = -1;
  WORD hotKey = 0xFFFF;
  int showCmd = -1;
};

bool LoadLink(const std::string& file, LinkSettings* out) {
  CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  IPersistFile* persist = nullptr;
  WCHAR wide[MAX_PATH];
  bool ok = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IShellLinkA, reinterpret_cast<void**>(&link))) &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
            MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH) != 0 &&
            SUCCEEDED(persist->Load(wide, STGM_READ));
  if (ok) {
    char text[5][MAX_PATH] = {};
    link->GetPath(text[0], MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetWorkingDirectory(text[1], MAX_PATH);
    link->GetIconLocation(text[2], MAX_PATH, &out->iconIndex);
    link->GetDescription(text[3], MAX_PATH);
    link->GetArguments(text[4], MAX_PATH);
    link->GetHotkey(&out->hotKey);
    out->path = text[0];
    out->workingFolder = text[1];
    out->iconFile = text[2];
    out->description = text[3];
    out->arguments = text[4];
    // Wine's Load leaves the show command at its default, so it is read from the header's own
    // field (a 32-bit value at offset 0x3C) instead.
    const std::string bytes = ReadWholeFile(file);
    ok = bytes.size() >= 0x40;
    if (ok)
      memcpy(&out->showCmd, bytes.data() + 0x3C, sizeof out->showCmd);
  }
  if (persist)
    persist->Release();
  if (link)
    link->Release();
  return ok;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<platform::FolderEntry> entries;
  std::vector<std::string> names;
  platform::ListFolder(folder.c_str(), &entries);
  for (const platform::FolderEntry& e : entries)
    names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(CreateShortcut, WritesEverySettingAndReplaces) {
  ScratchFolder scratch;
  const std::string base = scratch.Join("D");
  const std::string links = scratch.Join("Links");
  ASSERT_TRUE(platform::CreateFolder(links.c_str()));

  ASSERT_EQ(1, CreateShortcut("\\tool.exe", "Tool", "\\Tool.lnk", base.c_str(), links.c_str()));
  LinkSettings got;
  ASSERT_TRUE(LoadLink(links + "\\Tool.lnk", &got));
  EXPECT_EQ(base + "\\tool.exe", got.path);
  EXPECT_EQ(base, got.workingFolder);
  EXPECT_EQ(base + "\\tool.exe", got.iconFile);
  EXPECT_EQ(0, got.iconIndex);
  EXPECT_EQ("Tool", got.description);
  EXPECT_EQ("", got.arguments);
  EXPECT_EQ(0, got.hotKey);
  EXPECT_EQ(SW_SHOWNORMAL, got.showCmd);

  // The same name again replaces the file. No separator is added between folder and name (the
  // shell would fold a doubled one, hiding it).
  ASSERT_EQ(1, CreateShortcut("other.exe", "Tool", "\\Tool.lnk", base.c_str(), links.c_str()));
  EXPECT_EQ(std::vector<std::string>{"Tool.lnk"}, Names(links));
  ASSERT_TRUE(LoadLink(links + "\\Tool.lnk", &got));
  EXPECT_EQ(base + "other.exe", got.path);

  // A hard link left under the link's name leads nowhere: the file elsewhere keeps its bytes.
  const std::string elsewhere = scratch.Join("elsewhere.txt");
  ASSERT_TRUE(WriteWholeFile(elsewhere, "not ours"));
  ASSERT_TRUE(platform::RemoveFile((links + "\\Tool.lnk").c_str()));
  ASSERT_TRUE(CreateHardLinkA((links + "\\Tool.lnk").c_str(), elsewhere.c_str(), nullptr));
  ASSERT_EQ(1, CreateShortcut("\\tool.exe", "Tool", "\\Tool.lnk", base.c_str(), links.c_str()));
  EXPECT_EQ(ReadWholeFile(elsewhere), "not ours");
  ASSERT_TRUE(LoadLink(links + "\\Tool.lnk", &got));
}

// The wide buffer holds 259 characters and the NUL; one more is refused, never cut short.
TEST(CreateShortcut, LinkPathLengthAndMissingFolder) {
  ScratchFolder scratch;
  const std::string base = scratch.Join("D");
  const struct {
    size_t length;
    int result;
  } cases[] = {{259, 1}, {260, 0}, {400, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE("length " + std::to_string(c.length));
    std::string folder = scratch.Join(std::string(150, 'f') + std::to_string(c.length));
    ASSERT_TRUE(platform::CreateFolder(folder.c_str()));
    std::string name = "\\" + std::string(c.length - folder.size() - 5, 'n') + ".lnk";
    ASSERT_EQ(c.length, folder.size() + name.size());
    EXPECT_EQ(c.result,
              CreateShortcut("\\tool.exe", "Tool", name.c_str(), base.c_str(), folder.c_str()));
    std::vector<std::string> expected;
    if (c.result)
      expected.push_back(name.substr(1));
    EXPECT_EQ(expected, Names(folder));
  }

  const std::string missing = scratch.Join("missing");
  EXPECT_EQ(0, CreateShortcut("\\tool.exe", "Tool", "\\Tool.lnk", base.c_str(), missing.c_str()));
  EXPECT_FALSE(platform::FolderExists(missing.c_str()));
}

TEST(ShellLink, CreatesOneObjectOnly) {
  CShellLink link;
  ASSERT_EQ(1, link.CreateLinkObject());
  IShellLinkA* first = link.m_pShellLink;
  ASSERT_NE(nullptr, link.m_pPersistFile);
  EXPECT_EQ(1, link.CreateLinkObject());
  EXPECT_EQ(first, link.m_pShellLink);
}

// Each refusal leaves the folder empty. Creation failures are put in place by hand: the system
// will not refuse a link object on demand.
TEST(ShellLink, SaveLinkRefuses) {
  ScratchFolder scratch;
  const std::string file = scratch.Join("x.lnk");
  enum Fault { kCreateFailed, kNoPersistFile, kNoTarget, kNoLinkPath };
  for (Fault fault : {kCreateFailed, kNoPersistFile, kNoTarget, kNoLinkPath}) {
    SCOPED_TRACE("fault " + std::to_string(fault));
    CShortcutInfo info;
    info.m_strTarget = fault == kNoTarget ? "" : "C:\\tool.exe";
    CShellLink link;
    if (fault == kCreateFailed) {
      link.m_bCreateTried = 1;
      EXPECT_EQ(0, link.SetInfo(info));
      EXPECT_TRUE(link.m_info.m_strTarget.IsEmpty());
      link.m_info = info;
    } else {
      ASSERT_EQ(1, link.SetInfo(info));
    }
    if (fault == kNoPersistFile) {
      link.m_pPersistFile.Reset();
    }
    EXPECT_EQ(0, link.SaveLink(fault == kNoLinkPath ? "" : file.c_str()));
    EXPECT_EQ(std::vector<std::string>{}, Names(scratch.path()));
  }
}

// Each record owns its own list: the copy stays valid after the original is gone, and both are
// freed once (a shared list would be freed twice here).
TEST(ShortcutInfo, CopyOwnsItsItemIdList) {
  ScratchFolder scratch;
  const std::string target = scratch.Join("target.txt");
  ASSERT_TRUE(WriteWholeFile(target, "x"));
  CShellLink link;
  {
    CShortcutInfo original;
    original.m_pidlTarget = ILCreateFromPathA(target.c_str());
    ASSERT_NE(nullptr, original.m_pidlTarget);
    // Settings off the link object's defaults, so a setter left out shows.
    original.m_strArguments = "-q";
    original.m_wHotKey = MAKEWORD('T', HOTKEYF_CONTROL | HOTKEYF_ALT);
    original.m_nIconIndex = 3;
    original.m_nShowCmd = SW_SHOWMINNOACTIVE;
    CShortcutInfo copy;
    copy = original;
    const CShortcutInfo& self = copy;
    copy = self;
    copy = original;  // frees the list it held
    EXPECT_NE(original.m_pidlTarget, copy.m_pidlTarget);
    EXPECT_TRUE(ILIsEqual(original.m_pidlTarget, copy.m_pidlTarget));
    EXPECT_EQ(3, copy.m_nIconIndex);
    CShortcutInfo empty;
    copy = empty;
    EXPECT_EQ(nullptr, copy.m_pidlTarget);
    ASSERT_EQ(1, link.SetInfo(original));
  }
  const std::string file = scratch.Join("x.lnk");
  ASSERT_EQ(1, link.SaveLink(file.c_str()));
  LinkSettings got;
  ASSERT_TRUE(LoadLink(file, &got));
  EXPECT_EQ(target, got.path);
  EXPECT_EQ("-q", got.arguments);
  EXPECT_EQ(MAKEWORD('T', HOTKEYF_CONTROL | HOTKEYF_ALT), got.hotKey);
  EXPECT_EQ(3, got.iconIndex);
  EXPECT_EQ(SW_SHOWMINNOACTIVE, got.showCmd);
}

}  // namespace
