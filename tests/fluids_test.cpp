// Catalogue transcription, lookup, unit conversions and labels.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "fluids/fluids.h"
#include "tests/fluid_sets.h"

namespace kaltra {
namespace {

// ---- Catalogue transcription -----------------------------------------------------------

// Both identities hold for every entry as published, so a failure is a typing error.
TEST(Catalogue, CriticalCompressibilityAndGasConstantAreConsistent) {
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord& r = *recordAt(index);
        const double* k = constantsOf(r);
        const double zc = k[slot::critPressure] * k[slot::critVolume] * 144.0 /
                          (778.1692623 * k[slot::gasConstant] * (k[slot::critTemp] + 459.67));
        EXPECT_NEAR(zc / k[slot::critZ], 1.0, 1e-12) << r.name;
        EXPECT_NEAR(k[slot::gasConstant] * k[slot::molarMass] / 1.985878, 1.0, 1e-6) << r.name;
    }
}

TEST(Catalogue, RangesAreOrdered) {
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord& r = *recordAt(index);
        const double* k = constantsOf(r);
        EXPECT_LT(k[slot::minTemp], k[slot::critTemp]) << r.name;
        EXPECT_LT(k[slot::critTemp], r.maxTemp) << r.name;
        EXPECT_LT(k[slot::critPressure], r.maxPressure) << r.name;
        if (!isCubicForm(r)) {
            EXPECT_GT(k[slot::minPressure], 0.0) << r.name;
            EXPECT_LT(k[slot::minPressure], k[slot::critPressure]) << r.name;
            EXPECT_LT(k[slot::minLiquidVolume], k[slot::critVolume]) << r.name;
        }
    }
    EXPECT_EQ(kCatalogue[kCatalogueSize].name, nullptr);
}

TEST(Catalogue, FormsAndCoefficientSets) {
    const char* cubic[] = {"R13b1", "R40", "R500", "R502", "R503", "R504", "R505", "R506"};
    int cubicCount = 0;
    for (int index = 1; index <= kCatalogueSize; ++index) cubicCount += isCubicForm(*recordAt(index));
    EXPECT_EQ(cubicCount, 8);
    for (const char* name : cubic) EXPECT_TRUE(isCubicForm(*recordAt(refrigerantIndex(name)))) << name;

    // Five sets are published with the catalogue; the fitted ones fill the rest. Every row
    // has its sets: the worksheet layer relies on it and never asks.
    const char* published[] = {"R11", "R22", "R134a", "R717", "R13b1"};
    for (const char* name : published)
        EXPECT_EQ(catalogueRow(*findRefrigerant(name))->sets.source, SetSource::published) << name;
    for (int index = 1; index <= kCatalogueSize; ++index)
        EXPECT_TRUE(hasCoefficientSets(*recordAt(index))) << recordAt(index)->name << " has no coefficient sets";

    // A row the fitter has not fitted yet holds zeros where its sets go, and is told apart.
    for (const char* name : {"R134a", "R13b1"}) {
        const RefrigerantRecord& r = *findRefrigerant(name);
        FluidConstants zeroed = *r.constants;
        const int first = isCubicForm(r) ? slot::cubicParams : slot::mbwrCoeffs;
        for (int i = first; i < slot::mbwrSlots; ++i) zeroed.slots[i] = 0.0;
        const RefrigerantRecord fresh{r.name, r.formula, r.longName, r.maxTemp, r.maxPressure, &zeroed};
        EXPECT_FALSE(hasCoefficientSets(fresh)) << name << " with its sets zeroed";
    }
}

