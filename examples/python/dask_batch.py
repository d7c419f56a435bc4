#!/usr/bin/env python3
"""A night's events on a Dask cluster: one task per event, the records of
`sightline batch` in input order.

    python3 examples/python/dask_batch.py [--mc N] [--seed S] [--workers W]
        [--scheduler ADDRESS] -o night.jsonl INPUT...

INPUT: JSON Lines files (.jsonl), event files (.json) and folders, as for
`sightline batch`. Every record is the line that `sightline batch --mc N
--seed S INPUT...` writes for the event (the same code solves it), "elapsed"
aside; the draws of each event are seeded from its id, so the records do not
depend on the workers. Without --scheduler a LocalCluster of W worker
processes (one thread each) runs on this machine; with it, the tasks go to a
running cluster (`dask scheduler` and `dask worker ADDRESS` on each machine,
with the sightline module importable and the inputs at the same paths there).

Debian: apt-get install python3-distributed; the module as in the README
("From Python"), or PYTHONPATH=build/python after a CMake build.
"""

import argparse
import contextlib
import json
import sys

import sightline


def arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("inputs", nargs="+", metavar="INPUT")
    parser.add_argument("-o", "--output", required=True, help="JSON Lines file of the records (replaced)")
    parser.add_argument("--mc", type=int, default=None, help="Monte Carlo draws per event (default each event's own)")
    parser.add_argument("--seed", type=int, default=None, help="base of every event's seed (default each event's own)")
    parser.add_argument("--workers", type=int, default=2, help="worker processes of the local cluster (default 2)")
    parser.add_argument("--scheduler", default=None, help="address of a running scheduler (tcp://host:8786)")
    return parser.parse_args()


def main():
    options = arguments()
    from distributed import Client, LocalCluster  # Debian: python3-distributed

    events = sightline.batch_events(options.inputs)  # ids and indices as `sightline batch` gives them
    if options.scheduler:
        cluster = contextlib.nullcontext(options.scheduler)
    else:
        cluster = LocalCluster(n_workers=options.workers, processes=True, threads_per_worker=1)
    with cluster as address, Client(address) as client:
        # One task per event; pure=False: every event is its own task even when two look alike.
        futures = client.map(sightline.batch_record, events, mc=options.mc, seed=options.seed, line=True, pure=False)
        lines = client.gather(futures)  # in the order of `events`, whatever order they finished in
    with open(options.output, "w", encoding="utf-8") as out:
        out.writelines(lines)
    statuses = [json.loads(line)["status"] for line in lines]
    print("%d events: %d solved, %d no solution, %d input errors" % (
        len(lines), statuses.count("solved"), statuses.count("no-solution"), statuses.count("input-error")),
        file=sys.stderr)
    # The exit status of `sightline batch`.
    return 3 if "input-error" in statuses else 4 if "no-solution" in statuses else 0


if __name__ == "__main__":
    sys.exit(main())
