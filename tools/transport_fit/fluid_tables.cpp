// A fluid's reference tables as the fit sees them: every state with a transport value mapped
// onto water with the table's own density, every saturated state with a surface tension; the
// fit of the rows the tables allow, and the two kinds of estimate for the rows they do not.
#include <cmath>
#include <limits>

#include "thermo/thermo.h"
#include "tools/transport_fit/transport_fit.h"

namespace kaltra::transportfit {
namespace {

using accuracy::Table;
using accuracy::columnIndex;
using accuracy::valueAt;

constexpr double kGramsPerKilogram = 1000.0;  // g/mol per kg/mol
// Exponents of the corresponding-states reducing groups (dilute-gas kinetic theory):
// viscosity M^(1/2) Pc^(2/3) Tc^(-1/6), conductivity M^(-1/2) Pc^(2/3) Tc^(1/6), surface
// tension Pc^(2/3) (k Tc)^(1/3).
constexpr double kHalf = 0.5;
constexpr double kTwoThirds = 2.0 / 3.0;
constexpr double kOneSixth = 1.0 / 6.0;
constexpr double kOneThird = 1.0 / 3.0;
// The acentric factor's reduced temperature.
constexpr double kAcentricReducedTemp = 0.7;
// The extended scaled equation of surface tension: Boltzmann's and Avogadro's constants,
// its two constants in omega, its exponent and the factors of its two correction terms.
constexpr double kBoltzmann = 1.380649e-23;  // J/K
constexpr double kAvogadro = 6.02214076e23;  // 1/mol
constexpr double kScaledA = 4.35;
constexpr double kScaledB = 4.14;
constexpr double kScaledExponent = 1.26;
constexpr double kScaledSecond = 0.19;
constexpr double kScaledThird = -0.25;

// The record the corresponding-states mapping reads: only critTemp and critVolume matter.
struct MappedFluid {
    FluidConstants constants{};
    RefrigerantRecord record{};
    MappedFluid(double critTemp, double critVolume) {
        constants.slots[slot::critTemp] = critTemp;
        constants.slots[slot::critVolume] = critVolume;
        record = {"", "", "", 0.0, 0.0, &constants};
    }
};

// Water's own row of the transport table, the common divisor of every scale.
const TransportEntry& waterRow() {
    static const TransportEntry* row = findTransportEntry(*findRefrigerant("R718"));
    return *row;
}

bool isLiquidPhase(const std::string& phase) { return phase == "liquid" || phase == "supercritical_liquid"; }

// A state with a positive, finite table value becomes one sample.
void addScaleSample(std::vector<ScaleSample>& samples, double reference, double unitAnswer, bool liquid) {
    if (!(std::isfinite(reference) && reference > 0.0 && std::isfinite(unitAnswer) && unitAnswer > 0.0)) return;
    samples.push_back({reference, unitAnswer, liquid});
}

void readSaturation(const Table& sat, FluidTables& fluid) {
    const int colT = columnIndex(sat, "T");
    fluid.bubbleDew = columnIndex(sat, "p_bubble") >= 0;
    const int colP = columnIndex(sat, fluid.bubbleDew ? "p_bubble" : "p_sat");
    const int colRhoL = columnIndex(sat, "rho_liq");
    const int colRhoV = columnIndex(sat, "rho_vap");
    const int colViscL = columnIndex(sat, "visc_liq");
    const int colViscV = columnIndex(sat, "visc_vap");
    const int colCondL = columnIndex(sat, "cond_liq");
    const int colCondV = columnIndex(sat, "cond_vap");
    const int colSigma = columnIndex(sat, "surface_tension");
    for (int row = 0; row < static_cast<int>(sat.values.size()); ++row) {
        const double tK = valueAt(sat, row, colT);
        if (!std::isfinite(tK)) continue;
        fluid.saturationTK.push_back(tK);
        fluid.saturationPa.push_back(valueAt(sat, row, colP));
        const double t = temperatureIn(kSIFormal, tK);
        const double vL = volumeIn(kSIFormal, 1.0 / valueAt(sat, row, colRhoL));
        const double vV = volumeIn(kSIFormal, 1.0 / valueAt(sat, row, colRhoV));
        addScaleSample(fluid.viscosity, valueAt(sat, row, colViscL),
                       unitViscosity(fluid.critTemp, fluid.critVolume, t, vL), true);
        addScaleSample(fluid.viscosity, valueAt(sat, row, colViscV),
                       unitViscosity(fluid.critTemp, fluid.critVolume, t, vV), false);
        addScaleSample(fluid.conductivity, valueAt(sat, row, colCondL),
                       unitConductivity(fluid.critTemp, fluid.critVolume, t, vL), true);
        addScaleSample(fluid.conductivity, valueAt(sat, row, colCondV),
                       unitConductivity(fluid.critTemp, fluid.critVolume, t, vV), false);
        // tau = 1 - T/Tc with the catalogue's critical temperature
        const double tau = 1.0 - (t + kRankineOffset) / (fluid.critTemp + kRankineOffset);
        const double sigma = valueAt(sat, row, colSigma);
        if (tau > 0.0 && std::isfinite(sigma) && sigma > 0.0) fluid.tension.push_back({tau, sigma});
    }
}

void readSingle(const Table& single, FluidTables& fluid) {
    const int colT = columnIndex(single, "T");
    const int colPhase = columnIndex(single, "phase");
    const int colRho = columnIndex(single, "rho");
    const int colVisc = columnIndex(single, "visc");
    const int colCond = columnIndex(single, "cond");
    for (int row = 0; row < static_cast<int>(single.values.size()); ++row) {
        const double t = temperatureIn(kSIFormal, valueAt(single, row, colT));
        const double v = volumeIn(kSIFormal, 1.0 / valueAt(single, row, colRho));
        const bool liquid =
            colPhase >= 0 && isLiquidPhase(single.cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(colPhase)]);
        addScaleSample(fluid.viscosity, valueAt(single, row, colVisc),
                       unitViscosity(fluid.critTemp, fluid.critVolume, t, v), liquid);
        addScaleSample(fluid.conductivity, valueAt(single, row, colCond),
                       unitConductivity(fluid.critTemp, fluid.critVolume, t, v), liquid);
    }
}

}  // namespace

