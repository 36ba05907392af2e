#!/usr/bin/env bash
# scripts/run.sh hands the program the file it is given, a relative path resolved from
# where it was started. Run in a copy of the project whose setup and program only say
# what they got.
set -euo pipefail
run_script="$1"
project=$(mktemp -d)
trap 'rm -rf "$project"' EXIT
mkdir -p "$project/scripts" "$project/build" "$project/videos/sub dir"
cp "$run_script" "$project/scripts/run.sh"
printf '#!/bin/sh\nexit 0\n' > "$project/scripts/setup.sh"
printf '#!/bin/sh\nfor a in "$@"; do echo "[$a]"; done\n' > "$project/build/vintrel"
chmod +x "$project/scripts/run.sh" "$project/scripts/setup.sh" "$project/build/vintrel"

check() {
  local expected="$1"; shift
  local got
  got=$(cd "$project/videos" && ../scripts/run.sh "$@")
  if [ "$got" != "$expected" ]; then
    echo "run.sh $*: expected '$expected', got '$got'" >&2
    exit 1
  fi
}
check ""
check "[$project/videos/sub dir/my clip.mp4]" "sub dir/my clip.mp4"
check "[/tmp/other.mkv]" /tmp/other.mkv
check "[$project/videos/-dash.mp4]" -dash.mp4
echo "run.sh passes its file on"
