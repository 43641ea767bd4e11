#!/usr/bin/env bash
# Builds the benchmarks (Release, virtual platform) when needed, runs them
# five times each (repetitions interleaved at random, so that load from
# elsewhere falls evenly on an export and the platform call it is compared
# with), and prints "what each export costs" as a markdown table
# with the ratios and gates. The raw JSON stays in BUILD_DIR/bench-results.
#
#   scripts/run-benchmarks.sh [BUILD_DIR] [benchmark options...]
#
# BUILD_DIR defaults to build/host-release (the preset's folder). Options after
# it go to velnor_bench, e.g. --benchmark_filter=clock.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/release-build.sh"
release_build_dir "${1:-}" -DVELNOR_BUILD_BENCH=ON
shift $(($# > 0 ? 1 : 0))
cmake --build "$build_dir" -j 2 --target velnor_bench velnor_first_failure velnor_watch_latency >&2

results="$build_dir/bench-results"
mkdir -p "$results"
# The library logs failures to $TMPDIR/Velnor.log: keep it private to this run.
log_dir="$(mktemp -d)"
trap 'rm -rf "$log_dir"' EXIT

TMPDIR="$log_dir" "$build_dir/bin/velnor_bench" --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true --benchmark_enable_random_interleaving=true \
  --benchmark_out="$results/bench.json" \
  --benchmark_out_format=json "$@" >&2

# The first failure of a process, one fresh process (and log folder) per sample.
: >"$results/first_failure.jsonl"
for sample in 1 2 3 4 5; do
  mkdir -p "$log_dir/first-$sample"
  TMPDIR="$log_dir/first-$sample" "$build_dir/bin/velnor_first_failure" >>"$results/first_failure.jsonl"
done

python3 "$root/scripts/benchmark_table.py" "$results/bench.json" "$results/first_failure.jsonl"

# A board's arrival to the watch's callback: median and 99th percentile of 200.
echo
"$build_dir/bin/velnor_watch_latency" 200 | tee "$results/watch_latency.json"

# velnor-panel: a board's state through GET /api/boards/{serial} against the
# same reading in the process (median of 5 in one run).
if cmake --build "$build_dir" -j 2 --target velnor_panel_bench >&2; then
  echo
  TMPDIR="$log_dir" "$build_dir/bin/velnor_panel_bench" --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true --benchmark_enable_random_interleaving=true |
    grep -E '^Benchmark|_median'
fi

# velnor-panel's page in Chromium: first load to interactive, and a board's
# arrival to its row on the page (medians of 15 in one run).
if cmake --build "$build_dir" -j 2 --target velnor-panel panel_board_changes >&2; then
  echo
  node "$root/bench/panel_page_bench.mjs" "$build_dir/bin/velnor-panel" \
    "$build_dir/lib/libpanel_board_changes.so" 15 | tee "$results/panel_page.json"
fi
