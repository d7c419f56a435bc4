// Events and solutions to draw: solved synthetic events with noisy angles and
// known uncertainties, and the degenerate solutions a figure must survive.
#pragma once

#include <string>
#include <vector>

#include "trajectory/event.hpp"
#include "trajectory/solution.hpp"

namespace sightline::test {

struct FigureCase {
  std::string name;  // a test name: letters and digits only
  Event event;
  Solution solution;
};

/// Every case, each solved (or built by hand for what solve() cannot give); built on
/// the first call, never during static initialisation.
const std::vector<FigureCase>& figureCases();

/// The names of figureCases(), in order, without building them (for test instantiation).
std::vector<std::string> figureCaseNames();

/// The case called `name` (an empty case when there is none).
const FigureCase& figureCase(const std::string& name);

}  // namespace sightline::test
