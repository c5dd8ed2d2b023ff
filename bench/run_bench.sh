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
# Every timed figure is the best of REPEAT runs. With BASELINE set, a second
# source tree (for example the main branch) is built and timed run by run
# alongside this one, so that both see the same load of the machine.
#
# usage: bench/run_bench.sh [numSims]
#   BUILD_DIR           build folder to use or create (default /tmp/brimvane-bench-build)
#   BASELINE            source tree timed alongside (default: none)
#   BASELINE_BUILD_DIR  its build folder (default /tmp/brimvane-bench-baseline)
#   BATCHES             batch count (default 64, which 8 divides)
#   REPEAT              runs per timed figure, the best kept (default 3)
#   JOBS                parallel jobs of the builds (default 4)
#   MODE                "program" (brimvane itself), "library" (bench/freqBench.cpp on
#                       the libraries) or "auto" (default: the program when it runs
#                       frequency data, else the library driver)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
SIMS=${1:-100000}
BATCHES=${BATCHES:-64}
REPEAT=${REPEAT:-3}
MODE=${MODE:-auto}
BUILD_DIR=${BUILD_DIR:-/tmp/brimvane-bench-build}
BASELINE=${BASELINE:-}
BASELINE_BUILD_DIR=${BASELINE_BUILD_DIR:-/tmp/brimvane-bench-baseline}
WORK=$(mktemp -d /tmp/brimvane-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

. "$ROOT/bench/common.sh"

# build SOURCE BUILD LABEL: the program and the library driver of one tree,
# the driver compiled from this tree's bench/freqBench.cpp.
build() {
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DBRIMVANE_TESTS=OFF >/dev/null
  cmake --build "$2" -j"${JOBS:-4}" >/dev/null
  g++ -O2 -std=c++17 -fopenmp -ffp-contract=off -I"$1" "$ROOT/bench/freqBench.cpp" \
    -Wl,--start-group "$2"/libbv_*.a -Wl,--end-group -o "$WORK/freqBench_$3"
}
LABELS=(brimvane)
declare -A PROGRAM DRIVER
build "$ROOT" "$BUILD_DIR" brimvane
PROGRAM[brimvane]=$BUILD_DIR/brimvane
DRIVER[brimvane]=$WORK/freqBench_brimvane
if [[ -n $BASELINE ]]; then
  build "$BASELINE" "$BASELINE_BUILD_DIR" baseline
  LABELS+=(baseline)
  PROGRAM[baseline]=$BASELINE_BUILD_DIR/brimvane
  DRIVER[baseline]=$WORK/freqBench_baseline
fi

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

# The command line of a model run: label name threads genealogies.
model_command() {
  local label=$1 name=$2 threads=$3 sims=$4
  if [[ $MODE == program ]]; then
    echo "${PROGRAM[$label]} -i $name.par -n $sims -d -q -r 1 -c $threads -B $BATCHES"
  else
    echo "${DRIVER[$label]} $name.par $sims $threads $BATCHES 1"
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
  if (cd "$WORK" && ${PROGRAM[brimvane]} -i one_deme.par -n 100 -d -q -r 1 -c 1 >/dev/null 2>&1); then
    MODE=program
  fi
fi
HAVE_SCRM=0
command -v scrm >/dev/null && HAVE_SCRM=1

echo "mode: $MODE, $BATCHES batches, best of $REPEAT runs${BASELINE:+, baseline $BASELINE}"
echo "load average before the runs: $(cut -d ' ' -f 1-3 /proc/loadavg) on $(nproc) cores"
echo
echo "start-up: wall ms of a process simulating one genealogy (best of 5); /bin/true: $(startup_ms /bin/true) ms"
printf "%-15s" model
for label in "${LABELS[@]}"; do printf " %10s" "$label"; done
printf " %10s\n" scrm
for m in "${MODELS[@]}"; do
  read -r name _ <<<"${m%%|*}"
  printf "%-15s" "$name"
  for label in "${LABELS[@]}"; do
    # shellcheck disable=SC2046
    printf " %10s" "$(startup_ms $(model_command "$label" "$name" 1 1))"
  done
  theirs=-
  # shellcheck disable=SC2046
  [[ $HAVE_SCRM == 1 ]] && theirs=$(startup_ms scrm $(scrm_args "$m" 1) -L -seed 1)
  printf " %10s\n" "$theirs"
done

# Throughput: for every model the runs of all builds (and scrm) are
# interleaved, REPEAT rounds, and each figure keeps its best round.
declare -A BEST MEM XS SPEED
# keep_best KEY SECONDS: BEST[KEY] becomes the smaller of the two.
keep_best() {
  if [[ -z ${BEST[$1]:-} ]] || awk -v a="$2" -v b="${BEST[$1]}" 'BEGIN { exit !(a < b) }'; then
    BEST[$1]=$2
  fi
}
echo
echo "throughput: $SIMS genealogies per run, rates per second as whole run / genealogies alone"
printf "%-24s %17s %17s %9s %8s %17s %10s\n" model "1 thread" "8 threads" speedup "peak MB" \
  "scrm" "x scrm"
for m in "${MODELS[@]}"; do
  read -r name _ <<<"${m%%|*}"
  for ((r = 0; r < REPEAT; r++)); do
    for label in "${LABELS[@]}"; do
      for run in "t1 1 $SIMS" "t8 8 $SIMS" "f1 1 1" "f8 8 1"; do
        read -r fig threads sims <<<"$run"
        # shellcheck disable=SC2046
        read -r t mem <<<"$(cd "$WORK" && timed $(model_command "$label" "$name" "$threads" "$sims"))"
        keep_best "$name.$label.$fig" "$t"
        if [[ -z ${MEM[$name.$label]:-} ]] || ((mem > MEM[$name.$label])); then
          MEM[$name.$label]=$mem
        fi
      done
    done
    if [[ $HAVE_SCRM == 1 ]]; then
      # shellcheck disable=SC2046
      read -r t _ <<<"$(timed scrm $(scrm_args "$m" "$SIMS") -L -seed 1)"
      keep_best "$name.scrm.t1" "$t"
      # shellcheck disable=SC2046
      read -r t _ <<<"$(timed scrm $(scrm_args "$m" 1) -L -seed 1)"
      keep_best "$name.scrm.f1" "$t"
    fi
  done
  for label in "${LABELS[@]}"; do
    t1=${BEST[$name.$label.t1]} t8=${BEST[$name.$label.t8]}
    n1=$(net "$t1" "${BEST[$name.$label.f1]}")
    n8=$(net "$t8" "${BEST[$name.$label.f8]}")
    speedup="$(ratio "$t1" "$t8")/$(ratio "$n1" "$n8")"
    SPEED[$label.$name]=$(ratio "$n1" "$n8")
    peak=$(awk -v a="${MEM[$name.$label]}" 'BEGIN { printf "%.1f", a / 1024 }')
    scrmRates=- ratios=-
    XS[$label.$name]=-
    if [[ $HAVE_SCRM == 1 ]]; then
      ts=${BEST[$name.scrm.t1]}
      ns=$(net "$ts" "${BEST[$name.scrm.f1]}")
      scrmRates="$(rate "$ts")/$(rate "$ns")"
      XS[$label.$name]=$(ratio "$ts" "$t1")
      ratios="$(ratio "$ts" "$t1")/$(ratio "$ns" "$n1")"
    fi
    printf "%-24s %17s %17s %9s %8s %17s %10s\n" "$name ($label)" "$(rate "$t1")/$(rate "$n1")" \
      "$(rate "$t8")/$(rate "$n8")" "$speedup" "$peak" "$scrmRates" "$ratios"
  done
done

# The two rows of the frequency models in the form of the issue's table:
# one deme / two demes / three demes / two demes with migration.
echo
for label in "${LABELS[@]}"; do
  xs="" sp=""
  for m in "${MODELS[@]}"; do
    read -r name _ <<<"${m%%|*}"
    xs+="${xs:+ / }${XS[$label.$name]}"
    sp+="${sp:+ / }${SPEED[$label.$name]}"
  done
  echo "$label: x scrm, 1 thread, whole process: $xs; 8 threads against 1, genealogies alone: $sp"
done
echo "load average after the runs: $(cut -d ' ' -f 1-3 /proc/loadavg) on $(nproc) cores"
echo "targets: start-up < 10 ms; x scrm >= 10 on 1 thread; 8 threads >= 6 x 1 thread; peak < 132 MB"
