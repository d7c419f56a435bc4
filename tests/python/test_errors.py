"""Bad input: sightline.InputError (a ValueError) with the message the command line prints after "sightline: "."""

import copy
import json

import pytest

import sightline
from conftest import run_tool, tool_message

EVENT = "examples/three-stations.json"


def broken_events():
    """(name, change to a valid event dict) pairs that each make it invalid."""
    def latitude_as_text(e):
        e["stations"][0]["latitude"] = "north"

    def elevation_out_of_range(e):
        e["stations"][1]["sightings"][0]["elevation"] = 123.0

    def no_stations(e):
        del e["stations"]

    def wrong_format(e):
        e["format"] = "something-else"

    return {"latitude-as-text": latitude_as_text, "elevation-over-90": elevation_out_of_range,
            "no-stations": no_stations, "wrong-format": wrong_format}


@pytest.mark.parametrize("change", broken_events().values(), ids=broken_events().keys())
def test_malformed_event_dict_raises_the_tool_message(tool, tmp_path, change):
    event = copy.deepcopy(sightline.read_event(EVENT))
    change(event)
    path = tmp_path / "broken.json"
    path.write_text(json.dumps(event))
    status, _, err = run_tool(tool, "solve", "--format", "json", str(path))
    assert status == 3
    with pytest.raises(sightline.InputError) as raised:
        sightline.solve(event)
    # The tool names the file; the module names a dict "<event>".
    assert str(raised.value) == tool_message(err).replace(str(path), "<event>")
    assert str(raised.value).startswith("<event>: ")


FILES = {
    "not-json": "{ this is not JSON",
    "empty-object": "{}",
    "stations-not-a-list": '{"format": "sightline-event", "version": 1, "stations": 3}',
}


@pytest.mark.parametrize("text", FILES.values(), ids=FILES.keys())
def test_malformed_file_raises_the_tool_message(tool, tmp_path, text):
    path = tmp_path / "bad.json"
    path.write_text(text)
    status, _, err = run_tool(tool, "solve", "--format", "json", str(path))
    assert status == 3
    for call in (sightline.solve, sightline.read_event):
        with pytest.raises(sightline.InputError) as raised:
            call(str(path))
        assert str(raised.value) == tool_message(err)


def test_missing_file_and_single_ecsv_file_raise_the_tool_messages(tool):
    for args in (["no/such/event.json"], ["examples/ecsv/ev_20261114_210307_A.ecsv"]):
        _, _, err = run_tool(tool, "solve", "--format", "json", *args)
        with pytest.raises(sightline.InputError) as raised:
            sightline.solve(args)
        assert str(raised.value) == tool_message(err)


def test_input_error_is_a_value_error():
    assert issubclass(sightline.InputError, ValueError)


@pytest.mark.parametrize("keywords", [{"refraction": "sideways"}, {"mc": -1}, {"threads": -2}],
                         ids=["refraction", "mc", "threads"])
def test_bad_keyword_values_are_value_errors_not_input_errors(keywords):
    with pytest.raises(ValueError) as raised:
        sightline.solve(EVENT, **keywords)
    assert not isinstance(raised.value, sightline.InputError)
    assert next(iter(keywords)) in str(raised.value)


def test_no_solution_is_a_result_not_an_exception(tool, tmp_path):
    # Two stations at one place that saw the same: their planes and lines of sight coincide, no point.
    event = sightline.read_event(EVENT)
    event["stations"] = [event["stations"][0], dict(event["stations"][0], name="Twin")]
    path = tmp_path / "twins.json"
    path.write_text(json.dumps(event))
    status, out, err = run_tool(tool, "solve", "--format", "json", str(path))
    assert status == 4, err
    solution = sightline.solve(event)
    assert solution == json.loads(out)
    assert solution["status"] == "no-geometry" and solution["trajectory"] is None
