#!/usr/bin/env bash
# Loads pictures and maps frames to a fixed 256-colour palette, through our code and
# through ImageMagick on the same files in the same run; prints CPU time ratios (ours / theirs,
# below 1 means we are faster). ImageMagick pays its start-up per file, so it runs the same
# number of conversions in one process where it can.
set -eu
build=${1:-build}
bench="$build/bin/images_bench"
im=/usr/bin/convert
[ -x "$bench" ] || { echo "images_bench not built"; exit 1; }
[ -x "$im" ] || { echo "ImageMagick not installed: skipped"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
repeat=${REPEAT:-20}

"$im" rose: -resize 1280x720! "$work/frame.png"
"$im" "$work/frame.png" -quality 90 "$work/frame.jpg"
"$im" "$work/frame.png" "$work/frame.bmp"
"$im" "$work/frame.png" -compress LZW "$work/frame.tif"
"$im" "$work/frame.png" -colors 256 "$work/frame.gif"
"$im" -size 16x16 xc: +dither -remap netscape: -colors 256 "$work/palette.bmp" 2>/dev/null ||
  "$im" netscape: -type Palette "$work/palette.bmp"

# CPU seconds (user + system, children included): the machine may be shared, so wall time
# says more about the neighbours than about the code.
elapsed() {
  local t
  t=$( { TIMEFORMAT='%3U %3S'; time "$@" >/dev/null 2>&1; } 2>&1 )
  awk -v u="${t% *}" -v s="${t#* }" 'BEGIN { print u + s }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) print a / b; else print 0 }'; }

for ext in png jpg bmp tif gif; do
  ours=$(elapsed "$bench" load "$work/frame.$ext" "$repeat")
  list=$(for i in $(seq "$repeat"); do printf '%s ' "$work/frame.$ext"; done)
  # shellcheck disable=SC2086
  theirs=$(elapsed "$im" $list -format '' info:)
  printf 'load %-4s x%d: ours %.3f s, ImageMagick %.3f s, ratio %.2f\n' "$ext" "$repeat" \
    "$ours" "$theirs" "$(ratio "$ours" "$theirs")"
done

ours=$(elapsed "$bench" remap "$work/frame.png" "$work/palette.bmp" "$work/ours.bmp" "$repeat")
theirs=$(elapsed bash -c "for i in \$(seq $repeat); do $im '$work/frame.png' +dither -remap '$work/palette.bmp' -type Palette BMP3:'$work/theirs.bmp'; done")
printf 'remap to 256 colours x%d: ours %.3f s, ImageMagick %.3f s, ratio %.2f\n' "$repeat" \
  "$ours" "$theirs" "$(ratio "$ours" "$theirs")"
