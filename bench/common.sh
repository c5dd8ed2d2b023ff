# Shared by the bench scripts (sourced). timed COMMAND... prints
# "seconds peakKB" of one run of the command, wall clock in ms resolution;
# needs $WORK, a scratch folder of the calling script.
timed() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f "%M" -o "$WORK/time.txt" "$@" >/dev/null 2>"$WORK/err.txt" || {
    echo "command failed: $*" >&2
    cat "$WORK/err.txt" >&2
    return 1
  }
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 )) $(tail -n 1 "$WORK/time.txt")" |
    awk '{ printf "%.3f %s\n", $1 / 1000, $2 }'
}

# bench_driver NAME: compiles bench/NAME.cpp against the libraries of
# $BUILD_DIR into $WORK/NAME.
bench_driver() {
  g++ -O2 -std=c++17 -fopenmp -ffp-contract=off -I"$ROOT" $(pkg-config --cflags eigen3 2>/dev/null) \
    "$ROOT/bench/$1.cpp" -Wl,--start-group "$BUILD_DIR"/libbv_*.a -Wl,--end-group -o "$WORK/$1"
}

# build_libraries JOBS: configures and builds the Release libraries (no tests)
# in $BUILD_DIR.
build_libraries() {
  cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DBRIMVANE_TESTS=OFF >/dev/null
  cmake --build "$BUILD_DIR" -j"$1" >/dev/null
}

# split_template_runs: PROGRAM (this tree's, built in $BUILD_DIR, unless
# given) and the files of examples/splitTemplate copied into $WORK, for the
# scripts that time definition-file runs.
split_template_runs() {
  if [[ -z ${PROGRAM:-} ]]; then
    build_libraries "${JOBS:-4}"
    PROGRAM=$BUILD_DIR/brimvane
  fi
  cp "$ROOT"/examples/splitTemplate/* "$WORK/"
}

# write_def ROWS FILE: the header of split.def and ROWS rows of distinct
# values within the priors of split.est, as $WORK/FILE.
write_def() {
  awk -v n="$1" 'NR == 1 { print; next } END {
    for (i = 0; i < n; i++) printf "%d\t%d\n", 1000 + (i * 37) % 9000, 500 + (i * 53) % 4500 }' \
    "$WORK/split.def" >"$WORK/$2"
}
