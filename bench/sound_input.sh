#!/usr/bin/env bash
# The layer II encoder's input from a music file: 10 minutes of 48 kHz stereo FLAC made by
# ffmpeg here, decoded and resampled to 44.1 kHz 16-bit blocks by our sound input, and
# converted by ffmpeg into a 44.1 kHz WAV (the same work) in the same run. Prints the
# speed of each in times real time and ours as a ratio of ffmpeg's. Best of three runs.
set -u
build=${1:-build}
bench="$build/bin/sound_input_bench"
[ -x "$bench" ] || { echo "sound_input.sh: $bench is not built"; exit 1; }
command -v ffmpeg >/dev/null || { echo "sound_input.sh: ffmpeg is not installed, skipped"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ffmpeg -nostdin -y -v error -f lavfi -i "sine=f=440:sample_rate=48000" -f lavfi \
  -i "anoisesrc=c=pink:r=48000:a=0.2" -filter_complex "[0][1]amix=inputs=2,aformat=channel_layouts=stereo" \
  -t 600 -c:a flac "$work/music.flac" || { echo "sound_input.sh: ffmpeg failed"; exit 1; }

ffmpeg_seconds() {
  local best="" start end s
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    ffmpeg -nostdin -y -v error -i "$1" -ar 44100 -c:a pcm_s16le "$work/out.wav" || return 1
    end=$(date +%s.%N)
    s=$(awk -v s="$start" -v e="$end" 'BEGIN { print e - s }')
    if [ -z "$best" ] || awk -v a="$s" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$s; fi
  done
  echo "$best"
}

ours=$("$bench" "$work/music.flac" 3) || { echo "sound_input.sh: our sound input failed"; exit 1; }
sound=$(echo "$ours" | awk '/^sound/ {print $2}')
our_s=$(echo "$ours" | awk '/^seconds/ {print $2}')
their_s=$(ffmpeg_seconds "$work/music.flac") || { echo "sound_input.sh: ffmpeg failed"; exit 1; }
printf "%-44s %12s %8s\n" "10 minutes of 48 kHz FLAC to 44.1 kHz" "x real time" "ratio"
printf "%-44s %12.1f\n" "ffmpeg to a WAV" "$(awk -v a="$sound" -v s="$their_s" 'BEGIN { print a / s }')"
printf "%-44s %12.1f %8.2f\n" "our layer II encoder input" \
  "$(awk -v a="$sound" -v s="$our_s" 'BEGIN { print a / s }')" \
  "$(awk -v a="$their_s" -v b="$our_s" 'BEGIN { print a / b }')"
