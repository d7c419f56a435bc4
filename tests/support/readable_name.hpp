// Names for value-parameterised tests made from what the case prints:
// readable, and the same in every listing of the test program.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstddef>
#include <ostream>
#include <string>

#include "geometry/vector3.hpp"

namespace sightline::testing {

/// "(x, y, z)" with six significant digits.
inline std::string vectorText(const Vector3& v) {
  return "(" + ::testing::PrintToString(v.x) + ", " + ::testing::PrintToString(v.y) + ", " +
         ::testing::PrintToString(v.z) + ")";
}

/// The case's index, then its printed form with every run of other characters turned into one '_'.
struct ReadableName {
  template <class Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& info) const {
    const std::string text = ::testing::PrintToString(info.param);
    std::string name = std::to_string(info.index);
    bool gap = true;
    for (char c : text) {
      if (std::isalnum(static_cast<unsigned char>(c))) {
        if (gap) name += '_';
        name += c;
        gap = false;
      } else {
        gap = true;
      }
      if (name.size() >= 60) break;
    }
    return name;
  }
};

}  // namespace sightline::testing
