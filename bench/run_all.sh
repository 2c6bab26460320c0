#!/usr/bin/env bash
# Runs every benchmark script of bench/ against the given build folder.
set -u
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for script in "$here"/*.sh; do
  [ "$(basename "$script")" = run_all.sh ] && continue
  echo "==== $(basename "$script")"
  bash "$script" "$build" || status=1
done
exit $status
