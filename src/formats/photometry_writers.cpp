#include "formats/photometry_writers.hpp"

#include <cmath>

#include "common/text.hpp"
#include "earth/geoid.hpp"

namespace sightline {

namespace {

using Json = nlohmann::ordered_json;

constexpr double kMetresPerKilometre = 1000.0;
constexpr double kPerCent = 100.0;
/// Decimals of magnitudes (the inputs give two at most), metres and seconds in the map properties.
constexpr int kMagnitudeDecimals = 3;
constexpr int kMetreDecimals = 3;
constexpr int kSecondDecimals = 6;
constexpr int kRatioDecimals = 6;

Json optionalNumber(const std::optional<double>& x) {
  return x && std::isfinite(*x) ? Json(*x) : Json(nullptr);
}

// `x` rounded to `decimals` places, as the map writers print their numbers (null when not finite).
Json rounded(const std::optional<double>& x, int decimals) {
  if (!x || !std::isfinite(*x)) return nullptr;
  const double scale = std::pow(10.0, decimals);
  return std::round(*x * scale) / scale + 0.0;
}

std::optional<double> seaLevel(const GeodeticPosition& p, const Geoid* geoid) {
  if (geoid == nullptr) return std::nullopt;
  const double h = geoid->heightAboveSeaLevel(p);
  return std::isfinite(h) ? std::optional<double>(h) : std::nullopt;
}

// "constant 0.70%" or "drolshagen2021 2.26%" (or "drolshagen2021, not known").
std::string efficiencyText(const Photometry& p) {
  const std::string name = luminousEfficiencyName(p.model);
  return p.tau ? name + formatted(" %.2f%%", *p.tau * kPerCent) : name + ", not known without a speed";
}

}  // namespace

Json photometryJson(const std::optional<Photometry>& photometry, const OutputContext& context) {
  if (!photometry) return nullptr;
  const Photometry& p = *photometry;
  Json j;
  j["peakAbsoluteMagnitude"] = optionalNumber(p.peakAbsoluteMagnitude);
  j["peakHeight"] = optionalNumber(p.peak.height);
  j["peakHeightMsl"] = optionalNumber(seaLevel(p.peak, context.geoid));
  j["peakTime"] = optionalNumber(p.peakTime);
  j["fParameter"] = optionalNumber(p.fParameter);
  j["mass"] = optionalNumber(p.mass);
  j["luminousEfficiency"] = Json{{"model", luminousEfficiencyName(p.model)}, {"tau", optionalNumber(p.tau)}};
  return j;
}

Json sightingMagnitudesJson(const Sighting* given, const SightingResult& result) {
  return Json{{"magnitude", optionalNumber(given != nullptr ? given->magnitude : std::nullopt)},
              {"absoluteMagnitude", optionalNumber(result.absoluteMagnitude)}};
}

Json sightingMagnitudeProperties(const Sighting* given, const SightingResult& result) {
  return Json{{"magnitude", rounded(given != nullptr ? given->magnitude : std::nullopt, kMagnitudeDecimals)},
              {"absoluteMagnitude", rounded(result.absoluteMagnitude, kMagnitudeDecimals)}};
}

void writePhotometryText(std::ostream& out, const std::optional<Photometry>& photometry, const OutputContext& context) {
  if (!photometry) return;
  const Photometry& p = *photometry;
  out << "\nPhotometry (absolute magnitudes at 100 km; the stations' light curves combined "
      << (p.timed ? "by time" : "along the path") << formatted(", %zu samples)\n", p.curve.size());
  std::string peak = formatted("  peak     absolute magnitude %.2f at height %.3f km", p.peakAbsoluteMagnitude,
                               p.peak.height / kMetresPerKilometre);
  if (const auto msl = seaLevel(p.peak, context.geoid)) peak += formatted(" (%.3f km above sea level)", *msl / kMetresPerKilometre);
  if (p.peakTime) peak += formatted(", %.3f s after the begin", *p.peakTime);
  out << peak << '\n';
  out << (p.fParameter ? formatted("  F        %.3f (0: peak at the begin, 1: at the end)\n", *p.fParameter)
                       : std::string("  F        not known (no trajectory line)\n"));
  out << (p.mass ? formatted("  mass     %.4g kg (photometric; luminous efficiency ", *p.mass) + efficiencyText(p) + ")\n"
                 : "  mass     not known (see the warnings; luminous efficiency " + efficiencyText(p) + ")\n");
}

std::string photometrySummary(const Photometry& p) {
  std::string text = formatted("Photometry: peak absolute magnitude %.2f at %.3f km", p.peakAbsoluteMagnitude,
                               p.peak.height / kMetresPerKilometre);
  if (p.fParameter) text += formatted(", F %.3f", *p.fParameter);
  if (p.mass) text += formatted(", photometric mass %.4g kg (", *p.mass) + efficiencyText(p) + ")";
  return text;
}

std::string photometryCsvHeader() { return ",magnitude,absolute_magnitude"; }

std::string photometryCsvFields(const Sighting& given, const SightingResult* result) {
  std::string out = ",";
  if (given.magnitude) out += formatted("%.3f", *given.magnitude);
  out += ",";
  if (result != nullptr && result->absoluteMagnitude) out += formatted("%.3f", *result->absoluteMagnitude);
  return out;
}

Json photometryProperties(const Photometry& p, const Geoid* geoid) {
  return Json{{"peakAbsoluteMagnitude", rounded(p.peakAbsoluteMagnitude, kMagnitudeDecimals)},
              {"peakHeight", rounded(p.peak.height, kMetreDecimals)},
              {"peakHeightMsl", rounded(seaLevel(p.peak, geoid), kMetreDecimals)},
              {"peakTime", rounded(p.peakTime, kSecondDecimals)},
              {"fParameter", rounded(p.fParameter, kRatioDecimals)},
              {"photometricMass_kg", p.mass ? Json(*p.mass) : Json(nullptr)},
              {"luminousEfficiency", luminousEfficiencyName(p.model)},
              {"tau", optionalNumber(p.tau)}};
}

}  // namespace sightline
