// FTPdetectinfo files of the RMS camera network: one camera-night's detections.
//
// Layout: an 11-line header ("Meteor Count = N" first), then one block per
// detection: a line of dashes; the FF file name
// FF_<STATION>_<YYYYMMDD>_<HHMMSS>_<fff>_<frame>.fits (fff: 3 or 6 digits of
// the second; the older FF<STATION>_... has one underscore less); a
// calibration line ("Uncalibrated", "Calibrated with RMS on: ...", ...); the
// line "Cam# Meteor# #Segments fps hnr mle bin Pix/fm Rho Phi"; then one line
// per frame "Frame# Col Row RA Dec Azim Elev Inten [Mag [Bcknd SNR NSatPx]]".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/diagnostics.hpp"
#include "correlate/detection.hpp"

namespace sightline {

/// What an FF file name says.
struct FfName {
  std::string station;  ///< the camera's identifier in the name
  double start = 0.0;   ///< s since 1970-01-01T00:00:00Z: the FF file's first frame
};

/// The station and start time of an FF file name such as
/// "FF_US0001_20261208_012345_678_0123456.fits" or "FF499_20180101_012345_678_0123456.fits";
/// nothing when it is not one.
std::optional<FfName> parseFfName(std::string_view name);

/// The detections of one FTPdetectinfo file, or why it cannot be read.
struct FtpDetectInfoResult {
  /// One per calibrated block with usable frames: station from the FF name, ff,
  /// meteor (Meteor#), fps, sightings (time = FF start + Frame#/fps, Azim and Elev
  /// in degrees as refraction-corrected directions, Mag when the file has it);
  /// position and file left for the caller.
  std::vector<Detection> detections;
  std::vector<Warning> warnings;     ///< "uncalibrated-block", "meteor-count"
  std::optional<InputError> error;   ///< a malformed file: nothing of it is used
};

/// Reads the text of an FTPdetectinfo file named `fileName` (for messages).
/// Frame lines with a `nan` field are skipped; Uncalibrated blocks and blocks
/// whose directions are all zero are skipped with a warning; a header-only
/// file is valid; an empty file, binary bytes, a non-numeric field, a line
/// with too few fields or a block with fewer frame lines than it announces is
/// an error naming the line.
FtpDetectInfoResult readFtpDetectInfo(std::string_view text, const std::string& fileName);

}  // namespace sightline
