#!/usr/bin/env bash
# A 30 s cut from second 7 of a 60 s 1280x720 H.264 clip (2 s GOP, B-frames): vintrel-cut's
# smart cut against a bare full re-encode and a bare stream copy, and the share of the smart
# cut spent checking its result.
#   bench/cut_bench.sh            uses build/vintrel-cut (BUILD_DIR=dir for another build)
set -euo pipefail
cd "$(dirname "$0")/.."
program=${BUILD_DIR:-build}/vintrel-cut
[ -x "$program" ] || { echo "build $program first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -v error -f lavfi -i testsrc2=size=1280x720:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 \
  -t 60 -c:v libx264 -preset veryfast -g 50 -keyint_min 50 -sc_threshold 0 -bf 3 -c:a aac "$work/in.mp4"

seconds() {  # wall time of a command, in seconds
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>"$work/stderr" || { cat "$work/stderr" >&2; exit 1; }
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

# The machine protocol says when the checks begin.
start=$(date +%s.%N)
"$program" --progress=machine "$work/in.mp4" 7 37 "$work/smart.mp4" 2>&1 >/dev/null |
  while IFS= read -r line; do
    if [ "$line" = "phase verifying" ]; then date +%s.%N >"$work/checks_start"; fi
    case $line in error*) echo "$line" >&2 ;; esac
  done
end=$(date +%s.%N)
[ -f "$work/smart.mp4" ] || exit 1
smart=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
checks=$(awk -v a="$(cat "$work/checks_start")" -v b="$end" 'BEGIN { print b - a }')
full=$(seconds ffmpeg -v error -y -ss 7 -t 30 -i "$work/in.mp4" "$work/full.mp4")
copy=$(seconds ffmpeg -v error -y -ss 7 -t 30 -i "$work/in.mp4" -c copy "$work/copy.mp4")

printf '%-34s %8s\n' "30 s of a 720p H.264 clip" "seconds"
printf '%-34s %8.2f\n' "vintrel-cut (smart cut, checked)" "$smart" \
  "  of which the checks" "$checks" \
  "ffmpeg full re-encode" "$full" \
  "ffmpeg -c copy (not exact)" "$copy"
