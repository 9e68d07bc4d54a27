#!/usr/bin/env bash
# Installs what is needed, builds, and runs the main job on the embedded demo: mkpak dist makes
# the distribution folder from the demo application and its files (data.pak with the
# uninstaller first, setup.exe, setup.ini, the uninstall.ini template and face.bmp) and the same
# folder as one signed program, hello-setup.exe (signed with a certificate made for the demo),
# which mkpak check reads back. hello-setup.exe then installs under Wine: in a window you can use
# when a display is available, otherwise under Xvfb, driven through one whole installation and
# then its removal by the installed uninstall.exe, with a screenshot of each dialog kept in
# build/demo/screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash cmake/bootstrap.sh
cmake --preset native >/dev/null
cmake --build --preset native --target mkpak
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target setup uninstall onefile hello mkpak demo_face

# This host may run no 32-bit code (then 32-bit Wine cannot start): the run then uses the
# x86_64 build of the same sources.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  run_preset=win32 arch=win32
else
  run_preset=win64 arch=win64
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 --target setup uninstall onefile demo_driver
fi
[ "$run_preset" = win32 ] && cmake --build --preset win32 --target demo_driver

out=build/demo
mkpak=build/native/tools/mkpak
rm -rf "$out"
mkdir -p "$out/payload" "$out/screenshots"

# The payload: the demo application and its documents.
cp -r demo/payload/. "$out/payload/"
cp build/win32/demo/hello.exe "$out/payload/"
cp build/win32/tools/mkpak.exe "$out/"

# A signing certificate of the demo's own, as a publisher's token or signing service would sign.
signing=$out/signing
mkdir -p "$signing"
openssl req -x509 -newkey rsa:2048 -nodes -days 7 -subj "/CN=Hello Demo Publisher" \
  -keyout "$signing/key.pem" -out "$signing/cert.pem" 2>/dev/null
sign="osslsigncode sign -certs '$signing/cert.pem' -key '$signing/key.pem' -n 'Hello Demo'"
sign="$sign -in {} -out {}.signed >/dev/null && mv {}.signed {}"

# The distribution as a publisher ships it: the folder (the 32-bit setup.exe, data.pak with the
# uninstaller first, setup.ini with the package's figures, the log template and the picture),
# and the same as one signed program.
echo
echo "== making $out/dist and $out/hello-setup.exe from $out/payload"
"$mkpak" dist "$out/payload" -o "$out/dist" --ini demo/setup.ini \
  --face build/win32/demo/face.bmp --template demo/uninstall.ini \
  --setup build/win32/app/setup.exe --uninstaller build/win32/uninstall/uninstall.exe \
  --carrier build/win32/onefile/onefile.exe --one-file "$out/hello-setup.exe" \
  --sign-command "$sign"
echo
echo "== distribution folder and single file"
ls -l "$out/dist" "$out/hello-setup.exe"
echo
echo "== mkpak check of the single file, against the demo's certificate"
"$mkpak" check --ca-file "$signing/cert.pem" "$out/hello-setup.exe"

run_file=$out/hello-setup.exe
if [ "$run_preset" = win64 ]; then
  # The same single file from the x86_64 programs; its check reports them as not i686.
  run_file=$out/run-hello-setup.exe
  "$mkpak" dist "$out/payload" -o "$out/run-dist" --ini demo/setup.ini \
    --face build/win32/demo/face.bmp --template demo/uninstall.ini \
    --setup build/win64/app/setup.exe --uninstaller build/win64/uninstall/uninstall.exe \
    --carrier build/win64/onefile/onefile.exe --one-file "$run_file" >/dev/null || [ $? = 1 ]
  echo "(this host runs no 32-bit code: the run below uses the x86_64 build of the same file)"
fi

winpath() { printf 'Z:%s' "$(printf '%s' "$root/$1" | tr / '\\')"; }
wine_run=(bash cmake/wine-run.sh "$root/$out/wineprefix" "$arch")
title=$(sed -n 's/^title=\(.*\)\r$/\1/p' "$out/dist/setup.ini" | head -n 1)
installed=$out/installed

echo
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "== running $run_file on $DISPLAY: choose a folder and press Install"
  "${wine_run[@]}" "$run_file"
  echo "setup.exe has ended: to remove the demo, start \"Uninstall Hello Demo\" from its group"
  echo "or uninstall.exe in the folder you chose"
else
  echo "== no display: running $run_file under Xvfb, installing into $installed"
  bash cmake/with-xvfb.sh "${wine_run[@]}" "build/$run_preset/demo/demo_driver.exe" \
    install "$(winpath "$run_file")" "$title" "$(winpath "$installed")" \
    "$(winpath "$out/screenshots")"
  echo
  echo "== installed files"
  (cd "$installed" && find . -type f | sort | xargs ls -l)
  echo
  echo "== shortcuts (inside the demo's Wine prefix)"
  (cd "$out/wineprefix/drive_c/users" && find . -name '*.lnk' | sort)
  echo
  echo "== the uninstall log"
  tr -d '\r' <"$installed/uninstall.ini"

  echo
  echo "== running the installed uninstall.exe under Xvfb, answering Yes"
  bash cmake/with-xvfb.sh "${wine_run[@]}" "build/$run_preset/demo/demo_driver.exe" \
    uninstall "$(winpath "$installed/uninstall.exe")" "$(winpath "$out/screenshots")"
  echo
  echo "== what is left of the installation"
  left=$( (
    [ -e "$installed" ] && find "$installed"
    find "$out/wineprefix/drive_c/users" \( -path '*Programs/Hello Demo*' -o -name '*Hello Demo*.lnk' \)
  ) | sort)
  if [ -n "$left" ]; then
    printf '%s\n' "$left"
  else
    echo "nothing: the install folder, the group and every link are gone"
  fi
  for shot in "$out"/screenshots/*.bmp; do
    [ -e "$shot" ] && convert "$shot" "${shot%.bmp}.png" && rm "$shot"
  done
  echo "screenshots: $(ls "$out"/screenshots | tr '\n' ' ')"
fi
