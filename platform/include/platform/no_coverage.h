#pragma once

// Marks a function whose branches a coverage-instrumented (fuzzing) build leaves out: a hot loop
// that only searches for the next byte that matters, where the coverage and compare hooks cost
// more than the loop and tell the fuzzer nothing. Address checks stay. Kept out of line there,
// so that it is not inlined into instrumented code; other builds are unchanged.
#if defined(__has_feature)
#if __has_feature(coverage_sanitizer)
#define NORVANE_NO_COVERAGE [[gnu::noinline]] __attribute__((no_sanitize("coverage")))
#endif
#endif
#ifndef NORVANE_NO_COVERAGE
#define NORVANE_NO_COVERAGE
#endif
