#include "ui/setup_dlg.h"

#include "platform/fs.h"
#include "platform/path_text.h"
#include "platform/setup_config.h"
#include "res/resource.h"
#include "ui/folder_dialog.h"
#include "ui/install_check.h"
#include "ui/scaled_bitmap.h"

namespace {
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
}

CSetupDlg::CSetupDlg(CWnd* parent)
    : CDialog(IDD_SETUP_DIALOG, parent),
      m_hIcon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

CSetupDlg::~CSetupDlg() = default;

BEGIN_MESSAGE_MAP(CSetupDlg, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_WM_DESTROY()
ON_BN_CLICKED(IDC_BROWSE, &CSetupDlg::OnBrowse)
END_MESSAGE_MAP()

void CSetupDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_PICTURE, m_picture);
  DDX_Text(pDX, IDC_LOCATION, m_strLocation);
}

BOOL CSetupDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);
  // A missing or unreadable picture leaves the control empty.
  m_hBitmap = static_cast<HBITMAP>(
      LoadImageA(nullptr, GetModuleDir() + "face.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  // At 96 DPI the picture shows at its own size; at any other scale it grows with the dialog,
  // and the control, whose top left stays put, takes the scaled size.
  if (HBITMAP scaled = ScaleBitmapForDpi(m_hBitmap, ScreenDpi())) {
    DeleteObject(m_hBitmap);
    m_hBitmap = scaled;
  }
  m_picture.SetBitmap(m_hBitmap);
  SetWindowText(ReadSetupString("main", "title", ""));
  CString location = ReadSetupString("main", "location", "");
  SetDlgItemText(IDC_LOCATION, location);
  size_t slash = 0;
  m_strFolderName = platform::LastSeparator(location, location.GetLength(), &slash)
                        ? location.Mid(static_cast<int>(slash) + 1)
                        : CString();
  return TRUE;
}

void CSetupDlg::OnBrowse() {
  CLocationFolderDialog browser(m_hWnd, IDS_BROWSE_TITLE);
  browser.SetFlags(kBrowseFlags);
  browser.SetInitialFolder("c:\\");
  if (!browser.Browse())
    return;
  CString path = browser.GetFolderPath();
  // A folder whose name ends in a two-byte character with 0x5C as its second byte (表) still
  // needs its backslash.
  if (!platform::EndsInSeparator(path, path.GetLength()))
    path += '\\';
  path += m_strFolderName;
  SetDlgItemText(IDC_LOCATION, path);
}

void CSetupDlg::OnOK() {
  CString location = GetDlgItemText(IDC_LOCATION);
  uint64_t freeBytes = 0;
  bool spaceKnown =
      location.GetLength() >= 3 && platform::FreeBytesAvailable(VolumeRoot(location), &freeBytes);
  // needspace is read only when it can matter, as the file may change while the dialog is open.
  int needSpace = spaceKnown ? ReadSetupInt("main", "needspace") : 0;
  LocationCheck check = CheckLocation(location, spaceKnown, freeBytes, needSpace);
  if (!check.accepted) {
    MessageBox(check.message, "Setup", MB_OK | MB_ICONINFORMATION);
    return;
  }
  CDialog::OnOK();
}

void CSetupDlg::OnPaint() {
  if (!IsIconic()) {
    Default();
    return;
  }
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(m_hWnd, &paint);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc));
  int iconWidth = GetSystemMetrics(SM_CXICON);
  int iconHeight = GetSystemMetrics(SM_CYICON);
  RECT client;
  GetClientRect(m_hWnd, &client);
  DrawIcon(dc, (client.right - client.left - iconWidth + 1) / 2,
           (client.bottom - client.top - iconHeight + 1) / 2, m_hIcon);
  EndPaint(m_hWnd, &paint);
}

HCURSOR CSetupDlg::OnQueryDragIcon() {
  return static_cast<HCURSOR>(m_hIcon);
}

void CSetupDlg::OnDestroy() {
  CWnd::OnDestroy();
  if (m_hBitmap) {
    DeleteObject(m_hBitmap);
    m_hBitmap = nullptr;
  }
}
