// The fall line (one landing per mass) and the strewn field (a Monte Carlo
// cloud of landings per mass, summarised as a centre and a 95% ellipse).
#pragma once

#include <cstdint>
#include <vector>

#include "darkflight/fall.hpp"

namespace sightline::darkflight {

/// The masses of the default fall line: 10^(-3 + k/5) kg for k = 0 ... 25 (1 g to 100 kg).
std::vector<double> defaultMasses();

/// What every fall of a run shares.
struct DarkFlightInput {
  StartState start;
  std::vector<double> masses;         ///< kg, each positive
  double density = 3500.0;            ///< kg/m^3
  double shapeFactor = 1.21;          ///< A = S / V^(2/3)
  const AirProfile* air = nullptr;    ///< nullptr: still air and the 1976 standard
  const GeoidPatch* geoid = nullptr;  ///< nullptr: the geoid at 0
  FallSettings settings;              ///< the ground height and the integration's settings
};

/// One mass of the fall line.
struct FallLinePoint {
  double mass = 0.0;  ///< kg
  Landing landing;
};

/// The fall of every mass of `input`, in order (with its path when input.settings.keepPath).
std::vector<FallLinePoint> fallLine(const DarkFlightInput& input);

/// The spreads of the Monte Carlo draws.
struct DrawSpreads {
  double east = 0.0, north = 0.0, up = 0.0;  ///< 1-sigma of the start position, metres in its horizon
  double speed = 0.0;                        ///< 1-sigma of the speed, m/s
  double direction = 0.0;                    ///< 1-sigma of the elevation, degrees (azimuth: / cos el)
  double wind = 2.0;                         ///< 1-sigma of the wind's east and north offsets, m/s
  double shapeFactor = 0.15;                 ///< half-width of the uniform range of A
  double densityFraction = 0.10;             ///< half-width of the uniform range of the density, fraction of it
};

/// How to draw.
struct MonteCarloSettings {
  int draws = 0;           ///< per mass
  std::uint64_t seed = 0;  ///< the same seed gives the same draws whatever the threads
  int threads = 0;         ///< 0: all cores
  DrawSpreads spreads;
};

/// Odeint's relative and absolute (m, m/s) errors per step of the Monte Carlo draws.
constexpr double kDrawRelativeTolerance = 1e-7;
constexpr double kDrawAbsoluteTolerance = 1e-3;

/// The 95% ellipse of a cloud of landings on the ground.
struct Ellipse95 {
  double semiMajor = 0.0;  ///< metres: sqrt(5.991 lambda_max)
  double semiMinor = 0.0;  ///< metres: sqrt(5.991 lambda_min)
  double azimuth = 0.0;    ///< of the major axis, degrees from north through east, [0, 180)
};

/// The strewn field of one mass.
struct StrewnMass {
  double mass = 0.0;          ///< kg
  int draws = 0;              ///< draws that landed
  int lost = 0;               ///< draws that did not land
  GeodeticPosition centre;    ///< the mean landing point (height: the ground plus the geoid)
  Ellipse95 ellipse;          ///< from the sample covariance of east and north about the centre
};

/// The 95% ellipse (chi-square 5.991 for two degrees of freedom) of the
/// sample covariance (m^2) with east variance `ee`, north variance `nn` and
/// covariance `en`.
Ellipse95 ellipse95(double ee, double en, double nn);

/// The start of draw `draw` of mass `mass` (its index in input.masses) and
/// its body and wind offsets: position, speed, direction, wind, shape and
/// density drawn from DrawRandom(seed, massIndex * draws + draw).
struct Draw {
  State start;
  Body body;
  double windEast = 0.0, windNorth = 0.0;  ///< m/s
};
Draw drawOf(const DarkFlightInput& input, const MonteCarloSettings& mc, std::size_t massIndex, int draw);

/// mc.draws falls per mass of `input`, and their summaries in mass order;
/// `line` is fallLine(input), whose landings are the origins of the offsets.
/// The draws are integrated to kDrawRelativeTolerance: centimetres at the
/// landing, far below the spread of hundreds of metres, at half the cost.
std::vector<StrewnMass> strewnField(const DarkFlightInput& input, const MonteCarloSettings& mc,
                                    const std::vector<FallLinePoint>& line);

}  // namespace sightline::darkflight
