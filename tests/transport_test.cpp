// Transport: water's viscosity and conductivity against water's own data, the
// corresponding-states mapping and scaling, the transport-table lookup, surface tension.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "fluids/fluids.h"
#include "thermo/thermo.h"
#include "transport/transport.h"

namespace kaltra {
namespace {

constexpr double kKgM3PerLbmFt3 = 16.01846337;
constexpr double kLbmFtHrPerPaS = 2.204622622 * 0.3048 * 3600.0;
constexpr double kWmKPerBtuHrFtF = 1.729577206;

double fahrenheitOfKelvin(double t) { return t * 1.8 - 459.67; }

const RefrigerantRecord& fluid(const char* name) {
    const RefrigerantRecord* record = findRefrigerant(name);
    if (record != nullptr) return *record;
    ADD_FAILURE() << "no record for " << name;
    return kCatalogue[0];
}

double relativeDeviation(double got, double expected) { return got / expected - 1.0; }

// ---- Water's correlations ---------------------------------------------------------------

// Liquid water near room temperature: about 1 mPa s and 0.6 W/(m K).
TEST(WaterCorrelations, RoomTemperatureLiquid) {
    const double mu = waterViscosity(68.0, 62.3);
    const double lambda = waterConductivity(68.0, 62.3);
    EXPECT_NEAR(mu, 2.43, 0.01) << "water at 68 F, 62.3 lbm/ft3: viscosity " << mu << " lbm/(ft hr)";
    EXPECT_NEAR(lambda, 0.35, 0.005) << "water at 68 F, 62.3 lbm/ft3: conductivity " << lambda
                                      << " BTU/(hr ft F)";
}

// Reference states of water (SI): temperature, density, viscosity, conductivity, taken from
// a modern multiparameter formulation. The correlations here are older; the bounds are the
// measured deviations rounded up: liquid 32-300 F viscosity 0.28 %, conductivity 1.15 %
// (at 32 F); steam below one atmosphere, 108-1400 F, viscosity 1.10 % (at 108 F),
// conductivity 1.68 % (at 1400 F); supercritical near the critical point, where the
// conductivity's critical enhancement counts, viscosity 1.15 %, conductivity 4.97 %.
struct WaterReferenceCase {
    const char* what;
    double t;        // K
    double rho;      // kg/m3
    double visc;     // Pa s
    double cond;     // W/(m K)
    double viscTol;  // relative
    double condTol;  // relative
};

constexpr double kLiquidViscTol = 0.005;
constexpr double kLiquidCondTol = 0.015;
constexpr double kSteamViscTol = 0.015;
constexpr double kSteamCondTol = 0.02;
constexpr double kNearCriticalViscTol = 0.015;
constexpr double kNearCriticalCondTol = 0.06;

const WaterReferenceCase kWaterReference[] = {
    {"liquid 32 F, 0.114 MPa", 273.16, 999.850342664, 0.00179110304954, 0.555685132918, kLiquidViscTol, kLiquidCondTol},
    {"liquid 32 F, 19.3 MPa", 273.16, 1009.41770525, 0.00175187129219, 0.569705797562, kLiquidViscTol, kLiquidCondTol},
    {"liquid 108 F, 0.114 MPa", 315.410098453, 991.33874321, 0.000625929202705, 0.631397838505, kLiquidViscTol, kLiquidCondTol},
    {"liquid 108 F, 19.3 MPa", 315.410098453, 999.590271844, 0.000628958610677, 0.64131237191, kLiquidViscTol, kLiquidCondTol},
    {"liquid 184 F, 0.114 MPa", 357.660196906, 968.934188563, 0.000335037349111, 0.669788846156, kLiquidViscTol, kLiquidCondTol},
    {"liquid 184 F, 19.3 MPa", 357.660196906, 977.421006606, 0.000340211447184, 0.680089929336, kLiquidViscTol, kLiquidCondTol},
    {"liquid 260 F, 0.269 MPa", 399.910295359, 937.573097728, 0.000218796940601, 0.682862324031, kLiquidViscTol, kLiquidCondTol},
    {"liquid 260 F, 19.3 MPa", 399.910295359, 947.067400542, 0.00022373397601, 0.694547313871, kLiquidViscTol, kLiquidCondTol},
    {"steam 108 F, 6.1 Pa", 315.410098453, 4.19936254132e-05, 1.02762077749e-05, 0.0196607077331, kSteamViscTol, kSteamCondTol},
    {"steam 108 F, 5.7 kPa", 315.410098453, 0.0394151436891, 1.02645457014e-05, 0.0196716589925, kSteamViscTol, kSteamCondTol},
    {"steam 184 F, 6.1 Pa", 357.660196906, 3.70329137793e-05, 1.17645897548e-05, 0.0228943119634, kSteamViscTol, kSteamCondTol},
    {"steam 184 F, 48.6 kPa", 357.660196906, 0.296970750904, 1.17049624111e-05, 0.0230848230852, kSteamViscTol, kSteamCondTol},
    {"steam 260 F, 6.1 Pa", 399.910295359, 3.31204106444e-05, 1.33510902811e-05, 0.0264236839434, kSteamViscTol, kSteamCondTol},
    {"steam 260 F, 48.6 kPa", 399.910295359, 0.264575447591, 1.33137817722e-05, 0.0266131053945, kSteamViscTol, kSteamCondTol},
    {"steam 412 F, 48.6 kPa", 484.410492264, 0.217785315434, 1.66786757227e-05, 0.0343726503558, kSteamViscTol, kSteamCondTol},
    {"steam 564 F, 0.114 MPa", 568.91068917, 0.436405985748, 2.01355828652e-05, 0.0431040218626, kSteamViscTol, kSteamCondTol},
    {"steam 716 F, 6.1 Pa", 653.410886076, 2.02708374732e-05, 2.36407388893e-05, 0.0522686519089, kSteamViscTol, kSteamCondTol},
    {"steam 716 F, 0.114 MPa", 653.410886076, 0.379525484677, 2.36363671415e-05, 0.052400234598, kSteamViscTol, kSteamCondTol},
    {"steam 868 F, 0.114 MPa", 737.911082982, 0.335856249689, 2.71213286312e-05, 0.0623098532618, kSteamViscTol, kSteamCondTol},
    {"steam 1020 F, 0.114 MPa", 822.411279887, 0.301239014582, 3.05661362016e-05, 0.0727244651113, kSteamViscTol, kSteamCondTol},
    {"steam 1173 F, 0.114 MPa", 906.911476793, 0.27311006957, 3.39558187003e-05, 0.0835564637341, kSteamViscTol, kSteamCondTol},
    {"steam 1325 F, 0.114 MPa", 991.411673699, 0.249795674078, 3.72815347686e-05, 0.0947342891595, kSteamViscTol, kSteamCondTol},
    {"steam 1401 F, 6.1 Pa", 1033.66177215, 1.28138480461e-05, 3.89137244456e-05, 0.100349163212, kSteamViscTol, kSteamCondTol},
    {"steam 1401 F, 0.114 MPa", 1033.66177215, 0.239572487002, 3.89187879149e-05, 0.10043396842, kSteamViscTol, kSteamCondTol},
    {"near critical, 716 F, 19.3 MPa", 653.410886076, 111.450383633, 2.54473097615e-05, 0.116694255607, kNearCriticalViscTol, kNearCriticalCondTol},
    {"near critical, 716 F, 29.7 MPa", 653.410886076, 529.358961537, 6.13720608678e-05, 0.423734503058, kNearCriticalViscTol, kNearCriticalCondTol},
    {"near critical, 793 F, 29.7 MPa", 695.660984529, 189.800819368, 3.20276980555e-05, 0.173812044913, kNearCriticalViscTol, kNearCriticalCondTol},
    {"near critical, 793 F, 45.5 MPa", 695.660984529, 472.68702742, 5.68475055801e-05, 0.374049987778, kNearCriticalViscTol, kNearCriticalCondTol},
};

TEST(WaterCorrelations, AgreeWithWaterReferenceStates) {
    for (const WaterReferenceCase& c : kWaterReference) {
        const double tw = fahrenheitOfKelvin(c.t);
        const double rhow = c.rho / kKgM3PerLbmFt3;
        const double mu = waterViscosity(tw, rhow) / kLbmFtHrPerPaS;
        const double lambda = waterConductivity(tw, rhow) * kWmKPerBtuHrFtF;
        EXPECT_LE(std::fabs(relativeDeviation(mu, c.visc)), c.viscTol)
            << "water, " << c.what << " (" << tw << " F, " << rhow << " lbm/ft3): viscosity " << mu
            << " Pa s, reference " << c.visc;
        EXPECT_LE(std::fabs(relativeDeviation(lambda, c.cond)), c.condTol)
            << "water, " << c.what << " (" << tw << " F, " << rhow << " lbm/ft3): conductivity " << lambda
            << " W/(m K), reference " << c.cond;
    }
}

// The critical enhancement switches its temperature factor at the critical temperature; the
// two forms meet there, so the conductivity is continuous across it.
TEST(WaterCorrelations, ConductivityContinuousAcrossCriticalTemperature) {
    const double epsilon = 1e-9;
    const double rhoBars[] = {0.5, 1.0, 1.5};
    for (double rhoBar : rhoBars) {
        const double rhow = rhoBar * 317.7 / kKgM3PerLbmFt3;
        const double below = waterConductivity((1.0 - epsilon) * 1.8 * 647.26 - 459.67, rhow);
        const double above = waterConductivity((1.0 + epsilon) * 1.8 * 647.26 - 459.67, rhow);
        EXPECT_NEAR(relativeDeviation(above, below), 0.0, 1e-5)
            << "water at reduced density " << rhoBar << ": just below Tc " << below << ", just above " << above;
    }
}

// Vanishing density must not turn the conductivity's density terms into NaN or infinity.
TEST(WaterCorrelations, FiniteAtVanishingDensity) {
    const double rhows[] = {0.0, 1e-12, 1e-6};
    for (double rhow : rhows) {
        const double mu = waterViscosity(300.0, rhow);
        const double lambda = waterConductivity(300.0, rhow);
        EXPECT_TRUE(std::isfinite(mu) && mu > 0.0) << "water at 300 F, " << rhow << " lbm/ft3: viscosity " << mu;
        EXPECT_TRUE(std::isfinite(lambda) && lambda > 0.0)
            << "water at 300 F, " << rhow << " lbm/ft3: conductivity " << lambda;
    }
}

// ---- Corresponding states ---------------------------------------------------------------

// A fluid's critical point maps onto water's (1165.11 R, 0.050533 ft3/lbm); temperature scales
// in absolute degrees, density inversely with the volume.
TEST(CorrespondingStates, MapsReducedTemperatureAndVolume) {
    struct Case { const char* name; double trFactor; double vrFactor; };
    const Case cases[] = {{"R134a", 1.0, 1.0}, {"R11", 0.5, 4.0}, {"R717", 2.0, 0.5}, {"R13b1", 0.75, 100.0}};
    for (const Case& c : cases) {
        const double* k = constantsOf(fluid(c.name));
        const double t = c.trFactor * (k[slot::critTemp] + 459.67) - 459.67;
        const double v = c.vrFactor * k[slot::critVolume];
        const WaterState w = equivalentWaterState(fluid(c.name), t, v);
        const double twExpected = c.trFactor * 1165.11 - 459.67;
        const double rhowExpected = 1.0 / (c.vrFactor * 0.050533);
        EXPECT_NEAR(w.tw, twExpected, 1e-9) << c.name << " at " << t << " F, " << v << " ft3/lbm";
        EXPECT_NEAR(relativeDeviation(w.rhow, rhowExpected), 0.0, 1e-14)
            << c.name << " at " << t << " F, " << v << " ft3/lbm: " << w.rhow << " against " << rhowExpected;
    }
}

// ---- Tables ---------------------------------------------------------------------------

// Every catalogue record finds the transport scales and surface-tension terms of its own row,
// whatever text found it; R31 alone has no transport scales, and water's row, whose scales
// divide every fluid's, is the divisor.
TEST(Tables, EveryRecordFindsItsOwnRow) {
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord& r = *recordAt(index);
        const FluidRow* row = catalogueRow(r);
        ASSERT_EQ(row, &kFluidRows[index - 1]) << r.name;
        EXPECT_STREQ(row->name, r.name);
        for (const char* text : {r.name, r.formula, r.longName}) {
            const RefrigerantRecord* found = findRefrigerant(text);
            if (found != &r) continue;  // a formula an earlier record shares (C4H10)
            EXPECT_EQ(findTransportEntry(*found), row->transport.present ? &row->transport : nullptr) << text;
        }
        EXPECT_EQ(row->transport.present, std::string(r.name) != "R31") << r.name;
    }
    EXPECT_STREQ(kFluidRows[kWaterPosition].name, "R718");
    EXPECT_EQ(kFluidRows[kWaterPosition].transport.viscosityScale, 0.0418);
    EXPECT_EQ(kFluidRows[kWaterPosition].transport.conductivityScale, 0.2404);
}

// A record that is not one of the catalogue's (a copy) has no row: no transport scales and no
// surface tension, even under a catalogue name.
TEST(Tables, ACopyOfARecordHasNoRow) {
    const RefrigerantRecord& r11 = fluid("R11");
    const RefrigerantRecord copy = r11;
    EXPECT_EQ(catalogueRow(copy), nullptr);
    EXPECT_EQ(findTransportEntry(copy), nullptr);
    EXPECT_EQ(viscosityTP(copy, 77.0, 14.7), -999.0);
    EXPECT_EQ(surfaceTension(copy, 77.0), -999.0);
    EXPECT_NE(surfaceTension(r11, 77.0), -999.0);
}

// No transport row: the failure mark, whatever the state.
TEST(TransportOfTP, R31AnswersFailureMark) {
    const RefrigerantRecord& r31 = fluid("R31");
    const double states[][2] = {{40.0, 100.0}, {-200.0, 1.0}, {600.0, 3000.0}};
    for (const auto& s : states) {
        EXPECT_EQ(viscosityTP(r31, s[0], s[1]), -999.0) << "R31 at " << s[0] << " F, " << s[1] << " psia";
        EXPECT_EQ(conductivityTP(r31, s[0], s[1]), -999.0) << "R31 at " << s[0] << " F, " << s[1] << " psia";
    }
}

// ---- Viscosity and conductivity of a fluid ---------------------------------------------

// R134a's answers are water's at the mapped state times its published scales over water's
// (0.0274 and 0.0305 over 0.0418 and 0.2404); the kinematic viscosity is mu v.
TEST(TransportOfTP, R134aIsScaledWaterAtTheMappedState) {
    struct Case { const char* what; double t; double p; };
    const Case cases[] = {
        {"compressed liquid", 30.0, 100.0},
        {"superheated vapor", 100.0, 20.0},
        {"supercritical", 400.0, 1500.0},
    };
    const RefrigerantRecord& r = fluid("R134a");
    for (const Case& c : cases) {
        const double v = volumeOfTP(r, c.t, c.p);
        const WaterState w = equivalentWaterState(r, c.t, v);
        const double mu = viscosityTP(r, c.t, c.p);
        const double lambda = conductivityTP(r, c.t, c.p);
        const double nu = kinematicViscosityTP(r, c.t, c.p);
        const double muExpected = waterViscosity(w.tw, w.rhow) * 0.0274 / 0.0418;
        const double lambdaExpected = waterConductivity(w.tw, w.rhow) * 0.0305 / 0.2404;
        EXPECT_EQ(mu, muExpected) << "R134a " << c.what << " at " << c.t << " F, " << c.p << " psia";
        EXPECT_EQ(lambda, lambdaExpected) << "R134a " << c.what << " at " << c.t << " F, " << c.p << " psia";
        EXPECT_EQ(nu, mu * v) << "R134a " << c.what << " at " << c.t << " F, " << c.p << " psia";
    }
}

// Water's own answers are the water correlations at the mapped state, unscaled: its scales
// are the common divisor. The mapping uses the catalogue's critical point of water, so the
// mapped state lies close to, not exactly at, the state asked for.
TEST(TransportOfTP, WaterAnswersTheWaterCorrelationsAtTheMappedState) {
    struct Case { const char* what; double t; double p; };
    const Case cases[] = {
        {"liquid", 68.0, 14.696}, {"hot liquid", 300.0, 200.0}, {"steam", 400.0, 14.696},
        {"supercritical", 1000.0, 5000.0},
    };
    const RefrigerantRecord& r = fluid("R718");
    for (const Case& c : cases) {
        const double v = volumeOfTP(r, c.t, c.p);
        const WaterState w = equivalentWaterState(r, c.t, v);
        EXPECT_EQ(viscosityTP(r, c.t, c.p), waterViscosity(w.tw, w.rhow)) << "R718 " << c.what;
        EXPECT_EQ(conductivityTP(r, c.t, c.p), waterConductivity(w.tw, w.rhow)) << "R718 " << c.what;
        EXPECT_NEAR(w.tw, c.t, 1.0) << "R718 " << c.what << " maps onto water at " << w.tw << " F";
    }
    // Liquid water near 68 F: about 2.43 lbm/(ft hr) and 0.35 BTU/(hr ft F), through the
    // fluid's own volume.
    EXPECT_NEAR(viscosityTP(r, 68.0, 14.696), 2.43, 0.1);
    EXPECT_NEAR(conductivityTP(r, 68.0, 14.696), 0.35, 0.02);
}

// Values computed independently from the same algorithms (English units, inputs inside
// the fluids' ranges): they check the whole chain of volume, mapping, correlation and scale.
TEST(TransportOfTP, MatchesIndependentlyComputedValues) {
    enum Quantity { kMu, kNu, kLambda };
    struct Case { const char* name; Quantity quantity; double t; double p; double expected; };
    const Case cases[] = {
        {"R134a", kMu, 29.98399999999998, 44.82113721325566, 0.18490230099738525},
        {"R134a", kNu, 103.55359999999996, 438.7600092507714, 0.0019194844125457163},
        {"R22", kNu, 210.061, 361.869155636872, 0.007759822477850432},
        {"R22", kLambda, 68.13589999999999, 145.28156666104923, 0.04006480561048511},
        {"R717", kMu, 213.37565, 274.4025600326516, 0.03016283904962569},
        {"R717", kLambda, 0.0, 50.0, 0.2488990787715173},
        {"R717", kLambda, 423.03499999999997, 82.18563408482301, 0.024932824616699066},
        {"R11", kLambda, 221.77579999999995, 147.22572334488058, 0.029001974829665576},
        {"R13b1", kMu, 148.37400000000002, 549.514100797449, 0.06360659790116673},
    };
    const char* quantityNames[] = {"viscosity", "kinematic viscosity", "conductivity"};
    for (const Case& c : cases) {
        const RefrigerantRecord& r = fluid(c.name);
        const double got = c.quantity == kMu ? viscosityTP(r, c.t, c.p)
                         : c.quantity == kNu ? kinematicViscosityTP(r, c.t, c.p)
                                             : conductivityTP(r, c.t, c.p);
        EXPECT_NEAR(got, c.expected, 1e-12 * std::fabs(c.expected))
            << c.name << " " << quantityNames[c.quantity] << " at " << c.t << " F, " << c.p << " psia";
    }
}

// ---- Surface tension --------------------------------------------------------------------

// R11 at 77 F: sigma = 0.06212 tau^1.247, tau = 1 - 536.67/847.998.
TEST(SurfaceTension, R11WorkedExample) {
    const double tau = 1.0 - (77.0 + 459.67) / (388.328 + 459.67);
    const double formula = 0.06212 * std::pow(tau, 1.247);
    const double got = surfaceTension(fluid("R11"), 77.0);
    EXPECT_NEAR(got, formula, 1e-15) << "R11 at 77 F";
    EXPECT_NEAR(got, 0.0178059918051928, 1e-12 * 0.0178059918051928) << "R11 at 77 F";
}

// No interface at or above the critical point; below the lowest temperature the value there.
TEST(SurfaceTension, ClampedToLowestAndCriticalTemperature) {
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord& r = *recordAt(index);
        const double tc = constantsOf(r)[slot::critTemp];
        const double tmin = constantsOf(r)[slot::minTemp];
        EXPECT_EQ(surfaceTension(r, tc), 0.0) << r.name << " at Tc " << tc << " F";
        EXPECT_EQ(surfaceTension(r, tc + 1.0), 0.0) << r.name << " above Tc";
        EXPECT_EQ(surfaceTension(r, 1e6), 0.0) << r.name << " far above Tc";
        const double atMin = surfaceTension(r, tmin);
        EXPECT_GT(atMin, 0.0) << r.name << " at minTemp " << tmin << " F";
        EXPECT_EQ(surfaceTension(r, tmin - 100.0), atMin) << r.name << " below minTemp";
        EXPECT_EQ(surfaceTension(r, -1e6), atMin) << r.name << " far below minTemp";
    }
    EXPECT_EQ(surfaceTension(fluid("R11"), -300.0), surfaceTension(fluid("R11"), -166.846));
}

