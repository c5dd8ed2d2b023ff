#!/usr/bin/env bash
# Times recombining chromosomes (first tree, points, replays) on the library
# for a few sample sizes and recombination rates.
#
# usage: bench/run_rec_bench.sh
#   BUILD_DIR  build folder to use or create (default /tmp/brimvane-bench-build)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-/tmp/brimvane-bench-build}
WORK=$(mktemp -d /tmp/brimvane-recbench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

. "$ROOT/bench/common.sh"
build_libraries 3
bench_driver recBench
DRIVER=$WORK/recBench

# sample size, markers, chromosomes, rN per interval
for args in "10 1000 200 1" "100 1000 20 1" "1000 100 2 1000"; do
  "$DRIVER" $args
done
