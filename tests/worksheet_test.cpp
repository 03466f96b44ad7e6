// The Excel boundary: the value record, the catalogue functions by index, the failure
// answers of the property functions, input bounds, the two-phase rule of the functions of
// temperature and volume, and the worked example of one call end to end.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fluids/fluids.h"
#include "shell/shell.h"
#include "tests/fluid_sets.h"
#include "tests/worksheet_calls.h"
#include "thermo/thermo.h"
#include "transport/transport.h"

namespace {

using namespace kaltra;

constexpr double kNoAnswer = -999.0;
constexpr short kUnitCodes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12, -1, -8};

std::string textOf(const xl::XLOPER* r) {
    if (r == nullptr || r->xltype != xl::xltypeStr || r->val.str == nullptr) return "<not a text>";
    return std::string(r->val.str + 1, static_cast<unsigned char>(r->val.str[0]));
}

// The number of a numeric record; NaN for any other kind, so that no comparison passes.
double numberOf(const xl::XLOPER* r) {
    if (r == nullptr || r->xltype != xl::xltypeNum) return std::numeric_limits<double>::quiet_NaN();
    return r->val.num;
}

bool closeTo(double got, double expected, double relative) {
    return std::fabs(got - expected) <= relative * std::fabs(expected);
}

// The 24 property functions: those of one or two numbers besides the name and unit code.
std::vector<const test::WorksheetFunction*> propertyFunctions() {
    std::vector<const test::WorksheetFunction*> functions;
    for (const test::WorksheetFunction& f : test::worksheetFunctions())
        if (f.doubles > 0) functions.push_back(&f);
    return functions;
}

xl::LPXLOPER callProperty(const test::WorksheetFunction& f, const char* name, double a, double b, short units) {
    return callTableFunction(f, {name, a, b, units, 0});
}

// ---- Value record -------------------------------------------------------------------------

TEST(ValueRecord, ConsecutiveCallsShareOneRecordAndTheLaterValueReplacesTheEarlier) {
    const xl::XLOPER* first = KaltMW("R22");
    const xl::XLOPER* second = KaltZc("R22");
    ASSERT_EQ(first, second);
    ASSERT_EQ(first, &SharedResult);
    EXPECT_EQ(second->val.num, constantsOf(*findRefrigerant("R22"))[slot::critZ]);

    const xl::XLOPER* text = KaltName(7);
    EXPECT_EQ(text, first);
    EXPECT_EQ(textOf(text), "R22");
    const xl::XLOPER* error = KaltName(0);
    EXPECT_EQ(error, first);
    EXPECT_EQ(error->xltype, xl::xltypeErr);
    const xl::XLOPER* integer = KaltIndex("R22");
    EXPECT_EQ(integer, first);
    EXPECT_EQ(integer->xltype, xl::xltypeInt);
}

TEST(ValueRecord, TextIsCopiedAsItStandsNeverReadAsAFormat) {
    char stored[] = "5%% of 100% %d %x";
    const xl::XLOPER* r = TextResult(stored);
    ASSERT_EQ(r->xltype, xl::xltypeStr);
    EXPECT_EQ(r->val.str, SharedResultText) << "a text result lives in the shared buffer";
    EXPECT_EQ(textOf(r), "5%% of 100% %d %x");
    EXPECT_EQ(static_cast<unsigned char>(SharedResultText[0]), std::strlen(stored));
    EXPECT_EQ(SharedResultText[1 + std::strlen(stored)], '\0');
    stored[0] = 'X';  // the caller's text may change; the answer must not
    EXPECT_EQ(textOf(r), "5%% of 100% %d %x");
}

TEST(ValueRecord, TextLongerThanTheCountByteHoldsIsCutAt255) {
    const std::string longText(300, 'a');
    SharedResultText[256] = 'z';
    const xl::XLOPER* r = TextResult(longText.c_str());
    EXPECT_EQ(static_cast<unsigned char>(r->val.str[0]), 255);
    EXPECT_EQ(textOf(r), std::string(255, 'a'));
    EXPECT_EQ(SharedResultText[256], '\0');
    EXPECT_EQ(textOf(TextResult("")), "");
    EXPECT_EQ(textOf(TextResult(nullptr)), "");
}

