#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. The tests start their own private
# database server (in build/testdb, on a free loopback port) and stop it when done.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh"
cd "$root/build"
ctest --output-on-failure -j2 "$@"
