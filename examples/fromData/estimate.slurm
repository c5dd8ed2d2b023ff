#!/bin/sh
#SBATCH --job-name=est
#SBATCH --array=1-100
#SBATCH --nodes=1
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=16
#SBATCH --time=02:00:00
# One estimation of est.tpl per array task, in a folder of its own (rep<R>)
# and with the task number R as seed: two runs never share an output folder.
# SIMS replaces the simulation settings, e.g. for a trial with small numbers.
R=${SLURM_ARRAY_TASK_ID:?run as an array job, or set SLURM_ARRAY_TASK_ID}
SIMS=${SIMS:--n 100000 -N 250000 -l 10 -L 40 -w 0.001}
mkdir -p rep$R
cp est.tpl est.est est_jointDAFpop1_0.obs rep$R/
cd rep$R
brimvane -t est.tpl -e est.est -d -M 0.01 $SIMS -E 1 -r $R -c ${SLURM_CPUS_PER_TASK:-1} -B 16 -q
