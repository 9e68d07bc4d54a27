#!/usr/bin/env bash
# Runs one Windows program under Wine in a prefix of its build folder.
# Usage: wine-run.sh PREFIX win32|win64 PROGRAM [ARGS...]
# The prefix is made once (about 20 s) under a lock, so parallel first runs do not race; later
# starts cost about a second. Exit status 77 means "skipped": this host cannot run that kind.
set -euo pipefail
prefix=$1
arch=$2
shift 2

case "$arch" in
  win32) loader=/usr/lib/wine/wine ;;
  win64) loader=/usr/lib/wine/wine64 ;;
  *) echo "wine-run: unknown Wine architecture '$arch'" >&2; exit 2 ;;
esac
# Some kernels run no 32-bit user code at all; the 32-bit loader then cannot even start.
if ! "$loader" --version >/dev/null 2>&1; then
  echo "wine-run: this host cannot run $loader ($arch programs); skipped" >&2
  exit 77
fi

export WINEPREFIX=$prefix
export WINEARCH=$arch
export WINELOADER=$loader
export WINEDEBUG=-all
# No Mono/Gecko prompts, and shortcuts stay .lnk files inside the prefix.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

# The marker names what the prefix was made with: a prefix made otherwise is made again.
ready=$prefix/.ready-desktop-1600x1200
if [ ! -e "$ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -e "$ready" ]; then
    rm -rf "$prefix"
    "$loader" wineboot -i >/dev/null 2>&1 || true
    # A crash must end the process with its exception code, not wait on a dialog.
    "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >/dev/null 2>&1
    # Windows inside one virtual desktop: no window manager to wait for, whole windows in
    # screenshots; room for the main dialog at 200 % scale.
    "$loader" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f \
      >/dev/null 2>&1
    "$loader" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ \
      /d 1600x1200 /f >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
    # A new prefix links the profile's Desktop, Documents and the like to the host's home;
    # plain folders keep every shortcut and file a test makes inside the prefix.
    for link in "$prefix"/drive_c/users/*/*; do
      if [ -L "$link" ]; then
        rm "$link"
        mkdir "$link"
      fi
    done
    touch "$ready"
  fi
  exec 9>&-
fi
exec "$loader" "$@"
