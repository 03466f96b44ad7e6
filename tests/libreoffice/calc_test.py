"""Kaltra in LibreOffice Calc, tested in the real program (bash tools/libreoffice.sh test).

Installs Kaltra.oxt with unopkg into a scratch profile, starts LibreOffice headless and:
- opens tests/libreoffice/kaltra_calls.ods, recalculates, and compares every answer, read
  over UNO, with the kaltra host's answer to the same call, bit for bit: numbers (-999 among
  them), texts, and the error values where Excel answers one (#VALUE! for an argument Excel
  cannot pass, Err:502 where the add-in answers its error values 2235, 2242, 2249);
- compares the sheet "Cycle" with the host's computation of examples/cycle.csv, cell for cell
  (after Calc's own recalculation to 1e-7, then computed in the host's order bit for bit);
- compares the function wizard's texts with the add-in's registrations: names, descriptions,
  argument names and argument help, in the add-in category;
- opens an .xlsx written as Excel writes a workbook that calls the add-in's functions
  ("_xll.KaltHofTP(...)", stale cached values), checks that Calc computes every call and saves
  them under the names Excel reads; saves and reopens an .xls;
- types formulas as an English-locale user does, the examples of docs/libreoffice.md among them;
then starts an office with a German locale setting and types formulas as a German user does
(';' between arguments, a decimal comma), and starts the office again with a library that does
not load and checks that a cell says so. The component's choice of library for each platform,
and the machine each library of the extension is built for, are checked without an office.
Ends LibreOffice in every case; prints what it compared and its run time.

    /usr/bin/python3 tests/libreoffice/calc_test.py --oxt dist/Kaltra.oxt --host build/host/kaltra \
        --workbook tests/libreoffice/kaltra_calls.ods --scratch build/libreoffice-test
"""

import argparse
import csv
import importlib.util
import os
import re
import subprocess
import sys
import time
import zipfile
from pathlib import Path
from xml.sax.saxutils import escape

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent
sys.path.insert(0, str(HERE))
from office import Office, clean, end_on_termination, property_value  # noqa: E402

# com.sun.star.sheet.FormulaResult.STRING
RESULT_STRING = 2
# Calc's error codes: #VALUE! and Err:502 (invalid argument).
CALC_NO_VALUE, CALC_ILLEGAL_ARGUMENT = 519, 502
CALC_NO_NAME = 525  # #NAME?
# The function wizard's category of add-in functions.
ADDIN_CATEGORY = 11


class Failures:
    def __init__(self):
        self.lines, self.checked = [], 0

    def check(self, ok, text):
        self.checked += 1
        if not ok:
            self.lines.append(text)


def calc_answer(cell):
    """A formula cell's answer: ("error", code), ("number", x) or ("text", s)."""
    error = cell.getError()
    if error:
        return ("error", error)
    if cell.FormulaResultType2 == RESULT_STRING:
        return ("text", cell.getString())
    return ("number", cell.getValue())


def expected_answer(host_text):
    """The host's printed answer as Calc shows it: Excel's #VALUE! is Calc's #VALUE!, the
    add-in's own error values (#ERR(2235) ...) are Err:502."""
    if host_text == "#VALUE!":
        return ("error", CALC_NO_VALUE)
    if host_text.startswith("#ERR("):
        return ("error", CALC_ILLEGAL_ARGUMENT)
    try:
        return ("number", float(host_text))
    except ValueError:
        return ("text", host_text)


def same(calc, host):
    """Equal answers; numbers bit for bit (the host prints 17 significant digits)."""
    return calc == host and (calc[0] != "number" or repr(calc[1]) == repr(host[1]))


def host_answers(host, calls):
    result = subprocess.run([str(host)], input="\n".join(calls) + "\n", capture_output=True, text=True,
                            timeout=300, check=True)
    answers = result.stdout.split("\n")[:-1]
    if len(answers) != len(calls):
        raise RuntimeError(f"the kaltra host answered {len(answers)} lines to {len(calls)} calls")
    return answers


def check_stored_names(workbook, failures):
    """A .ods file keeps the functions under their programmatic names, Excel's."""
    with zipfile.ZipFile(workbook) as z:
        content = z.read("content.xml").decode("utf-8")
    failures.check('of:=_XLL.KALTHOFTP(' in content, f"{workbook}: no of:=_XLL.KALTHOFTP( in its formulas")


