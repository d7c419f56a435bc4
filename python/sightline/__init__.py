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

batch_events() and batch_record() give the records of ``sightline batch``
one event at a time, for a task scheduler such as Dask (examples/python/dask_batch.py).

Bad input raises InputError (a ValueError) with the message the command line
prints after "sightline: "; an event without a solution is a result whose
"status" says why, not an exception.
"""

import json as _json
import os as _os

from . import _sightline
from ._sightline import InputError

__version__ = _sightline.__version__

__all__ = ["InputError", "__version__", "batch_events", "batch_record", "correlate", "darkflight", "orbit", "read_detections", "read_ecsv", "read_event", "sightings_table", "solve", "summary"]


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
    (speeds m/s, angles degrees J2000, a/q/Q in AU, period in years, and
    "shower": None for a sporadic or {"code", "number", "name", ...} from the
    shipped table, $SIGHTLINE_SHOWERS when set) or None,
    "warnings": [...], "warningCodes": [...]}. Raises InputError when the
    shower table cannot be read.
    """
    return _json.loads(_sightline.orbit(time, latitude, longitude, height, azimuth, elevation, speed))


_SHAPE_FACTORS = {"sphere": 1.21, "cylinder": 1.6, "brick": 2.7}


def darkflight(*, solution=None, time=None, latitude=None, longitude=None, height=None, azimuth=None,
               elevation=None, speed=None, wind=None, mass=None, density=3500.0, shape="sphere",
               shape_factor=None, ground_height=0.0, mc=0, seed=0, threads=0, sigma_position=None,
               sigma_speed=None, sigma_direction=None, wind_sigma=2.0, shape_factor_range=0.15,
               density_range=0.10):
    """The dict of ``sightline darkflight --format json``: where the stones land.

    The start: solution, the path of a ``sightline solve --format json`` file,
    or all of time (ISO 8601 UTC text or seconds since 1970), latitude,
    longitude (degrees, WGS84), height (metres above the ellipsoid), azimuth
    and elevation of where the body came from (degrees) and speed (km/s,
    Earth-fixed).
    wind: the path of a Wyoming TEXT:LIST sounding or a profile CSV (None:
    still air and the 1976 standard atmosphere). mass: kg, a number or a list
    (None: 26 masses from 1 g to 100 kg). density kg/m^3; shape "sphere",
    "cylinder" or "brick", or shape_factor A; ground_height metres above mean
    sea level. mc draws per mass for the strewn field, with seed and threads;
    sigma_position (m), sigma_speed (km/s), sigma_direction (degrees): the
    solution's when None, else 0; wind_sigma m/s; shape_factor_range and
    density_range (a fraction): half-widths of uniform ranges.

    Returns {"format": "sightline-darkflight", "version": 1, "state",
    "body", "air", "fallLine": [{"mass" kg, "landed", "latitude",
    "longitude", "height" m above the ellipsoid, "timeOfFlight" s,
    "impactSpeed" m/s}], "monteCarlo", "strewnField" (None without mc),
    "warnings", "warningCodes"}.
    """
    if shape_factor is None:
        if shape not in _SHAPE_FACTORS:
            raise InputError(f"shape: expected sphere, cylinder or brick, found {shape!r}")
        shape_factor = _SHAPE_FACTORS[shape]
    if mass is None:
        masses = []
    elif isinstance(mass, (int, float)):
        masses = [float(mass)]
    else:
        masses = [float(m) for m in mass]
    return _json.loads(_sightline.darkflight(
        None if solution is None else _os.fsdecode(solution), time, latitude, longitude, height, azimuth,
        elevation, speed, None if wind is None else _os.fsdecode(wind), masses, density, shape_factor,
        ground_height, mc, seed, threads, sigma_position, sigma_speed, sigma_direction, wind_sigma,
        shape_factor_range, density_range))
