#!/usr/bin/env bash
# Fitting photographs: 40 photos of 6 to 24 megapixels (the wallpapers of mate-backgrounds
# enlarged by ImageMagick, landscape and portrait) into a 1920x1080 letterboxed full-frame
# AVI and an MPG by our program, beside ffmpeg doing the same fit (Lanczos scale + pad) and
# encode in one command; then our fit stage (Lanczos) beside ImageMagick's -resize on the
# same photos. Prints seconds and ratios (above 1: we are faster).
set -u
build=${1:-build}
cli="$build/bin/quendrolix-cli"
bench="$build/bin/picture_fit_bench"
for tool in "$cli" "$bench"; do
  [ -x "$tool" ] || { echo "picture_fit.sh: $tool is not built"; exit 1; }
done
command -v ffmpeg >/dev/null || { echo "picture_fit.sh: ffmpeg is not installed, skipped"; exit 0; }
[ -x /usr/bin/convert ] || { echo "picture_fit.sh: ImageMagick is not installed, skipped"; exit 0; }
walls=(/usr/share/backgrounds/mate/nature/*.jpg /usr/share/backgrounds/mate/abstract/*.jpg)
[ -e "${walls[0]}" ] || { echo "picture_fit.sh: mate-backgrounds is not installed, skipped"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/photos"

# 40 photos cycling through 6, 12, 16 and 24 megapixels, every third one a portrait.
sizes=(3000x2000 4000x3000 4900x3270 6000x4000)
for i in $(seq 0 39); do
  src=${walls[$((i % ${#walls[@]}))]}
  size=${sizes[$((i % 4))]}
  if [ $((i % 3)) = 2 ]; then size="${size#*x}x${size%x*}"; fi
  /usr/bin/convert "$src" -resize "$size!" -quality 90 "$work/photos/$(printf 'p%02d' "$i").jpg" ||
    { echo "picture_fit.sh: could not make the photos"; exit 1; }
done
photos=("$work"/photos/*.jpg)

seconds() { awk -v s="$1" -v e="$2" 'BEGIN { printf "%.2f", e - s }'; }
run() {  # run COMMAND...: prints the seconds it took, fails with it
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || return 1
  end=$(date +%s.%N)
  seconds "$start" "$end"
}

home="$work/home"
entries=()
for p in "${photos[@]}"; do entries+=("$p,1"); done
"$cli" --home "$home" project new "$work/p.qdx" --fps 25 --size 1920x1080 --fit letterbox \
  "${entries[@]}" >/dev/null || { echo "picture_fit.sh: project new failed"; exit 1; }
ours_avi=$(run "$cli" --home "$home" create "$work/p.qdx" "$work/ours.avi" --codec DIB) ||
  { echo "picture_fit.sh: our AVI failed"; exit 1; }
ours_mpg=$(run "$cli" --home "$home" create "$work/p.qdx" "$work/ours.mpg") ||
  { echo "picture_fit.sh: our MPG failed"; exit 1; }

fit="scale=1920:1080:force_original_aspect_ratio=decrease:flags=lanczos,pad=1920:1080:(ow-iw)/2:(oh-ih)/2"
ff() { ffmpeg -nostdin -y -v error -framerate 25 -pattern_type glob -i "$work/photos/*.jpg" -vf "$fit" "$@"; }
ff_avi=$(run ff -c:v rawvideo -pix_fmt bgr24 "$work/ff.avi") || { echo "picture_fit.sh: ffmpeg failed"; exit 1; }
ff_mpg=$(run ff -c:v mpeg1video -b:v 8M -f mpeg "$work/ff.mpg") || { echo "picture_fit.sh: ffmpeg failed"; exit 1; }

# The scaling alone: ours from our bench program; ImageMagick's as its time with -resize
# less its time reading and dropping the same photos.
times=$("$bench" 1920 1080 "${photos[@]}") || { echo "picture_fit.sh: the benchmark failed"; exit 1; }
ours_load=$(echo "$times" | awk '/ours_load_s/ {print $2}')
ours_fit=$(echo "$times" | awk '/ours_fit_s/ {print $2}')
# One photo per run: its resource policy refuses 40 large photos held at once.
each() { for p in "${photos[@]}"; do /usr/bin/convert "$p" "$@" null: || return 1; done; }
im_read=$(run each) || { echo "picture_fit.sh: ImageMagick failed"; exit 1; }
im_resize=$(run each -resize 1920x1080) || { echo "picture_fit.sh: ImageMagick failed"; exit 1; }
im_fit=$(awk -v a="$im_resize" -v b="$im_read" 'BEGIN { printf "%.2f", a - b }')

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
printf "%-52s %8s\n" "40 photos (6-24 MP) into 1920x1080, letterbox" "seconds"
printf "%-52s %8s\n" "ours, full-frame AVI" "$ours_avi"
printf "%-52s %8s\n" "ffmpeg, scale+pad, rawvideo AVI" "$ff_avi"
printf "%-52s %8s\n" "ours, MPG" "$ours_mpg"
printf "%-52s %8s\n" "ffmpeg, scale+pad, mpeg1video" "$ff_mpg"
printf "%-52s %8s\n" "ours, loading the photos" "$ours_load"
printf "%-52s %8s\n" "ours, fitting (Lanczos)" "$ours_fit"
printf "%-52s %8s\n" "ImageMagick, reading the photos" "$im_read"
printf "%-52s %8s\n" "ImageMagick, -resize (its time less reading)" "$im_fit"
printf "ratio AVI (ffmpeg / ours):           %s\n" "$(ratio "$ff_avi" "$ours_avi")"
printf "ratio MPG (ffmpeg / ours):           %s\n" "$(ratio "$ff_mpg" "$ours_mpg")"
printf "ratio scaling (ImageMagick / ours):  %s (goal 1.5)\n" "$(ratio "$im_fit" "$ours_fit")"