def check_calls(document, host, failures):
    sheet = document.Sheets.getByName("Calls")
    cursor = sheet.createCursor()
    cursor.gotoEndOfUsedArea(False)
    last = cursor.getRangeAddress().EndRow
    calls = [row[0] for row in sheet.getCellRangeByPosition(0, 1, 0, last).getDataArray()]
    whats = [row[0] for row in sheet.getCellRangeByPosition(2, 1, 2, last).getDataArray()]
    answers = host_answers(host, calls)
    for r, (call, what, host_text) in enumerate(zip(calls, whats, answers), start=2):
        calc = calc_answer(sheet.getCellByPosition(1, r - 1))
        expected = expected_answer(host_text)
        failures.check(same(calc, expected), f"Calls row {r} ({what}): {call}: Calc {calc!r}, host {host_text!r}")
    return calls


# A cell reference in a formula: column letters and row digits, $ allowed.
REFERENCE = re.compile(r'"[^"]*"|\$?([A-Z]{1,2})\$?([0-9]+)')


def references(formula):
    """The cells a formula refers to, in the order they appear, each once."""
    cells = []
    for match in REFERENCE.finditer(formula):
        if match.group(1):
            cell = (int(match.group(2)) - 1, ord(match.group(1)) - ord("A"))
            if cell not in cells:
                cells.append(cell)
    return cells


def host_order(formulas):
    """The order the kaltra host computes a worksheet's formulas in: row by row, every cell after
    the formula cells it refers to, these first in the order they are referred to."""
    order, done = [], set()

    def visit(cell):
        done.add(cell)
        for precedent in references(formulas[cell]):
            if precedent in formulas and precedent not in done:
                visit(precedent)
        order.append(cell)

    for cell in sorted(formulas):
        if cell not in done:
            visit(cell)
    return order


def check_cycle(document, host, failures):
    """The worksheet of examples/cycle.csv against the host's computation of it.

    The engine reuses its coefficients for a temperature very close to the one of the call just
    before, as in Excel: the last digits of an answer depend on which call came before it (here,
    the enthalpy at the compressor discharge computed just after the discharge temperature is
    found, or after another call). Calc computes column by column, the host row by row; so the
    cells are first compared after Calc's own recalculation to 1e-7, then computed again one
    by one in the host's order and compared bit for bit."""
    sheet = document.Sheets.getByName("Cycle")
    result = subprocess.run([str(host), "sheet", "--csv", str(ROOT / "examples" / "cycle.csv")],
                            capture_output=True, text=True, timeout=60, check=True)
    grid = list(csv.reader(result.stdout.splitlines()))
    formulas = {}
    for r, cells in enumerate(grid):
        for c in range(len(cells)):
            formula = sheet.getCellByPosition(c, r).getFormula()
            if formula.startswith("="):
                formulas[(r, c)] = formula
    for in_host_order in (False, True):
        if in_host_order:
            for r, c in host_order(formulas):
                cell = sheet.getCellByPosition(c, r)
                cell.setFormula(formulas[(r, c)])
                cell.getValue()  # computes the cell now, its precedents being computed already
        for r, cells in enumerate(grid):
            for c, host_text in enumerate(cells):
                cell = sheet.getCellByPosition(c, r)
                where = f"Cycle {chr(ord('A') + c)}{r + 1} {cell.getFormula()}"
                if (r, c) in formulas:
                    calc = calc_answer(cell)
                elif host_text == "":
                    calc = ("text", cell.getString())
                else:
                    calc = ("number", cell.getValue()) if cell.getType().value == "VALUE" else ("text", cell.getString())
                expected = expected_answer(host_text) if host_text else ("text", "")
                if in_host_order:
                    failures.check(same(calc, expected), f"{where}, computed in the host's order: Calc {calc!r}, host {host_text!r}")
                else:
                    close = same(calc, expected) or (calc[0] == expected[0] == "number"
                                                     and abs(calc[1] - expected[1]) <= 1e-7 * abs(expected[1]))
                    failures.check(close, f"{where}: Calc {calc!r}, host {host_text!r}")
    return sum(len(cells) for cells in grid)


def registrations(host):
    """The add-in's registrations, as it registers them with Excel: name -> (help, [(arg, help)])."""
    result = subprocess.run([str(host), "registrations"], capture_output=True, text=True, timeout=60, check=True)
    table = {}
    for line in result.stdout.splitlines():
        fields = line.split("\t")
        name, argument_text, function_help, argument_helps = fields[3], fields[4], fields[9], fields[10:]
        arguments = argument_text.split(",") if argument_text else []
        table[name] = (fields[6], function_help, list(zip(arguments, argument_helps)))
    return table


