#!/usr/bin/env python3
"""Turns the benchmark's JSON, the evaluation counts and the worksheet timings into the tables
of docs/performance.md.

    report.py COUNTS.tsv BENCH.json SHEET.txt [INSTRUCTIONS_DIR] [--before BENCH.json INSTRUCTIONS_DIR] > tables.md

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

--before names the benchmark JSON and the instruction dumps of an earlier revision measured
with the same benchmark programs; a table per function then sets the new times and instruction
counts against the old ones.
"""
import glob
import os
import csv
import json
import statistics
import sys
from collections import defaultdict

TARGET = 1.3


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


def registration_order(counts):
    """The functions in registration order: the counting program writes its scenarios (ids
    function/fluid/state) in the function table's order."""
    order = []
    for scenario in counts:
        function = scenario.split("/")[0]
        if function not in order:
            order.append(function)
    return order


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
    # In the order the program counted them (catalogue order for the lookups).
    per_call = {name: per_call[name] for name in calls if name in per_call}
    loop = per_call.get("part/loop", 0.0)
    for name in list(per_call):
        if (name.startswith("part/") or name.startswith("lookup/")) and name != "part/loop":
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
    roots = count.get("mbwrDensity", 0.0) + count.get("cubicVolume", 0.0)
    if roots:
        parts.append("roots %g" % roots)
    return ", ".join(parts) if parts else "-"


def lookup_fluids(times, instructions):
    """The fluids of the lookup benchmarks, in catalogue order where the instruction counts give it."""
    order = [k for k in instructions if k.startswith("lookup/name/")] or sorted(
        k for k in times if k.startswith("lookup/name/"))
    return [k.split("/")[2] for k in order if k in times]


def write_lookups(out, times, instructions):
    """The catalogue lookup of every fluid by each of its texts, and the functions whose cost is
    the lookup, on every fluid."""
    kinds = ["name", "formula", "longName"]
    fluids = lookup_fluids(times, instructions)
    if not fluids:
        return
    out.write("### The catalogue lookup per fluid (CPU ns, median; instructions)\n\n")
    out.write("| fluid | by name, ns | by formula, ns | by long name, ns | instructions (name, formula, long name) |"
              " `KaltMW` ns | `KaltIndex` ns | `KaltPsat` warm ns | instructions (`KaltMW`, `KaltIndex`, `KaltPsat`) |\n"
              "|---|---:|---:|---:|---|---:|---:|---:|---|\n")
    columns = {k: [] for k in kinds}
    positions = {f: [] for f in ["KaltMW", "KaltIndex", "KaltPsat"]}

    def ins(key):
        return "%.0f" % instructions[key] if key in instructions else "-"

    for fluid in fluids:
        row = [fluid]
        for k in kinds:
            t = times.get("lookup/%s/%s" % (k, fluid))
            columns[k].append(t)
            row.append(fmt_ns(t) if t is not None else "-")
        row.append(", ".join(ins("lookup/%s/%s" % (k, fluid)) for k in kinds))
        for f in positions:
            t = times.get("position/%s/%s" % (f, fluid))
            if t is not None:
                positions[f].append(t)
            row.append(fmt_ns(t) if t is not None else "-")
        row.append(", ".join(ins("position/%s/%s" % (f, fluid)) for f in positions))
        out.write("| " + " | ".join(row) + " |\n")
    out.write("\n")
    for k in kinds:
        v = [t for t in columns[k] if t is not None]
        if v:
            out.write("- lookup by %s: %s - %s ns, median %s\n" % (k, fmt_ns(min(v)), fmt_ns(max(v)),
                                                                  fmt_ns(statistics.median(v))))
    for f, v in positions.items():
        if v:
            out.write("- `%s`: %s - %s ns, median %s\n" % (f, fmt_ns(min(v)), fmt_ns(max(v)), fmt_ns(statistics.median(v))))
    out.write("\n")


def write_sweeps(out, rows, times, instructions, order):
    """The functions of one temperature or pressure over a hundred distinct temperatures, in
    units of one exp and two pow timed in the same run."""
    unit = times.get("part/exp+2pow")
    fluid_order = ["R134a", "R718", "R744", "R13b1"]
    sweeps = sorted((r for r in rows if r[2] == "sweep"),
                    key=lambda r: (order.index(r[0]) if r[0] in order else 99,
                                   fluid_order.index(r[1]) if r[1] in fluid_order else 99))
    if not sweeps or unit is None:
        return
    unit_ins = instructions.get("part/exp+2pow")
    out.write("### Over a hundred distinct temperatures (sweep), against one exp and two pow\n\n")
    out.write("One exp and two pow (the vapor-pressure equation's elementary functions, at R134a's sweep "
              "arguments): %s ns%s.\n\n" % (fmt_ns(unit), "" if unit_ins is None else ", %.0f instructions" % unit_ins))
    out.write("| function | fluid | ns/call | floor ns | time/floor | in exp+2pow | instructions/call | "
              "instructions/floor | evaluations per call |\n|---|---|---:|---:|---:|---:|---:|---:|---|\n")
    for r in sweeps:
        function, fluid, state, t, f_lat, f_thr, count, i_call, i_floor = r
        out.write("| `%s` | %s | %s | %s | %s | %.1f | %s | %s | %s |\n" % (
            function, fluid, fmt_ns(t), fmt_ns(f_lat), "%.2f" % (t / f_lat) if f_lat > 0 else "-", t / unit,
            "%.0f" % i_call if i_call is not None else "-",
            "%.2f" % (i_call / i_floor) if i_call is not None and i_floor else "-", fmt_count(count)))
    out.write("\n")


