// Equation-of-state identities, the temperature-coefficient caches and the density solvers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <numbers>
#include <vector>

#include "thermo/thermo.h"

namespace kaltra {
namespace {

// The co-volume b, second of the cubic parameters a0, b, c0, d0, ma, mc, md.
constexpr int kCoVolumeSlot = slot::cubicParams + 1;

// Every catalogue fluid whose coefficient sets are present, looked up (and so completed).
std::vector<const RefrigerantRecord*> fluidsWithCoefficients(bool mbwrOnly = false) {
    std::vector<const RefrigerantRecord*> fluids;
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord& r = *recordAt(index);
        if (!hasCoefficientSets(r)) continue;
        if (mbwrOnly && isCubicForm(r)) continue;
        fluids.push_back(findRefrigerant(r.name));
    }
    return fluids;
}

double reducedTemperatureOf(const RefrigerantRecord& r, double t) {
    return (t + kRankineOffset) / (constantsOf(r)[slot::critTemp] + kRankineOffset);
}

// Moves every cache of the MBWR operations away from any temperature a test uses.
void flushCaches() {
    const RefrigerantRecord& r = *findRefrigerant("R11");
    mbwrPressure(r, 9.5, 1.0);
    mbwrPressureSlope(r, 9.5, 1.0);
    mbwrResidual(r, 9.5, 1.0);
    mbwrResidualDT(r, 9.5, 1.0);
}

// Gauss-Legendre nodes and weights on [-1, 1].
struct Quadrature {
    std::vector<double> x, w;
};

Quadrature gaussLegendre(int n) {
    Quadrature q;
    for (int i = 0; i < n; ++i) {
        double x = std::cos(std::numbers::pi * (i + 0.75) / (n + 0.5));
        double dp = 0.0;
        for (int iteration = 0; iteration < 100; ++iteration) {
            double p0 = 1.0, p1 = x;
            for (int k = 2; k <= n; ++k) {
                const double p2 = ((2.0 * k - 1.0) * x * p1 - (k - 1.0) * p0) / k;
                p0 = p1;
                p1 = p2;
            }
            dp = n * (x * p1 - p0) / (x * x - 1.0);
            const double dx = p1 / dp;
            x -= dx;
            if (std::fabs(dx) < 1e-16) break;
        }
        q.x.push_back(x);
        q.w.push_back(2.0 / ((1.0 - x * x) * dp * dp));
    }
    return q;
}

// States (Tr, rhor) across liquid, vapor, critical and supercritical regions.
struct ReducedState {
    const char* what;
    double tr, rhor;
};
const ReducedState kStates[] = {
    {"cold liquid", 0.6, 3.0},    {"warm liquid", 0.85, 2.4}, {"dilute vapor", 0.7, 0.002},
    {"dense vapor", 0.95, 0.4},   {"critical point", 1.0, 1.0}, {"two-phase density", 0.8, 1.2},
    {"supercritical", 1.3, 1.6},  {"hot gas", 2.5, 0.3},
};

// ---- The critical point ----------------------------------------------------------------

// The stored coefficients place the critical point exactly; any typing error breaks this.
TEST(EquationOfState, CriticalPointIsPlacedExactly) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        if (isCubicForm(*r)) {
            const double p = cubicPressure(*r, 1.0, 1.0);
            EXPECT_NEAR(p, 1.0, 1e-10) << r->name << " cubicPressure(1, 1) = " << p << ", expected 1";
        } else {
            const double p = mbwrPressure(*r, 1.0, 1.0);
            const double s = mbwrPressureSlope(*r, 1.0, 1.0);
            EXPECT_NEAR(p, 1.0, 1e-10) << r->name << " mbwrPressure(1, 1) = " << p << ", expected 1";
            EXPECT_NEAR(s, 0.0, 1e-10) << r->name << " mbwrPressureSlope(1, 1) = " << s << ", expected 0";
        }
    }
}

// ---- Derivative and integral consistency (MBWR form) ----------------------------------

