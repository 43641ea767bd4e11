#!/usr/bin/env bash
# Runs each libFuzzer harness for a bounded time, starting from a copy of its
# seed corpus and regression inputs (the repository's folders are never
# written). Exits non-zero when a harness finds a crash; the input that
# crashed is kept under BUILD_DIR/fuzz-findings/<harness>/.
#   scripts/run-fuzzers.sh [BUILD_DIR=build/host-fuzz] [SECONDS_EACH=60]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "${1:-$root/build/host-fuzz}" && pwd) || exit 2
seconds=${2:-60}
harnesses=(fuzz_device_list fuzz_driver_reply fuzz_export_sequence fuzz_trace_reader)

work=$(mktemp -d "${TMPDIR:-/tmp}/velnor-fuzz-run.XXXXXX")
trap 'rm -rf "$work"' EXIT

failed=()
for harness in "${harnesses[@]}"; do
  program="$build_dir/bin/$harness"
  if [ ! -x "$program" ]; then
    echo "== $harness: $program is missing (build the host-fuzz preset first)"
    failed+=("$harness (missing)")
    continue
  fi
  corpus="$work/$harness/corpus"
  artifacts="$work/$harness/artifacts"
  mkdir -p "$corpus" "$artifacts" "$work/$harness/tmp"
  cp "$root/fuzz/corpus/$harness/"* "$corpus/" 2>/dev/null
  cp "$root/fuzz/regressions/$harness/"* "$corpus/" 2>/dev/null
  echo "== $harness: ${seconds} s from $(ls "$corpus" | wc -l) inputs"
  start=$(date +%s)
  # The harness keeps its log in a folder below this TMPDIR; -timeout turns a
  # hang into a finding.
  TMPDIR="$work/$harness/tmp" \
    ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}" \
    "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" >"$work/$harness/output.txt" 2>&1
  status=$?
  elapsed=$(( $(date +%s) - start ))
  runs=$(grep -oE "^Done [0-9]+ runs" "$work/$harness/output.txt" | grep -oE "[0-9]+")
  if [ "$status" -eq 0 ]; then
    echo "   no crash: ${runs:-?} runs in ${elapsed} s, corpus now $(ls "$corpus" | wc -l) inputs"
    continue
  fi
  failed+=("$harness")
  findings="$build_dir/fuzz-findings/$harness"
  rm -rf "$findings"
  mkdir -p "$findings"
  cp "$artifacts/"* "$findings/" 2>/dev/null
  echo "   FOUND A CRASH after ${elapsed} s (exit $status):"
  grep -E "check failed|^  [^ ]|^    #[0-9] |ERROR:|SUMMARY:|runtime error|Test unit written" \
    "$work/$harness/output.txt" | head -n 30 | sed 's/^/     /'
  for input in "$findings"/*; do
    [ -e "$input" ] || continue
    echo "   input: $input"
    od -An -tx1 -v "$input" | head -n 8 | sed 's/^/     /'
    if [ "$(stat -c %s "$input")" -le 4096 ]; then
      echo "   base64: $(base64 -w0 "$input")"
    fi
  done
  echo "   reproduce: $program <input>; keep it under fuzz/regressions/$harness/"
done

if [ "${#failed[@]}" -ne 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}"
  exit 1
fi
echo "fuzzing: no crash in ${#harnesses[@]} harnesses"