def summary(records, *, filter=None):
    """The rows of ``sightline summary``, one dict per solved record, sorted by begin time.

    records: the records of batch_record() (dicts), or their lines of JSON
        Lines (str), e.g. the lines of a results file of ``sightline batch``.
    filter: None, or "standard" for only what the network publishes (Qc >= 5 deg,
        e <= 1.5, radiant sigma <= 2 deg, vG sigma <= 10%; needs Monte Carlo draws).

    Returns a list of dicts keyed by the plain column names of ``sightline
    summary --format csv`` (identifier, jd_begin, utc_begin, iau_number,
    iau_code, solar_longitude, ..., stations_count, stations): floats in the
    units of that table (degrees, km/s, km above mean sea level, AU), nan for
    an undefined value (M, n, T when e >= 1), None for one not known (a sigma
    without Monte Carlo draws); ``pandas.DataFrame(rows)`` makes the table.

    Raises InputError naming the record ("records:N", N counted from 1) that is
    not a record of ``sightline batch``, and ValueError for a bad filter.
    """
    if filter not in (None, "standard"):
        raise ValueError('filter: expected None or "standard", found %r' % (filter,))
    lines = []
    for record in records:
        lines.append(record.rstrip("\n") if isinstance(record, str) else _json.dumps(record))
    return _sightline.summary_rows("\n".join(lines) + "\n", filter == "standard")


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


def _json_lines_events(path):
    """The events of the JSON Lines file `path`: one per non-blank line, id PATH:LINE (line from 1)."""
    try:
        with open(path, "rb") as file:
            content = file.read()
    except OSError:
        # The C++ reader says why, in the command line's words.
        return [{"id": path, "source": "file", "paths": [path]}]
    events = []
    for number, line in enumerate(content.split(b"\n"), start=1):
        if line.strip(b" \t\r"):
            text = line.decode("utf-8", "surrogateescape")
            events.append({"id": "%s:%d" % (path, number), "source": "line", "text": text})
    return events


def _folder_events(folder):
    """The .json event files and the sub-folders of ECSV files of `folder`, sorted by name."""
    try:
        with _os.scandir(folder) as scan:
            entries = sorted(scan, key=lambda entry: _os.fsencode(entry.name))
    except OSError as error:
        return [{"id": folder, "source": "unreadable",
                 "text": "%s: cannot read the folder: %s" % (folder, error.strerror)}]
    events = []
    for entry in entries:
        path = _os.path.join(folder, entry.name)
        if entry.is_dir():
            try:
                with _os.scandir(path) as scan:
                    names = sorted((e.name for e in scan if _os.path.splitext(e.name)[1] == ".ecsv" and e.is_file()),
                                   key=_os.fsencode)
            except OSError:
                names = []
            if names:
                events.append({"id": path, "source": "folder", "paths": [_os.path.join(path, n) for n in names]})
        elif _os.path.splitext(entry.name)[1] == ".json":
            events.append({"id": path, "source": "file", "paths": [path]})
    return events


def batch_events(inputs):
    """The events of ``sightline batch INPUT...``, in order, as small picklable dicts.

    inputs: a path or a list of paths, as given to ``sightline batch``: JSON
        Lines files (".jsonl": one event per non-blank line, id "PATH:LINE"),
        event files (JSON, id the path) and folders (their ".json" event files
        and their sub-folders of ECSV files, one event each, sorted by name).

    Returns a list of {"id", "index" (position from 0), "source": "line" |
    "file" | "folder" | "unreadable", and "text" (the line; or why the input
    cannot be read) or "paths" (the files to read)}, the ids and indices that
    ``sightline batch`` gives the same inputs. Nothing is read but the listing
    and the JSON Lines files: every event is read and checked by batch_record().
    """
    events = []
    for path in _paths(inputs):
        if path != "-" and _os.path.isdir(path):
            events.extend(_folder_events(path))
        elif path.endswith(".jsonl"):
            events.extend(_json_lines_events(path))
        else:
            events.append({"id": path, "source": "file", "paths": [path]})
    for index, event in enumerate(events):
        event["index"] = index
    return events