TEST(EquationOfState, PressureSlopeMatchesCentralDifference) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients(true)) {
        for (const ReducedState& st : kStates) {
            const double h = 1e-4 * st.rhor;
            const double numeric =
                (mbwrPressure(*r, st.tr, st.rhor + h) - mbwrPressure(*r, st.tr, st.rhor - h)) / (2.0 * h);
            const double analytic = mbwrPressureSlope(*r, st.tr, st.rhor);
            const double scale = std::fabs(mbwrPressure(*r, st.tr, st.rhor)) / st.rhor + std::fabs(analytic) + 1.0;
            EXPECT_NEAR(analytic, numeric, 1e-6 * scale)
                << r->name << " " << st.what << " Tr=" << st.tr << " rhor=" << st.rhor << ": slope " << analytic
                << ", central difference " << numeric;
        }
    }
}

// rhor I is the integral from 0 to rhor of (Z - 1)/rho, with Z from the pressure.
TEST(EquationOfState, ResidualMatchesQuadratureOfCompressibility) {
    const Quadrature q = gaussLegendre(24);
    for (const RefrigerantRecord* r : fluidsWithCoefficients(true)) {
        const double zc = constantsOf(*r)[slot::critZ];
        for (const ReducedState& st : kStates) {
            const int pieces = 8;
            double integral = 0.0;
            for (int piece = 0; piece < pieces; ++piece) {
                const double a = st.rhor * piece / pieces, b = st.rhor * (piece + 1) / pieces;
                for (size_t i = 0; i < q.x.size(); ++i) {
                    const double rho = 0.5 * (a + b) + 0.5 * (b - a) * q.x[i];
                    const double z = zc * mbwrPressure(*r, st.tr, rho) / (st.tr * rho);
                    integral += 0.5 * (b - a) * q.w[i] * (z - 1.0) / rho;
                }
            }
            const double closed = st.rhor * mbwrResidual(*r, st.tr, st.rhor);
            EXPECT_NEAR(closed, integral, 1e-9 * (1.0 + std::fabs(integral)))
                << r->name << " " << st.what << " Tr=" << st.tr << " rhor=" << st.rhor << ": rhor*I " << closed
                << ", quadrature " << integral;
        }
    }
}

// Steps in Tr exceed the cache tolerance of 2^-23; Richardson extrapolation of two central
// differences removes the h^2 error.
TEST(EquationOfState, ResidualTemperatureDerivativeMatchesCentralDifference) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients(true)) {
        for (const ReducedState& st : kStates) {
            auto central = [&](double h) {
                return (mbwrResidual(*r, st.tr + h, st.rhor) - mbwrResidual(*r, st.tr - h, st.rhor)) / (2.0 * h);
            };
            const double numeric = (4.0 * central(5e-5) - central(1e-4)) / 3.0;
            const double analytic = mbwrResidualDT(*r, st.tr, st.rhor);
            EXPECT_NEAR(analytic, numeric, 1e-8 * (1.0 + std::fabs(analytic)))
                << r->name << " " << st.what << " Tr=" << st.tr << " rhor=" << st.rhor << ": dI/dTr " << analytic
                << ", central difference " << numeric;
        }
    }
}

// At low density P/rhor tends to Tr/Zc (the ideal gas).
TEST(EquationOfState, DiluteLimitIsTheIdealGas) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        const double zc = constantsOf(*r)[slot::critZ];
        for (double tr : {0.7, 1.0, 2.0}) {
            const double rhor = 1e-7;
            const double pr = isCubicForm(*r) ? cubicPressure(*r, tr, 1.0 / rhor) : mbwrPressure(*r, tr, rhor);
            EXPECT_NEAR(pr * zc / (rhor * tr), 1.0, 1e-5)
                << r->name << " Tr=" << tr << ": Pr Zc/(rhor Tr) = " << pr * zc / (rhor * tr) << ", expected 1";
        }
    }
}

// ---- Cubic form -----------------------------------------------------------------------