def check_wizard(office, host, failures):
    descriptions = office.create("com.sun.star.sheet.FunctionDescriptions")
    shown = {}
    for i in range(descriptions.getCount()):
        d = {p.Name: p.Value for p in descriptions.getByIndex(i)}
        shown[d["Name"]] = d
    table = registrations(host)
    for name, (category, function_help, arguments) in table.items():
        # Calc shows every function name in capitals, its own and the add-ins'.
        d = shown.get(name.upper())
        failures.check(d is not None, f"wizard: {name} is missing")
        if d is None:
            continue
        failures.check(category == "Kaltra V1.00", f"registration of {name}: category {category!r}")
        failures.check(d["Category"] == ADDIN_CATEGORY, f"wizard: {name} in category {d['Category']}")
        failures.check(d["Description"] == function_help, f"wizard: {name}: {d['Description']!r}, registered {function_help!r}")
        got = [(a.Name, a.Description) for a in d["Arguments"]]
        failures.check(got == arguments, f"wizard: {name} arguments {got}, registered {arguments}")
    return len(table)


def excel_workbook(path, calls):
    """An .xlsx as Excel writes one, a formula a row (Excel writes "_xll." before the name of an
    XLL add-in's function), with Excel's argument separator and a cached value (a stale 0)."""
    rows = "".join(f'<row r="{r}"><c r="A{r}"><f>{escape(call.replace(", ", ","))}</f><v>0</v></c></row>'
                   for r, call in enumerate(calls, start=1))
    main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
    relationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
    package = "http://schemas.openxmlformats.org/package/2006/relationships"
    parts = {
        "[Content_Types].xml":
            '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
            '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
            '<Default Extension="xml" ContentType="application/xml"/>'
            '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
            '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
            "</Types>",
        "_rels/.rels":
            f'<Relationships xmlns="{package}"><Relationship Id="rId1" Type="{relationships}/officeDocument" '
            'Target="xl/workbook.xml"/></Relationships>',
        "xl/workbook.xml":
            f'<workbook xmlns="{main}" xmlns:r="{relationships}"><sheets>'
            '<sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>',
        "xl/_rels/workbook.xml.rels":
            f'<Relationships xmlns="{package}"><Relationship Id="rId1" Type="{relationships}/worksheet" '
            'Target="worksheets/sheet1.xml"/></Relationships>',
        "xl/worksheets/sheet1.xml": f'<worksheet xmlns="{main}"><sheetData>{rows}</sheetData></worksheet>',
    }
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in parts.items():
            z.writestr(name, '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n' + text)


def check_excel_file(office, host, scratch, calls_by_function, failures):
    """Every function once in an .xlsx as Excel saves it: computed on opening; saved again by
    Calc under the names Excel reads. A name without Excel's prefix stays unknown (#NAME?)."""
    calls = list(calls_by_function.values())
    path = scratch / "saved_by_excel.xlsx"
    excel_workbook(path, ["_xll." + call for call in calls] + ['KaltHofTP("R134a", 25, 10, 1)'])
    document = office.open(path)
    saved = scratch / "documents" / "saved_by_calc.xlsx"
    try:
        sheet = document.Sheets.getByIndex(0)
        for r, (call, host_text) in enumerate(zip(calls, host_answers(host, calls))):
            cell = sheet.getCellByPosition(0, r)
            calc = calc_answer(cell)
            failures.check(same(calc, expected_answer(host_text)),
                           f".xlsx A{r + 1} {cell.getFormula()}: Calc {calc!r}, host {host_text!r}")
        unprefixed = calc_answer(sheet.getCellByPosition(0, len(calls)))
        failures.check(unprefixed == ("error", CALC_NO_NAME), f".xlsx: a name without _xll.: {unprefixed!r}")
        document.storeToURL(saved.as_uri(), (property_value("FilterName", "Calc MS Excel 2007 XML"),))
    finally:
        document.close(True)
    with zipfile.ZipFile(saved) as z:
        written = z.read("xl/worksheets/sheet1.xml").decode("utf-8")
    for call in calls:
        name = "_XLL." + call.split("(")[0].upper() + "("
        failures.check(name in written, f".xlsx saved by Calc: no {name}")
    return len(calls)


def check_typed(office, host, typed, failures):
    """Formulas typed as a user of the office's locale types them: the worksheet name in any
    case; typed maps a formula to the call the host takes and the formula Calc shows back."""
    document = office.new_spreadsheet()
    try:
        sheet = document.Sheets.getByIndex(0)
        for r, (formula, (call, shown)) in enumerate(typed.items()):
            sheet.getCellByPosition(0, r).FormulaLocal = formula
        document.calculateAll()
        answers = host_answers(host, [call for call, shown in typed.values()])
        for r, (formula, (call, shown)) in enumerate(typed.items()):
            cell = sheet.getCellByPosition(0, r)
            calc = calc_answer(cell)
            failures.check(same(calc, expected_answer(answers[r])) and cell.FormulaLocal == shown,
                           f"typed {formula}: shown {cell.FormulaLocal}, Calc {calc!r}, host {answers[r]!r}")
    finally:
        document.close(True)


