// Deviations of the add-in's own answers from the reference tables of one fluid, and their
// statistics. The engine is called directly in internal units (degF, psia, ft3/lbm, BTU/lbm,
// BTU/(lbm degF)); the tables' SI values are converted before they are compared.
#pragma once

#include <limits>
#include <vector>

#include "fluids/fluids.h"
#include "tools/accuracy/reference_tables.h"

namespace kaltra::accuracy {

enum Quantity : int {
    // saturation, from the lowest temperature handled up to 0.95 of the critical temperature
    kSatPressure,        // saturationPressure; blends: against the nearer of the bubble and the dew pressure
    kSatPressureBubble,  // blends: saturationPressure against the bubble pressure
    kSatPressureDew,     // blends: saturationPressure against the dew pressure
    kBubbleDewSpread,    // blends: the table's own p_bubble/p_dew - 1 (not a deviation of the add-in)
    kSatLiquidDensity,   // saturationState liquid root; blends: bubble-point liquid
    kSatVaporDensity,    // saturationState vapor root; blends: dew-point vapor
    kVaporisationHeat,   // satVaporEnthalpy - satLiquidEnthalpy; blends: dew vapor - bubble liquid
    kSatLiquidEnthalpy,  // satLiquidEnthalpy(T2) - satLiquidEnthalpy(T1), every two table temperatures
                         // at least 5 K apart below 0.9 Tc, against the table's difference (at T2)
    kSurfaceTension,     // every saturated state below the critical temperature
    // single-phase states of the (T, p) grid inside the fluid's range
    kDensity,            // volumeOfTP
    kDensityUnresolved,  // states the density solver cannot resolve whatever the coefficients, left out of the rest
    kEnthalpyChange,     // h(T, p) - h(T, lowest p of the isotherm), % of the isotherm's h range
    kEntropyChange,      // the same for s
    kCpLocalLiquid,      // dh/dT along the isobar from the add-in's h, liquid states
    kCpLocalGas,         // the same, gas and supercritical states
    kCpLiquid,           // specificHeatCp (KaltCpofTP), liquid states
    kCpGas,              // specificHeatCp, gas and supercritical states
    kCp0,                // ideal-gas cp from the engine's enthalpy at vanishing density
    kViscosityLiquid,    // viscosityTP
    kViscosityGas,
    kConductivityLiquid, // conductivityTP
    kConductivityGas,
    // diagnostics behind the saturation figures (no targets; they name the reasons of misses)
    kSatPressureSlope,   // dPsat/dT of the add-in against the table's, both over the same neighbouring rows
    kSatPressureForm,    // the four-term vapor-pressure form fitted freely to the compared states
    kQuantityCount
};

// One compared state: the signed deviation in percent and where it lies (table units).
struct Deviation {
    double percent;
    double tK;
    double pPa;  // NaN for states given by temperature alone
};

// Median, 95th percentile and maximum of the absolute deviations, and the worst state.
struct Statistics {
    int count = 0;
    double median = 0.0, p95 = 0.0, max = 0.0;
    double signedMedian = 0.0;  // median of the signed deviations: a systematic offset shows here
    double worstTK = 0.0, worstPPa = 0.0;
    double highestPPa = 0.0;  // highest pressure among the states
};

// The reference tables of one fluid as read from its folder.
struct ReferenceTables {
    Table sat, single, ideal;
    bool haveSat = false, haveSingle = false, haveIdeal = false;
};

struct FluidComparison {
    std::vector<Deviation> deviations[kQuantityCount];
    int nonFinite = 0;  // states where the table has a value and the add-in answered no finite number
    // the catalogue's minPressure against the freely fitted vapor-pressure form at minTemp, %
    // (the table's curve carried to minTemp where the table starts higher)
    double minPressureAgainstForm = std::numeric_limits<double>::quiet_NaN();
    // blends: the table's temperature glide, dew minus bubble temperature at one pressure, K:
    // the largest over the compared states and at 1.01325 bar (NaN where the table does not reach it)
    double glideMaxK = std::numeric_limits<double>::quiet_NaN();
    double glideAtmosphereK = std::numeric_limits<double>::quiet_NaN();
};

// True for the fluids whose catalogue minPressure is known to differ from the table by a
// few percent: their saturation statistics leave out the lowest tenth of the range.
bool saturationWindowTrimmed(const RefrigerantRecord& record);

// True for a state whose density the solver cannot resolve, whatever the coefficients:
// - cubic form: a gas above the critical temperature whose volume root lies beyond the search
//   without phase preference (reduced volume 20000; counted from 10000 on);
// - R31: a dilute vapor whose answer passes its Newton-only solver's convergence test (within
//   1e-7 of the reduced pressure at low pressure) yet lies more than 1 % from the root: there
//   the solver keeps its starting density, the ideal-gas one over an estimate of the
//   saturated-vapor compressibility, or stops a step after it; near the critical temperature
//   that is up to nearly three times the true density.
bool beyondSolverResolution(const RefrigerantRecord& record, double t, double p);

// Compares every quantity the tables allow. The record must have its coefficient sets and,
// for the cubic form, be completed (looked up with findRefrigerant).
FluidComparison compareFluid(const RefrigerantRecord& record, const ReferenceTables& tables);

// Where the catalogue's own constants differ from the table: reasons a fit cannot follow the
// table everywhere. NaN where the table does not tell.
struct CatalogueOffsets {
    double critTempK;              // catalogue critTemp - table critical temperature, K
    double critPressurePercent;    // catalogue critPressure against the table's, %
    double minPressurePercent;     // catalogue minPressure against the table's saturation pressure at minTemp
                                   // (a mixture's on the line its curve follows), %
    double molarMassPercent;       // catalogue molarMass against the table's, %
    double minPressureFormPercent; // catalogue minPressure against the table's curve carried to minTemp, %
};
CatalogueOffsets catalogueOffsets(const RefrigerantRecord& record, const ReferenceTables& tables,
                                  const ReferenceInfo& info);

Statistics statisticsOf(const std::vector<Deviation>& deviations);

}  // namespace kaltra::accuracy
