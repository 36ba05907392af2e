#!/usr/bin/env bash
# vintrel-cut's smart cut (same type, MP4 to MP4) against bare ffmpeg, in two cases:
#   1. 30 s from second 7 of a 60 s 1280x720 H.264 clip (2 s GOP, B-frames);
#   2. 10 minutes from second 7 of a 1920x1080 H.264 clip (2 s GOP, made with -preset
#      ultrafast, so it is big: the cut's cost must grow with the bytes, not the frames).
# For each: vintrel-cut (wall and processor time), the bare full re-encode, the bare stream
# copy, the bare encode of just the frames the smart cut re-encodes, the ratio to the
# re-encode, the margin against copy + encode + 0.15 s (0.3 s for the long case), and the
# share of the cut spent checking its result.
# And three stretches removed from the 1080p clip in one save ("remove3": the first from 0, so
# three parts are left, each starting and ending between key frames), against a bare stream copy
# of the result + the bare encode of the frames it re-encodes + 0.3 s, and against the sum of
# the three parts cut one by one.
# And 30 s of a 720p HEVC Main 10 clip ("hevc10", what phones record), against the same bare
# copy, and bare x265 10-bit encodes of the re-encoded frames + 0.2 s.
# And whole re-encodes ("reencode"): 30 s of the 720p clip into .avi, and into .mp4 from a clip
# whose stretch holds no key frame, against the ffmpeg program making the same encode (the same
# encoders and settings, the sound copied where vintrel-cut copies it), side by side.
#   bench/cut_bench.sh              uses build/vintrel-cut (BUILD_DIR=dir for another build)
#   BENCH_REPEATS=n                 turns of the 720p case (median; default 3)
#   CUT_BENCH_CASES="720p reencode hevc10 1080p remove3"    the cases to run
# The clips are made once and kept in <build>/cut-bench (the 1080p one is about 3 GB and
# takes some minutes). The 1080p case's full re-encode would take a quarter of an hour
# here: it is timed over its first 10 s and scaled to the 600 s by the frame count ("est.").
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
program=$build/vintrel-cut
[ -x "$program" ] || { echo "build $program first" >&2; exit 1; }
repeats=${BENCH_REPEATS:-3}
cases=${CUT_BENCH_CASES:-720p reencode hevc10 1080p remove3}
media=$build/cut-bench
mkdir -p "$media"

work=$(mktemp -d "$media/run.XXXXXX")
trap 'rm -rf "$work"' EXIT

make_clip() {  # path size seconds preset x264-options...
  [ -f "$1" ] && return
  echo "making $1 (once)" >&2
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=$2:rate=25" -f lavfi -i sine=frequency=440:sample_rate=48000 \
    -t "$3" -c:v libx264 -preset "$4" -g 50 -keyint_min 50 -sc_threshold 0 "${@:5}" -pix_fmt yuv420p \
    -c:a aac "$1.part.mp4"
  mv "$1.part.mp4" "$1"
}

# A phone's kind of video: HEVC Main 10, tagged hvc1, GOP of 2 s.
make_hevc10_clip() {  # path size seconds
  [ -f "$1" ] && return
  echo "making $1 (once)" >&2
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=$2:rate=25" -f lavfi -i sine=frequency=440:sample_rate=48000 \
    -t "$3" -c:v libx265 -preset fast -pix_fmt yuv420p10le -tag:v hvc1 \
    -x265-params keyint=50:min-keyint=50:scenecut=0:log-level=error -c:a aac "$1.part.mp4"
  mv "$1.part.mp4" "$1"
}

# The bare encodes' video options: ffmpeg's defaults for .mp4 (H.264), or the source's own kind.
video_encode=()

now() { date +%s.%N; }
minus() { awk -v a="$2" -v b="$1" 'BEGIN { printf "%.3f", b - a }'; }

