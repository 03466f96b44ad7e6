// Checks of a coefficient set with the add-in's own engine: the exact conditions, the
// soundness rules over the catalogue's whole range, and the accuracy against the tables.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

#include "thermo/thermo.h"
#include "tools/fit/fit.h"

namespace kaltra::fit {
namespace {

constexpr double kExactTolerance = 1e-10;
constexpr double kReferenceStateTolerance = 1e-9;
constexpr int kMessagesPerKind = 3;
// Within this reduced distance below the critical temperature the density solvers' pressure
// tolerance spans the whole flat top of the isotherm: the saturated roots there are as good as
// the solvers make them for any set, published ones included, and are not judged.
constexpr double kNearCriticalBand = 1e-3;
constexpr double kCubicVolumeReach = 10000.0;
constexpr double kNewtonOnlyFloor = 1e-3;
// Saturated-liquid enthalpy differences: temperatures at least this far apart (K), below this
// reduced temperature.
constexpr double kLiquidEnthalpySpanK = 5.0;
constexpr double kLiquidEnthalpyLimit = 0.9;
constexpr double kRankinePerKelvin = 1.8;

// Collects failures, keeping only the first few messages of every kind.
struct Failures {
    CheckReport& report;
    std::map<std::string, int> perKind;

    void add(bool exact, const std::string& kind, const std::string& text) {
        (exact ? report.exactFailures : report.soundFailures) += 1;
        if (perKind[kind]++ < kMessagesPerKind) report.messages.push_back(kind + ": " + text);
    }
};

std::string format(const char* pattern, double a, double b = 0, double c = 0, double d = 0) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, a, b, c, d);
    return text;
}

// dPr/drhor at constant Tr, from the equation of either form
double pressureSlope(const RefrigerantRecord& record, double tr, double rhor) {
    if (!isCubicForm(record)) return mbwrPressureSlope(record, tr, rhor);
    const double h = 1e-6 * rhor;
    return (cubicPressure(record, tr, 1.0 / (rhor + h)) - cubicPressure(record, tr, 1.0 / (rhor - h))) / (2.0 * h);
}

double reducedPressure(const RefrigerantRecord& record, double tr, double rhor) {
    return isCubicForm(record) ? cubicPressure(record, tr, 1.0 / rhor) : mbwrPressure(record, tr, rhor);
}

bool isNewtonOnly(const RefrigerantRecord& record) { return std::strcmp(record.name, "R31") == 0; }

// Whether the solver's answer is a root: for the Newton-only fluid its own convergence test,
// for the others the pressure within the bisection's resolution.
bool isRoot(const RefrigerantRecord& record, double tr, double pr, double rhor) {
    const double p = reducedPressure(record, tr, rhor);
    if (!std::isfinite(p)) return false;
    // the Newton-only solver's own convergence test
    if (isNewtonOnly(record)) return std::fabs(p - pr) < 1e-4 * std::max(0.001, pr);
    // the Newton phase's convergence test, or a crossing within the bisection's resolution
    if (std::fabs(p - pr) < 1e-4 * std::max(1e-5, pr)) return true;
    const double delta = 1e-8 * rhor + 2e-9;
    const double below = reducedPressure(record, tr, rhor - delta), above = reducedPressure(record, tr, rhor + delta);
    return below <= pr && pr <= above;
}

double idealCp0OfRecord(const RefrigerantRecord& record, double tr) {
    const double* k = constantsOf(record);
    if (isCubicForm(record)) {
        const double* kv = k + slot::cubicIdealGasCoeffs;
        return 1.0 + kv[0] + tr * (kv[1] + tr * (kv[2] + tr * (kv[3] + tr * kv[4])));
    }
    const double* a = k + slot::mbwrIdealGasCoeffs;
    // Cp0/R = 1 - a6 + a5/Tr - 2 a2 Tr - 6 a3 Tr^2 - 2 a4/Tr^2
    return 1.0 - a[6] + a[5] / tr - 2.0 * a[2] * tr - 6.0 * a[3] * tr * tr - 2.0 * a[4] / (tr * tr);
}

