// kaltra: runs the add-in without Excel.
//
//   kaltra [--addin PATH] 'KaltHofTP("R134a", 25, 10, 1)'   one formula
//   kaltra [--addin PATH]                                 formulas from stdin, one a line
//   kaltra [--addin PATH] functions                       the registered functions
//   kaltra [--addin PATH] registrations                   the registrations, texts as received
//   kaltra [--addin PATH] sheet [--csv] FILE.csv          a worksheet, computed
//   kaltra [--addin PATH] chart NAME [--units CODE] [-o FILE.svg]   a log(p)-h chart
//
// The add-in is the library given by --addin, else by the environment variable
// KALTRA_ADDIN, else the Kaltra64 library beside this program (Kaltra32 in a 32-bit
// host). Exit status: 0 done, 1 a formula or cell had a problem (told on stderr), 2 the
// add-in or a file could not be used, 3 a worksheet function broke Excel's calling
// convention.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "host/kaltra.h"
#include "host/platform.h"
#include "host/standin_excel.h"

using namespace kaltra::host;

namespace {

constexpr int kDone = 0;
constexpr int kFormulaProblem = 1;
constexpr int kCannotRun = 2;

void printUsage(FILE* out) {
    std::fprintf(out,
                 "usage: kaltra [--addin PATH] 'FORMULA'          evaluate one formula, e.g. 'KaltPsat(\"R134a\", 25, 1)'\n"
                 "       kaltra [--addin PATH]                    evaluate formulas from standard input, one a line\n"
                 "       kaltra [--addin PATH] functions          list the registered worksheet functions\n"
                 "       kaltra [--addin PATH] registrations      print every registration's texts, tab-separated\n"
                 "       kaltra [--addin PATH] sheet [--csv] FILE.csv\n"
                 "                                                compute a worksheet and print its grid\n"
                 "%s"
                 "The add-in is PATH, else $KALTRA_ADDIN, else %s beside kaltra.\n",
                 chartUsage(), kDefaultAddinFile);
}

// The add-in library in the directory of this program.
std::string defaultAddinPath() { return pathInFolder(programFolder(), kDefaultAddinFile); }

std::vector<std::string> splitArgumentText(const std::string& text) {
    std::vector<std::string> names;
    if (text.empty()) return names;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = text.find(',', start);
        names.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return names;
        start = comma + 1;
    }
}

// Whether the host can call a function of this type text.
bool callableType(const std::string& typeText) {
    if (typeText.empty() || typeText[0] != 'R' || typeText.size() - 1 > static_cast<std::size_t>(kMaxHostArguments)) return false;
    return typeText.find_first_not_of("CBI", 1) == std::string::npos;
}

// Loads and opens the add-in as Excel does; fills the function list from what it
// registered. False after telling why on stderr.
bool openAddin(const std::string& path, std::vector<AddinFunction>& functions) {
    std::string why;
    void* library = loadLibrary(path, why);
    if (!library) {
        std::fprintf(stderr, "kaltra: cannot load the add-in %s: %s\n", path.c_str(), why.c_str());
        return false;
    }
    auto autoOpen = reinterpret_cast<int(KALT_PASCAL*)()>(exportedAddress(library, "xlAutoOpen"));
    if (!autoOpen) {
        std::fprintf(stderr, "kaltra: %s is not an add-in: it exports no xlAutoOpen\n", path.c_str());
        return false;
    }
    standinReset();
    standinSetAddinPath(absolutePath(path).c_str());
    int opened = autoOpen();
    for (const standin::Alert& alert : standinAlerts()) {
        std::fprintf(stderr, "kaltra: the add-in says: %s\n", utf8FromWindows1252(alert.text).c_str());
    }
    if (opened != 1) {
        std::fprintf(stderr, "kaltra: the add-in %s did not open\n", path.c_str());
        return false;
    }
    if (standinMalformedCount() > 0) {
        std::fprintf(stderr, "kaltra: warning: the add-in handed over %d malformed texts\n", standinMalformedCount());
    }

    for (const standin::Registration& registration : standinRegistrations()) {
        const std::vector<std::string>& texts = registration.texts;
        if (texts.size() <= static_cast<std::size_t>(standin::functionHelp)) continue;
        AddinFunction function;
        function.name = texts[standin::functionText];
        function.typeText = texts[standin::typeText];
        function.argumentNames = splitArgumentText(texts[standin::argumentText]);
        function.category = texts[standin::category];
        function.functionHelp = texts[standin::functionHelp];
        function.argumentHelps.assign(texts.begin() + standin::firstArgumentHelp, texts.end());
        function.address = exportedAddress(library, texts[standin::procedure].c_str());
        function.callable = function.address && callableType(function.typeText);
        if (!function.address) {
            std::fprintf(stderr, "kaltra: warning: %s is registered but the add-in does not export it\n",
                         texts[standin::procedure].c_str());
        }
        functions.push_back(function);
    }
    return true;
}

