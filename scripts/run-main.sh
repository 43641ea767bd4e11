#!/usr/bin/env bash
# The main job on a fresh machine: installs what is missing, builds the Linux
# library with the virtual platform, and runs velnorctl against the virtual
# board.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset host-debug >/dev/null
cmake --build --preset host-debug -j "$(nproc)"
exec scripts/demo.sh build/host-debug