TEST(EquationOfState, CubicAnswersTheMarkAtOrBelowTheCoVolume) {
    const RefrigerantRecord& r = *findRefrigerant("R13b1");
    const double b = constantsOf(r)[kCoVolumeSlot];
    struct Case {
        const char* what;
        double vr;
        bool mark;
    } cases[] = {{"at b", b, true}, {"below b", 0.3, true}, {"just above b", b + 1e-9, false}, {"liquid", 0.35, false}};
    for (const Case& c : cases) {
        const double p = cubicPressure(r, 0.8, c.vr);
        if (c.mark) {
            EXPECT_EQ(p, kFailureMark) << "R13b1 " << c.what << " vr=" << c.vr << ": got " << p << ", expected -999";
        } else {
            EXPECT_TRUE(std::isfinite(p) && p != kFailureMark) << "R13b1 " << c.what << " vr=" << c.vr << ": got " << p;
        }
    }
    const double v = 0.3 * constantsOf(r)[slot::critVolume];
    const double t = 0.0;
    const double tr = reducedTemperatureOf(r, t);
    EXPECT_EQ(pressureOfTV(r, t, v), kFailureMark * constantsOf(r)[slot::critPressure]);
    EXPECT_EQ(zOfTV(r, t, v), constantsOf(r)[slot::critZ] * kFailureMark * 0.3 / tr);
}

// ---- Temperature-coefficient caches -----------------------------------------------------

using MbwrOperation = double (*)(const RefrigerantRecord&, double, double);
struct NamedOperation {
    const char* name;
    MbwrOperation op;
};
const NamedOperation kOperations[] = {{"mbwrPressure", mbwrPressure},
                                      {"mbwrPressureSlope", mbwrPressureSlope},
                                      {"mbwrResidual", mbwrResidual},
                                      {"mbwrResidualDT", mbwrResidualDT}};

// Within 2^-23 of the cached Tr a call answers the value at the cached temperature.
TEST(CoefficientCache, NearbyTemperatureReusesTheCachedTemperature) {
    const RefrigerantRecord& r = *findRefrigerant("R11");
    const double tr = 0.8, rhor = 2.5;
    for (const NamedOperation& o : kOperations) {
        flushCaches();
        const double atTr = o.op(r, tr, rhor);
        const double hit = o.op(r, tr + 1e-8, rhor);
        EXPECT_EQ(hit, atTr) << o.name << " R11 rhor=2.5: Tr+1e-8 gave " << hit << ", Tr gave " << atTr;
        const double edgeHit = o.op(r, tr + 1.1e-7, rhor);
        EXPECT_EQ(edgeHit, atTr) << o.name << " R11: Tr+1.1e-7 gave " << edgeHit << ", Tr gave " << atTr;
        const double miss = o.op(r, tr + 1e-6, rhor);
        EXPECT_NE(miss, atTr) << o.name << " R11: Tr+1e-6 gave the cached value " << miss;
        // A fresh evaluation at Tr + 1e-8 differs, so the reuse above is the cache at work.
        flushCaches();
        const double fresh = o.op(r, tr + 1e-8, rhor);
        EXPECT_NE(fresh, atTr) << o.name << " R11: fresh value at Tr+1e-8 equals the value at Tr";
    }
}

// The hit rule is |Tr - cached| > 2^-23 for a miss: exactly 2^-23 away still hits.
TEST(CoefficientCache, ToleranceIsTwoToTheMinus23) {
    const RefrigerantRecord& r = *findRefrigerant("R22");
    const double tr = 1.0, rhor = 0.5;
    for (const NamedOperation& o : kOperations) {
        flushCaches();
        const double atTr = o.op(r, tr, rhor);
        const double hit = o.op(r, tr + std::ldexp(1.0, -23), rhor);
        EXPECT_EQ(hit, atTr) << o.name << " R22: Tr + 2^-23 gave " << hit << ", Tr gave " << atTr;
        const double miss = o.op(r, tr + std::ldexp(1.0, -22), rhor);
        EXPECT_NE(miss, atTr) << o.name << " R22: Tr + 2^-22 gave the cached value " << miss;
    }
}

