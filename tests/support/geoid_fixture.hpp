// A test suite that opens the EGM96 geoid once (PROJ, proj-data) and fails when it cannot.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "earth/geoid.hpp"

namespace sightline::test {

class GeoidTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string message;
    geoid_ = Geoid::open(message).release();
    ASSERT_NE(geoid_, nullptr) << message;
  }
  static void TearDownTestSuite() {
    delete geoid_;
    geoid_ = nullptr;
  }
  inline static Geoid* geoid_ = nullptr;
};

}  // namespace sightline::test
