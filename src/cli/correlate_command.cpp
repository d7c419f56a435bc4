#include "cli/correlate_command.hpp"

#include <cerrno>
#include <cstring>

#include <CLI/CLI.hpp>

#include "app/correlate_night.hpp"
#include "common/exit_status.hpp"
#include "formats/files.hpp"

namespace sightline {

namespace {

constexpr const char* kProgram = "sightline";

const char* const kCorrelateDescription =
    "Find the multi-station events of a network's night among single-station detections and\n"
    "write each as a sightline-event, one per line, in time order (solve them with sightline batch).\n"
    "Inputs: FTPdetectinfo files, camera-night folders (an FTPdetectinfo file beside the camera's\n"
    ".config or platepars_all_recalibrated.json) and folders above them, searched recursively\n"
    "(skipping *_uncalibrated*, *_backup_*, *_unfiltered* and *_manual* files), and single-station\n"
    "ECSV files. Two detections are one meteor when their planes of sight meet in a line both\n"
    "stations saw, with begin and end heights and speeds in a meteor's range, speeds agreeing and\n"
    "times agreeing within the clocks' tolerance; groups grow from such pairs and every member must\n"
    "agree with the group's trajectory. The output depends neither on --threads nor on input order.\n";

const char* const kCorrelateExitText =
    "Exit status: 0 every input read; 2 wrong command line or an input that does not exist;\n"
    "3 some file was malformed or a camera had no position (the rest was correlated);\n"
    "5 an output cannot be written.";

int message(std::FILE* err, int status, const std::string& text) {
  std::fprintf(err, "%s: %s\n", kProgram, text.c_str());
  return status;
}

bool writeTo(const std::string& path, const std::string& content, std::FILE* out, std::string& error) {
  if (path != "-") return writeFileAtomically(path, content, error);
  if (std::fwrite(content.data(), 1, content.size(), out) != content.size() || std::fflush(out) != 0) {
    error = std::string("cannot write to standard output: ") + std::strerror(errno);
    return false;
  }
  return true;
}

void addThresholds(CLI::App* c, CorrelateOptions& t) {
  c->add_option("--max-time-offset", t.maxTimeOffset, "Largest difference of two stations' clocks, s (default 10)")->option_text("S")->check(CLI::NonNegativeNumber);
  c->add_option("--min-begin-height", t.minBeginHeight, "Lowest begin height, km above the ellipsoid (default 50)")->option_text("KM");
  c->add_option("--max-begin-height", t.maxBeginHeight, "Highest begin height, km (default 150)")->option_text("KM");
  c->add_option("--min-end-height", t.minEndHeight, "Lowest end height, km (default 20)")->option_text("KM");
  c->add_option("--max-end-height", t.maxEndHeight, "Highest end height, km (default 130)")->option_text("KM");
  c->add_option("--speed-tolerance", t.speedTolerance, "Largest relative difference of the stations' speeds (default 0.25)")->option_text("F")->check(CLI::NonNegativeNumber);
  c->add_option("--min-speed", t.minSpeed, "Lowest speed, km/s (default 3)")->option_text("KM/S");
  c->add_option("--max-speed", t.maxSpeed, "Highest speed, km/s (default 73)")->option_text("KM/S");
  c->add_option("--min-baseline", t.minBaseline, "Least distance between the stations of a pair, km (default 5)")->option_text("KM")->check(CLI::NonNegativeNumber);
  c->add_option("--min-plane-angle", t.minPlaneAngle, "Least angle between the planes of sight of a pair, degrees (default 3)")->option_text("DEG")->check(CLI::Range(0.0, 90.0));
  c->add_option("--max-residual", t.maxResidual, "Largest rms angle of a member's rays about the event's trajectory, degrees (default 0.5)")->option_text("DEG")->check(CLI::PositiveNumber);
  c->add_option("--clock-tolerance", t.clockTolerance, "Once two stations' clock difference is known from 3 events, how far their times may stray from it, s (default 0.5; 0: one pass)")->option_text("S")->check(CLI::NonNegativeNumber);
  c->add_option("--threads", t.threads, "Threads (default all cores); the output does not depend on it")->option_text("T")->check(CLI::NonNegativeNumber);
}

}  // namespace

CLI::App* addCorrelateCommand(CLI::App& app, CorrelateCommandOptions& o) {
  CLI::App* c = app.add_subcommand("correlate", kCorrelateDescription);
  c->add_option("-o,--output", o.output, "Events file (JSON Lines), written completely or not at all (default standard output)")->option_text("EVENTS.jsonl");
  c->add_option("--detections", o.detections, "Also write every detection read, one JSON object per line")->option_text("FILE");
  addThresholds(c, o.thresholds);
  c->add_option("INPUT", o.inputs, "FTPdetectinfo files, ECSV files, folders")->required()->option_text("PATH...");
  c->footer(kCorrelateExitText);
  return c;
}

int runCorrelateCommand(const CorrelateCommandOptions& o, std::FILE* out, std::FILE* err) {
  const NightFiles files = listNightFiles(o.inputs);
  if (!files.missing.empty()) return message(err, kExitUsage, files.missing.front() + ": no such file or folder");
  const NightResult night = correlateNight(o.inputs, o.thresholds);
  for (const std::string& folder : night.files.emptyFolders) message(err, 0, folder + ": no detection files in this folder");
  for (const std::string& m : night.read.messages) message(err, 0, m);
  std::string error;
  if (!o.detections.empty() && !writeTo(o.detections, nightDetectionLines(night), out, error)) return message(err, kExitOutput, error);
  if (!writeTo(o.output, nightEventLines(night), out, error)) return message(err, kExitOutput, error);
  const CorrelateResult& c = night.correlation;
  message(err, 0, std::to_string(night.read.detections.size()) + " detections from " +
                      std::to_string(night.files.ftpDetectInfo.size() + night.files.ecsv.size()) + " files (" +
                      std::to_string(c.usable) + " with a plane of sight), " + std::to_string(c.pairs) + " pairs, " +
                      std::to_string(c.events.size()) + " events, " + std::to_string(c.splitParts) +
                      " smaller parts of split meteors left out");
  return night.read.malformed ? kExitInput : kExitSolved;
}

}  // namespace sightline
