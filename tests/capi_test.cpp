// The C interface (capi/kaltra.h, libkaltra.so): its answers are the worksheet functions'
// answers bit for bit, over the conformance cases and over a sweep of every function, every
// fluid and every unit code; arrays broadcast as NumPy does; the function table is the add-in's
// registration table; bad calls are refused without a crash. kaltra-c, the interface's C
// program, answers the conformance formulas exactly as the kaltra host does.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "capi/kaltra.h"
#include "fluids/fluids.h"
#include "shell/shell.h"
#include "tests/capi_calls.h"
#include "tests/process.h"
#include "tests/worksheet_calls.h"

namespace {

using kaltra::test::Answer;
using kaltra::test::CallValues;
using kaltra::test::ScalarEntry;
using kaltra::TableFunction;
using Rows = std::span<const TableFunction>;

// Both copies of the core start from the same cache state: one call, the same on both.
void alignCaches() {
    KaltPsat("R11", -1000.0, 0);
    kaltra_KaltPsat("R11", -1000.0, 0);
}

std::vector<ScalarEntry> scalarEntries(Rows rows) {
    std::vector<ScalarEntry> entries;
    for (const TableFunction& r : rows) {
        ScalarEntry e{r.name, r.codes, nullptr};
        e.address = dlsym(kaltra::test::capiLibrary(), ("kaltra_" + e.name).c_str());
        entries.push_back(e);
    }
    return entries;
}

// ---- The sweep: every function x every fluid x every unit code x states --------------------

// Values of each quantity a function takes, in internal units, placed by the fluid's own
// constants: below, inside and above its ranges.
std::vector<double> sweepValues(const kaltra::RefrigerantRecord& record, const std::string& quantity) {
    const double* k = kaltra::constantsOf(record);
    const double tmin = k[kaltra::slot::minTemp], tc = k[kaltra::slot::critTemp], tmax = record.maxTemp;
    const double pc = k[kaltra::slot::critPressure], vc = k[kaltra::slot::critVolume];
    if (quantity == "temperature") return {tmin - 10.0, tmin + 0.3 * (tc - tmin), tmin + 0.8 * (tc - tmin), tc + 0.5 * (tmax - tc)};
    if (quantity == "pressure") return {0.05 * pc, 0.5 * pc, 2.0 * pc};
    if (quantity == "spec. vol.") return {0.2 * vc, 1.5 * vc, 40.0 * vc};
    if (quantity == "enthalpy") return {-20.0, 60.0, 150.0};
    if (quantity == "entropy") return {-0.05, 0.15, 0.45};
    return {};
}

// The same value in the caller's unit system.
double shownIn(int units, const std::string& quantity, double x) {
    if (quantity == "temperature") return kaltra::temperatureOut(units, x);
    if (quantity == "pressure") return kaltra::pressureOut(units, x);
    if (quantity == "spec. vol.") return kaltra::volumeOut(units, x);
    if (quantity == "enthalpy") return kaltra::enthalpyOut(units, x);
    if (quantity == "entropy") return kaltra::entropyOut(units, x);
    return x;
}

struct SweepCall {
    const TableFunction* function;
    std::string fluid;
    CallValues values;
    std::string what;
};

// Every call of the sweep, built before any is made.
std::vector<SweepCall> sweepCalls(Rows rows) {
    const int unitCodes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, -1};
    std::vector<SweepCall> calls;
    const int fluids = kaltra_fluid_count();
    for (const TableFunction& r : rows) {
        const std::string codes = r.codes;
        if (codes.find('C') == std::string::npos) {
            // The label and index functions: every unit code and label row, every index.
            for (int a = -1; a <= 11; ++a)
                for (int b = -1; b <= (codes == "II" ? 11 : -1); ++b) {
                    SweepCall c{&r, "", {}, ""};
                    c.values.integers = codes == "II" ? std::vector<int>{a, b} : std::vector<int>{a};
                    c.what = std::to_string(a) + ", " + std::to_string(b);
                    calls.push_back(c);
                }
            for (int index = 0; index <= fluids + 1 && codes == "I"; ++index) {
                SweepCall c{&r, "", {}, std::to_string(index)};
                c.values.integers = {index};
                calls.push_back(c);
            }
            continue;
        }
        for (int index = 1; index <= fluids; ++index) {
            const kaltra::RefrigerantRecord& record = *kaltra::recordAt(index);
            std::vector<std::vector<double>> grids;
            std::vector<std::string> quantities;
            for (std::size_t a = 0; a < codes.size(); ++a)
                if (codes[a] == 'B') {
                    quantities.push_back(r.row[1 + a].entryName);
                    grids.push_back(sweepValues(record, r.row[1 + a].entryName));
                }
            const std::size_t first = grids.empty() ? 1 : grids[0].size();
            const std::size_t second = grids.size() < 2 ? 1 : grids[1].size();
            for (int units : unitCodes)
                for (std::size_t i = 0; i < first; ++i)
                    for (std::size_t j = 0; j < second; ++j) {
                        SweepCall c{&r, record.name, {}, ""};
                        c.what = std::string(record.name) + ", units " + std::to_string(units);
                        for (std::size_t q = 0; q < grids.size(); ++q) {
                            const double x = shownIn(units, quantities[q], grids[q][q == 0 ? i : j]);
                            c.values.numbers.push_back(x);
                            c.what += ", " + quantities[q] + " " + std::to_string(x);
                        }
                        if (codes.find('I') != std::string::npos) c.values.integers = {units};
                        calls.push_back(c);
                    }
        }
    }
    for (SweepCall& c : calls) c.values.fluid = c.fluid.empty() ? nullptr : c.fluid.c_str();
    return calls;
}

