"""An array call's cost per element against the worksheet function's own, and the overhead of a
scalar call: KaltPsat of R134a over temperatures from -40 C to 60 C (every one a temperature the
engine's caches do not hold), in ns per element, the best of the repetitions.

    python benchmarks/array_cost.py build/capi/kaltra_array_cost [elements] [repetitions]

kaltra_array_cost (capi/array_cost.cpp) times the worksheet function called directly in a C++
loop, kaltra_evaluate over the array, and kaltra_KaltPsat per element; this script adds the
Python package's array call and its scalar call, and prints the table of docs/performance.md.
"""

import subprocess
import sys
import time

import numpy as np

import kaltra


def best_ns(repetitions, elements, run):
    best = float("inf")
    for _ in range(repetitions):
        start = time.perf_counter_ns()
        run()
        best = min(best, (time.perf_counter_ns() - start) / elements)
    return best


def main():
    program = sys.argv[1]
    elements = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    repetitions = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    t = -40.0 + 100.0 * np.arange(elements) / elements
    scalars = [float(x) for x in t[:: max(1, elements // 100_000)]]
    # Every way once per repetition, in turn, so that a change in the machine's load falls on
    # all of them alike; the best repetition of each counts.
    best = {}
    for _ in range(repetitions):
        once = subprocess.run([program, str(elements), "1"], check=True, capture_output=True, text=True).stdout
        times = {key: float(value) for key, value in (line.split("\t") for line in once.splitlines())}
        times["python_array"] = best_ns(1, elements, lambda: kaltra.KaltPsat("R134a", t, 1))
        times["python_scalar"] = best_ns(1, len(scalars), lambda: [kaltra.KaltPsat("R134a", x, 1) for x in scalars])
        for key, ns in times.items():
            best[key] = min(best.get(key, float("inf")), ns)
    measured = best
    worksheet = measured["worksheet_function"]
    python_array, python_scalar = measured["python_array"], measured["python_scalar"]

    rows = [
        ("KaltPsat called directly (C++ loop, the worksheet function's own cost)", worksheet),
        ("kaltra_evaluate, one C call over the array", measured["c_array"]),
        ("kaltra.KaltPsat(\"R134a\", t, 1), one Python call over the ndarray", python_array),
        ("kaltra_KaltPsat, one C call per element", measured["c_scalar"]),
        ("kaltra.KaltPsat(\"R134a\", x, 1), one Python call per float", python_scalar),
    ]
    print(f"KaltPsat of R134a over {elements:,} temperatures, ns per element, best of {repetitions}:\n")
    print("| call | ns per element | against the worksheet function |")
    print("|---|---:|---:|")
    for label, ns in rows:
        print(f"| {label} | {ns:.0f} | {ns / worksheet:.3f} |")
    print(f"\nOverhead of a Python scalar call: {python_scalar - worksheet:.0f} ns "
          f"(of a C scalar call: {measured['c_scalar'] - worksheet:.0f} ns).")


if __name__ == "__main__":
    main()
