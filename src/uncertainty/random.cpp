#include "uncertainty/random.hpp"

#include <cmath>

#include "geometry/angles.hpp"

namespace sightline {

namespace {

// Odd constant that spreads consecutive draw indices over the 64-bit space.
constexpr std::uint64_t kDrawMultiplier = 0xD1B54A32D192ED03ULL;
// 2^-53: a 53-bit integer to a double in [0, 1).
constexpr double kUnit53 = 1.0 / 9007199254740992.0;

std::uint64_t rotateLeft(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

}  // namespace

std::uint64_t splitMix64(std::uint64_t& state) {
  state += 0x9E3779B97F4A7C15ULL;
  std::uint64_t z = state;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

DrawRandom::DrawRandom(std::uint64_t seed, std::uint64_t draw) {
  std::uint64_t mixed = seed;
  std::uint64_t state = splitMix64(mixed) ^ ((draw + 1) * kDrawMultiplier);
  for (std::uint64_t& s : s_) s = splitMix64(state);
}

std::uint64_t DrawRandom::next() {
  const std::uint64_t result = rotateLeft(s_[1] * 5, 7) * 9;
  const std::uint64_t t = s_[1] << 17;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = rotateLeft(s_[3], 45);
  return result;
}

double DrawRandom::uniform() { return static_cast<double>((next() >> 11) + 1) * kUnit53; }

double DrawRandom::normal() {
  if (hasSpare_) {
    hasSpare_ = false;
    return spare_;
  }
  const double radius = std::sqrt(-2 * std::log(uniform()));
  const double angle = kTwoPi * uniform();
  spare_ = radius * std::sin(angle);
  hasSpare_ = true;
  return radius * std::cos(angle);
}

}  // namespace sightline