// ---- Names and indexes -------------------------------------------------------------------

// Every record's texts by its index, each leading back to that index; an index outside
// 1..kCatalogueSize answers the function's own error value.
TEST(CatalogueFunctions, NameLongNameAndFormulaByIndex) {
    for (short index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord& record = kCatalogue[index - 1];
        EXPECT_EQ(textOf(KaltName(index)), record.name) << "index " << index;
        EXPECT_EQ(textOf(KaltLongName(index)), record.longName) << "index " << index;
        EXPECT_EQ(textOf(KaltForm(index)), record.formula) << "index " << index;
        EXPECT_EQ(KaltIndex(record.name)->val.w, index) << record.name;
        EXPECT_EQ(KaltIndex(record.longName)->val.w, index) << record.longName;
    }
    using IndexFunction = xl::LPXLOPER (*)(short);
    const std::pair<IndexFunction, int> errors[] = {{KaltName, 2235}, {KaltLongName, 2242}, {KaltForm, 2249}};
    for (short index : {short{0}, static_cast<short>(kCatalogueSize + 1), short{-1}, short{32767}}) {
        for (const auto& [call, error] : errors) {
            const xl::XLOPER* r = call(index);
            EXPECT_EQ(r->xltype, xl::xltypeErr) << "index " << index;
            EXPECT_EQ(r->val.err, error) << "index " << index;
        }
    }
    // A null name finds nothing, as an unknown one does.
    EXPECT_EQ(KaltIndex(nullptr)->xltype, xl::xltypeInt);
    EXPECT_EQ(KaltIndex(nullptr)->val.w, -1);
}

// Today's refrigerants are records 40 to 54: each index names its record; the first index past
// the catalogue's end answers each function's error value, as 0 does.
TEST(CatalogueFunctions, TodaysRefrigerantsAtTheEndOfTheCatalogue) {
    EXPECT_EQ(textOf(KaltName(39)), "R1270");
    for (const test::NewRecord& c : test::kNewRecords) {
        const short index = static_cast<short>(c.index);
        EXPECT_EQ(textOf(KaltName(index)), c.name) << "index " << index;
        EXPECT_EQ(textOf(KaltForm(index)), c.formula) << "index " << index;
        EXPECT_EQ(textOf(KaltLongName(index)), c.longName) << "index " << index;
        EXPECT_EQ(KaltIndex(c.formula)->val.w, index) << c.formula;
    }
    for (short index : {short{0}, static_cast<short>(kCatalogueSize + 1)}) {
        EXPECT_EQ(KaltName(index)->val.err, 2235) << "index " << index;
        EXPECT_EQ(KaltLongName(index)->val.err, 2242) << "index " << index;
        EXPECT_EQ(KaltForm(index)->val.err, 2249) << "index " << index;
        EXPECT_EQ(KaltName(index)->xltype, xl::xltypeErr) << "index " << index;
    }
}

