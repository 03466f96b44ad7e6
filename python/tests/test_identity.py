"""The package answers what the kaltra host answers (the add-in loaded as Excel loads it), bit
for bit: a table of calls of all 33 functions over several fluids and every unit code, once
call by call and once as arrays, each side in a fresh process making the calls in the same
order."""

import json
import math
import struct

import kaltra
from conftest import run_python

FLUIDS = ["R134a", "R22", "R717", "R744", "R290", "R13b1", "R502", "R31", "R718"]

# Physical values per argument name. The same numbers serve every unit code: out of a fluid's
# range they are bounded like any input, so each is a call the add-in answers.
VALUES = {
    "temperature": [-60.0, -10.0, 25.0, 90.0, 400.0],
    "pressure": [0.2, 3.0, 12.0, 80.0],
    "spec. vol.": [0.0009, 0.02, 0.5],
    "enthalpy": [50.0, 180.0, 420.0],
    "entropy": [0.3, 1.1, 1.9],
}


def table_of_calls():
    """Every function with arguments: (name, [arguments]) in a fixed order."""
    calls = []
    for f in kaltra.functions():
        kinds = f.kinds
        if "C" not in kinds:
            if f.name == "KaltUnits":
                calls += [(f.name, [u, i]) for u in range(8) for i in range(11)]
            else:
                calls += [(f.name, [i]) for i in range(1, kaltra.fluid_count() + 1)]
            continue
        numbers = [VALUES[a.name] for a in f.arguments if a.kind == "B"]
        for fluid in FLUIDS:
            for units in range(8):
                grid = [[]]
                for values in numbers:
                    grid = [g + [v] for g in grid for v in values]
                for point in grid:
                    arguments = [fluid] + point + ([units] if "I" in kinds else [])
                    calls.append((f.name, arguments))
    return calls


def formula(name, arguments):
    shown = [f'"{a}"' if isinstance(a, str) else repr(a) for a in arguments]
    return f"{name}({', '.join(shown)})"


def bits(x):
    return struct.pack("<d", x)


def expect_same(call, got, printed):
    what = f"{formula(*call)}: kaltra {got!r}, host {printed}"
    if call[0] == "KaltIndex":
        assert got == int(printed), what
    elif isinstance(got, str):
        assert got == printed, what
    elif printed == "-999":
        assert math.isnan(got), what
    else:
        assert bits(got) == bits(float(printed)), what


def expect_the_hosts_answers(host, tmp_path, script, work, calls):
    """Runs the script on its work in a fresh interpreter, one printed answer per call, and the
    same calls through the host; every answer must be the host's."""
    path = tmp_path / "work.json"
    path.write_text(json.dumps(work))
    answers = run_python(script, str(path)).splitlines()
    printed = host([formula(*c) for c in calls])
    assert len(answers) == len(printed) == len(calls)
    for call, answer, line in zip(calls, answers, printed):
        expect_same(call, eval(answer, {"nan": float("nan")}), line)


SCALAR_SCRIPT = """
import json, sys, kaltra
for name, arguments in json.load(open(sys.argv[1])):
    print(repr(getattr(kaltra, name)(*arguments)))
"""


def test_every_scalar_call_answers_the_hosts_bits(host, tmp_path):
    calls = table_of_calls()
    assert len(calls) > 20000
    assert {name for name, _ in calls} == {f.name for f in kaltra.functions()}
    expect_the_hosts_answers(host, tmp_path, SCALAR_SCRIPT, calls, calls)


ARRAY_SCRIPT = """
import json, sys, numpy, kaltra
for name, fluid, columns, units in json.load(open(sys.argv[1])):
    answers = getattr(kaltra, name)(fluid, *[numpy.array(c) for c in columns], units)
    for x in answers.ravel():
        print(repr(float(x)))
"""


def test_array_calls_answer_the_hosts_bits_element_by_element(host, tmp_path):
    groups, calls = [], []
    for f in kaltra.functions():
        doubles = [a.name for a in f.arguments if a.kind == "B"]
        if not doubles or "I" not in f.kinds:
            continue
        for fluid in FLUIDS:
            for units in (0, 1, 3, 7):
                grid = [[]]
                for name in doubles:
                    grid = [g + [v] for g in grid for v in VALUES[name]]
                columns = [[point[k] for point in grid] for k in range(len(doubles))]
                groups.append((f.name, fluid, columns, units))
                calls += [(f.name, [fluid] + point + [units]) for point in grid]
    expect_the_hosts_answers(host, tmp_path, ARRAY_SCRIPT, groups, calls)


def test_the_worked_example_prints_the_hosts_digits(host):
    printed = host(['KaltHofTP("R134a", 25, 10, 1)'])[0]
    shown = run_python('import kaltra; print(kaltra.KaltHofTP("R134a", 25, 10, 1))').strip()
    assert shown == printed
