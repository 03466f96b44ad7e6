// Time per worksheet call, and the cost of each part of the floor in isolation.
//
// call/<function>/<fluid>/<state>        one function through its exported entry point,
//                                         repeated at one state (the warm case: the
//                                         coefficient caches hit on every call after the first)
// call/<function>/<fluid>/alternating    the same function cycling through the fluid's five
//                                         states (every call meets a temperature the caches
//                                         do not hold)
// part/<evaluation>                      one equation-of-state evaluation, one coefficient
//                                         recomputation, one elementary function or one table
//                                         lookup, alone
//
// part/<evaluation>/independent          the same without the chain
// part/exp+2pow                          one exp and two pow at the arguments of the vapor-
//                                         pressure equation over R134a's sweep: the yardstick
//                                         of KaltPsat/R134a/sweep
// lookup/<text kind>/<fluid>             findRefrigerant of every catalogue fluid by its
//                                         name, formula and long name
// position/<function>/<fluid>            KaltMW, KaltIndex and KaltPsat (warm) of every
//                                         catalogue fluid
//
// The parts are timed as a chain, each call's argument depending on the previous answer, as
// the iterations of the solvers chain them: the cost of one evaluation is its latency. The
// independent timing lets consecutive calls overlap (throughput), a stricter figure shown
// beside it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/worksheet_calls.h"
#include "transport/transport.h"

