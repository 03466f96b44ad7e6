// The rules a coefficient set meets, evaluated with the add-in's own engine: the exact
// conditions (critical point, the saturated liquid at minTemp, the reference state) and the
// soundness rules over the catalogue's range (a physical ideal-gas heat capacity, stable
// density roots of the right phase, h and s rising along every isobar).
//
// One place for them, the library kaltra_set_checks (no Eigen): kaltra_fit keeps a fitted set
// only when checkRecord passes, feeding the states where a rule fails back into the fit, and
// tests/fitted_sets_test.cpp holds every committed set to the same rules one by one (the
// published sets as a control). The states they judge and the ones they leave out, with the
// reasons, are listed in tools/fit/README.md ("Checks").
//
// Temperatures in degF, pressures in psia as the engine takes them; states handed back in
// reduced variables. A rule changes no record; it does use and leave the engine's coefficient
// caches, so a rule's numbers depend on the calls before it (checkRecord starts from empty
// caches).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "fluids/fluids.h"

namespace kaltra::checks {

// ---- The solver paths and the equation of either form --------------------------------------

// The engine's own solver paths (isNewtonOnlyFluid, isBisectionOnlyFluid), as the checks ask:
// R31's density solver takes Newton steps alone.
bool isNewtonOnly(const RefrigerantRecord& record);
// The MBWR-form fluids whose critical temperature lies at or below -400 degF (para-hydrogen,
// helium): their density solver bisects alone.
bool isBisectionOnly(const RefrigerantRecord& record);

// Pr at (Tr, rhor), and dPr/drhor (the cubic form's by a central difference in density).
double reducedPressure(const RefrigerantRecord& record, double tr, double rhor);
double pressureSlope(const RefrigerantRecord& record, double tr, double rhor);

// cp0/R at Tr from the record's ideal-gas coefficients, of either form.
double idealCp0OfRecord(const RefrigerantRecord& record, double tr);

// Whether a solved density is a root at (Tr, Pr): the solvers' Newton test |P - Pr| <
// 1e-4 max(floor, Pr) (floor 1e-5; R31's own test alone, floor 1e-3), or a crossing of Pr
// within the bisection's resolution, 1e-8 rhor + 2e-9.
bool isRoot(const RefrigerantRecord& record, double tr, double pr, double rhor);

// ---- What a rule finds -----------------------------------------------------------------------

// A state where a rule fails, in reduced variables, so that the fit can add a penalty there:
// the temperature, the pressure asked for and the density the engine found.
struct TroubleState {
    double tr, pr, rho;
};

// The failures of one rule: how many, per kind, the first few of every kind described
// ("kind: text"), and the states where a root or an isobar failed, in the order met.
struct Findings {
    int count = 0;
    std::map<std::string, int> perKind;
    std::vector<std::string> messages;
    std::vector<TroubleState> states;

    void add(const std::string& kind, const std::string& text);
    void add(const std::string& kind, const std::string& text, const TroubleState& state);
    // The failures of one kind alone.
    Findings only(const std::string& kind) const;
};

// ---- The exact conditions ----------------------------------------------------------------------

// Pr(1,1) = 1 and dPr/drhor(1,1) = 0 (1e-10; the cubic form's slope 1e-7).
Findings criticalPoint(const RefrigerantRecord& record);
// MBWR form: the vapor-pressure equation gives minPressure at minTemp (1e-12 relative).
Findings vaporPressureAtMinTemp(const RefrigerantRecord& record);
// MBWR form: the equation passes through (minTemp, minLiquidVolume, minPressure) (1e-9 in Pr)
// and that state is the liquid root the solver finds (1e-7 in volume). Cubic form: the liquid
// volume at minTemp is a root inside the liquid search bracket [0.3, 1].
Findings liquidRootAtMinTemp(const RefrigerantRecord& record);
// A/(R Tc) = 0 and s/R = 0 at (minTemp, minLiquidVolume) (1e-9).
Findings referenceState(const RefrigerantRecord& record);

// ---- Soundness over the range ------------------------------------------------------------------

// cp0/R within (floor, ceiling] at 401 temperatures over [minTemp, maxTemp].
Findings idealGasHeatCapacity(const RefrigerantRecord& record, double floor, double ceiling);
// At 121 saturation temperatures from minTemp up, clustered towards the critical temperature
// (those within 1e-3 of it in Tr left out): the saturated vapor lighter than the liquid, and
// both roots of the equation at the vapor pressure on rising isotherms. Kinds "saturated
// volumes", "saturated liquid root", "saturated vapor root".
Findings saturatedStates(const RefrigerantRecord& record);
// Over 160 temperatures (and a cluster around the critical one) times 48 pressures from
// 0.01 minPressure to maxPressure (and seven around the critical one), walked along each
// isobar: the solved density a root on a rising isotherm and on the side of the saturation line
// the pressure asks for (kind "single-phase root"), and h and s rising with the temperature
// (kind "h and s along the isobar").
Findings singlePhaseStates(const RefrigerantRecord& record);

// ---- The whole check -------------------------------------------------------------------------

struct CheckReport {
    int exactFailures = 0;
    int soundFailures = 0;
    std::vector<std::string> messages;  // the first few failures of every kind
    std::vector<TroubleState> trouble;
    bool ok() const { return exactFailures == 0 && soundFailures == 0; }
};

// Completes a cubic-form record afresh, as its first lookup would (its reference-state
// constants).
void completeCubicRecord(const RefrigerantRecord& record);

// Every exact condition and soundness rule above, in that order, on the record's current block
// (completed first where it is of the cubic form), from empty coefficient caches; the ideal-gas
// heat capacity within (1, classicalCp0].
CheckReport checkRecord(const RefrigerantRecord& record, double classicalCp0);

}  // namespace kaltra::checks
