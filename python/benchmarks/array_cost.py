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
    measured = dict(
        line.split("\t") for line in subprocess.run([program, str(elements), str(repetitions)], check=True,
                                                   capture_output=True, text=True).stdout.splitlines()
    )
    worksheet = float(measured["worksheet_function"])
    t = -40.0 + 100.0 * np.arange(elements) / elements
    python_array = best_ns(repetitions, elements, lambda: kaltra.KaltPsat("R134a", t, 1))
    scalars = [float(x) for x in t[:: max(1, elements // 100_000)]]
    python_scalar = best_ns(repetitions, len(scalars), lambda: [kaltra.KaltPsat("R134a", x, 1) for x in scalars])

    rows = [
        ("KaltPsat called directly (C++ loop, the worksheet function's own cost)", worksheet),
        ("kaltra_evaluate, one C call over the array", float(measured["c_array"])),
        ("kaltra.KaltPsat(\"R134a\", t, 1), one Python call over the ndarray", python_array),
        ("kaltra_KaltPsat, one C call per element", float(measured["c_scalar"])),
        ("kaltra.KaltPsat(\"R134a\", x, 1), one Python call per float", python_scalar),
    ]
    print(f"KaltPsat of R134a over {elements:,} temperatures, ns per element, best of {repetitions}:\n")
    print("| call | ns per element | against the worksheet function |")
    print("|---|---:|---:|")
    for label, ns in rows:
        print(f"| {label} | {ns:.0f} | {ns / worksheet:.3f} |")
    print(f"\nOverhead of a Python scalar call: {python_scalar - worksheet:.0f} ns "
          f"(of a C scalar call: {float(measured['c_scalar']) - worksheet:.0f} ns).")


if __name__ == "__main__":
    main()
