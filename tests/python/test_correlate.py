"""sightline.read_detections() and sightline.correlate() give what the command writes."""

import json
import os
import shutil

import pytest

import sightline
from conftest import run_tool

NIGHT = "examples/night"


def json_lines(text):
    return [json.loads(line) for line in text.splitlines()]


def test_correlate_gives_the_commands_events(tool, tmp_path):
    out = tmp_path / "events.jsonl"
    status, _, err = run_tool(tool, "correlate", NIGHT, "-o", str(out))
    assert status == 0, err
    events = sightline.correlate(NIGHT)
    assert events == json_lines(out.read_text())
    assert len(events) > 10
    assert all(len({s["name"] for s in e["stations"]}) == len(e["stations"]) >= 2 for e in events)


def test_read_detections_gives_the_commands_detections(tool, tmp_path):
    out = tmp_path / "detections.jsonl"
    status, _, err = run_tool(tool, "correlate", NIGHT, "-o", os.devnull, "--detections", str(out))
    assert status == 0, err
    assert sightline.read_detections(NIGHT) == json_lines(out.read_text())


def test_thresholds_and_threads_are_keywords():
    default = sightline.correlate(NIGHT, threads=1)
    assert sightline.correlate(NIGHT, threads=2) == default
    # Demanding planes 89 degrees apart leaves almost no pair.
    assert len(sightline.correlate(NIGHT, min_plane_angle=89.0)) < len(default)
    with pytest.raises(ValueError, match="unknown option"):
        sightline.correlate(NIGHT, max_offset=3)


def test_events_solve():
    event = sightline.correlate(NIGHT)[0]
    solution = sightline.solve(event)
    assert solution["status"] == "solved" or solution["trajectory"] is not None


def test_bad_inputs(tmp_path):
    with pytest.raises(sightline.InputError, match="no such file or folder"):
        sightline.correlate(str(tmp_path / "missing"))
    camera = tmp_path / "camera"
    camera.mkdir()
    (camera / "FTPdetectinfo_XX0001_20261208.txt").write_text("Meteor Count = 000001\nnot a header\n")
    with pytest.raises(sightline.InputError, match="FTPdetectinfo_XX0001_20261208.txt"):
        sightline.correlate(str(camera))
    with pytest.warns(UserWarning):
        assert sightline.correlate([str(camera)], strict=False) == []
