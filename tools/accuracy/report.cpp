// Writing docs/accuracy.md.
#include "tools/accuracy/report.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace kaltra::accuracy {
namespace {

// Targets below 0.95 of the critical temperature, in percent: median, 95th percentile.
struct TargetRow {
    Quantity quantity;
    const char* label;
    Target bound;
};
constexpr TargetRow kTargets[] = {
    {kSatPressure, "saturation pressure", {0.15, 0.3}},
    {kSatLiquidDensity, "saturated liquid density", {0.03, 0.2}},
    {kSatVaporDensity, "saturated vapor density", {0.15, 0.4}},
    {kVaporisationHeat, "heat of vaporisation", {0.1, 0.7}},
    {kDensity, "single-phase density", {0.005, 0.25}},
    {kSatLiquidEnthalpy, "saturated-liquid enthalpy differences", {0.4, 0.9}},
};
// Blends and estimated tables are held to this multiple of the targets.
constexpr double kBlendAllowance = 2.0;
// A median deviation above this (percent) makes a fluid's saturation or density values approximations.
constexpr double kRoughMedian = 1.0;
// Reduced volume at which the cubic volume search without phase preference ends.
constexpr double kCubicSearchEnd = 20000.0;
constexpr double kPaPerPsia = 6894.757293168361;
// A worst state within this distance of T/Tc = 1 counts as near the critical point.
constexpr double kNearCriticalShown = 0.1;
// The vapor-pressure form is named as the limit when its own free fit reaches this share of
// a target; the vapor-pressure slope when its median deviation reaches this share of the
// quantity's median target.
constexpr double kFormBound = 0.8;
constexpr double kSlopeShare = 0.5;

// Why a fluid misses a target, where that is known. A null quantity label covers every
// quantity of the fluid.
struct MissReason {
    const char* fluid;
    const char* quantity;
    const char* reason;
};
constexpr MissReason kMissReasons[] = {
    {"R717", nullptr,
     "Published set, not refitted. Its vapor-pressure equation deviates systematically from the current "
     "reference equation of state for ammonia (from -0.8 % to +0.6 % along the curve); the saturated vapor density "
     "and the heat of vaporisation follow that curve."},
    {"R729", nullptr,
     "Air, one fluid for a mixture. Its catalogue critical point lies 3.7 K and 1.7 % above the table's, its "
     "minPressure is a dew pressure, and the table's bubble and dew pressures differ by up to half: one "
     "vapor-pressure curve follows the dew line (see the blend table), and the equation was fitted to the table "
     "moved onto the catalogue's critical point (tools/fit/README.md). The move costs the saturated states and the "
     "gas at moderate pressure (about 1 % in density at 15 bar); the dilute gas, whose density air's own molar mass "
     "sets, follows the table within 0.05 %."},
    {"R11", "heat of vaporisation",
     "Published set, not refitted. The median lies on the target; the deviation grows towards 0.95 Tc."},
    {"R22", "saturated liquid density",
     "Published set, not refitted. The 95th percentile lies on the target, set by the states just below 0.95 Tc."},
};

const char* knownMissReason(const RefrigerantRecord& record, const char* quantity) {
    for (const MissReason& m : kMissReasons) {
        if (std::strcmp(m.fluid, record.name) != 0) continue;
        if (m.quantity == nullptr || std::strcmp(m.quantity, quantity) == 0) return m.reason;
    }
    return nullptr;
}

// Offsets of the catalogue from the table below which they are not offered as a reason.
constexpr double kCritTempOffsetShown = 0.05;       // K
constexpr double kCritPressureOffsetShown = 0.1;    // %
constexpr double kMinPressureOffsetShown = 0.5;     // %
constexpr double kMolarMassOffsetShown = 0.1;       // %

std::string percentText(double x) {
    char buffer[32];
    if (x == 0.0)
        return "0";
    else if (x < 0.001)
        std::snprintf(buffer, sizeof buffer, "%.1e", x);
    else if (x < 0.01)
        std::snprintf(buffer, sizeof buffer, "%.4f", x);
    else if (x < 1.0)
        std::snprintf(buffer, sizeof buffer, "%.3f", x);
    else if (x < 10.0)
        std::snprintf(buffer, sizeof buffer, "%.2f", x);
    else if (x < 100.0)
        std::snprintf(buffer, sizeof buffer, "%.1f", x);
    else
        std::snprintf(buffer, sizeof buffer, "%.0f", x);
    return buffer;
}

std::string numberText(const char* format, double x) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, x);
    return buffer;
}

// "median / p95 / max", bold where a target is missed, "-" without data.
std::string statisticsCell(const FluidReport& fluid, Quantity q) {
    const Statistics& st = fluid.stats[q];
    if (st.count == 0) return "-";
    std::string cell = percentText(st.median) + " / " + percentText(st.p95) + " / " + percentText(st.max);
    if (hasTarget(q)) {
        const Target t = targetFor(fluid, q);
        if (st.median > t.median || st.p95 > t.p95) cell = "**" + cell + "**";
    }
    return cell;
}

