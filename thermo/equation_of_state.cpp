// The equation of state in reduced variables: the MBWR form with its four temperature-
// coefficient caches, and the cubic form.
//
// Each MBWR operation keeps its own cache of the values that depend on Tr alone, keyed by
// the record and Tr. A call whose Tr lies within 2^-23 of the cached Tr, for the same
// record, reuses the cached values, including the cached Tr itself; every other call
// recomputes them. The density-dependent factor E = exp(-gamma rhor^2) is formed on every
// call.
#include <cmath>

#include "thermo/counters.h"
#include "thermo/thermo.h"

namespace kaltra {
namespace {

// Two reduced temperatures closer than this share one set of temperature coefficients.
constexpr double kCacheTolerance = 1.1920928955078125e-7;  // 2^-23

// b1 .. b29 of the record, b[1] being b1 (b[0] is unused).
struct MbwrB {
    double b[30];
};

MbwrB mbwrB(const RefrigerantRecord& record) {
    MbwrB coefficients{};
    const double* c = constantsOf(record) + slot::mbwrCoeffs;
    for (int i = 1; i <= 29; ++i) coefficients.b[i] = c[i - 1];
    return coefficients;
}

// Temperature coefficients of the pressure: Tr, a2 .. a9, c1 .. c6.
struct PressureCoefficients {
    double tr;
    double a2, a3, a4, a5, a6, a7, a8, a9;
    double c1, c2, c3, c4, c5, c6;
};

// One cache of the pressure coefficients (mbwrPressure and mbwrPressureSlope keep one each).
struct PressureCache {
    const RefrigerantRecord* record;
    double tr;
    PressureCoefficients k;
};

// Temperature coefficients of the residual integral: polynomial[n] = an/((n-1) T) for
// n = 2..9 and exponential[j] = dj/T for j = 1..5; the derivative cache holds their
// Tr-derivatives in the same layout.
struct ResidualCoefficients {
    double polynomial[10];
    double exponential[6];
};

struct ResidualCache {
    const RefrigerantRecord* record;
    double tr;
    ResidualCoefficients k;
};

// The four caches, one per operation, empty at load (no record, Tr = 0); a worksheet call never
// clears them.
PressureCache pressureCache{nullptr, 0.0, {}};        // mbwrPressure
PressureCache pressureSlopeCache{nullptr, 0.0, {}};   // mbwrPressureSlope
ResidualCache residualCache{nullptr, 0.0, {}};        // mbwrResidual
ResidualCache residualSlopeCache{nullptr, 0.0, {}};   // mbwrResidualDT

// A miss when Tr lies more than 2^-23 from the cached Tr or the record differs. Written as
// "not within" so that a NaN on either side counts as a miss and never sticks in the cache.
bool cacheMisses(const RefrigerantRecord* cachedRecord, double cachedTr, const RefrigerantRecord& record,
                 double tr) {
    return !(std::fabs(tr - cachedTr) <= kCacheTolerance) || cachedRecord != &record;
}

// Temperature coefficients of the MBWR pressure at T = Tr.
PressureCoefficients pressureCoefficients(const RefrigerantRecord& record, double t) {
    const MbwrB m = mbwrB(record);
    const double* b = m.b;
    const double g = constantsOf(record)[slot::gamma];
    const double t2 = t * t;
    const double t3 = t2 * t;
    const double sqrtT = std::sqrt(t);
    const double g2 = g * g;
    const double g3 = g2 * g;
    const double g4 = g3 * g;
    const double g5 = g4 * g;

    PressureCoefficients k;
    k.tr = t;
    k.a2 = b[1] * t2 + b[2] * (t * sqrtT) + b[3] * t + b[4] + b[5] / t;
    k.a3 = b[6] * t2 + b[7] * t + b[8] + b[9] / t;
    k.a4 = b[10] * t2 + b[11] * t + b[12];
    k.a5 = b[13] * t;
    k.a6 = b[14] + b[15] / t;
    k.a7 = b[16];
    k.a8 = b[17] + b[18] / t;
    k.a9 = b[19] / t;
    k.c1 = b[20] / t + b[21] / t2;
    k.c2 = b[22] / t + b[23] / t3;
    k.c3 = b[24] / t + b[25] / t2;
    k.c4 = b[26] / t + b[27] / t3;
    k.c5 = b[28] / t + b[29] / t2;
    // c6 = -(g^5 c1 + g^4 c2 + 2 g^3 c3 + 6 g^2 c4 + 24 g c5)/120, grouped by powers of 1/T
    k.c6 = -(g5 * b[20] / 120.0 + g4 * b[22] / 120.0 + g3 * b[24] / 60.0 + g2 * b[26] / 20.0 + g * b[28] / 5.0) / t
           - (g5 * b[21] / 120.0 + g3 * b[25] / 60.0 + g * b[29] / 5.0) / t2
           - (g4 * b[23] / 120.0 + g2 * b[27] / 20.0) / t3;
    return k;
}

// Exponential-part coefficients of the residual integral, dj = pj1/T + pj2/T^2 + pj3/T^3,
// with d1 = c1/2 and dj = (cj + 2 gamma d(j-1))/(2j).
struct ExponentialTerms {
    double d[6][3];  // d[j][0..2]: coefficients of 1/T, 1/T^2, 1/T^3 in dj (j = 1..5)
};

ExponentialTerms exponentialTerms(const RefrigerantRecord& record) {
    const MbwrB m = mbwrB(record);
    const double* b = m.b;
    const double g = constantsOf(record)[slot::gamma];
    const double g2 = g * g;
    const double g3 = g2 * g;
    const double g4 = g3 * g;

    ExponentialTerms x{};
    // d1 = c1/2
    x.d[1][0] = b[20] / 2.0;
    x.d[1][1] = b[21] / 2.0;
    x.d[1][2] = 0.0;
    // d2 = c2/4 + g c1/4
    x.d[2][0] = b[22] / 4.0 + g * b[20] / 4.0;
    x.d[2][1] = g * b[21] / 4.0;
    x.d[2][2] = b[23] / 4.0;
    // d3 = c3/6 + g c2/12 + g^2 c1/12
    x.d[3][0] = b[24] / 6.0 + g * b[22] / 12.0 + g2 * b[20] / 12.0;
    x.d[3][1] = b[25] / 6.0 + g2 * b[21] / 12.0;
    x.d[3][2] = g * b[23] / 12.0;
    // d4 = c4/8 + g c3/24 + g^2 c2/48 + g^3 c1/48
    x.d[4][0] = b[26] / 8.0 + g * b[24] / 24.0 + g2 * b[22] / 48.0 + g3 * b[20] / 48.0;
    x.d[4][1] = g * b[25] / 24.0 + g3 * b[21] / 48.0;
    x.d[4][2] = b[27] / 8.0 + g2 * b[23] / 48.0;
    // d5 = c5/10 + g c4/40 + g^2 c3/120 + g^3 c2/240 + g^4 c1/240
    x.d[5][0] = b[28] / 10.0 + g * b[26] / 40.0 + g2 * b[24] / 120.0 + g3 * b[22] / 240.0 + g4 * b[20] / 240.0;
    x.d[5][1] = b[29] / 10.0 + g2 * b[25] / 120.0 + g4 * b[21] / 240.0;
    x.d[5][2] = g * b[27] / 40.0 + g3 * b[23] / 240.0;
    return x;
}

// Values of the residual integral at T = Tr: an/((n-1) T) and dj/T.
ResidualCoefficients residualCoefficients(const RefrigerantRecord& record, double t) {
    const MbwrB m = mbwrB(record);
    const double* b = m.b;
    const ExponentialTerms x = exponentialTerms(record);
    const double t2 = t * t;
    const double t3 = t2 * t;
    const double t4 = t3 * t;

    ResidualCoefficients k{};
    double* p = k.polynomial;
    // a2/T = b1 T + b2 sqrt(T) + b3 + b4/T + b5/T^2
    p[2] = b[1] * t + b[2] * std::sqrt(t) + b[3] + b[4] / t + b[5] / t2;
    // a3/(2T) = (b6 T + b7 + b8/T + b9/T^2)/2
    p[3] = (b[6] * t + b[7] + b[8] / t + b[9] / t2) / 2.0;
    // a4/(3T) = (b10 T + b11 + b12/T)/3
    p[4] = (b[10] * t + b[11] + b[12] / t) / 3.0;
    // a5/(4T) = b13/4
    p[5] = b[13] / 4.0;
    // a6/(5T) = (b14/T + b15/T^2)/5
    p[6] = (b[14] / t + b[15] / t2) / 5.0;
    // a7/(6T) = b16/(6T)
    p[7] = b[16] / (6.0 * t);
    // a8/(7T) = (b17/T + b18/T^2)/7
    p[8] = (b[17] / t + b[18] / t2) / 7.0;
    // a9/(8T) = b19/(8T^2)
    p[9] = b[19] / (8.0 * t2);
    // dj/T = pj1/T^2 + pj2/T^3 + pj3/T^4
    for (int j = 1; j <= 5; ++j) k.exponential[j] = x.d[j][0] / t2 + x.d[j][1] / t3 + x.d[j][2] / t4;
    return k;
}

// Tr-derivatives of the values of the residual integral, term by term.
ResidualCoefficients residualSlopeCoefficients(const RefrigerantRecord& record, double t) {
    const MbwrB m = mbwrB(record);
    const double* b = m.b;
    const ExponentialTerms x = exponentialTerms(record);
    const double t2 = t * t;
    const double t3 = t2 * t;
    const double t4 = t3 * t;
    const double t5 = t4 * t;

    ResidualCoefficients k{};
    double* p = k.polynomial;
    // d(a2/T)/dT = b1 + b2/(2 sqrt T) - b4/T^2 - 2 b5/T^3
    p[2] = b[1] + b[2] / (2.0 * std::sqrt(t)) - b[4] / t2 - 2.0 * b[5] / t3;
    // d(a3/(2T))/dT = (b6 - b8/T^2 - 2 b9/T^3)/2
    p[3] = (b[6] - b[8] / t2 - 2.0 * b[9] / t3) / 2.0;
    // d(a4/(3T))/dT = (b10 - b12/T^2)/3
    p[4] = (b[10] - b[12] / t2) / 3.0;
    // a5/(4T) = b13/4 does not depend on T
    p[5] = 0.0;
    // d(a6/(5T))/dT = (-b14/T^2 - 2 b15/T^3)/5
    p[6] = (-b[14] / t2 - 2.0 * b[15] / t3) / 5.0;
    // d(a7/(6T))/dT = -b16/(6 T^2)
    p[7] = -b[16] / (6.0 * t2);
    // d(a8/(7T))/dT = (-b17/T^2 - 2 b18/T^3)/7
    p[8] = (-b[17] / t2 - 2.0 * b[18] / t3) / 7.0;
    // d(a9/(8T))/dT = -2 b19/(8 T^3)
    p[9] = -2.0 * b[19] / (8.0 * t3);
    // d(dj/T)/dT = -2 pj1/T^3 - 3 pj2/T^4 - 4 pj3/T^5
    for (int j = 1; j <= 5; ++j)
        k.exponential[j] = -2.0 * x.d[j][0] / t3 - 3.0 * x.d[j][1] / t4 - 4.0 * x.d[j][2] / t5;
    return k;
}

const PressureCoefficients& cachedPressureCoefficients(PressureCache& cache, const RefrigerantRecord& record,
                                                       double tr) {
    if (cacheMisses(cache.record, cache.tr, record, tr)) {
        KALTRA_COUNT(&cache == &pressureCache ? counters::pressureCoefficients : counters::pressureSlopeCoefficients, 1);
        cache.k = pressureCoefficients(record, tr);
        cache.record = &record;
        cache.tr = tr;
    }
    return cache.k;
}

// The residual integral's coefficients at Tr (residualCache) or their Tr-derivatives
// (residualSlopeCache), recomputed only when the record or Tr changes.
const ResidualCoefficients& cachedResidualCoefficients(ResidualCache& cache, const RefrigerantRecord& record,
                                                       double tr) {
    if (cacheMisses(cache.record, cache.tr, record, tr)) {
        const bool slope = &cache == &residualSlopeCache;
        KALTRA_COUNT(slope ? counters::residualSlopeCoefficients : counters::residualCoefficients, 1);
        cache.k = slope ? residualSlopeCoefficients(record, tr) : residualCoefficients(record, tr);
        cache.record = &record;
        cache.tr = tr;
    }
    return cache.k;
}

// sum over n = 2..9 of pn rhor^(n-2) + E (q1 rhor + q2 rhor^3 + ... + q5 rhor^9), the shape
// shared by the residual integral and its Tr-derivative
double residualSeries(const ResidualCoefficients& k, double rhor, double e) {
    const double* p = k.polynomial;
    const double* q = k.exponential;
    const double r2 = rhor * rhor;
    const double polynomial =
        p[2] + rhor * (p[3] + rhor * (p[4] + rhor * (p[5] + rhor * (p[6] + rhor * (p[7] + rhor * (p[8] + rhor * p[9]))))));
    const double exponential = rhor * (q[1] + r2 * (q[2] + r2 * (q[3] + r2 * (q[4] + r2 * q[5]))));
    return polynomial + e * exponential;
}

}  // namespace

void resetCoefficientCaches() {
    pressureCache = {nullptr, 0.0, {}};
    pressureSlopeCache = {nullptr, 0.0, {}};
    residualCache = {nullptr, 0.0, {}};
    residualSlopeCache = {nullptr, 0.0, {}};
}

// Pr = [T rhor + a2 rhor^2 + ... + a9 rhor^9 + E (c1 rhor^3 + c2 rhor^5 + ... + c6 rhor^13)]/Zc
double mbwrPressure(const RefrigerantRecord& record, double tr, double rhor) {
    KALTRA_COUNT(counters::mbwrPressure, 1);
    const PressureCoefficients& k = cachedPressureCoefficients(pressureCache, record, tr);
    const double gamma = constantsOf(record)[slot::gamma];
    const double r2 = rhor * rhor;
    const double e = std::exp(-gamma * r2);
    // Nested multiplication in rhor, innermost term c6 E rhor^2 first; the order is deliberate.
    double x = k.c6 * e * r2;
    x = (x + k.c5 * e) * r2;
    x = (x + k.a9 + k.c4 * e) * rhor;
    x = (x + k.a8) * rhor;
    x = (x + k.a7 + k.c3 * e) * rhor;
    x = (x + k.a6) * rhor;
    x = (x + k.a5 + k.c2 * e) * rhor;
    x = (x + k.a4) * rhor;
    x = (x + k.a3 + k.c1 * e) * rhor;
    x = (x + k.a2) * rhor;
    x = (x + k.tr) * rhor;
    return x / constantsOf(record)[slot::critZ];
}

// dPr/drhor = [T + sum n an rhor^(n-1) + E sum ck ((2k+1) rhor^(2k) - 2 gamma rhor^(2k+2))]/Zc
double mbwrPressureSlope(const RefrigerantRecord& record, double tr, double rhor) {
    KALTRA_COUNT(counters::mbwrPressureSlope, 1);
    const PressureCoefficients& k = cachedPressureCoefficients(pressureSlopeCache, record, tr);
    const double gamma = constantsOf(record)[slot::gamma];
    const double r2 = rhor * rhor;
    const double e = std::exp(-gamma * r2);
    const double polynomial =
        k.tr + rhor * (2.0 * k.a2 + rhor * (3.0 * k.a3 + rhor * (4.0 * k.a4 + rhor * (5.0 * k.a5 + rhor * (6.0 * k.a6
             + rhor * (7.0 * k.a7 + rhor * (8.0 * k.a8 + rhor * (9.0 * k.a9))))))));
    const double twoGammaR2 = 2.0 * gamma * r2;
    const double exponential =
        r2 * (k.c1 * (3.0 - twoGammaR2) + r2 * (k.c2 * (5.0 - twoGammaR2) + r2 * (k.c3 * (7.0 - twoGammaR2)
             + r2 * (k.c4 * (9.0 - twoGammaR2) + r2 * (k.c5 * (11.0 - twoGammaR2) + r2 * (k.c6 * (13.0 - twoGammaR2)))))));
    return (polynomial + e * exponential) / constantsOf(record)[slot::critZ];
}

// I = (1/rhor) integral from 0 to rhor of (Z - 1)/rho d rho
//   = sum an rhor^(n-2)/((n-1) T) + (E/T)(d1 rhor + d2 rhor^3 + ... + d5 rhor^9)
double mbwrResidual(const RefrigerantRecord& record, double tr, double rhor) {
    KALTRA_COUNT(counters::mbwrResidual, 1);
    const ResidualCoefficients& k = cachedResidualCoefficients(residualCache, record, tr);
    const double gamma = constantsOf(record)[slot::gamma];
    const double e = std::exp(-gamma * rhor * rhor);
    return residualSeries(k, rhor, e);
}

// dI/dTr at constant rhor, from the Tr-derivatives of the residual coefficients
double mbwrResidualDT(const RefrigerantRecord& record, double tr, double rhor) {
    KALTRA_COUNT(counters::mbwrResidualDT, 1);
    const ResidualCoefficients& k = cachedResidualCoefficients(residualSlopeCache, record, tr);
    const double gamma = constantsOf(record)[slot::gamma];
    const double e = std::exp(-gamma * rhor * rhor);
    return residualSeries(k, rhor, e);
}

// The two pressure caches as an evaluation of each at Tr would leave them. Where both miss,
// the coefficients are computed once for both (the same numbers either would compute).
void loadPressureCoefficients(const RefrigerantRecord& record, double tr) {
    const bool pressureMisses = cacheMisses(pressureCache.record, pressureCache.tr, record, tr);
    const bool slopeMisses = cacheMisses(pressureSlopeCache.record, pressureSlopeCache.tr, record, tr);
    if (!pressureMisses && !slopeMisses) return;
    KALTRA_COUNT(pressureMisses ? counters::pressureCoefficients : counters::pressureSlopeCoefficients, 1);
    const PressureCoefficients k = pressureCoefficients(record, tr);
    if (pressureMisses) pressureCache = {&record, tr, k};
    if (slopeMisses) pressureSlopeCache = {&record, tr, k};
}

// Pr = [Tr/(vr - b) - a/(vr^2 + c vr - d^2)]/Zc, a = a0/Tr^ma, c = c0/Tr^mc, d = d0/Tr^md
double cubicPressure(const RefrigerantRecord& record, double tr, double vr) {
    KALTRA_COUNT(counters::cubicPressure, 1);
    const double* k = constantsOf(record);
    const double* params = k + slot::cubicParams;
    const double a0 = params[0], b = params[1], c0 = params[2], d0 = params[3];
    const double ma = params[4], mc = params[5], md = params[6];
    if (b >= vr) return kFailureMark;
    const double a = a0 / std::pow(tr, ma);
    const double c = c0 / std::pow(tr, mc);
    const double d = d0 / std::pow(tr, md);
    return (tr / (vr - b) - a / (vr * vr + c * vr - d * d)) / k[slot::critZ];
}

}  // namespace kaltra
