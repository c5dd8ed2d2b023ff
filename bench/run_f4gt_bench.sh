#!/usr/bin/env bash
# Times the four-gamete test over all pairs of sites of one genotype block.
#
# usage: bench/run_f4gt_bench.sh [threads]
#   BUILD_DIR  build folder to use or create (default /tmp/brimvane-bench-build)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-/tmp/brimvane-bench-build}
THREADS=${1:-4}
WORK=$(mktemp -d /tmp/brimvane-f4gtbench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

. "$ROOT/bench/common.sh"
build_libraries 2
bench_driver f4gtBench
DRIVER=$WORK/f4gtBench

# sites, genes (the pairs are enumerated, never stored: 10^5 sites need no extra memory)
for args in "2000 50" "20000 20" "100000 4"; do
  /usr/bin/time -f "  peak memory %M kB" "$DRIVER" $args "$THREADS"
done
