// The catalogue fluids the engine tests run over: every one (each has its coefficient sets,
// as Catalogue.FormsAndCoefficientSets checks), looked up and so completed.
#pragma once

#include <vector>

#include "thermo/thermo.h"

namespace kaltra::test {

inline std::vector<const RefrigerantRecord*> fluidsWithCoefficients(bool mbwrOnly = false) {
    std::vector<const RefrigerantRecord*> fluids;
    for (int index = 1; index <= kCatalogueSize; ++index) {
        const RefrigerantRecord& r = *recordAt(index);
        if (!(mbwrOnly && isCubicForm(r))) fluids.push_back(findRefrigerant(r.name));
    }
    return fluids;
}

// Today's refrigerants, records 40 to 54, with their texts as written for the catalogue.
struct NewRecord {
    int index;
    const char* name;
    const char* formula;
    const char* longName;
};
inline constexpr NewRecord kNewRecords[] = {
    {40, "R32", "CH2F2", "Difluoromethane"},
    {41, "R125", "CHF2CF3", "Pentafluoroethane"},
    {42, "R143a", "CH3CF3", "1,1,1-Trifluoroethane"},
    {43, "R123", "CHCl2CF3", "Dichlorotrifluoroethane"},
    {44, "R1234yf", "CF3CF=CH2", "2,3,3,3-Tetrafluoropropene"},
    {45, "R1234ze(E)", "CF3CH=CHF", "trans-1,3,3,3-Tetrafluoropropene"},
    {46, "R1233zd(E)", "CF3CH=CHCl", "trans-1-Chloro-3,3,3-trifluoropropene"},
    {47, "R1336mzz(Z)", "CF3CH=CHCF3", "cis-1,1,1,4,4,4-Hexafluoro-2-butene"},
    {48, "R245fa", "CF3CH2CHF2", "1,1,1,3,3-Pentafluoropropane"},
    {49, "R227ea", "CF3CHFCF3", "1,1,1,2,3,3,3-Heptafluoropropane"},
    {50, "R410A", "R32/R125", "Near-azeotrope R-32/R-125"},
    {51, "R404A", "R125/R143a/R134a", "Near-azeotrope R-125/R-143a/R-134a"},
    {52, "R507A", "R125/R143a", "Azeotrope R-125/R-143a"},
    {53, "R513A", "R1234yf/R134a", "Azeotrope R-1234yf/R-134a"},
    {54, "R454B", "R32/R1234yf", "Blend R-32/R-1234yf"},
};

// Tr of a temperature in degF.
inline double reducedTemperatureOf(const RefrigerantRecord& r, double t) { return reducedTemperature(constantsOf(r), t); }

}  // namespace kaltra::test
