#include "trajectory/luminous_efficiency.hpp"

#include <cmath>

namespace sightline {

namespace {

// Drolshagen et al. 2021 (A&A 652, A84): tau [%] = 0.0023 * (v_e [km/s])^2.3.
constexpr double kDrolshagenPercentAtOneKilometrePerSecond = 0.0023;
constexpr double kDrolshagenSpeedExponent = 2.3;
constexpr double kMetresPerSecondPerKilometrePerSecond = 1000.0;
constexpr double kPerCent = 100.0;

}  // namespace

const char* luminousEfficiencyName(LuminousEfficiencyModel model) {
  switch (model) {
    case LuminousEfficiencyModel::Constant: return "constant";
    case LuminousEfficiencyModel::Drolshagen2021: return "drolshagen2021";
  }
  return "constant";
}

std::optional<LuminousEfficiencyModel> luminousEfficiencyFromName(const std::string& name) {
  if (name == "constant") return LuminousEfficiencyModel::Constant;
  if (name == "drolshagen2021") return LuminousEfficiencyModel::Drolshagen2021;
  return std::nullopt;
}

std::optional<double> luminousEfficiencyOf(const LuminousEfficiency& efficiency, std::optional<double> initialSpeed) {
  if (efficiency.model == LuminousEfficiencyModel::Constant) return efficiency.tau;
  if (!initialSpeed || !(*initialSpeed > 0.0) || !std::isfinite(*initialSpeed)) return std::nullopt;
  const double speed = *initialSpeed / kMetresPerSecondPerKilometrePerSecond;
  return kDrolshagenPercentAtOneKilometrePerSecond * std::pow(speed, kDrolshagenSpeedExponent) / kPerCent;
}

}  // namespace sightline
