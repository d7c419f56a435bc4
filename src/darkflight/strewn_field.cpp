#include "darkflight/strewn_field.hpp"

#include <algorithm>
#include <cmath>

#include "darkflight/constants.hpp"
#include "uncertainty/draw_pool.hpp"
#include "uncertainty/random.hpp"

namespace sightline::darkflight {

namespace {

/// Chi-square quantile of 95% for two degrees of freedom.
constexpr double kChiSquare95TwoDof = 5.991;
/// Masses of the default fall line: 10^(-3 + k/5) kg, k = 0 ... 25.
constexpr int kDefaultMassSteps = 25;

Body bodyOf(const DarkFlightInput& input, double mass) { return Body{mass, input.density, input.shapeFactor}; }

Surroundings surroundingsOf(const DarkFlightInput& input, double windEast = 0.0, double windNorth = 0.0) {
  return Surroundings{input.air, input.geoid, windEast, windNorth};
}

/// A value drawn uniformly from [centre - halfWidth, centre + halfWidth].
double uniformAround(DrawRandom& random, double centre, double halfWidth) {
  return centre + halfWidth * (2.0 * random.uniform() - 1.0);
}

/// Mean landing point and 95% ellipse of `points` (ECEF, metres) about the
/// horizon of `reference`.
StrewnMass summarise(double mass, const std::vector<Vector3>& points, const GeodeticPosition& reference,
                     const DarkFlightInput& input) {
  StrewnMass out;
  out.mass = mass;
  out.draws = static_cast<int>(points.size());
  const LocalFrame frame = localFrame(reference);
  const Vector3 origin = toEcef(reference);
  double sumE = 0.0, sumN = 0.0;
  std::vector<std::pair<double, double>> offsets;
  for (const Vector3& p : points) {
    offsets.emplace_back(dot(p - origin, frame.east), dot(p - origin, frame.north));
    sumE += offsets.back().first;
    sumN += offsets.back().second;
  }
  const double n = static_cast<double>(points.size());
  const double meanE = n > 0 ? sumE / n : 0.0, meanN = n > 0 ? sumN / n : 0.0;
  double ee = 0.0, en = 0.0, nn = 0.0;
  for (const auto& [e, no] : offsets) {
    ee += (e - meanE) * (e - meanE);
    en += (e - meanE) * (no - meanN);
    nn += (no - meanN) * (no - meanN);
  }
  if (n > 1) out.ellipse = ellipse95(ee / (n - 1), en / (n - 1), nn / (n - 1));
  out.centre = toGeodetic(origin + meanE * frame.east + meanN * frame.north);
  out.centre.height = input.settings.groundHeight +
                      (input.geoid != nullptr ? input.geoid->at(out.centre.latitude, out.centre.longitude) : 0.0);
  return out;
}

}  // namespace

std::vector<double> defaultMasses() {
  std::vector<double> masses;
  for (int k = 0; k <= kDefaultMassSteps; ++k) masses.push_back(std::pow(10.0, -3.0 + k / 5.0));
  return masses;
}

std::vector<FallLinePoint> fallLine(const DarkFlightInput& input) {
  const State start = startVector(input.start);
  std::vector<FallLinePoint> line;
  for (const double mass : input.masses)
    line.push_back(FallLinePoint{mass, fall(start, bodyOf(input, mass), surroundingsOf(input), input.settings)});
  return line;
}

Ellipse95 ellipse95(double ee, double en, double nn) {
  const double mid = 0.5 * (ee + nn);
  const double radius = std::hypot(0.5 * (ee - nn), en);
  Ellipse95 e;
  e.semiMajor = std::sqrt(kChiSquare95TwoDof * std::max(0.0, mid + radius));
  e.semiMinor = std::sqrt(kChiSquare95TwoDof * std::max(0.0, mid - radius));
  // The major axis lies at 0.5 atan2(2 en, ee - nn) from east toward north.
  const double fromEast = 0.5 * std::atan2(2.0 * en, ee - nn) / kRadiansPerDegree;
  double azimuth = std::fmod(90.0 - fromEast, 180.0);
  if (azimuth < 0.0) azimuth += 180.0;
  e.azimuth = azimuth >= 180.0 ? 0.0 : azimuth;
  return e;
}

Draw drawOf(const DarkFlightInput& input, const MonteCarloSettings& mc, std::size_t massIndex, int draw) {
  const DrawSpreads& s = mc.spreads;
  DrawRandom random(mc.seed, static_cast<std::uint64_t>(massIndex) * static_cast<std::uint64_t>(mc.draws) +
                                 static_cast<std::uint64_t>(draw));
  const LocalFrame frame = localFrame(input.start.position);
  StartState start = input.start;
  const double east = s.east * random.normal(), north = s.north * random.normal(), up = s.up * random.normal();
  start.position = toGeodetic(toEcef(input.start.position) + east * frame.east + north * frame.north + up * frame.up);
  start.speed = std::max(0.0, start.speed + s.speed * random.normal());
  const double cosElevation = std::cos(input.start.elevation * kRadiansPerDegree);
  start.elevation += s.direction * random.normal();
  start.azimuth += (cosElevation > 1e-6 ? s.direction / cosElevation : 0.0) * random.normal();
  Draw d;
  d.windEast = s.wind * random.normal();
  d.windNorth = s.wind * random.normal();
  d.body.mass = input.masses[massIndex];
  d.body.shapeFactor = std::max(0.0, uniformAround(random, input.shapeFactor, s.shapeFactor));
  d.body.density = uniformAround(random, input.density, s.densityFraction * input.density);
  d.start = startVector(start);
  return d;
}

std::vector<StrewnMass> strewnField(const DarkFlightInput& input, const MonteCarloSettings& mc,
                                    const std::vector<FallLinePoint>& line) {
  const std::size_t masses = input.masses.size();
  const int total = static_cast<int>(masses) * mc.draws;
  std::vector<Landing> landings(static_cast<std::size_t>(total));
  FallSettings settings = input.settings;
  settings.keepPath = false;
  settings.relativeTolerance = kDrawRelativeTolerance;
  settings.absoluteTolerance = kDrawAbsoluteTolerance;
  runJobs(total, threadsFor(mc.threads, total), [&](int index, int) {
    const std::size_t m = static_cast<std::size_t>(index / mc.draws);
    const Draw d = drawOf(input, mc, m, index % mc.draws);
    landings[static_cast<std::size_t>(index)] = fall(d.start, d.body, surroundingsOf(input, d.windEast, d.windNorth), settings);
  });
  std::vector<StrewnMass> field;
  for (std::size_t m = 0; m < masses; ++m) {
    std::vector<Vector3> points;
    for (int k = 0; k < mc.draws; ++k) {
      const Landing& l = landings[m * static_cast<std::size_t>(mc.draws) + static_cast<std::size_t>(k)];
      if (l.landed) points.push_back(toEcef(l.position));
    }
    const GeodeticPosition reference = line[m].landing.landed ? line[m].landing.position : input.start.position;
    StrewnMass s = summarise(input.masses[m], points, reference, input);
    s.lost = mc.draws - s.draws;
    field.push_back(s);
  }
  return field;
}

}  // namespace sightline::darkflight
