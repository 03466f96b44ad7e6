// Saturation: vapor pressure and its inverse, saturated volumes, fixed answers outside the
// range.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/fluid_sets.h"
#include "thermo/thermo.h"

namespace kaltra {
namespace {

using test::fluidsWithCoefficients;

// Temperatures from minTemp to just below critTemp.
std::vector<double> subcriticalTemperatures(const RefrigerantRecord& r) {
    const double* k = constantsOf(r);
    const double tmin = k[slot::minTemp], tc = k[slot::critTemp];
    std::vector<double> ts;
    for (double f : {0.0, 0.05, 0.2, 0.4, 0.6, 0.8, 0.95, 0.99}) ts.push_back(tmin + f * (tc - tmin));
    ts.push_back(tc - 0.5);
    return ts;
}

TEST(Saturation, TemperatureOfPressureRoundTrip) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        for (double t : subcriticalTemperatures(*r)) {
            const double p = saturationPressure(*r, t);
            const double back = saturationTemperature(*r, p);
            EXPECT_NEAR(back, t, 1e-6) << r->name << " T=" << t << " Psat=" << p << ": Tsat(Psat) = " << back;
        }
    }
}

// Published normal boiling points (saturation at one standard atmosphere), to 1 degF.
TEST(Saturation, NormalBoilingPoints) {
    struct Case {
        const char* fluid;
        double boilingF;
    } cases[] = {{"R11", 74.9}, {"R22", -41.4}, {"R134a", -15.1}, {"R717", -28.0}, {"R13b1", -72.0}};
    for (const Case& c : cases) {
        const RefrigerantRecord& r = *findRefrigerant(c.fluid);
        const double t = saturationTemperature(r, 14.696);
        EXPECT_NEAR(t, c.boilingF, 1.0) << c.fluid << " at 14.696 psia: Tsat=" << t << ", published " << c.boilingF;
    }
}

// Published saturation pressure and liquid and vapor volumes at 77 degF, to 1 %.
TEST(Saturation, PublishedStatesAt77F) {
    struct Case {
        const char* fluid;
        double psat, vf, vg;
    } cases[] = {{"R11", 15.37, 0.010853, 2.63},
                 {"R22", 151.41, 0.013450, 0.3634},
                 {"R134a", 96.55, 0.013275, 0.4962},
                 {"R717", 145.47, 0.026574, 2.0506}};
    for (const Case& c : cases) {
        const SaturationState s = saturationState(*findRefrigerant(c.fluid), 77.0);
        EXPECT_NEAR(s.satPressure / c.psat, 1.0, 0.01) << c.fluid << " 77F: Psat=" << s.satPressure << ", published " << c.psat;
        EXPECT_NEAR(s.liquidVolume / c.vf, 1.0, 0.01) << c.fluid << " 77F: vf=" << s.liquidVolume << ", published " << c.vf;
        EXPECT_NEAR(s.vaporVolume / c.vg, 1.0, 0.01) << c.fluid << " 77F: vg=" << s.vaporVolume << ", published " << c.vg;
    }
}

// At and above the critical temperature (pressure) the answers are the critical values.
TEST(Saturation, CriticalAnswersAtAndAboveTheCriticalPoint) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        const double* k = constantsOf(*r);
        const double tc = k[slot::critTemp], pc = k[slot::critPressure], vc = k[slot::critVolume];
        for (double t : {tc, tc + 0.001, tc + 300.0}) {
            EXPECT_EQ(saturationPressure(*r, t), pc) << r->name << " Psat at T=" << t;
            const SaturationState s = saturationState(*r, t);
            EXPECT_EQ(s.satPressure, pc) << r->name << " saturationState at T=" << t;
            EXPECT_EQ(s.liquidVolume, vc) << r->name << " saturationState at T=" << t;
            EXPECT_EQ(s.vaporVolume, vc) << r->name << " saturationState at T=" << t;
        }
        for (double p : {pc, 2.0 * pc}) EXPECT_EQ(saturationTemperature(*r, p), tc) << r->name << " Tsat at P=" << p;
        EXPECT_EQ(vaporPressureRatio(*r, 1.0), 1.0) << r->name;
        EXPECT_EQ(saturationTempRatio(*r, 1.0), 1.0) << r->name;
        const ReducedSaturationState reduced = saturationStateReduced(*r, 1.2);
        EXPECT_EQ(reduced.pr, 1.0) << r->name;
        EXPECT_EQ(reduced.liquidVr, 1.0) << r->name;
        EXPECT_EQ(reduced.vaporVr, 1.0) << r->name;
    }
}

