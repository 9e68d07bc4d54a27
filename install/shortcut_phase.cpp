#include "install/shortcut_phase.h"

#include "package/member_name.h"
#include "platform/fs.h"
#include "platform/path_text.h"
#include "platform/profile.h"

namespace {

constexpr uint32_t kValueBufferSize = 260;

CString ReadString(const CString& ini, const char* key, const char* def) {
  char buffer[kValueBufferSize];
  ReadProfileString("shortcut", key, def, buffer, kValueBufferSize, ini);
  return buffer;
}

// A group or description the rule refuses makes nothing, and counts as a failed shortcut.
bool StaysInside(const CString& name) {
  return CheckShortcutName(name, name.GetLength()) == NameCheck::kOk;
}

CString ItemKey(int item, const char* field) {
  CString key;
  key.Format("item%d%s", item, field);
  return key;
}

}  // namespace

CShortcutPhase::CShortcutPhase(IShellFolders* folders, IShortcutWriter* writer,
                               const CString& iniPath, IInstallView* view)
    : m_pFolders(folders), m_pWriter(writer), m_strIniPath(iniPath), m_pView(view) {}

void CShortcutPhase::Log(CUninstallLog* log, const CString& path) {
  m_pView->WaitWhilePaused();
  log->AddEntry(path);
}

bool CShortcutPhase::Run(const CString& location, CUninstallLog* log) {
  CString programs;
  CString desktop;
  if (!m_pFolders->Read(&programs, &desktop)) {
    programs.Empty();
    desktop.Empty();
  }
  CString baseFolder = location;
  // One trailing backslash goes, as a character: the last byte of "...\表" in code page 932 is
  // the second half of 表.
  if (platform::EndsInSeparator(baseFolder, baseFolder.GetLength()))
    baseFolder.Delete(baseFolder.GetLength() - 1);
  // Without a Programs folder the group goes into the installation folder; the desktop has no
  // such fallback.
  if (programs.IsEmpty())
    programs = baseFolder;

  CString group = ReadString(m_strIniPath, "group", "default group");
  CString groupFolder = programs + "\\" + group;
  bool groupSafe = StaysInside(group);
  if (groupSafe)
    platform::CreateFolder(groupFolder);
  Log(log, groupFolder);

  int success = groupSafe ? 1 : 0;
  int items = ReadProfileInt("shortcut", "itemnum", 0, m_strIniPath);
  for (int item = 0; item < items; ++item) {
    CString targetName = "\\" + ReadString(m_strIniPath, ItemKey(item, "FileName"), "item");
    CString description = ReadString(m_strIniPath, ItemKey(item, "Desc"), "desc");
    CString linkName = "\\" + description + ".lnk";
    bool linkSafe = StaysInside(description);
    m_pView->WaitWhilePaused();
    success &= groupSafe && linkSafe ? m_pWriter->CreateShortcut(targetName, description, linkName,
                                                                 baseFolder, groupFolder)
                                     : 0;
    Log(log, groupFolder + linkName);
    if (ReadProfileInt("shortcut", ItemKey(item, "Desktop"), 0, m_strIniPath) != 0) {
      m_pView->WaitWhilePaused();
      // Without a Desktop folder that counts, "\\name.lnk" would land in a drive's root.
      success &=
          linkSafe && !desktop.IsEmpty()
              ? m_pWriter->CreateShortcut(targetName, description, linkName, baseFolder, desktop)
              : 0;
      Log(log, desktop + linkName);
    }
  }
  m_pView->WaitWhilePaused();
  log->WriteCount();
  return success == 1;
}
