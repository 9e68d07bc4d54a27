#!/usr/bin/env bash
# Runs one Windows program under Wine in a prefix of its own build folder. The prefix is made
# once (about 20 s) under a lock, so parallel first runs do not race; later starts cost ~1 s.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix
export WINEDEBUG=-all
# No Mono/Gecko prompts, and shortcuts stay .lnk files inside the prefix.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export WINEARCH=win32

if [ ! -e "$prefix/.ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -e "$prefix/.ready" ]; then
    rm -rf "$prefix"
    wineboot -i >/dev/null 2>&1 || true
    # A crash must end the process with its exception code, not wait on a dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.ready"
  fi
  exec 9>&-
fi
exec wine "$@"
