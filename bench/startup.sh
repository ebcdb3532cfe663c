#!/usr/bin/env bash
# Times a second launch of the run command, piece by piece: the install check, the build
# check, the private server's start, and the workstation until its first window is drawn
# (offscreen). Run after `bash scripts/run.sh` has been run once. Not part of the suite.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
state="$root/state"
ms() { date +%s%3N; }
step() { # NAME COMMAND...
  local name="$1" t0
  shift
  t0=$(ms)
  "$@" >/dev/null 2>&1
  printf '%-28s %5d ms\n' "$name" $(($(ms) - t0))
}
bash "$root/scripts/db.sh" stop "$state"
all=$(ms)
step "install check (deps.sh)" bash "$root/scripts/deps.sh"
step "build check (build.sh)" bash "$root/scripts/build.sh"
step "database start (db.sh)" bash "$root/scripts/db.sh" start "$state"
eval "$(bash "$root/scripts/db.sh" env "$state")"
step "workstation to its window" env QT_QPA_PLATFORM=offscreen PISTEL_QUIT_WHEN_SHOWN=1 \
  PISTEL_SETTINGS="$state/PistelAuto.ini" "$root/build/src/app/pistel"
printf '%-28s %5d ms\n' "all" $(($(ms) - all))
