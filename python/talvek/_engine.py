"""The engine's C interface (include/talvek/engine.h) and the basis library
(host/basis_library.h) as ctypes declarations.

Every struct mirrors its C declaration field by field; sizes are checked
against the library at load time where the engine states them (struct_size).
"""

import ctypes
import os
from ctypes import (POINTER, Structure, c_char, c_char_p, c_double, c_int16, c_int32,
                    c_int64, c_uint32, c_uint64, c_void_p)

ENGINE_VERSION = 4

YEAR_SLOTS = 111
MEMBER_COUNT_BLOCKS = 23
DECREMENT_COUNT_BLOCKS = 16
CASHFLOW_BLOCKS = 19
MEMBER_COUNTS_SIZE = MEMBER_COUNT_BLOCKS * YEAR_SLOTS
DECREMENT_COUNTS_SIZE = DECREMENT_COUNT_BLOCKS * YEAR_SLOTS
BENEFIT_CASHFLOWS_SIZE = CASHFLOW_BLOCKS * YEAR_SLOTS
MEMBER_FIELDS = 14
MEMBER_STATUSES = 5
CURVE_SIZE = 111
MAX_SENSITIVITIES = 16

# what talvek_run and talvek_value return
OK = 0
STOPPED = 1

# TalvekValuationOption
VALUE_PER_MEMBER = 1

# TalvekSensitivityKind 1..4 (their names: talvek_basis_sensitivity_name)
SENSITIVITY_KIND_COUNT = 4

# TalvekCurveKind, by the name the basis file and the run record use
CURVE_KINDS = {0: "basis_rates", 1: "forward_rates", 2: "spot_rates"}

# the basis library's result arrays (talvek_basis_result_column)
MEMBER_COUNTS = 0
DECREMENT_COUNTS = 1
BENEFIT_CASHFLOWS = 2


class Assumptions(Structure):
    _fields_ = [
        ("valuation_year", c_int32),
        ("mortality_base_year", c_int32),
        ("delimiter_code", c_int32),
        ("reserved", c_int32),
        ("base_mortality", POINTER(c_double)),
        ("mortality_improvement", POINTER(c_double)),
        ("column_map", POINTER(c_int16)),
        ("status_codes", POINTER(c_char_p)),
        ("plan_parameters", POINTER(c_double)),
        ("retirement_factors", POINTER(c_double)),
        ("demographic_parameters", POINTER(c_double)),
        ("economic_parameters", POINTER(c_double)),
        ("retirement_rates", POINTER(c_double)),
        ("disability_rates", POINTER(c_double)),
        ("withdrawal_rates", POINTER(c_double)),
        ("salary_scale", POINTER(c_double)),
        ("yearly_rates", POINTER(c_double)),
    ]


# (field of Assumptions, element count): the arrays read_basis hands out
ASSUMPTION_ARRAYS = [
    ("base_mortality", 241), ("mortality_improvement", 241), ("column_map", 21),
    ("plan_parameters", 16), ("retirement_factors", 242), ("demographic_parameters", 6),
    ("economic_parameters", 20), ("retirement_rates", 54), ("disability_rates", 94),
    ("withdrawal_rates", 64), ("salary_scale", 94), ("yearly_rates", 222),
]
STATUS_CODES_SIZE = 10

ProgressFn = ctypes.CFUNCTYPE(c_int32, c_void_p, c_int64, c_int64)


class Sensitivity(Structure):
    _fields_ = [("kind", c_int32), ("reserved", c_int32), ("size", c_double)]


class RunDef(Structure):
    _fields_ = [
        ("struct_size", c_uint32),
        ("version", c_uint32),
        ("member_file", c_char_p),
        ("member_bytes", c_void_p),
        ("member_byte_count", c_int64),
        ("listing_file", c_char_p),
        ("error_file", c_char_p),
        ("assumptions", Assumptions),
        ("jobs", c_int32),
        ("reserved_int", c_int32),
        ("member_total", c_int64),
        ("progress", ProgressFn),
        ("progress_user", c_void_p),
        ("limit_future_service", c_int32),
        ("valuation_options", c_int32),
        ("future_service_years", c_double),
        ("discount_curve_kind", c_int32),
        ("sensitivity_count", c_int32),
        ("discount_curve", POINTER(c_double)),
        ("sensitivities", POINTER(Sensitivity)),
        ("piece_exchange", c_void_p),  # pieces valued by other processes: never from Python
        ("reserved", c_uint64 * 15),
    ]


