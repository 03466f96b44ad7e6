// The chart's sampling geometry on its own, without the add-in: round 1-2-5 values and their
// texts, the frame from enthalpy and log pressure to pixels, the axis ranges and ticks, the
// isotherm temperatures and isentrope entropies a chart draws, and the adaptive sampling of a
// curve (smooth at the drawing's resolution, broken where the curve has no point, bounded
// for a curve that never settles).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "host/chart.h"

namespace {

namespace chart = kaltra::host::chart;

// ---- Round values and their texts ---------------------------------------------------------

TEST(ChartGeometry, RoundsToOneTwoFiveValues) {
    struct Case {
        double x, down, up;
    };
    const Case cases[] = {
        {0.3, 0.2, 0.5}, {4.9, 2.0, 5.0}, {7.0, 5.0, 10.0}, {0.0013, 0.001, 0.002}, {12345.0, 10000.0, 20000.0},
        {1.5, 1.0, 2.0}, {60.885, 50.0, 100.0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(chart::roundedDown125(c.x), c.down) << "down from " << c.x;
        EXPECT_DOUBLE_EQ(chart::roundedUp125(c.x), c.up) << "up from " << c.x;
    }
    // A 1-2-5 value is its own rounding either way, in every decade.
    for (int exponent = -9; exponent <= 9; ++exponent) {
        for (double m : {1.0, 2.0, 5.0}) {
            double x = m * std::pow(10.0, exponent);
            EXPECT_DOUBLE_EQ(chart::roundedDown125(x), x) << x;
            EXPECT_DOUBLE_EQ(chart::roundedUp125(x), x) << x;
        }
    }
}

TEST(ChartGeometry, RoundStepIsTheNearestOnTheLogScale) {
    struct Case {
        double span, count, step;
        int decimals;
    };
    const Case cases[] = {
        {100.0, 9.0, 10.0, 0},  // 11.1: 10 is nearer than 20
        {100.0, 3.0, 50.0, 0},  // 33.3: 50 is nearer than 20
        {1.0, 8.0, 0.1, 1},     // 0.125
        {0.16, 8.0, 0.02, 2},   // exactly a round step
        {474.0, 9.0, 50.0, 0},  // 52.7
        {0.007, 7.0, 0.001, 3},
    };
    for (const Case& c : cases) {
        double step = chart::roundStep(c.span, c.count);
        EXPECT_DOUBLE_EQ(step, c.step) << c.span << " in about " << c.count << " steps";
        EXPECT_EQ(chart::decimalsOf(step), c.decimals) << "step " << step;
    }
}

TEST(ChartGeometry, NumbersAreWrittenAsLabelled) {
    struct Case {
        const char* description;
        std::string text, expected;
    };
    const Case cases[] = {
        {"no decimals", chart::shown(3.0, 0), "3"},
        {"a true minus sign", chart::shown(-1.5, 2), "\u22121.50"},
        {"no minus zero", chart::shown(-0.001, 2), "0.00"},
        {"a negative zero", chart::shown(-0.0, 1), "0.0"},
        {"four significant digits", chart::significant(40.5912), "40.59"},
        {"at least four", chart::significant(1234.6), "1235"},
        {"a small value", chart::significant(0.0123456), "0.01235"},
        {"a small pressure tick", chart::pressureTickText(0.002), "0.002"},
        {"a pressure tick of one", chart::pressureTickText(1.0), "1"},
        {"a million", chart::pressureTickText(1e6), "1000000"},
        {"below 1e-4 as a power of ten", chart::pressureTickText(1e-5), "1\u00B710\u207B\u2075"},
        {"above 1e6 as a power of ten", chart::pressureTickText(2e7), "2\u00B710\u2077"},
        {"two exponent digits", chart::pressureTickText(5e-12), "5\u00B710\u207B\u00B9\u00B2"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.text, c.expected) << c.description;
}

// ---- The frame, the ranges and the ticks ----------------------------------------------------

TEST(ChartGeometry, FrameMapsTheRangesOntoThePlot) {
    chart::Frame frame{100.0, 500.0, 0.01, 100.0};
    const double right = chart::kPlotLeft + chart::kPlotWidth, bottom = chart::kPlotTop + chart::kPlotHeight;
    EXPECT_DOUBLE_EQ(chart::xOf(frame, 100.0), chart::kPlotLeft);
    EXPECT_DOUBLE_EQ(chart::xOf(frame, 500.0), right);
    EXPECT_DOUBLE_EQ(chart::xOf(frame, 300.0), chart::kPlotLeft + 0.5 * chart::kPlotWidth);
    EXPECT_DOUBLE_EQ(chart::yOf(frame, 0.01), bottom);
    EXPECT_DOUBLE_EQ(chart::yOf(frame, 100.0), chart::kPlotTop);
    EXPECT_NEAR(chart::yOf(frame, 1.0), chart::kPlotTop + 0.5 * chart::kPlotHeight, 1e-9) << "two of four decades up";
    chart::Point p = chart::pointOf(frame, 200.0, 0.1);
    EXPECT_DOUBLE_EQ(p.x, chart::xOf(frame, 200.0));
    EXPECT_DOUBLE_EQ(p.y, chart::yOf(frame, 0.1));
}

TEST(ChartGeometry, PressureRangeSpansTheCriticalPressure) {
    struct Case {
        const char* description;
        double pc, pmin, pmax;
        double pMin, pMax;
    };
    const Case cases[] = {
        {"a few decades below, half as much again above", 40.59, 0.0039, 700.0, 0.05, 100.0},
        {"a high lowest pressure rounded up", 40.59, 0.3, 700.0, 0.5, 100.0},
        {"a low highest pressure rounded down", 40.59, 0.0039, 55.0, 0.05, 50.0},
        {"but never below the critical pressure", 40.59, 0.0039, 45.0, 0.05, 40.59},
        {"a lowest pressure close to the critical one", 10.0, 9.0, 100.0, 9.0, 20.0},
    };
    for (const Case& c : cases) {
        chart::Frame frame;
        chart::choosePressureRange(c.pc, c.pmin, c.pmax, frame);
        EXPECT_DOUBLE_EQ(frame.pMin, c.pMin) << c.description;
        EXPECT_DOUBLE_EQ(frame.pMax, c.pMax) << c.description;
        EXPECT_LT(frame.pMin, c.pc) << c.description;
        EXPECT_LE(c.pc, frame.pMax) << c.description;
    }
}

TEST(ChartGeometry, EnthalpyRangeHoldsTheDomeAndEndsOnHalfTicks) {
    struct Case {
        double hLiquid, hVapor;
        double hMin, hMax, hStep;
    };
    const Case cases[] = {
        {100.0, 400.0, 75.0, 550.0, 50.0},    // margins 8 % and 50 % of 300: 76 to 550
        {-20.0, 80.0, -30.0, 130.0, 20.0},    // -28 to 130 in steps of 20
        {0.0, 1.0, -0.1, 1.5, 0.2},           // -0.08 to 1.5
    };
    for (const Case& c : cases) {
        chart::Frame frame;
        double hStep = chart::chooseEnthalpyRange(c.hLiquid, c.hVapor, frame);
        std::string where = "dome " + std::to_string(c.hLiquid) + " to " + std::to_string(c.hVapor);
        EXPECT_DOUBLE_EQ(hStep, c.hStep) << where;
        EXPECT_NEAR(frame.hMin, c.hMin, 1e-12) << where;
        EXPECT_NEAR(frame.hMax, c.hMax, 1e-12) << where;
        EXPECT_LT(frame.hMin, c.hLiquid) << where;
        EXPECT_GT(frame.hMax, c.hVapor) << where;
    }
}

TEST(ChartGeometry, PressureTicksAreFewerWhenTheDecadesAreShort) {
    struct Case {
        const char* description;
        double pMin, pMax;
        std::vector<double> majorMantissas;
    };
    const Case cases[] = {
        {"3.3 decades: 1, 2 and 5", 0.05, 100.0, {1.0, 2.0, 5.0}},
        {"12 decades: 1 and 3", 1e-9, 1e3, {1.0, 3.0}},
        {"23 decades: 1 only", 1e-20, 1e3, {1.0}},
    };
    for (const Case& c : cases) {
        chart::Frame frame{0.0, 1.0, c.pMin, c.pMax};
        std::vector<chart::PressureTick> ticks = chart::pressureTicks(frame);
        ASSERT_FALSE(ticks.empty()) << c.description;
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            const chart::PressureTick& tick = ticks[i];
            EXPECT_GE(tick.p, c.pMin * 0.999999) << c.description;
            EXPECT_LE(tick.p, c.pMax * 1.000001) << c.description;
            if (i > 0) {
                EXPECT_GT(tick.p, ticks[i - 1].p) << c.description << ": ticks not rising at " << tick.p;
            }
            double mantissa = std::round(tick.p / std::pow(10.0, std::floor(std::log10(tick.p) + 1e-9)));
            bool major = false;
            for (double m : c.majorMantissas) major = major || m == mantissa;
            EXPECT_EQ(tick.major, major) << c.description << ": tick " << tick.p;
        }
    }
    // Every integer of each decade inside the range has a grid line: 0.05 to 0.09, 0.1 to 0.9,
    // 1 to 9, 10 to 90 and 100.
    EXPECT_EQ(chart::pressureTicks(chart::Frame{0.0, 1.0, 0.05, 100.0}).size(), 5u + 9u + 9u + 9u + 1u);
}

TEST(ChartGeometry, EnthalpyTicksAreTheMultiplesOfTheStepInRange) {
    EXPECT_EQ(chart::enthalpyTicks(chart::Frame{75.0, 550.0, 1.0, 10.0}, 50.0),
              (std::vector<double>{100, 150, 200, 250, 300, 350, 400, 450, 500, 550}));
    EXPECT_EQ(chart::enthalpyTicks(chart::Frame{-37.5, 62.5, 1.0, 10.0}, 25.0), (std::vector<double>{-25, 0, 25, 50}));
}

// ---- What a chart samples -----------------------------------------------------------------------

TEST(ChartGeometry, IsothermsAreRoundTemperaturesInsideThePlot) {
    struct Case {
        const char* description;
        double tLow, tFirst, tc, tTop;
        double step;
        std::vector<double> values;
    };
    const double nan = chart::kUnanswered;
    const Case cases[] = {
        {"from the first saturated above the bottom to the top corner", -26.4, -20.0, 101.06, 200.0, 20.0,
         {-20, 0, 20, 40, 60, 80, 100, 120, 140, 160, 180, 200}},
        {"without a first one: from the lowest temperature", -26.4, nan, 101.06, 130.0, 20.0, {-20, 0, 20, 40, 60, 80, 100, 120}},
        {"without a top corner: up to the critical temperature", -26.4, -20.0, 101.06, nan, 20.0,
         {-20, 0, 20, 40, 60, 80, 100}},
        {"above the critical temperature every tenth one", 0.0, 0.0, 100.0, 1000.0, 10.0,
         {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000}},
        {"above the critical temperature every second one", 0.0, 0.0, 100.0, 300.0, 10.0,
         {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 120, 140, 160, 180, 200, 220, 240, 260, 280, 300}},
    };
    for (const Case& c : cases) {
        chart::CurveValues isotherms = chart::isothermTemperatures(c.tLow, c.tFirst, c.tc, c.tTop);
        EXPECT_DOUBLE_EQ(isotherms.step, c.step) << c.description;
        EXPECT_EQ(isotherms.decimals, 0) << c.description;
        ASSERT_EQ(isotherms.values.size(), c.values.size()) << c.description;
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            EXPECT_NEAR(isotherms.values[i], c.values[i], 1e-9) << c.description << ": isotherm " << i;
        }
    }
    // A critical temperature below the lowest one gives no step and no isotherm, never a loop.
    EXPECT_TRUE(chart::isothermTemperatures(10.0, 10.0, 5.0, 20.0).values.empty());
    // However far the top corner lies, the candidates stay bounded.
    EXPECT_LE(chart::isothermTemperatures(0.0, 0.0, 1.0, 1e12).values.size(), 10 * static_cast<std::size_t>(chart::kMaxCurves));
}

TEST(ChartGeometry, IsentropesLieBetweenTheCriticalAndTheCornerEntropy) {
    chart::CurveValues isentropes = chart::isentropeEntropies(1.0, 2.0);
    EXPECT_DOUBLE_EQ(isentropes.step, 0.1);
    EXPECT_EQ(isentropes.decimals, 1);
    ASSERT_EQ(isentropes.values.size(), 9u) << "1.1 to 1.9";
    for (double s : isentropes.values) {
        EXPECT_GT(s, 1.0);
        EXPECT_LT(s, 2.0);
        EXPECT_NEAR(s / 0.1, std::round(s / 0.1), 1e-9) << s << " is not a multiple of the step";
    }
    EXPECT_TRUE(chart::isentropeEntropies(1.0, chart::kUnanswered).values.empty()) << "no corner entropy";
    EXPECT_TRUE(chart::isentropeEntropies(1.0, 0.5).values.empty()) << "a corner entropy below the critical one";
}

TEST(ChartGeometry, SamplingParametersOfTheDome) {
    EXPECT_EQ(chart::stepAlong(-30.0, 100.0, 0, 100), -30.0);
    EXPECT_EQ(chart::stepAlong(-30.0, 100.0, 100, 100), 100.0);
    EXPECT_DOUBLE_EQ(chart::stepAlong(-30.0, 100.0, 50, 100), 35.0);
    EXPECT_DOUBLE_EQ(chart::closerToCritical(100.0, 0.5, 1), 99.75) << "half the stop below the critical temperature";
    EXPECT_DOUBLE_EQ(chart::closerToCritical(100.0, 0.5, 4), 100.0 - 0.5 / 16.0);
    // Half a degree F below R134a's critical temperature (673.8 R), in F and in C.
    EXPECT_NEAR(chart::domeStop(673.8, 1.0), 0.505, 0.001);
    EXPECT_NEAR(chart::domeStop(673.8, 1.0 / 1.8), 0.505 / 1.8, 0.001);
    chart::Span span = chart::isolineLogPressures(chart::Frame{0.0, 1.0, 0.01, 100.0});
    EXPECT_DOUBLE_EQ(span.from, -2.02) << "a little below the plot";
    EXPECT_DOUBLE_EQ(span.to, 2.02) << "a little above it";
}

// ---- Adaptive sampling --------------------------------------------------------------------------

// Distance of a point from the line through two others.
double offChord(chart::Point a, chart::Point m, chart::Point b) {
    double dx = b.x - a.x, dy = b.y - a.y;
    return std::fabs((m.x - a.x) * dy - (m.y - a.y) * dx) / std::hypot(dx, dy);
}

TEST(ChartGeometry, SampledCurveIsSmoothAtTheDrawingsResolution) {
    // Half a circle of radius 1000 px, in its angle: its first 48 steps are 65 px long.
    const double radius = 1000.0, pi = std::acos(-1.0);
    auto circle = [&](double t, chart::Sample& sample) {
        sample.a = sample.b = {400.0 + radius * std::cos(t), 400.0 - radius * std::sin(t)};
        return true;
    };
    std::vector<chart::Sample> samples = chart::sampleCurve(0.0, pi, circle);
    ASSERT_GT(samples.size(), 49u) << "the circle needs more than the first 48 steps";
    EXPECT_EQ(samples.front().t, 0.0);
    EXPECT_EQ(samples.back().t, pi) << "the last sample is at the end exactly";
    for (std::size_t i = 1; i < samples.size(); ++i) {
        const chart::Sample &left = samples[i - 1], &right = samples[i];
        EXPECT_GT(right.t, left.t) << "sample " << i;
        EXPECT_LE(std::hypot(right.a.x - left.a.x, right.a.y - left.a.y), 18.0) << "piece " << i << " is too long";
        double mt = 0.5 * (left.t + right.t);
        chart::Point middle{400.0 + radius * std::cos(mt), 400.0 - radius * std::sin(mt)};
        EXPECT_LE(offChord(left.a, middle, right.a), 0.2) << "piece " << i << " strays from the circle";
    }
    // A short straight line is only checked at the middle of each of its 48 first steps.
    auto line = [](double t, chart::Sample& sample) {
        sample.a = sample.b = {t, 300.0};
        return true;
    };
    std::vector<chart::Run> runs = chart::runsOf(chart::sampleCurve(100.0, 580.0, line));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].size(), 2u * 48u + 1u);
}

