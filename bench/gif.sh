#!/usr/bin/env bash
# Writes a 100-image 640x480 animated GIF of photographic moving content (made by
# gif_write_bench on first use and kept in the build folder) through our writer (the
# gif-write command, and in-process), ImageMagick's convert and ffmpeg (plain, and with
# palettegen/paletteuse), best of three runs each, and prints times, sizes, PSNR against
# the source frames (every GIF decoded by ffmpeg) and the time ratios.
set -euo pipefail
build=${1:-build}
frames=${GIF_BENCH_FRAMES:-100}
bench="$build/bin/gif_write_bench"
cli="$build/bin/quendrolix-cli"
[ -x "$bench" ] || { echo "gif_write_bench is not built in $build"; exit 1; }
[ -x "$cli" ] || { echo "quendrolix-cli is not built in $build"; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is not installed"; exit 1; }
convert=/usr/bin/convert
[ -x "$convert" ] || { echo "ImageMagick (/usr/bin/convert) is not installed"; exit 1; }

data="$build/bench-data/gif_${frames}"
if [ ! -s "$data/source.rgb" ]; then
  echo "making $frames frames of 640x480..."
  mkdir -p "$data"
  "$bench" make "$data" "$frames" 640 480
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
home="$work/home"
mkdir -p "$home"
"$cli" --home "$home" gif-settings GlobalDelay=10 Play=0 >/dev/null
images=()
for f in "$data"/f*.bmp; do images+=("$f"); done

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

cat "$data"/f*.bmp >/dev/null  # warm the page cache

t_cli=$(best_of_three "$cli" --home "$home" gif-write "$work/ours.gif" "${images[@]}")
"$cli" --home "$home" gif-settings GlobalColormap=0 >/dev/null
t_cli_local=$(best_of_three "$cli" --home "$home" gif-write "$work/ours_local.gif" "${images[@]}")
t_proc=$("$bench" write "$data" "$work/proc.gif" global 3)
t_proc_local=$("$bench" write "$data" "$work/proc_local.gif" local 3)
t_im=$(best_of_three "$convert" -delay 10 -loop 0 "${images[@]}" "$work/magick.gif")
t_ff=$(best_of_three ffmpeg -nostdin -v error -y -framerate 10 -i "$data/f%03d.bmp" "$work/ffmpeg.gif")
t_ffp=$(best_of_three ffmpeg -nostdin -v error -y -framerate 10 -i "$data/f%03d.bmp" \
  -vf 'split[a][b];[a]palettegen[p];[b][p]paletteuse' "$work/ffmpeg_palette.gif")

psnr() {
  ffmpeg -nostdin -v error -y -i "$1" -fps_mode passthrough -f rawvideo -pix_fmt rgb24 "$work/decoded.rgb" &&
    "$bench" psnr "$data/source.rgb" "$work/decoded.rgb" || echo "n/a"
}
size() { stat -c %s "$1" 2>/dev/null || echo 0; }

echo "$frames images of 640x480, photographic moving content; best of 3 runs"
printf '%-34s %8s  %10s  %8s\n' "writer" "time s" "bytes" "PSNR dB"
row() { printf '%-34s %8s  %10s  %8s\n' "$1" "$2" "$(size "$3")" "$(psnr "$3")"; }
row "quendrolix gif-write (global map)" "$t_cli" "$work/ours.gif"
row "quendrolix gif-write (local maps)" "$t_cli_local" "$work/ours_local.gif"
row "quendrolix in-process (global)" "$t_proc" "$work/proc.gif"
row "quendrolix in-process (local)" "$t_proc_local" "$work/proc_local.gif"
row "ImageMagick convert" "$t_im" "$work/magick.gif"
row "ffmpeg (default)" "$t_ff" "$work/ffmpeg.gif"
row "ffmpeg palettegen+paletteuse" "$t_ffp" "$work/ffmpeg_palette.gif"
ratio() {
  if [ "$2" = nan ] || [ "$1" = nan ]; then echo "n/a"; else awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b / a }'; fi
}
echo "ratio ImageMagick time / ours (gif-write, global): $(ratio "$t_cli" "$t_im")"
echo "ratio ffmpeg default time / ours:                  $(ratio "$t_cli" "$t_ff")"
echo "ratio ffmpeg palettegen time / ours:               $(ratio "$t_cli" "$t_ffp")"
