#!/usr/bin/env bash
# The main job on the bundled samples: a project of the eight ball pictures with the
# chord attached, saved as a project file and read back. Outputs go to out/demo/.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
cli="$top/$build/bin/quendrolix-cli"
out="$top/out/demo"
mkdir -p "$out/home"
q() { "$cli" --home "$out/home" "$@"; }

images=()
for i in 1 2 3 4 5 6 7 8; do images+=("$here/ball$i.bmp,2"); done
q project new "$out/balls.qdx" --fps 10 --bpp 24 --sound "$here/chord.wav" "${images[@]}"
echo "== $out/balls.qdx"
q project show "$out/balls.qdx"

# The movie three times: an AVI (MS Video 1, the default compressor) and an MPG, both with
# the chord merged in, and an animated GIF (no sound).
# The GIF shows each project frame for 10 hundredths of a second, as the 10 fps movies do,
# and loops forever.
q gif-settings GlobalDelay=10 Play=0 > /dev/null
for movie in balls.avi balls.mpg balls.gif; do
  echo "== $out/$movie"
  rm -f "$out/$movie"
  q create "$out/balls.qdx" "$out/$movie" > "$out/$movie.log"
  if command -v ffprobe >/dev/null; then
    ffprobe -v error -show_entries format=duration:stream=codec_type,codec_name,width,height \
      -of compact=p=0 "$out/$movie"
  else
    ls -l "$out/$movie"
  fi
done
