// Meteor shower association: which published solution of an established
// shower (IAU Meteor Data Center list) a meteor's geocentric radiant, speed
// and solar longitude fall in.
//
// The rule: a meteor belongs to a solution (row of the table) when
//   - its solar longitude is within `limits.solarLongitude` (5 deg) of the
//     row's, the difference wrapped to [-180, 180);
//   - its geocentric radiant is within `limits.radiant` (5 deg), a great-circle
//     distance in Sun-centred ecliptic coordinates: the meteor's
//     (lambda_g - lambda_sun, beta_g) against the row's (lambda - lambda_sun of
//     the row, beta), the row's lambda and beta converted from its J2000 RA and
//     Dec (ERFA eraEqec06 at J2000.0: the mean ecliptic and equinox of J2000,
//     the frame of Orbit::radiantEcliptic). The radiant drift is not used;
//   - its geocentric speed is within `limits.speedFraction` (10%) of the row's.
// Of several rows, the smallest score |d lambda_sun|/limit + distance/limit +
// |d vG|/(speedFraction vG_row) wins; a tie goes to the earlier row. Each limit
// is inclusive, with a margin of 1e-9 (degrees, or relative) for the rounding of
// sums such as 262.1 + 5.
//
// Ecliptic angles in degrees (J2000), speeds in m/s. No I/O: the table is read
// by formats/shower_table.hpp.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "orbit/orbit.hpp"

namespace sightline {

/// One published solution of a shower (one row of the table).
struct ShowerSolution {
  int lp = 0;                   ///< running number of the row in the MDC file
  int number = 0;               ///< IAU number, e.g. 4
  int solution = 0;             ///< the MDC's solution number (AdNo) of the shower, from 0
  std::string code;             ///< IAU code, e.g. "GEM"
  std::string name;             ///< e.g. "Geminids"
  int status = 0;               ///< MDC status code (1: established)
  double solarLongitude = 0.0;  ///< degrees (J2000) at the peak
  double ra = 0.0;              ///< radiant right ascension, degrees (J2000)
  double dec = 0.0;             ///< radiant declination, degrees (J2000)
  double vGeocentric = 0.0;     ///< geocentric speed, m/s
};

/// The limits of the rule, with their defaults.
struct ShowerLimits {
  double solarLongitude = 5.0;  ///< degrees
  double radiant = 5.0;         ///< degrees of great circle, Sun-centred ecliptic
  double speedFraction = 0.10;  ///< |vG - vG_row| / vG_row
};

/// What the rule needs of a meteor (from an Orbit: showerKeyOf).
struct ShowerKey {
  double solarLongitude = 0.0;  ///< degrees, J2000
  double longitude = 0.0;       ///< geocentric radiant, ecliptic longitude (J2000), degrees
  double latitude = 0.0;        ///< geocentric radiant, ecliptic latitude (J2000), degrees
  double vGeocentric = 0.0;     ///< m/s
};

/// The key of an orbit: its solar longitude, geocentric ecliptic radiant and vG.
ShowerKey showerKeyOf(const Orbit& orbit);

/// The row a meteor belongs to and how far it is from it.
struct ShowerMatch {
  std::size_t row = 0;                    ///< index into ShowerTable::rows()
  int number = 0;                         ///< IAU number
  std::string code;                       ///< IAU code
  std::string name;                       ///< shower name
  double radiantDistance = 0.0;           ///< degrees, Sun-centred ecliptic great circle
  double vgDifference = 0.0;              ///< (vG - vG_row) / vG_row
  double solarLongitudeDifference = 0.0;  ///< lambda_sun - lambda_sun_row, degrees in [-180, 180)
  double score = 0.0;                     ///< the sum of the three fractions of their limits
  std::optional<double> membership;       ///< share (0-1) of Monte Carlo draws in the same shower
};

/// Whether an orbit was put to the rule, and what it gave (nothing: sporadic).
struct ShowerAssociation {
  bool checked = false;              ///< false: no table was consulted (nothing is said)
  std::optional<ShowerMatch> match;  ///< when checked: the shower, or nothing for a sporadic
};

/// The candidate rows of the rule, with their Sun-centred radiants computed once.
class ShowerTable {
 public:
  ShowerTable() = default;
  /// Rows in table order (ties go to the earlier one); rows without a positive
  /// finite vG are kept but never match.
  explicit ShowerTable(std::vector<ShowerSolution> rows);

  const std::vector<ShowerSolution>& rows() const { return rows_; }

  /// The best row `key` belongs to under `limits`, or nothing (sporadic).
  std::optional<ShowerMatch> associate(const ShowerKey& key, const ShowerLimits& limits = {}) const;

 private:
  std::vector<ShowerSolution> rows_;
  std::vector<double> sunCentredLongitude_;  // lambda - lambda_sun of the row, degrees
  std::vector<double> latitude_;             // beta of the row, degrees
};

/// The share (0-1) of `draws` that `table` puts in the shower numbered `number`
/// (any of its rows); 0 when there are no draws.
double showerMembership(const ShowerTable& table, const ShowerLimits& limits, int number,
                        const std::vector<ShowerKey>& draws);

/// Difference a - b of two angles in degrees, wrapped to [-180, 180).
double wrappedDifference(double a, double b);

}  // namespace sightline
