#!/usr/bin/env bash
# Runs the benchmarks against a private database server (build/benchdb), started and
# stopped here. Not part of the test suite.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
state="$root/build/benchdb"
source "$root/scripts/prepare.sh"
prepare_with_database "$state"
# The journal on the project's own disk, where a workstation keeps it, not on a tmpfs.
rm -rf "$state/journal"
line_bench=("$root/build/bench/line_bench" --server-pid "$(cat "$state/mysqld.pid")"
            --journal "$state/journal")
"${line_bench[@]}" --lines 1000 --competitors 60 --impulses 2000
"${line_bench[@]}" --capture --lines 1000 --competitors 1000 --impulses 2000
"${line_bench[@]}" --capture --lines 200 --competitors 200 --impulses 2000
"$root/build/bench/serial_bench" 10000