// Every one of the 33 functions answers each fluid whose constants the fitter derives (records
// 40 to 54, and any added after them) at a typical state, in SI Common units: a finite number
// (not -999) from every property function, at a vapor and at a liquid state, the fluid's texts
// and index from the identity functions.
TEST(EveryFunction, AnswersEveryNewFluidAtATypicalState) {
    constexpr short kUnits = 1;
    int fluids = 0;
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord& r = *recordAt(index);
        if (!catalogueRow(r)->constants.generated) continue;
        ++fluids;
        const double* k = constantsOf(r);
        // 60 % of the way from minTemp to the critical temperature, on both sides of the dome
        const double t = k[slot::minTemp] + 0.6 * (k[slot::critTemp] - k[slot::minTemp]);
        const SaturationState sat = saturationState(r, t);
        const double tu = temperatureOut(kUnits, t);
        struct State {
            const char* what;
            double p, v, h, s;
        };
        const double hf = enthalpyTV(r, t, sat.liquidVolume), hg = enthalpyTV(r, t, sat.vaporVolume);
        const double sf = entropyTV(r, t, sat.liquidVolume), sg = entropyTV(r, t, sat.vaporVolume);
        const State states[] = {
            {"vapor", 0.5 * sat.satPressure, 3.0 * sat.vaporVolume, hg + 20.0, sg + 0.02},
            {"liquid", 2.0 * sat.satPressure, sat.liquidVolume, hf - 10.0, sf - 0.02},
        };
        for (const State& st : states) {
            for (const test::WorksheetFunction& f : test::worksheetFunctions()) {
                test::Arguments x{r.name, tu, 0.0, kUnits, static_cast<short>(index)};
                const std::string what = std::string(f.name) + " of " + r.name + " (" + st.what + ")";
                const std::string name = f.name;
                if (name == "KaltTsat") x.a = pressureOut(kUnits, sat.satPressure);
                if (name == "KaltPofTV" || name == "KaltZofTV" || name == "KaltHofTV" || name == "KaltSofTV")
                    x.b = volumeOut(kUnits, st.v);
                else if (name == "KaltTofPH" || name == "KaltTofPS") {
                    x.a = pressureOut(kUnits, sat.satPressure);
                    x.b = name == "KaltTofPH" ? enthalpyOut(kUnits, st.h) : entropyOut(kUnits, st.s);
                } else if (f.doubles == 2)
                    x.b = pressureOut(kUnits, st.p);
                const xl::XLOPER* answer = callTableFunction(f, x);
                ASSERT_NE(answer, nullptr) << what;
                if (name == "KaltName" || name == "KaltLongName" || name == "KaltForm" || name == "KaltUnits") {
                    EXPECT_EQ(answer->xltype, xl::xltypeStr) << what;
                    if (name == "KaltName") {
                        EXPECT_EQ(textOf(answer), r.name) << what;
                    }
                } else if (name == "KaltIndex") {
                    EXPECT_EQ(answer->xltype, xl::xltypeInt) << what;
                    EXPECT_EQ(answer->val.w, index) << what;
                } else {
                    const double number = numberOf(answer);
                    EXPECT_TRUE(std::isfinite(number)) << what << ": " << number;
                    EXPECT_NE(number, kNoAnswer) << what;
                }
            }
        }
    }
    EXPECT_GE(fluids, 15) << "records 40 to 54";
}

// ---- Failure answers -----------------------------------------------------------------------

TEST(FailureAnswers, UnknownNameGivesMinus999UnconvertedInEveryUnitCode) {
    const char* unknown[] = {"no such fluid", "", " R22", "R 22", nullptr};
    for (const char* name : unknown) {
        for (short units : kUnitCodes) {
            const char* shown = name ? name : "(null)";
            EXPECT_EQ(numberOf(KaltTmax(name, units)), kNoAnswer) << "KaltTmax " << shown << " units " << units;
            EXPECT_EQ(numberOf(KaltPmax(name, units)), kNoAnswer) << "KaltPmax " << shown << " units " << units;
            for (const test::WorksheetFunction* f : propertyFunctions())
                EXPECT_EQ(numberOf(callProperty(*f, name, 50.0, 100.0, units)), kNoAnswer)
                    << f->name << " of \"" << shown << "\" in units " << units;
        }
        EXPECT_EQ(numberOf(KaltMW(name)), kNoAnswer);
        EXPECT_EQ(numberOf(KaltZc(name)), kNoAnswer);
    }
}

