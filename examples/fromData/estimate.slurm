#!/bin/sh
#SBATCH --job-name=est
#SBATCH --array=1-100
#SBATCH --nodes=1
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=16
#SBATCH --time=02:00:00
# One estimation of est.tpl per array task, in a folder of its own (rep<R>)
# and with the task number R as seed: two runs never share an output folder.
# SIMS replaces the simulation settings, e.g. for a trial with small numbers;
# BRIMVANE names the program (default: brimvane, found on the PATH).
R=${SLURM_ARRAY_TASK_ID:?run as an array job, or set SLURM_ARRAY_TASK_ID}
SIMS=${SIMS:--n 100000 -N 250000 -l 10 -L 40 -w 0.001}
BRIMVANE=${BRIMVANE:-brimvane}
case $BRIMVANE in /*) ;; */*) BRIMVANE=$(pwd)/$BRIMVANE ;; esac
if ! command -v "$BRIMVANE" >/dev/null; then
  echo "task $R: no program $BRIMVANE: put brimvane on the PATH or set BRIMVANE=<its path>" >&2
  exit 1
fi
# The task holds rep<R> by a lock on rep<R>/task.lock until it ends, however
# it ends: a task of the same number (of a second array submitted from this
# folder) stops before it copies anything.
mkdir -p rep$R && exec 9>>rep$R/task.lock || exit 1
if ! flock -n 9; then
  echo "task $R: rep$R is in use by another task $R: nothing copied, nothing run" >&2
  exit 1
fi
cp est.tpl est.est est_jointDAFpop1_0.obs rep$R/ && cd rep$R || exit 1
"$BRIMVANE" -t est.tpl -e est.est -d -M 0.01 $SIMS -E 1 -r $R -c ${SLURM_CPUS_PER_TASK:-1} -B 16 -q