TEST(CapiSweep, EveryScalarEntryPointAnswersTheWorksheetFunctionsBits) {
    const Rows rows = kaltra::test::worksheetFunctions();
    ASSERT_NE(kaltra::test::capiLibrary(), nullptr) << dlerror();
    const std::vector<ScalarEntry> entries = scalarEntries(rows);
    std::vector<SweepCall> calls = sweepCalls(rows);
    ASSERT_GT(calls.size(), 50000u);
    alignCaches();
    std::size_t compared = 0;
    for (const SweepCall& c : calls) {
        const ScalarEntry& e = entries[c.function - rows.data()];
        ASSERT_NE(e.address, nullptr) << "libkaltra.so does not export kaltra_" << e.name;
        const Answer expected = kaltra::test::worksheetAnswer(*c.function, c.values);
        const Answer got = kaltra::test::scalarAnswer(e, c.values);
        ASSERT_EQ(got, expected) << e.name << "(" << c.what << "): kaltra_" << e.name << " "
                                 << kaltra::test::describe(got) << ", worksheet " << kaltra::test::describe(expected);
        ++compared;
    }
    std::printf("%zu calls of %zu functions over %d fluids: every answer bit-identical\n", compared, rows.size(),
                kaltra_fluid_count());
}

TEST(CapiSweep, TheArrayEntryPointAnswersTheWorksheetFunctionsBits) {
    const Rows rows = kaltra::test::worksheetFunctions();
    std::vector<SweepCall> calls = sweepCalls(rows);
    alignCaches();
    for (const SweepCall& c : calls) {
        const int function = static_cast<int>(c.function - rows.data());
        const Answer expected = kaltra::test::worksheetAnswer(*c.function, c.values);
        int status = -100;
        const Answer got = kaltra::test::evaluatedAnswer(function, c.function->codes, c.values, &status);
        ASSERT_EQ(got, kaltra::test::asEvaluated(expected))
            << c.function->name << "(" << c.what << "): kaltra_evaluate " << kaltra::test::describe(got)
            << ", worksheet " << kaltra::test::describe(expected);
        const bool number = expected.kind == 'N' || expected.kind == 'I';
        ASSERT_EQ(status, number ? KALTRA_OK : KALTRA_NOT_A_NUMBER) << c.function->name << "(" << c.what << ")";
    }
}