// Temperatures of the checks: an even grid over the whole range and a cluster around the
// critical temperature, in degF, ascending.
std::vector<double> checkTemperatures(const RefrigerantRecord& record, int count) {
    const double* k = constantsOf(record);
    const double lo = k[slot::minTemp], hi = record.maxTemp, tc = k[slot::critTemp];
    std::vector<double> t;
    for (int i = 0; i < count; ++i) t.push_back(lo + (hi - lo) * i / (count - 1));
    for (double delta : {0.003, 0.02, 0.1, 0.5, 1.0, 2.0, 5.0, 10.0}) {
        if (tc - delta > lo) t.push_back(tc - delta);
        if (tc + delta < hi) t.push_back(tc + delta);
    }
    std::sort(t.begin(), t.end());
    return t;
}

std::vector<double> checkPressures(const RefrigerantRecord& record, int count) {
    const double* k = constantsOf(record);
    const double lo = 0.01 * k[slot::minPressure], hi = record.maxPressure;
    std::vector<double> p;
    for (int i = 0; i < count; ++i) p.push_back(lo * std::pow(hi / lo, static_cast<double>(i) / (count - 1)));
    for (double f : {0.9, 0.99, 1.0, 1.01, 1.1, 1.5, 2.0}) p.push_back(k[slot::critPressure] * f);
    std::sort(p.begin(), p.end());
    return p;
}

}  // namespace

void completeCubicRecord(const RefrigerantRecord& record) {
    double* k = record.constants->slots;
    k[slot::entropyRef] = 0.0;
    k[slot::energyRef] = 0.0;
    establishReferenceState(record);
}

