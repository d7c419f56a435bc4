// The lag and speed panels, checked in the units of their axes: lags as the
// solution gives them, the model's curve against a known deceleration, the
// point-to-point speeds against the known speed, the Monte Carlo band, notes;
// and their ink in the drawn figure.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "figure_cases.hpp"
#include "plot/figure.hpp"
#include "plot/figure_layout.hpp"
#include "plot/figure_scene.hpp"
#include "png_probe.hpp"
#include "trajectory/solve.hpp"
#include "trajectory/synthetic.hpp"
#include "uncertainty/monte_carlo.hpp"

namespace sightline {
namespace {

using test::FigureCase;
using test::figureCase;

constexpr double kMetresPerKm = 1000.0;

// A decelerating flight (vInf m/s, a1 m, a2 1/s), tau seconds after the begin point:
// L(tau) = vInf*tau - a1*(exp(a2*tau) - 1) metres flown, at vInf - a1*a2*exp(a2*tau) m/s.
struct Flight {
  double vInf = 21000.0;
  double a1 = 0.0;
  double a2 = 0.0;
  double length(double tau) const { return vInf * tau - a1 * (std::exp(a2 * tau) - 1.0); }
  double speed(double tau) const { return vInf - a1 * a2 * std::exp(a2 * tau); }
  // The time (s) at which `metres` have been flown, by bisection while the speed stays positive.
  double timeAt(double metres) const {
    double lo = 0.0, hi = 2.0 * metres / vInf + 1.0;
    for (int i = 0; i < 200; ++i) (length(0.5 * (lo + hi)) < metres ? lo : hi) = 0.5 * (lo + hi);
    return 0.5 * (lo + hi);
  }
};

constexpr double kBeginTime = 1.79e9;  // s, UTC epoch at the begin point

// A noiseless event of a known straight trajectory seen by three timed cameras, eight
// sightings each, retimed to the decelerating `flight`: the constant-speed event's
// times give each sighting's length flown, the flight gives its time.
FigureCase knownCase(const std::string& name, const Flight& flight) {
  const KnownTrajectory line{{47.9, 11.5, 95000}, {47.6, 11.9, 42000}, kBeginTime, flight.vInf};
  Event event = knownEvent(line, {{"Hilltop", {47.80, 11.20, 620}, 8, 0.0, 1.0},
                                  {"Lakeside", {48.40, 12.10, 450}, 8, 0.05, 0.95},
                                  {"Valley", {47.20, 11.70, 1200}, 8, 0.1, 0.9}});
  for (Station& station : event.stations)
    for (Sighting& sighting : station.sightings)
      sighting.time = kBeginTime + flight.timeAt(flight.vInf * (*sighting.time - kBeginTime));
  return {name, event, solve(event)};
}

TEST(FigureLag, EachStationsLagsAreTheSolutionsInItsOrder) {
  const FigureCase c = figureCase("ThreeStationsWithUncertainty");
  ASSERT_TRUE(c.solution.trajectory && c.solution.trajectory->velocity);
  const FigureScene scene = buildFigureScene(c.event, c.solution, "");
  for (std::size_t s = 0; s < c.event.stations.size(); ++s) {
    std::vector<std::array<double, 2>> expected, shown;
    for (const SightingResult& r : c.solution.sightings)
      if (r.station == s && r.lag && r.timeFromBegin) expected.push_back({*r.timeFromBegin, *r.lag});
    for (const TimePoint& p : scene.lags)
      if (p.station == s) shown.push_back({p.time, p.value});
    EXPECT_FALSE(shown.empty()) << c.event.stations[s].name;
    EXPECT_EQ(shown, expected) << c.event.stations[s].name;
  }
  EXPECT_TRUE(scene.lagNote.empty());
}

struct Deceleration {
  std::string name;
  Flight flight;
};

// Listings show the case's name, never its bytes.
[[maybe_unused]] void PrintTo(const Deceleration& d, std::ostream* os) { *os << d.name; }

class KnownSpeed : public ::testing::TestWithParam<Deceleration> {};

TEST_P(KnownSpeed, CurveStartsAtTheInitialSpeedAndFollowsTheTruth) {
  const Deceleration& d = GetParam();
  const FigureCase c = knownCase(d.name, d.flight);
  ASSERT_TRUE(c.solution.trajectory && c.solution.trajectory->velocity);
  const Velocity& v = *c.solution.trajectory->velocity;
  const FigureScene scene = buildFigureScene(c.event, c.solution, "");
  ASSERT_GE(scene.speedModel.size(), 2u);
  EXPECT_EQ(scene.speedModel.front().time, 0.0);
  EXPECT_NEAR(scene.speedModel.front().speed * kMetresPerKm, v.initial, 1e-6 * v.initial);
  EXPECT_NEAR(scene.speedModel.back().speed * kMetresPerKm, v.final, 1e-3 * v.final);
  // The truth's clock starts at its begin point; the model's at its own begin time.
  for (const SpeedSample& s : scene.speedModel) {
    const double tau = s.time + (v.beginTime - kBeginTime);
    EXPECT_NEAR(s.speed * kMetresPerKm, d.flight.speed(tau), 0.005 * d.flight.vInf) << s.time;
  }
}

TEST_P(KnownSpeed, PointToPointSpeedsAreTheSpeedAtTheMidpointTime) {
  const Deceleration& d = GetParam();
  const FigureCase c = knownCase(d.name, d.flight);
  ASSERT_TRUE(c.solution.trajectory && c.solution.trajectory->velocity);
  const Velocity& v = *c.solution.trajectory->velocity;
  const FigureScene scene = buildFigureScene(c.event, c.solution, "");
  // Eight sightings per station: seven pairs each.
  ASSERT_EQ(scene.pointSpeeds.size(), 3u * 7u);
  // The mean speed over a pair differs from the midpoint's by dt^2/24 times the speed's
  // second derivative: about 100 m/s late in the decelerating flight.
  for (const TimePoint& p : scene.pointSpeeds) {
    const double tau = p.time + (v.beginTime - kBeginTime);
    EXPECT_NEAR(p.value * kMetresPerKm, d.flight.speed(tau), 0.01 * d.flight.vInf)
        << c.event.stations[p.station].name << " " << p.time;
  }
}

INSTANTIATE_TEST_SUITE_P(Figures, KnownSpeed,
                         ::testing::Values(Deceleration{"Constant", Flight{21000.0, 0.0, 0.0}},
                                           Deceleration{"Decelerating", Flight{21000.0, 20.0, 1.5}}),
                         [](const auto& info) { return info.param.name; });

TEST(FigureSpeed, BandOnlyWithMonteCarloAndCentredOnTheModel) {
  const FigureCase c = figureCase("ThreeStationsWithUncertainty");  // Monte Carlo summary by hand, no speed band
  ASSERT_TRUE(c.solution.trajectory && c.solution.trajectory->velocity);
  EXPECT_TRUE(buildFigureScene(c.event, c.solution, "").speedBand.empty());

  Solution drawn = c.solution;
  MonteCarloOptions options = c.event.monteCarlo;
  options.draws = 40;
  estimateUncertainty(c.event, drawn, options);
  ASSERT_TRUE(drawn.trajectory->velocity->uncertainty);
  const Velocity& v = *drawn.trajectory->velocity;
  const std::vector<std::array<double, 2>>& band = v.uncertainty->speedBand;
  const FigureScene scene = buildFigureScene(c.event, drawn, "");
  ASSERT_EQ(scene.speedBand.size(), band.size());
  ASSERT_FALSE(band.empty());
  for (std::size_t i = 0; i < band.size(); ++i) {
    EXPECT_EQ(scene.speedBand[i].time, band[i][0]);
    EXPECT_NEAR(scene.speedBand[i].sigma * kMetresPerKm, band[i][1], 1e-9 * band[i][1]);
    // The model's speed written out: vInf - a1 a2 exp(a2 t).
    const double t = band[i][0];
    EXPECT_NEAR(scene.speedBand[i].speed * kMetresPerKm, v.vInf - v.a1 * v.a2 * std::exp(v.a2 * t), 1e-9 * v.vInf);
  }
}

struct NoSpeedCase {
  std::string name;
  std::string note;
};

std::ostream& operator<<(std::ostream& os, const NoSpeedCase& c) { return os << c.name; }

class NoSpeed : public ::testing::TestWithParam<NoSpeedCase> {};

TEST_P(NoSpeed, PanelsSayWhyTheyAreEmpty) {
  const FigureCase c = figureCase(GetParam().name);
  ASSERT_EQ(c.name, GetParam().name);
  const FigureScene scene = buildFigureScene(c.event, c.solution, "");
  EXPECT_EQ(scene.lagNote, GetParam().note);
  EXPECT_EQ(scene.speedNote, GetParam().note);
  EXPECT_TRUE(scene.lags.empty());
  EXPECT_TRUE(scene.speedModel.empty());
  EXPECT_TRUE(scene.speedBand.empty());
  EXPECT_TRUE(scene.pointSpeeds.empty());
}

INSTANTIATE_TEST_SUITE_P(Figures, NoSpeed,
                         ::testing::Values(NoSpeedCase{"UntimedSightings", "no times: no speed model"},
                                           NoSpeedCase{"OnePlaneOnly", "no trajectory line"},
                                           NoSpeedCase{"NotANumber", "no trajectory line"},
                                           NoSpeedCase{"EmptyEvent", "no trajectory line"}),
                         [](const auto& info) { return info.param.name; });

TEST(FigureSpeed, ModelSpeedIsTheDerivativeOfTheModelLength) {
  // length(t) = c + vInf t - a1 exp(a2 t): a central difference of it is the speed.
  Velocity v;
  v.c = 120.0, v.vInf = 30000.0, v.a1 = 15.0, v.a2 = 2.0;
  auto length = [&](double t) { return v.c + v.vInf * t - v.a1 * std::exp(v.a2 * t); };
  for (double t : {0.0, 0.5, 1.7, 2.5}) {
    const double h = 1e-4;
    EXPECT_NEAR(modelSpeed(v, t), (length(t + h) - length(t - h)) / (2 * h), 1e-3) << t;
  }
  v.model = VelocityModel::Constant, v.a1 = v.a2 = 0.0;
  EXPECT_EQ(modelSpeed(v, 3.0), v.vInf);
}

// ---------------------------------------------------------------- drawn

// Pixels of ink in a band `height` tall right under a frame, where its axis title sits.
int inkUnder(cairo_surface_t* png, const FigureRect& f) {
  return test::inkInside(png, FigureRect{f.x, f.y + f.height + 22.0, f.width, 24.0});
}

TEST(FigureTimePanels, DrawnWithTheirAxesTitlesAndStationColours) {
  const FigureCase c = figureCase("ThreeStationsWithUncertainty");
  std::string bytes, error;
  ASSERT_TRUE(drawFigure(FigureFormat::Png, c.event, c.solution, {}, bytes, error)) << error;
  const std::filesystem::path path = std::filesystem::path(::testing::TempDir()) / "sightline-time-panels.png";
  {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  const test::Png png = test::readPng(path);
  std::filesystem::remove(path);
  ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS);
  const FigureLayout layout = figureLayout(buildFigureScene(c.event, c.solution, ""));
  EXPECT_GT(test::inkInside(png.get(), layout.lag), 300);
  EXPECT_GT(test::inkInside(png.get(), layout.speed), 300);
  EXPECT_GT(inkUnder(png.get(), layout.lag), 100);
  EXPECT_GT(inkUnder(png.get(), layout.speed), 100);
  // Below the old panels and above the legend, inside the canvas.
  EXPECT_GT(layout.lag.y, layout.ground.y + layout.ground.height + 40.0);
  EXPECT_GT(layout.speed.y, layout.residuals.y + layout.residuals.height + 40.0);
  EXPECT_GT(layout.legend.y, layout.speed.y + layout.speed.height + 40.0);
}

TEST(FigureTimePanels, LegendNamesTheModelAndThePointSpeedsOnlyWithTimes) {
  const FigureCase timed = figureCase("ThreeStationsWithUncertainty");
  FigureCase untimed = timed;
  untimed.solution.trajectory->velocity.reset();
  for (SightingResult& r : untimed.solution.sightings) r.lag.reset(), r.length.reset(), r.timeFromBegin.reset();
  const FigureLayout with = figureLayout(buildFigureScene(timed.event, timed.solution, ""));
  const FigureLayout without = figureLayout(buildFigureScene(untimed.event, untimed.solution, ""));
  EXPECT_EQ(with.legendEntries, without.legendEntries + 2);  // the speed model and the point-to-point speeds
  EXPECT_EQ(buildFigureScene(untimed.event, untimed.solution, "").speedNote, "no times: no speed model");
}

}  // namespace
}  // namespace sightline