// The row belongs to the record found, whatever text found it.
TEST(SurfaceTension, RowFollowsTheRecordNotTheTypedText) {
    struct Case { const char* text; const char* name; double t; };
    const Case cases[] = {
        {"CCl3F", "R11", 77.0}, {"Trichloromonofuoromethane", "R11", 77.0}, {"r11", "R11", 77.0},
        {"C4H10", "R600", 0.0}, {"Isobutane", "R600a", 0.0}, {"Air", "R729", -250.0},
        {"chlorofluoromethane", "R31", 0.0},
    };
    for (const Case& c : cases) {
        const double got = surfaceTension(fluid(c.text), c.t);
        EXPECT_EQ(got, surfaceTension(fluid(c.name), c.t)) << c.text << " against " << c.name << " at " << c.t << " F";
        EXPECT_GT(got, 0.0) << c.text << " at " << c.t << " F";
    }
    EXPECT_NE(surfaceTension(fluid("C4H10"), 0.0), surfaceTension(fluid("R600a"), 0.0));
}

// Terms of opposite sign cross zero a fraction of a degree below Tc; the answer stays at 0
// there, and positive values close to Tc are left as they are.
TEST(SurfaceTension, NeverNegative) {
    struct Case { const char* name; double belowTc; bool seriesNegative; };
    const Case cases[] = {
        {"R12", 0.0001, true}, {"R12", 0.1, true}, {"R12", 0.3, true}, {"R12", 0.5, false},
        {"R50", 0.0001, true}, {"R50", 0.1, true}, {"R50", 0.3, true}, {"R50", 0.5, false},
        {"R22", 0.1, false}, {"R600a", 0.0001, false}, {"R704", 0.0001, false},
    };
    for (const Case& c : cases) {
        const RefrigerantRecord& r = fluid(c.name);
        const double tc = constantsOf(r)[slot::critTemp];
        const double t = tc - c.belowTc;
        const double tau = 1.0 - (t + 459.67) / (tc + 459.67);
        const double series = surfaceTensionSeries(kFluidRows[refrigerantIndex(c.name) - 1].surfaceTension, tau);
        const double got = surfaceTension(r, t);
        EXPECT_EQ(series < 0.0, c.seriesNegative) << c.name << " " << c.belowTc << " F below Tc: series " << series;
        EXPECT_EQ(got, c.seriesNegative ? 0.0 : series)
            << c.name << " " << c.belowTc << " F below Tc: " << got << ", series " << series;
    }
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord& r = *recordAt(index);
        const double tc = constantsOf(r)[slot::critTemp];
        for (double below = 1e-6; below < 10.0; below *= 1.5) {
            EXPECT_GE(surfaceTension(r, tc - below), 0.0) << r.name << " " << below << " F below Tc";
        }
    }
}

// A term is present by its exponent: a zero exponent drops the term whatever its coefficient.
TEST(SurfaceTension, ZeroExponentDropsTheTerm) {
    struct Case { const char* what; SurfaceTensionEntry row; double expected; };
    const double tau = 0.3;
    const Case cases[] = {
        {"second and third absent", {0.05, 1.25, 7.0, 0.0, 9.0, 0.0}, 0.05 * std::pow(tau, 1.25)},
        {"second absent, third present", {0.05, 1.25, 7.0, 0.0, 0.002, 2.0},
         0.05 * std::pow(tau, 1.25) + 0.002 * std::pow(tau, 2.0)},
        {"second present, third absent", {0.05, 1.25, -0.01, 1.5, 9.0, 0.0},
         0.05 * std::pow(tau, 1.25) + -0.01 * std::pow(tau, 1.5)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(surfaceTensionSeries(c.row, tau), c.expected) << c.what << " at tau " << tau;
    }
}

}  // namespace
}  // namespace kaltra
