"""Economic scenarios: the scenario file read by the talvek command's own
reader (libtalvek_basis.so), and the figures of a set valued as pandas
DataFrames laid out as the command's scenario result files."""

import ctypes
import os

import numpy as np
import pandas as pd

from . import _engine
from ._basis import group_names, result_columns
from ._engine import libraries, text

# scenario_present_values.csv's figures, after "scenario,group": column and
# field of TalvekPresentValues, then pv_<column> of every cash flow column
PRESENT_VALUE_COLUMNS = [("pvfb", "benefits"), ("pv_contributions", "contributions"), ("dbo", "obligation"),
                         ("service_cost", "service_cost"), ("pvfb_duration", "benefits_duration"),
                         ("contributions_duration", "contributions_duration"),
                         ("dbo_duration", "obligation_duration")]

_DOUBLE = ctypes.sizeof(ctypes.c_double)
# a group's present values, and a scenario's (every group), in doubles
_PRESENT_VALUE_DOUBLES = ctypes.sizeof(_engine.PresentValues) // _DOUBLE
_SCENARIO_DOUBLES = ctypes.sizeof(_engine.ScenarioValues) // _DOUBLE
_GROUPS = _engine.MEMBER_STATUSES + 1


class ScenarioFileError(ValueError):
    """The scenario file was refused; the message is the reader's, as
    `talvek run --scenarios` prints it: the file, the line and the column."""


def distribution_names():
    """The distribution's elements as the result files name them: the mean,
    then the percentiles (mean, p5, p25, p50, p75, p95)."""
    lib = libraries()
    return [text(lib.basis_distribution_name(d)) for d in range(_engine.DISTRIBUTION_SIZE)]


class ScenarioFile:
    """A scenario file read and checked on a basis: the engine's set (its
    vectors held by the basis library until this object goes), the labels in
    the file's order, and the file's size and SHA-256."""

    def __init__(self, basis, path):
        lib = libraries()
        self.path = os.path.abspath(path)
        self._handle = None
        handle = lib.basis_read_scenarios(basis._handle, os.fsencode(path))
        if not handle:
            raise MemoryError("no memory to read the scenario file")
        self._handle = handle
        if not lib.basis_scenarios_ok(handle):
            raise ScenarioFileError(text(lib.basis_scenarios_message(handle)))
        self.count = lib.basis_scenario_count(handle)
        labels = lib.basis_scenario_labels(handle)
        self.labels = np.ctypeslib.as_array(labels, shape=(self.count,)).copy()
        self.size = lib.basis_scenario_file_size(handle)
        self.sha256 = text(lib.basis_scenario_file_sha256(handle))
        self.skipped_rows = lib.basis_scenario_skipped_rows(handle)
        self.engine_set = _engine.ScenarioSet()
        lib.basis_scenario_set(handle, ctypes.byref(self.engine_set))
        self.curve_kind = _engine.CURVE_KINDS.get(self.engine_set.curve_kind, str(self.engine_set.curve_kind))

    def record(self):
        """The file as run.json names it: path, size and SHA-256."""
        return {"path": self.path, "size": self.size, "sha256": self.sha256}

    def __del__(self):
        handle, self._handle = getattr(self, "_handle", None), None
        if handle is not None and _engine._loaded is not None:
            _engine._loaded.basis_scenarios_free(handle)


def _doubles(pointer, count):
    """count doubles from a pointer of the engine's, copied (nothing when 0)."""
    if count == 0:
        return np.zeros(0)
    return np.ctypeslib.as_array(ctypes.cast(pointer, ctypes.POINTER(ctypes.c_double)), shape=(count,)).copy()


def _field_index(field):
    return getattr(_engine.PresentValues, field).offset // _DOUBLE


def _cashflow_index(block):
    return _engine.PresentValues.cashflows.offset // _DOUBLE + block


def present_value_frame(labels, values):
    """scenario_present_values.csv: a row per scenario and group (total
    first): scenario, group, the figures, pv_<column> of each cash flow.
    values: the scenarios' TalvekScenarioValues as doubles, one row each."""
    count = len(values)
    by_group = values.reshape(count * _GROUPS, _PRESENT_VALUE_DOUBLES)
    frame = {"scenario": np.repeat(labels, _GROUPS), "group": group_names() * count}
    for column, field in PRESENT_VALUE_COLUMNS:
        frame[column] = by_group[:, _field_index(field)]
    cashflow_names = result_columns(_engine.BENEFIT_CASHFLOWS, _engine.CASHFLOW_BLOCKS)
    for block, column in enumerate(cashflow_names, start=1):
        frame["pv_" + column] = by_group[:, _cashflow_index(block)]
    return pd.DataFrame(frame)


