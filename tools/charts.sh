#!/usr/bin/env bash
# Draws the pressure-enthalpy chart of every fluid into docs/charts (unit code 1: ºC, bar,
# kJ/kg) with `kaltra chart`, and writes docs/fluids.md, the table of the catalogue's fluids that
# links them.
#
#   bash tools/charts.sh                      builds kaltra in build/ first
#   KALTRA_BUILD=DIR bash tools/charts.sh     builds and uses DIR instead
#   KALTRA=PATH bash tools/charts.sh          uses the kaltra program at PATH as it is
#
# Numbers the add-in answers come from kaltra; the lowest temperature, the critical point,
# the form of the equation of state and whether the fluid has transport scales are read from
# the catalogue's rows (fluids/catalogue_rows.h). The accuracy column is taken from docs/accuracy.md when it
# exists. Every fluid has its chart: one that kaltra cannot draw stops the script with kaltra's
# reason.
set -euo pipefail
cd "$(dirname "$0")/.."
units=1

if [ -n "${KALTRA:-}" ]; then
  kaltra=$KALTRA
else
  build=${KALTRA_BUILD:-build}
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j"$(nproc)" --target kaltra Kaltra64 >/dev/null
  kaltra="$build/host/kaltra"
fi

mkdir -p docs/charts
catalogue=fluids/catalogue_rows.h

# name -> "critTemp critPressure minTemp gamma transport" (internal units: ºF, psia; transport
# "yes" or "no"), from the catalogue's rows: a row's constants are
# {maxTemp, maxPressure, {critTemp, critPressure, critVolume, critZ, minTemp, ..., gamma}}, or
# generatedConstants(kConstantsX), the same twelve numbers in fluids/fitted_coefficients.h.
declare -A scalars
declare -A transport
while read -r name critTemp critPressure minTemp gamma hasTransport; do
  scalars[$name]="$critTemp $critPressure $minTemp $gamma"
  transport[$name]=$hasTransport
