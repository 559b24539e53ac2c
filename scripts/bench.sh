#!/usr/bin/env bash
# Sets up, builds, runs every benchmark and prints one report: figure, Tavrel,
# baseline, ratio. The same rows go to build/bench/report.json for comparing runs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/setup.sh
bash scripts/build.sh linux windows
. scripts/xvfb.sh
. scripts/wine.sh
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  stop_wine; [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null; wait 2>/dev/null || true
}
trap cleanup EXIT
start_xvfb
start_wine "$root/build/windows/wineprefix"
mkdir -p build/bench
rows=build/bench/rows.txt
: >"$rows"
row() { printf '%s|%s|%s|%s\n' "$1" "$2" "$3" "$4" >>"$rows"; }

# CPU use in percent of one core of pid over seconds, from /proc (utime + stime).
cpu_percent() {
  local pid=$1 seconds=$2 hz a b
  hz=$(getconf CLK_TCK)
  a=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  sleep "$seconds"
  b=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  awk -v a="$a" -v b="$b" -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.2f", (b - a) * 100 / hz / s }'
}

echo "== text layer (10 MB script)" >&2
build/linux/bench/tavrel_text_bench --benchmark_format=csv --benchmark_min_time=0.5 2>/dev/null |
  awk -F, '/^"BM_/ { gsub(/"/, "", $1); t[$1] = $3 }
    END {
      printf "SplitText over 10 MB (vs string_view::find split)|%.2f|%.2f|ms\n", t["BM_SplitText"], t["BM_SplitBaseline"]
      printf "FindText over 10 MB (vs string_view::find)|%.2f|%.2f|ms\n", t["BM_FindText"], t["BM_FindBaseline"]
    }' >>"$rows"

echo "== platform, Linux" >&2
build/linux/bench/tavrel_platform_bench | sed -n 's/^ROW /Linux: /p' >>"$rows"
echo "== platform, Windows build under Wine" >&2
wine build/windows/bench/tavrel_platform_bench.exe 2>/dev/null | tr -d '\r' | sed -n 's/^ROW /Wine: /p' >>"$rows"

[ -f scripts/bench_app.sh ] && . scripts/bench_app.sh

# The report: the table on the terminal, the rows as JSON.
exec 3>&1
printf '\n%-72s %12s %12s %8s\n' "figure" "tavrel" "baseline" "ratio"
{
  echo "["
  first=1
  while IFS='|' read -r name ours base unit; do
    ratio=$(awk -v a="$ours" -v b="$base" 'BEGIN { if (b + 0 == 0) print "-"; else printf "%.2f", a / b }')
    printf "%-72s %9s %-2s %9s %-2s %8s\n" "$name" "$ours" "$unit" "$base" "$unit" "$ratio" >&3
    [ $first -eq 1 ] || echo ","
    first=0
    printf '  {"figure": "%s", "tavrel": %s, "baseline": %s, "unit": "%s", "ratio": "%s"}' "$name" "${ours:-null}" "${base:-null}" "$unit" "$ratio"
  done <"$rows"
  printf '\n]\n'
} >build/bench/report.json
echo "report: build/bench/report.json"