// The density solver's two special paths belong to the fluids named for them: R31 (by its
// exact name) alone takes Newton steps only, para-hydrogen and helium (critical temperature at
// or below -400 degF) alone bisection only.
TEST(Catalogue, DensitySolverPathsBelongToTheirFluids) {
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord& r = *recordAt(index);
        const std::string name = r.name;
        EXPECT_EQ(isNewtonOnlyFluid(r), name == "R31") << name;
        EXPECT_EQ(isBisectionOnlyFluid(r), name == "R702" || name == "R704") << name;
    }
    const RefrigerantRecord& r31 = *findRefrigerant("R31");
    const RefrigerantRecord renamed{"r31", r31.formula, r31.longName, r31.maxTemp, r31.maxPressure, r31.constants};
    EXPECT_FALSE(isNewtonOnlyFluid(renamed)) << "the name is compared exactly";
}

// ---- Lookup -----------------------------------------------------------------------------

TEST(Lookup, ByNameFormulaOrLongNameInAnyCase) {
    struct Case { const char* text; int index; };
    const Case cases[] = {
        {"R11", 1}, {"r11", 1}, {"ccl3f", 1}, {"TRICHLOROMONOFUOROMETHANE", 1},
        {"R22", 7}, {"r22", 7}, {"CHClF2", 7}, {"chlorodifluoromethane", 7},
        {"C4H10", 26}, {"R600a", 27}, {"Isobutane", 27}, {"Air", 34}, {"air", 34},
        {"R12/R152a", 20}, {"Azeotrope R-12/R-152a", 20}, {"R1270", 39}, {"CH3CCIF2", 16},
        {"TetraFlouroEthane", 15},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(refrigerantIndex(c.text), c.index) << c.text;
        const RefrigerantRecord* r = findRefrigerant(c.text);
        ASSERT_NE(r, nullptr) << c.text;
        EXPECT_EQ(r, recordAt(c.index)) << c.text;
    }
}

TEST(Lookup, NearMissesFindNothing) {
    const std::string longName(256, 'R');
    const std::string overlong = std::string("R11") + std::string(300, '\0');  // text stops at R11
    const char* texts[] = {"", " R11", "R11 ", "R-11", "R 11", "Trichloromonofluoromethane",
                           "TetraFluoroEthane", "CH3CClF2", "R1", "R134", "\xBA", longName.c_str()};
    for (const char* text : texts) {
        EXPECT_EQ(refrigerantIndex(text), -1) << '"' << text << '"';
        EXPECT_EQ(findRefrigerant(text), nullptr) << '"' << text << '"';
    }
    EXPECT_EQ(refrigerantIndex(nullptr), -1);
    EXPECT_EQ(findRefrigerant(nullptr), nullptr);
    EXPECT_EQ(refrigerantIndex(overlong.c_str()), 1);
    // Texts of the longest length Excel passes are compared whole; longer ones never match.
    const std::string text(255, 'a'), longer(10000, 'a');
    EXPECT_TRUE(sameText(text.c_str(), text.c_str()));
    EXPECT_FALSE(sameText(longer.c_str(), longer.c_str()));
    EXPECT_FALSE(sameText(nullptr, "R11"));
}

// The lookup as a walk through the catalogue in order, comparing each record's name, formula
// and long name with the whole text: the reference the indexed lookup must agree with.
int walkIndex(const char* text) {
    if (text == nullptr) return -1;
    for (int i = 0; i < kCatalogueSize; ++i) {
        const RefrigerantRecord& record = kCatalogue[i];
        if (record.name == nullptr) break;
        if (sameText(text, record.name) || sameText(text, record.formula) || sameText(text, record.longName))
            return i + 1;
    }
    return -1;
}

