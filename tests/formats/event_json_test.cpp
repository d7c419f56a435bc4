// Reading and writing event files: what is accepted, what is refused and how
// the refusal points at the fault, and that a written event reads back the same.
#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <limits>
#include <string>

#include "formats/event_json.hpp"
#include "trajectory/time.hpp"

namespace sightline {
namespace {

// A valid event; the malformed cases below change one piece of it.
const std::string kValid = R"({
  "format": "sightline-event",
  "version": 1,
  "refraction": "none",
  "stations": [
    {"name": "A", "latitude": 47.5, "longitude": 11.0, "height": 600,
     "sightings": [{"azimuth": 10.0, "elevation": 30.0, "label": "begin"}, {"azimuth": 20.0, "elevation": 25.0}]},
    {"name": "B", "latitude": 48.0, "longitude": 12.0, "height": 450,
     "sightings": [{"azimuth": 200.0, "elevation": 40.0, "time": "2026-11-14T21:03:07Z"}]}
  ]
}
)";

std::string replaced(const std::string& from, const std::string& to) {
  std::string text = kValid;
  const auto at = text.find(from);
  if (at == std::string::npos) {
    ADD_FAILURE() << "not in the valid event: " << from;
    return text;
  }
  return text.replace(at, from.size(), to);
}

TEST(EventJsonRead, ValidEventGivesItsValuesAndTheDefaults) {
  const EventReadResult r = readEventJson(kValid, "event.json");
  ASSERT_FALSE(r.error) << r.error->text();
  const Event& e = r.event;
  EXPECT_EQ(e.refraction, Refraction::None);
  EXPECT_FALSE(e.sigma);  // not stated: the default applies until solve() estimates the sigmas
  EXPECT_FALSE(e.time);
  EXPECT_EQ(e.monteCarlo.draws, 0);
  EXPECT_TRUE(e.triangulateLabels);
  ASSERT_EQ(e.stations.size(), 2u);
  EXPECT_EQ(e.stations[0].name, "A");
  EXPECT_EQ(e.stations[0].position.latitude, 47.5);
  EXPECT_EQ(e.stations[0].position.longitude, 11.0);
  EXPECT_EQ(e.stations[0].position.height, 600.0);
  EXPECT_EQ(e.stations[0].heightReference, HeightReference::Ellipsoid);
  ASSERT_EQ(e.stations[0].sightings.size(), 2u);
  EXPECT_EQ(e.stations[0].sightings[0].label, "begin");
  EXPECT_EQ(e.stations[0].sightings[1].label, "");
  EXPECT_EQ(e.stations[0].sightings[1].azimuth, 20.0);
  EXPECT_EQ(e.stations[0].sightings[1].elevation, 25.0);
  EXPECT_FALSE(e.stations[0].sightings[1].sigma);
  ASSERT_TRUE(e.stations[1].sightings[0].time);
  EXPECT_EQ(*e.stations[1].sightings[0].time, *parseIsoTime("2026-11-14T21:03:07Z"));
}

TEST(EventJsonRead, OptionalFieldsAreRead) {
  const std::string text = R"({"$schema": "../schema/sightline-event.schema.json",
    "format": "sightline-event", "version": 1, "name": "Fireball", "time": "2026-11-14T21:03:47Z",
    "refraction": "apparent", "sigma": 0.02, "triangulateLabels": false, "monteCarlo": {"draws": 500, "seed": 18446744073709551615},
    "stations": [
      {"name": "A", "latitude": -33.9, "longitude": 540.5, "height": -20, "heightReference": "msl", "sigma": 0.1,
       "sightings": [{"azimuth": -10, "elevation": -1.5, "sigma": 0.03}]},
      {"name": "B", "latitude": 90, "longitude": -180, "height": 0, "heightReference": "ellipsoid",
       "sightings": [{"azimuth": 370, "elevation": 90}]}]})";
  const EventReadResult r = readEventJson(text, "event.json");
  ASSERT_FALSE(r.error) << r.error->text();
  const Event& e = r.event;
  EXPECT_EQ(e.name, "Fireball");
  ASSERT_TRUE(e.time);
  EXPECT_EQ(formatIsoTime(*e.time), "2026-11-14T21:03:47Z");
  EXPECT_EQ(e.refraction, Refraction::Apparent);
  EXPECT_EQ(e.sigma, 0.02);
  EXPECT_FALSE(e.triangulateLabels);
  EXPECT_EQ(e.monteCarlo.draws, 500);
  EXPECT_EQ(e.monteCarlo.seed, std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(e.stations[0].heightReference, HeightReference::MeanSeaLevel);
  EXPECT_EQ(e.stations[0].position.longitude, 540.5);
  EXPECT_EQ(*e.stations[0].sigma, 0.1);
  EXPECT_EQ(*e.stations[0].sightings[0].sigma, 0.03);
  EXPECT_EQ(e.stations[0].sightings[0].elevation, -1.5);
  EXPECT_EQ(e.stations[1].heightReference, HeightReference::Ellipsoid);
  EXPECT_EQ(e.stations[1].sightings[0].elevation, 90.0);
}

