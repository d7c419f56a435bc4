// What the figure shows, checked in the units of its axes: map positions,
// distances along the track, heights, ellipses, residual axes, notes, caption.
#include <gtest/gtest.h>

#include <GeographicLib/Geodesic.hpp>

#include <algorithm>
#include <cmath>
#include <memory>

#include "figure_cases.hpp"
#include "plot/figure_layout.hpp"
#include "earth/geoid.hpp"
#include "plot/figure_scene.hpp"

namespace sightline {
namespace {

using test::FigureCase;
using test::figureCase;

constexpr double kMetre = 1e-3;  // km

TEST(FigureMap, DistancesFromTheOriginAreTrueOnTheGround) {
  const GeodeticPosition origin{47.75, 11.7, 0.0};
  const GeographicLib::Geodesic& g = GeographicLib::Geodesic::WGS84();
  for (double azimuth : {0.0, 90.0, 135.0, 200.0, 300.0}) {
    double lat = 0.0, lon = 0.0;
    g.Direct(origin.latitude, origin.longitude, azimuth, 50000.0, lat, lon);
    const MapPoint p = toMap(origin, lat, lon);
    // A tangent plane shortens 50 km on the ground by R(theta - sin theta): about 0.5 m.
    EXPECT_NEAR(std::hypot(p.east, p.north), 50.0, 2 * kMetre) << azimuth;
    EXPECT_NEAR(std::atan2(p.east, p.north) * 180.0 / M_PI, std::remainder(azimuth, 360.0), 0.01) << azimuth;
  }
}

TEST(FigureMap, FromMapUndoesToMap) {
  const GeodeticPosition origin{-17.0, 179.9, 0.0};
  for (const MapPoint& p : {MapPoint{-80.0, 30.0}, MapPoint{120.0, -60.0}, MapPoint{0.0, 0.0}}) {
    double lat = 0.0, lon = 0.0;
    fromMap(origin, p, lat, lon);
    const MapPoint back = toMap(origin, lat, lon);
    EXPECT_NEAR(back.east, p.east, kMetre);
    EXPECT_NEAR(back.north, p.north, kMetre);
  }
}

TEST(FigureMap, OriginIsTheGroundBelowTheTracksMiddle) {
  const FigureCase c = figureCase("ThreeStationsWithUncertainty");
  const FigureScene scene = buildFigureScene(c.event, c.solution, "");
  ASSERT_EQ(scene.track.size() % 2, 1u);
  const MapPoint middle = scene.track[scene.track.size() / 2];
  EXPECT_NEAR(middle.east, 0.0, 10 * kMetre);
  EXPECT_NEAR(middle.north, 0.0, 10 * kMetre);
  EXPECT_EQ(scene.origin.height, 0.0);
  EXPECT_EQ(scene.mapOrigin, "the track's middle");
}

TEST(FigureMap, LinesOfSightRunFromEachStationToTheGroundBelowItsPoints) {
  const FigureCase c = figureCase("EightStations");
  const FigureScene scene = buildFigureScene(c.event, c.solution, "");
  std::size_t withPoint = 0;
  for (const SightingResult& r : c.solution.sightings) withPoint += r.hasPoint;
  ASSERT_EQ(scene.sightLines.size(), withPoint);
  for (std::size_t i = 0; i < scene.sightLines.size(); ++i) {
    const MapSightLine& l = scene.sightLines[i];
    const Station& station = c.event.stations[l.station];
    const MapPoint s = toMap(scene.origin, station.position.latitude, station.position.longitude);
    EXPECT_NEAR(l.from.east, s.east, kMetre);
    EXPECT_NEAR(l.from.north, s.north, kMetre);
    // The ground below a point seen at azimuth A lies along A from the station.
    const Sighting& sighting = station.sightings[c.solution.sightings[i].sighting];
    double azimuth = 0.0, unused = 0.0;
    const GeodeticPosition& p = c.solution.sightings[i].point.position;
    GeographicLib::Geodesic::WGS84().Inverse(station.position.latitude, station.position.longitude, p.latitude,
                                             p.longitude, unused, azimuth, unused);
    EXPECT_NEAR(std::remainder(azimuth - sighting.azimuth, 360.0), 0.0, 0.2) << station.name;
  }
}

TEST(FigureMap, EllipseHasTheCovariancesAxesAndTurn) {
  // Built with 120 m x 45 m, major axis 30 degrees from east toward north (begin) and
  // 72 m x 22.5 m at -20 degrees (end).
  const FigureCase c = figureCase("ThreeStationsWithUncertainty");
  const FigureScene scene = buildFigureScene(c.event, c.solution, "");
  ASSERT_EQ(scene.ellipses.size(), 2u);
  EXPECT_EQ(scene.ellipses[0].label, "begin");
  EXPECT_NEAR(scene.ellipses[0].major, 0.120, 0.5 * kMetre);
  EXPECT_NEAR(scene.ellipses[0].minor, 0.045, 0.5 * kMetre);
  EXPECT_NEAR(scene.ellipses[0].angle * 180.0 / M_PI, 30.0, 0.5);  // map north turns a little away
  EXPECT_NEAR(scene.ellipses[1].major, 0.072, 0.5 * kMetre);
  EXPECT_NEAR(scene.ellipses[1].angle * 180.0 / M_PI, -20.0, 0.5);
  EXPECT_NEAR(scene.ellipses[0].centre.east, scene.track.front().east, kMetre);
  EXPECT_NEAR(scene.ellipses[1].centre.north, scene.track.back().north, kMetre);
}

TEST(FigureMap, NoEllipsesWithoutUncertainties) {
  const FigureCase c = figureCase("EightStations");
  EXPECT_TRUE(buildFigureScene(c.event, c.solution, "").ellipses.empty());
}

TEST(FigureMap, SightingsWithoutPointsGetAzimuthRays) {
  const FigureCase c = figureCase("NoGeometry");
  const FigureScene scene = buildFigureScene(c.event, c.solution, "");
  ASSERT_EQ(scene.sightLines.size(), 4u);
  for (const MapSightLine& l : scene.sightLines) {
    EXPECT_FALSE(l.toPoint);
    const Sighting& sighting = c.event.stations[l.station].sightings[&l - scene.sightLines.data() - 2 * l.station];
    const double bearing = std::atan2(l.to.east - l.from.east, l.to.north - l.from.north) * 180.0 / M_PI;
    EXPECT_NEAR(std::remainder(bearing - sighting.azimuth, 360.0), 0.0, 1.0);
  }
  EXPECT_TRUE(scene.track.empty());
  EXPECT_EQ(scene.mapNote, "no trajectory line");
}

TEST(FigureProfile, PointsLieAlongTheTrackAtTheirHeights) {
  const FigureCase c = figureCase("ThreeStationsWithUncertainty");
  const FigureScene scene = buildFigureScene(c.event, c.solution, "");
  const Trajectory& t = *c.solution.trajectory;
  ASSERT_EQ(scene.profile.size(), c.solution.sightings.size());
  for (std::size_t i = 0; i < scene.profile.size(); ++i) {
    const SightingResult& r = c.solution.sightings[i];
    EXPECT_EQ(scene.profile[i].station, r.station);
    EXPECT_NEAR(scene.profile[i].height, r.point.position.height / 1000.0, 1e-9);
    // Nearest points of the line: distance from begin is the straight distance.
    EXPECT_NEAR(std::fabs(scene.profile[i].distance), distance(r.point.ecef, t.begin.ecef) / 1000.0, kMetre);
    EXPECT_GT(scene.profile[i].distance, -0.5);
    EXPECT_LT(scene.profile[i].distance, t.length / 1000.0 + 0.5);
  }
  ASSERT_GE(scene.marks.size(), 2u);
  EXPECT_EQ(scene.marks[0].label, "begin");
  EXPECT_EQ(scene.marks[0].distance, 0.0);
  EXPECT_NEAR(scene.marks[1].distance, t.length / 1000.0, kMetre);
  EXPECT_NEAR(scene.marks[1].height, t.end.position.height / 1000.0, 1e-9);
}

TEST(FigureProfile, FittedLineBendsWithTheEarth) {
  // A straight line's height above the curved Earth is not linear in distance:
  // its middle lies below the mean of the ends' heights by about g^2 / 8R, g the
  // ground distance between the ends (40 m over the 45 km of this track).
  const FigureCase c = figureCase("ThreeStationsWithUncertainty");
  const FigureScene scene = buildFigureScene(c.event, c.solution, "");
  const ProfilePoint& a = scene.fittedLine.front();
  const ProfilePoint& b = scene.fittedLine.back();
  const ProfilePoint& m = scene.fittedLine[scene.fittedLine.size() / 2];
  const double g = std::hypot(scene.track.back().east - scene.track.front().east,
                              scene.track.back().north - scene.track.front().north);
  EXPECT_NEAR(0.5 * (a.height + b.height) - m.height, g * g / (8.0 * 6371.0), 2 * kMetre);
  EXPECT_NEAR(m.distance, 0.5 * (b.distance - a.distance), kMetre);
}

TEST(FigureProfile, WithoutATrackDistanceRunsDownhill) {
  const FigureCase c = figureCase("EightStations");
  FigureCase noLine = c;
  noLine.solution.trajectory.reset();
  noLine.solution.status = SolveStatus::PointsOnly;
  const FigureScene scene = buildFigureScene(noLine.event, noLine.solution, "");
  ASSERT_GT(scene.profile.size(), 3u);
  auto highest = std::max_element(scene.profile.begin(), scene.profile.end(),
                                  [](const ProfilePoint& x, const ProfilePoint& y) { return x.height < y.height; });
  auto lowest = std::min_element(scene.profile.begin(), scene.profile.end(),
                                 [](const ProfilePoint& x, const ProfilePoint& y) { return x.height < y.height; });
  EXPECT_LT(highest->distance, lowest->distance);
  for (const ProfilePoint& p : scene.profile) EXPECT_GE(p.distance, -1e-9);
  EXPECT_EQ(scene.profileAxis, "distance along the points' main horizontal direction (km)");
  EXPECT_EQ(scene.profileNote, "no trajectory line");
}

TEST(FigureResiduals, AgainstTimeFromTheFirstSighting) {
  const FigureCase c = figureCase("ThreeStationsWithUncertainty");
  const FigureScene scene = buildFigureScene(c.event, c.solution, "");
  ASSERT_TRUE(scene.residualsAgainstTime);
  ASSERT_EQ(scene.residuals.size(), c.solution.sightings.size());
  double first = 1e300;
  for (const Station& s : c.event.stations)
    for (const Sighting& k : s.sightings) first = std::min(first, *k.time);
  for (std::size_t i = 0; i < scene.residuals.size(); ++i) {
    const SightingResult& r = c.solution.sightings[i];
    EXPECT_NEAR(scene.residuals[i].x, *c.event.stations[r.station].sightings[r.sighting].time - first, 1e-6);
    EXPECT_EQ(scene.residuals[i].residual, r.residual);
    EXPECT_NEAR(scene.residuals[i].sigma, r.sigma * 3600.0, 1e-9);
  }
  EXPECT_EQ(std::min_element(scene.residuals.begin(), scene.residuals.end(),
                             [](const ResidualPoint& a, const ResidualPoint& b) { return a.x < b.x; })->x, 0.0);
}

TEST(FigureResiduals, AgainstSightingNumberWithoutTimes) {
  const FigureCase c = figureCase("UntimedSightings");
  const FigureScene scene = buildFigureScene(c.event, c.solution, "");
  ASSERT_FALSE(scene.residualsAgainstTime);
  ASSERT_FALSE(scene.residuals.empty());
  for (std::size_t i = 0; i < scene.residuals.size(); ++i) EXPECT_EQ(scene.residuals[i].x, static_cast<double>(i + 1));
}

TEST(FigureResiduals, OneUntimedSightingTurnsTheAxisToNumbers) {
  FigureCase c = figureCase("ThreeStationsWithUncertainty");
  c.event.stations[1].sightings[2].time.reset();
  EXPECT_FALSE(buildFigureScene(c.event, c.solution, "").residualsAgainstTime);
}

TEST(FigureCaption, KeyFiguresWithUncertainties) {
  const FigureCase c = figureCase("ThreeStationsWithUncertainty");
  const FigureScene scene = buildFigureScene(c.event, c.solution, "event.json");
  ASSERT_GE(scene.caption.size(), 5u);
  const Trajectory& t = *c.solution.trajectory;
  char begin[64];
  std::snprintf(begin, sizeof begin, "Begin  %.2f \u00b1 %.2f km", t.begin.position.height / 1000.0,
                t.begin.uncertainty->up / 1000.0);
  EXPECT_EQ(scene.caption[0].rfind(begin, 0), 0u) << scene.caption[0];
  EXPECT_EQ(scene.caption[0].find("sea level"), std::string::npos) << "no geoid, no sea level";
  char end[64];
  std::snprintf(end, sizeof end, "%.2f \u00b1 %.2f km", t.end.position.height / 1000.0, t.end.uncertainty->up / 1000.0);
  EXPECT_NE(scene.caption[1].find(end), std::string::npos) << scene.caption[1];
  char radiant[64];
  std::snprintf(radiant, sizeof radiant, "azimuth %.2f \u00b1 0.21\u00b0", t.radiantAzimuth);
  EXPECT_NE(scene.caption[2].find(radiant), std::string::npos) << scene.caption[2];
  EXPECT_NE(scene.caption[2].find("Speed 21.00 \u00b1 0.42 km/s"), std::string::npos) << scene.caption[2];
  char convergence[64];
  std::snprintf(convergence, sizeof convergence, "Convergence angle %.1f\u00b0", t.convergenceAngle);
  EXPECT_EQ(scene.caption[3].rfind(convergence, 0), 0u) << scene.caption[3];
  EXPECT_NE(scene.caption[4].find("1000 Monte Carlo draws (3 failed"), std::string::npos);
  EXPECT_EQ(scene.subtitle.rfind("event.json", 0), 0u);
  EXPECT_NE(scene.title.find("Alpine fireball"), std::string::npos);
  EXPECT_NE(scene.title.find("T14:13:20"), std::string::npos);
}

TEST(FigureCaption, NoPlusMinusWithoutUncertaintiesAndSpeedUnknownWithoutTimes) {
  const FigureCase c = figureCase("UntimedSightings");
  const FigureScene scene = buildFigureScene(c.event, c.solution, "");
  for (const std::string& line : scene.caption) EXPECT_EQ(line.find("\u00b1"), std::string::npos) << line;
  EXPECT_NE(scene.caption[2].find("Speed not known"), std::string::npos) << scene.caption[2];
  EXPECT_EQ(scene.title, "Untimed sightings");
}

TEST(FigureCaption, HeightsAboveSeaLevelWithTheGeoid) {
  std::string message;
  const std::unique_ptr<Geoid> geoid = Geoid::open(message);
  if (!geoid) GTEST_SKIP() << message;
  const FigureCase c = figureCase("ThreeStationsWithUncertainty");
  const FigureScene scene = buildFigureScene(c.event, c.solution, "", geoid.get());
  const GeodeticPosition& begin = c.solution.trajectory->begin.position;
  char msl[64];
  std::snprintf(msl, sizeof msl, "(%.2f km above sea level)",
                (begin.height - geoid->undulation(begin.latitude, begin.longitude)) / 1000.0);
  EXPECT_NE(scene.caption[0].find(msl), std::string::npos) << scene.caption[0];
  // The geoid lies some 47 m above the ellipsoid here.
  EXPECT_NEAR(geoid->undulation(begin.latitude, begin.longitude), 47.0, 3.0);
}

TEST(FigureCaption, WarningsAreShown) {
  const FigureCase c = figureCase("NoGeometry");
  const FigureScene scene = buildFigureScene(c.event, c.solution, "");
  EXPECT_EQ(scene.caption.back(), "Warning: the planes of sight are parallel");
}

TEST(FigureScene, NumbersThatAreNotNumbersAreLeftOut) {
  const FigureCase c = figureCase("NotANumber");
  const FigureScene scene = buildFigureScene(c.event, c.solution, "");
  EXPECT_TRUE(scene.track.empty());  // an end that is not a number: no line
  EXPECT_EQ(scene.mapNote, "trajectory not a number");
  EXPECT_EQ(scene.caption.front(), "Trajectory not drawn: its begin or end is not a number");
  EXPECT_EQ(scene.profile.size(), c.solution.sightings.size() - 1);
  EXPECT_EQ(scene.residuals.size(), c.solution.sightings.size() - 1);
  for (const ProfilePoint& p : scene.profile) EXPECT_TRUE(std::isfinite(p.distance) && std::isfinite(p.height));
  for (const MapSightLine& l : scene.sightLines) EXPECT_TRUE(std::isfinite(l.to.east) && std::isfinite(l.to.north));
}

struct DegenerateCase {
  std::string name;
  std::string mapNote;
  std::string profileNote;
  std::string residualNote;
};

std::ostream& operator<<(std::ostream& os, const DegenerateCase& c) { return os << c.name; }

class Degenerate : public ::testing::TestWithParam<DegenerateCase> {};

TEST_P(Degenerate, SaysWhatItCannotShow) {
  const DegenerateCase& d = GetParam();
  const FigureCase c = figureCase(d.name);
  ASSERT_EQ(c.name, d.name);
  const FigureScene scene = buildFigureScene(c.event, c.solution, "");
  EXPECT_EQ(scene.mapNote, d.mapNote);
  EXPECT_EQ(scene.profileNote, d.profileNote);
  EXPECT_EQ(scene.residualNote, d.residualNote);
  EXPECT_TRUE(scene.track.empty());
  EXPECT_EQ(scene.stations.size(), c.event.stations.size());
}

INSTANTIATE_TEST_SUITE_P(
    Figures, Degenerate,
    ::testing::Values(
        DegenerateCase{"OnePlaneOnly", "no trajectory line", "no trajectory line", "no trajectory line: from the points found"},
        DegenerateCase{"SingleStation", "no trajectory line", "no sightings with points", "no sightings with points"},
        DegenerateCase{"NoGeometry", "no trajectory line", "no sightings with points", "no sightings with points"},
        DegenerateCase{"EmptyEvent", "no stations", "no sightings with points", "no sightings with points"}),
    [](const auto& info) { return info.param.name; });

TEST(FigureLayoutTest, PanelsSitSideBySideInsideTheCanvas) {
  for (const FigureCase& c : test::figureCases()) {
    const FigureLayout l = figureLayout(buildFigureScene(c.event, c.solution, ""));
    EXPECT_EQ(l.ground.width, l.ground.height) << c.name;
    const std::vector<FigureRect> parts{l.ground, l.profile, l.residuals, l.lag, l.speed, l.legend, l.caption};
    for (std::size_t i = 0; i < parts.size(); ++i) {
      EXPECT_GE(parts[i].x, 0.0);
      EXPECT_LE(parts[i].x + parts[i].width, l.width) << c.name << " part " << i;
      EXPECT_LE(parts[i].y + parts[i].height, l.height) << c.name << " part " << i;
      for (std::size_t j = i + 1; j < parts.size(); ++j) {
        const bool apart = parts[i].x + parts[i].width <= parts[j].x || parts[j].x + parts[j].width <= parts[i].x ||
                           parts[i].y + parts[i].height <= parts[j].y || parts[j].y + parts[j].height <= parts[i].y;
        EXPECT_TRUE(apart) << c.name << ": parts " << i << " and " << j << " overlap";
      }
    }
  }
}

TEST(FigureLayoutTest, LegendAndCaptionGrowWithTheirContent) {
  const FigureCase few = figureCase("ThreeStationsWithUncertainty");
  FigureCase many = few;
  for (int k = 0; k < 12; ++k) {
    Station extra = few.event.stations[k % 3];
    extra.name = "Extra " + std::to_string(k);
    many.event.stations.push_back(extra);
  }
  many.solution.warnings.assign(3, Warning{"weak-convergence", std::string(300, 'w') + " end"});
  const FigureLayout a = figureLayout(buildFigureScene(few.event, few.solution, ""));
  const FigureLayout b = figureLayout(buildFigureScene(many.event, many.solution, ""));
  EXPECT_GT(b.legend.height, a.legend.height);
  EXPECT_GT(b.captionLines.size(), a.captionLines.size() + 3);  // long warnings wrap
  EXPECT_GT(b.height, a.height);
  EXPECT_EQ(b.ground.y, a.ground.y);
}

TEST(FigurePalette, StationsDifferInColourOrShapeUpToThirtyFive) {
  for (std::size_t i = 0; i < 35; ++i)
    for (std::size_t j = i + 1; j < 35; ++j) {
      double r1, g1, b1, r2, g2, b2;
      stationColour(i, r1, g1, b1);
      stationColour(j, r2, g2, b2);
      const bool sameColour = r1 == r2 && g1 == g2 && b1 == b2;
      EXPECT_FALSE(sameColour && stationMarker(i) == stationMarker(j)) << i << " and " << j;
    }
}

}  // namespace
}  // namespace sightline
