// The accuracy of a coefficient set against the reference tables, with the add-in's own engine.
#include <algorithm>
#include <cmath>

#include "thermo/thermo.h"
#include "tools/fit/fit.h"

namespace kaltra::fit {
namespace {

// Saturated-liquid enthalpy differences: temperatures at least this far apart (K), below this
// reduced temperature.
constexpr double kLiquidEnthalpySpanK = 5.0;
constexpr double kLiquidEnthalpyLimit = 0.9;
constexpr double kRankinePerKelvin = 1.8;

}  // namespace

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
