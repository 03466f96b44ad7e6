// The kaltra host end to end: the built program loads the add-in library through the
// stand-in Excel and answers formulas, batches, the function list and worksheets; every
// bad input of its own ends in a message and an exit status, never a crash or a hang.
//
// Tests marked "engine" need the thermodynamic engine; all others use only the catalogue
// and label functions (KaltName, KaltUnits, KaltMW, KaltIndex).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/process.h"

namespace {

using kaltra::test::Outcome;
using kaltra::test::shellQuoted;

class Host : public ::testing::Test {
protected:
    kaltra::test::Scratch scratch;
    const std::string& dir = scratch.folder();

    void SetUp() override {
        ASSERT_STRNE(KALTRA_HOST_PATH, "") << "the kaltra host is not built";
        ASSERT_FALSE(dir.empty()) << "no scratch folder";
    }

    std::string file(const std::string& name, const std::string& content) { return scratch.file(name, content); }

    Outcome kaltra(const std::vector<std::string>& arguments, const std::string& input = "",
                   const std::string& prefix = "env -u KALTRA_ADDIN ") {
        return scratch.kaltra(arguments, input, prefix);
    }
};

// ---- One formula ------------------------------------------------------------------------

TEST_F(Host, OneFormulaPrintsItsValue) {
    struct Case {
        const char* description;
        const char* formula;
        const char* expected;
    };
    const Case cases[] = {
        {"a text result", "KaltName(1)", "R11"},
        {"a leading = is allowed", "=KaltName(39)", "R1270"},
        {"blanks between the parts", "  KaltName ( 2 ) ", "R12"},
        {"an integer result prints as an integer", "KaltIndex(\"R22\")", "7"},
        {"function names in any case", "kaltindex(\"chclf2\")", "7"},
        {"a name nobody has", "KaltIndex(\"nothing\")", "-1"},
        {"the add-in's own error code", "KaltName(0)", "#ERR(2235)"},
        {"the degree mark 0xBA becomes UTF-8", "KaltUnits(1,1)", "\xC2\xBA" "C"},
        {"the superscript two 0xB2 becomes UTF-8", "KaltUnits(6,0)", "kg/cm\xC2\xB2"},
        {"a unit system name", "KaltUnits(0,10)", "English"},
        {"arguments left out are passed as zero", "KaltUnits(,)", "psia"},
        {"an integer argument is truncated toward zero", "KaltName(1.9)", "R11"},
        {"an integer argument beyond 16 bits", "KaltName(40000)", "#VALUE!"},
        {"a text that reads as a number", "KaltName(\"2\")", "R12"},
        {"a text that does not", "KaltName(\"two\")", "#VALUE!"},
        {"a number where a text belongs", "KaltIndex(22)", "-1"},
        {"a doubled quote inside a text", "KaltIndex(\"R\"\"22\")", "-1"},
        {"a sign binds tighter than ^", "-2^2", "4"},
        {"^ groups from the left", "2^3^2", "64"},
        {"* before +", "1+2*3", "7"},
        {"parentheses", "(1+2)*3", "9"},
        {"division by zero", "1/0", "#DIV/0!"},
        {"0^0", "0^0", "#NUM!"},
        {"an error argument is the answer", "KaltName(1/0)", "#DIV/0!"},
    };
    for (const Case& c : cases) {
        Outcome r = kaltra({c.formula});
        EXPECT_EQ(r.out, std::string(c.expected) + "\n") << c.description << ": " << c.formula << " stderr " << r.err;
        EXPECT_EQ(r.status, 0) << c.description << ": " << c.formula;
        EXPECT_EQ(r.err, "") << c.description << ": " << c.formula;
    }
}

TEST_F(Host, NumbersReadBackBitForBit) {
    struct Case {
        const char* formula;
        double expected;
    };
    const Case cases[] = {
        {"KaltMW(\"R22\")", 86.468},
        {"KaltMW(\"R22\")*2", 86.468 * 2},
        {"KaltMW(\"R22\")/3", 86.468 / 3},
        {"0.1+0.2", 0.1 + 0.2},
        {"1/3", 1.0 / 3.0},
    };
    for (const Case& c : cases) {
        Outcome r = kaltra({c.formula});
        ASSERT_EQ(r.status, 0) << c.formula << " " << r.err;
        double shown = std::strtod(r.out.c_str(), nullptr);
        EXPECT_EQ(shown, c.expected) << c.formula << " printed " << r.out;
    }
}

TEST_F(Host, BadFormulaIsToldAndEndsWithStatusOne) {
    struct Case {
        const char* description;
        std::string formula;
        const char* message;
    };
    const Case cases[] = {
        {"a call not closed", "KaltName(1", "unexpected end of formula"},
        {"a parenthesis too many", "KaltName(1))", "unexpected ')'"},
        {"two operators", "1 +* 2", "unexpected '*'"},
        {"two values", "1 2", "unexpected number 2"},
        {"an operator Kaltra does not have", "KaltName(1)&\"x\"", "unexpected '&'"},
        {"digits run into letters", "1A", "'1A' is not a number"},
        {"an unregistered function", "KaltFoo(1)", "unknown function KaltFoo"},
        {"an unknown name", "foo", "unknown name foo"},
        {"too many arguments", "KaltName(1,2)", "KaltName takes 1 argument, not 2"},
        {"too few arguments", "KaltPsat(\"R22\", 1)", "KaltPsat takes 3 arguments, not 2"},
        {"no arguments", "KaltMW()", "KaltMW takes 1 argument, not 0"},
        {"a text without its closing quote", "KaltIndex(\"R22)", "no closing quote"},
        {"an empty formula", "", "empty formula"},
        {"only an equals sign", "=", "empty formula"},
        {"only blanks", "   ", "empty formula"},
        {"a cell reference without a worksheet", "A1+1", "needs a worksheet"},
        {"a reference past the last column", "XFE1", "bad cell reference XFE1"},
        {"too deep", std::string(150, '(') + "1" + std::string(150, ')'), "nested too deeply"},
        {"too long", std::string(9000, '1'), "longer than 8192 characters"},
    };
    for (const Case& c : cases) {
        Outcome r = kaltra({c.formula});
        EXPECT_EQ(r.status, 1) << c.description << ": " << c.formula;
        EXPECT_EQ(r.out, "") << c.description << ": " << c.formula;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.description << ": stderr was " << r.err;
    }
}

TEST_F(Host, CommandLineAndAddinProblemsEndWithStatusTwo) {
    std::string addin = KALTRA_ADDIN_PATH;
    std::string notAnAddin = addin.substr(0, addin.rfind('/')) + "/libxlcall32.so";
    struct Case {
        const char* description;
        std::vector<std::string> arguments;
        std::string prefix;
        const char* message;
    };
    const Case cases[] = {
        {"two formulas", {"KaltName(1)", "KaltName(2)"}, "", "usage"},
        {"sheet without a file", {"sheet"}, "", "usage"},
        {"--addin without a path", {"--addin"}, "", "usage"},
        {"a worksheet that is not there", {"sheet", dir + "/none.csv"}, "", "cannot read the worksheet"},
        {"an add-in that is not there", {"--addin", dir + "/none.so", "KaltName(1)"}, "", "cannot load the add-in"},
        {"a library that is no add-in", {"--addin", notAnAddin, "KaltName(1)"}, "", "exports no xlAutoOpen"},
        {"KALTRA_ADDIN naming nothing", {"KaltName(1)"}, "env KALTRA_ADDIN=" + dir + "/none.so ", "cannot load the add-in"},
    };
    for (const Case& c : cases) {
        Outcome r = c.prefix.empty() ? kaltra(c.arguments) : kaltra(c.arguments, "", c.prefix);
        EXPECT_EQ(r.status, 2) << c.description;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.description << ": stderr was " << r.err;
    }
}

TEST_F(Host, AddinIsFoundByOptionEnvironmentOrBesideTheProgram) {
    std::string addin = KALTRA_ADDIN_PATH;
    Outcome byOption = kaltra({"--addin", addin, "KaltName(3)"});
    Outcome byEnvironment = kaltra({"KaltName(3)"}, "", std::string("env KALTRA_ADDIN=").append(shellQuoted(addin)).append(" "));
    Outcome beside = kaltra({"KaltName(3)"});
    for (const Outcome* r : {&byOption, &byEnvironment, &beside}) {
        EXPECT_EQ(r->out, "R13\n") << r->err;
        EXPECT_EQ(r->status, 0);
    }
}

// ---- Batch ------------------------------------------------------------------------------

TEST_F(Host, BatchAnswersEveryLineAndGoesOnPastBadOnes) {
    const std::string input =
        "KaltName(1)\n"
        "\n"
        "KaltFoo(2)\n"
        "KaltName(1,2)\n"
        "=KaltUnits(1,0)\r\n"
        "KaltIndex(\"R22)\n"
        "   \n"
        "KaltName(\n"
        "A1\n"
        "KaltName(0)\n"
        "KaltIndex(\"r134A\")";
    const std::string expected =
        "R11\n"
        "\n"
        "#NAME?\n"
        "#VALUE!\n"
        "bar\n"
        "#VALUE!\n"
        "\n"
        "#VALUE!\n"
        "#REF!\n"
        "#ERR(2235)\n"
        "15\n";
    Outcome r = kaltra({}, input);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 1);
    for (const char* told : {"line 3: unknown function KaltFoo", "line 4:", "line 6:", "line 8:", "line 9:"}) {
        EXPECT_NE(r.err.find(told), std::string::npos) << "stderr lacks [" << told << "]: " << r.err;
    }
    EXPECT_EQ(r.err.find("line 10"), std::string::npos) << "an add-in error value is an answer, not a problem";
}

