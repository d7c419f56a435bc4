#include "figure_cases.hpp"

#include <cmath>
#include <random>

#include "trajectory/solve.hpp"
#include "trajectory/synthetic.hpp"

namespace sightline::test {
namespace {

KnownTrajectory alpine() { return {{47.9, 11.5, 95000}, {47.6, 11.9, 42000}, 1.79e9, 21000}; }

// Adds Gaussian noise of `sigma` degrees to every angle (fixed seed), so that residuals are not zero.
Event noisy(Event event, double sigma, unsigned seed) {
  std::mt19937_64 random(seed);
  std::normal_distribution<double> noise(0.0, sigma);
  for (Station& station : event.stations)
    for (Sighting& sighting : station.sightings) {
      sighting.azimuth += noise(random) / std::cos(sighting.elevation * M_PI / 180.0);
      sighting.elevation += noise(random);
    }
  event.sigma = sigma;
  return event;
}

// A horizontal 1-sigma ellipse of `major` x `minor` metres, major axis `angle` degrees from east toward north.
PointUncertainty uncertainty(double major, double minor, double angle, double up) {
  PointUncertainty u;
  const double c = std::cos(angle * M_PI / 180.0), s = std::sin(angle * M_PI / 180.0);
  const double a = major * major, b = minor * minor;
  u.covariance = {a * c * c + b * s * s, (a - b) * c * s, 0.0, (a - b) * c * s, a * s * s + b * c * c, 0.0,
                  0.0, 0.0, up * up};
  u.east = std::sqrt(u.covariance[0]);
  u.north = std::sqrt(u.covariance[4]);
  u.up = up;
  return u;
}

// Solution of `event` with the uncertainties a Monte Carlo run might give.
Solution withUncertainty(const Event& event, const Solution& solved, double major, double minor) {
  Solution solution = solved;
  if (!solution.trajectory) return solution;
  solution.trajectory->begin.uncertainty = uncertainty(major, minor, 30.0, 1.5 * major);
  solution.trajectory->end.uncertainty = uncertainty(0.6 * major, 0.5 * minor, -20.0, major);
  solution.trajectory->uncertainty = TrajectoryUncertainty{0.21, 0.34, 180.0, 420.0};
  solution.monteCarlo = MonteCarloSummary{1000, 3, event.monteCarlo.seed};
  return solution;
}

FigureCase solved(const std::string& name, const Event& event) { return {name, event, solve(event)}; }

}  // namespace

static std::vector<FigureCase> buildCases() {
  std::vector<FigureCase> cases;
  {
    Event event = noisy(knownEvent(alpine(), {{"Hilltop", {47.80, 11.20, 620}, 6, 0.0, 0.8},
                                              {"Lakeside", {48.40, 12.10, 450}, 5, 0.2, 1.0},
                                              {"Valley", {47.20, 11.70, 1200}, 7, 0.1, 0.9}}),
                        0.02, 1);
    event.name = "Alpine fireball";
    const Solution nominal = solve(event);
    cases.push_back({"ThreeStationsWithUncertainty", event, withUncertainty(event, nominal, 120.0, 45.0)});
    cases.push_back({"ThreeStationsTinyUncertainty", event, withUncertainty(event, nominal, 2.0, 1.0)});
  }
  {
    std::vector<KnownStation> ring;
    for (int k = 0; k < 8; ++k) {
      const double a = k * 45.0 * M_PI / 180;
      ring.push_back({"Ring station " + std::to_string(k + 1),
                      {45.0 + 0.9 * std::cos(a), 7.0 + 1.2 * std::sin(a), 300.0 + 100 * k}, 3 + k % 4,
                      0.1 * (k % 3), 1.0 - 0.1 * (k % 2)});
    }
    Event event = noisy(knownEvent({{45.2, 6.7, 110000}, {44.8, 7.4, 55000}, 1.7e9, 35000}, ring), 0.03, 2);
    event.name = "Eight-station network event";
    cases.push_back(solved("EightStations", event));
  }
  {
    // Two stations 300 m apart: their names must not sit on each other.
    Event event = noisy(knownEvent(alpine(), {{"Observatory north dome", {47.8000, 11.2000, 620}, 4, 0.0, 0.9},
                                              {"Observatory south dome", {47.7973, 11.2000, 615}, 5, 0.05, 1.0},
                                              {"Lakeside", {48.40, 12.10, 450}, 4}}),
                        0.01, 3);
    event.name = "Close stations";
    cases.push_back(solved("CloseStations", event));
  }
  {
    Event event = noisy(knownEvent(alpine(), {{"Hilltop", {47.80, 11.20, 620}, 5}, {"Lakeside", {48.40, 12.10, 450}, 4}}),
                        0.02, 4);
    for (Station& station : event.stations)
      for (Sighting& sighting : station.sightings) sighting.time.reset();
    event.time.reset();
    event.name = "Untimed sightings";
    cases.push_back(solved("UntimedSightings", event));
  }
  {
    Event event = noisy(knownEvent({{-16.8, 179.7, 102000}, {-17.2, -179.6, 60000}, 1.7e9, 30000},
                                   {{"Suva", {-18.1, 178.4, 10}, 3, 0.0, 0.8}, {"Taveuni", {-16.8, -179.97, 50}, 4, 0.1, 1.0},
                                    {"Lakeba", {-18.2, -178.8, 30}, 2, 0.3, 0.7}}),
                        0.02, 5);
    event.name = "Across the date line";
    cases.push_back(solved("AcrossTheDateLine", event));
  }
  {
    Event event = noisy(knownEvent({{78.5, 15.0, 90000}, {78.1, 17.0, 40000}, 1.7e9, 18000},
                                   {{"Longyearbyen", {78.2, 15.6, 20}, 5, 0.0, 0.9},
                                    {"Ny-Alesund", {78.9, 11.9, 10}, 4, 0.1, 1.0},
                                    {"Barentsburg", {78.0, 19.0, 10}, 3, 0.2, 0.8}}),
                        0.02, 6);
    event.name = "Near the pole";
    cases.push_back(solved("NearThePole", event));
  }
  {
    // More stations than colours: the legend grows, colours repeat with other shapes.
    std::vector<KnownStation> many;
    for (int k = 0; k < 18; ++k) {
      const double a = k * 20.0 * M_PI / 180;
      const double reach = 0.6 + 0.3 * (k % 3);
      many.push_back({"Camera " + std::to_string(k + 1), {47.75 + reach * std::cos(a), 11.7 + 1.4 * reach * std::sin(a), 500},
                      2 + k % 3, 0.05 * (k % 4), 1.0 - 0.05 * (k % 3)});
    }
    Event event = noisy(knownEvent(alpine(), many), 0.02, 7);
    event.name = "Eighteen cameras";
    cases.push_back(solved("EighteenStations", event));
  }
  {
    // One station's plane of sight and another's single line of sight: points, no line.
    Event event = knownEvent(alpine(), {{"Hilltop", {47.80, 11.20, 620}, 4}, {"Lakeside", {48.40, 12.10, 450}, 1}});
    event.name = "One plane only";
    cases.push_back(solved("OnePlaneOnly", event));
  }
  {
    Event event = knownEvent(alpine(), {{"Hilltop", {47.80, 11.20, 620}, 3}});
    event.name = "A single station";
    cases.push_back(solved("SingleStation", event));
  }
  {
    // Stations whose sightings cross nowhere: nothing but the stations and their azimuths.
    Event event = knownEvent(alpine(), {{"Hilltop", {47.80, 11.20, 620}, 2}, {"Lakeside", {48.40, 12.10, 450}, 2}});
    event.name = "No geometry";
    Solution solution;
    solution.status = SolveStatus::NoGeometry;
    solution.warnings.push_back({"parallel-planes", "the planes of sight are parallel"});
    cases.push_back({"NoGeometry", event, solution});
  }
  {
    // Numbers that went wrong somewhere upstream are left out, not drawn at nonsense places.
    FigureCase c = cases.front();  // ThreeStationsWithUncertainty
    c.name = "NotANumber";
    c.solution.trajectory->end.ecef.x = NAN;
    c.solution.sightings[1].point.position.height = NAN;
    c.solution.sightings[2].residual = NAN;
    c.solution.trajectory->begin.uncertainty->covariance[0] = NAN;
    cases.push_back(c);
  }
  cases.push_back({"EmptyEvent", Event{}, Solution{}});
  return cases;
}

const std::vector<FigureCase>& figureCases() {
  static const std::vector<FigureCase> cases = buildCases();
  return cases;
}

std::vector<std::string> figureCaseNames() {
  return {"ThreeStationsWithUncertainty", "ThreeStationsTinyUncertainty", "EightStations", "CloseStations",
          "UntimedSightings", "AcrossTheDateLine", "NearThePole", "EighteenStations", "OnePlaneOnly",
          "SingleStation", "NoGeometry", "NotANumber", "EmptyEvent"};
}

const FigureCase& figureCase(const std::string& name) {
  for (const FigureCase& c : figureCases())
    if (c.name == name) return c;
  static const FigureCase none;
  return none;
}

}  // namespace sightline::test
