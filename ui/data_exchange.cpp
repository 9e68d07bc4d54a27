#include "ui/data_exchange.h"

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  if (!control.m_hWnd)
    control.m_hWnd = GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id);
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
  if (pDX->m_bSaveAndValidate)
    value = pDX->m_pDlgWnd->GetDlgItemText(id);
  else
    pDX->m_pDlgWnd->SetDlgItemText(id, value);
}
