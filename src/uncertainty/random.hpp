// Random numbers for the Monte Carlo draws: one independent stream per draw,
// derived from the run's seed and the draw's index, so that a draw's noise
// does not depend on which thread runs it. Normal deviates come from the
// Box-Muller transform written out here, not from the standard library's
// distributions, whose output differs between implementations.
#pragma once

#include <cstdint>

namespace sightline {

/// One step of SplitMix64: advances `state` and returns the next 64-bit value.
std::uint64_t splitMix64(std::uint64_t& state);

/// The random stream of one draw: xoshiro256** seeded through SplitMix64 from (seed, draw).
class DrawRandom {
 public:
  /// The stream of draw `draw` (0-based) of a run with seed `seed`.
  DrawRandom(std::uint64_t seed, std::uint64_t draw);

  /// Next 64 random bits.
  std::uint64_t next();
  /// Uniform in (0, 1], 53 bits.
  double uniform();
  /// Standard normal deviate (mean 0, sigma 1); pairs from one Box-Muller transform.
  double normal();

 private:
  std::uint64_t s_[4];
  double spare_ = 0.0;
  bool hasSpare_ = false;
};

}  // namespace sightline
