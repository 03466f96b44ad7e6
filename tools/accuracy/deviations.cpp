// The comparisons: each table row inside the fluid's range becomes one state the engine
// evaluates in internal units, the way a worksheet would ask for it, one call after another.
#include "tools/accuracy/deviations.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "thermo/thermo.h"
#include "transport/transport.h"

namespace kaltra::accuracy {
namespace {

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// SI to internal units.
constexpr double kFahrenheitPerKelvin = 1.8;
constexpr double kGramsPerKilogram = 1000.0;  // lbm/lbmol and g/mol are the same number
constexpr double kPaPerPsia = 6894.757293168361;             // lbf/in2
constexpr double kKgM3PerLbmFt3 = 16.018463373960138;         // lbm/ft3
constexpr double kJKgPerBtuLbm = 2326.0;                      // international-table BTU per lbm
constexpr double kJKgKPerBtuLbmF = 4186.8;
constexpr double kLbmFtHrPerPaS = 2.204622622 * 0.3048 * 3600.0;  // as the viscosity routine converts
constexpr double kWmKPerBtuHrFtF = 1.729577206;               // as the conductivity routine converts

// Saturation statistics stop at this fraction of the critical temperature (absolute).
constexpr double kSaturationLimit = 0.95;
// Fraction of [minTemp, critTemp] left out at the bottom for the fluids listed below.
constexpr double kTrimmedFraction = 0.1;
// Fluids whose catalogue minPressure differs from the reference table by a few percent.
constexpr const char* kTrimmedFluids[] = {"R23", "R702", "R704"};

// The cubic volume search without phase preference ends at kCubicVolumeLimit (reduced volume);
// states are counted as beyond it from half of it on, where the ideal-gas volume says the root
// lies. A state the Newton-only density path leaves with an error above this counts as unresolved.
constexpr double kUnresolvedError = 0.01;
// Saturated-liquid enthalpy differences: temperatures at least this far apart (K), both below
// this fraction of the critical temperature (absolute).
constexpr double kLiquidEnthalpySpanK = 5.0;
constexpr double kLiquidEnthalpyLimit = 0.9;
constexpr double kAtmospherePa = 101325.0;
// Newton steps of the tool's own vapor root, from the ideal-gas density.
constexpr int kVaporRootSteps = 60;

// Half step of the central difference of h along an isobar that gives the local cp, degF.
constexpr double kCpHalfStep = 1.0;
// Reduced density below which a state is an ideal gas for the engine's cp0.
constexpr double kDiluteVolumeFactor = 1e7;
// Half step of the central difference that gives cp0, degF.
constexpr double kCp0HalfStep = 0.5;

double fahrenheitOf(double tK) { return tK * kFahrenheitPerKelvin - kRankineOffset; }
double psiaOf(double pPa) { return pPa / kPaPerPsia; }

// Records the add-in's value against the table's; a state without a table value is skipped,
// a non-finite answer is counted.
void add(FluidComparison& c, Quantity q, double calculated, double reference, double tK, double pPa) {
    if (!std::isfinite(reference) || reference == 0.0) return;
    if (!std::isfinite(calculated)) {
        ++c.nonFinite;
        return;
    }
    c.deviations[q].push_back({100.0 * (calculated / reference - 1.0), tK, pPa});
}

// Records a deviation already in percent; a non-finite one is counted.
void addPercent(FluidComparison& c, Quantity q, double percent, double tK, double pPa) {
    if (!std::isfinite(percent)) {
        ++c.nonFinite;
        return;
    }
    c.deviations[q].push_back({percent, tK, pPa});
}

bool isLiquidPhase(const std::string& phase) { return phase == "liquid" || phase == "supercritical_liquid"; }

// The table's saturation pressure at a row on the line the fluid's one vapor-pressure curve
// follows: a pure fluid's, a mixture's dew pressure, or the geometric mean of bubble and dew.
double followedPressure(const RefrigerantRecord& record, const Table& sat, int row) {
    const int colBubble = columnIndex(sat, "p_bubble");
    if (colBubble < 0) return valueAt(sat, row, columnIndex(sat, "p_sat"));
    const double bubble = valueAt(sat, row, colBubble), dew = valueAt(sat, row, columnIndex(sat, "p_dew"));
    const FluidRow* fluidRow = catalogueRow(record);
    if (fluidRow != nullptr && fluidRow->fit.line == SaturationLine::dew) return dew;
    return std::sqrt(bubble * dew);
}

// ---- Saturation ---------------------------------------------------------------------------

// The vapor-pressure equation's four terms, ln(P/Pc) Tr = A tau + B tau^1.5 + C tau^4 +
// D tau^6.5, fitted by least squares in ln P to the table's states from tLow to tHigh with the
// catalogue's critical point and nothing else held: how closely the form itself can follow
// the table. Its deviations are recorded as a quantity of their own.
void compareVaporPressureForm(const RefrigerantRecord& record, const Table& sat, double tLow, double tHigh,
                              FluidComparison& c) {
    const double* k = constantsOf(record);
    const int colT = columnIndex(sat, "T");
    struct Point {
        double terms[4], y, tK, pPa;
    };
    std::vector<Point> points;
    for (int row = 0; row < static_cast<int>(sat.values.size()); ++row) {
        const double tK = valueAt(sat, row, colT), pPa = followedPressure(record, sat, row);
        const double t = fahrenheitOf(tK);
        if (!(t >= tLow && t <= tHigh) || !(pPa > 0.0)) continue;
        const double tr = reducedTemperature(k, t);
        const double tau = 1.0 - tr;
        points.push_back({{tau / tr, std::pow(tau, 1.5) / tr, std::pow(tau, 4.0) / tr, std::pow(tau, 6.5) / tr},
                          std::log(psiaOf(pPa) / k[slot::critPressure]), tK, pPa});
    }
    if (points.size() < 8) return;
    // normal equations, solved by Gaussian elimination with partial pivoting
    double m[4][5] = {};
    for (const Point& p : points)
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) m[i][j] += p.terms[i] * p.terms[j];
            m[i][4] += p.terms[i] * p.y;
        }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) pivot = r;
        std::swap(m[col], m[pivot]);
        for (int r = 0; r < 4; ++r) {
            if (r == col || m[col][col] == 0.0) continue;
            const double f = m[r][col] / m[col][col];
            for (int j = col; j < 5; ++j) m[r][j] -= f * m[col][j];
        }
    }
    double x[4];
    for (int i = 0; i < 4; ++i) x[i] = m[i][i] != 0.0 ? m[i][4] / m[i][i] : 0.0;
    for (const Point& p : points) {
        double y = 0.0;
        for (int i = 0; i < 4; ++i) y += x[i] * p.terms[i];
        addPercent(c, kSatPressureForm, 100.0 * (std::exp(y - p.y) - 1.0), p.tK, p.pPa);
    }
    const double trMin = reducedTemperature(k, k[slot::minTemp]);
    const double tau = 1.0 - trMin;
    const double lnPr = (x[0] * tau + x[1] * std::pow(tau, 1.5) + x[2] * std::pow(tau, 4.0) + x[3] * std::pow(tau, 6.5)) / trMin;
    c.minPressureAgainstForm = 100.0 * (k[slot::minPressure] / (k[slot::critPressure] * std::exp(lnPr)) - 1.0);
}

