#!/usr/bin/env python3
"""Writes the cycle worksheet scaled up: one vapor-compression cycle of R134a per row, the
evaporator and condenser temperatures varying from row to row, 20 cells a row.

    cycle_sheet.py ROWS > sheet.csv        (5000 rows: 100,000 cells, 80,000 worksheet calls)
    cycle_sheet.py ROWS --no-calls         the same grid with every worksheet call replaced by
                                           an addition of the row's two temperatures: the
                                           host's own share of the time

Each row is the cycle of examples/cycle.csv laid out along the row, in unit code 1 (C, bar,
kJ/kg): state 1 saturated vapor at the evaporator temperature, state 2 the isentropic
compressor discharge at the condensing pressure, state 3 saturated liquid at the condenser
temperature, state 4 after the expansion valve; then the compressor work, the refrigerating
effect, the COP, the suction volume, the discharge Cp, viscosity and conductivity, the surface
tension of the condensate and the vapor quality after expansion.
"""
import re
import sys

FLUID = '"R134a"'
UNITS = 1

# One row: column letter -> formula; {r} is the row number, A the evaporator and B the
# condenser temperature.
CELLS = [
    ("C", 'KaltPsat({f},A{r},{u})'),                 # P1 evaporating pressure
    ("D", 'KaltHg({f},A{r},{u})'),                   # h1
    ("E", 'KaltSg({f},A{r},{u})'),                   # s1
    ("F", 'KaltPsat({f},B{r},{u})'),                 # P2 condensing pressure
    ("G", 'KaltTofPS({f},F{r},E{r},{u})'),           # T2 isentropic discharge
    ("H", 'KaltHofTP({f},G{r},F{r},{u})'),           # h2
    ("I", 'KaltSofTP({f},G{r},F{r},{u})'),           # s2
    ("J", 'KaltHf({f},B{r},{u})'),                   # h3 = h4
    ("K", 'KaltSf({f},B{r},{u})'),                   # s3
    ("L", 'H{r}-D{r}'),                              # compressor work
    ("M", 'D{r}-J{r}'),                              # refrigerating effect
    ("N", 'M{r}/L{r}'),                              # COP
    ("O", 'KaltVg({f},A{r},{u})'),                   # suction volume
    ("P", 'KaltCpofTP({f},G{r},F{r},{u})'),          # discharge Cp
    ("Q", 'KaltMUofTP({f},G{r},F{r},{u})'),          # discharge viscosity
    ("R", 'KaltTKofTP({f},G{r},F{r},{u})'),          # discharge conductivity
    ("S", 'KaltSt({f},B{r},{u})'),                   # surface tension of the condensate
    ("T", '(J{r}-KaltHf({f},A{r},{u}))/(D{r}-KaltHf({f},A{r},{u}))'),  # quality after expansion
]


def main():
    rows = int(sys.argv[1]) if len(sys.argv) > 1 else 5000
    no_calls = "--no-calls" in sys.argv[2:]
    out = sys.stdout
    for i in range(rows):
        r = i + 1
        evaporator = -40.0 + 40.0 * (i % 97) / 96.0    # -40 .. 0 C
        condenser = 25.0 + 35.0 * (i % 89) / 88.0      # 25 .. 60 C
        cells = ["%.6f" % evaporator, "%.6f" % condenser]
        formulas = [formula.format(f=FLUID, r=r, u=UNITS) for _, formula in CELLS]
        if no_calls:
            formulas = [re.sub(r"Kalt\w+\([^()]*\)", "(A%d+B%d)" % (r, r), f) for f in formulas]
        cells += ["=" + f for f in formulas]
        out.write(",".join(cells) + "\n")


if __name__ == "__main__":
    main()