std::string withCase(const std::string& text, bool upper) {
    std::string out = text;
    for (char& c : out) c = static_cast<char>(upper ? std::toupper(static_cast<unsigned char>(c))
                                                    : std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Every letter-case combination of a text with at most 10 letters; for longer texts the
// text as stored, lower and upper case, and two alternating patterns.
std::vector<std::string> letterCases(const std::string& text) {
    std::vector<int> letters;
    for (int i = 0; i < static_cast<int>(text.size()); ++i)
        if (std::isalpha(static_cast<unsigned char>(text[i]))) letters.push_back(i);
    std::vector<std::string> cases = {text, withCase(text, false), withCase(text, true)};
    if (letters.size() <= 10) {
        for (unsigned mask = 0; mask < (1u << letters.size()); ++mask) {
            std::string variant = text;
            for (std::size_t j = 0; j < letters.size(); ++j) {
                const unsigned char c = static_cast<unsigned char>(variant[letters[j]]);
                variant[letters[j]] = static_cast<char>((mask >> j) & 1 ? std::toupper(c) : std::tolower(c));
            }
            cases.push_back(variant);
        }
    } else {
        for (int phase : {0, 1}) {
            std::string variant = text;
            for (std::size_t j = 0; j < letters.size(); ++j) {
                const unsigned char c = static_cast<unsigned char>(variant[letters[j]]);
                variant[letters[j]] = static_cast<char>((j + phase) % 2 ? std::toupper(c) : std::tolower(c));
            }
            cases.push_back(variant);
        }
    }
    return cases;
}

// Texts near one key: every prefix and suffix, blanks before, after and inside, another byte
// appended, a high byte in place of a letter, the key repeated.
std::vector<std::string> nearTexts(const std::string& key) {
    std::vector<std::string> texts;
    for (std::size_t n = 0; n < key.size(); ++n) {
        texts.push_back(key.substr(0, n));
        texts.push_back(key.substr(key.size() - n));
    }
    texts.push_back(" " + key);
    texts.push_back(key + " ");
    texts.push_back("\t" + key);
    for (std::size_t i = 1; i < key.size(); ++i) texts.push_back(key.substr(0, i) + " " + key.substr(i));
    texts.push_back(key + "a");
    texts.push_back(key + "\xba");
    texts.push_back(key + key);
    std::string high = key;
    high[0] = '\xba';
    texts.push_back(high);
    return texts;
}

void expectSameAsWalk(const char* text, const std::string& what) {
    const int walked = walkIndex(text);
    EXPECT_EQ(refrigerantIndex(text), walked) << what;
    EXPECT_EQ(findRefrigerant(text), walked < 0 ? nullptr : recordAt(walked)) << what;
}

// The indexed lookup finds, for every text, the record the walk in catalogue order finds:
// every key of every record in its letter cases, texts near each key, texts shared by
// several records or twice by one, and texts that find nothing.
TEST(Lookup, IndexAgreesWithTheWalkInCatalogueOrder) {
    int keys = 0, found = 0;
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord& r = *recordAt(index);
        for (const char* key : {r.name, r.formula, r.longName}) {
            ++keys;
            for (const std::string& text : letterCases(key)) {
                expectSameAsWalk(text.c_str(), std::string(r.name) + " key \"" + key + "\" as \"" + text + "\"");
                found += walkIndex(text.c_str()) > 0;
            }
            for (const std::string& text : nearTexts(key))
                expectSameAsWalk(text.c_str(), std::string(r.name) + " key \"" + key + "\" near: \"" + text + "\"");
        }
    }
    EXPECT_EQ(keys, 3 * kCatalogueSize);
    EXPECT_GT(found, 3 * kCatalogueSize) << "every key in every case finds its record";

    // Shared texts find the first record that has them.
    EXPECT_EQ(refrigerantIndex("c4h10"), 26);
    EXPECT_EQ(refrigerantIndex("AIR"), 34);

    // Empty, null, blanks, unknown and over-long texts; a text stops at its first zero byte.
    const std::string texts[] = {"", " ", "  ", "R", "r", "RR11", "R1 1", "Azeotrope", std::string(255, 'R'),
                                 std::string(256, 'R'), std::string(10000, 'x'), "R11" + std::string(300, 'x'),
                                 std::string(254, ' ') + "R11"};
    for (const std::string& text : texts) expectSameAsWalk(text.c_str(), "text of " + std::to_string(text.size()) + " bytes");
    const char withZero[] = "R22\0R11";
    expectSameAsWalk(withZero, "R22 followed by a zero byte");
    EXPECT_EQ(refrigerantIndex(withZero), 7);
    expectSameAsWalk(nullptr, "null");
}

TEST(Lookup, RecordAtBounds) {
    EXPECT_EQ(recordAt(0), nullptr);
    EXPECT_EQ(recordAt(kCatalogueSize + 1), nullptr);
    EXPECT_EQ(recordAt(-1), nullptr);
    ASSERT_NE(recordAt(kCatalogueSize), nullptr);
    EXPECT_EQ(recordAt(kCatalogueSize), &kCatalogue[kCatalogueSize - 1]);
    const RefrigerantRecord* r1270 = recordAt(39);
    ASSERT_NE(r1270, nullptr);
    EXPECT_STREQ(r1270->name, "R1270");
    EXPECT_STREQ(r1270->formula, "CH3CH=CH2");
    EXPECT_STREQ(r1270->longName, "Propylene");
    EXPECT_STREQ(recordAt(1)->name, "R11");
}

// ---- Today's refrigerants (records 40 to 54) ----------------------------------------------

using test::kNewRecords;
using test::NewRecord;

std::string upperCase(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Each new record has its texts exactly as written and is found by each of them in any letter
// case, at its own index after the 39 original fluids.
TEST(Lookup, TodaysRefrigerantsByNameFormulaAndLongName) {
    ASSERT_GE(kCatalogueSize, 54) << "today's refrigerants are records 40 to 54";
    for (const NewRecord& c : kNewRecords) {
        const RefrigerantRecord* r = recordAt(c.index);
        ASSERT_NE(r, nullptr) << "index " << c.index;
        EXPECT_STREQ(r->name, c.name) << "index " << c.index;
        EXPECT_STREQ(r->formula, c.formula) << c.name;
        EXPECT_STREQ(r->longName, c.longName) << c.name;
        for (const char* text : {c.name, c.formula, c.longName}) {
            for (const std::string& typed : {std::string(text), upperCase(text), lowerCase(text)}) {
                EXPECT_EQ(refrigerantIndex(typed.c_str()), c.index) << '"' << typed << '"';
                EXPECT_EQ(findRefrigerant(typed.c_str()), r) << '"' << typed << '"';
            }
        }
    }
    // R1234yf and R1234ze(E) share the molecular formula, which is therefore no key of either;
    // the designations without their isomer mark find nothing.
    for (const char* text : {"C3H2F4", "R1234ze", "R1233zd", "R1336mzz", "R-32", "R 410A"})
        EXPECT_EQ(refrigerantIndex(text), -1) << '"' << text << '"';
    // the 39 original records keep their places
    EXPECT_EQ(refrigerantIndex("R1270"), 39);
    EXPECT_EQ(refrigerantIndex("R11"), 1);
}

// The constants of the new records come from their reference equations: critical temperature
// and pressure and molar mass as each reference table's info.json gives them (numbers copied
// from ../shared/reference/<fluid>/info.json), the gas constant R M = 1.985878, all in the MBWR
// form.
TEST(Catalogue, TodaysRefrigerantsCarryTheirReferenceEquationsConstants) {
    struct Reference {
        const char* name;
        double tcK, pcPa, molarMass;
    };
    const Reference references[] = {
        {"R32", 351.255000449432, 5782645.09394969, 52.024},
        {"R125", 339.177282456105, 3618276.05561973, 120.0214},
        {"R143a", 345.857000867862, 3761818.27139498, 84.041},
        {"R123", 456.83002581313, 3661805.26943581, 152.931},
        {"R1234yf", 367.849999999948, 3384373.69556611, 114.0416},
        {"R1234ze(E)", 382.513002604652, 3634870.52106208, 114.0415928},
        {"R1233zd(E)", 438.860000000042, 3582752.88964912, 130.4962},
        {"R1336mzz(Z)", 444.499991025337, 2903710.46987154, 164.056},
        {"R245fa", 427.009989695593, 3650995.02412812, 134.04794},
        {"R227ea", 374.90010344525, 2925248.66568018, 170.02886},
        {"R410A", 344.494, 4901200, 72.5854},
        {"R404A", 345.27, 3734800, 97.6038},
        {"R507A", 343.765, 3704900, 98.8592},
        {"R513A", 368.560676214103, 3655094.00913962, 108.426220169655},
        {"R454B", 351.430213411389, 5304109.38713053, 62.613634084436},
    };
    for (const Reference& c : references) {
        const RefrigerantRecord* r = findRefrigerant(c.name);
        ASSERT_NE(r, nullptr) << c.name;
        const double* k = constantsOf(*r);
        EXPECT_NEAR((k[slot::critTemp] + 459.67) / 1.8, c.tcK, 1e-9 * c.tcK) << c.name << " critical temperature, K";
        EXPECT_NEAR(k[slot::critPressure] * 6894.757293168361, c.pcPa, 1e-9 * c.pcPa) << c.name << " critical pressure, Pa";
        EXPECT_NEAR(k[slot::molarMass], c.molarMass, 1e-12 * c.molarMass) << c.name << " molar mass";
        EXPECT_NEAR(k[slot::gasConstant] * k[slot::molarMass], 1.985878, 1e-12) << c.name << " R M";
        EXPECT_FALSE(isCubicForm(*r)) << c.name;
        EXPECT_TRUE(hasCoefficientSets(*r)) << c.name;
        EXPECT_TRUE(catalogueRow(*r)->constants.generated) << c.name;
    }
}

// Air carries its own molar mass; its gas constant, critical volume and minLiquidVolume follow,
// so that R M, the molar volumes and the critical compressibility stay as published.
TEST(Catalogue, AirCarriesItsOwnMolarMass) {
    const double* k = constantsOf(*findRefrigerant("R729"));
    EXPECT_EQ(k[slot::molarMass], 28.9586);
    EXPECT_NEAR(k[slot::gasConstant] * k[slot::molarMass], 0.07089002514852846 * 28.0135, 1e-15);
    EXPECT_NEAR(k[slot::critVolume] * k[slot::molarMass], 0.0486593 * 28.0135, 1e-15);
    EXPECT_NEAR(k[slot::minLiquidVolume] * k[slot::molarMass], 0.0187282 * 28.0135, 1e-15);
    EXPECT_EQ(k[slot::critZ], 0.2893871059332768);
}

// ---- Unit conversions -------------------------------------------------------------------

TEST(Units, TemperatureInEveryCode) {
    struct Case { int units; double display; double fahrenheit; };
    const Case cases[] = {
        {0, 77.0, 77.0}, {1, 0.0, 32.0}, {1, 100.0, 212.0}, {2, 32.0 + 459.67, 32.0},
        {3, 0.0, -459.67}, {3, 300.0, 80.33}, {4, 25.0, 77.0}, {5, -40.0, -40.0},
        {6, 25.0, 77.0}, {7, 25.0, 77.0}, {8, 77.0, 77.0}, {12, 25.0, 77.0}, {-1, 25.0, 77.0},
        {9, 0.0, 32.0}, {10, 32.0 + 459.67, 32.0}, {11, 0.0, -459.67},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(temperatureIn(c.units, c.display), c.fahrenheit, 1e-12) << "code " << c.units;
        EXPECT_NEAR(temperatureOut(c.units, c.fahrenheit), c.display, 1e-12) << "code " << c.units;
    }
    // The arithmetic order of kelvin: x * 1.8 - 459.67, and (x + 459.67) / 1.8 back.
    EXPECT_EQ(temperatureIn(3, 0.0), -459.67);
    EXPECT_EQ(temperatureOut(3, 77.0), (77.0 + 459.67) / 1.8);
    EXPECT_EQ(temperatureOut(1, 77.0), (77.0 - 32.0) / 1.8);
}

// One display unit of each quantity in internal units, per code 0..7.
struct FactorRow { const char* quantity; double in[8]; };

TEST(Units, PressureVolumeEnthalpyEntropyFactors) {
    const FactorRow rows[] = {
        {"pressure", {1, 14.50377377, 1, 145.0377377, 0.1450377377, 14.50377377, 14.22334331, 0.01422334331}},
        {"volume", {1, 16.01846353, 1, 16.01846353, 16.01846353, 16.01846353, 16.01846353, 0.01601846353}},
        {"enthalpy", {1, 1 / 2.326, 1, 1 / 2.326, 1 / 2.326, 1, 1, 1}},
        {"entropy", {1, 1 / 4.1868, 1, 1 / 4.1868, 1 / 4.1868, 1, 1, 1}},
    };
    double (*in[])(int, double) = {pressureIn, volumeIn, enthalpyIn, entropyIn};
    double (*out[])(int, double) = {pressureOut, volumeOut, enthalpyOut, entropyOut};
    for (int q = 0; q < 4; ++q) {
        for (int code = -8; code < 16; ++code) {
            const double factor = rows[q].in[code & 7];
            EXPECT_NEAR(in[q](code, 1.0), factor, 1e-15 * factor) << rows[q].quantity << " code " << code;
            EXPECT_NEAR(out[q](code, factor), 1.0, 1e-15) << rows[q].quantity << " code " << code;
            EXPECT_EQ(in[q](code, 7.5), in[q](code & 7, 7.5)) << rows[q].quantity << " code " << code;
        }
    }
    // 100 BTU/lbm answers 100 in the kcal and cal systems and 232.6 in the kJ systems.
    for (int code : {5, 6, 7}) EXPECT_EQ(enthalpyOut(code, 100.0), 100.0);
    for (int code : {1, 3, 4}) EXPECT_EQ(enthalpyOut(code, 100.0), 100.0 * 2.326);
}

TEST(Units, TransportFactors) {
    struct Case { const char* quantity; double (*out)(int, double); double perInternal[8]; };
    const Case cases[] = {
        {"dynamic viscosity", viscosityOut,
         {1, 0.4133789, 1 / 3600.0, 0.0004133789, 0.4133789, 0.4133789, 0.0004133789, 0.004133789}},
        {"kinematic viscosity", kinematicViscosityOut,
         {1, 25.8064, 1 / 3600.0, 1 / 38750.078, 25.8064, 25.8064, 1 / 3.8750078, 1 / 3.8750078}},
        {"conductivity", conductivityOut,
         {1, 1.729577206, 1 / 3600.0, 1.729577206, 1.729577206, 1.729577206, 1.488163944, 0.004133788732}},
        {"surface tension", surfaceTensionOut,
         {1 / 175.126837 / 12, 1000, 1 / 175.126837, 1, 1000, 1000, 1000, 1000}},
    };
    for (const Case& c : cases)
        for (int code = -8; code < 16; ++code)
            EXPECT_NEAR(c.out(code, 1.0), c.perInternal[code & 7], 1e-15 * c.perInternal[code & 7])
                << c.quantity << " code " << code;
    // 0.02 N/m: 20 dyne/cm, 0.02 N/m, 0.02/175.126837 lbf/in and that divided by 12.
    EXPECT_EQ(surfaceTensionOut(1, 0.02), 20.0);
    EXPECT_EQ(surfaceTensionOut(3, 0.02), 0.02);
    EXPECT_EQ(surfaceTensionOut(2, 0.02), 0.02 / 175.126837);
    EXPECT_EQ(surfaceTensionOut(0, 0.02), 0.02 / 175.126837 / 12);
    EXPECT_EQ(kinematicViscosityOut(2, 7.2), 7.2 / 3600);
}

// ---- Labels ---------------------------------------------------------------------------

// Every cell of the label table, written as a reader sees it (UTF-8); the add-in hands Excel
// Windows-1252 bytes, converted here for the comparison.
std::string fromWindows1252(const char* text) {
    std::string utf8;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
        if (*c < 0x80) {
            utf8 += static_cast<char>(*c);
        } else {
            utf8 += static_cast<char>(0xC0 | (*c >> 6));
            utf8 += static_cast<char>(0x80 | (*c & 0x3F));
        }
    }
    return utf8;
}

TEST(Units, EveryLabelOfTheTable) {
    const char* const expected[kLabelRows][kLabelColumns] = {
        {"psia", "bar", "psia", "MPa", "kPa", "bar", "kg/cm²", "g/cm²", "pressure"},
        {"ºF", "ºC", "ºR", "ºK", "ºC", "ºC", "ºC", "ºC", "temperature"},
        {"ft³/lbm", "m³/kg", "ft³/lbm", "m³/kg", "m³/kg", "m³/kg", "m³/kg", "cm³/g", "spec. vol."},
        {"BTU/lbm", "kJ/kg", "BTU/lbm", "kJ/kg", "kJ/kg", "kcal/kg", "kcal/kg", "cal/g", "enthalpy"},
        {"BTU/lbm/ºF", "kJ/kg/ºC", "BTU/lbm/ºF", "kJ/kg/ºC", "kJ/kg/ºC", "kcal/kgºC", "kcal/kgºC", "cal/gºC", "entropy"},
        {"BTU/lbm/ºF", "kJ/kg/ºC", "BTU/lbm/ºF", "kJ/kg/ºC", "kJ/kg/ºC", "kcal/kgºC", "kcal/kgºC", "cal/gºC", "spec. heat"},
        {"lbm/ft-hr", "cp", "lbm/ft-sec", "Pa-s", "cp", "cp", "kg/m/s", "g/cm/s", "dyn. visc."},
        {"ft²/hr", "cs", "ft²/sec", "m²/s", "cs", "cs", "cm²/s", "cm²/s", "kin. visc."},
        {"BTU/hr/ft/ºF", "W/m/ºC", "BTU/sec/ft/ºF", "W/m/ºC", "W/m/ºC", "W/m/ºC", "kcal/m/hr/ºC", "cal/cm/s/ºC", "thml. cond."},
        {"lbf/ft", "dyne/cm", "lbf/in", "N/m", "mN/m", "dyne/cm", "dyne/cm", "dyne/cm", "surface ten."},
        {"English", "SI Common", "English Abs.", "SI Formal", "SI kPa", "Metric", "MetricFormal", "cgs", "name"},
    };
    for (int index = 0; index < kLabelRows; ++index)
        for (int units = 0; units < kLabelColumns; ++units)
            EXPECT_EQ(fromWindows1252(unitLabel(units, index)), expected[index][units]) << units << "," << index;
    // The degree mark is the masculine ordinal 0xBA, never the degree sign 0xB0.
    EXPECT_EQ(std::string(unitLabel(3, 1)), std::string("\xBAK"));
    // A unit code or index outside the table answers its last column (the quantity's name)
    // or its last row (the unit system's name).
    struct Case { int units; int index; const char* label; };
    const Case fallbacks[] = {
        {-1, 0, "pressure"}, {-1, 9, "surface ten."}, {0, 11, "English"}, {9, -1, "name"}, {1, -5, "SI Common"},
        {32767, 32767, "name"},
    };
    for (const Case& c : fallbacks) EXPECT_STREQ(unitLabel(c.units, c.index), c.label) << c.units << "," << c.index;
}

}  // namespace
}  // namespace kaltra
