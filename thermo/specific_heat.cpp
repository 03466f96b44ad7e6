// Specific heats as difference quotients along the isobar between two states on the same
// side of the saturation line: enthalpy for Cp, internal energy for Cv, each bounded to a
// fixed band.
#include <algorithm>

#include "thermo/thermo.h"

namespace kaltra {
namespace {

constexpr double kCpLower = 0.05;  // BTU/(lbm degF)
constexpr double kCpUpper = 5.0;
constexpr double kCvLower = 0.04;
constexpr double kCvUpper = 4.0;

// Enthalpy and P v of the two states of the quotient, Ta < Tb.
struct IsobarSpan {
    double ta, tb;
    double ha, hb;
    double pva, pvb;  // P v in BTU/lbm
};

IsobarSpan isobarSpan(const RefrigerantRecord& record, double t, double p) {
    const double* k = constantsOf(record);
    double ta, va, pa, tb, vb, pb;
    if (p < k[slot::critPressure]) {
        // Only the root of the side the state lies on is solved.
        const double ts = saturationTemperature(record, p);
        const SaturationRoots sat = saturationRoots(record, ts);
        if (t < ts) {
            // compressed liquid: from T (at least 1 degF below) up to the saturated liquid
            tb = ts;
            vb = liquidRootVolume(sat);
            pb = saturatedPressureOf(sat);
            ta = std::min(t, ts - 1.0);
            va = volumeOfTP(record, ta, p);
            pa = p;
        } else {
            // superheated vapor: from the saturated vapor up to T (at least 1 degF above)
            ta = ts;
            va = vaporRootVolume(sat);
            pa = saturatedPressureOf(sat);
            tb = std::max(t, ts + 1.0);
            vb = volumeOfTP(record, tb, p);
            pb = p;
        }
    } else {
        // supercritical pressure: a 1 degF step away from the critical temperature
        const double tc = k[slot::critTemp];
        if (t < tc) {
            ta = t;
            tb = t + 1.0;
        } else if (t > tc) {
            ta = t - 1.0;
            tb = t;
        } else {
            ta = t - 1.0;
            tb = t + 1.0;
        }
        va = volumeOfTP(record, ta, p);
        vb = volumeOfTP(record, tb, p);
        pa = p;
        pb = p;
    }
    IsobarSpan span;
    span.ta = ta;
    span.tb = tb;
    span.ha = enthalpyTV(record, ta, va);
    span.hb = enthalpyTV(record, tb, vb);
    span.pva = pa * va * kBtuPerPsiaFt3;
    span.pvb = pb * vb * kBtuPerPsiaFt3;
    return span;
}

}  // namespace

// Cp = (hb - ha)/(Tb - Ta), bounded to [0.05, 5]
double specificHeatCp(const RefrigerantRecord& record, double t, double p) {
    const IsobarSpan s = isobarSpan(record, t, p);
    const double cp = (s.hb - s.ha) / (s.tb - s.ta);
    return std::max(std::min(cp, kCpUpper), kCpLower);
}

// Cv = (ub - ua)/(Tb - Ta) with u = h - P v, bounded to [0.04, 4]
double specificHeatCv(const RefrigerantRecord& record, double t, double p) {
    const IsobarSpan s = isobarSpan(record, t, p);
    const double ua = s.ha - s.pva;
    const double ub = s.hb - s.pvb;
    const double cv = (ub - ua) / (s.tb - s.ta);
    return std::max(std::min(cv, kCvUpper), kCvLower);
}

}  // namespace kaltra