double critTempOfTable(const accuracy::ReferenceInfo& info) { return temperatureIn(kSIFormal, info.critTempK); }

double critVolumeOfTable(const accuracy::ReferenceInfo& info) { return volumeIn(kSIFormal, 1.0 / info.critDensity); }

double unitViscosity(double critTemp, double critVolume, double t, double v) {
    const MappedFluid fluid(critTemp, critVolume);
    const WaterState water = equivalentWaterState(fluid.record, t, v);
    return viscosityOut(kSIFormal, waterViscosity(water.tw, water.rhow) / waterRow().viscosityScale);
}

double unitConductivity(double critTemp, double critVolume, double t, double v) {
    const MappedFluid fluid(critTemp, critVolume);
    const WaterState water = equivalentWaterState(fluid.record, t, v);
    return conductivityOut(kSIFormal, waterConductivity(water.tw, water.rhow) / waterRow().conductivityScale);
}

bool readFluidTables(const std::string& folder, const std::string& name, double critTemp, double critVolume,
                     FluidTables& fluid) {
    fluid = FluidTables{};
    fluid.name = name;
    fluid.critTemp = critTemp;
    fluid.critVolume = critVolume;
    accuracy::readInfo(folder + "/info.json", fluid.info);
    Table sat, single;
    const bool haveSat = accuracy::readTable(folder + "/sat.csv", sat);
    const bool haveSingle = accuracy::readTable(folder + "/single.csv", single);
    if (haveSat) readSaturation(sat, fluid);
    if (haveSingle) readSingle(single, fluid);
    return haveSat || haveSingle;
}

bool hasViscosity(const FluidTables& fluid) { return !fluid.viscosity.empty(); }
bool hasConductivity(const FluidTables& fluid) { return !fluid.conductivity.empty(); }
bool hasTension(const FluidTables& fluid) { return !fluid.tension.empty(); }

const char* sourceText(RowSource source) {
    switch (source) {
        case kBlendOfComponents: return "estimate: mass-weighted components";
        case kCloseFluid: return "estimate: close fluid";
        case kGeneralized: return "estimate: generalized correlation";
        default: return "fitted to the table";
    }
}

FluidRows fitFluid(const FluidTables& fluid) {
    FluidRows rows;
    rows.name = fluid.name;
    if (hasViscosity(fluid)) {
        rows.rawViscosityScale = fitScale(fluid.viscosity);
        rows.viscosityScale = roundScale(rows.rawViscosityScale);
    }
    if (hasConductivity(fluid)) {
        rows.rawConductivityScale = fitScale(fluid.conductivity);
        rows.conductivityScale = roundScale(rows.rawConductivityScale);
    }
    if (hasTension(fluid)) rows.tension = fitSurfaceTension(fluid.tension);
    measureRows(fluid, rows);
    return rows;
}

