// The 33 worksheet functions, callable alike through the function table's exported entry
// points (shell/table_functions.h), the states the measurements call them in, and the
// arguments each part of the floor is measured at. Shared by the benchmark, the counting
// programs and the answer recorder (tools/answers).
#pragma once

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "fluids/fluids.h"
#include "shell/shell.h"
#include "shell/table_functions.h"
#include "thermo/thermo.h"

namespace kaltra::bench {

// Arguments of one call: the fluid text, up to two doubles, the unit code, an index.
using Arguments = WorksheetArguments;

// What a function's doubles are.
enum class Shape { none, index, unitsAndIndex, t, p, tp, tv, ph, ps };

struct Function {
    const TableFunction* function;
    const char* name;
    Shape shape;
};

// A function's shape from its argument codes and the names of its double arguments.
inline Shape shapeOf(const TableFunction& f) {
    if (f.shape == CallShape::ofI) return Shape::index;
    if (f.shape == CallShape::ofII) return Shape::unitsAndIndex;
    std::string doubles;  // one letter per double argument: t, p, v, h, s
    for (int i = 0; i < f.arguments; ++i) {
        if (f.codes[i] != 'B') continue;
        const std::string name = f.row[1 + i].entryName;
        doubles += name == "temperature" ? 't' : name == "pressure" ? 'p' : name == "spec. vol." ? 'v'
                 : name == "enthalpy"    ? 'h' : name == "entropy"  ? 's' : '?';
    }
    if (doubles == "t") return Shape::t;
    if (doubles == "p") return Shape::p;
    if (doubles == "tp") return Shape::tp;
    if (doubles == "tv") return Shape::tv;
    if (doubles == "ph") return Shape::ph;
    if (doubles == "ps") return Shape::ps;
    return Shape::none;
}

// In registration order, read from the function table.
inline const std::vector<Function>& functions() {
    static const std::vector<Function> all = [] {
        std::vector<Function> list;
        const FunctionTable& table = functionTable();
        for (int i = 0; i < table.count; ++i) list.push_back({&table.function[i], table.function[i].name, shapeOf(table.function[i])});
        return list;
    }();
    return all;
}

inline const Function* functionNamed(const char* name) {
    for (const Function& f : functions())
        if (std::strcmp(f.name, name) == 0) return &f;
    return nullptr;
}

// ---- Representative states --------------------------------------------------------------

// A state of a fluid in internal units: temperature, pressure, volume,
// enthalpy and entropy, the last three those of the fluid at (T, P), or at the middle of the
// dome for the two-phase state.
struct State {
    const char* label;
    double t, p, v, h, s;
};

// The fluids measured, and the five states of each.
inline const char* const kMeasuredFluids[] = {"R134a", "R718", "R744", "R13b1"};
inline const char* const kStateLabels[] = {"subcooled", "two-phase", "superheated", "supercritical", "near-critical"};
constexpr int kStateCount = 5;

inline State stateAt(const RefrigerantRecord& record, const char* label, double t, double p) {
    const double v = volumeOfTP(record, t, p);
    return {label, t, p, v, enthalpyTV(record, t, v), entropyTV(record, t, v)};
}

// Placed by each fluid's own constants, so that every fluid is met in the same regions:
// T1 a little above the middle of [Tmin, Tc] with its saturation pressure P1;
//   subcooled      T1 at three times P1 (at most 0.9 Pc)
//   two-phase      T1 at P1; volume, enthalpy and entropy halfway between liquid and vapor
//   superheated    a quarter of the way from T1 to Tc, at half of P1
//   supercritical  100 F above Tc at 1.7 Pc
//   near-critical  1 F below Tc at Pc (liquid just below the critical point)
inline std::vector<State> statesOf(const RefrigerantRecord& record) {
    const double* k = constantsOf(record);
    const double tmin = k[slot::minTemp], tc = k[slot::critTemp], pc = k[slot::critPressure];
    const double t1 = tmin + 0.55 * (tc - tmin);
    const double p1 = saturationPressure(record, t1);
    const SaturationState sat = saturationState(record, t1);
    const double vMid = 0.5 * (sat.liquidVolume + sat.vaporVolume);
    const double hMid = 0.5 * (enthalpyTV(record, t1, sat.liquidVolume) + enthalpyTV(record, t1, sat.vaporVolume));
    const double sMid = 0.5 * (entropyTV(record, t1, sat.liquidVolume) + entropyTV(record, t1, sat.vaporVolume));
    const double subcooledP = 3.0 * p1 < 0.9 * pc ? 3.0 * p1 : 0.9 * pc;
    return {
        stateAt(record, kStateLabels[0], t1, subcooledP),
        {kStateLabels[1], t1, p1, vMid, hMid, sMid},
        stateAt(record, kStateLabels[2], t1 + 0.25 * (tc - t1), 0.5 * p1),
        stateAt(record, kStateLabels[3], tc + 100.0, 1.7 * pc),
        stateAt(record, kStateLabels[4], tc - 1.0, pc),
    };
}

// The unit code of the measured calls: SI Common (C, bar, m3/kg, kJ/kg), as a user types them.
inline constexpr short kMeasuredUnits = kSICommon;

// The arguments of a function at a state, in the measured unit code.
inline Arguments argumentsAt(const Function& f, const char* fluid, const State& s) {
    constexpr short u = kMeasuredUnits;
    Arguments x{fluid, 0.0, 0.0, u, 0};
    switch (f.shape) {
        case Shape::none: break;
        case Shape::index: x.index = static_cast<short>(refrigerantIndex(fluid)); break;
        case Shape::unitsAndIndex: x.index = kEnthalpyLabel; break;
        case Shape::t: x.a = temperatureOut(u, s.t); break;
        case Shape::p: x.a = pressureOut(u, s.p); break;
        case Shape::tp: x.a = temperatureOut(u, s.t); x.b = pressureOut(u, s.p); break;
        case Shape::tv: x.a = temperatureOut(u, s.t); x.b = volumeOut(u, s.v); break;
        case Shape::ph: x.a = pressureOut(u, s.p); x.b = enthalpyOut(u, s.h); break;
        case Shape::ps: x.a = pressureOut(u, s.p); x.b = entropyOut(u, s.s); break;
    }
    return x;
}

// Whether a function depends on the state at all.
inline bool takesState(const Function& f) {
    return f.shape != Shape::none && f.shape != Shape::index && f.shape != Shape::unitsAndIndex;
}

// A hundred temperatures spread over [Tmin, Tc), each further from the next than the caches'
// tolerance: a saturation function called over them meets a new temperature on every call.
inline constexpr int kSweepPoints = 100;

inline std::vector<double> sweepTemperatures(const RefrigerantRecord& record) {
    const double* k = constantsOf(record);
    std::vector<double> t;
    for (int i = 0; i < kSweepPoints; ++i)
        t.push_back(k[slot::minTemp] + (i + 0.5) / kSweepPoints * (k[slot::critTemp] - k[slot::minTemp]));
    return t;
}

// ---- Parts of the floor: where each is measured -------------------------------------------

// The MBWR evaluations: R134a at Tr 0.8 (cached) or alternating with 0.801 (each call
// recomputes), at reduced densities from dilute vapor to dense liquid.
inline constexpr const char* kPartMbwrFluid = "R134a";
inline constexpr double kPartTr[2] = {0.8, 0.801};
inline constexpr double kPartDensities[8] = {0.01, 0.05, 0.2, 0.6, 1.0, 1.8, 2.4, 2.9};
// The cubic form: R13b1 at Tr 0.8, reduced volumes from the dense liquid to the dilute gas.
inline constexpr const char* kPartCubicFluid = "R13b1";
inline constexpr double kPartCubicVolumes[8] = {0.36, 0.4, 0.5, 0.8, 1.5, 4.0, 20.0, 200.0};
// Elementary functions at arguments like the engine's: exponents of E and of the vapor-
// pressure equation, logarithms of reduced temperatures, densities and volume ratios, and
// pow with a base below 1 and a fractional exponent.
inline constexpr double kPartExpArguments[8] = {-9.0, -4.0, -2.2, -1.0, -0.5, -0.1, 0.3, 1.0};
inline constexpr double kPartLogArguments[8] = {0.01, 0.1, 0.5, 0.9, 1.2, 3.0, 20.0, 90.0};
inline constexpr double kPartPowBases[8] = {0.05, 0.1, 0.2, 0.35, 0.5, 0.7, 0.85, 0.95};
inline constexpr double kPartPowExponents[8] = {6.5, 1.5, 0.2, 1.26, 0.6, 1.8, 2.8, 1.2};
// The vapor-pressure equation's elementary functions, one exp and two pow: the yardstick of a
// saturation pressure. Measured at the arguments KaltPsat of R134a meets over its sweep.
inline constexpr const char* kPartVaporPressureFluid = "R134a";

// tau = 1 - Tr and ln(P/Pc) at each temperature of the fluid's sweep: the arguments of pow and exp.
struct VaporPressureArguments {
    std::vector<double> tau, exponent;
};

inline VaporPressureArguments vaporPressureArguments() {
    const RefrigerantRecord& record = *findRefrigerant(kPartVaporPressureFluid);
    const double* k = constantsOf(record);
    VaporPressureArguments x;
    for (double t : sweepTemperatures(record)) {
        const double tr = reducedTemperature(k, t);
        x.tau.push_back(1.0 - tr);
        x.exponent.push_back(std::log(vaporPressureRatio(record, tr)));
    }
    return x;
}

// The worksheet layer's conversions in the measured unit code, one after the other.
using UnitConversion = double (*)(int, double);
inline constexpr UnitConversion kPartConversions[4] = {temperatureIn, pressureIn, volumeOut, enthalpyOut};
inline constexpr double kPartConversionArguments[8] = {20.0, 3.5, 0.05, 250.0, -10.0, 12.0, 0.8, 400.0};

// ---- Scenarios ------------------------------------------------------------------------------

// A measured case: one function on one fluid, either repeated at one state ("warm": the
// coefficient caches hit on every call after the first), cycling through the fluid's five
// states ("alternating": every call meets a temperature the caches do not hold), or, for the
// functions of one temperature or pressure, through the hundred temperatures of the sweep
// ("sweep", the pressure functions at their saturation pressures).
struct Scenario {
    std::string function, fluid, state;  // state: a label, "-", "alternating" or "sweep"
    std::vector<Arguments> calls;        // cycled through in order
    const TableFunction* table;          // the function's row of the function table
    std::string id() const { return function + "/" + fluid + "/" + state; }
    xl::LPXLOPER call(const Arguments& x) const { return callTableFunction(*table, x); }
};

// Every scenario of the measured fluids.
inline std::vector<Scenario> scenarios() {
    std::vector<Scenario> all;
    for (const char* fluid : kMeasuredFluids) {
        const RefrigerantRecord& record = *findRefrigerant(fluid);
        const std::vector<State> states = statesOf(record);
        for (const Function& f : functions()) {
            if (!takesState(f)) {
                all.push_back({f.name, fluid, "-", {argumentsAt(f, fluid, states[0])}, f.function});
                continue;
            }
            Scenario alternating{f.name, fluid, "alternating", {}, f.function};
            for (const State& s : states) {
                all.push_back({f.name, fluid, s.label, {argumentsAt(f, fluid, s)}, f.function});
                alternating.calls.push_back(argumentsAt(f, fluid, s));
            }
            all.push_back(alternating);
            if (f.shape == Shape::t || f.shape == Shape::p) {
                Scenario sweep{f.name, fluid, "sweep", {}, f.function};
                for (double t : sweepTemperatures(record)) {
                    const double p = saturationPressure(record, t);
                    sweep.calls.push_back(argumentsAt(f, fluid, {"sweep", t, p, 0.0, 0.0, 0.0}));
                }
                all.push_back(sweep);
            }
        }
    }
    return all;
}

// ---- The lookup per fluid -------------------------------------------------------------------

// Every catalogue fluid by each of its three texts, and the worksheet functions whose cost
// is the lookup and little else, measured warm on every fluid to show the cost does not
// depend on a fluid's place in the catalogue.
inline const char* const kLookupKinds[] = {"name", "formula", "longName"};

inline const char* lookupText(const RefrigerantRecord& record, int kind) {
    return kind == 0 ? record.name : kind == 1 ? record.formula : record.longName;
}

inline std::vector<Scenario> positionScenarios() {
    std::vector<Scenario> all;
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord* record = recordAt(index);
        if (record == nullptr || record->name == nullptr) break;
        const State s = statesOf(*findRefrigerant(record->name))[0];
        for (const char* name : {"KaltMW", "KaltIndex", "KaltPsat"}) {
            const Function& f = *functionNamed(name);
            all.push_back({f.name, record->name, "position", {argumentsAt(f, record->name, s)}, f.function});
        }
    }
    return all;
}

}  // namespace kaltra::bench
