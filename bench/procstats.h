#pragma once
// What the process costs the machine: resident memory and CPU time.

#include <cstdint>

// Resident set size of this process, in bytes.
std::int64_t residentBytes();
// User plus system CPU time of this process so far, in seconds.
double cpuSeconds();
