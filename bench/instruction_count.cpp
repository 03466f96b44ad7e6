// Instructions per worksheet call and per part of the floor, counted exactly by valgrind's
// callgrind: the same scenarios and parts as the benchmark, without the noise of a shared
// machine. Run it under callgrind with collection off at the start:
//
//   valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file=DIR/cg kaltra_instructions
//
// Each scenario and each part runs between a zeroing of the counts and a dump named after it;
// the program writes "name<TAB>calls" for each to stdout, and bench/report.py divides each
// dump's total by its calls. A part's count has the cost of the measuring loop around it (the
// part named loop, a call of a function that does nothing) taken off.
#include <valgrind/callgrind.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/worksheet_calls.h"
#include "transport/transport.h"

namespace {

using namespace kaltra;
using namespace kaltra::bench;

constexpr int kCallsPerScenario = 10;
constexpr int kCallsPerPart = 512;

// Counts what `run` does (it makes `calls` calls) under the given name.
template <typename Run>
void count(const std::string& name, int calls, const Run& run) {
    CALLGRIND_ZERO_STATS;
    CALLGRIND_TOGGLE_COLLECT;
    run();
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(name.c_str());
    std::printf("%s\t%d\n", name.c_str(), calls);
}

// Keeps a result from being optimised away.
volatile double sink;
volatile const void* pointerSink;

[[gnu::noinline]] double nothing(const RefrigerantRecord&, double, double x) { return x; }

void countParts() {
    const RefrigerantRecord& mbwr = *findRefrigerant(kPartMbwrFluid);
    const RefrigerantRecord& cubic = *findRefrigerant(kPartCubicFluid);
    using Evaluation = double (*)(const RefrigerantRecord&, double, double);
    auto evaluations = [](const std::string& name, Evaluation evaluation, const RefrigerantRecord& record,
                          const double* arguments, bool recompute) {
        Evaluation volatile e = evaluation;
        // The first counted call then finds the cache as every later one does.
        evaluation(record, kPartTr[recompute ? 1 : 0], arguments[0]);
        count(name, kCallsPerPart, [&] {
            for (int i = 0; i < kCallsPerPart; ++i) sink = e(record, kPartTr[recompute ? (i & 1) : 0], arguments[i & 7]);
        });
    };
    evaluations("part/loop", nothing, mbwr, kPartDensities, false);
    struct Named {
        const char* name;
        Evaluation evaluation;
    };
    for (const Named& e : {Named{"mbwrPressure", mbwrPressure}, Named{"mbwrPressureSlope", mbwrPressureSlope},
                           Named{"mbwrResidual", mbwrResidual}, Named{"mbwrResidualDT", mbwrResidualDT}}) {
        evaluations(std::string("part/") + e.name, e.evaluation, mbwr, kPartDensities, false);
        evaluations(std::string("part/") + e.name + "+recompute", e.evaluation, mbwr, kPartDensities, true);
    }
    evaluations("part/cubicPressure", cubicPressure, cubic, kPartCubicVolumes, false);
    evaluations("part/exp", [](const RefrigerantRecord&, double, double x) { return std::exp(x); }, mbwr,
                kPartExpArguments, false);
    evaluations("part/log", [](const RefrigerantRecord&, double, double x) { return std::log(x); }, mbwr,
                kPartLogArguments, false);
    evaluations("part/sqrt", [](const RefrigerantRecord&, double, double x) { return std::sqrt(x); }, mbwr,
                kPartLogArguments, false);
    evaluations("part/pow", [](const RefrigerantRecord&, double, double x) { return std::pow(x, 1.5); }, mbwr,
                kPartPowBases, false);
    {
        const VaporPressureArguments x = vaporPressureArguments();
        const std::size_t n = x.tau.size();
        count("part/exp+2pow", kCallsPerPart, [&] {
            for (int i = 0; i < kCallsPerPart; ++i) {
                const std::size_t j = static_cast<std::size_t>(i) % n;
                sink = std::exp(x.exponent[j]);
                sink = std::pow(x.tau[j], 6.5);
                sink = std::pow(x.tau[j], 1.5);
            }
        });
    }
    evaluations("part/unitConversion",
                [](const RefrigerantRecord&, double, double x) { return temperatureIn(kMeasuredUnits, x); }, mbwr,
                kPartConversionArguments, false);
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord* record = recordAt(index);
        if (record == nullptr || record->name == nullptr) break;
        for (int kind = 0; kind < 3; ++kind) {
            const char* volatile text = lookupText(*record, kind);
            count(std::string("lookup/") + kLookupKinds[kind] + "/" + record->name, kCallsPerPart, [&] {
                for (int i = 0; i < kCallsPerPart; ++i) pointerSink = findRefrigerant(text);
            });
        }
    }
    for (const char* fluid : kMeasuredFluids) {
        const RefrigerantRecord* record = findRefrigerant(fluid);
        const char* volatile name = fluid;
        count(std::string("part/catalogueLookup/") + fluid, kCallsPerPart, [&] {
            for (int i = 0; i < kCallsPerPart; ++i) pointerSink = findRefrigerant(name);
        });
        count(std::string("part/transportLookup/") + fluid, kCallsPerPart, [&] {
            for (int i = 0; i < kCallsPerPart; ++i) pointerSink = findTransportEntry(*record);
        });
    }
}

}  // namespace

int main() {
    const std::vector<Scenario> all = scenarios();
    countParts();
    for (const Scenario& s : positionScenarios()) {
        s.call(s.calls[0]);
        count("position/" + s.function + "/" + s.fluid, kCallsPerScenario, [&] {
            for (int i = 0; i < kCallsPerScenario; ++i) sink = s.call(s.calls[0])->val.num;
        });
    }
    for (const Scenario& s : all) {
        for (const Arguments& x : s.calls) s.call(x);
        const int calls = kCallsPerScenario * static_cast<int>(s.calls.size());
        count("call/" + s.id(), calls, [&] {
            for (int cycle = 0; cycle < kCallsPerScenario; ++cycle)
                for (const Arguments& x : s.calls) sink = s.call(x)->val.num;
        });
    }
    return 0;
}
