#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, if
# any is missing. Safe to run again; does nothing when all are present.
set -euo pipefail

packages=(
  cmake ninja-build g++ gcc clang clang-14 libclang-rt-14-dev clang-format-14 git
  libgtest-dev googletest libbenchmark-dev
  libspdlog-dev libfmt-dev libcli11-dev nlohmann-json3-dev libcpp-httplib-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 pkg-config python3
  python3-pytest python3-pytest-benchmark python3-pytest-timeout python3-pip python3-setuptools python3-wheel
  doxygen llvm-14 lld-14 tshark
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
