// Equation-of-state identities, the temperature-coefficient caches and the density solvers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <numbers>
#include <vector>

#include "tests/fluid_sets.h"
#include "thermo/thermo.h"

namespace kaltra {
namespace {

using test::fluidsWithCoefficients;
using test::reducedTemperatureOf;

// The co-volume b, second of the cubic parameters a0, b, c0, d0, ma, mc, md.
constexpr int kCoVolumeSlot = slot::cubicParams + 1;

// Gauss-Legendre nodes and weights on [-1, 1], by Newton's method on the Legendre polynomial.
void gaussLegendre(int n, std::vector<double>& nodes, std::vector<double>& weights) {
    for (int i = 0; i < n; ++i) {
        double x = std::cos(std::numbers::pi * (i + 0.75) / (n + 0.5)), dp = 0.0;
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
        nodes.push_back(x);
        weights.push_back(2.0 / ((1.0 - x * x) * dp * dp));
    }
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

// dPr/drhor against a central difference; rhor I against the integral from 0 to rhor of
// (Z - 1)/rho with Z from the pressure; dI/dTr against central differences in Tr whose steps
// exceed the cache tolerance of 2^-23, Richardson-extrapolated to remove the h^2 error.
TEST(EquationOfState, MbwrDerivativesAndResidualMatchNumericalValues) {
    std::vector<double> nodes, weights;
    gaussLegendre(24, nodes, weights);
    for (const RefrigerantRecord* r : fluidsWithCoefficients(true)) {
        const double zc = constantsOf(*r)[slot::critZ];
        for (const ReducedState& st : kStates) {
            const std::string where = std::string(r->name) + " " + st.what + " Tr=" + std::to_string(st.tr) +
                                      " rhor=" + std::to_string(st.rhor) + ": ";
            const double h = 1e-4 * st.rhor;
            const double slope = (mbwrPressure(*r, st.tr, st.rhor + h) - mbwrPressure(*r, st.tr, st.rhor - h)) / (2.0 * h);
            const double analyticSlope = mbwrPressureSlope(*r, st.tr, st.rhor);
            const double scale = std::fabs(mbwrPressure(*r, st.tr, st.rhor)) / st.rhor + std::fabs(analyticSlope) + 1.0;
            EXPECT_NEAR(analyticSlope, slope, 1e-6 * scale)
                << where << "slope " << analyticSlope << ", central difference " << slope;

            const int pieces = 8;
            double integral = 0.0;
            for (int piece = 0; piece < pieces; ++piece) {
                const double a = st.rhor * piece / pieces, b = st.rhor * (piece + 1) / pieces;
                for (std::size_t i = 0; i < nodes.size(); ++i) {
                    const double rho = 0.5 * (a + b) + 0.5 * (b - a) * nodes[i];
                    const double z = zc * mbwrPressure(*r, st.tr, rho) / (st.tr * rho);
                    integral += 0.5 * (b - a) * weights[i] * (z - 1.0) / rho;
                }
            }
            const double closed = st.rhor * mbwrResidual(*r, st.tr, st.rhor);
            EXPECT_NEAR(closed, integral, 1e-9 * (1.0 + std::fabs(integral)))
                << where << "rhor*I " << closed << ", quadrature " << integral;

            auto central = [&](double dt) {
                return (mbwrResidual(*r, st.tr + dt, st.rhor) - mbwrResidual(*r, st.tr - dt, st.rhor)) / (2.0 * dt);
            };
            const double numeric = (4.0 * central(5e-5) - central(1e-4)) / 3.0;
            const double analytic = mbwrResidualDT(*r, st.tr, st.rhor);
            EXPECT_NEAR(analytic, numeric, 1e-8 * (1.0 + std::fabs(analytic)))
                << where << "dI/dTr " << analytic << ", central difference " << numeric;
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
    // The engine scales the mark as it scales any reduced answer; the worksheet layer answers
    // -999 itself (worksheet_test.cpp).
    const double v = 0.3 * constantsOf(r)[slot::critVolume];
    EXPECT_EQ(pressureOfTV(r, 0.0, v), kFailureMark * constantsOf(r)[slot::critPressure]);
    EXPECT_EQ(zOfTV(r, 0.0, v), constantsOf(r)[slot::critZ] * kFailureMark * 0.3 / reducedTemperatureOf(r, 0.0));
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

// Each of the four operations keeps its own cache, of one record at one Tr. A call within
// 2^-23 of the cached Tr (exactly 2^-23 included) for the same record answers with the
// cached temperature's coefficients; a change of fluid recomputes; another operation's call
// for another fluid leaves the cache alone; a NaN temperature answers NaN and leaves no trace.
TEST(CoefficientCache, ReusesOnlyWithinTheToleranceForTheSameRecord) {
    const RefrigerantRecord& r11 = *findRefrigerant("R11");
    const RefrigerantRecord& r22 = *findRefrigerant("R22");
    const RefrigerantRecord& r134a = *findRefrigerant("R134a");
    const RefrigerantRecord& r717 = *findRefrigerant("R717");
    for (const NamedOperation& o : kOperations) {
        SCOPED_TRACE(o.name);
        resetCoefficientCaches();
        const double atTr = o.op(r11, 0.8, 2.5);
        EXPECT_EQ(o.op(r11, 0.8 + 1e-8, 2.5), atTr) << "R11 rhor=2.5: Tr+1e-8 against Tr";
        EXPECT_EQ(o.op(r11, 0.8 + 1.1e-7, 2.5), atTr) << "R11 rhor=2.5: Tr+1.1e-7 against Tr";
        EXPECT_NE(o.op(r11, 0.8 + 1e-6, 2.5), atTr) << "R11 rhor=2.5: Tr+1e-6 gave the cached value";
        // A fresh evaluation at Tr + 1e-8 differs, so the reuse above is the cache at work, and
        // resetCoefficientCaches() leaves nothing of R11 at Tr behind.
        resetCoefficientCaches();
        EXPECT_NE(o.op(r11, 0.8 + 1e-8, 2.5), atTr) << "R11 rhor=2.5: fresh value at Tr+1e-8 equals the value at Tr";

        resetCoefficientCaches();
        const double atOne = o.op(r22, 1.0, 0.5);
        EXPECT_EQ(o.op(r22, 1.0 + std::ldexp(1.0, -23), 0.5), atOne) << "R22 rhor=0.5: Tr + 2^-23 against Tr";
        EXPECT_NE(o.op(r22, 1.0 + std::ldexp(1.0, -22), 0.5), atOne) << "R22 rhor=0.5: Tr + 2^-22 gave the cached value";

        resetCoefficientCaches();
        const double aloneB = o.op(r717, 0.75, 2.2);
        resetCoefficientCaches();
        const double first = o.op(r134a, 0.75, 2.2);
        const double other = o.op(r717, 0.75, 2.2);
        EXPECT_EQ(other, aloneB) << "R717 after R134a at Tr=0.75: " << other << ", alone " << aloneB;
        EXPECT_EQ(o.op(r134a, 0.75, 2.2), first) << "R134a after R717 at Tr=0.75";

        resetCoefficientCaches();
        const double own = o.op(r11, 0.9, 0.3);
        for (const NamedOperation& another : kOperations)
            if (another.op != o.op) another.op(r22, 0.95, 0.3);
        EXPECT_EQ(o.op(r11, 0.9 + 1e-8, 0.3), own) << "R11: another operation's call for R22 disturbed the cache";

        resetCoefficientCaches();
        const double before = o.op(r11, 0.8, 1.5);
        o.op(r22, 0.8, 1.5);
        EXPECT_TRUE(std::isnan(o.op(r11, NAN, 1.5))) << "R11 at Tr = NaN";
        EXPECT_EQ(o.op(r11, 0.8, 1.5), before) << "R11 Tr=0.8 rhor=1.5 after a NaN call";
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

// Z = P v/(R T) with the volume of the state: for a compressed liquid the liquid value, not the
// vapor-branch value near 2; for a vapor below saturation and a supercritical state alike.
TEST(DensitySolution, CompressibilityIsThatOfTheSolvedVolume) {
    struct Case {
        const RefrigerantRecord* r;
        const char* what;
        double t, p;
    };
    std::vector<Case> cases;
    const struct {
        const char* fluid;
        double t, p;
    } liquids[] = {{"R11", 77.0, 500.0}, {"R22", 0.0, 1000.0}, {"R134a", 77.0, 300.0}, {"R717", 50.0, 1500.0},
                   {"R13b1", 0.0, 1000.0}};
    for (const auto& l : liquids) cases.push_back({findRefrigerant(l.fluid), "compressed liquid", l.t, l.p});
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        const double* k = constantsOf(*r);
        const double tc = k[slot::critTemp], tmin = k[slot::minTemp];
        const double tVapor = tmin + 0.7 * (tc - tmin), tHot = tc + 0.2 * (r->maxTemp - tc);
        cases.push_back({r, "vapor", tVapor, 0.5 * saturationPressure(*r, tVapor)});
        cases.push_back({r, "supercritical", tHot, 1.5 * k[slot::critPressure]});
    }
    for (const Case& c : cases) {
        const double z = zOfTP(*c.r, c.t, c.p);
        const double v = volumeOfTP(*c.r, c.t, c.p);
        const double zv = c.p * v * kBtuPerPsiaFt3 / (constantsOf(*c.r)[slot::gasConstant] * (c.t + kRankineOffset));
        const std::string where = std::string(c.r->name) + " " + c.what + " T=" + std::to_string(c.t) + " P=" + std::to_string(c.p);
        if (std::string(c.what) == "compressed liquid") {
            EXPECT_LT(z, 0.3) << where << ": Z=" << z;
        }
        EXPECT_NEAR(z / zv, 1.0, 1e-9) << where << ": Z=" << z << ", P v/(R T)=" << zv;
    }
}

// Above the critical temperature a cubic-form gas without a phase preference follows the
// ideal gas at low pressure, on both sides of the reduced volume 20000 where the search's
// first bracket ends: Z = P v/(R T) within 1e-3 of 1, and the volume falls as the pressure rises.
TEST(DensitySolution, DiluteCubicGasAboveTheCriticalTemperatureIsIdeal) {
    const double idealVolumes[] = {10000.0, 15000.0, 19990.0, 20010.0, 30000.0, 1e5, 1e6};  // Tr/(Zc Pr)
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        if (!isCubicForm(*r)) continue;
        const double* k = constantsOf(*r);
        const double tc = k[slot::critTemp];
        for (double t : {tc, tc + 1.0, tc + 0.5 * (r->maxTemp - tc), r->maxTemp}) {
            const double tr = reducedTemperatureOf(*r, t);
            double previous = 0.0;
            for (double vrIdeal : idealVolumes) {
                const double p = tr / (k[slot::critZ] * vrIdeal) * k[slot::critPressure];
                const double v = volumeOfTP(*r, t, p);
                const double z = p * v * kBtuPerPsiaFt3 / (k[slot::gasConstant] * (t + kRankineOffset));
                EXPECT_NEAR(z, 1.0, 1e-3) << r->name << " T=" << t << " F P=" << p << " psia: v=" << v
                                          << " ft3/lbm, Z=" << z << ", ideal gas 1";
                EXPECT_NEAR(zOfTP(*r, t, p), z, 1e-12) << r->name << " T=" << t << " F P=" << p << " psia: zOfTP";
                EXPECT_GT(v, previous) << r->name << " T=" << t << " F P=" << p << " psia: v=" << v
                                       << " not above the volume at the next higher pressure " << previous;
                previous = v;
            }
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

// ---- Air against its reference table ------------------------------------------------------

// Air carries its own molar mass, so its single-phase densities follow its reference table: the
// median deviation over every state of the table inside air's range is within 0.1 %, and the
// dilute gas (up to 10 kPa), whose density the molar mass alone sets, within 0.05 %. With
// nitrogen's molar mass every dilute-gas density was 3.3 % low.
TEST(DensitySolution, AirFollowsItsReferenceTable) {
    const RefrigerantRecord& air = *findRefrigerant("Air");
    constexpr double kLbmFt3PerKgM3 = 1.0 / 16.018463373960138;
    constexpr double kPaPerPsia = 6894.757293168361;
    constexpr double kDilutePa = 1e4;
    std::ifstream table(std::string(KALTRA_TEST_DATA) + "/air-single-phase.tsv");
    ASSERT_TRUE(table.good()) << "tests/data/air-single-phase.tsv";
    std::vector<double> deviations;
    std::string line;
    while (std::getline(table, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        double tK = 0, pPa = 0, rho = 0;
        fields >> tK >> pPa >> rho;
        const double answered = 1.0 / volumeOfTP(air, tK * 1.8 - kRankineOffset, pPa / kPaPerPsia);
        const double percent = 100.0 * (answered / (rho * kLbmFt3PerKgM3) - 1.0);
        deviations.push_back(std::fabs(percent));
        if (pPa <= kDilutePa) {
            EXPECT_NEAR(percent, 0.0, 0.05) << "air, dilute gas at " << tK << " K, " << pPa << " Pa: " << answered / kLbmFt3PerKgM3
                                            << " kg/m3, table " << rho;
        }
    }
    ASSERT_GT(deviations.size(), 1000u);
    std::sort(deviations.begin(), deviations.end());
    const std::size_t n = deviations.size();
    const double median = n % 2 == 1 ? deviations[n / 2] : (deviations[n / 2 - 1] + deviations[n / 2]) / 2.0;
    EXPECT_LT(median, 0.1) << "air: median density deviation " << median << " % over " << n << " states";
}

}  // namespace
}  // namespace kaltra
