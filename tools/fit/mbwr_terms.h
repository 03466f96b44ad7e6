// The MBWR equation of state written as a linear combination of its 29 coefficients.
//
// For a fixed gamma every coefficient bk enters as bk Tr^pk gk(rhor): the polynomial terms
// with gk = rhor^n, the exponential terms with gk = E (rhor^(2j+1) + kappa_j rhor^13), where
// the rhor^13 part is bk's share of c6. So the reduced pressure and every residual caloric
// quantity are linear in b1..b29, and a fit for fixed gamma is a linear least-squares problem.
#pragma once

#include <array>

namespace kaltra::fit {

constexpr int kMbwrTerms = 29;
using TermRow = std::array<double, kMbwrTerms>;

// Each quantity is the sum over k of b_k times the term row, plus the part written beside it.
struct MbwrTerms {
    TermRow pressure;    // Pr Zc            = Tr rhor + sum
    TermRow slope;       // d(Pr Zc)/drhor   = Tr + sum
    TermRow curvature;   // d2(Pr Zc)/drhor2 = sum
    TermRow pressureT;   // d(Pr Zc)/dTr     = rhor + sum
    TermRow helmholtz;   // residual A/(R Tc)   = sum
    TermRow entropy;     // residual s/R        = sum
    TermRow enthalpy;    // residual h/(R Tc)   = sum (with Pr Zc/rhor - Tr inside)
    TermRow cv;          // residual cv/R       = sum
};

// Exponent of Tr of every coefficient's term in Pr Zc.
double termPower(int k);

MbwrTerms mbwrTerms(double tr, double rhor, double gamma);

// Values of the equation with the coefficients b (b[0] is b1).
struct MbwrState {
    double prZc, slope, curvature, pressureT, helmholtz, entropy, enthalpy, cv;
};
MbwrState mbwrState(const double* b, double tr, double rhor, double gamma);

}  // namespace kaltra::fit
