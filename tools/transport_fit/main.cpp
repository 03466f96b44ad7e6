// kaltra_transport_fit: the transport rows (viscosityScale, conductivityScale) and the
// surface-tension rows of the fluids that follow the catalogue's 39, fitted to their reference
// tables or estimated where a table has no such column; how they follow the tables; the checks
// of the estimates on fluids that have the columns; and the same rule run on the catalogue's
// own fluids, against their published scales.
//
//   kaltra_transport_fit [--reference DIR] [--markdown]
//
// --markdown prints only the section the accuracy report carries. The output is the same,
// byte for byte, on every run.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "thermo/thermo.h"
#include "tools/transport_fit/transport_fit.h"

namespace {

using namespace kaltra;
using namespace kaltra::transportfit;

// The fluids that follow the catalogue's 39, in catalogue order from index 40 on. Their
// critical point is the reference equation's own (info.json).
constexpr const char* kNewFluids[] = {
    "R32",    "R125",   "R143a",  "R123",  "R1234yf", "R1234ze(E)", "R1233zd(E)", "R1336mzz(Z)",
    "R245fa", "R227ea", "R410A",  "R404A", "R507A",   "R513A",      "R454B",
};
constexpr int kFirstNewIndex = 40;

// Pure fluids whose tables have no viscosity, conductivity or surface tension, and the
// chemically close fluid whose rows are carried over by corresponding states.
struct CloseFluid {
    const char* fluid;
    const char* closeFluid;
    const char* why;
};
constexpr CloseFluid kCloseFluids[] = {
    {"R1233zd(E)", "R1234ze(E)",
     "trans-CF3CH=CHCl beside trans-CF3CH=CHF: the same trans-3,3,3-trifluoropropene, Cl in place of F"},
    {"R1336mzz(Z)", "R1234ze(E)",
     "CF3CH=CHCF3 beside CF3CH=CHF: the same CF3CH=CH- fluoro-olefin, CF3 in place of F"},
};
// Other close fluids tried for the same two, to show how much the estimate depends on the choice.
constexpr const char* kOtherCloseFluids[] = {"R1234yf", "R245fa"};

// Pairs of fluids that both have their columns: the close-fluid rule predicts the first from
// the second, a measure of what the rule is worth.
struct ClosePair {
    const char* fluid;
    const char* closeFluid;
};
constexpr ClosePair kClosePairChecks[] = {
    {"R1234yf", "R1234ze(E)"}, {"R1234ze(E)", "R1234yf"}, {"R245fa", "R1234ze(E)"},
    {"R227ea", "R125"},        {"R143a", "R32"},           {"R123", "R1234ze(E)"},
};

// Blends whose tables carry correlations of their own (pseudo-pure equations with their own
// viscosity, conductivity and surface tension): the blend rule predicts them from their
// components at the blends' nominal mass fractions.
struct BlendCheck {
    const char* blend;
    std::vector<const char*> components;
    std::vector<double> massFractions;
};
const BlendCheck kBlendChecks[] = {
    {"R410A", {"R32", "R125"}, {0.5, 0.5}},
    {"R404A", {"R125", "R143a", "R134a"}, {0.44, 0.52, 0.04}},
    {"R507A", {"R125", "R143a"}, {0.5, 0.5}},
};

bool isNewFluid(const std::string& name) {
    for (const char* n : kNewFluids)
        if (name == n) return true;
    return false;
}

// Every fluid the tool reads, read once, with its rows fitted to whatever columns it has.
struct Fluid {
    FluidTables tables;
    FluidRows fitted;
    bool read = false;
};

struct Library {
    std::string referenceDirectory;
    std::map<std::string, Fluid> fluids;
};

// A catalogue fluid of the 39 keeps the catalogue's critical point; a new fluid takes its
// table's. The rows fitted to the columns the table has.
const Fluid& fluidOf(Library& library, const std::string& name) {
    Fluid& fluid = library.fluids[name];
    if (fluid.read) return fluid;
    fluid.read = true;
    const std::string folder = library.referenceDirectory + "/" + name;
    accuracy::ReferenceInfo info;
    accuracy::readInfo(folder + "/info.json", info);
    double critTemp = critTempOfTable(info);
    double critVolume = critVolumeOfTable(info);
    const int index = refrigerantIndex(name.c_str());
    if (!isNewFluid(name) && index >= 1 && index <= kCatalogueSize && name == recordAt(index)->name) {
        const double* c = constantsOf(*recordAt(index));
        critTemp = c[slot::critTemp];
        critVolume = c[slot::critVolume];
    }
    readFluidTables(folder, name, critTemp, critVolume, fluid.tables);
    fluid.fitted = fitFluid(fluid.tables);
    return fluid;
}

// ---- Estimates ----------------------------------------------------------------------------

// The blend's rows from its components' fitted rows, at the given mass fractions.
FluidRows blendEstimate(Library& library, const FluidTables& blend, const std::vector<std::string>& components,
                        const std::vector<double>& massFractions) {
    std::vector<double> viscosity, conductivity;
    std::vector<SurfaceTensionEntry> tension;
    std::string basis;
    char part[96];
    for (std::size_t i = 0; i < components.size(); ++i) {
        const FluidRows& rows = fluidOf(library, components[i]).fitted;
        viscosity.push_back(rows.rawViscosityScale);
        conductivity.push_back(rows.rawConductivityScale);
        tension.push_back(rows.tension);
        std::snprintf(part, sizeof part, "%s%s %.3g", i == 0 ? "" : " + ", components[i].c_str(), massFractions[i]);
        basis += part;
    }
    FluidRows rows;
    rows.name = blend.name;
    rows.rawViscosityScale = blendScale(viscosity, massFractions);
    rows.rawConductivityScale = blendScale(conductivity, massFractions);
    rows.viscosityScale = roundScale(rows.rawViscosityScale);
    rows.conductivityScale = roundScale(rows.rawConductivityScale);
    // the components' series at the blend's own tau of every saturation temperature
    std::vector<double> taus;
    for (const double tK : blend.saturationTK)
        taus.push_back(1.0 - (temperatureIn(kSIFormal, tK) + kRankineOffset) / (blend.critTemp + kRankineOffset));
    rows.tension = fitSurfaceTension(blendTensionSamples(tension, massFractions, taus));
    rows.viscositySource = rows.conductivitySource = rows.tensionSource = kBlendOfComponents;
    rows.estimateBasis = "mass fractions " + basis;
    measureRows(blend, rows);
    return rows;
}

// The rows a pure fluid's table lacks: the scales from a close fluid's fitted scales, carried
// over by the ratio of the corresponding-states reducing groups; the surface tension from the
// generalized correlation with the fluid's own critical point and acentric factor.
FluidRows closeFluidEstimate(Library& library, const FluidTables& fluid, const std::string& closeName,
                             const FluidRows& own) {
    const Fluid& close = fluidOf(library, closeName);
    const CriticalGroup g = criticalGroupOf(fluid.info);
    const CriticalGroup gClose = criticalGroupOf(close.tables.info);
    FluidRows rows = own;
    char text[160];
    std::snprintf(text, sizeof text, "close fluid %s (scales)", closeName.c_str());
    rows.estimateBasis = text;
    if (!hasViscosity(fluid)) {
        rows.rawViscosityScale = close.fitted.rawViscosityScale * (viscosityGroup(g) / viscosityGroup(gClose));
        rows.viscosityScale = roundScale(rows.rawViscosityScale);
        rows.viscositySource = kCloseFluid;
    }
    if (!hasConductivity(fluid)) {
        rows.rawConductivityScale =
            close.fitted.rawConductivityScale * (conductivityGroup(g) / conductivityGroup(gClose));
        rows.conductivityScale = roundScale(rows.rawConductivityScale);
        rows.conductivitySource = kCloseFluid;
    }
    if (!hasTension(fluid)) {
        const double omega = acentricFactorOf(fluid);
        rows.tension = generalizedTension(fluid.info.critTempK, fluid.info.molarMass / fluid.info.critDensity, omega);
        rows.tensionSource = kGeneralized;
        std::snprintf(text, sizeof text, "; generalized correlation, acentric factor %.4f from the table (surface tension)",
                      omega);
        rows.estimateBasis += text;
    }
    measureRows(fluid, rows);
    return rows;
}

// The close fluid's surface-tension row carried over by the ratio of Pc^(2/3) Tc^(1/3): the
// alternative to the generalized correlation, reported for comparison.
SurfaceTensionEntry closeFluidTension(Library& library, const FluidTables& fluid, const std::string& closeName) {
    const Fluid& close = fluidOf(library, closeName);
    const double ratio = tensionGroup(criticalGroupOf(fluid.info)) / tensionGroup(criticalGroupOf(close.tables.info));
    SurfaceTensionEntry t = close.fitted.tension;
    t.coeff1 *= ratio;
    t.coeff2 *= ratio;
    t.coeff3 *= ratio;
    return t;
}

// The rows the tool writes for one of the new fluids: fitted where its table has the column;
// a blend evaluated from its components takes every row from them (its table's transport
// columns are themselves a mixing rule of the components, and it has no surface tension);
// a pure fluid without a column takes it from its close fluid.
FluidRows rowsOfNewFluid(Library& library, const std::string& name) {
    const Fluid& fluid = fluidOf(library, name);
    const accuracy::ReferenceInfo& info = fluid.tables.info;
    if (!info.blendComponents.empty())
        return blendEstimate(library, fluid.tables, info.blendComponents, info.blendMassFractions);
    for (const CloseFluid& c : kCloseFluids)
        if (name == c.fluid) return closeFluidEstimate(library, fluid.tables, c.closeFluid, fluid.fitted);
    return fluid.fitted;
}

const char* whyCloseFluid(const std::string& name) {
    for (const CloseFluid& c : kCloseFluids)
        if (name == c.fluid) return c.why;
    return "";
}

// ---- Output -------------------------------------------------------------------------------

std::string spreadText(const Spread& s) {
    if (s.count == 0) return "no table values";
    char text[96];
    std::snprintf(text, sizeof text, "%.3g / %.3g / %.3g %% (%d states)", s.median, s.p95, s.max, s.count);
    return text;
}

// The spread as a report cell: median / 95th percentile / maximum, percent.
std::string spreadCell(const Spread& s) {
    if (s.count == 0) return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.3g / %.3g / %.3g", s.median, s.p95, s.max);
    return text;
}

std::string tensionRowText(const SurfaceTensionEntry& t) {
    char text[160];
    std::snprintf(text, sizeof text, "%.7g, %.7g, %.7g, %.7g, %.7g, %.7g", t.coeff1, t.exp1, t.coeff2, t.exp2, t.coeff3,
                  t.exp3);
    return text;
}

// One scale: its written and unrounded value, where it comes from, and per phase how it
// follows the table and what that phase alone would ask for.
void printScale(const char* label, double written, double raw, RowSource source, const std::vector<ScaleSample>& samples,
                const Spread& liquid, const Spread& vapor) {
    std::printf("  %-17s %.4f (unrounded %.6f), %s\n", label, written, raw, sourceText(source));
    const bool phases[] = {true, false};
    for (const bool isLiquid : phases) {
        const Spread& s = isLiquid ? liquid : vapor;
        std::printf("    %-6s %s", isLiquid ? "liquid" : "vapor", spreadText(s).c_str());
        if (s.count > 0) std::printf("; the %s alone would take %.4f", isLiquid ? "liquid" : "vapor", phaseMedianRatio(samples, isLiquid));
        std::printf("\n");
    }
}

void printFluidRows(const FluidRows& rows, const FluidTables& tables, int index) {
    std::printf("%d %s\n", index, rows.name.c_str());
    if (!rows.estimateBasis.empty()) std::printf("  estimate from %s\n", rows.estimateBasis.c_str());
    const char* why = whyCloseFluid(rows.name);
    if (*why != '\0') std::printf("  (%s)\n", why);
    printScale("viscosityScale", rows.viscosityScale, rows.rawViscosityScale, rows.viscositySource, tables.viscosity,
               rows.viscosityLiquid, rows.viscosityVapor);
    printScale("conductivityScale", rows.conductivityScale, rows.rawConductivityScale, rows.conductivitySource,
               tables.conductivity, rows.conductivityLiquid, rows.conductivityVapor);
    std::printf("  surface tension   %s (%d term%s), %s\n", tensionRowText(rows.tension).c_str(), termsOf(rows.tension),
                termsOf(rows.tension) == 1 ? "" : "s", sourceText(rows.tensionSource));
    std::printf("    %s\n", spreadText(rows.tensionFit).c_str());
}

void printCloseFluidChecks(Library& library) {
    std::printf("\n== The close-fluid rule on fluids that have their columns (estimate against the fluid's own fit;\n"
                "   surface tension: the close fluid's row carried over, against the table, median / 95th / max %%)\n");
    std::printf("%-11s %-11s %18s %18s %s\n", "fluid", "from", "viscosityScale", "conductivityScale", "surface tension");
    for (const ClosePair& pair : kClosePairChecks) {
        const Fluid& fluid = fluidOf(library, pair.fluid);
        FluidTables blank = fluid.tables;  // the same fluid, its transport columns taken away
        blank.viscosity.clear();
        blank.conductivity.clear();
        const FluidRows estimate = closeFluidEstimate(library, blank, pair.closeFluid, FluidRows{});
        const Spread t = tensionSpread(fluid.tables.tension, closeFluidTension(library, fluid.tables, pair.closeFluid));
        std::printf("%-11s %-11s %8.4f (%+5.1f%%) %8.4f (%+5.1f%%) %s\n", pair.fluid, pair.closeFluid,
                    estimate.viscosityScale, (estimate.rawViscosityScale / fluid.fitted.rawViscosityScale - 1.0) * 100.0,
                    estimate.conductivityScale,
                    (estimate.rawConductivityScale / fluid.fitted.rawConductivityScale - 1.0) * 100.0,
                    spreadCell(t).c_str());
    }
    std::printf("\nThe two estimated fluids from other close fluids:\n");
    for (const CloseFluid& c : kCloseFluids) {
        const Fluid& fluid = fluidOf(library, c.fluid);
        for (const char* other : kOtherCloseFluids) {
            const FluidRows e = closeFluidEstimate(library, fluid.tables, other, fluid.fitted);
            std::printf("%-11s %-11s %8.4f %8.4f\n", c.fluid, other, e.viscosityScale, e.conductivityScale);
        }
    }
}

// The generalized surface-tension correlation on every pure fluid whose table has the column.
void printGeneralizedChecks(Library& library) {
    std::printf("\n== The generalized surface-tension correlation on pure fluids that have the column (against the table)\n");
    std::printf("%-11s %8s  %s\n", "fluid", "omega", "median / 95th / max %");
    std::vector<double> medians;
    std::vector<std::string> names;
    for (int index = 1; index <= kCatalogueSize; ++index) names.push_back(recordAt(index)->name);
    for (const char* name : kNewFluids) names.push_back(name);
    for (const std::string& name : names) {
        const Fluid& fluid = fluidOf(library, name);
        if (!hasTension(fluid.tables) || fluid.tables.info.critDensity <= 0.0) continue;
        if (fluid.tables.bubbleDew) continue;
        const double omega = acentricFactorOf(fluid.tables);
        if (std::isnan(omega)) continue;
        const SurfaceTensionEntry row =
            generalizedTension(fluid.tables.info.critTempK, fluid.tables.info.molarMass / fluid.tables.info.critDensity, omega);
        const Spread s = tensionSpread(fluid.tables.tension, row);
        std::printf("%-11s %8.4f  %s\n", name.c_str(), omega, spreadCell(s).c_str());
        medians.push_back(s.median);
    }
    std::printf("median of the fluids' medians %.3g %% (%zu fluids)\n", medianOf(medians), medians.size());
}

void printBlendChecks(Library& library) {
    std::printf("\n== The blend rule on blends with correlations of their own (estimate against the table)\n");
    std::printf("%-6s %18s %18s  viscosity liquid | vapor   conductivity liquid | vapor   surface tension (median / 95th / max %%)\n",
                "blend", "viscosityScale", "conductivityScale");
    for (const BlendCheck& check : kBlendChecks) {
        const Fluid& blend = fluidOf(library, check.blend);
        std::vector<std::string> components(check.components.begin(), check.components.end());
        const FluidRows e = blendEstimate(library, blend.tables, components, check.massFractions);
        std::printf("%-6s %8.4f (%+5.1f%%) %8.4f (%+5.1f%%)  %s | %s   %s | %s   %s\n", check.blend, e.viscosityScale,
                    (e.rawViscosityScale / blend.fitted.rawViscosityScale - 1.0) * 100.0, e.conductivityScale,
                    (e.rawConductivityScale / blend.fitted.rawConductivityScale - 1.0) * 100.0,
                    spreadCell(e.viscosityLiquid).c_str(), spreadCell(e.viscosityVapor).c_str(),
                    spreadCell(e.conductivityLiquid).c_str(), spreadCell(e.conductivityVapor).c_str(),
                    spreadCell(e.tensionFit).c_str());
    }
}

// The rule on the catalogue's fluids that have a transport row and table columns.
void printCatalogueCheck(Library& library) {
    std::printf("\n== The rule on the catalogue's own fluids (a check: their published rows stay)\n");
    std::printf("%-6s %9s %9s %7s   %9s %9s %7s\n", "fluid", "visc pub", "rule", "ratio", "cond pub", "rule", "ratio");
    std::vector<double> viscosityRatios, conductivityRatios;
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord& record = *recordAt(index);
        const TransportEntry* published = findTransportEntry(record);
        if (published == nullptr) continue;
        const Fluid& fluid = fluidOf(library, record.name);
        if (!hasViscosity(fluid.tables) && !hasConductivity(fluid.tables)) continue;
        const double rv = fluid.fitted.rawViscosityScale / published->viscosityScale;
        const double rc = fluid.fitted.rawConductivityScale / published->conductivityScale;
        std::printf("%-6s %9.4f %9.4f %7.3f   %9.4f %9.4f %7.3f\n", record.name, published->viscosityScale,
                    fluid.fitted.rawViscosityScale, rv, published->conductivityScale,
                    fluid.fitted.rawConductivityScale, rc);
        viscosityRatios.push_back(rv);
        conductivityRatios.push_back(rc);
    }
    std::printf("median ratio rule/published: viscosity %.3f, conductivity %.3f (%zu fluids)\n",
                medianOf(viscosityRatios), medianOf(conductivityRatios), viscosityRatios.size());
}

