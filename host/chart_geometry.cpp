// The chart's geometry: round values and their texts, the frame that maps enthalpy and log
// pressure onto the page, the axis ranges and ticks, the values of the curves a chart draws,
// and the adaptive sampling of one curve. Nothing here calls a worksheet function.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/chart.h"

namespace kaltra::host::chart {

namespace {

// ---- Ranges -------------------------------------------------------------------------------
// The lowest pressure shown is this fraction of the critical pressure (or the lowest
// saturation pressure, when higher); the highest is this multiple of it.
constexpr double kLowPressureFraction = 1.0 / 500.0;
constexpr double kHighPressureFactor = 1.5;
// The enthalpy axis spans the dome with these margins, as fractions of the dome's width.
constexpr double kLiquidMargin = 0.08;
constexpr double kVaporMargin = 0.5;
// Close to the critical temperature the vapor root of the equation of state can come out
// denser than the liquid root; the dome is drawn up to this fraction of the absolute critical
// temperature below it (half a degree F for R134a) and closed at the critical point.
constexpr double kDomeStopFraction = 7.5e-4;
// About this many isotherms across the dome, at most this many above the critical
// temperature, about this many isentropes and enthalpy ticks.
constexpr double kIsothermCount = 8.0;
constexpr double kMaxHotIsotherms = 10.0;
constexpr double kIsentropeCount = 8.0;
constexpr double kEnthalpyTickCount = 9.0;
// Isotherms and isentropes are sampled this far (in decades) beyond the plot's pressures, so
// that they leave it at its edges.
constexpr double kIsolineOverreach = 0.02;

// ---- Sampling -----------------------------------------------------------------------------
constexpr int kInitialSteps = 48;
constexpr int kMaxRefinements = 12;
// Most points a curve may add by halving, so that a curve the add-in answers with noise
// costs a bounded number of calls.
constexpr int kMaxAddedPoints = 3000;
// A piece is halved when its middle strays this far from the chord, or when it is longer.
constexpr double kMaxDeviation = 0.2;
constexpr double kMaxPiece = 18.0;

}  // namespace

// ---- Round values and their texts ---------------------------------------------------------

double roundedDown125(double x) {
    double decade = std::pow(10.0, std::floor(std::log10(x)));
    for (double m : {5.0, 2.0, 1.0}) {
        if (m * decade <= x * (1.0 + 1e-12)) return m * decade;
    }
    return decade;
}

double roundedUp125(double x) {
    double decade = std::pow(10.0, std::floor(std::log10(x)));
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * decade >= x * (1.0 - 1e-12)) return m * decade;
    }
    return 10.0 * decade;
}

double roundStep(double span, double count) {
    double wanted = span / count;
    double below = roundedDown125(wanted), above = roundedUp125(wanted);
    return std::log(wanted / below) <= std::log(above / wanted) ? below : above;
}

int decimalsOf(double step) {
    if (!(step > 0.0)) return 0;  // no step (NaN included) needs no decimals
    return std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
}

std::string shown(double x, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, x);
    std::string text = buffer;
    if (text[0] == '-') {
        bool zero = text.find_first_not_of("-0.") == std::string::npos;
        text = zero ? text.substr(1) : "\u2212" + text.substr(1);
    }
    return text;
}

std::string significant(double x) {
    int magnitude = x == 0.0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(x))));
    return shown(x, std::max(0, 3 - magnitude));
}

std::string pressureTickText(double p) {
    int exponent = static_cast<int>(std::floor(std::log10(p) + 1e-9));
    double mantissa = p / std::pow(10.0, exponent);
    if (exponent >= -4 && exponent <= 6) return shown(p, std::max(0, -exponent));
    static const char* const kSuperscripts[] = {"\u2070", "\u00B9", "\u00B2", "\u00B3", "\u2074",
                                                "\u2075", "\u2076", "\u2077", "\u2078", "\u2079"};
    std::string text = shown(mantissa, 0) + "\u00B710";
    if (exponent < 0) text += "\u207B";
    for (char digit : std::to_string(std::abs(exponent))) text += kSuperscripts[digit - '0'];
    return text;
}

// ---- The frame ------------------------------------------------------------------------------

