#!/bin/sh
# Times the whole tool on each kernel tier side by side: the bench build (every tier, every
# processor), one build capped with PALETTE_KERNELS per lower tier, and the best tier held
# to one thread (PALETTE_MAX_THREADS=1), every build run in turn within each round against
# cat.
# Usage: bench/tiers.sh [WORK_DIR]   (run from the source tree's top)
set -eu
dir=${1:-$(mktemp -d)}
tools=""
for variant in auto avx2 portable one-thread; do
  build=build/bench-$variant
  tier=$variant
  threads=0
  [ "$variant" = auto ] && build=build/bench
  [ "$variant" = one-thread ] && tier=auto && threads=1
  cmake --preset bench -B "$build" -DPALETTE_KERNELS=$tier -DPALETTE_MAX_THREADS=$threads >/dev/null
  cmake --build "$build" --target palette-translate >/dev/null
  tools="$tools $build/src/palette-translate"
done
cmake --build build/bench --target bench-translate >/dev/null
# shellcheck disable=SC2086
build/bench/bench/bench-translate "$dir" tiers $tools
