// Surface tension of the saturated liquid: a per-fluid sum of up to three powers of the
// distance from the critical temperature, tau = 1 - T/Tc in absolute temperatures.
#include <cmath>

#include "thermo/counters.h"
#include "thermo/thermo.h"
#include "transport/transport.h"

namespace kaltra {

// One row per catalogue fluid, in catalogue order, keyed by the fluid's name; an exponent of
// 0 marks a term the fluid does not have.
const SurfaceTensionEntry kSurfaceTensionTable[kSurfaceTensionRows + 1] = {
    // coeff1 N/m, exp1, coeff2 N/m, exp2, coeff3 N/m, exp3, name
    {0.06212,      1.247,     0,            0,         0,           0,      "R11"},
    {-0.000124,    0.4318,    0.05662,      1.263,     0,           0,      "R12"},
    {0.05045,      1.269,     0,            0,         0,           0,      "R13"},
    {0.05578939,   1.26,      0,            0,         0,           0,      "R13b1"},
    {0.0423,       1.24,      0,            0,         0,           0,      "R14"},
    {0.06924,      1.259,     0,            0,         0,           0,      "R21"},
    {3.0587,       1.41809,   -2.99856,     1.42291,   0,           0,      "R22"},
    {-0.32359,     1.6055,    0.37702,      1.5232,    0,           0,      "R23"},
    {0.06501171,   1.203303,  0,            0,         0,           0,      "R31"},
    {0.07519279,   1.26,      0,            0,         0,           0,      "R40"},
    {0.03825,      1.191,     -0.006024,    5.422,     -0.0007065,  0.6161, "R50"},
    {0.0556,       1.24,      0,            0,         0,           0,      "R113"},
    {0.05239,      1.258,     0,            0,         0,           0,      "R114"},
    {0.04771,      1.246,     0,            0,         0,           0,      "R115"},
    {0.05801,      1.241,     0,            0,         0,           0,      "R134a"},
    {0.05685,      1.237,     0,            0,         0,           0,      "R142b"},
    {0.05808,      1.2115,    0,            0,         0,           0,      "R152a"},
    {0.07602,      1.32,      -0.02912,     1.676,     0,           0,      "R170"},
    {0.05334,      1.235,     -0.01748,     4.404,     0,           0,      "R290"},
    {0.01988913,   1.066765,  0.04051406,   1.483001,  0,           0,      "R500"},
    {0.02732436,   1.063671,  0.03305996,   1.605952,  0,           0,      "R502"},
    {0.02936549,   1.335465,  0.03407111,   1.435468,  0,           0,      "R503"},
    {0.002926071,  1.120869,  0.06643123,   1.328424,  0,           0,      "R504"},
    {0.06039027,   1.207767,  0,            0,         0,           0,      "R505"},
    {0.06363881,   1.204555,  0,            0,         0,           0,      "R506"},
    {0.04307988,   1.21238,   0.01133599,   1.495944,  0,           0,      "R600"},
    {-0.01639,     2.102,     0.06121,      1.304,     0,           0,      "R600a"},
    {0.005314,     1.06,      0,            0,         0,           0,      "R702"},
    {0.0004656,    1.04,      0.001889,     2.468,     -0.002006,   2.661,  "R704"},
    {0.1028,       1.211,     -0.09453,     5.585,     0,           0,      "R717"},
    {-0.1306,      2.471,     0.2151,       1.233,     0,           0,      "R718"},
    {0.012254,     1.4136,    0.02728,      1.4517,    -0.025715,   1.6567, "R720"},
    {0.02898,      1.246,     0,            0,         0,           0,      "R728"},
    {0.02746022,   1.214646,  0.009347307,  1.498377,  0,           0,      "R729"},
    {0.03843,      1.225,     0,            0,         0,           0,      "R732"},
    {0.037,        1.25,      0,            0,         0,           0,      "R740"},
    {0.07863,      1.254,     0,            0,         0,           0,      "R744"},
    {0.0477,       1.17,      0,            0,         0,           0,      "R1150"},
    {0.05268,      1.186,     0,            0,         0,           0,      "R1270"},
    {0, 0, 0, 0, 0, 0, nullptr},
};

namespace {

// The first row whose name equals the record's, letters compared regardless of case.
const SurfaceTensionEntry* surfaceTensionRowByName(const RefrigerantRecord& record) {
    if (record.name == nullptr) return nullptr;
    for (const SurfaceTensionEntry* row = kSurfaceTensionTable; row->name != nullptr; ++row) {
        if (sameText(row->name, record.name)) return row;
    }
    return nullptr;
}

// Each catalogue record's row, found by the walk at the record's first lookup and kept: the
// catalogue and the table are static data, so the row of a record never changes.
struct KnownRow {
    bool known;
    const SurfaceTensionEntry* row;
};
KnownRow surfaceTensionRowOfPosition[kCatalogueSize];

const SurfaceTensionEntry* findSurfaceTensionEntry(const RefrigerantRecord& record) {
    KALTRA_COUNT(counters::surfaceTensionLookup, 1);
    const int position = cataloguePosition(record);
    if (position < 0) return surfaceTensionRowByName(record);
    KnownRow& known = surfaceTensionRowOfPosition[position];
    if (!known.known) known = {true, surfaceTensionRowByName(record)};
    return known.row;
}

}  // namespace

double surfaceTensionSeries(const SurfaceTensionEntry& row, double tau) {
    // sigma = c1 tau^e1 + c2 tau^e2 + c3 tau^e3, a term counted only when its exponent is above 0
    KALTRA_COUNT(counters::pow, 1 + (row.exp2 > 0.0) + (row.exp3 > 0.0));
    double sigma = row.coeff1 * std::pow(tau, row.exp1);
    if (row.exp2 > 0.0) sigma += row.coeff2 * std::pow(tau, row.exp2);
    if (row.exp3 > 0.0) sigma += row.coeff3 * std::pow(tau, row.exp3);
    return sigma;
}

double surfaceTension(const RefrigerantRecord& record, double t) {
    const SurfaceTensionEntry* row = findSurfaceTensionEntry(record);
    if (row == nullptr) return kFailureMark;
    const double* c = constantsOf(record);

    // The correlation holds between the lowest temperature and the critical point.
    if (t > c[slot::critTemp]) t = c[slot::critTemp];
    if (t < c[slot::minTemp]) t = c[slot::minTemp];

    // tau = 1 - T/Tc; no interface at or above the critical point
    const double tau = 1.0 - (t + kRankineOffset) / (c[slot::critTemp] + kRankineOffset);
    if (tau <= 0.0) return 0.0;

    // Terms of opposite sign can cross zero just below the critical point; a surface
    // tension is never negative.
    const double sigma = surfaceTensionSeries(*row, tau);
    if (sigma < 0.0) return 0.0;
    return sigma;
}

}  // namespace kaltra