std::string kindText(const FluidReport& fluid) {
    std::string kind = isCubicForm(*fluid.record) ? "cubic" : "MBWR";
    if (fluid.blend) kind += ", blend";
    if (fluid.info.estimated) kind += ", estimate";
    return kind;
}

std::string nameText(const FluidReport& fluid) {
    std::string name = fluid.record->name;
    if (fluid.status == kCompared && saturationWindowTrimmed(*fluid.record)) name += " (a)";
    return name;
}

// A row for a fluid that was not compared: its reason across the table.
std::string notComparedRow(const FluidReport& fluid, int columns) {
    std::string reason = fluid.status == kNoCoefficientSets ? "no coefficient set yet" : "no reference table";
    std::string row = "| " + std::string(fluid.record->name) + " | " + reason;
    for (int i = 1; i < columns; ++i) row += " | ";
    return row + " |\n";
}

std::string temperatureText(double tK) { return numberText("%.1f K", tK); }

std::string stateText(double tK, double pPa) {
    if (!std::isfinite(pPa)) return temperatureText(tK);
    return temperatureText(tK) + ", " + numberText("%.4g kPa", pPa / 1000.0);
}

void writeTargetTable(std::ostream& out, const std::vector<FluidReport>& fluids) {
    out << "| Fluid | Form | Saturation pressure | Sat. liquid density | Sat. vapor density | Heat of vaporisation "
           "| Single-phase density | Sat. liquid enthalpy differences | Targets |\n";
    out << "|---|---|---|---|---|---|---|---|---|\n";
    for (const FluidReport& f : fluids) {
        if (f.status != kCompared) {
            out << notComparedRow(f, 8);
            continue;
        }
        const std::string missed = missedTargets(f);
        out << "| " << nameText(f) << " | " << kindText(f) << " | " << statisticsCell(f, kSatPressure) << " | "
            << statisticsCell(f, kSatLiquidDensity) << " | " << statisticsCell(f, kSatVaporDensity) << " | "
            << statisticsCell(f, kVaporisationHeat) << " | " << statisticsCell(f, kDensity) << " | "
            << statisticsCell(f, kSatLiquidEnthalpy) << " | " << (missed.empty() ? "all met" : "missed: " + missed)
            << " |\n";
    }
}

void writeCaloricTable(std::ostream& out, const std::vector<FluidReport>& fluids) {
    out << "| Fluid | h change along isotherms | s change along isotherms | Local cp, gas and supercritical "
           "| Local cp, liquid | `KaltCpofTP`, gas and supercritical | `KaltCpofTP`, liquid | Ideal-gas cp0 |\n";
    out << "|---|---|---|---|---|---|---|---|\n";
    for (const FluidReport& f : fluids) {
        if (f.status != kCompared) {
            out << notComparedRow(f, 7);
            continue;
        }
        out << "| " << f.record->name << " | " << statisticsCell(f, kEnthalpyChange) << " | "
            << statisticsCell(f, kEntropyChange) << " | " << statisticsCell(f, kCpLocalGas) << " | "
            << statisticsCell(f, kCpLocalLiquid) << " | " << statisticsCell(f, kCpGas) << " | "
            << statisticsCell(f, kCpLiquid) << " | " << statisticsCell(f, kCp0) << " |\n";
    }
}

// Fluids whose transport scales and surface-tension terms are estimates, not fitted to a column of
// their own table (tools/transport_fit/README.md gives each estimate's rule).
bool estimatedTransport(const RefrigerantRecord& record) {
    static const char* const kEstimated[] = {"R1233zd(E)", "R1336mzz(Z)", "R513A", "R454B"};
    for (const char* name : kEstimated)
        if (sameText(record.name, name)) return true;
    return false;
}

void writeTransportTable(std::ostream& out, const std::vector<FluidReport>& fluids) {
    out << "| Fluid | Viscosity, liquid | Viscosity, gas | Conductivity, liquid | Conductivity, gas | Surface tension |\n";
    out << "|---|---|---|---|---|---|\n";
    for (const FluidReport& f : fluids) {
        if (f.status != kCompared) {
            out << notComparedRow(f, 5);
            continue;
        }
        out << "| " << f.record->name << (estimatedTransport(*f.record) ? " (estimate)" : "") << " | " << statisticsCell(f, kViscosityLiquid) << " | "
            << statisticsCell(f, kViscosityGas) << " | " << statisticsCell(f, kConductivityLiquid) << " | "
            << statisticsCell(f, kConductivityGas) << " | " << statisticsCell(f, kSurfaceTension) << " |\n";
    }
}

// The line a blend's one vapor-pressure curve follows.
const char* lineText(const RefrigerantRecord& record) {
    const FluidRow* row = catalogueRow(record);
    if (row != nullptr && row->fit.line == SaturationLine::dew) return "dew";
    return "geometric mean";
}

