#pragma once
// CSetupDlg: the main dialog. Shows face.bmp, the caption and proposed folder from setup.ini,
// lets the user type or browse for the folder, and checks it before closing with IDOK.

#include "platform/cstring.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class CSetupDlg : public CDialog {
 public:
  explicit CSetupDlg(CWnd* parent = nullptr);
  ~CSetupDlg() override;

  HBITMAP m_hBitmap = nullptr;
  CString m_strFolderName;  // appended to every folder chosen with Browse
  CStatic m_picture;
  CString m_strLocation;  // the Location text once Install succeeded
  HICON m_hIcon;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override;

  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnDestroy();
  void OnBrowse();

  DECLARE_MESSAGE_MAP()
};