// Below minTemp the saturation state is the state at minTemp; at minTemp it is the
// catalogue's lower-limit state.
TEST(Saturation, BelowMinimumTemperatureAnswersTheMinimumState) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        const double* k = constantsOf(*r);
        const double tmin = k[slot::minTemp];
        const SaturationState atMin = saturationState(*r, tmin);
        for (double t : {tmin - 0.5, tmin - 100.0}) {
            const SaturationState below = saturationState(*r, t);
            EXPECT_EQ(below.satPressure, atMin.satPressure) << r->name << " T=" << t;
            EXPECT_EQ(below.liquidVolume, atMin.liquidVolume) << r->name << " T=" << t;
            EXPECT_EQ(below.vaporVolume, atMin.vaporVolume) << r->name << " T=" << t;
        }
        EXPECT_NEAR(atMin.satPressure / k[slot::minPressure], 1.0, 1e-12)
            << r->name << " Psat(minTemp)=" << atMin.satPressure << ", minPressure " << k[slot::minPressure];
        // The liquid root is found to the density solver's acceptance test, |P - Pr| < 1e-4 Pr.
        EXPECT_NEAR(atMin.liquidVolume / k[slot::minLiquidVolume], 1.0, 1e-8)
            << r->name << " vf(minTemp)=" << atMin.liquidVolume << ", minLiquidVolume " << k[slot::minLiquidVolume];
    }
}

// A pressure below the vapor pressure at minTemp answers a hair above minTemp, never below.
TEST(Saturation, TemperatureOfTinyPressureIsAHairAboveMinimum) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        const double* k = constantsOf(*r);
        const double tmin = k[slot::minTemp], tc = k[slot::critTemp];
        const double t = saturationTemperature(*r, 1e-9);
        EXPECT_GT(t, tmin) << r->name << " Tsat(1e-9 psia)=" << t;
        EXPECT_LE(t - tmin, 1.0001 * (tc - tmin) / 4294967296.0 + 1e-12) << r->name << " Tsat(1e-9 psia)=" << t;
    }
}

// The saturated volumes are roots of the equation of state at the vapor pressure, to the
// Newton tolerance, or to the volume resolution of the cubic bisection (2^-32 of its
// bracket), which in a cold, stiff liquid is a few 1e-6 of the critical pressure. Below
// critTemp - 1 degF the vapor is lighter than the liquid; the vapor pressure rises with
// temperature.
TEST(Saturation, SaturatedVolumesAreRootsAtTheVaporPressure) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        const double* k = constantsOf(*r);
        double previous = 0.0;
        for (double t : subcriticalTemperatures(*r)) {
            const SaturationState s = saturationState(*r, t);
            if (t < k[slot::critTemp] - 1.0) {
                EXPECT_GT(s.vaporVolume, s.liquidVolume) << r->name << " T=" << t << ": vf=" << s.liquidVolume
                                                         << " vg=" << s.vaporVolume;
                EXPECT_GT(s.satPressure, previous) << r->name << " T=" << t << ": Psat=" << s.satPressure;
                previous = s.satPressure;
            }
            for (double v : {s.liquidVolume, s.vaporVolume}) {
                const double p = pressureOfTV(*r, t, v);
                EXPECT_NEAR(p, s.satPressure, 1e-4 * s.satPressure + 2e-5 * k[slot::critPressure])
                    << r->name << " T=" << t << " v=" << v << ": P=" << p << ", Psat=" << s.satPressure;
            }
        }
    }
}

// ---- The parts of a saturation state, each solved alone ------------------------------------

// What the four coefficient caches hold, read by one evaluation of each within 2^-23 in Tr of
// both temperatures a cache may hold in the cases below: the reading shows which.
struct CacheReadings {
    double p, s, i, di;
};

CacheReadings readCaches(const RefrigerantRecord& r, double tr) {
    const double at = tr - 3e-8;
    return {mbwrPressure(r, at, 0.7), mbwrPressureSlope(r, at, 0.7), mbwrResidual(r, at, 0.7),
            mbwrResidualDT(r, at, 0.7)};
}

// Leaves all four caches on the record at exactly Tr (by way of a far temperature, so that
// none keeps a temperature just short of Tr).
void fillCaches(const RefrigerantRecord& r, double tr) {
    for (double at : {tr + 0.5, tr}) {
        mbwrPressure(r, at, 1.1);
        mbwrPressureSlope(r, at, 1.1);
        mbwrResidual(r, at, 1.1);
        mbwrResidualDT(r, at, 1.1);
    }
}

