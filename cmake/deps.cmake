# zlib, minizip, libdeflate, liblzma and GoogleTest: installed by cmake/bootstrap.sh, never copied
# into the tree.

# Stops with the remedy when a source package that bootstrap.sh fetches is not there.
function(installer_require_source dir marker package)
  if(NOT EXISTS "${dir}/${marker}")
    message(FATAL_ERROR "${package} sources not found in ${dir}; run cmake/bootstrap.sh first")
  endif()
endfunction()

# target: an interface library over the host's pkg-config module.
function(installer_pkg_dep target module)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(${target}_PC REQUIRED IMPORTED_TARGET ${module})
  add_library(${target} INTERFACE)
  target_link_libraries(${target} INTERFACE PkgConfig::${target}_PC ${ARGN})
endfunction()

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
  installer_require_source("${INSTALLER_MINIZIP_SOURCE}" unzip.c minizip)
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
  installer_pkg_dep(minizip minizip zlib_dep)
endif()

# libdeflate deflates mkpak's members. For Windows only what mkpak calls is compiled from Debian's
# libdeflate source package: the compressor, CRC-32, the allocator they share, and the processor
# probe that picks the CRC-32 code.
set(INSTALLER_LIBDEFLATE_SOURCE "${PROJECT_SOURCE_DIR}/.deps/libdeflate-src"
    CACHE PATH "libdeflate's sources (from 'apt-get source libdeflate')")
if(WIN32)
  installer_require_source("${INSTALLER_LIBDEFLATE_SOURCE}" lib/deflate_compress.c libdeflate)
  add_library(libdeflate_dep STATIC
    "${INSTALLER_LIBDEFLATE_SOURCE}/lib/deflate_compress.c"
    "${INSTALLER_LIBDEFLATE_SOURCE}/lib/crc32.c"
    "${INSTALLER_LIBDEFLATE_SOURCE}/lib/utils.c"
    "${INSTALLER_LIBDEFLATE_SOURCE}/lib/x86/cpu_features.c")
  target_include_directories(libdeflate_dep SYSTEM PUBLIC "${INSTALLER_LIBDEFLATE_SOURCE}")
  target_compile_options(libdeflate_dep PRIVATE -w)
  target_link_libraries(libdeflate_dep PRIVATE installer_options)
else()
  installer_pkg_dep(libdeflate_dep libdeflate)
endif()

# liblzma carries the one-file distribution's stream. For Windows it is compiled from Debian's
# xz-utils source package: the decoder alone for the small carrying program (liblzma_decoder_dep),
# and with the encoder for mkpak (liblzma_dep). Only the LZMA1/LZMA2 filters, the CRC-32/64
# checks and the match finders of the presets are built; config.h's work is done by the
# definitions below.
set(INSTALLER_XZ_SOURCE "${PROJECT_SOURCE_DIR}/.deps/xz-src"
    CACHE PATH "xz-utils' sources (from 'apt-get source xz-utils')")
if(WIN32)
  installer_require_source("${INSTALLER_XZ_SOURCE}" src/liblzma/api/lzma.h xz-utils)
  set(_lzma "${INSTALLER_XZ_SOURCE}/src/liblzma")
  add_library(liblzma_decoder_dep STATIC
    ${_lzma}/check/check.c ${_lzma}/check/crc32_fast.c ${_lzma}/check/crc32_table.c
    ${_lzma}/check/crc64_fast.c ${_lzma}/check/crc64_table.c
    ${_lzma}/common/common.c ${_lzma}/common/block_decoder.c
    ${_lzma}/common/block_header_decoder.c ${_lzma}/common/block_util.c
    ${_lzma}/common/filter_common.c ${_lzma}/common/filter_decoder.c
    ${_lzma}/common/filter_flags_decoder.c ${_lzma}/common/index_hash.c
    ${_lzma}/common/stream_decoder.c ${_lzma}/common/stream_flags_common.c
    ${_lzma}/common/stream_flags_decoder.c ${_lzma}/common/vli_decoder.c
    ${_lzma}/common/vli_size.c
    ${_lzma}/lz/lz_decoder.c ${_lzma}/lzma/lzma_decoder.c ${_lzma}/lzma/lzma2_decoder.c)
  add_library(liblzma_dep STATIC
    ${_lzma}/common/block_encoder.c ${_lzma}/common/block_header_encoder.c
    ${_lzma}/common/easy_encoder.c ${_lzma}/common/easy_preset.c
    ${_lzma}/common/filter_encoder.c ${_lzma}/common/filter_flags_encoder.c
    ${_lzma}/common/index.c ${_lzma}/common/index_encoder.c
    ${_lzma}/common/stream_encoder.c ${_lzma}/common/stream_flags_encoder.c
    ${_lzma}/common/vli_encoder.c
    ${_lzma}/lz/lz_encoder.c ${_lzma}/lz/lz_encoder_mf.c
    ${_lzma}/lzma/fastpos_table.c ${_lzma}/lzma/lzma_encoder.c
    ${_lzma}/lzma/lzma_encoder_optimum_fast.c ${_lzma}/lzma/lzma_encoder_optimum_normal.c
    ${_lzma}/lzma/lzma_encoder_presets.c ${_lzma}/lzma/lzma2_encoder.c
    ${_lzma}/rangecoder/price_table.c)
  target_link_libraries(liblzma_dep PUBLIC liblzma_decoder_dep)
  foreach(_part liblzma_decoder_dep liblzma_dep)
    target_include_directories(${_part} SYSTEM PUBLIC "${_lzma}/api")
    target_include_directories(${_part} PRIVATE "${_lzma}/common" "${_lzma}/check"
      "${_lzma}/lz" "${_lzma}/lzma" "${_lzma}/rangecoder" "${_lzma}/delta" "${_lzma}/simple"
      "${INSTALLER_XZ_SOURCE}/src/common")
    # Static: no dllimport in lzma.h's declarations.
    target_compile_definitions(${_part} PUBLIC LZMA_API_STATIC)
    # What configure would find on any mingw-w64: standard headers, no threads (neither program
    # decodes or encodes on more than one).
    target_compile_definitions(${_part} PRIVATE HAVE_STDBOOL_H HAVE__BOOL HAVE_STDINT_H
      HAVE_INTTYPES_H HAVE_VISIBILITY=0 HAVE_CHECK_CRC32 HAVE_CHECK_CRC64
      HAVE_DECODER_LZMA1 HAVE_DECODER_LZMA2 HAVE_ENCODER_LZMA1 HAVE_ENCODER_LZMA2
      HAVE_MF_HC3 HAVE_MF_HC4 HAVE_MF_BT4)
    target_compile_options(${_part} PRIVATE -w)
    target_link_libraries(${_part} PRIVATE installer_options)
  endforeach()
else()
  installer_pkg_dep(liblzma_dep liblzma)
  add_library(liblzma_decoder_dep ALIAS liblzma_dep)
endif()

if(BUILD_TESTING)
  set(INSTALLER_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian's googletest)")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory("${INSTALLER_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
endif()