double xOf(const Frame& frame, double h) { return kPlotLeft + (h - frame.hMin) / (frame.hMax - frame.hMin) * kPlotWidth; }

double yOf(const Frame& frame, double p) {
    double lo = std::log10(frame.pMin), hi = std::log10(frame.pMax);
    return kPlotTop + kPlotHeight - (std::log10(p) - lo) / (hi - lo) * kPlotHeight;
}

Point pointOf(const Frame& frame, double h, double p) { return {xOf(frame, h), yOf(frame, p)}; }

// ---- Axis ranges and ticks ------------------------------------------------------------------

void choosePressureRange(double pc, double pmin, double pmax, Frame& frame) {
    frame.pMin = std::max(roundedDown125(pc * kLowPressureFraction), roundedUp125(pmin));
    frame.pMax = roundedUp125(kHighPressureFactor * pc);
    if (frame.pMax > pmax) frame.pMax = std::max(roundedDown125(pmax), pc);
    if (!(frame.pMin < pc)) frame.pMin = pmin;
}

double chooseEnthalpyRange(double hLiquid, double hVapor, Frame& frame) {
    double width = hVapor - hLiquid;
    double hLeft = hLiquid - kLiquidMargin * width, hRight = hVapor + kVaporMargin * width;
    double hStep = roundStep(hRight - hLeft, kEnthalpyTickCount);
    frame.hMin = std::floor(2.0 * hLeft / hStep) * 0.5 * hStep;
    frame.hMax = std::ceil(2.0 * hRight / hStep) * 0.5 * hStep;
    return hStep;
}

// 1-2-5 in every decade, fewer when the decades are short.
std::vector<PressureTick> pressureTicks(const Frame& frame) {
    double decades = std::log10(frame.pMax) - std::log10(frame.pMin);
    double decadeHeight = kPlotHeight / decades;
    std::vector<double> mantissas = decadeHeight >= 5.0 * kTickFontSize    ? std::vector<double>{1.0, 2.0, 5.0}
                                    : decadeHeight >= 2.5 * kTickFontSize ? std::vector<double>{1.0, 3.0}
                                                                           : std::vector<double>{1.0};
    std::vector<PressureTick> ticks;
    for (double decade = std::pow(10.0, std::floor(std::log10(frame.pMin))); decade <= frame.pMax * 1.000001; decade *= 10.0) {
        for (int m = 1; m <= 9; ++m) {
            double p = m * decade;
            if (p < frame.pMin * 0.999999 || p > frame.pMax * 1.000001) continue;
            bool major = std::find(mantissas.begin(), mantissas.end(), static_cast<double>(m)) != mantissas.end();
            ticks.push_back({p, major});
        }
    }
    return ticks;
}

std::vector<double> enthalpyTicks(const Frame& frame, double hStep) {
    std::vector<double> ticks;
    for (double k = std::ceil(frame.hMin / hStep - 1e-9); k * hStep <= frame.hMax + 1e-9 * hStep; k += 1.0) {
        ticks.push_back(k * hStep);
    }
    return ticks;
}

// ---- What a chart samples -------------------------------------------------------------------

double domeStop(double tcRankine, double degree) { return kDomeStopFraction * tcRankine * degree; }

double stepAlong(double from, double to, int i, int steps) { return from + (to - from) * i / steps; }

double closerToCritical(double tc, double stop, int halving) { return tc - std::ldexp(stop, -halving); }

CurveValues isothermTemperatures(double tLow, double tFirst, double tc, double tTop) {
    if (std::isnan(tTop) || tTop <= tLow) tTop = tc;
    if (std::isnan(tFirst)) tFirst = tLow;
    CurveValues isotherms;
    isotherms.step = roundStep(tc - tLow, kIsothermCount);
    isotherms.decimals = decimalsOf(isotherms.step);
    double tStep = isotherms.step;
    // Above the critical temperature every second, fifth or tenth one, if there would be
    // too many.
    double hotEvery = 1.0;
    for (double every : {1.0, 2.0, 5.0, 10.0}) {
        hotEvery = every;
        if ((tTop - tc) / (every * tStep) <= kMaxHotIsotherms) break;
    }
    double kFirst = std::ceil(tFirst / tStep);
    for (int n = 0; tStep > 0.0 && n < kMaxCurves * hotEvery; ++n) {
        double k = kFirst + n, t = k * tStep;
        if (t > tTop) break;
        if (t > tc && std::fmod(k, hotEvery) != 0.0) continue;
        isotherms.values.push_back(t);
    }
    return isotherms;
}

