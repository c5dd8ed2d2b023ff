#!/usr/bin/env bash
# Times one two-parameter estimation (-M) of the split example (NPOP1, TSPLIT)
# with -n 100000 -L 20 on 1 thread and on 8 threads and prints the number of
# likelihood evaluations, the seconds and the evaluations per second, first on
# the libraries (bench/estimationBench.cpp, which counts the evaluations), then
# the wall time of the program itself on the same estimation.
#
# usage: bench/run_estimation_bench.sh [numSims [maxLoops]]
#   BUILD_DIR  build folder to use or create (default /tmp/brimvane-bench-build)
#   BATCHES    batch count (default 64, which 8 divides)
#   SEED       seed (default 1)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
SIMS=${1:-100000}
LOOPS=${2:-20}
BATCHES=${BATCHES:-64}
SEED=${SEED:-1}
BUILD_DIR=${BUILD_DIR:-/tmp/brimvane-bench-build}
WORK=$(mktemp -d /tmp/brimvane-estimation-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DBRIMVANE_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" >/dev/null
DRIVER=$BUILD_DIR/estimationBench
g++ -O2 -std=c++17 -fopenmp -ffp-contract=off -I"$ROOT" $(pkg-config --cflags eigen3 2>/dev/null) \
  "$ROOT/bench/estimationBench.cpp" -Wl,--start-group "$BUILD_DIR"/libbv_*.a -Wl,--end-group \
  -o "$DRIVER"
cp "$ROOT"/examples/splitTemplate/* "$WORK/"

echo "estimation of split.tpl (NPOP1, TSPLIT): -n $SIMS -L $LOOPS, $BATCHES batches, seed $SEED"
printf "%-8s %12s %10s %14s %14s\n" threads evaluations seconds "evals/second" "program secs"
declare -A RATE
for threads in 1 8; do
  rm -rf "$WORK/split"
  read -r _ evals _ secs _ rate _ <<<"$(cd "$WORK" && "$DRIVER" split.tpl split.est "$SIMS" \
    "$LOOPS" "$threads" "$BATCHES" "$SEED" | grep '^evaluations ')"
  RATE[$threads]=$rate
  rm -rf "$WORK/split"
  start=$(date +%s%N)
  (cd "$WORK" && "$BUILD_DIR/brimvane" -t split.tpl -e split.est -n "$SIMS" -d -M 0.01 \
    -L "$LOOPS" -c "$threads" -B "$BATCHES" -r "$SEED" -q >/dev/null 2>&1)
  end=$(date +%s%N)
  program=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
  printf "%-8s %12s %10s %14s %14s\n" "$threads" "$evals" "$secs" "$rate" "$program"
done
awk -v a="${RATE[1]}" -v b="${RATE[8]}" 'BEGIN { printf "speed-up on 8 threads: %.2f (target >= 5)\n", b / a }'
