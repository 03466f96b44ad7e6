// Thermal conductivity by corresponding states with water: water's conductivity at the mapped
// state from the industrial-use equation of the IAPS formulation (lambda0 + lambda1 + lambda2),
// scaled by the fluid's conductivity factor relative to water's own.
#include <cmath>

#include "thermo/counters.h"
#include "thermo/thermo.h"
#include "transport/transport.h"

namespace kaltra {
namespace {

// Reference temperature and density of the conductivity equation (not those of viscosity).
constexpr double kConductivityRefTempK = 647.26;
constexpr double kConductivityRefDensity = 317.7;  // kg/m3
constexpr double kRankinePerKelvin = 1.8;

// Ideal-gas part lambda0.
constexpr double kA0 = 0.0102811;
constexpr double kA1 = 0.0299621;
constexpr double kA2 = 0.0156146;
constexpr double kA3 = -0.00422464;

// Density part lambda1.
constexpr double kSmallB0 = -0.39707;
constexpr double kSmallB1 = 0.400302;
constexpr double kSmallB2 = 1.06;
constexpr double kBigB1 = -0.171587;
constexpr double kBigB2 = 2.39219;

// Critical-enhancement part lambda2.
constexpr double kD1 = 0.0701309;
constexpr double kD2 = 0.011852;
constexpr double kD3 = 0.00169937;
constexpr double kD4 = -1.02;
constexpr double kC1 = 0.642857;
constexpr double kC2 = -4.11717;
constexpr double kC3 = -6.17937;
constexpr double kC4 = 0.00308976;
constexpr double kC5 = 0.0822994;
constexpr double kC6 = 10.0932;

// W/(m K) per BTU/(hr ft degF).
constexpr double kWattPerMetreKelvinPerBtu = 1.729577206;

// lambda0 = sqrt(Tb) (a0 + a1 Tb + a2 Tb^2 + a3 Tb^3), summed term by term with the running
// factor sqrt(Tb) Tb^k (deliberate order)
double idealGasConductivity(double tb) {
    KALTRA_COUNT(counters::sqrt, 1);
    double factor = std::sqrt(tb);
    double lambda0 = kA0 * factor;
    factor *= tb;
    lambda0 += kA1 * factor;
    factor *= tb;
    lambda0 += kA2 * factor;
    factor *= tb;
    lambda0 += kA3 * factor;
    return lambda0;
}

// lambda1 = b0 + b1 rhob + b2 exp(B1 (rhob + B2)^2)
double densityConductivity(double rhob) {
    KALTRA_COUNT(counters::exp, 1);
    const double shifted = rhob + kBigB2;
    return kSmallB0 + kSmallB1 * rhob + kSmallB2 * std::exp(kBigB1 * (shifted * shifted));
}

// lambda2 = (d1/Tb^10 + d2) rhob^1.8 exp(C1 (1 - rhob^2.8))
//         + d3 S rhob^Q exp(Q/(1+Q) (1 - rhob^(1+Q))) + d4 exp(C2 Tb^1.5 + C3/rhob^5)
double criticalConductivity(double tb, double rhob) {
    KALTRA_COUNT(counters::pow, 8);
    KALTRA_COUNT(counters::exp, 3);
    const double dt = std::fabs(tb - 1.0) + kC4;
    const double dt06 = std::pow(dt, 0.6);
    const double q = 2.0 + kC5 / dt06;
    const double s = tb > 1.0 ? 1.0 / dt : kC6 / dt06;
    const double first = (kD1 / std::pow(tb, 10.0) + kD2) * std::pow(rhob, 1.8) *
                         std::exp(kC1 * (1.0 - std::pow(rhob, 2.8)));
    const double second = kD3 * s * std::pow(rhob, q) *
                          std::exp((q / (1.0 + q)) * (1.0 - std::pow(rhob, 1.0 + q)));
    const double third = kD4 * std::exp(kC2 * std::pow(tb, 1.5) + kC3 / std::pow(rhob, 5.0));
    return first + second + third;
}

}  // namespace

double waterConductivity(double tw, double rhow) {
    const double tb = (tw + kRankineOffset) / kRankinePerKelvin / kConductivityRefTempK;
    const double rhob = rhow * kKgM3PerLbmFt3Conductivity / kConductivityRefDensity;
    // lambda = lambda0 + lambda1 + lambda2 in W/(m K), answered in BTU/(hr ft degF)
    return (idealGasConductivity(tb) + densityConductivity(rhob) + criticalConductivity(tb, rhob)) /
           kWattPerMetreKelvinPerBtu;
}

double conductivityTP(const RefrigerantRecord& record, double t, double p) {
    const TransportEntry* row = findTransportEntry(record);
    if (row == nullptr) return kFailureMark;
    const double v = volumeOfTP(record, t, p);
    const WaterState water = equivalentWaterState(record, t, v);
    // Water's conductivity at the mapped state, scaled by the fluid's factor over water's
    return waterConductivity(water.tw, water.rhow) * row->conductivityScale /
           kFluidRows[kWaterPosition].transport.conductivityScale;
}

}  // namespace kaltra
