// The CPU time the calling thread has used, for the benchmarks' CPU shares.
#pragma once

namespace bench {

// Seconds of CPU time of the calling thread (CLOCK_THREAD_CPUTIME_ID).
double ThreadCpuSeconds();

}  // namespace bench
