#!/usr/bin/env bash
# Times runs of genetic data (project files of simulated DNA data) on four
# models and, where scrm is installed, scrm on the equivalent models with
# haplotype output, both with their default settings. Prints data sets per
# second, peak memory, the ratio of the two rates, and for the model of many
# chromosomes the speed on 8 threads against 1.
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
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BATCHES=${BATCHES:-64}
BUILD_DIR=${BUILD_DIR:-/tmp/brimvane-bench-build}
WORK=$(mktemp -d /tmp/brimvane-gbench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DBRIMVANE_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j"${JOBS:-2}" --target brimvane >/dev/null
PROGRAM=$BUILD_DIR/brimvane

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

printf "%-14s %12s %9s %12s %9s %8s\n" model "data sets/s" "peak MB" "scrm /s" "scrm MB" "x scrm"
for c in "${CASES[@]}"; do
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

# Threads: the many-chromosome model on 1, 4 and 8 threads (same batches and
# data); the load of the machine is shown, since other work on it slows the
# threads down.
name=1000x10kb
read -r t1 _ <<<"$(cd "$WORK" && timed "$PROGRAM" -i "$name.par" -n 100 -q -r 1 -c 1 -B "$BATCHES")"
read -r t4 _ <<<"$(cd "$WORK" && timed "$PROGRAM" -i "$name.par" -n 100 -q -r 1 -c 4 -B "$BATCHES")"
read -r t8 _ <<<"$(cd "$WORK" && timed "$PROGRAM" -i "$name.par" -n 100 -q -r 1 -c 8 -B "$BATCHES")"
awk -v a="$t1" -v b="$t4" -v c="$t8" -v n="$name" 'BEGIN {
  printf "%s, 100 data sets: 1 thread %.2f s, 4 threads %.2f s (x%.1f), 8 threads %.2f s (x%.1f)\n",
         n, a, b, a / b, c, a / c }'
echo "load average during the runs: $(cut -d ' ' -f 1-3 /proc/loadavg) on $(nproc) cores"
echo "peak MB includes the 32 MiB logarithm table; targets: x scrm >= 1, 8 threads >= 5 x 1 thread"

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
