#!/usr/bin/env bash
# Makes the Debian package (release preset: build/release/vintrel_<version>_amd64.deb) and
# checks it as a user would meet it: lintian (no errors), the AppStream and menu files,
# then installs it with apt, runs both installed programs and reads a manual page. The
# package is removed again at the end, unless it was installed before or KEEP_PACKAGE=1.
#   scripts/package.sh          make, check, install, try, remove
#   scripts/package.sh make     only make it
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

cmake --preset release >/dev/null
cmake --build --preset release -j"${JOBS:-2}" --target package >/dev/null
deb=$(ls -t "$root"/build/release/vintrel_*_amd64.deb | head -1)
echo "package: $deb"
[ "${1:-}" = make ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
work=$(mktemp -d)
installed_before=0
dpkg-query -W -f='${Status}' vintrel 2>/dev/null | grep -q "install ok installed" && installed_before=1
finish() {
  local status=$?
  if ((!installed_before)) && [ "${KEEP_PACKAGE:-0}" != 1 ] &&
    dpkg-query -W -f='${Status}' vintrel 2>/dev/null | grep -q "install ok installed"; then
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq vintrel >/dev/null || status=1
  fi
  rm -rf "$work"
  exit "$status"
}
trap finish EXIT

# Errors fail; warnings are shown.
lintian --fail-on error "$deb" 2>&1 | tee "$work/lintian.txt" || {
  echo "package: lintian found errors" >&2
  exit 1
}
echo "lintian: $(grep -c '^E:' "$work/lintian.txt" || true) errors, $(grep -c '^W:' "$work/lintian.txt" || true) warnings"

$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
vintrel --version
desktop-file-validate /usr/share/applications/vintrel.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.example.vintrel.metainfo.xml
man -P cat vintrel-cut | head -4
man -P cat vintrel >/dev/null

# A cut with the installed vintrel-cut, of a clip made here (the ffmpeg program is a test tool).
ffmpeg -v error -f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi -i sine=frequency=440 -t 6 \
  -c:v libx264 -g 25 -pix_fmt yuv420p -c:a aac -shortest "$work/clip.mp4"
vintrel-cut "$work/clip.mp4" 1.48 4 "$work/cut.mp4" </dev/null 2>"$work/cut.err" || {
  cat "$work/cut.err" >&2
  exit 1
}
length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/cut.mp4")
echo "cut: $work/cut.mp4 is $length s long"
awk -v l="$length" 'BEGIN { exit !(l > 2.4 && l < 2.64) }' || { echo "package: the cut is $length s, not 2.52" >&2; exit 1; }
echo "package: made, checked, installed and tried"
