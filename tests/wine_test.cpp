// The Windows add-ins under Wine. The Windows build of the kaltra host (kaltra.exe with the
// stand-in Excel as XLCALL32.DLL) loads Kaltra64.xll and Kaltra32.xll through LoadLibrary
// and opens them; each must register the same 33 functions with the same texts as the
// Linux build and answer every conformance case as the Linux build does. The files must
// export the six entry points and the 33 functions under their plain names and import
// nothing but KERNEL32, msvcrt and Excel's two callbacks, by name. On 32-bit Windows the
// host checks that every worksheet function takes its own arguments off the stack, and
// catches a function built with the wrong convention. The C interface's kaltra.dll, driven by
// its C program kaltra-c.exe, answers the conformance cases as the add-in does under Wine and
// as libkaltra.so does on Linux, and exports nothing but the C interface.
//
// The Windows builds are cross builds that tools/windows.sh makes before it runs this test
// under one persistent wineserver. The test runs when KALTRA_WINDOWS_BUILD names the folder
// holding them (x64/ and x86/); without it every test here is skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "shell/shell.h"
#include "tests/process.h"
#include "tests/worksheet_calls.h"

namespace {

using kaltra::test::Outcome;
using kaltra::test::Scratch;
using kaltra::test::shellQuoted;
using kaltra::test::splitTabs;
using kaltra::test::linesOf;

// The Linux host on the Linux add-in.
Outcome runLinux(const Scratch& scratch, const std::string& arguments, const std::string& input = "") {
    return scratch.run("env -u KALTRA_ADDIN " + shellQuoted(KALTRA_HOST_PATH) + " --addin " +
                           shellQuoted(KALTRA_ADDIN_PATH) + " " + arguments,
                       input);
}

// ---- The Windows builds -----------------------------------------------------------------

struct WindowsBuild {
    const char* name;     // what a failure calls it
    const char* folder;   // below KALTRA_WINDOWS_BUILD
    const char* addin;    // the add-in built there
    const char* objdump;  // the binutils that read its files
};

// Test names and messages show a build by its name.
void PrintTo(const WindowsBuild& build, std::ostream* out) { *out << build.name; }

const WindowsBuild kBuilds[] = {
    {"64-bit", "x64", "Kaltra64.xll", "x86_64-w64-mingw32-objdump"},
    {"32-bit", "x86", "Kaltra32.xll", "i686-w64-mingw32-objdump"},
};

std::string windowsBuildFolder() {
    const char* folder = std::getenv("KALTRA_WINDOWS_BUILD");
    return folder && *folder ? folder : "";
}

std::string hostFolder(const WindowsBuild& build) { return windowsBuildFolder() + "/" + build.folder + "/host"; }

// Runs the Windows host of a build under Wine; it finds the add-in beside itself unless the
// arguments say otherwise.
Outcome runWindows(const Scratch& scratch, const WindowsBuild& build, const std::string& arguments,
                   const std::string& input = "") {
    return scratch.run("env -u KALTRA_ADDIN wine " + shellQuoted(hostFolder(build) + "/kaltra.exe") + " " + arguments,
                       input);
}

// ---- The function table -----------------------------------------------------------------

using kaltra::TableFunction;
using kaltra::test::worksheetFunctions;

const char* const kEntryPoints[] = {"xlAutoOpen", "xlAutoClose", "xlAutoRegister", "xlAutoAdd", "xlAutoRemove",
                                    "xlAddInManagerInfo"};

// ---- What objdump reads from a PE file -------------------------------------------------

struct PeFile {
    std::map<std::string, std::vector<std::string>> imports;  // DLL name in capitals -> names ("" by ordinal)
    std::map<std::string, int> exports;                      // name -> ordinal
};

std::string capitals(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

PeFile readPeFile(const Scratch& scratch, const std::string& objdump, const std::string& path) {
    PeFile pe;
    Outcome dump = scratch.run(objdump + " -p " + shellQuoted(path));
    std::vector<std::string> text = linesOf(dump.out);
    int ordinalBase = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string& line = text[i];
        std::size_t at = line.find("DLL Name: ");
        if (at != std::string::npos) {
            std::vector<std::string>& names = pe.imports[capitals(line.substr(at + 10))];
            // "vma:  Hint/Ord Member-Name Bound-To", then one import a line up to a blank line.
            for (i += 2; i < text.size() && !text[i].empty() && text[i][0] == '\t'; ++i) {
                std::istringstream fields(text[i]);
                std::string vma, hint, name;
                fields >> vma >> hint >> name;
                names.push_back(name == "<none>" ? "" : name);
            }
            continue;
        }
        if (line.rfind("Ordinal Base", 0) == 0) ordinalBase = std::atoi(line.substr(12).c_str());
        if (line.rfind("[Ordinal/Name Pointer] Table", 0) == 0) {
            // "[   n] name", n counted from the ordinal base.
            for (++i; i < text.size() && text[i].find('[') != std::string::npos; ++i) {
                std::size_t open = text[i].find('['), close = text[i].find(']');
                int index = std::atoi(text[i].substr(open + 1, close - open - 1).c_str());
                std::string name = text[i].substr(close + 2);
                pe.exports[name] = ordinalBase + index;
            }
        }
    }
    return pe;
}

// ---- Tests --------------------------------------------------------------------------------

class WineAddin : public ::testing::TestWithParam<WindowsBuild> {
protected:
    Scratch scratch;

