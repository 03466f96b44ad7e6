// The thermodynamic engine: equation of state, density solution, saturation, enthalpy and
// entropy, temperature from (P, h) or (P, s), specific heats.
//
// Reduced-variable operations take Tr = (T + 459.67)/(critTemp + 459.67), rhor =
// critVolume/v, vr = 1/rhor, Pr = P/critPressure. Dimensional operations take and return
// internal units: degF, psia, ft3/lbm, BTU/lbm, BTU/(lbm degF). No operation reports
// failure; iterations run a fixed number of steps; a cubic-form state denser than its
// co-volume answers the mark -999 (or a scaled form of it).
#pragma once

#include <cstring>

#include "fluids/fluids.h"

namespace kaltra {

constexpr double kRankineOffset = 459.67;            // degF to degR
constexpr double kBtuPerPsiaFt3 = 144.0 / 778.1692623;  // P*v in psia ft3/lbm to BTU/lbm
constexpr double kFailureMark = -999.0;

// Tr = (T + 459.67)/(critTemp + 459.67): the ratio of absolute temperatures, T in degF.
inline double reducedTemperature(const double* k, double t) {
    return (t + kRankineOffset) / (k[slot::critTemp] + kRankineOffset);
}

// Which root the density solvers look for.
enum PhaseHint : int { kLiquidRoot = 1, kVaporRoot = 2, kAnyRoot = 3 };

// ---- Equation of state (reduced variables) ----------------------------------------------
// MBWR form; each keeps its own cache of temperature coefficients keyed by (record, Tr).
double mbwrPressure(const RefrigerantRecord& record, double tr, double rhor);
double mbwrPressureSlope(const RefrigerantRecord& record, double tr, double rhor);
double mbwrResidual(const RefrigerantRecord& record, double tr, double rhor);
double mbwrResidualDT(const RefrigerantRecord& record, double tr, double rhor);
// Empties the four coefficient caches, as they are when the library is loaded (no record,
// Tr 0): for tests and tools that rewrite a coefficient block or need a known cache state.
void resetCoefficientCaches();
// Cubic form; takes the reduced volume; -999 when vr <= b.
double cubicPressure(const RefrigerantRecord& record, double tr, double vr);
// Leaves the caches of mbwrPressure and mbwrPressureSlope as any evaluation of theirs at Tr
// would (each that misses takes Tr's coefficients), without evaluating the equation: for an
// answer that skips a density solve whose cache effect later answers depend on.
void loadPressureCoefficients(const RefrigerantRecord& record, double tr);

// ---- Density solution and P-v-T ---------------------------------------------------------
// Two fluids' densities take a path of their own, each recognised here alone: the record named
// exactly "R31" (the catalogue's name, not the text a user typed) is solved by Newton steps
// alone; a fluid whose critical temperature lies at or below -400 degF (para-hydrogen R702,
// helium R704) by bisection alone.
constexpr double kBisectionOnlyCritTemp = -400.0;  // degF
inline bool isNewtonOnlyFluid(const RefrigerantRecord& record) { return std::strcmp(record.name, "R31") == 0; }
inline bool isBisectionOnlyFluid(const RefrigerantRecord& record) {
    return constantsOf(record)[slot::critTemp] <= kBisectionOnlyCritTemp;
}
// The Newton-only path stops once |P - Pr| < kNewtonOnlyTolerance * max(kNewtonOnlyFloor, Pr).
constexpr double kNewtonOnlyTolerance = 1e-4;
constexpr double kNewtonOnlyFloor = 0.001;
// Upper end (reduced volume) of the cubic volume search without a phase preference: a state
// more dilute than this has no root within its reach.
constexpr double kCubicVolumeLimit = 20000.0;

// Starting values of the liquid and vapor searches.
double liquidDensityGuess(double tr);
double vaporZGuess(double zc, double tr);
double mbwrDensity(const RefrigerantRecord& record, double tr, double pr, int phaseHint);
double mbwrVolume(const RefrigerantRecord& record, double tr, double pr, int phaseHint);
double cubicVolume(const RefrigerantRecord& record, double tr, double pr, int phaseHint);

double pressureOfTV(const RefrigerantRecord& record, double t, double v);
double zOfTV(const RefrigerantRecord& record, double t, double v);
double zOfTP(const RefrigerantRecord& record, double t, double p);
double volumeOfTP(const RefrigerantRecord& record, double t, double p);

// ---- Saturation -------------------------------------------------------------------------
struct SaturationState {
    double satPressure;   // psia
    double liquidVolume;  // ft3/lbm
    double vaporVolume;   // ft3/lbm
};
struct ReducedSaturationState {
    double pr;
    double liquidVr;
    double vaporVr;
};

double vaporPressureRatio(const RefrigerantRecord& record, double tr);
double saturationTempRatio(const RefrigerantRecord& record, double pr);
double saturationPressure(const RefrigerantRecord& record, double t);
double saturationTemperature(const RefrigerantRecord& record, double p);
ReducedSaturationState saturationStateReduced(const RefrigerantRecord& record, double tr);
SaturationState saturationState(const RefrigerantRecord& record, double t);

// The saturation state at T with its roots solved one at a time, when first asked for: the
// vapor pressure at once, each volume by its own solve. Both volumes asked for, with nothing
// evaluated at another temperature in between, are saturationState's, and leave the caches
// as it does (both solves run at one Tr, so the second meets the caches the first left).
struct SaturationRoots {
    const RefrigerantRecord* record;
    double tr;  // of T bounded to [minTemp, critTemp]
    double pr;  // vapor pressure ratio there
};
SaturationRoots saturationRoots(const RefrigerantRecord& record, double t);
double saturatedPressureOf(const SaturationRoots& roots);  // psia
double liquidRootVolume(const SaturationRoots& roots);     // ft3/lbm, solves the liquid root
double vaporRootVolume(const SaturationRoots& roots);      // ft3/lbm, solves the vapor root
// The three parts of saturationState one by one, each with no more work than it needs:
// the pressure solves no root (and loads the pressure caches as the roots' solves would), a
// volume only its own root.
double saturatedPressure(const RefrigerantRecord& record, double t);
double saturatedLiquidVolume(const RefrigerantRecord& record, double t);
double saturatedVaporVolume(const RefrigerantRecord& record, double t);

// ---- Enthalpy and entropy ---------------------------------------------------------------
double idealHelmholtz(const RefrigerantRecord& record, double tr);
double idealHelmholtzSlope(const RefrigerantRecord& record, double tr);
double reducedHelmholtz(const RefrigerantRecord& record, double tr, double rhor);
double reducedGibbs(const RefrigerantRecord& record, double tr, double rhor);
double reducedEntropy(const RefrigerantRecord& record, double tr, double rhor);
double reducedEnthalpy(const RefrigerantRecord& record, double tr, double rhor);
double enthalpyTV(const RefrigerantRecord& record, double t, double v);
double entropyTV(const RefrigerantRecord& record, double t, double v);
double satLiquidEnthalpy(const RefrigerantRecord& record, double t);
double satVaporEnthalpy(const RefrigerantRecord& record, double t);
double satLiquidEntropy(const RefrigerantRecord& record, double t);
double satVaporEntropy(const RefrigerantRecord& record, double t);
// establishReferenceState(record) is declared in fluids/fluids.h and defined here.

// ---- Inverse temperature ----------------------------------------------------------------
double temperatureFromPH(const RefrigerantRecord& record, double p, double h);
double temperatureFromPS(const RefrigerantRecord& record, double p, double s);

// ---- Specific heats ---------------------------------------------------------------------
double specificHeatCp(const RefrigerantRecord& record, double t, double p);
double specificHeatCv(const RefrigerantRecord& record, double t, double p);

}  // namespace kaltra
