// Conformance: every case of tests/data/cases.tsv, the expected answers of the 33 worksheet
// functions computed independently, run through the exported functions themselves.
//
// Columns: id, function, nargs, arg1..arg4, kind, expected, tol, atol, fragile, group.
// A number passes when abs(got - expected) <= max(tol * abs(expected), atol); empty
// tolerances mean an exact match. Texts are compared byte for byte with the hex column.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "fluids/fluids.h"
#include "shell/shell.h"
#include "thermo/thermo.h"

namespace {

using Args = std::array<std::string, 4>;

struct Case {
    int line;
    std::string id, function;
    int nargs;
    Args args;
    std::string kind, expected, tol, atol, fragile, group;
};

// Splits a line on every tab, keeping empty fields.
std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type tab = line.find('\t', start);
        if (tab == std::string::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

bool parseDouble(const std::string& text, double& x) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    x = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

bool parseLong(const std::string& text, long& n) {
    if (text.empty()) return false;
    char* end = nullptr;
    n = std::strtol(text.c_str(), &end, 10);
    return end == text.c_str() + text.size();
}

// Arguments as Excel hands them over: texts as they stand, doubles, 16-bit integers.
const char* text(const std::string& s) { return s.c_str(); }
double number(const std::string& s) { return std::strtod(s.c_str(), nullptr); }
short code(const std::string& s) { return static_cast<short>(std::strtol(s.c_str(), nullptr, 10)); }

using Adapter = xl::LPXLOPER (*)(const Args&);

struct Entry {
    const char* name;
    int nargs;
    Adapter call;
};

// Each worksheet function, called with its arguments in registration order.
const Entry kFunctions[] = {
    {"KaltUnits", 2, [](const Args& a) { return KaltUnits(code(a[0]), code(a[1])); }},
    {"KaltName", 1, [](const Args& a) { return KaltName(code(a[0])); }},
    {"KaltLongName", 1, [](const Args& a) { return KaltLongName(code(a[0])); }},
    {"KaltForm", 1, [](const Args& a) { return KaltForm(code(a[0])); }},
    {"KaltIndex", 1, [](const Args& a) { return KaltIndex(text(a[0])); }},
    {"KaltMW", 1, [](const Args& a) { return KaltMW(text(a[0])); }},
    {"KaltZc", 1, [](const Args& a) { return KaltZc(text(a[0])); }},
    {"KaltTmax", 2, [](const Args& a) { return KaltTmax(text(a[0]), code(a[1])); }},
    {"KaltPmax", 2, [](const Args& a) { return KaltPmax(text(a[0]), code(a[1])); }},
    {"KaltPsat", 3, [](const Args& a) { return KaltPsat(text(a[0]), number(a[1]), code(a[2])); }},
    {"KaltTsat", 3, [](const Args& a) { return KaltTsat(text(a[0]), number(a[1]), code(a[2])); }},
    {"KaltVf", 3, [](const Args& a) { return KaltVf(text(a[0]), number(a[1]), code(a[2])); }},
    {"KaltVg", 3, [](const Args& a) { return KaltVg(text(a[0]), number(a[1]), code(a[2])); }},
    {"KaltPofTV", 4, [](const Args& a) { return KaltPofTV(text(a[0]), number(a[1]), number(a[2]), code(a[3])); }},
    {"KaltVofTP", 4, [](const Args& a) { return KaltVofTP(text(a[0]), number(a[1]), number(a[2]), code(a[3])); }},
    {"KaltZofTV", 4, [](const Args& a) { return KaltZofTV(text(a[0]), number(a[1]), number(a[2]), code(a[3])); }},
    {"KaltZofTP", 4, [](const Args& a) { return KaltZofTP(text(a[0]), number(a[1]), number(a[2]), code(a[3])); }},
    {"KaltHf", 3, [](const Args& a) { return KaltHf(text(a[0]), number(a[1]), code(a[2])); }},
    {"KaltHg", 3, [](const Args& a) { return KaltHg(text(a[0]), number(a[1]), code(a[2])); }},
    {"KaltHofTV", 4, [](const Args& a) { return KaltHofTV(text(a[0]), number(a[1]), number(a[2]), code(a[3])); }},
    {"KaltHofTP", 4, [](const Args& a) { return KaltHofTP(text(a[0]), number(a[1]), number(a[2]), code(a[3])); }},
    {"KaltSf", 3, [](const Args& a) { return KaltSf(text(a[0]), number(a[1]), code(a[2])); }},
    {"KaltSg", 3, [](const Args& a) { return KaltSg(text(a[0]), number(a[1]), code(a[2])); }},
    {"KaltSofTV", 4, [](const Args& a) { return KaltSofTV(text(a[0]), number(a[1]), number(a[2]), code(a[3])); }},
    {"KaltSofTP", 4, [](const Args& a) { return KaltSofTP(text(a[0]), number(a[1]), number(a[2]), code(a[3])); }},
    {"KaltTofPH", 4, [](const Args& a) { return KaltTofPH(text(a[0]), number(a[1]), number(a[2]), code(a[3])); }},
    {"KaltTofPS", 4, [](const Args& a) { return KaltTofPS(text(a[0]), number(a[1]), number(a[2]), code(a[3])); }},
    {"KaltSt", 3, [](const Args& a) { return KaltSt(text(a[0]), number(a[1]), code(a[2])); }},
    {"KaltCpofTP", 4, [](const Args& a) { return KaltCpofTP(text(a[0]), number(a[1]), number(a[2]), code(a[3])); }},
    {"KaltCvofTP", 4, [](const Args& a) { return KaltCvofTP(text(a[0]), number(a[1]), number(a[2]), code(a[3])); }},
    {"KaltMUofTP", 4, [](const Args& a) { return KaltMUofTP(text(a[0]), number(a[1]), number(a[2]), code(a[3])); }},
    {"KaltNUofTP", 4, [](const Args& a) { return KaltNUofTP(text(a[0]), number(a[1]), number(a[2]), code(a[3])); }},
    {"KaltTKofTP", 4, [](const Args& a) { return KaltTKofTP(text(a[0]), number(a[1]), number(a[2]), code(a[3])); }},
};

const Entry* findFunction(const std::string& name) {
    for (const Entry& entry : kFunctions)
        if (name == entry.name) return &entry;
    return nullptr;
}

std::string hexOf(const char* bytes, int count) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (int i = 0; i < count; ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

std::string describe(const xl::XLOPER* r) {
    if (r == nullptr) return "null record";
    char buffer[64];
    switch (r->xltype) {
        case xl::xltypeNum:
            std::snprintf(buffer, sizeof buffer, "num %.17g", r->val.num);
            return buffer;
        case xl::xltypeInt:
            std::snprintf(buffer, sizeof buffer, "int %d", r->val.w);
            return buffer;
        case xl::xltypeErr:
            std::snprintf(buffer, sizeof buffer, "err %d", r->val.err);
            return buffer;
        case xl::xltypeStr:
            if (r->val.str == nullptr) return "str (null)";
            return "str " + hexOf(r->val.str + 1, static_cast<unsigned char>(r->val.str[0]));
        default:
            std::snprintf(buffer, sizeof buffer, "xltype %d", r->xltype);
            return buffer;
    }
}

// Empty when the answer matches the case, else why not.
std::string mismatch(const Case& c, const xl::XLOPER* r) {
    if (r == nullptr) return "no record returned";
    if (c.kind == "num") {
        double expected = 0.0, tol = 0.0, atol = 0.0;
        if (!parseDouble(c.expected, expected)) return "bad expected number in the file";
        if (r->xltype != xl::xltypeNum) return "kind differs";
        const bool exact = c.tol.empty() && c.atol.empty();
        if (!c.tol.empty() && !parseDouble(c.tol, tol)) return "bad tol in the file";
        if (!c.atol.empty() && !parseDouble(c.atol, atol)) return "bad atol in the file";
        const double got = r->val.num;
        if (exact) return got == expected ? "" : "not exact";
        return std::fabs(got - expected) <= std::max(tol * std::fabs(expected), atol) ? "" : "outside tolerance";
    }
    if (c.kind == "int") {
        long expected = 0;
        if (!parseLong(c.expected, expected)) return "bad expected integer in the file";
        if (r->xltype != xl::xltypeInt) return "kind differs";
        return r->val.w == expected ? "" : "integer differs";
    }
    if (c.kind == "err") {
        long expected = 0;
        if (!parseLong(c.expected, expected)) return "bad expected error code in the file";
        if (r->xltype != xl::xltypeErr) return "kind differs";
        return r->val.err == expected ? "" : "error code differs";
    }
    if (c.kind == "str") {
        if (r->xltype != xl::xltypeStr || r->val.str == nullptr) return "kind differs";
        const std::string got = hexOf(r->val.str + 1, static_cast<unsigned char>(r->val.str[0]));
        return got == c.expected ? "" : "text differs";
    }
    return "unknown kind in the file";
}

std::vector<Case> readCases(const std::string& path, std::vector<std::string>& problems) {
    std::vector<Case> cases;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problems.push_back("cannot open " + path);
        return cases;
    }
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lineNumber == 1 || line.empty()) continue;  // header
        const std::vector<std::string> f = splitTabs(line);
        long nargs = 0;
        if (f.size() != 13 || !parseLong(f[2], nargs) || nargs < 1 || nargs > 4) {
            problems.push_back("malformed line " + std::to_string(lineNumber));
            continue;
        }
        cases.push_back(Case{lineNumber, f[0], f[1], static_cast<int>(nargs), {f[3], f[4], f[5], f[6]},
                             f[7], f[8], f[9], f[10], f[11], f[12]});
    }
    return cases;
}

