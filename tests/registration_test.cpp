// The Excel boundary: what the add-in registers at open, its alerts, and the answers of
// its other entry points, observed through the stand-in Excel.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "host/standin_excel.h"
#include "shell/shell.h"

namespace {

using kaltra::RegistrationEntry;

// What Excel must receive for each worksheet function, in registration order.
struct ExpectedFunction {
    const char* name;
    const char* typeText;
    const char* argumentText;
    const char* functionHelp;
    std::vector<std::string> argumentHelps;
};

const std::string kName = "name or formula";
const std::string kUnits = "unit code (0-7)";
const std::vector<std::string> kNameOnly = {kName}, kNameUnits = {kName, kUnits};
const std::vector<std::string> kOfT = {kName, "temperature", kUnits}, kOfP = {kName, "pressure", kUnits};
const std::vector<std::string> kOfTV = {kName, "temperature", "specific volume", kUnits};
const std::vector<std::string> kOfTP = {kName, "temperature", "pressure", kUnits};
const std::vector<std::string> kOfPH = {kName, "pressure", "enthalpy", kUnits};
const std::vector<std::string> kOfPS = {kName, "pressure", "entropy", kUnits};
const char kTV[] = "name,temperature,spec. vol.,units", kTP[] = "name,temperature,pressure,units";
const char kT[] = "name,temperature,units";

const std::vector<ExpectedFunction> kExpectedFunctions = {
    {"KaltUnits", "RII", "units,index", "units/name", {"units (0-7)", "index (0-9)"}},
    {"KaltName", "RI", "index", "refrigerant name", {"index (1-38)"}},
    {"KaltLongName", "RI", "index", "refrigerant long name", {"index (1-38)"}},
    {"KaltForm", "RI", "index", "refrigerant formula", {"index (1-38)"}},
    {"KaltIndex", "RC", "name", "refrigerant index", kNameOnly},
    {"KaltMW", "RC", "name", "molecular weight", kNameOnly},
    {"KaltZc", "RC", "name", "critical compressibility", kNameOnly},
    {"KaltTmax", "RCI", "name,units", "maximum temperature", kNameUnits},
    {"KaltPmax", "RCI", "name,units", "maximum pressure", kNameUnits},
    {"KaltPsat", "RCBI", kT, "saturation pressure", kOfT},
    {"KaltTsat", "RCBI", "name,pressure,units", "saturation temperature", kOfP},
    {"KaltVf", "RCBI", kT, "specific volume of saturated liquid", kOfT},
    {"KaltVg", "RCBI", kT, "specific volume of saturated vapor", kOfT},
    {"KaltPofTV", "RCBBI", kTV, "pres. from temp. and spec. vol.", kOfTV},
    {"KaltVofTP", "RCBBI", kTP, "spec. vol. from temp. and pres.", kOfTP},
    {"KaltZofTV", "RCBBI", kTV, "comp. from temp. and spec. vol.", kOfTV},
    {"KaltZofTP", "RCBBI", kTP, "comp. from temp. and pres.", kOfTP},
    {"KaltHf", "RCBI", kT, "enthalpy of saturated liquid", kOfT},
    {"KaltHg", "RCBI", kT, "enthalpy of saturated vapor", kOfT},
    {"KaltHofTV", "RCBBI", kTV, "enthalpy from temp. and spec. vol.", kOfTV},
    {"KaltHofTP", "RCBBI", kTP, "enthalpy from temp. and pres.", kOfTP},
    {"KaltSf", "RCBI", kT, "entropy of saturated liquid", kOfT},
    {"KaltSg", "RCBI", kT, "entropy of saturated vapor", kOfT},
    {"KaltSofTV", "RCBBI", kTV, "entropy from temp. and spec. vol.", kOfTV},
    {"KaltSofTP", "RCBBI", kTP, "entropy from temp. and pres.", kOfTP},
    {"KaltTofPH", "RCBBI", "name,pressure,enthalpy,units", "temp. from pres. and enthalpy", kOfPH},
    {"KaltTofPS", "RCBBI", "name,pressure,entropy,units", "temp. from pres. and entropy", kOfPS},
    {"KaltSt", "RCBI", kT, "surface tension", kOfT},
    {"KaltCpofTP", "RCBBI", kTP, "Cp (constant pressure specific heat) from temp. and pres.", kOfTP},
    {"KaltCvofTP", "RCBBI", kTP, "Cv (constant volume specific heat) from temp. and pres.", kOfTP},
    {"KaltMUofTP", "RCBBI", kTP, "mu (dynamic viscosity) from temp. and pres.", kOfTP},
    {"KaltNUofTP", "RCBBI", kTP, "nu=mu/rho (kinematic viscosity) from temp. and pres.", kOfTP},
    {"KaltTKofTP", "RCBBI", kTP, "thermal conductivity from temp. and pres.", kOfTP},
};

const char kAddinPath[] = "/opt/excel/addins/Kaltra64.so";

// The texts Excel receives for a function with the given argument helps.
std::vector<std::string> registrationTexts(const ExpectedFunction& f, const std::vector<std::string>& helps) {
    std::vector<std::string> texts = {kAddinPath, f.name, f.typeText, f.name, f.argumentText, "1",
                                      "Kaltra V1.00", "", "", f.functionHelp};
    texts.insert(texts.end(), helps.begin(), helps.end());
    return texts;
}

std::string describeTexts(const std::vector<std::string>& texts) {
    std::string out;
    for (const std::string& text : texts) out += "[" + text + "] ";
    return out;
}

int countCalls(int xlfn) {
    int n = 0;
    for (int call : standinCallLog()) n += call == xlfn;
    return n;
}

// A table with one function of n double arguments named a1..an with helps "help 1"...,
// optionally after a one-argument function.
struct WideTable {
    std::vector<std::string> names;
    std::vector<std::string> helps;
    std::vector<RegistrationEntry> rows;

