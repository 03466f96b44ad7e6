// Saturation: the vapor-pressure equation, its inverse, and the saturated volumes as the
// liquid and vapor roots of the equation of state at the vapor pressure.
#include <algorithm>
#include <cmath>

#include "thermo/counters.h"
#include "thermo/thermo.h"

namespace kaltra {
namespace {

constexpr int kSaturationBisectionSteps = 32;

// Tr of the saturation state at T: T bounded to [minTemp, critTemp] first.
double saturationTr(const double* k, double t) {
    const double bounded = std::max(std::min(t, k[slot::critTemp]), k[slot::minTemp]);
    return reducedTemperature(k, bounded);
}

// One root of the equation of state at (Tr, Pr), Tr below 1: the reduced volume of the phase
// the hint asks for.
double saturatedRootVr(const RefrigerantRecord& record, double tr, double pr, int phaseHint) {
    if (isCubicForm(record)) return cubicVolume(record, tr, pr, phaseHint);
    return 1.0 / mbwrDensity(record, tr, pr, phaseHint);
}

}  // namespace

// ln(P/Pc) = (Tc/T)(A tau + B tau^1.5 + C tau^4 + D tau^6.5), tau = 1 - T/Tc
double vaporPressureRatio(const RefrigerantRecord& record, double tr) {
    if (tr >= 1.0) return 1.0;
    const double* abcd = vaporPressureCoeffs(record);
    const double a = abcd[0], b = abcd[1], c = abcd[2], d = abcd[3];
    KALTRA_COUNT(counters::pow, 2);
    KALTRA_COUNT(counters::exp, 1);
    const double tau = 1.0 - tr;
    const double tau4 = tau * tau * tau * tau;
    // Summed from the highest power down; the order is deliberate.
    const double s = d * std::pow(tau, 6.5) + c * tau4 + b * std::pow(tau, 1.5) + a * tau;
    return std::exp(s / (1.0 - tau));
}

// Tr on the saturation line at Pr, by a fixed bisection between minTemp and the critical point
double saturationTempRatio(const RefrigerantRecord& record, double pr) {
    if (pr >= 1.0) return 1.0;
    const double* k = constantsOf(record);
    double lo = reducedTemperature(k, k[slot::minTemp]);
    double hi = 1.0;
    double mid = lo;
    for (int i = 0; i < kSaturationBisectionSteps; ++i) {
        mid = (lo + hi) / 2.0;
        if (pr > vaporPressureRatio(record, mid)) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return mid;
}

// Psat = Pc Pr,sat(Tr)
double saturationPressure(const RefrigerantRecord& record, double t) {
    const double* k = constantsOf(record);
    return k[slot::critPressure] * vaporPressureRatio(record, reducedTemperature(k, t));
}

// Tsat = (Tc + 459.67) Tr,sat(P/Pc) - 459.67
double saturationTemperature(const RefrigerantRecord& record, double p) {
    const double* k = constantsOf(record);
    if (p >= k[slot::critPressure]) return k[slot::critTemp];
    const double tr = saturationTempRatio(record, p / k[slot::critPressure]);
    return (k[slot::critTemp] + kRankineOffset) * tr - kRankineOffset;
}

// Vapor pressure and the liquid and vapor roots of the equation of state there, reduced
ReducedSaturationState saturationStateReduced(const RefrigerantRecord& record, double tr) {
    KALTRA_COUNT(counters::saturationState, 1);
    if (tr >= 1.0) return {1.0, 1.0, 1.0};
    const double pr = vaporPressureRatio(record, tr);
    // The liquid root first, then the vapor root.
    const double liquidVr = saturatedRootVr(record, tr, pr, kLiquidRoot);
    const double vaporVr = saturatedRootVr(record, tr, pr, kVaporRoot);
    return {pr, liquidVr, vaporVr};
}

// Saturation state at T bounded to [minTemp, critTemp], in internal units
SaturationState saturationState(const RefrigerantRecord& record, double t) {
    const double* k = constantsOf(record);
    const ReducedSaturationState reduced = saturationStateReduced(record, saturationTr(k, t));
    const double vc = k[slot::critVolume];
    return {reduced.pr * k[slot::critPressure], reduced.liquidVr * vc, reduced.vaporVr * vc};
}

// The vapor pressure at T bounded to [minTemp, critTemp] at once; the roots when asked for
SaturationRoots saturationRoots(const RefrigerantRecord& record, double t) {
    const double tr = saturationTr(constantsOf(record), t);
    // At and above the critical point the state is the critical one and no root is solved.
    const double pr = tr >= 1.0 ? 1.0 : vaporPressureRatio(record, tr);
    return {&record, tr, pr};
}

// Psat = Pr Pc
double saturatedPressureOf(const SaturationRoots& roots) {
    return roots.pr * constantsOf(*roots.record)[slot::critPressure];
}

// vf = vc vr of the liquid root
double liquidRootVolume(const SaturationRoots& roots) {
    const double vr = roots.tr >= 1.0 ? 1.0 : saturatedRootVr(*roots.record, roots.tr, roots.pr, kLiquidRoot);
    return vr * constantsOf(*roots.record)[slot::critVolume];
}

// vg = vc vr of the vapor root
double vaporRootVolume(const SaturationRoots& roots) {
    const double vr = roots.tr >= 1.0 ? 1.0 : saturatedRootVr(*roots.record, roots.tr, roots.pr, kVaporRoot);
    return vr * constantsOf(*roots.record)[slot::critVolume];
}

// The saturation pressure of saturationState without its roots. Each root's solve would have
// evaluated the equation of state at Tr, so the two pressure caches are left as after it.
double saturatedPressure(const RefrigerantRecord& record, double t) {
    const SaturationRoots roots = saturationRoots(record, t);
    if (!(roots.tr >= 1.0) && !isCubicForm(record)) loadPressureCoefficients(record, roots.tr);
    return saturatedPressureOf(roots);
}

double saturatedLiquidVolume(const RefrigerantRecord& record, double t) {
    return liquidRootVolume(saturationRoots(record, t));
}

double saturatedVaporVolume(const RefrigerantRecord& record, double t) {
    return vaporRootVolume(saturationRoots(record, t));
}

}  // namespace kaltra
