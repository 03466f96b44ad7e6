// Temperature from pressure and enthalpy or entropy: a fixed bisection along the isobar,
// on the liquid or the vapor side of the saturation temperature, or across the whole range
// at supercritical pressures. Inside the two-phase dome the answer is the saturation
// temperature.
#include <algorithm>

#include "thermo/thermo.h"

namespace kaltra {
namespace {

constexpr int kInverseBisectionSteps = 32;

// The property the bisection inverts: its saturated-liquid and saturated-vapor values at a
// temperature and its value at (T, v).
struct CaloricProperty {
    double (*saturatedLiquid)(const RefrigerantRecord&, double t);
    double (*saturatedVapor)(const RefrigerantRecord&, double t);
    double (*ofTV)(const RefrigerantRecord&, double t, double v);
};

constexpr CaloricProperty kEnthalpy{satLiquidEnthalpy, satVaporEnthalpy, enthalpyTV};
constexpr CaloricProperty kEntropy{satLiquidEntropy, satVaporEntropy, entropyTV};

// T on the isobar P (bounded to [minPressure, maxPressure]) where the property equals x
double temperatureFromPX(const CaloricProperty& property, const RefrigerantRecord& record, double p, double x) {
    const double* k = constantsOf(record);
    const double pb = std::max(std::min(p, record.maxPressure), k[slot::minPressure]);
    double lo = k[slot::minTemp];
    double hi = record.maxTemp;
    if (pb < k[slot::critPressure]) {
        const double ts = saturationTemperature(record, pb);
        const double xf = property.saturatedLiquid(record, ts);
        const double xg = property.saturatedVapor(record, ts);
        if (x < xf) {
            hi = ts;  // compressed liquid
        } else if (x > xg) {
            lo = ts;  // superheated vapor
        } else {
            return ts;  // two-phase mixture
        }
    }
    // The property rises with temperature along the isobar; a tie moves the upper end.
    double mid = lo;
    for (int i = 0; i < kInverseBisectionSteps; ++i) {
        mid = (lo + hi) / 2.0;
        const double v = volumeOfTP(record, mid, pb);
        if (x > property.ofTV(record, mid, v)) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return mid;
}

}  // namespace

double temperatureFromPH(const RefrigerantRecord& record, double p, double h) {
    return temperatureFromPX(kEnthalpy, record, p, h);
}

double temperatureFromPS(const RefrigerantRecord& record, double p, double s) {
    return temperatureFromPX(kEntropy, record, p, s);
}

}  // namespace kaltra