struct MalformedCase {
  std::string name;
  std::string from;     // piece of kValid to replace; empty: `to` is the whole file
  std::string to;
  int line;             // 0: not reported
  int column;
  std::string path;     // JSON path reported; empty: none
  std::string expected; // part of the message
};

// Test names and failure messages show the case by its name.
[[maybe_unused]] void PrintTo(const MalformedCase& c, std::ostream* os) { *os << c.name; }

class EventJsonMalformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(EventJsonMalformed, IsRefusedWithFileWhereAndWhatWasExpected) {
  const MalformedCase& c = GetParam();
  const std::string text = c.from.empty() ? c.to : replaced(c.from, c.to);
  const EventReadResult r = readEventJson(text, "bad.json");
  ASSERT_TRUE(r.error) << "accepted:\n" << text;
  const InputError& e = *r.error;
  EXPECT_EQ(e.file, "bad.json");
  EXPECT_EQ(e.line, c.line) << e.text();
  EXPECT_EQ(e.column, c.column) << e.text();
  EXPECT_EQ(e.path, c.path);
  EXPECT_NE(e.message.find(c.expected), std::string::npos) << e.message;
  EXPECT_TRUE(r.event.stations.empty());
  const std::string where =
      c.line > 0 ? "bad.json:" + std::to_string(c.line) + ":" + std::to_string(c.column) + ": "
                 : "bad.json: " + (c.path.empty() ? "" : c.path + ": ");
  EXPECT_EQ(e.text().rfind(where, 0), 0u) << e.text();
}

