// The spread of the speed model, the clock offsets and the orbit over the
// Monte Carlo draws: each draw refits the speed model to its own points (warm
// started from the nominal fit) and computes its own orbit.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "orbit/orbit.hpp"
#include "trajectory/along_track.hpp"
#include "trajectory/event.hpp"
#include "trajectory/solution.hpp"
#include "trajectory/solver_core.hpp"
#include "trajectory/timed_fit.hpp"

namespace sightline {

class SpeedDraws {
 public:
  /// Prepares for `draws` draws of the event whose nominal inner solve is
  /// `core` and whose nominal solution is `nominal` (with its velocity and orbit, if any).
  SpeedDraws(const Event& event, const PreparedEvent& prepared, const CoreResult& core, const Solution& nominal,
             int draws);

  /// True when the nominal solution has a speed model whose spread is wanted.
  bool wanted() const { return wanted_; }

  /// Records draw `draw` from its inner solve; each draw writes only its own slot. With the
  /// gravity model, the draw's begin, end, direction and points in `r` become the model's;
  /// returns false when the draw gives no trajectory of the nominal's model (it then fails).
  bool record(std::size_t draw, CoreResult& r);

  /// Fills the sigmas and 95% intervals of `nominal`'s velocity, clock offsets and orbit.
  void summarise(Solution& nominal) const;

 private:
  struct Slot {
    bool speed = false;            // the draw gave a speed model
    double initial = 0, final = 0, a1 = 0, a2 = 0;  // m/s, m/s, m, 1/s
    std::vector<double> offsets;   // s, per nominal clock
    std::vector<double> band;      // m/s, model speed at the band's times
    std::optional<Orbit> orbit;
  };

  void summariseVelocity(Velocity& velocity, std::vector<StationClock>& clocks) const;
  void summariseOrbit(SolvedOrbit& orbit) const;

  const PreparedEvent* prepared_ = nullptr;
  ClockOffsetMode mode_ = ClockOffsetMode::Fit;
  TrajectoryModel model_ = TrajectoryModel::Gravity;
  bool wanted_ = false;
  double epoch_ = 0.0;             // s since 1970 UTC, subtracted from the times
  TimedFit start_;                 // the nominal fit: warm start of every draw
  std::vector<std::size_t> clockStations_;  // station of each nominal clock offset
  std::vector<double> bandTimes_;  // s from the begin time
  std::optional<OrbitEpoch> orbitEpoch_;
  std::vector<Slot> slots_;
};

}  // namespace sightline
