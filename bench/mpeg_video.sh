#!/usr/bin/env bash
# MPEG-1 video as people see it: every stream decoded by ffmpeg to RGB and compared with
# the source pictures (PSNR over the three colour planes), beside ffmpeg's mpeg1video (its
# default motion search and the exhaustive one) and mpeg2enc, each run at the bit rate
# our file really has, in the same run. Two sets:
#   slides: eight real photographs (Debian's mate-backgrounds, brought to 720x576 by
#           ImageMagick), 2 s each at 25 frames/s, made by our Create;
#   moving: 300 frames of moving content at 352x288 and 25 frames/s, an AVI made by
#           ffmpeg, converted by our avi2mpg at its default rate;
#   stills: four ImageMagick plasma pictures held one second each, likewise.
# Prints frames per second by wall clock and by CPU time, each the best of three runs but
# for mpeg2enc (the machine may be shared; we use the cores, the peers one thread), RGB
# PSNR, the real bit rate and ratios; for the
# slideshow also our slideshow coding against the fixed I/P/B pattern on the same list.
set -u
build=${1:-build}
cli="$build/bin/quendrolix-cli"
bench="$build/bin/mpeg_video_bench"
[ -x "$cli" ] && [ -x "$bench" ] || { echo "quendrolix-cli and mpeg_video_bench must be built in $build"; exit 1; }
for tool in ffmpeg mpeg2enc /usr/bin/convert; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed (deps/peers.txt, deps/bench.txt)"; exit 1; }
done
photos=/usr/share/backgrounds/mate/nature
if [ ! -d "$photos" ]; then
  apt-get install -y mate-backgrounds >/dev/null 2>&1 || { echo "cannot install mate-backgrounds"; exit 1; }
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home"

seconds() {  # RUNS command...: the least "wall,cpu" seconds over RUNS runs (a shared
  # machine only ever slows a run down), the output discarded
  local TIMEFORMAT='%R %U %S' runs=$1
  shift
  for _ in $(seq "$runs"); do
    { time "$@" >/dev/null 2>&1; } 2>&1 | tail -1
  done | awk 'NR == 1 || $1 < w { w = $1 } NR == 1 || $2 + $3 < c { c = $2 + $3 }
              END { printf "%.3f,%.3f\n", w, c }'
}
to_rgb() {  # stream -> rgb24 frames as a player shows them
  ffmpeg -nostdin -v error -i "$1" -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -y "$2"
}
row() {  # set encoder wall,cpu frames stream W H HOLD source.rgb
  to_rgb "$5" "$work/dec.rgb"
  read -r psnr decoded < <("$bench" psnr "$6" "$7" "$8" "$work/dec.rgb" "$9")
  local size; size=$(stat -c %s "$5")
  awk -v s="$1" -v e="$2" -v t="$3" -v n="$4" -v p="$psnr" -v d="$decoded" -v b="$size" \
    'BEGIN { split(t, w, ","); printf "%-7s %-13s %9.1f %9.1f %9s %11.0f %7d\n", s, e, n / w[1], n / w[2], p, b * 8 * 25 / n, d }'
  echo "$psnr" > "$work/$1.$2.psnr"
  echo "$3" > "$work/$1.$2.time"
  echo "$size" > "$work/$1.$2.size"
}
peers() {  # set W H frames hold source.rgb rate input-args...
  local set=$1 w=$2 h=$3 n=$4 hold=$5 src=$6 rate=$7; shift 7
  local common=(-nostdin -v error -y "$@" -c:v mpeg1video -b:v "$rate" -threads 1)
  # Exhaustive: ffmpeg's full search (a diamond size above 1024).
  local t
  t=$(seconds 3 ffmpeg "${common[@]}" "$work/$set.ffdefault.mpg")
  row "$set" ffdefault "$t" "$n" "$work/$set.ffdefault.mpg" "$w" "$h" "$hold" "$src"
  t=$(seconds 3 ffmpeg "${common[@]}" -dia_size 1035 "$work/$set.ffexhaustive.mpg")
  row "$set" ffexhaustive "$t" "$n" "$work/$set.ffexhaustive.mpg" "$w" "$h" "$hold" "$src"
  ffmpeg -nostdin -v error -y "$@" -pix_fmt yuv420p -f yuv4mpegpipe "$work/$set.y4m"
  t=$(seconds 1 sh -c "mpeg2enc -f 0 -b $((rate / 1000)) -F 3 -a 1 -o '$work/$set.mpeg2enc.m1v' < '$work/$set.y4m'")
  row "$set" mpeg2enc "$t" "$n" "$work/$set.mpeg2enc.m1v" "$w" "$h" "$hold" "$src"
}
ratios() {  # set
  for peer in ffdefault ffexhaustive mpeg2enc; do
    awk -v s="$1" -v peer="$peer" -v o="$(cat "$work/$1.ours.psnr")" -v p="$(cat "$work/$1.$peer.psnr")" \
        -v ot="$(cat "$work/$1.ours.time")" -v pt="$(cat "$work/$1.$peer.time")" \
        -v os="$(cat "$work/$1.ours.size")" -v ps="$(cat "$work/$1.$peer.size")" \
      'BEGIN { split(ot, a, ","); split(pt, b, ",");
               printf "%-7s ours against %-13s %+6.2f dB (its file %.2fx ours), speed %.2fx by wall clock, %.2fx by CPU time\n",
                      s, peer, o - p, ps / os, b[1] / a[1], b[2] / a[2] }'
  done
}

