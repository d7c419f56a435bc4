// Photometry against independent truth: absolute magnitudes by the inverse-square
// law, the photometric mass of light curves whose integral is known in closed form,
// the peak and F parameter of a known profile, Drolshagen et al.'s luminous efficiency
// from its printed relation, and the whole chain through solve() on exact sightings.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>
#include <string>

#include "earth/frames.hpp"
#include "trajectory/photometry.hpp"
#include "trajectory/solution.hpp"
#include "trajectory/solve.hpp"
#include "trajectory/synthetic.hpp"

namespace sightline {
namespace {

struct RangeCase {
  double apparent;
  double range;     // metres
  double absolute;  // by hand: m + 5 log10(100 km / range)
};
[[maybe_unused]] void PrintTo(const RangeCase& c, std::ostream* os) {
  *os << "m" << c.apparent << "_at_" << c.range / 1000 << "km";
}

class AbsoluteMagnitude : public ::testing::TestWithParam<RangeCase> {};

TEST_P(AbsoluteMagnitude, FollowsTheInverseSquareLaw) {
  EXPECT_NEAR(absoluteMagnitude(GetParam().apparent, GetParam().range), GetParam().absolute, 1e-9);
}

const RangeCase kRanges[] = {
    {0.0, 100000.0, 0.0},              // at the reference range nothing changes
    {0.0, 200000.0, -1.505149978},     // twice as far: 4 times the power, 2.5 log10 4 brighter
    {-3.0, 50000.0, -1.494850022},     // half as far: fainter at 100 km
    {2.0, 1000000.0, -3.0},            // ten times as far: 5 magnitudes
    {-8.5, 316227.766, -11.0},         // sqrt(10) times as far: 2.5 magnitudes
};
INSTANTIATE_TEST_SUITE_P(Table, AbsoluteMagnitude, ::testing::ValuesIn(kRanges),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(RadiatedPower, IsTheZeroMagnitudePowerOnPogsonsScale) {
  EXPECT_DOUBLE_EQ(radiatedPower(0.0), 1210.0);
  EXPECT_NEAR(radiatedPower(-5.0), 121000.0, 1e-6);  // 5 magnitudes: a factor 100
  EXPECT_NEAR(radiatedPower(2.5), 121.0, 1e-9);
}

// ---------------------------------------------------------------- hand-made solutions

/// One sample of a hand-made light curve.
struct Shot {
  std::size_t station;
  std::optional<double> time;   // s from the begin
  double height;                // m
  double apparent;              // magnitude
  double range;                 // m
  std::optional<double> speed;  // m/s
};

constexpr double kBeginHeight = 100000.0, kEndHeight = 85000.0;

// An event and its solution with the given shots (the trajectory from 100 to 85 km, straight down).
void build(const std::vector<Shot>& shots, Event& event, Solution& solution) {
  event.stations.assign(2, Station{});
  solution.trajectory = Trajectory{};
  solution.trajectory->begin.position = {45.0, 7.0, kBeginHeight};
  solution.trajectory->begin.ecef = toEcef(solution.trajectory->begin.position);
  solution.trajectory->end.position = {45.0, 7.0, kEndHeight};
  solution.trajectory->end.ecef = toEcef(solution.trajectory->end.position);
  solution.trajectory->direction = solution.trajectory->end.ecef - solution.trajectory->begin.ecef;
  solution.trajectory->direction = (1.0 / solution.trajectory->direction.length()) * solution.trajectory->direction;
  for (const Shot& s : shots) {
    Sighting sighting;
    sighting.magnitude = s.apparent;
    event.stations[s.station].sightings.push_back(sighting);
    SightingResult r;
    r.station = s.station;
    r.sighting = event.stations[s.station].sightings.size() - 1;
    r.hasPoint = true;
    r.point.position = {45.0, 7.0, s.height};
    r.point.ecef = toEcef(r.point.position);
    r.range = s.range;
    r.timeFromBegin = s.time;
    r.velocity = s.speed;
    solution.sightings.push_back(r);
  }
}

/// An event and solution built from shots (see build), changed by `change`, and their photometry.
struct Made {
  Event event;
  Solution solution;
  std::vector<Warning> warnings;
  std::optional<Photometry> photometry;
};
Made photometryOfShots(const std::vector<Shot>& shots, const std::function<void(Event&, Solution&)>& change = {}) {
  Made m;
  build(shots, m.event, m.solution);
  if (change) change(m.event, m.solution);
  m.photometry = photometryOf(m.event, m.solution, m.warnings);
  return m;
}

/// Independent truth: Simpson's rule (n even intervals) of 2 I(M(t)) / (tau v^2) from t0 to t1 at a constant speed.
double simpsonMass(const std::function<double(double)>& magnitude, double t0, double t1, double speed, double tau, int n) {
  double sum = 0.0;
  for (int k = 0; k <= n; ++k) {
    const double w = (k == 0 || k == n) ? 1.0 : (k % 2 == 1 ? 4.0 : 2.0);
    sum += w * radiatedPower(magnitude(t0 + (t1 - t0) * k / n));
  }
  return sum * (t1 - t0) / n / 3.0 * 2.0 / (tau * speed * speed);
}

/// Closed form of integral_0^T 2 I0 10^(-0.4 k t) / (tau v^2) dt (magnitude M0 + k t, constant speed).
double linearCurveMass(double m0, double k, double duration, double speed, double tau) {
  const double b = 0.4 * k * std::log(10.0);
  const double energy = 1210.0 * std::pow(10.0, -0.4 * m0) * (1.0 - std::exp(-b * duration)) / b;
  return 2.0 * energy / (tau * speed * speed);
}

TEST(PhotometricMass, LinearLightCurveAtConstantSpeedMatchesTheClosedForm) {
  // M from -2 to +2 over 1 s at 20 km/s, tau 0.7%: 1.4430 g by the closed form.
  std::vector<double> time, power, speed;
  for (int k = 0; k <= 200; ++k) {
    time.push_back(k * 0.005);
    power.push_back(radiatedPower(-2.0 + 4.0 * time.back()));
    speed.push_back(20000.0);
  }
  const std::optional<double> mass = photometricMass(time, power, speed, 0.007);
  ASSERT_TRUE(mass);
  EXPECT_NEAR(linearCurveMass(-2.0, 4.0, 1.0, 20000.0, 0.007), 1.4430232e-3, 1e-9);
  EXPECT_NEAR(*mass / 1.4430232e-3, 1.0, 1e-4);
}

TEST(PhotometricMass, ConstantMagnitudeGivesEnergyOverHalfTauVSquared) {
  // M = 0 for 2 s at 15 km/s: 2 * 1210 W * 2 s / (0.007 * 15000^2) exactly, with any sampling.
  const std::optional<double> mass = photometricMass({0.0, 0.5, 2.0}, {1210.0, 1210.0, 1210.0}, {15000.0, 15000.0, 15000.0}, 0.007);
  ASSERT_TRUE(mass);
  EXPECT_NEAR(*mass, 2.0 * 1210.0 * 2.0 / (0.007 * 15000.0 * 15000.0), 1e-15);
}

TEST(PhotometricMass, RefusesWhatCannotGiveAMass) {
  EXPECT_FALSE(photometricMass({0.0}, {1.0}, {1.0}, 0.007));
  EXPECT_FALSE(photometricMass({0.0, 1.0}, {1.0, 1.0}, {20000.0, 0.0}, 0.007));
  EXPECT_FALSE(photometricMass({0.0, 1.0}, {1.0, 1.0}, {20000.0, 20000.0}, 0.0));
}

// A parabolic light curve M(t) = -5 + 12 (t - 0.3)^2 from 100 km down at 15 km/s for 1 s (to 85 km).
double parabola(double t) { return -5.0 + 12.0 * (t - 0.3) * (t - 0.3); }
double heightAt(double t) { return kBeginHeight - 15000.0 * t; }

TEST(Photometry, StationsSeeingEachHalfMakeOneCurveWithItsPeakAndFParameter) {
  std::vector<Shot> shots;
  for (int k = 0; k <= 50; ++k) {  // A: 0..0.5 s at 100 km, B: 0.5..1 s at 200 km (1.505 mag fainter)
    const double t = 0.01 * k;
    shots.push_back({0, t, heightAt(t), parabola(t), 100000.0, 15000.0});
    const double u = 0.5 + 0.01 * k;
    shots.push_back({1, u, heightAt(u), parabola(u) + 5.0 * std::log10(2.0), 200000.0, 15000.0});
  }
  const Made made = photometryOfShots(shots);
  const std::optional<Photometry>& p = made.photometry;
  ASSERT_TRUE(p);
  EXPECT_TRUE(made.warnings.empty());
  EXPECT_TRUE(p->timed);
  ASSERT_EQ(p->curve.size(), 101u);  // the two samples at 0.5 s share a bin
  for (const LightCurveSample& s : p->curve) {
    ASSERT_TRUE(s.time);
    EXPECT_NEAR(s.absoluteMagnitude, parabola(*s.time), 1e-9) << *s.time;
  }
  for (const SightingResult& r : made.solution.sightings) {
    ASSERT_TRUE(r.absoluteMagnitude);
    EXPECT_NEAR(*r.absoluteMagnitude, parabola(*r.timeFromBegin), 1e-9);
  }
  EXPECT_NEAR(p->peakAbsoluteMagnitude, -5.0, 1e-9);
  ASSERT_TRUE(p->peakTime);
  EXPECT_NEAR(*p->peakTime, 0.3, 1e-9);
  EXPECT_NEAR(p->peak.height, 95500.0, 1e-3);
  ASSERT_TRUE(p->fParameter);
  EXPECT_NEAR(*p->fParameter, 0.3, 1e-7);  // (100 - 95.5) / (100 - 85)
  ASSERT_TRUE(p->mass && p->tau);
  EXPECT_EQ(*p->tau, 0.007);
  EXPECT_NEAR(*p->mass / simpsonMass(parabola, 0.0, 1.0, 15000.0, 0.007, 2000), 1.0, 2e-3);
}

TEST(Photometry, TwoStationsOnTheSameFramesAverageTheirPowerNotTheirMagnitudes) {
  // A reads 0.5 mag brighter than B at every frame; the bin is the mean power.
  std::vector<Shot> shots;
  for (int k = 0; k <= 10; ++k) {
    const double t = 0.04 * k;
    shots.push_back({0, t, heightAt(t), -3.0, 100000.0, 15000.0});
    shots.push_back({1, t, heightAt(t), -2.5, 100000.0, 15000.0});
  }
  const Made made = photometryOfShots(shots);
  const std::optional<Photometry>& p = made.photometry;
  ASSERT_TRUE(p);
  ASSERT_EQ(p->curve.size(), 11u);
  const double mean = -2.5 * std::log10((std::pow(10.0, 1.2) + std::pow(10.0, 1.0)) / 2.0);  // -2.7736
  for (const LightCurveSample& s : p->curve) {
    EXPECT_NEAR(s.absoluteMagnitude, mean, 1e-9);
    EXPECT_EQ(s.stations, 2);
  }
}

TEST(Photometry, UntimedSightingsGiveAPeakAlongThePathButNoMass) {
  std::vector<Shot> shots;
  for (int k = 0; k <= 20; ++k) {  // both stations at the same points, B from twice as far
    const double t = 0.05 * k;
    shots.push_back({0, std::nullopt, heightAt(t), parabola(t), 100000.0, std::nullopt});
    shots.push_back({1, std::nullopt, heightAt(t), parabola(t) + 5.0 * std::log10(2.0), 200000.0, std::nullopt});
  }
  const Made made = photometryOfShots(shots);
  const std::optional<Photometry>& p = made.photometry;
  ASSERT_TRUE(p);
  EXPECT_FALSE(p->timed);
  EXPECT_FALSE(p->peakTime);
  EXPECT_FALSE(p->mass);
  EXPECT_EQ(p->tau, 0.007);  // the constant efficiency is known without a speed
  EXPECT_EQ(p->curve.size(), 21u);
  EXPECT_NEAR(p->peakAbsoluteMagnitude, -5.0, 1e-9);
  EXPECT_NEAR(p->peak.height, heightAt(0.3), 1e-3);
  EXPECT_NEAR(*p->fParameter, 0.3, 1e-7);
  ASSERT_EQ(made.warnings.size(), 1u);
  EXPECT_EQ(made.warnings[0].code, "no-mass-without-times");
}

TEST(Photometry, TimedSightingsWithoutASpeedModelGiveNoMass) {
  std::vector<Shot> shots;
  for (int k = 0; k <= 10; ++k) shots.push_back({0, 0.04 * k, heightAt(0.04 * k), -2.0, 100000.0, std::nullopt});
  const Made made = photometryOfShots(
      shots, [](Event& e, Solution&) { e.luminousEfficiency.model = LuminousEfficiencyModel::Drolshagen2021; });
  const std::optional<Photometry>& p = made.photometry;
  ASSERT_TRUE(p);
  EXPECT_TRUE(p->timed);
  EXPECT_FALSE(p->mass);
  EXPECT_FALSE(p->tau);  // Drolshagen's efficiency needs the initial speed
  ASSERT_EQ(made.warnings.size(), 1u);
  EXPECT_EQ(made.warnings[0].code, "no-mass-without-speed");
}

TEST(Photometry, ASpeedModelThatStopsGivesNoMassAndSaysWhy) {
  std::vector<Shot> shots;
  for (int k = 0; k <= 10; ++k) shots.push_back({0, 0.04 * k, heightAt(0.04 * k), -2.0, 100000.0, 1500.0 - 150.0 * k});
  const Made made = photometryOfShots(shots);
  ASSERT_TRUE(made.photometry);
  EXPECT_FALSE(made.photometry->mass);
  ASSERT_EQ(made.warnings.size(), 1u);
  EXPECT_EQ(made.warnings[0].code, "no-mass-without-speed");
}

TEST(Photometry, ExcludedSightingsAndSightingsWithoutMagnitudesStayOutOfTheCurve) {
  std::vector<Shot> shots;
  for (int k = 0; k <= 10; ++k) shots.push_back({0, 0.04 * k, heightAt(0.04 * k), -2.0, 100000.0, 15000.0});
  shots.push_back({1, 0.2, heightAt(0.2), -9.0, 100000.0, 15000.0});  // a flare seen only in a bad frame
  const Made made = photometryOfShots(shots, [](Event& e, Solution& solution) {
    solution.sightings.back().excluded = true;
    e.stations[0].sightings[3].magnitude.reset();
  });
  const std::optional<Photometry>& p = made.photometry;
  ASSERT_TRUE(p);
  EXPECT_NEAR(p->peakAbsoluteMagnitude, -2.0, 1e-9);
  EXPECT_EQ(p->curve.size(), 10u);
  EXPECT_TRUE(made.solution.sightings.back().absoluteMagnitude);  // still given its absolute magnitude
  EXPECT_FALSE(made.solution.sightings[3].absoluteMagnitude);
}

TEST(Photometry, NoMagnitudesGiveNoPhotometry) {
  const Made made = photometryOfShots({{0, 0.0, 90000.0, 0.0, 1e5, 1e4}},
                                      [](Event& e, Solution&) { e.stations[0].sightings[0].magnitude.reset(); });
  EXPECT_FALSE(made.photometry);
  EXPECT_TRUE(made.warnings.empty());
}

// ---------------------------------------------------------------- luminous efficiency

struct EfficiencyCase {
  double speed;  // km/s
  double tau;    // fraction, by hand from tau[%] = 0.0023 v^2.3
};
[[maybe_unused]] void PrintTo(const EfficiencyCase& c, std::ostream* os) { *os << c.speed << "kms"; }

class Drolshagen2021 : public ::testing::TestWithParam<EfficiencyCase> {};

TEST_P(Drolshagen2021, FollowsThePrintedRelation) {
  const std::optional<double> tau =
      luminousEfficiencyOf({LuminousEfficiencyModel::Drolshagen2021, 0.007}, GetParam().speed * 1000.0);
  ASSERT_TRUE(tau);
  EXPECT_NEAR(*tau / GetParam().tau, 1.0, 1e-6);
}

const EfficiencyCase kEfficiencies[] = {
    {12.0, 0.0069798277},  // 0.70%: the constant efficiency's value near the slowest meteors
    {20.0, 0.0225993957},  // 2.26%, near the median 2.17% of the paper's fireballs
    {30.0, 0.0574257561},
    {70.0, 0.4031376205},
};
INSTANTIATE_TEST_SUITE_P(Table, Drolshagen2021, ::testing::ValuesIn(kEfficiencies),
                         [](const auto& info) { return "At" + std::to_string(static_cast<int>(info.param.speed)) + "kms"; });

TEST(LuminousEfficiency, ConstantIgnoresTheSpeedAndNamesReadBack) {
  EXPECT_EQ(luminousEfficiencyOf({LuminousEfficiencyModel::Constant, 0.01}, std::nullopt), 0.01);
  EXPECT_FALSE(luminousEfficiencyOf({LuminousEfficiencyModel::Drolshagen2021, 0.007}, std::nullopt));
  EXPECT_FALSE(luminousEfficiencyOf({LuminousEfficiencyModel::Drolshagen2021, 0.007}, -3.0));
  for (LuminousEfficiencyModel m : {LuminousEfficiencyModel::Constant, LuminousEfficiencyModel::Drolshagen2021})
    EXPECT_EQ(luminousEfficiencyFromName(luminousEfficiencyName(m)), m);
  EXPECT_FALSE(luminousEfficiencyFromName("opik"));
}

// ---------------------------------------------------------------- through solve()

// Exact sightings at 25 and 50 frames per second of a 20 km/s fireball whose absolute
// magnitude is a parabola in time; each apparent magnitude is the absolute one moved
// to the true range.
TEST(PhotometryThroughSolve, ExactSightingsGiveBackTheProfileAndItsMass) {
  const KnownTrajectory truth{{47.9, 11.5, 95000}, {47.6, 11.9, 42000}, 1.79e9, 20000.0};
  const std::vector<KnownStation> stations = {{"Hilltop", {47.80, 11.20, 620}, 0, 0.0, 0.9, 0.0, 25.0},
                                              {"Lakeside", {48.40, 12.10, 450}, 0, 0.1, 1.0, 0.0, 50.0}};
  Event event = knownEvent(truth, stations);
  const double total = distance(toEcef(truth.begin), toEcef(truth.end));
  const double duration = total / truth.speed;
  const auto absolute = [&](double tau) { return -4.0 + 10.0 * (tau / duration - 0.4) * (tau / duration - 0.4); };
  double first = 1e9, last = -1e9;
  for (std::size_t s = 0; s < stations.size(); ++s) {
    const std::vector<double> times = knownTimes(truth, stations[s]);
    const Vector3 site = toEcef(stations[s].position);
    for (std::size_t k = 0; k < times.size(); ++k) {
      const Vector3 at = pointAlong(truth, knownLength(truth, times[k]) / total);
      event.stations[s].sightings[k].magnitude = absolute(times[k]) - 5.0 * std::log10(1e5 / distance(site, at));
      first = std::min(first, times[k]);
      last = std::max(last, times[k]);
    }
  }
  const Solution solution = solve(event);
  ASSERT_TRUE(solution.photometry);
  const Photometry& p = *solution.photometry;
  for (const SightingResult& r : solution.sightings) {
    ASSERT_TRUE(r.absoluteMagnitude && r.timeFromBegin);
    EXPECT_NEAR(*r.absoluteMagnitude, absolute(*r.timeFromBegin), 1e-5);
  }
  EXPECT_NEAR(p.peakAbsoluteMagnitude, -4.0, 0.01);
  ASSERT_TRUE(p.peakTime && p.fParameter && p.mass);
  EXPECT_NEAR(*p.peakTime, 0.4 * duration, 0.02);   // within a frame of 50 fps
  const double peakHeight = toGeodetic(pointAlong(truth, 0.4)).height;
  EXPECT_NEAR(p.peak.height, peakHeight, 0.02 * truth.speed);
  EXPECT_NEAR(*p.fParameter, (95000.0 - peakHeight) / (95000.0 - 42000.0), 0.01);
  // Over the stations' first to last time at the true speed.
  EXPECT_NEAR(*p.mass / simpsonMass(absolute, first, last, truth.speed, 0.007, 4000), 1.0, 0.01);
}

}  // namespace
}  // namespace sightline
