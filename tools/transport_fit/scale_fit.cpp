// Statistics of deviations and the fit of a viscosity or conductivity scale.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "tools/transport_fit/transport_fit.h"

namespace kaltra::transportfit {
namespace {

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();
constexpr double kPercent = 100.0;
// The catalogue writes its scales with four decimal places.
constexpr int kScaleDecimals = 4;

}  // namespace

Spread spreadOf(const std::vector<double>& deviationsPercent) {
    Spread s;
    std::vector<double> magnitudes;
    for (const double d : deviationsPercent) magnitudes.push_back(std::fabs(d));
    s.count = static_cast<int>(magnitudes.size());
    if (s.count == 0) return s;
    std::sort(magnitudes.begin(), magnitudes.end());
    const std::size_t n = magnitudes.size();
    s.median = (n % 2 == 1) ? magnitudes[n / 2] : 0.5 * (magnitudes[n / 2 - 1] + magnitudes[n / 2]);
    // nearest rank: the smallest value with at least 95 % of the deviations at or below it
    const std::size_t rank = static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(n)));
    s.p95 = magnitudes[std::max<std::size_t>(rank, 1) - 1];
    s.max = magnitudes.back();
    return s;
}

double medianOf(std::vector<double> values) {
    if (values.empty()) return kNoValue;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return (n % 2 == 1) ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

double phaseMedianRatio(const std::vector<ScaleSample>& samples, bool liquid) {
    std::vector<double> ratios;
    for (const ScaleSample& s : samples)
        if (s.liquid == liquid) ratios.push_back(s.reference / s.unitAnswer);
    return medianOf(ratios);
}

double fitScale(const std::vector<ScaleSample>& samples) {
    std::vector<double> ratios;
    for (const ScaleSample& s : samples) ratios.push_back(s.reference / s.unitAnswer);
    return medianOf(ratios);
}

double roundScale(double scale) {
    if (!std::isfinite(scale)) return scale;
    // through the decimal text, so that the result is the double nearest to the written number
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", kScaleDecimals, scale);
    return std::strtod(text, nullptr);
}

Spread scaleSpread(const std::vector<ScaleSample>& samples, double scale, bool liquid) {
    std::vector<double> deviations;
    for (const ScaleSample& s : samples)
        if (s.liquid == liquid) deviations.push_back((scale * s.unitAnswer / s.reference - 1.0) * kPercent);
    return spreadOf(deviations);
}

}  // namespace kaltra::transportfit