// ---- Conformance cases --------------------------------------------------------------------

TEST(CapiConformance, EveryCaseAnswersTheWorksheetFunctionsBits) {
    const std::vector<ScalarEntry> entries = scalarEntries(kaltra::test::worksheetFunctions());
    const std::vector<kaltra::test::ConformanceCase> cases = kaltra::test::readConformanceCases();
    ASSERT_GT(cases.size(), 1000u) << "conformance cases not read";
    alignCaches();
    for (const kaltra::test::ConformanceCase& c : cases) {
        const int function = kaltra_function_find(c.function.c_str());
        ASSERT_GE(function, 0) << c.function;
        const TableFunction& r = kaltra::test::worksheetFunctions()[function];
        CallValues x;
        int next = 0;
        for (const char* code = r.codes; *code != '\0'; ++code) {
            const std::string& argument = c.args[next++];
            if (*code == 'C') x.fluid = argument.c_str();
            if (*code == 'B') x.numbers.push_back(std::strtod(argument.c_str(), nullptr));
            if (*code == 'I') x.integers.push_back(static_cast<short>(std::strtol(argument.c_str(), nullptr, 10)));
        }
        const Answer expected = kaltra::test::worksheetAnswer(r, x);
        const Answer got = kaltra::test::scalarAnswer(entries[function], x);
        EXPECT_EQ(got, expected) << "case " << c.id << " " << c.function << ": kaltra_" << c.function << " "
                                 << kaltra::test::describe(got) << ", worksheet " << kaltra::test::describe(expected);
    }
}

// kaltra-c (C, the header alone) and the kaltra host (the add-in loaded as Excel loads it)
// answer the conformance formulas, in the same order, with the same printed digits.
TEST(CapiConformance, KaltraCPrintsWhatTheKaltraHostPrints) {
    std::string formulas;
    for (const kaltra::test::ConformanceCase& c : kaltra::test::readConformanceCases())
        formulas += kaltra::test::formulaOf(c) + "\n";
    kaltra::test::Scratch scratch;
    const kaltra::test::Outcome host = scratch.kaltra({}, formulas);
    const kaltra::test::Outcome c = scratch.run(kaltra::test::shellQuoted(KALTRA_C_PATH), formulas);
    ASSERT_EQ(host.status, 0) << host.err;
    ASSERT_EQ(c.status, 0) << c.err;
    const std::vector<std::string> expected = kaltra::test::linesOf(host.out), got = kaltra::test::linesOf(c.out);
    const std::vector<std::string> asked = kaltra::test::linesOf(formulas);
    ASSERT_EQ(got.size(), asked.size());
    ASSERT_EQ(expected.size(), asked.size());
    for (std::size_t i = 0; i < asked.size(); ++i) EXPECT_EQ(got[i], expected[i]) << asked[i];
}

// ---- Arrays: broadcasting -----------------------------------------------------------------

// An array call of KaltHofTP over temperatures and pressures of the given shapes and
// strides, against the worksheet function called element by element in row-major order.
struct Broadcast {
    const char* description;
    std::vector<ptrdiff_t> shape;
    std::vector<ptrdiff_t> temperatureStrides;  // empty: one value for all
    std::vector<ptrdiff_t> pressureStrides;
    std::vector<ptrdiff_t> unitStrides;
};

