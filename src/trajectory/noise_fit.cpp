#include "trajectory/noise_fit.hpp"

#include <cmath>
#include <string>
#include <vector>

#include "common/text.hpp"
#include "geometry/angles.hpp"
#include "trajectory/constants.hpp"
#include "trajectory/noise.hpp"

namespace sightline {

namespace tc = trajectory_constants;

namespace {

/// Refits with new sigmas until no sigma moves by more than this fraction.
constexpr double kSigmaTolerance = 0.05;
/// Most refits for the sigmas after one decision on exclusions.
constexpr int kMaxSigmaRefits = 4;

/// What the estimate needs of the event, and which sightings state their sigma.
struct NoiseSetup {
  std::vector<StationNoiseInput> stations;
  std::vector<char> stated;        // per prepared sighting
  std::vector<std::string> names;  // per station
};

NoiseSetup noiseSetup(const Event& event, const PreparedEvent& prepared) {
  NoiseSetup setup;
  setup.stations.resize(event.stations.size());
  setup.stated.resize(prepared.sightings.size());
  std::vector<double> squares(event.stations.size(), 0.0);
  for (std::size_t s = 0; s < event.stations.size(); ++s) setup.names.push_back(event.stations[s].name);
  for (std::size_t s = 0; s < event.stations.size(); ++s) setup.stations[s].stated = !event.stations[s].sightings.empty();
  for (std::size_t i = 0; i < prepared.sightings.size(); ++i) {
    const PreparedSighting& ps = prepared.sightings[i];
    StationNoiseInput& in = setup.stations[ps.station];
    setup.stated[i] = sigmaStated(event, ps.station, ps.index);
    ++in.sightings;
    in.stated = in.stated && setup.stated[i];
    squares[ps.station] += ps.sigma * ps.sigma;
  }
  for (std::size_t s = 0; s < setup.stations.size(); ++s) {
    StationNoiseInput& in = setup.stations[s];
    if (in.stated) in.statedSigma = std::sqrt(squares[s] / static_cast<double>(in.sightings));
  }
  return setup;
}

/// The fit's misfits, per prepared sighting (radians).
std::vector<SightingMisfit> misfitsOf(const Solution& solution, const PreparedEvent& prepared) {
  std::vector<SightingMisfit> misfits(prepared.sightings.size());
  const double perArcsec = degToRad(1.0 / tc::kArcsecondsPerDegree);
  for (std::size_t i = 0; i < misfits.size() && i < solution.sightings.size(); ++i) {
    const SightingResult& r = solution.sightings[i];
    SightingMisfit& m = misfits[i];
    m.station = prepared.sightings[i].station;
    m.excluded = prepared.sightings[i].excluded;
    m.hasPoint = r.hasPoint && solution.trajectory.has_value();
    m.crossTrack = r.residual * perArcsec;
    if (r.alongTrackResidual && std::isfinite(*r.alongTrackResidual)) m.alongTrack = *r.alongTrackResidual * perArcsec;
  }
  return misfits;
}

/// Gives the sightings that state no sigma their station's; true when one moved by more than the tolerance.
bool applySigmas(const NoiseSetup& setup, const std::vector<StationNoise>& noise, PreparedEvent& prepared) {
  bool moved = false;
  for (std::size_t i = 0; i < prepared.sightings.size(); ++i) {
    PreparedSighting& ps = prepared.sightings[i];
    if (setup.stated[i]) continue;
    const double sigma = noise[ps.station].sigma;
    moved = moved || std::fabs(sigma - ps.sigma) > kSigmaTolerance * ps.sigma;
  }
  if (!moved) return false;
  for (std::size_t i = 0; i < prepared.sightings.size(); ++i) {
    if (!setup.stated[i]) prepared.sightings[i].sigma = noise[prepared.sightings[i].station].sigma;
  }
  return true;
}

/// Estimates, applies and refits until the sigmas settle; returns the last estimate.
std::vector<StationNoise> settleSigmas(const NoiseSetup& setup, const PreparedFit& fit, PreparedEvent& prepared,
                                       Solution& solution) {
  std::vector<StationNoise> noise;
  for (int refit = 0; refit <= kMaxSigmaRefits; ++refit) {
    noise = estimateStationSigmas(setup.stations, misfitsOf(solution, prepared), fittedParameters(solution));
    if (refit == kMaxSigmaRefits || !applySigmas(setup, noise, prepared)) break;
    solution = fit(prepared);
  }
  return noise;
}

/// Marks what `exclusion` leaves out in `prepared` and `setup`; its warnings go into `warnings`.
void exclude(const Exclusion& exclusion, const Event& event, NoiseSetup& setup, PreparedEvent& prepared,
             const Solution& solution, std::vector<Warning>& warnings) {
  if (exclusion.station) {
    const std::size_t s = *exclusion.station;
    setup.stations[s].excluded = true;
    for (std::size_t i : prepared.stationSightings[s]) prepared.sightings[i].excluded = true;
    warnings.push_back({"station-excluded", "station " + event.stations[s].name + " left out of the fit: " + exclusion.reason});
    return;
  }
  for (std::size_t i : exclusion.sightings) {
    const PreparedSighting& ps = prepared.sightings[i];
    prepared.sightings[i].excluded = true;
    warnings.push_back({"sighting-excluded", "station " + event.stations[ps.station].name + ", sighting " +
                                                 std::to_string(ps.index + 1) + " left out of the fit: its " +
                                                 formatted("%.1f", std::fabs(solution.sightings[i].residual)) +
                                                 " arcseconds " + exclusion.reason});
  }
}

/// Per station: the sigma its sightings were weighed with (degrees): a stated station's as
/// stated (the quadratic mean when its sightings differ), else the last one applied.
std::vector<StationSigma> stationSigmasOf(const Event& event, const std::vector<StationNoise>& noise,
                                          const NoiseSetup& setup, const PreparedEvent& prepared) {
  std::vector<StationSigma> sigmas;
  for (std::size_t s = 0; s < noise.size(); ++s) {
    StationSigma out{s, radToDeg(noise[s].sigma), noise[s].source, std::nullopt};
    bool same = true;
    for (std::size_t i : prepared.stationSightings[s]) {
      const PreparedSighting& ps = prepared.sightings[i];
      if (!setup.stated[i]) out.sigma = radToDeg(ps.sigma);
      same = same && sightingSigma(event, s, ps.index) == sightingSigma(event, s, 0);
    }
    if (setup.stations[s].stated && same) out.sigma = sightingSigma(event, s, 0);
    if (noise[s].residualRms) out.residualRms = radToDeg(*noise[s].residualRms);
    sigmas.push_back(out);
  }
  return sigmas;
}

}  // namespace

std::size_t fittedParameters(const Solution& solution) {
  if (!solution.trajectory) return 0;
  std::size_t parameters = 4;
  if (const auto& v = solution.trajectory->velocity) parameters += v->model == VelocityModel::Exponential ? 4 : 2;
  for (const StationClock& c : solution.trajectory->clockOffsets) parameters += c.fitted ? 1 : 0;
  return parameters;
}

Solution fitWithNoise(const Event& event, PreparedEvent& prepared, const PreparedFit& fit) {
  NoiseSetup setup = noiseSetup(event, prepared);
  Solution solution = fit(prepared);
  std::vector<Warning> warnings;
  std::vector<StationNoise> noise;
  const std::size_t maxRounds = prepared.sightings.size() + 1;  // each round leaves out at least one sighting
  for (std::size_t round = 0; round < maxRounds; ++round) {
    if (!solution.trajectory) {
      noise = estimateStationSigmas(setup.stations, misfitsOf(solution, prepared), 0);
      break;
    }
    noise = settleSigmas(setup, fit, prepared, solution);
    const Exclusion exclusion = decideExclusion(setup.stations, noise, misfitsOf(solution, prepared));
    if (!exclusion.station && exclusion.sightings.empty()) break;
    exclude(exclusion, event, setup, prepared, solution, warnings);
    solution = fit(prepared);
  }
  for (std::size_t i = 0; i < solution.sightings.size() && i < prepared.sightings.size(); ++i)
    solution.sightings[i].excluded = prepared.sightings[i].excluded;
  solution.stationSigmas = stationSigmasOf(event, noise, setup, prepared);
  const std::vector<Warning> stated = statedSigmaWarnings(setup.stations, noise, setup.names,
                                                          misfitsOf(solution, prepared), fittedParameters(solution));
  solution.warnings.insert(solution.warnings.end(), warnings.begin(), warnings.end());
  solution.warnings.insert(solution.warnings.end(), stated.begin(), stated.end());
  return solution;
}

void applySolvedNoise(const Solution& solution, PreparedEvent& prepared) {
  for (std::size_t i = 0; i < prepared.sightings.size() && i < solution.sightings.size(); ++i) {
    // Only a real change: a round trip through degrees must not move the draws' last bits.
    const double sigma = degToRad(solution.sightings[i].sigma);
    if (std::fabs(sigma - prepared.sightings[i].sigma) > 1e-12 * prepared.sightings[i].sigma)
      prepared.sightings[i].sigma = sigma;
    prepared.sightings[i].excluded = solution.sightings[i].excluded;
  }
}

}  // namespace sightline
