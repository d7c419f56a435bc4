// The EGM96 geoid, through PROJ: heights above mean sea level.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "earth/frames.hpp"

namespace sightline {

class Geoid {
 public:
  /// Opens the EGM96 15' grid through PROJ; nullptr with `message` saying why
  /// (e.g. the grid file is not installed: Debian package proj-data).
  static std::unique_ptr<Geoid> open(std::string& message);
  /// Opens the vertical grid `gridName` (a file PROJ finds, e.g. "egm96_15.gtx")
  /// the same way; network access stays off.
  static std::unique_ptr<Geoid> openGrid(const std::string& gridName, std::string& message);
  ~Geoid();
  Geoid(const Geoid&) = delete;
  Geoid& operator=(const Geoid&) = delete;

  /// Height of the geoid (metres above the WGS84 ellipsoid) at `latitude`,
  /// `longitude` (degrees); NaN when it cannot be had.
  double undulation(double latitude, double longitude) const;

  /// Height (metres) above mean sea level of `position` (degrees, metres above the ellipsoid); NaN when unknown.
  double heightAboveSeaLevel(const GeodeticPosition& position) const;

 private:
  struct Impl;
  explicit Geoid(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace sightline
