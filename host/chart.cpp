// The pressure-enthalpy chart of one fluid. Every number on it comes from the add-in's
// worksheet functions, called by name through the registered function list exactly as a
// worksheet would call them, in the unit system the user chose:
//
//   saturation dome    KaltPsat, KaltHf, KaltHg along the saturation temperature
//   critical point     KaltTsat at KaltPmax (Tc); KaltPsat, KaltHf, KaltSf at KaltTmax,
//                      which they bound to Tc
//   isotherms          KaltHofTP along the isobars, the two-phase part at KaltPsat from
//                      KaltHf to KaltHg
//   isentropes         KaltTofPS, then KaltHofTP, kept where KaltTsat says the state is vapor
//   texts              KaltName, KaltLongName, KaltForm, KaltUnits
//
// Curves are sampled adaptively in their parameter (log pressure, or temperature for the
// dome) until they are smooth at the drawing's resolution; a point the add-in cannot answer
// (-999, or not a finite number) breaks the curve instead of bending it.
#include "host/chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "host/svg.h"

namespace kaltra::host {

namespace {

using svg::Point;

// The unit code of ºR and psia.
constexpr int kEnglishAbsolute = 2;

constexpr int kCharted = 0;
constexpr int kCannotChart = 1;
constexpr int kCannotWrite = 2;

// The add-in's answer for a fluid it has no data for.
constexpr double kNoData = -999.0;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---- Layout, in pixels --------------------------------------------------------------------
constexpr double kPageWidth = 980.0;
constexpr double kPageHeight = 720.0;
constexpr double kPlotLeft = 86.0;
constexpr double kPlotTop = 100.0;
constexpr double kPlotWidth = 860.0;
constexpr double kPlotHeight = 536.0;
constexpr double kLabelFontSize = 10.5;
constexpr double kTickFontSize = 11.0;
// Average advance of a character of the sans-serif face, in ems; generous for digits.
constexpr double kCharacterWidth = 0.62;
// Space kept free around every label inside the plot, and between labels side by side.
constexpr double kLabelPadding = 2.0;
constexpr double kLabelGap = 7.0;

// ---- Ranges -------------------------------------------------------------------------------
// The lowest pressure shown is this fraction of the critical pressure (or the lowest
// saturation pressure, when higher); the highest is this multiple of it.
constexpr double kLowPressureFraction = 1.0 / 500.0;
constexpr double kHighPressureFactor = 1.5;
// The coldest isotherm drawn is saturated at least this factor above the lowest pressure.
constexpr double kBottomClearance = 1.1;
// The enthalpy axis spans the dome with these margins, as fractions of the dome's width.
constexpr double kLiquidMargin = 0.08;
constexpr double kVaporMargin = 0.5;
// Close to the critical temperature the vapor root of the equation of state can come out
// denser than the liquid root; the dome is drawn up to this fraction of the absolute critical
// temperature below it (half a degree F for R134a) and closed at the critical point.
constexpr double kDomeStopFraction = 7.5e-4;
// Beyond that the dome goes on, halving the distance this many times at most, while its two
// lines still converge on the critical point.
constexpr int kDomeCloserSteps = 4;
// About this many isotherms across the dome, at most this many above the critical
// temperature, about this many isentropes and enthalpy ticks.
constexpr double kIsothermCount = 8.0;
constexpr double kMaxHotIsotherms = 10.0;
constexpr double kIsentropeCount = 8.0;
constexpr double kEnthalpyTickCount = 9.0;

// ---- Sampling -----------------------------------------------------------------------------
constexpr int kInitialSteps = 48;
constexpr int kMaxRefinements = 12;
// Most points a curve may add by halving, so that a curve the add-in answers with noise
// costs a bounded number of calls.
constexpr int kMaxAddedPoints = 3000;
// Most isotherms or isentropes drawn, whatever the ranges.
constexpr double kMaxCurves = 60.0;
// A piece is halved when its middle strays this far from the chord, or when it is longer.
constexpr double kMaxDeviation = 0.2;
constexpr double kMaxPiece = 18.0;

// ---- Calling the add-in -------------------------------------------------------------------

struct Addin {
    const std::vector<AddinFunction>& functions;
    std::string fluid;  // as the add-in reads it, Windows-1252
    int units;
};

Value callNamed(const std::vector<AddinFunction>& functions, const char* name, const std::vector<Value>& arguments) {
    int at = findFunction(functions, name);
    if (at < 0) return errorValue(kErrorName);
    return callFunction(functions[at], arguments);
}

// The answer as a number, or NaN when the add-in gave no usable number.
double usable(const Value& value) {
    if (value.kind != ValueKind::number || !std::isfinite(value.number) || value.number == kNoData) return kNaN;
    return value.number;
}

// function(name, x, units)
double ask(const Addin& addin, const char* function, double x) {
    return usable(callNamed(addin.functions, function, {textValue(addin.fluid), numberValue(x), numberValue(addin.units)}));
}

// function(name, x, y, units)
double ask(const Addin& addin, const char* function, double x, double y) {
    return usable(callNamed(addin.functions, function,
                            {textValue(addin.fluid), numberValue(x), numberValue(y), numberValue(addin.units)}));
}

// A text answer in UTF-8, or "" when the answer is not a text.
std::string askText(const std::vector<AddinFunction>& functions, const char* function, const std::vector<Value>& arguments) {
    Value value = callNamed(functions, function, arguments);
    return value.kind == ValueKind::text ? utf8FromWindows1252(value.text) : std::string();
}

// ---- Numbers ------------------------------------------------------------------------------

// The 1-2-5 value nearest at or below (or at or above) a positive x.
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

// The round step (1, 2 or 5 times a power of ten) nearest to giving `count` steps over a
// span, nearness taken on the logarithmic scale.
double roundStep(double span, double count) {
    double wanted = span / count;
    double below = roundedDown125(wanted), above = roundedUp125(wanted);
    return std::log(wanted / below) <= std::log(above / wanted) ? below : above;
}

// Decimals that show every multiple of a round step.
int decimalsOf(double step) { return std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9))); }