def distribution_frame(distribution):
    """scenario_cashflow_distribution.csv: a row per year 0..110 and cash flow
    column (the columns within the year): year, cashflow, mean, p5 .. p95.
    distribution: TALVEK_DISTRIBUTION_SIZE rows of the benefit cash flow
    array's elements."""
    cashflow_names = result_columns(_engine.BENEFIT_CASHFLOWS, _engine.CASHFLOW_BLOCKS)
    blocks = len(cashflow_names)
    # element (block, year) of statistic d -> row year * blocks + block - 1
    by_block = distribution.reshape(_engine.DISTRIBUTION_SIZE, _engine.CASHFLOW_BLOCKS, _engine.YEAR_SLOTS)[:, 1:, :]
    rows = by_block.transpose(2, 1, 0).reshape(_engine.YEAR_SLOTS * blocks, _engine.DISTRIBUTION_SIZE)
    frame = {"year": np.repeat(np.arange(_engine.YEAR_SLOTS), blocks), "cashflow": cashflow_names * _engine.YEAR_SLOTS}
    for d, name in enumerate(distribution_names()):
        frame[name] = rows[:, d]
    return pd.DataFrame(frame)


def cashflow_frame(labels, cashflows):
    """scenario_cashflows.csv: a row per scenario and year 0..110: scenario,
    year, a column per cash flow column. cashflows: each scenario's benefit
    cash flow array, one row each."""
    cashflow_names = result_columns(_engine.BENEFIT_CASHFLOWS, _engine.CASHFLOW_BLOCKS)
    count = len(cashflows)
    by_block = cashflows.reshape(count, _engine.CASHFLOW_BLOCKS, _engine.YEAR_SLOTS)[:, 1:, :]
    rows = by_block.transpose(0, 2, 1).reshape(count * _engine.YEAR_SLOTS, len(cashflow_names))
    frame = {"scenario": np.repeat(labels, _engine.YEAR_SLOTS),
             "year": np.tile(np.arange(_engine.YEAR_SLOTS), count)}
    for block, column in enumerate(cashflow_names):
        frame[column] = rows[:, block]
    return pd.DataFrame(frame)


class ScenarioResults:
    """Every member valued under each scenario of a set, as the command's
    scenario result files lay it out:

    present_values: scenario_present_values.csv (scenario, group, pvfb, ...)
    distribution:   scenario_cashflow_distribution.csv (year, cashflow, mean,
                    p5, p25, p50, p75, p95: over the scenarios valued)
    cashflows:      scenario_cashflows.csv (scenario, year, a column per cash
                    flow), every scenario's benefit cash flows
    and the set: file (path, size, SHA-256), scenario_count (of the file),
    scenarios_valued, labels, discount_curve (forward_rates, spot_rates or
    basis_rates)."""

    def __init__(self, scenario_file, engine_results):
        valued = engine_results.scenario_count if engine_results.values else 0
        labels = scenario_file.labels[:valued]
        values = _doubles(engine_results.values, valued * _SCENARIO_DOUBLES).reshape(valued, _SCENARIO_DOUBLES)
        cashflows = _doubles(engine_results.cashflows, valued * _engine.BENEFIT_CASHFLOWS_SIZE).reshape(
            valued, _engine.BENEFIT_CASHFLOWS_SIZE)
        distribution = np.ctypeslib.as_array(engine_results.distribution).copy()
        self.file = scenario_file.record()
        self.scenario_count = scenario_file.count
        self.scenarios_valued = valued
        self.labels = [int(label) for label in labels]
        self.discount_curve = scenario_file.curve_kind
        self.present_values = present_value_frame(labels, values)
        self.distribution = distribution_frame(distribution)
        self.cashflows = cashflow_frame(labels, cashflows)

    @property
    def complete(self):
        return self.scenarios_valued == self.scenario_count

    def record(self):
        """As run.json's "scenarios" names it."""
        return {"file": self.file, "scenario_count": self.scenario_count, "scenarios_valued": self.scenarios_valued,
                "discount_curve": self.discount_curve, "cashflows_per_scenario": True}

    def __repr__(self):
        return (f"<ScenarioResults {self.scenarios_valued} of {self.scenario_count} scenarios of "
                f"{self.file['path']}>")
