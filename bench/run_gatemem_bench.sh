#!/usr/bin/env bash
# Memory of the output gate (support/outputFolder.h), in two runs of the split
# template (examples/splitTemplate), -n 10 -d -q -c 1:
#   list:  a one-row run whose output folder holds a list of LINES lines (files
#          an earlier run listed that no longer exist): the claim reads and
#          judges every one;
#   rows:  definition-file runs (-f) of ROWS rows, one .simparam a row, each
#          listed by the gate until the process ends.
# For each it prints the wall seconds and the peak memory, and the bytes per
# listed line or per row above a one-row run. Memory per line and per row
# should stay small (a record of fixed size and the name once).
#
# usage: bench/run_gatemem_bench.sh
#   LINES      lines of the crafted list (default 2000000)
#   ROWS       rows of the definition-file runs (default "1000 10000")
#   BUILD_DIR  build folder to use or create (default /tmp/brimvane-bench-build)
#   PROGRAM    a brimvane binary to measure instead of building this tree
#   JOBS       parallel jobs of the build (default 4)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
LINES=${LINES:-2000000}
ROWS=${ROWS:-"1000 10000"}
BUILD_DIR=${BUILD_DIR:-/tmp/brimvane-bench-build}
WORK=$(mktemp -d /tmp/brimvane-gatemem-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

. "$ROOT/bench/common.sh"

split_template_runs


# write_list LINES: the list of the model in split/, naming LINES files that
# are not there, with identities of the current layout.
write_list() {
  mkdir -p "$WORK/split"
  awk -v n="$1" 'BEGIN {
    print "# Files brimvane wrote in this folder for the model \"split\", one per line."
    print "# The next run of \"split\" removes those it can prove it made (route, identity, path); other files stay."
    for (i = 0; i < n; i++)
      printf "R\t2049\t%d\t4096\t1700000000\t123456789\t1690000000\t987654321\t1700000001\t11111111\t-\tsplit_gone_%d.simparam\n", 5000000 + i, i
  }' >"$WORK/split/written_by_brimvane.txt"
}

# run DEF: "seconds peakKB" of one run on the definition file DEF.
run() {
  (cd "$WORK" && timed "$PROGRAM" -t split.tpl -f "$1" -n 10 -d -q -c 1 -r 1)
}

echo "output gate memory, split.tpl -f, -n 10 -d -q -c 1: $PROGRAM"
echo "load average before the runs: $(cut -d ' ' -f 1-3 /proc/loadavg) on $(nproc) cores"
write_def 1 one.def
rm -rf "$WORK/split"
read -r bsecs bmem <<<"$(run one.def)"
printf "%-24s %10s %10s %14s\n" run seconds "peak MB" "bytes above"
printf "%-24s %10.3f %10.1f %14s\n" "one row" "$bsecs" "$(awk -v m="$bmem" 'BEGIN { print m / 1024 }')" "-"
rm -rf "$WORK/split"
write_list "$LINES"
read -r secs mem <<<"$(run one.def)"
awk -v l="$LINES" -v s="$secs" -v m="$mem" -v b="$bmem" 'BEGIN {
  printf "%-24s %10.3f %10.1f %11.0f/line\n", "list of " l " lines", s, m / 1024, 1024 * (m - b) / l }'
for rows in $ROWS; do
  rm -rf "$WORK/split"
  write_def "$rows" rows.def
  read -r secs mem <<<"$(run rows.def)"
  awk -v r="$rows" -v s="$secs" -v m="$mem" -v b="$bmem" 'BEGIN {
    printf "%-24s %10.3f %10.1f %12.0f/row\n", r " rows", s, m / 1024, 1024 * (m - b) / r }'
done
