#!/usr/bin/env bash
# Fails on a `long` or `unsigned long` in src/: 64 bits on Linux, 32 on Windows, so a size
# that goes through one is cut on one platform only. `long long` is 64 bits everywhere
# and stays allowed, for printf. Comments and string literals are left out of the search.
# Usage: check_no_long.sh PROJECT_ROOT
set -euo pipefail
cd "$1"
# The tracked sources, or every source where the tree is no git checkout (a copy, a tarball).
sources() {
  git ls-files -z 'src/*.cpp' 'src/*.h' 2>/dev/null ||
    find src \( -name '*.cpp' -o -name '*.h' \) -print0
}
found=$(sources | xargs -0 -r perl -ne '
  s{//.*}{};                        # line comments
  s{"(?:[^"\\]|\\.)*"}{""}g;        # string literals
  s{\blong\s+long\b}{}g;            # 64 bits everywhere
  print "$ARGV:$.: $_" if /\blong\b/;
  close ARGV if eof;')
if [[ -n $found ]]; then
  echo "long is 32 bits on Windows; use std::int64_t, std::size_t or a fixed width:"
  echo "$found"
  exit 1
fi
echo "no long in src/"
