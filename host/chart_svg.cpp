// Writing a traced chart as SVG: the title and legend, the axes with their grid, the curves
// clipped to the plot, and the labels of the curves, each placed where it overlaps nothing
// placed before.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/chart.h"

namespace kaltra::host::chart {

namespace {

// Average advance of a character of the sans-serif face, in ems; generous for digits.
constexpr double kCharacterWidth = 0.62;
// Space kept free around every label inside the plot, and between labels side by side.
constexpr double kLabelPadding = 2.0;
constexpr double kLabelGap = 7.0;

// ---- Labels ---------------------------------------------------------------------------------

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

// ---- The document ---------------------------------------------------------------------------

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

    // Pressure: the major values ticked and labelled, faint lines at the others.
    svg::beginGroup(out, "class=\"pressure-axis\"");
    for (const PressureTick& tick : pressureTicks(frame)) {
        double y = yOf(frame, tick.p);
        svg::line(out, {kPlotLeft, y}, {right, y}, tick.major ? "class=\"grid\"" : "class=\"grid-minor\"");
        if (!tick.major) continue;
        svg::line(out, {kPlotLeft - 5.0, y}, {kPlotLeft, y}, "stroke=\"#333\"");
        svg::text(out, kPlotLeft - 8.0, y + 0.35 * kTickFontSize, pressureTickText(tick.p), "class=\"tick\" text-anchor=\"end\"");
    }
    svg::endGroup(out);

    svg::beginGroup(out, "class=\"enthalpy-axis\"");
    int decimals = decimalsOf(chart.hStep);
    for (double h : enthalpyTicks(frame, chart.hStep)) {
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

}  // namespace

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

}  // namespace kaltra::host::chart