// A change of fluid at the same Tr recomputes: A, B, A gives A's value both times.
TEST(CoefficientCache, FluidChangeRecomputes) {
    const RefrigerantRecord& a = *findRefrigerant("R134a");
    const RefrigerantRecord& b = *findRefrigerant("R717");
    const double tr = 0.75, rhor = 2.2;
    for (const NamedOperation& o : kOperations) {
        flushCaches();
        const double freshB = o.op(b, tr, rhor);
        flushCaches();
        const double first = o.op(a, tr, rhor);
        const double other = o.op(b, tr, rhor);
        const double again = o.op(a, tr, rhor);
        EXPECT_EQ(other, freshB) << o.name << " R717 after R134a at Tr=0.75: " << other << ", alone " << freshB;
        EXPECT_EQ(again, first) << o.name << " R134a after R717 at Tr=0.75: " << again << ", first " << first;
    }
}

// Each operation keeps its own cache: another operation's call for another fluid does not
// disturb it.
TEST(CoefficientCache, OperationsKeepSeparateCaches) {
    const RefrigerantRecord& a = *findRefrigerant("R11");
    const RefrigerantRecord& b = *findRefrigerant("R22");
    const double tr = 0.9, rhor = 0.3;
    for (const NamedOperation& o : kOperations) {
        flushCaches();
        const double first = o.op(a, tr, rhor);
        for (const NamedOperation& other : kOperations)
            if (other.op != o.op) other.op(b, tr + 0.05, rhor);
        const double hit = o.op(a, tr + 1e-8, rhor);
        EXPECT_EQ(hit, first) << o.name << " R11: another operation's call disturbed its cache (" << hit << " vs "
                              << first << ")";
    }
}

// A NaN temperature answers NaN but leaves no trace: the next call for the same fluid
// computes normally.
TEST(CoefficientCache, NaNTemperatureDoesNotStick) {
    const RefrigerantRecord& a = *findRefrigerant("R11");
    const RefrigerantRecord& b = *findRefrigerant("R22");
    for (const NamedOperation& o : kOperations) {
        flushCaches();
        const double expected = o.op(a, 0.8, 1.5);
        o.op(b, 0.8, 1.5);
        EXPECT_TRUE(std::isnan(o.op(a, NAN, 1.5))) << o.name << " R11 at Tr = NaN";
        const double after = o.op(a, 0.8, 1.5);
        EXPECT_EQ(after, expected) << o.name << " R11 Tr=0.8 after a NaN call: " << after << ", before " << expected;
    }
}

// ---- Density solution ------------------------------------------------------------------

// The solved volume reproduces the pressure it was solved for, on both sides of saturation
// and above the critical temperature: to the Newton tolerance of 1e-4, or to the
// resolution of the bisection in volume where a stiff liquid turns it into a small
// fraction of the critical pressure.
TEST(DensitySolution, VolumeReproducesThePressure) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        const double* k = constantsOf(*r);
        const double tc = k[slot::critTemp], tmin = k[slot::minTemp], tmax = r->maxTemp;
        const double temperatures[] = {tmin + 0.3 * (tc - tmin), tmin + 0.8 * (tc - tmin), tc + 0.05 * (tmax - tc),
                                       tc + 0.5 * (tmax - tc)};
        for (double t : temperatures) {
            const double psat = saturationPressure(*r, t);
            const double pressures[] = {0.5 * psat, 0.9 * psat, 1.1 * psat,
                                        std::min(2.0 * k[slot::critPressure], r->maxPressure)};
            for (double p : pressures) {
                const double v = volumeOfTP(*r, t, p);
                const double back = pressureOfTV(*r, t, v);
                EXPECT_NEAR(back, p, 1e-4 * p + 1e-6 * k[slot::critPressure])
                    << r->name << " T=" << t << " P=" << p << ": v=" << v << " gives P=" << back;
            }
        }
    }
}

