// Evaluation counters for the performance measurements: how many equation-of-state
// evaluations, coefficient recomputations, elementary-function calls, table lookups and unit
// conversions one worksheet call makes. They exist only in the counting build of the core (KALTRA_COUNTERS
// defined, used by the counting benchmark alone); in every other build KALTRA_COUNT is
// nothing and the engine carries no trace of them.
//
// exp, log, pow and sqrt are counted where a formula calls them outside the five equation-of-
// state evaluations and the coefficient recomputations; the calls inside those belong to the
// evaluation's own cost.
#pragma once

namespace kaltra::counters {

enum Counter : int {
    // equation-of-state evaluations
    mbwrPressure,
    mbwrPressureSlope,
    mbwrResidual,
    mbwrResidualDT,
    cubicPressure,
    // recomputations of a cache's temperature coefficients
    pressureCoefficients,
    pressureSlopeCoefficients,
    residualCoefficients,
    residualSlopeCoefficients,
    // elementary functions outside the above
    exp,
    log,
    pow,
    sqrt,
    // the worksheet layer's table lookups and unit conversions
    catalogueLookup,
    transportLookup,
    surfaceTensionLookup,
    unitConversion,
    // solves, for reading the counts (their cost is made of the evaluations above)
    saturationState,
    mbwrDensity,
    cubicVolume,
    volumeOfTP,
    counterCount,
};

inline constexpr const char* kCounterNames[counterCount] = {
    "mbwrPressure", "mbwrPressureSlope", "mbwrResidual", "mbwrResidualDT", "cubicPressure",
    "pressureCoefficients", "pressureSlopeCoefficients", "residualCoefficients", "residualSlopeCoefficients",
    "exp", "log", "pow", "sqrt",
    "catalogueLookup", "transportLookup", "surfaceTensionLookup", "unitConversion",
    "saturationState", "mbwrDensity", "cubicVolume", "volumeOfTP",
};

// KALTRA_COUNT(counters::mbwrPressure, 1) adds 1 to a counter; without KALTRA_COUNTERS its
// arguments are not even evaluated.
#ifdef KALTRA_COUNTERS
inline unsigned long long counts[counterCount];
#define KALTRA_COUNT(counter, n) (::kaltra::counters::counts[counter] += (n))
#else
#define KALTRA_COUNT(counter, n) ((void)0)
#endif

}  // namespace kaltra::counters
