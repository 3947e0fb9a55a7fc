#!/usr/bin/env bash
# Holds every #include of the shipped code to the arrows between its rooms: a room includes
# its own headers, and those of the rooms below it that it may use. The compiler already
# refuses another room's private headers (each room exports only its include/ folder); this
# table also keeps the commands to the facade, palette/translation.h, among the core's public
# headers, and the reference model to the facade alone. Prints the table and every include
# across it; fails on one.
# Usage: tests/check_rooms.sh [ROOT]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

facade=palette/translation.h
# room (a folder; the reference model is its two files, not its driver) -> what its sources
# may include: rooms, or single headers
rooms=(image palette os kit translate inspect batch tests/reference)
declare -A allowed=(
  [image]="image"
  [palette]="palette image"
  [os]="os"
  [kit]="kit os $facade"
  [translate]="translate kit os $facade"
  [inspect]="inspect kit os $facade"
  [batch]="batch kit os $facade"
  [tests/reference]="$facade"
)

echo "room             may include"
for room in "${rooms[@]}"; do
  printf '%-16s %s\n' "$room" "${allowed[$room]}"
done

folder_of() {
  case $1 in
    tests/*) echo "$1" ;;
    *) echo "src/$1" ;;
  esac
}

pattern_of() {
  case $1 in
    tests/reference) echo 'reference_model.*' ;;
    *) echo '*.[ch]*' ;;
  esac
}

crossings=0
for room in "${rooms[@]}"; do
  folder=$(folder_of "$room")
  while IFS= read -r line; do
    file=${line%%:*}
    header=$(sed -E 's/.*#include ["<]([^">]+)[">].*/\1/' <<<"${line#*:}")
    # Headers beside the source, without a room, are its own; an angle-bracket include
    # counts where it names a room (<palette/…>), never a system header (<sys/…>).
    [[ $header == */* ]] || continue
    [[ " ${rooms[*]} tests " == *" ${header%%/*} "* ]] || continue
    ok=0
    for target in ${allowed[$room]}; do
      if [[ $header == "$target" || $header == "$target"/* ]]; then
        ok=1
        break
      fi
    done
    if ((!ok)); then
      echo "$file: includes $header, outside what $room may use"
      crossings=$((crossings + 1))
    fi
  done < <(grep -rnE '^\s*#\s*include ["<]' "$folder" --include="$(pattern_of "$room")" |
    sed -E 's/^([^:]+):[0-9]+:/\1:/')
done
if ((crossings)); then
  echo "$crossings includes cross the rooms' arrows"
  exit 1
fi
echo "every include keeps to the arrows"
