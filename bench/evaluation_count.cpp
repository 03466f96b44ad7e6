// How many evaluations of each kind one worksheet call makes, for every scenario of the
// benchmark: equation-of-state evaluations, coefficient recomputations, elementary functions
// outside those, table lookups, and the solves they make up. Built on the counting core
// (KALTRA_COUNTERS); writes one tab-separated row per scenario, counts per call.
//
// A scenario runs one full cycle first, so that a warm scenario is counted with its caches
// hit as in the benchmark, then ten cycles counted.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/worksheet_calls.h"
#include "thermo/counters.h"

#ifndef KALTRA_COUNTERS
#error "the evaluation count needs the counting core (KALTRA_COUNTERS)"
#endif

int main() {
    using namespace kaltra;
    using namespace kaltra::bench;
    const std::vector<Scenario> all = scenarios();

    std::printf("scenario");
    for (const char* name : counters::kCounterNames) std::printf("\t%s", name);
    std::printf("\n");

    constexpr int kCycles = 10;
    for (const Scenario& s : all) {
        for (const Arguments& x : s.calls) s.call(x);
        for (unsigned long long& count : counters::counts) count = 0;
        for (int cycle = 0; cycle < kCycles; ++cycle)
            for (const Arguments& x : s.calls) s.call(x);
        const double calls = static_cast<double>(kCycles) * static_cast<double>(s.calls.size());
        std::printf("%s", s.id().c_str());
        for (unsigned long long count : counters::counts) std::printf("\t%.6g", static_cast<double>(count) / calls);
        std::printf("\n");
    }
    return 0;
}
