// Surface tension of the saturated liquid: a per-fluid sum of up to three powers of the
// distance from the critical temperature, tau = 1 - T/Tc in absolute temperatures.
#include <cmath>

#include "thermo/counters.h"
#include "thermo/thermo.h"
#include "transport/transport.h"

namespace kaltra {

namespace {

// The terms of the record's catalogue row; none for a record that is not one of the catalogue's.
const SurfaceTensionEntry* findSurfaceTensionEntry(const RefrigerantRecord& record) {
    KALTRA_COUNT(counters::surfaceTensionLookup, 1);
    const FluidRow* row = catalogueRow(record);
    return row == nullptr ? nullptr : &row->surfaceTension;
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
    const double tau = 1.0 - reducedTemperature(c, t);
    if (tau <= 0.0) return 0.0;

    // Terms of opposite sign can cross zero just below the critical point; a surface
    // tension is never negative.
    const double sigma = surfaceTensionSeries(*row, tau);
    if (sigma < 0.0) return 0.0;
    return sigma;
}

}  // namespace kaltra
