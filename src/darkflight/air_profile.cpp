#include "darkflight/air_profile.hpp"

#include <algorithm>
#include <cmath>

#include "darkflight/constants.hpp"
#include "darkflight/standard_atmosphere.hpp"

namespace sightline::darkflight {

namespace {

double soundSpeedAt(double temperature) {
  return std::sqrt(kHeatCapacityRatio * kDryAirGasConstant * temperature);
}

}  // namespace

void windComponents(double speed, double from, double& east, double& north) {
  east = -speed * std::sin(from * kRadiansPerDegree);
  north = -speed * std::cos(from * kRadiansPerDegree);
}

AirProfile::AirProfile(const std::vector<AirLevel>& levels) {
  for (const AirLevel& level : levels) {
    height_.push_back(level.height);
    temperature_.push_back(level.temperature);
    logDensity_.push_back(std::log(level.pressure / (kDryAirGasConstant * level.temperature)));
    double u = 0.0, v = 0.0;
    windComponents(level.windSpeed, level.windFrom, u, v);
    east_.push_back(u);
    north_.push_back(v);
  }
}

AirSample AirProfile::at(double h) const {
  AirSample air;
  if (height_.empty() || h > height_.back()) {
    const StandardAir standard = standardAtmosphere(h);
    air.temperature = standard.temperature;
    air.density = standard.density;
    if (!height_.empty()) {
      const double fade = std::max(0.0, 1.0 - (h - height_.back()) / kWindFadeAboveTop);
      air.windEast = east_.back() * fade;
      air.windNorth = north_.back() * fade;
    }
  } else if (!(h > height_.front())) {
    air.temperature = temperature_.front();
    air.density = std::exp(logDensity_.front());
    air.windEast = east_.front();
    air.windNorth = north_.front();
  } else {
    const std::size_t j = static_cast<std::size_t>(std::upper_bound(height_.begin(), height_.end(), h) - height_.begin());
    const std::size_t i = std::min(j, height_.size() - 1);  // h == top: the last interval
    const double f = (h - height_[i - 1]) / (height_[i] - height_[i - 1]);
    auto lerp = [&](const std::vector<double>& y) { return y[i - 1] + f * (y[i] - y[i - 1]); };
    air.temperature = lerp(temperature_);
    air.density = std::exp(lerp(logDensity_));
    air.windEast = lerp(east_);
    air.windNorth = lerp(north_);
  }
  air.soundSpeed = soundSpeedAt(air.temperature);
  return air;
}

}  // namespace sightline::darkflight