    WideTable(int n, bool leadingFunction) {
        for (int i = 1; i <= n; ++i) {
            names.push_back(std::string("a").append(std::to_string(i)));
            helps.push_back(std::string("help ").append(std::to_string(i)));
        }
        if (leadingFunction) {
            rows.push_back({'R', "Lead", "leading function"});
            rows.push_back({'C', "name", "a name"});
            rows.push_back({0, nullptr, nullptr});
        }
        rows.push_back({'R', "Wide", "many arguments"});
        for (int i = 0; i < n; ++i) rows.push_back({'B', names[i].c_str(), helps[i].c_str()});
        rows.push_back({0, nullptr, nullptr});
        rows.push_back({0, nullptr, nullptr});
    }
};

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        standinReset();
        standinSetAddinPath(kAddinPath);
    }
    void TearDown() override { standinReset(); }
};

// ---- The add-in's own table -------------------------------------------------------------

TEST_F(Registration, OpenRegistersEveryFunctionInTableOrderWithItsTexts) {
    ASSERT_EQ(xlAutoOpen(), 1);
    const auto& registered = standinRegistrations();
    ASSERT_EQ(registered.size(), kExpectedFunctions.size());
    for (std::size_t i = 0; i < kExpectedFunctions.size(); ++i) {
        const ExpectedFunction& f = kExpectedFunctions[i];
        std::vector<std::string> expected = registrationTexts(f, f.argumentHelps);
        EXPECT_EQ(registered[i].texts, expected) << "function " << i + 1 << " " << f.name << ": registered "
                                                 << describeTexts(registered[i].texts) << " expected "
                                                 << describeTexts(expected);
    }
    EXPECT_EQ(standinMalformedCount(), 0);
    EXPECT_TRUE(standinAlerts().empty());
}

TEST_F(Registration, OpenAsksForTheFileNameOnceAndReleasesItAfterTheLast) {
    ASSERT_EQ(xlAutoOpen(), 1);
    const auto& calls = standinCallLog();
    ASSERT_EQ(calls.size(), 2 + kExpectedFunctions.size());
    EXPECT_EQ(calls.front(), xl::xlGetName);
    EXPECT_EQ(calls.back(), xl::xlFree);
    EXPECT_EQ(countCalls(xl::xlfRegister), static_cast<int>(kExpectedFunctions.size()));
    EXPECT_EQ(standinOutstandingNames(), 0);
}

