#!/usr/bin/env bash
# Times tzip with the collector's settings, on one compression thread
# (--threads 1) and with the default (one per core), against Info-ZIP zip
# and against the single-thread compression floor (the same zlib calls on
# the same blocks, writing nothing), over several runs, and prints the
# medians, each ratio to the floor, the total output sizes and tzip's peak
# resident memory; both tzip runs must write the same volumes. Then the
# other end: the split archive tzip wrote, tested (-t) and extracted (-x)
# by tzip and by 7-Zip, and its single-file join (tzip --join) by Info-ZIP
# unzip, which reads no split archive; with the ratio of tzip to the
# fastest peer.
#
#   bench/compare_peers.sh [BUILD_DIR] [DATA_MB] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
# Made absolute: the runs below work from inside the data folder.
[[ -d $build ]] || { echo "no build folder $build"; exit 1; }
build=$(cd "$build" && pwd)
mb=${2:-200}
runs=${3:-3}

for tool in "$build/app/tzip" "$build/bench/deflate_floor"; do
  [[ -x $tool ]] || { echo "missing $tool: build first (scripts/test.sh)"; exit 1; }
done
for peer in zip unzip 7z; do
  command -v $peer >/dev/null || { echo "missing $peer (Info-ZIP zip, unzip, 7-Zip)"; exit 1; }
done
[[ -x /usr/bin/time ]] || { echo "missing /usr/bin/time (package time)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
data=$work/data
python3 "$root/bench/make_data.py" "$data" "$mb"
mapfile -t files < <(cd "$data" && ls)

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
seconds() {  # seconds taken by "$@", output discarded
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN {print b - a}'
}
sum_sizes() { local t=0 f; for f in "$@"; do t=$((t + $(stat -c %s "$f"))); done; echo $t; }

tzip_run() {  # [THREADS]: output in $work/tzip$THREADS
  local out=$work/tzip${1:-}
  rm -rf "$out" && mkdir "$out"
  (cd "$data" && "$build/app/tzip" ${1:+--threads "$1"} -9 -s 2097152 \
     --classic-naming -p none -R \
     "$out/Orvane.zip" "$data/FileList.cfg" "$data/*.dat" "$data/*.rpt" "$data/*.bmp")
}
zip_run() {
  rm -rf "$work/zip" && mkdir "$work/zip"
  (cd "$data" && zip -q -9 -s 2m -j "$work/zip/Orvane.zip" FileList.cfg *.dat *.rpt *.bmp)
}
floor_run() { (cd "$data" && "$build/bench/deflate_floor" 9 "${files[@]}"); }

declare -a t_tzip t_tzip1 t_zip t_floor
for ((i = 0; i < runs; i++)); do
  t_floor+=("$(seconds floor_run)")
  t_tzip1+=("$(seconds tzip_run 1)")
  t_tzip+=("$(seconds tzip_run)")
  t_zip+=("$(seconds zip_run)")
done
m_tzip=$(printf '%s\n' "${t_tzip[@]}" | median)
m_tzip1=$(printf '%s\n' "${t_tzip1[@]}" | median)
m_zip=$(printf '%s\n' "${t_zip[@]}" | median)
m_floor=$(printf '%s\n' "${t_floor[@]}" | median)

floor_bytes=$(floor_run | awk '{print $6}')
tzip_bytes=$(sum_sizes "$work"/tzip/*)
zip_bytes=$(sum_sizes "$work"/zip/*)
peak_rss() {  # [THREADS]
  { /usr/bin/time -v bash -c "$(declare -f tzip_run); work=$work data=$data build=$build tzip_run $*" >/dev/null; } 2>&1 |
    awk -F: '/Maximum resident set size/ {gsub(/ /,"",$2); print $2}'
}
rss=$(peak_rss)
rss1=$(peak_rss 1)
same=yes
for f in "$work"/tzip1/*; do
  cmp -s "$f" "$work/tzip/$(basename "$f")" || same=NO
done
[[ $(ls "$work/tzip1" | wc -l) -eq $(ls "$work/tzip" | wc -l) ]] || same=NO
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", a / b}'; }

printf 'data: %s MB, %d files, %d runs (median)\n' "$mb" "${#files[@]}" "$runs"
printf 'floor            %7.2f s   %12d bytes of deflate data\n' "$m_floor" "$floor_bytes"
printf 'tzip --threads 1 %7.2f s   %12d bytes in %d volumes   %s x floor   peak %s KiB\n' \
  "$m_tzip1" "$tzip_bytes" "$(ls "$work/tzip1" | wc -l)" "$(ratio "$m_tzip1" "$m_floor")" "$rss1"
printf 'tzip (default)   %7.2f s   %12d bytes in %d volumes   %s x floor   peak %s KiB   (default threads: %d cores)\n' \
  "$m_tzip" "$tzip_bytes" "$(ls "$work/tzip" | wc -l)" "$(ratio "$m_tzip" "$m_floor")" "$rss" "$(nproc)"
printf 'zip -9 -s 2m     %7.2f s   %12d bytes in %d volumes   %s x floor\n' \
  "$m_zip" "$zip_bytes" "$(ls "$work/zip" | wc -l)" "$(ratio "$m_zip" "$m_floor")"
printf 'tzip/zip   time %s (default threads), %s (--threads 1)\n' "$(ratio "$m_tzip" "$m_zip")" "$(ratio "$m_tzip1" "$m_zip")"
printf 'tzip volumes the same with --threads 1 and the default: %s\n' "$same"
printf 'tzip output over floor deflate bytes: %.3f%%\n' "$(awk -v a="$tzip_bytes" -v b="$floor_bytes" 'BEGIN {print (a - b) * 100 / b}')"

# Reading back.
split=$work/tzip/Orvane.zip
joined=$work/joined.zip
"$build/app/tzip" --join "$split" "$joined" >/dev/null
tzip_test() { "$build/app/tzip" -t "$split"; }
sevenz_test() { 7z t -bd "$split"; }
unzip_test() { unzip -tq "$joined"; }
tzip_extract() { rm -rf "$work/x" && "$build/app/tzip" -x "$split" -d "$work/x"; }
sevenz_extract() { rm -rf "$work/x" && 7z x -bd -y -o"$work/x" "$split"; }
unzip_extract() { rm -rf "$work/x" && unzip -q -o "$joined" -d "$work/x"; }
# Every reader must accept the archives before it is timed.
for run in tzip_test sevenz_test unzip_test; do
  $run >/dev/null 2>&1 || { echo "$run failed"; exit 1; }
done

declare -A t_read
for ((i = 0; i < runs; i++)); do
  for run in tzip_test sevenz_test unzip_test tzip_extract sevenz_extract unzip_extract; do
    t_read[$run]+="$(seconds $run) "
  done
done
read_median() { printf '%s\n' ${t_read[$1]} | median; }
printf 'reading back (%d volumes; unzip reads the join)\n' "$(ls "$work/tzip" | wc -l)"
for mode in test extract; do
  m_t=$(read_median tzip_$mode)
  m_7=$(read_median sevenz_$mode)
  m_u=$(read_median unzip_$mode)
  best=$(printf '%s\n%s\n' "$m_7" "$m_u" | sort -n | head -1)
  printf '%-8s tzip %6.2f s   7z %6.2f s   unzip %6.2f s   tzip/fastest peer %.3f\n' \
    "$mode" "$m_t" "$m_7" "$m_u" "$(awk -v a="$m_t" -v b="$best" 'BEGIN {print a / b}')"
done
