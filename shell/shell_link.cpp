#include "shell/shell_link.h"

#include "platform/file.h"

namespace {

// Item-id lists come from the shell's allocator, so they go back to it.
void FreeItemIdList(LPITEMIDLIST* pidl) {
  CComPtr<IMalloc> malloc;
  if (FAILED(platform::SHGetMalloc(malloc.Receive())))
    return;  // leaking the list is safer than handing it to the wrong heap
  if (*pidl) {
    malloc->Free(*pidl);
    *pidl = nullptr;
  }
}

}  // namespace

CShortcutInfo& CShortcutInfo::operator=(const CShortcutInfo& other) {
  if (this == &other)
    return *this;
  m_strTarget = other.m_strTarget;
  // Each record owns its own list, so two records never free the same one. Should the clone
  // fail for want of memory, the copy falls back to m_strTarget.
  LPITEMIDLIST clone = other.m_pidlTarget ? platform::ILClone(other.m_pidlTarget) : nullptr;
  FreeItemIdList(&m_pidlTarget);  // left allocated, as in the destructor, if no allocator
  m_pidlTarget = clone;
  m_strArguments = other.m_strArguments;
  m_strDescription = other.m_strDescription;
  m_wHotKey = other.m_wHotKey;
  m_strIconFile = other.m_strIconFile;
  m_nIconIndex = other.m_nIconIndex;
  m_nShowCmd = other.m_nShowCmd;
  m_strWorkingFolder = other.m_strWorkingFolder;
  return *this;
}

CShortcutInfo::~CShortcutInfo() {
  FreeItemIdList(&m_pidlTarget);
}

int CShellLink::CreateLinkObject() {
  // Every call, so a caller on a fresh thread still gets COM; an already-initialised thread
  // answers S_FALSE or RPC_E_CHANGED_MODE, both harmless here.
  platform::CoInitialize(nullptr);
  if (m_bCreateTried)
    return m_pShellLink != nullptr;
  HRESULT hr = platform::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IShellLinkA, m_pShellLink.ReceiveVoid());
  if (FAILED(hr)) {
    m_pShellLink.Forget();
    m_bCreateTried = 1;
    return 0;
  }
  hr = m_pShellLink->QueryInterface(IID_IPersistFile, m_pPersistFile.ReceiveVoid());
  m_bCreateTried = 1;
  return SUCCEEDED(hr) ? 1 : 0;
}

int CShellLink::SetInfo(const CShortcutInfo& info) {
  if (!CreateLinkObject())
    return 0;
  m_info = info;
  return 1;
}

int CShellLink::SaveLink(const CString& linkFile) {
  if (!CreateLinkObject())
    return 0;
  if (!m_info.m_pidlTarget && m_info.m_strTarget.IsEmpty())
    return 0;
  if (linkFile.IsEmpty())
    return 0;
  if (!m_pShellLink || !m_pPersistFile)
    return 0;

  // A name that does not fit is refused whole: a shortened one would put the link elsewhere.
  WCHAR path[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, linkFile, -1, path, MAX_PATH) == 0)
    return 0;

  // Every setting is given, empty or not, so nothing of the object's defaults leaks into the file.
  if (m_info.m_pidlTarget)
    m_pShellLink->SetIDList(m_info.m_pidlTarget);
  else
    m_pShellLink->SetPath(m_info.m_strTarget);
  m_pShellLink->SetWorkingDirectory(m_info.m_strWorkingFolder);
  m_pShellLink->SetIconLocation(m_info.m_strIconFile, m_info.m_nIconIndex);
  m_pShellLink->SetDescription(m_info.m_strDescription);
  m_pShellLink->SetArguments(m_info.m_strArguments);
  m_pShellLink->SetHotkey(m_info.m_wHotKey);
  m_pShellLink->SetShowCmd(m_info.m_nShowCmd);

  return WriteLinkFile(linkFile) ? 1 : 0;
}

bool CShellLink::WriteLinkFile(const CString& linkFile) {
  // The object saves into memory, and the bytes go into a new file made as every file we write
  // is made: saved by name, the object would write through a hard or symbolic link that someone
  // left under the link's name, into a file anywhere.
  CComPtr<IPersistStream> persist;
  CComPtr<IStream> memory;
  if (FAILED(m_pShellLink->QueryInterface(IID_IPersistStream, persist.ReceiveVoid())) ||
      FAILED(platform::CreateStreamOnHGlobal(nullptr, TRUE, memory.Receive())) ||
      FAILED(persist->Save(memory, TRUE)))
    return false;
  STATSTG stat = {};
  HGLOBAL global = nullptr;
  if (FAILED(memory->Stat(&stat, STATFLAG_NONAME)) ||
      FAILED(platform::GetHGlobalFromStream(memory, &global)))
    return false;
  size_t size = static_cast<size_t>(stat.cbSize.QuadPart);
  const void* bytes = GlobalLock(global);
  if (!bytes)
    return false;
  platform::CFile file;
  bool written = file.OpenReplacing(linkFile) && fwrite(bytes, 1, size, file.Get()) == size;
  GlobalUnlock(global);
  return file.Close() && written;
}

int CreateShortcut(CString targetName, CString description, CString linkName,
                   const CString& baseFolder, const CString& linkFolder) {
  CShortcutInfo info;
  info.m_strTarget = baseFolder + targetName;
  info.m_strArguments = "";
  info.m_strWorkingFolder = baseFolder;
  info.m_strDescription = description;
  info.m_strIconFile = baseFolder + targetName;
  info.m_nIconIndex = 0;
  info.m_nShowCmd = SW_SHOWNORMAL;
  info.m_wHotKey = 0;
  info.m_pidlTarget = nullptr;

  CShellLink link;
  if (!link.SetInfo(info))
    return 0;
  return link.SaveLink(linkFolder + linkName) ? 1 : 0;
}
