#!/bin/sh
# Times the whole tool on each kernel tier side by side: the bench build (every tier) and
# one build capped with PALETTE_KERNELS per lower tier, every build run in turn within each
# round against cat.
# Usage: bench/tiers.sh [WORK_DIR]   (run from the source tree's top)
set -eu
dir=${1:-$(mktemp -d)}
tools=""
for tier in auto avx2 portable; do
  build=build/bench-$tier
  [ "$tier" = auto ] && build=build/bench
  cmake --preset bench -B "$build" -DPALETTE_KERNELS=$tier >/dev/null
  cmake --build "$build" --target palette-translate >/dev/null
  tools="$tools $build/src/palette-translate"
done
cmake --build build/bench --target bench-translate >/dev/null
# shellcheck disable=SC2086
build/bench/bench/bench-translate "$dir" tiers $tools
