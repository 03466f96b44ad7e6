"""Kaltra: refrigerant properties in Python, the answers of the Kaltra Excel add-in bit for bit.

The 33 worksheet functions under their worksheet names, over Kaltra's C interface::

    >>> import kaltra
    >>> kaltra.KaltHofTP("R134a", 25, 10, 1)      # enthalpy at 25 C and 10 bar, kJ/kg
    163.42581500543258

Every numeric argument takes a number or an array (a NumPy array, a list): scalars in, a
float out; arrays in, an ndarray out, the arguments broadcast as NumPy broadcasts them and
the whole array evaluated in one call of the library.

- The fluid is given by designation, formula or long name, any letter case ("R22", "CHClF2").
  An unknown one raises ValueError, naming it and the closest known names.
- The unit code (0 English, 1 SI Common, 2 English Abs., 3 SI Formal, 4 SI kPa, 5 Metric,
  6 MetricFormal, 7 cgs) must be an integer 0-7, else ValueError.
- A text where a number belongs, a float unit code, a bool: TypeError.
- Where the add-in answers its failure mark -999 (a fluid without transport data, a state the
  equation of state has no answer for, a NaN or infinite input), the answer is NaN.
- KaltIndex answers -1 for a name it does not know, as the add-in does.
- KaltName, KaltLongName, KaltForm and KaltUnits answer str; an index outside the catalogue
  (1 to fluid_count()) or outside the label rows (0-10) raises ValueError.

Catalogue helpers: ``fluid_count()``, ``fluids()``, ``unit_label(units, index)``,
``unit_system(units)``, ``functions()``.

Calls may come from several threads at once: the library serialises them.
"""

from __future__ import annotations

import ctypes
import difflib
import inspect
import numbers
from typing import NamedTuple

import numpy as np

from . import _library
from ._library import FAILURE_MARK, Argument, Function

__version__ = "1.0.0"

_lib = _library.load()
_cdll = _lib.cdll

# Quantity rows of KaltUnits, and the row of the unit system's name.
PRESSURE, TEMPERATURE, VOLUME, ENTHALPY, ENTROPY, SPECIFIC_HEAT = 0, 1, 2, 3, 4, 5
DYNAMIC_VISCOSITY, KINEMATIC_VISCOSITY, CONDUCTIVITY, SURFACE_TENSION, SYSTEM_NAME = 6, 7, 8, 9, 10
UNIT_CODES = range(8)


# ---- Catalogue -----------------------------------------------------------------------------


class Fluid(NamedTuple):
    index: int
    name: str
    formula: str
    long_name: str


def fluid_count() -> int:
    """Number of fluids in the catalogue (indexes 1 to this)."""
    return _cdll.kaltra_fluid_count()


def _text(function_name: str, *arguments) -> tuple[int, str]:
    return _library.text_call(_lib.entries[function_name], *arguments)


def fluids() -> list[Fluid]:
    """Every fluid of the catalogue: index, designation, formula, long name."""
    return [
        Fluid(i, _text("KaltName", i)[1], _text("KaltForm", i)[1], _text("KaltLongName", i)[1])
        for i in range(1, fluid_count() + 1)
    ]


def functions() -> tuple[Function, ...]:
    """The function table: every worksheet function with its help and argument texts."""
    return _lib.functions


# ---- Checking arguments ----------------------------------------------------------------------

# Fluid texts already found, as the bytes the library takes.
_known_fluids: dict[str, bytes] = {}


def _fluid_texts() -> list[str]:
    texts = []
    for fluid in fluids():
        texts += [fluid.name, fluid.formula, fluid.long_name]
    return texts


def _fluid_argument(fluid) -> bytes:
    if fluid.__class__ is str and fluid in _known_fluids:
        return _known_fluids[fluid]
    if not isinstance(fluid, str):
        raise TypeError(f"the fluid must be a str (a designation, formula or long name), not {type(fluid).__name__}")
    try:
        encoded = fluid.encode(_library.TEXT_ENCODING)
    except UnicodeEncodeError:
        encoded = None
    if encoded is None or b"\0" in encoded or _cdll.kaltra_KaltIndex(encoded) < 0:
        by_lower = {t.lower(): t for t in _fluid_texts()}
        close = [by_lower[t] for t in difflib.get_close_matches(fluid.lower(), list(by_lower), n=5, cutoff=0.6)]
        hint = f"; close names: {', '.join(close)}" if close else "; kaltra.fluids() lists them"
        raise ValueError(f"unknown fluid {fluid!r}{hint}")
    _known_fluids[fluid] = encoded
    return encoded


