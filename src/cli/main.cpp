// sightline: points and trajectories of fireballs from stations' sightings.
#include <cstdio>

#include "cli/command_line.hpp"

int main(int argc, char** argv) { return sightline::runCommandLine(argc, argv, stdout, stderr); }
