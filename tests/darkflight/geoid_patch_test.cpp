// The geoid patch against PROJ's EGM96 grid it samples: the same heights
// (to a millimetre) anywhere inside it, across the 180-degree meridian too.
#include <gtest/gtest.h>

#include "darkflight/geoid_patch.hpp"
#include "support/geoid_fixture.hpp"

namespace sightline::darkflight {
namespace {

class GeoidPatchTest : public test::GeoidTest {};

TEST_F(GeoidPatchTest, ReproducesTheGridInsideThePatch) {
  const UndulationFunction grid = [](double lat, double lon) { return geoid_->undulation(lat, lon); };
  for (const auto& [lat, lon] : {std::pair{-29.265, 137.478}, std::pair{47.6, 11.9}, std::pair{-16.5, 179.9}}) {
    const GeoidPatch patch(grid, lat, lon, 1.0);
    for (double dLat = -0.9; dLat <= 0.9; dLat += 0.37) {
      for (double dLon = -0.9; dLon <= 0.9; dLon += 0.29) {
        double l = lon + dLon;
        if (l >= 180.0) l -= 360.0;
        EXPECT_NEAR(patch.at(lat + dLat, l), geoid_->undulation(lat + dLat, l), 1e-3) << lat + dLat << " " << l;
      }
    }
  }
}

TEST_F(GeoidPatchTest, WithoutAGridTheGeoidIsZero) {
  EXPECT_EQ(GeoidPatch().at(10.0, 20.0), 0.0);
  EXPECT_EQ(GeoidPatch(UndulationFunction(), 10.0, 20.0).at(10.0, 20.0), 0.0);
}

}  // namespace
}  // namespace sightline::darkflight
