// Fit of the MBWR form: vapor-pressure equation, ideal-gas coefficients, and b1..b29 by
// weighted linear least squares with the exact conditions as equality constraints and the
// soundness rules as penalties added where a scan of the equation finds them broken.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "thermo/thermo.h"
#include "tools/fit/fit.h"
#include "tools/fit/mbwr_terms.h"

namespace kaltra::fit {
namespace {

// Tolerances that set the weight of every kind of datum: the error that costs as much as a
// unit of squared residual.
constexpr double kSigmaLiquidDensity = 1e-4;  // relative density, saturated liquid
// The saturated vapor density, the equal Gibbs energies of the two phases (as a relative vapor
// pressure of the equation) and the heat of vaporization share a tolerance that the weightings
// below vary.
constexpr double kSigmaEnthalpy = 0.003;  // h differences along an isotherm, in R T
constexpr double kSigmaEntropy = 0.003;   // s differences along an isotherm, in R
constexpr double kSigmaCv = 0.03;         // cv differences along an isotherm, in R
constexpr double kSigmaPenalty = 1e-4;    // soundness penalties
// The saturated liquid's enthalpy change along the saturation line is taken over steps of at
// least kLiquidEnthalpyStepK, below kLiquidEnthalpyTop in Tr; its tolerance is the weighting's.
constexpr double kLiquidEnthalpyStepK = 5.0;
constexpr double kLiquidEnthalpyTop = 0.9;
constexpr double kSlopeFloor = 0.03;      // d(Pr Zc)/d ln(rhor) below which density errors stop growing
constexpr double kRidge = 1e-9;
// Catalogue and table disagree when they differ by more than this (relative); table data
// near such a disagreement weighs kFade times less.
constexpr double kConflict = 0.005;
constexpr double kFade = 30.0;
constexpr int kBridgePoints = 12;
constexpr double kSigmaBridge = 2e-3;
// Corresponding-states shape points: a grid in (Tr, rhor), kept away from the table's states.
constexpr int kShapeTemperatures = 60;
constexpr double kShapeDistanceTr = 0.04;
constexpr double kShapeDistanceRho = 0.12;
constexpr int kMaxRounds = 60;
constexpr int kEnginePasses = 4;

// Density grid of the soundness scan.
constexpr double kScanStep = 0.0025;
constexpr double kScanTop = 4.05;
constexpr double kNewtonOnlyScanTop = 7.0;
// Where an isotherm stays below the highest pressure up to the solvers' bracket end (4), it
// is pinned to this multiple of that pressure at this density.
constexpr double kReachDensity = 3.95;
constexpr double kReachMargin = 1.5;

// One row of the least-squares problem: terms . b = y with weight w.
struct Row {
    TermRow a;
    double y;
    double w;
};

TermRow difference(const TermRow& x, const TermRow& y) {
    TermRow d;
    for (int k = 0; k < kMbwrTerms; ++k) d[k] = x[k] - y[k];
    return d;
}

// A pressure datum whose weight follows the slope of the isotherm.
struct PressureDatum {
    double tr, rho, prTarget, sigma;
    TermRow terms;
};

struct Fluid {
    const RefrigerantRecord* record;
    double gamma, zc, trMin, trMax, rhoMin, prMin, prMax;
    double abcd[4];
    double ideal[5];
    bool bisectionOnly;
    bool newtonOnly;
    std::vector<double> extraTrs;  // temperatures where the engine found trouble
};

// h0(Tr2) - h0(Tr1) over R Tc, the integral of cp0/R = 1 + c0 + c1/Tr + c2 Tr + c3 Tr^2 + c4/Tr^2.
double idealEnthalpyChange(const double c[5], double tr1, double tr2) {
    return (1.0 + c[0]) * (tr2 - tr1) + c[1] * std::log(tr2 / tr1) + c[2] * (tr2 * tr2 - tr1 * tr1) / 2.0 +
           c[3] * (tr2 * tr2 * tr2 - tr1 * tr1 * tr1) / 3.0 + c[4] * (1.0 / tr1 - 1.0 / tr2);
}

// Slope d(Pr Zc)/drhor of the equation with coefficients b.
double slopeOf(const double* b, double gamma, double tr, double rho) { return mbwrState(b, tr, rho, gamma).slope; }

// Precomputed density functions of the scan: for every grid density the rhor-part of the
// pressure, slope and residual cv terms (the Tr-part is a power of Tr per term).
struct ScanGrid {
    std::vector<double> rho;
    std::vector<TermRow> g, g1, g2, rg;
};

ScanGrid makeScanGrid(double gamma, double top) {
    ScanGrid grid;
    for (int j = 1; j * kScanStep <= top + 1e-12; ++j) {
        const double rho = j * kScanStep;
        // At Tr = 1 every Tr-power is 1: the rows are the density functions themselves, and
        // the residual Helmholtz row is rhor times the residual integral.
        const MbwrTerms x = mbwrTerms(1.0, rho, gamma);
        grid.rho.push_back(rho);
        grid.g.push_back(x.pressure);
        grid.g1.push_back(x.slope);
        grid.g2.push_back(x.curvature);
        grid.rg.push_back(x.helmholtz);
    }
    return grid;
}

enum class Rule { slope, cv, reach, curvature };

// How much the fit demands beyond the table: the plainest demands first, stricter ones (and
// corresponding-states shape points) only for fluids the plainer fit leaves unsound.
struct Demands {
    bool strictLiquid;  // liquid branch rising and bending upwards to beyond the Newton start,
                        // and the highest pressure reached inside the density bracket
    double shapeSigma;  // > 0: shape points of this relative density tolerance
};

// How the table's kinds of data weigh against each other. The best balance differs from
// fluid to fluid (mostly with how far the table's critical point lies from the catalogue's),
// so several are tried and the one closest to the accuracy targets is kept.
struct Weighting {
    bool flatInflection;    // the critical isotherm's curvature zero too, as in the published sets
    double sigmaSaturated;  // saturated vapor density, equal Gibbs energies, heat of vaporization
    bool shapedVaporPressure;  // vapor pressure reweighted towards the targets, else plain least squares
    double sigmaSingle;        // relative density, single phase
    double sigmaLiquidEnthalpy = 0;  // relative change of the saturated liquid's enthalpy (fluids fitted to it)
};

struct Violation {
    double tr, rho;
    Rule rule;
    double target;
};

// Reduced temperatures of the scan: an even grid over the range and a cluster around the
// critical temperature.
std::vector<double> scanTemperatures(const Fluid& f) {
    std::vector<double> trs;
    for (int i = 0; i <= 120; ++i) trs.push_back(f.trMin + (f.trMax - f.trMin) * i / 120.0);
    for (double d : {0.0005, 0.002, 0.005, 0.01, 0.02, 0.04}) {
        trs.push_back(1.0 - d);
        trs.push_back(1.0 + d);
    }
    trs.insert(trs.end(), f.extraTrs.begin(), f.extraTrs.end());
    return trs;
}

// Scans the equation over the catalogue range for unstable states, negative cv, and
// isotherms that do not reach the highest pressure within the solvers' density bracket.
std::vector<Violation> scanSoundness(const Fluid& f, const Demands& demands, const double* b, const ScanGrid& grid,
                                     double& worstSlope) {
    std::vector<Violation> found;
    worstSlope = 1e300;
    const std::size_t n = grid.rho.size();
    std::vector<double> p(n), s(n), cv(n), curv(n);
    for (double tr : scanTemperatures(f)) {
        if (tr < f.trMin || tr > f.trMax) continue;
        TermRow bt, bcv;
        for (int k = 0; k < kMbwrTerms; ++k) {
            const double q = termPower(k);
            bt[k] = b[k] * std::pow(tr, q);
            bcv[k] = -b[k] * q * (q - 1.0) * std::pow(tr, q - 1.0);
        }
        const double cv0 = idealCp0(IdealForm::mbwr, f.ideal, tr) - 1.0;
        for (std::size_t j = 0; j < n; ++j) {
            double pp = tr * grid.rho[j], ss = tr, cc = cv0, kk = 0;
            for (int k = 0; k < kMbwrTerms; ++k) {
                pp += bt[k] * grid.g[j][k];
                ss += bt[k] * grid.g1[j][k];
                kk += bt[k] * grid.g2[j][k];
                cc += bcv[k] * grid.rg[j][k];
            }
            p[j] = pp;
            s[j] = ss;
            cv[j] = cc;
            curv[j] = kk;
        }
        // Single-phase density ranges at this temperature.
        std::vector<std::pair<std::size_t, std::size_t>> ranges;
        const double pmax = f.zc * f.prMax;
        std::size_t bracketEnd = n;  // the solvers search up to rhor = 4
        while (bracketEnd > 0 && grid.rho[bracketEnd - 1] > 4.0 + 1e-9) --bracketEnd;
        std::size_t liquid = 0;
        if (tr >= 1.0) {
            std::size_t top = 0;
            while (top < n && p[top] < pmax) ++top;
            ranges.push_back({0, std::min(n, top + top / 20 + 2)});
        } else {
            const double psat = f.zc * vaporPressureRatioOf(f.abcd, tr);
            std::size_t vapor = 0;
            while (vapor < n && p[vapor] < psat && s[vapor] > 0) ++vapor;
            // The liquid root: the first density from the critical density up where the
            // isotherm has risen to the vapor pressure.
            while (liquid < n && (grid.rho[liquid] < 1.0 || p[liquid] < psat || s[liquid] <= 0)) ++liquid;
            std::size_t top = liquid;
            while (top < n && p[top] < pmax) ++top;
            // The Newton phase must reach the root from the solver's starting guess; the
            // bisection that follows where it does not (and alone for the fluids that skip
            // Newton) searches [1, 4] and moves denser where the isotherm does not rise.
            const double reach = demands.strictLiquid
                                     ? std::max(top < n ? grid.rho[top] : kScanTop, liquidDensityGuess(tr)) * 1.15
                                     : (top < n ? grid.rho[top] : kScanTop) * 1.05;
            std::size_t end = n;
            if (!f.bisectionOnly && !f.newtonOnly)
                while (end > liquid + 1 && grid.rho[end - 1] > reach) --end;
            // Just below the critical temperature the vapor pressure may lie above the
            // equation's own vapor spinodal; the solvers' tolerance covers that band.
            if (tr < 0.999) ranges.push_back({0, std::min(vapor + 1, n)});
            ranges.push_back({liquid, end});
        }
        // The highest pressure must be reached inside the density bracket: where it is not,
        // the isotherm is pinned above it just inside the bracket's end.
        if (demands.strictLiquid && bracketEnd > 0 && p[bracketEnd - 1] < pmax && liquid < bracketEnd)
            found.push_back({tr, kReachDensity, Rule::reach, kReachMargin * pmax});
        for (auto [from, to] : ranges) {
            double worst = 0;
            Violation v{tr, 0, Rule::slope, 0};
            for (std::size_t j = from; j < to; ++j) {
                const double rho = grid.rho[j];
                // Near the critical point the isotherms are nearly flat: no margin there.
                const bool nearCritical = std::fabs(tr - 1.0) < 0.03 && std::fabs(rho - 1.0) < 0.4;
                const double margin = nearCritical ? 0.0 : 0.01 * tr;
                worstSlope = std::min(worstSlope, s[j] / tr);
                if (s[j] < margin && margin - s[j] > worst) {
                    worst = margin - s[j];
                    v = {tr, rho, Rule::slope, nearCritical ? 0.01 * tr : 0.05 * tr};
                }
                if (cv[j] < 0.3 * cv0 && 0.3 * cv0 - cv[j] > worst) {
                    worst = 0.3 * cv0 - cv[j];
                    v = {tr, rho, Rule::cv, 0.5 * cv0};
                }
            }
            if (worst > 0) found.push_back(v);
        }
        // A compressed liquid's isotherm bends upwards (the bulk modulus grows with density),
        // which is what lets the liquid Newton iteration converge from either side.
        if (demands.strictLiquid && tr < 1.0 && liquid < n && !f.bisectionOnly) {
            const std::size_t to = ranges.back().second;
            double worst = 0;
            Violation v{tr, 0, Rule::curvature, 0};
            for (std::size_t j = liquid; j < to; ++j) {
                if (curv[j] < 0 && -curv[j] > worst) {
                    worst = -curv[j];
                    v = {tr, grid.rho[j], Rule::curvature, std::max(s[j], tr) / grid.rho[j]};
                }
            }
            if (worst > 0) found.push_back(v);
        }
    }
    return found;
}

Row penaltyRow(const Fluid& f, const Violation& v) {
    const MbwrTerms x = mbwrTerms(v.tr, v.rho, f.gamma);
    switch (v.rule) {
        case Rule::slope:
            return {x.slope, v.target - v.tr, 1.0 / (kSigmaPenalty * std::max(v.tr, 1.0))};
        case Rule::cv: {
            const double cv0 = idealCp0(IdealForm::mbwr, f.ideal, v.tr) - 1.0;
            return {x.cv, v.target - cv0, 1.0 / (kSigmaPenalty * 10.0 * cv0)};
        }
        case Rule::curvature:
            return {x.curvature, v.target, 1.0 / (kSigmaPenalty * 10.0 * v.target)};
        case Rule::reach:
        default:
            return {x.pressure, v.target - v.tr * v.rho, 1.0 / (kSigmaPenalty * 10.0 * v.target)};
    }
}

// The published R22 set in reduced form: a corresponding-states estimate of isotherm slopes
// before the fluid's own equation exists.
double startingSlope(double tr, double rho) {
    const RefrigerantRecord& r22 = *recordAt(7);
    const double* k = constantsOf(r22);
    return slopeOf(k + slot::mbwrCoeffs, k[slot::gamma], tr, rho);
}

// The fluid as the fit sees it: the catalogue's limits in reduced variables and its solver path.
Fluid fluidOf(const RefrigerantRecord& record) {
    const double* k = constantsOf(record);
    Fluid f{};
    f.record = &record;
    f.gamma = k[slot::gamma];
    f.zc = k[slot::critZ];
    f.trMin = reducedTemperature(k, k[slot::minTemp]);
    f.trMax = reducedTemperature(k, record.maxTemp);
    f.rhoMin = k[slot::critVolume] / k[slot::minLiquidVolume];
    f.prMin = k[slot::minPressure] / k[slot::critPressure];
    f.prMax = record.maxPressure / k[slot::critPressure];
    f.bisectionOnly = checks::isBisectionOnly(record);
    f.newtonOnly = checks::isNewtonOnly(record);
    return f;
}

// Where the catalogue and the table disagree, the catalogue's exact conditions win and the
// table weighs little near them: at minTemp (pressure, liquid density) and near the critical
// point when the table's critical point lies elsewhere.
struct Conflicts {
    const SatPoint* first;   // the table's saturated state nearest minTemp
    double pressureFadeTr;   // the table's vapor pressures below this Tr weigh little (0: none)
    double liquidFadeTr;     // the table's liquid densities below this Tr weigh little (0: none)
    bool critical;           // the table's critical point lies elsewhere
    double satTop;           // saturated states are taken below this Tr
};

Conflicts conflictsOf(const Fluid& f, const ReferenceTables& tables) {
    Conflicts c{};
    c.first = &tables.sat.front();
    for (const SatPoint& p : tables.sat)
        if (std::fabs(p.tr - f.trMin) < std::fabs(c.first->tr - f.trMin)) c.first = &p;
    const bool sameMinTemp = std::fabs(c.first->tr - f.trMin) < 1e-3;
    // the table's own vapor pressure at minTemp, extrapolated where the table starts higher
    double free[4];
    fitVaporPressure(tables, 0.0, 0.0, 0.0, false, free);
    c.pressureFadeTr =
        std::fabs(f.prMin / vaporPressureRatioOf(free, f.trMin) - 1) > kConflict ? f.trMin + 0.1 * (1 - f.trMin) : 0.0;
    c.liquidFadeTr =
        sameMinTemp && std::fabs(f.rhoMin / c.first->rhoL - 1) > kConflict ? f.trMin + 0.35 * (1 - f.trMin) : 0.0;
    c.critical = std::fabs(tables.trCritical - 1) > 0.002 || std::fabs(tables.prCritical - 1) > 0.01 ||
                 std::fabs(tables.rhoCritical - 1) > 0.02;
    c.satTop = c.critical ? std::min(tables.trCritical, 1.0) - 0.02 : 0.9995;
    return c;
}

// A state near either critical point, where they differ.
bool nearCritical(const Conflicts& c, const ReferenceTables& tables, double tr, double rho) {
    return c.critical && tr > std::min(tables.trCritical, 1.0) - 0.05 && tr < std::max(tables.trCritical, 1.0) + 0.05 &&
           std::fabs(rho - 1) < 0.6;
}

// The rows of the least-squares problem that the table and the shape points give: pressure
// data, weighted anew in every round by the slope of the last iterate, and fixed rows.
struct DataRows {
    std::vector<PressureDatum> pressures;
    std::vector<Row> fixed;
    int shapePoints = 0;
};

// Equal Gibbs energies of two phases at (Tr, Pr): T ln(rhoL/rhoV) + d(A_res + Pr Zc/rho - T) = 0.
Row equalGibbsRow(const Fluid& f, const MbwrTerms& l, const MbwrTerms& v, double tr, double pr, double rhoL,
                  double rhoV, double sigma) {
    TermRow g;
    for (int i = 0; i < kMbwrTerms; ++i) g[i] = (l.helmholtz[i] + l.pressure[i] / rhoL) - (v.helmholtz[i] + v.pressure[i] / rhoV);
    const double zl = f.zc * pr / (tr * rhoL), zv = f.zc * pr / (tr * rhoV);
    return {g, -tr * std::log(rhoL / rhoV), 1.0 / (sigma * tr * (zv - zl))};
}

// Saturated states below satTop: both densities at the vapor pressure of the fitted equation,
// equal Gibbs energies (a pure fluid's) and the heat of vaporization.
void addSaturatedRows(const Fluid& f, const ReferenceTables& tables, const Conflicts& conflicts,
                      const Weighting& weighting, DataRows& rows) {
    const bool pseudoPure = tables.sat.front().prBubble != tables.sat.front().prDew;
    for (const SatPoint& p : tables.sat) {
        if (p.tr >= conflicts.satTop || p.tr < f.trMin) continue;
        const double pr = vaporPressureRatioOf(f.abcd, p.tr);
        const bool faded = p.tr < conflicts.liquidFadeTr;
        if (std::isfinite(p.rhoL))
            rows.pressures.push_back({p.tr, p.rhoL, pr, kSigmaLiquidDensity * (faded ? kFade : 1.0),
                                      mbwrTerms(p.tr, p.rhoL, f.gamma).pressure});
        if (std::isfinite(p.rhoV))
            rows.pressures.push_back({p.tr, p.rhoV, pr, weighting.sigmaSaturated, mbwrTerms(p.tr, p.rhoV, f.gamma).pressure});
        if (!std::isfinite(p.rhoL) || !std::isfinite(p.rhoV)) continue;
        const MbwrTerms l = mbwrTerms(p.tr, p.rhoL, f.gamma);
        const MbwrTerms v = mbwrTerms(p.tr, p.rhoV, f.gamma);
        // A mixture's bubble liquid and dew vapor do not share one Gibbs energy.
        if (!pseudoPure && !faded)
            rows.fixed.push_back(equalGibbsRow(f, l, v, p.tr, pr, p.rhoL, p.rhoV, weighting.sigmaSaturated));
        if (std::isfinite(p.hL) && std::isfinite(p.hV))
            rows.fixed.push_back({difference(v.enthalpy, l.enthalpy), p.hV - p.hL,
                                  1.0 / (weighting.sigmaSaturated * (p.hV - p.hL))});
    }
}

// The saturated liquid's enthalpy along the saturation line, for the fluids fitted to it: its
// change from the coldest state, and over every step of at least 5 K, each relative to the
// table's change. The ideal-gas part of the change comes from the cp0 fitted before.
void addLiquidEnthalpyRows(const Fluid& f, const ReferenceTables& tables, const Conflicts& conflicts,
                           const Weighting& weighting, DataRows& rows) {
    const double* k = constantsOf(*f.record);
    const double tcR = k[slot::critTemp] + kRankineOffset;
    std::vector<const SatPoint*> liquid;
    for (const SatPoint& p : tables.sat)
        if (p.tr >= f.trMin && p.tr < std::min(conflicts.satTop, kLiquidEnthalpyTop) && std::isfinite(p.hL) &&
            std::isfinite(p.rhoL))
            liquid.push_back(&p);
    const double minSpan = kLiquidEnthalpyStepK * 1.8 / tcR;
    auto addChange = [&](const SatPoint& a, const SatPoint& b) {
        const MbwrTerms xa = mbwrTerms(a.tr, a.rhoL, f.gamma), xb = mbwrTerms(b.tr, b.rhoL, f.gamma);
        const double change = b.hL - a.hL;
        rows.fixed.push_back({difference(xb.enthalpy, xa.enthalpy), change - idealEnthalpyChange(f.ideal, a.tr, b.tr),
                              1.0 / (weighting.sigmaLiquidEnthalpy * std::fabs(change))});
    };
    for (std::size_t i = 0; i < liquid.size(); ++i) {
        if (liquid[i]->tr - liquid[0]->tr >= minSpan) addChange(*liquid[0], *liquid[i]);
        std::size_t j = i + 1;
        while (j < liquid.size() && liquid[j]->tr - liquid[i]->tr < minSpan) ++j;
        if (i > 0 && j < liquid.size()) addChange(*liquid[i], *liquid[j]);
    }
}

// Where the table's critical point lies elsewhere, saturated states between the table's last
// one and the catalogue's critical point follow a rectilinear diameter and a half-width that
// closes as (1 - Tr)^0.35, so that the vapor pressure and the equation meet there too.
void addBridgeRows(const Fluid& f, const ReferenceTables& tables, const Conflicts& conflicts, DataRows& rows) {
    const SatPoint* last = nullptr;
    for (const SatPoint& p : tables.sat)
        if (p.tr < conflicts.satTop && std::isfinite(p.rhoL) && std::isfinite(p.rhoV) && (!last || p.tr > last->tr)) last = &p;
    if (!last) return;
    const double diameter = (last->rhoL + last->rhoV) / 2.0, half = (last->rhoL - last->rhoV) / 2.0;
    for (int i = 1; i <= kBridgePoints; ++i) {
        const double tr = last->tr + (0.999 - last->tr) * i / kBridgePoints;
        const double x = (1.0 - tr) / (1.0 - last->tr);
        const double rhoL = 1.0 + (diameter - 1.0) * x + half * std::pow(x, 0.35);
        const double rhoV = 1.0 + (diameter - 1.0) * x - half * std::pow(x, 0.35);
        const double pr = vaporPressureRatioOf(f.abcd, tr);
        const MbwrTerms l = mbwrTerms(tr, rhoL, f.gamma), v = mbwrTerms(tr, rhoV, f.gamma);
        rows.pressures.push_back({tr, rhoL, pr, kSigmaBridge, l.pressure});
        rows.pressures.push_back({tr, rhoV, pr, kSigmaBridge, v.pressure});
        rows.fixed.push_back(equalGibbsRow(f, l, v, tr, pr, rhoL, rhoV, kSigmaBridge));
    }
}

// Single-phase states: pressure, and h, s, cv against the most dilute state of the isotherm.
void addSinglePhaseRows(const Fluid& f, const ReferenceTables& tables, const Conflicts& conflicts,
                        const Weighting& weighting, DataRows& rows) {
    std::vector<const SinglePoint*> points;
    for (const SinglePoint& p : tables.single) points.push_back(&p);
    std::stable_sort(points.begin(), points.end(), [](const SinglePoint* a, const SinglePoint* b) {
        return a->tr < b->tr || (a->tr == b->tr && a->rho < b->rho);
    });
    for (std::size_t i = 0; i < points.size();) {
        std::size_t j = i;
        while (j < points.size() && points[j]->tr == points[i]->tr) ++j;
        const SinglePoint& anchor = *points[i];
        const MbwrTerms xa = mbwrTerms(anchor.tr, anchor.rho, f.gamma);
        for (std::size_t m = i; m < j; ++m) {
            const SinglePoint& p = *points[m];
            const MbwrTerms x = mbwrTerms(p.tr, p.rho, f.gamma);
            const bool faded =
                (p.phase == Phase::liquid && p.tr < conflicts.liquidFadeTr) || nearCritical(conflicts, tables, p.tr, p.rho);
            rows.pressures.push_back({p.tr, p.rho, p.pr, weighting.sigmaSingle * (faded ? kFade : 1.0), x.pressure});
            if (m == i) continue;
            if (std::isfinite(p.h) && std::isfinite(anchor.h))
                rows.fixed.push_back({difference(x.enthalpy, xa.enthalpy), p.h - anchor.h, 1.0 / (kSigmaEnthalpy * p.tr)});
            if (std::isfinite(p.s) && std::isfinite(anchor.s))
                rows.fixed.push_back({difference(x.entropy, xa.entropy), p.s - anchor.s + std::log(p.rho / anchor.rho),
                                      1.0 / kSigmaEntropy});
            if (std::isfinite(p.cv) && std::isfinite(anchor.cv))
                rows.fixed.push_back({difference(x.cv, xa.cv), p.cv - anchor.cv, 1.0 / kSigmaCv});
        }
        i = j;
    }
}

// The table's two-phase densities at Tr, interpolated between its saturated states (fixed ones
// near the critical temperature); zeros at and above it.
void twoPhaseDensities(const std::vector<const SatPoint*>& sat, double tr, double& rhoV, double& rhoL) {
    rhoV = 0;
    rhoL = 0;
    if (tr >= 1.0 || sat.empty()) return;
    const SatPoint* lo = sat.front();
    const SatPoint* hi = sat.back();
    for (const SatPoint* p : sat) {
        if (p->tr <= tr) lo = p;
        if (p->tr >= tr && hi->tr >= p->tr) hi = p;
    }
    const double x = hi->tr > lo->tr ? (tr - lo->tr) / (hi->tr - lo->tr) : 0.0;
    rhoV = lo->rhoV + x * (hi->rhoV - lo->rhoV);
    rhoL = lo->rhoL + x * (hi->rhoL - lo->rhoL);
    if (tr > 0.98) rhoV = 0.5, rhoL = 1.6;
}

// Whether a state lies near any single-phase state of the table.
bool nearTableData(const ReferenceTables& tables, double tr, double rho) {
    for (const SinglePoint& p : tables.single)
        if (std::fabs(p.tr - tr) < kShapeDistanceTr && std::fabs(p.rho - rho) < kShapeDistanceRho) return true;
    return false;
}

// Shape where the table says nothing: weak corresponding-states points from the published R22
// equation (same compressibility at the same Tr and rhor), so that the equation extrapolates
// like a real fluid's to the catalogue's limits.
void addShapeRows(const Fluid& f, const ReferenceTables& tables, double shapeSigma, DataRows& rows) {
    const RefrigerantRecord& r22 = *recordAt(7);
    const double* k22 = constantsOf(r22);
    const double* b22 = k22 + slot::mbwrCoeffs;
    const double gamma22 = k22[slot::gamma];
    std::vector<const SatPoint*> sat;
    for (const SatPoint& p : tables.sat)
        if (std::isfinite(p.rhoL) && std::isfinite(p.rhoV)) sat.push_back(&p);
    for (int i = 0; i <= kShapeTemperatures; ++i) {
        const double tr = f.trMin + (f.trMax - f.trMin) * i / kShapeTemperatures;
        double rhoV, rhoL;
        twoPhaseDensities(sat, tr, rhoV, rhoL);
        for (double rho = 0.05; rho <= 4.0 + 1e-9; rho += 0.05) {
            if (tr < 1.0 && rho > 0.9 * rhoV && rho < 1.02 * rhoL) continue;
            if (nearTableData(tables, tr, rho)) continue;
            const MbwrState reference = mbwrState(b22, tr, rho, gamma22);
            if (!(reference.slope > 0.05 * tr)) continue;
            const double z = reference.prZc / (tr * rho);
            const MbwrTerms x = mbwrTerms(tr, rho, f.gamma);
            rows.fixed.push_back({x.pressure, z * tr * rho - tr * rho, 1.0 / (shapeSigma * rho * reference.slope)});
            rows.shapePoints++;
        }
    }
}

// The exact conditions as equality constraints C b = d: the critical point with a flat
// inflection, and the saturated liquid at minTemp on the equation. Without the flat inflection
// the critical isotherm only has to be level at the critical point; the freedom gained serves
// the saturated states when the table's critical point differs a little from the catalogue's.
struct ExactConditions {
    Eigen::MatrixXd c;
    Eigen::VectorXd d;
};

ExactConditions exactConditions(const Fluid& f, bool flatInflection) {
    const int conditions = flatInflection ? 4 : 3;
    ExactConditions e{Eigen::MatrixXd(conditions, kMbwrTerms), Eigen::VectorXd(conditions)};
    const MbwrTerms x = mbwrTerms(1.0, 1.0, f.gamma);
    const MbwrTerms m = mbwrTerms(f.trMin, f.rhoMin, f.gamma);
    for (int i = 0; i < kMbwrTerms; ++i) {
        e.c(0, i) = x.pressure[i];
        e.c(1, i) = x.slope[i];
        e.c(2, i) = m.pressure[i];
        if (flatInflection) e.c(3, i) = x.curvature[i];
    }
    e.d(0) = f.zc - 1.0;
    e.d(1) = -1.0;
    e.d(2) = f.zc * f.prMin - f.trMin * f.rhoMin;
    if (flatInflection) e.d(3) = 0.0;
    return e;
}

// Where the iterated fit stands: the penalties found so far, the last solution and what the
// last scan found.
struct Iterate {
    std::vector<Row> penalties;
    Eigen::VectorXd b = Eigen::VectorXd::Zero(kMbwrTerms);
    bool haveB = false;
    int totalRounds = 0;
    double worstSlope = 0;
    std::size_t lastViolations = 0;
};

// The weighted least-squares problem of one round: the pressure data weighted as density
// errors by the slope of the last iterate (of the published R22 equation before the first),
// then the fixed rows and the penalties.
void assembleRound(const Fluid& f, const DataRows& rows, const Iterate& it, Eigen::MatrixXd& a, Eigen::VectorXd& y,
                   Eigen::VectorXd& w) {
    const std::size_t count = rows.pressures.size() + rows.fixed.size() + it.penalties.size();
    a.resize(count, kMbwrTerms);
    y.resize(count);
    w.resize(count);
    std::size_t r = 0;
    for (const PressureDatum& p : rows.pressures) {
        const double slope = it.haveB ? slopeOf(it.b.data(), f.gamma, p.tr, p.rho) : startingSlope(p.tr, p.rho);
        for (int i = 0; i < kMbwrTerms; ++i) a(r, i) = p.terms[i];
        y(r) = f.zc * p.prTarget - p.tr * p.rho;
        w(r) = 1.0 / (p.sigma * std::max(p.rho * slope, kSlopeFloor));
        ++r;
    }
    for (const std::vector<Row>* list : {&rows.fixed, &it.penalties}) {
        for (const Row& row : *list) {
            for (int i = 0; i < kMbwrTerms; ++i) a(r, i) = row.a[i];
            y(r) = row.y;
            w(r) = row.w;
            ++r;
        }
    }
}

// Rounds of the iterated fit: weights from the slopes of the last equation, penalties where the
// last equation is unsound, until a scan finds nothing (after four rounds at least) or
// kMaxRounds have run.
void iterateRounds(const Fluid& f, const Demands& demands, const DataRows& rows, const ExactConditions& exact,
                   const ScanGrid& grid, Iterate& it) {
    for (int rounds = 0; rounds < kMaxRounds; ++rounds, ++it.totalRounds) {
        Eigen::MatrixXd a;
        Eigen::VectorXd y, w;
        assembleRound(f, rows, it, a, y, w);
        Eigen::VectorXd next;
        if (!constrainedLeastSquares(a, y, w, exact.c, exact.d, kRidge, next)) break;
        it.b = next;
        it.haveB = true;
        const std::vector<Violation> violations = scanSoundness(f, demands, it.b.data(), grid, it.worstSlope);
        it.lastViolations = violations.size();
        if (violations.empty() && rounds >= 3) break;
        for (const Violation& v : violations) it.penalties.push_back(penaltyRow(f, v));
    }
}

// Writes the set into the record's block: alpha2..alpha6 from the ideal-gas fit, b1..b29 and
// the vapor-pressure coefficients.
void writeSet(const RefrigerantRecord& record, const Fluid& f, const Eigen::VectorXd& b) {
    double* k = record.constants->slots;
    double* alpha = k + slot::mbwrIdealGasCoeffs;
    alpha[2] = -f.ideal[2] / 2.0;
    alpha[3] = -f.ideal[3] / 6.0;
    alpha[4] = -f.ideal[4] / 2.0;
    alpha[5] = f.ideal[1];
    alpha[6] = -f.ideal[0];
    for (int i = 0; i < kMbwrTerms; ++i) k[slot::mbwrCoeffs + i] = b(i);
    for (int i = 0; i < 4; ++i) k[slot::mbwrVaporPressureCoeffs + i] = f.abcd[i];
}

// alpha1 and alpha0: entropy and Helmholtz energy zero at (minTemp, minLiquidVolume), found by
// correcting the engine's own evaluation (both enter linearly, so one pass is exact up to
// rounding).
void placeReferenceState(const RefrigerantRecord& record, const Fluid& f) {
    double* alpha = record.constants->slots + slot::mbwrIdealGasCoeffs;
    alpha[0] = 0.0;
    alpha[1] = 0.0;
    for (int i = 0; i < 3; ++i) {
        resetCoefficientCaches();
        const double s = reducedEntropy(record, f.trMin, f.rhoMin);
        alpha[1] += s;  // s/R holds -alpha1: raising alpha1 by s takes s away
        resetCoefficientCaches();
        const double helmholtz = reducedHelmholtz(record, f.trMin, f.rhoMin);
        alpha[0] -= helmholtz;
    }
    resetCoefficientCaches();
}

// Adds the temperatures where the engine found trouble to those the scan visits (at most 200
// new ones a pass); false when none is new.
bool addTroubleTemperatures(const CheckReport& report, Fluid& f) {
    std::size_t added = 0;
    for (const TroubleState& t : report.trouble) {
        if (std::find(f.extraTrs.begin(), f.extraTrs.end(), t.tr) == f.extraTrs.end() && added < 200) {
            f.extraTrs.push_back(t.tr);
            ++added;
        }
    }
    return added > 0;
}

// One fit of the set under the given demands. Leaves the set in the block, the engine's
// verdict in `verdict`, and returns a summary.
std::string fitMbwrOnce(const RefrigerantRecord& record, const FitFacts& facts, const ReferenceTables& tables,
                        const Weighting& weighting, const Demands& demands, CheckReport& verdict) {
    Fluid f = fluidOf(record);
    const Conflicts conflicts = conflictsOf(f, tables);

    // The vapor pressure, pinned to the catalogue's pressure at minTemp, and the ideal-gas heat
    // capacity come first: the data rows use both.
    fitVaporPressure(tables, f.trMin, f.prMin, conflicts.pressureFadeTr, weighting.shapedVaporPressure, f.abcd);
    fitIdealGas(tables, facts, IdealForm::mbwr, f.trMin, f.trMax, f.ideal);

    DataRows rows;
    addSaturatedRows(f, tables, conflicts, weighting, rows);
    if (facts.liquidEnthalpy) addLiquidEnthalpyRows(f, tables, conflicts, weighting, rows);
    if (conflicts.critical) addBridgeRows(f, tables, conflicts, rows);
    addSinglePhaseRows(f, tables, conflicts, weighting, rows);
    if (demands.shapeSigma > 0) addShapeRows(f, tables, demands.shapeSigma, rows);
    const ExactConditions exact = exactConditions(f, weighting.flatInflection);

    // Passes of the iterated fit, each judged by the engine; where it finds trouble, the next
    // pass scans those isotherms too. The Newton-only solver may step far above the liquid root
    // (it doubles at most) before it comes back: its isotherms must behave up to twice the
    // liquid densities.
    const ScanGrid grid = makeScanGrid(f.gamma, f.newtonOnly ? kNewtonOnlyScanTop : kScanTop);
    Iterate it;
    int pass = 0;
    for (pass = 0; pass < kEnginePasses; ++pass) {
        iterateRounds(f, demands, rows, exact, grid, it);
        writeSet(record, f, it.b);
        placeReferenceState(record, f);
        verdict = checkRecord(record, facts);
        if (verdict.ok() || !addTroubleTemperatures(verdict, f)) break;
    }

    // How far the catalogue's state at minTemp lies from the table's.
    const SatPoint* first = conflicts.first;
    char summary[300];
    std::snprintf(summary, sizeof summary,
                  "%d shape points, %d passes, %d rounds, %zu penalties, %zu violations left, min slope/Tr %.3g; catalogue at minTemp vs table "
                  "(Tr %.4f/%.4f): P %+.2f %%, rhoL %+.3f %%; table critical point Tr %.4f Pr %.4f rhor %.4f",
                  rows.shapePoints, pass + 1, it.totalRounds + 1, it.penalties.size(), it.lastViolations, it.worstSlope,
                  f.trMin, first->tr, 100 * (f.prMin / first->pr - 1), 100 * (f.rhoMin / first->rhoL - 1),
                  tables.trCritical, tables.prCritical, tables.rhoCritical);
    return summary;
}


// The table moved by corresponding states towards the catalogue's critical point. At a table
// temperature whose share of the way from minTemp to the table's critical temperature is x,
// the move is the fraction w = x^exponent (all of it at and above the table's critical
// temperature): temperatures over the table's critical temperature, dilute-gas densities over
// the table's critical pressure over its critical temperature, and pressures so that the
// dilute gas keeps the table's compressibility P/(rho R T) (it stays ideal). Where the table's
// liquid at minTemp lies off the catalogue's minLiquidVolume, states from the table's critical
// density up move by the ratio of the two at minTemp instead, giving way to the gas move as x
// grows, so that the table's liquid lands on the catalogue's. h/(R T), s/R and cv/R stay the
// table's at the moved state. The table's critical temperature and pressure land on the
// catalogue's; the coldest states keep their temperature and pressure.
ReferenceTables correspondingStates(const ReferenceTables& tables, double trMin, double rhoMin, double exponent) {
    ReferenceTables moved = tables;
    const double tc = tables.trCritical;
    const double gas = tables.prCritical / tables.trCritical;
    const SatPoint* first = &tables.sat.front();
    for (const SatPoint& p : tables.sat)
        if (std::fabs(p.tr - trMin) < std::fabs(first->tr - trMin)) first = &p;
    const double liquidRatio = first->rhoL / rhoMin;
    const bool liquidConflict = std::fabs(first->tr - trMin) < 1e-3 && std::fabs(liquidRatio - 1) > kConflict;
    auto share = [&](double tr) {
        const double x = std::clamp((tr - trMin) / (tc - trMin), 0.0, 1.0);
        return std::pow(x, exponent);
    };
    // temperature and pressure divisors at tr, and the density divisor at (tr, rho)
    auto divisors = [&](double tr, double& t, double& p) {
        const double w = share(tr);
        t = std::pow(tc, w);
        p = t * std::pow(gas, w);
    };
    auto densityDivisor = [&](double tr, double rho) {
        const double g = std::pow(gas, share(tr));
        if (!liquidConflict) return g;
        const double u = std::min(rho / tables.rhoCritical, 1.0);
        const double x = std::clamp((tr - trMin) / (tc - trMin), 0.0, 1.0);
        return std::pow(g, 1 - u) * std::pow(std::pow(liquidRatio, 1 - x) * std::pow(g, x), u);
    };
    for (SatPoint& p : moved.sat) {
        double t, q;
        divisors(p.tr, t, q);
        p.rhoL /= densityDivisor(p.tr, p.rhoL);
        p.rhoV /= densityDivisor(p.tr, p.rhoV);
        p.tr /= t;
        p.pr /= q;
        p.prBubble /= q;
        p.prDew /= q;
        p.hL /= t;
        p.hV /= t;
    }
    for (SinglePoint& p : moved.single) {
        double t, q;
        divisors(p.tr, t, q);
        p.rho /= densityDivisor(p.tr, p.rho);
        p.tr /= t;
        p.pr /= q;
        p.h /= t;
    }
    for (IdealPoint& p : moved.ideal) p.tr /= std::pow(tc, share(p.tr));
    moved.tableTrMax /= tc;
    moved.trCritical = 1.0;
    moved.prCritical = 1.0;
    moved.rhoCritical = tables.rhoCritical / densityDivisor(tc, tables.rhoCritical);
    return moved;
}


// How far a set's accuracy lies from the targets: the sum of the amounts by which each median
// and 95th percentile exceeds its target (relative to it), plus a small share of all the
// ratios, so that among sets that meet every target the more accurate one wins. Blends, air and
// the estimated fluids are held to twice the targets. The saturated liquid's enthalpy counts for
// the fluids fitted to it.
double targetScore(const AccuracyReport& a, bool lenient, bool liquidEnthalpy) {
    const double scale = lenient ? 2.0 : 1.0;
    const struct {
        const Spread& spread;
        double median, p95;
    } rows[] = {{a.psat, 0.15, 0.3},       {a.rhoL, 0.03, 0.2},        {a.rhoV, 0.15, 0.4},
                {a.hvap, 0.1, 0.7},        {a.rhoSingle, 0.005, 0.25}, {a.hLiquid, 0.4, 0.9}};
    double score = 0;
    for (const auto& row : rows) {
        if (&row.spread == &a.hLiquid && !liquidEnthalpy) continue;
        for (const double ratio : {row.spread.median / (scale * row.median), row.spread.p95 / (scale * row.p95)}) {
            score += std::max(ratio - 1.0, 0.0) + 0.05 * ratio;
        }
    }
    return score;
}

// Fits with the plainest demands first; where the engine still finds the set unsound, refits
// with stricter ones. Where the table's critical point lies elsewhere and no demand gives a
// sound set, the same demands follow on the table moved onto the catalogue's critical point,
// the move confined to the states nearest the critical point first, then spread further:
// less faithful to the table near the critical point, but the vapor pressure and the
// equation then meet below the catalogue's critical temperature.
std::string fitMbwrWeighted(const RefrigerantRecord& record, const FitFacts& facts, const ReferenceTables& tables,
                            const Weighting& weighting, bool& sound, int& rung) {
    constexpr Demands kLadder[] = {{false, 0.0}, {true, 0.0}, {true, 0.05}, {true, 0.01}};
    constexpr double kMoveExponents[] = {8.0, 3.5, 3.0, 2.5, 2.0};
    const double* k = constantsOf(record);
    const double trMin = reducedTemperature(k, k[slot::minTemp]);
    const double rhoMin = k[slot::critVolume] / k[slot::minLiquidVolume];
    const bool criticalConflict = std::fabs(tables.trCritical - 1) > 0.002 || std::fabs(tables.prCritical - 1) > 0.01;
    std::string summary;
    rung = 0;
    sound = false;
    for (int move = -1; move < static_cast<int>(std::size(kMoveExponents)); ++move) {
        if (move >= 0 && !criticalConflict) break;
        const ReferenceTables moved = move >= 0 ? correspondingStates(tables, trMin, rhoMin, kMoveExponents[move]) : tables;
        for (const Demands& demands : kLadder) {
            CheckReport verdict;
            // A moved table's vapor pressures are not the ones the targets judge: plain least squares.
            Weighting used = weighting;
            if (move >= 0) used.shapedVaporPressure = false;
            summary = fitMbwrOnce(record, facts, move >= 0 ? moved : tables, used, demands, verdict);
            ++rung;
            if (verdict.ok()) {
                sound = true;
                char how[80] = "";
                if (move >= 0) std::snprintf(how, sizeof how, " (table moved to the critical point, exponent %g)", kMoveExponents[move]);
                return "demands " + std::to_string(rung) + how + ": " + summary;
            }
        }
    }
    return "demands " + std::to_string(rung) + ": " + summary;
}

}  // namespace

// Fits the set under every weighting and keeps the sound one closest to the accuracy targets.
// The fluids fitted to the saturated liquid's enthalpy try each weighting twice, with a loose and
// a tight tolerance on it.
// A fluid that needs more than the two plainest demands under the first weighting (its fits
// take up to minutes each) keeps that first sound set. Where the reweighted vapor pressure
// leaves no sound set at all, everything is tried again with the plain least-squares one.
std::string fitMbwr(const RefrigerantRecord& record, const FitFacts& facts, const ReferenceTables& tables) {
    constexpr Weighting kWeightings[] = {
        {true, 3e-4, true, 5e-4},  {true, 1.7e-4, true, 5e-4},  {true, 1e-4, true, 5e-4},
        {false, 3e-4, true, 5e-4}, {false, 1.7e-4, true, 5e-4}, {false, 1e-4, true, 5e-4},
        {true, 3e-4, true, 2.5e-4}, {false, 1.7e-4, true, 2.5e-4}, {false, 1e-4, true, 2.5e-4}};
    // The fluids fitted to the saturated liquid's enthalpy try every weighting with a loose and
    // with a tight tolerance on it (relative change); the loose one first, since the first
    // weighting decides whether the others are tried.
    constexpr double kLiquidEnthalpySigmas[] = {2e-3, 2e-4};
    const std::size_t liquidSigmas = facts.liquidEnthalpy ? std::size(kLiquidEnthalpySigmas) : 1;
    constexpr int kCheapRungs = 2;
    double* block = record.constants->slots + slot::mbwrIdealGasCoeffs;
    constexpr int kBlockSize = 40;
    const bool lenient = tables.estimated || tables.sat.front().prBubble != tables.sat.front().prDew;
    std::vector<double> best;
    double bestScore = 1e300;
    std::string bestSummary;
    for (const bool shaped : {true, false}) {
        bool stop = false;
        for (std::size_t i = 0; i < std::size(kWeightings) && !stop; ++i) {
            for (std::size_t l = 0; l < liquidSigmas && !stop; ++l) {
                Weighting weighting = kWeightings[i];
                weighting.shapedVaporPressure = shaped;
                weighting.sigmaLiquidEnthalpy = kLiquidEnthalpySigmas[l];
                bool sound = false;
                int rung = 0;
                const std::string summary = fitMbwrWeighted(record, facts, tables, weighting, sound, rung);
                if (bestSummary.empty()) bestSummary = summary;
                if (sound) {
                    const double score = targetScore(measureAccuracy(record, tables), lenient, facts.liquidEnthalpy);
                    if (score < bestScore) {
                        bestScore = score;
                        best.assign(block, block + kBlockSize);
                        char how[160];
                        char liquid[48] = "";
                        if (facts.liquidEnthalpy)
                            std::snprintf(liquid, sizeof liquid, ", liquid enthalpy to %g", weighting.sigmaLiquidEnthalpy);
                        std::snprintf(how, sizeof how, "weighting %zu%s%s (score %.3g), ", i + 1, liquid,
                                      shaped ? "" : " with the plain vapor pressure", score);
                        bestSummary = how + summary;
                    }
                }
                stop = i == 0 && l == 0 && (!sound || rung > kCheapRungs);
            }
        }
        if (!best.empty()) break;
    }
    // without a sound set the last attempt stays in the block for the checks to reject
    if (!best.empty()) std::copy(best.begin(), best.end(), block);
    resetCoefficientCaches();
    return bestSummary;
}

namespace {

// Places minPressure where the fitted vapor-pressure equation puts it at minTemp (the fit
// pinned the equation to the table's pressure there, up to rounding).
void placeMinPressure(RefrigerantRecord& work) {
    double* k = work.constants->slots;
    k[slot::minPressure] = saturationPressure(work, k[slot::minTemp]);
    resetCoefficientCaches();
}

// The whole block, slots 0 on.
std::vector<double> blockOf(const RefrigerantRecord& work) {
    const double* k = constantsOf(work);
    return std::vector<double>(k, k + slot::mbwrSlots);
}

void restoreBlock(RefrigerantRecord& work, const std::vector<double>& block) {
    std::copy(block.begin(), block.end(), work.constants->slots);
    resetCoefficientCaches();
}

}  // namespace

std::string fitMbwrGenerated(RefrigerantRecord& work, const FitFacts& facts, const ReferenceTables& tables) {
    constexpr double kGammas[] = {0.25, 0.5, 1.0};
    constexpr double kLimitRaises[] = {2.0, 1.5, 1.25};
    double* k = work.constants->slots;
    const double pinnedMinPressure = k[slot::minPressure];
    const double tableMaxTemp = work.maxTemp, tableMaxPressure = work.maxPressure;
    const bool lenient = tables.estimated || tables.sat.front().prBubble != tables.sat.front().prDew;

    // gamma: the sound set closest to the targets at the table's own limits
    std::vector<double> best;
    double bestScore = 1e300;
    std::string summary = "no gamma gives a sound set";
    for (const double gamma : kGammas) {
        k[slot::gamma] = gamma;
        k[slot::minPressure] = pinnedMinPressure;
        const std::string fit = fitMbwr(work, facts, tables);
        placeMinPressure(work);
        if (!checkRecord(work, facts).ok()) continue;
        const double score = targetScore(measureAccuracy(work, tables), lenient, facts.liquidEnthalpy);
        if (score < bestScore) {
            bestScore = score;
            best = blockOf(work);
            char how[80];
            std::snprintf(how, sizeof how, "gamma %g (score %.3g), ", gamma, score);
            summary = how + fit;
        }
    }
    if (best.empty()) return summary;
    restoreBlock(work, best);

    // the limits: raised as far as a set with that gamma stays sound
    for (const double raise : kLimitRaises) {
        work.maxTemp = std::ceil(raise * (tableMaxTemp + kRankineOffset) - kRankineOffset);
        work.maxPressure = std::ceil(raise * tableMaxPressure);
        k[slot::minPressure] = pinnedMinPressure;
        const std::string fit = fitMbwr(work, facts, tables);
        placeMinPressure(work);
        if (checkRecord(work, facts).ok()) {
            char how[120];
            std::snprintf(how, sizeof how, "gamma %g, limits raised %g times (score %.3g), ", k[slot::gamma], raise,
                          targetScore(measureAccuracy(work, tables), lenient, facts.liquidEnthalpy));
            return how + fit;
        }
    }
    work.maxTemp = tableMaxTemp;
    work.maxPressure = tableMaxPressure;
    restoreBlock(work, best);
    return summary + "; the table's own limits";
}

}  // namespace kaltra::fit
