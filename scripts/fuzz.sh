#!/usr/bin/env bash
# Builds the archive-opening fuzzer with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer), seeds it with small archives written by tzip,
# Info-ZIP zip and Python's zipfile plus the kept regression inputs, and runs
# it for a bounded time. Fails on any finding.
#
#   scripts/fuzz.sh [SECONDS] [TZIP]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
tzip=${2:-build/release/app/tzip}

dir=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DTESSALY_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j "$(nproc)" --target open_archive_fuzzer

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seeds=$work/seeds
mkdir -p "$seeds" "$work/corpus" "$work/src"
printf 'FileList.cfg\r\nledger.dat\r\n' > "$work/src/FileList.cfg"
head -c 3000 /dev/urandom > "$work/src/noise.dat"
for i in $(seq 200); do echo "ledger line $i"; done > "$work/src/report.rpt"
mkdir -p "$work/src/sub" && echo sub > "$work/src/sub/x.dat"
if [[ -x $tzip ]]; then
  "$tzip" -9 "$seeds/tzip.zip" "$work/src/*.*" >/dev/null
  "$tzip" -6 --zip64 always -P pw "$seeds/tzip64.zip" "$work/src/*.*" >/dev/null
  "$tzip" -0 -s 65536 --classic-naming "$seeds/split.zip" "$work/src/*.*" >/dev/null
fi
(cd "$work/src" && zip -q -r "$seeds/infozip.zip" . -z <<< "a comment")
python3 - "$seeds" <<'PY'
import sys, zipfile
d = sys.argv[1]
with zipfile.ZipFile(d + "/py.zip", "w", zipfile.ZIP_DEFLATED) as z:
    z.comment = b"comment with PK\x05\x06 inside"
    z.writestr("a.txt", "hello " * 50)
    z.writestr(zipfile.ZipInfo("dir/"), "")
with zipfile.ZipFile(d + "/py64.zip", "w", zipfile.ZIP_DEFLATED) as z:
    with z.open("big.txt", "w", force_zip64=True) as f:
        f.write(b"abc" * 300)
PY
cp tests/fuzz/regressions/* "$seeds/" 2>/dev/null || true

echo "=== fuzz: open_archive_fuzzer for ${seconds}s"
set +e +o pipefail
"$dir/tests/fuzz/open_archive_fuzzer" -max_total_time="$seconds" -max_len=65536 \
  -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$work/" "$work/corpus" "$seeds" 2>&1 | tail -n 25
status=${PIPESTATUS[0]}
set -e -o pipefail
if ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-* >/dev/null 2>&1; then
  mkdir -p build/fuzz-findings && cp "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-* build/fuzz-findings/ 2>/dev/null || true
  echo "fuzz: findings kept in build/fuzz-findings"
  exit 1
fi
exit "$status"
