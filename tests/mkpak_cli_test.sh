#!/usr/bin/env bash
# mkpak as a package author uses it: exit statuses, --ini, and refusals that leave nothing behind.
# Usage: mkpak_cli_test.sh PATH_TO_MKPAK VERSION
set -uo pipefail
mkpak=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0

check() {  # check NAME EXPECTED_STATUS COMMAND...
  local name=$1 want=$2
  shift 2
  "$@" >"$work/log" 2>&1
  local got=$?
  # Keep what the last mkpak said, for the checks on its output that follow.
  [ "$1" = "$mkpak" ] && cp "$work/log" "$work/said"
  if [ "$got" = "$want" ]; then
    passes=$((passes + 1))
  else
    failures=$((failures + 1))
    echo "FAIL $name: exit $got, expected $want"
    sed 's/^/    /' "$work/log"
  fi
}

mkdir -p "$work/src/docs"
printf 'hello\n' >"$work/src/readme.txt"
printf 'license\n' >"$work/src/docs/license.txt"
printf '[main]\r\ntitle=Demo\r\ntotalfiles=7\r\n\r\n[shortcut]\r\ngroup=G\r\n' >"$work/setup.ini"

check "build" 0 "$mkpak" build "$work/src" -o "$work/data.pak" --ini "$work/setup.ini"
check "totalfiles printed" 0 grep -qx 'totalfiles=2' "$work/said"
check "ini updated in place" 0 cmp -s "$work/setup.ini" \
  <(printf '[main]\r\ntitle=Demo\r\ntotalfiles=2\r\n\r\n[shortcut]\r\ngroup=G\r\n')
check "list" 0 "$mkpak" list "$work/data.pak"
check "list names" 0 grep -q 'docs\\license.txt' "$work/said"
check "verify" 0 "$mkpak" verify "$work/data.pak"
check "extract" 0 "$mkpak" extract "$work/data.pak" "$work/installed"
check "extracted" 0 cmp "$work/src/docs/license.txt" "$work/installed/docs/license.txt"

head -c 300 "$work/data.pak" >"$work/cut.pak"
check "verify finds truncation" 1 "$mkpak" verify "$work/cut.pak"
check "fault names member" 0 grep -q "readme.txt\\|docs" "$work/said"

cp "$work/data.pak" "$work/before.pak"
printf 'x' >"$work/src/bad:name.txt"
check "forbidden name refused" 2 "$mkpak" build "$work/src" -o "$work/data.pak"
check "previous output kept" 0 cmp -s "$work/data.pak" "$work/before.pak"
check "no partial file" 1 test -e "$work/data.pak.part"
rm "$work/src/bad:name.txt"

# The installer writes location + "\" + name: a 255-byte name leaves room for "C:\" exactly.
mkdir -p "$work/long/$(printf 'd%.0s' $(seq 200))"
printf 'x' >"$work/long/$(printf 'd%.0s' $(seq 200))/$(printf 'f%.0s' $(seq 54))"
check "255-byte name" 0 "$mkpak" build "$work/long" -o "$work/long.pak"
check "room for the folder" 0 grep -q 'install folders of up to 3 characters fit' "$work/said"

# The uninstaller goes first, whatever its name sorts as, and only once.
printf 'MZ' >"$work/uninstall.exe"
check "build with uninstaller" 0 "$mkpak" build "$work/src" -o "$work/u.pak" --uninstaller "$work/uninstall.exe"
check "totalfiles counts it" 0 grep -qx 'totalfiles=3' "$work/said"
check "list with uninstaller" 0 "$mkpak" list "$work/u.pak"
check "uninstaller first" 0 bash -c "head -n1 '$work/said' | grep -q ' uninstall.exe\$'"
cp "$work/uninstall.exe" "$work/src/Uninstall.exe"
check "second uninstaller refused" 2 "$mkpak" build "$work/src" -o "$work/u2.pak" --uninstaller "$work/uninstall.exe"
rm "$work/src/Uninstall.exe"
check "missing uninstaller refused" 2 "$mkpak" build "$work/src" -o "$work/u2.pak" --uninstaller "$work/none.exe"

check "missing source refused" 2 "$mkpak" build "$work/none" -o "$work/x.pak"
check "no output for missing source" 1 test -e "$work/x.pak"
check "bad level" 2 "$mkpak" build "$work/src" -o "$work/x.pak" -l 13
check "missing package refused" 2 "$mkpak" verify "$work/none.pak"
check "usage" 2 "$mkpak" frobnicate
check "help" 0 "$mkpak" --help
check "version" 0 grep -qx "mkpak $version" <("$mkpak" --version)

echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
