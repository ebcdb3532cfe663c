#!/usr/bin/env bash
# Configures and builds into build/ (warnings are errors).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cmake -S "$root" -B "$root/build" -G Ninja -DPISTEL_WERROR=ON >/dev/null
cmake --build "$root/build"
