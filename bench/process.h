#pragma once
// Starting a program and timing it to its end, its output drained through a
// pipe, for the baselines and the start-up probes.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// CLOCK_MONOTONIC in nanoseconds: one clock for every process on the machine.
std::int64_t monotonicNs();

// This process's peak resident size so far (VmHWM), in KiB.
long peakResidentKiB();

struct Finished {
    int exitCode = -1;           // -1 when it did not exit normally
    std::int64_t startNs = 0;    // just before the program was started
    double ms = 0;               // from the start to the end of the process
    long lines = 0;              // lines on its standard output
    std::string output;          // its standard output, when asked to keep it
};

// Runs argv[0] (found on PATH) with standard input from inputFile (or
// /dev/null) and the current environment.
Finished run(const std::vector<std::string>& argv, const std::string& inputFile = {}, bool keepOutput = false);

} // namespace bench