def _is_array(x) -> bool:
    return isinstance(x, (np.ndarray, list, tuple))


def _number_argument(x, argument: Argument):
    """A double argument: a real number, or an array of them."""
    if _is_array(x):
        array = np.asarray(x)
        if array.dtype == np.bool_ or not (np.issubdtype(array.dtype, np.integer) or np.issubdtype(array.dtype, np.floating)):
            raise TypeError(f"{argument.name} must be real numbers, not an array of {array.dtype}")
        return np.asarray(array, dtype=np.float64)
    if isinstance(x, bool) or isinstance(x, np.bool_) or not isinstance(x, numbers.Real):
        raise TypeError(f"{argument.name} must be a real number or an array, not {type(x).__name__}")
    return float(x)


def _integer_argument(x, argument: Argument, valid: range, what: str):
    """An integer argument (unit code, index): an int in `valid`, or an integer array."""
    if _is_array(x):
        array = np.asarray(x)
        if array.dtype == np.bool_ or not np.issubdtype(array.dtype, np.integer):
            raise TypeError(f"{argument.name} must be integers, not an array of {array.dtype}")
        bad = array[(array < valid.start) | (array >= valid.stop)]
        if bad.size:
            raise ValueError(f"{what} {bad.flat[0]} is outside {valid.start}-{valid.stop - 1}")
        return np.asarray(array, dtype=np.intc)
    if isinstance(x, (bool, np.bool_)) or not isinstance(x, numbers.Integral):
        raise TypeError(f"{argument.name} must be an int, not {type(x).__name__}")
    if int(x) not in valid:
        raise ValueError(f"{what} {int(x)} is outside {valid.start}-{valid.stop - 1}")
    return int(x)


def _valid_integers(function: Function, argument: Argument) -> tuple[range, str]:
    if argument.name == "units":
        return UNIT_CODES, "unit code"
    if function.name == "KaltUnits":
        return range(SYSTEM_NAME + 1), "label index"
    return range(1, fluid_count() + 1), "fluid index"


# ---- Calls -----------------------------------------------------------------------------------


def _no_failure_mark(x: float) -> float:
    return float("nan") if x == FAILURE_MARK else x


