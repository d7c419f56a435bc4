// Constants of the correlator, named once, with units.
#pragma once

#include <cstddef>

namespace sightline::correlate_constants {

/// Metres per kilometre.
inline constexpr double kMetresPerKm = 1000.0;
/// Mean Earth radius (IUGG), metres: for the horizon distance of the station index only.
inline constexpr double kMeanEarthRadius = 6371008.8;
/// WGS84 semi-major and semi-minor axes, metres (NIMA TR8350.2).
inline constexpr double kWgs84SemiMajorAxis = 6378137.0;
inline constexpr double kWgs84SemiMinorAxis = 6356752.314245;
/// A ray farther than this from its station (metres) does not meet the line at meteor heights.
inline constexpr double kMaxRange = 3.0e6;
/// A track's box is widened by this (m): the Earth's curve between its corners and the heights' approximation.
inline constexpr double kBoxMargin = 30e3;
/// Rays within this sine of the trajectory's direction give no usable point along it.
inline constexpr double kGrazingSine = 1e-4;
/// A track shorter than this on the sky (radians) gives no plane.
inline constexpr double kMinTrackAngle = 1e-5;
/// Spans of two stations along the line may leave a gap of this fraction of the longer span.
inline constexpr double kSpanGapFraction = 0.5;
/// ... plus this many metres.
inline constexpr double kSpanGapMetres = 3000.0;
/// Common events that make a pair of stations' clock difference known.
inline constexpr std::size_t kMinClockSamples = 3;
/// Largest gap between the two parts of a meteor split over consecutive FF files, s.
inline constexpr double kSplitGap = 0.5;
/// A member's rays may lie this many times their own scatter about their plane from the group's line ...
inline constexpr double kScatterFactor = 4.0;
/// ... plus this angle (radians, 0.15 degree): the line's own error and a camera's calibration.
inline constexpr double kLineAllowance = 0.15 * 3.14159265358979323846 / 180.0;
/// Most passes that grow one group.
inline constexpr int kMaxGrowPasses = 4;

}  // namespace sightline::correlate_constants