    void SetUp() override {
        if (windowsBuildFolder().empty()) GTEST_SKIP() << "KALTRA_WINDOWS_BUILD is not set: tools/windows.sh runs these tests";
    }

    std::string addinPath() const { return hostFolder(GetParam()) + "/" + GetParam().addin; }
};

// The add-in exports the entry points and the functions under their plain names and imports
// only KERNEL32, msvcrt and Excel's two callbacks, by name; the stand-in callback library
// exports its names under their ordinals.
TEST_P(WineAddin, ExportsAndImportsAsExcelExpects) {
    const WindowsBuild& build = GetParam();
    PeFile pe = readPeFile(scratch, build.objdump, addinPath());
    std::set<std::string> expected(std::begin(kEntryPoints), std::end(kEntryPoints));
    for (const TableFunction& function : worksheetFunctions()) expected.insert(function.name);
    ASSERT_EQ(expected.size(), 6u + kaltra::kFunctionCount);
    std::set<std::string> exported, libraries;
    for (const auto& [name, ordinal] : pe.exports) exported.insert(name);
    EXPECT_EQ(exported, expected) << build.name << " " << build.addin << " exports other names";
    for (const auto& [library, names] : pe.imports) libraries.insert(library);
    EXPECT_EQ(libraries, (std::set<std::string>{"KERNEL32.DLL", "MSVCRT.DLL", "XLCALL32.DLL"})) << build.name;
    EXPECT_EQ(pe.imports["XLCALL32.DLL"], (std::vector<std::string>{"Excel4", "Excel4v"}))
        << build.name << ": Excel's callbacks must be imported by name (an empty name is an import by ordinal)";

    PeFile callbacks = readPeFile(scratch, build.objdump, hostFolder(build) + "/XLCALL32.dll");
    const std::pair<const char*, int> ordinals[] = {{"XLCallVer", 1}, {"Excel4", 2}, {"Excel4v", 3}, {"LPenHelper", 4}};
    for (const auto& [name, ordinal] : ordinals) {
        ASSERT_TRUE(callbacks.exports.count(name)) << build.name << " XLCALL32.DLL does not export " << name;
        EXPECT_EQ(callbacks.exports[name], ordinal) << build.name << " XLCALL32.DLL " << name;
    }
}

TEST_P(WineAddin, RegistersTheSameTextsAsTheLinuxBuild) {
    const WindowsBuild& build = GetParam();
    Outcome onLinux = runLinux(scratch, "registrations");
    Outcome onWindows = runWindows(scratch, build, "--addin " + shellQuoted(addinPath()) + " registrations");
    ASSERT_EQ(onLinux.status, 0) << onLinux.err;
    ASSERT_EQ(onWindows.status, 0) << build.name << ": " << onWindows.err;
    EXPECT_EQ(onWindows.err, "") << build.name;

    std::vector<std::string> expected = linesOf(onLinux.out), got = linesOf(onWindows.out);
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(kaltra::kFunctionCount));
    ASSERT_EQ(got.size(), expected.size()) << build.name << " registered another number of functions";
    std::string suffix = std::string("\\") + build.addin;
    for (std::size_t i = 0; i < got.size(); ++i) {
        std::vector<std::string> e = splitTabs(expected[i]), g = splitTabs(got[i]);
        ASSERT_FALSE(g.empty());
        // The first text is the add-in's own full file name, a Windows path here.
        EXPECT_TRUE(g[0].size() > suffix.size() && g[0].compare(g[0].size() - suffix.size(), suffix.size(), suffix) == 0)
            << build.name << " registration " << i + 1 << " names the file " << g[0];
        EXPECT_EQ(std::vector<std::string>(g.begin() + 1, g.end()), std::vector<std::string>(e.begin() + 1, e.end()))
            << build.name << " registration " << i + 1 << ": " << got[i] << "\nLinux: " << expected[i];
    }

