// Timing of the comparison: start-up and sort keys for a million words.
#pragma once

#include <ostream>

namespace CollationTest {

/// Times the first comparison of the process (loading included) and sort keys for a
/// million generated words, on one thread and on two. Returns the exit code.
int RunBenchmark(std::ostream& report);

}  // namespace CollationTest
