// Refrigerant data: the catalogue of fluids (one row per fluid with everything the add-in
// and its fitter know about it), their constant blocks, and the eight unit systems with their
// conversions and labels.
//
// Everything here is static data and pure functions; nothing allocates. The only write to
// catalogue data is the one-time completion of a cubic-form record at its first lookup.
#pragma once

#include <array>
#include <iterator>
#include <string_view>

namespace kaltra {

// ---------------------------------------------------------------------------------------
// Constant blocks
// ---------------------------------------------------------------------------------------

// Slots of a FluidConstants block. Slots 0-9 are common to every fluid; slot `gamma`
// selects the form of the rest: gamma > 0 the MBWR form, gamma <= 0 the cubic form.
namespace slot {
enum : int {
    critTemp = 0,         // degF
    critPressure = 1,     // psia
    critVolume = 2,       // ft3/lbm
    critZ = 3,            // critical compressibility
    minTemp = 4,          // degF, lowest temperature handled
    minPressure = 5,      // psia, saturation pressure at minTemp
    minLiquidVolume = 6,  // ft3/lbm, saturated liquid volume at minTemp
    molarMass = 7,        // lbm/lbmol
    gasConstant = 8,      // BTU/(lbm degR)
    gamma = 9,            // exponential parameter of the MBWR form; 0 for the cubic form

    // MBWR form, 50 slots
    mbwrIdealGasCoeffs = 10,        // alpha0 .. alpha6
    mbwrCoeffs = 17,                // b1 .. b29
    mbwrVaporPressureCoeffs = 46,   // A, B, C, D
    mbwrSlots = 50,

    // cubic form, 28 slots
    cubicParams = 10,               // a0, b, c0, d0, ma, mc, md
    cubicIdealGasCoeffs = 17,       // k0 .. k4
    entropyRef = 22,                // computed at the first lookup
    energyRef = 23,                 // computed at the first lookup
    cubicVaporPressureCoeffs = 24,  // A, B, C, D
    cubicSlots = 28,
};
}  // namespace slot

// A fluid's flat block of doubles, addressed by the slot names above.
struct FluidConstants {
    double slots[slot::mbwrSlots];
};

// One catalogue entry. The constants block is writable only for the completion of
// cubic-form records; everything else reads it.
struct RefrigerantRecord {
    const char* name;       // "R11"
    const char* formula;    // "CCl3F"
    const char* longName;   // "Trichloromonofuoromethane"
    double maxTemp;         // degF
    double maxPressure;     // psia
    FluidConstants* constants;
};

// ---------------------------------------------------------------------------------------
// The catalogue's rows. A row holds every fact about one fluid: its texts, its limits and
// scalar constants (or the fitter's generated ones), its coefficient sets, its transport
// scales, its surface-tension terms and what the coefficient fitter needs to know about it.
// The records, their constant blocks and every per-fluid table are made from the rows, in
// row order; adding a fluid is adding its row (and, for a fitted fluid, a refit).
// ---------------------------------------------------------------------------------------

// maxTemp and maxPressure, then the ten scalar constants of slots 0-9: as published, or
// derived by the coefficient fitter from the fluid's reference tables (generated).
struct CatalogueConstants {
    double maxTemp;       // degF
    double maxPressure;   // psia
    double scalars[10];   // critTemp .. gamma
    bool generated = false;
};

// The constants tools/fit derives for a fluid and writes into fluids/fitted_coefficients.h:
// maxTemp, maxPressure, then critTemp .. gamma.
constexpr CatalogueConstants generatedConstants(const double (&values)[12]) {
    CatalogueConstants c{values[0], values[1], {}, true};
    for (int i = 0; i < 10; ++i) c.scalars[i] = values[2 + i];
    return c;
}

// Where a fluid's coefficient sets (slots 10 on) come from: published with the catalogue, or
// fitted to reference tables by tools/fit and generated into fluids/fitted_coefficients.h.
enum class SetSource { published, fitted };
struct CoefficientSets {
    const double* values;
    int count;  // 40 (MBWR form) or 18 (cubic form)
    SetSource source;
};

// Scales of the corresponding-states transport method (viscosity and conductivity relative
// to water's own). A fluid without them answers -999 for viscosity and conductivity.
struct TransportEntry {
    double viscosityScale;
    double conductivityScale;
    bool present = true;
};
inline constexpr TransportEntry kNoTransportRow{0.0, 0.0, false};

// Surface tension of the saturated liquid, sigma = sum coeff_k tau^exp_k in N/m with
// tau = 1 - T/Tc in absolute temperatures; a term with exponent 0 is absent.
struct SurfaceTensionEntry {
    double coeff1, exp1, coeff2, exp2, coeff3, exp3;
};

// Which saturation pressure of a table the fitted vapor-pressure equation follows: a pure
// fluid's one pressure, or for a mixture treated as one fluid its dew pressure or the
// geometric mean of its bubble and dew pressures.
enum class SaturationLine { pure, dew, bubbleDewMean };

// What the coefficient fitter needs to know about a fluid besides its record.
struct FitFacts {
    double classicalCp0;  // cp0/R of the fully excited ideal gas (translation, rotation, vibration)
    bool monatomic;       // cp0 = 5/2 R exactly
    SaturationLine line;
    // The fit follows the saturated liquid's enthalpy along the saturation line too, and is
    // judged by it (the sets fitted since that target: water and fluids 40-54).
    bool liquidEnthalpy;
};

struct FluidRow {
    const char* name;
    const char* formula;
    const char* longName;
    CatalogueConstants constants;
    CoefficientSets sets;
    TransportEntry transport;
    SurfaceTensionEntry surfaceTension;
    FitFacts fit;
};

template <int N>
constexpr CoefficientSets published(const double (&values)[N]) { return {values, N, SetSource::published}; }
template <int N>
constexpr CoefficientSets fitted(const double (&values)[N]) { return {values, N, SetSource::fitted}; }

}  // namespace kaltra

