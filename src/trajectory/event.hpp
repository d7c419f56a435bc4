// An event to solve: stations with their sightings, as the observers gave them.
//
// Conventions of the whole trajectory library:
// - positions are geodetic WGS84: latitude and longitude in degrees (north and
//   east positive), height in metres above the WGS84 ellipsoid;
// - azimuth in degrees from north through east (0 north, 90 east), elevation
//   in degrees above the station's horizon (the plane perpendicular to the
//   ellipsoid normal);
// - angular sigmas are angles on the sky in degrees;
// - times are seconds since 1970-01-01T00:00:00Z (UTC, no leap seconds), see
//   trajectory/time.hpp for ISO 8601 text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/diagnostics.hpp"
#include "earth/frames.hpp"
#include "trajectory/luminous_efficiency.hpp"
#include "trajectory/velocity.hpp"

namespace sightline {

/// How the elevations of an event were reduced for atmospheric refraction.
enum class Refraction {
  None,       ///< straight lines of sight, elevations used as given
  Corrected,  ///< elevations corrected for refraction as for a star (astrometric reduction)
  Apparent,   ///< elevations as seen through the air
};

/// One sighting of a point of the fireball's path from a station.
struct Sighting {
  double azimuth = 0.0;           ///< degrees from north through east
  double elevation = 0.0;         ///< degrees above the station's horizon
  std::string label;              ///< e.g. "begin", "end", "flare"; empty when none
  std::optional<double> time;     ///< seconds since 1970-01-01T00:00:00Z (UTC)
  std::optional<double> sigma;    ///< degrees on the sky; falls back to the station's, then the event's
  std::optional<double> magnitude;  ///< apparent visual magnitude of the fireball at this sighting, when measured
};

/// What a station's height is measured from.
enum class HeightReference {
  Ellipsoid,     ///< metres above the WGS84 ellipsoid (what solve() needs)
  MeanSeaLevel,  ///< metres above mean sea level (the EGM96 geoid); converted before solving
};

/// A station: where it stood and what it saw.
struct Station {
  std::string name;
  GeodeticPosition position;
  HeightReference heightReference = HeightReference::Ellipsoid;  ///< of position.height
  std::optional<double> sigma;    ///< degrees on the sky, default for its sightings
  std::vector<Sighting> sightings;
};

/// Which motion solve() fits to a timed event (event key "trajectoryModel").
enum class TrajectoryModel {
  Gravity,   ///< gravity and the turning Earth (trajectory/gravity_fit.hpp); untimed events stay straight
  Straight,  ///< one straight line in the Earth-fixed frame
};

/// Settings of the Monte Carlo uncertainty estimate (0 draws: none).
struct MonteCarloOptions {
  int draws = 0;
  std::uint64_t seed = 20261208;  ///< fixed default, so that runs are reproducible
  int threads = 0;                ///< 0: all cores
};

/// Default angular error of a sighting, degrees on the sky.
inline constexpr double kDefaultSigmaDegrees = 0.05;

/// One fireball seen from any number of stations.
struct Event {
  std::string name;                     ///< optional
  std::optional<double> time;           ///< seconds since 1970-01-01T00:00:00Z (UTC)
  Refraction refraction = Refraction::Corrected;
  /// Degrees on the sky, default of every sighting; empty when the event states none (then
  /// kDefaultSigmaDegrees until solve() estimates the stations' sigmas from their residuals).
  std::optional<double> sigma;
  std::vector<Station> stations;
  MonteCarloOptions monteCarlo;
  /// Triangulate sightings that share a label at two or more stations as one point.
  /// Off where labels only mark each station's own first and last sightings
  /// (network files), which are different points of the path.
  bool triangulateLabels = true;
  /// Fit each station's clock offset with the speed model ("fit"), or take the
  /// clocks as synchronised ("none").
  ClockOffsetMode clockOffsets = ClockOffsetMode::Fit;
  /// The motion fitted to timed sightings.
  TrajectoryModel trajectoryModel = TrajectoryModel::Gravity;
  /// The luminous efficiency of the photometric mass (trajectory/photometry.hpp).
  LuminousEfficiency luminousEfficiency;
};

/// The angular sigma (degrees on the sky) that applies to sighting `k` of station `s`:
/// the sighting's, else the station's, else the event's, else kDefaultSigmaDegrees.
double sightingSigma(const Event& event, std::size_t s, std::size_t k);

/// Whether sighting `k` of station `s` has a stated sigma (its own, its station's or the event's).
bool sigmaStated(const Event& event, std::size_t s, std::size_t k);

/// "none", "corrected" or "apparent".
const char* refractionName(Refraction refraction);
/// The refraction handling named `name` ("none", "corrected", "apparent"), if any.
std::optional<Refraction> refractionFromName(const std::string& name);

/// "gravity" or "straight".
const char* trajectoryModelName(TrajectoryModel model);
/// The trajectory model named `name` ("gravity", "straight"), if any.
std::optional<TrajectoryModel> trajectoryModelFromName(const std::string& name);

/// An event read from a file, or why it could not be.
struct EventReadResult {
  Event event;
  std::optional<InputError> error;
};

}  // namespace sightline
