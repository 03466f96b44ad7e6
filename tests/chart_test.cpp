// The pressure-enthalpy chart of the kaltra host (`kaltra chart`): the saturation dome of every
// fluid rises without a loop or a kink to the critical point and
// closes there, where the add-in's own critical values put it; the chart speaks the chosen
// unit system; every bad request ends in a message and an exit status with no file written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "fluids/fluids.h"
#include "tests/process.h"

namespace {

using kaltra::test::Outcome;
using kaltra::test::readFile;
using kaltra::test::shellQuoted;

bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// The pixel frame of the plot and the data ranges it maps, as the chart states them on its
// plot group, and the points of its dome path.
struct ChartFile {
    double left = 0, top = 0, width = 0, height = 0;
    double hMin = 0, hMax = 0, pMin = 0, pMax = 0;
    std::vector<double> domeX, domeY;
};

// The value of attribute `name` of the first element that carries `marker`; "" if absent.
std::string attributeNear(const std::string& svg, const std::string& marker, const std::string& name) {
    std::size_t at = svg.find(marker);
    if (at == std::string::npos) return "";
    std::size_t open = svg.rfind('<', at), close = svg.find('>', at);
    std::string element = svg.substr(open, close - open);
    std::size_t start = element.find(" " + name + "=\"");
    if (start == std::string::npos) return "";
    start += name.size() + 3;
    return element.substr(start, element.find('"', start) - start);
}

bool parseChart(const std::string& svg, ChartFile& chart) {
    std::istringstream frame(attributeNear(svg, "id=\"plot\"", "data-frame"));
    std::istringstream hRange(attributeNear(svg, "id=\"plot\"", "data-h-range"));
    std::istringstream pRange(attributeNear(svg, "id=\"plot\"", "data-p-range"));
    if (!(frame >> chart.left >> chart.top >> chart.width >> chart.height)) return false;
    if (!(hRange >> chart.hMin >> chart.hMax) || !(pRange >> chart.pMin >> chart.pMax)) return false;
    std::string d = attributeNear(svg, "id=\"dome\"", "d");
    for (char& c : d) {
        if (c == 'M' || c == 'L' || c == ',') c = ' ';
    }
    std::istringstream points(d);
    double x, y;
    while (points >> x >> y) {
        chart.domeX.push_back(x);
        chart.domeY.push_back(y);
    }
    return chart.domeX.size() >= 3;
}

double xOf(const ChartFile& chart, double h) { return chart.left + (h - chart.hMin) / (chart.hMax - chart.hMin) * chart.width; }

double yOf(const ChartFile& chart, double p) {
    double lo = std::log10(chart.pMin), hi = std::log10(chart.pMax);
    return chart.top + chart.height - (std::log10(p) - lo) / (hi - lo) * chart.height;
}

// Coordinates are written with two decimals.
constexpr double kDrawingTolerance = 0.006;

class Chart : public ::testing::Test {
protected:
    kaltra::test::Scratch scratch;
    const std::string& dir = scratch.folder();

    void SetUp() override {
        ASSERT_STRNE(KALTRA_HOST_PATH, "") << "the kaltra host is not built";
        ASSERT_FALSE(dir.empty()) << "no scratch folder";
    }

    Outcome kaltra(const std::vector<std::string>& arguments) { return scratch.kaltra(arguments); }