std::string kelvinText(double k) { return std::isfinite(k) ? numberText("%.2f K", k) : "-"; }

void writeBlendTable(std::ostream& out, const std::vector<FluidReport>& fluids) {
    out << "| Fluid | Curve follows | Saturation pressure against the nearer line | against bubble | against dew "
           "| Table's own bubble/dew spread | Glide, largest | Glide at 1.01325 bar |\n";
    out << "|---|---|---|---|---|---|---|---|\n";
    int rows = 0;
    for (const FluidReport& f : fluids) {
        if (f.status != kCompared || !f.blend) continue;
        out << "| " << f.record->name << " | " << lineText(*f.record) << " | " << statisticsCell(f, kSatPressure) << " | "
            << statisticsCell(f, kSatPressureBubble) << " | " << statisticsCell(f, kSatPressureDew) << " | "
            << statisticsCell(f, kBubbleDewSpread) << " | " << kelvinText(f.glideMaxK) << " | "
            << kelvinText(f.glideAtmosphereK) << " |\n";
        ++rows;
    }
    if (rows == 0) out << "| (no blend compared yet) | | | | | | | |\n";
}

void writeEstimates(std::ostream& out, const std::vector<FluidReport>& fluids) {
    int written = 0;
    for (const FluidReport& f : fluids) {
        if (!f.info.estimated) continue;
        out << "**" << f.record->name << "**";
        if (f.status != kCompared) out << " (" << (f.status == kNoCoefficientSets ? "no coefficient set yet" : "no table") << ")";
        out << ": the table is an extended-corresponding-states estimate; its stated uncertainty:\n\n";
        for (std::size_t i = 0; i < f.info.uncertaintyGroups.size(); ++i)
            out << "- " << f.info.uncertaintyGroups[i] << ": " << f.info.uncertaintyTexts[i] << "\n";
        out << "\n";
        ++written;
    }
    if (written == 0) out << "(none)\n\n";
}

double reducedTemperatureOf(const RefrigerantRecord& record, double tK) {
    return tK * 1.8 / (constantsOf(record)[slot::critTemp] + 459.67);
}

std::string spreadText(const Statistics& st) { return percentText(st.median) + " / " + percentText(st.p95) + " %"; }

// The first sentence of a miss's reason: what limits the quantity, with the figure that shows it.
std::string missLead(const FluidReport& f, Quantity q) {
    const Target t = targetFor(f, q);
    const Statistics& form = f.stats[kSatPressureForm];
    const Statistics& slope = f.stats[kSatPressureSlope];
    if (isCubicForm(*f.record) && q != kSatPressure) {
        const double b = constantsOf(*f.record)[slot::cubicParams + 1];
        return "Cubic form: with the catalogue's critical point its a, c and d follow from the co-volume b (here b = " +
               numberText("%.4f", b) +
               "), and the liquid volume search starts at 0.3 critical volumes, so b must stay below 0.3 and every "
               "liquid root above it; within these bounds the form cannot give the liquid's density and its change "
               "with temperature together, the liquid comes out too dense, and the vapor side and the heat of "
               "vaporisation take up the rest";
    }
    switch (q) {
        case kSatPressure:
            if (f.blend)
                return std::string("One vapor-pressure curve stands for the blend's bubble and dew lines and follows ") +
                       (std::string(lineText(*f.record)) == "dew" ? "its dew line" : "their geometric mean") +
                       "; the table's bubble and dew pressures differ by up to " +
                       percentText(f.stats[kBubbleDewSpread].max) + " % (a glide of up to " + kelvinText(f.glideMaxK) +
                       "), and fitted freely to the line it follows the four terms deviate by " + spreadText(form);
            if (form.count > 0 && (form.median > kFormBound * t.median || form.p95 > kFormBound * t.p95))
                return "The vapor-pressure equation has four terms; fitted freely to the same states by least squares "
                       "(with only the catalogue's critical point held) they deviate by " +
                       spreadText(form) + " already, so no choice of its coefficients comes much closer";
            return "Fitted freely to the same states, the vapor-pressure equation's four terms deviate by " +
                   spreadText(form) + "; held also to the catalogue's minPressure at minTemp they come no closer";
        case kSatVaporDensity:
        case kVaporisationHeat:
            if (slope.count > 0 && slope.median > kSlopeShare * t.median)
                return "By Clapeyron's equation, hvap = T (vg - vf) dP/dT, the heat of vaporisation and the saturated "
                       "volumes of the equation of state follow the slope of its vapor-pressure curve, which deviates "
                       "from the table's slope by " +
                       spreadText(slope);
            return "The vapor-pressure slope follows the table's (" + spreadText(slope) +
                   "); the equation of state cannot follow the saturated vapor, the liquid and the single-phase states "
                   "together this closely while it keeps the catalogue's critical point exactly (the fit weighs them "
                   "against each other and keeps the balance closest to all targets)";
        case kSatLiquidDensity:
            return "The saturated liquid shares the equation of state with the vapor and the single-phase states; the "
                   "fit keeps the balance closest to all targets";
        case kSatLiquidEnthalpy: {
            const std::string cp = "the liquid's local cp deviates from the table's by " + spreadText(f.stats[kCpLocalLiquid]);
            const FluidRow* row = catalogueRow(*f.record);
            if (row != nullptr && row->sets.source == SetSource::published)
                return "Published set, not refitted; " + cp;
            if (row != nullptr && !row->fit.liquidEnthalpy)
                return "Fitted before this target and kept unchanged (only water of the first 39 fluids was refitted to "
                       "it): its fit follows h along the isotherms and the heat of vaporisation, not the liquid along "
                       "the saturation line; " + cp;
            return "The fit follows the liquid's enthalpy along the saturation line too and weighs it against the "
                   "saturated and single-phase states (the balance closest to all targets together); " + cp;
        }
        case kDensity:
        default:
            return "The single-phase density is the price of the saturated states in the fit, which keeps the "
                   "balance closest to all targets together";
    }
}

