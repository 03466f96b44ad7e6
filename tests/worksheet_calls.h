// The 33 worksheet functions callable alike, in registration order, and the conformance
// cases of tests/data/cases.tsv as the tests that replay them read them.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "shell/shell.h"
#include "tests/process.h"

namespace kaltra::test {

// Every argument a worksheet function can take; each function reads the ones it has.
struct Arguments {
    const char* name;
    double a, b;
    short units, index;
};

struct WorksheetFunction {
    const char* name;
    int doubles;  // how many of a, b it takes
    xl::LPXLOPER (*call)(const Arguments&);
};

inline const WorksheetFunction kWorksheetFunctions[] = {
    {"KaltUnits", 0, [](const Arguments& x) { return KaltUnits(x.units, x.index); }},
    {"KaltName", 0, [](const Arguments& x) { return KaltName(x.index); }},
    {"KaltLongName", 0, [](const Arguments& x) { return KaltLongName(x.index); }},
    {"KaltForm", 0, [](const Arguments& x) { return KaltForm(x.index); }},
    {"KaltIndex", 0, [](const Arguments& x) { return KaltIndex(x.name); }},
    {"KaltMW", 0, [](const Arguments& x) { return KaltMW(x.name); }},
    {"KaltZc", 0, [](const Arguments& x) { return KaltZc(x.name); }},
    {"KaltTmax", 0, [](const Arguments& x) { return KaltTmax(x.name, x.units); }},
    {"KaltPmax", 0, [](const Arguments& x) { return KaltPmax(x.name, x.units); }},
    {"KaltPsat", 1, [](const Arguments& x) { return KaltPsat(x.name, x.a, x.units); }},
    {"KaltTsat", 1, [](const Arguments& x) { return KaltTsat(x.name, x.a, x.units); }},
    {"KaltVf", 1, [](const Arguments& x) { return KaltVf(x.name, x.a, x.units); }},
    {"KaltVg", 1, [](const Arguments& x) { return KaltVg(x.name, x.a, x.units); }},
    {"KaltPofTV", 2, [](const Arguments& x) { return KaltPofTV(x.name, x.a, x.b, x.units); }},
    {"KaltVofTP", 2, [](const Arguments& x) { return KaltVofTP(x.name, x.a, x.b, x.units); }},
    {"KaltZofTV", 2, [](const Arguments& x) { return KaltZofTV(x.name, x.a, x.b, x.units); }},
    {"KaltZofTP", 2, [](const Arguments& x) { return KaltZofTP(x.name, x.a, x.b, x.units); }},
    {"KaltHf", 1, [](const Arguments& x) { return KaltHf(x.name, x.a, x.units); }},
    {"KaltHg", 1, [](const Arguments& x) { return KaltHg(x.name, x.a, x.units); }},
    {"KaltHofTV", 2, [](const Arguments& x) { return KaltHofTV(x.name, x.a, x.b, x.units); }},
    {"KaltHofTP", 2, [](const Arguments& x) { return KaltHofTP(x.name, x.a, x.b, x.units); }},
    {"KaltSf", 1, [](const Arguments& x) { return KaltSf(x.name, x.a, x.units); }},
    {"KaltSg", 1, [](const Arguments& x) { return KaltSg(x.name, x.a, x.units); }},
    {"KaltSofTV", 2, [](const Arguments& x) { return KaltSofTV(x.name, x.a, x.b, x.units); }},
    {"KaltSofTP", 2, [](const Arguments& x) { return KaltSofTP(x.name, x.a, x.b, x.units); }},
    {"KaltTofPH", 2, [](const Arguments& x) { return KaltTofPH(x.name, x.a, x.b, x.units); }},
    {"KaltTofPS", 2, [](const Arguments& x) { return KaltTofPS(x.name, x.a, x.b, x.units); }},
    {"KaltSt", 1, [](const Arguments& x) { return KaltSt(x.name, x.a, x.units); }},
    {"KaltCpofTP", 2, [](const Arguments& x) { return KaltCpofTP(x.name, x.a, x.b, x.units); }},
    {"KaltCvofTP", 2, [](const Arguments& x) { return KaltCvofTP(x.name, x.a, x.b, x.units); }},
    {"KaltMUofTP", 2, [](const Arguments& x) { return KaltMUofTP(x.name, x.a, x.b, x.units); }},
    {"KaltNUofTP", 2, [](const Arguments& x) { return KaltNUofTP(x.name, x.a, x.b, x.units); }},
    {"KaltTKofTP", 2, [](const Arguments& x) { return KaltTKofTP(x.name, x.a, x.b, x.units); }},
};

inline const WorksheetFunction* worksheetFunction(const std::string& name) {
    for (const WorksheetFunction& f : kWorksheetFunctions)
        if (name == f.name) return &f;
    return nullptr;
}

// One line of cases.tsv: id, function, nargs, arg1..arg4, kind, expected, tol, atol.
struct ConformanceCase {
    std::string id, function;
    int nargs = 0;
    std::string args[4];
    std::string kind, expected, tol, atol;
};

#ifdef KALTRA_TEST_DATA
inline std::vector<ConformanceCase> readConformanceCases() {
    std::vector<ConformanceCase> cases;
    std::ifstream in(std::string(KALTRA_TEST_DATA) + "/cases.tsv", std::ios::binary);
    std::string line;
    for (bool header = true; std::getline(in, line); header = false) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string> f = splitTabs(line);
        if (header || f.size() != 13) continue;
        ConformanceCase c{f[0], f[1], std::atoi(f[2].c_str()), {f[3], f[4], f[5], f[6]}, f[7], f[8], f[9], f[10]};
        if (c.nargs >= 1 && c.nargs <= 4) cases.push_back(c);
    }
    return cases;
}
#endif

// Calls a case's function with its arguments as Excel hands them over: the index functions
// take a 16-bit index (KaltUnits a unit code first), all others the name, the numbers in
// order and the unit code last.
inline const xl::XLOPER* callCase(const ConformanceCase& c) {
    const WorksheetFunction* f = worksheetFunction(c.function);
    if (f == nullptr) return nullptr;
    auto code = [&](int i) { return static_cast<short>(std::strtol(c.args[i].c_str(), nullptr, 10)); };
    auto number = [&](int i) { return std::strtod(c.args[i].c_str(), nullptr); };
    Arguments x{c.args[0].c_str(), 0.0, 0.0, 0, 0};
    const bool byIndex = c.function == "KaltName" || c.function == "KaltLongName" || c.function == "KaltForm";
    if (c.function == "KaltUnits") {
        x.units = code(0);
        x.index = code(1);
    } else if (byIndex) {
        x.index = code(0);
    } else {
        if (f->doubles >= 1) x.a = number(1);
        if (f->doubles == 2) x.b = number(2);
        if (c.nargs > 1 + f->doubles) x.units = code(1 + f->doubles);
    }
    return f->call(x);
}

}  // namespace kaltra::test
