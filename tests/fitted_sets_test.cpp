// The fitted coefficient sets: the exact conditions every set meets (critical point, the
// saturated liquid at minTemp, the reference state) and the soundness of each fluid's
// equations over its whole range (stable density roots, saturated vapor lighter than the
// liquid, h and s rising along isobars, a physical ideal-gas heat capacity, the saturated
// liquid's enthalpy rising along the saturation line, and the solver paths without a safety
// net: R31's Newton-only path, the bisection-only path of para-hydrogen and helium).
//
// The exact conditions and the soundness rules are the fitter's own (tools/fit/set_checks.h,
// the library both link): every committed set must pass what kaltra_fit demanded of it. The
// saturated liquid's enthalpy and the two solver paths are checked here alone.
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
#include "tools/fit/set_checks.h"

namespace kaltra {
namespace {

using checks::Findings;

// ---- Fluids --------------------------------------------------------------------------------

// The catalogue row of the fluid a record names (a copy of a record takes the row of the
// catalogue fluid it names).
const FluidRow& rowOf(const RefrigerantRecord& r) { return kFluidRows[refrigerantIndex(r.name) - 1]; }

// A set is published with the catalogue or fitted, as the fluid's catalogue row says.
bool isPublished(const RefrigerantRecord& r) { return rowOf(r).sets.source == SetSource::published; }

// Catalogue fluids with coefficient sets, published or fitted, looked up (and so completed).
std::vector<const RefrigerantRecord*> fluidsWithSets(bool published) {
    std::vector<const RefrigerantRecord*> fluids;
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord& r = *recordAt(index);
        if (hasCoefficientSets(r) && isPublished(r) == published) fluids.push_back(findRefrigerant(r.name));
    }
    return fluids;
}

// ---- Findings --------------------------------------------------------------------------------

// A failure of a check made here: the formatted text under the check's kind.
void note(Findings& f, const char* kind, const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    f.add(kind, buffer);
}

// The first few failures of every kind, one a line.
std::string described(const Findings& f) {
    std::string text;
    for (const std::string& m : f.messages) text += "  " + m + "\n";
    return text;
}

// ---- The fitter's rules ----------------------------------------------------------------------

// The fitter's walk over the single-phase grid judges two things at once: the solved density,
// and h and s along every isobar.
Findings stableRoots(const RefrigerantRecord& r) { return checks::singlePhaseStates(r).only("single-phase root"); }
Findings isobarsRise(const RefrigerantRecord& r) {
    return checks::singlePhaseStates(r).only("h and s along the isobar");
}

// The ideal-gas heat capacity from the coefficients over the whole range. At least 2.5 - 0.05
// (translation alone: every gas has at least 5/2 R), and at most the classical limit that all
// modes excited would reach (3N - 2 for a non-linear molecule of N atoms, 3N - 3/2 for a linear
// one; a blend's mole-fraction mean), as the fitter demands. The published sets run a little
// past the limit at their highest temperatures (R134a's cp0/R reaches 22.09 against 22 near
// 1500 F): they are allowed 2 more.
constexpr double kCp0Floor = 2.45;
constexpr double kPublishedCp0Margin = 2.0;

Findings idealGasHeatCapacity(const RefrigerantRecord& r) {
    const double ceiling = rowOf(r).fit.classicalCp0 + (isPublished(r) ? kPublishedCp0Margin : 0.0);
    return checks::idealGasHeatCapacity(r, kCp0Floor, ceiling);
}

// ---- The saturated liquid and the solver paths -----------------------------------------------

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

// The bisection ends after 2^32 halvings of its bracket.
constexpr double kBisectionHalvings = 4294967296.0;

// The root the P-v-T functions choose at (T, P): the phase hint as volumeOfTP takes it.
int phaseHintAt(const RefrigerantRecord& r, double t, double p) {
    const double* k = constantsOf(r);
    if (t < k[slot::critTemp] - 0.01) return saturationPressure(r, t) > p ? kVaporRoot : kLiquidRoot;
    return kAnyRoot;
}

// The states of these checks: temperature linear over [minTemp, maxTemp], pressure logarithmic
// over [0.01 minPressure, maxPressure], and saturation temperatures from minTemp up to 1 degF
// below the critical temperature.
constexpr int kGridTemperatures = 25;
constexpr int kGridPressures = 25;
constexpr int kSaturationTemperatures = 100;

double gridTemperature(const RefrigerantRecord& r, int i, int n) {
    const double tMin = constantsOf(r)[slot::minTemp];
    return tMin + (r.maxTemp - tMin) * i / (n - 1);
}

double gridPressure(const RefrigerantRecord& r, int j, int n) {
    const double pMin = 0.01 * constantsOf(r)[slot::minPressure];
    return pMin * std::pow(r.maxPressure / pMin, static_cast<double>(j) / (n - 1));
}

double saturationGridTemperature(const RefrigerantRecord& r, int i) {
    const double* k = constantsOf(r);
    return k[slot::minTemp] + (k[slot::critTemp] - 1.0 - k[slot::minTemp]) * i / (kSaturationTemperatures - 1);
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
            note(f, "saturated liquid h", "falls from %.9g at %.6g F to %.9g BTU/lbm at %.6g F", hLast, tLast, h, t);
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
            calls.push_back({t, reducedTemperature(k, t), p / k[slot::critPressure], phaseHintAt(r, t, p)});
        }
    }
    for (int i = 0; i < kSaturationTemperatures; ++i) {
        const double t = saturationGridTemperature(r, i);
        const double pr = saturationPressure(r, t) / k[slot::critPressure];
        calls.push_back({t, reducedTemperature(k, t), pr, kLiquidRoot});
        calls.push_back({t, reducedTemperature(k, t), pr, kVaporRoot});
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
            note(f, "Newton", "T %.6g F, Pr %.6g, hint %d: ends at rhor %.9g with Pr residual %.3g", c.t, c.pr, c.hint, rhor,
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
            note(f, "bracket", "T %.6g F, Pr %.6g, hint %d: rhor %.9g at an end of the bracket [%.9g, %.9g]", c.t, c.pr, c.hint, rhor,
                 b.lo, b.hi);
    }
    return f;
}

