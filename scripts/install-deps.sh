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
  doxygen llvm-14 lld-14 tshark chromium
)
# Node.js and npm run the page's browser tests; a machine that has its own keeps it.
if ! command -v npm >/dev/null; then packages+=(nodejs npm); fi

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

# The page's browser tests: Playwright from npm, at the versions the lock
# file names. It drives Debian's chromium; it downloads no browser itself.
page_tests=$(dirname "$0")/../tests/panel_page
if [ ! -e "$page_tests/node_modules/.package-lock.json" ] ||
  [ "$page_tests/package-lock.json" -nt "$page_tests/node_modules/.package-lock.json" ]; then
  (cd "$page_tests" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund)
fi
