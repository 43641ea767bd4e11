#!/usr/bin/env bash
# Every test on a fresh machine: installs what is missing, then builds and
# runs the host suites, the same suites under AddressSanitizer and
# UndefinedBehaviorSanitizer, the concurrency suites under ThreadSanitizer,
# the Windows build (export table, the suites under Wine, the real DLL end to
# end against the virtual board driver) and the fuzzers for a bounded time.
# Ends with one line: "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1

jobs=$(nproc)
passed=0
failed=0
failed_stages=()
log_dir=$(mktemp -d)

# Runs ctest in a build folder and adds its counts to the totals.
run_ctest() {
  local stage=$1 dir=$2
  shift 2
  local out="$log_dir/$stage.log"
  echo "== $stage: ctest $*"
  (cd "$dir" && ctest --output-on-failure --timeout 900 "$@") 2>&1 | tee "$out"
  local line
  line=$(grep -E "tests passed, [0-9]+ tests failed out of [0-9]+" "$out" | tail -n 1)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    failed_stages+=("$stage (no test ran)")
    return
  fi
  local total bad
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  if [ "$bad" -ne 0 ]; then failed_stages+=("$stage"); fi
}

build() {
  local stage=$1 preset=$2
  shift 2
  echo "== $stage: build"
  if ! { cmake --preset "$preset" "$@" >/dev/null && cmake --build "build/$preset" -j "$jobs"; }; then
    failed=$((failed + 1))
    failed_stages+=("$stage (build)")
    return 1
  fi
}

# Builds only the given targets (ThreadSanitizer runs the concurrency suites
# alone; the rest of the tree is not built there). A concurrency test whose
# program is not listed here is reported "Not Run", a failure.
build_targets() {
  local stage=$1 preset=$2
  shift 2
  echo "== $stage: build $*"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build "build/$preset" -j "$jobs" --target "$@"; }; then
    failed=$((failed + 1))
    failed_stages+=("$stage (build)")
    return 1
  fi
}

start=$(date +%s)

build host host-debug && run_ctest host build/host-debug

build asan host-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_ctest asan build/host-asan -LE slow

build_targets tsan host-tsan concurrency_test frequency_first_use_test \
  frequency_fresh_process_test log_without_temp_dir trace_test watch_storm_test &&
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  run_ctest tsan build/host-tsan -L concurrency

# The fuzz preset builds the harnesses alone; the rest of its tree is not run.
build_targets fuzz host-fuzz fuzz_device_list fuzz_driver_reply fuzz_export_sequence \
  fuzz_trace_reader && run_ctest fuzz build/host-fuzz -L fuzz
if [ -x build/host-fuzz/bin/fuzz_export_sequence ]; then
  echo "== fuzz: bounded run, ${VELNOR_FUZZ_SECONDS:-30} s per harness"
  scripts/run-fuzzers.sh build/host-fuzz "${VELNOR_FUZZ_SECONDS:-30}" 2>&1 | tee "$log_dir/fuzz-run.log"
  if [ "${PIPESTATUS[0]}" -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failed_stages+=("fuzz (bounded run)")
  fi
fi

export WINEPREFIX="$log_dir/wineprefix" WINEDEBUG=-all
if build windows mingw; then
  wine wineboot -i >/dev/null 2>&1
  wineserver -w
  run_ctest windows build/mingw
  wineserver -k 2>/dev/null || true
fi

echo
# A finding is repeated here, where the end of the output shows it: the
# harness, what the sanitizer said and the input (base64) to reproduce it.
if grep -q "FOUND A CRASH" "$log_dir/fuzz-run.log" 2>/dev/null; then
  echo "== fuzz findings"
  grep -E "^== fuzz_|FOUND A CRASH|^     |input:|base64:|reproduce:" "$log_dir/fuzz-run.log" |
    grep -B1 -A40 "FOUND A CRASH" | head -n 80
fi
echo "== summary ($(( $(date +%s) - start )) s)"
for stage in "${failed_stages[@]}"; do echo "failed: $stage"; done
rm -rf "$log_dir"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