// A value as labelled: fixed decimals, a true minus sign, no "-0".
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

// A value with four significant digits (at least), for the legend.
std::string significant(double x) {
    int magnitude = x == 0.0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(x))));
    return shown(x, std::max(0, 3 - magnitude));
}

// A pressure tick (a 1-2-5 value): plain decimals between 1e-4 and 1e6, else m·10^k.
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

// ---- The frame: data (h, P) to pixels -----------------------------------------------------

struct Frame {
    double hMin = 0.0, hMax = 1.0;
    double pMin = 1.0, pMax = 10.0;
};

double xOf(const Frame& frame, double h) { return kPlotLeft + (h - frame.hMin) / (frame.hMax - frame.hMin) * kPlotWidth; }

double yOf(const Frame& frame, double p) {
    double lo = std::log10(frame.pMin), hi = std::log10(frame.pMax);
    return kPlotTop + kPlotHeight - (std::log10(p) - lo) / (hi - lo) * kPlotHeight;
}

Point pointOf(const Frame& frame, double h, double p) { return {xOf(frame, h), yOf(frame, p)}; }

// ---- Adaptive sampling --------------------------------------------------------------------

// A curve point at parameter t: up to two drawn points (the dome draws its liquid and vapor
// line from one temperature), in pixels.
struct Sample {
    double t = 0.0;
    bool valid = false;
    Point a;
    Point b;
};

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

template <class Evaluate>
Sample sampleAt(double t, Evaluate& evaluate) {
    Sample sample;
    sample.t = t;
    sample.valid = evaluate(t, sample);
    return sample;
}

// Appends the samples after `left` up to and including `right`, halving a piece while it is
// not smooth enough or while it holds the edge between answered and unanswered points, as
// long as the curve's budget of points lasts.
template <class Evaluate>
void refine(const Sample& left, const Sample& right, int depth, Evaluate& evaluate, int& budget, std::vector<Sample>& out) {
    if (depth < kMaxRefinements && budget > 0 && (left.valid || right.valid)) {
        --budget;
        Sample middle = sampleAt(0.5 * (left.t + right.t), evaluate);
        if (!left.valid || !right.valid || !middle.valid || needsHalving(left, middle, right)) {
            refine(left, middle, depth + 1, evaluate, budget, out);
            refine(middle, right, depth + 1, evaluate, budget, out);
            return;
        }
        out.push_back(middle);
    }
    out.push_back(right);
}

// Samples a curve over [from, to] (both ends evaluated at exactly these parameters).
template <class Evaluate>
std::vector<Sample> sampleCurve(double from, double to, Evaluate evaluate) {
    std::vector<Sample> coarse;
    for (int i = 0; i <= kInitialSteps; ++i) {
        double t = i == kInitialSteps ? to : from + (to - from) * i / kInitialSteps;
        coarse.push_back(sampleAt(t, evaluate));
    }
    std::vector<Sample> samples{coarse.front()};
    int budget = kMaxAddedPoints;
    for (std::size_t i = 1; i < coarse.size(); ++i) refine(coarse[i - 1], coarse[i], 0, evaluate, budget, samples);
    return samples;
}

using Run = std::vector<Point>;

// The unbroken runs of answered points (their first drawn point).
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

// ---- Labels -------------------------------------------------------------------------------

struct Box {
    double x0, y0, x1, y1;
};

bool overlap(const Box& a, const Box& b) {
    return a.x0 < b.x1 + kLabelGap && b.x0 < a.x1 + kLabelGap && a.y0 < b.y1 + kLabelPadding &&
           b.y0 < a.y1 + kLabelPadding;
}

double textWidth(const std::string& utf8, double fontSize) {
    double characters = 0;
    for (unsigned char c : utf8) characters += (c & 0xC0) != 0x80 ? 1 : 0;
    return characters * kCharacterWidth * fontSize;
}

// A label, centred on a point.
struct Label {
    Point at;
    std::string text;
    std::string cssClass;
};

// Labels placed so far and the boxes they cover.
struct Labels {
    std::vector<Label> placed;
    std::vector<Box> taken;
};

Box boxAround(Point at, const std::string& text, double fontSize) {
    double halfWidth = 0.5 * textWidth(text, fontSize) + 1.0;
    double halfHeight = 0.5 * fontSize + 1.0;
    return {at.x - halfWidth, at.y - halfHeight, at.x + halfWidth, at.y + halfHeight};
}