// ---- The checks and where they apply -------------------------------------------------------------

bool anyFluid(const RefrigerantRecord&) { return true; }
bool mbwrFluid(const RefrigerantRecord& r) { return !isCubicForm(r); }

struct Check {
    const char* name;  // test name
    Findings (*run)(const RefrigerantRecord&);
    bool (*appliesTo)(const RefrigerantRecord&);
};

const Check kChecks[] = {
    {"CriticalPointIsPlacedExactly", checks::criticalPoint, anyFluid},
    {"VaporPressureGivesMinPressureAtMinTemp", checks::vaporPressureAtMinTemp, mbwrFluid},
    {"LiquidRootAtMinTempIsMinLiquidVolume", checks::liquidRootAtMinTemp, anyFluid},
    {"HelmholtzEnergyAndEntropyVanishAtTheReferenceState", checks::referenceState, anyFluid},
    {"SolvedDensitiesAreStableRootsOverTheRange", stableRoots, anyFluid},
    {"SaturatedVaporIsLighterThanLiquidAndBothAreRoots", checks::saturatedStates, anyFluid},
    {"EnthalpyAndEntropyRiseAlongEveryIsobar", isobarsRise, anyFluid},
    {"IdealGasHeatCapacityIsPhysical", idealGasHeatCapacity, anyFluid},
    {"SaturatedLiquidEnthalpyRises", checkSaturatedLiquidEnthalpyRises, anyFluid},
    {"NewtonOnlySolverConvergesEverywhere", checkNewtonConverges, checks::isNewtonOnly},
    {"BisectionOnlyRootsLieInsideTheBrackets", checkRootsInsideBrackets, checks::isBisectionOnly},
};

const Check& checkNamed(const char* name) {
    for (const Check& c : kChecks)
        if (std::strcmp(c.name, name) == 0) return c;
    ADD_FAILURE() << "no check named " << name;
    return kChecks[0];
}

void PrintTo(const Check& c, std::ostream* os) { *os << c.name; }

class FittedSetCheck : public testing::TestWithParam<Check> {};

// Each fitted set meets the check.
TEST_P(FittedSetCheck, HoldsForEveryFittedSet) {
    const Check& check = GetParam();
    for (const RefrigerantRecord* r : fluidsWithSets(false)) {
        if (!check.appliesTo(*r)) continue;
        const Findings f = check.run(*r);
        EXPECT_EQ(f.count, 0) << r->name << ": " << check.name << " fails at " << f.count << " states, first:\n"
                              << described(f);
    }
}

// The control: the published sets meet it too, so the check asks nothing a sound set lacks.
TEST_P(FittedSetCheck, HoldsForThePublishedSets) {
    const Check& check = GetParam();
    for (const RefrigerantRecord* r : fluidsWithSets(true)) {
        if (!check.appliesTo(*r)) continue;
        const Findings f = check.run(*r);
        EXPECT_EQ(f.count, 0) << r->name << ": " << check.name << " fails at " << f.count << " states, first:\n"
                              << described(f);
    }
}

INSTANTIATE_TEST_SUITE_P(, FittedSetCheck, testing::ValuesIn(kChecks),
                         [](const testing::TestParamInfo<Check>& info) { return std::string(info.param.name); });

// The whole check as kaltra_fit runs it before it keeps a set (every rule in its order, from
// empty coefficient caches, a cubic-form record completed afresh) passes for every committed
// fitted set: the header holds only sets the fitter accepted.
TEST(FittedSets, PassTheFittersWholeCheck) {
    for (const RefrigerantRecord* r : fluidsWithSets(false)) {
        const checks::CheckReport report = checks::checkRecord(*r, rowOf(*r).fit.classicalCp0);
        std::string first;
        for (const std::string& m : report.messages) first += "  " + m + "\n";
        EXPECT_TRUE(report.ok()) << r->name << ": " << report.exactFailures << " exact and " << report.soundFailures
                                 << " soundness failures, first:\n"
                                 << first;
    }
    resetCoefficientCaches();
}

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
    {"a0 of R13b1 moved by 1e-3", "LiquidRootAtMinTempIsMinLiquidVolume", "R13b1", nullptr, slot::cubicParams, 1e-3},
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
    EXPECT_EQ(intact.count, 0) << d.check << " on the intact copy of " << d.fluid << " fails:\n" << described(intact);
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
