// GeoJSON, KML and CSV of a solution: structure, coordinates, heights, quoting,
// and what GDAL makes of the map files.
#include "formats/map_writers.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "earth/geoid.hpp"
#include "trajectory/time.hpp"

namespace sightline {
namespace {

using nlohmann::json;

const char* const kOddName = "Tom & \"Jerry\" <cam>, north";

// Two stations, one with a name that needs escaping everywhere and a longitude
// given east of 180; a trajectory with a labelled point and three sightings,
// one without a point.
struct Fixture {
  Event event;
  Solution solution;
};

SolvedPoint point(double latitude, double longitude, double height) {
  SolvedPoint p;
  p.position = {latitude, longitude, height};
  return p;
}

Fixture solved() {
  Fixture f;
  f.event.name = "Test fireball";
  Station a;
  a.name = kOddName;
  a.position = {45.0, 190.0, 300.0};  // 170 W
  a.sightings = {Sighting{10.0, 30.0, "begin", parseIsoTime("2026-11-14T21:03:07.25Z"), std::nullopt},
                 Sighting{20.0, 20.0, "end", parseIsoTime("2026-11-14T21:03:08.5Z"), std::nullopt}};
  Station b;
  b.name = "Plain";
  b.position = {45.5, -169.5, 120.0};
  b.sightings = {Sighting{200.0, 25.0, "begin", std::nullopt, std::nullopt}};
  f.event.stations = {a, b};

  Trajectory t;
  t.begin = point(45.2, -169.9, 85000.0);
  t.end = point(45.3, -169.7, 40000.0);
  t.length = 50000.0;
  t.radiantAzimuth = 250.123456789;
  t.radiantElevation = 60.5;
  t.speed = 20000.0;
  t.convergenceAngle = 35.0;
  f.solution.status = SolveStatus::Trajectory;
  f.solution.trajectory = t;
  f.solution.passes = 3;
  f.solution.warnings = {{"weak-convergence", "a doubtful thing"}};
  LabelledPoint begin;
  begin.label = "begin";
  begin.point = point(45.21, -169.91, 84000.0);
  begin.stations = {0, 1};
  begin.missDistances = {12.5, 13.25};
  f.solution.points = {begin};
  SightingResult r0{0, 0, true, point(45.2, -169.9, 85000.0), 120000.0, 1.5, 60.0, 0.05};
  SightingResult r1{0, 1, false, {}, 0.0, 0.0, 30.0, 0.05};
  SightingResult r2{1, 0, true, point(45.21, -169.91, 84000.0), 90000.0, -2.25, 40.0, 0.05};
  f.solution.sightings = {r0, r1, r2};
  return f;
}

Fixture degenerate() {
  Fixture f = solved();
  f.solution.status = SolveStatus::NoGeometry;
  f.solution.trajectory.reset();
  f.solution.points.clear();
  for (SightingResult& r : f.solution.sightings) r.hasPoint = false;
  return f;
}

const Geoid* geoid() {
  static const std::unique_ptr<Geoid> g = [] {
    std::string message;
    return Geoid::open(message);
  }();
  return g.get();
}

template <typename Writer>
std::string write(Writer writer, const Fixture& f, const Geoid* g) {
  std::ostringstream out;
  writer(out, f.event, f.solution, OutputContext{g, "a.ecsv b.ecsv"});
  return out.str();
}

std::vector<json> featuresOfKind(const json& document, const std::string& kind) {
  std::vector<json> found;
  for (const json& f : document.at("features")) {
    if (f.at("properties").at("kind") == kind) found.push_back(f);
  }
  return found;
}

// ------------------------------------------------------------------ GeoJSON

pugi::xml_document parseKml(const std::string& text) {
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed = doc.load_string(text.c_str());
  EXPECT_TRUE(parsed) << parsed.description() << "\n" << text;
  return doc;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// Every map writer test starts from the solved fixture (or a variant of it), writes it with
// or without the geoid, and reads the document back.
class MapWriters : public ::testing::Test {
 protected:
  json geoJson(const Geoid* g) const { return json::parse(write(writeGeoJson, f, g)); }
  pugi::xml_document kml(const Geoid* g) const { return parseKml(write(writeKml, f, g)); }
  std::vector<std::string> csvRows(const Geoid* g) const { return lines(write(writeCsv, f, g)); }
  json trajectoryProperties(const Geoid* g) const { return featuresOfKind(geoJson(g), "trajectory").at(0).at("properties"); }

  Fixture f = solved();
};

class GeoJson : public MapWriters {};
class Kml : public MapWriters {};
class Csv : public MapWriters {};


TEST_F(GeoJson, FeatureCollectionOfStationsLinesTrajectoryAndPoints) {
  ASSERT_NE(geoid(), nullptr);
  const json doc = geoJson(geoid());
  EXPECT_EQ(doc.at("type"), "FeatureCollection");
  EXPECT_EQ(featuresOfKind(doc, "station").size(), 2u);
  EXPECT_EQ(featuresOfKind(doc, "line of sight").size(), 2u);  // the sighting without a point has none
  EXPECT_EQ(featuresOfKind(doc, "trajectory").size(), 1u);
  EXPECT_EQ(featuresOfKind(doc, "begin").size(), 1u);
  EXPECT_EQ(featuresOfKind(doc, "end").size(), 1u);
  EXPECT_EQ(featuresOfKind(doc, "labelled point").size(), 1u);
  EXPECT_EQ(doc.at("features").size(), 8u);
}

TEST_F(GeoJson, CoordinatesAreLongitudeLatitudeHeightWithLongitudesWrapped) {
  const json doc = geoJson(geoid());
  const json station = featuresOfKind(doc, "station").at(0);
  EXPECT_EQ(station.at("properties").at("name"), kOddName);
  const json c = station.at("geometry").at("coordinates");
  EXPECT_DOUBLE_EQ(c.at(0).get<double>(), -170.0);
  EXPECT_DOUBLE_EQ(c.at(1).get<double>(), 45.0);
  EXPECT_DOUBLE_EQ(c.at(2).get<double>(), 300.0);

  const json trajectory = featuresOfKind(doc, "trajectory").at(0);
  EXPECT_EQ(trajectory.at("geometry").at("type"), "LineString");
  const json line = trajectory.at("geometry").at("coordinates");
  ASSERT_EQ(line.size(), 2u);
  EXPECT_DOUBLE_EQ(line.at(0).at(0).get<double>(), -169.9);
  EXPECT_DOUBLE_EQ(line.at(0).at(2).get<double>(), 85000.0);
  EXPECT_DOUBLE_EQ(line.at(1).at(2).get<double>(), 40000.0);

  // A line of sight runs from its station to its point.
  const json sight = featuresOfKind(doc, "line of sight").at(0);
  EXPECT_EQ(sight.at("properties").at("station"), kOddName);
  EXPECT_EQ(sight.at("properties").at("label"), "begin");
  EXPECT_EQ(sight.at("properties").at("time"), "2026-11-14T21:03:07.25Z");
  EXPECT_DOUBLE_EQ(sight.at("properties").at("residual").get<double>(), 1.5);
  EXPECT_DOUBLE_EQ(sight.at("geometry").at("coordinates").at(0).at(0).get<double>(), -170.0);
  EXPECT_DOUBLE_EQ(sight.at("geometry").at("coordinates").at(1).at(2).get<double>(), 85000.0);
}

TEST_F(GeoJson, SolutionFiguresAreTrajectoryProperties) {
  const json p = trajectoryProperties(geoid());
  EXPECT_DOUBLE_EQ(p.at("length").get<double>(), 50000.0);
  EXPECT_DOUBLE_EQ(p.at("radiantAzimuth").get<double>(), 250.123457);  // to 1e-6 degree
  EXPECT_DOUBLE_EQ(p.at("speed").get<double>(), 20000.0);
  EXPECT_DOUBLE_EQ(p.at("convergenceAngle").get<double>(), 35.0);
  EXPECT_EQ(p.at("passes"), 3);
  EXPECT_EQ(p.at("warnings"), json::array({"a doubtful thing"}));
  EXPECT_FALSE(p.contains("lengthSigma"));  // no Monte Carlo run
}

TEST_F(GeoJson, SeaLevelHeightsOnlyWithTheGeoid) {
  ASSERT_NE(geoid(), nullptr);
  const json with = geoJson(geoid());
  const json without = geoJson(nullptr);
  const json begin = featuresOfKind(with, "begin").at(0).at("properties");
  const double n = geoid()->undulation(45.2, -169.9);
  EXPECT_NEAR(begin.at("heightMsl").get<double>(), 85000.0 - n, 1e-3);
  EXPECT_TRUE(featuresOfKind(without, "begin").at(0).at("properties").at("heightMsl").is_null());
  EXPECT_TRUE(featuresOfKind(without, "station").at(0).at("properties").at("heightMsl").is_null());
}

TEST_F(GeoJson, StationGivenAboveSeaLevelIsDrawnAtItsEllipsoidHeight) {
  f.event.stations[1].heightReference = HeightReference::MeanSeaLevel;
  const json doc = geoJson(geoid());
  const json station = featuresOfKind(doc, "station").at(1);
  const double n = geoid()->undulation(45.5, -169.5);
  EXPECT_NEAR(station.at("geometry").at("coordinates").at(2).get<double>(), 120.0 + n, 1e-3);
  EXPECT_DOUBLE_EQ(station.at("properties").at("heightMsl").get<double>(), 120.0);
}

TEST_F(GeoJson, DegenerateSolutionStillGivesStations) {
  f = degenerate();
  const json doc = geoJson(nullptr);
  EXPECT_EQ(doc.at("type"), "FeatureCollection");
  EXPECT_EQ(doc.at("features").size(), 2u);
  EXPECT_EQ(doc.at("status"), statusText(SolveStatus::NoGeometry));
}

// ------------------------------------------------------------------ KML

TEST_F(Kml, PlacemarksAtAbsoluteAltitudesAboveSeaLevel) {
  ASSERT_NE(geoid(), nullptr);
  const pugi::xml_document doc = kml(geoid());
  const pugi::xml_node document = doc.child("kml").child("Document");
  ASSERT_TRUE(document);
  EXPECT_STREQ(doc.child("kml").attribute("xmlns").value(), "http://www.opengis.net/kml/2.2");
  // 2 stations, trajectory, begin, end, 1 labelled point, 2 lines of sight.
  EXPECT_EQ(doc.select_nodes("//Placemark").size(), 8u);
  for (const pugi::xpath_node& mode : doc.select_nodes("//altitudeMode")) {
    EXPECT_STREQ(mode.node().child_value(), "absolute");
  }
  const pugi::xpath_node odd = doc.select_node("//Placemark[name='Tom & \"Jerry\" <cam>, north']");
  ASSERT_TRUE(odd);
  const double msl = 300.0 - geoid()->undulation(45.0, -170.0);
  char expected[96];
  std::snprintf(expected, sizeof expected, "-170.00000000,45.00000000,%.3f", msl);
  EXPECT_STREQ(odd.node().child("Point").child_value("coordinates"), expected);

  const pugi::xpath_node begin = doc.select_node("//Placemark[name='Begin']");
  ASSERT_TRUE(begin);
  EXPECT_NE(std::string(begin.node().child_value("description")).find("85000.0 m above the WGS84 ellipsoid"),
            std::string::npos);
  EXPECT_NE(std::string(document.child_value("description")).find("mean sea level (EGM96"), std::string::npos);
}

TEST_F(Kml, WithoutTheGeoidSaysWhichHeightsItUsed) {
  const pugi::xml_document doc = kml(nullptr);
  const std::string description = doc.child("kml").child("Document").child_value("description");
  EXPECT_NE(description.find("above the WGS84 ellipsoid"), std::string::npos) << description;
  const pugi::xpath_node trajectory = doc.select_node("//Placemark[name='Trajectory']/LineString/coordinates");
  ASSERT_TRUE(trajectory);
  EXPECT_STREQ(trajectory.node().child_value(), "-169.90000000,45.20000000,85000.000 -169.70000000,45.30000000,40000.000");
}

TEST_F(Kml, NamesThatAreNotXmlTextAreMadeSafe) {
  f.event.stations[1].name = std::string("Bad\x01 byte \xff and \xc3\xa9 and \xe2\x82");
  const std::string text = write(writeKml, f, nullptr);
  const pugi::xml_document doc = parseKml(text);
  EXPECT_TRUE(doc.select_node("//Placemark[name='Bad byte \xef\xbf\xbd and \xc3\xa9 and \xef\xbf\xbd\xef\xbf\xbd']"))
      << text;
}

TEST_F(Kml, DegenerateSolutionIsStillADocument) {
  f = degenerate();
  const pugi::xml_document doc = kml(nullptr);
  EXPECT_EQ(doc.select_nodes("//Placemark").size(), 2u);
  EXPECT_FALSE(doc.select_node("//LineString"));
}

// ------------------------------------------------------------------ CSV

TEST_F(Csv, HeaderThenOneRowPerSightingWithQuotedNames) {
  const std::vector<std::string> rows = csvRows(geoid());
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0],
            "station,label,time,azimuth_deg,elevation_deg,latitude_deg,longitude_deg,height_m,height_msl_m,range_m,"
            "residual_arcsec,refraction_arcsec,length_m,time_from_begin_s,velocity_m_s,lag_m,excluded,"
            "along_track_residual_arcsec,magnitude,absolute_magnitude");
  const double msl = 85000.0 - geoid()->undulation(45.2, -169.9);
  char expected[256];
  std::snprintf(expected, sizeof expected,
                "\"Tom & \"\"Jerry\"\" <cam>, north\",begin,2026-11-14T21:03:07.25Z,10.000000,30.000000,45.20000000,"
                "-169.90000000,85000.000,%.3f,120000.000,1.500,60.000,,,,,false,,,",
                msl);
  EXPECT_EQ(rows[1], expected);
  // No point for this sighting: its place is left empty, its refraction is known.
  EXPECT_EQ(rows[2],
            "\"Tom & \"\"Jerry\"\" <cam>, north\",end,2026-11-14T21:03:08.5Z,20.000000,20.000000,,,,,,,30.000,,,,,false,,,");
  EXPECT_EQ(rows[3].substr(0, 19), "Plain,begin,,200.00");
}

TEST_F(Csv, WithoutGeoidTheSeaLevelColumnIsEmpty) {
  const std::vector<std::string> rows = csvRows(nullptr);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_NE(rows[3].find(",84000.000,,90000.000,-2.250,40.000"), std::string::npos) << rows[3];
}

// The speed model and an orbit, and along-track figures for the first (timed) sighting.
Fixture withSpeedModel() {
  Fixture f = solved();
  Velocity v;
  v.model = VelocityModel::Exponential;
  v.initial = 20500.0;
  v.final = 18250.0;
  v.average = 20000.0;
  v.a1 = 25.0;
  v.a2 = 4.0;
  v.rms = 37.5;
  v.beginTime = *parseIsoTime("2026-11-14T21:03:07Z");
  v.duration = 1.5;
  f.solution.trajectory->velocity = v;
  f.solution.trajectory->clockOffsets = {StationClock{0, 0.0, false, std::nullopt, std::nullopt},
                                         StationClock{1, 0.125, true, std::nullopt, std::nullopt}};
  SightingResult& r = f.solution.sightings[0];
  r.length = 5125.0;
  r.timeFromBegin = 0.25;
  r.velocity = 20375.0;
  r.lag = -1.5;
  SolvedOrbit o;
  o.orbit.radiantGeocentric = {121.5, 19.75};
  o.orbit.vGeocentric = 18500.0;
  o.orbit.a = 2.5;
  o.orbit.e = 0.625;
  o.orbit.i = 4.5;
  f.solution.orbit = o;
  return f;
}

TEST_F(Csv, AlongTrackColumnsComeAfterRefractionWithTheirUnits) {
  f = withSpeedModel();
  f.solution.sightings[0].alongTrackResidual = -12.25;
  f.solution.sightings[1].excluded = true;
  const std::vector<std::string> rows = csvRows(nullptr);
  ASSERT_EQ(rows.size(), 4u);
  const std::string tail =
      ",refraction_arcsec,length_m,time_from_begin_s,velocity_m_s,lag_m,excluded,along_track_residual_arcsec,magnitude,absolute_magnitude";
  ASSERT_GE(rows[0].size(), tail.size());
  EXPECT_EQ(rows[0].substr(rows[0].size() - tail.size()), tail);
  // metres to the millimetre, seconds to the microsecond, arcseconds to the milliarcsecond
  EXPECT_NE(rows[1].find(",60.000,5125.000,0.250000,20375.000,-1.500"), std::string::npos) << rows[1];
  EXPECT_TRUE(rows[1].ends_with(",5125.000,0.250000,20375.000,-1.500,false,-12.250,,")) << rows[1];
  EXPECT_TRUE(rows[2].ends_with(",30.000,,,,,true,,,")) << rows[2];  // untimed: empty; left out of the fit
}

TEST_F(GeoJson, SpeedModelClocksAndOrbitAreTrajectoryProperties) {
  const json plain = trajectoryProperties(nullptr);
  f = withSpeedModel();
  const json p = trajectoryProperties(nullptr);
  EXPECT_EQ(p.at("velocityModel"), "exponential");
  EXPECT_DOUBLE_EQ(p.at("initialVelocity_m_s").get<double>(), 20500.0);
  EXPECT_DOUBLE_EQ(p.at("finalVelocity_m_s").get<double>(), 18250.0);
  EXPECT_EQ(p.at("beginTime"), "2026-11-14T21:03:07Z");
  EXPECT_EQ(p.at("referenceStation"), kOddName);
  EXPECT_DOUBLE_EQ(p.at("clockOffsets_s").at("Plain").get<double>(), 0.125);
  EXPECT_DOUBLE_EQ(p.at("radiantGeocentricRa").get<double>(), 121.5);
  EXPECT_DOUBLE_EQ(p.at("e").get<double>(), 0.625);
  EXPECT_DOUBLE_EQ(p.at("speed").get<double>(), 20000.0);  // the old figure stays
  EXPECT_FALSE(plain.contains("initialVelocity_m_s"));
  EXPECT_FALSE(plain.contains("radiantGeocentricRa"));
}

TEST_F(Kml, TrajectoryDescriptionHasTheSpeedsAndOrbit) {
  f = withSpeedModel();
  const std::string kml = write(writeKml, f, nullptr);
  EXPECT_NE(kml.find("Velocity (Earth-fixed): initial 20.500 km/s, final 18.250 km/s, exponential deceleration"),
            std::string::npos) << kml;
  EXPECT_NE(kml.find("geocentric radiant RA 121.500 deg, Dec 19.750 deg, vG 18.500 km/s, a 2.5000 AU, e 0.62500"),
            std::string::npos) << kml;
}

// ------------------------------------------------------------------ GDAL

/// Runs a command; its standard output, or nothing when it could not run or failed.
std::optional<std::string> run(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>/dev/null").c_str(), "r"), pclose);
  if (!pipe) return std::nullopt;
  std::string out;
  std::array<char, 4096> buffer{};
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0;) out.append(buffer.data(), n);
  if (pclose(pipe.release()) != 0) return std::nullopt;
  return out;
}

