// The exact conditions and soundness rules of a coefficient set, with the add-in's own engine.
#include "tools/fit/set_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "thermo/thermo.h"

namespace kaltra::checks {
namespace {

constexpr double kExactTolerance = 1e-10;
constexpr double kCubicSlopeTolerance = 1e-7;  // central difference
constexpr double kMinPressureTolerance = 1e-12;   // relative
constexpr double kThroughPointTolerance = 1e-9;   // in Pr
constexpr double kSolvedLiquidTolerance = 1e-7;   // relative volume
constexpr double kReferenceStateTolerance = 1e-9;
constexpr int kMessagesPerKind = 3;
// The cubic solver's liquid search starts at this reduced volume.
constexpr double kLiquidBracketLow = 0.3;
// Within this reduced distance below the critical temperature the density solvers' pressure
// tolerance spans the whole flat top of the isotherm: the saturated roots there are as good as
// the solvers make them for any set, published ones included, and are not judged.
constexpr double kNearCriticalBand = 1e-3;
// The cubic solver without a phase preference searches reduced volumes up to kCubicVolumeLimit:
// a more dilute state (half that in ideal-gas volume) has no root within its reach, for any set.
// Below Pr = kNewtonOnlyFloor R31's Newton test (an absolute floor of 1e-7) passes at its
// starting guess.
constexpr int kCp0Temperatures = 400;
constexpr int kSaturationSteps = 120;
constexpr int kGridTemperatures = 160;
constexpr int kGridPressures = 48;

std::string format(const char* pattern, double a, double b = 0, double c = 0, double d = 0) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, a, b, c, d);
    return text;
}

// Temperatures of the single-phase walk: an even grid over the whole range and a cluster around
// the critical temperature, in degF, ascending.
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

// Pressures of the walk: logarithmic over [0.01 minPressure, maxPressure] and around the
// critical pressure, in psia, ascending.
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

// ---- The solver paths and the equation of either form --------------------------------------

bool isNewtonOnly(const RefrigerantRecord& record) { return isNewtonOnlyFluid(record); }

bool isBisectionOnly(const RefrigerantRecord& record) { return !isCubicForm(record) && isBisectionOnlyFluid(record); }

double reducedPressure(const RefrigerantRecord& record, double tr, double rhor) {
    return isCubicForm(record) ? cubicPressure(record, tr, 1.0 / rhor) : mbwrPressure(record, tr, rhor);
}

