// Tracing the pressure-enthalpy chart of one fluid. Every number on it comes from the
// worksheet functions, called by name through WorksheetCalls exactly as a worksheet would
// call them, in the unit system the user chose:
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
// dome) until they are smooth at the drawing's resolution; a point the functions cannot
// answer (-999, or not a finite number) breaks the curve instead of bending it.
#include <algorithm>
#include <cmath>
#include <limits>

#include "fluids/fluids.h"
#include "host/chart.h"

namespace kaltra::host::chart {

namespace {

// The answer of the worksheet functions for a fluid they have no data for.
constexpr double kNoData = -999.0;

// KaltUnits(kQuantityNames, i) answers the name of quantity i ("pressure"), not its unit.
constexpr int kQuantityNames = kLabelColumns - 1;

// A dome of fewer points is no dome.
constexpr std::size_t kFewestDomePoints = 8;

// Where the chart's numbers come from: the worksheet functions, for one fluid in one unit
// system.
struct Source {
    const WorksheetCalls& calls;
    const std::string& fluid;
    int units;
};

// The answer as a number, or NaN when the functions gave no usable number.
double usable(double x) { return !std::isfinite(x) || x == kNoData ? kUnanswered : x; }

// function(fluid, units)
double ask(const Source& source, const char* function) {
    return usable(source.calls.number(function, source.fluid, {static_cast<double>(source.units)}));
}

// function(fluid, x, units)
double ask(const Source& source, const char* function, double x) {
    return usable(source.calls.number(function, source.fluid, {x, static_cast<double>(source.units)}));
}

// function(fluid, x, y, units)
double ask(const Source& source, const char* function, double x, double y) {
    return usable(source.calls.number(function, source.fluid, {x, y, static_cast<double>(source.units)}));
}

// The catalogue texts and the critical point; false after telling why.
bool readFluid(const Source& source, int index, Fluid& fluid, std::string& problem) {
    const WorksheetCalls& calls = source.calls;
    fluid.units = source.units;
    fluid.name = calls.text("KaltName", {static_cast<double>(index)});
    fluid.longName = calls.text("KaltLongName", {static_cast<double>(index)});
    fluid.formula = calls.text("KaltForm", {static_cast<double>(index)});
    // KaltUnits(column, quantity): in the chart's unit code the unit, in kQuantityNames the name.
    auto label = [&](int column, int quantity) {
        return calls.text("KaltUnits", {static_cast<double>(column), static_cast<double>(quantity)});
    };
    fluid.pressureUnit = label(source.units, kPressureLabel);
    fluid.temperatureUnit = label(source.units, kTemperatureLabel);
    fluid.enthalpyUnit = label(source.units, kEnthalpyLabel);
    fluid.entropyUnit = label(source.units, kEntropyLabel);
    fluid.systemName = label(source.units, kSystemNameLabel);
    fluid.pressureWord = label(kQuantityNames, kPressureLabel);
    fluid.enthalpyWord = label(kQuantityNames, kEnthalpyLabel);
    // Fahrenheit and Rankine degrees are the internal degree; Celsius and kelvin are 1.8 of them.
    bool fahrenheitSized = fluid.temperatureUnit == "\u00BAF" || fluid.temperatureUnit == "\u00BAR";
    fluid.degree = fahrenheitSized ? 1.0 : 1.0 / 1.8;

    fluid.tmax = ask(source, "KaltTmax");
    fluid.pmax = ask(source, "KaltPmax");
    // Any temperature at or above the critical one is answered at the critical point, and
    // any pressure at or above the critical one gives the critical temperature.
    fluid.tc = ask(source, "KaltTsat", fluid.pmax);
    fluid.pc = ask(source, "KaltPsat", fluid.tmax);
    fluid.hc = ask(source, "KaltHf", fluid.tmax);
    fluid.sc = ask(source, "KaltSf", fluid.tmax);
    // The critical temperature in Rankine sets how close to it the dome goes.
    Source rankine{calls, source.fluid, kEnglishAbs};
    fluid.domeStop = domeStop(ask(rankine, "KaltTsat", ask(rankine, "KaltPmax")), fluid.degree);
    // A pressure of zero is raised to the lowest saturation pressure.
    fluid.tmin = ask(source, "KaltTsat", 0.0);
    fluid.pmin = ask(source, "KaltPsat", fluid.tmin);
    for (double x : {fluid.tmax, fluid.pmax, fluid.tc, fluid.pc, fluid.hc, fluid.sc, fluid.tmin, fluid.pmin, fluid.domeStop}) {
        if (std::isnan(x)) {
            problem = fluid.name + " (" + fluid.longName +
                      ") has no equation-of-state coefficients in this add-in: its saturation functions answer -999, "
                      "so there is nothing to draw";
            return false;
        }
    }
    if (!(fluid.pmin > 0.0 && fluid.pmin < fluid.pc && fluid.tmin < fluid.tc && fluid.pc < fluid.pmax)) {
        problem = "the add-in's critical point of " + fluid.name + " lies outside its range; nothing drawn";
        return false;
    }
    return true;
}

// The saturation dome from tFrom up to just below the critical temperature, closed at the
// critical point. Points where the liquid line would not rise, where the vapor enthalpy
// would not exceed the liquid one, or, at the top, where a line would reach past the
// critical enthalpy, are left out.
Run domeOf(const Source& source, const Chart& chart, double tFrom) {
    const Fluid& fluid = chart.fluid;
    double tTo = fluid.tc - fluid.domeStop;
    PointsAt pointsAt = [&](double t, Sample& sample) {
        double p = ask(source, "KaltPsat", t);
        double hf = ask(source, "KaltHf", t);
        double hg = ask(source, "KaltHg", t);
        if (!(p > 0.0) || std::isnan(hf) || std::isnan(hg) || !(hf < hg)) return false;
        sample.a = pointOf(chart.frame, hf, p);
        sample.b = pointOf(chart.frame, hg, p);
        return true;
    };
    std::vector<Sample> samples = sampleCurve(tFrom, tTo, pointsAt);
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
        if (!pointsAt(closerToCritical(fluid.tc, fluid.domeStop, halving), sample)) break;
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

// The pressure and enthalpy of a curve's point at log10 p; false where it has none.
using StateAt = std::function<bool(double logP, double& p, double& h)>;

// The runs of a curve over log pressure.
std::vector<Run> runsOverPressure(const Frame& frame, double logFrom, double logTo, const StateAt& stateAt) {
    return runsOf(sampleCurve(logFrom, logTo, [&](double logP, Sample& sample) {
        double p = 0.0, h = 0.0;
        if (!stateAt(logP, p, h)) return false;
        sample.a = sample.b = pointOf(frame, h, p);
        return true;
    }));
}

// The isotherm at t: below the critical temperature its vapor part up to the saturation
// pressure, the two-phase line from the saturated vapor to the saturated liquid, then its
// liquid part; at or just below the critical temperature one line over all pressures.
Curve isothermOf(const Source& source, const Chart& chart, Span span, double t) {
    const Fluid& fluid = chart.fluid;
    Curve curve;
    double psat = kUnanswered, hf = kUnanswered, hg = kUnanswered;
    if (t < fluid.tc - fluid.domeStop) {
        psat = ask(source, "KaltPsat", t);
        hf = ask(source, "KaltHf", t);
        hg = ask(source, "KaltHg", t);
    }
    bool twoPhase = psat > 0.0 && !std::isnan(hf) && !std::isnan(hg) && hf < hg;
    // One phase; its saturated end, where it has one, taken from the saturation functions.
    double logSat = twoPhase ? std::log10(psat) : kUnanswered;
    auto branch = [&](double from, double to, double hSaturated) {
        return runsOverPressure(chart.frame, from, to, [&](double logP, double& p, double& h) {
            p = logP == logSat ? psat : std::pow(10.0, logP);
            h = logP == logSat ? hSaturated : ask(source, "KaltHofTP", t, p);
            return !std::isnan(h);
        });
    };
    if (!twoPhase) {
        curve.runs = branch(span.from, span.to, kUnanswered);
        curve.labelRuns = curve.runs;
        return curve;
    }
    std::vector<Run> vapor = logSat > span.from ? branch(span.from, logSat, hg) : std::vector<Run>{};
    std::vector<Run> liquid = branch(logSat, span.to, hf);
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
Curve isentropeOf(const Source& source, const Chart& chart, Span span, double s) {
    const Fluid& fluid = chart.fluid;
    Curve curve;
    curve.runs = runsOverPressure(chart.frame, span.from, span.to, [&](double logP, double& p, double& h) {
        p = std::pow(10.0, logP);
        double t = ask(source, "KaltTofPS", p, s);
        if (std::isnan(t)) return false;
        if (p < fluid.pc) {
            // In the two-phase region the answer is exactly the saturation temperature.
            double ts = ask(source, "KaltTsat", p);
            if (!(t > ts)) return false;
        } else if (!(s > fluid.sc)) {
            return false;
        }
        h = ask(source, "KaltHofTP", t, p);
        return !std::isnan(h);
    });
    curve.labelRuns = curve.runs;
    return curve;
}

// The curves of one family that have any point, labelled with their value, at most
// kMaxCurves of them.
void traceFamily(const CurveValues& family, const std::function<Curve(double value)>& curveAt, std::vector<Curve>& curves) {
    for (double value : family.values) {
        if (curves.size() >= kMaxCurves) break;
        Curve curve = curveAt(value);
        if (curve.runs.empty()) continue;
        curve.label = shown(value, family.decimals);
        curves.push_back(curve);
    }
}

// Ranges, then every curve.
bool traceCurves(const Source& source, Chart& chart, std::string& problem) {
    const Fluid& fluid = chart.fluid;
    Frame& frame = chart.frame;
    choosePressureRange(fluid.pc, fluid.pmin, fluid.pmax, frame);

    // The dome's extent in enthalpy sets the enthalpy axis.
    double tLow = ask(source, "KaltTsat", frame.pMin);
    double hLiquid = ask(source, "KaltHf", tLow);
    double hVapor = std::numeric_limits<double>::lowest();
    for (int i = 0; i <= kDomeScanSteps; ++i) {
        double hg = ask(source, "KaltHg", stepAlong(tLow, fluid.tc - fluid.domeStop, i, kDomeScanSteps));
        if (!std::isnan(hg)) hVapor = std::max(hVapor, hg);
    }
    const std::string noDome = "the add-in answers no usable saturation dome for " + fluid.name + "; nothing drawn";
    if (std::isnan(tLow) || std::isnan(hLiquid) || !(hVapor > hLiquid)) {
        problem = noDome;
        return false;
    }
    chart.hStep = chooseEnthalpyRange(hLiquid, hVapor, frame);

    // Below the lowest pressure the saturation temperature stays at the lowest temperature.
    double tFrom = ask(source, "KaltTsat", kDomeStartPressureFraction * frame.pMin);
    chart.dome = domeOf(source, chart, std::isnan(tFrom) ? tLow : tFrom);
    if (chart.dome.size() < kFewestDomePoints) {
        problem = noDome;
        return false;
    }

    // The hottest isotherm that enters the plot does so at its top right corner; the coldest
    // one's two-phase line must not lie on the bottom edge.
    double tTop = ask(source, "KaltTofPH", frame.pMax, frame.hMax);
    double tFirst = ask(source, "KaltTsat", kBottomClearance * frame.pMin);
    Span span = isolineLogPressures(frame);
    traceFamily(isothermTemperatures(tLow, tFirst, fluid.tc, tTop),
                [&](double t) { return isothermOf(source, chart, span, t); }, chart.isotherms);

    // The isentropes reach to the entropy at the bottom right corner.
    double tCorner = ask(source, "KaltTofPH", frame.pMin, frame.hMax);
    traceFamily(isentropeEntropies(fluid.sc, ask(source, "KaltSofTP", tCorner, frame.pMin)),
                [&](double s) { return isentropeOf(source, chart, span, s); }, chart.isentropes);
    return true;
}

}  // namespace

bool traceChart(const WorksheetCalls& calls, const std::string& fluid, int index, int units, Chart& chart,
                std::string& problem) {
    Source source{calls, fluid, units};
    return readFluid(source, index, chart.fluid, problem) && traceCurves(source, chart, problem);
}

}  // namespace kaltra::host::chart
