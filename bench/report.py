#!/usr/bin/env python3
"""Turns the benchmark's JSON, the evaluation counts and the worksheet timings into the tables
of docs/performance.md.

    report.py COUNTS.tsv BENCH.json SHEET.txt [INSTRUCTIONS_DIR] > tables.md

The floor of a scenario is the sum, over every kind of evaluation, of the number of
evaluations one call makes (COUNTS, from the counting core) times the cost of one such
evaluation alone (the part/ benchmarks, CPU time, median of the repetitions). Two floors are
given: with the chained costs (each evaluation waiting for the previous one, its latency; the
floor the target refers to) and with the independent costs (overlapping evaluations, a
stricter bound). Solves (saturation states, densities, volumes) are listed in the counts but
cost nothing of their own: they are made of the evaluations counted beside them.

INSTRUCTIONS_DIR, when given, holds the callgrind dumps of kaltra_instructions (cg.1, cg.2,
...) and its list of calls (calls.tsv); the same floor is then also formed in instructions,
exact where the times of a shared machine are not.
"""
import glob
import os
import csv
import json
import statistics
import sys
from collections import defaultdict

TARGET = 1.3

REGISTRATION_ORDER = [
    "KaltUnits", "KaltName", "KaltLongName", "KaltForm", "KaltIndex", "KaltMW", "KaltZc", "KaltTmax", "KaltPmax",
    "KaltPsat", "KaltTsat", "KaltVf", "KaltVg", "KaltPofTV", "KaltVofTP", "KaltZofTV", "KaltZofTP", "KaltHf",
    "KaltHg", "KaltHofTV", "KaltHofTP", "KaltSf", "KaltSg", "KaltSofTV", "KaltSofTP", "KaltTofPH", "KaltTofPS",
    "KaltSt", "KaltCpofTP", "KaltCvofTP", "KaltMUofTP", "KaltNUofTP", "KaltTKofTP",
]

# Counter -> the part whose cost one count adds (a recomputation is the difference between
# the evaluation with and without it).
EVALUATIONS = ["mbwrPressure", "mbwrPressureSlope", "mbwrResidual", "mbwrResidualDT", "cubicPressure"]
RECOMPUTATIONS = {
    "pressureCoefficients": "mbwrPressure",
    "pressureSlopeCoefficients": "mbwrPressureSlope",
    "residualCoefficients": "mbwrResidual",
    "residualSlopeCoefficients": "mbwrResidualDT",
}
ELEMENTARY = ["exp", "log", "pow", "sqrt"]
# Parts with one cost however they are timed.
SINGLE = ["unitConversion"]
PER_FLUID = ["catalogueLookup", "transportLookup"]


def read_counts(path):
    with open(path) as f:
        rows = list(csv.reader(f, delimiter="\t"))
    header = rows[0]
    counts = {}
    for row in rows[1:]:
        counts[row[0]] = {name: float(x) for name, x in zip(header[1:], row[1:])}
    return counts


def read_bench(path):
    with open(path) as f:
        data = json.load(f)
    times = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b.get("run_name", b["name"])
        unit = b.get("time_unit", "ns")
        scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[unit]
        times.setdefault(name, []).append(b["cpu_time"] * scale)
    return {name: statistics.median(v) for name, v in times.items()}, data.get("context", {})


def read_instructions(directory):
    """Instructions per call of every dump, by name; parts less the measuring loop."""
    calls = {}
    with open(os.path.join(directory, "calls.tsv")) as f:
        for line in f:
            name, n = line.rstrip("\n").split("\t")
            calls[name] = int(n)
    per_call = {}
    for path in glob.glob(os.path.join(directory, "cg.*")):
        name = total = None
        with open(path) as f:
            for line in f:
                if line.startswith("desc: Trigger: Client Request: "):
                    name = line[len("desc: Trigger: Client Request: "):].strip()
                elif line.startswith("summary:"):
                    total = int(line.split()[1])
        if name in calls and total is not None:
            per_call[name] = total / calls[name]
    loop = per_call.get("part/loop", 0.0)
    for name in list(per_call):
        if name.startswith("part/") and name != "part/loop":
            per_call[name] = max(0.0, per_call[name] - loop)
    return per_call


def part_costs(times, suffix):
    cost = {}
    for e in EVALUATIONS:
        cost[e] = times["part/" + e + suffix]
    for counter, e in RECOMPUTATIONS.items():
        cost[counter] = max(0.0, times["part/" + e + "+recompute" + suffix] - times["part/" + e + suffix])
    for e in ELEMENTARY:
        cost[e] = times["part/" + e + suffix]
    for e in SINGLE:
        cost[e] = times["part/" + e]
    return cost


