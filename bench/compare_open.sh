#!/usr/bin/env bash
# Opening a large archive: loads the directory of an archive of 100,000
# entries and looks every name up (bench/open_names), against `unzip -l`
# listing the same archive. Prints both times and their ratio.
#
#   bench/compare_open.sh [BUILD_DIR] [ENTRIES]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
entries=${2:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work/large.zip" "$entries" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for i in range(int(sys.argv[2])):
        z.writestr("folder%03d/entry%06d.dat" % (i % 500, i), b"x")
PY
time_of() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN {printf "%.4f", b - a}'
}
# Warm the page cache once, then measure each tool once.
cat "$work/large.zip" >/dev/null
t_ours=$(time_of "$build/bench/open_names" "$work/large.zip")
t_unzip=$(time_of unzip -l "$work/large.zip")
echo "entries: $entries"
echo "open + FindName of every entry: $t_ours s"
echo "unzip -l:                       $t_unzip s"
awk -v a="$t_ours" -v b="$t_unzip" 'BEGIN {printf "ratio ours/unzip: %.3f\n", a / b}'
