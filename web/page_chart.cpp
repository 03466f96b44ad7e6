// The page's log(p)-h chart: the kaltra host's chart code (host/chart.h), its worksheet calls
// made through the page's own (page_calls.cpp), so the page draws the very chart `kaltra chart`
// writes. The traced chart is kept, so that the page can place its states on it.
#include <cmath>
#include <string>
#include <vector>

#include "capi/kaltra.h"
#include "host/chart.h"
#include "web/kaltra_web.h"
#include "web/page.h"

namespace kaltra::web {

namespace {

namespace chart = host::chart;

// The worksheet functions by name, through the page's calls.
class PageCalls final : public chart::WorksheetCalls {
public:
    double number(const char* function, const std::string& fluid, std::initializer_list<double> arguments) const override {
        const std::vector<double> values(arguments);
        return callNumber(kaltra_function_find(function), fluid, values.data(), static_cast<int>(values.size()));
    }

    std::string text(const char* function, std::initializer_list<double> arguments) const override {
        const std::vector<double> values(arguments);
        int integers[2] = {0, 0};
        for (std::size_t i = 0; i < values.size() && i < 2; ++i) {
            const double whole = std::trunc(values[i]);
            if (!(whole >= -32768.0 && whole <= 32767.0)) return "";
            integers[i] = static_cast<int>(whole);
        }
        return callText(kaltra_function_find(function), integers[0], integers[1]);
    }
};

// The chart last traced, its document, and why the last tracing drew none.
chart::Chart Kept;
bool HasChart = false;
std::string Document;
std::string Problem;

}  // namespace

}  // namespace kaltra::web

extern "C" {

int kaltra_web_chart_trace(const char* fluid, int units) {
    using namespace kaltra::web;
    const std::string name = fluid != nullptr ? fluid : "";
    HasChart = false;
    Kept = chart::Chart();
    Document.clear();
    Problem.clear();
    const double index = callNumber(kaltra_function_find("KaltIndex"), name, nullptr, 0);
    if (!(index >= 1.0)) {
        Problem = "no fluid is called '" + name + "'";
        return 0;
    }
    PageCalls calls;
    if (!chart::traceChart(calls, name, static_cast<int>(index), units, Kept, Problem)) return 0;
    Document = chart::chartSvg(Kept);
    HasChart = true;
    return 1;
}

const char* kaltra_web_chart_svg(void) { return kaltra::web::Document.c_str(); }

const char* kaltra_web_chart_problem(void) { return kaltra::web::Problem.c_str(); }

double kaltra_web_chart_x(double enthalpy) {
    using namespace kaltra::web;
    return HasChart ? chart::xOf(Kept.frame, enthalpy) : NAN;
}

double kaltra_web_chart_y(double pressure) {
    using namespace kaltra::web;
    return HasChart ? chart::yOf(Kept.frame, pressure) : NAN;
}

double kaltra_web_chart_layout(int item) {
    namespace chart = kaltra::host::chart;
    const double layout[] = {chart::kPageWidth, chart::kPageHeight, chart::kPlotLeft,
                             chart::kPlotTop,   chart::kPlotWidth,  chart::kPlotHeight};
    return item >= 0 && item < 6 ? layout[item] : NAN;
}

}  // extern "C"