// Each case is checked as in a fresh process. The four coefficient caches of the MBWR form
// keep the last fluid and reduced temperature and answer any call within 2^-23 in Tr from
// that temperature's coefficients, so a case right after one at nearly the same state would
// see the earlier case's temperature. Filling every cache at a temperature far below any
// fluid's range makes the case's own first call recompute, exactly as an empty cache does.
void startWithCachesThatMiss() {
    constexpr double kTrBelowEveryRange = 0.01;
    const kaltra::RefrigerantRecord& record = *kaltra::findRefrigerant("R11");
    kaltra::mbwrPressure(record, kTrBelowEveryRange, 1.0);
    kaltra::mbwrPressureSlope(record, kTrBelowEveryRange, 1.0);
    kaltra::mbwrResidual(record, kTrBelowEveryRange, 1.0);
    kaltra::mbwrResidualDT(record, kTrBelowEveryRange, 1.0);
}

struct Tally {
    int pass = 0;
    int fail = 0;
    bool missing = false;
};

TEST(Conformance, EveryCaseOfEveryFunctionPasses) {
    std::vector<std::string> problems;
    const std::vector<Case> cases = readCases(std::string(KALTRA_TEST_DATA) + "/cases.tsv", problems);
    for (const std::string& p : problems) ADD_FAILURE() << p;
    ASSERT_FALSE(cases.empty()) << "no conformance cases read";

    std::map<std::string, Tally> tally;
    std::vector<std::string> failures;
    for (const Case& c : cases) {
        Tally& t = tally[c.function];
        const Entry* entry = findFunction(c.function);
        std::string why;
        std::string got = "-";
        if (entry == nullptr) {
            t.missing = true;
            why = "function not implemented";
        } else if (entry->nargs != c.nargs) {
            why = "argument count differs from the function's";
        } else {
            startWithCachesThatMiss();
            const xl::XLOPER* r = entry->call(c.args);
            got = describe(r);
            why = mismatch(c, r);
        }
        if (why.empty()) {
            ++t.pass;
            continue;
        }
        ++t.fail;
        std::string args;
        for (int i = 0; i < c.nargs; ++i) args += (i ? ", \"" : "\"") + c.args[i] + "\"";
        failures.push_back("case " + c.id + " " + c.function + "(" + args + "): expected " + c.kind + " " +
                           c.expected + " (tol " + c.tol + ", atol " + c.atol + (c.fragile == "1" ? ", fragile" : "") +
                           ", " + c.group + "), got " + got + ": " + why);
    }

    // The table in registration order, then anything the file names that is not registered.
    std::printf("\n%-14s %6s %6s\n", "function", "pass", "fail");
    int passTotal = 0, failTotal = 0;
    auto row = [&](const std::string& name) {
        const auto it = tally.find(name);
        if (it == tally.end()) {
            std::printf("%-14s %6s %6s  no cases\n", name.c_str(), "-", "-");
            return;
        }
        const Tally& t = it->second;
        std::printf("%-14s %6d %6d%s\n", name.c_str(), t.pass, t.fail, t.missing ? "  not implemented" : "");
        passTotal += t.pass;
        failTotal += t.fail;
    };
    std::vector<std::string> listed;
    for (const kaltra::RegistrationEntry* e = kaltra::RegistrationTable; e->typeCode != 0 || e[1].typeCode != 0; ++e)
        if (e->typeCode == 'R') listed.push_back(e->entryName);
    for (const std::string& name : listed) row(name);
    for (const auto& [name, t] : tally)
        if (std::find(listed.begin(), listed.end(), name) == listed.end()) row(name);
    std::printf("%-14s %6d %6d\n\n", "total", passTotal, failTotal);

    EXPECT_EQ(listed.size(), static_cast<std::size_t>(kaltra::kFunctionCount));
    for (const std::string& name : listed) EXPECT_TRUE(tally.count(name)) << name << " has no conformance case";

    constexpr std::size_t kMaxReported = 200;
    for (std::size_t i = 0; i < failures.size() && i < kMaxReported; ++i) ADD_FAILURE() << failures[i];
    if (failures.size() > kMaxReported)
        ADD_FAILURE() << (failures.size() - kMaxReported) << " more failing cases not listed";
    EXPECT_EQ(failTotal, 0) << "of " << cases.size() << " conformance cases";
}

}  // namespace
