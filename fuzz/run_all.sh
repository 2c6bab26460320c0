#!/usr/bin/env bash
# Runs every libFuzzer program of a fuzz build (or only those named in FUZZ_TARGETS) for the
# given number of seconds, one after the other, starting from the seed corpus and the kept
# crash inputs, and fails when one of them finds a problem. A bounded reader never comes
# near the memory limits: a run that reaches one is a finding like a crash. Each finding is
# minimised beside the log; copy it to fuzz/crashes/NAME/ so it is replayed as a test.
set -u
build=${1:-build-fuzz}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for exe in "$build"/bin/*_fuzz; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  if [ -n "${FUZZ_TARGETS:-}" ] && ! [[ " $FUZZ_TARGETS " == *" $name "* ]]; then continue; fi
  work=$(mktemp -d)
  [ -d "$here/corpus/$name" ] && cp -r "$here/corpus/$name/." "$work/" 2>/dev/null
  [ -d "$here/crashes/$name" ] && cp -r "$here/crashes/$name/." "$work/" 2>/dev/null
  echo "== $name for ${seconds}s"
  if ! "$exe" -max_total_time="$seconds" -rss_limit_mb=1536 -malloc_limit_mb=768 \
      -timeout=20 -artifact_prefix="$build/$name-" "$work" 2>"$build/$name.log"; then
    echo "   FOUND A PROBLEM: see $build/$name.log"
    for artifact in "$build/$name"-crash-* "$build/$name"-oom-* "$build/$name"-timeout-* \
        "$build/$name"-leak-*; do
      [ -f "$artifact" ] || continue
      case "$artifact" in *.min) continue ;; esac
      # At most two minutes: each try of a timeout or out-of-memory input is slow.
      "$exe" -minimize_crash=1 -runs=20000 -max_total_time=120 -timeout=20 \
        -rss_limit_mb=1536 -malloc_limit_mb=768 -exact_artifact_path="$artifact.min" \
        "$artifact" >/dev/null 2>&1 || true
      echo "   input: $artifact (minimised: $artifact.min)"
    done
    status=1
  else
    grep -E '^#[0-9]+.*DONE' "$build/$name.log" | tail -1
  fi
  rm -rf "$work"
done
exit $status