CurveValues isentropeEntropies(double sc, double sRight) {
    CurveValues isentropes;
    if (!(sRight > sc)) return isentropes;  // NaN included
    double sStep = roundStep(sRight - sc, kIsentropeCount);
    isentropes.step = sStep;
    isentropes.decimals = decimalsOf(sStep);
    double kFirst = std::floor(sc / sStep) + 1.0;
    for (int n = 0; sStep > 0.0 && n < kMaxCurves && (kFirst + n) * sStep < sRight; ++n) {
        isentropes.values.push_back((kFirst + n) * sStep);
    }
    return isentropes;
}

Span isolineLogPressures(const Frame& frame) {
    return {std::log10(frame.pMin) - kIsolineOverreach, std::log10(frame.pMax) + kIsolineOverreach};
}

// ---- Adaptive sampling ------------------------------------------------------------------------

namespace {

// Distance of the middle point from the chord between the outer two.
double deviation(Point left, Point middle, Point right) {
    double dx = right.x - left.x, dy = right.y - left.y;
    double length = std::hypot(dx, dy);
    if (length == 0.0) return std::hypot(middle.x - left.x, middle.y - left.y);
    return std::fabs((middle.x - left.x) * dy - (middle.y - left.y) * dx) / length;
}

bool needsHalving(const Sample& left, const Sample& middle, const Sample& right) {
    return deviation(left.a, middle.a, right.a) > kMaxDeviation || deviation(left.b, middle.b, right.b) > kMaxDeviation ||
           std::hypot(right.a.x - left.a.x, right.a.y - left.a.y) > kMaxPiece ||
           std::hypot(right.b.x - left.b.x, right.b.y - left.b.y) > kMaxPiece;
}

Sample sampleAt(double t, const PointsAt& pointsAt) {
    Sample sample;
    sample.t = t;
    sample.valid = pointsAt(t, sample);
    return sample;
}

// Appends the samples after `left` up to and including `right`, halving a piece while it is
// not smooth enough or while it holds the edge between answered and unanswered points, as
// long as the curve's budget of points lasts.
void refine(const Sample& left, const Sample& right, int depth, const PointsAt& pointsAt, int& budget,
            std::vector<Sample>& out) {
    if (depth < kMaxRefinements && budget > 0 && (left.valid || right.valid)) {
        --budget;
        Sample middle = sampleAt(0.5 * (left.t + right.t), pointsAt);
        if (!left.valid || !right.valid || !middle.valid || needsHalving(left, middle, right)) {
            refine(left, middle, depth + 1, pointsAt, budget, out);
            refine(middle, right, depth + 1, pointsAt, budget, out);
            return;
        }
        out.push_back(middle);
    }
    out.push_back(right);
}

}  // namespace

std::vector<Sample> sampleCurve(double from, double to, const PointsAt& pointsAt) {
    std::vector<Sample> coarse;
    for (int i = 0; i <= kInitialSteps; ++i) {
        double t = i == kInitialSteps ? to : stepAlong(from, to, i, kInitialSteps);
        coarse.push_back(sampleAt(t, pointsAt));
    }
    std::vector<Sample> samples{coarse.front()};
    int budget = kMaxAddedPoints;
    for (std::size_t i = 1; i < coarse.size(); ++i) refine(coarse[i - 1], coarse[i], 0, pointsAt, budget, samples);
    return samples;
}

std::vector<Run> runsOf(const std::vector<Sample>& samples) {
    std::vector<Run> runs;
    Run run;
    for (const Sample& sample : samples) {
        if (sample.valid) {
            run.push_back(sample.a);
        } else if (!run.empty()) {
            runs.push_back(run);
            run.clear();
        }
    }
    if (!run.empty()) runs.push_back(run);
    return runs;
}

}  // namespace kaltra::host::chart