// The reason of a miss: the known one, or the limit that causes it and the facts the
// comparison found that bear on it.
std::string missReason(const FluidReport& f, Quantity q, const char* label) {
    if (const char* known = knownMissReason(*f.record, label)) return known;
    std::vector<std::string> facts;
    const CatalogueOffsets& o = f.offsets;
    if (std::fabs(o.critTempK) >= kCritTempOffsetShown)
        facts.push_back(numberText("the catalogue's critical temperature lies %+.2f K", o.critTempK) +
                        " from the table's, so the curves part near the critical point");
    if (std::fabs(o.critPressurePercent) >= kCritPressureOffsetShown)
        facts.push_back(numberText("the catalogue's critical pressure differs from the table's by %+.2f %%",
                                   o.critPressurePercent));
    if (std::fabs(o.molarMassPercent) >= kMolarMassOffsetShown)
        facts.push_back(numberText("the catalogue's molar mass differs from the table's by %+.2f %%", o.molarMassPercent) +
                        ", and every density with it");
    if (std::fabs(o.minPressurePercent) >= kMinPressureOffsetShown)
        facts.push_back(numberText("the catalogue's minPressure differs from the table's by %+.3g %%", o.minPressurePercent) +
                        " and the vapor-pressure equation passes through it");
    if (!std::isfinite(o.minPressurePercent) && std::fabs(o.minPressureFormPercent) >= kMinPressureOffsetShown)
        facts.push_back(numberText("the catalogue's minPressure lies %+.3g %% from the table's curve carried down to minTemp "
                                   "(below the table's first temperature), and the vapor-pressure equation passes through it",
                                   o.minPressureFormPercent));
    if (f.blend && q != kSatPressure && f.stats[kBubbleDewSpread].count > 0 && f.stats[kBubbleDewSpread].max > 0.0)
        facts.push_back("the table's bubble and dew pressures differ by up to " +
                        percentText(f.stats[kBubbleDewSpread].max) + " %, and one curve stands for both");
    if (f.info.estimated)
        facts.push_back("the table is itself an estimate, uncertain by several percent (see below), so the fit "
                        "reproduces the estimate, not the fluid");
    const double worst = reducedTemperatureOf(*f.record, f.stats[q].worstTK);
    if (std::fabs(worst - 1.0) <= kNearCriticalShown)
        facts.push_back(numberText("the largest deviations lie near the critical point (T/Tc %.3f)", worst));
    std::string reason = missLead(f, q);
    for (std::size_t i = 0; i < facts.size(); ++i) reason += (i == 0 ? ". Also: " : "; ") + facts[i];
    return reason + ".";
}

void writeMisses(std::ostream& out, const std::vector<FluidReport>& fluids) {
    out << "| Fluid | Quantity | Median / 95th percentile (target) | Signed median | Largest deviation at | Reason |\n";
    out << "|---|---|---|---|---|---|\n";
    int rows = 0;
    for (const FluidReport& f : fluids) {
        if (f.status != kCompared) continue;
        for (const TargetRow& row : kTargets) {
            const Statistics& st = f.stats[row.quantity];
            const Target t = targetFor(f, row.quantity);
            if (st.count == 0 || (st.median <= t.median && st.p95 <= t.p95)) continue;
            out << "| " << f.record->name << " | " << row.label << " | " << numberText("%.4g", st.median) << " / "
                << numberText("%.4g", st.p95) << " (" << numberText("%.4g", t.median) << " / "
                << numberText("%.4g", t.p95) << ") | " << numberText("%+.4g", st.signedMedian) << " | " << stateText(st.worstTK, st.worstPPa)
                << numberText(" (T/Tc %.3f)", reducedTemperatureOf(*f.record, st.worstTK)) << " | "
                << missReason(f, row.quantity, row.label) << " |\n";
            ++rows;
        }
    }
    if (rows == 0) out << "| (none) | | | | | |\n";
}

