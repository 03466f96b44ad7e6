// The transport-row fitter (tools/transport_fit): the scale rule and the surface-tension
// series recover known answers from synthetic tables, its output is the same on every run, its
// estimates follow their stated rules, and its unit answers are the add-in's own. The tests
// that read the reference tables skip when ../shared/reference is not there.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "process.h"
#include "thermo/thermo.h"
#include "tools/transport_fit/transport_fit.h"
#include "transport/transport.h"

namespace kaltra {
namespace {

using namespace transportfit;

bool referenceTablesPresent() {
    struct stat info;
    return stat(KALTRA_REFERENCE_DIR "/R718/sat.csv", &info) == 0;
}

// Samples whose table values are exactly scale times the unit answer, both phases.
std::vector<ScaleSample> exactSamples(double scale) {
    std::vector<ScaleSample> samples;
    for (int i = 1; i <= 25; ++i) {
        const double unit = 1e-5 * i * i;
        samples.push_back({scale * unit, unit, i % 3 == 0});
    }
    return samples;
}

std::vector<TensionSample> seriesSamples(const SurfaceTensionEntry& row) {
    std::vector<TensionSample> samples;
    for (int i = 0; i < 120; ++i) {
        const double tau = 0.0012 + 0.6 * std::pow(i / 119.0, 1.5);
        samples.push_back({tau, surfaceTensionSeries(row, tau)});
    }
    return samples;
}

// ---- Scales -----------------------------------------------------------------------------

TEST(ScaleRule, RecoversAnExactScale) {
    for (const double scale : {0.0274, 0.0418, 0.1505, 0.0015}) {
        EXPECT_NEAR(fitScale(exactSamples(scale)), scale, 1e-15 * scale) << "scale " << scale;
    }
}

TEST(ScaleRule, IsTheMedianSoOutliersDoNotMoveIt) {
    std::vector<ScaleSample> samples = exactSamples(0.03);
    // fewer than half the states wildly off, as a table's failed dilute-gas values are
    for (int i = 0; i < 10; ++i) samples.push_back({1e3 * (i + 1), 1e-5, false});
    EXPECT_NEAR(fitScale(samples), 0.03, 1e-15);
}

TEST(ScaleRule, PhasesAloneAndNoSamples) {
    const std::vector<ScaleSample> samples = {{2.0, 1.0, true}, {4.0, 1.0, true}, {6.0, 1.0, true}, {1.0, 1.0, false}};
    EXPECT_DOUBLE_EQ(phaseMedianRatio(samples, true), 4.0);
    EXPECT_DOUBLE_EQ(phaseMedianRatio(samples, false), 1.0);
    EXPECT_DOUBLE_EQ(fitScale(samples), 3.0);  // median of 1, 2, 4, 6
    EXPECT_TRUE(std::isnan(fitScale({})));
    EXPECT_TRUE(std::isnan(phaseMedianRatio({{1.0, 1.0, false}}, true)));
}

TEST(ScaleRule, RoundsToTheCataloguesFourDecimals) {
    const struct {
        double raw, written;
    } cases[] = {{0.029892, 0.0299}, {0.0783313, 0.0783}, {0.023278, 0.0233}, {0.24039, 0.2404}, {0.00149, 0.0015}};
    for (const auto& c : cases) EXPECT_EQ(roundScale(c.raw), c.written) << "raw " << c.raw;
}

TEST(ScaleRule, SpreadOfAScaleOffByTenPercent) {
    const std::vector<ScaleSample> samples = exactSamples(0.05);
    for (const bool liquid : {true, false}) {
        const Spread s = scaleSpread(samples, 0.055, liquid);
        EXPECT_NEAR(s.median, 10.0, 1e-9) << (liquid ? "liquid" : "vapor");
        EXPECT_NEAR(s.max, 10.0, 1e-9) << (liquid ? "liquid" : "vapor");
    }
    EXPECT_EQ(scaleSpread(samples, 0.05, true).count + scaleSpread(samples, 0.05, false).count, 25);
}

TEST(Statistics, MedianPercentileAndMaximumOfMagnitudes) {
    std::vector<double> d;
    for (int i = 1; i <= 20; ++i) d.push_back(i % 2 ? -i : i);
    const Spread s = spreadOf(d);
    EXPECT_EQ(s.count, 20);
    EXPECT_DOUBLE_EQ(s.median, 10.5);
    EXPECT_DOUBLE_EQ(s.p95, 19.0);  // nearest rank: the 19th of 20
    EXPECT_DOUBLE_EQ(s.max, 20.0);
    EXPECT_EQ(spreadOf({}).count, 0);
}

// ---- Surface tension --------------------------------------------------------------------

TEST(TensionFit, RecoversSeriesOfOneTwoAndThreeTerms) {
    const struct {
        const char* what;
        SurfaceTensionEntry truth;
        int terms;
    } cases[] = {
        {"one term (R134a's row)", {0.05801, 1.241, 0, 0, 0, 0}, 1},
        {"two terms", {0.0704, 1.25, -0.018, 1.75, 0, 0}, 2},
        {"three terms", {0.05, 1.2, 0.02, 2.5, -0.01, 4.0}, 3},
    };
    for (const auto& c : cases) {
        const SurfaceTensionEntry fit = fitTensionSeries(seriesSamples(c.truth), c.terms);
        const double got[] = {fit.coeff1, fit.exp1, fit.coeff2, fit.exp2, fit.coeff3, fit.exp3};
        const double want[] = {c.truth.coeff1, c.truth.exp1, c.truth.coeff2, c.truth.exp2, c.truth.coeff3, c.truth.exp3};
        for (int k = 0; k < 6; ++k)
            EXPECT_NEAR(got[k], want[k], 1e-5 * std::fabs(want[k]) + 1e-12) << c.what << ", number " << k + 1;
        EXPECT_LT(tensionSpread(seriesSamples(c.truth), fit).max, 1e-6) << c.what;
    }
}

TEST(TensionFit, WrittenRowHasTheFewestTermsAndFourDigits) {
    // a one-term truth: one term, written exactly as the truth
    const SurfaceTensionEntry one{0.05801, 1.241, 0, 0, 0, 0};
    const SurfaceTensionEntry fit = fitSurfaceTension(seriesSamples(one));
    EXPECT_EQ(termsOf(fit), 1);
    EXPECT_EQ(fit.coeff1, 0.05801);
    EXPECT_EQ(fit.exp1, 1.241);
    // a second term that one term cannot follow within the tolerance is kept
    const SurfaceTensionEntry two{0.0704, 1.25, -0.03, 2.5, 0, 0};
    const SurfaceTensionEntry fit2 = fitSurfaceTension(seriesSamples(two));
    EXPECT_GT(tensionSpread(seriesSamples(two), fitTensionSeries(seriesSamples(two), 1)).max, kTensionTolerance);
    EXPECT_EQ(termsOf(fit2), 2);
    EXPECT_LE(tensionSpread(seriesSamples(two), fit2).max, kTensionTolerance);
    for (const double x : {fit2.coeff1, fit2.exp1, fit2.coeff2, fit2.exp2})
        EXPECT_EQ(x, roundSignificant(x, kRoundedDigits)) << x << " has more than four significant digits";
}

TEST(TensionFit, SameRowOnEveryRun) {
    const std::vector<TensionSample> samples = seriesSamples({0.0537, 1.25, 0.004, 3.1, 0, 0});
    const SurfaceTensionEntry a = fitSurfaceTension(samples);
    const SurfaceTensionEntry b = fitSurfaceTension(samples);
    EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a));
}

