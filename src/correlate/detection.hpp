// One camera's record of one moving object: the unit the correlator works on.
//
// A detection is what a network camera writes for one meteor (or satellite,
// aircraft, noise track) in one FF file: the camera's position and a list of
// timed, refraction-corrected directions. The correlator decides which
// detections of different stations are one meteor.
#pragma once

#include <string>
#include <vector>

#include "earth/frames.hpp"
#include "trajectory/event.hpp"

namespace sightline {

/// A single-station detection.
struct Detection {
  std::string station;   ///< station identifier (the camera's stationID)
  std::string file;      ///< the file it was read from, as the user named it
  std::string ff;        ///< FF file name (empty for sources without one)
  int meteor = 0;        ///< Meteor# within the file (from 1; 0 when none)
  double fps = 0.0;      ///< frames per second (0 when not known)
  /// Latitude, longitude (degrees, WGS84) and height in metres above mean sea level, as the camera gives it.
  GeodeticPosition position;
  /// Height of the geoid above the ellipsoid at the station, metres: position.height + geoidHeight
  /// is the height above the ellipsoid that the geometry uses.
  double geoidHeight = 0.0;
  /// Directions in time order: azimuth (degrees from north through east) and elevation (degrees,
  /// refraction-corrected), time (seconds since 1970-01-01T00:00:00Z, on the station's clock),
  /// magnitude when known.
  std::vector<Sighting> sightings;
};

/// Orders detections by content (first time, station, FF name, meteor, file, number of sightings):
/// the correlator's tie-breaker, so that results never depend on input order.
bool detectionBefore(const Detection& a, const Detection& b);

}  // namespace sightline
