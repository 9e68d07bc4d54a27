# zlib, minizip, libdeflate and GoogleTest: installed by cmake/bootstrap.sh, never copied into the
# tree.

# minizip is compiled from Debian's zlib source package wherever the host's library does not
# fit: for Windows, and for the fuzz build, where it should carry the same instrumentation.
set(INSTALLER_MINIZIP_SOURCE "${PROJECT_SOURCE_DIR}/.deps/zlib-src/contrib/minizip"
    CACHE PATH "minizip's C sources (from 'apt-get source zlib')")
option(INSTALLER_MINIZIP_FROM_SOURCE "Compile minizip from its sources" ${WIN32})

if(WIN32)
  # The static archive, so setup.exe needs no zlib1.dll beside it.
  find_library(ZLIB_STATIC NAMES libz.a REQUIRED)
  add_library(zlib_dep STATIC IMPORTED)
  set_target_properties(zlib_dep PROPERTIES IMPORTED_LOCATION "${ZLIB_STATIC}")
else()
  find_package(ZLIB REQUIRED)
  add_library(zlib_dep INTERFACE)
  target_link_libraries(zlib_dep INTERFACE ZLIB::ZLIB)
endif()

if(INSTALLER_MINIZIP_FROM_SOURCE)
  if(NOT EXISTS "${INSTALLER_MINIZIP_SOURCE}/unzip.c")
    message(FATAL_ERROR "minizip sources not found in ${INSTALLER_MINIZIP_SOURCE}; "
                        "run cmake/bootstrap.sh first")
  endif()
  add_library(minizip STATIC
    "${INSTALLER_MINIZIP_SOURCE}/unzip.c"
    "${INSTALLER_MINIZIP_SOURCE}/zip.c"
    "${INSTALLER_MINIZIP_SOURCE}/ioapi.c")
  target_include_directories(minizip SYSTEM PUBLIC "${INSTALLER_MINIZIP_SOURCE}")
  target_link_libraries(minizip PUBLIC zlib_dep)
  # Third-party C: keep its warnings out of our build output. Built like our own code.
  target_compile_options(minizip PRIVATE -w)
  target_link_libraries(minizip PRIVATE installer_options)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
  add_library(minizip INTERFACE)
  target_link_libraries(minizip INTERFACE PkgConfig::MINIZIP zlib_dep)
endif()

# libdeflate deflates mkpak's members. For Windows only what mkpak calls is compiled from Debian's
# libdeflate source package: the compressor, CRC-32, the allocator they share, and the processor
# probe that picks the CRC-32 code.
set(INSTALLER_LIBDEFLATE_SOURCE "${PROJECT_SOURCE_DIR}/.deps/libdeflate-src"
    CACHE PATH "libdeflate's sources (from 'apt-get source libdeflate')")
if(WIN32)
  if(NOT EXISTS "${INSTALLER_LIBDEFLATE_SOURCE}/lib/deflate_compress.c")
    message(FATAL_ERROR "libdeflate sources not found in ${INSTALLER_LIBDEFLATE_SOURCE}; "
                        "run cmake/bootstrap.sh first")
  endif()
  add_library(libdeflate_dep STATIC
    "${INSTALLER_LIBDEFLATE_SOURCE}/lib/deflate_compress.c"
    "${INSTALLER_LIBDEFLATE_SOURCE}/lib/crc32.c"
    "${INSTALLER_LIBDEFLATE_SOURCE}/lib/utils.c"
    "${INSTALLER_LIBDEFLATE_SOURCE}/lib/x86/cpu_features.c")
  target_include_directories(libdeflate_dep SYSTEM PUBLIC "${INSTALLER_LIBDEFLATE_SOURCE}")
  target_compile_options(libdeflate_dep PRIVATE -w)
  target_link_libraries(libdeflate_dep PRIVATE installer_options)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
  add_library(libdeflate_dep INTERFACE)
  target_link_libraries(libdeflate_dep INTERFACE PkgConfig::LIBDEFLATE)
endif()

if(BUILD_TESTING)
  set(INSTALLER_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian's googletest)")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory("${INSTALLER_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
endif()
