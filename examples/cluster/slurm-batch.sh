#!/usr/bin/env bash
# A Slurm job array that solves every event of the inputs in shards, one
# shard per array task, then (a dependent job) merges the shards in input order.
#
#   sbatch --array=0-15 examples/cluster/slurm-batch.sh events/night.jsonl events/folder
#
# Each task runs `sightline batch --shard $SLURM_ARRAY_TASK_ID/$SLURM_ARRAY_TASK_COUNT`:
# the events whose position in the whole input list (from 0) is the task id
# modulo the task count. Give every task the same inputs in the same order (the
# positions and the ids, hence the Monte Carlo seeds, come from them). A task
# that is requeued or killed resumes where it stopped (--resume).
#
# Array ids must run from 0 (--array=0-(N-1)). When the array is done:
#   sbatch --dependency=afterany:<array job id> --wrap \
#     "sightline batch --merge -o results/all.jsonl results/shard-*.jsonl"
#SBATCH --job-name=sightline-batch
#SBATCH --cpus-per-task=4
#SBATCH --time=04:00:00
#SBATCH --output=results/slurm-%A_%a.log
set -euo pipefail

: "${SLURM_ARRAY_TASK_ID:?run with sbatch --array=0-(N-1)}"
: "${SLURM_ARRAY_TASK_COUNT:?run with sbatch --array=0-(N-1)}"
mkdir -p results

# Exit status 3 or 4 (some events invalid or without a solution) is not a
# failure of the task: every event has its record, with its error.
status=0
sightline batch --threads "${SLURM_CPUS_PER_TASK:-1}" --mc "${MC_DRAWS:-1000}" --resume \
  --shard "$SLURM_ARRAY_TASK_ID/$SLURM_ARRAY_TASK_COUNT" \
  -o "results/shard-$SLURM_ARRAY_TASK_ID.jsonl" "$@" || status=$?
if [ "$status" -ne 0 ] && [ "$status" -ne 3 ] && [ "$status" -ne 4 ]; then exit "$status"; fi
