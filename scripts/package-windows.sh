#!/usr/bin/env bash
# Makes the Windows SDK archive, Velnor-<version>-win64.zip, from the MinGW
# build, and prints its absolute path as the last line.
#
#   scripts/package-windows.sh [BUILD_DIR]      (default: build/mingw)
#
# Configures the build with the mingw preset's settings if it is missing and
# builds what the archive holds and is out of date, then runs CPack. The checks of
# the archive are ctest entries of the same build:
#   ctest --test-dir build/mingw -R 'sdk_|version_resource|inf_test|api_reference'
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$root/build/mingw}")

say() { printf 'package-windows: %s\n' "$*" >&2; }

if [[ ! -f $build/CMakeCache.txt ]]; then
  say "configuring $build"
  if [[ $build == "$root/build/mingw" ]]; then
    (cd "$root" && cmake --preset mingw) >&2
  else
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DVELNOR_BUILD_DRIVER=ON >&2
  fi
fi
if [[ ! -f $build/CPackConfig.cmake ]]; then
  say "$build is not a Windows build with the SDK archive (llvm-dlltool missing?)"
  exit 2
fi

say "building"
# velnor_sdk: what the archive holds (the library, the simulation DLLs,
# velnorctl, the driver, the API reference, the MSVC-style import library).
cmake --build "$build" -j2 --target velnor_sdk >&2

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
archive=$build/package/Velnor-$version-win64.zip
rm -f "$archive"
say "packing"
(cd "$build" && cpack --config CPackConfig.cmake >&2) || {
  say "CPack failed"
  exit 1
}
if [[ ! -f $archive ]]; then
  say "CPack made no $archive"
  exit 1
fi
echo "$archive"