TEST(TensionFit, CoefficientsForFixedExponents) {
    const SurfaceTensionEntry truth{0.03, 1.3, 0.01, 2.0, 0, 0};
    SurfaceTensionEntry guess{1.0, 1.3, 1.0, 2.0, 0, 0};
    guess = solveTensionCoefficients(seriesSamples(truth), guess);
    EXPECT_NEAR(guess.coeff1, 0.03, 1e-14);
    EXPECT_NEAR(guess.coeff2, 0.01, 1e-14);
}

TEST(TensionFit, RoundSignificant) {
    EXPECT_EQ(roundSignificant(0.0581655989, 4), 0.05817);
    EXPECT_EQ(roundSignificant(-1.604312, 4), -1.604);
    EXPECT_EQ(roundSignificant(4.43049e-05, 4), 4.43e-05);
    EXPECT_EQ(roundSignificant(0.0, 4), 0.0);
}

// ---- Estimates --------------------------------------------------------------------------

TEST(Estimates, BlendScaleIsTheMassWeightedMean) {
    EXPECT_DOUBLE_EQ(blendScale({0.03, 0.05}, {0.7, 0.3}), 0.036);
    EXPECT_DOUBLE_EQ(blendScale({0.0275, 0.0233, 0.0284}, {0.44, 0.52, 0.04}), 0.44 * 0.0275 + 0.52 * 0.0233 + 0.04 * 0.0284);
}

