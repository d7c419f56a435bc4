// The figure's sizes and type, figure units (pixels in PNG, points in SVG and PDF).
#pragma once

#include <numbers>

namespace sightline::figure {

// Canvas and panels, figure units (pixels or points).
constexpr double kWidth = 1280.0;
constexpr double kPanelsBottom = 1055.0;      // below the lowest axis titles
constexpr double kLightCurveRow = 340.0;      // what the light-curve panel's row adds below them
constexpr double kLegendRow = 21.0;           // height of a legend row
constexpr double kLegendColumnWidth = 240.0;  // width of a legend column
constexpr double kCaptionLine = 19.0;         // height of a caption line
constexpr double kMargin = 40.0;              // left and right margin of the legend and caption

// Type, figure units.
constexpr const char* kFont = "DejaVu Sans";
constexpr double kTitleSize = 21.0;
constexpr double kSubtitleSize = 13.0;
constexpr double kAxisTitleSize = 13.0;
constexpr double kTickSize = 11.5;
constexpr double kLabelSize = 12.0;
constexpr double kLegendSize = 12.5;
constexpr double kCaptionSize = 13.0;
constexpr double kNoteSize = 13.0;

constexpr double kMarkerRadius = 6.0;         // station markers on the map
constexpr double kPointRadius = 4.0;          // sighting points in the profile and residuals
constexpr double kMinEllipsePixels = 12.0;    // 1-sigma ellipses are enlarged to at least this semi-axis, clear of markers
constexpr double kMaxCommonEllipse = 0.25;    // ellipses share one factor unless it would make one wider than this part of the map
constexpr double kMinResidualAxis = 0.01;     // arcsec: residuals below this are zero, the axis spans at least +-this
constexpr double kBandReach = 4.0;            // residual axes reach at most this many times the largest residual to show a band
constexpr double kFaintRadius = 3.8;          // point-to-point speeds, faint marks
constexpr double kFaintAlpha = 0.55;          // opacity of the faint marks
constexpr double kSpeedOutlier = 5.0;         // point-to-point speeds farther from the model than this many typical deviations lie beyond the frame
constexpr double kPi = std::numbers::pi;

}  // namespace sightline::figure
