# The release archive setup-kit-<version>.zip, made by the target "release" of the i686 build:
# setup.exe, uninstall.exe, onefile.exe and mkpak.exe as shipped (stripped), the Linux mkpak,
# the demo as a sample distribution folder and as the single file hello-setup.exe, and the
# publisher's guide. The Linux mkpak comes from the native build,
# which must be built first; it also makes the sample.
#   cmake --build --preset native --target mkpak && cmake --build --preset win32 --target release
set(INSTALLER_LINUX_MKPAK "${PROJECT_SOURCE_DIR}/build/native/tools/mkpak" CACHE FILEPATH
    "mkpak of a native build, for the release archive")
find_program(INSTALLER_HOST_STRIP strip REQUIRED)

set(_kit "setup-kit-${PROJECT_VERSION}")
set(_stage "${CMAKE_BINARY_DIR}/release")
set(_zip "${_stage}/${_kit}.zip")
set(_sample "${_stage}/${_kit}/sample")
set(_payload "${_stage}/payload")
set(_guide "${PROJECT_SOURCE_DIR}/docs/publisher-guide.md")
file(GLOB_RECURSE _payload_files CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/demo/payload/*")
set(_sample_files "${PROJECT_SOURCE_DIR}/demo/setup.ini" "${PROJECT_SOURCE_DIR}/demo/uninstall.ini"
                  "${PROJECT_BINARY_DIR}/demo/face.bmp")

add_custom_command(OUTPUT "${_zip}"
  COMMAND "${CMAKE_COMMAND}" -E rm -rf "${_stage}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${_stage}/${_kit}" "${_payload}"
  COMMAND "${CMAKE_COMMAND}" -E copy $<TARGET_FILE:setup> $<TARGET_FILE:uninstall>
          $<TARGET_FILE:onefile> $<TARGET_FILE:mkpak> "${_guide}" "${_stage}/${_kit}"
  # A Linux mkpak not built again since the version changed would go out under the wrong number.
  COMMAND bash -c [[test "$("$0" --version)" = "mkpak $1" || { echo "$0 is not mkpak $1" >&2; exit 1; }]]
          "${INSTALLER_LINUX_MKPAK}" "${PROJECT_VERSION}"
  COMMAND "${INSTALLER_HOST_STRIP}" -o "${_stage}/${_kit}/mkpak" "${INSTALLER_LINUX_MKPAK}"
  # The sample: the demo's distribution folder and single file, made by mkpak dist from the
  # demo's payload.
  COMMAND "${CMAKE_COMMAND}" -E copy_directory "${PROJECT_SOURCE_DIR}/demo/payload" "${_payload}"
  COMMAND "${CMAKE_COMMAND}" -E copy $<TARGET_FILE:hello> "${_payload}"
  COMMAND "${INSTALLER_LINUX_MKPAK}" dist "${_payload}" -o "${_sample}"
          --ini "${PROJECT_SOURCE_DIR}/demo/setup.ini" --face "${PROJECT_BINARY_DIR}/demo/face.bmp"
          --template "${PROJECT_SOURCE_DIR}/demo/uninstall.ini"
          --uninstaller $<TARGET_FILE:uninstall> --setup $<TARGET_FILE:setup>
          --one-file "${_stage}/${_kit}/hello-setup.exe" --carrier $<TARGET_FILE:onefile>
  COMMAND Python3::Interpreter "${PROJECT_SOURCE_DIR}/cmake/make_zip.py" "${_zip}" "${_stage}"
          "${_kit}"
  DEPENDS setup uninstall onefile mkpak hello demo_face "${INSTALLER_LINUX_MKPAK}" "${_guide}"
          ${_payload_files} ${_sample_files} "${PROJECT_SOURCE_DIR}/cmake/make_zip.py"
  COMMENT "Making ${_kit}.zip"
  VERBATIM)
add_custom_target(release DEPENDS "${_zip}")
