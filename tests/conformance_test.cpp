// Conformance: every case of tests/data/cases.tsv, the expected answers of the 33 worksheet
// functions computed independently, run through the exported functions themselves.
//
// Columns: id, function, nargs, arg1..arg4, kind, expected, tol, atol, fragile, group.
// A number passes when abs(got - expected) <= max(tol * abs(expected), atol); empty
// tolerances mean an exact match. Texts are compared byte for byte with the hex column.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "fluids/fluids.h"
#include "shell/shell.h"
#include "tests/worksheet_calls.h"
#include "thermo/thermo.h"

namespace {

using Case = kaltra::test::ConformanceCase;

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

// Each case is checked as in a fresh process. The four coefficient caches of the MBWR form
// keep the last fluid and reduced temperature and answer any call within 2^-23 in Tr from
// that temperature's coefficients, so a case right after one at nearly the same state would
// see the earlier case's temperature; emptied, the caches make the case's own first call
// recompute, as at load.
struct Tally {
    int pass = 0;
    int fail = 0;
    bool missing = false;
};

TEST(Conformance, EveryCaseOfEveryFunctionPasses) {
    std::vector<std::string> problems;
    const std::vector<Case> cases = kaltra::test::readConformanceCases(&problems);
    for (const std::string& p : problems) ADD_FAILURE() << p;
    ASSERT_FALSE(cases.empty()) << "no conformance cases read";

    std::map<std::string, Tally> tally;
    std::vector<std::string> failures;
    for (const Case& c : cases) {
        Tally& t = tally[c.function];
        const kaltra::TableFunction* f = kaltra::test::worksheetFunction(c.function);
        std::string why;
        std::string got = "-";
        if (f == nullptr) {
            t.missing = true;
            why = "function not implemented";
        } else if (f->arguments != c.nargs) {
            why = "argument count differs from the function's";
        } else {
            kaltra::resetCoefficientCaches();
            const xl::XLOPER* r = kaltra::test::callCase(c);
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
    for (const kaltra::TableFunction& f : kaltra::test::worksheetFunctions()) listed.push_back(f.name);
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