bool insidePlot(const Box& box) {
    return box.x0 >= kPlotLeft + kLabelPadding && box.x1 <= kPlotLeft + kPlotWidth - kLabelPadding &&
           box.y0 >= kPlotTop + kLabelPadding && box.y1 <= kPlotTop + kPlotHeight - kLabelPadding;
}

// Places a label centred at the first candidate where it stays inside the plot and clear of
// every label placed before; false when none is free.
bool placeLabel(Labels& labels, const std::vector<Point>& candidates, const std::string& text, const std::string& cssClass) {
    for (Point at : candidates) {
        Box box = boxAround(at, text, kLabelFontSize);
        if (!insidePlot(box)) continue;
        bool free = std::none_of(labels.taken.begin(), labels.taken.end(), [&](const Box& other) { return overlap(box, other); });
        if (!free) continue;
        labels.taken.push_back(box);
        labels.placed.push_back({at, text, cssClass});
        return true;
    }
    return false;
}

// Where a run first crosses the horizontal line at y, if it does.
bool crossing(const Run& run, double y, Point& at) {
    for (std::size_t i = 1; i < run.size(); ++i) {
        Point p = run[i - 1], q = run[i];
        if ((p.y - y) * (q.y - y) > 0.0 || p.y == q.y) continue;
        double f = (y - p.y) / (q.y - p.y);
        at = {p.x + f * (q.x - p.x), y};
        return true;
    }
    return false;
}

// Candidate label points of some runs on rows at the given heights (fractions of the plot
// height from its bottom), in that order of preference.
std::vector<Point> candidatesOnRows(const std::vector<Run>& runs, const std::vector<double>& rows) {
    std::vector<Point> candidates;
    for (double row : rows) {
        double y = kPlotTop + kPlotHeight * (1.0 - row);
        for (const Run& run : runs) {
            Point at;
            if (crossing(run, y, at)) {
                candidates.push_back(at);
                break;
            }
        }
    }
    return candidates;
}

// ---- The fluid and its chart --------------------------------------------------------------

struct Fluid {
    std::string name, longName, formula;  // UTF-8
    std::string systemName, pressureUnit, temperatureUnit, enthalpyUnit, entropyUnit;
    std::string pressureWord, enthalpyWord;
    double tc = kNaN, pc = kNaN, hc = kNaN, sc = kNaN;
    double tmin = kNaN, pmin = kNaN, tmax = kNaN, pmax = kNaN;
    double degree = 1.0;    // one degree F in the display unit of temperature
    double domeStop = 0.0;  // how far below the critical temperature the dome is drawn, display unit
    int units = 1;
};

struct Curve {
    std::vector<Run> runs;
    std::vector<Run> labelRuns;  // the part a label may sit on
    std::string label;
};

struct Chart {
    Fluid fluid;
    Frame frame;
    double hStep = 1.0;
    Run dome;  // liquid line up to the critical point, then the vapor line down
    std::vector<Curve> isotherms;
    std::vector<Curve> isentropes;
    int temperatureDecimals = 0;
    int entropyDecimals = 0;
};

// The catalogue texts and the critical point; false after telling why.
bool readFluid(const Addin& addin, int index, Fluid& fluid) {
    const std::vector<AddinFunction>& functions = addin.functions;
    fluid.units = addin.units;
    fluid.name = askText(functions, "KaltName", {numberValue(index)});
    fluid.longName = askText(functions, "KaltLongName", {numberValue(index)});
    fluid.formula = askText(functions, "KaltForm", {numberValue(index)});
    auto label = [&](int quantity) { return askText(functions, "KaltUnits", {numberValue(addin.units), numberValue(quantity)}); };
    auto word = [&](int quantity) { return askText(functions, "KaltUnits", {numberValue(8), numberValue(quantity)}); };
    fluid.pressureUnit = label(0);
    fluid.temperatureUnit = label(1);
    fluid.enthalpyUnit = label(3);
    fluid.entropyUnit = label(4);
    fluid.systemName = label(10);
    fluid.pressureWord = word(0);
    fluid.enthalpyWord = word(3);
    // Fahrenheit and Rankine degrees are the internal degree; Celsius and kelvin are 1.8 of them.
    bool fahrenheitSized = fluid.temperatureUnit == "\u00BAF" || fluid.temperatureUnit == "\u00BAR";
    fluid.degree = fahrenheitSized ? 1.0 : 1.0 / 1.8;

    Value tmax = callNamed(functions, "KaltTmax", {textValue(addin.fluid), numberValue(addin.units)});
    Value pmax = callNamed(functions, "KaltPmax", {textValue(addin.fluid), numberValue(addin.units)});
    fluid.tmax = usable(tmax);
    fluid.pmax = usable(pmax);
    // Any temperature at or above the critical one is answered at the critical point, and
    // any pressure at or above the critical one gives the critical temperature.
    fluid.tc = ask(addin, "KaltTsat", fluid.pmax);
    fluid.pc = ask(addin, "KaltPsat", fluid.tmax);
    fluid.hc = ask(addin, "KaltHf", fluid.tmax);
    fluid.sc = ask(addin, "KaltSf", fluid.tmax);
    // The critical temperature in Rankine (unit code 2) sets how close to it the dome goes.
    Addin rankine{addin.functions, addin.fluid, kEnglishAbsolute};
    double pmaxPsia = usable(callNamed(functions, "KaltPmax", {textValue(addin.fluid), numberValue(kEnglishAbsolute)}));
    fluid.domeStop = kDomeStopFraction * ask(rankine, "KaltTsat", pmaxPsia) * fluid.degree;
    // A pressure of zero is raised to the lowest saturation pressure.
    fluid.tmin = ask(addin, "KaltTsat", 0.0);
    fluid.pmin = ask(addin, "KaltPsat", fluid.tmin);
    for (double x : {fluid.tmax, fluid.pmax, fluid.tc, fluid.pc, fluid.hc, fluid.sc, fluid.tmin, fluid.pmin, fluid.domeStop}) {
        if (std::isnan(x)) {
            std::fprintf(stderr,
                         "kaltra: chart: %s (%s) has no equation-of-state coefficients in this add-in: its saturation "
                         "functions answer -999, so there is nothing to draw\n",
                         fluid.name.c_str(), fluid.longName.c_str());
            return false;
        }
    }
    if (!(fluid.pmin > 0.0 && fluid.pmin < fluid.pc && fluid.tmin < fluid.tc && fluid.pc < fluid.pmax)) {
        std::fprintf(stderr, "kaltra: chart: the add-in's critical point of %s lies outside its range; nothing drawn\n",
                     fluid.name.c_str());
        return false;
    }
    return true;
}

