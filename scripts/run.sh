#!/usr/bin/env bash
# Installs what is missing, builds, starts the private database (state/) with the demo
# competitions, and opens the workstation's main window on it (profile Local). Without a
# display it replays a demo timer log of run 1 into competition 2026GS01 instead.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
state="$root/state"
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh"
bash "$root/scripts/db.sh" start "$state"
trap 'bash "$root/scripts/db.sh" stop "$state"' EXIT
if [ ! -f "$state/seeded" ]; then
  bash "$root/scripts/db.sh" seed "$state"
  touch "$state/seeded"
fi
eval "$(bash "$root/scripts/db.sh" env "$state")"
export PISTEL_JOURNAL_DIR="${PISTEL_JOURNAL_DIR:-$state/journal}"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ "${QT_QPA_PLATFORM:-}" = offscreen ]; then
  "$root/build/src/app/pistel" "$@"
else
  echo "No display found: replaying the demo timer log instead of opening the window." >&2
  "$root/build/tools/pistel-replay" --dsn PistelLocal --code 2026GS01 --run 1 \
    "$root/demo/timer-run1.txt"
fi
