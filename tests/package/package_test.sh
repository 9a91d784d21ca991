#!/bin/sh
# The Debian package of a build tree, as a user gets it: cpack -G DEB makes
# it; its dependencies must be the distribution's packages of zlib and FLTK
# (and the rest of what the programs link), all of them known to this
# system's dpkg; dpkg installs it into a scratch root with a database of its
# own; and from there tzip runs, packs a file that unzip accepts, and the
# collector answers --version. The installed manual pages must format
# without warnings and the desktop entry must validate.
#
# Usage: package_test.sh CPACK BUILD_DIR WORK
set -u
CPACK=$1
BUILD=$2
WORK=$3

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

rm -rf "$WORK"
mkdir -p "$WORK"
if ! "$CPACK" -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/out" \
    >"$WORK/cpack.log" 2>&1; then
  cat "$WORK/cpack.log"
  echo "FAIL: cpack"
  exit 1
fi
deb=$(ls "$WORK"/out/*.deb)

depends=$(dpkg-deb -f "$deb" Depends)
for needed in zlib1g libfltk1.3; do
  case ", $depends" in
    *", $needed "* | *", $needed,"* | *", $needed") pass "depends on $needed" ;;
    *) fail "Depends lacks $needed: $depends" ;;
  esac
done
for package in $(echo "$depends" | tr ',' '\n' | awk '{print $1}'); do
  dpkg-query -W "$package" >/dev/null 2>&1 ||
    fail "dependency $package is no package of this system"
done

root=$WORK/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: >"$root/var/lib/dpkg/status"
# The scratch root holds none of the dependencies; this system does.
if dpkg --root="$root" --force-depends --force-not-root -i "$deb" \
    >"$WORK/dpkg.log" 2>&1; then
  pass "dpkg installed the package into a scratch root"
else
  cat "$WORK/dpkg.log"
  fail "dpkg -i"
fi
status=$(dpkg --root="$root" -s tessaly-zipper 2>/dev/null | sed -n 's/^Status: //p')
[ "$status" = "install ok installed" ] && pass "status: $status" ||
  fail "package status: '$status'"

version=$("$root/usr/bin/tzip" --version 2>&1)
[ "$version" = "tzip $(dpkg-deb -f "$deb" Version)" ] &&
  pass "installed tzip: $version" || fail "tzip --version: '$version'"
version=$("$root/usr/bin/tessaly-zipper" --version 2>&1)
[ "$version" = "tessaly-zipper $(dpkg-deb -f "$deb" Version)" ] &&
  pass "installed collector: $version" ||
  fail "tessaly-zipper --version: '$version'"

echo "a line of text" >"$WORK/file.txt"
if "$root/usr/bin/tzip" -q "$WORK/packed.zip" "$WORK/file.txt" >/dev/null &&
    unzip -tq "$WORK/packed.zip" >/dev/null; then
  pass "the installed tzip writes an archive unzip accepts"
else
  fail "the installed tzip's archive"
fi

for file in usr/share/man/man1/tzip.1.gz usr/share/man/man1/tessaly-zipper.1.gz \
    usr/share/applications/tessaly-zipper.desktop \
    usr/share/icons/hicolor/16x16/apps/tessaly-zipper.png \
    usr/share/icons/hicolor/32x32/apps/tessaly-zipper.png \
    usr/share/icons/hicolor/48x48/apps/tessaly-zipper.png \
    usr/share/doc/tessaly-zipper/registry.reg.example; do
  [ -s "$root/$file" ] || fail "missing: /$file"
done
for page in tzip tessaly-zipper; do
  warnings=$(gzip -dc "$root/usr/share/man/man1/$page.1.gz" |
             groff -man -ww -z 2>&1)
  [ -z "$warnings" ] && pass "man page $page formats cleanly" ||
    fail "man page $page: $warnings"
done
problems=$(desktop-file-validate "$root/usr/share/applications/tessaly-zipper.desktop" 2>&1)
[ -z "$problems" ] && pass "desktop entry validates" ||
  fail "desktop entry: $problems"
grep -q '^"DataPath"="/' "$root/usr/share/doc/tessaly-zipper/registry.reg.example" ||
  fail "the example registry file names no data folder"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all package checks passed"
