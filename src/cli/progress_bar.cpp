#include "cli/progress_bar.hpp"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>

namespace sightline {

namespace {

// Runs shorter than this show no bar, seconds.
constexpr double kQuietSeconds = 1.0;
// Least time between two redraws, seconds.
constexpr double kRedrawSeconds = 0.1;
// Cells of the bar itself.
constexpr int kBarCells = 24;

struct BarState {
  std::FILE* stream = nullptr;
  SecondsClock clock;
  bool started = false;
  double start = 0.0;      // seconds, first call
  double lastDrawn = 0.0;  // seconds
  std::size_t width = 0;   // characters on the line now; 0 when nothing is shown
};

// "1:05" or "42 s".
std::string duration(double seconds) {
  const long s = std::lround(std::max(seconds, 0.0));
  char buffer[32];
  if (s >= 60) std::snprintf(buffer, sizeof buffer, "%ld:%02ld", s / 60, s % 60);
  else std::snprintf(buffer, sizeof buffer, "%ld s", s);
  return buffer;
}

void update(BarState& bar, int done, int total) {
  const double now = bar.clock();
  if (!bar.started) {
    bar.started = true;
    bar.start = now;
  }
  if (done >= total) {
    if (bar.width > 0) {
      std::fprintf(bar.stream, "\r%s\r", std::string(bar.width, ' ').c_str());
      std::fflush(bar.stream);
      bar.width = 0;
    }
    return;
  }
  const double elapsed = now - bar.start;
  if (elapsed < kQuietSeconds) return;
  if (bar.width > 0 && now - bar.lastDrawn < kRedrawSeconds) return;
  bar.lastDrawn = now;

  const double fraction = total > 0 ? static_cast<double>(done) / total : 0.0;
  const int filled = static_cast<int>(fraction * kBarCells);
  const double rate = elapsed > 0 ? done / elapsed : 0.0;
  const std::string left = rate > 0 ? duration((total - done) / rate) + " left" : "";
  char text[160];
  std::snprintf(text, sizeof text, "[%s%s] %d/%d draws, %.0f/s, %s", std::string(filled, '#').c_str(),
                std::string(kBarCells - filled, '.').c_str(), done, total, rate, left.c_str());
  std::string line = text;
  const std::size_t width = line.size();
  if (width < bar.width) line += std::string(bar.width - width, ' ');  // cover the longer line before
  std::fprintf(bar.stream, "\r%s", line.c_str());
  std::fflush(bar.stream);
  bar.width = std::max(width, bar.width);
}

}  // namespace

ProgressFunction makeProgressBar(std::FILE* stream, bool terminal, SecondsClock clock) {
  if (!terminal || stream == nullptr) return {};
  auto bar = std::make_shared<BarState>();
  bar->stream = stream;
  bar->clock = std::move(clock);
  return [bar](int done, int total) { update(*bar, done, total); };
}

ProgressFunction makeProgressBar(std::FILE* stream) {
  const bool terminal = stream != nullptr && isatty(fileno(stream)) == 1;
  return makeProgressBar(stream, terminal, [] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  });
}

}  // namespace sightline