def check_page(office, failures):
    """The examples of docs/libreoffice.md: each formula of its tables, typed in, shows what the
    page says the cell shows."""
    examples = re.findall(r"^\| `(=Kalt[^`]*)` \| ([^|]*?) \|$", (ROOT / "docs" / "libreoffice.md").read_text(), re.M)
    failures.check(len(examples) >= 5, f"docs/libreoffice.md: {len(examples)} examples")
    document = office.new_spreadsheet()
    try:
        sheet = document.Sheets.getByIndex(0)
        for r, (formula, shown) in enumerate(examples):
            sheet.getCellByPosition(0, r).FormulaLocal = formula
        document.calculateAll()
        for r, (formula, shown) in enumerate(examples):
            got = sheet.getCellByPosition(0, r).getString()
            failures.check(got == shown, f"docs/libreoffice.md: {formula} shows {got!r}, the page says {shown!r}")
    finally:
        document.close(True)
    return len(examples)


def check_xls(office, host, scratch, failures):
    """An .xls file names the functions by their compatibility names, both ways."""
    document = office.new_spreadsheet()
    path = scratch / "documents" / "saved_by_calc.xls"
    path.parent.mkdir(parents=True, exist_ok=True)
    try:
        document.Sheets.getByIndex(0).getCellByPosition(0, 0).setFormula('=KaltHofTP("R134a";25;10;1)')
        document.calculateAll()
        document.storeToURL(path.as_uri(), (property_value("FilterName", "MS Excel 97"),))
    finally:
        document.close(True)
    failures.check(b"KaltHofTP" in path.read_bytes(), ".xls: the function is not saved under its Excel name KaltHofTP")
    document = office.open(path)
    try:
        calc = calc_answer(document.Sheets.getByIndex(0).getCellByPosition(0, 0))
        expected = expected_answer(host_answers(host, ['KaltHofTP("R134a", 25, 10, 1)'])[0])
        failures.check(same(calc, expected), f".xls read back: Calc {calc!r}, host {expected!r}")
    finally:
        document.close(True)


# What each library of the extension must be built for: the ELF machine x86-64, and the PE
# machines x64 and i386.
MACHINES = {"lib/linux-x86_64/libkaltra.so": ("ELF", 62), "lib/windows-x86_64/kaltra.dll": ("PE", 0x8664),
            "lib/windows-x86/kaltra.dll": ("PE", 0x14C)}


def check_package(oxt, failures):
    """The extension carries each library where the component looks for it, built for its machine."""
    with zipfile.ZipFile(oxt) as z:
        names = set(z.namelist())
        for name, (form, machine) in MACHINES.items():
            failures.check(name in names, f"{oxt}: no {name}")
            if name not in names:
                continue
            data = z.read(name)
            if form == "ELF":
                got = int.from_bytes(data[18:20], "little") if data[:4] == b"\x7fELF" else None
            else:
                header = int.from_bytes(data[0x3C:0x40], "little")
                got = int.from_bytes(data[header + 4:header + 6], "little") if data[header:header + 4] == b"PE\0\0" else None
            failures.check(got == machine, f"{oxt}: {name} is built for machine {got}, not {machine}")


def check_platforms(failures):
    """The component's choice of library: each platform it carries one for, and the text of a
    cell where it carries none."""
    located = importlib.util.spec_from_file_location("kaltra_calc", ROOT / "libreoffice" / "extension" / "kaltra_calc.py")
    component = importlib.util.module_from_spec(located)
    located.loader.exec_module(component)
    for system, machine, bits, expected in [
        ("Linux", "x86_64", 64, "lib/linux-x86_64/libkaltra.so"),
        ("Windows", "AMD64", 64, "lib/windows-x86_64/kaltra.dll"),
        ("Windows", "AMD64", 32, "lib/windows-x86/kaltra.dll"),
        ("Windows", "x86", 32, "lib/windows-x86/kaltra.dll"),
        ("Windows", "ARM64", 64, None),
        ("Darwin", "arm64", 64, None),
        ("Darwin", "x86_64", 64, None),
        ("Linux", "aarch64", 64, None),
        ("Linux", "i686", 32, None),
    ]:
        got = component.library_file(system, machine, bits)
        failures.check(got == expected, f"library for {system} {machine} {bits}-bit: {got}, expected {expected}")
    text = component.no_library_text("Darwin", "arm64", 64)
    failures.check(text.startswith("Kaltra has no library for macOS arm64 (64-bit)"), f"no-library text: {text!r}")