std::string offsetsText(const CatalogueOffsets& o) {
    // offsets that print as zero are written as 0, without a sign
    auto part = [](const char* format, double x) {
        if (!std::isfinite(x)) return std::string("-");
        const std::string text = numberText(format, x);
        return text.find_first_of("123456789") == std::string::npos ? std::string("0") : text;
    };
    return part("%+.2f K", o.critTempK) + ", " + part("%+.3f %%", o.critPressurePercent) + ", " +
           part("%+.3g %%", o.minPressurePercent) + ", " + part("%+.3f %%", o.molarMassPercent);
}

std::string beyondText(const FluidReport& f) {
    const Statistics& st = f.stats[kDensityUnresolved];
    if (st.count == 0) return "-";
    return std::to_string(st.count) + " (" + percentText(st.max) + " %)";
}

void writeWhere(std::ostream& out, const std::vector<FluidReport>& fluids) {
    out << "| Fluid | Saturated states | Single-phase states | Largest saturation-pressure deviation at "
           "| Largest sat. liquid density deviation at | Largest single-phase density deviation at "
           "| States the solver cannot resolve, left out (largest density deviation) | Answers not a finite number "
           "| Catalogue against table: Tc, pc, minPressure, molar mass | h, s reference of the table |\n";
    out << "|---|---|---|---|---|---|---|---|---|---|\n";
    for (const FluidReport& f : fluids) {
        if (f.status != kCompared) continue;
        const Statistics& ps = f.stats[kSatPressure];
        const Statistics& ls = f.stats[kSatLiquidDensity];
        const Statistics& ds = f.stats[kDensity];
        out << "| " << f.record->name << " | " << ps.count << " | " << ds.count << " | "
            << (ps.count ? temperatureText(ps.worstTK) : "-") << " | " << (ls.count ? temperatureText(ls.worstTK) : "-")
            << " | " << (ds.count ? stateText(ds.worstTK, ds.worstPPa) : "-") << " | " << beyondText(f) << " | " << f.nonFinite
            << " | " << offsetsText(f.offsets) << " | " << (f.info.referenceState.empty() ? "-" : f.info.referenceState) << " |\n";
    }
}

}  // namespace

bool hasTarget(Quantity q) {
    for (const TargetRow& row : kTargets)
        if (row.quantity == q) return true;
    return false;
}

Target targetFor(const FluidReport& fluid, Quantity q) {
    const double factor = (fluid.blend || fluid.info.estimated) ? kBlendAllowance : 1.0;
    for (const TargetRow& row : kTargets)
        if (row.quantity == q) return {factor * row.bound.median, factor * row.bound.p95};
    return {0.0, 0.0};
}

std::string missedTargets(const FluidReport& fluid) {
    std::string missed;
    for (const TargetRow& row : kTargets) {
        const Statistics& st = fluid.stats[row.quantity];
        if (st.count == 0) continue;
        const Target t = targetFor(fluid, row.quantity);
        std::string parts;
        if (st.median > t.median) parts = "median";
        if (st.p95 > t.p95) parts += parts.empty() ? "95th" : " and 95th";
        if (parts.empty()) continue;
        if (!missed.empty()) missed += "; ";
        missed += std::string(row.label) + " " + parts;
    }
    return missed;
}