// The table's temperature at which the pressure of a column is pPa, interpolated linearly in
// ln p between neighbouring rows; NaN outside the table.
double temperatureAtPressure(const Table& sat, int colP, double pPa) {
    const int colT = columnIndex(sat, "T");
    for (int row = 0; row + 1 < static_cast<int>(sat.values.size()); ++row) {
        const double p0 = valueAt(sat, row, colP), p1 = valueAt(sat, row + 1, colP);
        if (!(p0 <= pPa && pPa <= p1) || !(p1 > p0)) continue;
        const double x = std::log(pPa / p0) / std::log(p1 / p0);
        return valueAt(sat, row, colT) + x * (valueAt(sat, row + 1, colT) - valueAt(sat, row, colT));
    }
    return kNoValue;
}

// The glide of a blend's table: dew minus bubble temperature at the dew pressure of every row
// from tLow to tHigh (K), the largest of them, and the glide at 1.01325 bar.
void measureGlide(const Table& sat, double tLowK, double tHighK, FluidComparison& c) {
    const int colT = columnIndex(sat, "T"), colBubble = columnIndex(sat, "p_bubble"), colDew = columnIndex(sat, "p_dew");
    for (int row = 0; row < static_cast<int>(sat.values.size()); ++row) {
        const double tK = valueAt(sat, row, colT);
        if (!(tK >= tLowK && tK <= tHighK)) continue;
        const double glide = tK - temperatureAtPressure(sat, colBubble, valueAt(sat, row, colDew));
        if (std::isfinite(glide) && !(glide <= c.glideMaxK)) c.glideMaxK = glide;
    }
    c.glideAtmosphereK = temperatureAtPressure(sat, colDew, kAtmospherePa) - temperatureAtPressure(sat, colBubble, kAtmospherePa);
}

