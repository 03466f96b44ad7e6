// The Excel boundary: what the add-in registers at open, its alerts, and the answers of
// its other entry points, observed through the stand-in Excel.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <regex>
#include <string>
#include <vector>

#include "host/standin_excel.h"
#include "shell/shell.h"

// ---- Live allocation count --------------------------------------------------------------
// Every allocation of the process goes through these, so a test can see whether opening
// the add-in again leaves more memory behind than the first open.
namespace {
std::atomic<long> LiveAllocations{0};

void* allocate(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (block) ++LiveAllocations;
    return block;
}
void release(void* block) {
    if (!block) return;
    --LiveAllocations;
    std::free(block);
}
}  // namespace

void* operator new(std::size_t size) {
    void* block = allocate(size);
    if (!block) throw std::bad_alloc();
    return block;
}
void* operator new[](std::size_t size) {
    void* block = allocate(size);
    if (!block) throw std::bad_alloc();
    return block;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t) noexcept { release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { release(block); }

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

const std::vector<ExpectedFunction> kExpectedFunctions = {
    {"KaltUnits", "RII", "units,index", "units/name", {"units (0-7)", "index (0-9)"}},
    {"KaltName", "RI", "index", "refrigerant name", {"index (1-38)"}},
    {"KaltLongName", "RI", "index", "refrigerant long name", {"index (1-38)"}},
    {"KaltForm", "RI", "index", "refrigerant formula", {"index (1-38)"}},
    {"KaltIndex", "RC", "name", "refrigerant index", {kName}},
    {"KaltMW", "RC", "name", "molecular weight", {kName}},
    {"KaltZc", "RC", "name", "critical compressibility", {kName}},
    {"KaltTmax", "RCI", "name,units", "maximum temperature", {kName, kUnits}},
    {"KaltPmax", "RCI", "name,units", "maximum pressure", {kName, kUnits}},
    {"KaltPsat", "RCBI", "name,temperature,units", "saturation pressure", {kName, "temperature", kUnits}},
    {"KaltTsat", "RCBI", "name,pressure,units", "saturation temperature", {kName, "pressure", kUnits}},
    {"KaltVf", "RCBI", "name,temperature,units", "specific volume of saturated liquid", {kName, "temperature", kUnits}},
    {"KaltVg", "RCBI", "name,temperature,units", "specific volume of saturated vapor", {kName, "temperature", kUnits}},
    {"KaltPofTV", "RCBBI", "name,temperature,spec. vol.,units", "pres. from temp. and spec. vol.",
     {kName, "temperature", "specific volume", kUnits}},
    {"KaltVofTP", "RCBBI", "name,temperature,pressure,units", "spec. vol. from temp. and pres.",
     {kName, "temperature", "pressure", kUnits}},
    {"KaltZofTV", "RCBBI", "name,temperature,spec. vol.,units", "comp. from temp. and spec. vol.",
     {kName, "temperature", "specific volume", kUnits}},
    {"KaltZofTP", "RCBBI", "name,temperature,pressure,units", "comp. from temp. and pres.",
     {kName, "temperature", "pressure", kUnits}},
    {"KaltHf", "RCBI", "name,temperature,units", "enthalpy of saturated liquid", {kName, "temperature", kUnits}},
    {"KaltHg", "RCBI", "name,temperature,units", "enthalpy of saturated vapor", {kName, "temperature", kUnits}},
    {"KaltHofTV", "RCBBI", "name,temperature,spec. vol.,units", "enthalpy from temp. and spec. vol.",
     {kName, "temperature", "specific volume", kUnits}},
    {"KaltHofTP", "RCBBI", "name,temperature,pressure,units", "enthalpy from temp. and pres.",
     {kName, "temperature", "pressure", kUnits}},
    {"KaltSf", "RCBI", "name,temperature,units", "entropy of saturated liquid", {kName, "temperature", kUnits}},
    {"KaltSg", "RCBI", "name,temperature,units", "entropy of saturated vapor", {kName, "temperature", kUnits}},
    {"KaltSofTV", "RCBBI", "name,temperature,spec. vol.,units", "entropy from temp. and spec. vol.",
     {kName, "temperature", "specific volume", kUnits}},
    {"KaltSofTP", "RCBBI", "name,temperature,pressure,units", "entropy from temp. and pres.",
     {kName, "temperature", "pressure", kUnits}},
    {"KaltTofPH", "RCBBI", "name,pressure,enthalpy,units", "temp. from pres. and enthalpy",
     {kName, "pressure", "enthalpy", kUnits}},
    {"KaltTofPS", "RCBBI", "name,pressure,entropy,units", "temp. from pres. and entropy",
     {kName, "pressure", "entropy", kUnits}},
    {"KaltSt", "RCBI", "name,temperature,units", "surface tension", {kName, "temperature", kUnits}},
    {"KaltCpofTP", "RCBBI", "name,temperature,pressure,units", "Cp (constant pressure specific heat) from temp. and pres.",
     {kName, "temperature", "pressure", kUnits}},
    {"KaltCvofTP", "RCBBI", "name,temperature,pressure,units", "Cv (constant volume specific heat) from temp. and pres.",
     {kName, "temperature", "pressure", kUnits}},
    {"KaltMUofTP", "RCBBI", "name,temperature,pressure,units", "mu (dynamic viscosity) from temp. and pres.",
     {kName, "temperature", "pressure", kUnits}},
    {"KaltNUofTP", "RCBBI", "name,temperature,pressure,units", "nu=mu/rho (kinematic viscosity) from temp. and pres.",
     {kName, "temperature", "pressure", kUnits}},
    {"KaltTKofTP", "RCBBI", "name,temperature,pressure,units", "thermal conductivity from temp. and pres.",
     {kName, "temperature", "pressure", kUnits}},
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

TEST_F(Registration, ArgumentCountIsTenPlusTheArgumentHelps) {
    struct Case {
        const char* name;
        std::size_t count;
    };
    const Case cases[] = {{"KaltUnits", 12}, {"KaltPsat", 13}, {"KaltPofTV", 14}, {"KaltName", 11}};
    ASSERT_EQ(xlAutoOpen(), 1);
    for (const Case& c : cases) {
        bool found = false;
        for (const auto& r : standinRegistrations()) {
            if (r.texts[standin::procedure] != c.name) continue;
            found = true;
            EXPECT_EQ(r.texts.size(), c.count) << c.name;
        }
        EXPECT_TRUE(found) << c.name << " not registered";
    }
}

TEST_F(Registration, PressureOfTemperatureAndVolumeIsRegisteredAsWorksheetFunction) {
    ASSERT_EQ(xlAutoOpen(), 1);
    const standin::Registration* pofTV = nullptr;
    for (const auto& r : standinRegistrations()) {
        if (r.texts[standin::procedure] == "KaltPofTV") pofTV = &r;
    }
    ASSERT_NE(pofTV, nullptr);
    const auto& t = pofTV->texts;
    EXPECT_EQ(t[standin::fileName], kAddinPath);
    EXPECT_EQ(t[standin::typeText], "RCBBI");
    EXPECT_EQ(t[standin::functionText], "KaltPofTV");
    EXPECT_EQ(t[standin::argumentText], "name,temperature,spec. vol.,units");
    EXPECT_EQ(t[standin::macroType], "1");
    EXPECT_EQ(t[standin::category], "Kaltra V1.00");
    EXPECT_EQ(t[standin::shortcut], "");
    EXPECT_EQ(t[standin::helpTopic], "");
    EXPECT_EQ(t[standin::functionHelp], "pres. from temp. and spec. vol.");
    std::vector<std::string> helps(t.begin() + standin::firstArgumentHelp, t.end());
    EXPECT_EQ(helps, (std::vector<std::string>{"name or formula", "temperature", "specific volume", "unit code (0-7)"}));
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

TEST_F(Registration, FunctionWithMoreThanThirtyArgumentsRegistersNothing) {
    struct Case {
        const char* description;
        int helpsLimit;
    };
    const Case cases[] = {{"64-bit rule", kaltra::kMaxArguments}, {"32-bit rule", kaltra::kMaxArgumentHelps32}};
    for (const Case& c : cases) {
        standinReset();
        WideTable table(31, true);
        EXPECT_EQ(kaltra::buildRegistrationStrings(table.rows.data(), c.helpsLimit), nullptr) << c.description;
        EXPECT_EQ(kaltra::registerFunctions(table.rows.data(), c.helpsLimit), 0) << c.description;
        EXPECT_TRUE(standinRegistrations().empty()) << c.description << ": the leading function must not be registered";
        EXPECT_EQ(countCalls(xl::xlGetName), 0) << c.description;
        ASSERT_EQ(standinAlerts().size(), 1u) << c.description;
        EXPECT_EQ(standinAlerts()[0].text, "Error: can't build function params!") << c.description;
        EXPECT_EQ(standinAlerts()[0].kind, 2) << c.description;
    }
}

TEST_F(Registration, EmptyTableRegistersNothingAndSucceeds) {
    const RegistrationEntry empty[] = {{0, nullptr, nullptr}, {0, nullptr, nullptr}};
    char** list = kaltra::buildRegistrationStrings(empty, kaltra::kMaxArguments);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list[0], nullptr);
    kaltra::freeRegistrationStrings(list);

    EXPECT_EQ(kaltra::registerFunctions(empty, kaltra::kMaxArguments), 1);
    EXPECT_TRUE(standinRegistrations().empty());
    EXPECT_TRUE(standinAlerts().empty());
    EXPECT_EQ(standinOutstandingNames(), 0);
}

TEST_F(Registration, TableThatDoesNotStartWithAFunctionCannotBeBuilt) {
    const RegistrationEntry table[] = {{'C', "name", "orphan argument"}, {0, nullptr, nullptr}, {0, nullptr, nullptr}};
    EXPECT_EQ(kaltra::registerFunctions(table, kaltra::kMaxArguments), 0);
    EXPECT_TRUE(standinRegistrations().empty());
    ASSERT_EQ(standinAlerts().size(), 1u);
    EXPECT_EQ(standinAlerts()[0].text, "Error: can't build function params!");
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
        EXPECT_EQ(standinMalformedCount(), 0);
    }
}

TEST_F(Registration, StoredMessageReadsTheSameEveryTimeItIsShown) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        standinFailRegistration(3);
        EXPECT_EQ(xlAutoOpen(), 0);
    }
    ASSERT_EQ(standinAlerts().size(), 3u);
    for (const auto& alert : standinAlerts()) EXPECT_EQ(alert.text, "Error: Failed to register the XLL!");
}

