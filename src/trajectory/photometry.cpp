#include "trajectory/photometry.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "earth/frames.hpp"
#include "trajectory/solution.hpp"

namespace sightline {

namespace {

/// Magnitudes per factor 10 in power (Pogson's scale): I = I0 * 10^(-0.4 M).
constexpr double kMagnitudesPerDecade = 2.5;
/// Magnitudes per factor 10 in range (inverse-square law: 2 * 2.5).
constexpr double kMagnitudesPerRangeDecade = 5.0;

/// One sighting's point of its station's light curve.
struct Sample {
  std::size_t station = 0;
  double x = 0.0;      ///< s from the begin (timed curves) or metres along the path
  double power = 0.0;  ///< W
  Vector3 ecef;
  std::optional<double> time;
  std::optional<double> speed;
};

// Where a sighting's point lies along the flight: metres from the begin point along the
// trajectory line, or, without one, minus its height (meteors fall).
double pathCoordinate(const Solution& solution, const SightingResult& r) {
  if (solution.trajectory) return dot(r.point.ecef - solution.trajectory->begin.ecef, solution.trajectory->direction);
  return -r.point.position.height;
}

bool spansTime(const std::vector<Sample>& samples) {
  if (samples.size() < 2) return false;
  const auto [low, high] = std::minmax_element(samples.begin(), samples.end(),
                                               [](const Sample& a, const Sample& b) { return a.x < b.x; });
  return high->x > low->x;
}

// The stations' samples: the timed ones when at least two distinct times are given, else all along the path.
std::vector<Sample> samplesOf(const Solution& solution, bool& timed) {
  std::vector<Sample> all, withTime;
  for (const SightingResult& r : solution.sightings) {
    if (!r.absoluteMagnitude || r.excluded) continue;
    Sample s{r.station, pathCoordinate(solution, r), radiatedPower(*r.absoluteMagnitude), r.point.ecef, r.timeFromBegin,
             r.velocity};
    all.push_back(s);
    if (r.timeFromBegin) {
      s.x = *r.timeFromBegin;
      withTime.push_back(s);
    }
  }
  timed = spansTime(withTime);
  return timed ? withTime : all;
}

double median(std::vector<double> values) {
  const std::size_t mid = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid), values.end());
  const double upper = values[mid];
  if (values.size() % 2 == 1) return upper;
  return 0.5 * (upper + *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid)));
}

// The median spacing of consecutive samples of one station, pooled over the stations (0: no spacing).
double binWidth(const std::vector<Sample>& samples) {
  std::map<std::size_t, std::vector<double>> byStation;
  for (const Sample& s : samples) byStation[s.station].push_back(s.x);
  std::vector<double> gaps;
  for (auto& [station, xs] : byStation) {
    std::sort(xs.begin(), xs.end());
    for (std::size_t k = 1; k < xs.size(); ++k) {
      if (xs[k] > xs[k - 1]) gaps.push_back(xs[k] - xs[k - 1]);
    }
  }
  return gaps.empty() ? 0.0 : median(gaps);
}

// The samples grouped into bins of `width` from the first; width 0: one bin per distinct coordinate.
std::vector<std::vector<Sample>> binned(const std::vector<Sample>& samples, double width) {
  double first = samples.front().x;
  for (const Sample& s : samples) first = std::min(first, s.x);
  std::map<double, std::vector<Sample>> bins;
  for (const Sample& s : samples) {
    const double key = width > 0.0 ? std::round((s.x - first) / width) : s.x;
    bins[key].push_back(s);
  }
  std::vector<std::vector<Sample>> out;
  for (auto& [key, members] : bins) out.push_back(std::move(members));
  return out;
}

/// Sums of one station's samples in a bin.
struct StationSum {
  int count = 0;
  double x = 0.0, power = 0.0, time = 0.0, speed = 0.0;
  Vector3 ecef;
  bool timed = true, withSpeed = true;
};

// A bin as one sample: each station's samples averaged, then the stations averaged (power, not magnitude).
LightCurveSample binSample(const std::vector<Sample>& members) {
  std::map<std::size_t, StationSum> stations;
  for (const Sample& s : members) {
    StationSum& sum = stations[s.station];
    ++sum.count;
    sum.power += s.power;
    sum.ecef = sum.ecef + s.ecef;
    sum.timed = sum.timed && s.time.has_value();
    sum.withSpeed = sum.withSpeed && s.speed.has_value();
    sum.time += s.time.value_or(0.0);
    sum.speed += s.speed.value_or(0.0);
  }
  double power = 0.0, time = 0.0, speed = 0.0;
  Vector3 ecef;
  bool timed = true, withSpeed = true;
  for (const auto& [station, sum] : stations) {
    power += sum.power / sum.count;
    time += sum.time / sum.count;
    speed += sum.speed / sum.count;
    ecef = ecef + (1.0 / sum.count) * sum.ecef;
    timed = timed && sum.timed;
    withSpeed = withSpeed && sum.withSpeed;
  }
  const double n = static_cast<double>(stations.size());
  LightCurveSample out;
  out.power = power / n;
  out.absoluteMagnitude = -kMagnitudesPerDecade * std::log10(out.power / kZeroMagnitudePower);
  out.ecef = (1.0 / n) * ecef;
  out.position = toGeodetic(out.ecef);
  if (timed) out.time = time / n;
  if (timed && withSpeed) out.speed = speed / n;
  out.stations = static_cast<int>(stations.size());
  return out;
}

