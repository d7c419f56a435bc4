// Stub: to be written.
#include "uncertainty/monte_carlo.hpp"

namespace sightline {

void estimateUncertainty(const Event&, Solution& nominal, const MonteCarloOptions& options, const ProgressFunction&) {
  nominal.monteCarlo = MonteCarloSummary{options.draws, options.draws, options.seed};
}

}  // namespace sightline