bool haveOgrinfo() { return run("ogrinfo --version").has_value(); }

std::string saveTemp(const std::string& name, const std::string& text) {
  const auto path = std::filesystem::path(::testing::TempDir()) / name;
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

/// Sum of "Feature Count: N" over the layers ogrinfo lists.
int featureCount(const std::string& summary) {
  int total = 0;
  std::istringstream in(summary);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Feature Count: ", 0) == 0) total += std::stoi(line.substr(15));
  }
  return total;
}

struct GdalCase {
  const char* name;
  bool kml;
  bool degenerate;
  bool withGeoid;
  int features;
  const char* coordinate;  ///< as ogrinfo prints it
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const GdalCase& c, std::ostream* os) { *os << c.name; }

class GdalReads : public ::testing::TestWithParam<GdalCase> {};

TEST_P(GdalReads, EveryFeatureWithItsCoordinatesAndTheOddName) {
  if (!haveOgrinfo()) GTEST_SKIP() << "ogrinfo (Debian gdal-bin) is not installed";
  const GdalCase& c = GetParam();
  const Fixture f = c.degenerate ? degenerate() : solved();
  const Geoid* g = c.withGeoid ? geoid() : nullptr;
  const std::string text = c.kml ? write(writeKml, f, g) : write(writeGeoJson, f, g);
  const std::string path = saveTemp("sightline_map_" + std::string(c.name) + (c.kml ? ".kml" : ".geojson"), text);

  const std::optional<std::string> summary = run("ogrinfo -ro -al -so '" + path + "'");
  ASSERT_TRUE(summary) << "ogrinfo could not open " << path;
  EXPECT_EQ(featureCount(*summary), c.features) << *summary;

  const std::optional<std::string> all = run("ogrinfo -ro -al '" + path + "'");
  ASSERT_TRUE(all);
  EXPECT_NE(all->find(c.coordinate), std::string::npos) << *all;
  EXPECT_NE(all->find(kOddName), std::string::npos) << *all;
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, GdalReads,
    ::testing::Values(GdalCase{"geojson", false, false, true, 8, "LINESTRING Z (-169.9 45.2 85000,-169.7 45.3 40000)"},
                      GdalCase{"geojson_degenerate", false, true, false, 2, "POINT Z (-170 45 300)"},
                      GdalCase{"kml", true, false, false, 8, "LINESTRING Z (-169.9 45.2 85000,-169.7 45.3 40000)"},
                      GdalCase{"kml_degenerate", true, true, false, 2, "POINT Z (-170 45 300)"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sightline
