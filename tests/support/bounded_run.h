#pragma once

// Runs a piece of work in a child process with its CPU time capped and measures how much
// memory it took, so a test can hold a reader to "refused within 2 seconds and 100 MB"
// without timing anything on a busy machine: CPU time, not the clock, is what is capped.

#include <cstdint>
#include <functional>

namespace quendrolix::testing {

struct BoundedResult {
  bool finished = false;     // the child ran the work to its end (not killed, not out of time)
  bool value = false;        // what the work returned
  int64_t peakGrowthKb = 0;  // growth of the child's peak resident memory during the work
};

// `work` runs in a forked child whose CPU time is capped at `cpuSeconds` and whose address
// space may grow by at most `spaceLimitMb` (a guard for the machine, well above what is
// measured). Use only for work that touches no shared state the parent needs afterwards.
BoundedResult RunBounded(const std::function<bool()>& work, int cpuSeconds = 2,
                         int64_t spaceLimitMb = 4096);

}  // namespace quendrolix::testing