def floor_of(count, fluid, cost, times):
    total = 0.0
    for counter, c in cost.items():
        total += count.get(counter, 0.0) * c
    for counter in PER_FLUID:
        total += count.get(counter, 0.0) * times["part/%s/%s" % (counter, fluid)]
    return total


def fmt_ns(x):
    if x >= 10000:
        return "%.0f" % x
    if x >= 100:
        return "%.0f" % x
    return "%.1f" % x


def fmt_count(count):
    parts = []
    short = [("mbwrPressure", "P"), ("mbwrPressureSlope", "S"), ("mbwrResidual", "I"), ("mbwrResidualDT", "dI"),
             ("cubicPressure", "cubic"), ("exp", "exp"), ("log", "log"), ("pow", "pow"), ("sqrt", "sqrt")]
    for counter, label in short:
        c = count.get(counter, 0.0)
        if c:
            parts.append("%s %g" % (label, c))
    recompute = sum(count.get(k, 0.0) for k in RECOMPUTATIONS)
    if recompute:
        parts.append("recompute %g" % recompute)
    solves = [("saturationState", "sat"), ("volumeOfTP", "vTP")]
    for counter, label in solves:
        c = count.get(counter, 0.0)
        if c:
            parts.append("%s %g" % (label, c))
    return ", ".join(parts) if parts else "-"


