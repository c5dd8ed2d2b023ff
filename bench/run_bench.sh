#!/usr/bin/env bash
# Times the frequency-data models of bench/models (expected derived-allele
# spectrum) and, where scrm is installed, scrm on the equivalent models (-L
# output). Two figures are kept apart:
#   start-up    wall time of a process that simulates one genealogy (best of
#               five), next to that of scrm and of /bin/true (the cost of
#               starting any process on this machine);
#   throughput  genealogies per second of a run of numSims genealogies, on 1
#               and on 8 threads, as whole-run rates and as rates of the
#               genealogies alone (run minus the one-genealogy run), with the
#               ratio to scrm's rates computed the same way.
#
# usage: bench/run_bench.sh [numSims]
#   BUILD_DIR  build folder to use or create (default /tmp/brimvane-bench-build)
#   BATCHES    batch count (default 64, which 8 divides)
#   MODE       "program" (brimvane itself), "library" (bench/freqBench.cpp on
#              the libraries) or "auto" (default: the program when it runs
#              frequency data, else the library driver)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
SIMS=${1:-100000}
BATCHES=${BATCHES:-64}
MODE=${MODE:-auto}
BUILD_DIR=${BUILD_DIR:-/tmp/brimvane-bench-build}
WORK=$(mktemp -d /tmp/brimvane-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DBRIMVANE_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" >/dev/null
PROGRAM=$BUILD_DIR/brimvane
DRIVER=$BUILD_DIR/freqBench
g++ -O2 -std=c++17 -fopenmp -ffp-contract=off -I"$ROOT" "$ROOT/bench/freqBench.cpp" \
  -Wl,--start-group "$BUILD_DIR"/libbv_*.a -Wl,--end-group -o "$DRIVER"

# name  demes  samples per deme  scrm arguments of the equivalent model
# (scrm: N0 = 5000 diploids = 10000 genes, time in units of 4 N0 generations).
# The scrm replicate count is written @N@.
MODELS=(
  "one_deme 1 20|20 @N@"
  "two_demes 2 20|40 @N@ -I 2 20 20 2 -ej 1.0 2 1"
  "three_demes 3 20|60 @N@ -I 3 20 20 20 -n 2 0.5 -n 3 0.2 -g 2 10 -g 3 20 -ej 0.25 3 2 -eg 0.25 2 0 -ej 1.0 2 1"
  "two_demes_migr 2 10|20 @N@ -I 2 10 10 2 -ej 0.5 2 1"
)

# Observed derived-allele files of a model (all counts 1), which the program
# reads before it simulates.
write_observed() {
  local name=$1 demes=$2 n=$3
  local i j k l
  for ((i = 0; i < demes; i++)); do
    {
      echo "1 observations"
      for ((k = 0; k <= n; k++)); do printf "d%d_%d\t" "$i" "$k"; done
      echo
      for ((k = 0; k <= n; k++)); do printf "1\t"; done
      echo
    } >"${name}_DAFpop${i}.obs"
    for ((j = 0; j < i; j++)); do
      {
        echo "1 observations"
        for ((l = 0; l <= n; l++)); do printf "\td%d_%d" "$j" "$l"; done
        echo
        for ((k = 0; k <= n; k++)); do
          printf "d%d_%d" "$i" "$k"
          for ((l = 0; l <= n; l++)); do printf "\t1"; done
          echo
        done
      } >"${name}_jointDAFpop${i}_${j}.obs"
    done
  done
}

. "$ROOT/bench/common.sh"

run_model() {  # name threads genealogies
  local name=$1 threads=$2 sims=$3
  if [[ $MODE == program ]]; then
    (cd "$WORK" && timed "$PROGRAM" -i "$name.par" -n "$sims" -d -q -r 1 -c "$threads" -B "$BATCHES")
  else
    (cd "$WORK" && timed "$DRIVER" "$name.par" "$sims" "$threads" "$BATCHES" 1)
  fi
}

# Best wall time in milliseconds of five runs of a command in the work folder,
# timed with the shell's own clock so that no helper process is counted.
startup_ms() {
  (
    cd "$WORK" || exit 1
    best=""
    for k in 1 2 3 4 5; do
      start=$EPOCHREALTIME
      "$@" >/dev/null 2>&1
      end=$EPOCHREALTIME
      best=$(awk -v a="$best" -v s="$start" -v e="$end" \
        'BEGIN { ms = (e - s) * 1000; if (a == "" || ms < a) a = ms; printf "%.1f", a }')
    done
    echo "$best"
  )
}

scrm_args() { local m=$1 n=$2; local a=${m#*|}; echo "${a//@N@/$n}"; }

rate() { awk -v n="$SIMS" -v s="$1" 'BEGIN { printf "%.0f", (s > 0 ? n / s : 0) }'; }
# Seconds of the genealogies alone: a run minus a run of one genealogy, which
# holds the fixed costs (start, input and output files).
net() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; printf "%.3f", (d > 0.001 ? d : 0.001) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b > 0 ? a / b : 0) }'; }

for m in "${MODELS[@]}"; do
  read -r name demes n _ <<<"${m%%|*}"
  cp "$ROOT/bench/models/$name.par" "$WORK/"
  (cd "$WORK" && write_observed "$name" "$demes" "$n")
done
if [[ $MODE == auto ]]; then
  MODE=library
  if (cd "$WORK" && "$PROGRAM" -i one_deme.par -n 100 -d -q -r 1 -c 1 >/dev/null 2>&1); then
    MODE=program
  fi
fi
HAVE_SCRM=0
command -v scrm >/dev/null && HAVE_SCRM=1

echo "mode: $MODE, $BATCHES batches"
echo
echo "start-up: wall ms of a process simulating one genealogy (best of 5); /bin/true: $(startup_ms /bin/true) ms"
printf "%-15s %10s %10s\n" model brimvane scrm
for m in "${MODELS[@]}"; do
  read -r name _ <<<"${m%%|*}"
  if [[ $MODE == program ]]; then
    mine=$(startup_ms "$PROGRAM" -i "$name.par" -n 1 -d -q -r 1 -c 1)
  else
    mine=$(startup_ms "$DRIVER" "$name.par" 1 1 1 1)
  fi
  theirs=-
  # shellcheck disable=SC2046
  [[ $HAVE_SCRM == 1 ]] && theirs=$(startup_ms scrm $(scrm_args "$m" 1) -L -seed 1)
  printf "%-15s %10s %10s\n" "$name" "$mine" "$theirs"
done
echo
echo "throughput: $SIMS genealogies per run, rates per second as whole run / genealogies alone"
printf "%-15s %17s %17s %9s %8s %17s %10s\n" model "1 thread" "8 threads" speedup "peak MB" \
  "scrm" "x scrm"
for m in "${MODELS[@]}"; do
  read -r name _ <<<"${m%%|*}"
  read -r t1 mem1 <<<"$(run_model "$name" 1 "$SIMS")"
  read -r t8 mem8 <<<"$(run_model "$name" 8 "$SIMS")"
  read -r f1 _ <<<"$(run_model "$name" 1 1)"
  read -r f8 _ <<<"$(run_model "$name" 8 1)"
  n1=$(net "$t1" "$f1")
  n8=$(net "$t8" "$f8")
  speedup="$(ratio "$t1" "$t8")/$(ratio "$n1" "$n8")"
  peak=$(awk -v a="$mem1" -v b="$mem8" 'BEGIN { printf "%.1f", (a > b ? a : b) / 1024 }')
  scrmRates=- ratios=-
  if [[ $HAVE_SCRM == 1 ]]; then
    # shellcheck disable=SC2046
    read -r ts _ <<<"$(timed scrm $(scrm_args "$m" "$SIMS") -L -seed 1)"
    # shellcheck disable=SC2046
    read -r fs _ <<<"$(timed scrm $(scrm_args "$m" 1) -L -seed 1)"
    ns=$(net "$ts" "$fs")
    scrmRates="$(rate "$ts")/$(rate "$ns")"
    ratios="$(ratio "$(rate "$t1")" "$(rate "$ts")")/$(ratio "$(rate "$n1")" "$(rate "$ns")")"
  fi
  printf "%-15s %17s %17s %9s %8s %17s %10s\n" "$name" "$(rate "$t1")/$(rate "$n1")" \
    "$(rate "$t8")/$(rate "$n8")" "$speedup" "$peak" "$scrmRates" "$ratios"
done
echo "targets: start-up < 10 ms; x scrm >= 10 on 1 thread; speedup >= 5; peak < 132 MB"