const MalformedCase kMalformed[] = {
    // Syntax: line and column of the fault.
    {"Empty", "", "", 1, 1, "", "unexpected end of input"},
    {"MissingComma", "\"version\": 1,", "\"version\": 1", 4, 3, "", "expected '}'"},
    {"TrailingComma", "\"height\": 450,", "\"height\": 450,,", 8, 70, "", "syntax error"},
    {"NotANumberLiteral", "\"elevation\": 25.0", "\"elevation\": NaN", 7, 107, "", "invalid literal"},
    {"UnterminatedString", "", "{\n  \"format\": \"sightline-event", 2, 29, "", "missing closing quote"},
    {"InvalidUtf8", "\"name\": \"A\"", "\"name\": \"\xff\"", 6, 15, "", "ill-formed UTF-8"},
    {"NumberTooLarge", "\"height\": 600", "\"height\": 1e999", 6, 66, "", "number overflow"},
    // Structure and keys: the JSON path.
    {"TopLevelList", "", "[1, 2]", 0, 0, "", "expected an event"},
    {"UnknownTopKey", "\"refraction\": \"none\"", "\"refractoin\": \"none\"", 0, 0, "refractoin", "unknown key"},
    {"UnknownSightingKey", "\"label\": \"begin\"", "\"lable\": \"begin\"", 0, 0, "stations[0].sightings[0].lable", "unknown key"},
    {"UnknownStationKey", "\"height\": 450", "\"height\": 450, \"elevation\": 3", 0, 0, "stations[1].elevation", "unknown key"},
    {"DuplicateKey", "\"latitude\": 47.5,", "\"latitude\": 47.5, \"latitude\": 47.6,", 0, 0, "stations[0].latitude", "twice"},
    {"WrongFormat", "\"format\": \"sightline-event\"", "\"format\": \"sightline-solution\"", 0, 0, "format", "\"sightline-event\""},
    {"MissingFormat", "\"format\": \"sightline-event\",", "", 0, 0, "", "missing key \"format\""},
    {"LaterVersion", "\"version\": 1", "\"version\": 2", 0, 0, "version", "expected 1"},
    {"UnknownRefraction", "\"refraction\": \"none\"", "\"refraction\": \"bent\"", 0, 0, "refraction", "\"none\", \"corrected\" or \"apparent\""},
    {"StationsNotAList", "", R"({"format": "sightline-event", "version": 1, "stations": {}})", 0, 0, "stations", "a list"},
    {"OneStation", "", R"({"format": "sightline-event", "version": 1, "stations": [
       {"name": "A", "latitude": 1, "longitude": 2, "height": 3, "sightings": [{"azimuth": 1, "elevation": 2}]}]})",
     0, 0, "stations", "two or more stations, found 1"},
    {"StationNotAnObject", "{\"name\": \"B\"", "7, {\"name\": \"B\"", 0, 0, "stations[1]", "expected a station"},
    {"StationWithoutSightings", "[{\"azimuth\": 200.0, \"elevation\": 40.0, \"time\": \"2026-11-14T21:03:07Z\"}]", "[]",
     0, 0, "stations[1].sightings", "at least one sighting"},
    {"MissingAzimuth", "{\"azimuth\": 20.0, ", "{", 0, 0, "stations[0].sightings[1]", "missing key \"azimuth\""},
    {"MissingName", "\"name\": \"B\", ", "", 0, 0, "stations[1]", "missing key \"name\""},
    {"NameNotAString", "\"name\": \"B\"", "\"name\": 7", 0, 0, "stations[1].name", "expected a string"},
    {"LatitudeAsText", "\"latitude\": 48.0", "\"latitude\": \"48.0\"", 0, 0, "stations[1].latitude", "expected a number"},
    {"LatitudeOver90", "\"latitude\": 47.5", "\"latitude\": 90.5", 0, 0, "stations[0].latitude", "from -90 to 90"},
    {"LatitudeUnderMinus90", "\"latitude\": 48.0", "\"latitude\": -91", 0, 0, "stations[1].latitude", "from -90 to 90"},
    {"ElevationOver90", "\"elevation\": 40.0", "\"elevation\": 95", 0, 0, "stations[1].sightings[0].elevation", "from -90 to 90"},
    {"ElevationNull", "\"elevation\": 25.0", "\"elevation\": null", 0, 0, "stations[0].sightings[1].elevation", "found null"},
    {"AzimuthBoolean", "\"azimuth\": 10.0", "\"azimuth\": true", 0, 0, "stations[0].sightings[0].azimuth", "found true"},
    {"HeightReferenceUnknown", "\"height\": 600", "\"height\": 600, \"heightReference\": \"geoid\"", 0, 0,
     "stations[0].heightReference", "\"ellipsoid\" or \"msl\""},
    {"BadSightingTime", "2026-11-14T21:03:07Z", "2026-13-14T21:03:07Z", 0, 0, "stations[1].sightings[0].time", "ISO 8601"},
    {"BadEventTime", "\"version\": 1,", "\"version\": 1, \"time\": \"yesterday\",", 0, 0, "time", "ISO 8601"},
    {"ZeroSigma", "\"version\": 1,", "\"version\": 1, \"sigma\": 0,", 0, 0, "sigma", "greater than 0"},
    {"NegativeStationSigma", "\"height\": 450", "\"height\": 450, \"sigma\": -0.1", 0, 0, "stations[1].sigma", "greater than 0"},
    {"NegativeSightingSigma", "\"elevation\": 30.0", "\"elevation\": 30.0, \"sigma\": -1", 0, 0, "stations[0].sightings[0].sigma",
     "greater than 0"},
    {"NegativeDraws", "\"version\": 1,", "\"version\": 1, \"monteCarlo\": {\"draws\": -1},", 0, 0, "monteCarlo.draws", "0 or more"},
    {"FractionalDraws", "\"version\": 1,", "\"version\": 1, \"monteCarlo\": {\"draws\": 2.5},", 0, 0, "monteCarlo.draws", "whole number"},
    {"TooManyDraws", "\"version\": 1,", "\"version\": 1, \"monteCarlo\": {\"draws\": 3000000000},", 0, 0, "monteCarlo.draws", "at most"},
    {"NegativeSeed", "\"version\": 1,", "\"version\": 1, \"monteCarlo\": {\"seed\": -4},", 0, 0, "monteCarlo.seed", "0 or more"},
    {"TriangulateLabelsAsText", "\"version\": 1,", "\"version\": 1, \"triangulateLabels\": \"no\",", 0, 0,
     "triangulateLabels", "true or false"},
    // Hostile nesting: refused at the first bracket too deep, brackets in strings do not count.
    {"NestedBrackets", "", std::string(40, '['), 1, 33, "", "nested more than 32 levels"},
    {"NestedObjects", "", "{\"a\":\n" + std::string(40, '{'), 2, 32, "", "nested more than 32 levels"},
    {"ClockOffsetsUnknown", "\"version\": 1,", "\"version\": 1, \"clockOffsets\": \"fixed\",", 0, 0, "clockOffsets",
     "expected \"fit\" or \"none\", found \"fixed\""},
    {"ClockOffsetsAsBoolean", "\"version\": 1,", "\"version\": 1, \"clockOffsets\": false,", 0, 0, "clockOffsets",
     "\"fit\" or \"none\", found false"},
    {"TrajectoryModelUnknown", "\"version\": 1,", "\"version\": 1, \"trajectoryModel\": \"curved\",", 0, 0,
     "trajectoryModel", "expected \"gravity\" or \"straight\", found \"curved\""},
    {"TrajectoryModelAsNumber", "\"version\": 1,", "\"version\": 1, \"trajectoryModel\": 1,", 0, 0, "trajectoryModel",
     "\"gravity\" or \"straight\""},
    // A date one day and a second off the event's (a wrong day typed) cannot be used: timingIssues' error.
    {"TimeADayFromTheEvent", "\"version\": 1,", "\"version\": 1, \"time\": \"2026-11-13T21:03:06Z\",", 0, 0,
     "stations[1].sightings[0].time", "expected within one day"},
    {"UnknownMonteCarloKey", "\"version\": 1,", "\"version\": 1, \"monteCarlo\": {\"draw\": 4},", 0, 0, "monteCarlo.draw", "unknown key"},
};

