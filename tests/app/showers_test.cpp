// The front ends' shower step: the nominal orbit's shower and the share of the
// Monte Carlo draws in it, with the shipped table; a table that cannot be read
// is an error, never a sporadic.
#include <gtest/gtest.h>

#include <string>

#include "app/showers.hpp"

namespace sightline {
namespace {

// A Geminid's key: the shipped table's GEM solution 0 (MDC line 22: lambda_sun
// 262.1, RA 113.2, Dec +32.5, vG 34.58 km/s) is at J2000 ecliptic (109.759, +10.638).
Orbit orbitAt(double solarLongitude, double longitude, double latitude, double vG) {
  Orbit o;
  o.solarLongitude = solarLongitude;
  o.radiantEcliptic = {longitude, latitude};
  o.vGeocentric = vG;
  return o;
}

TEST(ShowerStep, GivesTheShowerAndTheShareOfDrawsInIt) {
  SolvedOrbit solved;
  solved.orbit = orbitAt(262.1, 109.759, 10.638, 34580.0);
  solved.drawKeys = {showerKeyOf(orbitAt(262.1, 109.8, 10.5, 34400.0)),
                     showerKeyOf(orbitAt(262.1, 109.759, 10.638, 34580.0)),
                     showerKeyOf(orbitAt(262.1, 140.0, -30.0, 20000.0)),  // far away: sporadic
                     showerKeyOf(orbitAt(262.1, 109.2, 11.0, 35000.0))};
  ASSERT_FALSE(associateShower(ShowerSettings{}, solved));
  ASSERT_TRUE(solved.shower.checked);
  ASSERT_TRUE(solved.shower.match);
  EXPECT_EQ(solved.shower.match->code, "GEM");
  EXPECT_LT(solved.shower.match->radiantDistance, 0.05);
  ASSERT_TRUE(solved.shower.match->membership);
  EXPECT_DOUBLE_EQ(*solved.shower.match->membership, 0.75);
}

TEST(ShowerStep, WithoutDrawsThereIsNoMembership) {
  SolvedOrbit solved;
  solved.orbit = orbitAt(262.1, 109.759, 10.638, 34580.0);
  ASSERT_FALSE(associateShower(ShowerSettings{}, solved));
  ASSERT_TRUE(solved.shower.match);
  EXPECT_FALSE(solved.shower.match->membership);
}

TEST(ShowerStep, AnUnreadableTableIsAnErrorNamingIt) {
  SolvedOrbit solved;
  ShowerSettings settings;
  settings.table = "/nonexistent/table.csv";
  const auto error = associateShower(settings, solved);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->file, "/nonexistent/table.csv");
  EXPECT_FALSE(solved.shower.checked);
}

}  // namespace
}  // namespace sightline
