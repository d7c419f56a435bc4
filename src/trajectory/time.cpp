#include "trajectory/time.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace sightline {

namespace {

// Days from 1970-01-01 to year-month-day of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

bool leap(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned daysInMonth(std::int64_t y, unsigned m) {
  static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leap(y) ? 29 : kDays[m - 1];
}

// Reads exactly `n` digits at `pos`.
bool digits(std::string_view t, std::size_t& pos, int n, int& value) {
  value = 0;
  for (int i = 0; i < n; ++i, ++pos) {
    if (pos >= t.size() || t[pos] < '0' || t[pos] > '9') return false;
    value = value * 10 + (t[pos] - '0');
  }
  return true;
}

bool expect(std::string_view t, std::size_t& pos, char c) {
  if (pos < t.size() && t[pos] == c) {
    ++pos;
    return true;
  }
  return false;
}

}  // namespace

std::optional<double> parseIsoTime(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  std::size_t pos = 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!digits(t, pos, 4, year) || !expect(t, pos, '-') || !digits(t, pos, 2, month) || !expect(t, pos, '-') ||
      !digits(t, pos, 2, day))
    return std::nullopt;
  if (pos >= t.size() || (t[pos] != 'T' && t[pos] != 't' && t[pos] != ' ')) return std::nullopt;
  ++pos;
  if (!digits(t, pos, 2, hour) || !expect(t, pos, ':') || !digits(t, pos, 2, minute) || !expect(t, pos, ':') ||
      !digits(t, pos, 2, second))
    return std::nullopt;
  double fraction = 0.0;
  if (pos < t.size() && (t[pos] == '.' || t[pos] == ',')) {
    ++pos;
    double scale = 0.1;
    const std::size_t start = pos;
    while (pos < t.size() && t[pos] >= '0' && t[pos] <= '9') {
      fraction += (t[pos] - '0') * scale;
      scale *= 0.1;
      ++pos;
    }
    if (pos == start) return std::nullopt;
  }
  int offsetMinutes = 0;
  if (pos < t.size() && (t[pos] == 'Z' || t[pos] == 'z')) {
    ++pos;
  } else if (pos < t.size() && (t[pos] == '+' || t[pos] == '-')) {
    const int sign = t[pos] == '-' ? -1 : 1;
    ++pos;
    int oh = 0, om = 0;
    if (!digits(t, pos, 2, oh)) return std::nullopt;
    expect(t, pos, ':');
    if (pos < t.size() && !digits(t, pos, 2, om)) return std::nullopt;
    if (oh > 23 || om > 59) return std::nullopt;
    offsetMinutes = sign * (oh * 60 + om);
  }
  if (pos != t.size()) return std::nullopt;
  if (month < 1 || month > 12 || day < 1 || day > static_cast<int>(daysInMonth(year, month))) return std::nullopt;
  if (hour > 23 || minute > 59 || second > 60) return std::nullopt;  // 60: a leap second, read as the next second
  const std::int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  const double whole = static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second - offsetMinutes * 60);
  return whole + fraction;
}

std::string formatIsoTime(double seconds) {
  if (!std::isfinite(seconds)) return "";
  double whole = std::floor(seconds);
  long long micro = std::llround((seconds - whole) * 1e6);
  if (micro >= 1000000) {
    whole += 1;
    micro -= 1000000;
  }
  const auto total = static_cast<std::int64_t>(whole);
  std::int64_t days = total / 86400;
  std::int64_t rest = total % 86400;
  if (rest < 0) {
    rest += 86400;
    days -= 1;
  }
  std::int64_t y = 0;
  unsigned m = 0, d = 0;
  civilFromDays(days, y, m, d);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02uT%02lld:%02lld:%02lld", static_cast<long long>(y), m, d,
                static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
                static_cast<long long>(rest % 60));
  std::string out = buffer;
  if (micro != 0) {
    std::snprintf(buffer, sizeof buffer, ".%06lld", micro);
    std::string frac = buffer;
    while (frac.back() == '0') frac.pop_back();
    out += frac;
  }
  return out + "Z";
}

}  // namespace sightline
