// Dynamic and kinematic viscosity by corresponding states with water: the fluid's state is
// mapped onto the water state of the same reduced temperature and reduced volume, water's
// viscosity there comes from the IAPS 1975 equation, and the answer is scaled by the fluid's
// viscosity factor relative to water's own.
#include <cmath>

#include "thermo/counters.h"
#include "thermo/thermo.h"
#include "transport/transport.h"

namespace kaltra {
namespace {

// Water's critical temperature (degR) and critical specific volume (ft3/lbm) as the
// corresponding-states mapping uses them.
constexpr double kWaterCritTempR = 1165.11;
constexpr double kWaterCritVolume = 0.050533;

// IAPS 1975 viscosity of water substance: reference temperature and density.
constexpr double kViscosityRefTempK = 647.27;
constexpr double kViscosityRefDensity = 317.763;  // kg/m3
constexpr double kRankinePerKelvin = 1.8;

// Dilute-gas denominator: mu0 = 1e-6 sqrt(T*) / (h0 + h1/T* + h2/T*^2 + h3/T*^3).
constexpr double kDiluteGasScale = 1e-6;
constexpr double kH0 = 0.0181583;
constexpr double kH1 = 0.0177624;
constexpr double kH2 = 0.0105287;
constexpr double kH3 = -0.0036744;

// Residual coefficients b[i][j]: i the power of (1/T* - 1), j the power of (rho* - 1).
constexpr int kViscosityTempTerms = 6;
constexpr int kViscosityDensityTerms = 5;
constexpr double kB[kViscosityTempTerms][kViscosityDensityTerms] = {
    {0.501938, 0.235622, -0.274637, 0.145831, -0.0270448},
    {0.162888, 0.789393, -0.743539, 0.263129, -0.0253093},
    {-0.130356, 0.673665, -0.959456, 0.347247, -0.0267758},
    {0.907919, 1.207552, -0.687343, 0.213486, -0.0822904},
    {-0.551119, 0.0670665, -0.497089, 0.100754, 0.0602253},
    {0.146543, -0.084337, 0.195286, -0.032932, -0.0202595},
};

// Pa s to lbm/(ft hr): lbm per kg, m per ft, s per hr.
constexpr double kLbmPerKg = 2.204622622;
constexpr double kMetrePerFoot = 0.3048;
constexpr double kSecondsPerHour = 3600.0;

// mu at (T, v): water's viscosity at the mapped state, scaled by the fluid's factor over water's
double viscosityTV(const RefrigerantRecord& record, const TransportEntry& row, double t, double v) {
    const WaterState water = equivalentWaterState(record, t, v);
    return waterViscosity(water.tw, water.rhow) * row.viscosityScale /
           kFluidRows[kWaterPosition].transport.viscosityScale;
}

}  // namespace

// The scales of the record's catalogue row; none for a fluid without them (R31) and for a
// record that is not one of the catalogue's.
const TransportEntry* findTransportEntry(const RefrigerantRecord& record) {
    KALTRA_COUNT(counters::transportLookup, 1);
    const FluidRow* row = catalogueRow(record);
    if (row == nullptr || !row->transport.present) return nullptr;
    return &row->transport;
}

WaterState equivalentWaterState(const RefrigerantRecord& record, double t, double v) {
    const double* c = constantsOf(record);
    // Same reduced temperature: Tw = Tr * Tc,water
    const double tr = reducedTemperature(c, t);
    const double tw = tr * kWaterCritTempR - kRankineOffset;
    // Same reduced volume: rho_w = 1 / (vr * vc,water)
    const double vr = v / c[slot::critVolume];
    const double rhow = 1.0 / (vr * kWaterCritVolume);
    return {tw, rhow};
}

double waterViscosity(double tw, double rhow) {
    KALTRA_COUNT(counters::sqrt, 1);
    KALTRA_COUNT(counters::exp, 1);
    const double tstar = (tw + kRankineOffset) / kRankinePerKelvin / kViscosityRefTempK;
    const double rhostar = rhow * kKgM3PerLbmFt3Viscosity / kViscosityRefDensity;

    // Dilute gas: mu0 = 1e-6 sqrt(T*) / sum h_k / T*^k, the sum nested in 1/T* (deliberate order)
    const double inv = 1.0 / tstar;
    const double denominator = kH0 + inv * (kH1 + inv * (kH2 + inv * kH3));
    const double mu0 = kDiluteGasScale * std::sqrt(tstar) / denominator;

    // Residual sum: sum over i, then j, of b_ij (1/T* - 1)^i (rho* - 1)^j, in that order
    const double x = inv - 1.0;
    const double y = rhostar - 1.0;
    double sum = 0.0;
    double xi = 1.0;
    for (int i = 0; i < kViscosityTempTerms; ++i) {
        double yj = 1.0;
        for (int j = 0; j < kViscosityDensityTerms; ++j) {
            sum += kB[i][j] * xi * yj;
            yj *= y;
        }
        xi *= x;
    }

    // mu = mu0 exp(rho* sum), Pa s, answered in lbm/(ft hr)
    const double mu = mu0 * std::exp(rhostar * sum);
    return mu * kLbmPerKg * kMetrePerFoot * kSecondsPerHour;
}

double viscosityTP(const RefrigerantRecord& record, double t, double p) {
    const TransportEntry* row = findTransportEntry(record);
    if (row == nullptr) return kFailureMark;
    return viscosityTV(record, *row, t, volumeOfTP(record, t, p));
}

// nu = mu v. One volume serves both factors: solving the same state a second time for the
// product would give the same volume again.
double kinematicViscosityTP(const RefrigerantRecord& record, double t, double p) {
    const TransportEntry* row = findTransportEntry(record);
    const double v = volumeOfTP(record, t, p);
    const double mu = row == nullptr ? kFailureMark : viscosityTV(record, *row, t, v);
    return mu * v;
}

}  // namespace kaltra