done < <(awk '
  FNR == 1 { file++ }
  # the generated constants: kConstantsX[12] = { ... };
  file == 1 && /^inline constexpr double kConstants[A-Za-z0-9]+\[12\] = \{$/ {
    array = $4; sub(/\[.*/, "", array); numbers = ""; inside = 1; next
  }
  file == 1 && inside && /^\};/ { generated[array] = numbers; inside = 0; next }
  file == 1 && inside && !/^ *\/\// { line = $0; gsub(/ /, "", line); numbers = numbers line; next }
  file == 2 && /^ *\{"[^"]+", *"[^"]*", *"[^"]*", *(\{|generatedConstants)/ {
    line = $0
    name = line; sub(/^ *\{"/, "", name); sub(/".*/, "", name)
    if (line ~ /generatedConstants\(/) {
      array = line; sub(/.*generatedConstants\(/, "", array); sub(/\).*/, "", array)
      n = split(generated[array], c, ",")
      for (i = 1; i <= 10; i++) v[i] = c[i + 2]
    } else {
      numbers = line; sub(/^ *\{"[^"]+", *"[^"]*", *"[^"]*", *\{[^{]*\{/, "", numbers); sub(/\}.*/, "", numbers)
      n = split(numbers, v, ",")
      for (i = 1; i <= n; i++) gsub(/ /, "", v[i])
    }
    print name, v[1], v[2], v[5], v[10], (line ~ /kNoTransportRow/ ? "no" : "yes")
  }' fluids/fitted_coefficients.h "$catalogue")
count=${#scalars[@]}

# Per fluid from the add-in: name, formula, long name, highest temperature and pressure,
# and the lowest saturation pressure (a temperature far below the range is raised to the
# lowest temperature).
formulas=()
for i in $(seq 1 "$count"); do
  formulas+=("KaltName($i)" "KaltForm($i)" "KaltLongName($i)"
             "KaltTmax(KaltName($i), $units)" "KaltPmax(KaltName($i), $units)" "KaltPsat(KaltName($i), -1000, $units)")
done
mapfile -t answers < <(printf '%s\n' "${formulas[@]}" | "$kaltra")

# docs/accuracy.md's first table: one row per fluid, "| Fluid | Form | Saturation pressure |
# Sat. liquid density | Sat. vapor density | Heat of vaporisation | Single-phase density |
# Targets |", each cell median / 95th percentile / maximum in percent.
declare -A accuracy
if [ -f docs/accuracy.md ]; then
  while IFS=$'\t' read -r name cell; do accuracy[$name]=$cell; done < <(awk -F'|' '
    /^\| Fluid \| Form \| Saturation pressure/ { inside = 1; next }
    inside && /^\|---/ { next }
    inside && !/^\|/ { exit }
    inside {
      for (i = 2; i <= NF; i++) { gsub(/^ +| +$/, "", $i) }
      name = $2; sub(/ \(a\)$/, "", name)
      if ($4 == "" || $4 ~ /coefficient|reference/) { print name "\t" $3; next }
      print name "\tp<sub>sat</sub> " $4 "; density " $8 "; " $9
    }' docs/accuracy.md)
fi

fahrenheitToCelsius() { awk -v x="$1" 'BEGIN { printf "%.2f", (x - 32) / 1.8 }'; }
psiaToBar() { awk -v x="$1" 'BEGIN { y = x / 14.50377377; if (y < 0.001) printf "%.3e", y; else printf "%.4g", y }'; }
barShown() { awk -v y="$1" 'BEGIN { if (y < 0.001) printf "%.3e", y; else printf "%.4g", y }'; }
celsiusShown() { awk -v x="$1" 'BEGIN { printf "%.2f", x }'; }

drawn=0
rows=()
for i in $(seq 1 "$count"); do
  base=$(( (i - 1) * 6 ))
  name=${answers[base]}
  formula=${answers[base + 1]}
  longName=${answers[base + 2]}
  tmax=${answers[base + 3]}
  pmax=${answers[base + 4]}
  pmin=${answers[base + 5]}
  read -r critTemp critPressure minTemp gamma <<<"${scalars[$name]}"

  chart="docs/charts/$name.svg"
  if ! "$kaltra" chart "$name" --units "$units" -o "$chart.new"; then
    rm -f "$chart.new"
    echo "tools/charts.sh: kaltra could not draw the chart of $name" >&2
    exit 1
  fi
  mv "$chart.new" "$chart"
  drawn=$((drawn + 1))

  form=$(awk -v g="$gamma" 'BEGIN { print (g > 0) ? "MBWR" : "cubic" }')
  if [ "$pmin" = "-999" ]; then lowPressure="–"; else lowPressure=$(barShown "$pmin"); fi
  range="$(fahrenheitToCelsius "$minTemp") to $(celsiusShown "$tmax")"
  pressures="$lowPressure to $(barShown "$pmax")"
  critical="$(fahrenheitToCelsius "$critTemp") ºC, $(psiaToBar "$critPressure") bar"
  hasTransport=${transport[$name]}
  if [ -f docs/accuracy.md ]; then
    accuracyCell="${accuracy[$name]:-not in the report}"
    # A report older than the fluid's coefficient set.
    if [ "$accuracyCell" = "no coefficient set yet" ] && [ -f "$chart" ]; then
      accuracyCell="not compared yet, see [accuracy](accuracy.md)"
    fi
  else
    accuracyCell="see [accuracy](accuracy.md)"
  fi
  rows+=("| $i | [$name](charts/$name.svg) | $formula | $longName | $form | $range | $pressures | $critical | $hasTransport | $accuracyCell | [chart](charts/$name.svg) |")
done

{
  echo "<!-- Generated by tools/charts.sh from the add-in (through kaltra) and the catalogue; do not edit by hand. -->"
  echo
  echo "# The fluids"
  echo
  echo "Kaltra knows $count fluids, by index 1 to $count (\`KaltName(i)\`, \`KaltForm(i)\`, \`KaltLongName(i)\`) and by"
  echo "designation, formula or long name in any letter case. Each has one equation of state: the"
  echo "Benedict-Webb-Rubin-type form with 29 fitted coefficients (MBWR) or a three-parameter cubic form."
  echo
  echo "All numbers are in unit code 1 (ºC, bar). The temperature range runs from the fluid's lowest"
  echo "temperature (where its saturated liquid is the zero of internal energy and entropy) to \`KaltTmax\`;"
  echo "the pressure range from the saturation pressure at the lowest temperature to \`KaltPmax\`. Saturation"
  echo "functions bound temperatures to the lowest and the critical temperature; single-phase functions"
  echo "take pressures down to 1 % of the lowest saturation pressure. Viscosity and thermal conductivity"
  echo "(transport) are answered for every fluid but R31, whose \`KaltMUofTP\` and \`KaltTKofTP\` answer -999;"
  echo "they are corresponding-states estimates, good for rough sizing (see the accuracy report)."
  echo
  echo "Accuracy against reference tables: [accuracy.md](accuracy.md). The cells below are median / 95th"
  echo "percentile / maximum deviation in percent of the saturation pressure and of the single-phase density,"
  echo "then the targets met or missed."
  echo
  echo "Each chart is a pressure-enthalpy diagram drawn by \`kaltra chart NAME\` from the add-in's own"
  echo "worksheet functions: the saturation dome, isotherms, isentropes in the vapor region and the critical"
  echo "point. Regenerate the charts and this page with \`bash tools/charts.sh\`."
  echo
  echo "| # | Fluid | Formula | Long name | Form | Temperature, ºC | Pressure, bar | Critical point | Transport | Accuracy | Chart |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
} > docs/fluids.md

echo "charts drawn: $drawn of $count in docs/charts; docs/fluids.md written"