TEST(CapiArrays, InputsBroadcastByTheirStrides) {
    const int function = kaltra_function_find("KaltHofTP");
    ASSERT_GE(function, 0);
    const Broadcast cases[] = {
        {"one value (no dimensions)", {}, {}, {}, {}},
        {"1000 temperatures, one pressure", {1000}, {1}, {0}, {0}},
        {"every other temperature (stride 2)", {50}, {2}, {0}, {0}},
        {"temperatures (3,1) against pressures (1,4)", {3, 4}, {1, 0}, {0, 1}, {0, 0}},
        {"a (2,3,4) block of temperatures, pressures along the last axis", {2, 3, 4}, {12, 4, 1}, {0, 0, 1}, {0, 0, 0}},
        {"temperatures read backwards", {10}, {-1}, {0}, {0}},
        {"unit codes as an array", {8}, {0}, {0}, {1}},
        {"no strides at all: one value repeated", {5}, {}, {}, {}},
        {"an empty axis", {3, 0}, {1, 0}, {0, 1}, {0, 0}},
    };
    std::vector<double> temperatures(1000), pressures(1000);
    std::vector<int> units(1000);
    for (int i = 0; i < 1000; ++i) {
        temperatures[i] = -40.0 + 0.137 * i;
        pressures[i] = 0.5 + 0.71 * i;
        units[i] = i % 8;
    }
    for (const Broadcast& b : cases) {
        const int dimensions = static_cast<int>(b.shape.size());
        ptrdiff_t elements = 1;
        for (ptrdiff_t extent : b.shape) elements *= extent;
        // A negative stride starts from the end.
        const double* t0 = b.temperatureStrides.size() == 1 && b.temperatureStrides[0] < 0 ? &temperatures[9] : temperatures.data();
        const void* arguments[] = {t0, pressures.data(), units.data()};
        const ptrdiff_t* strides[] = {b.temperatureStrides.empty() ? nullptr : b.temperatureStrides.data(),
                                      b.pressureStrides.empty() ? nullptr : b.pressureStrides.data(),
                                      b.unitStrides.empty() ? nullptr : b.unitStrides.data()};
        std::vector<double> answers(elements + 1, 12345.0);
        alignCaches();
        ASSERT_EQ(kaltra_evaluate(function, "R134a", dimensions, b.shape.data(), arguments, strides, answers.data()),
                  KALTRA_OK)
            << b.description;
        EXPECT_EQ(answers[elements], 12345.0) << b.description << ": wrote past the last element";
        // The worksheet function element by element, the index stepping in row-major order.
        std::vector<ptrdiff_t> index(dimensions, 0);
        for (ptrdiff_t i = 0; i < elements; ++i) {
            auto offset = [&](const std::vector<ptrdiff_t>& s) {
                ptrdiff_t o = 0;
                for (int d = 0; d < dimensions && !s.empty(); ++d) o += index[d] * s[d];
                return o;
            };
            const double t = t0[offset(b.temperatureStrides)], p = pressures[offset(b.pressureStrides)];
            const short u = static_cast<short>(units[offset(b.unitStrides)]);
            const double expected = KaltHofTP("R134a", t, p, u)->val.num;
            EXPECT_EQ(kaltra::test::bitsOf(answers[i]), kaltra::test::bitsOf(expected))
                << b.description << ", element " << i << " (T " << t << ", P " << p << ", units " << u << "): array "
                << answers[i] << ", worksheet " << expected;
            for (int d = dimensions - 1; d >= 0; --d) {
                if (++index[d] < b.shape[d]) break;
                index[d] = 0;
            }
        }
    }
}

TEST(CapiArrays, TextAnswersAreNaNAndSaySo) {
    const int function = kaltra_function_find("KaltName");
    const int indexes[] = {1, 0, 2};
    const void* arguments[] = {indexes};
    const ptrdiff_t shape[] = {3}, stride[] = {1};
    const ptrdiff_t* strides[] = {stride};
    double answers[3];
    EXPECT_EQ(kaltra_evaluate(function, nullptr, 1, shape, arguments, strides, answers), KALTRA_NOT_A_NUMBER);
    for (double a : answers) EXPECT_TRUE(std::isnan(a));
    // KaltIndex answers an integer, stored as a double.
    const ptrdiff_t one[] = {1};
    EXPECT_EQ(kaltra_evaluate(kaltra_function_find("KaltIndex"), "CHClF2", 1, one, nullptr, nullptr, answers), KALTRA_OK);
    EXPECT_EQ(answers[0], 7.0);
}

// ---- Bad calls ----------------------------------------------------------------------------

