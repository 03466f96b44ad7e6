#!/usr/bin/env python3
"""Writes the cycle worksheet scaled up: one vapor-compression cycle of R134a per row, the
evaporator and condenser temperatures varying from row to row, 20 cells a row.

    cycle_sheet.py ROWS > sheet.csv        (5000 rows: 100,000 cells, 80,000 worksheet calls)
    cycle_sheet.py ROWS --no-calls         the same grid with every worksheet call replaced by
                                           an addition of the row's two temperatures: the
                                           host's own share of the time
    cycle_sheet.py --time RUNS KALTRA SHEET  runs `KALTRA sheet SHEET` RUNS times and prints the
                                           median processor time (user + system) and the
                                           median elapsed time, in seconds

Each row is the cycle of examples/cycle.csv laid out along the row, in unit code 1 (C, bar,
kJ/kg): state 1 saturated vapor at the evaporator temperature, state 2 the isentropic
compressor discharge at the condensing pressure, state 3 saturated liquid at the condenser
temperature, state 4 after the expansion valve; then the compressor work, the refrigerating
effect, the COP, the suction volume, the discharge Cp, viscosity and conductivity, the surface
tension of the condensate and the vapor quality after expansion.
"""
import os
import re
import statistics
import subprocess
import sys
import time

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


def time_sheet(runs, kaltra, sheet):
    cpu, elapsed = [], []
    for _ in range(runs):
        start = time.monotonic()
        with open(os.devnull, "w") as devnull:
            child = subprocess.Popen([kaltra, "sheet", sheet], stdout=devnull)
            _, status, usage = os.wait4(child.pid, 0)
        elapsed.append(time.monotonic() - start)
        if status != 0:
            sys.exit("kaltra sheet %s failed" % sheet)
        cpu.append(usage.ru_utime + usage.ru_stime)
    print("%.4f %.4f" % (statistics.median(cpu), statistics.median(elapsed)))


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "--time":
        time_sheet(int(sys.argv[2]), sys.argv[3], sys.argv[4])
        return
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
