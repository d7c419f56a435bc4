// What a figure of a solution shows, in the units of its axes, before any
// drawing: the ground map (km east and north of an origin on the ground), the
// height profile (km along the track, km above the ellipsoid) and the
// residuals (seconds or sighting number, arcseconds), the lag (seconds, metres)
// and the speed (seconds, km/s) against time. figure.cpp draws it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "trajectory/event.hpp"
#include "trajectory/solution.hpp"

namespace sightline {

/// A point of the ground map: km east and north of the map's origin.
struct MapPoint {
  double east = 0.0;   ///< km
  double north = 0.0;  ///< km
};

/// A station on the ground map.
struct MapStation {
  std::size_t station = 0;  ///< index into Event::stations
  std::string name;
  MapPoint at;
};

/// A line of sight on the ground map, from the station to the ground below its point
/// (or, without a point, a short ray along its azimuth).
struct MapSightLine {
  std::size_t station = 0;
  MapPoint from;
  MapPoint to;
  bool toPoint = true;  ///< false: no point, a ray along the azimuth
};

/// A marked point of the trajectory on the map and in the profile.
struct TrackMark {
  std::string label;    ///< "begin", "end" or a sighting label
  MapPoint at;
  double distance = 0.0;  ///< km along the track from the begin point
  double height = 0.0;    ///< km above the ellipsoid
  bool triangulated = false;  ///< a point triangulated from sightings with this label, not an end of the line
};

/// The 1-sigma ellipse of a point's horizontal position, on the ground map.
struct MapEllipse {
  std::string label;      ///< "begin" or "end"
  MapPoint centre;
  double major = 0.0;     ///< km, semi-axis
  double minor = 0.0;     ///< km, semi-axis
  double angle = 0.0;     ///< radians from the map's east axis toward north, of the major axis
};

/// A sighting's point in the height profile.
struct ProfilePoint {
  std::size_t station = 0;
  double distance = 0.0;  ///< km along the track from the begin point
  double height = 0.0;    ///< km above the ellipsoid
};

/// A sighting's residual.
struct ResidualPoint {
  std::size_t station = 0;
  double x = 0.0;         ///< seconds from the first sighting, or the sighting number (1-based)
  double residual = 0.0;  ///< arcseconds, signed
  double sigma = 0.0;     ///< arcseconds, the sighting's 1-sigma
  bool excluded = false;  ///< left out of the fit (a bad frame or a bad station): drawn as a cross
};

/// A sighting's value against time: its lag, or a point-to-point speed between two
/// consecutive timed sightings of one station.
struct TimePoint {
  std::size_t station = 0;  ///< index into Event::stations
  double time = 0.0;        ///< s from the speed model's begin time, on the reference clock
  double value = 0.0;       ///< lag: m (length minus initial speed times time, minus c); speed: km/s
};

/// A sample of the speed model, with its 1-sigma spread when known.
struct SpeedSample {
  double time = 0.0;   ///< s from the speed model's begin time, on the reference clock
  double speed = 0.0;  ///< km/s, Earth-fixed: vInf - a1*a2*exp(a2*t)
  double sigma = 0.0;  ///< km/s, 1 sigma over the Monte Carlo draws (0 when not known)
};

/// A point of a light curve: absolute magnitude against height.
struct LightCurvePoint {
  std::size_t station = 0;        ///< index into Event::stations (unused for the combined curve)
  double height = 0.0;            ///< km above the ellipsoid
  double magnitude = 0.0;         ///< absolute magnitude (at 100 km)
};

/// Everything a figure shows.
struct FigureScene {
  std::string title;     ///< event name and time
  std::string subtitle;  ///< source and status

  // Ground map.
  GeodeticPosition origin;              ///< degrees; the map's (0, 0), on the ellipsoid
  std::string mapOrigin;                ///< what the origin is, e.g. "the track's middle"
  std::vector<MapStation> stations;     ///< every station, in event order
  std::vector<MapSightLine> sightLines;
  std::vector<MapPoint> track;          ///< ground projection of the trajectory, begin to end; empty without one
  std::vector<TrackMark> marks;         ///< begin and end (with a trajectory), then triangulated labelled points
  std::vector<MapEllipse> ellipses;     ///< begin and end, when uncertainties are known
  std::string mapNote;                  ///< empty, or a short remark on what the map cannot show

  // Height profile.
  std::vector<ProfilePoint> profile;
  std::vector<ProfilePoint> fittedLine;  ///< heights of the trajectory line, sampled begin to end (station unused)
  std::string profileAxis;               ///< what the distance is measured along
  std::string profileNote;               ///< empty, or a short remark (e.g. why it is empty)

  // Residuals.
  bool residualsAgainstTime = false;
  std::vector<ResidualPoint> residuals;
  std::string residualNote;              ///< empty, or a short remark (e.g. why it is empty)

  // Lag against time, per station (timed sightings only).
  std::vector<TimePoint> lags;           ///< value in m
  std::string lagNote;                   ///< empty, or a short remark (e.g. "no times: no speed model")

  // Speed against time.
  std::vector<SpeedSample> speedModel;   ///< the model's curve, begin time to the last timed sighting (sigma 0)
  std::vector<SpeedSample> speedBand;    ///< the model's 1-sigma band at the Monte Carlo band's times; empty without one
  std::vector<TimePoint> pointSpeeds;    ///< value in km/s, at the midpoint time of each pair of consecutive sightings
  std::string speedNote;                 ///< empty, or a short remark (e.g. "no times: no speed model")

  // Light curve (sightings with magnitudes only; no panel when empty).
  std::vector<LightCurvePoint> lightCurve;     ///< each sighting's absolute magnitude, in its station's marker
  std::vector<LightCurvePoint> combinedCurve;  ///< the stations' combined light curve, in the order of flight

  std::vector<std::string> caption;  ///< lines of key figures
};

/// Speed (m/s) of the speed model `v` at `t` seconds from its begin time: vInf - a1*a2*exp(a2*t),
/// with a1 (m) and a2 (1/s) as stored (zero for the Constant model).
double modelSpeed(const Velocity& v, double t);

class Geoid;

/// Builds the scene of `solution` of `event` (see the units above); never fails:
/// what cannot be shown is left empty with a note. `source` names the input;
/// with `geoid`, the caption gives heights above sea level too.
FigureScene buildFigureScene(const Event& event, const Solution& solution, const std::string& source,
                             const Geoid* geoid = nullptr);

/// Fills the light curve of `scene` from `solution`'s absolute magnitudes and photometry, with a
/// caption line on the peak, the F parameter and the mass (plot/panel_light_curve.cpp).
void addLightCurve(const Solution& solution, FigureScene& scene);

/// Map coordinates (km east, km north) of a geodetic position's ground point, seen from `origin`.
MapPoint toMap(const GeodeticPosition& origin, double latitude, double longitude);

/// Geodetic latitude and longitude (degrees) of the ground point that toMap() puts at `point` (km), seen from `origin`.
void fromMap(const GeodeticPosition& origin, const MapPoint& point, double& latitude, double& longitude);

}  // namespace sightline
