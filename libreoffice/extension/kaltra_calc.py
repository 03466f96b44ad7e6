"""Kaltra's 33 worksheet functions in LibreOffice Calc: the add-in component of Kaltra.oxt.

Calc calls the methods of the interface org.kaltra.XKaltra (generated from the function table
into Kaltra.rdb) on the add-in service "_xll" (see ADDIN_SERVICE). This component, the
implementation org.kaltra.Kaltra, answers each call through Kaltra's C interface, loaded with
ctypes by the Python package's own loader module (_library.py, carried beside this file).
Nothing here knows the functions by heart: names, argument kinds and texts come from the
library's function table.

What a cell shows:
- a number: the add-in's number, bit for bit, -999 where the add-in answers -999;
- a text: KaltName, KaltLongName, KaltForm and KaltUnits ("ºC" as Unicode);
- KaltIndex: the catalogue index as a number, -1 for a text that names no fluid;
- Err:502 (invalid argument): KaltName, KaltLongName or KaltForm of an index outside the
  catalogue, where the add-in answers its error values 2235, 2242, 2249;
- #VALUE!: what Excel answers for arguments it cannot pass: a unit code or index outside a
  16-bit integer, a fluid text longer than 255 characters (and, before any call, Calc's own
  #VALUE! for a text where a number belongs);
- a text that says why, in place of any answer, when the extension carries no library for
  this platform or the library does not load.
"""

import importlib.util
import os
import platform
import struct
import sys

import unohelper
from com.sun.star.lang import IllegalArgumentException, XServiceInfo, XServiceName
from com.sun.star.uno import RuntimeException

try:
    from org.kaltra import XKaltra
except ImportError:
    # The extension's type is unknown where the extension is not installed (a test that only
    # reads LIBRARIES, or an import before the extension's types are registered): the module
    # still loads, and Calc never calls a component without it.
    XKaltra = None

IMPLEMENTATION_NAME = "org.kaltra.Kaltra"
# The add-in's service name. Calc names an add-in function "service.method" (its programmatic
# name) and reads and writes that name in .xlsx files, where Excel stores a function of an XLL
# add-in as "_xll.KaltHofTP(...)": under the service name "_xll" the two are the same name, so
# a workbook saved by Excel opens computed in Calc, and Calc saves what Excel reads. (Calc uses
# the functions' compatibility names only for .xls files.)
ADDIN_SERVICE = "_xll"
SERVICE_NAMES = ("com.sun.star.sheet.AddIn", ADDIN_SERVICE)

# The libraries the extension carries, by operating system, processor and pointer width of
# the office's own process.
LIBRARIES = {
    ("Linux", "x86_64", 64): "lib/linux-x86_64/libkaltra.so",
    ("Windows", "x86_64", 64): "lib/windows-x86_64/kaltra.dll",
    ("Windows", "x86", 32): "lib/windows-x86/kaltra.dll",
    ("Windows", "x86_64", 32): "lib/windows-x86/kaltra.dll",  # 32-bit office on 64-bit Windows
}
SYSTEM_NAMES = {"Darwin": "macOS"}
MACHINE_NAMES = {"amd64": "x86_64", "x64": "x86_64", "i386": "x86", "i686": "x86", "aarch64": "arm64"}

# Excel passes a unit code or an index as a 16-bit integer and a fluid as a text of at most
# 255 characters; anything else it answers with #VALUE! before calling the add-in.
SHORT_RANGE = range(-32768, 32768)
LONGEST_TEXT = 255

EXTENSION_FOLDER = os.path.dirname(os.path.abspath(__file__))


def normal_machine(machine):
    """The processor as the library table names it: AMD64 -> x86_64, aarch64 -> arm64."""
    machine = machine.lower()
    return MACHINE_NAMES.get(machine, machine)


def library_file(system, machine, bits):
    """The extension's library for this platform (a path inside the extension), or None."""
    return LIBRARIES.get((system, normal_machine(machine), bits))


def no_library_text(system, machine, bits):
    """The text a cell shows on a platform the extension has no library for."""
    return (f"Kaltra has no library for {SYSTEM_NAMES.get(system, system)} {normal_machine(machine)} ({bits}-bit) "
            "in this extension: it carries Linux x86_64 and Windows only")