TEST_F(Host, BatchOfGoodLinesEndsWithStatusZero) {
    Outcome r = kaltra({}, "KaltName(1)\nKaltMW(\"R22\")\n");
    EXPECT_EQ(r.out, "R11\n86.468000000000004\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    Outcome empty = kaltra({}, "");
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(empty.status, 0);
}

// ---- The function list ------------------------------------------------------------------

TEST_F(Host, FunctionsAreListedAsTheInsertFunctionDialogShowsThem) {
    Outcome r = kaltra({"functions"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Kaltra V1.00\n", 0), 0u) << "the category heads the list";
    const char* pofTV =
        "  KaltPofTV(name,temperature,spec. vol.,units)\n"
        "    pres. from temp. and spec. vol.\n"
        "    name: name or formula\n"
        "    temperature: temperature\n"
        "    spec. vol.: specific volume\n"
        "    units: unit code (0-7)\n";
    EXPECT_NE(r.out.find(pofTV), std::string::npos) << r.out;
    int functions = 0;
    for (const std::string& line : kaltra::test::linesOf(r.out)) functions += line.rfind("  Kalt", 0) == 0;
    EXPECT_EQ(functions, 33);
    EXPECT_LT(r.out.find("  KaltUnits("), r.out.find("  KaltTKofTP(")) << "in registration order";
}

TEST_F(Host, RegistrationsArePrintedAsExcelReceivedThem) {
    Outcome r = kaltra({"registrations"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> rows = kaltra::test::linesOf(r.out);
    ASSERT_EQ(rows.size(), 33u) << r.out;
    // file name, procedure, type text, function text, argument text, macro type, category,
    // shortcut, help topic, function help, argument helps
    std::string addin = KALTRA_ADDIN_PATH;
    std::string pofTV = "\tKaltPofTV\tRCBBI\tKaltPofTV\tname,temperature,spec. vol.,units\t1\tKaltra V1.00\t\t\t"
                        "pres. from temp. and spec. vol.\tname or formula\ttemperature\tspecific volume\tunit code (0-7)";
    bool found = false;
    for (const std::string& row : rows) {
        EXPECT_EQ(row.rfind(addin + "\t", 0), 0u) << "each registration starts with the add-in's file name: " << row;
        found = found || row.find(pofTV) != std::string::npos;
    }
    EXPECT_TRUE(found) << r.out;
    EXPECT_EQ(rows.front().find("\tKaltUnits\tRII\t"), rows.front().find('\t')) << "in registration order";
}

// ---- Worksheets -------------------------------------------------------------------------

TEST_F(Host, SheetComputesNumbersTextsAndFormulas) {
    std::string sheet = file("good.csv",
                             "R22,=KaltIndex(A1),=KaltName(B1),=KaltMW(A1)*2\n"
                             "'42,42,\"=KaltUnits(B3,1)\",=KaltUnits(B3, 10)\n"
                             "Druck \xE2\x80\x93 \xC3\xBC,1,=-B3^2,\"=KaltIndex(\"\"CHClF2\"\")\"\n"
                             "=C1,=B1+B3,=ZZ999,\n");
    Outcome r = kaltra({"sheet", "--csv", sheet});
    EXPECT_EQ(r.out,
              "R22,7,R22,172.93600000000001\n"
              "42,42,\xC2\xBA" "C,SI Common\n"
              "Druck \xE2\x80\x93 \xC3\xBC,1,1,7\n"
              "R22,8,0,\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");

    Outcome aligned = kaltra({"sheet", sheet});
    EXPECT_EQ(aligned.status, 0);
    std::vector<std::string> lines = kaltra::test::linesOf(aligned.out);
    ASSERT_GE(lines.size(), 2u) << aligned.out;
    EXPECT_EQ(lines[0], "   A          B   C    D");
    EXPECT_EQ(lines[1], "1  R22        7   R22  172.93600000000001");
}

TEST_F(Host, SheetProblemsBecomeErrorCellsNeverAHang) {
    std::string sheet = file("bad.csv",
                             "=B1+1,=A1*2,=C1\n"                               // a cycle of two, a cell on itself
                             "=A1+1,=1/0,=XFE1\n"                              // after a cycle, division by zero, past the last column
                             "=KaltFoo(1),=KaltName(1,2),\"=KaltIndex(\"\"R22)\"\n"
                             "=B2+1,=A0,=KaltName(1\n"
                             "=KaltName(A5),=KaltName(C5),=KaltName(B5)\n");  // a cycle through calls
    Outcome r = kaltra({"sheet", "--csv", sheet});
    EXPECT_EQ(r.out,
              "#REF!,#REF!,#REF!\n"
              "#REF!,#DIV/0!,#REF!\n"
              "#NAME?,#VALUE!,#VALUE!\n"
              "#DIV/0!,#REF!,#VALUE!\n"
              "#REF!,#REF!,#REF!\n");
    EXPECT_EQ(r.status, 1);
    const char* told[] = {
        "A1: circular reference A1 -> B1 -> A1", "C1: circular reference C1 -> C1", "C2: bad cell reference XFE1",
        "A3: unknown function KaltFoo", "B3: KaltName takes 1 argument, not 2", "C3: a text has no closing quote",
        "B4: bad cell reference A0", "C4: unexpected end of formula", "A5: circular reference",
        "B5: circular reference B5 -> C5 -> B5",
    };
    for (const char* t : told) EXPECT_NE(r.err.find(t), std::string::npos) << "stderr lacks [" << t << "]: " << r.err;
}

TEST_F(Host, DivisionByZeroAndAnEmptySheetAreNoProblem) {
    Outcome r = kaltra({"sheet", "--csv", file("div.csv", "1,0,=A1/B1\n")});
    EXPECT_EQ(r.out, "1,0,#DIV/0!\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    Outcome empty = kaltra({"sheet", file("empty.csv", "")});
    EXPECT_EQ(empty.out, "") << "an empty sheet prints nothing";
    EXPECT_EQ(empty.status, 0);
}

TEST_F(Host, LongChainOfReferencesIsComputedWithoutRecursion) {
    std::string content = "1\n";
    for (int row = 2; row <= 20000; ++row) content.append("=A").append(std::to_string(row - 1)).append("+1\n");
    Outcome r = kaltra({"sheet", "--csv", file("chain.csv", content)});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(r.out.size() - 6), "20000\n");
}

// ---- With the engine ----------------------------------------------------------------------

const std::string kExamples = std::string(KALTRA_TEST_DATA) + "/../../examples/";

// A worksheet as `kaltra sheet --csv` prints it, read back: rows of fields, quoted fields
// unquoted.
struct Grid {
    std::vector<std::vector<std::string>> rows;

    explicit Grid(const std::string& csv) {
        for (const std::string& line : kaltra::test::linesOf(csv)) {
            rows.emplace_back(1);
            bool quoted = false;
            for (std::size_t i = 0; i < line.size(); ++i) {
                char c = line[i];
                if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    rows.back().back() += '"';
                    ++i;
                } else if (c == '"') {
                    quoted = !quoted;
                } else if (c == ',' && !quoted) {
                    rows.back().emplace_back();
                } else {
                    rows.back().back() += c;
                }
            }
        }
    }

    // The number at a 1-based row and a 0-based column.
    double at(std::size_t row, std::size_t column) const {
        if (row < 1 || row > rows.size() || column >= rows[row - 1].size()) return std::nan("");
        return std::strtod(rows[row - 1][column].c_str(), nullptr);
    }

    // The number right of the first cell that reads `label`.
    double labelled(const std::string& label) const {
        for (std::size_t row = 1; row <= rows.size(); ++row) {
            if (rows[row - 1][0] == label) return at(row, 1);
        }
        ADD_FAILURE() << "no row " << label;
        return std::nan("");
    }
};

// engine: the cycle worksheet of the examples computes a plausible cycle, its evaporator
// pressure the published saturation pressure of R134a at -10 degC, 2.006 bar.
TEST_F(Host, EngineCycleWorksheetRuns) {
    Outcome r = kaltra({"sheet", "--csv", kExamples + "cycle.csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.err, "");
    Grid grid(r.out);
    EXPECT_NEAR(grid.at(9, 2), 2.006, 0.01) << "evaporator pressure of R134a at -10 degC";
    EXPECT_NEAR(grid.at(10, 2), 10.17, 0.05) << "condenser pressure of R134a at 40 degC";
    EXPECT_NEAR(grid.at(10, 4), grid.at(9, 4), 1e-6) << "the compression is isentropic";
    EXPECT_EQ(grid.at(12, 3), grid.at(11, 3)) << "throttling keeps the enthalpy";
    double work = grid.labelled("Compressor work"), cop = grid.labelled("COP");
    EXPECT_GT(work, 0.0);
    EXPECT_NEAR(cop, grid.labelled("Refrigerating effect") / work, 1e-12);
    EXPECT_GT(cop, 3.5);
    EXPECT_LT(cop, grid.labelled("Carnot COP"));
}

// A worksheet with the number right of each labelled cell replaced.
std::string withInputs(const std::string& csv, const std::vector<std::pair<std::string, std::string>>& inputs) {
    std::string out;
    for (std::string line : kaltra::test::linesOf(csv)) {
        for (const auto& [label, value] : inputs) {
            if (line.rfind(label + ",", 0) != 0) continue;
            std::size_t from = label.size() + 1, to = line.find(',', from);
            line.replace(from, to == std::string::npos ? std::string::npos : to - from, value);
        }
        out += line + "\n";
    }
    return out;
}

// engine: both example cycles, the ideal one (cycle.csv) and the one with superheat,
// subcooling and a compressor of isentropic efficiency eta (cycle-real.csv), at the same
// physical temperatures in unit codes of every temperature scale. The COPs, being ratios,
// come out the same in each; the Carnot COP of -10 and 40 degC is 263.15/50 whatever scale
// the sheet uses; a real cycle does worse than the ideal one, which does worse than Carnot's;
// the real COP is eta times the COP with an isentropic compressor; the states show the
// superheat and subcooling the sheet asked for.
TEST_F(Host, EngineExampleCyclesAgreeInEveryUnitCode) {
    struct Case {
        const char* scale;
        const char* units;
        const char* evaporator;  // -10 degC
        const char* condenser;   // 40 degC
        const char* superheat;   // 5 K
        const char* subcooling;  // 3 K
        double degree;           // kelvin per degree of the scale
    };
    const Case cases[] = {
        {"Celsius, SI Common", "1", "-10", "40", "5", "3", 1.0},
        {"Fahrenheit, English", "0", "14", "104", "9", "5.4", 1.0 / 1.8},
        {"Rankine, English Abs.", "2", "473.67", "563.67", "9", "5.4", 1.0 / 1.8},
        {"kelvin, SI Formal", "3", "263.15", "313.15", "5", "3", 1.0},
        {"Celsius, cgs", "7", "-10", "40", "5", "3", 1.0},
    };
    const double eta = 0.75, carnot = 263.15 / 50.0;
    const std::string ideal = kaltra::test::readFile(kExamples + "cycle.csv");
    const std::string real = kaltra::test::readFile(kExamples + "cycle-real.csv");
    ASSERT_FALSE(ideal.empty() || real.empty()) << "the example worksheets are missing";
    double firstIdealCop = 0.0, firstRealCop = 0.0;
    for (const Case& c : cases) {
        std::vector<std::pair<std::string, std::string>> inputs = {
            {"Unit code", c.units},
            {"Evaporator temperature", c.evaporator},
            {"Condenser temperature", c.condenser},
            {"Superheat at the evaporator outlet", c.superheat},
            {"Subcooling at the condenser outlet", c.subcooling},
            {"Isentropic efficiency of the compressor", "0.75"},
        };
        Outcome idealRun = kaltra({"sheet", "--csv", file("ideal.csv", withInputs(ideal, inputs))});
        Outcome realRun = kaltra({"sheet", "--csv", file("real.csv", withInputs(real, inputs))});
        ASSERT_EQ(idealRun.status, 0) << c.scale << ": " << idealRun.err;
        ASSERT_EQ(realRun.status, 0) << c.scale << ": " << realRun.err;
        EXPECT_EQ(idealRun.err + realRun.err, "") << c.scale;
        Grid idealGrid(idealRun.out), realGrid(realRun.out);

        double idealCop = idealGrid.labelled("COP"), realCop = realGrid.labelled("COP");
        double isentropicCop = realGrid.labelled("COP with an isentropic compressor");
        if (firstIdealCop == 0.0) {
            firstIdealCop = idealCop;
            firstRealCop = realCop;
        }
        EXPECT_NEAR(idealCop, firstIdealCop, 1e-9 * firstIdealCop) << c.scale << ": the ideal COP depends on the unit code";
        EXPECT_NEAR(realCop, firstRealCop, 1e-9 * firstRealCop) << c.scale << ": the real COP depends on the unit code";
        for (const Grid* grid : {&idealGrid, &realGrid}) {
            EXPECT_NEAR(grid->labelled("Carnot COP"), carnot, 1e-9 * carnot) << c.scale << ": Carnot COP of -10 and 40 degC";
        }
        EXPECT_GT(carnot, idealCop) << c.scale << ": the ideal cycle beats Carnot's";
        EXPECT_LT(realCop, idealCop) << c.scale << ": the real cycle beats the ideal one";
        EXPECT_NEAR(realCop, eta * isentropicCop, 1e-12 * realCop) << c.scale << ": COP = eta COP(isentropic)";
        EXPECT_NEAR(realGrid.labelled("Superheat at state 1") * c.degree, 5.0, 1e-4) << c.scale << ": superheat in K";
        EXPECT_NEAR(realGrid.labelled("Subcooling at state 3") * c.degree, 3.0, 1e-4) << c.scale << ": subcooling in K";
        // Rows 12 to 15: states 1, 2s, 2 and 3; columns temperature, pressure, enthalpy, entropy.
        EXPECT_GT(realGrid.at(14, 1), realGrid.at(13, 1)) << c.scale << ": the real discharge is hotter than the isentropic one";
        EXPECT_NEAR(realGrid.at(13, 4), realGrid.at(12, 4), 1e-6 * std::fabs(realGrid.at(12, 4)) + 1e-9)
            << c.scale << ": s2s = s1";
        EXPECT_GT(realGrid.at(14, 4), realGrid.at(12, 4)) << c.scale << ": a real compressor makes entropy";
        EXPECT_NEAR(realGrid.at(14, 3) - realGrid.at(12, 3), (realGrid.at(13, 3) - realGrid.at(12, 3)) / eta,
                    1e-9 * std::fabs(realGrid.at(14, 3)))
            << c.scale << ": h2 = h1 + (h2s - h1)/eta";
    }
}

}  // namespace
