#!/usr/bin/env bash
# Times definition-file runs (-f) of the split template (examples/splitTemplate)
# with -n 10 -d -q -c 1 over definition files of growing length, made by
# varying the rows of split.def. For each length it prints the wall seconds,
# the peak memory, the milliseconds per row, and the milliseconds per row above
# the genealogies themselves: the run minus a one-row run that builds as many
# genealogies (10 x rows) in one go. The cost per row should not grow with the
# number of rows. Every figure is the best of REPEAT runs.
#
# usage: bench/run_defrows_bench.sh [rows...]        (default: 100 1000 10000)
#   BUILD_DIR  build folder to use or create (default /tmp/brimvane-bench-build)
#   PROGRAM    a brimvane binary to time instead of building this tree (for
#              example one built from an earlier state, to compare)
#   SIMS       genealogies per row (default 10)
#   THREADS    -c (default 1)
#   REPEAT     runs per figure, the best kept (default 3)
#   JOBS       parallel jobs of the build (default 4)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
SIMS=${SIMS:-10}
THREADS=${THREADS:-1}
REPEAT=${REPEAT:-3}
BUILD_DIR=${BUILD_DIR:-/tmp/brimvane-bench-build}
WORK=$(mktemp -d /tmp/brimvane-defrows-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
ROWS=("$@")
[[ ${#ROWS[@]} -gt 0 ]] || ROWS=(100 1000 10000)

. "$ROOT/bench/common.sh"

split_template_runs


# run DEF SIMS: "seconds peakKB" of the best of REPEAT runs on the
# definition file DEF (the peak memory the largest of them).
run() {
  local k t m best="" peak=0
  for ((k = 0; k < REPEAT; k++)); do
    rm -rf "$WORK/split"
    read -r t m <<<"$(cd "$WORK" && timed "$PROGRAM" -t split.tpl -f "$1" -n "$2" -d -q \
      -c "$THREADS" -r 1)"
    if [[ -z $best ]] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
    ((m > peak)) && peak=$m
  done
  echo "$best $peak"
}

echo "split.tpl -f, -n $SIMS -d -q -c $THREADS, best of $REPEAT: $PROGRAM"
echo "load average before the runs: $(cut -d ' ' -f 1-3 /proc/loadavg) on $(nproc) cores"
printf "%8s %10s %10s %12s %16s %12s\n" rows seconds "peak MB" "ms per row" "ms/row above" \
  "genealogies"
write_def 1 one.def
for rows in "${ROWS[@]}"; do
  write_def "$rows" rows.def
  read -r secs mem <<<"$(run rows.def "$SIMS")"
  read -r gsecs _ <<<"$(run one.def $((SIMS * rows)))"
  awk -v r="$rows" -v s="$secs" -v m="$mem" -v g="$gsecs" 'BEGIN {
    printf "%8d %10.3f %10.1f %12.3f %16.3f %12.3f\n", r, s, m / 1024, 1000 * s / r,
      1000 * (s - g) / r, g }'
done
echo "target: ms per row flat from 100 to 10000 rows, ms/row above the genealogies <= 1, memory flat"
