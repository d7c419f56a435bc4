// Monte Carlo uncertainty of a solution: every sighting perturbed by its sigma, solved again.
#pragma once

#include <functional>

#include "trajectory/event.hpp"
#include "trajectory/solution.hpp"

namespace sightline {

/// Called now and then from the calling thread with the draws done so far and the total.
using ProgressFunction = std::function<void(int done, int total)>;
/// Polled now and then from the calling thread: true stops the draws early
/// (the solution is then left without uncertainties, with a warning).
using StopFunction = std::function<bool()>;

/// Runs `options.draws` draws of `event` around `nominal` (the result of
/// solve(event)) and fills the uncertainty of every point, the trajectory and
/// nominal.monteCarlo. The figures do not depend on options.threads.
void estimateUncertainty(const Event& event, Solution& nominal, const MonteCarloOptions& options,
                         const ProgressFunction& progress = {}, const StopFunction& stop = {});

}  // namespace sightline
