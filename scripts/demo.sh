#!/bin/sh
# Shows velnorctl at work on the virtual board: the board list, its details,
# a clock the board cannot produce and one it can, then a firmware image
# packed and sent with progress, and a shell session that keeps the board's
# state from one command to the next.
#
# Usage: scripts/demo.sh [BUILD_DIR]   (default build/host-debug)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/host-debug}" 2>/dev/null && pwd) || {
    echo "demo: build directory ${1:-$root/build/host-debug} not found" >&2
    exit 1
}
tool=$build/bin/velnorctl
if [ ! -x "$tool" ]; then
    echo "demo: $tool not found; build first:" >&2
    echo "  cmake --preset host-debug && cmake --build --preset host-debug" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

step() {
    printf '\n$ velnorctl %s\n' "$*"
    "$tool" "$@" 2>&1
}

# A command that is meant to fail: show its output and exit code, go on.
step_refused() {
    printf '\n$ velnorctl %s\n' "$*"
    if "$tool" "$@" 2>&1; then
        echo "demo: expected a refusal" >&2
        exit 1
    else
        echo "(exit code $?)"
    fi
}

step list
step --boards 2 list
step info
step_refused clock 123456789
step clock 125MHz

dd if=/dev/urandom of="$work/payload.bin" bs=1024 count=6 2>/dev/null
cd "$work"
step firmware pack payload.bin --version 1.4.0 -o firmware.vlfw
step firmware update --verify firmware.vlfw

printf '\n$ velnorctl shell   # one board, opened once, for every line\n'
"$tool" shell 2>&1 <<'COMMANDS'
clock 250M
led blink
firmware update firmware.vlfw
info
COMMANDS
