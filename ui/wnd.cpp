#include "ui/wnd.h"

CString CWnd::GetDlgItemText(int id) const {
  HWND item = GetDlgItem(m_hWnd, id);
  int length = item ? GetWindowTextLengthA(item) : 0;
  CString text;
  if (length > 0) {
    char* buffer = text.GetBuffer(length + 1);
    int copied = GetWindowTextA(item, buffer, length + 1);
    text.ReleaseBuffer(copied > 0 ? copied : 0);
  }
  return text;
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const AFX_MSGMAP_ENTRY* entry =
      FindMessageEntry(message, message == WM_COMMAND ? HIWORD(wParam) : 0,
                       message == WM_COMMAND ? LOWORD(wParam) : 0);
  if (!entry)
    return false;
  m_bDefault = false;
  *result = 0;
  switch (entry->nSig) {
    case AfxSig_vv:
      (this->*entry->pfn.vv)();
      break;
    case AfxSig_hv:
      *result = reinterpret_cast<LRESULT>((this->*entry->pfn.hv)());
      break;
    case AfxSig_vu:
      (this->*entry->pfn.vu)(static_cast<UINT_PTR>(wParam));
      break;
    case AfxSig_lwl:
      *result = (this->*entry->pfn.lwl)(wParam, lParam);
      break;
    default:
      return false;
  }
  return !m_bDefault;
}