INSTANTIATE_TEST_SUITE_P(Table, EventJsonMalformed, ::testing::ValuesIn(kMalformed),
                         [](const auto& info) { return info.param.name; });

// An event with everything an event can carry, and numbers that do not print short.
Event richEvent() {
  Event e;
  e.name = "Fireball \"Ω\" & <friends>";
  e.time = *parseIsoTime("2026-11-14T21:03:47.125Z");
  e.refraction = Refraction::Apparent;
  e.sigma = 0.1 + 0.2;
  e.triangulateLabels = false;
  e.monteCarlo.draws = 250;
  e.monteCarlo.seed = 12345678901234567890ull;
  Station a;
  a.name = "Hilltop";
  a.position = {47.991423499680614, 11.200000000000001, 619.823300986866};
  a.heightReference = HeightReference::MeanSeaLevel;
  a.sigma = 1.0 / 3.0;
  a.sightings.push_back(Sighting{108.72349403016146, 57.34900125566732, "begin", *parseIsoTime("2026-11-14T21:03:47.5Z"), 0.01});
  a.sightings.push_back(Sighting{359.99999999999994, -0.0001, "", std::nullopt, std::nullopt});
  Station b;
  b.name = "Lakeside";
  b.position = {-89.999999999, -179.99999999999997, 4.9406564584124654e-324};
  b.sightings.push_back(Sighting{1e-300, 89.99999999999999, "end", std::nullopt, std::nullopt});
  e.stations = {a, b};
  e.clockOffsets = ClockOffsetMode::None;
  e.trajectoryModel = TrajectoryModel::Straight;
  return e;
}

void expectSameEvent(const Event& x, const Event& y) {
  EXPECT_EQ(x.name, y.name);
  ASSERT_EQ(x.time.has_value(), y.time.has_value());
  if (x.time) {
    EXPECT_NEAR(*x.time, *y.time, 1e-6);
  }
  EXPECT_EQ(x.refraction, y.refraction);
  EXPECT_EQ(x.sigma, y.sigma);
  EXPECT_EQ(x.triangulateLabels, y.triangulateLabels);
  EXPECT_EQ(x.clockOffsets, y.clockOffsets);
  EXPECT_EQ(x.trajectoryModel, y.trajectoryModel);
  EXPECT_EQ(x.monteCarlo.draws, y.monteCarlo.draws);
  EXPECT_EQ(x.monteCarlo.seed, y.monteCarlo.seed);
  ASSERT_EQ(x.stations.size(), y.stations.size());
  for (std::size_t s = 0; s < x.stations.size(); ++s) {
    const Station& p = x.stations[s];
    const Station& q = y.stations[s];
    EXPECT_EQ(p.name, q.name);
    EXPECT_EQ(p.position.latitude, q.position.latitude);
    EXPECT_EQ(p.position.longitude, q.position.longitude);
    EXPECT_EQ(p.position.height, q.position.height);
    EXPECT_EQ(p.heightReference, q.heightReference);
    EXPECT_EQ(p.sigma, q.sigma);
    ASSERT_EQ(p.sightings.size(), q.sightings.size());
    for (std::size_t k = 0; k < p.sightings.size(); ++k) {
      EXPECT_EQ(p.sightings[k].azimuth, q.sightings[k].azimuth);
      EXPECT_EQ(p.sightings[k].elevation, q.sightings[k].elevation);
      EXPECT_EQ(p.sightings[k].label, q.sightings[k].label);
      EXPECT_EQ(p.sightings[k].sigma, q.sightings[k].sigma);
      ASSERT_EQ(p.sightings[k].time.has_value(), q.sightings[k].time.has_value());
      if (p.sightings[k].time) {
        EXPECT_NEAR(*p.sightings[k].time, *q.sightings[k].time, 1e-6);
      }
    }
  }
}