class Results(Structure):
    _fields_ = [
        ("status", c_int32),
        ("stopped", c_int32),
        ("message", c_char * 512),
        ("line_reads", c_int64),
        ("members_done", c_int64),
        ("error_count", c_int64),
        ("unknown_statuses", c_int64),
        ("reserved", c_int64 * 8),
        ("member_counts", c_double * MEMBER_COUNTS_SIZE),
        ("decrement_counts", c_double * DECREMENT_COUNTS_SIZE),
        ("benefit_cashflows", c_double * BENEFIT_CASHFLOWS_SIZE),
    ]


class PresentValues(Structure):
    _fields_ = [
        ("cashflows", c_double * CASHFLOW_BLOCKS),
        ("benefits", c_double),
        ("contributions", c_double),
        ("obligation", c_double),
        ("service_cost", c_double),
        ("benefits_duration", c_double),
        ("contributions_duration", c_double),
        ("obligation_duration", c_double),
        ("reserved", c_double * 3),
    ]


PRESENT_VALUE_FIELDS = ["benefits", "contributions", "obligation", "service_cost",
                        "benefits_duration", "contributions_duration", "obligation_duration"]


class StatusArrays(Structure):
    _fields_ = [
        ("member_counts", c_double * MEMBER_COUNTS_SIZE),
        ("decrement_counts", c_double * DECREMENT_COUNTS_SIZE),
        ("benefit_cashflows", c_double * BENEFIT_CASHFLOWS_SIZE),
    ]


class MemberValues(Structure):
    _fields_ = [
        ("line", c_int64),
        ("member_number", c_char * 16),
        ("status", c_int32),
        ("age", c_int32),
        ("sex", c_char),
        ("reserved", c_char * 7),
        ("benefits", c_double),
        ("contributions", c_double),
        ("obligation", c_double),
        ("service_cost", c_double),
        ("duration", c_double),
    ]


class SensitivityResult(Structure):
    _fields_ = [
        ("sensitivity", Sensitivity),
        ("present_values", PresentValues * (MEMBER_STATUSES + 1)),
    ]


class Valuation(Structure):
    _fields_ = [
        ("discount_factors", c_double * CURVE_SIZE),
        ("mid_year_factors", c_double * CURVE_SIZE),
        ("present_values", PresentValues * (MEMBER_STATUSES + 1)),
        ("by_status", StatusArrays * (MEMBER_STATUSES + 1)),
        ("accrued_cashflows", (c_double * BENEFIT_CASHFLOWS_SIZE) * (MEMBER_STATUSES + 1)),
        ("one_year_cashflows", (c_double * BENEFIT_CASHFLOWS_SIZE) * (MEMBER_STATUSES + 1)),
        ("sensitivity_count", c_int32),
        ("reserved_int", c_int32),
        ("sensitivities", SensitivityResult * MAX_SENSITIVITIES),
        ("member_count", c_int64),
        ("members", POINTER(MemberValues)),
        ("reserved", c_uint64 * 8),
    ]


ANNUITY_RATES = 4
DISTRIBUTION_SIZE = 6  # the mean and five percentiles (names: talvek_basis_distribution_name)


class ScenarioSet(Structure):
    _fields_ = [
        ("scenario_count", c_int32),
        ("curve_kind", c_int32),
        ("yearly_rates", POINTER(c_double)),
        ("annuity_rates", POINTER(c_double)),
        ("discount_curves", POINTER(c_double)),
        ("options", c_uint64),
        ("reserved", c_uint64 * 3),
    ]


class ScenarioValues(Structure):
    _fields_ = [("present_values", PresentValues * (MEMBER_STATUSES + 1))]


