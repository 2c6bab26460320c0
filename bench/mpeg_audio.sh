#!/usr/bin/env bash
# The layer II encoder against twolame (psychoacoustic model 2, plain stereo, 128 kbit/s)
# on the same 5 minutes of 44.1 kHz stereo, in the same run. The two take turns, so that
# a busy machine slows both alike; the best time of each counts. Prints both speeds as
# multiples of real time and their ratio (above 1: we are faster).
set -euo pipefail
build=${1:-build}
seconds=${SECONDS_OF_SOUND:-300}
turns=${TURNS:-5}
bench="$build/bin/mpeg_audio_bench"
[ -x "$bench" ] || { echo "missing $bench (build first)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
wav="$work/music.wav"

if ! command -v twolame >/dev/null; then
  "$bench" --seconds "$seconds" --runs "$turns" --wav "$wav"
  echo "twolame is not installed: no comparison"
  exit 0
fi

min() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }
ours_best="" theirs_best=""
for _ in $(seq "$turns"); do
  line=$("$bench" --seconds "$seconds" --runs 1 --wav "$wav")
  t=$(echo "$line" | sed -E 's/.* in ([0-9.]+) s .*/\1/')
  ours_best=$(min "$t" "$ours_best")
  start=$(date +%s.%N)
  twolame --quiet -P 2 -m s -b 128 "$wav" "$work/twolame.mp2" 2>/dev/null
  end=$(date +%s.%N)
  theirs_best=$(min "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" "$theirs_best")
done
awk -v s="$seconds" -v o="$ours_best" -v t="$theirs_best" -v n="$turns" 'BEGIN {
  printf "ours:          %d s of 44.1 kHz stereo at 128 kbit/s in %.3f s (best of %d): %.1fx real time\n", s, o, n, s / o
  printf "twolame -P 2:  %d s of 44.1 kHz stereo at 128 kbit/s in %.3f s (best of %d): %.1fx real time\n", s, t, n, s / t
  printf "ratio ours/twolame: %.2f\n", t / o
}'
