"""The basis file, read by the talvek command's own reader (libtalvek_basis.so)."""

import ctypes
import os
import threading

import numpy as np

from . import _engine
from ._engine import libraries, text


class BasisError(ValueError):
    """The basis file was refused; the message holds every problem, one a
    line, exactly as `talvek run` prints them."""

    def __init__(self, message):
        super().__init__(message)
        self.problems = [line for line in message.splitlines() if line]


class MemberDataError(ValueError):
    """The member file was refused by the data check, or cannot be read;
    the message is what `talvek run` prints."""


class Basis:
    """A basis file read and checked: the engine's assumption arrays (numpy
    copies in `arrays`) and how the member file is written."""

    def __init__(self, path, handle):
        self.path = os.path.abspath(path)
        self._handle = handle
        # the checked member file lives in the handle during a run: one run at a time per basis
        self._run_lock = threading.Lock()
        lib = libraries()
        assumptions = _engine.Assumptions()
        lib.basis_assumptions(handle, ctypes.byref(assumptions))
        self.valuation_year = assumptions.valuation_year
        self.mortality_base_year = assumptions.mortality_base_year
        self.arrays = {}
        for name, size in _engine.ASSUMPTION_ARRAYS:
            pointer = getattr(assumptions, name)
            self.arrays[name] = np.ctypeslib.as_array(pointer, shape=(size,)).copy()
        self.status_codes = {lib.basis_status_name(s).decode(): text(assumptions.status_codes[s])
                             for s in range(1, _engine.MEMBER_STATUSES + 1)}
        self.delimiter_code = lib.basis_delimiter_code(handle)
        self.spreadsheet_layout = bool(lib.basis_spreadsheet_layout(handle))
        self.header_row = bool(lib.basis_header_row(handle))
        self.decimal_separator = lib.basis_decimal_separator(handle).decode()
        # field name -> (column number or 0, header text or "")
        self.member_columns = {}
        for field in range(1, _engine.MEMBER_FIELDS + 1):
            column = lib.basis_field_column(handle, field)
            header = text(lib.basis_field_header(handle, field))
            if column > 0 or header:
                self.member_columns[text(lib.basis_field_name(field))] = (column, header)
        # the valuation's part of the basis: the discount curve ([discount]) and
        # the set of sensitivities ([sensitivities], or the default set)
        curve = (ctypes.c_double * _engine.CURVE_SIZE)()
        kind = lib.basis_discount_curve(handle, curve)
        self.discount_curve_kind = _engine.CURVE_KINDS.get(kind, str(kind))
        self.discount_curve = np.ctypeslib.as_array(curve).copy() if kind != 0 else None
        self._discount_curve = (kind, ctypes.cast(curve, ctypes.POINTER(ctypes.c_double))) if kind != 0 else None
        self._curve_storage = curve  # the engine reads it during a run
        room = (_engine.Sensitivity * _engine.MAX_SENSITIVITIES)()
        count = min(lib.basis_sensitivities(handle, room, _engine.MAX_SENSITIVITIES), _engine.MAX_SENSITIVITIES)
        self.sensitivities = [(room[i].kind, room[i].size) for i in range(count)]
        # the basis names no currency unit yet; the report shows plain amounts then
        self.currency = ""

    def __del__(self):
        handle, self._handle = getattr(self, "_handle", None), None
        if handle is not None and _engine._loaded is not None:
            _engine._loaded.basis_free(handle)

    def __repr__(self):
        return f"Basis({self.path!r}, valuation_year={self.valuation_year})"


def read_basis(path):
    """Reads and checks the basis file at path as `talvek run` does; raises
    BasisError with the same messages when it is refused."""
    path = os.fspath(path)
    lib = libraries()
    handle = lib.basis_read(path.encode())
    if not handle:
        raise MemoryError("no memory to read the basis file")
    if not lib.basis_ok(handle):
        message = text(lib.basis_message(handle)).rstrip("\n")
        lib.basis_free(handle)
        raise BasisError(message)
    return Basis(path, handle)


def field_names():
    lib = libraries()
    return [text(lib.basis_field_name(f)) for f in range(1, _engine.MEMBER_FIELDS + 1)]


def status_names():
    lib = libraries()
    return [text(lib.basis_status_name(s)) for s in range(1, _engine.MEMBER_STATUSES + 1)]


def group_names():
    """The groups of the results, as the result files name them: every
    member ("total"), then statuses 1..5."""
    lib = libraries()
    return [text(lib.basis_group_name(g)) for g in range(_engine.MEMBER_STATUSES + 1)]


def sensitivity_names():
    """Sensitivity kind -> its name in [sensitivities] and the result files."""
    lib = libraries()
    return {kind: text(lib.basis_sensitivity_name(kind)) for kind in range(1, _engine.SENSITIVITY_KIND_COUNT + 1)}


def result_columns(array, blocks):
    lib = libraries()
    return [text(lib.basis_result_column(array, b)) for b in range(1, blocks)]
