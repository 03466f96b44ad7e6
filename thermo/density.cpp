// Density solution of the equation of state and the P-v-T operations in internal units.
//
// The solvers never report failure: each runs a fixed number of steps and answers its last
// iterate.
#include <algorithm>
#include <cmath>

#include "thermo/counters.h"
#include "thermo/thermo.h"

namespace kaltra {
namespace {

// The volume solvers take no phase preference from this far below the critical temperature on.
constexpr double kNearCriticalBand = 0.01;  // degF

constexpr int kNewtonSteps = 8;
constexpr int kBisectionSteps = 32;
constexpr int kNewtonOnlySteps = 32;
constexpr int kCubicBisectionSteps = 32;
// Lower end (reduced volume) of the cubic liquid search; the upper end is kCubicVolumeLimit.
constexpr double kCubicLiquidVolumeLow = 0.3;

// Phase of a (T, P) state: the liquid root at or above the saturation pressure, the vapor
// root below it, no preference from 0.01 degF below the critical temperature upwards.
int phaseHintOfTP(const RefrigerantRecord& record, double t, double p) {
    const double* k = constantsOf(record);
    if (t < k[slot::critTemp] - kNearCriticalBand) {
        const double psat = saturationPressure(record, t);
        return psat > p ? kVaporRoot : kLiquidRoot;
    }
    return kAnyRoot;
}

// Ideal-gas reduced density Zc Pr/Tr.
double idealGasDensity(double zc, double tr, double pr) { return zc * pr / tr; }

// Largest reduced volume a cubic vapor search looks at: twice the ideal-gas volume, 2 Tr/(Zc Pr).
double vaporVolumeBound(const RefrigerantRecord& record, double tr, double pr) {
    return 2.0 * tr / (constantsOf(record)[slot::critZ] * pr);
}

// A cubic bisection's bracket after its last step, and that step's midpoint (the answer).
struct CubicSearch {
    double lo, hi, mid;
};

// 32 halvings of [lo, hi]: a midpoint whose pressure lies above Pr is too dense and moves lo
// up, any other (the -999 mark below the co-volume included) moves hi down.
CubicSearch cubicBisection(const RefrigerantRecord& record, double tr, double pr, double lo, double hi) {
    double mid = lo;
    for (int i = 0; i < kCubicBisectionSteps; ++i) {
        mid = (lo + hi) / 2.0;
        if (cubicPressure(record, tr, mid) > pr) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return {lo, hi, mid};
}

// Newton step limited to halving or doubling the density.
double limitedNewtonStep(double rhor, double p, double pr, double s) {
    return std::max(std::min(rhor - (p - pr) / s, 2.0 * rhor), rhor / 2.0);
}

// Density path of the Newton-only fluid: up to 32 Newton steps, no bisection, no guards.
double newtonOnlyDensity(const RefrigerantRecord& record, double tr, double pr, int phaseHint) {
    const double zc = constantsOf(record)[slot::critZ];
    double rhor;
    if (phaseHint == kLiquidRoot) {
        rhor = liquidDensityGuess(tr);
    } else if (phaseHint == kVaporRoot) {
        rhor = idealGasDensity(zc, tr, pr) / vaporZGuess(zc, tr);
    } else {
        rhor = idealGasDensity(zc, tr, pr);
    }
    for (int i = 0; i < kNewtonOnlySteps; ++i) {
        const double p = mbwrPressure(record, tr, rhor);
        const double s = mbwrPressureSlope(record, tr, rhor);
        if (std::fabs(p - pr) < kNewtonOnlyTolerance * std::max(kNewtonOnlyFloor, pr)) return rhor;
        if (s > 0.0) {
            rhor = limitedNewtonStep(rhor, p, pr, s);
        } else if (phaseHint == kVaporRoot) {
            rhor = rhor / 2.0;
        } else {
            rhor = (rhor + 5.0) / 2.0;
        }
    }
    return rhor;
}

}  // namespace

// The constants of the two estimates below are the add-in's own published values, kept as they
// are: the searches start there, so every density depends on their last digit.

// Reduced saturated-liquid density estimate, 1/(1 - 0.766725675709 (1 - Tr)^0.2)
double liquidDensityGuess(double tr) {
    KALTRA_COUNT(counters::pow, 1);
    return 1.0 / (1.0 - 0.766725675709 * std::pow(1.0 - tr, 0.2));
}

// Saturated-vapor compressibility estimate, s = sqrt(1 - Tr):
// Z = 1 - (1 - Zc) exp[(0.468319200275 s - 1.88530998752) s/(1 - 1.09976061535 s)]
double vaporZGuess(double zc, double tr) {
    KALTRA_COUNT(counters::sqrt, 1);
    KALTRA_COUNT(counters::exp, 1);
    const double s = std::sqrt(1.0 - tr);
    return 1.0 - (1.0 - zc) * std::exp((0.468319200275 * s - 1.88530998752) * s / (1.0 - 1.09976061535 * s));
}

// Reduced density of the MBWR equation at (Tr, Pr) on the branch the phase hint asks for:
// limited Newton steps from a branch-specific start, then a fixed bisection.
double mbwrDensity(const RefrigerantRecord& record, double tr, double pr, int phaseHint) {
    KALTRA_COUNT(counters::mbwrDensity, 1);
    if (isNewtonOnlyFluid(record)) return newtonOnlyDensity(record, tr, pr, phaseHint);

    const double* k = constantsOf(record);
    const double zc = k[slot::critZ];
    double rhor0, lo, hi;
    if (phaseHint == kLiquidRoot) {
        if (tr >= 1.0) return 1.0;
        rhor0 = liquidDensityGuess(tr);
        lo = 1.0;
        hi = 4.0;
    } else if (phaseHint == kVaporRoot) {
        if (tr >= 1.0) return 1.0;
        rhor0 = idealGasDensity(zc, tr, pr) / vaporZGuess(zc, tr);
        lo = rhor0 / 10.0;
        hi = 1.0;
    } else {
        rhor0 = idealGasDensity(zc, tr, pr);
        lo = rhor0 / 10.0;
        hi = 4.0;
    }

    if (!isBisectionOnlyFluid(record)) {
        double rhor = rhor0;
        for (int i = 0; i < kNewtonSteps; ++i) {
            const double p = mbwrPressure(record, tr, rhor);
            const double s = mbwrPressureSlope(record, tr, rhor);
            if (i >= 2 && std::fabs(p - pr) < 1e-4 * std::max(1e-5, pr)) return rhor;
            if (s > 0.0) {
                rhor = limitedNewtonStep(rhor, p, pr, s);
            } else if (phaseHint == kVaporRoot) {
                rhor = rhor / 2.0;
            } else {
                rhor = (rhor + 3.0) / 2.0;
            }
        }
    }

    // Where the isotherm does not rise, the liquid search moves denser and the others lighter.
    double mid = lo;
    for (int i = 0; i < kBisectionSteps; ++i) {
        mid = (lo + hi) / 2.0;
        const double p = mbwrPressure(record, tr, mid);
        const double s = mbwrPressureSlope(record, tr, mid);
        if (s <= 0.0) {
            if (phaseHint == kLiquidRoot) {
                lo = mid;
            } else {
                hi = mid;
            }
        } else if (p > pr) {
            hi = mid;
        } else {
            lo = mid;
        }
    }
    return mid;
}

double mbwrVolume(const RefrigerantRecord& record, double tr, double pr, int phaseHint) {
    return 1.0 / mbwrDensity(record, tr, pr, phaseHint);
}

// Reduced volume of the cubic equation at (Tr, Pr) by a fixed bisection over the bracket
// of the phase hint; the -999 mark below the co-volume reads as a low pressure.
double cubicVolume(const RefrigerantRecord& record, double tr, double pr, int phaseHint) {
    KALTRA_COUNT(counters::cubicVolume, 1);
    if (phaseHint == kLiquidRoot) return cubicBisection(record, tr, pr, kCubicLiquidVolumeLow, 1.0).mid;
    if (phaseHint == kVaporRoot) return cubicBisection(record, tr, pr, 1.0, vaporVolumeBound(record, tr, pr)).mid;
    const CubicSearch search = cubicBisection(record, tr, pr, kCubicLiquidVolumeLow, kCubicVolumeLimit);
    // A gas too dilute for the bracket leaves its upper end untouched (every midpoint was too
    // dense): the same search once more, up to twice the ideal-gas volume.
    const double bound = vaporVolumeBound(record, tr, pr);
    if (search.hi == kCubicVolumeLimit && bound > kCubicVolumeLimit)
        return cubicBisection(record, tr, pr, kCubicLiquidVolumeLow, bound).mid;
    return search.mid;
}

// P = Pc Pr(Tr, v/vc)
double pressureOfTV(const RefrigerantRecord& record, double t, double v) {
    const double* k = constantsOf(record);
    const double tr = reducedTemperature(k, t);
    const double pr = isCubicForm(record) ? cubicPressure(record, tr, v / k[slot::critVolume])
                                          : mbwrPressure(record, tr, k[slot::critVolume] / v);
    return k[slot::critPressure] * pr;
}

// Z = Zc Pr vr/Tr
double zOfTV(const RefrigerantRecord& record, double t, double v) {
    const double* k = constantsOf(record);
    const double tr = reducedTemperature(k, t);
    const double pr = isCubicForm(record) ? cubicPressure(record, tr, v / k[slot::critVolume])
                                          : mbwrPressure(record, tr, k[slot::critVolume] / v);
    return k[slot::critZ] * pr * (v / k[slot::critVolume]) / tr;
}

// Z = Zc Pr vr/Tr, vr the root of the phase the state lies in (as for the volume)
double zOfTP(const RefrigerantRecord& record, double t, double p) {
    const double* k = constantsOf(record);
    const int phaseHint = phaseHintOfTP(record, t, p);
    const double tr = reducedTemperature(k, t);
    const double pr = p / k[slot::critPressure];
    const double vr = isCubicForm(record) ? cubicVolume(record, tr, pr, phaseHint) : mbwrVolume(record, tr, pr, phaseHint);
    return k[slot::critZ] * pr * vr / tr;
}

// v = vc vr, vr the liquid root at or above the saturation pressure, the vapor root below
// it, and the single root from just below the critical temperature on
double volumeOfTP(const RefrigerantRecord& record, double t, double p) {
    KALTRA_COUNT(counters::volumeOfTP, 1);
    const double* k = constantsOf(record);
    const int phaseHint = phaseHintOfTP(record, t, p);
    const double tr = reducedTemperature(k, t);
    const double pr = p / k[slot::critPressure];
    const double vr = isCubicForm(record) ? cubicVolume(record, tr, pr, phaseHint) : mbwrVolume(record, tr, pr, phaseHint);
    return k[slot::critVolume] * vr;
}

}  // namespace kaltra
