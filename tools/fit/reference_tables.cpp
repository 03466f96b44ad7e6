// The reference property tables, read by the tools' one reader (tools/accuracy/
// reference_tables.h), reduced with the catalogue's constants; and the constants the fitter
// derives from them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "thermo/thermo.h"
#include "tools/accuracy/reference_tables.h"
#include "tools/fit/fit.h"

namespace kaltra::fit {
namespace {

// The add-in's own conversion factors, so that fitted and answered values agree.
constexpr double kPsiaPerKPa = 0.1450377377;
constexpr double kKgM3PerLbmFt3 = 16.01846353;
constexpr double kJKgPerBtuLbm = 2326.0;
constexpr double kJKgKPerBtuLbmF = 4186.8;
constexpr double kRankinePerKelvin = 1.8;
// The catalogue's gas-constant convention, R M = 1.985878 BTU/(lbmol degR), and P v in psia ft3/lbm
// to BTU/lbm.
constexpr double kGasConstantTimesMolarMass = 1.985878;
constexpr double kBtuPerPsiaFt3 = 144.0 / 778.1692623;

using accuracy::ReferenceInfo;
using accuracy::Table;
using accuracy::columnIndex;
using accuracy::valueAt;

// The number in the named column of a row, NaN where the table has no such column or the cell
// is empty.
double cell(const Table& table, std::size_t row, const char* name) {
    return valueAt(table, static_cast<int>(row), columnIndex(table, name));
}

// The text in the named column of a row, empty where the table has no such column.
std::string textCell(const Table& table, std::size_t row, const char* name) {
    const int column = columnIndex(table, name);
    return column < 0 ? std::string() : table.cells[row][static_cast<std::size_t>(column)];
}

// A double as the shortest decimal that reads back to it.
std::string shortest(double x) {
    char text[40];
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, x);
        if (std::strtod(text, nullptr) == x) break;
    }
    return text;
}

}  // namespace

bool deriveConstants(const std::string& directory, const char* name, SaturationLine line, DerivedConstants& derived,
                     std::string& message) {
    const std::string base = directory + "/" + name + "/";
    ReferenceInfo info;
    Table sat;
    if (!accuracy::readInfo(base + "info.json", info) || !accuracy::readTable(base + "sat.csv", sat) ||
        sat.values.empty()) {
        message = "no info.json or sat.csv in " + base;
        return false;
    }
    const double tcK = info.critTempK, pcPa = info.critPressurePa;
    const double rhoc = info.critDensity, molarMass = 1000.0 * info.molarMass;
    // the reference equation's range as the tables cover it
    const double tMinK = info.rangeTMinK, tMaxK = info.rangeTMaxK, pMaxPa = info.rangePMaxPa;
    // the table's saturated state at its lowest temperature, on the line the fluid follows
    const bool bubbleDew = columnIndex(sat, "p_bubble") >= 0;
    const double t0 = cell(sat, 0, "T");
    const double p0 = !bubbleDew ? cell(sat, 0, "p_sat")
                      : line == SaturationLine::dew ? cell(sat, 0, "p_dew")
                                                    : std::sqrt(cell(sat, 0, "p_bubble") * cell(sat, 0, "p_dew"));
    const double rhoL0 = cell(sat, 0, "rho_liq");
    const bool stated = tcK > 0 && pcPa > 0 && rhoc > 0 && molarMass > 0 && tMinK > 0 && tMaxK > 0 && pMaxPa > 0;
    if (!stated || !std::isfinite(p0 + rhoL0) || t0 != tMinK) {
        message = "info.json or sat.csv of " + base + " lacks a critical point, a range or the state at its lowest temperature";
        return false;
    }
    double* c = derived.values;
    c[0] = std::ceil(kRankinePerKelvin * tMaxK - kRankineOffset);  // maxTemp, degF
    c[1] = std::ceil(pMaxPa / 1000.0 * kPsiaPerKPa);                 // maxPressure, psia
    double* k = c + 2;
    k[slot::critTemp] = kRankinePerKelvin * tcK - kRankineOffset;
    k[slot::critPressure] = pcPa / 1000.0 * kPsiaPerKPa;
    k[slot::critVolume] = kKgM3PerLbmFt3 / rhoc;
    k[slot::minTemp] = kRankinePerKelvin * tMinK - kRankineOffset;
    k[slot::minPressure] = p0 / 1000.0 * kPsiaPerKPa;
    k[slot::minLiquidVolume] = kKgM3PerLbmFt3 / rhoL0;
    k[slot::molarMass] = molarMass;
    k[slot::gasConstant] = kGasConstantTimesMolarMass / molarMass;
    k[slot::critZ] = k[slot::critPressure] * k[slot::critVolume] * kBtuPerPsiaFt3 /
                     (k[slot::gasConstant] * (k[slot::critTemp] + kRankineOffset));
    k[slot::gamma] = 0.0;  // chosen by the fit
    derived.source = std::string(name) + ": Tc " + shortest(tcK) + " K, pc " + shortest(pcPa) + " Pa, rhoc " +
                     shortest(rhoc) + " kg/m3, M " + shortest(molarMass) + " g/mol, T " + shortest(tMinK) + " to " +
                     shortest(tMaxK) + " K, p up to " + shortest(pMaxPa) + " Pa; at " + shortest(t0) + " K p " +
                     shortest(p0) + " Pa, rho' " + shortest(rhoL0) + " kg/m3";
    return true;
}

