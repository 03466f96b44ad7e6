// Term rows of the MBWR equation of state, one per coefficient.
#include "tools/fit/mbwr_terms.h"

#include <cmath>

namespace kaltra::fit {
namespace {

// Power of rhor of the polynomial coefficients b1..b19 and the exponent of Tr of all 29.
constexpr int kRhoPower[19] = {2, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 5, 6, 6, 7, 8, 8, 9};
constexpr double kTrPower[kMbwrTerms] = {2, 1.5, 1, 0,  -1, 2,  1,  0,  -1, 2,  1,  0,  1,  0, -1,
                                         0, 0,   -1, -1, -1, -2, -1, -3, -1, -2, -1, -3, -1, -2};
// Group j (1..5) of the exponential coefficients b20..b29: cj multiplies E rhor^(2j+1).
constexpr int kExponentialGroup[10] = {1, 1, 2, 2, 3, 3, 4, 4, 5, 5};

// E rhor^m and its first two rhor-derivatives.
struct Power {
    double value, first, second;
};
Power exponentialPower(int m, double rhor, double gamma, double e) {
    const double rm = std::pow(rhor, m);
    const double rm1 = std::pow(rhor, m - 1);
    const double rm2 = m >= 2 ? std::pow(rhor, m - 2) : 0.0;
    return {e * rm, e * (m * rm1 - 2.0 * gamma * rm * rhor),
            e * (m * (m - 1) * rm2 - 2.0 * gamma * (2 * m + 1) * rm + 4.0 * gamma * gamma * rm * rhor * rhor)};
}

}  // namespace

double termPower(int k) { return kTrPower[k]; }

MbwrTerms mbwrTerms(double tr, double rhor, double gamma) {
    MbwrTerms x{};
    const double e = std::exp(-gamma * rhor * rhor);
    // kappa_j: share of cj in c6 = -(g^5 c1 + g^4 c2 + 2 g^3 c3 + 6 g^2 c4 + 24 g c5)/120
    const double g2 = gamma * gamma, g3 = g2 * gamma, g4 = g3 * gamma, g5 = g4 * gamma;
    const double kappa[6] = {0, -g5 / 120.0, -g4 / 120.0, -2.0 * g3 / 120.0, -6.0 * g2 / 120.0, -24.0 * gamma / 120.0};
    for (int k = 0; k < kMbwrTerms; ++k) {
        const double p = kTrPower[k];
        const double tp = std::pow(tr, p);
        double g, g1, g2nd, integral;
        if (k < 19) {
            const int n = kRhoPower[k];
            g = std::pow(rhor, n);
            g1 = n * std::pow(rhor, n - 1);
            g2nd = n * (n - 1) * std::pow(rhor, n - 2);
            // (1/rhor) integral of g/rho^2 from 0 to rhor
            integral = std::pow(rhor, n - 2) / (n - 1);
        } else {
            const int j = kExponentialGroup[k - 19];
            const Power own = exponentialPower(2 * j + 1, rhor, gamma, e);
            const Power share = exponentialPower(13, rhor, gamma, e);
            g = own.value + kappa[j] * share.value;
            g1 = own.first + kappa[j] * share.first;
            g2nd = own.second + kappa[j] * share.second;
            // d1 = c1/2, di = (ci + 2 gamma d(i-1))/(2i) with c = unit vector of group j;
            // the integral is E (d1 rhor + d2 rhor^3 + ... + d5 rhor^9)
            double d = 0, sum = 0;
            for (int i = 1; i <= 5; ++i) {
                d = ((i == j ? 1.0 : 0.0) + 2.0 * gamma * d) / (2.0 * i);
                sum += d * std::pow(rhor, 2 * i - 1);
            }
            integral = e * sum;
        }
        x.pressure[k] = tp * g;
        x.slope[k] = tp * g1;
        x.curvature[k] = tp * g2nd;
        x.pressureT[k] = p * tp / tr * g;
        x.helmholtz[k] = tp * rhor * integral;
        x.entropy[k] = -p * tp / tr * rhor * integral;
        x.enthalpy[k] = (1.0 - p) * tp * rhor * integral + tp * g / rhor;
        x.cv[k] = -p * (p - 1.0) * tp / tr * rhor * integral;
    }
    return x;
}

MbwrState mbwrState(const double* b, double tr, double rhor, double gamma) {
    const MbwrTerms x = mbwrTerms(tr, rhor, gamma);
    MbwrState s{tr * rhor, tr, 0, rhor, 0, 0, 0, 0};
    for (int k = 0; k < kMbwrTerms; ++k) {
        s.prZc += b[k] * x.pressure[k];
        s.slope += b[k] * x.slope[k];
        s.curvature += b[k] * x.curvature[k];
        s.pressureT += b[k] * x.pressureT[k];
        s.helmholtz += b[k] * x.helmholtz[k];
        s.entropy += b[k] * x.entropy[k];
        s.enthalpy += b[k] * x.enthalpy[k];
        s.cv += b[k] * x.cv[k];
    }
    return s;
}

}  // namespace kaltra::fit
