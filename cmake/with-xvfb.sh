#!/usr/bin/env bash
# Runs a command with an X server of its own on a free display, and stops that server after.
# Usage: with-xvfb.sh COMMAND [ARGS...]
set -uo pipefail
fdfile=$(mktemp)
trap 'rm -f "$fdfile"' EXIT
# -displayfd picks a free display and writes its number when the server is ready.
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$fdfile" ] && break
  sleep 0.1
done
if [ ! -s "$fdfile" ]; then
  echo "with-xvfb: Xvfb did not start" >&2
  kill "$xvfb" 2>/dev/null
  exit 1
fi
export DISPLAY=":$(head -n 1 "$fdfile")"
"$@"
status=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $status
