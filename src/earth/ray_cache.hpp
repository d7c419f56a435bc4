// Reusable pieces of the layered ray trace.
//
// Every trace from one ViewPoint starts at the same radius over the same base,
// so the shells it crosses (their radii and indices) are the same for all of
// them: a ShellProfile computes them once. A sighting's ray starts at the same
// apparent zenith angle in every pass, and only the angle at which it is
// stopped changes: a TracedRay keeps the angles already swept and answers a
// later pass by search, stepping on only where it has not been before. Both
// give results bit-identical to traceRefraction.
#pragma once

#include <cstddef>
#include <vector>

namespace sightline {

/// Radii (metres) and refractive indices of the shells above one ViewPoint.
class ShellProfile {
 public:
  ShellProfile() : ShellProfile(0.0, 0.0) {}
  /// Shells above a ViewPoint `height` metres above the base radius `baseRadius` (metres).
  ShellProfile(double height, double baseRadius);

  /// Makes shells 0..last available (shell 0 is the ViewPoint's own radius).
  void extendTo(std::size_t last);
  std::size_t size() const { return radius_.size(); }
  double startRadius() const { return radius_.front(); }
  const double* radii() const { return radius_.data(); }
  const double* indices() const { return index_.data(); }

 private:
  double baseRadius_ = 0.0;
  std::vector<double> radius_;
  std::vector<double> index_;
};

/// The trace of one ray leaving a ViewPoint at a fixed apparent zenith angle.
class TracedRay {
 public:
  TracedRay() : TracedRay(0.0) {}
  /// A ray leaving at `apparentZenith` radians.
  explicit TracedRay(double apparentZenith);

  /// The same result as traceRefraction(apparentZenith, height, baseRadius,
  /// targetAngle) for the ViewPoint that `shells` describes (radians).
  double trueZenith(ShellProfile& shells, double targetAngle);
  /// Steps taken so far.
  std::size_t steps() const { return swept_.size() - 1; }

 private:
  void extend(ShellProfile& shells, double targetAngle);

  double apparentZenith_ = 0.0;
  double zenith_ = 0.0;          // zenith angle of the ray at its last shell
  bool finished_ = false;        // no further step can be taken
  std::vector<double> swept_;    // swept angle after 0, 1, 2, ... steps
};

}  // namespace sightline
