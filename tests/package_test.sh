#!/usr/bin/env bash
# Builds the Debian package from a build and checks what it holds: the three commands,
# gzipped manual pages, the copyright and changelog, and the Recommends field.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A test build is not static, so its libraries would be scanned; only the contents
# matter here, and the scan would need the file utility.
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -D CPACK_DEBIAN_PACKAGE_SHLIBDEPS=OFF >cpack.log) ||
  { cat "$work/cpack.log"; exit 1; }
package=$(ls "$work"/*.deb)
dpkg-deb -x "$package" "$work/root"
fail() { echo "$package: $*"; exit 1; }

for command in palette-translate palette-inspect palette-batch; do
  [[ -x $work/root/usr/bin/$command ]] || fail "no usr/bin/$command"
  page=$work/root/usr/share/man/man1/$command.1.gz
  gzip -t "$page" 2>/dev/null || fail "no gzipped manual page for $command"
done
[[ -z $(find "$work/root/usr/share/man" -name '*.1') ]] || fail "an uncompressed manual page"
doc=$work/root/usr/share/doc/quorl-palette-translation
[[ -f $doc/copyright ]] || fail "no copyright file"
gzip -t "$doc/changelog.gz" 2>/dev/null || fail "no gzipped changelog"
[[ $(dpkg-deb -f "$package" Recommends) == man-db ]] || fail "does not recommend man-db"
echo "package holds what it should"
