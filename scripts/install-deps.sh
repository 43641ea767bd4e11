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
  doxygen llvm-14 lld-14 tshark chromium dpkg-dev
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

# velnor-panel.exe is built with cpp-httplib as Debian builds it for Linux:
# httplib.h and httplib.cc split from the one-header form by the package's
# split.py. Debian ships the Linux library only, so the Windows build takes
# them from Debian's source package of the same version, with Debian's
# patches, fetched by apt (which checks it against the archive's signed
# index) into .deps/cpp-httplib.
root=$(cd "$(dirname "$0")/.." && pwd)
httplib_dir=$root/.deps/cpp-httplib
httplib_version=$(dpkg-query -W -f='${Version}' libcpp-httplib-dev)
if [ ! -f "$httplib_dir/httplib.cc" ] || [ "$(cat "$httplib_dir/VERSION" 2>/dev/null)" != "$httplib_version" ]; then
  apt_work=$(mktemp -d "${TMPDIR:-/tmp}/velnor-deps.XXXXXX")
  trap 'rm -rf "$apt_work"' EXIT
  mkdir -p "$apt_work/sources" "$apt_work/lists/partial" "$apt_work/cache/archives/partial" "$apt_work/source"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$apt_work/sources/debian.sources"
  else
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    printf 'deb-src http://deb.debian.org/debian %s main\ndeb-src http://deb.debian.org/debian-security %s-security main\n' \
      "$codename" "$codename" >"$apt_work/sources/debian.list"
  fi
  apt_options=(-q -o "Dir::Etc::SourceList=$apt_work/none.list" -o "Dir::Etc::SourceParts=$apt_work/sources"
    -o "Dir::State::Lists=$apt_work/lists" -o "Dir::Cache=$apt_work/cache" -o APT::Sandbox::User=root)
  echo "Fetching the source of cpp-httplib $httplib_version for the Windows build"
  apt-get "${apt_options[@]}" update >/dev/null
  (cd "$apt_work/source" && apt-get "${apt_options[@]}" source "cpp-httplib=$httplib_version" >/dev/null)
  unpacked=$(find "$apt_work/source" -mindepth 1 -maxdepth 1 -type d -name 'cpp-httplib-*')
  rm -rf "$httplib_dir"
  mkdir -p "$httplib_dir"
  python3 "$unpacked/split.py" -o "$httplib_dir" >/dev/null
  cp "$unpacked/LICENSE" "$httplib_dir/"
  echo "$httplib_version" >"$httplib_dir/VERSION"
fi
