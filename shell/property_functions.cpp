// The property worksheet functions: saturation, P-v-T, caloric, inverse, specific heats,
// transport and surface tension.
//
// Most of them walk one path: look the fluid up, convert each input into internal units
// and bound it to the fluid's range, call one engine operation, convert the answer back.
// Each such function is one row of the rule table below. The four functions of
// temperature and volume decide the phase themselves and are written out in full.
//
// A fluid that cannot answer (unknown name, no transport row), a non-finite input, a state at or inside a cubic fluid's co-volume and a
// non-finite engine answer all give the failure mark -999, never converted.
#include <cmath>

#include "fluids/fluids.h"
#include "shell/shell.h"
#include "thermo/counters.h"
#include "thermo/thermo.h"
#include "transport/transport.h"

namespace kaltra {
namespace {

// ---- Inputs and their limits --------------------------------------------------------------

// Record values that limit an input, in internal units.
enum class Limit {
    none,
    minTemp,            // Tmin
    critTemp,           // Tc
    maxTemp,            // Tmax
    centiMinPressure,   // 0.01 Pmin
    minPressure,        // Pmin
    critPressure,       // Pc
    maxPressure,        // Pmax
    quarterCritVolume,  // 0.25 vc
};

// Read only once the lookup has returned the record: the lookup may complete it.
//
// This function, bounded, boundInputs and answer are always compiled into the path that
// calls them: each worksheet function's path is then compiled with its own rule's limits and
// conversions fixed, instead of looking them up in the rule on every call.
[[gnu::always_inline]] inline double limitValue(const RefrigerantRecord& record, Limit limit) {
    const double* k = constantsOf(record);
    switch (limit) {
        case Limit::minTemp: return k[slot::minTemp];
        case Limit::critTemp: return k[slot::critTemp];
        case Limit::maxTemp: return record.maxTemp;
        case Limit::centiMinPressure: return 0.01 * k[slot::minPressure];
        case Limit::minPressure: return k[slot::minPressure];
        case Limit::critPressure: return k[slot::critPressure];
        case Limit::maxPressure: return record.maxPressure;
        case Limit::quarterCritVolume: return 0.25 * k[slot::critVolume];
        case Limit::none: break;
    }
    return 0.0;
}

// Upper limit first, then lower: were the lower limit above the upper, the lower would win.
[[gnu::always_inline]] inline double bounded(const RefrigerantRecord& record, double x, Limit upper, Limit lower) {
    if (upper != Limit::none) {
        const double hi = limitValue(record, upper);
        if (x > hi) x = hi;
    }
    if (lower != Limit::none) {
        const double lo = limitValue(record, lower);
        if (lo > x) x = lo;
    }
    return x;
}

using Conversion = double (*)(int units, double x);

// One physical argument: its position after the name, its conversion into internal units
// and its limits.
struct Input {
    int argument;
    Conversion in;
    Limit upper;
    Limit lower;
};

// The physical arguments of a function, in the order they are converted and bounded.
struct Inputs {
    int count;
    Input input[2];
};

// Converts and bounds the arguments in place; false when one of them is not a finite
// number (hosts other than Excel can pass NaN or infinities).
[[gnu::always_inline]] inline bool boundInputs(const RefrigerantRecord& record, const Inputs& inputs, double x[2],
                                                int units) {
    for (int i = 0; i < inputs.count; ++i) {
        const Input& input = inputs.input[i];
        double& value = x[input.argument];
        if (!std::isfinite(value)) return false;
        KALTRA_COUNT(counters::unitConversion, 1);
        value = bounded(record, input.in(units, value), input.upper, input.lower);
    }
    return true;
}

// Temperature of a saturation function: [Tmin, Tc].
constexpr Input kSaturationTemperature = {0, temperatureIn, Limit::critTemp, Limit::minTemp};
// Pressure of the saturation temperature: [Pmin, Pc].
constexpr Input kSaturationPressure = {0, pressureIn, Limit::critPressure, Limit::minPressure};
// Temperature and pressure of a single-phase state: [Tmin, Tmax] and [0.01 Pmin, Pmax].
constexpr Input kStateTemperature = {0, temperatureIn, Limit::maxTemp, Limit::minTemp};
constexpr Input kStatePressure = {1, pressureIn, Limit::maxPressure, Limit::centiMinPressure};
// Specific volume of a (T, v) state: at least a quarter of the critical volume.
constexpr Input kStateVolume = {1, volumeIn, Limit::none, Limit::quarterCritVolume};

constexpr Inputs kSaturationOfT = {1, {kSaturationTemperature}};
constexpr Inputs kSaturationOfP = {1, {kSaturationPressure}};
// Functions of (T, v): temperature, then volume.
constexpr Inputs kStateOfTV = {2, {kStateTemperature, kStateVolume}};
// Volume, compressibility, enthalpy and entropy of (T, P): pressure first, then temperature.
constexpr Inputs kPressureThenTemperature = {2, {kStatePressure, kStateTemperature}};
// Specific heats and transport of (T, P): temperature first, then pressure.
constexpr Inputs kTemperatureThenPressure = {2, {kStateTemperature, kStatePressure}};
// Inverse functions: the engine bounds the pressure itself.
constexpr Inputs kPressureAndEnthalpy = {2, {{0, pressureIn, Limit::none, Limit::none},
                                             {1, enthalpyIn, Limit::none, Limit::none}}};
constexpr Inputs kPressureAndEntropy = {2, {{0, pressureIn, Limit::none, Limit::none},
                                            {1, entropyIn, Limit::none, Limit::none}}};

// ---- What a fluid must have to answer -------------------------------------------------------

enum Needs : unsigned {
    kRecordOnly = 0,
    kTransportRow = 1,  // viscosity and conductivity scales
};

// The record of a name when that fluid can answer; null otherwise.
const RefrigerantRecord* answeringFluid(const char* name, unsigned needs) {
    KALTRA_COUNT(counters::catalogueLookup, 1);
    const RefrigerantRecord* record = findRefrigerant(name);
    if (record == nullptr) return nullptr;
    if ((needs & kTransportRow) != 0 && findTransportEntry(*record) == nullptr) return nullptr;
    return record;
}

// ---- Answers -----------------------------------------------------------------------------

xl::LPXLOPER noAnswer() { return NumberResult(kFailureMark); }

// Compressibility and other pure numbers leave the engine as they are.
double unconverted(int, double x) { return x; }

// An engine answer in the caller's units; a non-finite one is no answer.
[[gnu::always_inline]] inline xl::LPXLOPER answer(double x, Conversion out, int units) {
    KALTRA_COUNT(counters::unitConversion, 1);
    const double shown = out(units, x);
    return std::isfinite(shown) ? NumberResult(shown) : noAnswer();
}

// ---- Engine operations as the worksheet calls them ------------------------------------------

using Operation = double (*)(const RefrigerantRecord& record, double x0, double x1);

// An engine operation of one argument, called with the first bounded input.
template <double (*operation)(const RefrigerantRecord&, double)>
double ofFirst(const RefrigerantRecord& record, double x0, double) {
    return operation(record, x0);
}

// Enthalpy and entropy of (T, P) at the volume of the phase the pressure selects.
double enthalpyTP(const RefrigerantRecord& record, double t, double p) {
    return enthalpyTV(record, t, volumeOfTP(record, t, p));
}
double entropyTP(const RefrigerantRecord& record, double t, double p) {
    return entropyTV(record, t, volumeOfTP(record, t, p));
}

// ---- The rule table ------------------------------------------------------------------------

struct PropertyRule {
    Inputs inputs;
    Operation operation;  // takes the bounded inputs in argument order
    Conversion out;
    unsigned needs;
};

constexpr PropertyRule kPsat = {kSaturationOfT, ofFirst<saturatedPressure>, pressureOut, kRecordOnly};
constexpr PropertyRule kTsat = {kSaturationOfP, ofFirst<saturationTemperature>, temperatureOut, kRecordOnly};
constexpr PropertyRule kVf = {kSaturationOfT, ofFirst<saturatedLiquidVolume>, volumeOut, kRecordOnly};
constexpr PropertyRule kVg = {kSaturationOfT, ofFirst<saturatedVaporVolume>, volumeOut, kRecordOnly};
constexpr PropertyRule kVofTP = {kPressureThenTemperature, volumeOfTP, volumeOut, kRecordOnly};
constexpr PropertyRule kZofTP = {kPressureThenTemperature, zOfTP, unconverted, kRecordOnly};
constexpr PropertyRule kHf = {kSaturationOfT, ofFirst<satLiquidEnthalpy>, enthalpyOut, kRecordOnly};
constexpr PropertyRule kHg = {kSaturationOfT, ofFirst<satVaporEnthalpy>, enthalpyOut, kRecordOnly};
constexpr PropertyRule kHofTP = {kPressureThenTemperature, enthalpyTP, enthalpyOut, kRecordOnly};
constexpr PropertyRule kSf = {kSaturationOfT, ofFirst<satLiquidEntropy>, entropyOut, kRecordOnly};
constexpr PropertyRule kSg = {kSaturationOfT, ofFirst<satVaporEntropy>, entropyOut, kRecordOnly};
constexpr PropertyRule kSofTP = {kPressureThenTemperature, entropyTP, entropyOut, kRecordOnly};
constexpr PropertyRule kTofPH = {kPressureAndEnthalpy, temperatureFromPH, temperatureOut, kRecordOnly};
constexpr PropertyRule kTofPS = {kPressureAndEntropy, temperatureFromPS, temperatureOut, kRecordOnly};
constexpr PropertyRule kSt = {kSaturationOfT, ofFirst<surfaceTension>, surfaceTensionOut, kRecordOnly};
// Specific heats answer in the entropy unit.
constexpr PropertyRule kCp = {kTemperatureThenPressure, specificHeatCp, entropyOut, kRecordOnly};
constexpr PropertyRule kCv = {kTemperatureThenPressure, specificHeatCv, entropyOut, kRecordOnly};
constexpr PropertyRule kMU = {kTemperatureThenPressure, viscosityTP, viscosityOut,
                               kTransportRow};
constexpr PropertyRule kNU = {kTemperatureThenPressure, kinematicViscosityTP, kinematicViscosityOut,
                               kTransportRow};
constexpr PropertyRule kTK = {kTemperatureThenPressure, conductivityTP, conductivityOut,
                               kTransportRow};

// The common path of every function in the rule table, compiled once for each rule.
template <const PropertyRule& rule>
xl::LPXLOPER evaluate(const char* name, double x0, double x1, int units) {
    const RefrigerantRecord* record = answeringFluid(name, rule.needs);
    if (record == nullptr) return noAnswer();
    double x[2] = {x0, x1};
    if (!boundInputs(*record, rule.inputs, x, units)) return noAnswer();
    return answer(rule.operation(*record, x[0], x[1]), rule.out, units);
}

// ---- States of temperature and volume ------------------------------------------------------

// A (T, v) state below the critical temperature with vf < v <= vg lies under the dome.
struct DomeTest {
    bool twoPhase;
    SaturationState saturation;
};

// A volume above the critical volume meets the vapor root first, any other the liquid root;
// the other root is solved only when the first leaves the state possibly under the dome (a
// vapor at v > vg needs no vf, a liquid at v <= vf no vg). Both roots are solved at one
// temperature one after the other, so either order leaves the same volumes and caches.
DomeTest domeTest(const RefrigerantRecord& record, double t, double v) {
    DomeTest dome = {false, {0.0, 0.0, 0.0}};
    const double* k = constantsOf(record);
    if (k[slot::critTemp] > t) {
        const SaturationRoots roots = saturationRoots(record, t);
        double vf, vg;
        if (v > k[slot::critVolume]) {
            vg = vaporRootVolume(roots);
            if (!(v <= vg)) return dome;
            vf = liquidRootVolume(roots);
        } else {
            vf = liquidRootVolume(roots);
            if (!(vf < v)) return dome;
            vg = vaporRootVolume(roots);
        }
        dome.saturation = {saturatedPressureOf(roots), vf, vg};
        dome.twoPhase = vf < v && v <= vg;
    }
    return dome;
}

// A cubic-form fluid has no state at or inside its co-volume: reduced volume vr <= b.
bool withinCoVolume(const RefrigerantRecord& record, double v) {
    if (!isCubicForm(record)) return false;
    const double* k = constantsOf(record);
    const double vr = v / k[slot::critVolume];
    const double b = k[slot::cubicParams + 1];
    return vr <= b;
}

// Lever rule: quality x = (v - vf)/(vg - vf), mixture value = f + x (g - f).
double leverRule(const SaturationState& saturation, double v, double f, double g) {
    const double x = (v - saturation.liquidVolume) / (saturation.vaporVolume - saturation.liquidVolume);
    return f + x * (g - f);
}

// Z = P v / (R T) in reduced form: Z = Zc Pr vr / Tr.
double compressibility(const RefrigerantRecord& record, double t, double p, double v) {
    const double* k = constantsOf(record);
    const double pr = p / k[slot::critPressure];
    const double vr = v / k[slot::critVolume];
    const double tr = reducedTemperature(k, t);
    return k[slot::critZ] * pr * vr / tr;
}

// ---- The four functions of temperature and volume ------------------------------------------

// A (T, v) function: its one-phase engine answer, its answer under the dome, and the
// conversion of both.
struct StateOfTVRule {
    double (*onePhase)(const RefrigerantRecord& record, double t, double v);
    double (*twoPhase)(const RefrigerantRecord& record, double t, double v, const SaturationState& saturation);
    Conversion out;
};

// Bounded (T, v); under the dome the two-phase rule, at or inside a cubic fluid's
// co-volume no answer, elsewhere the equation of state.
xl::LPXLOPER evaluateOfTV(const StateOfTVRule& rule, const char* name, double t, double v, int units) {
    const RefrigerantRecord* record = answeringFluid(name, kRecordOnly);
    double x[2] = {t, v};
    if (record == nullptr || !boundInputs(*record, kStateOfTV, x, units)) return noAnswer();
    const DomeTest dome = domeTest(*record, x[0], x[1]);
    if (dome.twoPhase) return answer(rule.twoPhase(*record, x[0], x[1], dome.saturation), rule.out, units);
    if (withinCoVolume(*record, x[1])) return noAnswer();
    return answer(rule.onePhase(*record, x[0], x[1]), rule.out, units);
}

// Under the dome the pressure is the saturation pressure, whatever the volume.
double domePressure(const RefrigerantRecord&, double, double, const SaturationState& saturation) {
    return saturation.satPressure;
}
// Z at the saturation pressure and the mixture's volume.
double domeCompressibility(const RefrigerantRecord& record, double t, double v, const SaturationState& saturation) {
    return compressibility(record, t, saturation.satPressure, v);
}
// h and s are the lever-rule mixtures of the saturated liquid and vapor at T.
double domeEnthalpy(const RefrigerantRecord& record, double t, double v, const SaturationState& saturation) {
    const double hf = enthalpyTV(record, t, saturation.liquidVolume);
    const double hg = enthalpyTV(record, t, saturation.vaporVolume);
    return leverRule(saturation, v, hf, hg);
}
double domeEntropy(const RefrigerantRecord& record, double t, double v, const SaturationState& saturation) {
    const double sf = entropyTV(record, t, saturation.liquidVolume);
    const double sg = entropyTV(record, t, saturation.vaporVolume);
    return leverRule(saturation, v, sf, sg);
}

constexpr StateOfTVRule kPofTV = {pressureOfTV, domePressure, pressureOut};
constexpr StateOfTVRule kZofTV = {zOfTV, domeCompressibility, unconverted};
constexpr StateOfTVRule kHofTV = {enthalpyTV, domeEnthalpy, enthalpyOut};
constexpr StateOfTVRule kSofTV = {entropyTV, domeEntropy, entropyOut};

}  // namespace
}  // namespace kaltra

