// Fitted coefficient sets of the 34 fluids whose sets are not published with the catalogue,
// in the slot layout of each form from slot 10 on (MBWR: alpha0-alpha6, b1-b29, A-D; cubic:
// a0 b c0 d0 ma mc md, k0-k4, entropyRef, energyRef, A-D).
//
// Placeholder: the sets have not been fitted yet, so every set is zero and the fluids answer
// only the functions that need no equation of state. tools/fit replaces this file.
#pragma once

namespace kaltra {

inline constexpr double kFittedR12[40] = {};
inline constexpr double kFittedR13[40] = {};
inline constexpr double kFittedR14[40] = {};
inline constexpr double kFittedR21[40] = {};
inline constexpr double kFittedR23[40] = {};
inline constexpr double kFittedR31[40] = {};
inline constexpr double kFittedR40[18] = {};
inline constexpr double kFittedR50[40] = {};
inline constexpr double kFittedR113[40] = {};
inline constexpr double kFittedR114[40] = {};
inline constexpr double kFittedR115[40] = {};
inline constexpr double kFittedR142b[40] = {};
inline constexpr double kFittedR152a[40] = {};
inline constexpr double kFittedR170[40] = {};
inline constexpr double kFittedR290[40] = {};
inline constexpr double kFittedR500[18] = {};
inline constexpr double kFittedR502[18] = {};
inline constexpr double kFittedR503[18] = {};
inline constexpr double kFittedR504[18] = {};
inline constexpr double kFittedR505[18] = {};
inline constexpr double kFittedR506[18] = {};
inline constexpr double kFittedR600[40] = {};
inline constexpr double kFittedR600a[40] = {};
inline constexpr double kFittedR702[40] = {};
inline constexpr double kFittedR704[40] = {};
inline constexpr double kFittedR718[40] = {};
inline constexpr double kFittedR720[40] = {};
inline constexpr double kFittedR728[40] = {};
inline constexpr double kFittedR729[40] = {};
inline constexpr double kFittedR732[40] = {};
inline constexpr double kFittedR740[40] = {};
inline constexpr double kFittedR744[40] = {};
inline constexpr double kFittedR1150[40] = {};
inline constexpr double kFittedR1270[40] = {};

}  // namespace kaltra
