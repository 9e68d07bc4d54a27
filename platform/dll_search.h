#pragma once
// The first action of every program we ship: DLLs loaded by name come from the system folder
// alone, never from the program's own folder, which may be Downloads or %TEMP% (see
// platform/system_dll.h). Nothing to do where there are no DLLs.

namespace platform {

#ifdef _WIN32
// Looked up at run time: a system without SetDefaultDllDirectories still starts, with the
// current folder at least left out of the search.
void RestrictDllSearch();
#else
inline void RestrictDllSearch() {}
#endif

}  // namespace platform
