// The worksheet functions that answer from the catalogue and the unit tables alone:
// unit labels, names by index, index by name, and each fluid's constants and limits.
#include "fluids/fluids.h"
#include "shell/shell.h"
#include "thermo/counters.h"

namespace kaltra {
namespace {

// The answer to a name that matches no fluid; it is never converted.
constexpr double kUnknownFluid = -999.0;

// Error values of the three index functions for an index outside the catalogue: the add-in's
// own published codes, outside Excel's error codes, kept as they are.
constexpr int kNameIndexError = 2235;
constexpr int kLongNameIndexError = 2242;
constexpr int kFormulaIndexError = 2249;

}  // namespace
}  // namespace kaltra

using namespace kaltra;

KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltUnits(short units, short index) {
    return TextResult(unitLabel(units, index));
}

KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltName(short index) {
    const RefrigerantRecord* record = recordAt(index);
    return record ? TextResult(record->name) : ErrorResult(kNameIndexError);
}

KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltLongName(short index) {
    const RefrigerantRecord* record = recordAt(index);
    return record ? TextResult(record->longName) : ErrorResult(kLongNameIndexError);
}

KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltForm(short index) {
    const RefrigerantRecord* record = recordAt(index);
    return record ? TextResult(record->formula) : ErrorResult(kFormulaIndexError);
}

// The index reads only the three texts, so it never completes a record.
KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltIndex(kaltra_name name) {
    KALTRA_COUNT(counters::catalogueLookup, 1);
    return IntegerResult(refrigerantIndex(name));
}

KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltMW(kaltra_name name) {
    KALTRA_COUNT(counters::catalogueLookup, 1);
    const RefrigerantRecord* record = findRefrigerant(name);
    return NumberResult(record ? constantsOf(*record)[slot::molarMass] : kUnknownFluid);
}

KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltZc(kaltra_name name) {
    KALTRA_COUNT(counters::catalogueLookup, 1);
    const RefrigerantRecord* record = findRefrigerant(name);
    return NumberResult(record ? constantsOf(*record)[slot::critZ] : kUnknownFluid);
}

KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltTmax(kaltra_name name, short units) {
    KALTRA_COUNT(counters::catalogueLookup, 1);
    KALTRA_COUNT(counters::unitConversion, 1);
    const RefrigerantRecord* record = findRefrigerant(name);
    return NumberResult(record ? temperatureOut(units, record->maxTemp) : kUnknownFluid);
}

KALT_EXPORT xl::LPXLOPER KALT_PASCAL KaltPmax(kaltra_name name, short units) {
    KALTRA_COUNT(counters::catalogueLookup, 1);
    KALTRA_COUNT(counters::unitConversion, 1);
    const RefrigerantRecord* record = findRefrigerant(name);
    return NumberResult(record ? pressureOut(units, record->maxPressure) : kUnknownFluid);
}
