// The same answers in any call order: the conformance cases run forward, backward and shuffled
// (a fixed seed) in one process, without clearing anything between them, and every case must
// meet its tolerance.
//
// One thing may carry over from a call to the next, and only this: the four coefficient caches
// of the MBWR form answer a call within 2^-23 in reduced temperature of the last one for the
// same record with the coefficients of that last temperature. A case that misses its tolerance
// in some order is accepted only when that rule accounts for it:
//   - the miss comes back, bit for bit, when the caches are emptied and the fewest cases just
//     before it that bring it back run, and then it;
//   - it goes away, bit for bit, when the caches are emptied again between those cases and it,
//     so the caches are all that carries over;
//   - the earliest of those cases, without which the miss does not come back, is on the same
//     record (of the MBWR form): the only way its coefficients can be reused at all.
// Such cases are counted and listed; any other disagreement fails the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "fluids/fluids.h"
#include "shell/shell.h"
#include "tests/worksheet_calls.h"
#include "thermo/thermo.h"

namespace {

using namespace kaltra;

using Case = test::ConformanceCase;
using test::callCase;

double number(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

// ---- Answers ------------------------------------------------------------------------------

// An answer as its kind and exact payload, kept after the shared record is overwritten.
struct Answer {
    int kind = -1;
    std::uint64_t bits = 0;  // number
    int integer = 0;         // integer or error code
    std::string text;        // counted text
    bool operator==(const Answer&) const = default;
};

Answer answerOf(const xl::XLOPER* r) {
    Answer a;
    if (r == nullptr) return a;
    a.kind = r->xltype;
    switch (r->xltype) {
        case xl::xltypeNum: std::memcpy(&a.bits, &r->val.num, sizeof a.bits); break;
        case xl::xltypeInt: a.integer = r->val.w; break;
        case xl::xltypeErr: a.integer = r->val.err; break;
        case xl::xltypeStr: a.text.assign(r->val.str + 1, static_cast<unsigned char>(r->val.str[0])); break;
        default: break;
    }
    return a;
}

double numberOf(const Answer& a) {
    double x;
    std::memcpy(&x, &a.bits, sizeof x);
    return x;
}

std::string hexOf(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

std::string describe(const Answer& a) {
    char buffer[64];
    switch (a.kind) {
        case xl::xltypeNum: std::snprintf(buffer, sizeof buffer, "%.17g", numberOf(a)); return buffer;
        case xl::xltypeInt: return "int " + std::to_string(a.integer);
        case xl::xltypeErr: return "err " + std::to_string(a.integer);
        case xl::xltypeStr: return "str " + hexOf(a.text);
        default: return "kind " + std::to_string(a.kind);
    }
}

// Whether an answer meets its case: abs(got - expected) <= max(tol |expected|, atol), exact
// when neither is given; integers, error codes and texts exactly.
bool meets(const Case& c, const Answer& a) {
    if (c.kind == "num") {
        if (a.kind != xl::xltypeNum) return false;
        const double expected = number(c.expected), got = numberOf(a);
        if (c.tol.empty() && c.atol.empty()) return got == expected;
        const double tol = c.tol.empty() ? 0.0 : number(c.tol), atol = c.atol.empty() ? 0.0 : number(c.atol);
        return std::fabs(got - expected) <= std::max(tol * std::fabs(expected), atol);
    }
    if (c.kind == "int") return a.kind == xl::xltypeInt && a.integer == std::atoi(c.expected.c_str());
    if (c.kind == "err") return a.kind == xl::xltypeErr && a.integer == std::atoi(c.expected.c_str());
    if (c.kind == "str") return a.kind == xl::xltypeStr && hexOf(a.text) == c.expected;
    return false;
}

// ---- The caches ---------------------------------------------------------------------------

// The reduced temperature of a case's temperature argument as the function bounds it, for the
// report; NaN for a function without one (its engine temperatures are its own).
double reducedTemperatureOf(const Case& c) {
    const test::WorksheetFunction* f = test::worksheetFunction(c.function);
    const std::string& n = c.function;
    const bool saturation = f != nullptr && f->doubles == 1 && n != "KaltTsat" && n != "KaltSt";
    const bool state = f != nullptr && f->doubles == 2 && n != "KaltTofPH" && n != "KaltTofPS";
    const RefrigerantRecord* r = findRefrigerant(c.args[0].c_str());
    if ((!saturation && !state) || r == nullptr) return NAN;
    const double* k = constantsOf(*r);
    double t = temperatureIn(static_cast<short>(std::atoi(c.args[c.nargs - 1].c_str())), number(c.args[1]));
    const double hi = saturation ? k[slot::critTemp] : r->maxTemp;
    if (t > hi) t = hi;
    if (k[slot::minTemp] > t) t = k[slot::minTemp];
    return reducedTemperature(k, t);
}

// The record a case's fluid text selects (null for the functions of an index or for no match).
const RefrigerantRecord* recordOf(const Case& c) {
    const test::WorksheetFunction* f = test::worksheetFunction(c.function);
    if (f == nullptr || f->codes[0] != 'C') return nullptr;
    return findRefrigerant(c.args[0].c_str());
}

struct Explanation {
    bool explained = false;
    std::size_t replayed = 0;  // how many cases before the miss bring it back
};

// Whether the miss of cases[order[at]] comes back when the caches are emptied and the k cases
// before it run again, then it.
bool missComesBack(const std::vector<Case>& cases, const std::vector<int>& order, std::size_t at, std::size_t k,
                   const Answer& missed) {
    resetCoefficientCaches();
    for (std::size_t j = at - k; j < at; ++j) callCase(cases[order[j]]);
    return answerOf(callCase(cases[order[at]])) == missed;
}

// Whether the cache rule accounts for the miss of cases[order[at]] (see the file comment).
// Each of the four caches holds what its own last call left, which may lie many cases back (a
// case that evaluates only the pressure leaves the residual caches as an earlier case set
// them); once the replayed cases reach back past every cache's last call the miss comes back,
// and stays back for longer replays, so the fewest are found by doubling, then halving.
Explanation cacheRuleExplains(const std::vector<Case>& cases, const std::vector<int>& order, std::size_t at,
                              const Answer& missed) {
    const Case& c = cases[order[at]];
    Explanation e;
    std::size_t hi = 1;
    while (hi < at && !missComesBack(cases, order, at, hi, missed)) hi *= 2;
    if (hi >= at) {
        hi = at;
        if (at == 0 || !missComesBack(cases, order, at, hi, missed)) return e;
    }
    std::size_t lo = hi / 2 + 1;  // hi reproduces; every count below lo has been tried or is hi/2
    if (hi == 1) lo = 1;
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (missComesBack(cases, order, at, mid, missed)) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    e.replayed = hi;
    // The caches alone carry the miss: emptied between the replayed cases and the case, the
    // case answers as it does alone.
    resetCoefficientCaches();
    const Answer alone = answerOf(callCase(c));
    resetCoefficientCaches();
    for (std::size_t j = at - hi; j < at; ++j) callCase(cases[order[j]]);
    resetCoefficientCaches();
    if (!(answerOf(callCase(c)) == alone)) return e;
    // The earliest replayed case, without which the miss does not come back, left a cache the
    // case then used: it must be on the same record of the MBWR form.
    const RefrigerantRecord* earliest = recordOf(cases[order[at - hi]]);
    e.explained = earliest != nullptr && earliest == recordOf(c) && !isCubicForm(*earliest);
    return e;
}

// ---- Orders -------------------------------------------------------------------------------

std::vector<int> forwardOrder(std::size_t n) {
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    return order;
}

// Fisher-Yates with the fully specified 32-bit Mersenne twister: the same order everywhere.
std::vector<int> shuffledOrder(std::size_t n, std::uint32_t seed) {
    std::vector<int> order = forwardOrder(n);
    std::mt19937 random(seed);
    for (std::size_t i = n; i > 1; --i) std::swap(order[i - 1], order[random() % i]);
    return order;
}

struct OrderResult {
    int passed = 0;
    int failedAlone = 0;
    std::vector<std::string> byCacheRule;
    std::vector<std::string> unexplained;
};

OrderResult runInOrder(const std::vector<Case>& cases, const std::vector<int>& order) {
    OrderResult result;
    std::vector<Answer> answers(order.size());
    resetCoefficientCaches();
    for (std::size_t i = 0; i < order.size(); ++i) answers[i] = answerOf(callCase(cases[order[i]]));
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Case& c = cases[order[i]];
        if (meets(c, answers[i])) {
            ++result.passed;
            continue;
        }
        resetCoefficientCaches();
        if (!meets(c, answerOf(callCase(c)))) {
            ++result.failedAlone;
            continue;
        }
        const Explanation e = cacheRuleExplains(cases, order, i, answers[i]);
        std::string line = "case " + c.id + " " + c.function + "(" + c.args[0];
        for (int a = 1; a < c.nargs; ++a) line += ", " + c.args[a];
        line += ") = " + describe(answers[i]) + ", expected " + c.expected;
        if (e.explained) {
            const Case& earliest = cases[order[i - e.replayed]];
            line += "; the caches as case " + earliest.id + " " + earliest.function + "(" + earliest.args[0] + ", " +
                    earliest.args[1] + ", ...) left them, " + std::to_string(e.replayed) + " cases before";
            const double dtr = std::fabs(reducedTemperatureOf(c) - reducedTemperatureOf(earliest));
            if (!std::isnan(dtr)) {
                char buffer[64];
                std::snprintf(buffer, sizeof buffer, "; their temperatures %.3g apart in Tr", dtr);
                line += buffer;
            }
            result.byCacheRule.push_back(line);
        } else {
            result.unexplained.push_back(line);
        }
    }
    return result;
}

TEST(CallOrder, ConformanceCasesAgreeForwardBackwardAndShuffled) {
    const std::vector<Case> cases = test::readConformanceCases();
    ASSERT_GT(cases.size(), 1000u) << "conformance cases not read";
    const std::vector<int> forward = forwardOrder(cases.size());
    struct Named {
        const char* name;
        std::vector<int> order;
    };
    const Named orders[] = {
        {"forward", forward},
        {"backward", std::vector<int>(forward.rbegin(), forward.rend())},
        {"shuffled (seed 20240611)", shuffledOrder(cases.size(), 20240611u)},
    };
    for (const Named& o : orders) {
        const OrderResult r = runInOrder(cases, o.order);
        std::printf("%-26s %5zu cases: %5d pass, %3zu under the cache rule, %3zu other disagreements, "
                    "%3d fail alone too\n",
                    o.name, cases.size(), r.passed, r.byCacheRule.size(), r.unexplained.size(), r.failedAlone);
        for (const std::string& line : r.byCacheRule) std::printf("    cache rule: %s\n", line.c_str());
        for (const std::string& line : r.unexplained) ADD_FAILURE() << o.name << ": " << line;
    }
}

}  // namespace