bool readReferenceTables(const std::string& directory, const RefrigerantRecord& record, SaturationLine line,
                         ReferenceTables& tables, std::string& message) {
    const double* k = constantsOf(record);
    const std::string base = directory + "/" + record.name + "/";
    const double tcR = k[slot::critTemp] + kRankineOffset;
    const double pc = k[slot::critPressure];
    const double vc = k[slot::critVolume];
    const double r = k[slot::gasConstant];
    const double hUnit = kJKgPerBtuLbm * r * tcR;  // J/kg of one unit of h/(R Tc)
    const double sUnit = kJKgKPerBtuLbmF * r;      // J/(kg K) of one unit of s/R
    auto reducedT = [&](double kelvin) { return kRankinePerKelvin * kelvin / tcR; };
    auto reducedP = [&](double pascal) { return pascal / 1000.0 * kPsiaPerKPa / pc; };
    auto reducedRho = [&](double kgm3) { return vc * kgm3 / kKgM3PerLbmFt3; };

    ReferenceInfo info;
    if (!accuracy::readInfo(base + "info.json", info)) {
        message = "no info.json in " + base;
        return false;
    }
    tables.version = info.library + " " + info.libraryVersion + " (" + info.libraryRevision.substr(0, 12) + ")";
    tables.estimated = info.estimated;
    tables.trCritical = reducedT(info.critTempK);
    tables.prCritical = reducedP(info.critPressurePa);
    tables.rhoCritical = reducedRho(info.critDensity);

    Table sat, single, ideal;
    if (!accuracy::readTable(base + "sat.csv", sat) || !accuracy::readTable(base + "single.csv", single) ||
        !accuracy::readTable(base + "ideal.csv", ideal)) {
        message = "missing or empty table in " + base;
        return false;
    }

    // Pure fluids give one saturation pressure; a mixture's table gives bubble and dew
    // pressures, and the vapor-pressure equation follows the line of the fluid's row.
    const bool bubbleDew = columnIndex(sat, "p_bubble") >= 0;
    const bool dewLine = line == SaturationLine::dew;
    for (std::size_t i = 0; i < sat.values.size(); ++i) {
        SatPoint p{};
        p.tr = reducedT(cell(sat, i, "T"));
        if (bubbleDew) {
            p.prBubble = reducedP(cell(sat, i, "p_bubble"));
            p.prDew = reducedP(cell(sat, i, "p_dew"));
            p.pr = dewLine ? p.prDew : std::sqrt(p.prBubble * p.prDew);
        } else {
            p.pr = p.prBubble = p.prDew = reducedP(cell(sat, i, "p_sat"));
        }
        p.rhoL = reducedRho(cell(sat, i, "rho_liq"));
        p.rhoV = reducedRho(cell(sat, i, "rho_vap"));
        p.hL = cell(sat, i, "h_liq") / hUnit;
        p.hV = cell(sat, i, "h_vap") / hUnit;
        p.sL = cell(sat, i, "s_liq") / sUnit;
        p.sV = cell(sat, i, "s_vap") / sUnit;
        p.cvL = cell(sat, i, "cv_liq") / sUnit;
        p.cvV = cell(sat, i, "cv_vap") / sUnit;
        if (std::isfinite(p.tr) && std::isfinite(p.pr) && p.pr > 0) tables.sat.push_back(p);
    }
    for (std::size_t i = 0; i < single.values.size(); ++i) {
        SinglePoint p{};
        p.tr = reducedT(cell(single, i, "T"));
        p.pr = reducedP(cell(single, i, "p"));
        p.rho = reducedRho(cell(single, i, "rho"));
        const std::string phase = textCell(single, i, "phase");
        p.phase = phase == "liquid" || phase == "supercritical_liquid" ? Phase::liquid
                  : phase == "gas" || phase == "supercritical_gas" ? Phase::gas
                                                                   : Phase::supercritical;
        p.h = cell(single, i, "h") / hUnit;
        p.s = cell(single, i, "s") / sUnit;
        p.cv = cell(single, i, "cv") / sUnit;
        p.cp = cell(single, i, "cp") / sUnit;
        if (std::isfinite(p.tr) && std::isfinite(p.pr) && std::isfinite(p.rho) && p.rho > 0) {
            tables.single.push_back(p);
            tables.tableTrMax = std::max(tables.tableTrMax, p.tr);
        }
    }
    for (std::size_t i = 0; i < ideal.values.size(); ++i) {
        IdealPoint p{reducedT(cell(ideal, i, "T")), cell(ideal, i, "cp0") / sUnit};
        if (std::isfinite(p.tr) && std::isfinite(p.cp0)) tables.ideal.push_back(p);
    }
    if (tables.sat.empty() || tables.single.empty() || tables.ideal.empty()) {
        message = "no usable rows in " + base;
        return false;
    }
    return true;
}

}  // namespace kaltra::fit
