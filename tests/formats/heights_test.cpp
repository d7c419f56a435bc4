// Station heights given above mean sea level become heights above the ellipsoid.
#include "formats/heights.hpp"
#include "support/geoid_fixture.hpp"

#include <gtest/gtest.h>

namespace sightline {
namespace {

using test::GeoidTest;

Event twoStations() {
  Event event;
  Station msl;
  msl.name = "Sea level";
  msl.position = {38.6281550, -90.2208450, 150.0};
  msl.heightReference = HeightReference::MeanSeaLevel;
  Station ellipsoid;
  ellipsoid.name = "Ellipsoid";
  ellipsoid.position = {-14.6212170, -54.978886, 250.0};
  event.stations = {msl, ellipsoid};
  return event;
}

TEST_F(GeoidTest, SeaLevelHeightsBecomeEllipsoidHeights) {
  Event event = twoStations();
  const std::optional<InputError> error = toEllipsoidHeights(event, geoid_, "");
  ASSERT_FALSE(error) << error->text();
  EXPECT_NEAR(event.stations[0].position.height, 150.0 - 31.628, 0.06);
  EXPECT_EQ(event.stations[0].heightReference, HeightReference::Ellipsoid);
  EXPECT_EQ(event.stations[1].position.height, 250.0);  // untouched
  // Converting again changes nothing.
  const double once = event.stations[0].position.height;
  ASSERT_FALSE(toEllipsoidHeights(event, geoid_, ""));
  EXPECT_EQ(event.stations[0].position.height, once);
}

TEST(GeoidAbsent, ErrorOnlyWhenAStationNeedsIt) {
  Event event = twoStations();
  const std::optional<InputError> error = toEllipsoidHeights(event, nullptr, "the grid egm96_15.gtx is missing");
  ASSERT_TRUE(error);
  EXPECT_NE(error->message.find("Sea level"), std::string::npos);
  EXPECT_NE(error->message.find("egm96_15.gtx"), std::string::npos);
  EXPECT_EQ(error->path, "stations[0].position.height");
  EXPECT_EQ(event.stations[0].heightReference, HeightReference::MeanSeaLevel);

  event.stations.erase(event.stations.begin());
  EXPECT_FALSE(toEllipsoidHeights(event, nullptr, "the grid egm96_15.gtx is missing"));
}

}  // namespace
}  // namespace sightline
