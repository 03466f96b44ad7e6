"""Writes tests/libreoffice/kaltra_calls.ods, the workbook the Calc test opens, with Kaltra.oxt
installed in a LibreOffice of its own (bash tools/libreoffice.sh workbook).

Sheet "Cycle": the worksheet examples/cycle.csv, cell for cell (formulas with Calc's separator).
Sheet "Calls": one worksheet call a row, every function of the table in every unit code, for
several fluids and two states, the catalogue and label functions over their whole index range
and past it, and bad inputs in cells. Column A holds the call as the kaltra host takes it,
column B the formula on the argument cells E onwards (or the call itself, literally), column
C what the row tries. The test compares column B, as Calc computes it, with the host's answer
to column A. The numbers in the argument cells (volumes, enthalpies, entropies of the states)
come from the C interface, so that every state is a real one.

    /usr/bin/python3 tests/libreoffice/workbook.py LIBRARY OXT SCRATCH OUTPUT.ods
"""

import csv
import importlib.util
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent
sys.path.insert(0, str(HERE))
from office import Office, clean, end_on_termination, property_value  # noqa: E402

# Fluids by designation, long name in lower case, formula; a cubic-form blend; a fluid without
# transport data; one the catalogue does not know.
FLUIDS = ["R134a", "chlorodifluoromethane", "NH3", "R744", "R500", "R31"]
UNKNOWN_FLUID = "R999"
# A vapor and a compressed-liquid state (temperature, pressure) in every unit code:
# about 25 C and 2 bar, 0 C and 20 bar.
STATES = {
    0: [(77.0, 29.0), (32.0, 290.0)],          # F, psia
    1: [(25.0, 2.0), (0.0, 20.0)],             # C, bar
    2: [(536.67, 29.0), (491.67, 290.0)],      # R, psia
    3: [(298.15, 0.2), (273.15, 2.0)],         # K, MPa
    4: [(25.0, 200.0), (0.0, 2000.0)],         # C, kPa
    5: [(25.0, 2.0), (0.0, 20.0)],             # C, bar
    6: [(25.0, 2.04), (0.0, 20.4)],            # C, kg/cm2
    7: [(25.0, 2040.0), (0.0, 20400.0)],       # C, g/cm2
}
EMPTY = None  # an empty argument cell


def load_library(path):
    located = importlib.util.spec_from_file_location(
        "kaltra_library", ROOT / "python" / "src" / "kaltra" / "_library.py")
    module = importlib.util.module_from_spec(located)
    sys.modules[located.name] = module
    located.loader.exec_module(module)
    return module.load(path)


def host_literal(value):
    """An argument as the kaltra host reads it (an empty cell is an empty text there)."""
    if value is EMPTY:
        return '""'
    if isinstance(value, str):
        return '"' + value.replace('"', '""') + '"'
    return repr(value) if value != int(value) or abs(value) > 1e15 else str(int(value))


class Row:
    def __init__(self, function, arguments, what, literal=False, host_arguments=None):
        self.function, self.arguments, self.what, self.literal = function, arguments, what, literal
        shown = host_arguments if host_arguments is not None else arguments
        self.host = f"{function}({', '.join(host_literal(a) for a in shown)})"


def stored(x):
    """A number as a cell keeps it: .ods files hold 15 significant digits, so every argument is
    a number of 12 digits, which reads back as the same double."""
    return float(f"{x:.12g}")


def state_arguments(library, function, fluid, units, state):
    """The arguments of a property function at a state, by their registered names."""
    t, p = state
    values = {"name": fluid, "temperature": t, "pressure": p, "units": units}
    entries = library.entries
    fluid_bytes = fluid.encode("cp1252")
    values["spec. vol."] = stored(entries["KaltVofTP"](fluid_bytes, t, p, units))
    values["enthalpy"] = stored(entries["KaltHofTP"](fluid_bytes, t, p, units))
    values["entropy"] = stored(entries["KaltSofTP"](fluid_bytes, t, p, units))
    return [values[a.name] for a in function.arguments]


def calls(library):
    rows = []
    count = library.cdll.kaltra_fluid_count()
    for function in library.functions:
        names = [a.name for a in function.arguments]
        if function.answers_text and names == ["index"]:
            rows += [Row(function.name, [i], "catalogue index") for i in range(-1, count + 2)]
        elif function.answers_text:
            rows += [Row(function.name, [u, i], "label") for u in range(-1, 10) for i in range(-1, 12)]
        elif names == ["name"]:
            rows += [Row(function.name, [f], "fluid") for f in FLUIDS + ["C4H10", "r22", UNKNOWN_FLUID]]
        elif names == ["name", "units"]:
            rows += [Row(function.name, [f, u], "fluid, unit code") for f in FLUIDS for u in STATES]
        else:
            rows += [Row(function.name, state_arguments(library, function, f, u, s), f"state {k} in unit code {u}")
                     for f in FLUIDS for u in STATES for k, s in enumerate(STATES[u])]
    rows += bad_inputs()
    # The same calls written into the formula, as a user types them.
    rows += [Row("KaltHofTP", ["R134a", 25.0, 10.0, 1.0], "literal arguments", literal=True),
             Row("KaltName", [15.0], "literal arguments", literal=True),
             Row("KaltUnits", [1.0, 3.0], "literal arguments", literal=True),
             Row("KaltIndex", ["CH2FCF3"], "literal arguments", literal=True)]
    return rows


