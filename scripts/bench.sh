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
# Each case prints "all lines: median M ms p99 P ms"; the ratios below compare them.
run_case() { # NAME ARGS...
  local name="$1"
  shift
  "${line_bench[@]}" "$@" | tee "$state/$name.txt"
}
run_case log2k --lines 1000 --competitors 60 --impulses 2000
run_case log10k --lines 1000 --competitors 60 --impulses 10000
run_case cap200 --capture --lines 200 --competitors 200 --impulses 10000
run_case cap1000 --capture --lines 1000 --competitors 1000 --impulses 10000
figure() { awk -v what="$2" '/all lines:/ { for (i = 1; i <= NF; ++i) if ($i == what) print $(i + 1) }' \
  "$state/$1.txt"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "ratios (targets in brackets):"
echo "  capture 1,000 competitors / log only, 10,000 impulses: median" \
  "$(ratio "$(figure cap1000 median)" "$(figure log10k median)") [2], p99" \
  "$(ratio "$(figure cap1000 p99)" "$(figure log10k p99)") [3]"
echo "  capture 1,000 / 200 competitors: median $(ratio "$(figure cap1000 median)" "$(figure cap200 median)") [1.25]"
echo "  log only 10,000 / 2,000 impulses: median $(ratio "$(figure log10k median)" "$(figure log2k median)") [1.25]"
# A day's length against the window's cost per line: 20,000 lines into a shown run page.
QT_QPA_PLATFORM=offscreen "$root/build/bench/window_bench" 2>/dev/null | grep -v '^This plugin'
"$root/build/bench/serial_bench" 10000
"$root/build/bench/live_bench" "$root/build/tools/pistel-live"
# 2,000 phones polling the page data every second for 30 s through the shipped nginx
# configuration while results arrive (needs nginx and openssl, from scripts/deps.sh).
"$root/build/tools/pistel-live-load" --site "$root/deploy/nginx/pistel-live.conf" \
  --server "$root/build/tools/pistel-live" --phones 2000 --seconds 30
