// `sightline darkflight`: where the stones of a fireball land.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
}

namespace sightline {

/// What `sightline darkflight` was given, as the options hold it.
struct DarkFlightOptions {
  std::string solution;
  std::string time;
  double latitude = 0.0, longitude = 0.0, height = 0.0, azimuth = 0.0, elevation = 0.0;  ///< degrees, metres
  double speed = 0.0;                         ///< km/s
  std::string wind;
  std::string masses;                         ///< "KG[,KG...]"
  double density = 3500.0;
  std::string shape = "sphere";
  double shapeFactor = 1.21;
  double groundHeight = 0.0;
  int draws = 0;
  std::uint64_t seed = 0;
  int threads = 0;
  double sigmaPosition = 0.0, sigmaSpeed = 0.0, sigmaDirection = 0.0;  ///< m, km/s, degrees
  double windSigma = 2.0, shapeFactorRange = 0.15, densityRange = 0.10;
  std::string format = "text";
  std::string output;
  std::string plot;
  std::vector<CLI::Option*> stateOptions;     ///< --time ... --speed, to tell which were given
  CLI::Option *shapeFactorOption = nullptr, *shapeOption = nullptr;
  CLI::Option *sigmaPositionOption = nullptr, *sigmaSpeedOption = nullptr, *sigmaDirectionOption = nullptr;
};

/// Adds the `darkflight` subcommand and its options (filled into `options`) to `app`.
CLI::App* addDarkFlightCommand(CLI::App& app, DarkFlightOptions& options);

/// Computes and writes the dark flight (results to `out`, messages to `err`); returns the exit status.
int runDarkFlightCommand(const DarkFlightOptions& options, std::FILE* out, std::FILE* err);

}  // namespace sightline