// Hosts other than Excel can pass NaN or infinities; the answer is -999, never NaN.
TEST(FailureAnswers, NonFiniteInputsGiveMinus999) {
    const double bad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()};
    const char* fluids[] = {"R134a", "R13b1", "R717"};
    for (const char* fluid : fluids)
        for (const test::WorksheetFunction* f : propertyFunctions())
            for (int position = 0; position < f->doubles; ++position)
                for (double x : bad)
                    for (short units : {0, 3}) {
                        const double a = position == 0 ? x : 50.0;
                        const double b = position == 1 ? x : 100.0;
                        EXPECT_EQ(numberOf(callProperty(*f, fluid, a, b, units)), kNoAnswer)
                            << f->name << " of " << fluid << " (" << a << ", " << b << ") units " << units;
                    }
}

// R31 has no transport row: -999 itself, not -999 scaled by a unit factor or a volume.
TEST(FailureAnswers, FluidWithoutTransportRowGivesMinus999InEveryUnitCode) {
    const RefrigerantRecord* r31 = findRefrigerant("R31");
    ASSERT_NE(r31, nullptr);
    ASSERT_EQ(findTransportEntry(*r31), nullptr);
    for (const char* name : {"KaltMUofTP", "KaltNUofTP", "KaltTKofTP"}) {
        for (short units : kUnitCodes)
            EXPECT_EQ(numberOf(callProperty(*test::worksheetFunction(name), "R31", 40.0, 100.0, units)), kNoAnswer)
                << name << " of R31 in units " << units;
    }
}

// A cubic-form state at or inside the co-volume has no pressure, enthalpy, entropy or
// compressibility: -999 itself in every unit code, not the engine's mark scaled and converted.
TEST(FailureAnswers, CubicStateWithinTheCoVolumeGivesMinus999) {
    const RefrigerantRecord* r13b1 = findRefrigerant("R13b1");
    ASSERT_NE(r13b1, nullptr);
    ASSERT_TRUE(isCubicForm(*r13b1));
    const double* k = constantsOf(*r13b1);
    const double coVolume = k[slot::cubicParams + 1] * k[slot::critVolume];
    // The co-volume itself only in units that take volumes unchanged, so it enters exactly.
    const double volumes[] = {0.25 * k[slot::critVolume], 0.9 * coVolume, 1e-9};
    using TV = xl::LPXLOPER (*)(const char*, double, double, short);
    const struct {
        const char* name;
        TV call;
    } functions[] = {
        {"KaltPofTV", KaltPofTV}, {"KaltZofTV", KaltZofTV}, {"KaltHofTV", KaltHofTV}, {"KaltSofTV", KaltSofTV}};
    for (const auto& f : functions)
        for (double t : {0.0, 200.0, 400.0})
            for (double v : volumes)
                for (short units : {0, 1, 3, 7})
                    EXPECT_EQ(numberOf(f.call("R13b1", temperatureOut(units, t), volumeOut(units, v), units)),
                              kNoAnswer)
                        << f.name << " of R13b1 at " << t << " F, " << v << " ft3/lbm, units " << units;
    for (const auto& f : functions)
        for (short units : {0, 2})
            EXPECT_EQ(numberOf(f.call("R13b1", temperatureOut(units, 200.0), coVolume, units)), kNoAnswer)
                << f.name << " of R13b1 at the co-volume " << coVolume << " ft3/lbm, units " << units;
    // Just outside the co-volume the equation of state answers again.
    for (const auto& f : functions) {
        const double got = numberOf(f.call("R13b1", 200.0, coVolume * 1.001, 0));
        EXPECT_TRUE(std::isfinite(got) && got != kNoAnswer) << f.name << " just outside the co-volume: " << got;
    }
}

// ---- Input bounds -------------------------------------------------------------------------

struct BoundCase {
    const char* what;
    double (*outside)();
    double (*edge)();
};

const RefrigerantRecord& r22() { return *findRefrigerant("R22"); }
double r22(int slotIndex) { return constantsOf(r22())[slotIndex]; }

