// Transport and interfacial properties: viscosity and thermal conductivity by corresponding
// states with water, surface tension by a per-fluid power series in 1 - T/Tc.
// Internal units: degF, psia, ft3/lbm, lbm/ft3, lbm/(ft hr), ft2/hr, BTU/(hr ft degF), N/m.
#pragma once

#include "fluids/fluids.h"

namespace kaltra {

// The water state with the same reduced temperature and reduced volume as the fluid's.
struct WaterState {
    double tw;    // degF
    double rhow;  // lbm/ft3
};

// The viscosity and conductivity scales of the fluid's catalogue row, or null (R31).
const TransportEntry* findTransportEntry(const RefrigerantRecord& record);
WaterState equivalentWaterState(const RefrigerantRecord& record, double t, double v);

double waterViscosity(double tw, double rhow);
double viscosityTP(const RefrigerantRecord& record, double t, double p);            // or -999
double kinematicViscosityTP(const RefrigerantRecord& record, double t, double p);

double waterConductivity(double tw, double rhow);
double conductivityTP(const RefrigerantRecord& record, double t, double p);         // or -999

// Surface tension from the terms of the fluid's catalogue row (SurfaceTensionEntry).
double surfaceTension(const RefrigerantRecord& record, double t);  // N/m, 0 at and above Tc
// The row's sum of present terms at tau > 0, N/m, before surfaceTension holds it at zero or above.
double surfaceTensionSeries(const SurfaceTensionEntry& row, double tau);

}  // namespace kaltra
