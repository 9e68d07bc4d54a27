#pragma once
// Dialog data exchange: binding controls to members, and moving text between an edit control
// and a string, in the direction m_bSaveAndValidate gives.

#include "platform/cstring.h"
#include "ui/wnd.h"

struct CDataExchange {
  CWnd* m_pDlgWnd;
  BOOL m_bSaveAndValidate;  // TRUE: controls to members
};

void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
void DDX_Text(CDataExchange* pDX, int id, CString& value);
