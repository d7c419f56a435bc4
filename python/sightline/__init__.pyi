# Type stubs of the package sightline (units in the docstrings of __init__.py).
import os
from typing import Any, Iterable, Literal, TypedDict, Union, overload

import numpy as np
import numpy.typing as npt

__version__: str

class InputError(ValueError):
    """An input that is not valid: the command line's message (file, JSON path, what was expected)."""

Path = Union[str, os.PathLike[str]]
Refraction = Literal["none", "corrected", "apparent"]
Heights = Literal["msl", "ellipsoid"]

def solve(
    event: Union[dict[str, Any], Path, Iterable[Path]],
    *,
    refraction: Refraction | None = ...,
    mc: int | None = ...,
    seed: int | None = ...,
    threads: int | None = ...,
    heights: Heights = ...,
) -> dict[str, Any]:
    """The solution dict of `sightline solve --format json` (degrees, metres, m/s, arcseconds)."""

def read_event(path: Path) -> dict[str, Any]:
    """The event dict of an event file (JSON)."""

def read_ecsv(paths: Iterable[Path], heights: Heights = ...) -> dict[str, Any]:
    """The event dict of two or more ECSV files (station heights above msl or the ellipsoid, metres)."""

def orbit(
    *,
    time: str | float,
    latitude: float,
    longitude: float,
    height: float,
    azimuth: float,
    elevation: float,
    speed: float,
) -> dict[str, Any]:
    """The orbit dict of `sightline orbit --format json`: time ISO UTC or s since 1970; degrees; metres; speed km/s."""

def darkflight(
    *,
    solution: Path | None = ...,
    time: str | float | None = ...,
    latitude: float | None = ...,
    longitude: float | None = ...,
    height: float | None = ...,
    azimuth: float | None = ...,
    elevation: float | None = ...,
    speed: float | None = ...,
    wind: Path | None = ...,
    mass: float | Iterable[float] | None = ...,
    density: float = ...,
    shape: str = ...,
    shape_factor: float | None = ...,
    ground_height: float = ...,
    mc: int = ...,
    seed: int = ...,
    threads: int = ...,
    sigma_position: float | None = ...,
    sigma_speed: float | None = ...,
    sigma_direction: float | None = ...,
    wind_sigma: float = ...,
    shape_factor_range: float = ...,
    density_range: float = ...,
) -> dict[str, Any]:
    """The dict of `sightline darkflight --format json`: degrees, metres above the ellipsoid, masses kg, speeds m/s (speed in km/s)."""

def summary(records: Iterable[dict[str, Any] | str], *, filter: str | None = ...) -> list[dict[str, Any]]: ...
def sightings_table(solution: dict[str, Any]) -> dict[str, npt.NDArray[Any]]:
    """Per-sighting arrays: station (index), time (s since 1970 UTC), timeFromBegin (s), latitude/longitude (deg), height (m), range (m), residual (arcsec), length (m), velocity (m/s), lag (m)."""

class BatchEvent(TypedDict, total=False):
    """One event of `sightline batch`: id, index (from 0), source, and text (the JSON line) or paths."""

    id: str
    index: int
    source: Literal["line", "file", "folder", "unreadable"]
    text: str
    paths: list[str]

def batch_events(inputs: Union[Path, Iterable[Path]]) -> list[BatchEvent]:
    """The events of `sightline batch INPUT...` in order, with its ids and indices."""

@overload
def batch_record(
    event: BatchEvent,
    *,
    mc: int | None = ...,
    seed: int | None = ...,
    refraction: Refraction | None = ...,
    heights: Heights = ...,
    line: Literal[False] = ...,
) -> dict[str, Any]:
    """The record of one event as `sightline batch` writes it: id, index, status, solution, error, elapsed (s)."""

@overload
def batch_record(
    event: BatchEvent,
    *,
    mc: int | None = ...,
    seed: int | None = ...,
    refraction: Refraction | None = ...,
    heights: Heights = ...,
    line: Literal[True],
) -> str:
    """The record's JSON Lines line, byte for byte as `sightline batch` writes it (ending in a newline)."""

def read_detections(paths: Union[Path, Iterable[Path]], *, strict: bool = ...) -> list[dict[str, Any]]:
    """Every detection of a night (FTPdetectinfo and ECSV files, folders), as `sightline correlate --detections` writes them."""

def correlate(paths: Union[Path, Iterable[Path]], *, strict: bool = ..., **options: float) -> list[dict[str, Any]]:
    """The multi-station events (sightline-event dicts) of a night, as `sightline correlate` writes them."""