// The saturation dome from the saturation temperature of the lowest pressure up to just
// below the critical temperature, closed at the critical point. Points where the liquid line
// would not rise, where the vapor enthalpy would not exceed the liquid one, or, at the top,
// where a line would reach past the critical enthalpy, are left out.
Run domeOf(const Addin& addin, const Chart& chart, double tFrom) {
    const Fluid& fluid = chart.fluid;
    double tTo = fluid.tc - fluid.domeStop;
    auto evaluate = [&](double t, Sample& sample) {
        double p = ask(addin, "KaltPsat", t);
        double hf = ask(addin, "KaltHf", t);
        double hg = ask(addin, "KaltHg", t);
        if (!(p > 0.0) || std::isnan(hf) || std::isnan(hg) || !(hf < hg)) return false;
        sample.a = pointOf(chart.frame, hf, p);
        sample.b = pointOf(chart.frame, hg, p);
        return true;
    };
    std::vector<Sample> samples = sampleCurve(tFrom, tTo, evaluate);
    Run liquid, vapor;
    for (const Sample& sample : samples) {
        if (!sample.valid) continue;
        // Higher on the page means a higher pressure; the liquid line leans right as it rises.
        if (!liquid.empty() && !(sample.a.y < liquid.back().y && sample.a.x > liquid.back().x)) continue;
        liquid.push_back(sample.a);
        vapor.push_back(sample.b);
    }
    // Closer to the critical point, halving the distance, as long as the lines go on
    // converging: the liquid line rising to the right, the vapor line rising to the left.
    for (int halving = 1; halving <= kDomeCloserSteps && !liquid.empty(); ++halving) {
        Sample sample;
        if (!evaluate(fluid.tc - std::ldexp(fluid.domeStop, -halving), sample)) break;
        bool converging = sample.a.y < liquid.back().y && sample.a.x > liquid.back().x && sample.b.x < vapor.back().x;
        if (!converging) break;
        liquid.push_back(sample.a);
        vapor.push_back(sample.b);
    }
    // Close below the critical point the two lines must still lie below it and on either
    // side of it.
    Point critical = pointOf(chart.frame, fluid.hc, fluid.pc);
    while (!liquid.empty() && (liquid.back().y <= critical.y || liquid.back().x >= critical.x || vapor.back().x <= critical.x)) {
        liquid.pop_back();
        vapor.pop_back();
    }
    Run dome = liquid;
    if (dome.empty()) return dome;
    dome.push_back(critical);
    dome.insert(dome.end(), vapor.rbegin(), vapor.rend());
    return dome;
}

