#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build, starting from a scratch copy of its seeds so that the
# repository's corpus never changes. An input that breaks a target is kept in
# BUILD_DIR/fuzz/artifacts/; add it to fuzz/corpus/<target>/ once the fault is mended, so that
# every later run replays it. Exits non-zero when any target fails.
#
#   tools/fuzz.sh BUILD_DIR --runs N [SEED]  replays the seeds, then tries N inputs drawn from SEED
#                                            (default 1): the same inputs on every machine
#   tools/fuzz.sh BUILD_DIR SECONDS          a random search for SECONDS per target
set -euo pipefail

usage() {
  echo "usage: $0 BUILD_DIR --runs N [SEED] | $0 BUILD_DIR SECONDS" >&2
  exit 2
}
number='^[0-9]+$'
if [[ $# -eq 2 && $2 =~ $number ]]; then
  # Comparisons recorded by value guide the search well, so the long runs keep them.
  limits=(-max_total_time="$2")
  budget="$2 s"
elif [[ ($# -eq 3 || $# -eq 4) && $2 == --runs && $3 =~ $number && ${4:-1} =~ $number ]]; then
  # Compared values include addresses, which differ from run to run, so a run that is to try
  # the same inputs everywhere leaves them out, and does not reread its corpus on a timer.
  limits=(-runs="$3" -seed="${4:-1}" -use_cmp=0 -reload=0)
  budget="seed ${4:-1}"
else
  usage
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)

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
  if "$target" "${limits[@]}" -print_final_stats=1 -artifact_prefix="$artifacts/$name-" \
    "$scratch/$name" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "ok   $name: ${runs:-?} runs ($budget), corpus $(ls "$scratch/$name" | wc -l) inputs"
  else
    echo "FAIL $name (input kept in $artifacts):" >&2
    tail -n 40 "$log" >&2
    status=1
  fi
done
exit $status
