// Enthalpy and entropy from one Helmholtz energy per fluid: the ideal-gas part plus the
// residual part of the equation of state. The saturated liquid at minTemp is the zero of
// internal energy and entropy; cubic-form records get their two constants for that at
// their first lookup.
#include <cmath>

#include "thermo/counters.h"
#include "thermo/thermo.h"

namespace kaltra {
namespace {

// Temperature functions of the cubic form: a = a0/Tr^ma, c = c0/Tr^mc, d = d0/Tr^md, the
// co-volume b, l = sqrt(4 d^2 + c^2) and m = (2 vr + c)/l.
struct CubicTerms {
    double a, b, c, d, l, m;
};

CubicTerms cubicTerms(const double* k, double tr, double vr) {
    const double* params = k + slot::cubicParams;
    const double a0 = params[0], b = params[1], c0 = params[2], d0 = params[3];
    const double ma = params[4], mc = params[5], md = params[6];
    KALTRA_COUNT(counters::pow, 3);
    KALTRA_COUNT(counters::sqrt, 1);
    CubicTerms x;
    x.a = a0 / std::pow(tr, ma);
    x.b = b;
    x.c = c0 / std::pow(tr, mc);
    x.d = d0 / std::pow(tr, md);
    x.l = std::sqrt(4.0 * x.d * x.d + x.c * x.c);
    x.m = (2.0 * vr + x.c) / x.l;
    return x;
}

// A/(R Tc) = E - S Tr - Tr [k0 (ln Tr - 1) + k1 Tr/2 + k2 Tr^2/6 + k3 Tr^3/12 + k4 Tr^4/20]
//            - Tr ln(vr - b) - (a/l) ln((m + 1)/(m - 1))
double cubicHelmholtz(const double* k, double tr, double rhor) {
    const double vr = 1.0 / rhor;
    const CubicTerms x = cubicTerms(k, tr, vr);
    // At or inside the largest root of vr^2 + c vr - d^2 the logarithm has no meaning.
    if (x.m <= 1.0) return kFailureMark;
    KALTRA_COUNT(counters::log, 3);
    const double* cv = k + slot::cubicIdealGasCoeffs;
    const double s0 = k[slot::entropyRef];
    const double e0 = k[slot::energyRef];
    const double tr2 = tr * tr;
    const double tr3 = tr2 * tr;
    const double tr4 = tr3 * tr;
    const double ideal =
        cv[0] * (std::log(tr) - 1.0) + cv[1] * tr / 2.0 + cv[2] * tr2 / 6.0 + cv[3] * tr3 / 12.0 + cv[4] * tr4 / 20.0;
    return e0 - s0 * tr - tr * ideal - tr * std::log(vr - x.b) - (x.a / x.l) * std::log((x.m + 1.0) / (x.m - 1.0));
}

// s/R = S + k0 ln Tr + k1 Tr + k2 Tr^2/2 + k3 Tr^3/3 + k4 Tr^4/4 + ln(vr - b)
//       + (L/l)(a' - a l'/l) + a ((2 vr + c) l' - c' l)/(2 l (vr^2 + c vr - d^2))
double cubicEntropy(const double* k, double tr, double rhor) {
    const double vr = 1.0 / rhor;
    const CubicTerms x = cubicTerms(k, tr, vr);
    if (x.m <= 1.0) return kFailureMark;
    KALTRA_COUNT(counters::pow, 3);
    KALTRA_COUNT(counters::log, 3);
    const double* params = k + slot::cubicParams;
    const double a0 = params[0], c0 = params[2], d0 = params[3];
    const double ma = params[4], mc = params[5], md = params[6];
    const double* cv = k + slot::cubicIdealGasCoeffs;
    const double s0 = k[slot::entropyRef];
    const double tr2 = tr * tr;
    const double tr3 = tr2 * tr;
    const double tr4 = tr3 * tr;
    // Tr-derivatives of a, c, d and l
    const double da = -ma * a0 * std::pow(tr, -ma - 1.0);
    const double dc = -mc * c0 * std::pow(tr, -mc - 1.0);
    const double dd = -md * d0 * std::pow(tr, -md - 1.0);
    const double dl = (4.0 * x.d * dd + x.c * dc) / x.l;
    const double logRatio = std::log((x.m + 1.0) / (x.m - 1.0));
    const double ideal = s0 + cv[0] * std::log(tr) + cv[1] * tr + cv[2] * tr2 / 2.0 + cv[3] * tr3 / 3.0 + cv[4] * tr4 / 4.0;
    return ideal + std::log(vr - x.b) + (logRatio / x.l) * (da - x.a * dl / x.l)
           + x.a * ((2.0 * vr + x.c) * dl - dc * x.l) / (2.0 * x.l * (vr * vr + x.c * vr - x.d * x.d));
}

// Pr of either form at (Tr, rhor)
double reducedPressure(const RefrigerantRecord& record, double tr, double rhor) {
    return isCubicForm(record) ? cubicPressure(record, tr, 1.0 / rhor) : mbwrPressure(record, tr, rhor);
}

}  // namespace

// phi0 = alpha0 + alpha1 Tr + alpha2 Tr^2 + alpha3 Tr^3 + alpha4/Tr + (alpha5 + alpha6 Tr) ln Tr
double idealHelmholtz(const RefrigerantRecord& record, double tr) {
    KALTRA_COUNT(counters::log, 1);
    const double* alpha = constantsOf(record) + slot::mbwrIdealGasCoeffs;
    return ((alpha[3] * tr + alpha[2]) * tr + alpha[1]) * tr + alpha[0] + alpha[4] / tr
           + std::log(tr) * (alpha[5] + alpha[6] * tr);
}

// dphi0/dTr = 3 alpha3 Tr^2 + 2 alpha2 Tr + alpha1 + alpha6 - alpha4/Tr^2 + alpha5/Tr + alpha6 ln Tr
double idealHelmholtzSlope(const RefrigerantRecord& record, double tr) {
    KALTRA_COUNT(counters::log, 1);
    const double* alpha = constantsOf(record) + slot::mbwrIdealGasCoeffs;
    const double tr2 = tr * tr;
    return 3.0 * alpha[3] * tr2 + 2.0 * alpha[2] * tr + alpha[1] + alpha[6] - alpha[4] / tr2 + alpha[5] / tr
           + alpha[6] * std::log(tr);
}

// A/(R Tc) = phi0(Tr) + Tr (ln rhor + rhor I) (MBWR form), closed form of the cubic form
double reducedHelmholtz(const RefrigerantRecord& record, double tr, double rhor) {
    if (isCubicForm(record)) return cubicHelmholtz(constantsOf(record), tr, rhor);
    KALTRA_COUNT(counters::log, 1);
    const double i = mbwrResidual(record, tr, rhor);
    return idealHelmholtz(record, tr) + tr * (std::log(rhor) + rhor * i);
}

// G/(R Tc) = A/(R Tc) + Zc Pr/rhor
double reducedGibbs(const RefrigerantRecord& record, double tr, double rhor) {
    const double helmholtz = reducedHelmholtz(record, tr, rhor);
    const double pr = reducedPressure(record, tr, rhor);
    return helmholtz + constantsOf(record)[slot::critZ] * pr / rhor;
}

// s/R = -dphi0/dTr - ln rhor - rhor (I + Tr dI/dTr) (MBWR form), closed form of the cubic form
double reducedEntropy(const RefrigerantRecord& record, double tr, double rhor) {
    if (isCubicForm(record)) return cubicEntropy(constantsOf(record), tr, rhor);
    const double i = mbwrResidual(record, tr, rhor);
    const double di = mbwrResidualDT(record, tr, rhor);
    KALTRA_COUNT(counters::log, 1);
    return -idealHelmholtzSlope(record, tr) - std::log(rhor) - rhor * (i + tr * di);
}

// h/(R Tc) = G/(R Tc) + Tr s/R, the Gibbs energy evaluated first
double reducedEnthalpy(const RefrigerantRecord& record, double tr, double rhor) {
    const double gibbs = reducedGibbs(record, tr, rhor);
    const double entropy = reducedEntropy(record, tr, rhor);
    return gibbs + tr * entropy;
}

// h = R Tc h/(R Tc)
double enthalpyTV(const RefrigerantRecord& record, double t, double v) {
    const double* k = constantsOf(record);
    const double tr = reducedTemperature(k, t);
    const double rhor = k[slot::critVolume] / v;
    return reducedEnthalpy(record, tr, rhor) * k[slot::gasConstant] * (k[slot::critTemp] + kRankineOffset);
}

// s = R s/R
double entropyTV(const RefrigerantRecord& record, double t, double v) {
    const double* k = constantsOf(record);
    const double tr = reducedTemperature(k, t);
    const double rhor = k[slot::critVolume] / v;
    return reducedEntropy(record, tr, rhor) * k[slot::gasConstant];
}

// Saturated values: the property at T on the saturated volume of the bounded temperature,
// whose root alone is solved (the other one's solve would meet the caches this one leaves,
// and change nothing).
double satLiquidEnthalpy(const RefrigerantRecord& record, double t) {
    return enthalpyTV(record, t, saturatedLiquidVolume(record, t));
}

double satVaporEnthalpy(const RefrigerantRecord& record, double t) {
    return enthalpyTV(record, t, saturatedVaporVolume(record, t));
}

double satLiquidEntropy(const RefrigerantRecord& record, double t) {
    return entropyTV(record, t, saturatedLiquidVolume(record, t));
}

double satVaporEntropy(const RefrigerantRecord& record, double t) {
    return entropyTV(record, t, saturatedVaporVolume(record, t));
}

// Makes the saturated liquid at minTemp the zero of entropy and energy of a cubic-form
// record: fills minPressure and minLiquidVolume from the vapor-pressure equation and the
// liquid root there, then the entropy and energy constants. Running it again recomputes
// the same values; an MBWR-form record is left untouched.
void establishReferenceState(const RefrigerantRecord& record) {
    if (!isCubicForm(record)) return;
    double* k = record.constants->slots;
    k[slot::entropyRef] = 0.0;
    k[slot::energyRef] = 0.0;
    const double trMin = reducedTemperature(k, k[slot::minTemp]);
    k[slot::minPressure] = k[slot::critPressure] * vaporPressureRatio(record, trMin);
    const double vrLiquid = cubicVolume(record, trMin, k[slot::minPressure] / k[slot::critPressure], kLiquidRoot);
    k[slot::minLiquidVolume] = k[slot::critVolume] * vrLiquid;
    const double rhorLiquid = k[slot::critVolume] / k[slot::minLiquidVolume];
    k[slot::entropyRef] = -reducedEntropy(record, trMin, rhorLiquid);
    k[slot::energyRef] = -reducedHelmholtz(record, trMin, rhorLiquid);
}

}  // namespace kaltra
