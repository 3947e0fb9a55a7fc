#!/usr/bin/env bash
# Runs palette-translate, palette-inspect and palette-batch on inputs at and past the size
# limit: a valid bitmap followed by zeros, as sparse files that cost no disk. Every size
# must go through 64 bits: the largest allowed translates, every larger one is refused as
# too large, whatever its low 32 bits say (4 GiB + 1,094 bytes looks like 1,094). With a
# second build, its statuses and lines must be the reference's.
# Usage: large_inputs.sh REFERENCE_BIN [OTHER_BIN [wine]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
reference=$(cd "$1" && pwd)
other=${2:+$(cd "$2" && pwd)}
runner=() suffix=""
if [[ ${3:-} == wine ]]; then runner=(wine) suffix=.exe; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEDEBUG=-all
cd "$work"

limit=2147482624
sizes=($((limit - 1)) $limit $((2 ** 31 + 4096)) $((2 ** 32 + 1094)) $((5 * 2 ** 30)))
too_large="The input is too large: it must be smaller than $limit bytes."

run() {  # run BUILD TAG COMMAND ARGS...: output (CR LF as LF) then status, to TAG.out
  local build=$1 tag=$2 command=$3
  shift 3
  local status=0 prefix=() ext=""
  if [[ $build == "$other" ]]; then prefix=("${runner[@]}") ext=$suffix; fi
  "${prefix[@]}" "$build/$command$ext" "$@" >"$tag.out" 2>&1 || status=$?
  sed -i 's/\r$//; s|\\|/|g' "$tag.out"
  printf "\nstatus %s\n" "$status" >>"$tag.out"
}

runs() {  # runs BUILD SIZE NAME: the three commands on in-SIZE/NAME, to SIZE-NAME.*.out
  local build=$1 size=$2 name=$3 side=ref
  [[ $build == "$other" ]] && side=other
  run "$build" "$size.translate.$side" palette-translate "in-$size/$name" "$size-$side.bmp" 40 40 40 30
  run "$build" "$size.inspect.$side" palette-inspect "in-$size/$name"
  run "$build" "$size.batch.$side" palette-batch "in-$size" "out-$size" 40 40 40 30
  rm -rf "out-$size" "$size-$side.bmp"
}

failures=0
fail() {
  echo "$1"
  failures=1
}

for size in "${sizes[@]}"; do
  mkdir "in-$size"
  cp "$root/docs/sample.bmp" "in-$size/big.bmp"
  truncate -s "$size" "in-$size/big.bmp"
  runs "$reference" "$size" big.bmp
  # The reference's own answers: the limit holds.
  if ((size < limit)); then
    grep -qx "status 0" "$size.translate.ref.out" || fail "$size bytes: not translated"
    grep -q "1 translated, 0 failed" "$size.batch.ref.out" || fail "$size bytes: batch did not translate it"
  else
    for command in translate inspect batch; do
      grep -qF "$too_large" "$size.$command.ref.out" || fail "$size bytes: $command did not refuse it as too large"
    done
    grep -qx "status 254" "$size.translate.ref.out" || fail "$size bytes: palette-translate's status"
  fi
  if [[ -n $other ]]; then
    runs "$other" "$size" big.bmp
    for command in translate inspect batch; do
      cmp -s "$size.$command.ref.out" "$size.$command.other.out" ||
        fail "$size bytes: $command differs: $(tr '\n' ' ' <"$size.$command.other.out" | head -c 400)"
    done
  fi
  rm -rf "in-$size"
done
((failures == 0)) && echo "large inputs: the same answers for ${#sizes[@]} sizes"
exit $failures
