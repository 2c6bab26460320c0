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