// The isotherm at t: below the critical temperature its vapor part up to the saturation
// pressure, the two-phase line from the saturated vapor to the saturated liquid, then its
// liquid part; at or just below the critical temperature one line over all pressures.
Curve isothermOf(const Addin& addin, const Chart& chart, double t) {
    const Fluid& fluid = chart.fluid;
    const Frame& frame = chart.frame;
    double logLow = std::log10(frame.pMin) - 0.02, logHigh = std::log10(frame.pMax) + 0.02;
    Curve curve;
    curve.label = shown(t, chart.temperatureDecimals);
    double psat = kNaN, hf = kNaN, hg = kNaN;
    if (t < fluid.tc - fluid.domeStop) {
        psat = ask(addin, "KaltPsat", t);
        hf = ask(addin, "KaltHf", t);
        hg = ask(addin, "KaltHg", t);
    }
    bool twoPhase = psat > 0.0 && !std::isnan(hf) && !std::isnan(hg) && hf < hg;
    if (!twoPhase) {
        curve.runs = runsOf(sampleCurve(logLow, logHigh, [&](double logP, Sample& sample) {
            double p = std::pow(10.0, logP);
            double h = ask(addin, "KaltHofTP", t, p);
            if (std::isnan(h)) return false;
            sample.a = sample.b = pointOf(frame, h, p);
            return true;
        }));
        curve.labelRuns = curve.runs;
        return curve;
    }
    double logSat = std::log10(psat);
    // One phase, the saturated end taken from the saturation functions.
    auto branch = [&](double from, double to, double hSaturated) {
        return runsOf(sampleCurve(from, to, [&](double logP, Sample& sample) {
            double p = logP == logSat ? psat : std::pow(10.0, logP);
            double h = logP == logSat ? hSaturated : ask(addin, "KaltHofTP", t, p);
            if (std::isnan(h)) return false;
            sample.a = sample.b = pointOf(frame, h, p);
            return true;
        }));
    };
    std::vector<Run> vapor = logSat > logLow ? branch(logLow, logSat, hg) : std::vector<Run>{};
    std::vector<Run> liquid = branch(logSat, logHigh, hf);
    curve.labelRuns = vapor;
    curve.runs = vapor;
    if (!curve.runs.empty() && !liquid.empty()) {
        // The vapor part ends at the saturated vapor and the liquid part starts at the
        // saturated liquid: joined, they draw the two-phase line between them.
        curve.runs.back().insert(curve.runs.back().end(), liquid.front().begin(), liquid.front().end());
        curve.runs.insert(curve.runs.end(), liquid.begin() + 1, liquid.end());
    } else {
        curve.runs.insert(curve.runs.end(), liquid.begin(), liquid.end());
    }
    return curve;
}

// The isentrope at s where it is vapor: below the critical pressure above the saturation
// temperature, above it wherever the entropy exceeds the critical entropy.
Curve isentropeOf(const Addin& addin, const Chart& chart, double s) {
    const Fluid& fluid = chart.fluid;
    const Frame& frame = chart.frame;
    double logLow = std::log10(frame.pMin) - 0.02, logHigh = std::log10(frame.pMax) + 0.02;
    Curve curve;
    curve.label = shown(s, chart.entropyDecimals);
    curve.runs = runsOf(sampleCurve(logLow, logHigh, [&](double logP, Sample& sample) {
        double p = std::pow(10.0, logP);
        double t = ask(addin, "KaltTofPS", p, s);
        if (std::isnan(t)) return false;
        if (p < fluid.pc) {
            // In the two-phase region the answer is exactly the saturation temperature.
            double ts = ask(addin, "KaltTsat", p);
            if (!(t > ts)) return false;
        } else if (!(s > fluid.sc)) {
            return false;
        }
        double h = ask(addin, "KaltHofTP", t, p);
        if (std::isnan(h)) return false;
        sample.a = sample.b = pointOf(frame, h, p);
        return true;
    }));
    curve.labelRuns = curve.runs;
    return curve;
}

// Ranges, then every curve.
bool buildChart(const Addin& addin, Chart& chart) {
    Fluid& fluid = chart.fluid;
    Frame& frame = chart.frame;

    frame.pMin = std::max(roundedDown125(fluid.pc * kLowPressureFraction), roundedUp125(fluid.pmin));
    frame.pMax = roundedUp125(kHighPressureFactor * fluid.pc);
    if (frame.pMax > fluid.pmax) frame.pMax = std::max(roundedDown125(fluid.pmax), fluid.pc);
    if (!(frame.pMin < fluid.pc)) frame.pMin = fluid.pmin;

    // The dome's extent in enthalpy sets the enthalpy axis.
    double tLow = ask(addin, "KaltTsat", frame.pMin);
    double hLiquid = ask(addin, "KaltHf", tLow);
    double hVapor = std::numeric_limits<double>::lowest();
    for (int i = 0; i <= 100; ++i) {
        double t = tLow + (fluid.tc - fluid.domeStop - tLow) * i / 100.0;
        double hg = ask(addin, "KaltHg", t);
        if (!std::isnan(hg)) hVapor = std::max(hVapor, hg);
    }
    if (std::isnan(tLow) || std::isnan(hLiquid) || !(hVapor > hLiquid)) {
        std::fprintf(stderr, "kaltra: chart: the add-in answers no usable saturation dome for %s; nothing drawn\n",
                     fluid.name.c_str());
        return false;
    }
    double width = hVapor - hLiquid;
    double hLeft = hLiquid - kLiquidMargin * width, hRight = hVapor + kVaporMargin * width;
    chart.hStep = roundStep(hRight - hLeft, kEnthalpyTickCount);
    // The axis ends at a tick or half way between two.
    frame.hMin = std::floor(2.0 * hLeft / chart.hStep) * 0.5 * chart.hStep;
    frame.hMax = std::ceil(2.0 * hRight / chart.hStep) * 0.5 * chart.hStep;

    // Below the lowest pressure the saturation temperature stays at the lowest temperature.
    double tFrom = ask(addin, "KaltTsat", 0.8 * frame.pMin);
    chart.dome = domeOf(addin, chart, std::isnan(tFrom) ? tLow : tFrom);
    if (chart.dome.size() < 8) {
        std::fprintf(stderr, "kaltra: chart: the add-in answers no usable saturation dome for %s; nothing drawn\n",
                     fluid.name.c_str());
        return false;
    }

    // Isotherms from the lowest saturation temperature shown up to the hottest one that still
    // enters the plot (at its top right corner); none whose two-phase line would lie on the
    // bottom edge.
    double tTop = ask(addin, "KaltTofPH", frame.pMax, frame.hMax);
    if (std::isnan(tTop) || tTop <= tLow) tTop = fluid.tc;
    double tStep = roundStep(fluid.tc - tLow, kIsothermCount);
    chart.temperatureDecimals = decimalsOf(tStep);
    // Above the critical temperature every second, fifth or tenth one, if there would be
    // too many.
    double hotEvery = 1.0;
    for (double every : {1.0, 2.0, 5.0, 10.0}) {
        hotEvery = every;
        if ((tTop - fluid.tc) / (every * tStep) <= kMaxHotIsotherms) break;
    }
    double tFirst = ask(addin, "KaltTsat", kBottomClearance * frame.pMin);
    if (std::isnan(tFirst)) tFirst = tLow;
    double kFirst = std::ceil(tFirst / tStep);
    for (int n = 0; tStep > 0.0 && n < kMaxCurves * hotEvery && chart.isotherms.size() < kMaxCurves; ++n) {
        double k = kFirst + n, t = k * tStep;
        if (t > tTop) break;
        if (t > fluid.tc && std::fmod(k, hotEvery) != 0.0) continue;
        Curve curve = isothermOf(addin, chart, t);
        if (!curve.runs.empty()) chart.isotherms.push_back(curve);
    }

    // Isentropes from just above the critical entropy to the entropy at the bottom right corner.
    double tCorner = ask(addin, "KaltTofPH", frame.pMin, frame.hMax);
    double sRight = ask(addin, "KaltSofTP", tCorner, frame.pMin);
    if (!std::isnan(sRight) && sRight > fluid.sc) {
        double sStep = roundStep(sRight - fluid.sc, kIsentropeCount);
        chart.entropyDecimals = decimalsOf(sStep);
        double kFirst = std::floor(fluid.sc / sStep) + 1.0;
        for (int n = 0; sStep > 0.0 && n < kMaxCurves && (kFirst + n) * sStep < sRight; ++n) {
            Curve curve = isentropeOf(addin, chart, (kFirst + n) * sStep);
            if (!curve.runs.empty()) chart.isentropes.push_back(curve);
        }
    }
    return true;
}