    // Answers of formulas, one per line.
    std::vector<std::string> answers(const std::vector<std::string>& formulas) {
        std::string input;
        for (const std::string& formula : formulas) input += formula + "\n";
        return kaltra::test::linesOf(scratch.kaltra({}, input).out);
    }
};

struct Charted {
    std::string fluid;
    int units;
};

// Every fluid in unit code 1, and a few in other unit systems.
std::vector<Charted> chartedCases() {
    std::vector<Charted> cases;
    for (int i = 0; i < kaltra::kCatalogueSize; ++i) cases.push_back({kaltra::kCatalogue[i].name, 1});
    cases.push_back({"R134a", 0});
    cases.push_back({"R717", 3});
    cases.push_back({"R22", 7});
    cases.push_back({"R13b1", 2});
    return cases;
}

TEST_F(Chart, DomeRisesToTheCriticalPointAndClosesThere) {
    std::vector<Charted> cases = chartedCases();
    ASSERT_GE(cases.size(), 9u) << "at least the five published fluids have their sets";
    for (const Charted& c : cases) {
        std::string where = c.fluid + " in unit code " + std::to_string(c.units);
        Outcome r = kaltra({"chart", c.fluid, "--units", std::to_string(c.units), "-o", "-"});
        ASSERT_EQ(r.status, 0) << where << ": " << r.err;
        ChartFile chart;
        ASSERT_TRUE(parseChart(r.out, chart)) << where << ": no plot frame or dome path in the SVG";

        // The critical point as the add-in answers it: any temperature above the critical
        // one is bounded to it, where the saturated vapor and liquid coincide.
        std::string name = "\"" + c.fluid + "\"", u = std::to_string(c.units);
        std::vector<std::string> critical = answers({"KaltHg(" + name + ", KaltTmax(" + name + ", " + u + "), " + u + ")",
                                                     "KaltPsat(" + name + ", KaltTmax(" + name + ", " + u + "), " + u + ")"});
        ASSERT_EQ(critical.size(), 2u) << where;
        double hc = std::atof(critical[0].c_str()), pc = std::atof(critical[1].c_str());
        double xc = xOf(chart, hc), yc = yOf(chart, pc);

        std::size_t top = 0;
        for (std::size_t i = 1; i < chart.domeY.size(); ++i) {
            if (chart.domeY[i] < chart.domeY[top]) top = i;
        }
        EXPECT_NEAR(chart.domeX[top], xc, kDrawingTolerance) << where << ": the top of the dome is not at the critical enthalpy";
        EXPECT_NEAR(chart.domeY[top], yc, kDrawingTolerance) << where << ": the top of the dome is not at the critical pressure";
        ASSERT_GT(top, 0u) << where << ": no liquid line below the critical point";
        ASSERT_LT(top + 1, chart.domeY.size()) << where << ": no vapor line below the critical point";
        EXPECT_LT(chart.domeX[top - 1], chart.domeX[top]) << where << ": the liquid line ends right of the critical point";
        EXPECT_GT(chart.domeX[top + 1], chart.domeX[top]) << where << ": the vapor line starts left of the critical point";

        // Up the liquid line pressure and enthalpy rise; down the vapor line pressure falls.
        for (std::size_t i = 1; i <= top; ++i) {
            EXPECT_LT(chart.domeY[i], chart.domeY[i - 1]) << where << ": liquid line point " << i << " does not rise";
            EXPECT_GT(chart.domeX[i], chart.domeX[i - 1]) << where << ": liquid line point " << i << " turns back";
        }
        for (std::size_t i = top + 1; i < chart.domeY.size(); ++i) {
            EXPECT_GT(chart.domeY[i], chart.domeY[i - 1]) << where << ": vapor line point " << i << " does not fall";
        }

        EXPECT_FALSE(std::regex_search(r.out, std::regex("[^a-z](nan|inf)[^a-z]", std::regex::icase)))
            << where << ": a coordinate is not a finite number";
        EXPECT_EQ(r.out.compare(r.out.size() - 7, 7, "</svg>\n"), 0) << where << ": the SVG is not closed";
    }
}

TEST_F(Chart, SpeaksTheChosenUnitSystem) {
    struct Case {
        const char* description;
        int units;
        const char* pressure;
        const char* enthalpy;
        const char* temperature;
    };
    const Case cases[] = {
        {"English", 0, "psia", "BTU/lbm", "\xC2\xBA" "F"},
        {"SI Common", 1, "bar", "kJ/kg", "\xC2\xBA" "C"},
        {"SI Formal", 3, "MPa", "kJ/kg", "\xC2\xBA" "K"},
        {"MetricFormal, with a superscript two", 6, "kg/cm\xC2\xB2", "kcal/kg", "\xC2\xBA" "C"},
    };
    for (const Case& c : cases) {
        Outcome r = kaltra({"chart", "R22", "--units", std::to_string(c.units), "-o", "-"});
        ASSERT_EQ(r.status, 0) << c.description << ": " << r.err;
        EXPECT_NE(r.out.find("pressure p, " + std::string(c.pressure) + " (log scale)"), std::string::npos) << c.description;
        EXPECT_NE(r.out.find("specific enthalpy h, " + std::string(c.enthalpy)), std::string::npos) << c.description;
        EXPECT_NE(r.out.find("isotherms, " + std::string(c.temperature)), std::string::npos) << c.description;
        EXPECT_NE(r.out.find("R22  Chlorodifluoromethane  (CHClF2)"), std::string::npos) << c.description << ": title";
        EXPECT_NE(r.out.find("clip-path=\"url(#plot-area)\""), std::string::npos) << c.description << ": curves not clipped";
    }
}

TEST_F(Chart, FindsTheFluidByAnyOfItsNamesAndWritesTheFile) {
    struct Case {
        const char* description;
        const char* fluid;
    };
    const Case cases[] = {{"designation", "R134a"}, {"lower case", "r134a"}, {"formula", "CH2FCF3"}, {"long name", "TetraFlouroEthane"}};
    for (const Case& c : cases) {
        std::string path = dir + "/chart.svg";
        std::remove(path.c_str());
        Outcome r = kaltra({"chart", c.fluid, "-o", path});
        EXPECT_EQ(r.status, 0) << c.description << ": " << r.err;
        std::string svg = readFile(path);
        EXPECT_NE(svg.find("<title>R134a (TetraFlouroEthane)"), std::string::npos) << c.description;
    }
    // Without -o the chart is NAME.svg in the working directory.
    std::string command = "cd " + shellQuoted(dir) + " && env -u KALTRA_ADDIN " + shellQuoted(KALTRA_HOST_PATH) +
                          " chart r717 > /dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(fileExists(dir + "/R717.svg")) << "the default file is named after the fluid's designation";
}

TEST_F(Chart, BadRequestsEndInAMessage) {
    struct Case {
        const char* description;
        std::vector<std::string> arguments;
        int status;
    };
    const Case cases[] = {
        {"an unknown fluid", {"chart", "R999"}, 1},
        {"no fluid", {"chart"}, 2},
        {"two fluids", {"chart", "R22", "R134a"}, 2},
        {"a unit code beyond 7", {"chart", "R22", "--units", "8"}, 2},
        {"a unit code that is no number", {"chart", "R22", "--units", "one"}, 2},
        {"a negative unit code", {"chart", "R22", "--units", "-1"}, 2},
        {"--units without a value", {"chart", "R22", "--units"}, 2},
        {"-o without a value", {"chart", "R22", "-o"}, 2},
        {"an unknown option", {"chart", "R22", "--colour"}, 2},
        {"a file that cannot be written", {"chart", "R22", "-o", "/nonexistent-folder/chart.svg"}, 2},
    };
    for (const Case& c : cases) {
        Outcome r = kaltra(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.description << ": " << r.err;
        EXPECT_NE(r.err.find("kaltra: chart: "), std::string::npos) << c.description << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.description;
    }
}

}  // namespace
