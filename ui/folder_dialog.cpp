#include "ui/folder_dialog.h"

#include <string.h>

#include "platform/com_ptr.h"

CFolderDialog::CFolderDialog(HWND owner, LPCITEMIDLIST root, int titleId) {
  SetOwner(owner);
  SetRoot(root);
  SetTitle(titleId);
  m_bi.pszDisplayName = m_szPath;
  m_bi.lpfn = BrowseCallbackProc;
  m_bi.lParam = reinterpret_cast<LPARAM>(this);
}

// m_title frees the title copy.
CFolderDialog::~CFolderDialog() = default;

void CFolderDialog::SetOwner(HWND owner) {
  if (!m_hWndBrowser)
    m_bi.hwndOwner = owner;
}

void CFolderDialog::SetRoot(LPCITEMIDLIST root) {
  if (!m_hWndBrowser)
    m_bi.pidlRoot = root;
}

void CFolderDialog::SetFlags(UINT flags) {
  if (!m_hWndBrowser)
    m_bi.ulFlags = flags;
}

void CFolderDialog::SetTitle(const char* text) {
  // The open browser already shows its title; freeing the text under it would leave it dangling.
  if (m_hWndBrowser)
    return;
  if (!text)
    text = "";
  size_t size = strlen(text) + 1;
  std::unique_ptr<char[]> copy(new char[size]);
  memcpy(copy.get(), text, size);
  m_title = std::move(copy);
  m_bi.lpszTitle = m_title.get();
}

bool CFolderDialog::SetTitle(int id) {
  if (id <= 0)
    return false;
  // LoadStringA cannot report a string's length (the zero-size query is LoadStringW's alone)
  // and cuts what does not fit, so grow the buffer until the text ends before its last slot.
  // A string resource holds at most 65535 UTF-16 units, two bytes each in a double-byte code
  // page.
  HINSTANCE module = GetModuleHandleA(nullptr);
  for (int size = 256; size <= 2 * 65536; size *= 2) {
    std::unique_ptr<char[]> buffer(new char[size]);
    int length = LoadStringA(module, static_cast<UINT>(id), buffer.get(), size);
    if (length <= 0)
      return false;
    if (length < size - 1) {
      SetTitle(buffer.get());
      return true;
    }
  }
  return false;
}

void CFolderDialog::SetSelection(const char* path) {
  if (m_hWndBrowser)
    SendMessageA(m_hWndBrowser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path));
}

void CFolderDialog::SetStatusText(const char* text) {
  if (m_hWndBrowser)
    SendMessageA(m_hWndBrowser, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

bool CFolderDialog::Browse() {
  // The browser builds its folder tree from shell COM objects, so Windows wants COM on the
  // calling thread.
  CComInit com;
  LPITEMIDLIST pidl = platform::SHBrowseForFolderA(&m_bi);
  // On Cancel Wine still converts its own, never filled, display-name buffer into ours; the
  // terminator keeps whatever it left bounded.
  m_szPath[MAX_PATH - 1] = '\0';
  bool result = false;
  if (pidl) {
    m_strPath.Empty();
    if (platform::SHGetPathFromIDListA(pidl, m_szPath)) {
      m_strPath = m_szPath;
      result = true;
    }
    CComPtr<IMalloc> malloc;
    if (SUCCEEDED(platform::SHGetMalloc(malloc.Receive())))
      malloc->Free(pidl);
  }
  m_hWndBrowser = nullptr;
  return result;
}

int CALLBACK CFolderDialog::BrowseCallbackProc(HWND hwnd, UINT msg, LPARAM arg, LPARAM data) {
  CFolderDialog* self = reinterpret_cast<CFolderDialog*>(data);
  self->m_hWndBrowser = hwnd;
  switch (msg) {
    case BFFM_INITIALIZED:
      self->OnInitialized();
      break;
    case BFFM_SELCHANGED:
      self->OnSelChanged(reinterpret_cast<LPCITEMIDLIST>(arg));
      break;
  }
  return 0;
}

void CLocationFolderDialog::OnInitialized() {
  SetSelection(m_strInitialFolder);
  SetStatusText(m_strInitialFolder);
}

void CLocationFolderDialog::OnSelChanged(LPCITEMIDLIST pidl) {
  char path[MAX_PATH];
  if (!platform::SHGetPathFromIDListA(pidl, path))
    path[0] = '\0';
  SetStatusText(path);
}
