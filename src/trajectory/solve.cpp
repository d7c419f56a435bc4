// Stub until the solver lands.
#include "trajectory/solve.hpp"

namespace sightline {

Solution solve(const Event&) { return Solution{}; }

}  // namespace sightline
