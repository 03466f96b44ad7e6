// The two correlations fitted on their own: the vapor-pressure equation and the ideal-gas
// heat capacity.
#include <algorithm>
#include <cmath>

#include "tools/fit/fit.h"

namespace kaltra::fit {
namespace {

// Above this reduced temperature the vapor pressure weighs less: the saturated states there
// come from the equation of state's near-critical shape more than from the vapor pressure.
constexpr double kNearCriticalTr = 0.95;
constexpr double kNearCriticalWeight = 0.3;
// Below a fade temperature (where the catalogue's own pressure at minTemp disagrees with the
// table) the table weighs little.
constexpr double kFadeWeight = 0.05;
// Reweighting steps of the vapor-pressure fit, and the bounds its median and 95th percentile
// deviation below 0.95 Tc are judged against.
constexpr int kLawsonSteps = 40;
constexpr double kMedianBound = 0.15;  // percent
constexpr double kP95Bound = 0.3;

// tau, tau^1.5, tau^4, tau^6.5 over Tr: the terms of ln(P/Pc)
Eigen::RowVector4d vaporPressureTerms(double tr) {
    const double tau = 1.0 - tr;
    Eigen::RowVector4d row;
    row << tau, std::pow(tau, 1.5), std::pow(tau, 4.0), std::pow(tau, 6.5);
    return row / tr;
}

// Basis of cp0/R - 1 of each form, and its Tr-derivative.
void idealBasis(IdealForm form, double tr, double basis[5], double slope[5]) {
    if (form == IdealForm::mbwr) {
        const double values[5] = {1.0, 1.0 / tr, tr, tr * tr, 1.0 / (tr * tr)};
        const double derivatives[5] = {0.0, -1.0 / (tr * tr), 1.0, 2.0 * tr, -2.0 / (tr * tr * tr)};
        std::copy(values, values + 5, basis);
        std::copy(derivatives, derivatives + 5, slope);
    } else {
        const double values[5] = {1.0, tr, tr * tr, tr * tr * tr, tr * tr * tr * tr};
        const double derivatives[5] = {0.0, 1.0, 2.0 * tr, 3.0 * tr * tr, 4.0 * tr * tr * tr};
        std::copy(values, values + 5, basis);
        std::copy(derivatives, derivatives + 5, slope);
    }
}

}  // namespace

void fitVaporPressure(const ReferenceTables& tables, double trPin, double prPin, double trFade, bool shaped,
                      double abcd[4]) {
    std::vector<const SatPoint*> points;
    for (const SatPoint& p : tables.sat)
        if (p.tr < 0.99995 && p.pr > 0 && p.pr < 1) points.push_back(&p);
    const Eigen::Index n = static_cast<Eigen::Index>(points.size());
    Eigen::MatrixXd a(n, 4);
    Eigen::VectorXd y(n), w = Eigen::VectorXd::Ones(n);
    // The table is denser near the critical point; every point weighs by the temperature
    // interval it stands for, so that the whole range counts evenly.
    for (Eigen::Index i = 0; i < n; ++i) {
        a.row(i) = vaporPressureTerms(points[i]->tr);
        y(i) = std::log(points[i]->pr);
        const double left = i > 0 ? points[i - 1]->tr : points[i]->tr;
        const double right = i + 1 < n ? points[i + 1]->tr : points[i]->tr;
        w(i) = std::sqrt(std::max(right - left, 1e-6)) * (points[i]->tr > kNearCriticalTr ? kNearCriticalWeight : 1.0) *
               (points[i]->tr < trFade ? kFadeWeight : 1.0);
    }
    Eigen::MatrixXd c(trPin > 0 ? 1 : 0, 4);
    Eigen::VectorXd d(c.rows());
    if (trPin > 0) {
        c.row(0) = vaporPressureTerms(trPin);
        d(0) = std::log(prPin);
    }
    // The four-term form cannot follow a table exactly; what counts is the deviation below
    // 0.95 Tc, median and 95th percentile. Starting from the least-squares fit, Lawson's
    // reweighting (each point's weight times its last deviation) walks towards the fit of the
    // smallest largest deviation; the step whose median and 95th percentile exceed their
    // bounds least (and then lie furthest inside them) wins.
    const auto judged = [&](Eigen::Index i) { return points[i]->tr < kNearCriticalTr; };
    Eigen::VectorXd lawson = Eigen::VectorXd::Ones(n), x, best(4);
    double bestScore = 1e300;
    for (int step = 0; step < (shaped ? kLawsonSteps : 1); ++step) {
        Eigen::VectorXd weights(n);
        for (Eigen::Index i = 0; i < n; ++i) weights(i) = w(i) * std::sqrt(lawson(i));
        if (!constrainedLeastSquares(a, y, weights, c, d, 0.0, x)) break;
        const Eigen::VectorXd deviation = (a * x - y).cwiseAbs();
        std::vector<double> inside;
        for (Eigen::Index i = 0; i < n; ++i)
            if (judged(i)) inside.push_back(100.0 * deviation(i));
        const Spread spread = spreadOf(inside);
        double score = 0;
        for (const double ratio : {spread.median / kMedianBound, spread.p95 / kP95Bound})
            score += std::max(ratio - 1.0, 0.0) + 0.05 * ratio;
        if (score < bestScore) {
            bestScore = score;
            best = x;
        }
        // Judged points share a mean weight of one; the others keep theirs.
        double total = 0, count = 0;
        for (Eigen::Index i = 0; i < n; ++i) {
            if (!judged(i)) continue;
            lawson(i) *= deviation(i) + 1e-12;
            total += lawson(i);
            count += 1;
        }
        for (Eigen::Index i = 0; i < n; ++i)
            if (judged(i)) lawson(i) *= count / total;
    }
    for (int i = 0; i < 4; ++i) abcd[i] = best(i);
}

double vaporPressureRatioOf(const double abcd[4], double tr) {
    if (tr >= 1.0) return 1.0;
    const double tau = 1.0 - tr;
    const double s = abcd[3] * std::pow(tau, 6.5) + abcd[2] * tau * tau * tau * tau + abcd[1] * std::pow(tau, 1.5) +
                     abcd[0] * tau;
    return std::exp(s / (1.0 - tau));
}

double idealCp0(IdealForm form, const double coefficients[5], double tr) {
    double basis[5], slope[5];
    idealBasis(form, tr, basis, slope);
    double cp0 = 1.0;
    for (int i = 0; i < 5; ++i) cp0 += coefficients[i] * basis[i];
    return cp0;
}

void fitIdealGas(const ReferenceTables& tables, const FitFacts& facts, IdealForm form, double trMin, double trMax,
                 double coefficients[5]) {
    // A single atom has cp0 = 5/2 R at every temperature.
    if (facts.monatomic) {
        std::fill(coefficients, coefficients + 5, 0.0);
        coefficients[0] = 1.5;
        return;
    }
    const std::size_t n = tables.ideal.size();
    double tableTop = 0;
    Eigen::MatrixXd a(n, 5);
    Eigen::VectorXd y(n), w(n);
    for (std::size_t i = 0; i < n; ++i) {
        double basis[5], slope[5];
        idealBasis(form, tables.ideal[i].tr, basis, slope);
        for (int j = 0; j < 5; ++j) a(i, j) = basis[j];
        y(i) = tables.ideal[i].cp0 - 1.0;
        w(i) = 1.0 / tables.ideal[i].cp0;  // relative error
        tableTop = std::max(tableTop, tables.ideal[i].tr);
    }

    // Inequalities on a grid over the whole range, made active one at a time where violated:
    // cv0 > 0, cp0 at most the classical limit, and cp0 not falling beyond the table.
    constexpr int kGrid = 400;
    constexpr double kLowerBound = 1.05;  // cp0/R; every real gas has at least 5/2
    std::vector<Eigen::Matrix<double, 1, 5>> rows;
    std::vector<double> bounds;
    Eigen::VectorXd x;
    for (int round = 0; round < 40; ++round) {
        Eigen::MatrixXd c(rows.size(), 5);
        Eigen::VectorXd d(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            c.row(i) = rows[i];
            d(i) = bounds[i];
        }
        if (!constrainedLeastSquares(a, y, w, c, d, 0.0, x)) break;
        double worst = 0;
        Eigen::Matrix<double, 1, 5> worstRow;
        double worstBound = 0;
        for (int g = 0; g <= kGrid; ++g) {
            const double tr = trMin + (trMax - trMin) * g / kGrid;
            double basis[5], slope[5];
            idealBasis(form, tr, basis, slope);
            Eigen::Matrix<double, 1, 5> b, s;
            for (int j = 0; j < 5; ++j) {
                b(j) = basis[j];
                s(j) = slope[j];
            }
            const double cp0 = 1.0 + b.dot(x);
            const double limit = facts.classicalCp0 * 0.995;
            if (cp0 - 1.0 < kLowerBound - 1.0 && kLowerBound - cp0 > worst) {
                worst = kLowerBound - cp0;
                worstRow = b;
                worstBound = kLowerBound - 1.0;
            }
            if (cp0 > limit && (cp0 - limit) > worst) {
                worst = cp0 - limit;
                worstRow = b;
                worstBound = limit - 1.0;
            }
            const double dcp0 = s.dot(x);
            if (tr > tableTop && dcp0 < 0 && -dcp0 * (trMax - tableTop) > worst) {
                worst = -dcp0 * (trMax - tableTop);
                worstRow = s;
                worstBound = 0.0;
            }
        }
        if (worst <= 0) break;
        rows.push_back(worstRow);
        bounds.push_back(worstBound);
    }
    for (int j = 0; j < 5; ++j) coefficients[j] = x(j);
}

}  // namespace kaltra::fit