// ---- Writing ------------------------------------------------------------------------------

constexpr const char* kStyle =
    "text { font-family: 'DejaVu Sans', 'Segoe UI', Arial, Helvetica, sans-serif; fill: #222; }\n"
    ".title { font-size: 19px; font-weight: bold; }\n"
    ".subtitle { font-size: 12px; fill: #555; }\n"
    ".legend { font-size: 12px; }\n"
    ".tick { font-size: 11px; }\n"
    ".axis-title { font-size: 13px; }\n"
    ".footer { font-size: 10px; fill: #888; }\n"
    ".grid { stroke: #d4d4d4; stroke-width: 0.7; }\n"
    ".grid-minor { stroke: #ececec; stroke-width: 0.6; }\n"
    ".frame { fill: none; stroke: #333; stroke-width: 1; }\n"
    ".dome { fill: none; stroke: #111; stroke-width: 2.2; stroke-linejoin: round; }\n"
    ".isotherm { fill: none; stroke: #c0392b; stroke-width: 1; stroke-linejoin: round; }\n"
    ".isentrope { fill: none; stroke: #1f6fb2; stroke-width: 1; stroke-dasharray: 6 3; stroke-linejoin: round; }\n"
    ".critical { fill: #111; }\n"
    ".label { font-size: 10.5px; paint-order: stroke; stroke: #fff; stroke-width: 3px; stroke-linejoin: round; }\n"
    ".isotherm-label { fill: #a93226; }\n"
    ".isentrope-label { fill: #1a5a91; }\n"
    ".critical-label { fill: #111; }\n";

std::string exact(double x) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", x);
    return buffer;
}

