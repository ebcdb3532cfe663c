#!/usr/bin/env bash
# Runs the benchmarks against a private database server (build/benchdb), started and
# stopped here. Not part of the test suite.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
state="$root/build/benchdb"
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh"
bash "$root/scripts/db.sh" start "$state"
trap 'bash "$root/scripts/db.sh" stop "$state"' EXIT
eval "$(bash "$root/scripts/db.sh" env "$state")"
"$root/build/bench/line_bench" --lines 1000 --competitors 60 --impulses 2000
"$root/build/bench/line_bench" --capture --lines 1000 --competitors 1000 --impulses 2000
"$root/build/bench/line_bench" --capture --lines 200 --competitors 200 --impulses 2000
"$root/build/bench/serial_bench" 10000