    // The Insert Function view of the same registrations.
    Outcome linuxList = runLinux(scratch, "functions");
    Outcome windowsList = runWindows(scratch, build, "--addin " + shellQuoted(addinPath()) + " functions");
    EXPECT_EQ(windowsList.status, 0) << windowsList.err;
    EXPECT_EQ(windowsList.out, linuxList.out) << build.name;
}

TEST_P(WineAddin, HostFindsTheAddinBesideItself) {
    const WindowsBuild& build = GetParam();
    Outcome outcome = runWindows(scratch, build, "'KaltName(1)'");
    EXPECT_EQ(outcome.status, 0) << build.name << ": " << outcome.err;
    EXPECT_EQ(outcome.out, "R11\n") << build.name;
}

TEST_P(WineAddin, EveryWorksheetFunctionTakesItsOwnArgumentsOffTheStack) {
    // One call of each function; on 32-bit Windows the host measures the stack around every
    // call and ends with status 3 at the first function that leaves its arguments there.
    const WindowsBuild& build = GetParam();
    std::string formulas;
    std::vector<std::string> names;
    for (const TableFunction& function : worksheetFunctions()) {
        std::string formula = std::string(function.name) + "(";
        for (int i = 0; i < function.arguments; ++i) {
            char code = function.codes[i];
            formula += (i ? ", " : "") + std::string(code == 'C' ? "\"R134a\"" : code == 'B' ? "25.5" : "1");
        }
        formulas += formula + ")\n";
        names.push_back(function.name);
    }
    ASSERT_EQ(names.size(), static_cast<std::size_t>(kaltra::kFunctionCount));
    Outcome onLinux = runLinux(scratch, "", formulas);
    Outcome onWindows = runWindows(scratch, build, "--addin " + shellQuoted(addinPath()), formulas);
    EXPECT_EQ(onWindows.status, 0) << build.name << ": " << onWindows.err;
    EXPECT_EQ(onWindows.err.find("not __stdcall"), std::string::npos) << onWindows.err;
    std::vector<std::string> expected = linesOf(onLinux.out), got = linesOf(onWindows.out);
    ASSERT_EQ(got.size(), names.size()) << build.name << ": " << onWindows.err;
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(got[i], expected[i]) << build.name << " " << names[i];
    }
}

// ---- Conformance cases: the Windows answers against the Linux answers --------------------

using Case = kaltra::test::ConformanceCase;

// Distance of two doubles in units in the last place.
std::uint64_t ulpsApart(double a, double b) {
    auto ordered = [](double x) {
        std::int64_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        return bits < 0 ? std::numeric_limits<std::int64_t>::min() - bits : bits;
    };
    std::int64_t ia = ordered(a), ib = ordered(b);
    return ia > ib ? static_cast<std::uint64_t>(ia) - static_cast<std::uint64_t>(ib)
                   : static_cast<std::uint64_t>(ib) - static_cast<std::uint64_t>(ia);
}

// The conformance cases as formulas, one a line.
std::string conformanceFormulas(const std::vector<Case>& cases) {
    std::string formulas;
    for (const Case& c : cases) formulas += kaltra::test::formulaOf(c) + "\n";
    return formulas;
}

