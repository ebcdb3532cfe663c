#!/usr/bin/env bash
# Installs what is missing, builds, starts the private database (state/) with the demo
# competitions, and replays a demo timer log of run 1 into competition 2026GS01.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
state="$root/state"
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh"
bash "$root/scripts/db.sh" start "$state"
trap 'bash "$root/scripts/db.sh" stop "$state"' EXIT
bash "$root/scripts/db.sh" seed "$state"
eval "$(bash "$root/scripts/db.sh" env "$state")"
"$root/build/tools/pistel-replay" --dsn PistelLocal --code 2026GS01 --run 1 \
  "${1:-$root/demo/timer-run1.txt}"
