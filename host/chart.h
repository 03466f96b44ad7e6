// Pressure-enthalpy charts (log p over h) of one fluid, drawn from the worksheet functions
// alone, in three steps:
//
//   geometry  chart_geometry.cpp  the page layout, the axis ranges and ticks, and the values a
//                                 chart samples (isotherm temperatures, isentrope entropies,
//                                 the adaptive sampling of a curve); it calls nothing
//   tracing   chart_tracing.cpp   the fluid's texts and critical point, the saturation dome,
//                                 the isotherms and the isentropes, every number asked of the
//                                 worksheet functions through WorksheetCalls
//   writing   chart_svg.cpp       the traced chart as an SVG document: axes, legend, curves and
//                                 their labels
//
// None of them knows how the worksheet functions are reached: the kaltra host (`kaltra
// chart`, host/chart.cpp) calls them through the stand-in Excel; another host can draw the
// same chart by calling them its own way. Texts are UTF-8 throughout.
#pragma once

#include <functional>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "host/svg.h"

namespace kaltra::host::chart {

using svg::Point;

// An unbroken piece of a curve, in pixels.
using Run = std::vector<Point>;

// ---- Page layout, in pixels -----------------------------------------------------------------
constexpr double kPageWidth = 980.0;
constexpr double kPageHeight = 720.0;
constexpr double kPlotLeft = 86.0;
constexpr double kPlotTop = 100.0;
constexpr double kPlotWidth = 860.0;
constexpr double kPlotHeight = 536.0;
constexpr double kLabelFontSize = 10.5;
constexpr double kTickFontSize = 11.0;

// Most isotherms or isentropes drawn, whatever the ranges.
constexpr double kMaxCurves = 60.0;

// ---- Geometry: round values and how they are written ----------------------------------------

// The 1-2-5 value nearest at or below (or at or above) a positive x.
double roundedDown125(double x);
double roundedUp125(double x);

// The round step (1, 2 or 5 times a power of ten) nearest to giving `count` steps over a
// span, nearness taken on the logarithmic scale.
double roundStep(double span, double count);

// Decimals that show every multiple of a round step (none for a step that is not positive).
int decimalsOf(double step);

// A value as labelled: fixed decimals, a true minus sign, no "-0".
std::string shown(double x, int decimals);

// A value with four significant digits (at least), for the legend.
std::string significant(double x);

// A pressure tick (a 1-2-5 value): plain decimals between 1e-4 and 1e6, else m·10^k.
std::string pressureTickText(double p);

// ---- Geometry: the frame, data (h, P) to pixels ----------------------------------------------

struct Frame {
    double hMin = 0.0, hMax = 1.0;
    double pMin = 1.0, pMax = 10.0;
};

double xOf(const Frame& frame, double h);
double yOf(const Frame& frame, double p);
Point pointOf(const Frame& frame, double h, double p);

// ---- Geometry: axis ranges and ticks ---------------------------------------------------------

// The pressure axis from the critical pressure and the lowest and highest pressure handled:
// 1-2-5 values a few decades below and half as much again above the critical pressure.
void choosePressureRange(double pc, double pmin, double pmax, Frame& frame);

// The enthalpy axis around the dome, from the saturated liquid at the lowest pressure shown
// to the farthest saturated vapor; it ends at a tick or half way between two. Answers the
// tick step.
double chooseEnthalpyRange(double hLiquid, double hVapor, Frame& frame);

// Grid lines of the pressure axis: every integer of each decade, the major ones labelled.
struct PressureTick {
    double p;
    bool major;
};
std::vector<PressureTick> pressureTicks(const Frame& frame);

// The multiples of the step on the enthalpy axis.
std::vector<double> enthalpyTicks(const Frame& frame, double hStep);

// ---- Geometry: what a chart samples ------------------------------------------------------------

// How far below the critical temperature the dome is drawn, in the display unit, from the
// critical temperature in Rankine and the size of the display degree in Fahrenheit degrees.
double domeStop(double tcRankine, double degree);

// How many steps the enthalpy axis scans the saturated vapor over, from the coldest
// temperature shown to the top of the dome.
constexpr int kDomeScanSteps = 100;

// The i-th of `steps` equal steps from `from` towards `to`.
double stepAlong(double from, double to, int i, int steps);

// The dome starts at the saturation temperature of this fraction of the lowest pressure, so
// that it enters the plot from below.
constexpr double kDomeStartPressureFraction = 0.8;

// The coldest isotherm drawn is saturated at least this factor above the lowest pressure.
constexpr double kBottomClearance = 1.1;

// Beyond the dome's stop the dome goes on, halving the distance to the critical temperature
// this many times at most, while its two lines still converge on the critical point.
constexpr int kDomeCloserSteps = 4;

// The temperature of the dome's halving-th step closer to the critical point.
double closerToCritical(double tc, double stop, int halving);

// The values of one family of curves: a round step, the decimals its labels need, and the
// values in the order they are drawn.
struct CurveValues {
    double step = 0.0;
    int decimals = 0;
    std::vector<double> values;
};

// Isotherm temperatures, multiples of a round step: from the coldest one saturated above the
// bottom of the plot (tFirst, or tLow when NaN) to the hottest one that still enters the plot
// at its top right corner (tTop, or tc when NaN or not above tLow); above the critical
// temperature every second, fifth or tenth one when there would be too many.
CurveValues isothermTemperatures(double tLow, double tFirst, double tc, double tTop);

// Isentrope entropies, multiples of a round step, from just above the critical entropy sc
// to the entropy at the bottom right corner of the plot; none when sRight is NaN or not
// above sc.
CurveValues isentropeEntropies(double sc, double sRight);

// The log10 pressures an isotherm or an isentrope is sampled over: a little beyond the plot.
struct Span {
    double from;
    double to;
};
Span isolineLogPressures(const Frame& frame);

// ---- Geometry: adaptive sampling of a curve ----------------------------------------------------

// A curve point at parameter t: up to two drawn points (the dome draws its liquid and vapor
// line from one temperature), in pixels.
struct Sample {
    double t = 0.0;
    bool valid = false;
    Point a;
    Point b;
};

// Fills the drawn points of the curve at t; false where the curve has no point there.
using PointsAt = std::function<bool(double t, Sample& sample)>;

// Samples a curve over [from, to], both ends at exactly these parameters, halving a piece
// while it is not smooth at the drawing's resolution or while it holds the edge between
// answered and unanswered points, within a bounded number of points.
std::vector<Sample> sampleCurve(double from, double to, const PointsAt& pointsAt);

// The unbroken runs of answered samples (their first drawn point).
std::vector<Run> runsOf(const std::vector<Sample>& samples);

// ---- Tracing -----------------------------------------------------------------------------------

// A number the worksheet functions gave no usable answer for.
constexpr double kUnanswered = std::numeric_limits<double>::quiet_NaN();

// How the tracing calls the worksheet functions: by name, with the arguments a worksheet
// would pass them, the unit code last where the function takes one.
struct WorksheetCalls {
    // function(fluid, arguments...): the number answered (an integer as a number), NaN for
    // any other answer (an error value, a text).
    virtual double number(const char* function, const std::string& fluid, std::initializer_list<double> arguments) const = 0;
    // function(arguments...): the text answered, "" for any other answer.
    virtual std::string text(const char* function, std::initializer_list<double> arguments) const = 0;

protected:
    ~WorksheetCalls() = default;
};

// The fluid as the chart shows it, in the chart's unit system.
struct Fluid {
    std::string name, longName, formula;
    std::string systemName, pressureUnit, temperatureUnit, enthalpyUnit, entropyUnit;
    std::string pressureWord, enthalpyWord;
    double tc = kUnanswered, pc = kUnanswered, hc = kUnanswered, sc = kUnanswered;
    double tmin = kUnanswered, pmin = kUnanswered, tmax = kUnanswered, pmax = kUnanswered;
    double degree = 1.0;    // one degree F in the display unit of temperature
    double domeStop = 0.0;  // how far below the critical temperature the dome is drawn, display unit
    int units = 1;
};

// One isotherm or isentrope.
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
};

// Traces the chart of the fluid `fluid` (as the user typed it; `index` its catalogue index)
// in unit code `units`. False, with the reason in `problem`, when the worksheet functions
// answer no usable critical point or saturation dome for it.
bool traceChart(const WorksheetCalls& calls, const std::string& fluid, int index, int units, Chart& chart,
                std::string& problem);

// ---- Writing ------------------------------------------------------------------------------------

// The traced chart as an SVG document.
std::string chartSvg(const Chart& chart);

}  // namespace kaltra::host::chart
