#!/usr/bin/env bash
# Builds the Windows zip from a build and checks what it holds: one folder with the three
# commands, needing no DLL but Windows' own, each with its manifest and version, the manual
# pages, the README and the pages it links to, the licence and the notices of what is linked in, all as CR LF text.
# Usage: zip_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$work" && cpack -G ZIP --config "$build/CPackConfig.cmake" >cpack.log) ||
  { cat "$work/cpack.log"; exit 1; }
package=$(ls "$work"/*.zip)
fail() { echo "$package: $*"; exit 1; }
[[ $(basename "$package") == quorl-palette-translation-*-win64.zip ]] || fail "wrong name"
(cd "$work" && cmake -E tar xf "$package")
root=$work/$(basename "$package" .zip)
[[ -d $root ]] || fail "no top folder named like the zip"

for command in palette-translate palette-inspect palette-batch; do
  [[ -f $root/$command.exe ]] || fail "no $command.exe"
  dlls=$(x86_64-w64-mingw32-objdump -p "$root/$command.exe" | sed -n 's/^\s*DLL Name: //p' | sort -u)
  [[ $(tr '\n' ' ' <<<"$dlls") == "KERNEL32.dll msvcrt.dll " ]] ||
    fail "$command.exe needs more than Windows' own DLLs: $dlls"
  manual=$root/$command.txt
  grep -q "^NAME" "$manual" || fail "no manual text for $command"
  [[ $(grep -c $'\r$' "$manual") == $(wc -l <"$manual") ]] || fail "$command.txt has a bare LF"
  ! grep -q $'\b' "$manual" || fail "$command.txt has overstrikes"
done
# The pages the README links to are beside it.
for page in $(grep -o '](docs/[a-z-]*\.md)' "$root/README.md" | sed 's/^](//; s/)$//' | sort -u); do
  [[ -f $root/$page ]] || fail "no $page, which the README links to"
  [[ $(grep -c $'\r$' "$root/$page") == $(wc -l <"$root/$page") ]] || fail "$page has a bare LF"
done
for text in README.md LICENSE.txt THIRD-PARTY-NOTICES.txt; do
  [[ -f $root/$text ]] || fail "no $text"
  [[ $(grep -c $'\r$' "$root/$text") == $(wc -l <"$root/$text") ]] || fail "$text has a bare LF"
done
for linked in winpthreads "GCC RUNTIME LIBRARY EXCEPTION" "Jean-loup Gailly"; do
  grep -q "$linked" "$root/THIRD-PARTY-NOTICES.txt" || fail "no notice for $linked"
done
for command in palette-translate palette-inspect palette-batch; do
  # The manifest and the version resource are in the file as windres put them.
  grep -q 'longPathAware' "$root/$command.exe" || fail "$command.exe has no longPathAware manifest"
  grep -qa 'P.r.o.d.u.c.t.V.e.r.s.i.o.n' "$root/$command.exe" || fail "$command.exe has no version"
done
echo "zip holds what it should"