def check_missing_library(scratch, oxt, failures):
    """A library that does not load: every cell says so, as a text."""
    environment = dict(os.environ, KALTRA_LIBRARY=str(scratch / "missing" / "libkaltra.so"))
    office = Office(scratch, oxt, environment=environment)
    try:
        office.start()
        document = office.new_spreadsheet()
        sheet = document.Sheets.getByIndex(0)
        sheet.getCellByPosition(0, 0).setFormula('=KaltHofTP("R134a";25;10;1)')
        sheet.getCellByPosition(0, 1).setFormula("=KaltName(1)")
        document.calculateAll()
        for r in range(2):
            calc = calc_answer(sheet.getCellByPosition(0, r))
            failures.check(calc[0] == "text" and calc[1].startswith("Kaltra could not load its library")
                           and "missing" in calc[1], f"without its library, A{r + 1}: {calc!r}")
        document.close(True)
    finally:
        office.end()


def main():
    parser = argparse.ArgumentParser(description="Kaltra in LibreOffice Calc, tested headless")
    parser.add_argument("--oxt", required=True)
    parser.add_argument("--host", required=True)
    parser.add_argument("--workbook", required=True)
    parser.add_argument("--scratch", required=True)
    options = parser.parse_args()
    end_on_termination()
    started = time.monotonic()
    scratch = Path(options.scratch).resolve()
    clean(scratch)
    failures = Failures()
    counts = {}
    try:
        check_platforms(failures)
        check_package(options.oxt, failures)
        check_stored_names(options.workbook, failures)
        environment = {k: v for k, v in os.environ.items() if k != "KALTRA_LIBRARY"}
        office = Office(scratch, options.oxt, environment=environment)
        try:
            office.install()
            installed = time.monotonic()
            office.start()
            counts["start"] = time.monotonic() - installed
            print(f"LibreOffice started in {counts['start']:.1f} s")
            # Recalculate on load: .ods always recalculate here, .xlsx only with this set.
            office.configure("/org.openoffice.Office.Calc/Formula/Load", OOXMLRecalcMode=0, ODFRecalcMode=0)
            document = office.open(options.workbook)
            try:
                document.calculateAll()
                calls = check_calls(document, options.host, failures)
                counts["calls"] = len(calls)
                counts["cycle cells"] = check_cycle(document, options.host, failures)
            finally:
                document.close(True)
            counts["wizard functions"] = check_wizard(office, options.host, failures)
            # Every function once, with the arguments of its first row.
            first_calls = {}
            for call in calls:
                first_calls.setdefault(call.split("(")[0], call)
            counts["xlsx calls"] = check_excel_file(office, options.host, scratch, first_calls, failures)
            check_typed(office, options.host, {
                '=KaltHofTP("R134a",25,10,1)': ('KaltHofTP("R134a", 25, 10, 1)', '=KALTHOFTP("R134a",25,10,1)'),
                "=kaltname(15)": ("KaltName(15)", "=KALTNAME(15)")}, failures)
            counts["page examples"] = check_page(office, failures)
            check_xls(office, options.host, scratch, failures)
        finally:
            office.end()
        # A German user: ';' between arguments, ',' in a number.
        german = Office(scratch / "german", options.oxt, environment=environment, locale="de-DE")
        with german:
            check_typed(german, options.host, {
                '=KaltHofTP("R134a";25;10;1)': ('KaltHofTP("R134a", 25, 10, 1)', '=KALTHOFTP("R134a";25;10;1)'),
                '=KaltPsat("R134a";25,5;1)': ('KaltPsat("R134a", 25.5, 1)', '=KALTPSAT("R134a";25,5;1)')}, failures)
        check_missing_library(scratch, options.oxt, failures)
    finally:
        clean(scratch)
    seconds = time.monotonic() - started
    for line in failures.lines[:int(os.environ.get('KALTRA_SHOW_FAILURES', '40'))]:
        print("FAILED", line)
    print(f"LibreOffice Calc test: {failures.checked} checks ({counts.get('calls', 0)} calls, "
          f"{counts.get('cycle cells', 0)} cycle cells, {counts.get('wizard functions', 0)} wizard functions, "
          f"{counts.get('xlsx calls', 0)} calls in an Excel-saved .xlsx, {counts.get('page examples', 0)} examples of "
          f"docs/libreoffice.md), {len(failures.lines)} failed; "
          f"run time {seconds:.1f} s")
    return 1 if failures.lines else 0


if __name__ == "__main__":
    sys.exit(main())