TEST(Estimates, BlendTensionIsTheMassWeightedSeriesAtTheSameTau) {
    const SurfaceTensionEntry a{0.07147, 1.246, 0, 0, 0, 0};
    const SurfaceTensionEntry b{0.06274, 1.394, 0, 0, 0, 0};
    const std::vector<double> taus = {-0.01, 0.0, 0.001, 0.1, 0.3, 0.6};
    const std::vector<TensionSample> s = blendTensionSamples({a, b}, {0.689, 0.311}, taus);
    ASSERT_EQ(s.size(), 4u);  // no state at or above the critical point
    for (const TensionSample& x : s)
        EXPECT_DOUBLE_EQ(x.sigma, 0.689 * surfaceTensionSeries(a, x.tau) + 0.311 * surfaceTensionSeries(b, x.tau))
            << "tau " << x.tau;
    // one component alone is that component
    for (const TensionSample& x : blendTensionSamples({a}, {1.0}, taus))
        EXPECT_DOUBLE_EQ(x.sigma, surfaceTensionSeries(a, x.tau));
}

TEST(Estimates, ReducingGroupsScaleAsKineticTheory) {
    const CriticalGroup g{100.0, 4e6, 400.0};
    CriticalGroup heavier = g;
    heavier.molarMass *= 4.0;
    EXPECT_NEAR(viscosityGroup(heavier) / viscosityGroup(g), 2.0, 1e-14);      // M^(1/2)
    EXPECT_NEAR(conductivityGroup(heavier) / conductivityGroup(g), 0.5, 1e-14);  // M^(-1/2)
    EXPECT_NEAR(tensionGroup(heavier) / tensionGroup(g), 1.0, 1e-14);
    CriticalGroup denser = g;
    denser.critPressurePa *= 8.0;
    for (const double ratio : {viscosityGroup(denser) / viscosityGroup(g), conductivityGroup(denser) / conductivityGroup(g),
                               tensionGroup(denser) / tensionGroup(g)})
        EXPECT_NEAR(ratio, 4.0, 1e-13);  // Pc^(2/3)
    CriticalGroup hotter = g;
    hotter.critTempK *= 64.0;
    EXPECT_NEAR(viscosityGroup(hotter) / viscosityGroup(g), 0.5, 1e-14);  // Tc^(-1/6)
    EXPECT_NEAR(tensionGroup(hotter) / tensionGroup(g), 4.0, 1e-13);     // Tc^(1/3)
}

