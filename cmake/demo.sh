#!/usr/bin/env bash
# Installs what is needed, builds, and runs the main job on the embedded demo: the demo
# application and its files are packed into a distribution folder with mkpak, checked, and
# installed into a folder by the installer's own package reader.
set -euo pipefail
cd "$(dirname "$0")/.."

bash cmake/bootstrap.sh
cmake --preset native >/dev/null
cmake --build --preset native --target mkpak
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target hello mkpak

out=build/demo
mkpak=build/native/tools/mkpak
rm -rf "$out"
mkdir -p "$out/payload" "$out/dist"

# The payload: the demo application and its documents.
cp -r demo/payload/. "$out/payload/"
cp build/win32/demo/hello.exe "$out/payload/"
# The distribution folder as a package author ships it, with the Windows pack tool beside it.
cp demo/setup.ini demo/uninstall.ini "$out/dist/"
cp build/win32/tools/mkpak.exe "$out/"

echo
echo "== packing $out/payload into $out/dist/data.pak"
"$mkpak" build "$out/payload" -o "$out/dist/data.pak" --ini "$out/dist/setup.ini"
echo
echo "== members"
"$mkpak" list "$out/dist/data.pak"
echo
echo "== verifying"
"$mkpak" verify "$out/dist/data.pak"
echo
echo "== installing into $out/installed with the installer's package reader"
"$mkpak" extract "$out/dist/data.pak" "$out/installed"
echo
echo "== distribution folder"
ls -l "$out/dist"
echo
echo "== installed files"
(cd "$out/installed" && find . -type f | sort | xargs ls -l)
