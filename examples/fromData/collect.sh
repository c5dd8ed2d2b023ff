#!/bin/sh
# The results of the tasks of estimate.slurm, collected in the folder they
# were submitted from, and the best of them evaluated again: every line of
# every rep<R>/est/est.bestlhoods goes into all.bestlhoods, its file first;
# the CHECK_BEST lines of highest MaxEstLhood (10 by default) are evaluated
# again in the folder check_best, with the options CHECK_SIMS (-n 1000000 by
# default), and their likelihoods computed again form the last column; the
# model file of the best by that likelihood goes to best_maxL.par. The
# argument is the array of the tasks as sbatch takes it (1-100, 3,7 or 1-9:2).
# BRIMVANE names the program (default: brimvane, found on the PATH).
CHECK_BEST=${CHECK_BEST:-10}
CHECK_SIMS=${CHECK_SIMS:--n 1000000}
BRIMVANE=${BRIMVANE:-brimvane}
case $BRIMVANE in /*) ;; */*) BRIMVANE=$(pwd)/$BRIMVANE ;; esac
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
rm -f best_maxL.par
# Every line, its file first, by MaxEstLhood (found by its name in the header).
set -- $files
col=$(head -n 1 "$1" | tr '\t' '\n' | grep -n -x MaxEstLhood | cut -d : -f 1)
[ -n "$col" ] || { echo "no column MaxEstLhood in $1" >&2; exit 1; }
awk 'FNR > 1 { print FILENAME "\t" $0 }' $files | sort -g -k $((col + 1)),$((col + 1)) > all.bestlhoods
# The best of them by MaxEstLhood become the rows of a definition file: their
# parameter columns, without a rescaling factor.
mkdir -p check_best && cp est.tpl est_jointDAFpop1_0.obs check_best/ || exit 1
{ head -n 1 "$1" | cut -f 1-$((col - 1)); tail -n "$CHECK_BEST" all.bestlhoods | cut -f 2-$col; } |
  awk -F '\t' 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == "Rescaling_Factor") skip = i }
    { s = ""; for (i = 1; i <= NF; i++) if (i != skip) s = s (s == "" ? "" : "\t") $i; print s }' \
  > check_best/est.def
checked=$(($(wc -l < check_best/est.def) - 1))
echo "evaluating again the $checked best by MaxEstLhood in check_best ($CHECK_SIMS)"
rm -f check_best/est/est.lhoods check_best/again.txt
if (cd check_best &&
    "$BRIMVANE" -t est.tpl -f est.def -d -q -c ${SLURM_CPUS_PER_TASK:-1} -B 16 $CHECK_SIMS \
      > console.txt 2>&1) &&
   [ "$(tail -n +2 check_best/est/est.lhoods | wc -l)" -eq "$checked" ]; then
  tail -n +2 check_best/est/est.lhoods | awk '{ print $NF }' > check_best/again.txt
else
  checked=0
fi
# The table: the lines not evaluated again first, by MaxEstLhood, then those
# evaluated again, by the likelihood computed again: the best is the last.
{
  printf 'File\t%s\tLhoodComputedAgain\n' "$(head -n 1 "$1")"
  head -n $(($(wc -l < all.bestlhoods) - checked)) all.bestlhoods | awk '{ print $0 "\tNA" }'
  [ "$checked" -eq 0 ] || tail -n "$checked" all.bestlhoods | paste - check_best/again.txt |
    awk -F '\t' '{ print $NF "\t" $0 }' | sort -g -k 1,1 | cut -f 2-
} > check_best/all.bestlhoods && mv check_best/all.bestlhoods all.bestlhoods
if [ "$checked" -eq 0 ]; then
  echo "evaluating again failed (see check_best/console.txt): no best_maxL.par" >&2
  exit 1
fi
tail -n 1 all.bestlhoods
best=$(tail -n 1 all.bestlhoods | cut -f 1)
cp "$(dirname "$best")/est_maxL.par" best_maxL.par
