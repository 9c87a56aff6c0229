// The emulator's bus description for the benchmarks.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

// A bus named "bench" of slaves at MAC IDs 1..slaves, each polled with 4 input and 2 output
// bytes and counting inputs.
std::string CountingBusText(uint32_t slaves);

}  // namespace bench
