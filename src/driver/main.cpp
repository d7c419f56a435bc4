// sightline FILE: reconstructs points of a fireball's path from two stations' sightings.
#include <cstdio>

#include "driver/run_control.hpp"

int main(int argc, char** argv) { return sightline::runClassicCommandLine(argc, argv, stdout, stderr); }
