# The product: 32-bit Windows programs.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(_triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
