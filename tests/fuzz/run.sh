#!/usr/bin/env bash
# Builds the fuzz preset and runs each libFuzzer target for SECONDS (default 30) on a copy of its
# seed corpus, so the committed corpus does not grow. A crash, timeout or memory blow-up is
# copied into tests/fuzz/regressions/<target>/, where the ordinary test run replays it, and the
# script exits non-zero.
#
# Usage: tests/fuzz/run.sh [SECONDS]
set -euo pipefail

seconds=${1:-30}
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work=$(mktemp -d "${TMPDIR:-/tmp}/installer-fuzz-run.XXXXXX")
trap 'rm -rf "$work"' EXIT
# The targets write a few small files per input: memory-backed storage makes that cheap.
scratch=$work/tmp
if [[ -d /dev/shm && -w /dev/shm ]]; then
  scratch=$(mktemp -d /dev/shm/installer-fuzz.XXXXXX)
  trap 'rm -rf "$work" "$scratch"' EXIT
fi
mkdir -p "$scratch"

# target, seed corpus, dictionary, longest input. A package needs room for a few members;
# setup.ini is small: 4 KiB holds many lines and values past every buffer size the target uses.
targets=(
  "fuzz_pack_reader pack pack.dict 65536"
  "fuzz_profile profile profile.dict 4096"
  "fuzz_uninstall_log uninstall_log uninstall_log.dict 4096"
)

status=0
for entry in "${targets[@]}"; do
  read -r target corpus dict max_len <<<"$entry"
  mkdir -p "$work/$target/corpus" "$work/$target/artifacts"
  cp tests/fuzz/corpus/"$corpus"/* "$work/$target/corpus/"
  log=$work/$target/log
  result=ok
  # -timeout: an input takes milliseconds, so 10 s means a hang.
  if ! TMPDIR=$scratch "build/fuzz/tests/fuzz/$target" \
      -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
      -dict="tests/fuzz/$dict" \
      -print_final_stats=1 -artifact_prefix="$work/$target/artifacts/" \
      "$work/$target/corpus" >"$log" 2>&1; then
    result=FAILED
    status=1
  fi
  # The final statistics, or after a crash the last progress line.
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  [[ -n $execs ]] || execs=$(sed -n 's/^#\([0-9]*\).*/\1/p' "$log" | tail -n 1)
  per_second=$(sed -n 's/.* exec\/s: \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  corpus_size=$(find "$work/$target/corpus" -type f | wc -l)
  echo "$target: $result, ${execs:-?} executions in ${seconds}s (${per_second:-?}/s), corpus $corpus_size inputs"
  if [[ $result != ok ]]; then
    mkdir -p "tests/fuzz/regressions/$target"
    for artifact in "$work/$target/artifacts"/*; do
      [[ -e $artifact ]] || continue
      cp "$artifact" "tests/fuzz/regressions/$target/"
      echo "  kept tests/fuzz/regressions/$target/$(basename "$artifact")"
    done
    echo "  last lines of the log:"
    tail -n 40 "$log" | sed 's/^/    /'
  fi
done
exit $status
