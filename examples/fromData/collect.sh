#!/bin/sh
# The results of the tasks of estimate.slurm, collected in the folder they
# were submitted from: every line of every rep<R>/est/est.bestlhoods, its file
# first, sorted by MaxEstLhood (column 6) into all.bestlhoods, the model file
# of the best line into best_maxL.par, and how many tasks gave a result. The
# argument is the array of the tasks as sbatch takes it (1-100, 3,7 or 1-9:2).
tasks=""
for part in $(echo "${1:?give the array of the tasks, e.g. 1-100}" | tr ',' ' '); do
  part=${part%%%*}
  case $part in
    *-*:*) range=${part%:*}; tasks="$tasks $(seq ${range%-*} ${part#*:} ${range#*-})" ;;
    *-*) tasks="$tasks $(seq ${part%-*} ${part#*-})" ;;
    *) tasks="$tasks $part" ;;
  esac
done
files="" missing="" running="" count=0 found=0
for R in $tasks; do
  count=$((count + 1))
  if [ -n "$(tail -n +2 rep$R/est/est.bestlhoods 2>/dev/null)" ]; then
    found=$((found + 1)) files="$files rep$R/est/est.bestlhoods"
  elif [ -d rep$R ] && ! flock -n rep$R/task.lock true; then
    running="$running${running:+,}$R"
  else
    missing="$missing${missing:+,}$R"
  fi
done
echo "$found of $count tasks gave a result"
[ -z "$running" ] || echo "still running: $running"
[ -z "$missing" ] || echo "no result from $missing; to run them again: sbatch --array=$missing estimate.slurm"
[ "$found" -gt 0 ] || exit 1
awk 'FNR > 1 { print FILENAME "\t" $0 }' $files | sort -g -k 6,6 > all.bestlhoods
tail -n 1 all.bestlhoods
best=$(tail -n 1 all.bestlhoods | cut -f 1)
cp "$(dirname "$best")/est_maxL.par" best_maxL.par
