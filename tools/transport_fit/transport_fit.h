// Fitting a fluid's transport row (viscosityScale, conductivityScale) and surface-tension row
// (up to three powers of tau = 1 - T/Tc) to its reference tables, with the add-in's own
// corresponding-states mapping onto water and its own surface-tension series, and the
// estimates used where a table has no such column. Deterministic: no random numbers, no
// threads, fixed iteration counts.
//
// Everything compared is in the tables' SI units: the add-in's answers are converted with its
// own output factors (unit code 3) before they meet a table value.
#pragma once

#include <string>
#include <vector>

#include "fluids/fluids.h"
#include "tools/accuracy/reference_tables.h"
#include "transport/transport.h"

namespace kaltra::transportfit {

// ---- Statistics ---------------------------------------------------------------------------

// Median, 95th percentile (nearest rank) and maximum of the absolute deviations, percent.
struct Spread {
    int count = 0;
    double median = 0.0, p95 = 0.0, max = 0.0;
};
Spread spreadOf(const std::vector<double>& deviationsPercent);

// Median of the values (the mean of the two middle ones for an even count), NaN for none.
double medianOf(std::vector<double> values);

// ---- Viscosity and conductivity scales ------------------------------------------------------

// One table state: the table's value and the add-in's answer there for a scale of 1 (the
// add-in answers s * unitAnswer for a fluid whose scale is s).
struct ScaleSample {
    double reference;   // the table's value, SI
    double unitAnswer;  // the add-in's answer for a scale of 1, SI
    bool liquid;        // liquid side (saturated liquid, compressed or supercritical liquid)
};

// The scale rule: the median of reference/unitAnswer over every state of the table, liquid
// and vapor, saturated and single-phase. NaN without samples.
double fitScale(const std::vector<ScaleSample>& samples);

// The median ratio of one phase alone (NaN when the phase has no sample): the scale that
// phase would ask for.
double phaseMedianRatio(const std::vector<ScaleSample>& samples, bool liquid);

// A scale in the catalogue's style: four decimal places.
double roundScale(double scale);

// Deviations of scale * unitAnswer from the table over one phase, percent.
Spread scaleSpread(const std::vector<ScaleSample>& samples, double scale, bool liquid);

// ---- Surface tension ----------------------------------------------------------------------

struct TensionSample {
    double tau;    // 1 - T/Tc with the catalogue's critTemp, > 0
    double sigma;  // N/m, > 0
};

// Relative deviations of the row's series from the samples, percent.
Spread tensionSpread(const std::vector<TensionSample>& samples, const SurfaceTensionEntry& row);

// The least-squares series of exactly `terms` terms (1 to 3) in relative deviation: the
// coefficients solved for each set of exponents, the exponents searched on a grid and then
// refined by a fixed number of simplex steps. Exponents stay in [kLowestExponent,
// kHighestExponent], in rising order, at least kExponentGap apart.
SurfaceTensionEntry fitTensionSeries(const std::vector<TensionSample>& samples, int terms);
constexpr double kLowestExponent = 0.4;
constexpr double kHighestExponent = 8.0;
constexpr double kExponentGap = 0.05;

// Coefficients (N/m) of the series with fixed exponents, least squares in relative deviation;
// the row's exponents are kept, its coefficients replaced.
SurfaceTensionEntry solveTensionCoefficients(const std::vector<TensionSample>& samples, SurfaceTensionEntry row);

// The row the tool writes: the fewest terms that follow the samples (a term is added only
// while the largest deviation is above kTensionTolerance percent, and only when it cuts that
// deviation at least in half), then rounded to kRoundedDigits significant digits (exponents
// first, coefficients solved again for the rounded exponents and rounded) when the rounded
// row's largest deviation stays within kTensionTolerance or within kRoundingAllowance
// percentage points of the unrounded row's; otherwise to kFullDigits.
SurfaceTensionEntry fitSurfaceTension(const std::vector<TensionSample>& samples);
constexpr double kTensionTolerance = 0.5;
constexpr int kRoundedDigits = 4;
constexpr int kFullDigits = 7;
constexpr double kRoundingAllowance = 0.05;

// Number of terms of a row (1 to 3: a term counts when its exponent is above 0).
int termsOf(const SurfaceTensionEntry& row);

// x rounded to `digits` significant decimal digits.
double roundSignificant(double x, int digits);

// ---- Fluids -------------------------------------------------------------------------------

// What the tool reads of one fluid: its critical constants in internal units and the states
// of its tables, mapped with the table's own density (so nothing depends on an equation of
// state of the add-in).
struct FluidTables {
    std::string name;
    accuracy::ReferenceInfo info;
    double critTemp = 0.0;    // degF
    double critVolume = 0.0;  // ft3/lbm
    std::vector<ScaleSample> viscosity, conductivity;
    std::vector<TensionSample> tension;
    std::vector<double> saturationTK;  // every temperature of sat.csv, K
    std::vector<double> saturationPa;  // its saturation (blends: bubble) pressure, Pa
    bool bubbleDew = false;            // a blend's table: bubble and dew pressures
};

// The catalogue's critical constants of a fluid from its table's info.json, converted with
// the add-in's own input factors (unit code 3: K, MPa, m3/kg).
double critTempOfTable(const accuracy::ReferenceInfo& info);    // degF
double critVolumeOfTable(const accuracy::ReferenceInfo& info);  // ft3/lbm

// Reads the folder's sat.csv, single.csv and info.json and maps every state with a value.
// critTemp and critVolume are the catalogue's (a fluid of the catalogue) or those of the
// table (critTempOfTable, critVolumeOfTable). False when the folder has no readable table.
bool readFluidTables(const std::string& folder, const std::string& name, double critTemp, double critVolume,
                     FluidTables& fluid);

// The add-in's answers for a scale of 1 at (T degF, v ft3/lbm) of a fluid with these critical
// constants, SI: water's property at the mapped state over water's own scale.
double unitViscosity(double critTemp, double critVolume, double t, double v);
double unitConductivity(double critTemp, double critVolume, double t, double v);

// Where a row's number comes from.
enum RowSource : int {
    kFittedToTable,     // the fluid's own table column
    kBlendOfComponents, // mass-weighted rows of the components
    kCloseFluid,        // a chemically close fluid, carried over by corresponding states
    kGeneralized,       // a generalized correlation from the fluid's own critical point and acentric factor
};
const char* sourceText(RowSource source);

// A fluid's fitted or estimated rows and how they follow its table.
struct FluidRows {
    std::string name;
    double viscosityScale = 0.0, conductivityScale = 0.0;  // rounded, as written
    double rawViscosityScale = 0.0, rawConductivityScale = 0.0;  // before rounding
    SurfaceTensionEntry tension{};
    RowSource viscositySource = kFittedToTable, conductivitySource = kFittedToTable, tensionSource = kFittedToTable;
    std::string estimateBasis;  // for an estimate: from which fluids, in words
    // against the table, where it has values (an estimate is checked the same way)
    Spread viscosityLiquid, viscosityVapor, conductivityLiquid, conductivityVapor, tensionFit;
};

// Fits every row that the table has a column for; estimates nothing (the sources of the
// missing columns stay kFittedToTable with zero values; hasViscosity etc. tell which).
FluidRows fitFluid(const FluidTables& fluid);
// Fills the rows' spreads against the fluid's table from their written (rounded) values.
void measureRows(const FluidTables& fluid, FluidRows& rows);
bool hasViscosity(const FluidTables& fluid);
bool hasConductivity(const FluidTables& fluid);
bool hasTension(const FluidTables& fluid);

// Blend estimate: scales as the mass-fraction average of the components' scales; the
// surface tension as the mass-fraction average of the components' rows evaluated at the
// blend's own tau (each component's series at the same distance from its critical point),
// sampled at the blend's saturation temperatures and fitted like a table column.
double blendScale(const std::vector<double>& componentScales, const std::vector<double>& massFractions);
std::vector<TensionSample> blendTensionSamples(const std::vector<SurfaceTensionEntry>& componentRows,
                                               const std::vector<double>& massFractions,
                                               const std::vector<double>& taus);

// Close-fluid estimate of the scales by corresponding states: the close fluid's scales times
// the ratio of the reducing groups, viscosity M^(1/2) Pc^(2/3) Tc^(-1/6) and conductivity
// M^(-1/2) Pc^(2/3) Tc^(1/6) (M in g/mol, Pc in Pa, Tc in K). tensionGroup, Pc^(2/3) Tc^(1/3),
// carries a close fluid's surface tension the same way; the tool only reports it, as the
// generalized correlation below does better on the fluids that have the column.
struct CriticalGroup {
    double molarMass, critPressurePa, critTempK;
};
double viscosityGroup(const CriticalGroup& g);
double conductivityGroup(const CriticalGroup& g);
double tensionGroup(const CriticalGroup& g);
CriticalGroup criticalGroupOf(const accuracy::ReferenceInfo& info);

// Acentric factor from the table's own saturation pressure: -log10(Psat(0.7 Tc)/Pc) - 1, ln P
// interpolated linearly in 1/T between the neighbouring rows. NaN when 0.7 Tc lies outside
// the table.
double acentricFactorOf(const FluidTables& fluid);

// Generalized surface tension of a pure fluid from its critical point and acentric factor,
// the extended scaled equation sigma = k Tc (NA/Vc)^(2/3) (4.35 + 4.14 omega) tau^1.26
// (1 + 0.19 tau^0.5 - 0.25 tau), written as the three-term row c tau^1.26 + 0.19 c tau^1.76
// - 0.25 c tau^2.26 with its coefficients rounded to kRoundedDigits. Vc in m3/mol.
SurfaceTensionEntry generalizedTension(double critTempK, double critMolarVolume, double omega);

}  // namespace kaltra::transportfit