const BoundCase kBoundCases[] = {
    {"KaltPsat above Tc answers Pc",
     [] { return numberOf(KaltPsat("R22", 900.0, 0)); }, [] { return r22(slot::critPressure); }},
    {"KaltPsat below Tmin answers at Tmin",
     [] { return numberOf(KaltPsat("R22", -1000.0, 0)); },
     [] { return numberOf(KaltPsat("R22", r22(slot::minTemp), 0)); }},
    {"KaltVf above Tc answers vc",
     [] { return numberOf(KaltVf("R22", 300.0, 0)); }, [] { return r22(slot::critVolume); }},
    {"KaltTsat above Pc answers Tc",
     [] { return numberOf(KaltTsat("R22", 5000.0, 0)); }, [] { return r22(slot::critTemp); }},
    {"KaltVofTP above Pmax computes at Pmax",
     [] { return numberOf(KaltVofTP("R22", 100.0, 1e7, 0)); },
     [] { return numberOf(KaltVofTP("R22", 100.0, r22().maxPressure, 0)); }},
    {"KaltVofTP below 0.01 Pmin computes at 0.01 Pmin",
     [] { return numberOf(KaltVofTP("R22", 100.0, 1e-12, 0)); },
     [] { return numberOf(KaltVofTP("R22", 100.0, 0.01 * r22(slot::minPressure), 0)); }},
    {"KaltVofTP above Tmax computes at Tmax",
     [] { return numberOf(KaltVofTP("R22", 1e6, 100.0, 0)); },
     [] { return numberOf(KaltVofTP("R22", r22().maxTemp, 100.0, 0)); }},
    {"KaltPofTV below 0.25 vc computes at 0.25 vc",
     [] { return numberOf(KaltPofTV("R22", 300.0, 1e-6, 0)); },
     [] { return numberOf(KaltPofTV("R22", 300.0, 0.25 * r22(slot::critVolume), 0)); }},
    {"KaltCpofTP above Tmax computes at Tmax",
     [] { return numberOf(KaltCpofTP("R22", 1e6, 100.0, 0)); },
     [] { return numberOf(KaltCpofTP("R22", r22().maxTemp, 100.0, 0)); }},
    {"KaltSt at and above Tc answers 0",
     [] { return numberOf(KaltSt("R22", 500.0, 1)); }, [] { return 0.0; }},
};

TEST(InputBounds, OutOfRangeInputsAreBoundedNotRejected) {
    for (const BoundCase& c : kBoundCases) {
        const double outside = c.outside();
        const double edge = c.edge();
        EXPECT_TRUE(std::isfinite(outside)) << c.what;
        EXPECT_EQ(outside, edge) << c.what;
    }
}

// ---- The two-phase rule of the functions of temperature and volume -------------------------

struct DomeCase {
    const char* fluid;
    double t;        // degF, below critTemp - 1
    double quality;  // vapor mass fraction
};

const DomeCase kDomeCases[] = {
    {"R134a", 40.0, 0.5}, {"R134a", 150.0, 0.05}, {"R22", -40.0, 0.9},
    {"R717", 80.0, 0.3},  {"R11", 200.0, 0.7},    {"R13b1", 0.0, 0.4},
};