TEST(Estimates, AcentricFactorOfAClausiusClapeyronLine) {
    // ln(P/Pc) = A (1 - Tc/T) is linear in 1/T, so the interpolation is exact:
    // omega = -A (1 - 1/0.7) / ln 10 - 1
    FluidTables fluid;
    fluid.info.critTempK = 400.0;
    fluid.info.critPressurePa = 4e6;
    const double a = 7.0;
    for (int i = 0; i < 50; ++i) {
        const double tK = 160.0 + 4.8 * i;
        fluid.saturationTK.push_back(tK);
        fluid.saturationPa.push_back(4e6 * std::exp(a * (1.0 - 400.0 / tK)));
    }
    EXPECT_NEAR(acentricFactorOf(fluid), -a * (1.0 - 1.0 / 0.7) / std::log(10.0) - 1.0, 1e-12);
    // 0.7 Tc outside the table: no value
    fluid.saturationTK.erase(fluid.saturationTK.begin(), fluid.saturationTK.begin() + 40);
    fluid.saturationPa.erase(fluid.saturationPa.begin(), fluid.saturationPa.begin() + 40);
    EXPECT_TRUE(std::isnan(acentricFactorOf(fluid)));
}

TEST(Estimates, GeneralizedTensionIsTheScaledEquationTermByTerm) {
    const double tc = 438.86, vc = 0.1304962 / 483.357924803169, omega = 0.3037;
    const double c = 1.380649e-23 * tc * std::pow(6.02214076e23 / vc, 2.0 / 3.0) * (4.35 + 4.14 * omega);
    const SurfaceTensionEntry row = generalizedTension(tc, vc, omega);
    EXPECT_EQ(termsOf(row), 3);
    for (const double tau : {0.001, 0.05, 0.3, 0.55}) {
        const double sigma = c * std::pow(tau, 1.26) * (1.0 + 0.19 * std::sqrt(tau) - 0.25 * tau);
        EXPECT_NEAR(surfaceTensionSeries(row, tau), sigma, 1e-3 * sigma) << "tau " << tau;
    }
    // about 14 mN/m at 25 C, as a fluorinated refrigerant of this size has
    EXPECT_NEAR(surfaceTensionSeries(row, 1.0 - 298.15 / tc), 0.0142, 0.001);
}

// ---- The add-in's own answers -----------------------------------------------------------

// s * unitAnswer at the add-in's own volume is what the worksheet answers (unit code 3).
TEST(UnitAnswers, ScaledAreTheAddInsViscosityAndConductivity) {
    const struct {
        const char* fluid;
        double t, p;
    } cases[] = {{"R134a", 77.0, 14.7}, {"R134a", 20.0, 300.0}, {"R22", 150.0, 50.0}, {"R718", 300.0, 1000.0}};
    for (const auto& c : cases) {
        const RefrigerantRecord& r = *findRefrigerant(c.fluid);
        const TransportEntry& row = *findTransportEntry(r);
        const double* k = constantsOf(r);
        const double v = volumeOfTP(r, c.t, c.p);
        const double mu = viscosityOut(kSIFormal, viscosityTP(r, c.t, c.p));
        const double lambda = conductivityOut(kSIFormal, conductivityTP(r, c.t, c.p));
        EXPECT_NEAR(row.viscosityScale * unitViscosity(k[slot::critTemp], k[slot::critVolume], c.t, v), mu, 1e-13 * mu)
            << c.fluid << " at " << c.t << " F, " << c.p << " psia";
        EXPECT_NEAR(row.conductivityScale * unitConductivity(k[slot::critTemp], k[slot::critVolume], c.t, v), lambda,
                    1e-13 * lambda)
            << c.fluid << " at " << c.t << " F, " << c.p << " psia";
    }
}

