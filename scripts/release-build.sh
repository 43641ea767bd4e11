# Sourced by the benchmark scripts: resolves BUILD_DIR (default build/host-release,
# the preset's folder) into $build_dir, configures it as a Release build with the
# given CMake options when it has no cache yet, and warns when it is another kind
# of build, whose figures mean little.
#
#   source scripts/release-build.sh; release_build_dir "${1:-}" -DOPTION=VALUE...
release_build_dir() {
  local given=$1
  shift
  build_dir="${given:-$root/build/host-release}"
  build_dir="$(mkdir -p "$build_dir" && cd "$build_dir" && pwd)"
  if [[ ! -f "$build_dir/CMakeCache.txt" ]]; then
    cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELNOR_BUILD_TOOLS=OFF "$@" >/dev/null
  fi
  local build_type
  build_type="$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build_dir/CMakeCache.txt")"
  if [[ "$build_type" != "Release" ]]; then
    echo "warning: $build_dir is a '$build_type' build; figures are only meaningful for Release" >&2
  fi
}
