// `sightline orbit`: the orbit of a state given on the command line.
#pragma once

#include <cstdio>
#include <string>

#include "app/showers.hpp"

namespace CLI {
class App;
}

namespace sightline {

/// What `sightline orbit` was given, as text and numbers from the options.
struct OrbitOptions {
  std::string time;          ///< ISO 8601 UTC
  double latitude = 0.0;     ///< degrees, geodetic WGS84
  double longitude = 0.0;    ///< degrees east
  double height = 0.0;       ///< metres above the WGS84 ellipsoid
  double azimuth = 0.0;      ///< radiant azimuth, degrees from north through east
  double elevation = 0.0;    ///< radiant elevation, degrees
  double speed = 0.0;        ///< Earth-fixed speed, km/s
  std::string format = "text";
  ShowerSettings showers;    ///< the shower table and the limits of the rule
};

/// Adds the `orbit` subcommand and its options (filled into `options`) to `app`.
CLI::App* addOrbitCommand(CLI::App& app, OrbitOptions& options);

/// Computes and writes the orbit to `out` (messages to `err`); returns the exit status.
int runOrbit(const OrbitOptions& options, std::FILE* out, std::FILE* err);

}  // namespace sightline
