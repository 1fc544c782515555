#pragma once
// The station command as the program runs it: the platform's bus, Ctrl-C and hang-ups wired to
// the station, the process ended with the station's status.

#include "cli/CliOptions.hpp"

#include <cstdio>

[[noreturn]] void runStation(const CliOptions& options, std::FILE* out);
