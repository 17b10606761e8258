#!/usr/bin/env bash
# Runs every fuzz target of build/fuzz on a fixed number of inputs (below; FUZZ_SCALE multiplies
# them for a longer run), each from a copy of its seed corpus fuzz/corpus/<target> in a scratch
# folder, so new inputs never land in the repository. A crash, a sanitizer report, a hung input
# or a memory blow-up fails the run; the fuzzer's whole report and each reproducer's bytes are
# printed, and the reproducers are kept in build/fuzz/findings.
#
# The work is counted, not timed, so that a busy machine tries as many inputs as a quiet one,
# only more slowly. The time limits are safety nets against a hang, never measurements: an input
# may take a minute, a target FUZZ_TARGET_SECONDS (600 by default; one that reaches it stops
# there and says how far it came).
set -uo pipefail
cd "$(dirname "$0")/.."

scale=${FUZZ_SCALE:-1}
target_seconds=${FUZZ_TARGET_SECONDS:-600}
# The inputs each target runs: about what five seconds reach on a quiet machine, more for those
# that run an editor through many steps an input or write a file for each (a fault of undo took
# some 20,000 inputs to show). A target missing here runs the default.
default_runs=20000
declare -A runs=(
  [Base64Decode_fuzz]=200000 [BinHexDecode_fuzz]=240000 [BytesToSjis_fuzz]=80000
  [DatesAndNumbers_fuzz]=25000 [Decoders_fuzz]=60000 [DetectCharCode_fuzz]=350000
  [EucToSjis_fuzz]=330000 [JisToSjis_fuzz]=280000 [Locale_fuzz]=60000 [MemIni_fuzz]=40000
  [NkStream_fuzz]=160000 [Registry_fuzz]=6000 [RidCompletionProposal_fuzz]=145000
  [RidEderClipboard_fuzz]=48000 [RidEderKeyStrokeStore_fuzz]=520000 [RidEderPrint_fuzz]=34000
  [RidEderScript_fuzz]=1500 [RidEderSearch_fuzz]=4300 [RidEderTextBuffer_fuzz]=89000 [RidEderUndo_fuzz]=43000
  [RidExport_fuzz]=8800 [RidHighlighters_fuzz]=29000 [RidMacroEvents_fuzz]=4000
  [RidMacroRecorder_fuzz]=1200 [RidRegExpr_fuzz]=2400 [SjisEncoder_fuzz]=150000
  [UUDecode_fuzz]=170000 [Utf16ToSjis_fuzz]=260000 [Utf8ToSjis_fuzz]=180000
)
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
  want=$((${runs[$name]:-$default_runs} * scale))
  limit=$((target_seconds * scale))
  start=$SECONDS
  "$target" -runs="$want" -max_total_time="$limit" -timeout=60 -rss_limit_mb=2048 \
    -malloc_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/found/" "$work/corpus" \
    >"$work/log" 2>&1
  code=$?
  ran=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
  units=$(find "$work/corpus" -type f | wc -l)
  if [ "$code" -eq 0 ] && [ -z "$(ls -A "$work/found")" ]; then
    said="fuzz: $name: ${ran:-?} inputs run in $((SECONDS - start)) s, corpus of $units"
    [ "${ran:-0}" -ge "$want" ] || said+=" (stopped at its limit of $limit s, short of $want)"
    echo "$said"
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
