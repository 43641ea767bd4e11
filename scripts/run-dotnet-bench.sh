#!/usr/bin/env bash
# Measures what the .NET binding costs a caller: BenchmarkDotNet runs
# dotnet/Velnor.Net.Bench (every Board read and two failing calls, each against
# the bare call of the same export) on the virtual platform, against a release
# build of the library. Prints BenchmarkDotNet's tables (Ratio: the binding over
# the bare call); the reports stay in BUILD_DIR/dotnet-bench-results/results.
# About 12 minutes on 2 cores.
#
#   scripts/run-dotnet-bench.sh [BUILD_DIR] [BenchmarkDotNet options...]
#
# BUILD_DIR defaults to build/host-release (the preset's folder); it is configured
# as a Release build when it has no cache yet. Options after it go to
# BenchmarkDotNet, e.g. --filter '*Serial*'.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/release-build.sh"
release_build_dir "${1:-}" -DVELNOR_BUILD_TESTS=OFF
shift $(($# > 0 ? 1 : 0))
cmake --build "$build_dir" -j 2 --target velnor velnor_sim velnor_watch >&2

# The library logs every failure to $TMPDIR/Velnor.log (a few hundred MB over a run):
# keep it private to this run. MSBuild needs a TMPDIR that exists too.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export TMPDIR="$work" DOTNET_NOLOGO=1 DOTNET_CLI_TELEMETRY_OPTOUT=1
dotnet build "$root/dotnet/Velnor.Net.Bench/Velnor.Net.Bench.csproj" -c Release \
  --artifacts-path "$build_dir/dotnet-bench" -nologo -clp:NoSummary -v:quiet >&2

LD_LIBRARY_PATH="$build_dir/lib" dotnet "$build_dir/dotnet-bench/bin/Velnor.Net.Bench/release/Velnor.Net.Bench.dll" \
  --artifacts "$build_dir/dotnet-bench-results" "$@"