def main():
    counts = read_counts(sys.argv[1])
    times, context = read_bench(sys.argv[2])
    sheet = {}
    if len(sys.argv) > 3:
        with open(sys.argv[3]) as f:
            for line in f:
                if "=" in line:
                    k, v = line.strip().split("=", 1)
                    sheet[k] = v
    instructions = read_instructions(sys.argv[4]) if len(sys.argv) > 4 else {}
    latency = part_costs(times, "")
    throughput = part_costs(times, "/independent")
    in_instructions = part_costs(instructions, "") if instructions else None
    out = sys.stdout

    def ins(key):
        if in_instructions is None:
            return "-"
        value = in_instructions.get(key, instructions.get(key))
        return "%.0f" % value if value is not None else "-"

    out.write("### Parts of the floor (CPU ns, median; instructions)\n\n")
    out.write("| part | ns alone, chained (latency) | ns alone, independent (throughput) | instructions |\n"
              "|---|---:|---:|---:|\n")
    for e in EVALUATIONS:
        out.write("| `%s` (coefficients cached) | %s | %s | %s |\n"
                  % (e, fmt_ns(latency[e]), fmt_ns(throughput[e]), ins(e)))
    for counter, e in RECOMPUTATIONS.items():
        out.write("| recomputation of the `%s` cache | %s | %s | %s |\n"
                  % (e, fmt_ns(latency[counter]), fmt_ns(throughput[counter]), ins(counter)))
    for e in ELEMENTARY:
        out.write("| `%s` | %s | %s | %s |\n" % (e, fmt_ns(latency[e]), fmt_ns(throughput[e]), ins(e)))
    for e in SINGLE:
        out.write("| `%s` | %s | (same) | %s |\n" % (e, fmt_ns(latency[e]), ins(e)))
    fluids = sorted({k.split("/")[2] for k in times if k.startswith("part/catalogueLookup/")})
    for counter in PER_FLUID:
        for fluid in fluids:
            key = "part/%s/%s" % (counter, fluid)
            out.write("| `%s` of %s | %s | (same) | %s |\n" % (counter, fluid, fmt_ns(times[key]), ins(key)))
    out.write("\n")

    # Scenario rows.
    rows = []
    for name, t in times.items():
        if not name.startswith("call/"):
            continue
        scenario = name[len("call/"):]
        function, fluid, state = scenario.split("/")
        count = counts.get(scenario)
        if count is None:
            continue
        f_lat = floor_of(count, fluid, latency, times)
        f_thr = floor_of(count, fluid, throughput, times)
        i_call = instructions.get(name)
        i_floor = floor_of(count, fluid, in_instructions, instructions) if in_instructions else None
        rows.append((function, fluid, state, t, f_lat, f_thr, count, i_call, i_floor))

    # Registration order; the benchmark runs them in random order.
    functions = [f for f in REGISTRATION_ORDER if any(r[0] == f for r in rows)]
    states = ["-", "subcooled", "two-phase", "superheated", "supercritical", "near-critical", "alternating"]

    def ratio(t, f):
        return t / f if f > 0 else None

    # Summary per function.
    out.write("### Summary per function (all measured fluids and states)\n\n")
    out.write("| function | ns/call, warm (min - max) | ns/call, alternating | worst time/floor | "
              "worst time/floor (throughput floor) | worst instructions/floor | within %.1fx: time, instructions |\n"
              "|---|---:|---:|---:|---:|---:|:-:|\n" % TARGET)
    for function in functions:
        rs = [r for r in rows if r[0] == function]
        warm = [r[3] for r in rs if r[2] != "alternating"]
        alt = [r[3] for r in rs if r[2] == "alternating"]
        ratios = [ratio(r[3], r[4]) for r in rs if ratio(r[3], r[4]) is not None]
        ratios_thr = [ratio(r[3], r[5]) for r in rs if ratio(r[3], r[5]) is not None]
        ratios_ins = [ratio(r[7], r[8]) for r in rs if r[7] is not None and r[8] and ratio(r[7], r[8]) is not None]
        worst = max(ratios) if ratios else None
        worst_thr = max(ratios_thr) if ratios_thr else None
        worst_ins = max(ratios_ins) if ratios_ins else None
        alt_text = ("%s - %s" % (fmt_ns(min(alt)), fmt_ns(max(alt)))) if alt else "-"
        out.write("| `%s` | %s - %s | %s | %s | %s | %s | %s |\n" % (
            function, fmt_ns(min(warm)), fmt_ns(max(warm)), alt_text,
            "%.2f" % worst if worst is not None else "no floor",
            "%.2f" % worst_thr if worst_thr is not None else "no floor",
            "%.2f" % worst_ins if worst_ins is not None else "-",
            ("%s, %s" % ("yes" if worst <= TARGET else "**no**",
                         "-" if worst_ins is None else ("yes" if worst_ins <= TARGET + 0.005 else "**no**")))
            if worst is not None else "-"))
    out.write("\n")

    # Full tables per fluid.
    for fluid in sorted({r[1] for r in rows}, key=lambda f: ["R134a", "R718", "R744", "R13b1"].index(f)
                        if f in ["R134a", "R718", "R744", "R13b1"] else 99):
        out.write("### %s: every function and state\n\n" % fluid)
        out.write("| function | state | ns/call | floor ns | time/floor | throughput floor ns | time/floor | "
                  "instructions/call | instructions/floor | evaluations per call |\n"
                  "|---|---|---:|---:|---:|---:|---:|---:|---:|---|\n")
        for function in functions:
            for state in states:
                for r in rows:
                    if r[0] == function and r[1] == fluid and r[2] == state:
                        t, fl, ft, count, ic, ifl = r[3], r[4], r[5], r[6], r[7], r[8]
                        out.write("| `%s` | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n" % (
                            function, state, fmt_ns(t), fmt_ns(fl),
                            "%.2f" % (t / fl) if fl > 0 else "-", fmt_ns(ft),
                            "%.2f" % (t / ft) if ft > 0 else "-",
                            "%.0f" % ic if ic is not None else "-",
                            "%.2f" % (ic / ifl) if ic is not None and ifl else "-", fmt_count(count)))
        out.write("\n")

    if sheet:
        out.write("### The cycle worksheet scaled to %s cells\n\n" % sheet.get("cells", "?"))
        out.write("| run | processor seconds (median of %s) | per cell | elapsed seconds |\n|---|---:|---:|---:|\n"
                  % sheet.get("runs", "?"))
        cells = float(sheet.get("cells", "1"))
        for key, label in [("sheet", "`kaltra sheet`, %s worksheet calls" % sheet.get("calls", "?")),
                           ("host", "the same grid without worksheet calls (host only)")]:
            if key in sheet:
                s = float(sheet[key])
                out.write("| %s | %.3f | %.2f us | %s |\n" % (label, s, s / cells * 1e6, sheet.get(key + "_elapsed", "-")))
        if "sheet" in sheet and "host" in sheet and sheet.get("calls"):
            add_in = float(sheet["sheet"]) - float(sheet["host"])
            out.write("\nThe add-in's share, the difference: %.3f s, %.2f us per worksheet call.\n"
                      % (add_in, add_in / float(sheet["calls"]) * 1e6))
        out.write("\n")


if __name__ == "__main__":
    main()