TEST(EventJsonHostile, TenMegabytesOfBracketsAreRefusedAtTheFirstTooDeep) {
  const std::string text = "{\"format\": " + std::string(10 << 20, '[');
  const EventReadResult r = readEventJson(text, "deep.json");
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->text().rfind("deep.json:1:", 0), 0u) << r.error->text();
  EXPECT_NE(r.error->message.find("nested more than"), std::string::npos);
}

TEST(EventJsonHostile, BracketsInsideStringsAreText) {
  const std::string name = std::string(40, '[') + "\\\"" + std::string(40, '{');  // [[..\"{{..: an escaped quote inside
  const EventReadResult r = readEventJson(replaced("\"name\": \"A\"", "\"name\": \"" + name + "\""), "name.json");
  ASSERT_FALSE(r.error) << r.error->text();
  EXPECT_EQ(r.event.stations[0].name, std::string(40, '[') + "\"" + std::string(40, '{'));
}

TEST(EventJsonRoundTrip, WrittenEventReadsBackToTheSameEvent) {
  const Event original = richEvent();
  const std::string text = writeEventJson(original);
  const EventReadResult r = readEventJson(text, "written.json");
  ASSERT_FALSE(r.error) << r.error->text() << "\n" << text;
  expectSameEvent(original, r.event);
  // And writing it again gives the same text.
  EXPECT_EQ(writeEventJson(r.event), text);
}

TEST(EventJsonRoundTrip, DefaultsAreLeftOutAndReadBack) {
  Event e = richEvent();
  e.name.clear();
  e.time.reset();
  e.monteCarlo = MonteCarloOptions{};
  e.stations[0].heightReference = HeightReference::Ellipsoid;
  e.triangulateLabels = true;
  e.clockOffsets = ClockOffsetMode::Fit;
  const std::string text = writeEventJson(e);
  EXPECT_EQ(text.find("\"name\""), text.find("\"name\": \"Hilltop\""));
  EXPECT_EQ(text.find("monteCarlo"), std::string::npos);
  EXPECT_EQ(text.find("heightReference"), std::string::npos);
  EXPECT_EQ(text.find("triangulateLabels"), std::string::npos);
  EXPECT_EQ(text.find("clockOffsets"), std::string::npos);
  const EventReadResult r = readEventJson(text, "written.json");
  ASSERT_FALSE(r.error) << r.error->text();
  expectSameEvent(e, r.event);
}

TEST(EventJsonRoundTrip, ClockOffsetsNoneIsWrittenAndReadBack) {
  const std::string text = writeEventJson(richEvent());
  EXPECT_NE(text.find("\"clockOffsets\": \"none\""), std::string::npos) << text;
  EXPECT_EQ(readEventJson(text, "written.json").event.clockOffsets, ClockOffsetMode::None);
  const EventReadResult fit = readEventJson(replaced("\"version\": 1,", "\"version\": 1, \"clockOffsets\": \"fit\","), "fit.json");
  ASSERT_FALSE(fit.error) << fit.error->text();
  EXPECT_EQ(fit.event.clockOffsets, ClockOffsetMode::Fit);
  EXPECT_EQ(readEventJson(kValid, "default.json").event.clockOffsets, ClockOffsetMode::Fit);
}

TEST(EventJsonRead, TimesWithinADayOfTheEventAreAccepted) {
  // 23 hours before the sighting: far, but a fireball seen near midnight may be dated either side.
  const EventReadResult r =
      readEventJson(replaced("\"version\": 1,", "\"version\": 1, \"time\": \"2026-11-13T22:03:07Z\","), "near.json");
  EXPECT_FALSE(r.error) << r.error->text();
}

TEST(EventJsonRoundTrip, NamesThatAreNotUtf8AreWrittenAsValidJson) {
  Event e = richEvent();
  e.stations[0].name = "Sch\xf6nberg";  // Latin-1, as an old observation file may hold it
  const EventReadResult r = readEventJson(writeEventJson(e), "written.json");
  ASSERT_FALSE(r.error) << r.error->text();
  EXPECT_EQ(r.event.stations[0].name, "Sch\xef\xbf\xbdnberg");  // the replacement character
}

}  // namespace
}  // namespace sightline
