#include "platform/system_dll.h"

#include <atomic>

namespace platform {

namespace {

// A DLL from the system folder by its full path, so that not even a system without the search
// restriction looks anywhere else for it. Kept loaded for the program's life.
HMODULE LoadSystemDll(const char* name) {
  char path[MAX_PATH];
  UINT n = GetSystemDirectoryA(path, MAX_PATH);
  size_t nameLength = lstrlenA(name);
  if (n == 0 || n + 1 + nameLength >= MAX_PATH)
    return nullptr;
  path[n] = '\\';
  lstrcpyA(path + n + 1, name);
  return LoadLibraryA(path);
}

// F is the function's own type, taken with decltype from the system's declaration, so the
// calling convention is the declared one (stdcall on i686).
template <class F>
F SystemFunction(const char* dll, const char* name) {
  HMODULE module = LoadSystemDll(dll);
  return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                : nullptr;
}

// Looked up on first use and kept. An atomic slot rather than a function's static: that needs
// the C++ runtime's guard, which brings its exception machinery into every program.
template <class F>
F Resolve(std::atomic<F>* slot, const char* dll, const char* name) {
  F fn = slot->load(std::memory_order_acquire);
  if (!fn) {
    fn = SystemFunction<F>(dll, name);
    slot->store(fn, std::memory_order_release);
  }
  return fn;
}

constexpr char kShell32[] = "shell32.dll";
constexpr char kOle32[] = "ole32.dll";
constexpr char kUserenv[] = "userenv.dll";
constexpr char kRstrtmgr[] = "rstrtmgr.dll";

std::atomic<decltype(&::SHBrowseForFolderA)> g_browseForFolder;
std::atomic<decltype(&::SHGetPathFromIDListA)> g_getPathFromIdList;
std::atomic<decltype(&::SHGetMalloc)> g_getMalloc;
std::atomic<decltype(&::ILClone)> g_clone;
std::atomic<decltype(&::CoInitialize)> g_coInitialize;
std::atomic<decltype(&::CoUninitialize)> g_coUninitialize;
std::atomic<decltype(&::CoCreateInstance)> g_coCreateInstance;
std::atomic<decltype(&::GetUserProfileDirectoryA)> g_getUserProfileDirectory;
std::atomic<decltype(&::CreateStreamOnHGlobal)> g_createStreamOnHGlobal;
std::atomic<decltype(&::GetHGlobalFromStream)> g_getHGlobalFromStream;
std::atomic<decltype(&::RmStartSession)> g_rmStartSession;
std::atomic<decltype(&::RmRegisterResources)> g_rmRegisterResources;
std::atomic<decltype(&::RmGetList)> g_rmGetList;
std::atomic<decltype(&::RmEndSession)> g_rmEndSession;

}  // namespace

void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  auto restrict = kernel32 ? reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
                                 GetProcAddress(kernel32, "SetDefaultDllDirectories")))
                           : nullptr;
  if (!restrict || !restrict(LOAD_LIBRARY_SEARCH_SYSTEM32))
    SetDllDirectoryA("");
}

LPITEMIDLIST SHBrowseForFolderA(LPBROWSEINFOA info) {
  auto fn = Resolve(&g_browseForFolder, kShell32, "SHBrowseForFolderA");
  return fn ? fn(info) : nullptr;
}

BOOL SHGetPathFromIDListA(PCIDLIST_ABSOLUTE pidl, LPSTR path) {
  auto fn = Resolve(&g_getPathFromIdList, kShell32, "SHGetPathFromIDListA");
  return fn ? fn(pidl, path) : FALSE;
}

HRESULT SHGetMalloc(IMalloc** malloc) {
  auto fn = Resolve(&g_getMalloc, kShell32, "SHGetMalloc");
  return fn ? fn(malloc) : E_NOTIMPL;
}

PIDLIST_RELATIVE ILClone(PCUIDLIST_RELATIVE pidl) {
  auto fn = Resolve(&g_clone, kShell32, "ILClone");
  return fn ? fn(pidl) : nullptr;
}

HRESULT CoInitialize(LPVOID reserved) {
  auto fn = Resolve(&g_coInitialize, kOle32, "CoInitialize");
  return fn ? fn(reserved) : E_NOTIMPL;
}

void CoUninitialize() {
  auto fn = Resolve(&g_coUninitialize, kOle32, "CoUninitialize");
  if (fn)
    fn();
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                         LPVOID* object) {
  auto fn = Resolve(&g_coCreateInstance, kOle32, "CoCreateInstance");
  return fn ? fn(clsid, outer, context, iid, object) : REGDB_E_CLASSNOTREG;
}

HRESULT CreateStreamOnHGlobal(HGLOBAL global, BOOL deleteOnRelease, LPSTREAM* stream) {
  auto fn = Resolve(&g_createStreamOnHGlobal, kOle32, "CreateStreamOnHGlobal");
  return fn ? fn(global, deleteOnRelease, stream) : E_NOTIMPL;
}

HRESULT GetHGlobalFromStream(LPSTREAM stream, HGLOBAL* global) {
  auto fn = Resolve(&g_getHGlobalFromStream, kOle32, "GetHGlobalFromStream");
  return fn ? fn(stream, global) : E_NOTIMPL;
}

BOOL GetUserProfileDirectoryA(HANDLE token, LPSTR path, LPDWORD size) {
  auto fn = Resolve(&g_getUserProfileDirectory, kUserenv, "GetUserProfileDirectoryA");
  return fn ? fn(token, path, size) : FALSE;
}

DWORD RmStartSession(DWORD* session, DWORD flags, WCHAR key[]) {
  auto fn = Resolve(&g_rmStartSession, kRstrtmgr, "RmStartSession");
  return fn ? fn(session, flags, key) : ERROR_PROC_NOT_FOUND;
}

DWORD RmRegisterResources(DWORD session, UINT fileCount, LPCWSTR files[], UINT processCount,
                          RM_UNIQUE_PROCESS processes[], UINT serviceCount, LPCWSTR services[]) {
  auto fn = Resolve(&g_rmRegisterResources, kRstrtmgr, "RmRegisterResources");
  return fn ? fn(session, fileCount, files, processCount, processes, serviceCount, services)
            : ERROR_PROC_NOT_FOUND;
}

DWORD RmGetList(DWORD session, UINT* needed, UINT* count, RM_PROCESS_INFO infos[],
                LPDWORD rebootReasons) {
  auto fn = Resolve(&g_rmGetList, kRstrtmgr, "RmGetList");
  return fn ? fn(session, needed, count, infos, rebootReasons) : ERROR_PROC_NOT_FOUND;
}

DWORD RmEndSession(DWORD session) {
  auto fn = Resolve(&g_rmEndSession, kRstrtmgr, "RmEndSession");
  return fn ? fn(session) : ERROR_PROC_NOT_FOUND;
}

}  // namespace platform
