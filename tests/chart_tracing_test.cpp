// The chart's tracing and writing away from the kaltra host. Called directly in this process,
// without the stand-in Excel (as a page in a browser would call them), the worksheet
// functions give the very chart `kaltra chart` writes, byte for byte; worksheet functions that
// answer no critical point or no dome give a reason and no chart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "fluids/fluids.h"
#include "host/chart.h"
#include "host/kaltra.h"
#include "tests/process.h"
#include "tests/worksheet_calls.h"

namespace {

namespace chart = kaltra::host::chart;
using kaltra::test::Arguments;
using kaltra::test::WorksheetFunction;

// A text answer in UTF-8, or "" for any other answer.
std::string textOf(const xl::XLOPER* result) {
    if (result == nullptr || (result->xltype & 0x0FFF) != xl::xltypeStr || result->val.str == nullptr) return "";
    std::string text(result->val.str + 1, static_cast<unsigned char>(result->val.str[0]));
    return kaltra::host::utf8FromWindows1252(text);
}

// A number answer (an integer as a number), or NaN for any other answer.
double numberOf(const xl::XLOPER* result) {
    if (result == nullptr) return chart::kUnanswered;
    if ((result->xltype & 0x0FFF) == xl::xltypeNum) return result->val.num;
    if ((result->xltype & 0x0FFF) == xl::xltypeInt) return result->val.w;
    return chart::kUnanswered;
}

// The exported worksheet functions called directly: the fluid, the numbers in order, the unit
// code last; the index functions with their 16-bit index (KaltUnits a unit code first).
class DirectCalls final : public chart::WorksheetCalls {
public:
    double number(const char* function, const std::string& fluid, std::initializer_list<double> arguments) const override {
        const WorksheetFunction* f = kaltra::test::worksheetFunction(function);
        std::vector<double> a(arguments);
        if (f == nullptr || a.size() != static_cast<std::size_t>(f->doubles) + 1) return chart::kUnanswered;
        std::string name = kaltra::host::windows1252FromUtf8(fluid);
        Arguments x{name.c_str(), 0.0, 0.0, static_cast<short>(a.back()), 0};
        if (f->doubles >= 1) x.a = a[0];
        if (f->doubles == 2) x.b = a[1];
        ++calls;
        return numberOf(kaltra::callTableFunction(*f, x));
    }

    std::string text(const char* function, std::initializer_list<double> arguments) const override {
        const WorksheetFunction* f = kaltra::test::worksheetFunction(function);
        std::vector<double> a(arguments);
        if (f == nullptr || a.empty()) return "";
        Arguments x{"", 0.0, 0.0, 0, static_cast<short>(a.back())};
        if (a.size() == 2) x.units = static_cast<short>(a[0]);
        ++calls;
        return textOf(kaltra::callTableFunction(*f, x));
    }