seconds() {  # wall time of a command, in seconds
  local start end
  start=$(now)
  "$@" >/dev/null 2>"$work/stderr" || { cat "$work/stderr" >&2; exit 1; }
  end=$(now)
  minus "$end" "$start"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# One smart cut: prints "<wall seconds> <checks seconds> <frames re-encoded> <head frames>
# <processor seconds>"; the machine protocol says when the checks begin.
smart_cut() {  # input start end
  local start end
  rm -f "$work/smart.mp4" "$work/checks_start" "$work/report" "$work/cpu"
  start=$(now)
  /usr/bin/time -f "%U %S" -o "$work/cpu" "$program" --progress=machine -- "$1" "$2" "$3" "$work/smart.mp4" 2>&1 >"$work/report" |
    while IFS= read -r line; do
      if [ "$line" = "phase verifying" ]; then now >"$work/checks_start"; fi
      case $line in error*) echo "$line" >&2 ;; esac
    done
  end=$(now)
  [ -f "$work/smart.mp4" ] || { echo "vintrel-cut made no file" >&2; exit 1; }
  grep -q '^Smart cut' "$work/report" || { cat "$work/report" >&2; echo "not a smart cut" >&2; exit 1; }
  echo "$(minus "$end" "$start") $(minus "$end" "$(cat "$work/checks_start")")" \
    "$(sed -n 's/^Smart cut: \([0-9]*\) frames re-encoded.*/\1/p' "$work/report")" \
    "$(awk '{ printf "%.3f", $1 + $2 }' "$work/cpu")"
}

# The bare encode of the frames a smart cut re-encodes: from the start mark to the first key
# frame after it (GOP of 2 s), and the rest of them just before the end mark.
bare_encode_of_parts() {  # input start end frames-the-smart-cut-re-encoded
  local headFrames tailFrames total
  headFrames=$(awk -v s="$2" 'BEGIN { k = int(s / 2) * 2; if (k < s) k += 2; printf "%d", (k - s) * 25 + 0.5 }')
  tailFrames=$(($4 - headFrames))
  total=0
  if [ "$headFrames" -gt 0 ]; then
    total=$(seconds ffmpeg -v error -y -ss "$2" -i "$1" -an -frames:v "$headFrames" "${video_encode[@]}" "$work/head.mp4")
  fi
  if [ "$tailFrames" -gt 0 ]; then
    total=$(awk -v a="$total" -v b="$(seconds ffmpeg -v error -y -ss "$(awk -v e="$3" -v n="$tailFrames" \
      'BEGIN { printf "%.3f", e - n / 25 }')" -i "$1" -an -frames:v "$tailFrames" "${video_encode[@]}" "$work/tail.mp4")" \
      'BEGIN { printf "%.3f", a + b }')
  fi
  echo "$total $((headFrames + tailFrames))"
}

