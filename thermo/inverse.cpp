// Temperature from pressure and enthalpy or entropy: a fixed bisection along the isobar,
// on the liquid or the vapor side of the saturation temperature, or across the whole range
// at supercritical pressures. Inside the two-phase dome the answer is the saturation
// temperature.
#include <algorithm>

#include "thermo/thermo.h"

namespace kaltra {
namespace {

constexpr int kInverseBisectionSteps = 32;

// The property the bisection inverts, as a function of (T, v).
using CaloricProperty = double (*)(const RefrigerantRecord&, double t, double v);

// T on the isobar P (bounded to [minPressure, maxPressure]) where the property equals x
double temperatureFromPX(CaloricProperty property, const RefrigerantRecord& record, double p, double x) {
    const double* k = constantsOf(record);
    const double pb = std::max(std::min(p, record.maxPressure), k[slot::minPressure]);
    double lo = k[slot::minTemp];
    double hi = record.maxTemp;
    if (pb < k[slot::critPressure]) {
        const double ts = saturationTemperature(record, pb);
        // The saturated-liquid and saturated-vapor values at Ts: the property at Ts on the two
        // roots of one saturation state, the vapor root solved only when the liquid value
        // leaves the question open. Ts lies inside [minTemp, critTemp], so the property is
        // taken at the roots' own Tr and the vapor root's solve meets the caches as it would
        // right after the liquid root's.
        const SaturationRoots saturation = saturationRoots(record, ts);
        const double xf = property(record, ts, liquidRootVolume(saturation));
        if (x < xf) {
            hi = ts;  // compressed liquid
        } else {
            const double xg = property(record, ts, vaporRootVolume(saturation));
            if (x > xg) {
                lo = ts;  // superheated vapor
            } else {
                return ts;  // two-phase mixture
            }
        }
    }
    // The property rises with temperature along the isobar; a tie moves the upper end.
    double mid = lo;
    for (int i = 0; i < kInverseBisectionSteps; ++i) {
        mid = (lo + hi) / 2.0;
        const double v = volumeOfTP(record, mid, pb);
        if (x > property(record, mid, v)) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return mid;
}

}  // namespace

double temperatureFromPH(const RefrigerantRecord& record, double p, double h) {
    return temperatureFromPX(enthalpyTV, record, p, h);
}

double temperatureFromPS(const RefrigerantRecord& record, double p, double s) {
    return temperatureFromPX(entropyTV, record, p, s);
}

}  // namespace kaltra
