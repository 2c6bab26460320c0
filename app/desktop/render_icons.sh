#!/usr/bin/env bash
# Renders the two SVG icons into the PNG sizes the desktop's icon theme asks for
# (icons/SIZE/NAME.png), with headless Chromium. Run again after changing an SVG.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for name in quendrolix application-x-quendrolix-document; do
  for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "$here/icons/$size"
    cat > "$work/page.html" <<HTML
<html><body style="margin:0;background:transparent"><img src="file://$here/$name.svg"
width="$size" height="$size" style="display:block"></body></html>
HTML
    chromium --headless --no-sandbox --disable-gpu --hide-scrollbars \
      --default-background-color=00000000 --window-size=$size,$size \
      --screenshot="$here/icons/$size/$name.png" "file://$work/page.html" >/dev/null 2>&1
  done
done
