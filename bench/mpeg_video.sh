#!/usr/bin/env bash
# MPEG-1 video: our encoder against ffmpeg's mpeg1video (default search and the exhaustive
# +/-11 search) and mpeg2enc, on the same frames at the same bit rate (1228800 bit/s,
# GOP 12, two B pictures, 30 frames/s). Prints frames per second by wall clock and by CPU
# time (the machine may be shared), luma PSNR against the source with frames paired by
# index, the real bit rate, and our speed as a ratio of each peer's.
set -u
build=${1:-build}
bench="$build/bin/mpeg_video_bench"
[ -x "$bench" ] || { echo "mpeg_video_bench is not built in $build"; exit 1; }
for tool in ffmpeg mpeg2enc; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed (deps/peers.txt, deps/bench.txt)"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bench" prepare "$work" || exit 1

# "wall cpu" seconds of a command, its output discarded.
timed() {
  local TIMEFORMAT='%R %U %S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.4f %.4f\n", $1, $2 + $3 }'
}

decode_psnr() {  # stream W H source.yuv
  cat "$1" | ffmpeg -nostdin -v error -i pipe:0 -fps_mode passthrough -f rawvideo \
    -pix_fmt yuv420p -y "$work/decoded.yuv" >/dev/null 2>&1
  "$bench" psnr "$2" "$3" "$4" "$work/decoded.yuv"
}

printf '%-7s %-26s %9s %9s %8s %11s\n' set encoder "fps wall" "fps cpu" "PSNR dB" "bit/s"
for set in cif vga slides; do
  read -r W H N < "$work/$set.info"
  declare -A wall cpu out
  for threads in 1 2; do
    read -r w c b f < <("$bench" encode "$work" "$set" "$threads")
    wall[ours$threads]=$w; cpu[ours$threads]=$c; out[ours$threads]="$work/$set.ours$threads.m1v"
  done
  src="$work/$set.yuv"
  common=(-nostdin -v error -y -f rawvideo -pix_fmt yuv420p -s "${W}x${H}" -r 30 -i "$src"
          -c:v mpeg1video -b:v 1228800 -g 12 -bf 2 -threads 1)
  read -r wall[ffdefault] cpu[ffdefault] < <(timed ffmpeg "${common[@]}" "$work/$set.ffdefault.m1v")
  out[ffdefault]="$work/$set.ffdefault.m1v"
  read -r wall[ffexhaustive] cpu[ffexhaustive] < <(timed ffmpeg "${common[@]}" -dia_size 1035 "$work/$set.ffexhaustive.m1v")
  out[ffexhaustive]="$work/$set.ffexhaustive.m1v"
  read -r wall[mpeg2enc] cpu[mpeg2enc] < <(timed sh -c "mpeg2enc -f 0 -b 1228.8 -g 12 -G 12 -F 5 -a 1 -o '$work/$set.mpeg2enc.m1v' < '$work/$set.y4m'")
  out[mpeg2enc]="$work/$set.mpeg2enc.m1v"
  for enc in ours1 ours2 ffdefault ffexhaustive mpeg2enc; do
    read -r psnr frames < <(decode_psnr "${out[$enc]}" "$W" "$H" "$src")
    size=$(stat -c %s "${out[$enc]}")
    fpsw=$(awk -v n="$N" -v t="${wall[$enc]}" 'BEGIN { printf "%.1f", n / t }')
    fpsc=$(awk -v n="$N" -v t="${cpu[$enc]}" 'BEGIN { printf "%.1f", n / t }')
    rate=$(awk -v s="$size" -v n="$frames" 'BEGIN { printf "%.0f", n ? s * 8 * 30 / n : 0 }')
    printf '%-7s %-26s %9s %9s %8s %11s\n' "$set" "$enc ($frames frames)" "$fpsw" "$fpsc" "$psnr" "$rate"
  done
  for ours in ours1 ours2; do
    for peer in ffdefault ffexhaustive mpeg2enc; do
      awk -v s="$set" -v o="$ours" -v p="$peer" -v ow="${wall[$ours]}" -v pw="${wall[$peer]}" \
          -v oc="${cpu[$ours]}" -v pc="${cpu[$peer]}" \
          'BEGIN { printf "%-7s %s / %s speed: %.2fx by wall clock, %.2fx by CPU time\n", s, o, p, pw / ow, pc / oc }'
    done
  done
  unset wall cpu out
done
