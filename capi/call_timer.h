// Timing of the C interface's benchmark programs (capi/array_cost.cpp, web/call_cost.cpp):
// the wall time of one run of a loop, per element.
#pragma once

#include <chrono>
#include <cstddef>

namespace kaltra {

// Time of one run, in ns per element.
template <typename Run>
double nanosecondsPerElement(std::size_t elements, Run run) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    run();
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / static_cast<double>(elements);
}

}  // namespace kaltra
