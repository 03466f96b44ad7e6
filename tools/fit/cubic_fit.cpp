// Fit of the cubic form. The three critical conditions (Pr = 1, zero slope and zero
// curvature at Tr = 1, vr = 1) fix a0, c0 and d0 in closed form from the co-volume b, so the
// equation has four free parameters, b, ma, mc and md, fitted by Levenberg-Marquardt to the
// saturated densities, the heat of vaporization and the single-phase densities as the
// engine's own volume solver answers them.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "thermo/thermo.h"
#include "tools/fit/fit.h"

namespace kaltra::fit {
namespace {

// Relative errors that weigh as one unit, per kind of datum.
constexpr double kSigmaLiquidDensity = 1e-3;
constexpr double kSigmaVaporDensity = 2e-3;
constexpr double kSigmaHeatOfVaporization = 2e-3;
constexpr double kSigmaSingleDensity = 3e-3;
constexpr double kSigmaPhaseEquilibrium = 2e-3;
// The liquid search of the cubic volume solver starts at this reduced volume.
constexpr double kLiquidBracketLow = 0.3;
constexpr int kPoleChecks = 40;
constexpr double kPoleMargin = 0.01;
constexpr double kCriticalSlopeMargin = 0.003;

struct CubicParams {
    double a0, b, c0, d0, ma, mc, md;
};

// a0, c0, d0 from b: with u = 1/(1 - b) and q = u - Zc the critical conditions give
// D = 1 + c0 - d0^2 = q^2/(u^3 Zc), D' = 2 + c0 = q/(u Zc) and a0 = q D.
bool criticalParams(double zc, double b, double ma, double mc, double md, CubicParams& p) {
    const double u = 1.0 / (1.0 - b);
    const double q = u - zc;
    const double dd = q * q / (u * u * u * zc);
    const double c0 = q / (u * zc) - 2.0;
    const double d2 = 1.0 + c0 - dd;
    if (!(d2 > 0) || !(q > 0)) return false;
    p = {q * dd, b, c0, std::sqrt(d2), ma, mc, md};
    return true;
}

void storeParams(double* k, const CubicParams& p) {
    double* c = k + slot::cubicParams;
    c[0] = p.a0;
    c[1] = p.b;
    c[2] = p.c0;
    c[3] = p.d0;
    c[4] = p.ma;
    c[5] = p.mc;
    c[6] = p.md;
}

struct Problem {
    const RefrigerantRecord* record;
    const ReferenceTables* tables;
    double zc, trMin, trMax, trBand, prMax;
    std::vector<const SatPoint*> sat;
    std::vector<const SinglePoint*> single;
};

// Weighted residuals of the parameters theta = (b, ma, mc, md); false where the parameters
// admit no critical point.
bool residuals(const Problem& q, const double theta[4], Eigen::VectorXd& r) {
    CubicParams p;
    if (!criticalParams(q.zc, theta[0], theta[1], theta[2], theta[3], p)) return false;
    const RefrigerantRecord& record = *q.record;
    storeParams(record.constants->slots, p);
    const double nSat = std::max<std::size_t>(q.sat.size(), 1), nSingle = std::max<std::size_t>(q.single.size(), 1);
    const double wl = 1.0 / (kSigmaLiquidDensity * std::sqrt(nSat));
    const double wv = 1.0 / (kSigmaVaporDensity * std::sqrt(nSat));
    const double wh = 1.0 / (kSigmaHeatOfVaporization * std::sqrt(nSat));
    const double ws = 1.0 / (kSigmaSingleDensity * std::sqrt(nSingle));
    const double wg = 1.0 / (kSigmaPhaseEquilibrium * std::sqrt(nSat));
    r.resize(4 * q.sat.size() + q.single.size() + 3 + kPoleChecks);
    Eigen::Index i = 0;
    for (const SatPoint* s : q.sat) {
        const double pr = vaporPressureRatio(record, s->tr);
        const double vl = cubicVolume(record, s->tr, pr, kLiquidRoot);
        const double vv = cubicVolume(record, s->tr, pr, kVaporRoot);
        r(i++) = wl * (1.0 / (vl * s->rhoL) - 1.0);
        r(i++) = wv * (1.0 / (vv * s->rhoV) - 1.0);
        const double dh = reducedEnthalpy(record, s->tr, 1.0 / vv) - reducedEnthalpy(record, s->tr, 1.0 / vl);
        r(i++) = wh * (dh / (s->hV - s->hL) - 1.0);
        // Equal Gibbs energies of the two roots at the vapor pressure, as a relative pressure:
        // dG/(R T) = (Zv - Zl) dP/P.
        const double dg = reducedGibbs(record, s->tr, 1.0 / vv) - reducedGibbs(record, s->tr, 1.0 / vl);
        r(i++) = wg * dg / (s->tr * q.zc * pr / s->tr * (vv - vl));
    }
    for (const SinglePoint* s : q.single) {
        int hint = kAnyRoot;
        if (s->tr < q.trBand) hint = vaporPressureRatio(record, s->tr) > s->pr ? kVaporRoot : kLiquidRoot;
        const double v = cubicVolume(record, s->tr, s->pr, hint);
        r(i++) = ws * (1.0 / (v * s->rho) - 1.0);
    }
    // Every liquid root, up to the highest pressure at minTemp, must lie inside the liquid
    // search bracket [0.3, 1], and the co-volume below it, so that no midpoint of a search
    // meets the -999 mark.
    const double pAtLow = cubicPressure(record, q.trMin, kLiquidBracketLow + 0.002);
    r(i++) = pAtLow > 1.05 * q.prMax ? 0.0 : 1e3 * (1.0 + std::fabs(pAtLow - q.prMax));
    r(i++) = p.b < kLiquidBracketLow - 0.001 ? 0.0 : 1e4 * (1.0 + p.b - kLiquidBracketLow);
    // The attractive term's pole, the largest root r1 of vr^2 + c vr - d^2, must stay below
    // the co-volume over the whole range.
    for (int j = 0; j < kPoleChecks; ++j) {
        const double tr = q.trMin + (q.trMax - q.trMin) * j / (kPoleChecks - 1);
        const double c = p.c0 / std::pow(tr, p.mc), d = p.d0 / std::pow(tr, p.md);
        const double r1 = (-c + std::sqrt(c * c + 4.0 * d * d)) / 2.0;
        r(i++) = r1 < p.b - kPoleMargin ? 0.0 : 1e4 * (1.0 + r1 - p.b + kPoleMargin);
    }
    // Along the critical isochore the pressure may rise with temperature no faster than the
    // vapor pressure does at the critical point (both slopes are equal in a real fluid);
    // otherwise the vapor root just below the critical temperature falls outside the vapor
    // search, which starts at the critical volume. dPr/dTr of the vapor pressure there is -A.
    const double h = 1e-5;
    const double eosSlope = (cubicPressure(record, 1.0 + h, 1.0) - cubicPressure(record, 1.0 - h, 1.0)) / (2.0 * h);
    const double vpSlope = -constantsOf(record)[slot::cubicVaporPressureCoeffs];
    r(i++) = eosSlope < vpSlope * (1.0 - kCriticalSlopeMargin) ? 0.0 : 1e3 * (1.0 + eosSlope - vpSlope);
    return r.allFinite();
}

double cost(const Eigen::VectorXd& r) { return r.squaredNorm(); }

}  // namespace

std::string fitCubic(const RefrigerantRecord& record, const FitFacts& facts, const ReferenceTables& tables) {
    double* k = record.constants->slots;
    Problem q;
    q.record = &record;
    q.tables = &tables;
    q.zc = k[slot::critZ];
    q.trMin = reducedTemperature(k, k[slot::minTemp]);
    q.trBand = reducedTemperature(k, k[slot::critTemp] - 0.01);
    const double trMax = reducedTemperature(k, record.maxTemp);
    q.trMax = trMax;
    q.prMax = record.maxPressure / k[slot::critPressure];

    // ---- Vapor pressure (the first lookup derives minPressure from it) and ideal gas
    double abcd[4];
    fitVaporPressure(tables, 0.0, 0.0, 0.0, true, abcd);
    for (int i = 0; i < 4; ++i) k[slot::cubicVaporPressureCoeffs + i] = abcd[i];
    double ideal[5];
    fitIdealGas(tables, facts, IdealForm::cubic, q.trMin, trMax, ideal);
    for (int i = 0; i < 5; ++i) k[slot::cubicIdealGasCoeffs + i] = ideal[i];
    k[slot::entropyRef] = 0.0;
    k[slot::energyRef] = 0.0;

    for (const SatPoint& s : tables.sat)
        if (s.tr < 0.999 && s.tr >= q.trMin && std::isfinite(s.rhoL) && std::isfinite(s.rhoV) && std::isfinite(s.hL) &&
            std::isfinite(s.hV))
            q.sat.push_back(&s);
    // The cubic solver without a phase preference searches reduced volumes up to 20000: more
    // dilute states near and above the critical temperature are out of its reach for any set.
    for (const SinglePoint& s : tables.single)
        if (s.tr >= q.trMin && !(s.tr >= q.trBand && s.tr / (q.zc * s.pr) > 10000.0)) q.single.push_back(&s);

    // ---- Start: the best co-volume on a grid, with the temperature exponents of a typical
    // halocarbon; then Levenberg-Marquardt on all four parameters.
    double theta[4] = {0.32, 0.55, 0.73, 0.38};
    double best = 1e300;
    Eigen::VectorXd r;
    for (double b = 0.2; b <= 0.2985; b += 0.0025) {
        const double trial[4] = {b, 0.55, 0.73, 0.38};
        if (!residuals(q, trial, r)) continue;
        if (cost(r) < best) {
            best = cost(r);
            std::copy(trial, trial + 4, theta);
        }
    }
    residuals(q, theta, r);
    double current = cost(r);
    double lambda = 1e-3;
    int iterations = 0;
    for (iterations = 0; iterations < 60; ++iterations) {
        Eigen::MatrixXd jac(r.size(), 4);
        bool ok = true;
        for (int j = 0; j < 4 && ok; ++j) {
            const double h = 1e-6 * std::max(1.0, std::fabs(theta[j]));
            double up[4], down[4];
            std::copy(theta, theta + 4, up);
            std::copy(theta, theta + 4, down);
            up[j] += h;
            down[j] -= h;
            Eigen::VectorXd ru, rd;
            ok = residuals(q, up, ru) && residuals(q, down, rd);
            if (ok) jac.col(j) = (ru - rd) / (2.0 * h);
        }
        if (!ok) break;
        const Eigen::MatrixXd jtj = jac.transpose() * jac;
        const Eigen::VectorXd jtr = jac.transpose() * r;
        bool improved = false;
        for (int attempt = 0; attempt < 12; ++attempt) {
            Eigen::MatrixXd damped = jtj;
            for (int j = 0; j < 4; ++j) damped(j, j) += lambda * (jtj(j, j) + 1e-12);
            const Eigen::VectorXd step = damped.ldlt().solve(-jtr);
            double trial[4];
            for (int j = 0; j < 4; ++j) trial[j] = theta[j] + step(j);
            Eigen::VectorXd rt;
            if (residuals(q, trial, rt) && cost(rt) < current) {
                std::copy(trial, trial + 4, theta);
                r = rt;
                const double gain = current - cost(rt);
                current = cost(rt);
                lambda = std::max(lambda / 3.0, 1e-9);
                improved = gain > 1e-10 * current;
                break;
            }
            lambda *= 4.0;
        }
        if (!improved) break;
    }
    residuals(q, theta, r);  // leaves the best parameters in the block
    char summary[200];
    std::snprintf(summary, sizeof summary, "b %.5g ma %.4g mc %.4g md %.4g, %d iterations, cost %.4g", theta[0], theta[1],
                  theta[2], theta[3], iterations, current);
    return summary;
}

}  // namespace kaltra::fit