// Every difference of the saturated liquid's enthalpy between two of the states (T ascending)
// at least kLiquidEnthalpySpanK apart, against the table's.
void compareLiquidEnthalpy(const std::vector<double>& tK, const std::vector<double>& h, const std::vector<double>& hRef,
                           FluidComparison& c) {
    for (std::size_t i = 0; i < tK.size(); ++i)
        for (std::size_t j = i + 1; j < tK.size(); ++j)
            if (tK[j] - tK[i] >= kLiquidEnthalpySpanK)
                addPercent(c, kSatLiquidEnthalpy, 100.0 * ((h[j] - h[i]) / (hRef[j] - hRef[i]) - 1.0), tK[j], kNoValue);
}

void compareSaturation(const RefrigerantRecord& record, const Table& sat, FluidComparison& c) {
    const double* k = constantsOf(record);
    const double tMin = k[slot::minTemp];
    const double tc = k[slot::critTemp];
    const double tLow = saturationWindowTrimmed(record) ? tMin + kTrimmedFraction * (tc - tMin) : tMin;
    const double tHigh = kSaturationLimit * (tc + kRankineOffset) - kRankineOffset;

    const int colT = columnIndex(sat, "T");
    const bool blend = columnIndex(sat, "p_bubble") >= 0;
    const int colP = columnIndex(sat, blend ? "p_bubble" : "p_sat");
    const int colDew = columnIndex(sat, "p_dew");
    const int colRhoL = columnIndex(sat, "rho_liq");
    const int colRhoV = columnIndex(sat, "rho_vap");
    const int colHL = columnIndex(sat, "h_liq");
    const int colHV = columnIndex(sat, "h_vap");
    const int colSigma = columnIndex(sat, "surface_tension");
    const double tLiquidHigh = kLiquidEnthalpyLimit * (tc + kRankineOffset) - kRankineOffset;
    std::vector<double> liquidTK, liquidH, liquidHRef;

    for (int row = 0; row < static_cast<int>(sat.values.size()); ++row) {
        const double tK = valueAt(sat, row, colT);
        const double t = fahrenheitOf(tK);
        if (!(t >= tMin && t < tc)) continue;

        // surface tension over the whole saturation line
        const double sigma = valueAt(sat, row, colSigma);
        if (std::isfinite(sigma) && sigma > 0.0)
            add(c, kSurfaceTension, surfaceTension(record, t), sigma, tK, kNoValue);

        if (!(t >= tLow && t <= tHigh)) continue;
        const double pRef = valueAt(sat, row, colP);
        const double psat = saturationPressure(record, t);
        if (blend) {
            // one curve for both lines: judged against the nearer of the two
            const double pDew = valueAt(sat, row, colDew);
            const double bubble = 100.0 * (psat / psiaOf(pRef) - 1.0), dew = 100.0 * (psat / psiaOf(pDew) - 1.0);
            addPercent(c, kSatPressure, std::fabs(dew) < std::fabs(bubble) ? dew : bubble, tK, pRef);
            add(c, kSatPressureBubble, psat, psiaOf(pRef), tK, pRef);
            add(c, kSatPressureDew, psat, psiaOf(pDew), tK, pDew);
            add(c, kBubbleDewSpread, pRef, pDew, tK, pRef);
        } else {
            add(c, kSatPressure, psat, psiaOf(pRef), tK, pRef);
        }
        if (t <= tLiquidHigh && std::isfinite(valueAt(sat, row, colHL))) {
            liquidTK.push_back(tK);
            liquidH.push_back(satLiquidEnthalpy(record, t));
            liquidHRef.push_back(valueAt(sat, row, colHL) / kJKgPerBtuLbm);
        }

        const SaturationState state = saturationState(record, t);
        add(c, kSatLiquidDensity, 1.0 / state.liquidVolume, valueAt(sat, row, colRhoL) / kKgM3PerLbmFt3,
            tK, pRef);
        add(c, kSatVaporDensity, 1.0 / state.vaporVolume, valueAt(sat, row, colRhoV) / kKgM3PerLbmFt3,
            tK, pRef);

        const double heat = satVaporEnthalpy(record, t) - satLiquidEnthalpy(record, t);
        const double heatRef = (valueAt(sat, row, colHV) - valueAt(sat, row, colHL)) / kJKgPerBtuLbm;
        add(c, kVaporisationHeat, heat, heatRef, tK, pRef);

        // slope of the vapor-pressure curve over the neighbouring rows, the add-in's taken
        // between the same two temperatures
        if (row > 0 && row + 1 < static_cast<int>(sat.values.size())) {
            const double tKBelow = valueAt(sat, row - 1, colT), tKAbove = valueAt(sat, row + 1, colT);
            const double slope = saturationPressure(record, fahrenheitOf(tKAbove)) - saturationPressure(record, fahrenheitOf(tKBelow));
            const double slopeRef = psiaOf(valueAt(sat, row + 1, colP) - valueAt(sat, row - 1, colP));
            add(c, kSatPressureSlope, slope, slopeRef, tK, pRef);
        }
    }
    compareVaporPressureForm(record, sat, tLow, tHigh, c);
    compareLiquidEnthalpy(liquidTK, liquidH, liquidHRef, c);
    if (blend) measureGlide(sat, (tLow + kRankineOffset) / kFahrenheitPerKelvin, (tHigh + kRankineOffset) / kFahrenheitPerKelvin, c);
}

