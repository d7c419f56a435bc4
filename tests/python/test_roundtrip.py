"""sightline.solve(), read_event(), read_ecsv() and orbit() against the command line's JSON output."""

import glob
import json

import pytest

import sightline
from conftest import ROOT, run_tool, tool_json

ECSV = sorted(glob.glob("examples/ecsv/*.ecsv", root_dir=ROOT))

CASES = {
    "three-stations": ["examples/three-stations.json"],
    "four-sightings": ["examples/four-sightings.json"],
    "ecsv-three-stations": ECSV,
}


def python_input(paths):
    return paths[0] if len(paths) == 1 else paths


@pytest.mark.parametrize("paths", CASES.values(), ids=CASES.keys())
def test_solve_equals_the_tool_json(tool, paths):
    assert sightline.solve(python_input(paths)) == tool_json(tool, "solve", "--format", "json", *paths)


@pytest.mark.parametrize("paths", CASES.values(), ids=CASES.keys())
def test_solve_with_options_equals_the_tool_json(tool, paths):
    expected = tool_json(tool, "solve", "--format", "json", "--mc", "300", "--seed", "11", "--threads", "2",
                         "--refraction", "apparent", *paths)
    got = sightline.solve(python_input(paths), mc=300, seed=11, threads=2, refraction="apparent")
    assert got == expected
    assert got["trajectory"] is None or "sigma" in json.dumps(got["trajectory"])


def test_ecsv_heights_above_the_ellipsoid_equal_the_tool_json(tool):
    expected = tool_json(tool, "solve", "--format", "json", "--ecsv-heights", "ellipsoid", *ECSV)
    assert sightline.solve(ECSV, heights="ellipsoid") == expected


@pytest.mark.parametrize("path", ["examples/three-stations.json", "examples/four-sightings.json"])
def test_event_dict_solves_as_its_file(tool, path):
    event = sightline.read_event(path)
    assert event["format"] == "sightline-event"
    assert sightline.solve(event) == tool_json(tool, "solve", "--format", "json", path)


def test_read_ecsv_equals_the_tool_conversion(tool):
    status, out, err = run_tool(tool, "convert", *ECSV)
    assert status == 0, err
    assert sightline.read_ecsv(ECSV) == json.loads(out)


def test_solution_dumps_as_a_valid_solution_document():
    jsonschema = pytest.importorskip("jsonschema")
    with open("schema/sightline-solution.schema.json", encoding="utf-8") as f:
        schema = json.load(f)
    solution = sightline.solve("examples/three-stations.json", mc=100)
    jsonschema.validate(json.loads(json.dumps(solution)), schema)


ORIONID = dict(time="2019-10-23T09:12:25.56Z", latitude=44.1307, longitude=-81.3206, height=116070.0,
               azimuth=162.21, elevation=61.00, speed=67.405)


def test_orbit_equals_the_tool_json(tool):
    status, _, _ = run_tool(tool, "orbit", "--help")
    if status != 0:
        pytest.skip("this build of the tool has no orbit command")
    args = ["orbit", "--format", "json", "--time", ORIONID["time"]]
    for key in ("latitude", "longitude", "height", "azimuth", "elevation", "speed"):
        args += ["--" + key, repr(ORIONID[key])]
    assert sightline.orbit(**ORIONID) == tool_json(tool, *args)


def test_orbit_takes_speed_in_km_per_s_and_time_as_text_or_seconds():
    by_text = sightline.orbit(**ORIONID)
    assert by_text["format"] == "sightline-orbit"
    assert by_text["state"]["speed"] == pytest.approx(67405.0)  # the document states m/s
    assert by_text["orbit"]["vInit"] == pytest.approx(67405.0)
    # 2019-10-23T09:12:25.56Z is 1571821945.56 s after 1970-01-01T00:00:00Z.
    by_seconds = sightline.orbit(**dict(ORIONID, time=1571821945.56))
    assert by_seconds == by_text


def test_version_is_the_tool_version(tool):
    status, out, _ = run_tool(tool, "--version")
    assert status == 0
    assert out.strip() == "sightline " + sightline.__version__


def test_solve_gives_the_station_sigmas_and_excluded_flags():
    # The ECSV example's uncertainty columns count as stated sigmas; no sighting is left out.
    solution = sightline.solve(ECSV)
    assert [s["source"] for s in solution["stationSigmas"]] == ["stated"] * 3
    assert all(s["sigma"] > 0 and s["residualRms"] is not None for s in solution["stationSigmas"])
    assert all(s["excluded"] is False for s in solution["sightings"])