TEST(CapiErrors, BadArrayCallsAreRefusedBeforeAnyEvaluation) {
    const int psat = kaltra_function_find("KaltPsat");
    const double t[] = {25.0};
    const int u[] = {1};
    const void* arguments[] = {t, u};
    const void* missing[] = {t, nullptr};
    const ptrdiff_t shape[] = {1}, negative[] = {-1}, huge[] = {PTRDIFF_MAX, PTRDIFF_MAX};
    double answer = 42.0;
    struct Case {
        const char* description;
        int status;
        int expected;
    };
    const Case cases[] = {
        {"function -1", kaltra_evaluate(-1, "R134a", 1, shape, arguments, nullptr, &answer), KALTRA_BAD_FUNCTION},
        {"function past the table", kaltra_evaluate(kaltra_function_count(), "R134a", 1, shape, arguments, nullptr, &answer),
         KALTRA_BAD_FUNCTION},
        {"negative dimensions", kaltra_evaluate(psat, "R134a", -1, shape, arguments, nullptr, &answer), KALTRA_BAD_SHAPE},
        {"too many dimensions",
         kaltra_evaluate(psat, "R134a", KALTRA_MAX_DIMENSIONS + 1, shape, arguments, nullptr, &answer), KALTRA_BAD_SHAPE},
        {"no shape", kaltra_evaluate(psat, "R134a", 1, nullptr, arguments, nullptr, &answer), KALTRA_BAD_SHAPE},
        {"a negative extent", kaltra_evaluate(psat, "R134a", 1, negative, arguments, nullptr, &answer), KALTRA_BAD_SHAPE},
        {"more elements than memory holds", kaltra_evaluate(psat, "R134a", 2, huge, arguments, nullptr, &answer),
         KALTRA_BAD_SHAPE},
        {"no arguments", kaltra_evaluate(psat, "R134a", 1, shape, nullptr, nullptr, &answer), KALTRA_MISSING_ARRAY},
        {"a null argument", kaltra_evaluate(psat, "R134a", 1, shape, missing, nullptr, &answer), KALTRA_MISSING_ARRAY},
        {"no answer array", kaltra_evaluate(psat, "R134a", 1, shape, arguments, nullptr, nullptr), KALTRA_MISSING_ARRAY},
    };
    for (const Case& c : cases) EXPECT_EQ(c.status, c.expected) << c.description;
    EXPECT_EQ(answer, 42.0) << "a refused call wrote an answer";
}

TEST(CapiErrors, UnknownFluidsAndNullTextsAnswerTheFailureMark) {
    const char* names[] = {"R9999", "", nullptr, "R134a and more"};
    for (const char* name : names) {
        const std::string shown = name ? name : "(null)";
        EXPECT_EQ(kaltra_KaltPsat(name, 25.0, 1), KALTRA_FAILURE_MARK) << shown;
        EXPECT_EQ(kaltra_KaltHofTP(name, 25.0, 10.0, 1), KALTRA_FAILURE_MARK) << shown;
        EXPECT_EQ(kaltra_KaltMW(name), KALTRA_FAILURE_MARK) << shown;
        EXPECT_EQ(kaltra_KaltTmax(name, 3), KALTRA_FAILURE_MARK) << shown;
        EXPECT_EQ(kaltra_KaltIndex(name), -1) << shown;
    }
    EXPECT_EQ(kaltra_KaltMUofTP("R31", 25.0, 1.0, 0), KALTRA_FAILURE_MARK) << "R31 has no transport data";
}