using namespace kaltra;

// ---- Saturation and P-v-T -----------------------------------------------------------------

KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltPsat(kaltra_name name, double t, short units) {
    return evaluate<kPsat>(name, t, 0.0, units);
}
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltTsat(kaltra_name name, double p, short units) {
    return evaluate<kTsat>(name, p, 0.0, units);
}
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltVf(kaltra_name name, double t, short units) {
    return evaluate<kVf>(name, t, 0.0, units);
}
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltVg(kaltra_name name, double t, short units) {
    return evaluate<kVg>(name, t, 0.0, units);
}

KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltPofTV(kaltra_name name, double t, double v, short units) {
    return evaluateOfTV(kPofTV, name, t, v, units);
}
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltVofTP(kaltra_name name, double t, double p, short units) {
    return evaluate<kVofTP>(name, t, p, units);
}

KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltZofTV(kaltra_name name, double t, double v, short units) {
    return evaluateOfTV(kZofTV, name, t, v, units);
}
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltZofTP(kaltra_name name, double t, double p, short units) {
    return evaluate<kZofTP>(name, t, p, units);
}

// ---- Caloric --------------------------------------------------------------------------------

KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltHf(kaltra_name name, double t, short units) {
    return evaluate<kHf>(name, t, 0.0, units);
}
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltHg(kaltra_name name, double t, short units) {
    return evaluate<kHg>(name, t, 0.0, units);
}

KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltHofTV(kaltra_name name, double t, double v, short units) {
    return evaluateOfTV(kHofTV, name, t, v, units);
}
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltHofTP(kaltra_name name, double t, double p, short units) {
    return evaluate<kHofTP>(name, t, p, units);
}
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltSf(kaltra_name name, double t, short units) {
    return evaluate<kSf>(name, t, 0.0, units);
}
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltSg(kaltra_name name, double t, short units) {
    return evaluate<kSg>(name, t, 0.0, units);
}

KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltSofTV(kaltra_name name, double t, double v, short units) {
    return evaluateOfTV(kSofTV, name, t, v, units);
}
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltSofTP(kaltra_name name, double t, double p, short units) {
    return evaluate<kSofTP>(name, t, p, units);
}

// ---- Inverse and specific heats -------------------------------------------------------------

KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltTofPH(kaltra_name name, double p, double h, short units) {
    return evaluate<kTofPH>(name, p, h, units);
}
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltTofPS(kaltra_name name, double p, double s, short units) {
    return evaluate<kTofPS>(name, p, s, units);
}
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltCpofTP(kaltra_name name, double t, double p, short units) {
    return evaluate<kCp>(name, t, p, units);
}
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltCvofTP(kaltra_name name, double t, double p, short units) {
    return evaluate<kCv>(name, t, p, units);
}

// ---- Transport and surface tension ----------------------------------------------------------

KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltSt(kaltra_name name, double t, short units) {
    return evaluate<kSt>(name, t, 0.0, units);
}
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltMUofTP(kaltra_name name, double t, double p, short units) {
    return evaluate<kMU>(name, t, p, units);
}
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltNUofTP(kaltra_name name, double t, double p, short units) {
    return evaluate<kNU>(name, t, p, units);
}
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltTKofTP(kaltra_name name, double t, double p, short units) {
    return evaluate<kTK>(name, t, p, units);
}