void writeAxes(std::string& out, const Chart& chart) {
    const Frame& frame = chart.frame;
    double right = kPlotLeft + kPlotWidth, bottom = kPlotTop + kPlotHeight;

    // Pressure: 1-2-5 in every decade, fewer when the decades are short; faint lines at the
    // other integers of each decade.
    double decades = std::log10(frame.pMax) - std::log10(frame.pMin);
    double decadeHeight = kPlotHeight / decades;
    std::vector<double> mantissas = decadeHeight >= 5.0 * kTickFontSize    ? std::vector<double>{1.0, 2.0, 5.0}
                                    : decadeHeight >= 2.5 * kTickFontSize ? std::vector<double>{1.0, 3.0}
                                                                           : std::vector<double>{1.0};
    svg::beginGroup(out, "class=\"pressure-axis\"");
    for (double decade = std::pow(10.0, std::floor(std::log10(frame.pMin))); decade <= frame.pMax * 1.000001; decade *= 10.0) {
        for (int m = 1; m <= 9; ++m) {
            double p = m * decade;
            if (p < frame.pMin * 0.999999 || p > frame.pMax * 1.000001) continue;
            double y = yOf(frame, p);
            bool major = std::find(mantissas.begin(), mantissas.end(), static_cast<double>(m)) != mantissas.end();
            svg::line(out, {kPlotLeft, y}, {right, y}, major ? "class=\"grid\"" : "class=\"grid-minor\"");
            if (!major) continue;
            svg::line(out, {kPlotLeft - 5.0, y}, {kPlotLeft, y}, "stroke=\"#333\"");
            svg::text(out, kPlotLeft - 8.0, y + 0.35 * kTickFontSize, pressureTickText(p), "class=\"tick\" text-anchor=\"end\"");
        }
    }
    svg::endGroup(out);

    svg::beginGroup(out, "class=\"enthalpy-axis\"");
    int decimals = decimalsOf(chart.hStep);
    for (double k = std::ceil(frame.hMin / chart.hStep - 1e-9); k * chart.hStep <= frame.hMax + 1e-9 * chart.hStep; k += 1.0) {
        double h = k * chart.hStep;
        double x = xOf(frame, h);
        svg::line(out, {x, kPlotTop}, {x, bottom}, "class=\"grid\"");
        svg::line(out, {x, bottom}, {x, bottom + 5.0}, "stroke=\"#333\"");
        svg::text(out, x, bottom + 18.0, shown(h, decimals), "class=\"tick\" text-anchor=\"middle\"");
    }
    svg::endGroup(out);

    const Fluid& fluid = chart.fluid;
    svg::text(out, kPlotLeft + 0.5 * kPlotWidth, bottom + 42.0,
              "specific " + fluid.enthalpyWord + " h, " + fluid.enthalpyUnit, "class=\"axis-title\" text-anchor=\"middle\"");
    double yMiddle = kPlotTop + 0.5 * kPlotHeight;
    svg::text(out, 0.0, 0.0, fluid.pressureWord + " p, " + fluid.pressureUnit + " (log scale)",
              "class=\"axis-title\" text-anchor=\"middle\" transform=\"translate(" + svg::number(22.0) + " " +
                  svg::number(yMiddle) + ") rotate(-90)\"");
}

void writeLegend(std::string& out, const Chart& chart) {
    const Fluid& fluid = chart.fluid;
    double y = 80.0;
    double x = kPlotLeft;
    auto item = [&](const std::string& cssClass, const std::string& text, bool dot) {
        if (dot) {
            svg::circle(out, {x + 12.0, y - 4.0}, 4.0, "class=\"" + cssClass + "\"");
        } else {
            svg::line(out, {x, y - 4.0}, {x + 24.0, y - 4.0}, "class=\"" + cssClass + "\"");
        }
        svg::text(out, x + 30.0, y, text, "class=\"legend\"");
        x += 30.0 + textWidth(text, 12.0) + 26.0;
    };
    item("dome", "saturated liquid and vapor", false);
    item("isotherm", "isotherms, " + fluid.temperatureUnit, false);
    if (!chart.isentropes.empty()) item("isentrope", "isentropes, " + fluid.entropyUnit, false);
    item("critical", "critical point " + shown(fluid.tc, 2) + " " + fluid.temperatureUnit + ", " + significant(fluid.pc) +
                         " " + fluid.pressureUnit,
         true);
}

