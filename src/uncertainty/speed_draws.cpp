#include "uncertainty/speed_draws.hpp"

#include <cmath>

#include "uncertainty/statistics.hpp"

namespace sightline {

namespace {

// Quantiles of the reported 95% intervals.
constexpr double kLow = 0.025;
constexpr double kHigh = 0.975;
// Times at which the model speed's band is sampled, begin to last sighting.
constexpr int kBandSamples = 33;

Interval intervalOf(const std::vector<double>& values) {
  return {quantile(values, kLow), quantile(values, kHigh)};
}

}  // namespace

SpeedDraws::SpeedDraws(const Event& event, const PreparedEvent& prepared, const CoreResult& core,
                       const Solution& nominal, int draws)
    : prepared_(&prepared), mode_(event.clockOffsets), model_(event.trajectoryModel) {
  const std::optional<double> epoch = earliestTime(prepared);
  if (!nominal.trajectory || !nominal.trajectory->velocity || !epoch) return;
  epoch_ = *epoch;
  start_ = fitTimed(prepared, core, epoch_, mode_, model_);
  if (!start_.speed.ok) return;
  wanted_ = true;
  for (const ClockOffset& c : start_.speed.offsets) clockStations_.push_back(c.station);
  const double duration = nominal.trajectory->velocity->duration;
  for (int j = 0; j < kBandSamples; ++j) bandTimes_.push_back(duration * j / (kBandSamples - 1));
  if (nominal.orbit) orbitEpoch_ = orbitEpochOf(nominal.orbit->time);
  slots_.resize(static_cast<std::size_t>(draws));
}

bool SpeedDraws::record(std::size_t draw, CoreResult& r) {
  if (!wanted_ || draw >= slots_.size() || !r.hasLine) return true;
  const TimedFit timed = fitTimed(*prepared_, r, epoch_, mode_, model_, &start_);
  if (start_.gravity && !timed.gravity) return false;
  applyGravity(timed, r);
  const VelocityFit& fit = timed.speed;
  if (!fit.ok || !std::isfinite(fit.initialVelocity) || fit.offsets.size() != clockStations_.size()) return true;
  Slot& slot = slots_[draw];
  slot.initial = fit.initialVelocity;
  slot.final = fit.finalVelocity;
  slot.a1 = std::fabs(fit.a1);
  slot.a2 = std::fabs(fit.a2);
  slot.offsets.clear();
  for (const ClockOffset& c : fit.offsets) slot.offsets.push_back(c.offset);
  slot.band.clear();
  for (const double t : bandTimes_) slot.band.push_back(modelSpeed(fit, t));
  if (orbitEpoch_) {
    const Velocity v = velocityOf(fit, epoch_, std::nullopt);
    const OrbitResult orbit = computeOrbit(beginState(r, v), *orbitEpoch_);
    if (orbit.ok) slot.orbit = orbit.orbit;
  }
  slot.speed = true;
  return true;
}

void SpeedDraws::summarise(Solution& nominal) const {
  if (!wanted_ || !nominal.trajectory || !nominal.trajectory->velocity) return;
  summariseVelocity(*nominal.trajectory->velocity, nominal.trajectory->clockOffsets);
  if (nominal.orbit) summariseOrbit(*nominal.orbit);
}

void SpeedDraws::summariseVelocity(Velocity& velocity, std::vector<StationClock>& clocks) const {
  std::vector<double> initial, final, a1, a2;
  std::vector<std::vector<double>> offsets(clockStations_.size()), band(bandTimes_.size());
  for (const Slot& s : slots_) {
    if (!s.speed) continue;
    initial.push_back(s.initial);
    final.push_back(s.final);
    a1.push_back(s.a1);
    a2.push_back(s.a2);
    for (std::size_t k = 0; k < offsets.size(); ++k) offsets[k].push_back(s.offsets[k]);
    for (std::size_t j = 0; j < band.size(); ++j) band[j].push_back(s.band[j]);
  }
  if (initial.size() < 2) return;
  VelocityUncertainty u;
  u.draws = static_cast<int>(initial.size());
  u.initial = standardDeviation(initial);
  u.final = standardDeviation(final);
  u.a1 = standardDeviation(a1);
  u.a2 = standardDeviation(a2);
  u.initialInterval = intervalOf(initial);
  u.finalInterval = intervalOf(final);
  u.a1Interval = intervalOf(a1);
  u.a2Interval = intervalOf(a2);
  for (std::size_t j = 0; j < band.size(); ++j) u.speedBand.push_back({bandTimes_[j], standardDeviation(band[j])});
  velocity.uncertainty = u;
  for (StationClock& clock : clocks) {
    for (std::size_t k = 0; k < clockStations_.size(); ++k) {
      if (clockStations_[k] != clock.station || !clock.fitted) continue;
      clock.sigma = standardDeviation(offsets[k]);
      clock.interval = intervalOf(offsets[k]);
    }
  }
}

namespace {

// The sigmas of the Earth-fixed radiant of date, sidereal time, heliocentric radiant and
// perihelion figures over `orbits` (two or more); M and n when every draw has them.
void summariseAddedFigures(Orbit& s, const std::vector<Orbit>& orbits) {
  auto values = [&](auto field) {
    std::vector<double> v;
    for (const Orbit& o : orbits) v.push_back(field(o));
    return v;
  };
  s.radiantOfDate.ra = circularSigmaDegrees(values([](const Orbit& o) { return o.radiantOfDate.ra; }));
  s.radiantOfDate.dec = standardDeviation(values([](const Orbit& o) { return o.radiantOfDate.dec; }));
  s.radiantAzimuth = circularSigmaDegrees(values([](const Orbit& o) { return o.radiantAzimuth; }));
  s.radiantElevation = standardDeviation(values([](const Orbit& o) { return o.radiantElevation; }));
  s.siderealTime = circularSigmaDegrees(values([](const Orbit& o) { return o.siderealTime; }));
  s.radiantHeliocentric.longitude =
      circularSigmaDegrees(values([](const Orbit& o) { return o.radiantHeliocentric.longitude; }));
  s.radiantHeliocentric.latitude = standardDeviation(values([](const Orbit& o) { return o.radiantHeliocentric.latitude; }));
  s.perihelionLongitude = circularSigmaDegrees(values([](const Orbit& o) { return o.perihelionLongitude; }));
  s.perihelionLatitude = standardDeviation(values([](const Orbit& o) { return o.perihelionLatitude; }));
  bool bound = true;
  for (const Orbit& o : orbits) bound = bound && o.meanAnomaly && o.meanMotion;
  if (!bound) return;
  s.meanAnomaly = circularSigmaDegrees(values([](const Orbit& o) { return *o.meanAnomaly; }));
  s.meanMotion = standardDeviation(values([](const Orbit& o) { return *o.meanMotion; }));
}

}  // namespace

void SpeedDraws::summariseOrbit(SolvedOrbit& solved) const {
  std::vector<Orbit> orbits;
  for (const Slot& s : slots_) {
    if (s.orbit) orbits.push_back(*s.orbit);
  }
  if (orbits.size() < 2) return;
  // Linear figures by their standard deviation, angles on the circle (359 and 1 are 2 degrees apart).
  auto linear = [&](auto field) {
    std::vector<double> v;
    for (const Orbit& o : orbits) v.push_back(field(o));
    return standardDeviation(v);
  };
  auto circular = [&](auto field) {
    std::vector<double> v;
    for (const Orbit& o : orbits) v.push_back(field(o));
    return circularSigmaDegrees(v);
  };
  Orbit s;
  s.vInit = linear([](const Orbit& o) { return o.vInit; });
  s.vInf = linear([](const Orbit& o) { return o.vInf; });
  s.vGeocentric = linear([](const Orbit& o) { return o.vGeocentric; });
  s.vHeliocentric = linear([](const Orbit& o) { return o.vHeliocentric; });
  s.radiantApparent.ra = circular([](const Orbit& o) { return o.radiantApparent.ra; });
  s.radiantApparent.dec = linear([](const Orbit& o) { return o.radiantApparent.dec; });
  s.radiantGeocentric.ra = circular([](const Orbit& o) { return o.radiantGeocentric.ra; });
  s.radiantGeocentric.dec = linear([](const Orbit& o) { return o.radiantGeocentric.dec; });
  s.radiantEcliptic.longitude = circular([](const Orbit& o) { return o.radiantEcliptic.longitude; });
  s.radiantEcliptic.latitude = linear([](const Orbit& o) { return o.radiantEcliptic.latitude; });
  s.solarLongitude = circular([](const Orbit& o) { return o.solarLongitude; });
  s.zenithAttraction = linear([](const Orbit& o) { return o.zenithAttraction; });
  s.a = linear([](const Orbit& o) { return o.a; });
  s.e = linear([](const Orbit& o) { return o.e; });
  s.i = linear([](const Orbit& o) { return o.i; });
  s.omega = circular([](const Orbit& o) { return o.omega; });
  s.node = circular([](const Orbit& o) { return o.node; });
  s.q = linear([](const Orbit& o) { return o.q; });
  s.trueAnomaly = circular([](const Orbit& o) { return o.trueAnomaly; });
  s.tisserand = linear([](const Orbit& o) { return o.tisserand; });
  bool bound = true;
  for (const Orbit& o : orbits) bound = bound && o.Q && o.period;
  if (bound) {
    s.Q = linear([](const Orbit& o) { return *o.Q; });
    s.period = linear([](const Orbit& o) { return *o.period; });
  }
  summariseAddedFigures(s, orbits);
  solved.sigma = s;
  solved.draws = static_cast<int>(orbits.size());
  solved.drawKeys.clear();
  for (const Orbit& o : orbits) solved.drawKeys.push_back(showerKeyOf(o));
}

}  // namespace sightline
