#!/usr/bin/env bash
# Installs what is needed, builds every configuration and runs every test:
# native (gcc), native with AddressSanitizer and UndefinedBehaviorSanitizer, the i686 product
# build, its release archive (built twice, to see that it is reproducible), its x86_64 twin under
# 64-bit Wine, and a short run of each fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_seconds=${FUZZ_SECONDS:-30}

step() { printf '\n== %s\n' "$*"; }

bash cmake/bootstrap.sh

build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
}

step "native build and tests"
build native
ctest --preset native

step "sanitizer build and tests"
build asan
ctest --preset asan

step "fuzzing, ${fuzz_seconds} s per target"
bash tests/fuzz/run.sh "$fuzz_seconds"

step "i686 Windows build (the product)"
build win32
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  ctest --preset win32
else
  echo "This host's kernel runs no 32-bit code, so 32-bit Wine cannot start here;"
  echo "the same tests run below as x86_64 programs under 64-bit Wine."
fi

step "release archive, and the same built again in fresh folders: byte for byte the same"
cmake --build --preset win32 --target release
again=$(mktemp -d)
cmake --preset native -B "$again/native" >/dev/null
cmake --build "$again/native" --target mkpak >/dev/null
cmake --preset win32 -B "$again/win32" -DINSTALLER_LINUX_MKPAK="$again/native/tools/mkpak" >/dev/null
cmake --build "$again/win32" --target release >/dev/null
for zip in build/win32/release/setup-kit-*.zip; do
  sha256sum "$zip" "$again/win32/release/${zip##*/}"
  cmp "$zip" "$again/win32/release/${zip##*/}"
done
rm -rf "$again"

step "x86_64 Windows build, tests under Wine"
build win64
ctest --preset win64
