"""The photometry of an event with magnitudes (the ECSV example's mag_data) through sightline.solve()."""

import glob
import math

import sightline
from conftest import ROOT, tool_json

ECSV = sorted(glob.glob("examples/ecsv/*.ecsv", root_dir=ROOT))


def test_photometry_keys_and_values_equal_the_tool_json(tool):
    got = sightline.solve(ECSV)
    assert got["photometry"] == tool_json(tool, "solve", "--format", "json", *ECSV)["photometry"]
    p = got["photometry"]
    assert set(p) == {"peakAbsoluteMagnitude", "peakHeight", "peakHeightMsl", "peakTime", "fParameter", "mass",
                      "luminousEfficiency"}
    assert p["luminousEfficiency"] == {"model": "constant", "tau": 0.007}
    assert 0.0 < p["fParameter"] < 1.0
    assert p["mass"] > 0.0
    # The peak is the brightest absolute magnitude of the sightings, give or take the averaging of stations.
    absolute = [s["absoluteMagnitude"] for s in got["sightings"]]
    assert all(a is not None for a in absolute)
    assert abs(p["peakAbsoluteMagnitude"] - min(absolute)) < 0.5


def test_absolute_magnitudes_follow_the_range(tool):
    for s in sightline.solve(ECSV)["sightings"]:
        expected = s["magnitude"] + 5.0 * math.log10(100000.0 / s["range"])
        assert abs(s["absoluteMagnitude"] - expected) < 1e-9


def test_an_event_without_magnitudes_has_no_photometry(tool):
    got = sightline.solve("examples/three-stations.json")
    assert got["photometry"] is None
    assert all(s["magnitude"] is None and s["absoluteMagnitude"] is None for s in got["sightings"])