#include "fluids/catalogue_rows.h"  // kFluidRows, the catalogue in order

namespace kaltra {

constexpr int kCatalogueSize = static_cast<int>(std::size(kFluidRows));

// 0-based position of the row named `name` (compared exactly), or -1.
constexpr int rowPosition(std::string_view name) {
    for (int i = 0; i < kCatalogueSize; ++i)
        if (name == kFluidRows[i].name) return i;
    return -1;
}

// The catalogue in order, a record per row and a terminating record with null texts.
extern const std::array<RefrigerantRecord, kCatalogueSize + 1> kCatalogue;

// First record whose name, formula or long name equals the text (ASCII case ignored), or
// null. A cubic-form record is completed (reference state) before it is first returned.
// A null text, or one longer than 255 bytes, finds nothing. Found through an index of all
// the catalogue's texts built at the first lookup: the same small cost for every fluid.
const RefrigerantRecord* findRefrigerant(const char* text);

// 1-based index of the record findRefrigerant would return, or -1; never completes.
int refrigerantIndex(const char* text);

// Record at a 1-based index (1..kCatalogueSize), or null.
const RefrigerantRecord* recordAt(int index);

// 0-based position of a record in the catalogue, or -1 for a record that is not one of its
// entries (a copy, or a record of a test).
int cataloguePosition(const RefrigerantRecord& record);

// The row a catalogue record was made from, or null for a record that is not one of the
// catalogue's entries.
const FluidRow* catalogueRow(const RefrigerantRecord& record);

// Whole-text comparison with ASCII letters matched regardless of case.
bool sameText(const char* a, const char* b);

// Completes a cubic-form record: minPressure, minLiquidVolume, entropyRef, energyRef.
// Defined by the thermodynamic engine; findRefrigerant calls it at the first lookup.
void establishReferenceState(const RefrigerantRecord& record);

inline const double* constantsOf(const RefrigerantRecord& record) { return record.constants->slots; }
inline bool isCubicForm(const RefrigerantRecord& record) { return record.constants->slots[slot::gamma] <= 0.0; }

// True when the fluid's coefficient sets are filled in (not all zero). Every catalogue row
// has its sets, and a test holds the catalogue to that, so the worksheet layer never asks;
// the coefficient fitter asks, to tell a row it has fitted from a new one it has not.
bool hasCoefficientSets(const RefrigerantRecord& record);

// Vapor-pressure coefficients A, B, C, D of either form.
inline const double* vaporPressureCoeffs(const RefrigerantRecord& record) {
    return constantsOf(record) + (isCubicForm(record) ? slot::cubicVaporPressureCoeffs : slot::mbwrVaporPressureCoeffs);
}

// Water (R718), whose transport scales divide every fluid's.
constexpr int kWaterPosition = rowPosition("R718");
static_assert(kWaterPosition >= 0 && kFluidRows[kWaterPosition].transport.present, "water's transport row is the divisor");

// ---------------------------------------------------------------------------------------
// Unit systems. A unit code selects one of eight systems by its lowest three bits only.
// "In" converts a display value into internal units (degF, psia, ft3/lbm, BTU/lbm,
// BTU/(lbm degF)); "Out" converts an internal value back.
// ---------------------------------------------------------------------------------------
enum UnitSystem : int {
    kEnglish = 0, kSICommon = 1, kEnglishAbs = 2, kSIFormal = 3,
    kSIkPa = 4, kMetric = 5, kMetricFormal = 6, kCgs = 7,
};

inline int unitSystem(int units) { return units & 7; }

// Density, lbm/ft3 -> kg/m3 (and so specific volume, m3/kg -> ft3/lbm). The exact factor is
// 16.018463373960...; three roundings of it are published, each with the formula it serves,
// and each stays where it is, deliberately, because every answer through it depends on its
// last digits:
constexpr double kKgM3PerLbmFt3Units = 16.01846353;         // the unit table's specific volumes
constexpr double kKgM3PerLbmFt3Viscosity = 16.018;          // rho* of water's viscosity equation
constexpr double kKgM3PerLbmFt3Conductivity = 16.01846337;  // rho of water's conductivity equation

double temperatureIn(int units, double x);
double temperatureOut(int units, double x);
double pressureIn(int units, double x);
double pressureOut(int units, double x);
double volumeIn(int units, double x);
double volumeOut(int units, double x);
double enthalpyIn(int units, double x);
double enthalpyOut(int units, double x);
double entropyIn(int units, double x);
double entropyOut(int units, double x);
double viscosityOut(int units, double x);
double kinematicViscosityOut(int units, double x);
double conductivityOut(int units, double x);
double surfaceTensionOut(int units, double x);

// Rows of the label table (the quantity), row 10 the system names; column 8 names the row.
enum UnitQuantity : int {
    kPressureLabel = 0, kTemperatureLabel, kVolumeLabel, kEnthalpyLabel, kEntropyLabel,
    kSpecificHeatLabel, kViscosityLabel, kKinematicViscosityLabel, kConductivityLabel,
    kSurfaceTensionLabel, kSystemNameLabel,
};
constexpr int kLabelRows = 11;
constexpr int kLabelColumns = 9;

// Label at (row = index, column = units); out-of-range selectors pick the name row or
// column. Texts are Windows-1252 bytes (0xBA for the degree mark, 0xB2 and 0xB3).
const char* unitLabel(int units, int index);

}  // namespace kaltra
