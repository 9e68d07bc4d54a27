# The same sources as 64-bit Windows programs, for hosts whose kernel runs no 32-bit code and so
# can run only 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
