#include "formats/detection_files.hpp"

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>

#include "correlate/parallel.hpp"
#include "formats/ecsv.hpp"
#include "formats/files.hpp"
#include "formats/ftpdetectinfo.hpp"
#include "formats/rms_config.hpp"

namespace sightline {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPlatepars = "platepars_all_recalibrated.json";

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool isFtpDetectInfoName(const std::string& name) { return name.rfind("FTPdetectinfo", 0) == 0 && endsWith(name, ".txt"); }

// One file's detections, messages and status.
struct FileResult {
  std::vector<Detection> detections;
  std::vector<std::string> messages;
  std::size_t bytes = 0;
  bool malformed = false;
};

// The camera site of the folder `folder`: its .config, else another *.config, else its platepars file.
CameraSiteResult folderSite(const fs::path& folder) {
  std::vector<fs::path> candidates{folder / ".config"};
  std::error_code ec;
  std::vector<fs::path> others;
  for (const auto& entry : fs::directory_iterator(folder.empty() ? fs::path(".") : folder, ec))
    if (entry.path().extension() == ".config" && entry.path().filename() != ".config") others.push_back(entry.path());
  std::sort(others.begin(), others.end());
  candidates.insert(candidates.end(), others.begin(), others.end());
  for (const fs::path& p : candidates) {
    NamedText text;
    if (!fs::is_regular_file(p, ec) || readInput(p.string(), text)) continue;
    return readRmsConfig(text.text, p.string());
  }
  NamedText text;
  const fs::path plate = folder / kPlatepars;
  if (fs::is_regular_file(plate, ec) && !readInput(plate.string(), text)) return readPlatepars(text.text, plate.string());
  CameraSiteResult none;
  none.error = InputError{folder.empty() ? "." : folder.string(), 0, 0, "",
                          "no .config or " + std::string(kPlatepars) + " gives the camera's position"};
  return none;
}

FileResult readFtpFile(const std::string& path) {
  FileResult r;
  NamedText text;
  if (auto error = readInput(path, text)) return {{}, {error->text()}, 0, true};
  r.bytes = text.text.size();
  FtpDetectInfoResult file = readFtpDetectInfo(text.text, path);
  if (file.error) return {{}, {file.error->text() + " (file skipped)"}, r.bytes, true};
  for (const Warning& w : file.warnings) r.messages.push_back("warning: " + w.text);
  if (file.detections.empty()) return r;
  const CameraSiteResult site = folderSite(fs::path(path).parent_path());
  if (site.error) return {{}, {site.error->text() + " (" + path + " skipped)"}, r.bytes, true};
  std::set<std::string> named;
  for (Detection& d : file.detections) {
    if (!site.site.stationId.empty() && d.station != site.site.stationId) named.insert(d.station);
    if (!site.site.stationId.empty()) d.station = site.site.stationId;
    d.file = path;
    d.position = site.site.position;
  }
  for (const std::string& other : named)
    r.messages.push_back("warning: " + path + ": the FF names say station " + other + ", the camera's configuration " +
                         site.site.stationId + "; " + site.site.stationId + " is used");
  r.detections = std::move(file.detections);
  return r;
}

FileResult readEcsvFile(const std::string& path) {
  NamedText text;
  if (auto error = readInput(path, text)) return {{}, {error->text()}, 0, true};
  StationReadResult s = readEcsvStation(text.text, path, EcsvOptions{});
  if (s.error) return {{}, {s.error->text() + " (file skipped)"}, text.text.size(), true};
  Detection d;
  d.station = s.station.name;
  d.file = path;
  d.position = s.station.position;
  d.sightings = std::move(s.station.sightings);
  std::stable_sort(d.sightings.begin(), d.sightings.end(),
                   [](const Sighting& a, const Sighting& b) { return a.time.value_or(0.0) < b.time.value_or(0.0); });
  return {{std::move(d)}, {}, text.text.size(), false};
}

// Adds the detection files under `folder` to `files`; true when there was one.
bool searchFolder(const fs::path& folder, NightFiles& files) {
  bool any = false;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end; it != end;
       it.increment(ec)) {
    if (ec) break;
    if (!it->is_regular_file(ec)) continue;
    const std::string name = it->path().filename().string();
    if (!searchedDetectionFile(name)) continue;
    (endsWith(name, ".ecsv") ? files.ecsv : files.ftpDetectInfo).push_back(it->path().string());
    any = true;
  }
  return any;
}

void sortUnique(std::vector<std::string>& paths) {
  std::sort(paths.begin(), paths.end());
  std::set<std::string> seen;
  std::vector<std::string> kept;
  for (const std::string& p : paths) {
    std::error_code ec;
    const std::string key = fs::weakly_canonical(p, ec).string();
    if (seen.insert(ec ? p : key).second) kept.push_back(p);
  }
  paths = std::move(kept);
}

}  // namespace

bool searchedDetectionFile(const std::string& name) {
  if (endsWith(name, ".ecsv")) return true;
  if (!isFtpDetectInfoName(name)) return false;
  for (const char* variant : {"_uncalibrated", "_backup_", "_unfiltered", "_manual"})
    if (name.find(variant) != std::string::npos) return false;
  return true;
}

NightFiles listNightFiles(const std::vector<std::string>& inputs) {
  NightFiles files;
  for (const std::string& input : inputs) {
    std::error_code ec;
    if (fs::is_directory(input, ec)) {
      if (!searchFolder(input, files)) files.emptyFolders.push_back(input);
    } else if (fs::exists(input, ec)) {
      (endsWith(input, ".ecsv") ? files.ecsv : files.ftpDetectInfo).push_back(input);
    } else {
      files.missing.push_back(input);
    }
  }
  sortUnique(files.ftpDetectInfo);
  sortUnique(files.ecsv);
  std::sort(files.emptyFolders.begin(), files.emptyFolders.end());
  return files;
}

NightDetections readNightFiles(const NightFiles& files, int threads) {
  const std::size_t nf = files.ftpDetectInfo.size();
  std::vector<FileResult> results(nf + files.ecsv.size());
  parallelFor(results.size(), threads, [&](std::size_t i) {
    results[i] = i < nf ? readFtpFile(files.ftpDetectInfo[i]) : readEcsvFile(files.ecsv[i - nf]);
  });
  NightDetections night;
  for (FileResult& r : results) {
    night.detections.insert(night.detections.end(), std::make_move_iterator(r.detections.begin()),
                            std::make_move_iterator(r.detections.end()));
    night.messages.insert(night.messages.end(), r.messages.begin(), r.messages.end());
    night.bytes += r.bytes;
    night.malformed = night.malformed || r.malformed;
  }
  return night;
}

}  // namespace sightline