// ---- Other tables: the argument limits and both help rules ------------------------------

TEST_F(Registration, StringListHoldsEachGroupThenANullAndEndsWithASecondNull) {
    const RegistrationEntry table[] = {
        {'R', "First", "first help"}, {'C', "name", "name help"}, {'I', "units", "units help"}, {0, nullptr, nullptr},
        {'R', "Second", "second help"}, {0, nullptr, nullptr},
        {0, nullptr, nullptr},
    };
    char** list = kaltra::buildRegistrationStrings(table, kaltra::kMaxArguments);
    ASSERT_NE(list, nullptr);
    const char* expected[] = {"First", "RCI", "name,units", "first help", "name help", "units help", nullptr,
                              "Second", "R", "", "second help", nullptr, nullptr};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        if (!expected[i]) {
            EXPECT_EQ(list[i], nullptr) << "slot " << i;
        } else {
            ASSERT_NE(list[i], nullptr) << "slot " << i;
            EXPECT_STREQ(list[i], expected[i]) << "slot " << i;
        }
    }
    kaltra::freeRegistrationStrings(list);
}

TEST_F(Registration, WideFunctionsFollowTheHelpRuleOfTheBuild) {
    struct Case {
        const char* description;
        int arguments;
        int helpsLimit;
        int expectedHelps;
        bool marked;  // the last help ends in ", etc."
    };
    const int all = kaltra::kMaxArguments;
    const int limit32 = kaltra::kMaxArgumentHelps32;
    const Case cases[] = {
        {"25 arguments, 64-bit rule: every help", 25, all, 25, false},
        {"25 arguments, 32-bit rule: 20 helps, the 20th marked", 25, limit32, 20, true},
        {"30 arguments, 64-bit rule: the most a function may have", 30, all, 30, false},
        {"30 arguments, 32-bit rule", 30, limit32, 20, true},
        {"21 arguments, 32-bit rule: one past the limit", 21, limit32, 20, true},
        {"20 arguments, 32-bit rule: exactly the limit, no mark", 20, limit32, 20, false},
    };
    for (const Case& c : cases) {
        standinReset();
        WideTable table(c.arguments, false);
        EXPECT_EQ(kaltra::registerFunctions(table.rows.data(), c.helpsLimit), 1) << c.description;
        ASSERT_EQ(standinRegistrations().size(), 1u) << c.description;
        const auto& t = standinRegistrations()[0].texts;
        std::string typeText(c.arguments + 1, 'B');
        typeText[0] = 'R';
        std::string argumentText;
        for (int i = 0; i < c.arguments; ++i) {
            if (i > 0) argumentText += ',';
            argumentText += table.names[i];
        }
        EXPECT_EQ(t[standin::typeText], typeText) << c.description;
        EXPECT_EQ(t[standin::argumentText], argumentText) << c.description;
        ASSERT_EQ(t.size(), static_cast<std::size_t>(10 + c.expectedHelps)) << c.description;
        for (int i = 0; i < c.expectedHelps; ++i) {
            std::string expected = table.helps[i];
            if (c.marked && i == c.expectedHelps - 1) expected += ", etc.";
            EXPECT_EQ(t[standin::firstArgumentHelp + i], expected) << c.description << ", help " << i + 1;
        }
        EXPECT_TRUE(standinAlerts().empty()) << c.description;
        EXPECT_EQ(standinMalformedCount(), 0) << c.description;
    }
}

