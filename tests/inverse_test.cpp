// Temperature from pressure and enthalpy or entropy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/fluid_sets.h"
#include "thermo/thermo.h"

namespace kaltra {
namespace {

using test::fluidsWithCoefficients;

constexpr double kTwoTo32 = 4294967296.0;

// The two inverses side by side, with the property each inverts.
struct Inverse {
    const char* name;
    double (*inverse)(const RefrigerantRecord&, double p, double x);
    double (*ofTV)(const RefrigerantRecord&, double t, double v);
    double (*saturatedLiquid)(const RefrigerantRecord&, double t);
    double (*saturatedVapor)(const RefrigerantRecord&, double t);
};
const Inverse kInverses[] = {
    {"temperatureFromPH", temperatureFromPH, enthalpyTV, satLiquidEnthalpy, satVaporEnthalpy},
    {"temperatureFromPS", temperatureFromPS, entropyTV, satLiquidEntropy, satVaporEntropy},
};

// Single-phase states of a fluid: compressed liquid, superheated vapor, supercritical.
struct State {
    const char* what;
    double t, p;
};
std::vector<State> singlePhaseStates(const RefrigerantRecord& r) {
    const double* k = constantsOf(r);
    const double tmin = k[slot::minTemp], tc = k[slot::critTemp], pc = k[slot::critPressure];
    const double tm = tmin + 0.5 * (tc - tmin);
    const double psat = saturationPressure(r, tm);
    const double hot = tc + std::min(100.0, 0.25 * (r.maxTemp - tc)), cold = tc - std::min(40.0, 0.25 * (tc - tmin));
    return {{"compressed liquid", tm, 2.0 * psat},
            {"subcooled well below saturation", tm - 0.25 * (tm - tmin), 1.2 * psat},
            {"superheated vapor", tm, 0.5 * psat},
            {"superheated far above saturation", hot, 0.5 * psat},
            {"supercritical hot", hot, 1.5 * pc},
            {"supercritical cold", cold, 1.5 * pc}};
}

// T(P, x(T, v(T, P))) returns T. The coefficient caches limit this to about 1e-3 degF: near
// the end of the bisection successive midpoints reuse coefficients of a nearby temperature.
TEST(InverseTemperature, RoundTripOfSinglePhaseStates) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        for (const State& st : singlePhaseStates(*r)) {
            const double v = volumeOfTP(*r, st.t, st.p);
            for (const Inverse& inv : kInverses) {
                const double x = inv.ofTV(*r, st.t, v);
                const double back = inv.inverse(*r, st.p, x);
                EXPECT_NEAR(back, st.t, 1e-3) << inv.name << " " << r->name << " " << st.what << " T=" << st.t
                                              << " P=" << st.p << " x=" << x << ": answered " << back;
            }
        }
    }
}

// Anywhere between the saturated liquid and vapor values, ends included, the answer is the
// saturation temperature of the pressure, exactly.
TEST(InverseTemperature, TwoPhaseAnswersTheSaturationTemperature) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        const double* k = constantsOf(*r);
        for (double f : {0.1, 0.5, 0.9}) {
            const double p = k[slot::minPressure] + f * (k[slot::critPressure] - k[slot::minPressure]);
            const double ts = saturationTemperature(*r, p);
            for (const Inverse& inv : kInverses) {
                const double xf = inv.saturatedLiquid(*r, ts), xg = inv.saturatedVapor(*r, ts);
                for (double x : {xf, 0.7 * xf + 0.3 * xg, xg}) {
                    const double t = inv.inverse(*r, p, x);
                    EXPECT_EQ(t, ts) << inv.name << " " << r->name << " P=" << p << " x=" << x << " (xf=" << xf
                                     << ", xg=" << xg << "): answered " << t << ", Tsat " << ts;
                }
            }
        }
    }
}

// Pressures beyond the range behave as the nearer limit.
TEST(InverseTemperature, PressureIsBoundedToTheRange) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        const double* k = constantsOf(*r);
        const double pmin = k[slot::minPressure], pmax = r->maxPressure;
        const double tm = 0.5 * (k[slot::minTemp] + k[slot::critTemp]);
        for (const Inverse& inv : kInverses) {
            const double xHigh = inv.ofTV(*r, tm, volumeOfTP(*r, tm, pmax));
            EXPECT_EQ(inv.inverse(*r, 2.0 * pmax, xHigh), inv.inverse(*r, pmax, xHigh))
                << inv.name << " " << r->name << " above maxPressure";
            const double xLow = inv.saturatedVapor(*r, k[slot::critTemp] - 1.0);
            EXPECT_EQ(inv.inverse(*r, 0.1 * pmin, xLow), inv.inverse(*r, pmin, xLow))
                << inv.name << " " << r->name << " below minPressure";
        }
    }
}

// A value beyond every value of the bracket answers the bracket end less 2^-32 of its width.
TEST(InverseTemperature, ValuesFarOutsideAnswerTheBracketEnds) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        const double* k = constantsOf(*r);
        const double tmin = k[slot::minTemp], tmax = r->maxTemp;
        const double subcritical = 0.3 * k[slot::critPressure];
        const double ts = saturationTemperature(*r, subcritical);
        const double supercritical = 1.5 * k[slot::critPressure];
        struct Case {
            const char* what;
            double p, x, expected;
        } cases[] = {{"far above, subcritical", subcritical, 1e6, tmax - (tmax - ts) / kTwoTo32},
                     {"far below, subcritical", subcritical, -1e6, tmin + (ts - tmin) / kTwoTo32},
                     {"far above, supercritical", supercritical, 1e6, tmax - (tmax - tmin) / kTwoTo32},
                     {"far below, supercritical", supercritical, -1e6, tmin + (tmax - tmin) / kTwoTo32}};
        for (const Inverse& inv : kInverses) {
            for (const Case& c : cases) {
                const double t = inv.inverse(*r, c.p, c.x);
                EXPECT_NEAR(t, c.expected, 1e-10 * (1.0 + std::fabs(c.expected))) << inv.name << " " << r->name << " " << c.what
                                                                   << ": answered " << t << ", expected " << c.expected;
            }
        }
    }
}

// Whatever the inputs, the answer lies within [minTemp, maxTemp].
TEST(InverseTemperature, BadInputStaysInTheRange) {
    const double inf = INFINITY, nan = NAN;
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        const double tmin = constantsOf(*r)[slot::minTemp], tmax = r->maxTemp;
        const double pressures[] = {nan, inf, -inf, -5.0, 0.0, 1e300};
        const double values[] = {nan, inf, -inf, 0.0, 1e300};
        for (const Inverse& inv : kInverses) {
            for (double p : pressures) {
                for (double x : values) {
                    const double t = inv.inverse(*r, p, x);
                    EXPECT_TRUE(t >= tmin && t <= tmax)
                        << inv.name << " " << r->name << " P=" << p << " x=" << x << ": answered " << t;
                }
            }
        }
    }
}

}  // namespace
}  // namespace kaltra
