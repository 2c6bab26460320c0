#!/usr/bin/env bash
# Decoding foreign AVIs: a 640x480 H.264 AVI and an XVID (MPEG-4 ASP) AVI, 300 frames each,
# made by ffmpeg here, decoded through our frame getter into DIB frames and by ffmpeg into
# raw bgr24 (the same conversion), in the same run. Prints frames per second and our speed
# as a ratio of ffmpeg's (the goal is at least 0.8). Best of three runs on each side.
set -u
build=${1:-build}
bench="$build/bin/foreign_decode_bench"
[ -x "$bench" ] || { echo "foreign_decode.sh: $bench is not built"; exit 1; }
command -v ffmpeg >/dev/null || { echo "foreign_decode.sh: ffmpeg is not installed, skipped"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make_avi() {  # name, codec options
  ffmpeg -nostdin -y -v error -f lavfi -i "testsrc2=size=640x480:rate=25" -t 12 $2 "$work/$1.avi"
}
make_avi h264 "-c:v libx264 -preset medium -pix_fmt yuv420p" || { echo "foreign_decode.sh: ffmpeg failed"; exit 1; }
make_avi xvid "-c:v mpeg4 -vtag XVID -q:v 4" || { echo "foreign_decode.sh: ffmpeg failed"; exit 1; }

ffmpeg_seconds() {
  local best="" start end s
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    ffmpeg -nostdin -y -v error -i "$1" -map 0:v -f rawvideo -pix_fmt bgr24 /dev/null || return 1
    end=$(date +%s.%N)
    s=$(awk -v s="$start" -v e="$end" 'BEGIN { print e - s }')
    if [ -z "$best" ] || awk -v a="$s" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$s; fi
  done
  echo "$best"
}

printf "%-28s %10s %10s\n" "300 frames of 640x480" "frames/s" "ratio"
status=0
for name in h264 xvid; do
  ours=$("$bench" "$work/$name.avi" 3) || { echo "foreign_decode.sh: our decoding failed"; exit 1; }
  frames=$(echo "$ours" | awk '/^frames/ {print $2}')
  our_s=$(echo "$ours" | awk '/^seconds/ {print $2}')
  their_s=$(ffmpeg_seconds "$work/$name.avi") || { echo "foreign_decode.sh: ffmpeg failed"; exit 1; }
  our_fps=$(awk -v f="$frames" -v s="$our_s" 'BEGIN { print f / s }')
  their_fps=$(awk -v f="$frames" -v s="$their_s" 'BEGIN { print f / s }')
  ratio=$(awk -v a="$our_fps" -v b="$their_fps" 'BEGIN { print a / b }')
  printf "%-28s %10.1f\n" "ffmpeg to rawvideo, $name" "$their_fps"
  printf "%-28s %10.1f %10.2f\n" "our frame getter, $name" "$our_fps" "$ratio"
  awk -v r="$ratio" 'BEGIN { exit !(r < 0.8) }' && echo "below the goal of 0.8: $name"
done
exit $status