// ---- Single-phase states -----------------------------------------------------------------

// One single-phase state inside the range, with the add-in's h and s there.
struct SingleState {
    int row;
    double h, s;
};

// Along one isotherm, the change of h (or s) from the isotherm's lowest-pressure state,
// against the table's change, in percent of the table's range of h (or s) on that isotherm:
// the reference-state offsets cancel, and no state near the anchor divides by nearly zero.
void compareIsotherm(const Table& single, const std::vector<SingleState>& isotherm, FluidComparison& c) {
    if (isotherm.size() < 2) return;
    const int colT = columnIndex(single, "T");
    const int colP = columnIndex(single, "p");
    const int colH = columnIndex(single, "h");
    const int colS = columnIndex(single, "s");

    std::size_t anchor = 0;
    double hMin = HUGE_VAL, hMax = -HUGE_VAL, sMin = HUGE_VAL, sMax = -HUGE_VAL;
    for (std::size_t i = 0; i < isotherm.size(); ++i) {
        const int row = isotherm[i].row;
        if (valueAt(single, row, colP) < valueAt(single, isotherm[anchor].row, colP)) anchor = i;
        hMin = std::min(hMin, valueAt(single, row, colH));
        hMax = std::max(hMax, valueAt(single, row, colH));
        sMin = std::min(sMin, valueAt(single, row, colS));
        sMax = std::max(sMax, valueAt(single, row, colS));
    }
    const double hRange = (hMax - hMin) / kJKgPerBtuLbm;
    const double sRange = (sMax - sMin) / kJKgKPerBtuLbmF;
    const int anchorRow = isotherm[anchor].row;
    for (std::size_t i = 0; i < isotherm.size(); ++i) {
        if (i == anchor) continue;
        const int row = isotherm[i].row;
        const double tK = valueAt(single, row, colT);
        const double pPa = valueAt(single, row, colP);
        const double dhRef = (valueAt(single, row, colH) - valueAt(single, anchorRow, colH)) / kJKgPerBtuLbm;
        const double dsRef = (valueAt(single, row, colS) - valueAt(single, anchorRow, colS)) / kJKgKPerBtuLbmF;
        const double dh = isotherm[i].h - isotherm[anchor].h;
        const double ds = isotherm[i].s - isotherm[anchor].s;
        if (hRange > 0.0) addPercent(c, kEnthalpyChange, 100.0 * (dh - dhRef) / hRange, tK, pPa);
        if (sRange > 0.0) addPercent(c, kEntropyChange, 100.0 * (ds - dsRef) / sRange, tK, pPa);
    }
}

