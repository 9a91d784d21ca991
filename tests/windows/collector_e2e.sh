#!/bin/sh
# shellcheck disable=SC1003,SC2010,SC2012,SC2015,SC2086
# (The file names here are our own, so ls and grep are safe on them; pass
# never fails, so "test && pass || fail" is an if-then-else.)
#
# The Windows collector (tessaly-zipper.exe) end to end under Wine.
#
# Usage: collector_e2e.sh WINE PROGRAM POST_CLOSE WORK SHOTS SOURCE [HOST]
#   WINE        the Wine loader that runs PROGRAM
#   PROGRAM     tessaly-zipper.exe
#   POST_CLOSE  post_close.exe (presses the window's close button)
#   WORK        scratch folder (emptied first)
#   SHOTS       where the screenshot collector.png is kept
#   SOURCE      the source tree (for the Python helpers)
#   HOST        optional: a Linux build tree with app/tessaly-zipper; its
#               output for the same data must equal the Windows program's
#               byte for byte
#
# Needs an X server ($DISPLAY, e.g. xvfb-run) and $WINEPREFIX; uses the
# prefix as it is (the data folder's registry value is written into it).
# Boxes answer themselves (TESSALY_TEST_AUTO_ANSWER_MS) and are logged
# (TESSALY_TEST_BOX_LOG). Runs:
#   1. packing: screenshots while it works, the exit code, the success box's
#      text, stale volumes removed, the archive checked by 7-Zip, Info-ZIP
#      (after joining) and zipfile against the sources;
#   2. the same data with the Linux program: identical volumes (with HOST);
#   3. a registry value of another type: two error boxes, the window stays
#      until closed, exit code 1, nothing written or removed;
#   4. a close request while it works, answered Yes: exit code 1, the
#      confirmation and no other box, no archive left. The program makes the
#      request itself at a fixed message pump of the job
#      (TESSALY_TEST_CLOSE_AT_PUMP, as the close button would), so the
#      outcome never depends on how fast the job runs.
set -u

WINE=$1
PROGRAM=$2
POST_CLOSE=$3
WORK=$4
SHOTS=$5
SOURCE=$6
HOST=${7:-}

AUTO_ANSWER_MS=1000
KEY='HKLM\SOFTWARE\Data Access Corporation\Visual DataFlex\5\Workspaces\Tessaly'
# The distribution's python3 first: a version-manager shim costs a second.
PYTHON=python3
[ -x /usr/bin/python3 ] && PYTHON=/usr/bin/python3
HELPER="$SOURCE/tests/windows/e2e_helper.py"
ZIPCHECK="$SOURCE/tests/interop/zipcheck.py"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
die() {
  echo "FAIL: $*"
  exit 1
}
pass() { echo "ok: $*"; }

[ -n "${DISPLAY:-}" ] || die "no X display: run under xvfb-run"
[ -n "${WINEPREFIX:-}" ] || die "WINEPREFIX is not set"
for tool in xwd xwininfo 7z zip unzip cmp; do
  command -v "$tool" >/dev/null 2>&1 || die "missing tool: $tool"
done
export WINEDEBUG="${WINEDEBUG:--all}"
# Both programs see local time as UTC, so that file times agree.
export TZ=UTC

# A Unix path as Wine's Z: drive shows it.
windows_path() {
  printf 'Z:%s' "$1" | tr / '\\'
}

# A 32-bit program in a 64-bit prefix reads the registry's 32-bit view;
# the machine field of its PE header tells (0x014c: i386).
pe_offset=$(od -An -tu4 -j60 -N4 "$PROGRAM" | tr -d ' ')
machine=$(od -An -tx1 -j$((pe_offset + 4)) -N2 "$PROGRAM" | tr -d ' ')
registry_view=
[ "$machine" = 4c01 ] && registry_view=/reg:32

set_data_path() {  # TYPE VALUE
  "$WINE" reg add "$KEY" /v DataPath /t "$1" /d "$2" /f $registry_view \
    >/dev/null 2>&1 || die "cannot write the registry value"
}

# Starts the program with a fresh box log $WORK/$1.log; sets $pid. With
# $2, the program asks to close at that message pump of its job.
start_program() {
  box_log="$WORK/$1.log"
  rm -f "$box_log"
  TESSALY_TEST_AUTO_ANSWER_MS=$AUTO_ANSWER_MS TESSALY_TEST_BOX_LOG="$box_log" \
    TESSALY_TEST_CLOSE_AT_PUMP=${2:-0} \
    "$WINE" "$PROGRAM" >"$WORK/$1.out" 2>&1 &
  pid=$!
}

# Waits up to 60 s for the window; false when it never came.
wait_for_window() {
  i=0
  while [ $i -lt 600 ]; do
    xwininfo -name "Tessaly Data Zipper" >/dev/null 2>&1 && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
    i=$((i + 1))
  done
  return 1
}