def batch_record(event, *, mc=None, seed=None, refraction=None, heights="msl", line=False):
    """The record of one event of batch_events(), as ``sightline batch`` writes it.

    event: a dict of batch_events() (or one like it: "id", "index", "source",
        and "text" or "paths").
    mc: Monte Carlo draws (0: none); the event's own otherwise (``--mc``).
    seed: base of the event's seed (whole number, 0 or more; ``--seed``); the
        draws use SplitMix64(seed xor FNV-1a(id)), or the event's own seed in
        place of `seed` when None, so a record does not depend on where or
        with which other events it is solved.
    refraction: "none", "corrected" or "apparent"; the event's own otherwise.
    heights: what ECSV station heights are measured from: "msl" or "ellipsoid".
    line: True for the record's line of JSON Lines (a str ending in a newline),
        byte for byte as ``sightline batch`` writes it, rather than a dict.

    Returns the record dict {"id", "index", "status": "solved" | "no-solution"
    | "input-error", "solution": the solution dict of ``sightline solve
    --format json`` or None, "error": the message ``sightline solve`` prints
    after "sightline: " or None, "elapsed": s (wall clock) to read, solve and
    write it}. An event that is not valid is a record with its error, never an
    exception. The draws run on the
    calling thread without the GIL; one event per core is the parallel work.

    Raises ValueError for a bad keyword value or an event dict without the keys above.
    """
    try:
        source, text, paths = event["source"], event.get("text", ""), event.get("paths", [])
        record = _sightline.batch_record(source, event["id"], event["index"],
                                         text.encode("utf-8", "surrogateescape"),
                                         [_os.fsdecode(p) for p in paths], heights, refraction, mc, seed)
    except KeyError as missing:
        raise ValueError("event: expected a dict of batch_events() with %s" % missing) from None
    return record if line else _json.loads(record)


def _night(paths, options, detections, strict):
    text, messages, malformed = _sightline.correlate_lines(_paths(paths), options, detections)
    if malformed and strict:
        raise InputError("\n".join(m for m in messages if not m.startswith("warning: ")))
    if messages:
        import warnings as _warnings
        for m in messages:
            _warnings.warn(m, stacklevel=3)
    return [_json.loads(line) for line in text.splitlines()]


def read_detections(paths, *, strict=True):
    """Every detection of a network's night, as ``sightline correlate --detections`` writes them.

    paths: FTPdetectinfo files, ECSV files and folders (searched as the command does).
    Returns a list of dicts {"station", "file", "ff", "meteor", "fps", "latitude",
    "longitude", "elevation" (metres above mean sea level), "sightings": [{"time"
    (ISO 8601 UTC), "azimuth", "elevation" (degrees), "magnitude" (or None)}]}.

    Raises InputError for a path that does not exist and, with strict (the
    default), when a file is malformed or a camera has no position (the
    messages of the command, one a line); with strict=False those files are
    skipped with a warning. Warnings (uncalibrated blocks, ...) go to the
    warnings module.
    """
    return _night(paths, {}, True, strict)


def correlate(paths, *, strict=True, **options):
    """The multi-station events of a network's night, as ``sightline correlate`` writes them.

    paths: as read_detections(). options: the thresholds of the command with
    underscores (max_time_offset s, min_begin_height/max_begin_height/
    min_end_height/max_end_height km, speed_tolerance, min_speed/max_speed
    km/s, min_baseline km, min_plane_angle degrees, max_residual degrees,
    clock_tolerance s) and threads (the result does not depend on it).
    Returns a list of event dicts (sightline-event, one per multi-station
    event, in time order), each ready for solve().
    Raises as read_detections(); ValueError for an unknown option.
    """
    return _night(paths, {k: float(v) for k, v in options.items()}, False, strict)