class ScenarioResults(Structure):
    _fields_ = [
        ("scenario_count", c_int64),
        ("values", POINTER(ScenarioValues)),
        ("cashflows", POINTER(c_double)),
        ("distribution", (c_double * BENEFIT_CASHFLOWS_SIZE) * DISTRIBUTION_SIZE),
        ("reserved", c_uint64 * 8),
    ]


class LibraryNotFound(RuntimeError):
    """libtalvek.so or libtalvek_basis.so is not where the module looks."""


def _find_libraries():
    """The two libraries: $TALVEK_LIBRARY_DIR, else the build that copied
    this module, else a build folder of the source tree (build/*/)."""
    directory = os.environ.get("TALVEK_LIBRARY_DIR")
    if directory:
        # a build folder (libtalvek.so at its top, libtalvek_basis.so in host/) or one folder with both
        basis = os.path.join(directory, "libtalvek_basis.so")
        if not os.path.exists(basis):
            basis = os.path.join(directory, "host", "libtalvek_basis.so")
        return os.path.join(directory, "libtalvek.so"), basis
    try:
        from . import _library_paths as built
        return built.ENGINE_LIBRARY, built.BASIS_LIBRARY
    except ImportError:
        pass
    # the module run from the source tree: a build of that tree
    source_root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    builds = os.path.join(source_root, "build")
    # (not the sanitizer build: its libraries need their runtime preloaded)
    for name in ("release", "dev"):
        engine = os.path.join(builds, name, "libtalvek.so")
        basis = os.path.join(builds, name, "host", "libtalvek_basis.so")
        if os.path.exists(engine) and os.path.exists(basis):
            return engine, basis
    raise LibraryNotFound("libtalvek.so and libtalvek_basis.so were not found: build the project "
                          "(cmake --build build/release) and use PYTHONPATH=build/release/python, "
                          "or set TALVEK_LIBRARY_DIR to the build folder")


def _declare(library, name, result, arguments):
    function = getattr(library, name)
    function.restype = result
    function.argtypes = arguments
    return function


