#!/usr/bin/env bash
# Where the heap of a definition-file run (-f) of the split template
# (examples/splitTemplate, -n 10 -d -q -c 1) goes at its highest point, by
# ROWS: the output gate (the list of files made and its index, support/output*),
# the rows of the definition file, and everything else, with the bytes per row
# that each grew by above the first length. Needs heaptrack. The part outside
# the gate and the rows should not grow with the rows.
#
# usage: bench/run_rowmem_profile.sh [rows...]        (default: 1000 10000)
#   BUILD_DIR  build folder to use or create (default /tmp/brimvane-bench-build)
#   PROGRAM    a brimvane binary to profile instead of building this tree
#   JOBS       parallel jobs of the build (default 4)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-/tmp/brimvane-bench-build}
WORK=$(mktemp -d /tmp/brimvane-rowmem-profile.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
ROWS=("$@")
[[ ${#ROWS[@]} -gt 0 ]] || ROWS=(1000 10000)
command -v heaptrack >/dev/null && command -v heaptrack_print >/dev/null ||
  { echo "heaptrack and heaptrack_print are needed" >&2; exit 1; }

. "$ROOT/bench/common.sh"

split_template_runs


echo "heap at its peak, split.tpl -f, -n 10 -d -q -c 1: $PROGRAM"
printf "%8s %10s %10s %10s %11s %11s %11s\n" rows "gate KB" "rows KB" "other KB" "gate B/row" \
  "rows B/row" "other B/row"
first=""
for rows in "${ROWS[@]}"; do
  write_def "$rows" rows.def
  rm -rf "$WORK/split" "$WORK"/ht.*
  (cd "$WORK" && heaptrack -o "$WORK/ht" "$PROGRAM" -t split.tpl -f rows.def -n 10 -d -q -c 1 \
    -r 1 >/dev/null 2>&1)
  heaptrack_print -f "$WORK"/ht.*zst --flamegraph-cost-type peak -F "$WORK/stacks.txt" >/dev/null
  read -r gate defs other <<<"$(awk '{ n = $NF; $NF = ""
    if ($0 ~ /readDefinitionFile/) d += n
    else if ($0 ~ /listEntry|rewriteList|closeOutputRecord|TEntryIndex|listOpened|outputDescriptor/) g += n
    else o += n } END { printf "%.0f %.0f %.0f\n", g, d, o }' "$WORK/stacks.txt")"
  [[ -n $first ]] || first="$rows $gate $defs $other"
  awk -v r="$rows" -v g="$gate" -v d="$defs" -v o="$other" -v f="$first" 'BEGIN {
    split(f, b, " "); n = r - b[1]
    printf "%8d %10.1f %10.1f %10.1f", r, g / 1024, d / 1024, o / 1024
    if (n > 0) printf " %11.0f %11.0f %11.0f", (g - b[2]) / n, (d - b[3]) / n, (o - b[4]) / n
    printf "\n" }'
done
