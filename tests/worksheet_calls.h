// The 33 worksheet functions callable alike, read from the function table in registration
// order (shell/table_functions.h), and the conformance cases of tests/data/cases.tsv as every
// test that replays them reads and calls them.
#pragma once

#include <cstdlib>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "shell/shell.h"
#include "shell/table_functions.h"
#include "tests/process.h"

namespace kaltra::test {

using Arguments = WorksheetArguments;
using WorksheetFunction = TableFunction;

// Every function of the table, in registration order.
inline std::span<const TableFunction> worksheetFunctions() {
    const FunctionTable& table = functionTable();
    return {table.function, static_cast<std::size_t>(table.count)};
}

inline const TableFunction* worksheetFunction(const std::string& name) { return findTableFunction(name.c_str()); }

// One line of cases.tsv: id, function, nargs, arg1..arg4, kind, expected, tol, atol, fragile,
// group; and the line's number in the file.
struct ConformanceCase {
    int line = 0;
    std::string id, function;
    int nargs = 0;
    std::string args[4];
    std::string kind, expected, tol, atol, fragile, group;
};

#ifdef KALTRA_TEST_DATA
// Every case of the file in order; why a line is left out (a file that cannot be read, a line
// without its 13 fields or with an argument count outside 1 to 4) goes to `problems`.
inline std::vector<ConformanceCase> readConformanceCases(std::vector<std::string>* problems = nullptr) {
    const std::string path = std::string(KALTRA_TEST_DATA) + "/cases.tsv";
    std::vector<ConformanceCase> cases;
    std::ifstream in(path, std::ios::binary);
    if (!in && problems != nullptr) problems->push_back("cannot open " + path);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (number == 1 || line.empty()) continue;  // the header
        const std::vector<std::string> f = splitTabs(line);
        char* end = nullptr;
        const long nargs = f.size() == 13 ? std::strtol(f[2].c_str(), &end, 10) : 0;
        if (f.size() != 13 || f[2].empty() || *end != '\0' || nargs < 1 || nargs > 4) {
            if (problems != nullptr) problems->push_back("malformed line " + std::to_string(number));
            continue;
        }
        cases.push_back({number, f[0], f[1], static_cast<int>(nargs), {f[3], f[4], f[5], f[6]}, f[7], f[8], f[9],
                         f[10], f[11], f[12]});
    }
    return cases;
}
#endif

// A case's arguments as Excel hands them to the function, in its argument order: the text as
// it stands, each number as a double, each code or index as a 16-bit integer.
inline Arguments argumentsOf(const TableFunction& f, const ConformanceCase& c) {
    Arguments x{nullptr, 0.0, 0.0, 0, 0};
    int doubles = 0, integers = 0;
    for (int i = 0; i < f.arguments && i < 4; ++i) {
        const char* text = c.args[i].c_str();
        if (f.codes[i] == 'C') x.name = text;
        if (f.codes[i] == 'B') doubleArgument(x, doubles++) = std::strtod(text, nullptr);
        if (f.codes[i] == 'I') integerArgument(f, x, integers++) = static_cast<short>(std::strtol(text, nullptr, 10));
    }
    return x;
}

// The case's function called with its arguments; null for a function the table lacks.
inline const xl::XLOPER* callCase(const ConformanceCase& c) {
    const TableFunction* f = worksheetFunction(c.function);
    return f == nullptr ? nullptr : callTableFunction(*f, argumentsOf(*f, c));
}

// A case as the formula a user types: its text argument quoted (a quote doubled), numbers and
// codes as written.
inline std::string formulaOf(const ConformanceCase& c) {
    const TableFunction* f = worksheetFunction(c.function);
    std::string formula = c.function + "(";
    for (int i = 0; i < c.nargs; ++i) {
        std::string argument = c.args[i];
        if (f != nullptr && i < f->arguments && f->codes[i] == 'C') {
            std::string quoted = "\"";
            for (char ch : argument) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
            argument = quoted + "\"";
        }
        formula += (i ? ", " : "") + argument;
    }
    return formula + ")";
}

}  // namespace kaltra::test
