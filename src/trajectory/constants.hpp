// Constants of the trajectory library, named once, with units.
#pragma once

namespace sightline::trajectory_constants {

/// Refraction passes end when no point moves by this much, metres.
inline constexpr double kSettledMovement = 0.01;
/// Most passes of the refraction loop.
inline constexpr int kMaxPasses = 10;
/// Convergence angle under which networks reject a solution, degrees.
inline constexpr double kRejectConvergence = 3.0;
/// Convergence angle under which a solution is weak, degrees.
inline constexpr double kWeakConvergence = 10.0;
/// Residuals beyond this many sigmas are reported.
inline constexpr double kResidualSigmas = 3.0;
/// A line of sight closer than this to the trajectory's direction gives a poorly defined point, degrees.
inline constexpr double kGrazingAngle = 1.0;
/// Lines of sight whose directions differ by less than this sine (radians) count as parallel.
inline constexpr double kParallelSine = 1e-10;
/// Arcseconds per degree.
inline constexpr double kArcsecondsPerDegree = 3600.0;
/// Most iterations of the least-squares line fit.
inline constexpr int kMaxFitIterations = 100;
/// The line fit stops when a step moves the line by less than this, metres (at 100 km for the direction).
inline constexpr double kFitStepTolerance = 1e-6;

}  // namespace sightline::trajectory_constants
