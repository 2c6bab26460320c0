#!/usr/bin/env bash
# The layer II encoder against twolame (psychoacoustic model 2, plain stereo, 128 kbit/s)
# on the same 5 minutes of 44.1 kHz stereo, in the same run. Prints both speeds as
# multiples of real time and their ratio (above 1: we are faster).
set -euo pipefail
build=${1:-build}
seconds=${SECONDS_OF_SOUND:-300}
runs=3
bench="$build/bin/mpeg_audio_bench"
[ -x "$bench" ] || { echo "missing $bench (build first)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ours_line=$("$bench" --seconds "$seconds" --runs "$runs" --wav "$work/music.wav")
echo "$ours_line"
ours=$(echo "$ours_line" | sed -E 's/.* ([0-9.]+)x real time/\1/')

if ! command -v twolame >/dev/null; then
  echo "twolame is not installed: no comparison"
  exit 0
fi
best=""
for _ in $(seq "$runs"); do
  start=$(date +%s.%N)
  twolame --quiet -P 2 -m s -b 128 "$work/music.wav" "$work/twolame.mp2" 2>/dev/null
  end=$(date +%s.%N)
  t=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
  if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
done
theirs=$(awk -v s="$seconds" -v t="$best" 'BEGIN { print s / t }')
printf 'twolame -P 2: %d s in %.3f s (best of %d): %.1fx real time\n' "$seconds" "$best" "$runs" "$theirs"
printf 'ratio ours/twolame: %.2f\n' "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')"