printf '%-7s %-13s %9s %9s %9s %11s %7s\n' set encoder "fps wall" "fps cpu" "RGB PSNR" "bit/s" frames

# (a) The slideshow.
i=0
pictures=()
inputs=()
: > "$work/slides.rgb"
for name in Aqua Dune FreshFlower Garden GreenMeadow LadyBird RainDrops YellowFlower; do
  p="$work/p$i.png"
  /usr/bin/convert "$photos/$name.jpg" -resize '720x576^' -gravity center -extent 720x576 -strip "PNG24:$p"
  /usr/bin/convert "$p" -depth 8 rgb:- >> "$work/slides.rgb"
  pictures+=("$p")
  inputs+=(-loop 1 -framerate 25 -t 2 -i "$p")
  i=$((i + 1))
done
{ echo "[MPEG]"; echo "FPS=5"; echo "[Images]"
  for k in "${!pictures[@]}"; do echo "$k=${pictures[$k]},50"; done; } > "$work/slides.ini"
frames=$((50 * ${#pictures[@]}))
t=$(seconds 3 "$cli" --home "$work/home" create "$work/slides.ini" "$work/slides.ours.mpg")
row slides ours "$t" "$frames" "$work/slides.ours.mpg" 720 576 50 "$work/slides.rgb"
rate=$(( $(stat -c %s "$work/slides.ours.mpg") * 8 * 25 / frames ))
concat=(-filter_complex "concat=n=${#pictures[@]}:v=1:a=0,format=yuv420p" -r 25)
peers slides 720 576 "$frames" 50 "$work/slides.rgb" "$rate" "${inputs[@]}" "${concat[@]}"
ratios slides
read -r ts fs < <("$bench" list "$work/s.m1v" 50 slideshow "${pictures[@]}")
read -r tf _ < <("$bench" list "$work/f.m1v" 50 fixed "${pictures[@]}")
awk -v a="$tf" -v b="$ts" -v n="$fs" 'BEGIN { printf "slides  slideshow coding %.1f frames/s, fixed I/P/B pattern %.1f frames/s: %.2fx faster per output frame\n", n / b, n / a, a / b }'

# Our avi2mpg at its default rate, then the peers at the rate it gave.
through_avi2mpg() {  # set W H frames hold source.rgb
  local set=$1 w=$2 h=$3 n=$4 hold=$5 src=$6 t rate
  ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt rgb24 -s "${w}x$h" -r 25 -i "$work/$set.rgb" \
    -c:v rawvideo -pix_fmt bgr24 "$work/$set.avi"
  mkdir -p "$work/out"
  t=$(seconds 3 "$cli" --home "$work/home" avi2mpg --out-dir "$work/out" "$work/$set.avi")
  cp "$work/out/$set.mpg" "$work/$set.ours.mpg"
  row "$set" ours "$t" "$n" "$work/$set.ours.mpg" "$w" "$h" "$hold" "$src"
  rate=$(( $(stat -c %s "$work/$set.ours.mpg") * 8 * 25 / n ))
  peers "$set" "$w" "$h" "$n" "$hold" "$src" "$rate" -i "$work/$set.avi"
  ratios "$set"
}

# (b) Moving content.
"$bench" moving "$work" 352 288 300
through_avi2mpg moving 352 288 300 1 "$work/moving.rgb"

# (c) Stills: the fixed pattern, where P pictures refine a held picture.
: > "$work/stills.rgb"
: > "$work/stills.src.rgb"
for seed in 1 2 3 4; do
  /usr/bin/convert -seed "$seed" -size 352x288 plasma: -depth 8 "rgb:$work/plasma.rgb"
  cat "$work/plasma.rgb" >> "$work/stills.src.rgb"
  for _ in $(seq 25); do cat "$work/plasma.rgb" >> "$work/stills.rgb"; done
done
through_avi2mpg stills 352 288 100 25 "$work/stills.src.rgb"