// Under the dome P is the saturation pressure, h and s are the lever-rule mixtures of the
// saturated liquid and vapor values, and Z = P v / (R T) with that pressure; the equation of
// state at such a volume (between its spinodals) answers something else entirely.
TEST(TwoPhaseRule, PressureEnthalpyEntropyAndCompressibilityUnderTheDome) {
    for (const DomeCase& c : kDomeCases) {
        const RefrigerantRecord& record = *findRefrigerant(c.fluid);
        const double* k = constantsOf(record);
        const double vf = numberOf(KaltVf(c.fluid, c.t, 0));
        const double vg = numberOf(KaltVg(c.fluid, c.t, 0));
        ASSERT_LT(vf, vg) << c.fluid << " at " << c.t << " F";
        const double v = vf + c.quality * (vg - vf);
        const double psat = numberOf(KaltPsat(c.fluid, c.t, 0));
        const double hf = numberOf(KaltHf(c.fluid, c.t, 0));
        const double hg = numberOf(KaltHg(c.fluid, c.t, 0));
        const double sf = numberOf(KaltSf(c.fluid, c.t, 0));
        const double sg = numberOf(KaltSg(c.fluid, c.t, 0));
        const double h = hf + c.quality * (hg - hf);
        const double s = sf + c.quality * (sg - sf);
        // Z from P v / (R T), with the mechanical-to-thermal factor 144/778.1692623
        const double z = psat * v * kBtuPerPsiaFt3 / (k[slot::gasConstant] * (c.t + kRankineOffset));
        SCOPED_TRACE(testing::Message() << c.fluid << " at " << c.t << " F, v " << v << " ft3/lbm");
        EXPECT_EQ(numberOf(KaltPofTV(c.fluid, c.t, v, 0)), psat);
        EXPECT_TRUE(closeTo(numberOf(KaltHofTV(c.fluid, c.t, v, 0)), h, 1e-9))
            << "h got " << numberOf(KaltHofTV(c.fluid, c.t, v, 0)) << ", lever rule " << h;
        EXPECT_TRUE(closeTo(numberOf(KaltSofTV(c.fluid, c.t, v, 0)), s, 1e-9))
            << "s got " << numberOf(KaltSofTV(c.fluid, c.t, v, 0)) << ", lever rule " << s;
        EXPECT_TRUE(closeTo(numberOf(KaltZofTV(c.fluid, c.t, v, 0)), z, 1e-9))
            << "Z got " << numberOf(KaltZofTV(c.fluid, c.t, v, 0)) << ", P v / R T " << z;
        // The same state in SI units answers the same mixture.
        const double hSI = numberOf(KaltHofTV(c.fluid, temperatureOut(3, c.t), volumeOut(3, v), 3));
        EXPECT_TRUE(closeTo(hSI, h * 2.326, 1e-9)) << "h in kJ/kg got " << hSI << ", lever rule " << h * 2.326;
    }
}

// Outside the dome the functions of (T, v) are the equation of state's own answers.
TEST(TwoPhaseRule, OutsideTheDomeTheEquationOfStateAnswers) {
    struct {
        const char* fluid;
        double t, vOverVg;  // superheated vapor beyond vg, or above Tc (where vg is vc)
    } cases[] = {{"R134a", 40.0, 2.0}, {"R22", 0.0, 1.5}, {"R13b1", 0.0, 3.0}, {"R717", 300.0, 1.0}};
    for (const auto& c : cases) {
        const RefrigerantRecord& record = *findRefrigerant(c.fluid);
        const double v = c.vOverVg * numberOf(KaltVg(c.fluid, c.t, 0));
        SCOPED_TRACE(testing::Message() << c.fluid << " at " << c.t << " F, v " << v);
        EXPECT_EQ(numberOf(KaltPofTV(c.fluid, c.t, v, 0)), pressureOfTV(record, c.t, v));
        EXPECT_EQ(numberOf(KaltZofTV(c.fluid, c.t, v, 0)), zOfTV(record, c.t, v));
        EXPECT_EQ(numberOf(KaltHofTV(c.fluid, c.t, v, 0)), enthalpyTV(record, c.t, v));
        EXPECT_EQ(numberOf(KaltSofTV(c.fluid, c.t, v, 0)), entropyTV(record, c.t, v));
    }
    // At v equal to vf the state is liquid, not two-phase.
    const RefrigerantRecord& r134a = *findRefrigerant("R134a");
    const double vf = saturationState(r134a, 40.0).liquidVolume;
    EXPECT_EQ(numberOf(KaltPofTV("R134a", 40.0, vf, 0)), pressureOfTV(r134a, 40.0, vf));
}

// ---- Dilute gas ---------------------------------------------------------------------------

