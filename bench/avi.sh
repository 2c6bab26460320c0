#!/usr/bin/env bash
# AVI writing speed: 250 frames of 640 x 480 through our layer (full frames and MS Video 1)
# and the same frames, fed as raw video, through ffmpeg (rawvideo and msvideo1), in the
# same run. Prints frames per second and our speed as a ratio of ffmpeg's.
set -u
build=${1:-build}
bench="$build/bin/avi_write_bench"
[ -x "$bench" ] || { echo "avi.sh: $bench is not built"; exit 1; }
command -v ffmpeg >/dev/null || { echo "avi.sh: ffmpeg is not installed, skipped"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ours=$("$bench" "$work") || { echo "avi.sh: the benchmark failed"; exit 1; }
dib=$(echo "$ours" | awk '/ours_dib_fps/ {print $2}')
msvc=$(echo "$ours" | awk '/ours_msvc_fps/ {print $2}')

# ffmpeg on the same frames; the raw input was just written, so it is in the page cache.
time_ffmpeg() {
  local start end
  start=$(date +%s.%N)
  ffmpeg -nostdin -y -v error -f rawvideo -pix_fmt bgr24 -s 640x480 -r 25 -i "$work/frames.bgr" \
    "$@" >/dev/null 2>&1 || return 1
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { print 250 / (e - s) }'
}
ff_raw=$(time_ffmpeg -c:v rawvideo "$work/ffmpeg_raw.avi") || { echo "avi.sh: ffmpeg failed"; exit 1; }
ff_msvc=$(time_ffmpeg -c:v msvideo1 -g 20 "$work/ffmpeg_msvc.avi") || { echo "avi.sh: ffmpeg failed"; exit 1; }

size() { stat -c %s "$1"; }
printf "%-34s %9s %12s\n" "250 frames of 640x480" "frames/s" "bytes"
printf "%-34s %9.1f %12d\n" "ours, full frames" "$dib" "$(size "$work/ours_dib.avi")"
printf "%-34s %9.1f %12d\n" "ffmpeg, rawvideo" "$ff_raw" "$(size "$work/ffmpeg_raw.avi")"
printf "%-34s %9.1f %12d\n" "ours, MS Video 1 (quality 10000)" "$msvc" "$(size "$work/ours_msvc.avi")"
printf "%-34s %9.1f %12d\n" "ffmpeg, msvideo1" "$ff_msvc" "$(size "$work/ffmpeg_msvc.avi")"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { print a / b }'; }
printf "ratio full frames (ours / ffmpeg): %.2f\n" "$(ratio "$dib" "$ff_raw")"
printf "ratio MS Video 1 (ours / ffmpeg):  %.2f\n" "$(ratio "$msvc" "$ff_msvc")"