void printPasteRows(const std::vector<FluidRows>& rows) {
    std::printf("\n== Rows in catalogue order, ready to paste\n");
    std::printf("// viscosityScale, conductivityScale, name\n");
    for (const FluidRows& r : rows)
        std::printf("    {%.4f, %.4f, \"%s\"},%s\n", r.viscosityScale, r.conductivityScale, r.name.c_str(),
                    r.viscositySource == kFittedToTable && r.conductivitySource == kFittedToTable ? "" : "  // estimate");
    std::printf("// coeff1 N/m, exp1, coeff2 N/m, exp2, coeff3 N/m, exp3, name\n");
    for (const FluidRows& r : rows)
        std::printf("    {%s, \"%s\"},%s\n", tensionRowText(r.tension).c_str(), r.name.c_str(),
                    r.tensionSource == kFittedToTable ? "" : "  // estimate");
}

// The section the accuracy report carries for the new fluids.
void printMarkdown(const std::vector<FluidRows>& rows) {
    std::printf("| Fluid | `viscosityScale` | `conductivityScale` | Surface tension row | Viscosity, liquid | "
                "Viscosity, vapor | Conductivity, liquid | Conductivity, vapor | Surface tension |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const FluidRows& r : rows) {
        auto mark = [](RowSource s) { return s == kFittedToTable ? "" : " (estimate)"; };
        std::printf("| %s | %.4f%s | %.4f%s | %s%s | %s | %s | %s | %s | %s |\n", r.name.c_str(), r.viscosityScale,
                    mark(r.viscositySource), r.conductivityScale, mark(r.conductivitySource),
                    tensionRowText(r.tension).c_str(), mark(r.tensionSource), spreadCell(r.viscosityLiquid).c_str(),
                    spreadCell(r.viscosityVapor).c_str(), spreadCell(r.conductivityLiquid).c_str(),
                    spreadCell(r.conductivityVapor).c_str(), spreadCell(r.tensionFit).c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    Library library;
    library.referenceDirectory = KALTRA_DEFAULT_REFERENCE;
    bool markdown = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--reference") == 0 && i + 1 < argc) {
            library.referenceDirectory = argv[++i];
        } else if (std::strcmp(argv[i], "--markdown") == 0) {
            markdown = true;
        } else {
            std::fprintf(stderr, "usage: kaltra_transport_fit [--reference DIR] [--markdown]\n");
            return 2;
        }
    }

    std::vector<FluidRows> rows;
    for (const char* name : kNewFluids) {
        if (!fluidOf(library, name).tables.saturationTK.size()) {
            std::fprintf(stderr, "no reference table for %s in %s\n", name, library.referenceDirectory.c_str());
            return 1;
        }
        rows.push_back(rowsOfNewFluid(library, name));
    }
    if (markdown) {
        printMarkdown(rows);
        return 0;
    }

    std::printf("== Rows of the fluids from index %d on (deviations: median / 95th percentile / maximum)\n",
                kFirstNewIndex);
    for (std::size_t i = 0; i < rows.size(); ++i)
        printFluidRows(rows[i], fluidOf(library, rows[i].name).tables, kFirstNewIndex + static_cast<int>(i));
    printBlendChecks(library);
    printCloseFluidChecks(library);
    printGeneralizedChecks(library);
    printCatalogueCheck(library);
    printPasteRows(rows);
    return 0;
}
