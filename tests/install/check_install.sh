#!/usr/bin/env bash
# check_install.sh BUILD_DIR: installs the build into a temporary DESTDIR and checks the
# desktop entry, the metainfo, the project file type, the icons and the manual.
set -uo pipefail
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

if ! DESTDIR="$dest" cmake --install "$build" --prefix /usr > "$dest/install.log" 2>&1; then
  cat "$dest/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi
share=$dest/usr/share
app=org.quendrolix.MediaEditor
desktop=$share/applications/$app.desktop
metainfo=$share/metainfo/$app.metainfo.xml

for tool in desktop-file-validate appstreamcli update-mime-database; do
  command -v $tool > /dev/null || { echo "FAIL: $tool is not installed (deps/desktop.txt)"; exit 1; }
done

if out=$(desktop-file-validate "$desktop" 2>&1) && ! grep -qi "error" <<< "$out"; then
  pass "desktop-file-validate $app.desktop"
else
  fail "desktop-file-validate: $out"
fi
if out=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
  pass "appstreamcli validate $app.metainfo.xml"
else
  fail "appstreamcli validate: $out"
fi

# The entry starts the installed program with the file the file manager hands it.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
program=${exec_line%% *}
[[ -x $dest/usr/bin/$program ]] && pass "Exec names the installed $program" ||
  fail "Exec names $program, which is not installed"
[[ $exec_line == *%f* || $exec_line == *%F* ]] && pass "Exec takes a file" ||
  fail "Exec has no %f: $exec_line"
icon=$(sed -n 's/^Icon=//p' "$desktop")
mime=$(sed -n 's/^MimeType=//p' "$desktop" | tr -d ';')
grep -q "<launchable type=\"desktop-id\">$app.desktop</launchable>" "$metainfo" &&
  pass "metainfo launches $app.desktop" || fail "metainfo does not name $app.desktop"

# PNG width and height from the IHDR chunk.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}'; }
for size in 16 22 24 32 48 64 128 256; do
  for file in "apps/$icon.png" "mimetypes/${mime/\//-}.png"; do
    path=$share/icons/hicolor/${size}x${size}/$file
    if [[ ! -f $path ]]; then
      fail "missing icon $path"
    elif [[ $(png_size "$path") != "${size}x${size}" ]]; then
      fail "$path is $(png_size "$path"), not ${size}x${size}"
    fi
  done
done
for file in "apps/$icon.svg" "mimetypes/${mime/\//-}.svg"; do
  path=$share/icons/hicolor/scalable/$file
  [[ -f $path ]] && grep -q "<svg" "$path" || fail "missing or broken $path"
done
pass "hicolor icons 16 to 256 px and SVG for $icon and $mime"

# The project type compiles into the MIME database: *.qdx and the "QDXC" magic.
if update-mime-database "$share/mime" > "$dest/mime.log" 2>&1; then
  grep -q ":$mime:\*\.qdx" "$share/mime/globs2" && pass "*.qdx is $mime" ||
    fail "globs2 has no *.qdx for $mime"
  [[ -f $share/mime/$mime.xml ]] && grep -q "$icon\|x-quendrolix-document" "$share/mime/$mime.xml" &&
    pass "$mime is in the MIME database" || fail "$mime.xml not made"
  grep -aq "QDXC" "$share/mime/magic" && pass "the QDXC magic is known" || fail "no QDXC magic"
else
  fail "update-mime-database: $(cat "$dest/mime.log")"
fi

# The manual, where the installed program looks for it.
help=$share/quendrolix/VareZazu
for topic in index.htm faq/troubleshooting.htm Tutorials/your_first_animation.htm \
  Tutorials/smart_paste.htm Tutorials/using_media_files_in_web_pages.htm Tutorials/gif.htm \
  "how_to.../perform_morphing.htm" Tutorials/web_example/balls.gif; do
  [[ -s $help/$topic ]] || fail "the manual lacks $topic"
done
[[ $(head -c 6 "$help/Tutorials/web_example/balls.gif") == GIF89a ]] ||
  fail "the example page's balls.gif is not a GIF"
pass "the manual is under share/quendrolix/VareZazu"

# The installed program starts.
if out=$(QT_QPA_PLATFORM=offscreen "$dest/usr/bin/$program" --version 2>&1); then
  pass "installed $program runs: $out"
else
  fail "installed $program does not run: $out"
fi

echo "$((failures == 0 ? 1 : 0)) passed, $((failures > 0 ? 1 : 0)) failed"
exit $((failures > 0))