def _load_module(path, name):
    located = importlib.util.spec_from_file_location(name, path)
    module = importlib.util.module_from_spec(located)
    sys.modules[name] = module  # its dataclasses look their module up there
    located.loader.exec_module(module)
    return module


def _load():
    """The loader module and the loaded library, or the text that says why there is none.

    KALTRA_LIBRARY names another library to load, as for the Python package (a library built
    from the sources on a platform the extension carries none for)."""
    system, machine, bits = platform.system(), platform.machine(), struct.calcsize("P") * 8
    path = os.environ.get("KALTRA_LIBRARY")
    if not path:
        relative = library_file(system, machine, bits)
        if relative is None:
            return None, None, no_library_text(system, machine, bits)
        path = os.path.join(EXTENSION_FOLDER, *relative.split("/"))
    try:
        loader = _load_module(os.path.join(EXTENSION_FOLDER, "_library.py"), "kaltra_calc_library")
        return loader, loader.load(path), None
    except Exception as error:  # a missing, damaged or foreign library: the cells say so
        return None, None, f"Kaltra could not load its library {path}: {error}"


_loader, _library, _no_library = None, None, None
_functions = None  # name -> (Function, ctypes entry point), once loaded


def _function_table():
    global _loader, _library, _no_library, _functions
    if _functions is None and _no_library is None:
        _loader, _library, _no_library = _load()
        if _library is not None:
            _functions = {f.name: (f, _library.entries[f.name]) for f in _library.functions}
    return _functions


def _text_argument(function, value):
    """The fluid as the add-in takes it: Windows-1252 bytes, as Excel passes a cell's text."""
    text = value if isinstance(value, str) else str(value)
    if len(text) > LONGEST_TEXT:
        raise RuntimeException(f"{function.name}: a fluid text of {len(text)} characters (Excel passes at most "
                               f"{LONGEST_TEXT})", None)
    return text.encode(_loader.TEXT_ENCODING, errors="replace")


def _integer_argument(function, argument, value):
    """A unit code or an index: Calc truncates a number toward zero, as Excel does."""
    if int(value) not in SHORT_RANGE:
        raise RuntimeException(f"{function.name}: {argument.name} {value} is outside a 16-bit integer", None)
    return int(value)


def call(name, values):
    """One worksheet call: the add-in's answer as Calc shows it (see the module's text)."""
    table = _function_table()
    if table is None:
        return _no_library
    function, entry = table[name]
    if len(values) != len(function.arguments):
        raise RuntimeException(f"{name} takes {len(function.arguments)} arguments, {len(values)} given", None)
    arguments = []
    for argument, value in zip(function.arguments, values):
        if argument.kind == _loader.TEXT:
            arguments.append(_text_argument(function, value))
        elif argument.kind == _loader.INTEGER:
            arguments.append(_integer_argument(function, argument, value))
        else:
            arguments.append(float(value))
    if function.answers_text:
        status, text = _loader.text_call(entry, *arguments)
        if status != 0:
            raise IllegalArgumentException(
                f"{name}({arguments[0]}): the index is outside 1 to {_library.cdll.kaltra_fluid_count()} "
                f"(the add-in's error value {status})", None, 0)
        return text
    return entry(*arguments)


class Kaltra(unohelper.Base, *((XKaltra,) if XKaltra is not None else ()), XServiceName, XServiceInfo):
    """The add-in object Calc creates: every worksheet function is a method of XKaltra."""

    def __init__(self, context):
        self.context = context

    def __getattr__(self, name):
        # The worksheet functions, by the names of the function table; with no library every
        # name of the interface answers the text that says why.
        table = _function_table()
        if (table is not None and name in table) or (table is None and name.startswith("Kalt")):
            return lambda *values: call(name, values)
        raise AttributeError(name)

    # XServiceName
    def getServiceName(self):
        return ADDIN_SERVICE

    # XServiceInfo
    def getImplementationName(self):
        return IMPLEMENTATION_NAME

    def supportsService(self, name):
        return name in SERVICE_NAMES

    def getSupportedServiceNames(self):
        return SERVICE_NAMES


g_ImplementationHelper = unohelper.ImplementationHelper()
g_ImplementationHelper.addImplementation(Kaltra, IMPLEMENTATION_NAME, SERVICE_NAMES)
