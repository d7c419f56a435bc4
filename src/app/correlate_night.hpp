// A network's night, as every front end does it: the detection files of the
// inputs read, their heights referred to the ellipsoid, the detections
// correlated into multi-station events, the events and detections written as
// JSON Lines.
#pragma once

#include <string>
#include <vector>

#include "correlate/correlate.hpp"
#include "formats/detection_files.hpp"

namespace sightline {

/// Everything a night gave.
struct NightResult {
  NightFiles files;              ///< what the inputs held (missing inputs listed in files.missing)
  NightDetections read;          ///< detections, messages, bytes read
  CorrelateResult correlation;   ///< the events (indices into read.detections)
  double readSeconds = 0.0;      ///< wall-clock time of reading, s
  double correlateSeconds = 0.0; ///< wall-clock time of correlating, s
};

/// Reads and correlates the night of `inputs` (FTPdetectinfo files, ECSV
/// files, folders searched recursively) with `options` (threads for reading too).
/// Missing inputs are listed, not read; the caller decides what they mean.
/// Detections whose station position needs the geoid when it cannot be
/// opened are left as they are with a message (heights then taken as above the ellipsoid).
NightResult correlateNight(const std::vector<std::string>& inputs, const CorrelateOptions& options);

/// The night's events, one sightline-event per line, in time order.
std::string nightEventLines(const NightResult& night);
/// Every detection read, one JSON object per line (formats/detection_writers.hpp).
std::string nightDetectionLines(const NightResult& night);

}  // namespace sightline