CheckReport checkRecord(const RefrigerantRecord& record, const FitFacts& facts) {
    CheckReport report;
    Failures failures{report, {}};
    resetCoefficientCaches();
    if (isCubicForm(record)) completeCubicRecord(record);
    const double* k = constantsOf(record);
    const bool cubic = isCubicForm(record);
    const double tc = k[slot::critTemp], pc = k[slot::critPressure], vc = k[slot::critVolume];
    const double trMin = reducedTemperature(k, k[slot::minTemp]);
    const double trMax = reducedTemperature(k, record.maxTemp);

    // ---- Exact conditions
    const double p11 = reducedPressure(record, 1.0, 1.0);
    const double s11 = pressureSlope(record, 1.0, 1.0);
    if (!(std::fabs(p11 - 1.0) <= kExactTolerance)) failures.add(true, "critical pressure", format("Pr(1,1) = %.17g", p11));
    if (!(std::fabs(s11) <= (cubic ? 1e-7 : kExactTolerance)))
        failures.add(true, "critical slope", format("dPr/drhor(1,1) = %.3g", s11));
    const double minP = k[slot::minPressure], minV = k[slot::minLiquidVolume];
    const double rhoMin = vc / minV;
    if (!cubic) {
        const double vp = saturationPressure(record, k[slot::minTemp]);
        if (!(std::fabs(vp - minP) <= 1e-12 * minP))
            failures.add(true, "vapor pressure at minTemp", format("%.17g psia, catalogue %.17g", vp, minP));
        const double prEos = mbwrPressure(record, trMin, rhoMin);
        if (!(std::fabs(prEos - minP / pc) <= 1e-9))
            failures.add(true, "equation at (minTemp, minLiquidVolume)", format("Pr %.6g, catalogue %.6g", prEos, minP / pc));
        const double vl = saturationState(record, k[slot::minTemp]).liquidVolume;
        if (!(std::fabs(vl / minV - 1.0) <= 1e-7))
            failures.add(true, "liquid root at minTemp", format("%.10g ft3/lbm, catalogue %.10g", vl, minV));
    } else {
        const double vrf = minV / vc;
        const double prf = cubicPressure(record, trMin, vrf);
        if (!isRoot(record, trMin, minP / pc, 1.0 / vrf) || vrf <= 0.3)
            failures.add(true, "liquid root at minTemp", format("vr %.10g gives Pr %.6g for %.6g", vrf, prf, minP / pc));
    }
    const double a0 = reducedHelmholtz(record, trMin, rhoMin);
    const double s0 = reducedEntropy(record, trMin, rhoMin);
    if (!(std::fabs(a0) <= kReferenceStateTolerance && std::fabs(s0) <= kReferenceStateTolerance))
        failures.add(true, "reference state", format("A/(R Tc) = %.3g, s/R = %.3g", a0, s0));

    // ---- Ideal-gas heat capacity over the whole range
    for (int i = 0; i <= 400; ++i) {
        const double tr = trMin + (trMax - trMin) * i / 400.0;
        const double cp0 = idealCp0OfRecord(record, tr);
        if (!(cp0 > 1.0 && cp0 <= facts.classicalCp0))
            failures.add(false, "cp0", format("cp0/R = %.6g at Tr %.4g (limit %.4g)", cp0, tr, facts.classicalCp0));
    }

    // ---- Saturated states: two distinct, stable roots at the vapor pressure
    for (int i = 0; i <= 120; ++i) {
        const double x = static_cast<double>(i) / 120.0;
        const double t = k[slot::minTemp] + (tc - k[slot::minTemp]) * (1.0 - (1.0 - x) * (1.0 - x));
        const double tr = reducedTemperature(k, t);
        if (tr > 1.0 - kNearCriticalBand) continue;
        const SaturationState sat = saturationState(record, t);
        const double pr = sat.satPressure / pc;
        const double rl = vc / sat.liquidVolume, rv = vc / sat.vaporVolume;
        if (!(sat.vaporVolume > sat.liquidVolume))
            failures.add(false, "saturated volumes", format("at %.6g F vf %.6g >= vg %.6g", t, sat.liquidVolume, sat.vaporVolume));
        for (int phase = 0; phase < 2; ++phase) {
            const double rho = phase == 0 ? rl : rv;
            if (!isRoot(record, tr, pr, rho) || !(pressureSlope(record, tr, rho) > 0)) {
                failures.add(false, phase == 0 ? "saturated liquid root" : "saturated vapor root",
                             format("at %.6g F, %.6g psia: rhor %.6g, Pr there %.6g", t, sat.satPressure, rho,
                                    reducedPressure(record, tr, rho) * pc));
                report.trouble.push_back({tr, pr, rho});
            }
        }
    }

    // ---- Single-phase states: a stable root of the right phase, h and s rising along isobars
    const std::vector<double> temps = checkTemperatures(record, 160);
    const std::vector<double> pressures = checkPressures(record, 48);
    for (double p : pressures) {
        double lastH = -1e300, lastS = -1e300, lastT = 0;
        for (double t : temps) {
            const double tr = reducedTemperature(k, t);
            const double pr = p / pc;
            // The cubic solver without a phase preference searches reduced volumes up to
            // 20000 only: a more dilute state has no root within its reach, for any set.
            if (cubic && t >= tc - 0.01 && tr / (k[slot::critZ] * pr) > kCubicVolumeReach) {
                lastH = lastS = -1e300;
                continue;
            }
            // Just below the critical point the solvers' tolerance (and from 0.01 degF below
            // the critical temperature on, their lack of a phase preference) meets the
            // equation's two-phase loop, whatever the set.
            if (tr > 1.0 - kNearCriticalBand && t < tc && std::fabs(pr - 1.0) < 0.02) {
                lastH = lastS = -1e300;
                continue;
            }
            const double v = volumeOfTP(record, t, p);
            const double rho = vc / v;
            bool good = isRoot(record, tr, pr, rho) && pressureSlope(record, tr, rho) > 0;
            if (good && t < tc - 0.01) {
                const SaturationState sat = saturationState(record, t);
                const bool vapor = sat.satPressure > p;
                good = vapor ? v >= sat.vaporVolume * (1 - 1e-6) : v <= sat.liquidVolume * (1 + 1e-6);
            }
            if (!good) {
                failures.add(false, "single-phase root",
                             format("at %.6g F, %.6g psia: rhor %.6g, P there %.6g psia", t, p, rho,
                                    reducedPressure(record, tr, rho) * pc));
                report.trouble.push_back({tr, pr, rho});
            }
            // The Newton-only solver accepts a density whose pressure lies within 1e-7 of the
            // critical pressure: at lower pressures its starting guess already passes, for any
            // set, and h and s follow that guess.
            if (isNewtonOnly(record) && pr < kNewtonOnlyFloor) {
                lastH = lastS = -1e300;
                continue;
            }
            const double h = enthalpyTV(record, t, v);
            const double s = entropyTV(record, t, v);
            if (!(h > lastH) || !(s > lastS)) {
                failures.add(false, "h and s along the isobar",
                             format("%.6g psia: from %.6g F to %.6g F h falls by %.3g BTU/lbm", p, lastT, t, lastH - h));
                report.trouble.push_back({tr, pr, rho});
            }
            lastH = h;
            lastS = s;
            lastT = t;
        }
    }
    return report;
}

