#include "darkflight/standard_atmosphere.hpp"

#include <array>
#include <cmath>

#include "darkflight/constants.hpp"

namespace sightline::darkflight {

namespace {

/// One layer of the 1976 standard: base geopotential height (m) and lapse rate (K/m).
struct Layer {
  double base;
  double lapse;
};

constexpr std::array<Layer, 8> kLayers{{{0.0, -6.5e-3},
                                        {11000.0, 0.0},
                                        {20000.0, 1.0e-3},
                                        {32000.0, 2.8e-3},
                                        {47000.0, 0.0},
                                        {51000.0, -2.8e-3},
                                        {71000.0, -2.0e-3},
                                        {84852.0, 0.0}}};

/// g0 M0 / R*, K/m: the hydrostatic constant of the standard.
constexpr double kHydrostatic = kStandardGravity * kMolarMassAir / kUniversalGasConstant;

/// Temperature and pressure at geopotential height `h` above the base of a layer
/// with base temperature `tb` and pressure `pb` (eqs. 33a and 33b).
void layerAir(const Layer& layer, double tb, double pb, double h, double& t, double& p) {
  const double dh = h - layer.base;
  if (layer.lapse == 0.0) {
    t = tb;
    p = pb * std::exp(-kHydrostatic * dh / tb);
  } else {
    t = tb + layer.lapse * dh;
    p = pb * std::pow(tb / t, kHydrostatic / layer.lapse);
  }
}

/// Base temperatures (K) and pressures (Pa) of the layers, computed once from the sea-level values.
struct Bases {
  std::array<double, kLayers.size()> temperature{};
  std::array<double, kLayers.size()> pressure{};
  Bases() {
    temperature[0] = kSeaLevelTemperature;
    pressure[0] = kSeaLevelPressure;
    for (std::size_t i = 1; i < kLayers.size(); ++i)
      layerAir(kLayers[i - 1], temperature[i - 1], pressure[i - 1], kLayers[i].base, temperature[i], pressure[i]);
  }
};

const Bases& bases() {
  static const Bases b;
  return b;
}

}  // namespace

double geopotentialHeight(double z) { return kGeopotentialRadius * z / (kGeopotentialRadius + z); }

double geometricHeight(double h) { return kGeopotentialRadius * h / (kGeopotentialRadius - h); }

StandardAir standardAtmosphere(double z) {
  const double h = geopotentialHeight(z);
  std::size_t i = 0;
  while (i + 1 < kLayers.size() && h >= kLayers[i + 1].base) ++i;
  StandardAir air;
  layerAir(kLayers[i], bases().temperature[i], bases().pressure[i], h, air.temperature, air.pressure);
  air.density = air.pressure * kMolarMassAir / (kUniversalGasConstant * air.temperature);
  return air;
}

}  // namespace sightline::darkflight
