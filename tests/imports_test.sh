#!/usr/bin/env bash
# The DLLs a shipped program imports directly are loaded before it can restrict where DLLs come
# from, so they must be ones that are safe wherever the program lies: known system DLLs, and
# comctl32 through the manifest's side-by-side binding. Everything else is loaded later, from
# the system folder.
# Usage: imports_test.sh OBJDUMP PROGRAM...
set -uo pipefail
objdump=$1
shift
allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll msvcrt.dll comctl32.dll "
failures=0
for program in "$@"; do
  dlls=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
  if [ -z "$dlls" ]; then
    echo "FAIL ${program##*/}: no import table read"
    failures=$((failures + 1))
    continue
  fi
  bad=""
  for dll in $dlls; do
    case "$allowed" in
      *" $dll "*) ;;
      *) bad="$bad $dll" ;;
    esac
  done
  if [ -n "$bad" ]; then
    echo "FAIL ${program##*/} imports$bad"
    failures=$((failures + 1))
  fi
done
echo "$(($# - failures)) passed, $failures failed"
[ "$failures" = 0 ]
