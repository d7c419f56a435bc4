#include "trajectory/noise.hpp"

#include <algorithm>
#include <cmath>

#include "common/text.hpp"
#include "geometry/angles.hpp"
#include "trajectory/event.hpp"

namespace sightline {

namespace {

/// A station needs this many sightings in the file for a sigma of its own.
constexpr std::size_t kOwnEstimateSightings = 6;
/// A stated sigma is overstated when the residual RMS is below it divided by this.
constexpr double kOverstatedFactor = 5.0;
/// A stated sigma is understated when the residual RMS is above it times this.
constexpr double kUnderstatedFactor = 3.0;
/// A bad frame's cross-track residual exceeds this many robust sigmas of its station.
constexpr double kBadFrameSigmas = 5.0;
/// Sightings in the fit a station needs before its frames are judged by its own robust sigma.
constexpr std::size_t kFrameJudgedSightings = 6;
/// A bad station's RMS exceeds this multiple of the median of the others'.
constexpr double kBadStationRatio = 3.0;
/// ... and this, arcseconds.
constexpr double kBadStationRmsArcsec = 30.0;
/// A biased station's mean cross-track residual is this many standard errors from zero.
constexpr double kBiasStandardErrors = 5.0;
/// Good stations that must remain after a station is left out.
constexpr std::size_t kMinGoodStations = 2;
/// Longer runs of consecutive frames over the bound are the model's misfit (a trend, e.g. the
/// end of a long flight), not bad frames.
constexpr std::size_t kLongestBadRun = 2;
/// Median absolute deviation to standard deviation for Gaussian errors.
constexpr double kMadToSigma = 1.4826;
/// One arcsecond in radians.
constexpr double kArcsecond = 3.14159265358979323846 / 648000.0;

/// Squared residuals and components of one station.
struct Sums {
  double squares = 0.0;
  std::size_t components = 0;
};

void add(Sums& sums, const SightingMisfit& m) {
  sums.squares += m.crossTrack * m.crossTrack;
  ++sums.components;
  if (m.alongTrack) {
    sums.squares += *m.alongTrack * *m.alongTrack;
    ++sums.components;
  }
}

/// Per station: the sums over its sightings in the fit; an excluded station's over all its points.
std::vector<Sums> stationSums(std::size_t stations, const std::vector<StationNoiseInput>& inputs,
                              const std::vector<SightingMisfit>& misfits) {
  std::vector<Sums> sums(stations);
  for (const SightingMisfit& m : misfits) {
    if (m.station >= stations || !m.hasPoint || !std::isfinite(m.crossTrack)) continue;
    if (m.excluded && !inputs[m.station].excluded) continue;
    if (inputs[m.station].excluded) {  // out of the fit: its clock is not fitted, so only the cross-track residual speaks
      sums[m.station].squares += m.crossTrack * m.crossTrack;
      ++sums[m.station].components;
      continue;
    }
    add(sums[m.station], m);
  }
  return sums;
}

/// 1 - P/M: the share of the residuals' variance the fit leaves (M components in the fit); 0 when none.
double freedomFactor(const std::vector<SightingMisfit>& misfits, std::size_t parameters) {
  std::size_t components = 0;
  for (const SightingMisfit& m : misfits) {
    if (!m.hasPoint || m.excluded || !std::isfinite(m.crossTrack)) continue;
    components += m.alongTrack ? 2 : 1;
  }
  if (components <= parameters) return 0.0;
  return 1.0 - static_cast<double>(parameters) / static_cast<double>(components);
}

double estimated(double squares, double components, double factor) {
  return std::max(std::sqrt(squares / (components * factor)), kSigmaFloor);
}

double median(std::vector<double> values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  if (values.size() % 2 == 1) return *middle;
  return 0.5 * (*middle + *std::max_element(values.begin(), middle));
}

std::string arcsec(double radians) { return formatted("%.1f", radToDeg(radians) * 3600.0); }

}  // namespace

const char* sigmaSourceName(SigmaSource source) {
  switch (source) {
    case SigmaSource::Stated: return "stated";
    case SigmaSource::Estimated: return "estimated";
    case SigmaSource::Pooled: return "pooled";
    case SigmaSource::Default: return "default";
  }
  return "default";
}

std::vector<StationNoise> estimateStationSigmas(const std::vector<StationNoiseInput>& stations,
                                                const std::vector<SightingMisfit>& misfits, std::size_t parameters) {
  const std::vector<Sums> sums = stationSums(stations.size(), stations, misfits);
  const double factor = freedomFactor(misfits, parameters);
  Sums pool;
  for (std::size_t s = 0; s < stations.size(); ++s) {
    if (stations[s].sightings < kOwnEstimateSightings || stations[s].excluded) continue;
    pool.squares += sums[s].squares;
    pool.components += sums[s].components;
  }
  const bool pooled = factor > 0.0 && pool.components > 0;
  std::vector<StationNoise> noise(stations.size());
  for (std::size_t s = 0; s < stations.size(); ++s) {
    StationNoise& n = noise[s];
    n.components = sums[s].components;
    if (n.components > 0) n.residualRms = std::sqrt(sums[s].squares / static_cast<double>(n.components));
    if (stations[s].stated) {
      n.source = SigmaSource::Stated;
      n.sigma = stations[s].statedSigma;
    } else if (stations[s].sightings >= kOwnEstimateSightings && factor > 0.0 && n.components > 0) {
      n.source = SigmaSource::Estimated;
      n.sigma = estimated(sums[s].squares, static_cast<double>(n.components), factor);
    } else if (pooled) {
      n.source = SigmaSource::Pooled;
      n.sigma = estimated(pool.squares, static_cast<double>(pool.components), factor);
    } else {
      n.source = SigmaSource::Default;
      n.sigma = degToRad(kDefaultSigmaDegrees);
    }
  }
  return noise;
}

std::vector<Warning> statedSigmaWarnings(const std::vector<StationNoiseInput>& stations,
                                         const std::vector<StationNoise>& noise, const std::vector<std::string>& names,
                                         const std::vector<SightingMisfit>& misfits, std::size_t parameters) {
  std::vector<Warning> warnings;
  if (!(freedomFactor(misfits, parameters) > 0.0)) return warnings;
  for (std::size_t s = 0; s < stations.size(); ++s) {
    if (noise[s].source != SigmaSource::Stated || !noise[s].residualRms || noise[s].components < 2) continue;
    const double rms = *noise[s].residualRms, stated = noise[s].sigma;
    const std::string said = "station " + names[s] + ": residual RMS " + arcsec(rms) + " arcseconds against the stated sigma " +
                             arcsec(stated) + " arcseconds";
    if (rms < stated / kOverstatedFactor) {
      warnings.push_back({"sigma-overstated", said + " (under a fifth): the stated sigma is too large"});
    } else if (rms > kUnderstatedFactor * stated) {
      warnings.push_back({"sigma-understated", said + " (over three times): the stated sigma is too small"});
    }
  }
  return warnings;
}

namespace {

/// Mean and standard error of a station's cross-track residuals in the fit.
struct Bias {
  double mean = 0.0;
  double standardError = 0.0;
  std::size_t count = 0;
};

Bias crossTrackBias(std::size_t station, const std::vector<SightingMisfit>& misfits) {
  Bias b;
  double sum = 0.0, squares = 0.0;
  for (const SightingMisfit& m : misfits) {
    if (m.station != station || !m.hasPoint || m.excluded || !std::isfinite(m.crossTrack)) continue;
    sum += m.crossTrack;
    squares += m.crossTrack * m.crossTrack;
    ++b.count;
  }
  if (b.count < 2) return b;
  const double n = static_cast<double>(b.count);
  b.mean = sum / n;
  const double variance = std::max(squares - n * b.mean * b.mean, 0.0) / (n - 1.0);
  b.standardError = std::sqrt(variance / n);
  return b;
}

/// The worst bad station, if any (see decideExclusion).
Exclusion badStation(const std::vector<StationNoiseInput>& stations, const std::vector<StationNoise>& noise,
                     const std::vector<SightingMisfit>& misfits) {
  std::vector<std::size_t> good;
  std::size_t out = 0, total = 0;
  for (std::size_t s = 0; s < stations.size(); ++s) {
    if (stations[s].sightings == 0) continue;
    ++total;
    if (stations[s].excluded) ++out;
    else if (noise[s].residualRms) good.push_back(s);
  }
  Exclusion worst;
  if (good.size() < kMinGoodStations + 1 || 2 * (out + 1) > total) return worst;
  double worstRatio = 0.0;
  for (std::size_t s : good) {
    std::vector<double> others;
    for (std::size_t o : good)
      if (o != s) others.push_back(*noise[o].residualRms);
    const double rms = *noise[s].residualRms, typical = median(others);
    const Bias bias = crossTrackBias(s, misfits);
    if (!(rms > kBadStationRatio * typical && rms > kBadStationRmsArcsec * kArcsecond)) continue;
    if (!(bias.count >= 2 && std::fabs(bias.mean) > kBiasStandardErrors * bias.standardError)) continue;
    const double ratio = typical > 0.0 ? rms / typical : HUGE_VAL;
    if (worst.station && !(ratio > worstRatio)) continue;
    worstRatio = ratio;
    worst.station = s;
    worst.reason = "residual RMS " + arcsec(rms) + " arcseconds, " + formatted("%.1f", ratio) +
                   " times the median of the other stations (" + arcsec(typical) + "), and its cross-track residuals are biased (mean " +
                   arcsec(bias.mean) + " arcseconds, " + formatted("%.1f", std::fabs(bias.mean) / bias.standardError) +
                   " standard errors from zero)";
  }
  return worst;
}

/// Length of the run of consecutive set flags through position k.
std::size_t runLength(const std::vector<char>& flags, std::size_t k) {
  std::size_t first = k, last = k;
  while (first > 0 && flags[first - 1]) --first;
  while (last + 1 < flags.size() && flags[last + 1]) ++last;
  return last - first + 1;
}

/// The bad frames of the station with the worst one, if any (see decideExclusion).
Exclusion badFrames(const std::vector<StationNoiseInput>& stations, const std::vector<SightingMisfit>& misfits) {
  Exclusion worst;
  double worstRatio = 0.0;
  for (std::size_t s = 0; s < stations.size(); ++s) {
    if (stations[s].excluded) continue;
    std::vector<std::size_t> inFit;
    std::vector<double> sizes;
    for (std::size_t i = 0; i < misfits.size(); ++i) {
      const SightingMisfit& m = misfits[i];
      if (m.station != s || !m.hasPoint || m.excluded || !std::isfinite(m.crossTrack)) continue;
      inFit.push_back(i);
      sizes.push_back(std::fabs(m.crossTrack));
    }
    if (inFit.size() < kFrameJudgedSightings) continue;
    const double robust = std::max(kMadToSigma * median(sizes), kSigmaFloor);
    std::vector<char> over(inFit.size());
    for (std::size_t k = 0; k < inFit.size(); ++k) over[k] = sizes[k] > kBadFrameSigmas * robust;
    Exclusion frames;
    double largest = 0.0;
    for (std::size_t k = 0; k < inFit.size(); ++k) {
      if (!over[k] || runLength(over, k) > kLongestBadRun) continue;
      frames.sightings.push_back(inFit[k]);
      largest = std::max(largest, sizes[k] / robust);
    }
    if (frames.sightings.empty() || 2 * frames.sightings.size() > inFit.size() || !(largest > worstRatio)) continue;
    worstRatio = largest;
    frames.reason = "cross-track residual over " + formatted("%.0f", kBadFrameSigmas) + " times its station's robust sigma (" +
                    arcsec(robust) + " arcseconds)";
    worst = frames;
  }
  return worst;
}

}  // namespace

Exclusion decideExclusion(const std::vector<StationNoiseInput>& stations, const std::vector<StationNoise>& noise,
                          const std::vector<SightingMisfit>& misfits) {
  Exclusion station = badStation(stations, noise, misfits);
  if (station.station) return station;
  return badFrames(stations, misfits);
}

}  // namespace sightline
