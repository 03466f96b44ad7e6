// The fitted coefficient sets: the exact conditions every set meets (critical point, the
// saturated liquid at minTemp, the reference state) and the soundness of each fluid's
// equations over its whole range (stable density roots, saturated vapor lighter than the
// liquid, h and s rising along isobars, a physical ideal-gas heat capacity, the saturated
// liquid's enthalpy rising along the saturation line, and the solver paths without a safety
// net: R31's Newton-only path, the bisection-only path of para-hydrogen and helium).
//
// Every check is a function of a record that returns what it found wrong. The same checks
// run on the published sets as a control, and each one is shown to fail on a copy of a
// published set with one coefficient disturbed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "thermo/thermo.h"

namespace kaltra {
namespace {

// ---- Fluids --------------------------------------------------------------------------------

// A set is published with the catalogue or fitted, as the fluid's catalogue row says.
bool isPublished(const RefrigerantRecord& r) { return catalogueRow(r)->sets.source == SetSource::published; }

// Catalogue fluids with coefficient sets, published or fitted, looked up (and so completed).
std::vector<const RefrigerantRecord*> fluidsWithSets(bool published) {
    std::vector<const RefrigerantRecord*> fluids;
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord& r = *recordAt(index);
        if (hasCoefficientSets(r) && isPublished(r) == published) fluids.push_back(findRefrigerant(r.name));
    }
    return fluids;
}

// The classical limit of the ideal-gas heat capacity, cp0/R with every mode excited, from the
// fluid's catalogue row (a copy of a record takes the row of the catalogue fluid it names).
double classicalCp0Of(const RefrigerantRecord& r) { return kFluidRows[refrigerantIndex(r.name) - 1].fit.classicalCp0; }

// ---- Findings --------------------------------------------------------------------------------

// What a check found wrong: how many states, and the first few described.
struct Findings {
    int count = 0;
    std::string first;
};

constexpr int kMessagesKept = 5;

void note(Findings& f, const char* format, ...) {
    if (f.count++ >= kMessagesKept) return;
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    f.first += "  ";
    f.first += buffer;
    f.first += "\n";
}

// ---- Helpers ---------------------------------------------------------------------------------

// The fluid whose density solver takes Newton steps alone.
bool newtonOnlyFluid(const RefrigerantRecord& r) { return std::strcmp(r.name, "R31") == 0; }

double reducedTemperatureOf(const RefrigerantRecord& r, double t) {
    return (t + kRankineOffset) / (constantsOf(r)[slot::critTemp] + kRankineOffset);
}

// Relative step of the central differences of the cubic pressure in volume.
constexpr double kVolumeStep = 1e-6;

// A solved density is a root when it meets the Newton test of the solvers, |P - Pr| below
// 1e-4 max(floor, Pr) (floor 1e-3 on R31's path, 1e-5 on the others), or lies within twice
// the resolution of the bisection the solver may end with, (hi - lo)/2^32 of its bracket.
constexpr double kNewtonTolerance = 1e-4;
constexpr double kNewtonFloor = 1e-5;
constexpr double kNewtonOnlyFloor = 1e-3;
constexpr double kBisectionHalvings = 4294967296.0;  // 2^32

// The bracket the solver bisects for a phase hint: reduced density for the MBWR form, reduced
// volume for the cubic form.
struct Bracket {
    double lo, hi;
};

Bracket solverBracket(const RefrigerantRecord& r, double tr, double pr, int hint) {
    const double zc = constantsOf(r)[slot::critZ];
    if (isCubicForm(r)) {
        if (hint == kLiquidRoot) return {0.3, 1.0};
        if (hint == kVaporRoot) return {1.0, 2.0 * tr / (zc * pr)};
        return {0.3, 20000.0};
    }
    if (hint == kLiquidRoot) return {1.0, 4.0};
    if (hint == kVaporRoot) return {zc * pr / tr / vaporZGuess(zc, tr) / 10.0, 1.0};
    return {zc * pr / tr / 10.0, 4.0};
}

// A density (or volume) answered by a solver, judged against the equation of state.
struct RootQuality {
    double slope;     // dPr/drhor
    double residual;  // P - Pr
    double distance;  // distance to the root in the solver's variable (rhor, or vr for the cubic form)
};

RootQuality rootQuality(const RefrigerantRecord& r, double tr, double pr, double vr) {
    const double rhor = 1.0 / vr;
    if (!isCubicForm(r)) {
        const double s = mbwrPressureSlope(r, tr, rhor);
        const double residual = mbwrPressure(r, tr, rhor) - pr;
        return {s, residual, std::fabs(residual / s)};
    }
    // dP/drho = -vr^2 dP/dvr, by a central difference in volume
    const double h = kVolumeStep * vr;
    const double dpdv = (cubicPressure(r, tr, vr + h) - cubicPressure(r, tr, vr - h)) / (2.0 * h);
    const double residual = cubicPressure(r, tr, vr) - pr;
    return {-vr * vr * dpdv, residual, std::fabs(residual / dpdv)};
}

// A root on a rising isotherm.
bool isStableRoot(const RefrigerantRecord& r, const RootQuality& q, double tr, double pr, int hint) {
    const double floor = newtonOnlyFluid(r) ? kNewtonOnlyFloor : kNewtonFloor;
    const Bracket b = solverBracket(r, tr, pr, hint);
    const bool root = std::fabs(q.residual) < kNewtonTolerance * std::max(floor, pr) ||
                      q.distance <= 2.0 * (b.hi - b.lo) / kBisectionHalvings;
    return q.slope > 0.0 && root;
}

// The root the P-v-T functions choose at (T, P): the phase hint as volumeOfTP takes it.
int phaseHintAt(const RefrigerantRecord& r, double t, double p) {
    const double* k = constantsOf(r);
    if (t < k[slot::critTemp] - 0.01) return saturationPressure(r, t) > p ? kVaporRoot : kLiquidRoot;
    return kAnyRoot;
}

// Without a phase preference the cubic solver searches reduced volumes up to 20000; a more
// dilute root (a gas above the critical temperature at a very low pressure) lies beyond the
// search whatever the coefficients, so the checks leave such states out.
constexpr double kCubicAnyRootBound = 20000.0;

bool beyondCubicSearch(const RefrigerantRecord& r, double t, double p) {
    const double* k = constantsOf(r);
    const double idealVr = reducedTemperatureOf(r, t) * k[slot::critPressure] / (k[slot::critZ] * p);
    return isCubicForm(r) && phaseHintAt(r, t, p) == kAnyRoot && idealVr > kCubicAnyRootBound / 2.0;
}

// The states of the soundness grid: temperature linear over [minTemp, maxTemp], pressure
// logarithmic over [0.01 minPressure, maxPressure].
constexpr int kGridTemperatures = 25;
constexpr int kGridPressures = 25;
constexpr int kIsobarTemperatures = 200;
constexpr int kSaturationTemperatures = 100;
constexpr int kIdealGasTemperatures = 60;

double gridTemperature(const RefrigerantRecord& r, int i, int n) {
    const double tMin = constantsOf(r)[slot::minTemp];
    return tMin + (r.maxTemp - tMin) * i / (n - 1);
}

double gridPressure(const RefrigerantRecord& r, int j, int n) {
    const double pMin = 0.01 * constantsOf(r)[slot::minPressure];
    return pMin * std::pow(r.maxPressure / pMin, static_cast<double>(j) / (n - 1));
}

// Saturation temperatures from minTemp up to 1 degF below the critical temperature.
double saturationGridTemperature(const RefrigerantRecord& r, int i) {
    const double* k = constantsOf(r);
    return k[slot::minTemp] + (k[slot::critTemp] - 1.0 - k[slot::minTemp]) * i / (kSaturationTemperatures - 1);
}

// ---- Exact conditions ------------------------------------------------------------------------

constexpr double kCriticalTolerance = 1e-10;
constexpr double kCubicSlopeTolerance = 1e-6;  // central difference
constexpr double kMinPressureTolerance = 1e-9;
constexpr double kThroughPointTolerance = 1e-8;  // relative density
constexpr double kSolvedLiquidTolerance = 1e-6;  // relative volume
constexpr double kReferenceTolerance = 1e-9;

// Pr = 1 and dPr/drhor = 0 at Tr = 1, rhor = 1.
Findings checkCriticalPoint(const RefrigerantRecord& r) {
    Findings f;
    double p, s;
    if (isCubicForm(r)) {
        p = cubicPressure(r, 1.0, 1.0);
        const double h = kVolumeStep;
        s = -(cubicPressure(r, 1.0, 1.0 + h) - cubicPressure(r, 1.0, 1.0 - h)) / (2.0 * h);
        if (!(std::fabs(s) <= kCubicSlopeTolerance)) note(f, "slope at the critical point %.3g, expected 0", s);
    } else {
        p = mbwrPressure(r, 1.0, 1.0);
        s = mbwrPressureSlope(r, 1.0, 1.0);
        if (!(std::fabs(s) <= kCriticalTolerance)) note(f, "slope at the critical point %.3g, expected 0", s);
    }
    if (!(std::fabs(p - 1.0) <= kCriticalTolerance)) note(f, "Pr at the critical point %.15g, expected 1", p);
    return f;
}

// MBWR: the vapor-pressure equation gives minPressure at minTemp.
Findings checkVaporPressureAtMinTemp(const RefrigerantRecord& r) {
    Findings f;
    const double* k = constantsOf(r);
    const double p = saturationPressure(r, k[slot::minTemp]);
    if (!(std::fabs(p / k[slot::minPressure] - 1.0) <= kMinPressureTolerance))
        note(f, "vapor pressure at minTemp %.6g F is %.15g psia, minPressure %.15g psia", k[slot::minTemp], p,
             k[slot::minPressure]);
    return f;
}

// MBWR: the equation of state passes through (minTemp, minLiquidVolume, minPressure) on a
// rising isotherm, and the density solver's liquid root at minTemp is that state.
Findings checkLiquidRootAtMinTemp(const RefrigerantRecord& r) {
    Findings f;
    const double* k = constantsOf(r);
    const double tr = reducedTemperatureOf(r, k[slot::minTemp]);
    const double pr = k[slot::minPressure] / k[slot::critPressure];
    const double vr = k[slot::minLiquidVolume] / k[slot::critVolume];
    const RootQuality q = rootQuality(r, tr, pr, vr);
    if (!(q.slope > 0.0)) note(f, "isotherm slope %.6g at (minTemp, minLiquidVolume), expected > 0", q.slope);
    if (!(q.distance * vr <= kThroughPointTolerance))
        note(f, "(minTemp, minLiquidVolume) lies %.3g (relative density) off the isotherm through minPressure",
             q.distance * vr);
    const double solved = saturationState(r, k[slot::minTemp]).liquidVolume;
    if (!(std::fabs(solved / k[slot::minLiquidVolume] - 1.0) <= kSolvedLiquidTolerance))
        note(f, "saturated liquid volume at minTemp %.12g ft3/lbm, minLiquidVolume %.12g ft3/lbm", solved,
             k[slot::minLiquidVolume]);
    return f;
}

// A = 0 and s = 0 at (minTemp, minLiquidVolume).
Findings checkReferenceState(const RefrigerantRecord& r) {
    Findings f;
    const double* k = constantsOf(r);
    const double tr = reducedTemperatureOf(r, k[slot::minTemp]);
    const double rhor = k[slot::critVolume] / k[slot::minLiquidVolume];
    const double a = reducedHelmholtz(r, tr, rhor);
    const double s = reducedEntropy(r, tr, rhor);
    if (!(std::fabs(a) <= kReferenceTolerance)) note(f, "A/(R Tc) at the reference state %.3g, expected 0", a);
    if (!(std::fabs(s) <= kReferenceTolerance)) note(f, "s/R at the reference state %.3g, expected 0", s);
    return f;
}

// ---- Soundness over the range ------------------------------------------------------------------

// At every single-phase state of the grid the P-v-T solver answers a root of the equation of
// state on a rising isotherm. (For the cubic form, states whose root lies beyond the search
// bound without phase preference are out of any set's reach and are skipped.)
Findings checkStableRoots(const RefrigerantRecord& r) {
    Findings f;
    const double* k = constantsOf(r);
    for (int i = 0; i < kGridTemperatures; ++i) {
        const double t = gridTemperature(r, i, kGridTemperatures);
        const double tr = reducedTemperatureOf(r, t);
        for (int j = 0; j < kGridPressures; ++j) {
            const double p = gridPressure(r, j, kGridPressures);
            const double pr = p / k[slot::critPressure];
            if (beyondCubicSearch(r, t, p)) continue;
            const double vr = volumeOfTP(r, t, p) / k[slot::critVolume];
            const RootQuality q = rootQuality(r, tr, pr, vr);
            if (!isStableRoot(r, q, tr, pr, phaseHintAt(r, t, p)))
                note(f, "T %.6g F, P %.6g psia: answered vr %.9g, isotherm slope %.3g, Pr residual %.3g", t, p, vr,
                     q.slope, q.residual);
        }
    }
    return f;
}

// Below 1 degF under the critical temperature the saturated vapor is lighter than the liquid,
// and both are roots of the equation of state at the vapor pressure on rising isotherms.
Findings checkSaturatedRoots(const RefrigerantRecord& r) {
    Findings f;
    const double* k = constantsOf(r);
    for (int i = 0; i < kSaturationTemperatures; ++i) {
        const double t = saturationGridTemperature(r, i);
        const double tr = reducedTemperatureOf(r, t);
        const SaturationState st = saturationState(r, t);
        const double pr = st.satPressure / k[slot::critPressure];
        if (!(st.vaporVolume > st.liquidVolume))
            note(f, "T %.6g F: saturated vapor volume %.9g not above liquid volume %.9g ft3/lbm", t, st.vaporVolume,
                 st.liquidVolume);
        const RootQuality liquid = rootQuality(r, tr, pr, st.liquidVolume / k[slot::critVolume]);
        const RootQuality vapor = rootQuality(r, tr, pr, st.vaporVolume / k[slot::critVolume]);
        if (!isStableRoot(r, liquid, tr, pr, kLiquidRoot))
            note(f, "T %.6g F: saturated liquid, isotherm slope %.3g, Pr residual %.3g at Pr %.9g", t, liquid.slope,
                 liquid.residual, pr);
        if (!isStableRoot(r, vapor, tr, pr, kVaporRoot))
            note(f, "T %.6g F: saturated vapor, isotherm slope %.3g, Pr residual %.3g at Pr %.9g", t, vapor.slope,
                 vapor.residual, pr);
    }
    return f;
}

// R31's solver stops as soon as the reduced pressure lies within 1e-4 max(0.001, Pr) of the
// target, that is within 1e-7 at low pressure. Below a reduced pressure of 1e-5 that admits a
// dilute vapor density more than 1 % off (near the critical temperature it keeps its starting
// value, up to about three times the true density), whatever the coefficients; its isobars are
// checked from there up.
constexpr double kNewtonOnlyResolvedPr = 1e-5;

// h and s rise with T along every isobar, across the saturation line too: the inverse
// functions bisect on it.
Findings checkIsobarsRise(const RefrigerantRecord& r) {
    Findings f;
    for (int j = 0; j < kGridPressures; ++j) {
        const double p = gridPressure(r, j, kGridPressures);
        if (newtonOnlyFluid(r) && p / constantsOf(r)[slot::critPressure] < kNewtonOnlyResolvedPr) continue;
        bool haveLast = false;
        double tLast = 0.0, hLast = 0.0, sLast = 0.0;
        for (int i = 0; i < kIsobarTemperatures; ++i) {
            const double t = gridTemperature(r, i, kIsobarTemperatures);
            if (beyondCubicSearch(r, t, p)) {
                haveLast = false;
                continue;
            }
            const double v = volumeOfTP(r, t, p);
            const double h = enthalpyTV(r, t, v);
            const double s = entropyTV(r, t, v);
            if (haveLast && !(h > hLast))
                note(f, "P %.6g psia: h falls from %.9g at %.6g F to %.9g BTU/lbm at %.6g F", p, hLast, tLast, h, t);
            if (haveLast && !(s > sLast))
                note(f, "P %.6g psia: s falls from %.9g at %.6g F to %.9g BTU/(lbm F) at %.6g F", p, sLast, tLast, s, t);
            haveLast = true;
            tLast = t;
            hLast = h;
            sLast = s;
        }
    }
    return f;
}

// The ideal-gas heat capacity cp0 = dh/dT at vanishing density, taken from the enthalpy.
// Bounds in units of R: at least 2.5 - 0.05 (translation alone; the margin admits fitting
// noise of the monatomic gases) and at most 2 above the classical limit that all modes excited
// would reach (3N - 2 for a non-linear molecule of N atoms, so 3N; 3N - 3/2 for a linear one; a
// blend's mole-fraction mean): the published sets run a little past the limit at their highest
// temperatures (R134a's cp0/R reaches about 23 against 22 near 1500 F), the fitted ones stay
// within it.
constexpr double kDiluteVolumeFactor = 1e7;
constexpr double kCp0HalfStep = 0.5;  // degF
constexpr double kCp0Floor = 2.45;
constexpr double kCp0Margin = 2.0;

Findings checkIdealGasHeatCapacity(const RefrigerantRecord& r) {
    Findings f;
    const double* k = constantsOf(r);
    const double v = kDiluteVolumeFactor * k[slot::critVolume];
    const double ceiling = classicalCp0Of(r) + kCp0Margin;
    for (int i = 0; i < kIdealGasTemperatures; ++i) {
        const double t = gridTemperature(r, i, kIdealGasTemperatures);
        const double cp0 = (enthalpyTV(r, t + kCp0HalfStep, v) - enthalpyTV(r, t - kCp0HalfStep, v)) / (2.0 * kCp0HalfStep);
        const double cp0R = cp0 / k[slot::gasConstant];
        if (!(cp0R >= kCp0Floor && cp0R <= ceiling))
            note(f, "T %.6g F: cp0/R %.6g outside [%.3g, %.3g]", t, cp0R, kCp0Floor, ceiling);
    }
    return f;
}

// The saturated liquid's enthalpy rises with temperature along the saturation line, from minTemp
// up to 1 degF below the critical temperature: the refrigerating effect of a cycle is a
// difference of it.
Findings checkSaturatedLiquidEnthalpyRises(const RefrigerantRecord& r) {
    Findings f;
    double tLast = 0.0, hLast = 0.0;
    for (int i = 0; i < kSaturationTemperatures; ++i) {
        const double t = saturationGridTemperature(r, i);
        const double h = satLiquidEnthalpy(r, t);
        if (i > 0 && !(h > hLast))
            note(f, "saturated liquid h falls from %.9g at %.6g F to %.9g BTU/lbm at %.6g F", hLast, tLast, h, t);
        tLast = t;
        hLast = h;
    }
    return f;
}

// The solver state a P-v-T or saturation call asks for.
struct SolverCall {
    double t, tr, pr;
    int hint;
};

// Every call of the density solver the grid and the saturation line make.
std::vector<SolverCall> solverCalls(const RefrigerantRecord& r) {
    const double* k = constantsOf(r);
    std::vector<SolverCall> calls;
    for (int i = 0; i < kGridTemperatures; ++i) {
        const double t = gridTemperature(r, i, kGridTemperatures);
        for (int j = 0; j < kGridPressures; ++j) {
            const double p = gridPressure(r, j, kGridPressures);
            calls.push_back({t, reducedTemperatureOf(r, t), p / k[slot::critPressure], phaseHintAt(r, t, p)});
        }
    }
    for (int i = 0; i < kSaturationTemperatures; ++i) {
        const double t = saturationGridTemperature(r, i);
        const double pr = saturationPressure(r, t) / k[slot::critPressure];
        calls.push_back({t, reducedTemperatureOf(r, t), pr, kLiquidRoot});
        calls.push_back({t, reducedTemperatureOf(r, t), pr, kVaporRoot});
    }
    return calls;
}

// R31: its Newton-only solver stops by its own convergence test at every state, never by
// running out of steps.
Findings checkNewtonConverges(const RefrigerantRecord& r) {
    Findings f;
    for (const SolverCall& c : solverCalls(r)) {
        const double rhor = mbwrDensity(r, c.tr, c.pr, c.hint);
        const double residual = mbwrPressure(r, c.tr, rhor) - c.pr;
        if (!(std::fabs(residual) < 1e-4 * std::max(0.001, c.pr)))
            note(f, "T %.6g F, Pr %.6g, hint %d: Newton ends at rhor %.9g with Pr residual %.3g", c.t, c.pr, c.hint, rhor,
                 residual);
    }
    return f;
}

// Para-hydrogen and helium: their solver bisects only, so every root must lie inside the
// bracket of its phase hint; an answer at a bracket end means the root lies outside.
Findings checkRootsInsideBrackets(const RefrigerantRecord& r) {
    Findings f;
    for (const SolverCall& c : solverCalls(r)) {
        const Bracket b = solverBracket(r, c.tr, c.pr, c.hint);
        const double rhor = mbwrDensity(r, c.tr, c.pr, c.hint);
        const double margin = 16.0 * (b.hi - b.lo) / kBisectionHalvings;
        if (!(rhor > b.lo + margin && rhor < b.hi - margin))
            note(f, "T %.6g F, Pr %.6g, hint %d: rhor %.9g at an end of the bracket [%.9g, %.9g]", c.t, c.pr, c.hint, rhor,
                 b.lo, b.hi);
    }
    return f;
}

// ---- The checks and where they apply -------------------------------------------------------------

bool anyFluid(const RefrigerantRecord&) { return true; }
bool mbwrFluid(const RefrigerantRecord& r) { return !isCubicForm(r); }
bool bisectionOnlyFluid(const RefrigerantRecord& r) { return !isCubicForm(r) && constantsOf(r)[slot::critTemp] <= -400.0; }

struct Check {
    const char* name;  // test name
    Findings (*run)(const RefrigerantRecord&);
    bool (*appliesTo)(const RefrigerantRecord&);
};

const Check kChecks[] = {
    {"CriticalPointIsPlacedExactly", checkCriticalPoint, anyFluid},
    {"VaporPressureGivesMinPressureAtMinTemp", checkVaporPressureAtMinTemp, mbwrFluid},
    {"LiquidRootAtMinTempIsMinLiquidVolume", checkLiquidRootAtMinTemp, mbwrFluid},
    {"HelmholtzEnergyAndEntropyVanishAtTheReferenceState", checkReferenceState, anyFluid},
    {"SolvedDensitiesAreStableRootsOverTheRange", checkStableRoots, anyFluid},
    {"SaturatedVaporIsLighterThanLiquidAndBothAreRoots", checkSaturatedRoots, anyFluid},
    {"EnthalpyAndEntropyRiseAlongEveryIsobar", checkIsobarsRise, anyFluid},
    {"IdealGasHeatCapacityIsPhysical", checkIdealGasHeatCapacity, anyFluid},
    {"SaturatedLiquidEnthalpyRises", checkSaturatedLiquidEnthalpyRises, anyFluid},
    {"NewtonOnlySolverConvergesEverywhere", checkNewtonConverges, newtonOnlyFluid},
    {"BisectionOnlyRootsLieInsideTheBrackets", checkRootsInsideBrackets, bisectionOnlyFluid},
};

const Check& checkNamed(const char* name) {
    for (const Check& c : kChecks)
        if (std::strcmp(c.name, name) == 0) return c;
    ADD_FAILURE() << "no check named " << name;
    return kChecks[0];
}

void PrintTo(const Check& c, std::ostream* os) { *os << c.name; }

class FittedSetCheck : public testing::TestWithParam<Check> {};

// Each fitted set meets the check (vacuous while no fitted set is present).
TEST_P(FittedSetCheck, HoldsForEveryFittedSet) {
    const Check& check = GetParam();
    for (const RefrigerantRecord* r : fluidsWithSets(false)) {
        if (!check.appliesTo(*r)) continue;
        const Findings f = check.run(*r);
        EXPECT_EQ(f.count, 0) << r->name << ": " << check.name << " fails at " << f.count << " states, first:\n" << f.first;
    }
}

// The control: the published sets meet it too, so the check asks nothing a sound set lacks.
TEST_P(FittedSetCheck, HoldsForThePublishedSets) {
    const Check& check = GetParam();
    for (const RefrigerantRecord* r : fluidsWithSets(true)) {
        if (!check.appliesTo(*r)) continue;
        const Findings f = check.run(*r);
        EXPECT_EQ(f.count, 0) << r->name << ": " << check.name << " fails at " << f.count << " states, first:\n" << f.first;
    }
}

INSTANTIATE_TEST_SUITE_P(, FittedSetCheck, testing::ValuesIn(kChecks),
                         [](const testing::TestParamInfo<Check>& info) { return std::string(info.param.name); });

// ---- Each check bites --------------------------------------------------------------------------

// A published fluid copied into a local block and record, so that a coefficient can be
// disturbed without touching the catalogue. The caches key on the record's address (a local
// record may sit where an earlier one stood), so they are emptied whenever a copy is made or
// changed.
struct LocalFluid {
    FluidConstants constants;
    RefrigerantRecord record;
};

void copyFluid(LocalFluid& local, const char* name, const char* asName) {
    const RefrigerantRecord& published = *findRefrigerant(name);
    local.constants = *published.constants;
    local.record = published;
    local.record.constants = &local.constants;
    if (asName != nullptr) local.record.name = asName;
    resetCoefficientCaches();
}

struct Disturbance {
    const char* what;
    const char* check;
    const char* fluid;    // published fluid copied
    const char* asName;   // name the copy takes (selects a solver path), or null
    int slot;             // slot disturbed
    double add;           // added to the slot
};

const Disturbance kDisturbances[] = {
    {"b3 of R134a moved by 1e-6", "CriticalPointIsPlacedExactly", "R134a", nullptr, slot::mbwrCoeffs + 2, 1e-6},
    {"a0 of R13b1 moved by 1e-6", "CriticalPointIsPlacedExactly", "R13b1", nullptr, slot::cubicParams, 1e-6},
    {"vapor-pressure A of R134a moved by 1e-6", "VaporPressureGivesMinPressureAtMinTemp", "R134a", nullptr,
     slot::mbwrVaporPressureCoeffs, 1e-6},
    {"b12 of R134a moved by 1e-5", "LiquidRootAtMinTempIsMinLiquidVolume", "R134a", nullptr, slot::mbwrCoeffs + 11, 1e-5},
    {"alpha1 of R134a moved by 1e-6", "HelmholtzEnergyAndEntropyVanishAtTheReferenceState", "R134a", nullptr,
     slot::mbwrIdealGasCoeffs + 1, 1e-6},
    {"k1 of R13b1 moved by 1e-6", "HelmholtzEnergyAndEntropyVanishAtTheReferenceState", "R13b1", nullptr,
     slot::cubicIdealGasCoeffs + 1, 1e-6},
    {"b13 of R134a moved by -3", "SolvedDensitiesAreStableRootsOverTheRange", "R134a", nullptr, slot::mbwrCoeffs + 12, -3.0},
    {"b13 of R134a moved by -3", "SaturatedVaporIsLighterThanLiquidAndBothAreRoots", "R134a", nullptr, slot::mbwrCoeffs + 12,
     -3.0},
    {"alpha6 of R134a moved by 10", "EnthalpyAndEntropyRiseAlongEveryIsobar", "R134a", nullptr, slot::mbwrIdealGasCoeffs + 6,
     10.0},
    {"alpha3 of R134a moved by -1", "IdealGasHeatCapacityIsPhysical", "R134a", nullptr, slot::mbwrIdealGasCoeffs + 3, -1.0},
    {"b13 of R134a moved by -3, solved by Newton alone", "NewtonOnlySolverConvergesEverywhere", "R134a", "R31",
     slot::mbwrCoeffs + 12, -3.0},
    {"b12 of R134a moved by -5", "BisectionOnlyRootsLieInsideTheBrackets", "R134a", nullptr, slot::mbwrCoeffs + 11, -5.0},
    {"alpha4 of R134a moved by 5", "SaturatedLiquidEnthalpyRises", "R134a", nullptr, slot::mbwrIdealGasCoeffs + 4, 5.0},
    // the same checks bite on the sets of today's refrigerants (fitted, with derived constants)
    {"b3 of R1234yf moved by 1e-6", "CriticalPointIsPlacedExactly", "R1234yf", nullptr, slot::mbwrCoeffs + 2, 1e-6},
    {"vapor-pressure A of R410A moved by 1e-6", "VaporPressureGivesMinPressureAtMinTemp", "R410A", nullptr,
     slot::mbwrVaporPressureCoeffs, 1e-6},
    {"b12 of R32 moved by 1e-5", "LiquidRootAtMinTempIsMinLiquidVolume", "R32", nullptr, slot::mbwrCoeffs + 11, 1e-5},
    {"alpha1 of R454B moved by 1e-6", "HelmholtzEnergyAndEntropyVanishAtTheReferenceState", "R454B", nullptr,
     slot::mbwrIdealGasCoeffs + 1, 1e-6},
    {"b13 of R1234ze(E) moved by -3", "SolvedDensitiesAreStableRootsOverTheRange", "R1234ze(E)", nullptr,
     slot::mbwrCoeffs + 12, -3.0},
    {"b13 of R245fa moved by -3", "SaturatedVaporIsLighterThanLiquidAndBothAreRoots", "R245fa", nullptr,
     slot::mbwrCoeffs + 12, -3.0},
    {"alpha6 of R513A moved by 10", "EnthalpyAndEntropyRiseAlongEveryIsobar", "R513A", nullptr,
     slot::mbwrIdealGasCoeffs + 6, 10.0},
    {"alpha3 of R1336mzz(Z) moved by -1", "IdealGasHeatCapacityIsPhysical", "R1336mzz(Z)", nullptr,
     slot::mbwrIdealGasCoeffs + 3, -1.0},
    {"b13 of R125 moved by -3, solved by Newton alone", "NewtonOnlySolverConvergesEverywhere", "R125", "R31",
     slot::mbwrCoeffs + 12, -3.0},
    {"alpha4 of R143a moved by 5", "SaturatedLiquidEnthalpyRises", "R143a", nullptr, slot::mbwrIdealGasCoeffs + 4, 5.0},
};

void PrintTo(const Disturbance& d, std::ostream* os) { *os << d.check << ": " << d.what; }

class CheckBites : public testing::TestWithParam<Disturbance> {};

// The undisturbed copy passes the check and the disturbed one fails it.
TEST_P(CheckBites, OnADisturbedCopyOfAPublishedSet) {
    const Disturbance& d = GetParam();
    const Check& check = checkNamed(d.check);
    LocalFluid local;
    copyFluid(local, d.fluid, d.asName);
    const Findings intact = check.run(local.record);
    EXPECT_EQ(intact.count, 0) << d.check << " on the intact copy of " << d.fluid << " fails:\n" << intact.first;
    local.constants.slots[d.slot] += d.add;
    resetCoefficientCaches();
    const Findings disturbed = check.run(local.record);
    EXPECT_GT(disturbed.count, 0) << d.check << " does not notice " << d.what;
    resetCoefficientCaches();
}

INSTANTIATE_TEST_SUITE_P(, CheckBites, testing::ValuesIn(kDisturbances),
                         [](const testing::TestParamInfo<Disturbance>& info) {
                             return std::string(info.param.check) + "_" + std::to_string(info.index);
                         });

}  // namespace
}  // namespace kaltra
