// The user documentation stays true. Every worked example of docs/functions.md is evaluated
// through the kaltra host and must answer the digits the page shows; every unit line of the
// page must be what KaltUnits answers; every registered worksheet function is documented with
// an example. docs/fluids.md must agree with the catalogue and link a chart in docs/charts for
// every fluid (regenerate both with tools/charts.sh).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "fluids/fluids.h"
#include "transport/transport.h"
#include "shell/shell.h"
#include "tests/process.h"

namespace {

using kaltra::test::linesOf;
using kaltra::test::readFile;

const std::string kDocs = KALTRA_DOCS_DIR;

// The kaltra host's answers to formulas, one line each.
std::vector<std::string> evaluate(const std::vector<std::string>& formulas) {
    std::string input;
    for (const std::string& formula : formulas) input += formula + "\n";
    return linesOf(kaltra::test::Scratch().kaltra({}, input).out);
}

bool parsesAsNumber(const std::string& text, double& x) {
    if (text.empty()) return false;
    char* end = nullptr;
    x = std::strtod(text.c_str(), &end);
    return *end == '\0';
}

// The host's printed answer rounded the way the page shows its value: as many decimals (in
// fixed or exponent form) as the page gives. Texts and error values stand as printed.
std::string roundedLike(const std::string& printed, const std::string& shown) {
    double page = 0.0, value = 0.0;
    if (!parsesAsNumber(shown, page) || !parsesAsNumber(printed, value)) return printed;
    std::size_t exponent = shown.find_first_of("eE");
    std::string mantissa = shown.substr(0, exponent);
    std::size_t point = mantissa.find('.');
    int decimals = point == std::string::npos ? 0 : static_cast<int>(mantissa.size() - point - 1);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, exponent == std::string::npos ? "%.*f" : "%.*e", decimals, value);
    return buffer;
}

struct Example {
    int line;
    std::string formula;
    std::string shown;
};

std::vector<Example> examplesOf(const std::vector<std::string>& lines) {
    const std::regex example("^Example: `=(.+)` \xE2\x86\x92 `([^`]*)`");
    std::vector<Example> examples;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        if (std::regex_search(lines[i], m, example)) examples.push_back({static_cast<int>(i + 1), m[1], m[2]});
    }
    return examples;
}

// ---- docs/functions.md ------------------------------------------------------------------

TEST(FunctionsPage, EveryExampleAnswersWhatThePageShows) {
    ASSERT_STRNE(KALTRA_HOST_PATH, "") << "the kaltra host is not built";
    std::vector<Example> examples = examplesOf(linesOf(readFile(kDocs + "/functions.md")));
    ASSERT_GE(examples.size(), static_cast<std::size_t>(kaltra::kFunctionCount)) << "docs/functions.md has too few examples";
    std::vector<std::string> formulas;
    for (const Example& e : examples) formulas.push_back(e.formula);
    std::vector<std::string> printed = evaluate(formulas);
    ASSERT_EQ(printed.size(), examples.size()) << "the host did not answer every example";
    for (std::size_t i = 0; i < examples.size(); ++i) {
        const Example& e = examples[i];
        EXPECT_EQ(roundedLike(printed[i], e.shown), e.shown)
            << "docs/functions.md line " << e.line << ": =" << e.formula << " shows " << e.shown << ", the add-in answers "
            << printed[i];
    }
}

TEST(FunctionsPage, EveryWorksheetFunctionHasASectionAndAnExample) {
    std::string page = readFile(kDocs + "/functions.md");
    std::vector<Example> examples = examplesOf(linesOf(page));
    int functions = 0;
    for (const kaltra::RegistrationEntry* entry = kaltra::RegistrationTable; entry->typeCode != 0 || entry[1].typeCode != 0;
         ++entry) {
        if (entry->typeCode != 'R') continue;
        ++functions;
        std::string name = entry->entryName;
        EXPECT_NE(page.find("### `" + name + "("), std::string::npos) << name << " has no section in docs/functions.md";
        bool hasExample = false;
        for (const Example& e : examples) hasExample = hasExample || e.formula.rfind(name + "(", 0) == 0;
        EXPECT_TRUE(hasExample) << name << " has no worked example in docs/functions.md";
    }
    EXPECT_EQ(functions, kaltra::kFunctionCount);
}

TEST(FunctionsPage, EveryUnitLineIsWhatKaltUnitsAnswers) {
    ASSERT_STRNE(KALTRA_HOST_PATH, "") << "the kaltra host is not built";
    std::vector<std::string> lines = linesOf(readFile(kDocs + "/functions.md"));
    const std::regex unitLine("^\\*\\*Unit\\*\\* \\(`KaltUnits\\(units, ([0-9]+)\\)`\\): (.*)$");
    struct Cell {
        int line;
        std::string formula;
        std::string label;
    };
    std::vector<Cell> cells;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        if (!std::regex_search(lines[i], m, unitLine)) continue;
        std::string rest = m[2];
        int code = 0;
        for (std::size_t start = 0; start <= rest.size(); ++code) {
            std::size_t end = rest.find(" \xC2\xB7 ", start);
            std::string cell = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
            std::string expectedCode = std::to_string(code) + " ";
            EXPECT_EQ(cell.rfind(expectedCode, 0), 0u) << "docs/functions.md line " << i + 1 << ": cell " << cell;
            cells.push_back({static_cast<int>(i + 1), "KaltUnits(" + std::to_string(code) + ", " + std::string(m[1]) + ")",
                             cell.substr(std::min(cell.size(), expectedCode.size()))});
            if (end == std::string::npos) break;
            start = end + 4;
        }
        EXPECT_EQ(code, 7) << "docs/functions.md line " << i + 1 << " does not list the eight unit systems";
    }
    ASSERT_GE(cells.size(), 8u * 20u) << "docs/functions.md has too few unit lines";
    std::vector<std::string> formulas;
    for (const Cell& c : cells) formulas.push_back(c.formula);
    std::vector<std::string> printed = evaluate(formulas);
    ASSERT_EQ(printed.size(), cells.size());
    for (std::size_t i = 0; i < cells.size(); ++i) {
        EXPECT_EQ(cells[i].label, printed[i]) << "docs/functions.md line " << cells[i].line << ": " << cells[i].formula;
    }
}