// Windows answers against Linux answers, case by case: bit for bit the same answers, printed
// with 17 significant digits. Where the last bits of a number differ, the C runtimes'
// elementary functions are the cause: MinGW-w64's and glibc's exp, log and pow round
// differently for about one argument in a thousand, and the 64-bit MinGW-w64 pow with a
// whole-number exponent (x^10 in the thermal conductivity) is a few units in the last place
// off. Such a number must still lie within the case's own tolerance of the Linux answer;
// texts, integers, error values and numbers of exact cases must match.
void expectLinuxAnswers(const std::string& what, const std::vector<Case>& cases, const std::vector<std::string>& got,
                        const std::vector<std::string>& expected) {
    ASSERT_EQ(expected.size(), cases.size());
    ASSERT_EQ(got.size(), cases.size()) << what;
    int identical = 0, differing = 0;
    std::uint64_t mostUlps = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        if (got[i] == expected[i]) {
            ++identical;
            continue;
        }
        ++differing;
        std::string shown = what + " case " + c.id + " " + kaltra::test::formulaOf(c) + ": Windows " + got[i] +
                            ", Linux " + expected[i];
        char* end = nullptr;
        double w = std::strtod(got[i].c_str(), &end);
        bool windowsNumber = !got[i].empty() && *end == 0;
        double l = std::strtod(expected[i].c_str(), &end);
        bool linuxNumber = !expected[i].empty() && *end == 0;
        if (c.kind != "num" || !windowsNumber || !linuxNumber || (c.tol.empty() && c.atol.empty())) {
            ADD_FAILURE() << shown;
            continue;
        }
        double tol = std::atof(c.tol.c_str()), atol = std::atof(c.atol.c_str());
        std::uint64_t ulps = ulpsApart(w, l);
        mostUlps = std::max(mostUlps, ulps);
        std::printf("  differs by %llu ulp: %s\n", static_cast<unsigned long long>(ulps), shown.c_str());
        EXPECT_LE(std::fabs(w - l), std::max(tol * std::fabs(l), atol)) << shown;
    }
    std::printf("%s: %zu conformance cases, %d bit-identical with Linux, %d differ (at most %llu ulp)\n", what.c_str(),
                cases.size(), identical, differing, static_cast<unsigned long long>(mostUlps));
}

TEST_P(WineAddin, AnswersEveryConformanceCaseAsTheLinuxBuildDoes) {
    // The same batch, in the same order, through both hosts.
    const WindowsBuild& build = GetParam();
    std::vector<Case> cases = kaltra::test::readConformanceCases();
    ASSERT_GT(cases.size(), 1000u) << "conformance cases not read";
    std::string formulas = conformanceFormulas(cases);
    Outcome onLinux = runLinux(scratch, "", formulas);
    Outcome onWindows = runWindows(scratch, build, "--addin " + shellQuoted(addinPath()), formulas);
    ASSERT_EQ(onLinux.status, 0) << onLinux.err;
    ASSERT_EQ(onWindows.status, 0) << build.name << ": " << onWindows.err;
    expectLinuxAnswers(build.name, cases, linesOf(onWindows.out), linesOf(onLinux.out));
}

TEST_P(WineAddin, ComputesTheCycleWorksheetAsTheLinuxBuildDoes) {
    const WindowsBuild& build = GetParam();
    std::string sheet = shellQuoted(std::string(KALTRA_TEST_DATA) + "/../../examples/cycle.csv");
    Outcome onLinux = runLinux(scratch, "sheet --csv " + sheet);
    Outcome onWindows = runWindows(scratch, build, "--addin " + shellQuoted(addinPath()) + " sheet --csv " + sheet);
    ASSERT_EQ(onLinux.status, 0) << onLinux.err;
    EXPECT_EQ(onWindows.status, 0) << build.name << ": " << onWindows.err;
    EXPECT_EQ(onWindows.out, onLinux.out) << build.name;
}

INSTANTIATE_TEST_SUITE_P(Windows, WineAddin, ::testing::ValuesIn(kBuilds),
                         [](const ::testing::TestParamInfo<WindowsBuild>& info) {
                             return std::string(info.param.folder);
                         });

// ---- The C interface: kaltra.dll ----------------------------------------------------------
// kaltra-c.exe, the C interface's own C program, loads kaltra.dll beside it.

class WineCapi : public WineAddin {
protected:
    std::string capiFolder() const { return windowsBuildFolder() + "/" + GetParam().folder + "/capi"; }

    Outcome runCapi(const std::string& input) const {
        return scratch.run("wine " + shellQuoted(capiFolder() + "/kaltra-c.exe"), input);
    }
};

