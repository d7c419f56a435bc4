#!/usr/bin/env bash
# Shards of one batch run by GNU parallel (Debian: parallel), on this machine
# or on several (add -S host1,host2 and --sshdelay; the inputs must be at the
# same paths there), then merged in input order.
#
#   examples/cluster/parallel-batch.sh 8 results events/night.jsonl events/folder
set -euo pipefail
shards=$1 out=$2
shift 2
mkdir -p "$out"

# One `sightline batch --shard I/N` per job, each on one core; exit status 3
# or 4 only says some events have no solution: their records say why.
inputs=$(printf '%q ' "$@")
parallel --jobs "$(nproc)" --halt never \
  "sightline batch --threads 1 --resume --shard {}/$shards -o '$out/shard-{}.jsonl' $inputs"' || { s=$?; [ $s -eq 3 ] || [ $s -eq 4 ]; }' \
  ::: $(seq 0 $((shards - 1)))

# Back in input order, each event once (by the "index" of every record).
sightline batch --merge -o "$out/all.jsonl" "$out"/shard-*.jsonl
