// Reading the reference property tables and reducing them with the catalogue's constants.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>

#include "thermo/thermo.h"
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

const double kMissing = std::numeric_limits<double>::quiet_NaN();

// A table: the column names and the rows of numbers (NaN for an empty cell); rows whose
// columns are texts keep them in `texts`.
struct Table {
    std::map<std::string, int> column;
    std::vector<std::vector<double>> rows;
    std::vector<std::vector<std::string>> texts;
};

std::vector<std::string> splitCommas(const std::string& line) {
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, ',')) cells.push_back(cell);
    if (!line.empty() && line.back() == ',') cells.push_back("");
    return cells;
}

bool readTable(const std::string& path, Table& table) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> cells = splitCommas(line);
        if (header) {
            for (int i = 0; i < static_cast<int>(cells.size()); ++i) table.column[cells[i]] = i;
            header = false;
            continue;
        }
        std::vector<double> row(table.column.size(), kMissing);
        for (std::size_t i = 0; i < cells.size() && i < row.size(); ++i) {
            if (cells[i].empty()) continue;
            char* end = nullptr;
            const double x = std::strtod(cells[i].c_str(), &end);
            if (end != cells[i].c_str() && *end == '\0') row[i] = x;
        }
        table.rows.push_back(row);
        table.texts.push_back(cells);
    }
    return !header;
}

double cell(const Table& table, std::size_t row, const char* name) {
    const auto it = table.column.find(name);
    if (it == table.column.end()) return kMissing;
    return table.rows[row][it->second];
}

std::string textCell(const Table& table, std::size_t row, const char* name) {
    const auto it = table.column.find(name);
    if (it == table.column.end() || it->second >= static_cast<int>(table.texts[row].size())) return "";
    return table.texts[row][it->second];
}

// The number value of "key": number in a small JSON text, or NaN.
double jsonNumber(const std::string& json, const std::string& key) {
    const std::string pattern = "\"" + key + "\": ";
    const std::size_t at = json.find(pattern);
    if (at == std::string::npos) return kMissing;
    return std::strtod(json.c_str() + at + pattern.size(), nullptr);
}

// The string value of "key": "value" in a small JSON text.
std::string jsonString(const std::string& json, const std::string& key) {
    const std::string pattern = "\"" + key + "\": \"";
    const std::size_t at = json.find(pattern);
    if (at == std::string::npos) return "";
    const std::size_t start = at + pattern.size();
    return json.substr(start, json.find('"', start) - start);
}

// The text of a file, or empty.
std::string fileText(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
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
    const std::string info = fileText(base + "info.json");
    Table sat;
    if (info.empty() || !readTable(base + "sat.csv", sat)) {
        message = "no info.json or sat.csv in " + base;
        return false;
    }
    const double tcK = jsonNumber(info, "T_critical_K"), pcPa = jsonNumber(info, "p_critical_Pa");
    const double rhoc = jsonNumber(info, "rho_critical_kg_m3"), molarMass = 1000.0 * jsonNumber(info, "molar_mass_kg_per_mol");
    // the reference equation's range as the tables cover it
    const double tMinK = jsonNumber(info, "Tmin_K"), tMaxK = jsonNumber(info, "Tmax_K"), pMaxPa = jsonNumber(info, "pmax_Pa");
    // the table's saturated state at its lowest temperature, on the line the fluid follows
    const bool bubbleDew = sat.column.count("p_bubble") > 0;
    const double t0 = cell(sat, 0, "T");
    const double p0 = !bubbleDew ? cell(sat, 0, "p_sat")
                      : line == SaturationLine::dew ? cell(sat, 0, "p_dew")
                                                    : std::sqrt(cell(sat, 0, "p_bubble") * cell(sat, 0, "p_dew"));
    const double rhoL0 = cell(sat, 0, "rho_liq");
    if (!std::isfinite(tcK + pcPa + rhoc + molarMass + tMinK + tMaxK + pMaxPa + p0 + rhoL0) || t0 != tMinK) {
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

    std::ifstream infoFile(base + "info.json");
    if (!infoFile) {
        message = "no info.json in " + base;
        return false;
    }
    std::stringstream infoText;
    infoText << infoFile.rdbuf();
    const std::string info = infoText.str();
    tables.version = jsonString(info, "library") + " " + jsonString(info, "library_version") + " (" +
                     jsonString(info, "library_git_revision").substr(0, 12) + ")";
    tables.estimated = info.find("\"estimated\": true") != std::string::npos;
    tables.trCritical = reducedT(jsonNumber(info, "T_critical_K"));
    tables.prCritical = reducedP(jsonNumber(info, "p_critical_Pa"));
    tables.rhoCritical = reducedRho(jsonNumber(info, "rho_critical_kg_m3"));

    Table sat, single, ideal;
    if (!readTable(base + "sat.csv", sat) || !readTable(base + "single.csv", single) ||
        !readTable(base + "ideal.csv", ideal)) {
        message = "missing or empty table in " + base;
        return false;
    }

    // Pure fluids give one saturation pressure; a mixture's table gives bubble and dew
    // pressures, and the vapor-pressure equation follows the line of the fluid's row.
    const bool bubbleDew = sat.column.count("p_bubble") > 0;
    const bool dewLine = line == SaturationLine::dew;
    for (std::size_t i = 0; i < sat.rows.size(); ++i) {
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
    for (std::size_t i = 0; i < single.rows.size(); ++i) {
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
    for (std::size_t i = 0; i < ideal.rows.size(); ++i) {
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