namespace {

using namespace kaltra;
using namespace kaltra::bench;

// ---- Worksheet calls ------------------------------------------------------------------------

void runScenario(benchmark::State& bench, const Scenario* scenario) {
    const std::size_t n = scenario->calls.size();
    std::size_t i = 0;
    for (auto _ : bench) {
        const xl::XLOPER* r = scenario->call(scenario->calls[i]);
        benchmark::DoNotOptimize(r->val.num);
        if (++i == n) i = 0;
    }
}

// ---- Parts of the floor ---------------------------------------------------------------------

// Eight arguments that the chain cycles through; adding 0 times the previous answer makes
// each call wait for the one before without changing its argument.
struct Chain {
    const double* values;
    double previous = 0.0;
    unsigned i = 0;
    double next() { return values[i++ & 7] + 0.0 * previous; }
};

using Evaluation = double (*)(const RefrigerantRecord&, double, double);

// How the calls of a part follow each other: each waiting for the previous answer (its
// latency, the cost counted in the floor), or free to overlap (its throughput, for comparison).
enum class Timing { chained, independent };

// An evaluation at one Tr (the cache hits), or alternating between two Tr further apart than
// the cache tolerance (every call recomputes the coefficients).
void runEvaluation(benchmark::State& bench, const char* fluid, Evaluation evaluation, Chain chain, bool recompute,
                   Timing timing) {
    const RefrigerantRecord& record = *findRefrigerant(fluid);
    unsigned k = 0;
    for (auto _ : bench) {
        const double x = chain.next();
        const double answer = evaluation(record, kPartTr[recompute ? (k++ & 1) : 0], x);
        if (timing == Timing::chained) chain.previous = answer;
        benchmark::DoNotOptimize(answer);
    }
}


template <double (*f)(double)>
void runElementary(benchmark::State& bench, Chain chain, Timing timing) {
    for (auto _ : bench) {
        const double answer = f(chain.next());
        if (timing == Timing::chained) chain.previous = answer;
        benchmark::DoNotOptimize(answer);
    }
}

double expOf(double x) { return std::exp(x); }
double logOf(double x) { return std::log(x); }
double sqrtOf(double x) { return std::sqrt(x); }

// pow as the engine calls it: a base below 1 (tau, 1 - Tr, a reduced temperature or density)
// and a fractional exponent.
void runPow(benchmark::State& bench, Timing timing) {
    Chain bases{kPartPowBases};
    for (auto _ : bench) {
        const double answer = std::pow(bases.next(), kPartPowExponents[bases.i & 7]);
        if (timing == Timing::chained) bases.previous = answer;
        benchmark::DoNotOptimize(answer);
    }
}

// The conversions of the worksheet layer in the measured unit code, one after the other.
void runUnitConversion(benchmark::State& bench) {
    Chain chain{kPartConversionArguments};
    for (auto _ : bench) {
        chain.previous = kPartConversions[chain.i & 3](kMeasuredUnits, chain.next());
        benchmark::DoNotOptimize(chain.previous);
    }
}

void runLookup(benchmark::State& bench, const char* fluid) {
    for (auto _ : bench) benchmark::DoNotOptimize(findRefrigerant(fluid));
}

// One exp and two pow per call, as the vapor-pressure equation makes them, cycling through the
// arguments it meets over a sweep; the calls are independent, as those of a sweep are.
void runExpAndTwoPow(benchmark::State& bench) {
    static const VaporPressureArguments x = vaporPressureArguments();
    std::size_t i = 0;
    for (auto _ : bench) {
        benchmark::DoNotOptimize(std::exp(x.exponent[i]));
        benchmark::DoNotOptimize(std::pow(x.tau[i], 6.5));
        benchmark::DoNotOptimize(std::pow(x.tau[i], 1.5));
        if (++i == x.tau.size()) i = 0;
    }
}

void runTransportLookup(benchmark::State& bench, const char* fluid) {
    const RefrigerantRecord& record = *findRefrigerant(fluid);
    for (auto _ : bench) benchmark::DoNotOptimize(findTransportEntry(record));
}

void registerParts() {
    struct Named {
        const char* name;
        Evaluation evaluation;
    };
    const Named mbwr[] = {{"mbwrPressure", mbwrPressure},
                          {"mbwrPressureSlope", mbwrPressureSlope},
                          {"mbwrResidual", mbwrResidual},
                          {"mbwrResidualDT", mbwrResidualDT}};
    for (Timing timing : {Timing::chained, Timing::independent}) {
        const std::string suffix = timing == Timing::chained ? "" : "/independent";
        for (const Named& e : mbwr) {
            benchmark::RegisterBenchmark(("part/" + std::string(e.name) + suffix).c_str(), runEvaluation,
                                         kPartMbwrFluid, e.evaluation, Chain{kPartDensities}, false, timing);
            benchmark::RegisterBenchmark(("part/" + std::string(e.name) + "+recompute" + suffix).c_str(), runEvaluation,
                                         kPartMbwrFluid, e.evaluation, Chain{kPartDensities}, true, timing);
        }
        benchmark::RegisterBenchmark(("part/cubicPressure" + suffix).c_str(), runEvaluation, kPartCubicFluid,
                                     cubicPressure, Chain{kPartCubicVolumes}, false, timing);
        benchmark::RegisterBenchmark(("part/exp" + suffix).c_str(), runElementary<expOf>, Chain{kPartExpArguments},
                                     timing);
        benchmark::RegisterBenchmark(("part/log" + suffix).c_str(), runElementary<logOf>, Chain{kPartLogArguments},
                                     timing);
        benchmark::RegisterBenchmark(("part/sqrt" + suffix).c_str(), runElementary<sqrtOf>, Chain{kPartLogArguments},
                                     timing);
        benchmark::RegisterBenchmark(("part/pow" + suffix).c_str(), runPow, timing);
    }
    benchmark::RegisterBenchmark("part/exp+2pow", runExpAndTwoPow);
    benchmark::RegisterBenchmark("part/unitConversion", runUnitConversion);
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord* record = recordAt(index);
        if (record == nullptr || record->name == nullptr) break;
        for (int kind = 0; kind < 3; ++kind)
            benchmark::RegisterBenchmark(
                (std::string("lookup/") + kLookupKinds[kind] + "/" + record->name).c_str(), runLookup,
                lookupText(*record, kind));
    }
    for (const char* fluid : kMeasuredFluids) {
        benchmark::RegisterBenchmark((std::string("part/catalogueLookup/") + fluid).c_str(), runLookup, fluid);
        benchmark::RegisterBenchmark((std::string("part/transportLookup/") + fluid).c_str(), runTransportLookup, fluid);
    }
}

}  // namespace

#ifndef KALTRA_COMPILER_FLAGS
#define KALTRA_COMPILER_FLAGS "unknown"
#endif

int main(int argc, char** argv) {
    static const std::vector<Scenario> all = scenarios();
    for (const Scenario& s : all) benchmark::RegisterBenchmark(("call/" + s.id()).c_str(), runScenario, &s);
    static const std::vector<Scenario> positions = positionScenarios();
    for (const Scenario& s : positions)
        benchmark::RegisterBenchmark(("position/" + s.function + "/" + s.fluid).c_str(), runScenario, &s);
    registerParts();

    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("compiler", __VERSION__);
    benchmark::AddCustomContext("compiler flags", KALTRA_COMPILER_FLAGS);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