// A synthetic fluid folder whose transport columns are a known scale times the add-in's unit
// answer and whose surface tension is a known series: read and fitted end to end.
TEST(FluidTablesFit, SyntheticFolderRecoversItsRows) {
    test::Scratch scratch;
    const double tcK = 350.0, rhoc = 450.0, pc = 5e6;
    const double critTemp = tcK * 1.8 - kRankineOffset;
    const double critVolume = volumeIn(kSIFormal, 1.0 / rhoc);
    const double viscosityScale = 0.0291, conductivityScale = 0.0661;
    const SurfaceTensionEntry truth{0.06274, 1.394, 0, 0, 0, 0};
    char line[512];
    std::string sat = "# synthetic\nT,p_sat,rho_liq,rho_vap,visc_liq,visc_vap,cond_liq,cond_vap,surface_tension\n";
    for (int i = 0; i < 30; ++i) {
        const double tK = 180.0 + 5.5 * i, rhoL = 1300.0 - 25.0 * i, rhoV = 0.5 + 8.0 * i;
        const double t = temperatureIn(kSIFormal, tK);
        const double vL = volumeIn(kSIFormal, 1.0 / rhoL), vV = volumeIn(kSIFormal, 1.0 / rhoV);
        const double tau = 1.0 - (t + kRankineOffset) / (critTemp + kRankineOffset);
        std::snprintf(line, sizeof line, "%.12g,%.12g,%.12g,%.12g,%.12g,%.12g,%.12g,%.12g,%.12g\n", tK, 1e5 * (i + 1), rhoL,
                      rhoV, viscosityScale * unitViscosity(critTemp, critVolume, t, vL),
                      viscosityScale * unitViscosity(critTemp, critVolume, t, vV),
                      conductivityScale * unitConductivity(critTemp, critVolume, t, vL),
                      i == 7 ? 0.0 : conductivityScale * unitConductivity(critTemp, critVolume, t, vV),
                      surfaceTensionSeries(truth, tau));
        sat += line;
    }
    std::string single = "T,p,phase,rho,h,s,cp,cv,visc,cond\n";
    const char* phases[] = {"liquid", "gas", "supercritical", "supercritical_liquid", "supercritical_gas"};
    for (int i = 0; i < 40; ++i) {
        const double tK = 200.0 + 6.0 * i, rho = 2.0 + 35.0 * i;
        const double t = temperatureIn(kSIFormal, tK), v = volumeIn(kSIFormal, 1.0 / rho);
        char cond[32] = "";  // every fourth state has a conductivity
        if (i % 4 == 0)
            std::snprintf(cond, sizeof cond, "%.12g", conductivityScale * unitConductivity(critTemp, critVolume, t, v));
        std::snprintf(line, sizeof line, "%.12g,1e6,%s,%.12g,0,0,0,0,%.12g,%s\n", tK, phases[i % 5], rho,
                      viscosityScale * unitViscosity(critTemp, critVolume, t, v), cond);
        single += line;
    }
    const std::string folder = scratch.folder() + "/X";
    ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
    test::writeFile(folder + "/sat.csv", sat);
    test::writeFile(folder + "/single.csv", single);
    std::snprintf(line, sizeof line,
                  "{\"T_critical_K\": %.12g, \"p_critical_Pa\": %.12g, \"rho_critical_kg_m3\": %.12g, "
                  "\"molar_mass_kg_per_mol\": 0.114, \"blend\": {\"components\": [\"A\", \"B\"], "
                  "\"mass_fractions\": [0.56, 0.44]}}",
                  tcK, pc, rhoc);
    test::writeFile(folder + "/info.json", line);

    FluidTables fluid;
    ASSERT_TRUE(readFluidTables(folder, "X", critTemp, critVolume, fluid));
    EXPECT_EQ(fluid.saturationTK.size(), 30u);
    EXPECT_EQ(fluid.viscosity.size(), 60u + 40u);
    EXPECT_EQ(fluid.conductivity.size(), 59u + 10u);  // an empty cell and a zero are no states
    int liquid = 0;
    for (const ScaleSample& s : fluid.viscosity) liquid += s.liquid;
    EXPECT_EQ(liquid, 30 + 16);  // saturated liquid, and liquid or supercritical_liquid of the grid
    EXPECT_EQ(fluid.info.blendComponents, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(fluid.info.blendMassFractions, (std::vector<double>{0.56, 0.44}));
    EXPECT_DOUBLE_EQ(critTempOfTable(fluid.info), critTemp);
    EXPECT_DOUBLE_EQ(critVolumeOfTable(fluid.info), critVolume);

    const FluidRows rows = fitFluid(fluid);
    EXPECT_NEAR(rows.rawViscosityScale, viscosityScale, 1e-9 * viscosityScale);
    EXPECT_NEAR(rows.rawConductivityScale, conductivityScale, 1e-9 * conductivityScale);
    EXPECT_EQ(rows.viscosityScale, viscosityScale);
    EXPECT_EQ(rows.conductivityScale, conductivityScale);
    EXPECT_EQ(rows.tension.coeff1, truth.coeff1);
    EXPECT_EQ(rows.tension.exp1, truth.exp1);
    EXPECT_EQ(termsOf(rows.tension), 1);
    EXPECT_LT(rows.viscosityLiquid.max, 1e-6);
    EXPECT_LT(rows.tensionFit.max, 1e-6);
}

TEST(FluidTablesFit, MissingFolderReadsNothing) {
    FluidTables fluid;
    EXPECT_FALSE(readFluidTables("/nonexistent/kaltra/R32", "R32", 172.6, 0.0378, fluid));
    EXPECT_TRUE(fluid.viscosity.empty());
    EXPECT_TRUE(fluid.tension.empty());
}

// ---- The reference tables and the program -----------------------------------------------

// Water maps onto itself, so the rule on water's own table must give back water's scales.
TEST(ReferenceTables, RuleOnWaterGivesBackWatersScales) {
    if (!referenceTablesPresent()) GTEST_SKIP() << "no reference tables at " << KALTRA_REFERENCE_DIR;
    const RefrigerantRecord& water = *findRefrigerant("R718");
    const double* k = constantsOf(water);
    FluidTables fluid;
    ASSERT_TRUE(readFluidTables(KALTRA_REFERENCE_DIR "/R718", "R718", k[slot::critTemp], k[slot::critVolume], fluid));
    const TransportEntry& row = *findTransportEntry(water);
    EXPECT_NEAR(fitScale(fluid.viscosity), row.viscosityScale, 0.005 * row.viscosityScale);
    EXPECT_NEAR(fitScale(fluid.conductivity), row.conductivityScale, 0.005 * row.conductivityScale);
}

TEST(Program, SameOutputOnEveryRunWithFifteenRows) {
    if (!referenceTablesPresent()) GTEST_SKIP() << "no reference tables at " << KALTRA_REFERENCE_DIR;
    test::Scratch scratch;
    const std::string command = test::shellQuoted(KALTRA_TRANSPORT_FIT_PATH);
    const test::Outcome first = scratch.run(command);
    const test::Outcome second = scratch.run(command);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, second.out);
    int transportRows = 0;
    for (const std::string& line : test::linesOf(first.out))
        if (line.rfind("    {0.0", 0) == 0 && line.find("\"R") != std::string::npos) ++transportRows;
    EXPECT_GE(transportRows, 15);
    EXPECT_NE(first.out.find("\"R454B\"},  // estimate"), std::string::npos);
}

TEST(Program, BadArgumentsAndMissingTablesEndCleanly) {
    test::Scratch scratch;
    const std::string program = test::shellQuoted(KALTRA_TRANSPORT_FIT_PATH);
    const test::Outcome unknown = scratch.run(program + " --frobnicate");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("usage"), std::string::npos);
    const test::Outcome missing = scratch.run(program + " --reference " + test::shellQuoted(scratch.folder()));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no reference table for R32"), std::string::npos);
    EXPECT_EQ(scratch.run(program + " --reference").status, 2);
}

}  // namespace
}  // namespace kaltra
