#include "formats/ftpdetectinfo.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "common/text.hpp"
#include "formats/text_lines.hpp"
#include "trajectory/time.hpp"

namespace sightline {

namespace {

/// Lines of the header after "Meteor Count = N".
constexpr int kHeaderLines = 10;
/// Fields of a frame line: Frame# Col Row RA Dec Azim Elev Inten, then Mag, Bcknd, SNR, NSatPx.
constexpr std::size_t kMinFrameFields = 8;
constexpr std::size_t kMaxFrameFields = 12;
constexpr std::size_t kMagnitudeField = 8;
/// Fields of the block's header line: Cam# Meteor# #Segments fps (then hnr mle bin Pix/fm Rho Phi).
constexpr std::size_t kMinBlockFields = 4;
/// Most frame lines one block may announce (an FF file holds 256 frames; a long fireball a few FF files).
constexpr long kMaxSegments = 100000;

bool allDigits(std::string_view s, std::size_t n) {
  return s.size() == n && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isDashes(std::string_view line) {
  const std::string t = trimmed(line);
  return t.size() >= 3 && t.find_first_not_of('-') == std::string::npos;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

struct Reader {
  LineCursor lines;
  const std::string& file;
  FtpDetectInfoResult result;

  bool fail(const std::string& message, int column = 0) {
    result.error = InputError{file, lines.number(), column, "", message};
    return false;
  }
  bool nextLine(std::string_view& line, const char* expected) {
    if (lines.next(line)) return true;
    result.error = InputError{file, lines.number(), 0, "", std::string("the file ends early: expected ") + expected};
    return false;
  }
  bool header(long& count);
  bool block(std::string_view ffLine);
  bool blockHeader(std::string_view line, Detection& d, long& segments);
  bool frame(std::string_view line, const Detection& d, double start, std::vector<Sighting>& out, bool& zero);
};

bool Reader::header(long& count) {
  std::string_view line;
  if (!lines.next(line)) return fail("empty file: expected an FTPdetectinfo header (\"Meteor Count = N\")");
  const std::size_t equals = line.find('=');
  const std::string key = trimmed(line.substr(0, std::min(equals, line.size())));
  std::optional<long> n;
  if (equals != std::string_view::npos) n = readWhole(trimmed(line.substr(equals + 1)));
  if (key != "Meteor Count" || !n.has_value() || n.value() < 0)
    return fail("expected \"Meteor Count = N\" (an FTPdetectinfo file)");
  count = n.value();
  for (int k = 0; k < kHeaderLines; ++k)
    if (!nextLine(line, "the 11 lines of the header")) return false;
  return true;
}

bool Reader::blockHeader(std::string_view line, Detection& d, long& segments) {
  const auto f = blankFields(line);
  if (f.size() < kMinBlockFields)
    return fail("expected \"Cam# Meteor# #Segments fps hnr mle bin Pix/fm Rho Phi\", found " +
                std::to_string(f.size()) + " fields");
  const auto meteor = readWhole(f[1]);
  const auto count = readWhole(f[2]);
  const auto fps = readNumber(f[3]);
  if (!meteor || *meteor < 0 || *meteor > 1000000000) return fail("Meteor#: expected a whole number, found \"" + std::string(f[1]) + "\"");
  if (!count || *count < 0 || *count > kMaxSegments) return fail("#Segments: expected a whole number of frame lines, found \"" + std::string(f[2]) + "\"");
  if (!fps || !std::isfinite(*fps) || *fps <= 0.0) return fail("fps: expected a positive number of frames per second, found \"" + std::string(f[3]) + "\"");
  d.meteor = static_cast<int>(*meteor);
  d.fps = *fps;
  segments = *count;
  return true;
}

bool Reader::frame(std::string_view line, const Detection& d, double start, std::vector<Sighting>& out, bool& zero) {
  static const char* const names[] = {"Frame#", "Col", "Row", "RA", "Dec", "Azim", "Elev", "Inten", "Mag", "Bcknd", "SNR", "NSatPx"};
  const auto f = blankFields(line);
  if (f.size() < kMinFrameFields || f.size() > kMaxFrameFields)
    return fail("expected a frame line of 8 to 12 fields (Frame# Col Row RA Dec Azim Elev Inten [Mag ...]), found " +
                std::to_string(f.size()));
  double v[kMaxFrameFields] = {};
  bool skip = false;
  for (std::size_t k = 0; k < f.size(); ++k) {
    const auto x = readNumber(f[k]);
    if (!x) return fail(std::string(names[k]) + ": expected a number, found \"" + std::string(f[k].substr(0, 40)) + "\"");
    if (std::isnan(*x)) skip = true;
    else if (!std::isfinite(*x)) return fail(std::string(names[k]) + ": expected a finite number");
    v[k] = *x;
  }
  if (skip) return true;  // a centroid that failed: no direction
  if (v[6] < -90.0 || v[6] > 90.0) return fail("Elev: expected degrees from -90 to 90");
  if (v[5] < -360.0 || v[5] > 720.0) return fail("Azim: expected degrees from north through east");
  if (v[5] != 0.0 || v[6] != 0.0) zero = false;
  Sighting s;
  s.azimuth = v[5];
  s.elevation = v[6];
  s.time = start + v[0] / d.fps;
  if (f.size() > kMagnitudeField) s.magnitude = v[kMagnitudeField];
  out.push_back(s);
  return true;
}

bool Reader::block(std::string_view ffLine) {
  Detection d;
  d.ff = trimmed(ffLine);
  const auto name = parseFfName(d.ff);
  if (!name) return fail("expected an FF file name (FF_STATION_YYYYMMDD_HHMMSS_MMM_FRAME.fits), found \"" + d.ff.substr(0, 80) + "\"");
  d.station = name->station;
  std::string_view line;
  if (!nextLine(line, "a calibration line")) return false;
  const bool uncalibrated = startsWithNoCase(trimmed(line), "uncalibrated");
  long segments = 0;
  if (!nextLine(line, "the line Cam# Meteor# #Segments fps ...") || !blockHeader(line, d, segments)) return false;
  bool zero = true;
  for (long k = 0; k < segments; ++k) {
    if (!nextLine(line, "a frame line")) return false;
    if (isDashes(line)) return fail("expected " + std::to_string(segments) + " frame lines, found " + std::to_string(k));
    if (!frame(line, d, name->start, d.sightings, zero)) return false;
  }
  const std::string where = file + " " + d.ff + " meteor " + std::to_string(d.meteor);
  if (uncalibrated) result.warnings.push_back({"uncalibrated-block", where + ": uncalibrated, skipped"});
  else if (zero && !d.sightings.empty()) result.warnings.push_back({"zero-directions", where + ": every direction is zero (not calibrated), skipped"});
  else if (!d.sightings.empty()) result.detections.push_back(std::move(d));
  return true;
}

}  // namespace

std::optional<FfName> parseFfName(std::string_view name) {
  if (name.size() < 3 || name.substr(0, 2) != "FF") return std::nullopt;
  std::string_view rest = name.substr(name[2] == '_' ? 3 : 2);
  std::vector<std::string_view> parts;
  for (std::size_t at; (at = rest.find('_')) != std::string_view::npos; rest.remove_prefix(at + 1))
    parts.push_back(rest.substr(0, at));
  parts.push_back(rest);
  if (parts.size() != 5 || parts[0].empty()) return std::nullopt;
  const std::string_view frame = parts[4].substr(0, parts[4].find('.'));
  const bool fraction = allDigits(parts[3], 3) || allDigits(parts[3], 6);
  if (!allDigits(parts[1], 8) || !allDigits(parts[2], 6) || !fraction || frame.empty() ||
      !std::all_of(frame.begin(), frame.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  const std::string d(parts[1]), t(parts[2]);
  const auto start = parseIsoTime(d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) + "T" + t.substr(0, 2) + ":" +
                                  t.substr(2, 2) + ":" + t.substr(4, 2) + "." + std::string(parts[3]) + "Z");
  if (!start) return std::nullopt;
  return FfName{std::string(parts[0]), *start};
}

namespace {

// Every block of the file into r.result (which may hold some when an error ends it).
void readBlocks(std::string_view text, const std::string& fileName, Reader& r) {
  if (const std::size_t at = firstBinaryByte(text); at != std::string_view::npos) {
    const long line = 1 + std::count(text.begin(), text.begin() + static_cast<long>(at), '\n');
    r.result.error = InputError{fileName, static_cast<int>(line), 0, "", "binary byte in the file: expected an FTPdetectinfo text file"};
    return;
  }
  long count = 0;
  if (!r.header(count)) return;
  long blocks = 0;
  std::string_view line;
  while (r.lines.next(line)) {
    if (trimmed(line).empty()) continue;
    if (!isDashes(line)) {
      r.fail("expected a line of dashes before the next detection's FF file name");
      return;
    }
    if (!r.lines.next(line) || trimmed(line).empty()) break;  // closing dashes
    if (!r.block(line)) return;
    ++blocks;
  }
  if (blocks != count)
    r.result.warnings.push_back({"meteor-count", fileName + ": \"Meteor Count = " + std::to_string(count) +
                                                     "\" but " + std::to_string(blocks) + " detections follow"});
}

}  // namespace

FtpDetectInfoResult readFtpDetectInfo(std::string_view text, const std::string& fileName) {
  Reader r{LineCursor(text), fileName, {}};
  readBlocks(text, fileName, r);
  if (r.result.error) r.result.detections.clear();  // a malformed file gives nothing
  return r.result;
}

}  // namespace sightline
