#!/usr/bin/env bash
# A race day from the club's entry file, without a window: creates a competition, imports
# demo/entries.csv (Shift-JIS, 3 classes, 120 competitors), draws run 1 seeded by points with
# bibs per class, times run 1 from timer lines made up here (through the same receive handler
# and capture as the workstation), makes the run-2 order (30 reversed), times run 2 and writes
# the start lists and the final results as PDF into state/. Each run makes a new competition.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
state="$root/state"
source "$root/scripts/prepare.sh"
prepare_with_database "$state"
tools="$root/build/tools"
code="DEMO$(date +%m%d%H%M%S)"
office() { "$tools/pistel-office" --dsn PistelLocal "$@"; }

office create --code "$code" --title "白馬村民スキー大会（デモ）" --discipline GS --runs 2 \
  --date "$(date +%F)" --venue 白馬村
office class --number 3 --name 男子一般
office class --number 2 --name 女子一般
office class --number 1 --name ジュニア
office import --code "$code" --file "$root/demo/entries.csv" | tail -n 1
office draw --code "$code" --class 3 --method seeded --seed 1 --first-bib 1 >/dev/null
office draw --code "$code" --class 2 --method seeded --seed 2 --first-bib next >/dev/null
office draw --code "$code" --class 1 --method seeded --seed 3 --first-bib next >/dev/null

# Timer lines for a start list: a start a minute apart, each finish 45 to 60 s after its start.
timer_lines() { # $1: kind of start list, $2: first hour
  "$tools/pistel-results" report --dsn PistelLocal --code "$code" --kind "$1" --format csv \
    --out "$state/$code-$1.csv"
  tail -n +2 "$state/$code-$1.csv" | awk -F, -v hour="$2" -v seed="$2" '
    BEGIN { srand(seed); t = hour * 3600 * 10000 }
    function tod(x) { return sprintf("%02d:%02d:%02d.%04d", x / 36000000, (x / 600000) % 60,
                                     (x / 10000) % 60, x % 10000) }
    { bib = $4; gsub(/"/, "", bib)
      run = 450000 + int(rand() * 150000)
      printf "?0000 C0  %s 00\n %s C1  %s 00\n", tod(t), bib, tod(t + run)
      t += 600000 }'
}
timer_lines startlist1 10 > "$state/$code-run1.txt"
"$tools/pistel-replay" --dsn PistelLocal --code "$code" --run 1 "$state/$code-run1.txt" \
  > "$state/$code-replay1.log"
office run2 --code "$code" --reverse 30 >/dev/null
timer_lines startlist2 13 > "$state/$code-run2.txt"
"$tools/pistel-replay" --dsn PistelLocal --code "$code" --run 2 "$state/$code-run2.txt" \
  > "$state/$code-replay2.log"
for kind in startlist1 startlist2 results; do
  "$tools/pistel-results" report --dsn PistelLocal --code "$code" --kind "$kind" --format pdf \
    --out "$state/$code-$kind.pdf"
done
echo "Competition $code: start lists and results in $state/$code-*.pdf" >&2