// True when the central difference for the local cp would straddle the saturation line or the
// start of the near-critical band, where the phase choice changes.
bool straddlesPhaseChange(const RefrigerantRecord& record, double t, double p) {
    const double* k = constantsOf(record);
    if (p < k[slot::critPressure] && std::fabs(saturationTemperature(record, p) - t) <= kCpHalfStep) return true;
    return std::fabs(t - (k[slot::critTemp] - 0.01)) <= kCpHalfStep;
}

// Local cp = dh/dT at constant p, a central difference of the add-in's own enthalpy.
double localCp(const RefrigerantRecord& record, double t, double p) {
    const double ta = t - kCpHalfStep;
    const double tb = t + kCpHalfStep;
    const double ha = enthalpyTV(record, ta, volumeOfTP(record, ta, p));
    const double hb = enthalpyTV(record, tb, volumeOfTP(record, tb, p));
    return (hb - ha) / (tb - ta);
}

void compareSingle(const RefrigerantRecord& record, const Table& single, FluidComparison& c) {
    const double* k = constantsOf(record);
    const double tMin = k[slot::minTemp];
    const double pMin = 0.01 * k[slot::minPressure];
    const int colT = columnIndex(single, "T");
    const int colP = columnIndex(single, "p");
    const int colPhase = columnIndex(single, "phase");
    const int colRho = columnIndex(single, "rho");
    const int colCp = columnIndex(single, "cp");
    const int colVisc = columnIndex(single, "visc");
    const int colCond = columnIndex(single, "cond");
    const bool haveTransport = findTransportEntry(record) != nullptr;

    std::vector<SingleState> isotherm;
    double isothermT = kNoValue;
    for (int row = 0; row < static_cast<int>(single.values.size()); ++row) {
        const double tK = valueAt(single, row, colT);
        const double pPa = valueAt(single, row, colP);
        const double t = fahrenheitOf(tK);
        const double p = psiaOf(pPa);
        if (tK != isothermT) {
            compareIsotherm(single, isotherm, c);
            isotherm.clear();
            isothermT = tK;
        }
        if (!(t >= tMin && t <= record.maxTemp && p >= pMin && p <= record.maxPressure)) continue;

        if (beyondSolverResolution(record, t, p)) {
            add(c, kDensityUnresolved, 1.0 / volumeOfTP(record, t, p), valueAt(single, row, colRho) / kKgM3PerLbmFt3,
                tK, pPa);
            continue;
        }
        const bool liquid = colPhase >= 0 && isLiquidPhase(single.cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(colPhase)]);
        const double v = volumeOfTP(record, t, p);
        add(c, kDensity, 1.0 / v, valueAt(single, row, colRho) / kKgM3PerLbmFt3, tK, pPa);
        isotherm.push_back({row, enthalpyTV(record, t, v), entropyTV(record, t, v)});

        const double cpRef = valueAt(single, row, colCp) / kJKgKPerBtuLbmF;
        if (std::isfinite(cpRef)) {
            if (!straddlesPhaseChange(record, t, p))
                add(c, liquid ? kCpLocalLiquid : kCpLocalGas, localCp(record, t, p), cpRef, tK, pPa);
            add(c, liquid ? kCpLiquid : kCpGas, specificHeatCp(record, t, p), cpRef, tK, pPa);
        }
        if (!haveTransport) continue;
        const double visc = valueAt(single, row, colVisc);
        if (std::isfinite(visc))
            add(c, liquid ? kViscosityLiquid : kViscosityGas, viscosityTP(record, t, p), visc * kLbmFtHrPerPaS,
                tK, pPa);
        const double cond = valueAt(single, row, colCond);
        if (std::isfinite(cond))
            add(c, liquid ? kConductivityLiquid : kConductivityGas,
                conductivityTP(record, t, p), cond / kWmKPerBtuHrFtF, tK, pPa);
    }
    compareIsotherm(single, isotherm, c);
}

