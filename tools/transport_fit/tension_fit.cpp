// The surface-tension series sigma = c1 tau^e1 + c2 tau^e2 + c3 tau^e3 fitted to a table's
// column in relative deviation: for given exponents the coefficients are a linear least-squares
// problem; the exponents are searched on a grid and refined by simplex steps.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "tools/transport_fit/transport_fit.h"

namespace kaltra::transportfit {
namespace {

constexpr int kMaxTerms = 3;
constexpr double kPercent = 100.0;
constexpr double kHuge = std::numeric_limits<double>::max();
// Grid of exponents searched before the simplex refinement; three terms on a coarser grid
// (its triples are many), the simplex closing the rest.
constexpr double kGridStep = 0.05;
constexpr double kThreeTermGridStep = 0.1;
// Exponents this close to the smallest gap still count as apart (grid rounding).
constexpr double kGapTolerance = 1e-9;
// Simplex (Nelder-Mead) refinement of the exponents: fixed step count, first step size.
constexpr int kSimplexSteps = 400;
constexpr double kSimplexStart = 0.02;

using Exponents = std::array<double, kMaxTerms>;

// Least squares of sum_k c_k a_k = 1 over the rows, the columns a_k given (for the series,
// a_k = tau^e_k / sigma: the relative deviation), by Householder reflections of the
// n x terms matrix. Gives the residual sum of squares; false when the columns are dependent.
bool leastSquaresOfColumns(const double* const columns[kMaxTerms], std::size_t n, int terms,
                           double coefficients[kMaxTerms], double& residual) {
    if (n < static_cast<std::size_t>(terms)) return false;
    // working arrays kept between calls: the grid search solves hundreds of thousands of these
    static thread_local std::vector<double> a, b, v;
    a.assign(n * kMaxTerms, 0.0);
    b.assign(n, 1.0);
    v.assign(n, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        for (int k = 0; k < terms; ++k) a[i * kMaxTerms + k] = columns[k][i];
    double r[kMaxTerms][kMaxTerms] = {};
    for (int k = 0; k < terms; ++k) {
        double norm = 0.0;
        for (std::size_t i = k; i < n; ++i) norm += a[i * kMaxTerms + k] * a[i * kMaxTerms + k];
        norm = std::sqrt(norm);
        if (!(norm > 0.0)) return false;
        const double alpha = a[k * kMaxTerms + k] > 0.0 ? -norm : norm;
        // reflector v = a_k - alpha e_k, applied to the remaining columns and to b
        double vv = 0.0;
        for (std::size_t i = k; i < n; ++i) {
            v[i] = a[i * kMaxTerms + k] - (i == static_cast<std::size_t>(k) ? alpha : 0.0);
            vv += v[i] * v[i];
        }
        if (!(vv > 0.0)) return false;
        for (int j = k; j < terms; ++j) {
            double dot = 0.0;
            for (std::size_t i = k; i < n; ++i) dot += v[i] * a[i * kMaxTerms + j];
            const double f = 2.0 * dot / vv;
            for (std::size_t i = k; i < n; ++i) a[i * kMaxTerms + j] -= f * v[i];
        }
        double dot = 0.0;
        for (std::size_t i = k; i < n; ++i) dot += v[i] * b[i];
        const double f = 2.0 * dot / vv;
        for (std::size_t i = k; i < n; ++i) b[i] -= f * v[i];
        for (int j = k; j < terms; ++j) r[k][j] = a[k * kMaxTerms + j];
    }
    // back substitution R c = Q^T b
    for (int k = terms - 1; k >= 0; --k) {
        if (std::fabs(r[k][k]) < 1e-13 * std::fabs(r[0][0])) return false;
        double sum = b[k];
        for (int j = k + 1; j < terms; ++j) sum -= r[k][j] * coefficients[j];
        coefficients[k] = sum / r[k][k];
    }
    residual = 0.0;
    for (std::size_t i = terms; i < n; ++i) residual += b[i] * b[i];
    return std::isfinite(residual);
}

// The column tau^e / sigma of every sample.
std::vector<double> columnOf(const std::vector<TensionSample>& samples, double e) {
    std::vector<double> column;
    for (const TensionSample& s : samples) column.push_back(std::pow(s.tau, e) / s.sigma);
    return column;
}

bool relativeLeastSquares(const std::vector<TensionSample>& samples, const Exponents& e, int terms,
                          double coefficients[kMaxTerms], double& residual) {
    std::vector<double> columns[kMaxTerms];
    const double* pointers[kMaxTerms] = {nullptr, nullptr, nullptr};
    for (int k = 0; k < terms; ++k) {
        columns[k] = columnOf(samples, e[k]);
        pointers[k] = columns[k].data();
    }
    return leastSquaresOfColumns(pointers, samples.size(), terms, coefficients, residual);
}

// True when the exponents are inside the searched range, rising, and far enough apart.
bool admissible(const Exponents& e, int terms) {
    for (int k = 0; k < terms; ++k)
        if (e[k] < kLowestExponent || e[k] > kHighestExponent) return false;
    for (int k = 1; k < terms; ++k)
        if (e[k] - e[k - 1] < kExponentGap - kGapTolerance) return false;
    return true;
}

// The residual sum of squares of the best coefficients for these exponents, kHuge when the
// exponents are not admissible or the columns dependent.
double residualOf(const std::vector<TensionSample>& samples, const Exponents& e, int terms) {
    if (!admissible(e, terms)) return kHuge;
    double c[kMaxTerms];
    double residual = 0.0;
    if (!relativeLeastSquares(samples, e, terms, c, residual)) return kHuge;
    return residual;
}

SurfaceTensionEntry rowOf(const std::vector<TensionSample>& samples, const Exponents& e, int terms) {
    double c[kMaxTerms] = {0.0, 0.0, 0.0};
    double residual = 0.0;
    relativeLeastSquares(samples, e, terms, c, residual);
    SurfaceTensionEntry row{c[0], e[0], 0.0, 0.0, 0.0, 0.0};
    if (terms > 1) {
        row.coeff2 = c[1];
        row.exp2 = e[1];
    }
    if (terms > 2) {
        row.coeff3 = c[2];
        row.exp3 = e[2];
    }
    return row;
}

// Every admissible set of grid exponents, the best one kept (the first found on ties). The
// columns of the grid exponents are computed once.
Exponents gridSearch(const std::vector<TensionSample>& samples, int terms) {
    const double step = terms > 2 ? kThreeTermGridStep : kGridStep;
    const int steps = static_cast<int>(std::floor((kHighestExponent - kLowestExponent) / step + 0.5));
    std::vector<std::vector<double>> columns;
    for (int g = 0; g <= steps; ++g) columns.push_back(columnOf(samples, kLowestExponent + step * g));
    Exponents best{1.0, 0.0, 0.0};
    double bestResidual = kHuge;
    int index[kMaxTerms] = {0, 0, 0};
    const int last1 = terms > 1 ? steps : 0;
    const int last2 = terms > 2 ? steps : 0;
    for (index[0] = 0; index[0] <= steps; ++index[0]) {
        for (index[1] = terms > 1 ? index[0] + 1 : 0; index[1] <= last1; ++index[1]) {
            for (index[2] = terms > 2 ? index[1] + 1 : 0; index[2] <= last2; ++index[2]) {
                Exponents e{0.0, 0.0, 0.0};
                const double* pointers[kMaxTerms] = {nullptr, nullptr, nullptr};
                for (int k = 0; k < terms; ++k) {
                    e[k] = kLowestExponent + step * index[k];
                    pointers[k] = columns[static_cast<std::size_t>(index[k])].data();
                }
                if (!admissible(e, terms)) continue;
                double c[kMaxTerms];
                double residual = 0.0;
                if (!leastSquaresOfColumns(pointers, samples.size(), terms, c, residual)) continue;
                if (residual < bestResidual) {
                    bestResidual = residual;
                    best = e;
                }
            }
        }
    }
    return best;
}

// Nelder-Mead simplex on the exponents, a fixed number of steps from the grid's best point.
Exponents simplexRefine(const std::vector<TensionSample>& samples, const Exponents& start, int terms) {
    const int vertices = terms + 1;
    std::array<Exponents, kMaxTerms + 1> x{};
    std::array<double, kMaxTerms + 1> f{};
    for (int v = 0; v < vertices; ++v) {
        x[v] = start;
        if (v > 0) x[v][v - 1] += kSimplexStart;
        f[v] = residualOf(samples, x[v], terms);
    }
    for (int step = 0; step < kSimplexSteps; ++step) {
        // order the vertices, best first (stable: ties keep their order)
        for (int i = 1; i < vertices; ++i)
            for (int j = i; j > 0 && f[j] < f[j - 1]; --j) {
                std::swap(f[j], f[j - 1]);
                std::swap(x[j], x[j - 1]);
            }
        const int worst = vertices - 1;
        Exponents centroid{0.0, 0.0, 0.0};
        for (int v = 0; v < worst; ++v)
            for (int k = 0; k < terms; ++k) centroid[k] += x[v][k] / worst;
        auto toward = [&](double t) {
            Exponents p{0.0, 0.0, 0.0};
            for (int k = 0; k < terms; ++k) p[k] = centroid[k] + t * (x[worst][k] - centroid[k]);
            return p;
        };
        const Exponents reflected = toward(-1.0);
        const double fr = residualOf(samples, reflected, terms);
        if (fr < f[0]) {
            const Exponents expanded = toward(-2.0);
            const double fe = residualOf(samples, expanded, terms);
            if (fe < fr) {
                x[worst] = expanded;
                f[worst] = fe;
            } else {
                x[worst] = reflected;
                f[worst] = fr;
            }
        } else if (fr < f[worst - 1]) {
            x[worst] = reflected;
            f[worst] = fr;
        } else {
            const Exponents contracted = fr < f[worst] ? toward(-0.5) : toward(0.5);
            const double fc = residualOf(samples, contracted, terms);
            if (fc < std::min(fr, f[worst])) {
                x[worst] = contracted;
                f[worst] = fc;
            } else {
                // shrink towards the best vertex
                for (int v = 1; v < vertices; ++v) {
                    for (int k = 0; k < terms; ++k) x[v][k] = x[0][k] + 0.5 * (x[v][k] - x[0][k]);
                    f[v] = residualOf(samples, x[v], terms);
                }
            }
        }
    }
    int best = 0;
    for (int v = 1; v < vertices; ++v)
        if (f[v] < f[best]) best = v;
    return x[best];
}

Exponents exponentsOf(const SurfaceTensionEntry& row) { return {row.exp1, row.exp2, row.exp3}; }

// The row with every number rounded to `digits` significant digits: the exponents first, the
// coefficients solved again for the rounded exponents, then rounded.
SurfaceTensionEntry roundedRow(const std::vector<TensionSample>& samples, const SurfaceTensionEntry& row,
                               int digits) {
    SurfaceTensionEntry r = row;
    r.exp1 = roundSignificant(r.exp1, digits);
    if (r.exp2 > 0.0) r.exp2 = roundSignificant(r.exp2, digits);
    if (r.exp3 > 0.0) r.exp3 = roundSignificant(r.exp3, digits);
    r = solveTensionCoefficients(samples, r);
    r.coeff1 = roundSignificant(r.coeff1, digits);
    r.coeff2 = roundSignificant(r.coeff2, digits);
    r.coeff3 = roundSignificant(r.coeff3, digits);
    return r;
}

}  // namespace

double roundSignificant(double x, int digits) {
    if (x == 0.0 || !std::isfinite(x)) return x;
    // through the decimal text, so that the result is the double nearest to the written number
    char text[64];
    std::snprintf(text, sizeof text, "%.*e", digits - 1, x);
    return std::strtod(text, nullptr);
}

int termsOf(const SurfaceTensionEntry& row) {
    if (row.exp2 > 0.0 && row.exp3 > 0.0) return 3;
    if (row.exp2 > 0.0 || row.exp3 > 0.0) return 2;
    return 1;
}

Spread tensionSpread(const std::vector<TensionSample>& samples, const SurfaceTensionEntry& row) {
    std::vector<double> deviations;
    for (const TensionSample& s : samples)
        deviations.push_back((surfaceTensionSeries(row, s.tau) / s.sigma - 1.0) * kPercent);
    return spreadOf(deviations);
}

SurfaceTensionEntry solveTensionCoefficients(const std::vector<TensionSample>& samples, SurfaceTensionEntry row) {
    const int terms = termsOf(row);
    Exponents e = exponentsOf(row);
    if (terms == 2 && !(row.exp2 > 0.0)) e[1] = row.exp3;  // a lone third term counts as the second
    double c[kMaxTerms] = {0.0, 0.0, 0.0};
    double residual = 0.0;
    if (!relativeLeastSquares(samples, e, terms, c, residual)) return row;
    row.coeff1 = c[0];
    if (terms > 1) {
        if (row.exp2 > 0.0) row.coeff2 = c[1];
        else row.coeff3 = c[1];
    }
    if (terms > 2) row.coeff3 = c[2];
    return row;
}

SurfaceTensionEntry fitTensionSeries(const std::vector<TensionSample>& samples, int terms) {
    terms = std::clamp(terms, 1, kMaxTerms);
    const Exponents grid = gridSearch(samples, terms);
    const Exponents refined = simplexRefine(samples, grid, terms);
    return rowOf(samples, refined, terms);
}

SurfaceTensionEntry fitSurfaceTension(const std::vector<TensionSample>& samples) {
    SurfaceTensionEntry row = fitTensionSeries(samples, 1);
    double worst = tensionSpread(samples, row).max;
    for (int terms = 2; terms <= kMaxTerms && worst > kTensionTolerance; ++terms) {
        // a further term only when it at least halves the largest deviation
        const SurfaceTensionEntry more = fitTensionSeries(samples, terms);
        const double moreWorst = tensionSpread(samples, more).max;
        if (!(moreWorst <= 0.5 * worst)) break;
        row = more;
        worst = moreWorst;
    }
    const SurfaceTensionEntry rounded = roundedRow(samples, row, kRoundedDigits);
    if (tensionSpread(samples, rounded).max <= std::max(kTensionTolerance, worst + kRoundingAllowance)) return rounded;
    return roundedRow(samples, row, kFullDigits);
}

}  // namespace kaltra::transportfit
