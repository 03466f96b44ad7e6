// Reading the reference property tables of one fluid: the comma-separated tables sat.csv,
// single.csv and ideal.csv (lines starting with '#' are comments, the first other line names
// the columns, an empty cell has no value) and the few fields of info.json that the accuracy
// report, the transport fit and the coefficient fitter use. The one reader of the tables: the
// library kaltra_reference_tables, which kaltra_accuracy, kaltra_transport_fit and kaltra_fit
// link.
// Everything here is in the tables' own SI units.
#pragma once

#include <string>
#include <vector>

namespace kaltra::accuracy {

// One table: column names, and per row the cells as text and as numbers (NaN where a cell
// is empty or not a number).
struct Table {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> cells;
    std::vector<std::vector<double>> values;
};

// Reads a table; false when the file cannot be opened or has no header.
bool readTable(const std::string& path, Table& table);

// Position of a column, or -1 when the table has no such column.
int columnIndex(const Table& table, const char* name);

// Value at (row, column), NaN when the column is absent (-1) or the cell is empty.
double valueAt(const Table& table, int row, int column);

// What the tools take from info.json (a number the file lacks stays 0, a text empty).
struct ReferenceInfo {
    // the library the tables were computed with, its version and its revision
    std::string library, libraryVersion, libraryRevision;
    bool estimated = false;                   // an estimate, not an equation of state of the fluid
    std::string referenceState;               // name of the h and s convention ("IIR", "NBP", ...)
    std::string referenceStateDescription;    // its description
    double critTempK = 0.0;                   // critical temperature of the table, K
    double critPressurePa = 0.0;              // critical pressure of the table, Pa
    double critDensity = 0.0;                 // critical density of the table, kg/m3
    double molarMass = 0.0;                   // molar mass of the table, kg/mol
    // The range the tables cover ("requested_range"): lowest and highest temperature, K, and
    // highest pressure, Pa.
    double rangeTMinK = 0.0, rangeTMaxK = 0.0, rangePMaxPa = 0.0;
    // Stated uncertainty of an estimated table, property group and text, in file order.
    std::vector<std::string> uncertaintyGroups;
    std::vector<std::string> uncertaintyTexts;
    // A blend evaluated from its components: their names and mass fractions (empty otherwise).
    std::vector<std::string> blendComponents;
    std::vector<double> blendMassFractions;
};

// Reads info.json; false when the file cannot be opened or is not valid JSON.
bool readInfo(const std::string& path, ReferenceInfo& info);

}  // namespace kaltra::accuracy
