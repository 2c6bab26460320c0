#!/usr/bin/env bash
# Runs every libFuzzer program of a fuzz build for the given number of seconds, starting
# from the seed corpus, and fails when one of them finds a crash.
set -u
build=${1:-build-fuzz}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for exe in "$build"/bin/*_fuzz; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  work=$(mktemp -d)
  [ -d "$here/corpus/$name" ] && cp -r "$here/corpus/$name/." "$work/" 2>/dev/null
  echo "== $name for ${seconds}s"
  if ! "$exe" -max_total_time="$seconds" -rss_limit_mb=4096 -artifact_prefix="$build/$name-" \
      "$work" 2>"$build/$name.log"; then
    echo "   FOUND A PROBLEM: see $build/$name.log and $build/$name-*"
    status=1
  else
    grep -E '^#[0-9]+.*DONE' "$build/$name.log" | tail -1
  fi
  rm -rf "$work"
done
exit $status