// R11 at 77 degF: vapor below the saturation pressure, liquid above it and at it.
TEST(DensitySolution, R11At77FPicksThePhaseByTheSaturationPressure) {
    const RefrigerantRecord& r = *findRefrigerant("R11");
    const double t = 77.0;
    const SaturationState sat = saturationState(r, t);
    struct Case {
        const char* what;
        double p;
        bool vapor;
    } cases[] = {{"vapor at 5 psia", 5.0, true},        {"vapor just below Psat", 0.999 * sat.satPressure, true},
                 {"liquid just above Psat", 1.001 * sat.satPressure, false}, {"liquid at 500 psia", 500.0, false}};
    for (const Case& c : cases) {
        const double v = volumeOfTP(r, t, c.p);
        if (c.vapor) {
            EXPECT_GT(v, sat.vaporVolume) << "R11 77F " << c.what << ": v=" << v << ", vg=" << sat.vaporVolume;
        } else {
            EXPECT_LT(v, sat.liquidVolume * 1.0001) << "R11 77F " << c.what << ": v=" << v << ", vf=" << sat.liquidVolume;
            EXPECT_GT(v, sat.liquidVolume * 0.95) << "R11 77F " << c.what << ": v=" << v << ", vf=" << sat.liquidVolume;
        }
    }
    const double atPsat = volumeOfTP(r, t, sat.satPressure);
    EXPECT_NEAR(atPsat / sat.liquidVolume, 1.0, 1e-9) << "R11 77F at Psat: v=" << atPsat << ", vf=" << sat.liquidVolume;
}

// Z of a compressed liquid is the liquid value, P v/(R T), not the vapor-branch value near 2.
TEST(DensitySolution, CompressibilityOfCompressedLiquidIsTheLiquidValue) {
    struct Case {
        const char* fluid;
        double t, p;
    } cases[] = {{"R11", 77.0, 500.0}, {"R22", 0.0, 1000.0}, {"R134a", 77.0, 300.0}, {"R717", 50.0, 1500.0},
                 {"R13b1", 0.0, 1000.0}};
    for (const Case& c : cases) {
        const RefrigerantRecord& r = *findRefrigerant(c.fluid);
        const double* k = constantsOf(r);
        const double z = zOfTP(r, c.t, c.p);
        const double v = volumeOfTP(r, c.t, c.p);
        const double liquidZ = c.p * v * kBtuPerPsiaFt3 / (k[slot::gasConstant] * (c.t + kRankineOffset));
        EXPECT_LT(z, 0.3) << c.fluid << " T=" << c.t << " P=" << c.p << ": Z=" << z << ", liquid Z=" << liquidZ;
        EXPECT_NEAR(z / liquidZ, 1.0, 1e-9) << c.fluid << " T=" << c.t << " P=" << c.p << ": Z=" << z
                                            << ", liquid Z=" << liquidZ;
    }
}

// Z of a vapor below saturation and of a supercritical state agrees with P v/(R T).
TEST(DensitySolution, CompressibilityMatchesVolumeOutsideTheLiquid) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        const double* k = constantsOf(*r);
        const double tc = k[slot::critTemp], tmin = k[slot::minTemp];
        const double tVapor = tmin + 0.7 * (tc - tmin), tHot = tc + 0.2 * (r->maxTemp - tc);
        const struct {
            const char* what;
            double t, p;
        } cases[] = {{"vapor", tVapor, 0.5 * saturationPressure(*r, tVapor)},
                     {"supercritical", tHot, 1.5 * k[slot::critPressure]}};
        for (const auto& c : cases) {
            const double z = zOfTP(*r, c.t, c.p);
            const double v = volumeOfTP(*r, c.t, c.p);
            const double zv = c.p * v * kBtuPerPsiaFt3 / (k[slot::gasConstant] * (c.t + kRankineOffset));
            EXPECT_NEAR(z / zv, 1.0, 1e-9) << r->name << " " << c.what << " T=" << c.t << " P=" << c.p << ": Z=" << z
                                           << ", P v/(R T)=" << zv;
        }
    }
}

// With a phase hint, at or above the critical temperature the general path answers the
// critical density without solving. (R31's Newton-only path has no such guard.)
TEST(DensitySolution, PhaseHintAtOrAboveCriticalAnswersCriticalDensity) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients(true)) {
        if (std::string(r->name) == "R31") continue;
        for (double tr : {1.0, 1.2}) {
            for (int hint : {kLiquidRoot, kVaporRoot}) {
                const double rhor = mbwrDensity(*r, tr, 1.5, hint);
                EXPECT_EQ(rhor, 1.0) << r->name << " Tr=" << tr << " hint " << hint << ": rhor=" << rhor;
            }
        }
    }
}