// A function of more than 30 arguments, or an argument before any function: nothing is
// registered, not even the functions before it, and the alert says why.
TEST_F(Registration, TableThatCannotBeBuiltRegistersNothing) {
    WideTable wide(31, true);
    const RegistrationEntry orphan[] = {{'C', "name", "orphan argument"}, {0, nullptr, nullptr}, {0, nullptr, nullptr}};
    struct Case {
        const char* description;
        const RegistrationEntry* table;
        int helpsLimit;
    };
    const Case cases[] = {
        {"31 arguments, 64-bit rule", wide.rows.data(), kaltra::kMaxArguments},
        {"31 arguments, 32-bit rule", wide.rows.data(), kaltra::kMaxArgumentHelps32},
        {"a table that does not start with a function", orphan, kaltra::kMaxArguments},
    };
    for (const Case& c : cases) {
        standinReset();
        EXPECT_EQ(kaltra::buildRegistrationStrings(c.table, c.helpsLimit), nullptr) << c.description;
        EXPECT_EQ(kaltra::registerFunctions(c.table, c.helpsLimit), 0) << c.description;
        EXPECT_TRUE(standinRegistrations().empty()) << c.description;
        EXPECT_EQ(countCalls(xl::xlGetName), 0) << c.description;
        ASSERT_EQ(standinAlerts().size(), 1u) << c.description;
        EXPECT_EQ(standinAlerts()[0].text, "Error: can't build function params!") << c.description;
        EXPECT_EQ(standinAlerts()[0].kind, 2) << c.description;
    }

    const RegistrationEntry empty[] = {{0, nullptr, nullptr}, {0, nullptr, nullptr}};
    char** list = kaltra::buildRegistrationStrings(empty, kaltra::kMaxArguments);
    ASSERT_NE(list, nullptr) << "an empty table builds an empty list";
    EXPECT_EQ(list[0], nullptr);
    kaltra::freeRegistrationStrings(list);
    standinReset();
    EXPECT_EQ(kaltra::registerFunctions(empty, kaltra::kMaxArguments), 1) << "an empty table registers nothing and succeeds";
    EXPECT_TRUE(standinRegistrations().empty());
    EXPECT_TRUE(standinAlerts().empty());
    EXPECT_EQ(standinOutstandingNames(), 0);
}

// ---- A registration Excel refuses -------------------------------------------------------

TEST_F(Registration, RefusedRegistrationStopsTheOpenAndKeepsTheEarlierOnes) {
    const int refused[] = {1, 2, 14, 33};
    for (int k : refused) {
        standinReset();
        standinFailRegistration(k);
        EXPECT_EQ(xlAutoOpen(), 0) << "refusing registration " << k;
        const auto& registered = standinRegistrations();
        ASSERT_EQ(registered.size(), static_cast<std::size_t>(k - 1)) << "refusing registration " << k;
        for (int i = 0; i < k - 1; ++i) {
            EXPECT_EQ(registered[i].texts[standin::procedure], kExpectedFunctions[i].name) << "refusing registration " << k;
        }
        EXPECT_EQ(countCalls(xl::xlfRegister), k) << "no registration after the refused one";
        ASSERT_EQ(standinAlerts().size(), 1u) << "refusing registration " << k;
        EXPECT_EQ(standinAlerts()[0].text, "Error: Failed to register the XLL!") << "refusing registration " << k;
        EXPECT_EQ(standinAlerts()[0].kind, 2);
        EXPECT_EQ(standinCallLog().back(), xl::xlcAlert) << "the open returns at once after the alert";
        EXPECT_EQ(countCalls(xl::xlFree), 1) << "refusing registration " << k << ": the file name is released";
        EXPECT_EQ(standinOutstandingNames(), 0) << "refusing registration " << k << ": the file name is released";
        EXPECT_EQ(standinMalformedCount(), 0);
    }
}

// ---- Opening again ----------------------------------------------------------------------
// (That it releases the earlier open's texts is counted in allocation_test.cpp.)

TEST_F(Registration, OpeningAgainRegistersTheSame) {
    ASSERT_EQ(xlAutoOpen(), 1);
    std::vector<standin::Registration> first = standinRegistrations();
    standinReset();
    ASSERT_EQ(xlAutoOpen(), 1);
    std::vector<standin::Registration> second = standinRegistrations();
    ASSERT_EQ(second.size(), first.size());
    for (std::size_t i = 0; i < first.size(); ++i) EXPECT_EQ(second[i].texts, first[i].texts) << "function " << i + 1;

}

// ---- The other entry points -------------------------------------------------------------