# Presses the close button, retrying while the window is not there yet.
press_close() {
  i=0
  while [ $i -lt 100 ]; do
    "$WINE" "$POST_CLOSE" >/dev/null 2>&1 && return 0
    sleep 0.2
    i=$((i + 1))
  done
  return 1
}

# Waits for the program, at most two minutes; sets $rc.
finish_program() {
  i=0
  while kill -0 "$pid" 2>/dev/null && [ $i -lt 1200 ]; do
    sleep 0.1
    i=$((i + 1))
  done
  if kill -0 "$pid" 2>/dev/null; then
    fail "the program did not end; stopped"
    kill -9 "$pid" 2>/dev/null
  fi
  if wait "$pid"; then rc=0; else rc=$?; fi
}

# Whether the program's success box is on the screen (another program's
# box of the same title does not count).
success_box_open() {
  xwininfo -root -tree 2>/dev/null |
    grep -q '"Information": ("tessaly-zipper.exe"'
}

listing() {
  (cd "$1" && ls -l --time-style=+%s . | sed 1d)
}

rm -rf "$WORK"
mkdir -p "$WORK" "$SHOTS" || die "cannot make $WORK"
rm -f "$SHOTS/collector.png"

# Windows close at once in an unmanaged X window (no 2 s wait per window).
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
  >/dev/null 2>&1 || die "cannot configure Wine"