// The Newton-only path belongs to the record named exactly "R31": it accepts the first
// iterate that meets its test (here the ideal-gas start) and has no critical guard. The
// same coefficients under another name take the general path.
TEST(DensitySolution, NewtonOnlyPathIsSelectedByTheExactName) {
    const RefrigerantRecord& r11 = *findRefrigerant("R11");
    FluidConstants constants = *r11.constants;
    const RefrigerantRecord named{"R31", "CH2FCl", "Chlorofluoromethane", 1200, 4000, &constants};
    const RefrigerantRecord lowerCase{"r31", "CH2FCl", "Chlorofluoromethane", 1200, 4000, &constants};
    const double zc = constants.slots[slot::critZ];
    const double tr = 0.9, pr = 1e-4;
    const double idealGas = zc * pr / tr;
    EXPECT_EQ(mbwrDensity(named, tr, pr, kAnyRoot), idealGas) << "\"R31\" dilute vapor";
    EXPECT_NE(mbwrDensity(lowerCase, tr, pr, kAnyRoot), idealGas) << "\"r31\" dilute vapor";
    const double critical = mbwrDensity(named, 1.0, 2.0, kLiquidRoot);
    EXPECT_NE(critical, 1.0) << "\"R31\" at Tr = 1 with the liquid hint has no guard";
    EXPECT_NEAR(mbwrPressure(named, 1.0, critical), 2.0, 2e-4) << "\"R31\" at Tr = 1, Pr = 2: rhor=" << critical;
    EXPECT_EQ(mbwrDensity(lowerCase, 1.0, 2.0, kLiquidRoot), 1.0) << "\"r31\" at Tr = 1 with the liquid hint";
}

// Below a critical temperature of -400 degF the solver bisects only. Without a phase
// preference at a compressed-liquid pressure the Newton steps reach the liquid root, while
// the bisection alone ends on the vapor side, far from the pressure.
TEST(DensitySolution, VeryColdFluidsSkipTheNewtonPhase) {
    const RefrigerantRecord& r11 = *findRefrigerant("R11");
    FluidConstants constants = *r11.constants;
    constants.slots[slot::critTemp] = -400.009;
    const RefrigerantRecord cold{"R702", "H2", "ParaHydrogen", -281, 1128, &constants};
    const double tr = 0.7, pr = 5.0;
    const double withNewton = mbwrDensity(r11, tr, pr, kAnyRoot);
    EXPECT_NEAR(mbwrPressure(r11, tr, withNewton), pr, 1e-3) << "R11 Tr=0.7 Pr=5: rhor=" << withNewton;
    const double bisectionOnly = mbwrDensity(cold, tr, pr, kAnyRoot);
    EXPECT_LT(bisectionOnly, 1.0) << "critTemp -400.009 Tr=0.7 Pr=5: rhor=" << bisectionOnly;
    EXPECT_GT(std::fabs(mbwrPressure(cold, tr, bisectionOnly) - pr), 1.0) << "critTemp -400.009: rhor=" << bisectionOnly;
}

// Starting values: the liquid guess rises from 1 at the critical point, the vapor Z guess
// equals Zc there and tends to 1 far below it.
TEST(DensitySolution, StartingValues) {
    EXPECT_EQ(liquidDensityGuess(1.0), 1.0);
    EXPECT_NEAR(liquidDensityGuess(0.0), 1.0 / (1.0 - 0.766725675709), 1e-12);
    EXPECT_GT(liquidDensityGuess(0.5), liquidDensityGuess(0.9));
    EXPECT_EQ(vaporZGuess(0.27, 1.0), 0.27);
    EXPECT_NEAR(vaporZGuess(0.27, 0.3), 1.0, 1e-6);
}

}  // namespace
}  // namespace kaltra