// The registered functions as Excel's Insert Function dialog shows them.
void listFunctions(const std::vector<AddinFunction>& functions) {
    std::string category;
    for (const AddinFunction& function : functions) {
        if (function.category != category || &function == &functions.front()) {
            category = function.category;
            std::printf("%s\n", utf8FromWindows1252(category).c_str());
        }
        std::string names;
        for (std::size_t i = 0; i < function.argumentNames.size(); ++i) names += (i ? "," : "") + function.argumentNames[i];
        std::printf("  %s(%s)\n", function.name.c_str(), utf8FromWindows1252(names).c_str());
        std::printf("    %s\n", utf8FromWindows1252(function.functionHelp).c_str());
        for (std::size_t i = 0; i < function.argumentNames.size(); ++i) {
            std::string help = i < function.argumentHelps.size() ? function.argumentHelps[i] : std::string();
            std::printf("    %s: %s\n", utf8FromWindows1252(function.argumentNames[i]).c_str(), utf8FromWindows1252(help).c_str());
        }
    }
}

// Every registration the add-in made, one a line, its texts as xlfRegister received them
// (in UTF-8) separated by tabs.
void listRegistrations() {
    for (const standin::Registration& registration : standinRegistrations()) {
        for (std::size_t i = 0; i < registration.texts.size(); ++i) {
            std::printf("%s%s", i ? "\t" : "", utf8FromWindows1252(registration.texts[i]).c_str());
        }
        std::printf("\n");
    }
}

// Evaluates one formula written in UTF-8: its printed value, or a problem.
bool evaluateLine(const std::string& line, const std::vector<AddinFunction>& functions, std::string& shown, Problem& problem) {
    Formula formula;
    if (!parseFormula(windows1252FromUtf8(line), functions, false, formula, problem)) {
        problem.message = utf8FromWindows1252(problem.message);
        shown = displayText(errorValue(problem.code));
        return false;
    }
    shown = displayText(evaluate(formula, functions, nullptr));
    return true;
}

int runOne(const std::string& line, const std::vector<AddinFunction>& functions) {
    std::string shown;
    Problem problem;
    if (!evaluateLine(line, functions, shown, problem)) {
        std::fprintf(stderr, "kaltra: %s\n", problem.message.c_str());
        return kFormulaProblem;
    }
    std::printf("%s\n", shown.c_str());
    return kDone;
}

// One answer per line; a blank line answers a blank line, a bad one its error value.
int runBatch(const std::vector<AddinFunction>& functions) {
    int status = kDone;
    std::string line;
    for (long number = 1; std::getline(std::cin, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string shown;
        Problem problem;
        if (line.find_first_not_of(" \t") != std::string::npos && !evaluateLine(line, functions, shown, problem)) {
            std::fprintf(stderr, "kaltra: line %ld: %s\n", number, problem.message.c_str());
            status = kFormulaProblem;
        }
        std::printf("%s\n", shown.c_str());
        std::fflush(stdout);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    useBinaryStandardStreams();
    std::string addin;
    int first = 1;
    if (first < argc && (std::strcmp(argv[first], "--help") == 0 || std::strcmp(argv[first], "-h") == 0)) {
        printUsage(stdout);
        return kDone;
    }
    if (first < argc && std::strcmp(argv[first], "--addin") == 0) {
        if (first + 1 >= argc) {
            printUsage(stderr);
            return kCannotRun;
        }
        addin = argv[first + 1];
        first += 2;
    }
    if (addin.empty()) {
        const char* fromEnvironment = std::getenv("KALTRA_ADDIN");
        addin = fromEnvironment && *fromEnvironment ? fromEnvironment : defaultAddinPath();
    }

    // What to do, checked before the add-in is loaded.
    enum class Mode { batch, one, functions, registrations, sheet, chart } mode = Mode::batch;
    ChartRequest chart;
    bool asCsv = false;
    const char* sheetPath = nullptr;
    int rest = argc - first;
    if (rest == 0) {
        mode = Mode::batch;
    } else if (std::strcmp(argv[first], "functions") == 0 && rest == 1) {
        mode = Mode::functions;
    } else if (std::strcmp(argv[first], "registrations") == 0 && rest == 1) {
        mode = Mode::registrations;
    } else if (std::strcmp(argv[first], "sheet") == 0) {
        mode = Mode::sheet;
        int at = first + 1;
        if (at < argc && std::strcmp(argv[at], "--csv") == 0) {
            asCsv = true;
            ++at;
        }
        if (at + 1 != argc) {
            printUsage(stderr);
            return kCannotRun;
        }
        sheetPath = argv[at];
    } else if (std::strcmp(argv[first], "chart") == 0) {
        mode = Mode::chart;
        if (!parseChartArguments(rest - 1, argv + first + 1, chart)) return kCannotRun;
    } else if (rest == 1) {
        mode = Mode::one;
    } else {
        printUsage(stderr);
        return kCannotRun;
    }

    std::vector<AddinFunction> functions;
    if (!openAddin(addin, functions)) return kCannotRun;

    switch (mode) {
        case Mode::functions: listFunctions(functions); return kDone;
        case Mode::registrations: listRegistrations(); return kDone;
        case Mode::sheet: return runSheet(sheetPath, functions, asCsv);
        case Mode::chart: return runChart(chart, functions);
        case Mode::one: return runOne(argv[first], functions);
        case Mode::batch: return runBatch(functions);
    }
    return kDone;
}