// ---- Ideal-gas heat capacity -----------------------------------------------------------------

// cp0 = dh/dT at a vanishing density, where h = u + R T of the ideal gas: a central difference
// of the add-in's own enthalpy at a volume far beyond the critical one.
double idealGasCp(const RefrigerantRecord& record, double t) {
    const double v = kDiluteVolumeFactor * constantsOf(record)[slot::critVolume];
    return (enthalpyTV(record, t + kCp0HalfStep, v) - enthalpyTV(record, t - kCp0HalfStep, v)) / (2.0 * kCp0HalfStep);
}

void compareIdealGas(const RefrigerantRecord& record, const Table& ideal, FluidComparison& c) {
    const double tMin = constantsOf(record)[slot::minTemp];
    const int colT = columnIndex(ideal, "T");
    const int colCp0 = columnIndex(ideal, "cp0");
    for (int row = 0; row < static_cast<int>(ideal.values.size()); ++row) {
        const double tK = valueAt(ideal, row, colT);
        const double t = fahrenheitOf(tK);
        if (!(t >= tMin && t <= record.maxTemp)) continue;
        add(c, kCp0, idealGasCp(record, t), valueAt(ideal, row, colCp0) / kJKgKPerBtuLbmF, tK, kNoValue);
    }
}

// The vapor root of the equation of state at (Tr, Pr), found by plain Newton steps from the
// ideal-gas density until the step no longer changes it: a reference for a solver's answer.
double dilutedVaporRoot(const RefrigerantRecord& record, double tr, double pr) {
    double rhor = constantsOf(record)[slot::critZ] * pr / tr;
    for (int i = 0; i < kVaporRootSteps; ++i) {
        const double step = (mbwrPressure(record, tr, rhor) - pr) / mbwrPressureSlope(record, tr, rhor);
        if (!(std::fabs(step) > 1e-15 * rhor)) break;
        rhor -= step;
    }
    return rhor;
}

}  // namespace

bool saturationWindowTrimmed(const RefrigerantRecord& record) {
    for (const char* name : kTrimmedFluids)
        if (std::strcmp(record.name, name) == 0) return true;
    return false;
}

