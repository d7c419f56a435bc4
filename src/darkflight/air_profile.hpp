// The air the stone falls through: a measured or modelled profile of
// temperature, pressure and wind against height above mean sea level, with
// the U.S. Standard Atmosphere 1976 above it (or alone, without a profile).
#pragma once

#include <vector>

namespace sightline::darkflight {

/// One level of a profile, as the profile files give it.
struct AirLevel {
  double height = 0.0;       ///< metres above mean sea level (geometric)
  double temperature = 0.0;  ///< K
  double pressure = 0.0;     ///< Pa
  double windSpeed = 0.0;    ///< horizontal wind, m/s
  double windFrom = 0.0;     ///< degrees from north through east that the wind blows FROM
};

/// The air at one height: what the drag needs.
struct AirSample {
  double temperature = 0.0;  ///< K
  double density = 0.0;      ///< kg/m^3
  double soundSpeed = 0.0;   ///< m/s
  double windEast = 0.0;     ///< m/s, the velocity of the air toward the east
  double windNorth = 0.0;    ///< m/s, toward the north
};

/// How far (metres) a profile's wind is carried above its top level before it
/// has faded linearly to nothing.
constexpr double kWindFadeAboveTop = 10000.0;
/// How far (metres) the lowest level may lie above the ground: below it its values are used.
constexpr double kLowestLevelAboveGround = 100.0;

/// The east and north components (m/s) of a wind of `speed` m/s blowing from
/// `from` degrees: u = -W sin d, v = -W cos d.
void windComponents(double speed, double from, double& east, double& north);

/// A profile of the air against height above mean sea level.
class AirProfile {
 public:
  /// Still air and the 1976 standard at every height.
  AirProfile() = default;
  /// The profile of `levels`: two or more, heights strictly increasing,
  /// temperatures and pressures positive, winds not negative (the readers check).
  explicit AirProfile(const std::vector<AirLevel>& levels);

  /// The air at `heightMsl` metres above mean sea level.
  ///
  /// Notes: between levels, temperature, ln(density) and the wind's east and
  /// north components are linear in height, density P / (287.05 T) of dry air
  /// and the speed of sound sqrt(1.4 * 287.05 T). Below the lowest level, the
  /// lowest level's values. Above the top level, the 1976 standard's
  /// temperature and density at that height, unscaled, and the top level's
  /// wind times max(0, 1 - (h - h_top) / 10 km). Without levels, the 1976
  /// standard and still air.
  AirSample at(double heightMsl) const;

  bool empty() const { return height_.empty(); }
  /// Height of the lowest level, metres above mean sea level (profile not empty).
  double lowest() const { return height_.front(); }
  /// Height of the top level, metres above mean sea level (profile not empty).
  double top() const { return height_.back(); }

 private:
  std::vector<double> height_, temperature_, logDensity_, east_, north_;
};

}  // namespace sightline::darkflight
