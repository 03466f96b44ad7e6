// kaltra_accuracy: compares the add-in's own answers with the reference property tables and
// writes the accuracy report.
//
//   kaltra_accuracy [reference-directory [report-path]]
//
// The reference directory holds one folder per fluid (sat.csv, single.csv, ideal.csv,
// info.json); the defaults are the work tree's ../shared/reference and docs/accuracy.md.
#include <cstdio>
#include <string>
#include <vector>

#include "fluids/fluids.h"
#include "tools/accuracy/deviations.h"
#include "tools/accuracy/reference_tables.h"
#include "tools/accuracy/report.h"

namespace {

using namespace kaltra;
using namespace kaltra::accuracy;

// Reads a fluid's folder; false when it has no saturation or single-phase table.
bool readReferenceTables(const std::string& folder, ReferenceTables& tables, ReferenceInfo& info) {
    readInfo(folder + "/info.json", info);
    tables.haveSat = readTable(folder + "/sat.csv", tables.sat);
    tables.haveSingle = readTable(folder + "/single.csv", tables.single);
    tables.haveIdeal = readTable(folder + "/ideal.csv", tables.ideal);
    return tables.haveSat || tables.haveSingle;
}

FluidReport reportFluid(const RefrigerantRecord& catalogued, const std::string& referenceDirectory) {
    FluidReport fluid;
    fluid.record = &catalogued;
    ReferenceTables tables;
    const bool haveTables = readReferenceTables(referenceDirectory + "/" + catalogued.name, tables, fluid.info);
    fluid.blend = tables.haveSat && columnIndex(tables.sat, "p_bubble") >= 0;
    if (!hasCoefficientSets(catalogued)) {
        fluid.status = kNoCoefficientSets;
        return fluid;
    }
    if (!haveTables) {
        fluid.status = kNoReferenceTable;
        return fluid;
    }
    // The lookup completes a cubic-form record, as the worksheet's first call would.
    const RefrigerantRecord& record = *findRefrigerant(catalogued.name);
    const FluidComparison comparison = compareFluid(record, tables);
    for (int q = 0; q < kQuantityCount; ++q) fluid.stats[q] = statisticsOf(comparison.deviations[q]);
    fluid.nonFinite = comparison.nonFinite;
    fluid.glideMaxK = comparison.glideMaxK;
    fluid.glideAtmosphereK = comparison.glideAtmosphereK;
    fluid.offsets = catalogueOffsets(record, tables, fluid.info);
    fluid.offsets.minPressureFormPercent = comparison.minPressureAgainstForm;
    fluid.status = kCompared;
    return fluid;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string referenceDirectory = argc > 1 ? argv[1] : KALTRA_DEFAULT_REFERENCE;
    const std::string reportPath = argc > 2 ? argv[2] : KALTRA_DEFAULT_REPORT;
    if (argc > 3) {
        std::fprintf(stderr, "usage: kaltra_accuracy [reference-directory [report-path]]\n");
        return 2;
    }

    std::vector<FluidReport> fluids;
    for (int index = 1; index <= kCatalogueSize; ++index) {
        fluids.push_back(reportFluid(*recordAt(index), referenceDirectory));
        const FluidReport& f = fluids.back();
        if (f.status == kNoCoefficientSets) {
            std::printf("%-6s skipped: no coefficient set\n", f.record->name);
        } else if (f.status == kNoReferenceTable) {
            std::printf("%-6s skipped: no reference table in %s\n", f.record->name, referenceDirectory.c_str());
        } else {
            const std::string missed = missedTargets(f);
            std::printf("%-11s psat %.4f/%.4f%%  rho' %.4f/%.4f%%  rho'' %.4f/%.4f%%  hvap %.4f/%.4f%%  rho %.4f/%.4f%%  "
                        "h' diff. %.4f/%.4f%%  %s\n",
                        f.record->name, f.stats[kSatPressure].median, f.stats[kSatPressure].p95,
                        f.stats[kSatLiquidDensity].median, f.stats[kSatLiquidDensity].p95,
                        f.stats[kSatVaporDensity].median, f.stats[kSatVaporDensity].p95,
                        f.stats[kVaporisationHeat].median, f.stats[kVaporisationHeat].p95, f.stats[kDensity].median,
                        f.stats[kDensity].p95, f.stats[kSatLiquidEnthalpy].median, f.stats[kSatLiquidEnthalpy].p95,
                        missed.empty() ? "targets met" : ("missed: " + missed).c_str());
        }
    }
    if (!writeReport(reportPath, fluids)) {
        std::fprintf(stderr, "kaltra_accuracy: cannot write %s\n", reportPath.c_str());
        return 1;
    }
    std::printf("wrote %s\n", reportPath.c_str());
    return 0;
}