// An action as Excel may pass it: a number, or an integer when `integer` is set.
xl::XLOPER actionOper(double x, bool integer) {
    xl::XLOPER value;
    if (integer) {
        value.val.w = static_cast<short>(x);
        value.xltype = xl::xltypeInt;
    } else {
        value.val.num = x;
        value.xltype = xl::xltypeNum;
    }
    return value;
}

TEST_F(Registration, AddInManagerAsksForTheLongName) {
    struct Case {
        const char* description;
        xl::XLOPER action;
        bool title;
    };
    const Case cases[] = {
        {"action 1 as a number", actionOper(1.0, false), true}, {"action 1 as an integer", actionOper(1, true), true},
        {"action 2 as a number", actionOper(2.0, false), false}, {"action 2 as an integer", actionOper(2, true), false},
        {"action 0", actionOper(0, true), false},                {"action -1", actionOper(-1, true), false},
    };
    for (const Case& c : cases) {
        xl::XLOPER action = c.action;
        xl::LPXLOPER answer = xlAddInManagerInfo(&action);
        ASSERT_NE(answer, nullptr) << c.description;
        EXPECT_NE(answer, &kaltra::SharedResult) << c.description;
        if (c.title) {
            ASSERT_EQ(answer->xltype, xl::xltypeStr) << c.description;
            EXPECT_EQ(static_cast<unsigned char>(answer->val.str[0]), 12u) << c.description;
            EXPECT_EQ(std::string(answer->val.str + 1, 12), "Kaltra V1.00") << c.description;
            EXPECT_EQ(answer->val.str[13], '\0') << c.description << ": the title also ends in a zero";
        } else {
            ASSERT_EQ(answer->xltype, xl::xltypeErr) << c.description;
            EXPECT_EQ(answer->val.err, xl::xlerrValue) << c.description;
        }
    }
    EXPECT_EQ(countCalls(xl::xlCoerce), static_cast<int>(std::size(cases))) << "each action is coerced by Excel";
}

TEST_F(Registration, AutoRegisterAnswersValueErrorForAnyName) {
    char known[] = "\x08KaltPsat";
    char unknown[] = "\x07Nothing";
    char empty[] = "\x00";
    char* names[] = {known, unknown, empty};
    for (char* name : names) {
        xl::XLOPER text;
        text.val.str = name;
        text.xltype = xl::xltypeStr;
        xl::LPXLOPER answer = xlAutoRegister(&text);
        ASSERT_NE(answer, nullptr);
        EXPECT_NE(answer, &kaltra::SharedResult);
        EXPECT_EQ(answer->xltype, xl::xltypeErr) << name + 1;
        EXPECT_EQ(answer->val.err, xl::xlerrValue) << name + 1;
    }
    EXPECT_TRUE(standinRegistrations().empty());
}

TEST_F(Registration, AddAndRemoveShowTheTitleAndTheBuildTime) {
    struct Case {
        const char* description;
        int (*entry)();
        const char* event;
    };
    const Case cases[] = {{"xlAutoAdd", xlAutoAdd, "Loaded!"}, {"xlAutoRemove", xlAutoRemove, "Removed!"}};
    for (const Case& c : cases) {
        standinReset();
        EXPECT_EQ(c.entry(), 1) << c.description;
        ASSERT_EQ(standinAlerts().size(), 1u) << c.description;
        const standin::Alert& alert = standinAlerts()[0];
        std::regex form(std::string("Kaltra V1\\.00 ") + c.event +
                        "\nbuilt on (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 1-3][0-9] [0-9]{4} at "
                        "[0-2][0-9]:[0-5][0-9]:[0-5][0-9]");
        EXPECT_TRUE(std::regex_match(alert.text, form)) << c.description << " showed [" << alert.text << "]";
        EXPECT_EQ(alert.kind, 2) << c.description;
        EXPECT_TRUE(standinRegistrations().empty()) << c.description << " registers nothing";
        EXPECT_EQ(standinMalformedCount(), 0) << c.description;
    }
}

TEST_F(Registration, CloseDoesNothing) {
    EXPECT_EQ(xlAutoClose(), 1);
    EXPECT_TRUE(standinCallLog().empty());
}

}  // namespace