TEST(ChartGeometry, UnansweredPointsBreakTheCurve) {
    // Unanswered between 0.4 and 0.6 of the span: two runs, their edges found by halving.
    auto holed = [](double t, chart::Sample& sample) {
        if (t > 0.4 && t < 0.6) return false;
        sample.a = sample.b = {100.0 + 500.0 * t, 300.0};
        return true;
    };
    std::vector<chart::Sample> samples = chart::sampleCurve(0.0, 1.0, holed);
    std::vector<chart::Run> runs = chart::runsOf(samples);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_NEAR(runs[0].back().x, 100.0 + 500.0 * 0.4, 0.01) << "the first run ends at the hole";
    EXPECT_NEAR(runs[1].front().x, 100.0 + 500.0 * 0.6, 0.01) << "the second run starts after it";

    // A curve answered nowhere has no runs and costs no halving.
    int calls = 0;
    auto nowhere = [&](double, chart::Sample&) {
        ++calls;
        return false;
    };
    EXPECT_TRUE(chart::runsOf(chart::sampleCurve(0.0, 1.0, nowhere)).empty());
    EXPECT_EQ(calls, 49);
}

TEST(ChartGeometry, CurveThatNeverSettlesCostsBoundedCalls) {
    // A point that jumps about by hundreds of pixels at every parameter.
    int calls = 0;
    auto noise = [&](double t, chart::Sample& sample) {
        ++calls;
        std::uint64_t bits = static_cast<std::uint64_t>(t * 1e15) * 0x9E3779B97F4A7C15ull;
        sample.a = sample.b = {static_cast<double>(bits % 800), static_cast<double>((bits >> 20) % 500)};
        return true;
    };
    std::vector<chart::Sample> samples = chart::sampleCurve(0.0, 1.0, noise);
    EXPECT_LE(calls, 49 + 3000) << "48 steps and at most 3000 halvings";
    EXPECT_EQ(samples.size(), static_cast<std::size_t>(calls)) << "every point asked for is kept";
}

}  // namespace
