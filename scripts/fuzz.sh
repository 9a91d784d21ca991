#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer, coverage of the engine), seeds them with small
# archives written by tzip, Info-ZIP zip and Python's zipfile, damaged and
# stubbed copies of them, and the kept regression inputs, and runs both
# targets at once, each for a bounded time under a memory limit. Fails on
# any finding.
#
#   open_archive_fuzzer      opening arbitrary bytes and reading every entry
#                            back must not crash, hang or allocate without
#                            bound
#   update_roundtrip_fuzzer  adding an entry must keep every entry listed
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TZIP]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
tzip=${2:-build/release/app/tzip}

dir=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DTESSALY_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" >/dev/null
targets=(open_archive_fuzzer update_roundtrip_fuzzer)
cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seeds=$work/seeds
mkdir -p "$seeds" "$work/src"
printf 'FileList.cfg\r\nledger.dat\r\n' > "$work/src/FileList.cfg"
: > "$work/src/empty.dat"
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
# Damaged and stubbed copies: junk after the end record and a download cut
# short (both rebuilt from the local headers), data in front of archives
# whose offsets do and do not count it, and a streamed archive (data
# descriptors) without its directory.
head -c 700 /dev/urandom > "$work/stub.bin"
for zip in "$seeds"/tzip.zip "$seeds"/infozip.zip "$seeds"/py.zip; do
  [[ -f $zip ]] || continue
  base=${zip%.zip}
  { cat "$zip"; printf 'x'; } > "$base-junk.zip"
  head -c $(($(stat -c %s "$zip") * 2 / 3)) "$zip" > "$base-cut.zip"
  cat "$work/stub.bin" "$zip" > "$base-stub.zip"
done
cp "$seeds/infozip-stub.zip" "$seeds/infozip-stub-adjusted.zip"
zip -q -A "$seeds/infozip-stub-adjusted.zip"
python3 - "$seeds" <<'PY'
import io, sys, zipfile
class Unseekable(io.RawIOBase):
    def __init__(self): self.data = bytearray()
    def writable(self): return True
    def write(self, b): self.data += b; return len(b)
out = Unseekable()
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("streamed.txt", "streamed " * 40)
    z.writestr("stored.bin", b"PK\x07\x08 inside the data", zipfile.ZIP_STORED)
data = bytes(out.data)
open(sys.argv[1] + "/streamed-nodir.zip", "wb").write(data[:data.find(b"PK\x01\x02")])
PY
cp tests/fuzz/regressions/* "$seeds/" 2>/dev/null || true

# Both targets at once, one per core, each for its SECONDS; their reports
# are printed one after the other when both have ended.
pids=()
for target in "${targets[@]}"; do
  mkdir -p "$work/corpus-$target"
  "$dir/tests/fuzz/$target" -max_total_time="$seconds" -max_len=65536 \
    -rss_limit_mb=1024 -malloc_limit_mb=16 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/$target-" "$work/corpus-$target" "$seeds" \
    >"$work/$target.log" 2>&1 &
  pids+=($!)
done
status=0
for i in "${!targets[@]}"; do
  result=0
  wait "${pids[i]}" || result=$?
  echo "=== fuzz: ${targets[i]} for ${seconds}s"
  tail -n 25 "$work/${targets[i]}.log"
  if [[ $result -ne 0 ]]; then status=$result; fi
done
findings=$(find "$work" -maxdepth 1 \( -name '*-crash-*' -o -name '*-leak-*' \
           -o -name '*-timeout-*' -o -name '*-oom-*' \))
if [[ -n $findings ]]; then
  mkdir -p build/fuzz-findings && cp $findings build/fuzz-findings/
  echo "fuzz: findings kept in build/fuzz-findings"
  exit 1
fi
exit "$status"