std::string chartSvg(const Chart& chart) {
    const Fluid& fluid = chart.fluid;
    const Frame& frame = chart.frame;
    std::string out;
    svg::begin(out, kPageWidth, kPageHeight);
    svg::title(out, fluid.name + " (" + fluid.longName + "), pressure-enthalpy chart");
    svg::styleSheet(out, kStyle);
    svg::clipRectangle(out, "plot-area", kPlotLeft, kPlotTop, kPlotWidth, kPlotHeight);
    svg::rectangle(out, 0.0, 0.0, kPageWidth, kPageHeight, "fill=\"#fff\"");

    svg::text(out, kPlotLeft, 32.0, fluid.name + "  " + fluid.longName + "  (" + fluid.formula + ")", "class=\"title\"");
    svg::text(out, kPlotLeft, 54.0,
              "log(p)-h chart in the unit system " + fluid.systemName +
                  ". Internal energy and entropy are zero for the saturated liquid at " + shown(fluid.tmin, 2) + " " +
                  fluid.temperatureUnit + ".",
              "class=\"subtitle\"");
    writeLegend(out, chart);
    writeAxes(out, chart);

    // The curves, clipped to the plot. The group carries the frame, so that a reader of the
    // file can turn pixels back into enthalpy and pressure.
    svg::beginGroup(out, "id=\"plot\" clip-path=\"url(#plot-area)\" data-frame=\"" + svg::number(kPlotLeft) + " " +
                             svg::number(kPlotTop) + " " + svg::number(kPlotWidth) + " " + svg::number(kPlotHeight) +
                             "\" data-h-range=\"" + exact(frame.hMin) + " " + exact(frame.hMax) + "\" data-p-range=\"" +
                             exact(frame.pMin) + " " + exact(frame.pMax) + "\"");
    for (const Curve& curve : chart.isentropes) {
        for (const Run& run : curve.runs) svg::polyline(out, run, "class=\"isentrope\" data-s=\"" + curve.label + "\"");
    }
    for (const Curve& curve : chart.isotherms) {
        for (const Run& run : curve.runs) svg::polyline(out, run, "class=\"isotherm\" data-t=\"" + curve.label + "\"");
    }
    svg::polyline(out, chart.dome, "id=\"dome\" class=\"dome\"");
    Point critical = pointOf(frame, fluid.hc, fluid.pc);
    svg::circle(out, critical, 4.0, "id=\"critical-point\" class=\"critical\"");
    svg::endGroup(out);

    // Labels: the critical point first, then isotherms low on their vapor side, then
    // isentropes high up; each where it overlaps nothing placed before.
    Labels labels;
    labels.taken.push_back({critical.x - 5.0, critical.y - 5.0, critical.x + 5.0, critical.y + 5.0});
    std::string cpText = "critical point";
    double cpHalf = 0.5 * textWidth(cpText, kLabelFontSize);
    placeLabel(labels,
               {{critical.x - cpHalf - 8.0, critical.y - 10.0},
                {critical.x + cpHalf + 8.0, critical.y - 10.0},
                {critical.x, critical.y - 14.0},
                {critical.x - cpHalf - 8.0, critical.y + 12.0}},
               cpText, "critical-label");
    const std::vector<double> lowRows = {0.06, 0.14, 0.22, 0.30, 0.38, 0.46, 0.54, 0.62, 0.70, 0.78, 0.86, 0.94,
                                         0.10, 0.18, 0.26, 0.34, 0.42, 0.50, 0.58, 0.66, 0.74, 0.82, 0.90};
    const std::vector<double> highRows = {0.94, 0.88, 0.82, 0.76, 0.70, 0.64, 0.58, 0.52, 0.46, 0.40,
                                          0.91, 0.85, 0.79, 0.73, 0.67, 0.61, 0.55, 0.49, 0.43};
    for (const Curve& curve : chart.isotherms) {
        placeLabel(labels, candidatesOnRows(curve.labelRuns, lowRows), curve.label, "isotherm-label");
    }
    for (const Curve& curve : chart.isentropes) {
        placeLabel(labels, candidatesOnRows(curve.labelRuns, highRows), curve.label, "isentrope-label");
    }
    svg::beginGroup(out, "class=\"labels\"");
    for (const Label& label : labels.placed) {
        svg::text(out, label.at.x, label.at.y + 0.36 * kLabelFontSize, label.text,
                  "class=\"label " + label.cssClass + "\" text-anchor=\"middle\"");
    }
    svg::endGroup(out);

    svg::rectangle(out, kPlotLeft, kPlotTop, kPlotWidth, kPlotHeight, "class=\"frame\"");
    svg::text(out, kPageWidth - 12.0, kPageHeight - 10.0,
              "drawn by kaltra chart from the add-in's own worksheet functions, unit code " + std::to_string(fluid.units),
              "class=\"footer\" text-anchor=\"end\"");
    svg::end(out);
    return out;
}

bool writeFile(const std::string& path, const std::string& content) {
    if (path == "-") return std::fwrite(content.data(), 1, content.size(), stdout) == content.size() && std::fflush(stdout) == 0;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

const char* chartUsage() {
    return "       kaltra [--addin PATH] chart NAME [--units CODE] [-o FILE.svg]\n"
           "                                                draw the log(p)-h chart of a fluid as SVG (unit code\n"
           "                                                0-7, default 1; file NAME.svg by default, - for stdout)\n";
}

bool parseChartArguments(int argc, char** argv, ChartRequest& request) {
    for (int i = 0; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--units") == 0 || std::strcmp(argument, "-o") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "kaltra: chart: %s needs a value\n", argument);
                return false;
            }
            const char* value = argv[++i];
            if (argument[1] == 'o') {
                request.outputPath = value;
                continue;
            }
            char* end = nullptr;
            long units = std::strtol(value, &end, 10);
            if (end == value || *end != '\0' || units < 0 || units > 7) {
                std::fprintf(stderr, "kaltra: chart: the unit code must be a whole number from 0 to 7, not '%s'\n", value);
                return false;
            }
            request.units = static_cast<int>(units);
        } else if (argument[0] == '-' && argument[1] != '\0') {
            std::fprintf(stderr, "kaltra: chart: unknown option %s\n", argument);
            return false;
        } else if (request.fluid.empty()) {
            request.fluid = argument;
        } else {
            std::fprintf(stderr, "kaltra: chart: one fluid at a time (%s and %s given)\n", request.fluid.c_str(), argument);
            return false;
        }
    }
    if (request.fluid.empty()) {
        std::fprintf(stderr, "kaltra: chart: which fluid? e.g. kaltra chart R134a\n");
        return false;
    }
    return true;
}

int runChart(const ChartRequest& request, const std::vector<AddinFunction>& functions) {
    Addin addin{functions, windows1252FromUtf8(request.fluid), request.units};
    Value index = callNamed(functions, "KaltIndex", {textValue(addin.fluid)});
    if (index.kind != ValueKind::integer || index.code < 1) {
        std::fprintf(stderr, "kaltra: chart: no fluid is called '%s' (KaltIndex answers %s)\n", request.fluid.c_str(),
                     displayText(index).c_str());
        return kCannotChart;
    }
    Chart chart;
    if (!readFluid(addin, index.code, chart.fluid) || !buildChart(addin, chart)) return kCannotChart;
    std::string path = request.outputPath.empty() ? chart.fluid.name + ".svg" : request.outputPath;
    if (!writeFile(path, chartSvg(chart))) {
        std::fprintf(stderr, "kaltra: chart: cannot write %s\n", path.c_str());
        return kCannotWrite;
    }
    return kCharted;
}

}  // namespace kaltra::host