    mutable int calls = 0;
};

// Where two texts first differ, for a failure message.
std::string firstDifference(const std::string& a, const std::string& b) {
    std::size_t at = std::mismatch(a.begin(), a.begin() + std::min(a.size(), b.size()), b.begin()).first - a.begin();
    return "they differ at byte " + std::to_string(at) + ": [" + a.substr(at, 60) + "] against [" + b.substr(at, 60) + "]";
}

TEST(ChartTracing, InProcessCallsDrawWhatKaltraChartWrites) {
    ASSERT_STRNE(KALTRA_HOST_PATH, "") << "the kaltra host is not built";
    struct Case {
        std::string fluid;
        int units;
    };
    std::vector<Case> cases;
    for (int i = 0; i < kaltra::kCatalogueSize; ++i) cases.push_back({kaltra::kCatalogue[i].name, 1});
    for (const Case& other : {Case{"R134a", 0}, Case{"R717", 3}, Case{"R22", 7}, Case{"R13b1", 2}, Case{"r134a", 6}}) {
        cases.push_back(other);
    }
    kaltra::test::Scratch scratch;
    DirectCalls calls;
    for (const Case& c : cases) {
        std::string where = c.fluid + " in unit code " + std::to_string(c.units);
        int index = static_cast<int>(numberOf(KaltIndex(c.fluid.c_str())));
        ASSERT_GE(index, 1) << where;
        chart::Chart traced;
        std::string problem;
        ASSERT_TRUE(chart::traceChart(calls, c.fluid, index, c.units, traced, problem)) << where << ": " << problem;
        std::string drawn = chart::chartSvg(traced);

        kaltra::test::Outcome written = scratch.kaltra({"chart", c.fluid, "--units", std::to_string(c.units), "-o", "-"});
        ASSERT_EQ(written.status, 0) << where << ": " << written.err;
        EXPECT_TRUE(drawn == written.out) << where << ": " << firstDifference(drawn, written.out);
        EXPECT_FALSE(traced.isotherms.empty()) << where;
    }
    EXPECT_GT(calls.calls, 1000) << "the chart was asked of the worksheet functions";
}

// Worksheet functions of a made-up fluid "R-fake", answering by function name alone.
class FakeCalls final : public chart::WorksheetCalls {
public:
    using Answer = std::function<double(const std::string& function, const std::vector<double>& arguments)>;
    explicit FakeCalls(Answer answer) : answer_(std::move(answer)) {}

    double number(const char* function, const std::string&, std::initializer_list<double> arguments) const override {
        return answer_(function, std::vector<double>(arguments));
    }
    std::string text(const char* function, std::initializer_list<double>) const override {
        return std::string(function) == "KaltName" ? "R-fake" : "";
    }

private:
    Answer answer_;
};

TEST(ChartTracing, FluidWithoutCriticalPointOrDomeIsToldNotDrawn) {
    // A saturation line from -20 to 80 (the critical temperature): p = 1 + (T + 20)/5 up to
    // 21, liquid enthalpy T; the vapor is answered by `vapor`.
    auto saturationLine = [](const std::string& function, const std::vector<double>& a, double vapor) {
        auto bounded = [](double t) { return std::min(std::max(t, -20.0), 80.0); };
        if (function == "KaltTmax") return 100.0;
        if (function == "KaltPmax") return 50.0;
        if (function == "KaltPsat") return 1.0 + (bounded(a[0]) + 20.0) / 5.0;
        if (function == "KaltTsat") return bounded(5.0 * (a[0] - 1.0) - 20.0);
        if (function == "KaltHf") return bounded(a[0]);
        if (function == "KaltSf") return bounded(a[0]) / 100.0;
        if (function == "KaltHg") return vapor;
        return chart::kUnanswered;
    };
    struct Case {
        const char* description;
        FakeCalls::Answer answer;
        const char* problem;
    };
    const Case cases[] = {
        {"every function answers -999", [](const std::string&, const std::vector<double>&) { return -999.0; },
         "R-fake () has no equation-of-state coefficients in this add-in"},
        {"error values, not numbers", [](const std::string&, const std::vector<double>&) { return chart::kUnanswered; },
         "has no equation-of-state coefficients"},
        {"the lowest saturation pressure is the critical one",
         [](const std::string& function, const std::vector<double>&) {
             return function == "KaltPsat" ? 5.0 : function == "KaltTsat" ? 10.0 : 100.0;
         },
         "the add-in's critical point of R-fake lies outside its range"},
        {"no saturated vapor",
         [&](const std::string& function, const std::vector<double>& a) { return saturationLine(function, a, -999.0); },
         "the add-in answers no usable saturation dome for R-fake"},
        {"the vapor below the liquid",
         [&](const std::string& function, const std::vector<double>& a) { return saturationLine(function, a, -100.0); },
         "no usable saturation dome"},
    };
    for (const Case& c : cases) {
        FakeCalls calls(c.answer);
        chart::Chart traced;
        std::string problem;
        EXPECT_FALSE(chart::traceChart(calls, "R-fake", 1, 1, traced, problem)) << c.description;
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.description << ": " << problem;
        EXPECT_TRUE(traced.dome.empty()) << c.description;
    }
}

}  // namespace
