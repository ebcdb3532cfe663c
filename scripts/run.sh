#!/usr/bin/env bash
# Installs what is missing, builds, starts the private database (state/) with the demo
# competitions, and runs a demo race: a timer simulator on a pseudo-terminal registered as
# COM9 (keys in this terminal: digits = bib, s = start, f = finish, q = quit) and the
# workstation on screen with its timer port on COM9. Without a display it replays a demo
# timer log of run 1 into competition 2026GS01 instead.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
state="$root/state"
source "$root/scripts/prepare.sh"
prepare_with_database "$state"
if [ ! -f "$state/seeded" ]; then
  bash "$root/scripts/db.sh" seed "$state"
  touch "$state/seeded"
fi
export PISTEL_JOURNAL_DIR="${PISTEL_JOURNAL_DIR:-$state/journal}"
export PISTEL_SETTINGS="${PISTEL_SETTINGS:-$state/PistelAuto.ini}"
export PISTEL_PORTS="COM9=$state/timer-port${PISTEL_PORTS:+;$PISTEL_PORTS}"
live_port="${PISTEL_LIVE_PORT:-8090}"
if [ ! -f "$PISTEL_SETTINGS" ]; then
  printf '[Port]\nPort1=9\nPort2=0\n[DB]\nDbType=MySQL\nDbindex=0\nDbmode=0\n' > "$PISTEL_SETTINGS"
fi
# The demo's live results go to a live results server of its own, on this machine.
if grep -q '^BaseUrl=' "$PISTEL_SETTINGS"; then
  sed -i "s|^BaseUrl=.*|BaseUrl=http://127.0.0.1:$live_port/|" "$PISTEL_SETTINGS"
else
  printf '[Web]\nBaseUrl=http://127.0.0.1:%s/\n' "$live_port" >> "$PISTEL_SETTINGS"
fi
for code in 2026GS01 2026SL02; do
  "$root/build/tools/pistel-live" import --dsn PistelLocal --code "$code" \
    --db "$state/live.sqlite" >/dev/null
done
"$root/build/tools/pistel-live" --listen 127.0.0.1 --port "$live_port" \
  --db "$state/live.sqlite" > "$state/live.log" 2>&1 &
live=$!
trap 'kill $live 2>/dev/null; bash "$root/scripts/db.sh" stop "$state"' EXIT
echo "Live results page: http://127.0.0.1:$live_port/" >&2

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
  echo "No display found: replaying the demo timer log instead of opening the window." >&2
  "$root/build/tools/pistel-replay" --dsn PistelLocal --code 2026GS01 --run 1 \
    "$root/demo/timer-run1.txt"
  exit 0
fi

rm -f "$state/timer-port"
# The workstation starts once the simulator's port exists; the simulator reads the keys.
(
  for _ in $(seq 1 500); do [ -e "$state/timer-port" ] && break; sleep 0.02; done
  "$root/build/src/app/pistel" "$@"
) &
workstation=$!
"$root/build/tools/pistel-timer-sim" --link "$state/timer-port" || true
wait "$workstation"