// ---- Opening again ----------------------------------------------------------------------

TEST_F(Registration, OpeningAgainRegistersTheSameAndReleasesTheEarlierTexts) {
    ASSERT_EQ(xlAutoOpen(), 1);
    std::vector<standin::Registration> first = standinRegistrations();
    standinReset();
    ASSERT_EQ(xlAutoOpen(), 1);
    std::vector<standin::Registration> second = standinRegistrations();
    ASSERT_EQ(second.size(), first.size());
    for (std::size_t i = 0; i < first.size(); ++i) EXPECT_EQ(second[i].texts, first[i].texts) << "function " << i + 1;

    // The stand-in's own records are dropped before each count, so the blocks that remain
    // between the counts are the add-in's: the texts and arrays kept from its last open.
    standinReset();
    long afterSecond = LiveAllocations.load();
    int thirdOpen = xlAutoOpen();
    standinReset();
    long afterThird = LiveAllocations.load();
    EXPECT_EQ(thirdOpen, 1);
    EXPECT_EQ(afterThird, afterSecond) << "opening again left more blocks behind than the open before";
}

// ---- The other entry points -------------------------------------------------------------

xl::XLOPER numberOper(double x) {
    xl::XLOPER value;
    value.val.num = x;
    value.xltype = xl::xltypeNum;
    return value;
}

xl::XLOPER integerOper(short n) {
    xl::XLOPER value;
    value.val.w = n;
    value.xltype = xl::xltypeInt;
    return value;
}

TEST_F(Registration, AddInManagerAsksForTheLongName) {
    struct Case {
        const char* description;
        xl::XLOPER action;
        bool title;
    };
    const Case cases[] = {
        {"action 1 as a number", numberOper(1.0), true},
        {"action 1 as an integer", integerOper(1), true},
        {"action 2 as a number", numberOper(2.0), false},
        {"action 2 as an integer", integerOper(2), false},
        {"action 0", integerOper(0), false},
        {"action -1", integerOper(-1), false},
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
