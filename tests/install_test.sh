#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that the installed commands run
# and that man renders their pages without warnings.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$1
command -v man >/dev/null || { echo "man is missing: install man-db (apt-get install man-db) to render the manual pages"; exit 1; }
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

status=0
"$prefix/bin/palette-translate" >"$prefix/out.txt" || status=$?
[[ $status -eq 255 ]] || { echo "palette-translate without parameters: status $status"; exit 1; }
grep -q "Insufficient parameters." "$prefix/out.txt" || { echo "palette-translate printed no usage message"; exit 1; }
for command in palette-translate palette-inspect palette-batch; do
  "$prefix/bin/$command" --help | grep -q "usage: $command" || { echo "$command --help failed"; exit 1; }
  file="$prefix/share/man/man1/$command.1.gz"
  [[ -f $file ]] || { echo "missing $file"; exit 1; }
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
  [[ -z $warnings ]] || { echo "man warns about $command.1: $warnings"; exit 1; }
done
echo "installed and rendered"
