"""sightline.darkflight() gives exactly the dict of `sightline darkflight --format json`."""

import json
import subprocess

import pytest

import sightline

PROFILE = "tests/data/darkflight/example_murrili_wind_profile.csv"
MURRILI = dict(time="2015-11-27T10:43:51.626Z", latitude=-29.26536580869662, longitude=137.47792883987492,
               height=18017.406995819358, azimuth=262.5883511072914, elevation=68.19939930781753,
               speed=3.1027991615107253, ground_height=-15.0, wind=PROFILE)


def test_same_dict_as_the_command_line(tool):
    result = sightline.darkflight(**MURRILI, mass=[0.1, 1.68], mc=10, seed=2, sigma_position=100.0)
    args = [tool, "darkflight", "--format", "json", "--mass", "0.1,1.68", "--mc", "10", "--seed", "2",
            "--sigma-position", "100", "--wind", PROFILE, "--ground-height=-15"]
    for key in ("time", "latitude", "longitude", "height", "azimuth", "elevation", "speed"):
        args += [f"--{key}={MURRILI[key]!r}".replace("'", "")]
    out = subprocess.run(args, capture_output=True, text=True, check=True).stdout
    assert result == json.loads(out)
    assert result["format"] == "sightline-darkflight"
    assert [p["mass"] for p in result["fallLine"]] == [0.1, 1.68]
    assert result["strewnField"][1]["draws"] == 10


def test_default_masses_and_shapes():
    sphere = sightline.darkflight(**MURRILI)
    assert len(sphere["fallLine"]) == 26
    brick = sightline.darkflight(**MURRILI, mass=1.0, shape="brick")
    assert brick["body"]["shapeFactor"] == 2.7
    # A brick has more drag than a sphere of the same mass: it falls more slowly.
    one_kg = next(p for p in sphere["fallLine"] if abs(p["mass"] - 1.0) < 1e-9)
    assert brick["fallLine"][0]["impactSpeed"] < one_kg["impactSpeed"]


@pytest.mark.parametrize("changes, message", [
    (dict(mass=[1.0, -1.0]), "--mass: mass 2 of the list"),
    (dict(speed=90.0), "expected a speed above 0 and at most 80 km/s"),
    (dict(density=0.0), "--density 0"),
    (dict(wind="/nonexistent.csv"), "/nonexistent.csv"),
    (dict(shape="egg"), "shape: expected sphere, cylinder or brick"),
], ids=["negative-mass", "too-fast", "zero-density", "missing-profile", "unknown-shape"])
def test_bad_input_raises_input_error(changes, message):
    with pytest.raises(sightline.InputError, match=message):
        sightline.darkflight(**{**MURRILI, **changes})


def test_outputs_follow_the_schema():
    jsonschema = pytest.importorskip("jsonschema")
    with open("schema/sightline-darkflight.schema.json") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    for result in (sightline.darkflight(**MURRILI, mass=[0.01, 1.0]),
                   sightline.darkflight(**MURRILI, mass=1.0, mc=5),
                   sightline.darkflight(solution="examples/expected/three-stations.json", mass=1.0)):
        errors = [f"{list(e.absolute_path)}: {e.message}" for e in validator.iter_errors(result)]
        assert errors == []