// Each sighting's absolute magnitude; true when any sighting has a magnitude.
bool setAbsoluteMagnitudes(const Event& event, Solution& solution) {
  bool any = false;
  for (SightingResult& r : solution.sightings) {
    if (r.station >= event.stations.size() || r.sighting >= event.stations[r.station].sightings.size()) continue;
    const std::optional<double>& m = event.stations[r.station].sightings[r.sighting].magnitude;
    any = any || m.has_value();
    if (m && r.hasPoint && r.range > 0.0) r.absoluteMagnitude = absoluteMagnitude(*m, r.range);
  }
  return any;
}

// The mass of a timed curve, or the warning that says why there is none.
void massOf(const Event& event, const Solution& solution, Photometry& p, std::vector<Warning>& warnings) {
  const std::optional<double> initial =
      solution.trajectory && solution.trajectory->velocity ? std::optional<double>(solution.trajectory->velocity->initial)
                                                           : std::nullopt;
  p.tau = luminousEfficiencyOf(event.luminousEfficiency, initial);
  if (!p.timed || p.curve.size() < 2) {
    warnings.push_back({"no-mass-without-times", "fewer than two timed sightings with magnitudes: no photometric mass"});
    return;
  }
  std::vector<double> time, power, speed;
  for (const LightCurveSample& s : p.curve) {
    if (!s.speed || !s.time) break;
    time.push_back(*s.time);
    power.push_back(s.power);
    speed.push_back(*s.speed);
  }
  if (time.size() < p.curve.size() || !p.tau) {
    warnings.push_back({"no-mass-without-speed", "the timed sightings with magnitudes have no speed model: no photometric mass"});
    return;
  }
  p.mass = photometricMass(time, power, speed, *p.tau);
  if (!p.mass)
    warnings.push_back({"no-mass-without-speed", "the speed model is not positive over the whole light curve: no photometric mass"});
}

}  // namespace

double absoluteMagnitude(double apparent, double range) {
  return apparent + kMagnitudesPerRangeDecade * std::log10(kAbsoluteMagnitudeRange / range);
}

double radiatedPower(double absolute) {
  return kZeroMagnitudePower * std::pow(10.0, -absolute / kMagnitudesPerDecade);
}

std::optional<double> photometricMass(const std::vector<double>& time, const std::vector<double>& power,
                                      const std::vector<double>& speed, double tau) {
  if (time.size() < 2 || power.size() != time.size() || speed.size() != time.size() || !(tau > 0.0)) return std::nullopt;
  // The mass loss rate of the luminous equation I = -(tau/2) v^2 dm/dt.
  std::vector<double> rate(time.size());
  for (std::size_t k = 0; k < time.size(); ++k) {
    if (!(speed[k] > 0.0)) return std::nullopt;
    rate[k] = 2.0 * power[k] / (tau * speed[k] * speed[k]);
  }
  double mass = 0.0;
  for (std::size_t k = 1; k < time.size(); ++k) mass += 0.5 * (rate[k - 1] + rate[k]) * (time[k] - time[k - 1]);
  return mass;
}

std::optional<Photometry> photometryOf(const Event& event, Solution& solution, std::vector<Warning>& warnings) {
  if (!setAbsoluteMagnitudes(event, solution)) return std::nullopt;
  Photometry p;
  p.model = event.luminousEfficiency.model;
  const std::vector<Sample> samples = samplesOf(solution, p.timed);
  if (samples.empty()) {
    warnings.push_back({"no-photometry-without-points", "no sighting with a magnitude has a point: no light curve"});
    return std::nullopt;
  }
  for (const std::vector<Sample>& bin : binned(samples, binWidth(samples))) p.curve.push_back(binSample(bin));
  const auto peak = std::max_element(p.curve.begin(), p.curve.end(),
                                     [](const LightCurveSample& a, const LightCurveSample& b) { return a.power < b.power; });
  p.peakAbsoluteMagnitude = peak->absoluteMagnitude;
  p.peak = peak->position;
  p.peakTime = peak->time;
  if (solution.trajectory) {
    const double begin = solution.trajectory->begin.position.height, end = solution.trajectory->end.position.height;
    if (begin != end) p.fParameter = (begin - p.peak.height) / (begin - end);
  }
  massOf(event, solution, p, warnings);
  return p;
}

}  // namespace sightline