Spread spreadOf(std::vector<double> percent) {
    Spread s;
    s.count = static_cast<int>(percent.size());
    if (percent.empty()) return s;
    for (double& x : percent) x = std::fabs(x);
    std::sort(percent.begin(), percent.end());
    auto quantile = [&](double q) {
        const double at = q * (percent.size() - 1);
        const std::size_t i = static_cast<std::size_t>(at);
        const double f = at - i;
        return i + 1 < percent.size() ? percent[i] * (1 - f) + percent[i + 1] * f : percent[i];
    };
    s.median = quantile(0.5);
    s.p95 = quantile(0.95);
    s.max = percent.back();
    return s;
}

AccuracyReport measureAccuracy(const RefrigerantRecord& record, const ReferenceTables& tables) {
    resetCoefficientCaches();
    if (isCubicForm(record)) completeCubicRecord(record);
    const double* k = constantsOf(record);
    const double tcR = k[slot::critTemp] + kRankineOffset;
    const double pc = k[slot::critPressure], vc = k[slot::critVolume];
    const double hUnit = k[slot::gasConstant] * tcR;
    std::vector<double> psat, rhoL, rhoV, hvap, rho;
    for (const SatPoint& p : tables.sat) {
        if (p.tr >= 0.95) continue;
        const double t = p.tr * tcR - kRankineOffset;
        const SaturationState sat = saturationState(record, t);
        psat.push_back(100.0 * (sat.satPressure / (p.pr * pc) - 1.0));
        if (std::isfinite(p.rhoL)) rhoL.push_back(100.0 * (vc / sat.liquidVolume / p.rhoL - 1.0));
        if (std::isfinite(p.rhoV)) rhoV.push_back(100.0 * (vc / sat.vaporVolume / p.rhoV - 1.0));
        if (std::isfinite(p.hL) && std::isfinite(p.hV)) {
            const double dh = satVaporEnthalpy(record, t) - satLiquidEnthalpy(record, t);
            hvap.push_back(100.0 * (dh / ((p.hV - p.hL) * hUnit) - 1.0));
        }
    }
    for (const SinglePoint& p : tables.single) {
        const double t = p.tr * tcR - kRankineOffset;
        const double v = volumeOfTP(record, t, p.pr * pc);
        rho.push_back(100.0 * (vc / v / p.rho - 1.0));
    }
    // The saturated liquid's enthalpy: every difference between two table temperatures at
    // least 5 K apart below 0.9 Tc, against the table's.
    const double minSpan = kLiquidEnthalpySpanK * kRankinePerKelvin / tcR;
    std::vector<double> tr, h, hTable;
    for (const SatPoint& p : tables.sat) {
        if (p.tr >= kLiquidEnthalpyLimit || !std::isfinite(p.hL)) continue;
        tr.push_back(p.tr);
        h.push_back(satLiquidEnthalpy(record, p.tr * tcR - kRankineOffset));
        hTable.push_back(p.hL * hUnit);
    }
    std::vector<double> hLiquid;
    for (std::size_t i = 0; i < tr.size(); ++i)
        for (std::size_t j = i + 1; j < tr.size(); ++j)
            if (tr[j] - tr[i] >= minSpan) hLiquid.push_back(100.0 * ((h[j] - h[i]) / (hTable[j] - hTable[i]) - 1.0));
    return {spreadOf(psat), spreadOf(rhoL), spreadOf(rhoV), spreadOf(hvap), spreadOf(rho), spreadOf(hLiquid)};
}

}  // namespace kaltra::fit
