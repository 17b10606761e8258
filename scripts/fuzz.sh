#!/usr/bin/env bash
# Runs every fuzz target of build/fuzz for a few seconds (FUZZ_SECONDS, 5 by default; the slowest
# targets a multiple of it, below), each from a copy of its seed corpus fuzz/corpus/<target> in a
# scratch folder, so new inputs never land in the repository. A crash, a sanitizer report, a slow
# input or a memory blow-up fails the run; the fuzzer's whole report and each reproducer's bytes
# are printed, and the reproducers are kept in build/fuzz/findings.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-5}
# Targets that run an editor through many steps an input, or write a file for each, get more of
# the run: a fault of undo took some 20,000 inputs to show, which 5 s do not reach.
declare -A longer=([RidEderUndo_fuzz]=12 [RidEderScript_fuzz]=12 [RidEderClipboard_fuzz]=4
  [Registry_fuzz]=3)
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
findings=build/fuzz/findings
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

targets=(build/fuzz/fuzz/*_fuzz)
[ -x "${targets[0]}" ] || { echo "fuzz: no targets in build/fuzz/fuzz"; exit 1; }

failed=()
for target in "${targets[@]}"; do
  name=$(basename "$target")
  work="$scratch/$name"
  mkdir -p "$work/corpus" "$work/found"
  [ -d "fuzz/corpus/$name" ] && cp -R "fuzz/corpus/$name/." "$work/corpus/"
  limit=$((seconds * ${longer[$name]:-1}))
  "$target" -max_total_time="$limit" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/found/" "$work/corpus" >"$work/log" 2>&1
  code=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
  units=$(find "$work/corpus" -type f | wc -l)
  if [ "$code" -eq 0 ] && [ -z "$(ls -A "$work/found")" ]; then
    echo "fuzz: $name: ${runs:-?} inputs run in $limit s, corpus of $units"
    continue
  fi
  failed+=("$name")
  echo "fuzz: $name FAILED (exit $code); the fuzzer's report:"
  cat "$work/log"
  mkdir -p "$findings"
  for f in "$work"/found/*; do
    [ -e "$f" ] || continue
    kept="$findings/$name-$(basename "$f")"
    cp "$f" "$kept"
    echo "reproducer $kept ($(stat -c %s "$f") bytes; run: $target $kept), as base64:"
    base64 "$f"
  done
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: ${#failed[@]} of ${#targets[@]} targets failed: ${failed[*]}"
  exit 1
fi
echo "fuzz: all ${#targets[@]} targets ran clean"