// ---- docs/fluids.md ---------------------------------------------------------------------

std::vector<std::string> cellsOf(const std::string& row) {
    std::vector<std::string> cells;
    std::size_t start = row.find('|') + 1;
    for (std::size_t bar; (bar = row.find('|', start)) != std::string::npos; start = bar + 1) {
        std::string cell = row.substr(start, bar - start);
        cell.erase(0, cell.find_first_not_of(' '));
        cell.erase(cell.find_last_not_of(' ') + 1);
        cells.push_back(cell);
    }
    return cells;
}

// The numbers of a cell such as "-110.47 to 1140.00" or "197.96 ºC, 44.08 bar".
std::vector<double> numbersOf(const std::string& cell) {
    std::vector<double> numbers;
    const std::regex number("-?[0-9]+(\\.[0-9]+)?(e[-+][0-9]+)?");
    for (std::sregex_iterator it(cell.begin(), cell.end(), number), end; it != end; ++it) numbers.push_back(std::stod(it->str()));
    return numbers;
}

bool hasTransportRow(const kaltra::RefrigerantRecord& record) { return kaltra::findTransportEntry(record) != nullptr; }

// Columns of the table: #, fluid, formula, long name, form, temperature range, pressure
// range, critical point, transport, accuracy, chart.
enum Column { kIndex, kFluid, kFormula, kLongName, kForm, kTemperatures, kPressures, kCritical, kTransport, kAccuracy, kChart, kColumns };

TEST(FluidsPage, AgreesWithTheCatalogueAndLinksEveryChart) {
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : linesOf(readFile(kDocs + "/fluids.md"))) {
        if (std::regex_search(line, std::regex("^\\| [0-9]+ \\|"))) rows.push_back(cellsOf(line));
    }
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kaltra::kCatalogueSize)) << "docs/fluids.md: one row per fluid";
    const char* again = " (regenerate with bash tools/charts.sh)";
    for (int i = 0; i < kaltra::kCatalogueSize; ++i) {
        const kaltra::RefrigerantRecord& record = kaltra::kCatalogue[i];
        const std::vector<std::string>& row = rows[i];
        std::string where = std::string("docs/fluids.md, ") + record.name + ": ";
        ASSERT_EQ(row.size(), static_cast<std::size_t>(kColumns)) << where << "columns";
        const double* k = kaltra::constantsOf(record);
        EXPECT_EQ(row[kIndex], std::to_string(i + 1)) << where << "index";
        EXPECT_NE(row[kFluid].find(record.name), std::string::npos) << where << "name";
        EXPECT_EQ(row[kFormula], record.formula) << where << "formula";
        EXPECT_EQ(row[kLongName], record.longName) << where << "long name";
        EXPECT_EQ(row[kForm], kaltra::isCubicForm(record) ? "cubic" : "MBWR") << where << "form";

        std::vector<double> temperatures = numbersOf(row[kTemperatures]);
        ASSERT_EQ(temperatures.size(), 2u) << where << row[kTemperatures];
        EXPECT_NEAR(temperatures[0], kaltra::temperatureOut(1, k[kaltra::slot::minTemp]), 0.006) << where << "lowest temperature";
        EXPECT_NEAR(temperatures[1], kaltra::temperatureOut(1, record.maxTemp), 0.006) << where << "highest temperature";

        std::vector<double> critical = numbersOf(row[kCritical]);
        ASSERT_EQ(critical.size(), 2u) << where << row[kCritical];
        EXPECT_NEAR(critical[0], kaltra::temperatureOut(1, k[kaltra::slot::critTemp]), 0.006) << where << "critical temperature";
        double pc = kaltra::pressureOut(1, k[kaltra::slot::critPressure]);
        EXPECT_NEAR(critical[1], pc, 1e-3 * pc) << where << "critical pressure";

        std::vector<double> pressures = numbersOf(row[kPressures]);
        ASSERT_FALSE(pressures.empty()) << where << row[kPressures];
        double pmax = kaltra::pressureOut(1, record.maxPressure);
        EXPECT_NEAR(pressures.back(), pmax, 1e-3 * pmax) << where << "highest pressure";

        EXPECT_EQ(row[kTransport], hasTransportRow(record) ? "yes" : "no") << where << "transport";
        EXPECT_FALSE(row[kAccuracy].empty()) << where << "accuracy";

        std::string chart = std::string("charts/") + record.name + ".svg";
        bool drawn = access((kDocs + "/" + chart).c_str(), F_OK) == 0;
        EXPECT_TRUE(drawn) << where << "no chart" << again;
        EXPECT_EQ(row[kChart], "[chart](" + chart + ")") << where << "chart link" << again;
        EXPECT_EQ(pressures.size(), 2u) << where << "lowest saturation pressure missing" << again;
    }
}

}  // namespace
