"""sightline.sightings_table(): one numpy array per column, one entry per sighting, in the documented units."""

import os
import subprocess
import sys

import pytest

import sightline

np = pytest.importorskip("numpy")

NUMBERS = ["time", "timeFromBegin", "latitude", "longitude", "height", "heightMsl", "range", "residual",
           "refraction", "length", "velocity", "lag"]


@pytest.fixture(scope="module")
def solution():
    return sightline.solve("examples/three-stations.json")


def test_every_column_has_one_entry_per_sighting(solution):
    table = sightline.sightings_table(solution)
    count = len(solution["sightings"])
    assert set(table) == set(NUMBERS) | {"station", "stationName", "label"}
    for key, column in table.items():
        assert isinstance(column, np.ndarray) and column.shape == (count,), key
    for key in NUMBERS:
        assert table[key].dtype == np.float64, key
    assert table["station"].dtype == np.int64


def test_stations_are_numbered_in_order_of_appearance(solution):
    table = sightline.sightings_table(solution)
    names = [s["station"] for s in solution["sightings"]]
    first = {name: names.index(name) for name in names}
    order = sorted(first, key=first.get)
    assert list(table["station"]) == [order.index(name) for name in names]
    assert list(table["stationName"]) == names
    assert table["station"].max() == 2  # three stations


def test_values_in_the_documented_units(solution):
    table = sightline.sightings_table(solution)
    # A fireball is seen between about 20 and 130 km up, within a few hundred km: metres, not km.
    assert np.all((table["height"] > 20e3) & (table["height"] < 130e3))
    assert np.all((table["range"] > 1e3) & (table["range"] < 1e6))
    # Residuals of a good solve are arcseconds to arcminutes, not radians or degrees.
    assert np.all(np.abs(table["residual"]) < 3600.0)
    assert np.nanmax(np.abs(table["residual"])) > 1e-3
    # Mean sea level lies some tens of metres from the ellipsoid in the example's region (EGM96).
    assert np.all(np.abs(table["height"] - table["heightMsl"]) < 120.0)
    sighting = solution["sightings"][0]
    assert table["latitude"][0] == sighting["latitude"] and table["longitude"][0] == sighting["longitude"]


def test_null_and_absent_numbers_are_nan(solution):
    changed = dict(solution, sightings=[dict(s) for s in solution["sightings"]])
    changed["sightings"][1]["range"] = None
    changed["sightings"][2].pop("residual")
    table = sightline.sightings_table(changed)
    assert np.isnan(table["range"][1]) and not np.isnan(table["range"][0])
    assert np.isnan(table["residual"][2]) and not np.isnan(table["residual"][1])


def test_time_is_the_begin_time_plus_the_time_from_the_begin(solution):
    changed = dict(solution, sightings=[dict(s) for s in solution["sightings"]])
    changed["trajectory"] = {"velocity": {"beginTime": "2026-11-14T21:03:07.25Z"}}
    changed["sightings"][0]["timeFromBegin"] = 1.5
    changed["sightings"][1]["timeFromBegin"] = None
    table = sightline.sightings_table(changed)
    # 2026-11-14T21:03:07.25Z is 1794690187.25 s after 1970-01-01T00:00:00Z.
    assert table["time"][0] == 1794690188.75 and table["timeFromBegin"][0] == 1.5
    assert np.isnan(table["time"][1]) and np.isnan(table["timeFromBegin"][1])
    changed["trajectory"] = None  # no speed model: no absolute times
    assert np.isnan(sightline.sightings_table(changed)["time"][0])


def test_timed_sightings_in_the_documented_units(solution):
    table = sightline.sightings_table(solution)
    timed = ~np.isnan(table["timeFromBegin"])
    if not timed.any():
        pytest.skip("this build writes no along-track figures per sighting")
    trajectory = solution["trajectory"]
    # The example's fireball flies at about 21 km/s for some seconds over its 68.8 km path.
    assert np.all((table["velocity"][timed] > 5e3) & (table["velocity"][timed] < 75e3))
    assert np.all((table["timeFromBegin"][timed] > -1.0) & (table["timeFromBegin"][timed] < 60.0))
    assert np.nanmax(table["length"]) <= trajectory["length"] * 1.01
    assert np.nanmax(table["length"]) > trajectory["length"] * 0.5
    assert np.all(np.abs(table["lag"][timed]) < 0.1 * trajectory["length"])


def test_not_a_solution_is_a_value_error():
    with pytest.raises(ValueError):
        sightline.sightings_table({"format": "sightline-solution"})


def test_module_imports_without_numpy_and_the_table_says_it_needs_it():
    script = ("import sys; sys.modules['numpy'] = None\n"
              "import sightline\n"
              "solution = sightline.solve('examples/three-stations.json')\n"
              "try:\n"
              "    sightline.sightings_table(solution)\n"
              "except ImportError as e:\n"
              "    print('ImportError:', e)\n")
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, env=dict(os.environ),
                          check=False)
    assert done.returncode == 0, done.stderr
    assert "ImportError:" in done.stdout and "numpy" in done.stdout
