"""The ctypes loader of Kaltra's C interface (capi/kaltra.h).

Loads the shared library the package ships (libkaltra.so on Linux, kaltra.dll on Windows,
beside this file; the environment variable KALTRA_LIBRARY names another), declares the
signature of every entry point, and reads the function table the add-in registers with
Excel. The scalar entry point of a worksheet function is ``kaltra_<name>``; its signature
follows from the function's argument kinds:

- a function with a fluid argument ('C') answers a double (KaltIndex an int);
- a function without one (KaltUnits, KaltName, KaltLongName, KaltForm) answers a text into a
  buffer and returns 0, or the add-in's error code.

Nothing here knows the 33 functions by heart: everything comes from the table. Other hosts
built on ctypes can use this module alone: ``load()`` answers a ``Library``.
"""

from __future__ import annotations

import ctypes
import os
import sys
from dataclasses import dataclass
from pathlib import Path

# The add-in's answer when a fluid cannot answer (unknown name, no transport data, a state
# the equation of state has no answer for, a NaN or infinite input).
FAILURE_MARK = -999.0
# A buffer this long holds every text the add-in answers.
TEXT_SIZE = 256
# The most dimensions one array call takes.
MAX_DIMENSIONS = 32

# Status codes of kaltra_evaluate.
OK = 0
NOT_A_NUMBER = 1

# Argument kinds of the function table.
TEXT = "C"
DOUBLE = "B"
INTEGER = "I"

_LIBRARY_FILE = {"win32": "kaltra.dll", "cygwin": "kaltra.dll", "darwin": "libkaltra.dylib"}.get(
    sys.platform, "libkaltra.so"
)

# Texts of the add-in are Windows-1252 bytes (the degree mark is 0xBA).
TEXT_ENCODING = "cp1252"


@dataclass(frozen=True)
class Argument:
    name: str  # as registered: "temperature", "spec. vol.", "units"
    kind: str  # TEXT, DOUBLE or INTEGER
    help: str


@dataclass(frozen=True)
class Function:
    position: int  # in the function table, as kaltra_evaluate takes it
    name: str  # "KaltHofTP"
    help: str  # "enthalpy from temp. and pres."
    arguments: tuple[Argument, ...]

    @property
    def kinds(self) -> str:
        return "".join(a.kind for a in self.arguments)

    @property
    def answers_text(self) -> bool:
        """The functions without a fluid argument answer texts."""
        return TEXT not in self.kinds

    @property
    def answers_integer(self) -> bool:
        return self.name == "KaltIndex"


@dataclass
class Library:
    """The loaded library: the ctypes handle, the function table and each scalar entry."""

    path: str
    cdll: ctypes.CDLL
    functions: tuple[Function, ...]
    entries: dict  # function name -> ctypes function kaltra_<name>


def library_path() -> str:
    return os.environ.get("KALTRA_LIBRARY") or str(Path(__file__).with_name(_LIBRARY_FILE))


_CTYPE_OF_KIND = {TEXT: ctypes.c_char_p, DOUBLE: ctypes.c_double, INTEGER: ctypes.c_int}


def _declare_interface(cdll: ctypes.CDLL) -> None:
    """Signatures of the entry points that are not worksheet functions."""
    c_int, c_char_p = ctypes.c_int, ctypes.c_char_p
    for name, restype, argtypes in (
        ("kaltra_fluid_count", c_int, []),
        ("kaltra_function_count", c_int, []),
        ("kaltra_function_find", c_int, [c_char_p]),
        ("kaltra_function_name", c_char_p, [c_int]),
        ("kaltra_function_help", c_char_p, [c_int]),
        ("kaltra_argument_count", c_int, [c_int]),
        ("kaltra_argument_kind", ctypes.c_char, [c_int, c_int]),
        ("kaltra_argument_name", c_char_p, [c_int, c_int]),
        ("kaltra_argument_help", c_char_p, [c_int, c_int]),
    ):
        entry = getattr(cdll, name)
        entry.restype, entry.argtypes = restype, argtypes
    evaluate = cdll.kaltra_evaluate
    evaluate.restype = c_int
    evaluate.argtypes = [
        c_int,  # function
        c_char_p,  # fluid
        c_int,  # dimensions
        ctypes.c_void_p,  # shape: ptrdiff_t[dimensions]
        ctypes.c_void_p,  # arguments: const void*[]
        ctypes.c_void_p,  # strides: const ptrdiff_t*[]
        ctypes.c_void_p,  # answers: double[]
    ]


def _read_table(cdll: ctypes.CDLL) -> tuple[Function, ...]:
    functions = []
    for f in range(cdll.kaltra_function_count()):
        arguments = tuple(
            Argument(
                cdll.kaltra_argument_name(f, a).decode("ascii"),
                cdll.kaltra_argument_kind(f, a).decode("ascii"),
                cdll.kaltra_argument_help(f, a).decode("ascii"),
            )
            for a in range(cdll.kaltra_argument_count(f))
        )
        functions.append(
            Function(f, cdll.kaltra_function_name(f).decode("ascii"), cdll.kaltra_function_help(f).decode("ascii"), arguments)
        )
    return tuple(functions)


def _declare_entry(cdll: ctypes.CDLL, function: Function):
    entry = getattr(cdll, "kaltra_" + function.name)
    argtypes = [_CTYPE_OF_KIND[a.kind] for a in function.arguments]
    if function.answers_text:
        entry.argtypes = argtypes + [ctypes.c_char_p, ctypes.c_size_t]
        entry.restype = ctypes.c_int
    else:
        entry.argtypes = argtypes
        entry.restype = ctypes.c_int if function.answers_integer else ctypes.c_double
    return entry


def load(path: str | None = None) -> Library:
    """Loads the library and declares every entry point from its function table."""
    path = path or library_path()
    if not os.path.exists(path):
        raise ImportError(f"Kaltra's C library is not at {path}: install the package (pip install ./python), "
                          "or name the library in KALTRA_LIBRARY")
    cdll = ctypes.CDLL(path)
    _declare_interface(cdll)
    functions = _read_table(cdll)
    entries = {f.name: _declare_entry(cdll, f) for f in functions}
    return Library(path, cdll, functions, entries)


def text_call(entry, *arguments) -> tuple[int, str]:
    """Calls a text entry point: its status (0 or the add-in's error code) and its text."""
    buffer = ctypes.create_string_buffer(TEXT_SIZE)
    status = entry(*arguments, buffer, TEXT_SIZE)
    return status, buffer.value.decode(TEXT_ENCODING)