def bad_inputs():
    """What a user can put into the argument cells, and what Excel passes the add-in for it."""
    return [
        Row("KaltPsat", [UNKNOWN_FLUID, 25.0, 1.0], "unknown fluid: -999"),
        Row("KaltHofTP", [EMPTY, 25.0, 10.0, 1.0], "empty fluid cell: -999"),
        Row("KaltHofTP", [22.0, 25.0, 10.0, 1.0], "a number for the fluid: its text, -999", host_arguments=["22", 25.0, 10.0, 1.0]),
        Row("KaltTmax", ["R134a" + "x" * 300, 1.0], "a fluid text longer than 255 characters: #VALUE!"),
        Row("KaltPsat", ["R134a\u2713", 25.0, 1.0], "a character outside Windows-1252: ?, -999", host_arguments=["R134a?", 25.0, 1.0]),
        Row("KaltPsat", ["R134a", "abc", 1.0], "text for the temperature: #VALUE!"),
        Row("KaltHofTP", ["R134a", 25.0, "ten", 1.0], "text for the pressure: #VALUE!"),
        Row("KaltPsat", ["R134a", EMPTY, 1.0], "empty temperature cell: 0", host_arguments=["R134a", 0.0, 1.0]),
        Row("KaltPsat", ["R134a", 25.0, EMPTY], "empty unit code cell: 0", host_arguments=["R134a", 25.0, 0.0]),
        Row("KaltPsat", ["R134a", 25.0, 1.7], "unit code 1.7: truncated to 1"),
        Row("KaltPsat", ["R134a", 25.0, -1.5], "unit code -1.5: truncated to -1, acting as 7"),
        Row("KaltPsat", ["R134a", 25.0, 70000.0], "unit code outside a 16-bit integer: #VALUE!"),
        Row("KaltPsat", ["R134a", 25.0, "1"], "unit code as a text: converted, as Excel does"),
        Row("KaltPsat", ["R134a", "25", 1.0], "temperature as a text: converted, as Excel does"),
        Row("KaltName", [EMPTY], "empty index cell: 0, the error value", host_arguments=[0.0]),
        Row("KaltName", [-40000.0], "index outside a 16-bit integer: #VALUE!"),
        Row("KaltIndex", [EMPTY], "empty fluid cell: -1"),
        Row("KaltUnits", ["x", 1.0], "text for the unit code: #VALUE!"),
        Row("KaltPsat", ["R134a", 1e300, 1.0], "a temperature far out of range: bounded"),
        Row("KaltVofTP", ["R134a", -1e300, -1e300, 1.0], "temperature and pressure far below range: bounded"),
    ]


def column(index):
    return chr(ord("A") + index)


def formula(row, at):
    if row.literal:
        return f"={row.function}({';'.join(host_literal(a) for a in row.arguments)})"
    cells = [f"{column(4 + k)}{at}" for k in range(len(row.arguments))]
    return f"={row.function}({';'.join(cells)})"


def calc_formula(excel):
    """A formula of examples/cycle.csv in Calc's separator: ';' for ',' outside texts."""
    out, in_text = [], False
    for ch in excel:
        if ch == '"':
            in_text = not in_text
        out.append(";" if ch == "," and not in_text else ch)
    return "".join(out)


def fill_cycle(sheet):
    with open(ROOT / "examples" / "cycle.csv", newline="", encoding="utf-8") as f:
        grid = list(csv.reader(f))
    for r, cells in enumerate(grid):
        for c, text in enumerate(cells):
            cell = sheet.getCellByPosition(c, r)
            if text.startswith("="):
                cell.setFormula(calc_formula(text))
            elif text:
                try:
                    cell.setValue(float(text))
                except ValueError:
                    cell.setString(text)


def fill_calls(sheet, rows):
    headers = ["call, as the kaltra host takes it", "answer", "what", "", "arguments"]
    for c, text in enumerate(headers):
        sheet.getCellByPosition(c, 0).setString(text)
    for r, row in enumerate(rows, start=1):
        sheet.getCellByPosition(0, r).setString(row.host)
        sheet.getCellByPosition(2, r).setString(f"{row.function}: {row.what}")
        for k, value in enumerate(row.arguments):
            cell = sheet.getCellByPosition(4 + k, r)
            if isinstance(value, str):
                cell.setString(value)
            elif value is not EMPTY:
                cell.setValue(value)
        sheet.getCellByPosition(1, r).setFormula(formula(row, r + 1))


def main():
    library_path, oxt, scratch, output = sys.argv[1:5]
    end_on_termination()
    rows = calls(load_library(library_path))
    clean(scratch)
    try:
        with Office(scratch, oxt) as office:
            document = office.new_spreadsheet()
            sheets = document.Sheets
            sheets.getByIndex(0).setName("Cycle")
            sheets.insertNewByName("Calls", 1)
            fill_cycle(sheets.getByName("Cycle"))
            fill_calls(sheets.getByName("Calls"), rows)
            document.calculateAll()
            document.storeToURL(Path(output).resolve().as_uri(), (property_value("FilterName", "calc8"),))
            document.close(True)
    finally:
        clean(scratch)
    print(f"{output}: the cycle and {len(rows)} calls")


if __name__ == "__main__":
    main()
