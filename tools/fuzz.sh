#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for SECONDS each, starting from a scratch copy of its
# seeds so that the repository's corpus never changes. An input that breaks a target is kept in
# BUILD_DIR/fuzz/artifacts/. Exits non-zero when any target fails.
#
#   tools/fuzz.sh BUILD_DIR SECONDS
set -euo pipefail

if [[ $# -ne 2 || ! $2 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 BUILD_DIR SECONDS" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
seconds=$2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
artifacts="$build/fuzz/artifacts"
mkdir -p "$artifacts"

status=0
for source in "$root"/fuzz/*_fuzz.cpp; do
  name=$(basename "$source" .cpp)
  target="$build/fuzz/$name"
  if [[ ! -x $target ]]; then
    echo "FAIL $name: $target is not built" >&2
    status=1
    continue
  fi
  cp -r "$root/fuzz/corpus/$name" "$scratch/$name"
  log="$scratch/$name.log"
  if "$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$artifacts/$name-" "$scratch/$name" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "ok   $name: ${runs:-?} runs in ${seconds} s, corpus $(ls "$scratch/$name" | wc -l) inputs"
  else
    echo "FAIL $name (input kept in $artifacts):" >&2
    tail -n 40 "$log" >&2
    status=1
  fi
done
exit $status