def _evaluate_array(function: Function, fluid: bytes | None, values: list) -> np.ndarray:
    """One call of kaltra_evaluate over the broadcast arrays."""
    arrays = []
    for argument, value in zip((a for a in function.arguments if a.kind != "C"), values):
        dtype = np.float64 if argument.kind == "B" else np.intc
        arrays.append(np.asarray(value, dtype=dtype))
    views = np.broadcast_arrays(*arrays)
    shape = views[0].shape if views else ()
    # Strides are passed in elements; a view whose strides are not whole elements is copied.
    views = [v if all(s % v.itemsize == 0 for s in v.strides) else np.ascontiguousarray(v) for v in views]
    answers = np.empty(shape, dtype=np.float64)
    dimensions = len(shape)
    if dimensions > _library.MAX_DIMENSIONS:
        raise ValueError(f"at most {_library.MAX_DIMENSIONS} dimensions")
    extent = (ctypes.c_ssize_t * max(dimensions, 1))(*shape)
    stride_lists = [(ctypes.c_ssize_t * max(dimensions, 1))(*[s // v.itemsize for s in v.strides]) for v in views]
    pointers = (ctypes.c_void_p * max(len(views), 1))(*[v.ctypes.data for v in views])
    stride_pointers = (ctypes.c_void_p * max(len(views), 1))(*[ctypes.addressof(s) for s in stride_lists])
    status = _cdll.kaltra_evaluate(
        function.position, fluid, dimensions, ctypes.addressof(extent), ctypes.addressof(pointers),
        ctypes.addressof(stride_pointers), answers.ctypes.data,
    )
    if status < 0:
        raise RuntimeError(f"kaltra_evaluate refused {function.name}: status {status}")
    answers[answers == FAILURE_MARK] = np.nan
    return answers


def _make_function(function: Function):
    entry = _lib.entries[function.name]
    arguments = function.arguments
    count = len(arguments)
    integer_ranges = {a.name: _valid_integers(function, a) for a in arguments if a.kind == "I"}

    # The common case first: a known fluid text, plain floats or ints, an int unit code in 0-7.
    fast = not function.answers_text and not function.answers_integer and function.kinds[0] == "C"
    known = _known_fluids

    def call(*values):
        if fast and len(values) == count and values[0].__class__ is str:
            fluid = known.get(values[0])
            units = values[-1]
            if fluid is not None and units.__class__ is int and 0 <= units <= 7:
                plain = True
                for x in values[1:-1]:
                    if x.__class__ is not float and x.__class__ is not int:
                        plain = False
                if plain:
                    answer = entry(fluid, *values[1:])
                    return answer if answer != FAILURE_MARK else float("nan")
        if len(values) != count:
            raise TypeError(f"{function.name}() takes {count} arguments ({', '.join(a.name for a in arguments)}), "
                            f"{len(values)} given")
        fluid = None
        checked = []
        any_array = False
        for argument, value in zip(arguments, values):
            if argument.kind == "C":
                fluid = _fluid_argument(value) if not function.answers_integer else _index_fluid(value)
                continue
            if argument.kind == "B":
                v = _number_argument(value, argument)
            else:
                v = _integer_argument(value, argument, *integer_ranges[argument.name])
            any_array = any_array or isinstance(v, np.ndarray)
            checked.append(v)
        if function.answers_text:
            return _text_answer(function, entry, checked, any_array)
        if any_array:
            return _evaluate_array(function, fluid, checked)
        answer = entry(fluid, *checked) if fluid is not None else entry(*checked)
        return answer if function.answers_integer else _no_failure_mark(answer)

    parameters = [inspect.Parameter(_python_name(a.name), inspect.Parameter.POSITIONAL_ONLY) for a in arguments]
    call.__name__ = call.__qualname__ = function.name
    call.__signature__ = inspect.Signature(parameters)
    call.__doc__ = _docstring(function)
    call.__module__ = __name__
    return call


def _index_fluid(fluid) -> bytes:
    """KaltIndex takes any text and answers -1 for an unknown one."""
    if not isinstance(fluid, str):
        raise TypeError(f"the fluid must be a str, not {type(fluid).__name__}")
    return fluid.encode(_library.TEXT_ENCODING, errors="replace")


def _text_answer(function: Function, entry, checked: list, any_array: bool):
    def one(*integers):
        status, text = _library.text_call(entry, *(int(i) for i in integers))
        if status != 0:
            raise ValueError(f"{function.name}{tuple(int(i) for i in integers)} answers the error value {status}")
        return text

    if not any_array:
        return one(*checked)
    views = np.broadcast_arrays(*[np.asarray(c) for c in checked])
    answers = np.empty(views[0].shape, dtype=object)
    for index in np.ndindex(answers.shape):
        answers[index] = one(*(v[index] for v in views))
    return answers


def _python_name(argument_name: str) -> str:
    return argument_name.replace(". ", "_").replace(".", "").replace(" ", "_")


def _docstring(function: Function) -> str:
    """The function's help texts as the add-in registers them, in NumPy's docstring form."""
    lines = [function.help, "", "Parameters", "----------"]
    for a in function.arguments:
        kind = {"C": "str", "B": "float or array_like", "I": "int or array_like of int"}[a.kind]
        lines += [f"{_python_name(a.name)} : {kind}", f"    {a.help}"]
    lines += ["", "Returns", "-------"]
    if function.answers_text:
        lines += ["str, or an ndarray of str when an argument is an array"]
    elif function.answers_integer:
        lines += ["int: the catalogue index, -1 when the text names no fluid"]
    else:
        lines += ["float, or an ndarray when an argument is an array; NaN where the add-in answers its",
                  "failure mark -999 (no transport data, no state to answer)"]
    return "\n".join(lines) + "\n"


for _function in _lib.functions:
    globals()[_function.name] = _make_function(_function)
del _function


def unit_label(units: int, index: int) -> str:
    """The label of quantity `index` (PRESSURE ... SURFACE_TENSION, SYSTEM_NAME) in unit system `units`."""
    return globals()["KaltUnits"](units, index)


def unit_system(units: int) -> str:
    """The name of a unit system: 1 -> "SI Common"."""
    return unit_label(units, SYSTEM_NAME)


__all__ = [f.name for f in _lib.functions] + [
    "FAILURE_MARK", "Fluid", "fluid_count", "fluids", "functions", "unit_label", "unit_system",
]
