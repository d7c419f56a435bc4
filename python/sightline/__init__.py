"""Sightline from Python: points and trajectories of fireballs (bright meteors).

The functions mirror the JSON formats of the command line: events are dicts in
the event file's schema (schema/sightline-event.schema.json), solutions are
dicts with exactly the keys and values of ``sightline solve --format json``
(schema/sightline-solution.schema.json), orbits those of
``sightline orbit --format json``.

Units, as in the files: latitude and longitude in degrees (WGS84, north and
east positive); heights in metres above the WGS84 ellipsoid ("heightMsl":
above mean sea level, EGM96); azimuths in degrees from north through east;
elevations in degrees above the station's horizon; ranges and lengths in
metres; residuals and refraction in arcseconds; speeds in m/s; times ISO 8601
UTC in the dicts, seconds since 1970-01-01T00:00:00Z in sightings_table().

Bad input raises InputError (a ValueError) with the message the command line
prints after "sightline: "; an event without a solution is a result whose
"status" says why, not an exception.
"""

import json as _json
import os as _os

from . import _sightline
from ._sightline import InputError

__version__ = _sightline.__version__

__all__ = ["InputError", "__version__", "orbit", "read_ecsv", "read_event", "sightings_table", "solve"]


def _paths(inputs):
    if isinstance(inputs, (str, bytes, _os.PathLike)):
        return [_os.fsdecode(inputs)]
    return [_os.fsdecode(p) for p in inputs]


def solve(event, *, refraction=None, mc=None, seed=None, threads=None, heights="msl"):
    """Solve an event: the solution dict of ``sightline solve --format json``.

    event: a dict in the event file's schema, a path to an event file (JSON),
        or a list of paths to two or more ECSV files (one per station).
    refraction: "none", "corrected" or "apparent"; the event's own otherwise.
    mc: Monte Carlo draws for the uncertainties (0: none); the event's otherwise.
    seed: seed of the draws (whole number, 0 or more); the event's otherwise.
    threads: threads for the draws; None or 0: all cores.
    heights: what ECSV station heights are measured from: "msl" (mean sea
        level, EGM96) or "ellipsoid" (WGS84).

    Returns the solution dict: positions in degrees (WGS84) and metres above
    the ellipsoid, speeds in m/s, residuals in arcseconds, sigmas in the unit
    of their value. json.dumps() of it is a valid sightline-solution document.
    Files are named in it ("source") and in messages as given; a dict event
    is named "<event>".

    Raises InputError (a ValueError) for an input that is not valid, with the
    command line's message; ValueError for a bad keyword value. The GIL is
    released while solving; Ctrl-C stops the Monte Carlo draws (KeyboardInterrupt).
    """
    if isinstance(event, dict):
        text = _json.dumps(event)
        return _json.loads(_sightline.solve_text(text, "<event>", refraction, mc, seed, threads))
    return _json.loads(_sightline.solve_files(_paths(event), heights, refraction, mc, seed, threads))


def read_event(path):
    """The event dict of an event file (JSON) at `path`, validated as solve() does.

    Raises InputError with the command line's message when the file cannot be
    read or is not a valid event file.
    """
    return _json.loads(_sightline.read_files(_paths(path), "msl"))


def read_ecsv(paths, heights="msl"):
    """The event dict of two or more ECSV files, one per station.

    heights: what the files' station heights are measured from: "msl" (metres
    above mean sea level, EGM96) or "ellipsoid" (metres above WGS84).
    Raises InputError with the command line's message for a file that cannot
    be read or is not valid.
    """
    return _json.loads(_sightline.read_files(_paths(paths), heights))


def orbit(*, time, latitude, longitude, height, azimuth, elevation, speed):
    """The orbit dict of ``sightline orbit --format json`` for a radiant and speed.

    time: ISO 8601 UTC text ("2019-10-23T09:12:25.56Z") or seconds since 1970 UTC.
    latitude, longitude: the reference point, degrees (WGS84, north and east positive).
    height: metres above the WGS84 ellipsoid.
    azimuth: of the radiant (where the meteor came from), degrees from north through east.
    elevation: of the radiant, degrees above the horizon.
    speed: Earth-fixed speed at the point, km/s (as on the command line).

    Returns {"format": "sightline-orbit", "version": 1, "state": the input
    (speed in m/s), "orbit": the geocentric radiant and heliocentric elements
    (speeds m/s, angles degrees J2000, a/q/Q in AU, period in years) or None,
    "warnings": [...], "warningCodes": [...]}.
    """
    return _json.loads(_sightline.orbit(time, latitude, longitude, height, azimuth, elevation, speed))


def sightings_table(solution):
    """Per-sighting numpy arrays of a solution dict, for plotting and pandas.

    One entry per sighting, in the solution's order (station by station).
    Keys and units:
      station      int64, the station's index in order of appearance
      stationName  str, the station's name
      label        str, the sighting's label ("" when none)
      time         s since 1970-01-01T00:00:00Z (UTC), on the reference station's clock
                   (trajectory.velocity.beginTime + timeFromBegin)
      timeFromBegin  s from the speed model's begin time, on the reference station's clock
      latitude     degrees (WGS84), longitude degrees east
      height       m above the WGS84 ellipsoid; heightMsl m above mean sea level
      range        m from the station to the sighting's point on the trajectory
      residual     arcseconds, signed (positive right of the trajectory, facing the direction of flight)
      refraction   arcseconds applied (elevation used minus elevation given)
      length       m along the direction of flight from the begin point
      velocity     m/s (Earth-fixed), the speed model at timeFromBegin
      lag          m: length minus that of a body moving at the initial speed (negative: behind)
    Numbers are float64, NaN where the solution has null or no value (untimed
    sightings have no time, length, velocity or lag).
    pandas.DataFrame(sightings_table(solution)) makes a table of it.

    Raises ImportError when numpy is not installed.
    """
    try:
        import numpy as np
    except ImportError as error:
        raise ImportError("sightline.sightings_table needs numpy (apt-get install python3-numpy)") from error
    columns = _sightline.sighting_columns(_json.dumps(solution))
    table = {}
    for key, values in columns.items():
        if key == "station":
            table[key] = np.asarray(values, dtype=np.int64)
        elif key in ("stationName", "label"):
            table[key] = np.asarray(values, dtype=str)
        else:
            table[key] = np.asarray(values, dtype=np.float64)
    return table
