#!/usr/bin/env bash
# The Windows palette-translate, under Wine, given a read-only output: refused at the open,
# with the open diagnostic and status -1 (255 here), and the file left as it was. Wine run
# by root writes read-only files anyway, so root runs it as nobody, in a Wine prefix of
# its own (made on first use, which takes a few seconds).
# Usage: windows_read_only.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Copied, so that the other user can run it wherever the build lies.
cp "$build/src/palette-translate.exe" "$root/docs/sample.bmp" "$work/"
echo old >"$work/out.bmp"
chmod 444 "$work/out.bmp"
as_user=()
if ((EUID == 0)); then
  if ! command -v runuser >/dev/null || ! id nobody >/dev/null 2>&1; then
    echo "skipped: run by root, with no other user to run Wine as"
    exit 77
  fi
  prefix=/tmp/palette-wine-nobody
  mkdir -p "$prefix"
  chown nobody "$prefix" "$work"
  as_user=(runuser -u nobody -- env HOME="$prefix" WINEPREFIX="$prefix/wine")
fi
status=0
"${as_user[@]}" env WINEDEBUG=-all wine "$work/palette-translate.exe" "$work/sample.bmp" \
  "$work/out.bmp" 40 40 40 30 >"$work/said" 2>/dev/null || status=$?
fail() { echo "$*"; cat "$work/said"; exit 1; }
((status == 255)) || fail "status $status, not 255"
tr -d '\r' <"$work/said" | grep -q "Error:_open failed.\$" || fail "no open diagnostic"
tr -d '\r' <"$work/said" | grep -q "Mode=33538" || fail "no mode in the diagnostic"
[[ $(cat "$work/out.bmp") == old ]] || fail "the read-only output was changed"
echo "a read-only output is refused at the open"
