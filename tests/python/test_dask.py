"""A night's events on a Dask cluster (worker processes) give the records of `sightline batch`.

The events: a JSON Lines file of the shipped events (each line its own id, so
its own Monte Carlo seed) with a malformed line, a missing event file, and a
folder of an event file and a sub-folder of ECSV files. The records written by
the tool are the truth; those of sightline.batch_record() run as Dask tasks in
other processes must equal them, "elapsed" aside.
"""

import json
import os
import shutil

import pytest

import sightline
from conftest import ROOT, run_tool

distributed = pytest.importorskip("distributed")  # Debian: python3-distributed

DRAWS, SEED = "20", "5"


def compact(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as file:
        return json.dumps(json.load(file), separators=(",", ":"))


@pytest.fixture(scope="module")
def night(tmp_path_factory):
    """The inputs of the batch (absolute paths, so ids are the same in every process)."""
    folder = tmp_path_factory.mktemp("night")
    three, four = compact("examples/three-stations.json"), compact("examples/four-sightings.json")
    lines = [three, four, three, "", four, '{"format": "sightline-event", "stations": [', three, four, three]
    (folder / "night.jsonl").write_text("\n".join(lines) + "\n", encoding="utf-8")
    camp = folder / "camp"
    (camp / "ecsv-event").mkdir(parents=True)
    for name in sorted(os.listdir(os.path.join(ROOT, "examples/ecsv"))):
        if name.endswith(".ecsv"):
            shutil.copy(os.path.join(ROOT, "examples/ecsv", name), camp / "ecsv-event")
    shutil.copy(os.path.join(ROOT, "examples/four-sightings.json"), camp / "b-four.json")
    (camp / "notes.txt").write_text("not an event\n", encoding="utf-8")
    return [str(folder / "night.jsonl"), str(folder / "missing.json"), str(camp)]


@pytest.fixture(scope="module")
def tool_records(tool, night, tmp_path_factory):
    out = tmp_path_factory.mktemp("tool") / "out.jsonl"
    status, _, err = run_tool(tool, "batch", "--mc", DRAWS, "--seed", SEED, "-o", str(out), *night)
    assert status == 3, err  # 3: some event was not valid
    return out.read_text(encoding="utf-8").splitlines(keepends=True)


def without_elapsed(line):
    record = json.loads(line)
    assert record.pop("elapsed") >= 0
    return record


def test_events_listed_as_the_tool_lists_them(night, tool_records):
    events = sightline.batch_events(night)
    listed = [(e["id"], e["index"]) for e in events]
    recorded = [(r["id"], r["index"]) for r in map(json.loads, tool_records)]
    assert listed == recorded
    assert [e["source"] for e in events][-3:] == ["file", "file", "folder"]  # missing.json, b-four.json, ecsv-event


def test_dask_worker_processes_give_the_tool_records(night, tool_records, monkeypatch):
    events = sightline.batch_events(night)
    # The workers are new processes: they import the module from where this one did.
    module_dir = os.path.dirname(os.path.dirname(os.path.abspath(sightline.__file__)))
    monkeypatch.setenv("PYTHONPATH", os.pathsep.join(filter(None, [module_dir, os.environ.get("PYTHONPATH")])))
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1, dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        futures = client.map(sightline.batch_record, events, mc=int(DRAWS), seed=int(SEED), line=True, pure=False)
        lines = client.gather(futures)
        worker_pids = set(client.run(os.getpid).values())
    assert os.getpid() not in worker_pids and len(worker_pids) == 2
    assert [without_elapsed(line) for line in lines] == [without_elapsed(line) for line in tool_records]
    statuses = [json.loads(line)["status"] for line in lines]
    assert statuses.count("solved") >= 8 and statuses.count("input-error") == 2  # malformed line, missing file


def test_solved_records_carry_the_monte_carlo_sigmas(tool_records):
    """The draws ran (a record without them would compare equal for any seed)."""
    events = sightline.batch_events([json.loads(tool_records[0])["id"].rsplit(":", 1)[0]])
    record = sightline.batch_record(events[0], mc=int(DRAWS), seed=int(SEED))
    assert record == {**without_elapsed(tool_records[0]), "elapsed": record["elapsed"]}
    other_seed = sightline.batch_record(events[0], mc=int(DRAWS), seed=int(SEED) + 1)
    assert record["solution"]["trajectory"]["begin"]["sigma"] != other_seed["solution"]["trajectory"]["begin"]["sigma"]


def test_bad_event_dict_and_keyword_raise_value_error():
    with pytest.raises(ValueError, match="source"):
        sightline.batch_record({"id": "x", "index": 0, "source": "?", "text": "{}"})
    with pytest.raises(ValueError, match="mc"):
        sightline.batch_record({"id": "x", "index": 0, "source": "line", "text": "{}"}, mc=-1)
    with pytest.raises(ValueError, match="id"):
        sightline.batch_record({"index": 0, "source": "line", "text": "{}"})