TEST(CapiErrors, TextBuffersAreFilledOnlyAsFarAsTheyReach) {
    char text[KALTRA_TEXT_SIZE];
    EXPECT_EQ(kaltra_KaltName(1, text, sizeof text), 0);
    EXPECT_STREQ(text, "R11");
    char small[3] = {'x', 'x', 'x'};
    EXPECT_EQ(kaltra_KaltLongName(1, small, sizeof small), 0);
    EXPECT_STREQ(small, "Tr") << "cut to two bytes and the zero";
    EXPECT_EQ(kaltra_KaltForm(1, nullptr, 0), 0) << "no buffer: nothing written";
    char untouched = 'x';
    EXPECT_EQ(kaltra_KaltName(1, &untouched, 0), 0);
    EXPECT_EQ(untouched, 'x') << "a buffer of size 0 is not written";
    EXPECT_EQ(kaltra_KaltUnits(1, 1, text, sizeof text), 0);
    EXPECT_STREQ(text, "\xBA" "C") << "the degree mark is the add-in's byte 0xBA";

    const struct {
        int (*function)(int, char*, size_t);
        int code;
    } indexFunctions[] = {{kaltra_KaltName, 2235}, {kaltra_KaltLongName, 2242}, {kaltra_KaltForm, 2249}};
    for (const auto& f : indexFunctions)
        for (int index : {0, -1, kaltra_fluid_count() + 1, 70000}) {
            std::strcpy(text, "stale");
            EXPECT_EQ(f.function(index, text, sizeof text), f.code) << "index " << index;
            EXPECT_STREQ(text, "") << "index " << index;
        }
}

// ---- The function table -------------------------------------------------------------------

// Read here row by row, apart from the reader the interface uses (shell/table_functions.h).
TEST(CapiTable, IsTheRegistrationTable) {
    int f = 0;
    for (const kaltra::RegistrationEntry* row = kaltra::RegistrationTable; row->typeCode == 'R'; ++f) {
        const char* name = row->entryName;
        EXPECT_STREQ(kaltra_function_name(f), name);
        EXPECT_STREQ(kaltra_function_help(f), row->helpText);
        EXPECT_EQ(kaltra_function_find(name), f);
        int a = 0;
        for (++row; row->typeCode != 0; ++row, ++a) {
            EXPECT_EQ(kaltra_argument_kind(f, a), row->typeCode) << name << " argument " << a;
            EXPECT_STREQ(kaltra_argument_name(f, a), row->entryName) << name << " argument " << a;
            EXPECT_STREQ(kaltra_argument_help(f, a), row->helpText) << name << " argument " << a;
        }
        EXPECT_EQ(kaltra_argument_count(f), a) << name;
        ++row;  // the empty row closing the function
    }
    EXPECT_EQ(kaltra_function_count(), f);
    EXPECT_EQ(kaltra_function_count(), kaltra::kFunctionCount);
    EXPECT_EQ(kaltra_function_find("kalthoftp"), kaltra_function_find("KaltHofTP")) << "letter case does not count";
    const char* unknown[] = {"KaltNothing", "", "KaltPsat ", nullptr};
    for (const char* name : unknown) EXPECT_EQ(kaltra_function_find(name), -1) << (name ? name : "(null)");
    for (int f : {-1, kaltra_function_count(), 1000}) {
        EXPECT_EQ(kaltra_function_name(f), nullptr) << f;
        EXPECT_EQ(kaltra_function_help(f), nullptr) << f;
        EXPECT_EQ(kaltra_argument_count(f), 0) << f;
        EXPECT_EQ(kaltra_argument_kind(f, 0), '\0') << f;
    }
    const int psat = kaltra_function_find("KaltPsat");
    for (int a : {-1, 3}) {
        EXPECT_EQ(kaltra_argument_kind(psat, a), '\0') << a;
        EXPECT_EQ(kaltra_argument_name(psat, a), nullptr) << a;
        EXPECT_EQ(kaltra_argument_help(psat, a), nullptr) << a;
    }
}

TEST(CapiTable, FluidCountIsTheCatalogues) {
    int catalogue = 0;
    while (kaltra::recordAt(catalogue + 1) != nullptr) ++catalogue;
    EXPECT_EQ(kaltra_fluid_count(), catalogue);
    char text[KALTRA_TEXT_SIZE];
    EXPECT_EQ(kaltra_KaltName(kaltra_fluid_count(), text, sizeof text), 0);
    EXPECT_STREQ(text, kaltra::recordAt(catalogue)->name);
}

}  // namespace
