// Apparent magnitudes as the readers take them: the event file's sighting key
// "magnitude" and the ECSV column "mag_data"; bad ones are refused with where they are.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "formats/ecsv.hpp"
#include "formats/event_json.hpp"

namespace sightline {
namespace {

const std::string kEvent = R"({
  "format": "sightline-event",
  "version": 1,
  "stations": [
    {"name": "A", "latitude": 47.5, "longitude": 11.0, "height": 600,
     "sightings": [{"azimuth": 10.0, "elevation": 30.0}, {"azimuth": 20.0, "elevation": 25.0, "magnitude": MAG}]},
    {"name": "B", "latitude": 48.0, "longitude": 12.0, "height": 450,
     "sightings": [{"azimuth": 200.0, "elevation": 40.0}]}
  ]
}
)";

std::string eventWith(const std::string& magnitude) {
  std::string text = kEvent;
  return text.replace(text.find("MAG"), 3, magnitude);
}

TEST(EventJsonMagnitude, IsReadWhereGivenAndAbsentElsewhere) {
  const EventReadResult r = readEventJson(eventWith("-4.25"), "m.json");
  ASSERT_FALSE(r.error) << r.error->text();
  EXPECT_FALSE(r.event.stations[0].sightings[0].magnitude);
  ASSERT_TRUE(r.event.stations[0].sightings[1].magnitude);
  EXPECT_EQ(*r.event.stations[0].sightings[1].magnitude, -4.25);
  EXPECT_FALSE(r.event.stations[1].sightings[0].magnitude);
}

TEST(EventJsonMagnitude, TheLimitsThemselvesAreAccepted) {
  for (const char* m : {"-30", "15", "0"}) {
    const EventReadResult r = readEventJson(eventWith(m), "m.json");
    EXPECT_FALSE(r.error) << m << ": " << r.error->text();
  }
}

TEST(EventJsonMagnitude, IsWrittenAndReadBack) {
  const EventReadResult r = readEventJson(eventWith("-7.125"), "m.json");
  ASSERT_FALSE(r.error);
  const EventReadResult back = readEventJson(writeEventJson(r.event), "back.json");
  ASSERT_FALSE(back.error) << back.error->text();
  EXPECT_EQ(back.event.stations[0].sightings[1].magnitude, -7.125);
  EXPECT_FALSE(back.event.stations[0].sightings[0].magnitude);
}

struct BadMagnitude {
  std::string name;
  std::string value;
  std::string found;  // what the message says was found
};
[[maybe_unused]] void PrintTo(const BadMagnitude& c, std::ostream* os) { *os << c.name; }

class EventJsonBadMagnitude : public ::testing::TestWithParam<BadMagnitude> {};

TEST_P(EventJsonBadMagnitude, IsRefusedWithItsPath) {
  const EventReadResult r = readEventJson(eventWith(GetParam().value), "bad.json");
  ASSERT_TRUE(r.error) << "accepted " << GetParam().value;
  EXPECT_EQ(r.error->file, "bad.json");
  EXPECT_EQ(r.error->path, "stations[0].sightings[1].magnitude");
  EXPECT_NE(r.error->message.find("apparent magnitude, from -30 to +15"), std::string::npos) << r.error->message;
  EXPECT_NE(r.error->message.find("found " + GetParam().found), std::string::npos) << r.error->message;
}

const BadMagnitude kBadJson[] = {
    {"FainterThan15", "15.5", "15.5"},
    {"BrighterThanMinus30", "-31", "-31"},
    {"Text", "\"bright\"", "a string"},
    {"Null", "null", "null"},
    {"List", "[1]", "a list"},
};
INSTANTIATE_TEST_SUITE_P(Table, EventJsonBadMagnitude, ::testing::ValuesIn(kBadJson),
                         [](const auto& info) { return info.param.name; });

// One camera; the third row's magnitude is MAG (the first two are -2.5 and masked).
std::string ecsvWith(const std::string& magnitude) {
  std::string text =
      "# %ECSV 1.0\n"
      "# ---\n"
      "# datatype:\n"
      "# - {name: datetime, datatype: string}\n"
      "# - {name: azimuth, datatype: float64}\n"
      "# - {name: altitude, datatype: float64}\n"
      "# - {name: mag_data, datatype: float64}\n"
      "# delimiter: ','\n"
      "# meta: !!omap\n"
      "# - {obs_latitude: 43.26}\n"
      "# - {obs_longitude: -80.77}\n"
      "# - {obs_elevation: 329.0}\n"
      "datetime,azimuth,altitude,mag_data\n"
      "2026-11-14T21:03:07.250000,120.5,60.0,-2.5\n"
      "2026-11-14T21:03:07.290000,121.0,59.0,\n"
      "2026-11-14T21:03:07.330000,121.5,58.0,MAG\n";
  return text.replace(text.find("MAG"), 3, magnitude);
}

TEST(EcsvMagnitude, IsReadFromMagDataAndAMaskedFieldGivesNone) {
  const StationReadResult r = readEcsvStation(ecsvWith("-3.75"), "cam.ecsv", EcsvOptions{});
  ASSERT_FALSE(r.error) << r.error->text();
  ASSERT_EQ(r.station.sightings.size(), 3u);
  EXPECT_EQ(r.station.sightings[0].magnitude, -2.5);
  EXPECT_FALSE(r.station.sightings[1].magnitude);
  EXPECT_EQ(r.station.sightings[2].magnitude, -3.75);
}

class EcsvBadMagnitude : public ::testing::TestWithParam<BadMagnitude> {};

TEST_P(EcsvBadMagnitude, IsRefusedWithItsLineAndColumn) {
  const StationReadResult r = readEcsvStation(ecsvWith(GetParam().value), "cam.ecsv", EcsvOptions{});
  ASSERT_TRUE(r.error) << "accepted " << GetParam().value;
  EXPECT_EQ(r.error->file, "cam.ecsv");
  EXPECT_EQ(r.error->line, 16);
  EXPECT_EQ(r.error->column, 4);
  EXPECT_EQ(r.error->path, "mag_data");
  EXPECT_NE(r.error->message.find("from -30 to +15, found \"" + GetParam().found + "\""), std::string::npos)
      << r.error->message;
}

const BadMagnitude kBadEcsv[] = {
    {"NotANumber", "nan", "nan"},
    {"Infinite", "inf", "inf"},
    {"FainterThan15", "16", "16"},
    {"BrighterThanMinus30", "-30.5", "-30.5"},
    {"Text", "bright", "bright"},
};
INSTANTIATE_TEST_SUITE_P(Table, EcsvBadMagnitude, ::testing::ValuesIn(kBadEcsv),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace sightline
