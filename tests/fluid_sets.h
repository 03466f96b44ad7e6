// The catalogue fluids the engine tests run over: every one whose coefficient sets are
// present, looked up (and so completed).
#pragma once

#include <vector>

#include "thermo/thermo.h"

namespace kaltra::test {

inline std::vector<const RefrigerantRecord*> fluidsWithCoefficients(bool mbwrOnly = false) {
    std::vector<const RefrigerantRecord*> fluids;
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord& r = *recordAt(index);
        if (hasCoefficientSets(r) && !(mbwrOnly && isCubicForm(r))) fluids.push_back(findRefrigerant(r.name));
    }
    return fluids;
}

// Tr of a temperature in degF.
inline double reducedTemperatureOf(const RefrigerantRecord& r, double t) {
    return (t + kRankineOffset) / (constantsOf(r)[slot::critTemp] + kRankineOffset);
}

}  // namespace kaltra::test
