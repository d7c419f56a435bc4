// Synthetic nights of a camera network with known truth: cameras with fields
// of view over a region, meteors from a few radiants and sporadic ones (some
// in clusters seconds apart), clock offsets, meteors split over two FF files,
// co-located cameras, and detections that are no meteor (satellites,
// aircraft, noise tracks). Shared by the correlator's tests, its benchmark
// and the example night's generator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "correlate/correlate.hpp"
#include "correlate/detection.hpp"
#include "geometry/vector3.hpp"

namespace sightline::synthetic {

/// What the night is made of.
struct NightPlan {
  std::uint64_t seed = 1;
  double latitude = 50.0, longitude = 10.0;  ///< degrees: the region's centre
  double radius = 250e3;                     ///< m: stations within this distance of the centre
  int sites = 30;                            ///< station sites
  double colocatedFraction = 0.3;            ///< sites with a second camera (another stationID) beside the first
  int meteors = 1000;
  double clusterFraction = 0.05;             ///< meteors that come in clusters of 2-4 within a few seconds
  double showerFraction = 0.6;               ///< meteors from the radiants (the rest sporadic)
  double maxClockOffset = 4.0;               ///< s: each camera's clock is off by up to this
  double noise = 0.02;                       ///< degrees: each direction's error (1 sigma)
  int satellites = 40, aircraft = 20, noiseTracks = 200;
  double start = 1796760000.0;               ///< s since 1970: 2026-12-08T20:00:00Z
  double duration = 8 * 3600.0;              ///< s: the night (across 00:00 UTC by default)
  double fieldRadius = 35.0;                 ///< degrees: each camera's field of view (a cone)
  double maxRange = 500e3;                   ///< m: farthest point a camera records
};

/// One camera.
struct Camera {
  std::string id;               ///< stationID
  double latitude = 0.0, longitude = 0.0, height = 0.0;  ///< degrees, degrees, m above mean sea level
  Vector3 position;             ///< ECEF, m (height taken above the ellipsoid: the night's geoid is zero)
  Vector3 axis;                 ///< ECEF unit vector: centre of the field of view
  double clockOffset = 0.0;     ///< s: camera time minus true time
  double ffPhase = 0.0;         ///< s: start of the camera's FF files modulo their length
  int site = 0;
};

/// What each object of the night really was.
enum class Kind { Meteor, Satellite, Aircraft, Noise };

struct Truth {
  Kind kind = Kind::Meteor;
  Vector3 begin, end;   ///< ECEF, m
  double beginTime = 0.0, endTime = 0.0;
  int cluster = -1;     ///< cluster number, -1 alone
};

/// A synthetic night: detections and, for each, the object it saw.
struct Night {
  std::vector<Camera> cameras;
  std::vector<Truth> objects;
  std::vector<sightline::Detection> detections;  ///< geoidHeight 0, file = camera id
  std::vector<int> object;                       ///< by detection: index into objects
  std::vector<int> camera;                       ///< by detection: index into cameras
};

/// The night of `plan` (reproducible from its seed).
Night makeNight(const NightPlan& plan);

/// Writes the night as camera-night folders under `root`:
/// ROOT/<ID>/<ID>_<date>_<time>/{.config, FTPdetectinfo_<ID>_....txt}, the
/// detections' file members set to those paths. Returns the folders written.
std::vector<std::string> writeNightFolders(Night& night, const std::string& root);

/// Numbers each camera's detections 1, 2, ... in the order of their FF names (Meteor#).
void numberMeteors(Night& night);

/// The FTPdetectinfo text of a camera's detections (12-column frame lines).
std::string ftpDetectInfoText(const Night& night, int camera);

/// How good a correlation of the night is.
struct Score {
  int events = 0;
  int pureEvents = 0;          ///< every detection from one meteor
  int eligible = 0;            ///< meteors seen by two stations >= 5 km apart with planes >= 3 degrees apart
  int found = 0;               ///< eligible meteors in some event
  int complete = 0;            ///< ... in an event with every station that detected them
  int split = 0;               ///< meteors in more than one event
  int eventDetections = 0;     ///< detections in events
  int falseInEvents = 0;       ///< of them, no meteor's
  double purity() const { return events ? double(pureEvents) / events : 1.0; }
  double foundFraction() const { return eligible ? double(found) / eligible : 1.0; }
  double completeFraction() const { return eligible ? double(complete) / eligible : 1.0; }
  double splitFraction() const { return eligible ? double(split) / eligible : 0.0; }
  double falseFraction() const { return eventDetections ? double(falseInEvents) / eventDetections : 0.0; }
};

/// The score of `events` (indices into night.detections) against the truth.
Score score(const Night& night, const std::vector<sightline::CorrelatedEvent>& events);

}  // namespace sightline::synthetic