def write_before_and_after(out, functions, times, instructions, before_times, before_instructions):
    """Per function, the median over its scenarios of the time and the instructions, old and
    new; the lookup per fluid, old and new."""
    def scenarios_of(table, function, kind):
        values = []
        for name, value in table.items():
            parts = name.split("/")
            if len(parts) != 4 or parts[0] != "call" or parts[1] != function:
                continue
            state = parts[3]
            if kind == "warm" and state not in ("alternating", "sweep") or kind == state:
                values.append(value)
        return values

    def pair(old, new, digits="ns"):
        if not old or not new:
            return "-", "-", "-"
        a, b = statistics.median(old), statistics.median(new)
        text = fmt_ns if digits == "ns" else (lambda x: "%.0f" % x)
        return text(a), text(b), "%.2f" % (b / a)

    out.write("### Before and after, per function (median over the measured fluids and states)\n\n")
    out.write("| function | warm ns, before | now | now/before | alternating ns, before | now | now/before | "
              "sweep ns, before | now | now/before | instructions, before | now | now/before |\n"
              "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n")
    for function in functions:
        cells = []
        for kind in ("warm", "alternating", "sweep"):
            cells += pair(scenarios_of(before_times, function, kind), scenarios_of(times, function, kind))
        old_ins = [v for k, v in before_instructions.items() if k.startswith("call/%s/" % function)]
        new_ins = [v for k, v in instructions.items() if k.startswith("call/%s/" % function)]
        cells += pair(old_ins, new_ins, "count")
        out.write("| `%s` | %s |\n" % (function, " | ".join(cells)))
    out.write("\n")

    lookups = lookup_fluids(times, instructions)
    if lookups:
        out.write("### The lookup per fluid, before and after (by name; ns, instructions)\n\n")
        out.write("| fluid | ns, before | now | instructions, before | now |\n|---|---:|---:|---:|---:|\n")
        for fluid in lookups:
            key = "lookup/name/" + fluid
            old_t, new_t = before_times.get(key), times.get(key)
            old_i, new_i = before_instructions.get(key), instructions.get(key)
            out.write("| %s | %s | %s | %s | %s |\n" % (
                fluid, fmt_ns(old_t) if old_t is not None else "-", fmt_ns(new_t) if new_t is not None else "-",
                "%.0f" % old_i if old_i is not None else "-", "%.0f" % new_i if new_i is not None else "-"))
        out.write("\n")


def main():
    args = sys.argv[1:]
    before = None
    if "--before" in args:
        i = args.index("--before")
        before = args[i + 1:i + 3]
        args = args[:i] + args[i + 3:]
    counts = read_counts(args[0])
    times, context = read_bench(args[1])
    sheet = {}
    if len(args) > 2:
        with open(args[2]) as f:
            for line in f:
                if "=" in line:
                    k, v = line.strip().split("=", 1)
                    sheet[k] = v
    instructions = read_instructions(args[3]) if len(args) > 3 else {}
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
    order = registration_order(counts)
    functions = [f for f in order if any(r[0] == f for r in rows)]
    states = ["-", "subcooled", "two-phase", "superheated", "supercritical", "near-critical", "alternating", "sweep"]

    def ratio(t, f):
        return t / f if f > 0 else None

    # Summary per function.
    out.write("### Summary per function (all measured fluids and states)\n\n")
    out.write("| function | ns/call, warm (min - max) | ns/call, alternating | ns/call, sweep | worst time/floor | "
              "worst time/floor (throughput floor) | worst instructions/floor | within %.1fx: time, instructions |\n"
              "|---|---:|---:|---:|---:|---:|---:|:-:|\n" % TARGET)
    for function in functions:
        rs = [r for r in rows if r[0] == function]
        warm = [r[3] for r in rs if r[2] not in ("alternating", "sweep")]
        alt = [r[3] for r in rs if r[2] == "alternating"]
        sweep = [r[3] for r in rs if r[2] == "sweep"]
        ratios = [ratio(r[3], r[4]) for r in rs if ratio(r[3], r[4]) is not None]
        ratios_thr = [ratio(r[3], r[5]) for r in rs if ratio(r[3], r[5]) is not None]
        ratios_ins = [ratio(r[7], r[8]) for r in rs if r[7] is not None and r[8] and ratio(r[7], r[8]) is not None]
        worst = max(ratios) if ratios else None
        worst_thr = max(ratios_thr) if ratios_thr else None
        worst_ins = max(ratios_ins) if ratios_ins else None
        alt_text = ("%s - %s" % (fmt_ns(min(alt)), fmt_ns(max(alt)))) if alt else "-"
        sweep_text = ("%s - %s" % (fmt_ns(min(sweep)), fmt_ns(max(sweep)))) if sweep else "-"
        out.write("| `%s` | %s - %s | %s | %s | %s | %s | %s | %s |\n" % (
            function, fmt_ns(min(warm)), fmt_ns(max(warm)), alt_text, sweep_text,
            "%.2f" % worst if worst is not None else "no floor",
            "%.2f" % worst_thr if worst_thr is not None else "no floor",
            "%.2f" % worst_ins if worst_ins is not None else "-",
            ("%s, %s" % ("yes" if worst <= TARGET else "**no**",
                         "-" if worst_ins is None else ("yes" if worst_ins <= TARGET + 0.005 else "**no**")))
            if worst is not None else "-"))
    out.write("\n")

    write_sweeps(out, rows, times, instructions, order)
    write_lookups(out, times, instructions)
    if before:
        write_before_and_after(out, functions, times, instructions, read_bench(before[0])[0],
                               read_instructions(before[1]))

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