// kaltra.dll exports the C interface alone and imports nothing but KERNEL32 and msvcrt.
TEST_P(WineCapi, ExportsTheCInterfaceAndImportsOnlyTheRuntime) {
    const WindowsBuild& build = GetParam();
    PeFile pe = readPeFile(scratch, build.objdump, capiFolder() + "/kaltra.dll");
    std::set<std::string> libraries;
    for (const auto& [library, names] : pe.imports) libraries.insert(library);
    EXPECT_EQ(libraries, (std::set<std::string>{"KERNEL32.DLL", "MSVCRT.DLL"})) << build.name;
    std::set<std::string> exported;
    for (const auto& [name, ordinal] : pe.exports) exported.insert(name);
    for (const TableFunction& function : worksheetFunctions())
        EXPECT_EQ(exported.count(std::string("kaltra_") + function.name), 1u) << build.name << " does not export kaltra_" << function.name;
    for (const std::string& name : exported) EXPECT_EQ(name.rfind("kaltra_", 0), 0u) << build.name << " exports " << name;
    EXPECT_GT(exported.size(), static_cast<std::size_t>(kaltra::kFunctionCount));
}

TEST_P(WineCapi, AnswersEveryConformanceCaseAsTheAddinAndTheLinuxLibraryDo) {
    // kaltra.dll under Wine against the add-in under Wine (the same C runtime: bit for bit)
    // and against libkaltra.so on Linux (the rule of the add-ins' own comparison).
    const WindowsBuild& build = GetParam();
    std::vector<Case> cases = kaltra::test::readConformanceCases();
    ASSERT_GT(cases.size(), 1000u) << "conformance cases not read";
    std::string formulas = conformanceFormulas(cases);
    Outcome dll = runCapi(formulas);
    Outcome addin = runWindows(scratch, build, "--addin " + shellQuoted(addinPath()), formulas);
    Outcome onLinux = scratch.run(shellQuoted(KALTRA_C_PATH), formulas);
    ASSERT_EQ(dll.status, 0) << build.name << ": " << dll.err;
    ASSERT_EQ(addin.status, 0) << build.name << ": " << addin.err;
    ASSERT_EQ(onLinux.status, 0) << onLinux.err;
    std::vector<std::string> got = linesOf(dll.out), fromAddin = linesOf(addin.out);
    ASSERT_EQ(got.size(), cases.size()) << build.name;
    ASSERT_EQ(fromAddin.size(), cases.size()) << build.name;
    int identical = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(got[i], fromAddin[i]) << build.name << " case " << cases[i].id;
        identical += got[i] == fromAddin[i];
    }
    std::printf("%s kaltra.dll: %d of %zu conformance answers bit-identical with %s under Wine\n", build.name, identical,
                cases.size(), build.addin);
    expectLinuxAnswers(build.name + std::string(" kaltra.dll"), cases, got, linesOf(onLinux.out));
}

INSTANTIATE_TEST_SUITE_P(Windows, WineCapi, ::testing::ValuesIn(kBuilds),
                         [](const ::testing::TestParamInfo<WindowsBuild>& info) {
                             return std::string(info.param.folder);
                         });

// ---- The stack check itself ----------------------------------------------------------------
// StackProbe.xll registers one function twice: ProbeStdcall with Excel's convention and
// ProbeCdecl, deliberately, with the caller-cleans one. Both answer len(text) + a*b + n.

class WineStackCheck : public ::testing::Test {
protected:
    Scratch scratch;
    const WindowsBuild& build = kBuilds[1];

    void SetUp() override {
        if (windowsBuildFolder().empty()) GTEST_SKIP() << "KALTRA_WINDOWS_BUILD is not set: tools/windows.sh runs these tests";
    }

    Outcome probe(const std::string& formula) {
        std::string addin = windowsBuildFolder() + "/" + build.folder + "/tests/windows/StackProbe.xll";
        return runWindows(scratch, build, "--addin " + shellQuoted(addin) + " " + shellQuoted(formula));
    }
};

// The stdcall probe is answered; the cdecl one, which leaves its 24 bytes (a text pointer, two
// doubles and a 16-bit integer in a 4-byte slot) on the stack, is caught.
TEST_F(WineStackCheck, StdcallIsAnsweredAndCdeclIsCaught) {
    Outcome answered = probe("ProbeStdcall(\"abc\", 1.5, 2, 4)");
    EXPECT_EQ(answered.status, 0) << answered.err;
    EXPECT_EQ(answered.out, "10\n");
    Outcome caught = probe("ProbeCdecl(\"abc\", 1.5, 2, 4)");
    EXPECT_EQ(caught.status, 3) << caught.out << caught.err;
    EXPECT_EQ(caught.out, "");
    EXPECT_NE(caught.err.find("ProbeCdecl took 0 of its 24 bytes of arguments off the stack"), std::string::npos)
        << caught.err;
}

}  // namespace