// A cubic-form fluid above its critical temperature at a pressure far below its critical
// pressure is an ideal gas: R40 at 200 C and 0.001 bar occupies R T/(M P) = 779 m3/kg, and
// likewise the other cubic-form fluids, with Z = 1 and h and s of that volume.
TEST(DiluteGas, CubicFluidsAboveTheCriticalTemperatureAnswerTheIdealGasVolume) {
    constexpr double kMolarGasConstant = 8.314462618;  // J/(mol K)
    struct Case {
        const char* fluid;
        double celsius, bar;
    } cases[] = {{"R40", 200.0, 0.001}, {"R13b1", 100.0, 0.001}, {"R500", 150.0, 0.0005},
                 {"R502", 120.0, 0.001}, {"R503", 50.0, 0.0002},  {"R504", 100.0, 0.001},
                 {"R505", 150.0, 0.001}, {"R506", 200.0, 0.002}};
    for (const Case& c : cases) {
        const double molarMass = numberOf(KaltMW(c.fluid)) / 1000.0;  // kg/mol
        const double ideal = kMolarGasConstant * (c.celsius + 273.15) / (c.bar * 1e5 * molarMass);
        const double v = numberOf(KaltVofTP(c.fluid, c.celsius, c.bar, 1));
        EXPECT_TRUE(closeTo(v, ideal, 1e-3)) << c.fluid << " at " << c.celsius << " C, " << c.bar << " bar: v "
                                             << v << " m3/kg, ideal gas " << ideal;
        const double z = numberOf(KaltZofTP(c.fluid, c.celsius, c.bar, 1));
        EXPECT_NEAR(z, 1.0, 1e-3) << c.fluid << " at " << c.celsius << " C, " << c.bar << " bar: Z";
        const double h = numberOf(KaltHofTP(c.fluid, c.celsius, c.bar, 1));
        const double hOfV = numberOf(KaltHofTV(c.fluid, c.celsius, v, 1));
        EXPECT_TRUE(closeTo(h, hOfV, 1e-6)) << c.fluid << " at " << c.celsius << " C, " << c.bar << " bar: h(T, P) "
                                            << h << ", h(T, v) " << hOfV;
    }
}

// ---- One call end to end ------------------------------------------------------------------

// KaltHofTP of R134a at 25 C and 10 bar: 77 F and 145.0377377 psia, a compressed liquid,
// its volume from the liquid root, its enthalpy from the Helmholtz energy, times 2.326.
TEST(WorkedExample, EnthalpyOfCompressedR134aInSICommonUnits) {
    const xl::XLOPER* r = KaltHofTP("R134a", 25.0, 10.0, 1);
    ASSERT_EQ(r->xltype, xl::xltypeNum);
    EXPECT_EQ(KaltIndex("R134a")->val.w, 15);
    const RefrigerantRecord& record = *findRefrigerant("R134a");
    const double t = temperatureIn(1, 25.0);
    const double p = pressureIn(1, 10.0);
    EXPECT_EQ(t, 77.0);
    EXPECT_EQ(p, 145.0377377);
    const SaturationState saturation = saturationState(record, t);
    ASSERT_GT(p, saturation.satPressure) << "10 bar is above the saturation pressure at 25 C";
    const double v = volumeOfTP(record, t, p);
    EXPECT_TRUE(closeTo(v, saturation.liquidVolume, 0.01))
        << "liquid volume " << v << " vs vf " << saturation.liquidVolume;
    const double expected = enthalpyTV(record, t, v) * 2.326;
    EXPECT_EQ(KaltHofTP("R134a", 25.0, 10.0, 1)->val.num, expected);
    // a little above the saturated liquid's enthalpy at 25 C
    const double hf = numberOf(KaltHf("R134a", 25.0, 1));
    EXPECT_NEAR(expected, hf, 2.0) << "compressed liquid vs saturated liquid, kJ/kg";
}

}  // namespace