class _Libraries:
    def __init__(self):
        engine_path, basis_path = _find_libraries()
        for path in (engine_path, basis_path):
            if not os.path.exists(path):
                raise LibraryNotFound(f"{path}: no such library; build the project first")
        # the engine first: the basis library needs its symbols
        self.engine = ctypes.CDLL(engine_path, mode=ctypes.RTLD_GLOBAL)
        self.basis = ctypes.CDLL(basis_path)
        self.engine_path = engine_path
        self.basis_path = basis_path
        e, b = self.engine, self.basis
        self.default_run_def = _declare(e, "talvek_default_run_def", RunDef, [])
        # talvek_run and talvek_value are called without the interpreter lock
        # (ctypes.CDLL releases it for every foreign call)
        self.run = _declare(e, "talvek_run", c_int32, [POINTER(RunDef), POINTER(Results)])
        self.value = _declare(e, "talvek_value", c_int32,
                              [POINTER(RunDef), POINTER(Results), POINTER(Valuation)])
        self.release_valuation = _declare(e, "talvek_release_valuation", None, [POINTER(Valuation)])
        self.count_line_reads = _declare(e, "talvek_count_line_reads", c_int32,
                                         [POINTER(RunDef), POINTER(c_int64)])
        self.status_message = _declare(e, "talvek_status_message", c_char_p, [c_int32])
        self.version = _declare(e, "talvek_version", c_char_p, [])
        self.basis_read = _declare(b, "talvek_basis_read", c_void_p, [c_char_p])
        self.basis_ok = _declare(b, "talvek_basis_ok", c_int32, [c_void_p])
        self.basis_message = _declare(b, "talvek_basis_message", c_char_p, [c_void_p])
        self.basis_assumptions = _declare(b, "talvek_basis_assumptions", None,
                                          [c_void_p, POINTER(Assumptions)])
        self.basis_delimiter_code = _declare(b, "talvek_basis_delimiter_code", c_int32, [c_void_p])
        self.basis_spreadsheet_layout = _declare(b, "talvek_basis_spreadsheet_layout", c_int32, [c_void_p])
        self.basis_header_row = _declare(b, "talvek_basis_header_row", c_int32, [c_void_p])
        self.basis_decimal_separator = _declare(b, "talvek_basis_decimal_separator", c_char, [c_void_p])
        self.basis_field_column = _declare(b, "talvek_basis_field_column", c_int32, [c_void_p, c_int32])
        self.basis_field_header = _declare(b, "talvek_basis_field_header", c_char_p, [c_void_p, c_int32])
        self.basis_field_name = _declare(b, "talvek_basis_field_name", c_char_p, [c_int32])
        self.basis_status_name = _declare(b, "talvek_basis_status_name", c_char_p, [c_int32])
        self.basis_result_column = _declare(b, "talvek_basis_result_column", c_char_p, [c_int32, c_int32])
        self.basis_prepare_members = _declare(b, "talvek_basis_prepare_members", c_int32,
                                              [c_void_p, c_char_p, c_int32, c_int32, POINTER(RunDef)])
        self.basis_write_member_data_files = _declare(b, "talvek_basis_write_member_data_files", c_int32,
                                                      [c_void_p, c_char_p])
        self.basis_group_name = _declare(b, "talvek_basis_group_name", c_char_p, [c_int32])
        self.basis_sensitivity_name = _declare(b, "talvek_basis_sensitivity_name", c_char_p, [c_int32])
        self.basis_discount_curve = _declare(b, "talvek_basis_discount_curve", c_int32,
                                             [c_void_p, POINTER(c_double)])
        self.basis_sensitivities = _declare(b, "talvek_basis_sensitivities", c_int32,
                                            [c_void_p, POINTER(Sensitivity), c_int32])
        self.basis_free = _declare(b, "talvek_basis_free", None, [c_void_p])
        # talvek_value_scenarios is called without the interpreter lock, as talvek_value
        self.value_scenarios = _declare(e, "talvek_value_scenarios", c_int32,
                                        [POINTER(RunDef), POINTER(ScenarioSet), POINTER(Results),
                                         POINTER(ScenarioResults)])
        self.release_scenarios = _declare(e, "talvek_release_scenarios", None, [POINTER(ScenarioResults)])
        self.basis_read_scenarios = _declare(b, "talvek_basis_read_scenarios", c_void_p, [c_void_p, c_char_p])
        self.basis_scenarios_ok = _declare(b, "talvek_basis_scenarios_ok", c_int32, [c_void_p])
        self.basis_scenarios_message = _declare(b, "talvek_basis_scenarios_message", c_char_p, [c_void_p])
        self.basis_scenario_set = _declare(b, "talvek_basis_scenario_set", None, [c_void_p, POINTER(ScenarioSet)])
        self.basis_scenario_count = _declare(b, "talvek_basis_scenario_count", c_int64, [c_void_p])
        self.basis_scenario_labels = _declare(b, "talvek_basis_scenario_labels", POINTER(c_int64), [c_void_p])
        self.basis_scenario_file_size = _declare(b, "talvek_basis_scenario_file_size", c_uint64, [c_void_p])
        self.basis_scenario_file_sha256 = _declare(b, "talvek_basis_scenario_file_sha256", c_char_p, [c_void_p])
        self.basis_scenario_skipped_rows = _declare(b, "talvek_basis_scenario_skipped_rows", c_int64, [c_void_p])
        self.basis_scenarios_free = _declare(b, "talvek_basis_scenarios_free", None, [c_void_p])
        self.basis_distribution_name = _declare(b, "talvek_basis_distribution_name", c_char_p, [c_int32])
        definition = self.default_run_def()
        if definition.struct_size != ctypes.sizeof(RunDef) or definition.version != ENGINE_VERSION:
            raise LibraryNotFound(
                f"{engine_path}: the engine's run definition is {definition.struct_size} bytes, version "
                f"{definition.version}; this module knows {ctypes.sizeof(RunDef)} bytes, version "
                f"{ENGINE_VERSION}")


_loaded = None


def libraries():
    """The loaded libraries (loaded on first use)."""
    global _loaded
    if _loaded is None:
        _loaded = _Libraries()
    return _loaded


def text(raw):
    return raw.decode("utf-8", "replace") if raw is not None else ""
