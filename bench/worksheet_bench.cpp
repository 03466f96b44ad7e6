// One worksheet call of each property function, through the exported entry point, on a
// MBWR-form fluid (R134a) and the cubic-form R13b1, in representative states: compressed
// (subcooled) liquid, two-phase, superheated vapor and supercritical. Time per call in ns.
//
// Transport and surface tension run on R134a and R11: water (R718) has no fitted
// coefficient sets in the catalogue yet, so its property functions answer -999 at once.
#include <benchmark/benchmark.h>

#include <iterator>
#include <string>

#include "fluids/fluids.h"
#include "shell/shell.h"
#include "thermo/thermo.h"

namespace {

using namespace kaltra;

// A state of one fluid in internal units (unit code 0): temperature, pressure, volume,
// enthalpy and entropy, the volume and caloric values taken from the fluid at (T, P) or,
// for the two-phase state, at the middle of the dome.
struct State {
    const char* fluid;
    const char* label;
    double t, p, v, h, s;
};

State stateOf(const char* fluid, const char* label, double t, double p) {
    const RefrigerantRecord& record = *findRefrigerant(fluid);
    const double v = volumeOfTP(record, t, p);
    return {fluid, label, t, p, v, enthalpyTV(record, t, v), entropyTV(record, t, v)};
}

State twoPhaseStateOf(const char* fluid, double t) {
    const RefrigerantRecord& record = *findRefrigerant(fluid);
    const SaturationState saturation = saturationState(record, t);
    const double v = 0.5 * (saturation.liquidVolume + saturation.vaporVolume);
    const double h = 0.5 * (satLiquidEnthalpy(record, t) + satVaporEnthalpy(record, t));
    const double s = 0.5 * (satLiquidEntropy(record, t) + satVaporEntropy(record, t));
    return {fluid, "two-phase", t, saturation.satPressure, v, h, s};
}

// R134a: Tc 213.9 F, Pc 588.7 psia. R13b1: Tc 152.6 F, Pc 574.9 psia.
const State& state(int i) {
    static const State states[] = {
        stateOf("R134a", "subcooled", 40.0, 300.0),
        twoPhaseStateOf("R134a", 40.0),
        stateOf("R134a", "superheated", 100.0, 30.0),
        stateOf("R134a", "supercritical", 300.0, 1000.0),
        stateOf("R13b1", "subcooled", 0.0, 300.0),
        twoPhaseStateOf("R13b1", 0.0),
        stateOf("R13b1", "superheated", 50.0, 30.0),
        stateOf("R13b1", "supercritical", 250.0, 1000.0),
    };
    return states[i];
}
constexpr int kStates = 8;

template <typename Call>
void run(benchmark::State& bench, const Call& call) {
    const State& s = state(static_cast<int>(bench.range(0)));
    bench.SetLabel(std::string(s.fluid) + " " + s.label);
    for (auto _ : bench) benchmark::DoNotOptimize(call(s));
}

// Every state of both fluids.
void allStates(benchmark::internal::Benchmark* b) {
    for (int i = 0; i < kStates; ++i) b->Arg(i);
}

#define KALT_BENCH_STATE(function, ...)                                                               \
    void BM_##function(benchmark::State& bench) {                                                     \
        run(bench, [](const State& s) { return function(s.fluid, __VA_ARGS__, 0)->val.num; });       \
    }                                                                                                 \
    BENCHMARK(BM_##function)->Apply(allStates)

KALT_BENCH_STATE(KaltPsat, s.t);
KALT_BENCH_STATE(KaltTsat, s.p);
KALT_BENCH_STATE(KaltVf, s.t);
KALT_BENCH_STATE(KaltVg, s.t);
KALT_BENCH_STATE(KaltPofTV, s.t, s.v);
KALT_BENCH_STATE(KaltVofTP, s.t, s.p);
KALT_BENCH_STATE(KaltZofTV, s.t, s.v);
KALT_BENCH_STATE(KaltZofTP, s.t, s.p);
KALT_BENCH_STATE(KaltHf, s.t);
KALT_BENCH_STATE(KaltHg, s.t);
KALT_BENCH_STATE(KaltHofTV, s.t, s.v);
KALT_BENCH_STATE(KaltHofTP, s.t, s.p);
KALT_BENCH_STATE(KaltSf, s.t);
KALT_BENCH_STATE(KaltSg, s.t);
KALT_BENCH_STATE(KaltSofTV, s.t, s.v);
KALT_BENCH_STATE(KaltSofTP, s.t, s.p);
KALT_BENCH_STATE(KaltTofPH, s.p, s.h);
KALT_BENCH_STATE(KaltTofPS, s.p, s.s);
KALT_BENCH_STATE(KaltCpofTP, s.t, s.p);
KALT_BENCH_STATE(KaltCvofTP, s.t, s.p);

// Transport and surface tension: R134a and R11 (liquid, vapor, supercritical).
struct TransportState {
    const char* fluid;
    const char* label;
    double t, p;
};
const TransportState kTransportStates[] = {
    {"R134a", "liquid", 40.0, 300.0},   {"R134a", "vapor", 100.0, 30.0}, {"R134a", "supercritical", 300.0, 1000.0},
    {"R11", "liquid", 77.0, 100.0},     {"R11", "vapor", 200.0, 5.0},    {"R11", "supercritical", 450.0, 1000.0},
};

void transportStates(benchmark::internal::Benchmark* b) {
    for (int i = 0; i < static_cast<int>(std::size(kTransportStates)); ++i) b->Arg(i);
}

#define KALT_BENCH_TRANSPORT(function, ...)                                                           \
    void BM_##function(benchmark::State& bench) {                                                     \
        const TransportState& s = kTransportStates[bench.range(0)];                                   \
        bench.SetLabel(std::string(s.fluid) + " " + s.label);                                         \
        for (auto _ : bench) benchmark::DoNotOptimize(function(s.fluid, __VA_ARGS__, 0)->val.num);    \
    }                                                                                                 \
    BENCHMARK(BM_##function)->Apply(transportStates)

KALT_BENCH_TRANSPORT(KaltMUofTP, s.t, s.p);
KALT_BENCH_TRANSPORT(KaltNUofTP, s.t, s.p);
KALT_BENCH_TRANSPORT(KaltTKofTP, s.t, s.p);
KALT_BENCH_TRANSPORT(KaltSt, s.t);

// Surface tension needs no coefficient sets, so water answers it already.
void BM_KaltSt_R718(benchmark::State& bench) {
    for (auto _ : bench) benchmark::DoNotOptimize(KaltSt("R718", 150.0, 0)->val.num);
}
BENCHMARK(BM_KaltSt_R718);

// The catalogue search alone, for scale: the last record, three texts compared per record.
void BM_KaltMW_lastRecord(benchmark::State& bench) {
    for (auto _ : bench) benchmark::DoNotOptimize(KaltMW("Propylene")->val.num);
}
BENCHMARK(BM_KaltMW_lastRecord);

}  // namespace
