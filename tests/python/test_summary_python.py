"""sightline.summary() and the orbit's shower from Python: the same rows as the tool's
CSV, the records' numbers, and bad records named."""

import csv
import io
import json
import math

import pytest

import sightline
from conftest import ROOT, run_tool


@pytest.fixture(scope="module")
def records():
    # Module fixtures run before the checkout becomes the working folder: absolute paths.
    events = sightline.batch_events([ROOT + "/examples/three-stations.json", ROOT + "/examples/four-sightings.json"])
    done = [sightline.batch_record(e, mc=20, seed=3) for e in events]
    assert [r["status"] for r in done] == ["solved", "solved"]
    return done


def test_rows_are_dicts_with_the_records_numbers(records):
    rows = sightline.summary(records)
    assert len(rows) == 2
    orbit = records[0]["solution"]["orbit"]
    first = rows[0]
    assert len(first) == 86
    assert first["v_geo"] == pytest.approx(orbit["vGeocentric"] / 1000, abs=1e-12)
    assert first["iau_code"] == "..." and first["iau_number"] == -1
    assert first["begin_in_fov"] is None
    assert rows[1]["v_geo"] is None  # the untimed event has no orbit


def test_rows_match_the_tools_csv(tool, records, tmp_path):
    path = tmp_path / "night.jsonl"
    path.write_text("".join(json.dumps(r) + "\n" for r in records))
    status, out, err = run_tool(tool, "summary", str(path), "--format", "csv")
    assert status == 0, err
    table = list(csv.DictReader(io.StringIO(out)))
    rows = sightline.summary(path.read_text().splitlines())
    assert len(table) == len(rows) == 2
    for written, row in zip(table, rows):
        for key, value in row.items():
            if isinstance(value, float) and not math.isnan(value):
                text = written[key]  # printed to the column's decimals: within half of the last one
                decimals = len(text.split(".")[1]) if "." in text and "e" not in text else 0
                tolerance = 0.51 * 10.0 ** -decimals if decimals else 0.006 * abs(value)
                assert float(text) == pytest.approx(value, abs=tolerance), key
            elif value is None:
                assert written[key] == "", key


def test_a_record_that_is_not_one_is_named():
    with pytest.raises(sightline.InputError, match=r"records:2: not a record"):
        sightline.summary([{"id": "a", "index": 0, "status": "no-solution", "solution": None}, {"hello": 1}])
    with pytest.raises(ValueError, match="filter"):
        sightline.summary([], filter="strict")


def test_orbit_has_its_shower():
    # An Orionid (2019-10-23): the shipped table puts it in IAU 8, ORI.
    doc = sightline.orbit(time="2019-10-23T09:12:25.56Z", latitude=44.1307, longitude=-81.3206, height=116070,
                          azimuth=162.21, elevation=61.0, speed=67.405)
    shower = doc["orbit"]["shower"]
    assert shower["code"] == "ORI" and shower["number"] == 8 and shower["name"] == "Orionids"
    assert 0 <= shower["radiantDistance"] < 5 and abs(shower["vgDifference"]) <= 0.1
    assert "membership" not in shower  # one state, no draws
