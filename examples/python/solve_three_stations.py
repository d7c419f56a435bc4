#!/usr/bin/env python3
"""Solve the shipped three-station event from Python: print the begin height
with its 1-sigma and, when matplotlib is installed, plot each sighting's
length along the trajectory against its time.

Run from the checkout after `python3 -m pip install --no-build-isolation .`:
    python3 examples/python/solve_three_stations.py [EVENT] [FIGURE.png]
"""

import sys

import sightline

event = sys.argv[1] if len(sys.argv) > 1 else "examples/three-stations.json"
figure = sys.argv[2] if len(sys.argv) > 2 else "three-stations-length.png"

solution = sightline.solve(event, mc=1000, seed=1)  # 1000 Monte Carlo draws for the sigmas
print("sightline", sightline.__version__, "status:", solution["status"])
trajectory = solution["trajectory"]
if trajectory is None:
    sys.exit("no trajectory: " + "; ".join(solution["warnings"]))

begin = trajectory["begin"]
sigma = begin.get("sigma", {}).get("up")  # metres, 1 sigma, vertical (east-north-up at the point)
print("begin height: %.0f m above the WGS84 ellipsoid, %.0f m above mean sea level" % (begin["height"], begin["heightMsl"]))
if sigma is not None:
    print("  1 sigma: %.0f m" % sigma)
if trajectory["speed"] is not None:
    print("speed: %.2f km/s" % (trajectory["speed"] / 1000.0))

try:
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import numpy as np
except ImportError:
    sys.exit(0)  # the numbers above are the example; the figure needs matplotlib

table = sightline.sightings_table(solution)  # numpy arrays, NaN where there is no value
timed = ~np.isnan(table["timeFromBegin"]) & ~np.isnan(table["length"])
if not timed.any():
    print("no figure: the solution gives no sighting both a time and a length")
    sys.exit(0)
fig, ax = plt.subplots()
for station in sorted(set(table["station"][timed])):
    rows = timed & (table["station"] == station)
    ax.plot(table["timeFromBegin"][rows], table["length"][rows] / 1000.0, "o",
            label=table["stationName"][rows][0])
ax.set_xlabel("time from the begin, reference station's clock (s)")
ax.set_ylabel("length along the trajectory (km)")
ax.legend()
fig.savefig(figure)
print("figure:", figure)
