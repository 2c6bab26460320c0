#!/usr/bin/env bash
# Building a project into an AVI: 250 different 640 x 480 BMP images, one frame each, by
# our Create (images loaded, composed and compressed: full frames and MS Video 1) and by
# ffmpeg reading the same BMP files (rawvideo and msvideo1), in the same run. Prints frames
# per second (best of three each) and our speed as a ratio of ffmpeg's.
set -u
build=${1:-build}
bench="$build/bin/avi_build_bench"
[ -x "$bench" ] || { echo "avi_build.sh: $bench is not built"; exit 1; }
command -v ffmpeg >/dev/null || { echo "avi_build.sh: ffmpeg is not installed, skipped"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ours=$("$bench" "$work") || { echo "avi_build.sh: the benchmark failed"; exit 1; }
dib=$(echo "$ours" | awk '/ours_dib_fps/ {print $2}')
msvc=$(echo "$ours" | awk '/ours_msvc_fps/ {print $2}')

# ffmpeg on the same files, best of three.
time_ffmpeg() {
  local best="" start end fps
  for run in 1 2 3; do
    start=$(date +%s.%N)
    ffmpeg -nostdin -y -v error -framerate 25 -i "$work/img%04d.bmp" "$@" >/dev/null 2>&1 || return 1
    end=$(date +%s.%N)
    fps=$(awk -v s="$start" -v e="$end" 'BEGIN { print 250 / (e - s) }')
    best=$(awk -v a="$fps" -v b="${best:-0}" 'BEGIN { print (a > b) ? a : b }')
  done
  echo "$best"
}
ff_raw=$(time_ffmpeg -c:v rawvideo -pix_fmt bgr24 "$work/ffmpeg_raw.avi") ||
  { echo "avi_build.sh: ffmpeg failed"; exit 1; }
ff_msvc=$(time_ffmpeg -c:v msvideo1 -g 20 "$work/ffmpeg_msvc.avi") ||
  { echo "avi_build.sh: ffmpeg failed"; exit 1; }

size() { stat -c %s "$1"; }
printf "%-40s %9s %12s\n" "project of 250 BMPs, 640x480" "frames/s" "bytes"
printf "%-40s %9.1f %12d\n" "ours, full frames" "$dib" "$(size "$work/ours_dib.avi")"
printf "%-40s %9.1f %12d\n" "ffmpeg, rawvideo" "$ff_raw" "$(size "$work/ffmpeg_raw.avi")"
printf "%-40s %9.1f %12d\n" "ours, MS Video 1 (quality 10000)" "$msvc" "$(size "$work/ours_msvc.avi")"
printf "%-40s %9.1f %12d\n" "ffmpeg, msvideo1" "$ff_msvc" "$(size "$work/ffmpeg_msvc.avi")"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { print a / b }'; }
printf "ratio full frames (ours / ffmpeg): %.2f\n" "$(ratio "$dib" "$ff_raw")"
printf "ratio MS Video 1 (ours / ffmpeg):  %.2f\n" "$(ratio "$msvc" "$ff_msvc")"