ledger="$WORK/windows/Ledger"
data="$ledger/Data"
"$PYTHON" "$HELPER" data "$data" || die "cannot make the data folder"
# Fixed times; an odd second must round the same way on both systems.
touch -d '2024-03-05 10:20:30' "$data"/*
touch -d '2023-12-31 23:59:59' "$data/Customer.dat"
touch -d '2001-07-14 08:00:01' "$data/Logo.bmp"
# Leftovers of an earlier run: .z07 goes, .z20 stays.
echo stale >"$ledger/Orvane.z07"
echo stale >"$ledger/Orvane.z20"
echo stale >"$ledger/Orvane.zip"

# ---- 1. Packing -------------------------------------------------------------
set_data_path REG_SZ "$(windows_path "$data")"
start_program pack
if wait_for_window; then
  # Dumps while it packs, until the success box covers the window.
  shots=
  for delay in 0.15 0.3 0.3; do
    sleep $delay
    k=$(echo "$shots" | wc -w)
    xwd -name "Tessaly Data Zipper" -silent >"$WORK/shot$k.xwd" 2>/dev/null
    success_box_open && break
    shots="$shots $WORK/shot$k.xwd"
  done
  if [ -z "$shots" ]; then
    fail "the job ended before the window could be captured"
  else
    if "$PYTHON" "$HELPER" screenshot "$SHOTS/collector.png" $shots; then
      pass "screenshot $SHOTS/collector.png"
    else
      fail "window screenshot"
    fi
  fi
else
  fail "the window did not appear"
fi
finish_program
[ $rc -eq 0 ] && pass "exit code 0" || fail "exit code $rc, expected 0"

volumes=$(cd "$ledger" && ls Orvane.z[0-9][0-9] 2>/dev/null | grep -v z20)
count=$(echo "$volumes" | grep -c .)
[ "$count" -ge 2 ] && pass "$((count + 1)) volumes" ||
  fail "$((count + 1)) volumes, expected at least 3"
[ "$(cat "$ledger/Orvane.z20")" = stale ] && pass "Orvane.z20 left alone" ||
  fail "Orvane.z20 was touched"
echo "$volumes" | grep -q z07 && [ "$count" -lt 7 ] &&
  fail "stale Orvane.z07 not removed"

# The success box lists the archive, then the volumes, with Windows paths.
{
  printf 'Information:\nTessaly data has been zipped into: \n\n'
  printf '        %s\n' "$(windows_path "$ledger/Orvane.zip")"
  for v in $volumes; do
    printf '        %s\n' "$(windows_path "$ledger/$v")"
  done
  printf '\nPlease send as attachments to separate emails.\n\n'
} >"$WORK/pack.expected"
if cmp -s "$WORK/pack.expected" "$WORK/pack.log"; then
  pass "success box"
else
  fail "success box differs:"
  diff "$WORK/pack.expected" "$WORK/pack.log"
fi

if 7z t "$ledger/Orvane.zip" >"$WORK/7z.out" 2>&1; then
  pass "7z t"
else
  fail "7z t:"
  tail -n 20 "$WORK/7z.out"
fi
joined="$WORK/joined.zip"
if ! (cd "$ledger" && zip -s 0 Orvane.zip --out "$joined") \
  >"$WORK/join.out" 2>&1; then
  echo "zip -s 0 failed; joining with zipcheck.py"
  set --
  for v in $volumes; do set -- "$@" "$ledger/$v"; done
  "$PYTHON" "$ZIPCHECK" join "$joined" "$@" "$ledger/Orvane.zip" ||
    fail "joining the volumes"
fi
if unzip -t "$joined" >"$WORK/unzip.out" 2>&1; then
  pass "unzip -t"
else
  fail "unzip -t:"
  tail -n 20 "$WORK/unzip.out"
fi
"$PYTHON" "$ZIPCHECK" verify "$joined" "$data" --flat &&
  "$PYTHON" "$HELPER" entries "$joined" "$data" && pass "entries" ||
  fail "entries differ from the sources"

# ---- 2. The Linux program on the same data ----------------------------------
if [ -n "$HOST" ]; then
  linux_program="$HOST/app/tessaly-zipper"
  if [ ! -x "$linux_program" ]; then
    fail "$linux_program does not exist"
  else
    linux_ledger="$WORK/linux/Ledger"
    mkdir -p "$linux_ledger"
    cp -p -r "$data" "$linux_ledger/Data"
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[%s]\r\n"DataPath"="%s"\r\n' \
      'HKEY_LOCAL_MACHINE\SOFTWARE\Data Access Corporation\Visual DataFlex\5\Workspaces\Tessaly' \
      "$linux_ledger/Data" >"$WORK/linux/registry.reg"
    if TESSALY_UI=console TESSALY_REGISTRY="$WORK/linux/registry.reg" \
      "$linux_program" </dev/null >"$WORK/linux.out" 2>&1; then
      windows_files=$(cd "$ledger" && ls Orvane.* | grep -v z20)
      linux_files=$(cd "$linux_ledger" && ls Orvane.*)
      if [ "$windows_files" != "$linux_files" ]; then
        fail "different files: Windows $windows_files; Linux $linux_files"
      else
        same=yes
        for f in $windows_files; do
          if ! cmp "$ledger/$f" "$linux_ledger/$f"; then
            same=
            fail "$f differs from the Linux program's"
          fi
        done
        if [ -z "$same" ]; then
          echo "entries, Windows: $("$PYTHON" "$HELPER" names "$ledger/Orvane.zip")"
          echo "entries, Linux:   $("$PYTHON" "$HELPER" names "$linux_ledger/Orvane.zip")"
        fi
        [ -n "$same" ] && pass "volumes byte-identical with Linux:" \
          $windows_files
      fi
    else
      fail "the Linux program failed:"
      cat "$WORK/linux.out"
    fi
  fi
fi

# ---- 3. A registry value that is not text -----------------------------------
before=$(listing "$ledger")
set_data_path REG_DWORD 5
start_program dword
wait_for_window || fail "the window did not appear (dword)"
# The window stays open without a data folder: close it once the error
# boxes have gone.
i=0
while [ $i -lt 200 ] && ! grep -q "Unable to locate" "$box_log" 2>/dev/null; do
  sleep 0.1
  i=$((i + 1))
done
sleep 1.5
press_close || fail "could not press the close button"
finish_program
[ $rc -eq 1 ] && pass "exit code 1 (dword)" ||
  fail "exit code $rc, expected 1 (dword)"
cat >"$WORK/dword.expected" <<'TEXT'
Error:
Exception "ERegistryException: Invalid data type for 'DataPath' (dword where a string is expected)" on Registry access!

Error:
Unable to locate Tessaly database!

Confirmation:
Abandon collection of files?

TEXT
if cmp -s "$WORK/dword.expected" "$box_log"; then
  pass "boxes for a dword value"
else
  fail "boxes for a dword value differ:"
  diff "$WORK/dword.expected" "$box_log"
fi
[ "$(listing "$ledger")" = "$before" ] && pass "nothing written or removed" ||
  fail "files changed without a data folder"

# ---- 4. Closed while it works -----------------------------------------------
# On a copy, so that the first run's output stays for a look afterwards. The
# close is requested at the job's third message pump, while the first file
# is packed; the confirmation answers Yes.
mkdir -p "$WORK/abandon/Ledger"
cp -p -r "$data" "$WORK/abandon/Ledger/Data"
set_data_path REG_SZ "$(windows_path "$WORK/abandon/Ledger/Data")"
start_program abandon 3
wait_for_window || fail "the window did not appear (abandon)"
finish_program
[ $rc -eq 1 ] && pass "exit code 1 (abandoned)" ||
  fail "exit code $rc, expected 1 (abandoned)"
printf 'Confirmation:\nAbandon collection of files?\n\n' >"$WORK/abandon.expected"
if cmp -s "$WORK/abandon.expected" "$box_log"; then
  pass "abandoned after confirmation, no other box"
else
  fail "boxes when closed while working:"
  cat "$box_log"
fi
left=$(cd "$WORK/abandon/Ledger" && ls Orvane.* 2>/dev/null)
[ -z "$left" ] && pass "no archive left after abandoning" ||
  fail "left after abandoning: $left"

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
