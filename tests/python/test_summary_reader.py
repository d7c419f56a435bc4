"""`sightline summary` read back by a reader of the network trajectory summary layout
written from the layout's published description (not from Sightline's code): a first
line "# Summary generated on ... UTC", two header rows (names, units) and a dash row
starting with "#", fields separated by ";", every line ending in "\\n\\r", "None" for
a value not known, "nan" for one undefined, "..." and -1 for a sporadic; each "+/-"
column is the sigma of the column before it.
"""

import json
import math
import os
import subprocess

import pytest

from conftest import ROOT, run_tool


def read_gmn_summary(data):
    """Rows of a summary file (bytes) as dicts keyed by "NAME (UNIT)" and "NAME +/-"."""
    text = data.decode("ascii")
    lines = text.split("\n\r")
    assert lines[-1] == "", "every line ends in \\n\\r"
    lines = lines[:-1]
    assert lines[0].startswith("# Summary generated on ") and lines[0].endswith(" UTC")
    names = [f.strip() for f in lines[1].lstrip("#").split(";")]
    units = [f.strip() for f in lines[2].lstrip("#").split(";")]
    assert set(lines[3].lstrip("# ").replace(";", "").replace(" ", "")) == {"-"}
    keys = []
    for name, unit in zip(names, units):
        keys.append(keys[-1].split(" (")[0] + " +/-" if name == "+/-" else "%s (%s)" % (name, unit))
    rows = []
    for line in lines[4:]:
        fields = [f.strip() for f in line.split(";")]
        assert len(fields) == len(keys)
        rows.append({k: parse(v) for k, v in zip(keys, fields)})
    return keys, rows


def parse(field):
    if field == "None":
        return None
    if field in ("True", "False"):
        return field == "True"
    try:
        return float(field)
    except ValueError:
        return field


@pytest.fixture(scope="module")
def night(tmp_path_factory, request):
    binary = os.environ.get("SIGHTLINE_BINARY")
    if not binary or not os.path.exists(binary):
        pytest.skip("the command-line tool is needed: set SIGHTLINE_BINARY (ctest does)")
    folder = tmp_path_factory.mktemp("night")
    records = folder / "night.jsonl"
    subprocess.run([binary, "batch", "examples/three-stations.json", "examples/four-sightings.json", "--mc", "20",
                    "--seed", "3", "-o", str(records)], cwd=ROOT, check=True, capture_output=True)
    table = folder / "summary.txt"
    done = subprocess.run([binary, "summary", str(records), "-o", str(table)], cwd=ROOT, capture_output=True,
                          text=True)
    assert done.returncode == 0, done.stderr
    return binary, records, table.read_bytes()


def close(value, expected, decimals):
    assert value == pytest.approx(expected, abs=0.51 * 10.0 ** -decimals)


def test_the_reader_finds_the_86_columns_and_one_row_per_solved_record(night):
    _, records, data = night
    keys, rows = read_gmn_summary(data)
    assert len(keys) == 86
    assert keys[0] == "Unique trajectory (identifier)"
    assert keys[-1] == "Participating (stations)"
    solved = [json.loads(line) for line in records.read_text().splitlines()]
    assert len(rows) == sum(1 for r in solved if r["status"] == "solved")


def test_the_numbers_are_the_records_numbers(night):
    _, records, data = night
    _, rows = read_gmn_summary(data)
    record = next(json.loads(line) for line in records.read_text().splitlines() if "three-stations" in line)
    s = record["solution"]
    o = s["orbit"]
    row = rows[0]  # the timed event begins first; the untimed one has no time and comes last
    close(row["Vgeo (km/s)"], o["vGeocentric"] / 1000, 5)
    close(row["Vgeo +/-"], o["sigma"]["vGeocentric"] / 1000, 4)
    close(row["RAgeo (deg)"], o["radiantGeocentric"]["ra"], 5)
    close(row["DECgeo (deg)"], o["radiantGeocentric"]["dec"], 5)
    close(row["LAMgeo (deg)"], o["radiantEcliptic"]["longitude"], 5)
    close(row["Sol lon (deg)"], o["solarLongitude"], 6)
    close(row["e ()"], o["e"], 6)
    close(row["q (AU)"], o["q"], 6)
    close(row["T (years)"], o["period"], 6)
    close(row["HtBeg (km)"], s["trajectory"]["begin"]["heightMsl"] / 1000, 4)
    close(row["LatEnd (+N deg)"], s["trajectory"]["end"]["latitude"], 6)
    close(row["Vinit (km/s)"], s["trajectory"]["velocity"]["initial"] / 1000, 5)
    close(row["Qc (deg)"], max(p["convergenceAngle"] for p in s["stationPairs"]), 2)
    assert row["IAU (code)"] == "..." and row["IAU (No)"] == -1
    assert row["Num (stat)"] == 3
    assert row["Participating (stations)"] == "Hilltop Observatory,Lakeside Station,Valley Camera"
    assert row["Peak (AbsMag)"] is None  # no magnitudes in the example
    # Julian date of the begin time: JD 2440587.5 at 1970-01-01T00:00:00Z.
    assert row["Beginning (UTC Time)"] == "2026-11-14 21:03:47.200000"
    close(row["Beginning (Julian date)"], 2440587.5 + 1794690227.2 / 86400, 9)
    assert row["Unique trajectory (identifier)"].startswith("20261114210347_")


def test_an_untimed_event_has_none_for_what_needs_a_time(night):
    _, _, data = night
    _, rows = read_gmn_summary(data)
    untimed = rows[-1]
    assert untimed["Vgeo (km/s)"] is None
    assert untimed["Unique trajectory (identifier)"] is None
    assert isinstance(untimed["LatBeg (+N deg)"], float)


def test_csv_has_the_same_columns_plainly_named(night):
    binary, records, data = night
    status, out, err = run_tool(binary, "summary", str(records), "--format", "csv")
    assert status == 0, err
    header = out.splitlines()[0].split(",")
    assert len(header) == 86 and header[7:9] == ["ra_geo", "ra_geo_sigma"]


def test_a_torn_line_is_named_and_the_rest_is_written(night, tmp_path):
    binary, records, _ = night
    torn = tmp_path / "torn.jsonl"
    torn.write_text(records.read_text() + '{"id": "cut", "stat')
    status, out, err = run_tool(binary, "summary", str(torn), "--format", "csv")
    assert status == 3
    assert "torn.jsonl:3: a torn last line" in err
    assert len(out.splitlines()) == 3  # header and both rows
