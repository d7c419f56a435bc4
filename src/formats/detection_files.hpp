// A network's night on disk: which files hold detections, and the detections
// they hold with their cameras' positions.
//
// A camera-night folder holds an FTPdetectinfo_*.txt file and the camera's
// .config (or platepars_all_recalibrated.json); single-station ECSV files
// (*.ecsv) are detections too.
#pragma once

#include <string>
#include <vector>

#include "correlate/detection.hpp"

namespace sightline {

/// The detection files found under the inputs.
struct NightFiles {
  std::vector<std::string> ftpDetectInfo;  ///< FTPdetectinfo files, as named or found
  std::vector<std::string> ecsv;           ///< single-station ECSV files
  std::vector<std::string> emptyFolders;   ///< folders given that hold no detection file
  std::vector<std::string> missing;        ///< inputs that do not exist
};

/// True when a folder search reads the file named `name` (no folder part):
/// FTPdetectinfo*.txt except the variants *_uncalibrated*, *_backup_*,
/// *_unfiltered* and manual reductions *_manual*; or *.ecsv.
bool searchedDetectionFile(const std::string& name);

/// The detection files of `inputs`: files are taken whatever their names;
/// folders are searched recursively (searchedDetectionFile). Each list is
/// sorted by path and holds each file once.
NightFiles listNightFiles(const std::vector<std::string>& inputs);

/// What reading a night gave.
struct NightDetections {
  std::vector<Detection> detections;  ///< positions' heights above mean sea level (geoidHeight 0)
  std::vector<std::string> messages;  ///< errors and warnings for people, "FILE:LINE: ..." first
  std::size_t bytes = 0;              ///< bytes of detection files read
  bool malformed = false;             ///< some file was malformed, or a camera had no position
};

/// Reads every file of `files` on `threads` threads (0: all cores); a
/// malformed file is skipped whole with a message naming it. FTPdetectinfo
/// detections take their station identifier and position from the .config
/// beside the file (or its platepars_all_recalibrated.json); where the
/// identifier differs from the FF names', a warning says so and the .config's is kept.
NightDetections readNightFiles(const NightFiles& files, int threads);

}  // namespace sightline