// Equal to the bit, NaN included.
bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The saturation pressure, the liquid volume and the vapor volume, each asked for alone (and
// the saturated enthalpies and entropies built on them), answer saturationState's values bit
// for bit, and leave the four caches as saturationState leaves them: whether the caches held
// another fluid, the same fluid far away, or the same fluid within 2^-23 of Tr (where a
// solve keeps the cached temperature and a recomputation would show).
TEST(SaturationParts, EachPartAloneAnswersAndLeavesTheCachesAsTheWholeState) {
    const RefrigerantRecord& r11 = *findRefrigerant("R11");
    const RefrigerantRecord& r22 = *findRefrigerant("R22");
    struct Part {
        const char* what;
        double (*alone)(const RefrigerantRecord&, double);
        double (*ofState)(const RefrigerantRecord&, double, const SaturationState&);
    };
    const Part parts[] = {
        {"pressure", saturatedPressure, [](const RefrigerantRecord&, double, const SaturationState& s) { return s.satPressure; }},
        {"liquid volume", saturatedLiquidVolume,
         [](const RefrigerantRecord&, double, const SaturationState& s) { return s.liquidVolume; }},
        {"vapor volume", saturatedVaporVolume,
         [](const RefrigerantRecord&, double, const SaturationState& s) { return s.vaporVolume; }},
        {"liquid enthalpy", satLiquidEnthalpy,
         [](const RefrigerantRecord& r, double t, const SaturationState& s) { return enthalpyTV(r, t, s.liquidVolume); }},
        {"vapor entropy", satVaporEntropy,
         [](const RefrigerantRecord& r, double t, const SaturationState& s) { return entropyTV(r, t, s.vaporVolume); }},
    };
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        const double* k = constantsOf(*r);
        std::vector<double> temperatures = subcriticalTemperatures(*r);
        temperatures.insert(temperatures.end(), {k[slot::minTemp] - 20.0, k[slot::critTemp], k[slot::critTemp] + 50.0});
        for (double t : temperatures) {
            const double tr = test::reducedTemperatureOf(*r, std::max(std::min(t, k[slot::critTemp]), k[slot::minTemp]));
            struct Before {
                const char* what;
                const RefrigerantRecord* record;
                double tr;
            } befores[] = {{"another fluid", r == &r11 ? &r22 : &r11, tr}, {"far", r, tr + 0.01}, {"within 2^-23", r, tr - 9e-8}};
            for (const Part& part : parts) {
                for (const Before& before : befores) {
                    fillCaches(*before.record, before.tr);
                    const double whole = part.ofState(*r, t, saturationState(*r, t));
                    const CacheReadings afterWhole = readCaches(*r, tr);
                    fillCaches(*before.record, before.tr);
                    const double alone = part.alone(*r, t);
                    const CacheReadings afterAlone = readCaches(*r, tr);
                    const std::string where = std::string(r->name) + " T=" + std::to_string(t) + " " + part.what +
                                              ", caches before: " + before.what;
                    EXPECT_TRUE(sameBits(alone, whole)) << where << ": alone " << alone << ", of the whole state " << whole;
                    EXPECT_TRUE(sameBits(afterAlone.p, afterWhole.p) && sameBits(afterAlone.s, afterWhole.s) &&
                                sameBits(afterAlone.i, afterWhole.i) && sameBits(afterAlone.di, afterWhole.di))
                        << where << ": the caches differ after the part alone (P " << afterAlone.p << " vs "
                        << afterWhole.p << ", dP " << afterAlone.s << " vs " << afterWhole.s << ", I " << afterAlone.i
                        << " vs " << afterWhole.i << ", dI " << afterAlone.di << " vs " << afterWhole.di << ")";
                }
            }
        }
    }
}

// The roots asked for in either order give the whole state's volumes and pressure.
TEST(SaturationParts, RootsInEitherOrderGiveTheWholeState) {
    for (const RefrigerantRecord* r : fluidsWithCoefficients()) {
        for (double t : subcriticalTemperatures(*r)) {
            const SaturationState whole = saturationState(*r, t);
            const SaturationRoots roots = saturationRoots(*r, t);
            const double vg = vaporRootVolume(roots);
            const double vf = liquidRootVolume(roots);
            EXPECT_EQ(vf, whole.liquidVolume) << r->name << " T=" << t << ": vapor root first, vf";
            EXPECT_EQ(vg, whole.vaporVolume) << r->name << " T=" << t << ": vapor root first, vg";
            EXPECT_EQ(saturatedPressureOf(roots), whole.satPressure) << r->name << " T=" << t << ": Psat";
        }
    }
}

}  // namespace
}  // namespace kaltra
