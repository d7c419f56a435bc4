// Stub: to be written.
#include "plot/figure.hpp"

namespace sightline {

bool writeFigure(const std::string&, const Event&, const Solution&, const OutputContext&, std::string& error) {
  error = "figures are not drawn yet";
  return false;
}

}  // namespace sightline
