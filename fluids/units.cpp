// The eight unit systems: conversions between display units and internal units (degF,
// psia, ft3/lbm, BTU/lbm, BTU/(lbm degF), lbm/(ft hr), ft2/hr, BTU/(hr ft degF), N/m), and
// the label table. Each conversion is the arithmetic in the order written; the order
// matters for bit-exact answers.
#include "fluids/fluids.h"

namespace kaltra {
namespace {

constexpr double kRankine = 459.67;           // degF of absolute zero, negated
constexpr double kFahrenheitPerKelvin = 1.8;
constexpr double kFreezingF = 32.0;

constexpr double kPsiaPerBar = 14.50377377;
constexpr double kPsiaPerMPa = 145.0377377;
constexpr double kPsiaPerKPa = 0.1450377377;
constexpr double kPsiaPerKgfCm2 = 14.22334331;
constexpr double kPsiaPerGfCm2 = 0.01422334331;

constexpr double kFt3LbmPerM3Kg = kKgM3PerLbmFt3Units;
constexpr double kFt3LbmPerCm3G = 0.01601846353;  // the unit table's, written as a thousandth of the above

constexpr double kKJKgPerBtuLbm = 2.326;
constexpr double kKJKgCPerBtuLbmF = 4.1868;

constexpr double kSecondsPerHour = 3600.0;
constexpr double kCentipoisePerLbmFtHr = 0.4133789;
constexpr double kPaSPerLbmFtHr = 0.0004133789;
constexpr double kPoisePerLbmFtHr = 0.004133789;
constexpr double kCentistokesPerFt2Hr = 25.8064;
constexpr double kFt2HrPerM2S = 38750.078;
constexpr double kFt2HrPerCm2S = 3.8750078;
constexpr double kWmCPerBtuHrFtF = 1.729577206;
constexpr double kKcalMHrCPerBtuHrFtF = 1.488163944;
constexpr double kCalCmSCPerBtuHrFtF = 0.004133788732;
constexpr double kNmPerLbfIn = 175.126837;   // N/m in one lbf/in
constexpr double kInchesPerFoot = 12.0;
constexpr double kMilliPerUnit = 1000.0;

// Pressure factor of a system: display unit times factor gives psia; 0 means none.
double pressureFactor(int units) {
    switch (unitSystem(units)) {
        case kSICommon: case kMetric: return kPsiaPerBar;
        case kSIFormal: return kPsiaPerMPa;
        case kSIkPa: return kPsiaPerKPa;
        case kMetricFormal: return kPsiaPerKgfCm2;
        case kCgs: return kPsiaPerGfCm2;
        default: return 0.0;
    }
}

double volumeFactor(int units) {
    switch (unitSystem(units)) {
        case kSICommon: case kSIFormal: case kSIkPa: case kMetric: case kMetricFormal: return kFt3LbmPerM3Kg;
        case kCgs: return kFt3LbmPerCm3G;
        default: return 0.0;
    }
}

// Enthalpy and entropy are scaled only in the kJ systems; the kcal and cal systems take
// BTU/lbm and BTU/(lbm F) numbers unchanged.
bool isKiloJouleSystem(int units) {
    const int code = unitSystem(units);
    return code == kSICommon || code == kSIFormal || code == kSIkPa;
}

}  // namespace

double temperatureIn(int units, double x) {
    switch (unitSystem(units)) {
        case kEnglish: return x;
        case kEnglishAbs: return x - kRankine;
        case kSIFormal: return x * kFahrenheitPerKelvin - kRankine;
        default: return x * kFahrenheitPerKelvin + kFreezingF;
    }
}

double temperatureOut(int units, double x) {
    switch (unitSystem(units)) {
        case kEnglish: return x;
        case kEnglishAbs: return x + kRankine;
        case kSIFormal: return (x + kRankine) / kFahrenheitPerKelvin;
        default: return (x - kFreezingF) / kFahrenheitPerKelvin;
    }
}

double pressureIn(int units, double x) {
    const double factor = pressureFactor(units);
    return factor == 0.0 ? x : x * factor;
}

double pressureOut(int units, double x) {
    const double factor = pressureFactor(units);
    return factor == 0.0 ? x : x / factor;
}

double volumeIn(int units, double x) {
    const double factor = volumeFactor(units);
    return factor == 0.0 ? x : x * factor;
}

double volumeOut(int units, double x) {
    const double factor = volumeFactor(units);
    return factor == 0.0 ? x : x / factor;
}

double enthalpyIn(int units, double x) { return isKiloJouleSystem(units) ? x / kKJKgPerBtuLbm : x; }
double enthalpyOut(int units, double x) { return isKiloJouleSystem(units) ? x * kKJKgPerBtuLbm : x; }
double entropyIn(int units, double x) { return isKiloJouleSystem(units) ? x / kKJKgCPerBtuLbmF : x; }
double entropyOut(int units, double x) { return isKiloJouleSystem(units) ? x * kKJKgCPerBtuLbmF : x; }

double viscosityOut(int units, double x) {
    switch (unitSystem(units)) {
        case kEnglish: return x;
        case kEnglishAbs: return x / kSecondsPerHour;
        case kSICommon: case kSIkPa: case kMetric: return x * kCentipoisePerLbmFtHr;
        case kSIFormal: case kMetricFormal: return x * kPaSPerLbmFtHr;
        default: return x * kPoisePerLbmFtHr;
    }
}

double kinematicViscosityOut(int units, double x) {
    switch (unitSystem(units)) {
        case kEnglish: return x;
        case kEnglishAbs: return x / kSecondsPerHour;
        case kSICommon: case kSIkPa: case kMetric: return x * kCentistokesPerFt2Hr;
        case kSIFormal: return x / kFt2HrPerM2S;
        default: return x / kFt2HrPerCm2S;
    }
}

double conductivityOut(int units, double x) {
    switch (unitSystem(units)) {
        case kEnglish: return x;
        case kEnglishAbs: return x / kSecondsPerHour;
        case kSICommon: case kSIFormal: case kSIkPa: case kMetric: return x * kWmCPerBtuHrFtF;
        case kMetricFormal: return x * kKcalMHrCPerBtuHrFtF;
        default: return x * kCalCmSCPerBtuHrFtF;
    }
}

double surfaceTensionOut(int units, double x) {
    switch (unitSystem(units)) {
        case kEnglish: return x / kNmPerLbfIn / kInchesPerFoot;  // lbf/ft: divided by 12, as published
        case kEnglishAbs: return x / kNmPerLbfIn;
        case kSIFormal: return x;
        default: return x * kMilliPerUnit;
    }
}

// ---------------------------------------------------------------------------------------
// Labels, as the Windows-1252 bytes handed to Excel: \xBA is the masculine ordinal used as
// the degree mark, \xB2 and \xB3 the superscripts two and three.
// ---------------------------------------------------------------------------------------
namespace {

const char* const kUnitLabels[kLabelRows][kLabelColumns] = {
    // English, SI Common, English Abs., SI Formal, SI kPa, Metric, MetricFormal, cgs, quantity
    {"psia", "bar", "psia", "MPa", "kPa", "bar", "kg/cm\xB2", "g/cm\xB2", "pressure"},
    {"\xBA" "F", "\xBA" "C", "\xBA" "R", "\xBA" "K", "\xBA" "C", "\xBA" "C", "\xBA" "C", "\xBA" "C", "temperature"},
    {"ft\xB3/lbm", "m\xB3/kg", "ft\xB3/lbm", "m\xB3/kg", "m\xB3/kg", "m\xB3/kg", "m\xB3/kg", "cm\xB3/g", "spec. vol."},
    {"BTU/lbm", "kJ/kg", "BTU/lbm", "kJ/kg", "kJ/kg", "kcal/kg", "kcal/kg", "cal/g", "enthalpy"},
    {"BTU/lbm/\xBA" "F", "kJ/kg/\xBA" "C", "BTU/lbm/\xBA" "F", "kJ/kg/\xBA" "C", "kJ/kg/\xBA" "C", "kcal/kg\xBA" "C",
     "kcal/kg\xBA" "C", "cal/g\xBA" "C", "entropy"},
    {"BTU/lbm/\xBA" "F", "kJ/kg/\xBA" "C", "BTU/lbm/\xBA" "F", "kJ/kg/\xBA" "C", "kJ/kg/\xBA" "C", "kcal/kg\xBA" "C",
     "kcal/kg\xBA" "C", "cal/g\xBA" "C", "spec. heat"},
    {"lbm/ft-hr", "cp", "lbm/ft-sec", "Pa-s", "cp", "cp", "kg/m/s", "g/cm/s", "dyn. visc."},
    {"ft\xB2/hr", "cs", "ft\xB2/sec", "m\xB2/s", "cs", "cs", "cm\xB2/s", "cm\xB2/s", "kin. visc."},
    {"BTU/hr/ft/\xBA" "F", "W/m/\xBA" "C", "BTU/sec/ft/\xBA" "F", "W/m/\xBA" "C", "W/m/\xBA" "C", "W/m/\xBA" "C",
     "kcal/m/hr/\xBA" "C", "cal/cm/s/\xBA" "C", "thml. cond."},
    {"lbf/ft", "dyne/cm", "lbf/in", "N/m", "mN/m", "dyne/cm", "dyne/cm", "dyne/cm", "surface ten."},
    {"English", "SI Common", "English Abs.", "SI Formal", "SI kPa", "Metric", "MetricFormal", "cgs", "name"},
};

}  // namespace

const char* unitLabel(int units, int index) {
    const int column = (units >= 0 && units <= kLabelColumns - 1) ? units : kLabelColumns - 1;
    const int row = (index >= 0 && index <= kLabelRows - 1) ? index : kLabelRows - 1;
    return kUnitLabels[row][column];
}

}  // namespace kaltra
