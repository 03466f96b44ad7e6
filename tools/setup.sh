#!/usr/bin/env bash
# Installs what Kaltra needs, builds it, and runs the main job: real worksheet calls
# evaluated through the add-in's own Excel boundary by the kaltra host.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/packages.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target kaltra Kaltra64
kaltra=build/host/kaltra

echo "== The worked example: enthalpy of R134a at 25 C and 10 bar, in kJ/kg"
"$kaltra" 'KaltHofTP("R134a", 25, 10, 1)'

echo
echo "== Saturation table of R134a (unit code 1: C, bar, m3/kg, kJ/kg, kJ/kg/C)"
printf '%6s %12s %12s %12s %12s %12s\n' "T" "Psat" "vg" "hf" "hg" "sg"
for t in -40 -30 -20 -10 0 10 20 30 40 50 60 70 80 90 100; do
  mapfile -t row < <(printf '%s\n' \
    "KaltPsat(\"R134a\", $t, 1)" "KaltVg(\"R134a\", $t, 1)" "KaltHf(\"R134a\", $t, 1)" \
    "KaltHg(\"R134a\", $t, 1)" "KaltSg(\"R134a\", $t, 1)" | "$kaltra")
  printf '%6s %12.5f %12.6f %12.3f %12.3f %12.5f\n' "$t" "${row[@]}"
done

echo
echo "== Vapor-compression cycle of R134a (examples/cycle.csv)"
"$kaltra" sheet examples/cycle.csv