bool beyondSolverResolution(const RefrigerantRecord& record, double t, double p) {
    const double* k = constantsOf(record);
    const bool nearOrAboveCritical = t >= k[slot::critTemp] - 0.01;
    if (isCubicForm(record)) {
        if (!nearOrAboveCritical) return false;
        const double tr = reducedTemperature(k, t);
        const double idealVr = tr * k[slot::critPressure] / (k[slot::critZ] * p);
        return idealVr > kCubicVolumeLimit / 2.0;
    }
    if (!isNewtonOnlyFluid(record)) return false;
    if (nearOrAboveCritical || saturationPressure(record, t) <= p) return false;
    // a vapor: the answer passes the solver's convergence test yet lies more than 1 % from the
    // root of the equation of state
    const double tr = reducedTemperature(k, t);
    const double pr = p / k[slot::critPressure];
    const double answered = k[slot::critVolume] / volumeOfTP(record, t, p);
    const bool passes = std::fabs(mbwrPressure(record, tr, answered) - pr) < kNewtonOnlyTolerance * std::max(kNewtonOnlyFloor, pr);
    return passes && std::fabs(answered / dilutedVaporRoot(record, tr, pr) - 1.0) > kUnresolvedError;
}

FluidComparison compareFluid(const RefrigerantRecord& record, const ReferenceTables& tables) {
    FluidComparison c;
    if (tables.haveSat) compareSaturation(record, tables.sat, c);
    if (tables.haveSingle) compareSingle(record, tables.single, c);
    if (tables.haveIdeal) compareIdealGas(record, tables.ideal, c);
    return c;
}

CatalogueOffsets catalogueOffsets(const RefrigerantRecord& record, const ReferenceTables& tables,
                                  const ReferenceInfo& info) {
    const double* k = constantsOf(record);
    CatalogueOffsets o{kNoValue, kNoValue, kNoValue, kNoValue, kNoValue};
    if (info.molarMass > 0.0) o.molarMassPercent = 100.0 * (k[slot::molarMass] / (kGramsPerKilogram * info.molarMass) - 1.0);
    if (info.critTempK > 0.0) o.critTempK = (k[slot::critTemp] + kRankineOffset) / kFahrenheitPerKelvin - info.critTempK;
    if (info.critPressurePa > 0.0) o.critPressurePercent = 100.0 * (k[slot::critPressure] / psiaOf(info.critPressurePa) - 1.0);
    // the table's first saturated state, when it lies at minTemp (within 0.01 K)
    if (tables.haveSat && !tables.sat.values.empty()) {
        const Table& sat = tables.sat;
        const double tK = valueAt(sat, 0, columnIndex(sat, "T"));
        if (std::fabs(fahrenheitOf(tK) - k[slot::minTemp]) <= 0.01 * kFahrenheitPerKelvin)
            o.minPressurePercent = 100.0 * (k[slot::minPressure] / psiaOf(followedPressure(record, sat, 0)) - 1.0);
    }
    return o;
}

Statistics statisticsOf(const std::vector<Deviation>& deviations) {
    Statistics st;
    st.count = static_cast<int>(deviations.size());
    if (st.count == 0) return st;
    std::vector<double> magnitudes, signedValues;
    for (const Deviation& d : deviations) {
        const double m = std::fabs(d.percent);
        magnitudes.push_back(m);
        signedValues.push_back(d.percent);
        if (d.pPa > st.highestPPa) st.highestPPa = d.pPa;
        if (m >= st.max) {
            st.max = m;
            st.worstTK = d.tK;
            st.worstPPa = d.pPa;
        }
    }
    std::sort(magnitudes.begin(), magnitudes.end());
    std::sort(signedValues.begin(), signedValues.end());
    const std::size_t n = magnitudes.size();
    st.median = (n % 2 == 1) ? magnitudes[n / 2] : 0.5 * (magnitudes[n / 2 - 1] + magnitudes[n / 2]);
    st.signedMedian = (n % 2 == 1) ? signedValues[n / 2] : 0.5 * (signedValues[n / 2 - 1] + signedValues[n / 2]);
    // nearest rank: the smallest value with at least 95 % of the deviations at or below it
    const std::size_t rank = static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(n)));
    st.p95 = magnitudes[std::max<std::size_t>(rank, 1) - 1];
    return st;
}

}  // namespace kaltra::accuracy
