#include "ui/win_app.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName) {
  g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this)
    g_app = nullptr;
}

CWinApp* AfxGetApp() {
  return g_app;
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()
