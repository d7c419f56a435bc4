// The JSON and text outputs of an orbit: the `sightline orbit` command's
// document and the "orbit" object and block of a solution report.
//
// Units throughout: times ISO 8601 UTC; latitude and longitude in degrees
// (WGS84, north and east positive), heights in metres above the WGS84
// ellipsoid; azimuth in degrees from north through east, elevation in degrees;
// speeds in m/s (JSON) or km/s (text); right ascension, declination and
// ecliptic coordinates in degrees in the J2000 frames (GCRS; mean ecliptic and
// equinox of J2000); a, q and Q in AU; period in Julian years; other angles in degrees.
#pragma once

#include <ostream>

#include <nlohmann/json.hpp>

#include "earth/frames.hpp"
#include "orbit/orbit.hpp"
#include "orbit/showers.hpp"

namespace sightline {

/// The input of `sightline orbit`, as the user gave it.
struct OrbitCommand {
  double time = 0.0;        ///< seconds since 1970-01-01T00:00:00Z, UTC without leap seconds
  GeodeticPosition point;   ///< the reference point: degrees, degrees, metres above the ellipsoid
  double azimuth = 0.0;     ///< radiant azimuth, degrees from north through east (direction it came from)
  double elevation = 0.0;   ///< radiant elevation, degrees
  double speed = 0.0;       ///< Earth-fixed speed at the point, m/s
};

/// The "orbit" object of the solution JSON: {"time", "point": {"latitude",
/// "longitude", "height"}, "vInit", "vInf", "vGeocentric", "vHeliocentric",
/// "radiantApparent": {"ra", "dec"}, "radiantGeocentric": {"ra", "dec"},
/// "radiantEcliptic": {"longitude", "latitude"}, "solarLongitude",
/// "zenithAttraction", "a", "e", "i", "omega", "node", "q", "Q", "period",
/// "trueAnomaly", "tisserand", "radiantOfDate": {"ra", "dec"} (the Earth-fixed radiant,
/// true equator and equinox of date), "radiantHorizontal": {"azimuth", "elevation"} (the
/// same at the point), "siderealTime" (apparent local sidereal time at the point's
/// longitude, degrees), "radiantHeliocentric": {"longitude", "latitude"} (J2000 ecliptic),
/// "perihelionLongitude" (Pi), "perihelionLatitude" (b), "meanAnomaly" (M), "meanMotion"
/// (n, degrees per day)}, units as above; numbers that are not finite, and Q, period, M
/// and n when absent (e >= 1), are null. When `shower.checked`, also "shower": null (a
/// sporadic) or showerJson(...).
/// Given: the orbit, its reference point (degrees, metres) and time (s since 1970 UTC).
nlohmann::ordered_json orbitJson(const Orbit& orbit, const GeodeticPosition& point, double time,
                                 const ShowerAssociation& shower = {});

/// {"code", "number", "name", "radiantDistance" (deg), "vgDifference" ((vG - vG of the
/// row)/vG of the row), "solarLongitudeDifference" (deg)} and, after a Monte Carlo run,
/// "membership" (0-1: the share of the draws in the same shower).
nlohmann::ordered_json showerJson(const ShowerMatch& match);

/// The text report's line of a shower: "Shower: GEM Geminids (IAU 4): radiant 0.84° away,
/// vG +1.2%, solar longitude -0.31°" (and the membership), or "Shower: sporadic".
std::string showerLine(const ShowerAssociation& shower);

/// The `sightline orbit` document: {"format": "sightline-orbit", "version": 1,
/// "state": {"time", "latitude", "longitude", "height", "azimuth", "elevation",
/// "speed"} (the input as given: ISO UTC, degrees, metres, degrees, degrees, m/s),
/// "orbit": orbitJson(...) or null, "warnings": [English texts], "warningCodes": [codes]}.
void writeOrbitJson(std::ostream& out, const OrbitCommand& input, const OrbitResult& result,
                    const ShowerAssociation& shower = {});

/// The readable figures of an orbit, one per line with unit and frame, each line
/// starting with `indent` (for the solution's text report). With `sigma` (the
/// 1-sigma of each figure, same units), every figure it has is followed by " ± sigma".
/// With `shower` checked, a last line showerLine(...).
void writeOrbitFigures(std::ostream& out, const Orbit& orbit, const char* indent = "  ",
                       const Orbit* sigma = nullptr, const ShowerAssociation* shower = nullptr);

/// The `sightline orbit --format text` report: the input, the figures (or why
/// there are none) and the warnings with their codes.
void writeOrbitText(std::ostream& out, const OrbitCommand& input, const OrbitResult& result,
                    const ShowerAssociation& shower = {});

}  // namespace sightline