void measureRows(const FluidTables& fluid, FluidRows& rows) {
    rows.viscosityLiquid = scaleSpread(fluid.viscosity, rows.viscosityScale, true);
    rows.viscosityVapor = scaleSpread(fluid.viscosity, rows.viscosityScale, false);
    rows.conductivityLiquid = scaleSpread(fluid.conductivity, rows.conductivityScale, true);
    rows.conductivityVapor = scaleSpread(fluid.conductivity, rows.conductivityScale, false);
    rows.tensionFit = tensionSpread(fluid.tension, rows.tension);
}

double blendScale(const std::vector<double>& componentScales, const std::vector<double>& massFractions) {
    double scale = 0.0;
    for (std::size_t i = 0; i < componentScales.size() && i < massFractions.size(); ++i)
        scale += massFractions[i] * componentScales[i];
    return scale;
}

std::vector<TensionSample> blendTensionSamples(const std::vector<SurfaceTensionEntry>& componentRows,
                                               const std::vector<double>& massFractions,
                                               const std::vector<double>& taus) {
    std::vector<TensionSample> samples;
    for (const double tau : taus) {
        if (!(tau > 0.0)) continue;
        // sigma = sum w_i sigma_i(tau): each component at the same distance from its critical point
        double sigma = 0.0;
        for (std::size_t i = 0; i < componentRows.size() && i < massFractions.size(); ++i)
            sigma += massFractions[i] * surfaceTensionSeries(componentRows[i], tau);
        if (sigma > 0.0) samples.push_back({tau, sigma});
    }
    return samples;
}

CriticalGroup criticalGroupOf(const accuracy::ReferenceInfo& info) {
    return {info.molarMass * kGramsPerKilogram, info.critPressurePa, info.critTempK};
}

// eta* = M^(1/2) Pc^(2/3) Tc^(-1/6)
double viscosityGroup(const CriticalGroup& g) {
    return std::pow(g.molarMass, kHalf) * std::pow(g.critPressurePa, kTwoThirds) * std::pow(g.critTempK, -kOneSixth);
}

// lambda* = M^(-1/2) Pc^(2/3) Tc^(1/6)
double conductivityGroup(const CriticalGroup& g) {
    return std::pow(g.molarMass, -kHalf) * std::pow(g.critPressurePa, kTwoThirds) * std::pow(g.critTempK, kOneSixth);
}

// sigma* = Pc^(2/3) Tc^(1/3)
double tensionGroup(const CriticalGroup& g) {
    return std::pow(g.critPressurePa, kTwoThirds) * std::pow(g.critTempK, kOneThird);
}

double acentricFactorOf(const FluidTables& fluid) {
    const double tK = kAcentricReducedTemp * fluid.info.critTempK;
    const std::vector<double>& t = fluid.saturationTK;
    const std::vector<double>& p = fluid.saturationPa;
    for (std::size_t i = 0; i + 1 < t.size() && i + 1 < p.size(); ++i) {
        if (!(t[i] <= tK && tK <= t[i + 1]) || !(p[i] > 0.0 && p[i + 1] > 0.0)) continue;
        // ln P linear in 1/T between the two rows
        const double a = (1.0 / tK - 1.0 / t[i]) / (1.0 / t[i + 1] - 1.0 / t[i]);
        const double lnP = std::log(p[i]) + a * (std::log(p[i + 1]) - std::log(p[i]));
        // omega = -log10(Psat(0.7 Tc)/Pc) - 1
        return -std::log10(std::exp(lnP) / fluid.info.critPressurePa) - 1.0;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

SurfaceTensionEntry generalizedTension(double critTempK, double critMolarVolume, double omega) {
    // c = k Tc (NA/Vc)^(2/3) (4.35 + 4.14 omega)
    const double c = kBoltzmann * critTempK * std::pow(kAvogadro / critMolarVolume, kTwoThirds) *
                     (kScaledA + kScaledB * omega);
    // c tau^1.26 (1 + 0.19 tau^0.5 - 0.25 tau) term by term
    return {roundSignificant(c, kRoundedDigits),
            kScaledExponent,
            roundSignificant(kScaledSecond * c, kRoundedDigits),
            kScaledExponent + 0.5,
            roundSignificant(kScaledThird * c, kRoundedDigits),
            kScaledExponent + 1.0};
}

}  // namespace kaltra::transportfit