run_case() {  # title input start end turns reencode-sample-seconds (0: the whole stretch) margin
  local title=$1 input=$2 start=$3 end=$4 turns=$5 sample=$6 margin=$7 stretch runs smart checks reencoded cpu
  local full copy encode encoded label
  stretch=$(minus "$end" "$start")
  runs=$(for _ in $(seq "$turns"); do smart_cut "$input" "$start" "$end"; done)
  smart=$(echo "$runs" | awk '{ print $1 }' | median)
  checks=$(echo "$runs" | awk -v m="$smart" '$1 == m { print $2; exit }')
  reencoded=$(echo "$runs" | awk '{ print $3; exit }')
  cpu=$(echo "$runs" | awk '{ print $4 }' | median)
  copy=$(seconds ffmpeg -v error -y -ss "$start" -t "$stretch" -i "$input" -c copy "$work/copy.mp4")
  read -r encode encoded < <(bare_encode_of_parts "$input" "$start" "$end" "$reencoded")
  if [ "$sample" = 0 ]; then
    full=$(seconds ffmpeg -v error -y -ss "$start" -t "$stretch" -i "$input" "${video_encode[@]}" "$work/full.mp4")
    label="ffmpeg full re-encode"
  else
    full=$(seconds ffmpeg -v error -y -ss "$start" -t "$sample" -i "$input" "${video_encode[@]}" "$work/full.mp4")
    full=$(awk -v t="$full" -v n="$stretch" -v s="$sample" 'BEGIN { printf "%.3f", t * n / s }')
    label="ffmpeg full re-encode (est.)"
  fi
  rm -f "$work"/*.mp4 "$work"/*.ts
  printf '\n%s (%s turn(s), median)\n' "$title" "$turns"
  printf '  %-46s %9.2f s\n' "vintrel-cut (smart cut, checked)" "$smart" \
    "  its processor time (user + sys)" "$cpu" \
    "  of which the checks" "$checks" \
    "$label" "$full" \
    "ffmpeg -c copy (not exact)" "$copy" \
    "ffmpeg encode of the re-encoded frames alone" "$encode"
  [ "$encoded" = "$reencoded" ] ||
    echo "  (vintrel-cut re-encoded $reencoded frames, the bare encode $encoded)"
  awk -v s="$smart" -v f="$full" -v c="$copy" -v e="$encode" -v k="$checks" -v m="$margin" 'BEGIN {
    printf "  %-46s %9.3f (goal <= 0.05)\n", "ratio to the re-encode", s / f
    printf "  %-46s %+9.2f s (goal <= 0)\n", "margin against copy + encode + " m " s", s - (c + e + m)
    printf "  %-46s %8.0f %%\n", "share of the checks", 100 * k / s
  }'
}

# Wall and processor seconds of a command: "<wall> <user + sys>".
timed() {
  /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || { cat "$work/stderr" >&2; exit 1; }
  awk '{ printf "%.2f %.2f", $1, $2 + $3 }' "$work/time"
}

# One whole re-encode by vintrel-cut (checked) and the same encode by ffmpeg, turn about.
reencode_case() {  # title input start end output-type ffmpeg-codec-options...
  local title=$1 input=$2 start=$3 end=$4 type=$5 runs
  shift 5
  runs=$(for _ in $(seq "$repeats"); do
    rm -f "$work/ours.$type" "$work/theirs.$type"
    echo "$(timed "$program" "$input" "$start" "$end" "$work/ours.$type")" \
      "$(timed ffmpeg -v error -y -ss "$start" -i "$input" -t "$(minus "$end" "$start")" "$@" "$work/theirs.$type")"
  done)
  printf '\n%s (%s turn(s), median)\n' "$title" "$repeats"
  for column in 1 2 3 4; do echo "$runs" | awk -v c=$column '{ print $c }' | median; done | paste -sd' ' |
    awk '{ printf "  %-46s %9.2f s, processor %6.2f s\n  %-46s %9.2f s, processor %6.2f s\n", \
      "vintrel-cut (in process, checked)", $1, $2, "ffmpeg, the same encode", $3, $4
      printf "  %-46s %9.3f, processor %6.3f (goal <= 1)\n", "ratio to ffmpeg", $1 / $3, $2 / $4 }'
}

# Three stretches removed in one save, the three parts left cut one by one, and the bare copy
# and encode a join cannot do without, side by side.
remove_case() {  # title input removed-list parts-left ("start-end" each)
  local title=$1 input=$2 removed=$3 parts=$4 encode=0 singles=0 copy part frames cut encoded i=0 wall cpu
  rm -f "$work/removed.mp4"
  /usr/bin/time -f "%e %U %S" -o "$work/time" "$program" --remove "$removed" "$input" "$work/removed.mp4" \
    >"$work/report" 2>"$work/stderr" || { cat "$work/stderr" >&2; exit 1; }
  read -r wall cpu <<<"$(awk '{ printf "%.2f %.2f", $1, $2 + $3 }' "$work/time")"
  # Each part's own report tells how many of its frames were re-encoded.
  mapfile -t frames < <(sed -n 's/^ *Smart cut: \([0-9]*\) frames re-encoded.*/\1/p' "$work/report")
  [ "${#frames[@]}" = 3 ] || { cat "$work/report" >&2; echo "not three smart cuts" >&2; exit 1; }
  for part in $parts; do
    read -r cut _ < <(smart_cut "$input" "${part%-*}" "${part#*-}")
    singles=$(awk -v a="$singles" -v b="$cut" 'BEGIN { printf "%.3f", a + b }')
    read -r encoded _ < <(bare_encode_of_parts "$input" "${part%-*}" "${part#*-}" "${frames[$i]}")
    encode=$(awk -v a="$encode" -v b="$encoded" 'BEGIN { printf "%.3f", a + b }')
    i=$((i + 1))
  done
  copy=$(seconds ffmpeg -v error -y -i "$work/removed.mp4" -c copy "$work/copy.mp4")
  rm -f "$work"/*.mp4
  printf '\n%s (1 turn)\n' "$title"
  printf '  %-46s %9.2f s, processor %6.2f s\n' "vintrel-cut --remove (3 stretches, checked)" "$wall" "$cpu"
  printf '  %-46s %9.2f s\n' "the 3 parts as single cuts (checked), summed" "$singles" \
    "ffmpeg -c copy of the result" "$copy" \
    "ffmpeg encode of the re-encoded frames alone" "$encode"
  awk -v s="$wall" -v c="$copy" -v e="$encode" -v n="$singles" 'BEGIN {
    printf "  %-46s %+9.2f s (goal <= 0)\n", "margin against copy + encode + 0.3 s", s - (c + e + 0.3)
    printf "  %-46s %+9.2f s (goal <= 0)\n", "margin against the single cuts summed", s - n
  }'
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for name in $cases; do
  case $name in
    720p)
      make_clip "$media/in-720p-60s.mp4" 1280x720 60 veryfast -bf 3
      run_case "30 s of a 720p H.264 clip" "$media/in-720p-60s.mp4" 7 37 "$repeats" 0 0.15
      ;;
    reencode)
      make_clip "$media/in-720p-60s.mp4" 1280x720 60 veryfast -bf 3
      reencode_case "30 s of a 720p H.264 clip into .avi" "$media/in-720p-60s.mp4" 7 37 avi \
        -c:v mpeg4 -q:v 3 -vtag XVID -c:a libmp3lame -b:a 192k
      make_clip "$media/in-720p-keyless.mp4" 1280x720 60 veryfast -bf 3 -g 1000 -keyint_min 1000
      reencode_case "30 s of a 720p H.264 clip without a key frame into .mp4" "$media/in-720p-keyless.mp4" \
        7 37 mp4 -c:v libx264 -preset veryfast -crf 16 -c:a copy
      ;;
    hevc10)
      make_hevc10_clip "$media/in-720p-hevc10-60s.mp4" 1280x720 60
      video_encode=(-c:v libx265 -preset fast -pix_fmt yuv420p10le -x265-params log-level=error)
      run_case "30 s of a 720p HEVC Main 10 clip" "$media/in-720p-hevc10-60s.mp4" 7.3 37.3 "$repeats" 0 0.2
      video_encode=()
      ;;
    1080p)
      make_clip "$media/in-1080p-620s.mp4" 1920x1080 620 ultrafast
      run_case "10 min of a 1080p H.264 clip (ultrafast, $(($(stat -c %s "$media/in-1080p-620s.mp4") / 1048576)) MiB)" \
        "$media/in-1080p-620s.mp4" 7 607 1 10 0.3
      ;;
    remove3)
      make_clip "$media/in-1080p-620s.mp4" 1920x1080 620 ultrafast
      remove_case "3 stretches removed from 10 min of a 1080p H.264 clip" "$media/in-1080p-620s.mp4" \
        0-7,200.5-233.3,407.7-451 "7-200.5 233.3-407.7 451-620"
      ;;
    *) echo "unknown case $name" >&2; exit 2 ;;
  esac
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
