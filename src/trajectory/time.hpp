// ISO 8601 times (UTC) as seconds since 1970-01-01T00:00:00Z, without leap seconds.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sightline {

/// Seconds since 1970-01-01T00:00:00Z of an ISO 8601 date-time such as
/// "2026-11-14T21:03:07.25Z", "2026-11-14 21:03:07.250000" or
/// "2026-11-14T22:03:07+01:00" (no zone: UTC); nothing when it does not parse
/// or names an impossible date or time.
std::optional<double> parseIsoTime(std::string_view text);

/// "YYYY-MM-DDThh:mm:ss.ffffffZ" (microseconds; fewer digits when they are zero, at least ".0" never).
std::string formatIsoTime(double seconds);

}  // namespace sightline