bool writeReport(const std::string& path, const std::vector<FluidReport>& fluids) {
    std::ostringstream out;
    int compared = 0, allMet = 0;
    std::string withoutSets, metNames;
    for (const FluidReport& f : fluids) {
        if (f.status == kCompared) {
            ++compared;
            if (missedTargets(f).empty()) {
                ++allMet;
                metNames += (metNames.empty() ? "" : ", ") + std::string(f.record->name);
            }
        } else if (f.status == kNoCoefficientSets) {
            withoutSets += (withoutSets.empty() ? "" : ", ") + std::string(f.record->name);
        }
    }

    out << "<!-- Generated from the reference tables; do not edit by hand. Regenerate from the top of the work tree\n"
           "     after building the tool:\n"
           "       cmake --build build --target kaltra_accuracy\n"
           "       build/tools/accuracy/kaltra_accuracy ../shared/reference docs/accuracy.md -->\n\n";
    out << "# Accuracy of the add-in against reference tables\n\n";
    out << "This page compares the add-in's own answers (the engine behind `KaltPsat`, `KaltVf`, `KaltVg`, "
           "`KaltVofTP`, `KaltHofTP`, `KaltSofTP`, `KaltCpofTP`, `KaltMUofTP`, `KaltTKofTP` and `KaltSt`) with reference "
           "property tables computed from multiparameter reference equations of state (CoolProp 8.0.1dev, HEOS "
           "backend; see `../shared/reference/README.md`). "
        << compared << " fluids are compared, of which " << allMet << (allMet == 1 ? " meets" : " meet")
        << " every target.";
    if (!withoutSets.empty())
        out << " Not compared, because their coefficient sets are not present yet: " << withoutSets << ".";
    out << " R13b1 has no reference table (no reference equation of state exists for it).\n\n";

    out << "## How to read the tables\n\n"
           "- Every cell is **median / 95th percentile / maximum** of the absolute relative deviation, in percent, "
           "of the add-in from the table: 100 (add-in / table - 1). The 95th percentile is the nearest-rank value "
           "(at least 95 % of the states deviate by this much or less). A dash means the table has no such data.\n"
           "- Only states inside the fluid's own range are compared (temperature from `minTemp` to `maxTemp`, "
           "pressure from 0.01 `minPressure` to `maxPressure`), since the worksheet functions bound every input to "
           "that range.\n"
           "- Saturation statistics (saturation pressure, saturated densities, heat of vaporisation) cover "
           "`minTemp` up to 0.95 of the critical temperature (absolute). (a): for R23, R702 and R704 the "
           "catalogue's `minPressure` differs from the table by a few percent, so their saturation statistics start "
           "a tenth of the way from `minTemp` to the critical temperature.\n"
           "- Single-phase states are the table's (T, p) grid; the add-in chooses liquid or vapor itself from its own "
           "saturation pressure, as `KaltVofTP` does, so a state very close to the saturation line can be answered on "
           "the other side of it; such a state shows as the maximum.\n"
           "- Blends (R500-R506, R410A, R404A, R507A, R513A, R454B) and air (R729) are treated as one fluid with one "
           "vapor-pressure curve. Their tables give a bubble and a dew pressure: the saturation pressure is compared with "
           "the nearer of the two, the saturated liquid with the bubble point, the saturated vapor with the dew point, "
           "the heat of vaporisation with dew-point vapor minus bubble-point liquid at the same temperature. Air and "
           "the blends R410A-R454B follow their dew line: the saturated vapor, which the equation of state places at "
           "the curve's pressure, then sits at the table's dew-point density, while the liquid root hardly moves with "
           "pressure (and an evaporator's superheat is read against the dew point); R500-R506 follow the geometric "
           "mean of bubble and dew. Their glide is given in the blend table.\n"
           "- Saturated-liquid enthalpy differences: the change of `KaltHf` between every two table temperatures at "
           "least 5 K apart, both between `minTemp` and 0.9 of the critical temperature, against the table's change "
           "(the refrigerating effect of a cycle rests on it). The median covers mostly wide spans, the 95th "
           "percentile the short ones, where the liquid's cp counts; a pair's place is its warmer temperature.\n"
           "- Two kinds of state lie beyond what the density solver can resolve, whatever the coefficients; they "
           "are left out of the statistics and counted in the last table. Cubic-form fluids above the critical "
           "temperature at very low pressure: the volume search without phase preference stops at 20000 critical "
           "volumes, so a more dilute gas gets the volume at the end of the search (counted from an ideal-gas "
           "volume of 10000 critical volumes on). R31 dilute vapor: its solver takes Newton steps only and stops once "
           "the reduced pressure is within 1e-7 of the target; at very low pressure its starting density (the "
           "ideal-gas density over an estimated saturated-vapor compressibility) passes that test at once or after "
           "one step, though it lies above the true density, by about 40 % at 0.87 Tc and up to nearly three times "
           "near the critical temperature (counted where the answer lies more than 1 % from the root).\n"
           "- R11, R22, R134a and R717 carry the coefficient sets published with the catalogue; the other fluids' "
           "sets were fitted to these same tables by `tools/fit`, so for them the comparison measures how well the "
           "fit follows its training data, not an independent validation.\n"
           "- **Bold** cells miss their target.\n\n";

    out << "## Saturation and density, with targets\n\n";
    out << "Targets below 0.95 of the critical temperature (median / 95th percentile): saturation pressure 0.15 / 0.3 %, "
           "saturated liquid density 0.03 / 0.2 %, saturated vapor density 0.15 / 0.4 %, heat of vaporisation "
           "0.1 / 0.7 %, single-phase density 0.005 / 0.25 % (whole table); saturated-liquid enthalpy differences "
           "0.4 / 0.9 % of the table's difference (below 0.9 of the critical temperature). Blends, air and the "
           "estimated fluids (R31, R505, R506) are held to twice these.\n\n";
    writeTargetTable(out, fluids);
    out << "\n";

    out << "## Enthalpy, entropy and specific heats\n\n"
           "The add-in's zero of enthalpy and entropy is its own (internal energy and entropy zero for the saturated "
           "liquid at each fluid's `minTemp`); the tables use other conventions (IIR, NBP, ...). Absolute values "
           "therefore differ by a constant per fluid, and only differences are compared: along every isotherm of the "
           "single-phase grid, the change of h (or s) from the isotherm's lowest-pressure state, compared with the "
           "table's change, as a percentage of the table's whole range of h (or s) on that isotherm. cp is compared "
           "in two ways. The local cp is the slope of the add-in's own enthalpy along the isobar (a central "
           "difference over 2 F, left out where that span would cross the saturation line): it shows how good the "
           "equation of state is. `KaltCpofTP` is what the worksheet function answers: a secant along the isobar "
           "that starts at the saturation temperature of the given pressure, the mean cp from the saturated vapor "
           "up to T for a vapor and from T up to the saturated liquid for a liquid (at least 1 F wide). It is not "
           "the local cp, and it differs from it by as much as cp changes over that span. To get the local cp "
           "of a superheated vapor or compressed liquid, difference `KaltHofTP` over a small temperature step. "
           "cp0 is the ideal-gas heat capacity, taken from the add-in's enthalpy at vanishing density.\n\n";
    writeCaloricTable(out, fluids);
    out << "\n";

    out << "## Viscosity, thermal conductivity and surface tension\n\n"
           "Viscosity and thermal conductivity are corresponding-states estimates: the state is mapped onto water at the "
           "same reduced temperature and volume and water's value is scaled by one factor per fluid. Expect deviations "
           "of several to tens of percent, more in the liquid and near the critical point; use these values for "
           "rough sizing only. The blend tables' transport values are themselves approximate mixing rules. Surface "
           "tension is compared along the whole saturation line; where the add-in's correlation for a fluid is the "
           "one the table was computed with, it agrees to rounding.\n\n"
           "The transport rows of the fluids from R32 on are fitted by `tools/transport_fit`: each scale is the "
           "median, over every state of the fluid's tables, of the ratio of the table's value to the add-in's "
           "corresponding-states answer at the table's own density. That median follows the vapor, where the mapping "
           "onto water works (vapor viscosity within a few percent in median), as the published viscosity scales of "
           "the older halocarbons do; the liquid misses by tens of percent whatever single factor is chosen. "
           "Surface-tension rows are fitted to the tables' columns. Rows marked (estimate) have no table column "
           "behind them: R513A and R454B take the mass-weighted rows of their components (their tables' transport "
           "values are themselves a mixing rule, and they have no surface tension); R1233zd(E) and R1336mzz(Z) take "
           "their scales from R1234ze(E) by corresponding states and their surface tension from a generalized "
           "correlation with their own critical point and acentric factor (on fluids that do have the columns, these "
           "estimates come within a few percent for the viscosity scale, 10 to 20 % for the conductivity scale and "
           "about 3 % in median for the surface tension). Where a table has no column, its cells here are empty; "
           "the comparison of the two blends is with their tables' mixing rule.\n\n";
    writeTransportTable(out, fluids);
    out << "\n";

    out << "## Blends: one vapor-pressure curve against bubble and dew\n\n"
           "The last three columns are not deviations of the add-in but the table's own: the spread between the bubble "
           "and the dew pressure at the same temperature (no single curve can be closer to both than about half of "
           "it), and the glide, the dew temperature minus the bubble temperature at the same pressure, the largest "
           "over the compared states and at atmospheric pressure.\n\n";
    writeBlendTable(out, fluids);
    out << "\n";

    out << "## Estimated reference tables\n\n"
           "The tables of R31, R505 and R506 are not evaluations of an equation of state of the fluid but estimates "
           "(extended corresponding states), with the uncertainty stated below. A small deviation from such a table "
           "means the add-in reproduces the estimate, not that it is accurate to that degree: for these fluids the "
           "stated uncertainty, not the deviation, is the accuracy to assume.\n\n";
    writeEstimates(out, fluids);

    out << "## Missed targets and their reasons\n\n"
           "The signed median shows a systematic offset (add-in above the table when positive); the largest "
           "deviation's place tells whether the miss comes from one end of the range.\n\n"
           "Each reason starts with what limits the quantity, measured on the same states:\n\n"
           "- Saturation pressure: the catalogue's vapor-pressure equation has four terms (tau, tau^1.5, tau^4 and "
           "tau^6.5 over Tr, tau = 1 - Tr). Fitted freely by least squares to the compared states with only the "
           "catalogue's critical point held, they show how closely the form itself can follow the table; every "
           "set must also pass through the catalogue's minPressure at minTemp.\n"
           "- Saturated vapor density and heat of vaporisation: an equation of state whose phases are in equilibrium "
           "on its vapor-pressure curve obeys Clapeyron's equation, hvap = T (vg - vf) dP/dT, so both follow the slope "
           "of that curve. The slope's deviation from the table's (both taken over the same neighbouring rows of the "
           "table) is given where it is large enough to explain the miss.\n"
           "- Otherwise the equation of state itself is the limit: it must keep the catalogue's critical point exactly "
           "and follow the saturated liquid, the saturated vapor and every single-phase state at once. The fitter tries "
           "nine weightings of these and keeps the set closest to all targets together (see `tools/fit/README.md`), so a "
           "miss in one quantity is what the others cost.\n"
           "- Saturated-liquid enthalpy differences: the sets fitted before this target (all of the first 39 fluids "
           "but water) are kept as they are, so that their answers do not change; their fits followed h along "
           "isotherms and the heat of vaporisation, not the liquid along the saturation line. The liquid's local cp "
           "(the slope of the add-in's own enthalpy, against the table's cp) shows how far its slope is off.\n"
           "- Cubic-form fluids (R40, R500-R506): the form itself, whose liquid is bound by the co-volume limit.\n\n"
           "Facts about the catalogue and the table that bear on the miss follow the first sentence.\n\n";
    writeMisses(out, fluids);
    out << "\n";

    out << "## Points compared and where the largest deviations lie\n\n";
    writeWhere(out, fluids);
    out << "\n";

    out << "## What to rely on\n\n";
    if (!metNames.empty())
        out << "- Fluids meeting every target: " << metNames
            << ". For these, saturation pressure, saturated and single-phase densities and the heat of vaporisation "
               "below 0.95 of the critical temperature are as good as the tables' medians show.\n";
    std::string rough;
    for (const FluidReport& f : fluids) {
        if (f.status != kCompared) continue;
        std::string worst;
        double worstMedian = 0.0;
        for (const TargetRow& row : kTargets) {
            const Statistics& st = f.stats[row.quantity];
            if (st.count > 0 && st.median > kRoughMedian && st.median > worstMedian) {
                worstMedian = st.median;
                worst = row.label;
            }
        }
        if (!worst.empty())
            rough += (rough.empty() ? "" : ", ") + std::string(f.record->name) + " (" + worst + " " +
                     percentText(worstMedian) + " %)";
    }
    if (!rough.empty())
        out << "- Fluids with a median deviation above 1 % in a saturation, density or liquid-enthalpy quantity, to be "
               "used as approximations only (the largest such median in brackets): "
            << rough << ".\n";
    out << "- Within a few degrees of the critical point every fluid deviates more (the largest deviations in the "
           "tables above mostly lie there): use near-critical values with care.\n"
           "- Enthalpy and entropy: use differences (a change of state, a heat of vaporisation), never an absolute "
           "value against another source; the reference state differs (the add-in sets internal energy and entropy "
           "to zero for the saturated liquid at `minTemp`).\n"
           "- `KaltCpofTP` is a secant from the saturation temperature of the given pressure, not the local cp; "
           "near the critical point it reaches its upper bound of 5 BTU/(lbm F). For the local cp difference "
           "`KaltHofTP` over a small temperature step.\n"
           "- Viscosity and conductivity: estimates by corresponding states with water. Vapor viscosity is the "
           "closest (typically within 5 to 15 %); liquid viscosity and both conductivities can be off by tens of "
           "percent, and liquid viscosity far below the critical temperature by a factor of several. See their "
           "table before relying on them.\n"
           "- Blends: the add-in has one saturation curve; where the table's bubble and dew pressures differ, the "
           "add-in cannot match both, and its saturated vapor density is compared at the dew pressure while it is "
           "computed at its own single saturation pressure.\n"
           "- R31, R505, R506: the reference tables are estimates; take their stated uncertainty (a few percent to "
           "25 %) as the accuracy, however small the deviations above.\n";
    std::string cubicBounds;
    for (const FluidReport& f : fluids) {
        if (f.status != kCompared || !isCubicForm(*f.record)) continue;
        const double* k = constantsOf(*f.record);
        const double bound = k[slot::critPressure] / (k[slot::critZ] * kCubicSearchEnd);
        cubicBounds += (cubicBounds.empty() ? "" : ", ") + std::string(f.record->name) + " " +
                       numberText("%.3g psia", bound);
    }
    for (const FluidReport& f : fluids) {
        const Statistics& st = f.stats[kDensityUnresolved];
        if (f.status != kCompared || isCubicForm(*f.record) || st.count == 0) continue;
        out << "- " << f.record->name << " vapor at very low pressure (in the tables up to "
            << numberText("%.2g psia", st.highestPPa / kPaPerPsia)
            << "): volume, enthalpy and entropy can be far off, by up to " << percentText(st.max)
            << " % in density (see above); the liquid is not affected.\n";
    }
    if (!cubicBounds.empty())
        out << "- Cubic-form fluids above the critical temperature: volume, enthalpy and entropy are wrong below a "
               "pressure of (T/Tc) times "
            << cubicBounds << " (absolute temperatures), where the volume search ends.\n";

    std::ofstream file(path);
    if (!file) return false;
    file << out.str();
    return static_cast<bool>(file);
}

}  // namespace kaltra::accuracy
