// The luminous efficiency: the share of a meteoroid's lost kinetic energy that
// leaves as light in the cameras' passband, which turns a light curve into a
// photometric mass (trajectory/photometry.hpp).
#pragma once

#include <optional>
#include <string>

namespace sightline {

/// Which luminous efficiency the photometric mass uses.
enum class LuminousEfficiencyModel {
  Constant,        ///< one value for every meteor (LuminousEfficiency::tau, 0.7% by default)
  Drolshagen2021,  ///< tau = 0.0023 % * (vInit / km/s)^2.3, from the meteor's initial speed (see luminousEfficiencyOf)
};

/// The luminous efficiency a solve uses.
struct LuminousEfficiency {
  LuminousEfficiencyModel model = LuminousEfficiencyModel::Constant;
  double tau = 0.007;  ///< fraction (0.007 is 0.7%), used by the Constant model only; 0 < tau <= 1
};

/// Luminous efficiency of the networks' photometric masses: 0.7%, as a fraction.
inline constexpr double kDefaultLuminousEfficiency = 0.007;

/// "constant" or "drolshagen2021".
const char* luminousEfficiencyName(LuminousEfficiencyModel model);
/// The model named `name` ("constant", "drolshagen2021"), if any.
std::optional<LuminousEfficiencyModel> luminousEfficiencyFromName(const std::string& name);

/// The luminous efficiency (a fraction) of a meteor.
///
/// Given:
///   efficiency     the model, and tau for the Constant model (fraction)
///   initialSpeed   m/s, the meteor's initial (pre-deceleration) speed; needed by
///                  Drolshagen2021 only (> 0)
///
/// Returned:
///   the fraction tau (0.007 is 0.7%); nullopt when the model needs a speed and none
///   (or none > 0) is given
///
/// Notes:
///   Drolshagen2021: the fit of tau against the pre-atmospheric speed v_e of 294
///   fireballs of the FRIPON network, tau = 0.0023 * v_e^2.3 with tau in per cent and
///   v_e in km/s (Drolshagen E., Ott T., Koschny D. et al. 2021, "Luminous efficiency
///   based on FRIPON meteors and limitations of ablation models", A&A 652, A84).
///   It gives 0.70% at 12 km/s, 2.26% at 20 km/s and 40% at 70 km/s; the fitted
///   events' speeds span the meteors a fireball network records. The initial speed of
///   the speed model stands for v_e.
std::optional<double> luminousEfficiencyOf(const LuminousEfficiency& efficiency, std::optional<double> initialSpeed);

}  // namespace sightline
