#!/usr/bin/env bash
# Times runs of genetic data (project files of simulated DNA data) on four
# models and, where scrm is installed, scrm on the equivalent models with
# haplotype output, both with their default settings. Prints data sets per
# second, peak memory, the ratio of the two rates; then the speed on 8
# threads against 1 of the model of many chromosomes (with -x and writing
# project files) and of many small data sets, on a quiet machine and with 6
# of the 8 cores kept busy by processes that the script starts and stops.
#
# Units: a deme of N genes with per-site rates mu and r over L sites is, for
# scrm (N0 = N / 2 diploids), theta = 2 N mu L and rho = 2 N r (L - 1).
#
# usage: bench/run_genetic_bench.sh
#   BUILD_DIR  build folder to use or create (default /tmp/brimvane-bench-build)
#   BATCHES    batch count of the many-chromosome model (default 64, which 8 divides)
#   JOBS       parallel jobs of the build (default 2)
#   REPEAT     runs of the 10 Mb comparison, the best kept (default 5)
#   BASELINE   source tree (for example the main branch) timed alongside in the
#              10 Mb comparison, built in BASELINE_BUILD_DIR (default
#              /tmp/brimvane-bench-baseline)
#   PROGRAM    program to time instead of building one (e.g. another branch's build)
#   REPEATS    runs per thread figure, of which the median is shown (default 5)
#   THREADS_ONLY=1  only the thread figures (no scrm table)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BATCHES=${BATCHES:-64}
BUILD_DIR=${BUILD_DIR:-/tmp/brimvane-bench-build}
WORK=$(mktemp -d /tmp/brimvane-gbench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

if [ -z "${PROGRAM:-}" ]; then
  cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DBRIMVANE_TESTS=OFF >/dev/null
  cmake --build "$BUILD_DIR" -j"${JOBS:-2}" --target brimvane >/dev/null
  PROGRAM=$BUILD_DIR/brimvane
fi

# One deme of 20,000 genes; arguments: file, sample size, chromosomes, loci,
# recombination rate per site.
write_model() {
  cat >"$WORK/$1.par" <<EOF
//Number of population samples (demes)
1
//Population effective sizes (number of genes)
20000
//Sample sizes
$2
//Growth rates
0
//Number of migration matrices
0
//historical event
0 historical event
//Number of independent loci [chromosome]
$3 0
//Per chromosome: Number of linkage blocks
1
//per Block: data type, num loci, rec. rate and mut rate + optional parameters
DNA $4 $5 1e-8 0.33
EOF
}

# name | sample | chromosomes | loci | rec. rate | data sets | scrm arguments
# (scrm -l 0 on 10 Mb: the SMC' approximation, the one this program's replay makes)
CASES=(
  "1Mb|20|1|1000000|1e-8|20|20 20 -t 400 -r 399.9996 1000000"
  "10Mb|20|1|10000000|1e-8|2|20 2 -t 4000 -r 3999.9996 10000000 -l 0"
  "200genes_1Mb|200|1|1000000|1e-8|5|200 5 -t 400 -r 399.9996 1000000"
  "1000x10kb|20|1000|10000|0|5|20 5000 -t 4"
)

. "$ROOT/bench/common.sh"

rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.2f", (s > 0 ? n / s : 0) }'; }

[ "${THREADS_ONLY:-0}" = 1 ] || printf "%-14s %12s %9s %12s %9s %8s\n" model "data sets/s" "peak MB" "scrm /s" "scrm MB" "x scrm"
for c in "${CASES[@]}"; do
  if [ "${THREADS_ONLY:-0}" = 1 ]; then
    IFS='|' read -r name sample chroms loci rec _ <<<"$c"
    write_model "$name" "$sample" "$chroms" "$loci" "$rec"
    continue
  fi
  IFS='|' read -r name sample chroms loci rec sets scrmArgs <<<"$c"
  write_model "$name" "$sample" "$chroms" "$loci" "$rec"
  read -r t mem <<<"$(cd "$WORK" && timed "$PROGRAM" -i "$name.par" -n "$sets" -q -r 1 -c 1 -B "$BATCHES")"
  ours=$(rate "$sets" "$t")
  scrmRate=- scrmMem=- ratio=-
  if command -v scrm >/dev/null; then
    read -r ts ms <<<"$(timed scrm $scrmArgs -seed 1)"
    scrmRate=$(rate "$sets" "$ts")  # 1000 scrm replicates make one data set of 1000x10kb
    scrmMem=$(awk -v m="$ms" 'BEGIN { printf "%.1f", m / 1024 }')
    ratio=$(awk -v a="$ours" -v b="$scrmRate" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  fi
  printf "%-14s %12s %9.1f %12s %9s %8s\n" "$name" "$ours" "$(awk -v m="$mem" 'BEGIN { print m / 1024 }')" \
    "$scrmRate" "$scrmMem" "$ratio"
done

# Threads. Each figure is the median of REPEATS runs (wall clock; CPU time =
# user + system) of the same command with the same seed, batches and data.
REPEATS=${REPEATS:-5}

# median_run ARGS...: "wall cpu" medians over REPEATS runs of the program.
median_run() {
  local i start end
  for ((i = 0; i < REPEATS; i++)); do
    start=$(date +%s%N)
    (cd "$WORK" && /usr/bin/time -f "%U %S" -o "$WORK/cpu.txt" "$PROGRAM" "$@" >/dev/null 2>&1) ||
      { echo "command failed: $PROGRAM $*" >&2; return 1; }
    end=$(date +%s%N)
    awk -v ns=$((end - start)) '{ printf "%.4f %.2f\n", ns / 1e9, $1 + $2 }' "$WORK/cpu.txt"
  done | sort -n -k1,1 | awk '{ w[NR] = $1; c[NR] = $2 } END { m = int((NR + 1) / 2); print w[m], c[m] }'
}

# Busy processes on some cores, as other jobs of a shared node; stopped by
# their ids when the script ends.
BUSY=()
busy_start() {
  local i
  for ((i = 0; i < $1; i++)); do
    bash -c 'while :; do :; done' &
    BUSY+=($!)
  done
  sleep 0.5
}
busy_stop() {
  if ((${#BUSY[@]})); then kill "${BUSY[@]}" 2>/dev/null || true; wait "${BUSY[@]}" 2>/dev/null || true; fi
  BUSY=()
}
trap 'busy_stop; rm -rf "$WORK"' EXIT

# The many-chromosome model (1000 x 10 kb, 20 genes, 100 data sets) on 1 and
# 8 threads, without project files (-x) and writing them. Targets: 8 threads
# >= 6 x 1 thread with -x, >= 5 x writing project files.
name=1000x10kb
line() {
  awk -v l="$1" -v a="$2" -v ca="$3" -v b="$4" -v cb="$5" 'BEGIN {
    printf "%-34s 1 thread %6.3f s (CPU %6.3f s), 8 threads %6.3f s (CPU %6.3f s): x%.2f\n",
           l, a, ca, b, cb, (b > 0 ? a / b : 0) }'
}
for x in "-x" ""; do
  read -r t1 c1 <<<"$(median_run -i "$name.par" -n 100 -q -r 1 -c 1 -B "$BATCHES" $x)"
  read -r t8 c8 <<<"$(median_run -i "$name.par" -n 100 -q -r 1 -c 8 -B "$BATCHES" $x)"
  line "$name, 100 data sets${x:+, $x}" "$t1" "$c1" "$t8" "$c8"
done

# Many small data sets (one chromosome of DNA 1000 0 2.5e-6 0.33, 20 genes,
# 100 data sets) on a quiet machine and with 6 of the 8 cores busy with other
# processes. Targets: with 6 cores busy 8 threads within 2 x of 1 thread; on
# a quiet machine 8 threads no slower than 1.
small=small1kb
write_model "$small" 20 1 1000 0
sed -i 's/^DNA 1000 0 1e-8 0.33$/DNA 1000 0 2.5e-6 0.33/' "$WORK/$small.par"
for busy in 0 6; do
  busy_start "$busy"
  read -r t1 c1 <<<"$(median_run -i "$small.par" -n 100 -q -r 1 -c 1)"
  read -r t8 c8 <<<"$(median_run -i "$small.par" -n 100 -q -r 1 -c 8)"
  busy_stop
  awk -v k="$busy" -v a="$t1" -v ca="$c1" -v b="$t8" -v cb="$c8" -v n="$small" 'BEGIN {
    printf "%s, 100 data sets, %d cores busy: 1 thread %.3f s (CPU %.3f s), 8 threads %.3f s (CPU %.3f s): 8 / 1 = %.2f\n",
           n, k, a, ca, b, cb, (a > 0 ? b / a : 0) }'
done
echo "load average after the runs: $(cut -d ' ' -f 1-3 /proc/loadavg) on $(nproc) cores"
echo "peak MB includes the 32 MiB logarithm table; targets: x scrm >= 1"

# 10 Mb, 20 genes, theta = rho = 4000: whole process per data set against
# scrm -l 0, best of REPEAT runs, the runs of every build and of scrm taken in
# turn so that they see the same load.
REPEAT=${REPEAT:-5}
LABELS=(brimvane)
declare -A PROG BEST
PROG[brimvane]=$PROGRAM
if [[ -n ${BASELINE:-} ]]; then
  BASELINE_BUILD_DIR=${BASELINE_BUILD_DIR:-/tmp/brimvane-bench-baseline}
  cmake -S "$BASELINE" -B "$BASELINE_BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DBRIMVANE_TESTS=OFF >/dev/null
  cmake --build "$BASELINE_BUILD_DIR" -j"${JOBS:-2}" --target brimvane >/dev/null
  LABELS+=(baseline)
  PROG[baseline]=$BASELINE_BUILD_DIR/brimvane
fi
keep_best() {
  if [[ -z ${BEST[$1]:-} ]] || awk -v a="$2" -v b="${BEST[$1]}" 'BEGIN { exit !(a < b) }'; then
    BEST[$1]=$2
  fi
}
write_model 10Mb 20 1 10000000 1e-8
for ((r = 0; r < REPEAT; r++)); do
  for label in "${LABELS[@]}"; do
    read -r t _ <<<"$(cd "$WORK" && timed "${PROG[$label]}" -i 10Mb.par -n 2 -q -r 1 -c 1 -B "$BATCHES")"
    keep_best "$label" "$t"
  done
  if command -v scrm >/dev/null; then
    read -r t _ <<<"$(timed scrm 20 2 -t 4000 -r 3999.9996 10000000 -l 0 -seed 1)"
    keep_best scrm "$t"
  fi
done
for label in "${LABELS[@]}"; do
  awk -v a="${BEST[$label]}" -v b="${BEST[scrm]:-0}" -v l="$label" -v n="$REPEAT" 'BEGIN {
    printf "10Mb (%s), 2 data sets, whole process, best of %d: %.1f ms per data set", l, n, a * 500
    if (b > 0) printf " against %.1f ms for scrm -l 0: x%.2f", b * 500, b / a
    printf "\n" }'
done
echo "load average after the 10 Mb runs: $(cut -d ' ' -f 1-3 /proc/loadavg) on $(nproc) cores"
