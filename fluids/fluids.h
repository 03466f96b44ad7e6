// Refrigerant data: the catalogue of 39 fluids, their constant blocks, the transport
// table, and the eight unit systems with their conversions and labels.
//
// Everything here is static data and pure functions; nothing allocates. The only write to
// catalogue data is the one-time completion of a cubic-form record at its first lookup.
#pragma once

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

constexpr int kCatalogueSize = 39;

// The catalogue in order, 39 records and a terminating record with null texts.
extern const RefrigerantRecord kCatalogue[kCatalogueSize + 1];

// First record whose name, formula or long name equals the text (ASCII case ignored), or
// null. A cubic-form record is completed (reference state) before it is first returned.
// A null text, or one longer than 255 bytes, finds nothing. Found through an index of all
// the catalogue's texts built at the first lookup: the same small cost for every fluid.
const RefrigerantRecord* findRefrigerant(const char* text);

// 1-based index of the record findRefrigerant would return, or -1; never completes.
int refrigerantIndex(const char* text);

// Record at a 1-based index (1..39), or null.
const RefrigerantRecord* recordAt(int index);

// 0-based position of a record in the catalogue, or -1 for a record that is not one of its
// entries (a copy, or a record of a test).
int cataloguePosition(const RefrigerantRecord& record);

// Whole-text comparison with ASCII letters matched regardless of case.
bool sameText(const char* a, const char* b);

// Completes a cubic-form record: minPressure, minLiquidVolume, entropyRef, energyRef.
// Defined by the thermodynamic engine; findRefrigerant calls it at the first lookup.
void establishReferenceState(const RefrigerantRecord& record);

inline const double* constantsOf(const RefrigerantRecord& record) { return record.constants->slots; }
inline bool isCubicForm(const RefrigerantRecord& record) { return record.constants->slots[slot::gamma] <= 0.0; }

// True when the fluid's fitted coefficient sets are present. Fluids whose sets have not
// been supplied yet hold only their scalar constants; no property may be computed for them.
bool hasCoefficientSets(const RefrigerantRecord& record);

// Vapor-pressure coefficients A, B, C, D of either form.
inline const double* vaporPressureCoeffs(const RefrigerantRecord& record) {
    return constantsOf(record) + (isCubicForm(record) ? slot::cubicVaporPressureCoeffs : slot::mbwrVaporPressureCoeffs);
}

// ---------------------------------------------------------------------------------------
// Transport table: viscosity and conductivity scales relative to water, 38 rows (every
// fluid but R31), closed by a row with a null name.
// ---------------------------------------------------------------------------------------
struct TransportEntry {
    double viscosityScale;
    double conductivityScale;
    const char* name;
};

constexpr int kTransportRows = 38;
constexpr int kWaterTransportRow = 29;  // 0-based position of R718, the common divisor
extern const TransportEntry kTransportTable[kTransportRows + 1];

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