double pressureSlope(const RefrigerantRecord& record, double tr, double rhor) {
    if (!isCubicForm(record)) return mbwrPressureSlope(record, tr, rhor);
    const double h = 1e-6 * rhor;
    return (cubicPressure(record, tr, 1.0 / (rhor + h)) - cubicPressure(record, tr, 1.0 / (rhor - h))) / (2.0 * h);
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

// ---- What a rule finds -----------------------------------------------------------------------

void Findings::add(const std::string& kind, const std::string& text) {
    ++count;
    if (perKind[kind]++ < kMessagesPerKind) messages.push_back(kind + ": " + text);
}

void Findings::add(const std::string& kind, const std::string& text, const TroubleState& state) {
    add(kind, text);
    states.push_back(state);
}

Findings Findings::only(const std::string& kind) const {
    Findings f;
    const auto it = perKind.find(kind);
    if (it == perKind.end()) return f;
    f.count = it->second;
    f.perKind[kind] = it->second;
    for (const std::string& m : messages)
        if (m.compare(0, kind.size() + 2, kind + ": ") == 0) f.messages.push_back(m);
    return f;
}

// ---- The exact conditions ----------------------------------------------------------------------

Findings criticalPoint(const RefrigerantRecord& record) {
    Findings f;
    const double p11 = reducedPressure(record, 1.0, 1.0);
    const double s11 = pressureSlope(record, 1.0, 1.0);
    if (!(std::fabs(p11 - 1.0) <= kExactTolerance)) f.add("critical pressure", format("Pr(1,1) = %.17g", p11));
    if (!(std::fabs(s11) <= (isCubicForm(record) ? kCubicSlopeTolerance : kExactTolerance)))
        f.add("critical slope", format("dPr/drhor(1,1) = %.3g", s11));
    return f;
}

Findings vaporPressureAtMinTemp(const RefrigerantRecord& record) {
    Findings f;
    const double* k = constantsOf(record);
    const double minP = k[slot::minPressure];
    const double vp = saturationPressure(record, k[slot::minTemp]);
    if (!(std::fabs(vp - minP) <= kMinPressureTolerance * minP))
        f.add("vapor pressure at minTemp", format("%.17g psia, catalogue %.17g", vp, minP));
    return f;
}

Findings liquidRootAtMinTemp(const RefrigerantRecord& record) {
    Findings f;
    const double* k = constantsOf(record);
    const double pc = k[slot::critPressure], vc = k[slot::critVolume];
    const double trMin = reducedTemperature(k, k[slot::minTemp]);
    const double minP = k[slot::minPressure], minV = k[slot::minLiquidVolume];
    if (!isCubicForm(record)) {
        const double prEos = mbwrPressure(record, trMin, vc / minV);
        if (!(std::fabs(prEos - minP / pc) <= kThroughPointTolerance))
            f.add("equation at (minTemp, minLiquidVolume)", format("Pr %.6g, catalogue %.6g", prEos, minP / pc));
        const double vl = saturationState(record, k[slot::minTemp]).liquidVolume;
        if (!(std::fabs(vl / minV - 1.0) <= kSolvedLiquidTolerance))
            f.add("liquid root at minTemp", format("%.10g ft3/lbm, catalogue %.10g", vl, minV));
    } else {
        const double vrf = minV / vc;
        const double prf = cubicPressure(record, trMin, vrf);
        if (!isRoot(record, trMin, minP / pc, 1.0 / vrf) || vrf <= kLiquidBracketLow)
            f.add("liquid root at minTemp", format("vr %.10g gives Pr %.6g for %.6g", vrf, prf, minP / pc));
    }
    return f;
}

Findings referenceState(const RefrigerantRecord& record) {
    Findings f;
    const double* k = constantsOf(record);
    const double trMin = reducedTemperature(k, k[slot::minTemp]);
    const double rhoMin = k[slot::critVolume] / k[slot::minLiquidVolume];
    const double a0 = reducedHelmholtz(record, trMin, rhoMin);
    const double s0 = reducedEntropy(record, trMin, rhoMin);
    if (!(std::fabs(a0) <= kReferenceStateTolerance && std::fabs(s0) <= kReferenceStateTolerance))
        f.add("reference state", format("A/(R Tc) = %.3g, s/R = %.3g", a0, s0));
    return f;
}

// ---- Soundness over the range ------------------------------------------------------------------

Findings idealGasHeatCapacity(const RefrigerantRecord& record, double floor, double ceiling) {
    Findings f;
    const double* k = constantsOf(record);
    const double trMin = reducedTemperature(k, k[slot::minTemp]);
    const double trMax = reducedTemperature(k, record.maxTemp);
    for (int i = 0; i <= kCp0Temperatures; ++i) {
        const double tr = trMin + (trMax - trMin) * i / static_cast<double>(kCp0Temperatures);
        const double cp0 = idealCp0OfRecord(record, tr);
        if (!(cp0 > floor && cp0 <= ceiling))
            f.add("cp0", format("cp0/R = %.6g at Tr %.4g (bounds %.4g, %.4g)", cp0, tr, floor, ceiling));
    }
    return f;
}

Findings saturatedStates(const RefrigerantRecord& record) {
    Findings f;
    const double* k = constantsOf(record);
    const double tc = k[slot::critTemp], pc = k[slot::critPressure], vc = k[slot::critVolume];
    for (int i = 0; i <= kSaturationSteps; ++i) {
        const double x = static_cast<double>(i) / kSaturationSteps;
        const double t = k[slot::minTemp] + (tc - k[slot::minTemp]) * (1.0 - (1.0 - x) * (1.0 - x));
        const double tr = reducedTemperature(k, t);
        if (tr > 1.0 - kNearCriticalBand) continue;
        const SaturationState sat = saturationState(record, t);
        const double pr = sat.satPressure / pc;
        const double rl = vc / sat.liquidVolume, rv = vc / sat.vaporVolume;
        if (!(sat.vaporVolume > sat.liquidVolume))
            f.add("saturated volumes", format("at %.6g F vf %.6g >= vg %.6g", t, sat.liquidVolume, sat.vaporVolume));
        for (int phase = 0; phase < 2; ++phase) {
            const double rho = phase == 0 ? rl : rv;
            if (!isRoot(record, tr, pr, rho) || !(pressureSlope(record, tr, rho) > 0)) {
                f.add(phase == 0 ? "saturated liquid root" : "saturated vapor root",
                      format("at %.6g F, %.6g psia: rhor %.6g, Pr there %.6g", t, sat.satPressure, rho,
                             reducedPressure(record, tr, rho) * pc),
                      {tr, pr, rho});
            }
        }
    }
    return f;
}

Findings singlePhaseStates(const RefrigerantRecord& record) {
    Findings f;
    const double* k = constantsOf(record);
    const bool cubic = isCubicForm(record);
    const double tc = k[slot::critTemp], pc = k[slot::critPressure], vc = k[slot::critVolume];
    const std::vector<double> temps = checkTemperatures(record, kGridTemperatures);
    const std::vector<double> pressures = checkPressures(record, kGridPressures);
    for (double p : pressures) {
        double lastH = -1e300, lastS = -1e300, lastT = 0;
        for (double t : temps) {
            const double tr = reducedTemperature(k, t);
            const double pr = p / pc;
            // The cubic solver without a phase preference searches reduced volumes up to
            // 20000 only: a more dilute state has no root within its reach, for any set.
            if (cubic && t >= tc - 0.01 && tr / (k[slot::critZ] * pr) > kCubicVolumeLimit / 2.0) {
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
                f.add("single-phase root",
                      format("at %.6g F, %.6g psia: rhor %.6g, P there %.6g psia", t, p, rho,
                             reducedPressure(record, tr, rho) * pc),
                      {tr, pr, rho});
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
                f.add("h and s along the isobar",
                      format("%.6g psia: from %.6g F to %.6g F h falls by %.3g BTU/lbm", p, lastT, t, lastH - h),
                      {tr, pr, rho});
            }
            lastH = h;
            lastS = s;
            lastT = t;
        }
    }
    return f;
}

// ---- The whole check -------------------------------------------------------------------------

void completeCubicRecord(const RefrigerantRecord& record) {
    double* k = record.constants->slots;
    k[slot::entropyRef] = 0.0;
    k[slot::energyRef] = 0.0;
    establishReferenceState(record);
}

CheckReport checkRecord(const RefrigerantRecord& record, double classicalCp0) {
    resetCoefficientCaches();
    if (isCubicForm(record)) completeCubicRecord(record);
    CheckReport report;
    auto take = [&report](const Findings& f, bool exact) {
        (exact ? report.exactFailures : report.soundFailures) += f.count;
        report.messages.insert(report.messages.end(), f.messages.begin(), f.messages.end());
        report.trouble.insert(report.trouble.end(), f.states.begin(), f.states.end());
    };
    take(criticalPoint(record), true);
    if (!isCubicForm(record)) take(vaporPressureAtMinTemp(record), true);
    take(liquidRootAtMinTemp(record), true);
    take(referenceState(record), true);
    take(idealGasHeatCapacity(record, 1.0, classicalCp0), false);
    take(saturatedStates(record), false);
    take(singlePhaseStates(record), false);
    return report;
}

}  // namespace kaltra::checks
