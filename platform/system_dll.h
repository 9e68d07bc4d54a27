#pragma once
// Which DLLs our programs load, and from where (Windows only).
//
// setup.exe and uninstall.exe run elevated, started from folders that the same user's
// unelevated programs can write: Downloads, %TEMP%, the install folder. Windows looks for a DLL
// that is loaded by name beside the program first, so a DLL planted there under the name of one
// that a system DLL loads in turn (shell32 pulls in shcore, comctl32 loads uxtheme) would run
// with administrator rights. So every program restricts the search to the system folder as its
// first action, and imports directly only DLLs that are loaded before that and are safe wherever
// the program lies: kernel32, user32, gdi32, advapi32, msvcrt, and comctl32 through the
// manifest's side-by-side binding. Everything else (shell32, ole32, rstrtmgr) is loaded
// afterwards, here, from the system folder by its full path.

#include <objbase.h>
#include <restartmanager.h>
#include <shlobj.h>
#include <userenv.h>

#include "platform/dll_search.h"

namespace platform {

// The few calls of shell32, ole32 and userenv that the programs make, loaded on first use. Each
// answers as the system's own would fail when its DLL or function cannot be had.
LPITEMIDLIST SHBrowseForFolderA(LPBROWSEINFOA info);
BOOL SHGetPathFromIDListA(PCIDLIST_ABSOLUTE pidl, LPSTR path);
HRESULT SHGetMalloc(IMalloc** malloc);
PIDLIST_RELATIVE ILClone(PCUIDLIST_RELATIVE pidl);
HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();
HRESULT CreateStreamOnHGlobal(HGLOBAL global, BOOL deleteOnRelease, LPSTREAM* stream);
HRESULT GetHGlobalFromStream(LPSTREAM stream, HGLOBAL* global);
// userenv.
BOOL GetUserProfileDirectoryA(HANDLE token, LPSTR path, LPDWORD size);
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                         LPVOID* object);
// rstrtmgr: which programs hold a file.
DWORD RmStartSession(DWORD* session, DWORD flags, WCHAR key[]);
DWORD RmRegisterResources(DWORD session, UINT fileCount, LPCWSTR files[], UINT processCount,
                          RM_UNIQUE_PROCESS processes[], UINT serviceCount, LPCWSTR services[]);
DWORD RmGetList(DWORD session, UINT* needed, UINT* count, RM_PROCESS_INFO infos[],
                LPDWORD rebootReasons);
DWORD RmEndSession(DWORD session);

}  // namespace platform
