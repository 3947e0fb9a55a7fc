#!/usr/bin/env bash
# Builds the fuzz targets (the translation, and palette-inspect's report), fuzzes each for a
# bounded time, then replays every committed regression through both. Exits non-zero on
# any finding; the failing input is left in build/fuzz/artifacts/ (minimise it with
# -minimize_crash=1 and commit it to fuzz/regressions/ with the fix).
# Usage: fuzz/run.sh [SECONDS] [JOBS]   (SECONDS for each target)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
jobs=${2:-1}

cmake --workflow --preset fuzz >/dev/null
build=build/fuzz
mkdir -p "$build/artifacts"
"$build/fuzz/make-fuzz-seeds" "$build/seeds"

options=(-dict=fuzz/bmp.dict -max_len=4096 -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$build/artifacts/"
  -print_final_stats=1)
for target in translate inspect; do
  fuzzer=$build/fuzz/$target-fuzzer
  corpus=$build/corpus-$target
  mkdir -p "$corpus"
  echo "== $target-fuzzer, $seconds s"
  if ((jobs > 1)); then
    "$fuzzer" "${options[@]}" -max_total_time="$seconds" -jobs="$jobs" -workers="$jobs" "$corpus" "$build/seeds"
    grep -h -E "stat::number_of_executed_units|cov:" fuzz-*.log | tail -n 4 || true
  else
    "$fuzzer" "${options[@]}" -max_total_time="$seconds" "$corpus" "$build/seeds"
  fi
  "$fuzzer" -runs=0 fuzz/regressions
done
