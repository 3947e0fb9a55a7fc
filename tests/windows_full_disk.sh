#!/usr/bin/env bash
# The Windows palette-translate, under Wine, writing onto a full disk: status -1 (255 here),
# the write diagnostic, and an output cut back to 0 bytes. The disk is a one-page tmpfs,
# mounted where the running wineserver sees it; without the right to mount, it skips.
# Usage: windows_full_disk.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
mkdir "$work/small"
if ! mount -t tmpfs -o size=4k tmpfs "$work/small" 2>/dev/null; then
  rm -rf "$work"
  echo "skipped: cannot mount a small tmpfs here"
  exit 77
fi
trap 'umount "$work/small"; rm -rf "$work"' EXIT
export WINEDEBUG=-all
status=0
wine "$build/src/palette-translate.exe" "$root/docs/sample.bmp" "$work/small/out.bmp" \
  40 40 40 30 >"$work/said" 2>&1 || status=$?
fail() { echo "$*"; cat "$work/said"; exit 1; }
((status == 255)) || fail "status $status, not 255"
grep -q "Error: _write failed." "$work/said" || fail "no write diagnostic"
[[ $(stat -c %s "$work/small/out.bmp") == 0 ]] || fail "the output was not cut back to 0 bytes"
echo "a full disk leaves an empty output"
