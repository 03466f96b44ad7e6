// kaltra_fit: fits the coefficient sets of the catalogue fluids that have no published sets
// to reference property tables, checks every set against the exact conditions and the
// soundness rules with the add-in's own engine, and writes fluids/fitted_coefficients.h.
//
// Everything is fitted in the catalogue's reduced variables: Tr = T/Tc, rhor = rho vc,
// Pr = P/Pc with the catalogue's own critical constants, caloric quantities divided by
// R Tc or R with the catalogue's gas constant. The fitter reads files; the add-in never does.
#pragma once

#include <string>
#include <vector>

#include <Eigen/Dense>

#include "fluids/fluids.h"
#include "tools/fit/set_checks.h"

namespace kaltra::fit {

// ---- Reference tables in reduced variables ----------------------------------------------

// One saturation state of the table. Missing cells are NaN.
struct SatPoint {
    double tr;
    double pr;          // the saturation pressure the vapor-pressure equation follows
    double prBubble;    // bubble (liquid) and dew (vapor) pressure; both pr for a pure fluid
    double prDew;
    double rhoL, rhoV;  // reduced densities of the saturated phases
    double hL, hV;      // h/(R Tc)
    double sL, sV;      // s/R
    double cvL, cvV;    // cv/R
};

enum class Phase { liquid, gas, supercritical };

// One single-phase state of the T x P grid.
struct SinglePoint {
    double tr, pr, rho;
    Phase phase;
    double h, s, cv, cp;  // h/(R Tc), s/R, cv/R, cp/R; NaN where missing
};

struct IdealPoint {
    double tr;
    double cp0;  // cp0/R
};

struct ReferenceTables {
    std::string version;  // library and revision the tables were computed with
    bool estimated = false;
    double tableTrMax = 0;  // highest reduced temperature of the single-phase table
    double trCritical = 1, prCritical = 1, rhoCritical = 1;  // the table's critical point, reduced
    std::vector<SatPoint> sat;
    std::vector<SinglePoint> single;
    std::vector<IdealPoint> ideal;
};

// What the fitter knows about a fluid besides its record is in its catalogue row
// (FluidRow::fit, FitFacts in fluids/fluids.h); the fluids it fits are the rows whose sets
// are fitted, in catalogue order, the order of the generated header.

// The constants of a fluid whose row leaves them to the fitter, from its info.json and the
// saturated state at the table's lowest temperature (on the line the fluid follows):
// maxTemp and maxPressure (the table's upper limits, rounded up to whole degF and psia; the fit
// may raise them), critTemp, critPressure, critVolume (the reference equation's critical point),
// critZ (= Pc vc 144 / (778.1692623 R Tc)), minTemp (the table's lowest temperature, the
// reference equation's lower limit), minPressure and minLiquidVolume (the table's saturated
// state there; the fit places minPressure on its vapor-pressure equation), molarMass,
// gasConstant (R M = 1.985878) and gamma (0 here: chosen by the fit). `source` quotes the
// numbers they come from.
struct DerivedConstants {
    double values[12];  // maxTemp, maxPressure, then critTemp .. gamma
    std::string source;
};
bool deriveConstants(const std::string& directory, const char* name, SaturationLine line, DerivedConstants& derived,
                     std::string& message);

// Reads <directory>/<name>/{sat,single,ideal}.csv and info.json and reduces them with the
// catalogue record's constants; a mixture's saturation pressure is the one of `line`.
// Returns false with a message when a table is missing.
bool readReferenceTables(const std::string& directory, const RefrigerantRecord& record, SaturationLine line,
                         ReferenceTables& tables, std::string& message);

// ---- Least squares ----------------------------------------------------------------------

// Minimises sum (w_i (A_i x - y_i))^2 + ridge |S^-1 x|^2 subject to C x = d exactly, where S
// scales every column of A to unit weighted norm. Returns false when the constraints are
// inconsistent.
bool constrainedLeastSquares(const Eigen::MatrixXd& a, const Eigen::VectorXd& y, const Eigen::VectorXd& w,
                             const Eigen::MatrixXd& c, const Eigen::VectorXd& d, double ridge, Eigen::VectorXd& x);

// ---- Vapor pressure ---------------------------------------------------------------------

// ln(P/Pc) Tr = A tau + B tau^1.5 + C tau^4 + D tau^6.5. With a pinned point (trPin > 0) the
// equation passes exactly through (trPin, prPin). Points below trFade weigh little. Shaped:
// reweighted towards the accuracy targets below 0.95 Tc; else the plain least-squares fit.
void fitVaporPressure(const ReferenceTables& tables, double trPin, double prPin, double trFade, bool shaped,
                      double abcd[4]);
double vaporPressureRatioOf(const double abcd[4], double tr);

// ---- Ideal-gas heat capacity ------------------------------------------------------------

// cp0/R - 1 as a linear combination of the basis of one form:
//   MBWR form:  1, 1/Tr, Tr, Tr^2, 1/Tr^2   (coefficients -a6, a5, -2 a2, -6 a3, -2 a4)
//   cubic form: 1, Tr, Tr^2, Tr^3, Tr^4     (coefficients k0 .. k4)
// fitted to the table and kept within (0, classical limit] and non-decreasing beyond the
// table up to trMax.
enum class IdealForm { mbwr, cubic };
void fitIdealGas(const ReferenceTables& tables, const FitFacts& facts, IdealForm form, double trMin, double trMax,
                 double coefficients[5]);
double idealCp0(IdealForm form, const double coefficients[5], double tr);

// ---- MBWR form --------------------------------------------------------------------------

// Sets alpha0..alpha6, b1..b29 and A..D of an MBWR-form record (written into its block).
// Returns a one-line summary of the fit.
std::string fitMbwr(const RefrigerantRecord& record, const FitFacts& facts, const ReferenceTables& tables);

// A fluid whose row leaves its constants to the fitter (`work` a writable copy of its record,
// with the derived constants in its block and its limits): chooses gamma (the sound set
// closest to the accuracy targets at the table's own limits, from a few candidates), then
// raises maxTemp and maxPressure as far as a set with that gamma stays sound, and places
// minPressure on the vapor-pressure equation. Leaves the set and the constants in the block
// and the limits in `work`.
std::string fitMbwrGenerated(RefrigerantRecord& work, const FitFacts& facts, const ReferenceTables& tables);

// ---- Cubic form -------------------------------------------------------------------------

std::string fitCubic(const RefrigerantRecord& record, const FitFacts& facts, const ReferenceTables& tables);

// ---- Checks with the engine -------------------------------------------------------------

// The exact conditions and soundness rules, shared with the tests (tools/fit/set_checks.h).
using checks::CheckReport;
using checks::TroubleState;
using checks::completeCubicRecord;
inline CheckReport checkRecord(const RefrigerantRecord& record, const FitFacts& facts) {
    return checks::checkRecord(record, facts.classicalCp0);
}

// Achieved accuracy against the table with the engine (percent): median, 95th percentile, max.
struct Spread {
    double median = 0, p95 = 0, max = 0;
    int count = 0;
};
struct AccuracyReport {
    Spread psat, rhoL, rhoV, hvap, rhoSingle;
    // saturated-liquid enthalpy differences between every two table temperatures at least 5 K
    // apart below 0.9 Tc, against the table's difference
    Spread hLiquid;
};
AccuracyReport measureAccuracy(const RefrigerantRecord& record, const ReferenceTables& tables);
Spread spreadOf(std::vector<double> percent);

// ---- Generated source -------------------------------------------------------------------

struct FittedSet {
    std::string name;
    bool cubic;
    std::vector<double> values;  // slots 10.. of the block: 40 (MBWR) or 18 (cubic)
    bool generated;              // the constants below are written too
    std::vector<double> constants;  // maxTemp, maxPressure, critTemp .. gamma
    std::string source;          // the reference numbers the constants come from
};

// Writes the header atomically (temporary file, then rename).
bool writeFittedHeader(const std::string& path, const std::vector<FittedSet>& sets, const std::string& provenance,
                       std::string& message);

}  // namespace kaltra::fit
