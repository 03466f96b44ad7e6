// The accuracy report in Markdown: one row per catalogue fluid in each table, the targets
// met or missed, the stated uncertainty of the estimated tables, and what a user can rely on.
#pragma once

#include <string>
#include <vector>

#include "tools/accuracy/deviations.h"
#include "tools/accuracy/reference_tables.h"

namespace kaltra::accuracy {

enum FluidStatus : int { kCompared, kNoCoefficientSets, kNoReferenceTable };

struct FluidReport {
    const RefrigerantRecord* record = nullptr;
    FluidStatus status = kNoReferenceTable;
    bool blend = false;      // the saturation table has bubble and dew pressures
    ReferenceInfo info;
    Statistics stats[kQuantityCount];
    int nonFinite = 0;       // answers that were no finite number where the table has a value
    CatalogueOffsets offsets{};
    double glideMaxK = 0.0, glideAtmosphereK = 0.0;  // blends: the table's temperature glide (NaN: none)
};

// Writes the report; false when the file cannot be written.
bool writeReport(const std::string& path, const std::vector<FluidReport>& fluids);

// The targets a fluid is held to: the median and 95th-percentile bounds, in percent, of the
// quantities that have targets (zero for the others), doubled for blends and estimates.
struct Target {
    double median, p95;
};
Target targetFor(const FluidReport& fluid, Quantity q);
bool hasTarget(Quantity q);

// The quantities whose target the fluid misses, as a short text ("" when all are met).
std::string missedTargets(const FluidReport& fluid);

}  // namespace kaltra::accuracy
