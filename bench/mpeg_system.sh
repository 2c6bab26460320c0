#!/usr/bin/env bash
# Multiplexes a 10-minute MPEG-1 video and MP2 pair (made by ffmpeg on first use and kept in
# the build folder) with our multiplexer, ffmpeg's MPEG-PS muxer (-c copy -f mpeg) and
# mplex -f 0, best of three runs each, and prints the times and the ratios.
set -euo pipefail
build=${1:-build}
minutes=${MPEG_SYSTEM_BENCH_MINUTES:-10}
bench="$build/bin/mpeg_system_bench"
[ -x "$bench" ] || { echo "mpeg_system_bench is not built in $build"; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is not installed"; exit 1; }

data="$build/bench-data/mpeg_system"
mkdir -p "$data"
seconds=$((minutes * 60))
video="$data/video_${minutes}m_cbr.m1v"
audio="$data/audio_${minutes}m.mp2"
if [ ! -s "$video" ]; then
  echo "making $minutes minutes of 352x288 MPEG-1 video at 1150 kbit/s..."
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc=size=352x288:rate=25" -t "$seconds" \
    -c:v mpeg1video -b:v 1150k -minrate 1150k -maxrate 1150k -bufsize 327680 -bf 2 -f mpeg1video "$video.part"
  printf '\x00\x00\x01\xb7' >>"$video.part"  # as our own encoder ends its streams
  mv "$video.part" "$video"
fi
if [ ! -s "$audio" ]; then
  echo "making $minutes minutes of 44.1 kHz stereo MP2 at 224 kbit/s..."
  ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=440:sample_rate=44100" -t "$seconds" \
    -ac 2 -c:a mp2 -b:a 224k -f mp2 "$audio.part"
  mv "$audio.part" "$audio"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Best wall time of three runs of a command, in seconds.
best_of_three() {
  local best=""
  for _ in 1 2 3; do
    local start end t
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "FAILED: $*" >&2; echo "nan"; return; }
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  printf '%.3f' "$best"
}

# Warm the page cache so every contender reads from memory.
cat "$video" "$audio" >/dev/null

echo "streams: $(du -h "$video" | cut -f1) video, $(du -h "$audio" | cut -f1) audio ($minutes min)"
"$bench" "$video" "$audio" "$work/ours.mpg" 3
ours=$(best_of_three "$bench" "$video" "$audio" "$work/ours.mpg" 1)
ff=$(best_of_three ffmpeg -nostdin -v error -y -i "$video" -i "$audio" -map 0:v -map 1:a -c copy \
  -f mpeg "$work/ffmpeg.mpg")
if command -v mplex >/dev/null; then
  mp=$(best_of_three mplex -v 0 -f 0 -o "$work/mplex.mpg" "$video" "$audio")
else
  mp=nan
  echo "mplex is not installed (package mjpegtools)"
fi

printf '%-22s %8s s  %s\n' "quendrolix (process)" "$ours" "$(du -h "$work/ours.mpg" | cut -f1)"
printf '%-22s %8s s  %s\n' "ffmpeg -c copy -f mpeg" "$ff" "$(du -h "$work/ffmpeg.mpg" 2>/dev/null | cut -f1)"
printf '%-22s %8s s  %s\n' "mplex -f 0" "$mp" "$(du -h "$work/mplex.mpg" 2>/dev/null | cut -f1)"
ratio() {
  if [ "$2" = nan ] || [ "$1" = nan ]; then echo "n/a"; else awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b / a }'; fi
}
echo "ratio ffmpeg time / ours: $(ratio "$ours" "$ff")"
echo "ratio mplex time / ours:  $(ratio "$ours" "$mp")"
# A plain copy of the same bytes: the floor for any multiplexer.
cp_time=$(best_of_three cp "$video" "$work/copy.m1v")
echo "plain copy of the video: $cp_time s (ours / copy: $(ratio "$cp_time" "$ours"))"
