"""talvek.value: one valuation through the engine, and its results as pandas
DataFrames."""

import ctypes
import datetime
import hashlib
import math
import os
import shutil
import signal
import sys
import tempfile
import threading

import numpy as np
import pandas as pd

from . import _engine
from ._basis import Basis, MemberDataError, group_names, read_basis, result_columns, sensitivity_names
from ._engine import libraries, text
from ._scenarios import ScenarioFile, ScenarioResults

# a stop asked for is noticed at the engine's next progress call: with one
# job every 1000 members, with more about every 50 ms
_JOIN_INTERVAL_SECONDS = 0.05

# the three result arrays: (name, basis library array, blocks)
RESULT_ARRAYS = [
    ("member_counts", _engine.MEMBER_COUNTS, _engine.MEMBER_COUNT_BLOCKS),
    ("decrement_counts", _engine.DECREMENT_COUNTS, _engine.DECREMENT_COUNT_BLOCKS),
    ("benefit_cashflows", _engine.BENEFIT_CASHFLOWS, _engine.CASHFLOW_BLOCKS),
]
ALL_MEMBERS = "total"  # the group of every member, as the result files name it


class EngineError(RuntimeError):
    """The engine could not run (its status and message)."""

    def __init__(self, status, message):
        super().__init__(message)
        self.status = status


def _utc_now():
    return datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")


def _file_record(path):
    digest = hashlib.sha256()
    size = 0
    with open(path, "rb") as stream:
        for chunk in iter(lambda: stream.read(1 << 20), b""):
            digest.update(chunk)
            size += len(chunk)
    return {"path": os.path.abspath(path), "size": size, "sha256": digest.hexdigest()}


# ---------------------------------------------------------------------------
# members given as a DataFrame

def _number_text(value, decimal_separator):
    """A value as the member file holds it: integers without a point, other
    numbers in the shortest text that reads back to the same double, a
    missing value as an empty field."""
    if value is None:
        return ""
    if isinstance(value, (float, np.floating)):
        if math.isnan(value):
            return ""
        if float(value).is_integer() and abs(value) < 1e15:
            text_value = str(int(value))
        else:
            text_value = repr(float(value))
    elif isinstance(value, (int, np.integer)):
        text_value = str(int(value))
    else:
        return str(value)
    return text_value.replace(".", decimal_separator)


_DELIMITERS = {1: "\t", 2: ",", 3: ";", 4: " "}


def write_member_file(frame, basis, path):
    """Writes the DataFrame's member columns (named as the basis names the
    fields: member_number, status, age, ...) in the member file format the
    basis describes, each field in its column. Columns the basis does not
    place are left out; a field the basis places but the frame lacks is an
    empty field (its default)."""
    delimiter = _DELIMITERS.get(basis.delimiter_code)
    if delimiter is None:
        raise MemberDataError("the basis's delimiter cannot be written")
    placed = {}
    headers = {}
    for field, (column, header) in basis.member_columns.items():
        if column > 0:
            placed[column] = field
            headers[column] = header or field
    free = 1
    for field, (column, header) in basis.member_columns.items():
        if column == 0:
            # named by its header text only: the first column no field holds
            while free in placed:
                free += 1
            placed[free] = field
            headers[free] = header
    width = max(placed) if placed else 0
    if "status" not in frame.columns:
        raise MemberDataError("the member DataFrame has no column 'status'")
    # the library's layout ends every field with the delimiter, the last one too
    ending = delimiter if not basis.spreadsheet_layout else ""
    columns = [frame[placed[c]].tolist() if c in placed and placed[c] in frame.columns else None
               for c in range(1, width + 1)]
    lines = []
    if basis.header_row:
        lines.append(delimiter.join(headers.get(c, "") for c in range(1, width + 1)) + ending)
    for row in range(len(frame)):
        fields = []
        for values in columns:
            value = "" if values is None else _number_text(values[row], basis.decimal_separator)
            if delimiter in value or "\n" in value:
                raise MemberDataError(f"row {row}: the value {value!r} holds the delimiter or a line end")
            fields.append(value)
        lines.append(delimiter.join(fields) + ending)
    with open(path, "w", encoding="utf-8", newline="\n") as stream:
        stream.write("\n".join(lines) + ("\n" if lines else ""))


# ---------------------------------------------------------------------------
# the progress bar, on standard error only when it is a terminal

class _ProgressBar:
    WIDTH = 40

    def __init__(self, shown, total):
        self.shown = shown
        self.last = -1
        if shown:
            sys.stderr.write(f"{total} member lines\n")
            self.draw(0)

    def draw(self, percent):
        filled = percent * self.WIDTH // 100
        sys.stderr.write("\rValuing members [" + "#" * filled + "." * (self.WIDTH - filled) + f"] {percent:3d}%")
        sys.stderr.flush()
        self.last = percent

    def update(self, done, total):
        if not self.shown:
            return
        percent = 100 if total <= 0 and done > 0 else 0 if total <= 0 else min(100, max(0, int(100.0 * done / total)))
        if percent != self.last:
            self.draw(percent)

    def end(self, complete):
        if not self.shown:
            return
        if complete:
            self.draw(100)
        sys.stderr.write("\n")
        sys.stderr.flush()


# ---------------------------------------------------------------------------
# the result

class ValuationResult:
    """What one valuation gives: the result arrays as tidy and wide
    DataFrames, the present values by status, the per-member rows and the
    sensitivities when asked, the data summary and the run record.

    Under a set of economic scenarios the result arrays are those of the
    first scenario (every member; the counts are those of every scenario),
    `scenarios` holds every scenario's figures (a ScenarioResults), and there
    are no arrays by status, no present_values and no discount_factors, as
    `talvek run --scenarios` writes none."""

    def __init__(self, basis, arrays, status_arrays, present_values, per_member, sensitivities,
                 discount_factors, data_summary, run_record, error_log, scenarios=None):
        self.basis = basis
        self._arrays = arrays                # name -> numpy array, every member
        self._status_arrays = status_arrays  # status name -> name -> numpy array
        self.present_values = present_values
        self.per_member = per_member
        self.sensitivities = sensitivities
        self.discount_factors = discount_factors
        self.data_summary = data_summary
        self.run_record = run_record
        self.error_log = error_log
        self.scenarios = scenarios
        tidy = {name: self._tidy(name) for name, _, _ in RESULT_ARRAYS}
        self.counts = tidy["member_counts"]
        self.decrements = tidy["decrement_counts"]
        self.cashflows = tidy["benefit_cashflows"]

    def array(self, name, status=ALL_MEMBERS):
        """One result array as the engine gives it: blocks of 111 yearly slots."""
        if status == ALL_MEMBERS:
            return self._arrays[name]
        return self._status_arrays[status][name]

    def wide(self, name, status=ALL_MEMBERS):
        """A result array as `talvek run` writes its CSV: a row per year 0..110
        and a column per block, named as in the CSV."""
        for array_name, array_code, blocks in RESULT_ARRAYS:
            if array_name == name:
                values = self.array(name, status).reshape(blocks, _engine.YEAR_SLOTS)[1:]
                frame = pd.DataFrame(values.T, columns=result_columns(array_code, blocks))
                frame.index = pd.RangeIndex(_engine.YEAR_SLOTS, name="year")
                return frame
        raise KeyError(name)

    def member_counts_wide(self, status=ALL_MEMBERS):
        return self.wide("member_counts", status)

    def decrement_counts_wide(self, status=ALL_MEMBERS):
        return self.wide("decrement_counts", status)

    def benefit_cashflows_wide(self, status=ALL_MEMBERS):
        return self.wide("benefit_cashflows", status)

    def by_status(self, name):
        """A result array by status as `talvek run` writes it
        (member_counts_by_status.csv, ...): status, year, a column per block."""
        if not self._status_arrays:
            raise ValueError("a valuation under economic scenarios has no results by status")
        frames = []
        for status in self._status_arrays:
            frame = self.wide(name, status).reset_index()
            frame.insert(0, "status", status)
            frames.append(frame)
        return pd.concat(frames, ignore_index=True)

    def _tidy(self, name):
        frames = []
        for status in [ALL_MEMBERS] + list(self._status_arrays):
            long = self.wide(name, status).reset_index().melt(id_vars="year", var_name="column")
            long.insert(1, "status", status)
            frames.append(long)
        return pd.concat(frames, ignore_index=True)

    @property
    def complete(self):
        return self.run_record["complete"]

    def report(self, path):
        """Writes the valuation report (one self-contained HTML page) to path."""
        if self.scenarios is not None:
            raise ValueError("the valuation report shows one valuation; a valuation under economic scenarios "
                             "has its figures in result.scenarios")
        from ._report import write_report
        write_report(self, path)

    def __repr__(self):
        record = self.run_record
        return (f"<ValuationResult {record['members_valued']} members valued, "
                f"{record['lines_read']} lines read, basis {record['basis_file']['path']}>")


def _copy(values):
    return np.ctypeslib.as_array(values).copy()


def _result_arrays(source):
    return {name: _copy(getattr(source, name)) for name, _, _ in RESULT_ARRAYS}


# present_values.csv's figures: column and field of TalvekPresentValues
PRESENT_VALUE_COLUMNS = [("pvfb", "benefits"), ("pv_contributions", "contributions"), ("dbo", "obligation"),
                         ("service_cost", "service_cost"), ("pvfb_duration", "benefits_duration"),
                         ("contributions_duration", "contributions_duration"),
                         ("dbo_duration", "obligation_duration")]
# sensitivities.csv's figures, in its order; a change in per cent follows each
SENSITIVITY_COLUMNS = [("pvfb", "benefits"), ("dbo", "obligation"), ("service_cost", "service_cost"),
                       ("pv_contributions", "contributions"), ("duration", "benefits_duration")]
# per_member.csv's figures: column and field of TalvekMemberValues
PER_MEMBER_COLUMNS = [("pvfb", "benefits"), ("pv_contributions", "contributions"), ("dbo", "obligation"),
                      ("service_cost", "service_cost"), ("duration", "duration")]


def _present_value_frame(groups, names):
    cashflow_names = result_columns(_engine.BENEFIT_CASHFLOWS, _engine.CASHFLOW_BLOCKS)
    rows = []
    for name, values in zip(names, groups):
        row = {"group": name}
        for column, field in PRESENT_VALUE_COLUMNS:
            row[column] = getattr(values, field)
        for block, column in enumerate(cashflow_names, start=1):
            row["pv_" + column] = values.cashflows[block]
        rows.append(row)
    return pd.DataFrame(rows)


def _member_status_name(status, names):
    # a status outside 1..5 is shown as its number, as the file shows it
    return names[status] if 1 <= status <= _engine.MEMBER_STATUSES else str(status)


def _per_member_frame(valuation, names):
    rows = valuation.members
    columns = {name: [] for name in ["line", "member_number", "status", "sex", "age"]
               + [c for c, _ in PER_MEMBER_COLUMNS]}
    for i in range(valuation.member_count):
        member = rows[i]
        columns["line"].append(member.line)
        columns["member_number"].append(text(member.member_number))
        columns["status"].append(_member_status_name(member.status, names))
        columns["sex"].append(text(member.sex))
        columns["age"].append(member.age)
        for column, field in PER_MEMBER_COLUMNS:
            columns[column].append(getattr(member, field))
    return pd.DataFrame(columns)


def change_in_per_cent(value, base):
    """100 (value / base - 1): the change from the base; NaN where the base is
    0 (a group without the figure, e.g. the service cost of pensioners)."""
    return 100.0 * (value / base - 1.0) if base != 0.0 else math.nan


def _sensitivity_frame(valuation, names):
    """The base, then each sensitivity, a row per group each."""
    kinds = sensitivity_names()
    rows = []
    for s in range(-1, valuation.sensitivity_count):
        for group, name in enumerate(names):
            base = valuation.present_values[group]
            if s < 0:
                values, kind, size = base, "base", 0.0
            else:
                result = valuation.sensitivities[s]
                values = result.present_values[group]
                kind = kinds.get(result.sensitivity.kind, "unknown")
                size = result.sensitivity.size
            row = {"sensitivity": kind, "size": size, "group": name}
            for column, field in SENSITIVITY_COLUMNS:
                row[column] = getattr(values, field)
            for column, field in SENSITIVITY_COLUMNS:
                row[column + "_change_pct"] = change_in_per_cent(getattr(values, field), getattr(base, field))
            rows.append(row)
    return pd.DataFrame(rows)


def _discount_factor_frame(valuation):
    mid_year = _copy(valuation.mid_year_factors)
    mid_year[0] = math.nan  # no flow falls in year 0: it has no mid-year factor
    return pd.DataFrame({"year": np.arange(_engine.CURVE_SIZE), "discount_factor": _copy(valuation.discount_factors),
                         "mid_year_discount_factor": mid_year})


def _read_data_summary(directory):
    path = os.path.join(directory, "data_summary.csv")
    if not os.path.exists(path):
        return None
    with open(path, encoding="utf-8") as stream:
        return stream.read()


def _chosen_sensitivities(basis, sensitivities):
    """(kind, size) pairs for the engine: the basis's set ([sensitivities],
    or the default set) for True, none for False, or those given as (name,
    size) pairs, the names those of the result files."""
    if sensitivities is True:
        return list(basis.sensitivities)
    if not sensitivities:
        return []
    kinds = {name: kind for kind, name in sensitivity_names().items()}
    chosen = []
    for name, size in sensitivities:
        if name not in kinds:
            raise ValueError(f"unknown sensitivity {name!r}: one of {', '.join(kinds)}")
        chosen.append((kinds[name], float(size)))
    if len(chosen) > _engine.MAX_SENSITIVITIES:
        raise ValueError(f"at most {_engine.MAX_SENSITIVITIES} sensitivities in one valuation")
    return chosen


def _scenario_conflict(per_member, sensitivities):
    """What a scenario set cannot be valued with (as `talvek run --scenarios`
    refuses --per-member and --sensitivities): None when there is nothing."""
    if per_member:
        return "per_member"
    if sensitivities:
        return "sensitivities"
    return None


def value(basis, members, jobs=None, per_member=False, sensitivities=False, scenarios=None, progress=True,
          accept_as_read=False):
    """Values the members on the basis as `talvek run` does (the same checks,
    the same numbers to the bit).

    basis: a path of a basis file or a Basis from read_basis. members: a path
    of a member file, or a pandas DataFrame with the member columns named as
    the basis names the fields. jobs: threads (None: one per core).
    per_member: one row of present values per member. sensitivities: True
    values the basis's set of sensitivities too, a list of (name, size)
    pairs those ("discount_rate", 0.005), ("mortality", 0.9). scenarios: the
    path of a scenario file (docs/scenario-file.md): every member is valued
    under each of its scenarios and result.scenarios holds the figures
    (neither per_member nor sensitivities then). progress: a progress bar on standard
    error when it is a terminal. accept_as_read: value lines the member
    check finds misreadable as the engine reads them (talvek run
    --accept-as-read) instead of refusing the file.

    The engine runs in a worker thread without the interpreter lock; Ctrl-C
    (KeyboardInterrupt) stops it at its next progress call, the thread is
    joined and the KeyboardInterrupt raised again."""
    if scenarios is not None:
        conflict = _scenario_conflict(per_member, sensitivities)
        if conflict is not None:
            raise ValueError(f"scenarios values the present values of every member under each scenario and "
                             f"cannot be combined with {conflict}; nothing was run")
        if not isinstance(scenarios, (str, bytes, os.PathLike)):
            raise TypeError(f"scenarios must be the path of a scenario file, not {type(scenarios).__name__}")
        scenarios = os.fsdecode(scenarios)
    if jobs is not None and (not isinstance(jobs, int) or jobs < 1):
        raise ValueError("jobs must be a whole number of at least 1, or None for one per core")
    if not isinstance(basis, Basis):
        basis = read_basis(basis)
    lib = libraries()
    started = _utc_now()
    scratch = tempfile.mkdtemp(prefix="talvek-")
    try:
        if isinstance(members, pd.DataFrame):
            member_path = os.path.join(scratch, "members.txt")
            write_member_file(members, basis, member_path)
            shown_members = "<DataFrame>"
        else:
            member_path = os.fspath(members)
            shown_members = os.path.abspath(member_path)
        with basis._run_lock:
            return _run(lib, basis, member_path, shown_members, scratch, jobs, per_member, sensitivities,
                        progress, started, accept_as_read, scenarios)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def _prepare(lib, basis, member_path, scratch, jobs, per_member, chosen, accept_as_read):
    """The run definition of the member file, checked as `talvek run` checks it."""
    definition = lib.default_run_def()
    status = lib.basis_prepare_members(basis._handle, member_path.encode(), 1 if accept_as_read else 0,
                                       jobs or 0, ctypes.byref(definition))
    if status != 0:
        raise MemberDataError(text(lib.basis_message(basis._handle)).rstrip("\n"))
    definition.error_file = os.path.join(scratch, "errors.txt").encode()
    definition.jobs = jobs or 0
    if per_member:
        definition.valuation_options |= _engine.VALUE_PER_MEMBER
    curve = getattr(basis, "_discount_curve", None)
    if curve is not None:
        definition.discount_curve_kind, definition.discount_curve = curve
    line_reads = ctypes.c_int64(0)
    lib.count_line_reads(ctypes.byref(definition), ctypes.byref(line_reads))
    definition.member_total = line_reads.value
    return definition


def _run(lib, basis, member_path, shown_members, scratch, jobs, per_member, sensitivities, progress, started,
         accept_as_read, scenario_path=None):
    chosen = _chosen_sensitivities(basis, sensitivities)
    sensitivity_array = (_engine.Sensitivity * max(1, len(chosen)))()
    for i, (kind, size) in enumerate(chosen):
        sensitivity_array[i].kind = kind
        sensitivity_array[i].size = size
    stop = threading.Event()
    bar = None
    results = _engine.Results()
    valuation = _engine.Valuation()
    scenario_results = _engine.ScenarioResults()
    outcome = {}

    def report_progress(_user, done, total):
        if bar is not None:
            bar.update(done, total)
        return 1 if stop.is_set() else 0

    callback = _engine.ProgressFn(report_progress)

    finished = threading.Event()

    def work():
        # the member check runs here too, so that the main thread stays free
        # to take a KeyboardInterrupt; the check itself cannot be stopped and
        # a stop asked during it takes effect at the valuation's first call
        nonlocal bar
        try:
            # the scenario file is read before the member file, as talvek run reads it
            if scenario_path is not None:
                outcome["scenario_file"] = ScenarioFile(basis, scenario_path)
            definition = _prepare(lib, basis, member_path, scratch, jobs, per_member, chosen, accept_as_read)
            if chosen:
                definition.sensitivity_count = len(chosen)
                definition.sensitivities = sensitivity_array
            definition.progress = callback
            bar = _ProgressBar(bool(progress) and sys.stderr.isatty(), definition.member_total)
            outcome["definition"] = definition
            if scenario_path is None:
                outcome["status"] = lib.value(ctypes.byref(definition), ctypes.byref(results),
                                              ctypes.byref(valuation))
            else:
                engine_set = outcome["scenario_file"].engine_set
                outcome["status"] = lib.value_scenarios(ctypes.byref(definition), ctypes.byref(engine_set),
                                                        ctypes.byref(results), ctypes.byref(scenario_results))
        except BaseException as error:  # handed to the main thread
            outcome["error"] = error
        finally:
            finished.set()

    interrupted = False

    def on_interrupt(_signal_number, _frame):
        nonlocal interrupted
        interrupted = True
        stop.set()

    # Ctrl-C asks the engine to stop instead of raising inside the wait:
    # Thread.join interrupted by KeyboardInterrupt may take a running thread
    # for ended (Python 3.11), and nothing may end while the engine runs. Only
    # the main thread receives signals; a handler of the caller's own stays.
    previous = None
    if (threading.current_thread() is threading.main_thread()
            and signal.getsignal(signal.SIGINT) is signal.default_int_handler):
        previous = signal.signal(signal.SIGINT, on_interrupt)
    worker = threading.Thread(target=work, name="talvek-valuation")
    running = False
    try:
        worker.start()
        running = True
        while not finished.is_set():
            try:
                finished.wait(_JOIN_INTERVAL_SECONDS)
            except KeyboardInterrupt:
                # raised by a handler not ours: the engine stops at its next progress call
                on_interrupt(None, None)
    finally:
        stop.set()
        if running:
            finished.wait()
            worker.join()
        if previous is not None:
            signal.signal(signal.SIGINT, previous)
    status = outcome.get("status", -1)
    scenario_frames = None
    if bar is not None:
        bar.end(status == _engine.OK and not interrupted)
    if scenario_path is not None:
        # the set's figures are copied whole before anything else can fail
        try:
            if "status" in outcome and not interrupted and status in (_engine.OK, _engine.STOPPED):
                scenario_frames = ScenarioResults(outcome["scenario_file"], scenario_results)
        finally:
            if "status" in outcome:
                lib.release_scenarios(ctypes.byref(scenario_results))
    elif "status" in outcome and (interrupted or status not in (_engine.OK, _engine.STOPPED)):
        lib.release_valuation(ctypes.byref(valuation))
    if interrupted:
        raise KeyboardInterrupt
    if "error" in outcome:
        raise outcome["error"]
    if status not in (_engine.OK, _engine.STOPPED):
        raise EngineError(status, text(results.message) or text(lib.status_message(status)))
    names = group_names()
    if scenario_path is not None:
        return _result(lib, basis, member_path, shown_members, scratch, jobs, started, results, {}, None, None,
                       None, None, scenario_frames)
    try:
        present_values = _present_value_frame(valuation.present_values, names)
        member_frame = _per_member_frame(valuation, names) if per_member else None
        sensitivity_frame = _sensitivity_frame(valuation, names) if chosen else None
        status_arrays = {name: _result_arrays(valuation.by_status[s]) for s, name in enumerate(names) if s > 0}
        discount_factors = _discount_factor_frame(valuation)
    finally:
        lib.release_valuation(ctypes.byref(valuation))
    return _result(lib, basis, member_path, shown_members, scratch, jobs, started, results, status_arrays,
                   present_values, member_frame, sensitivity_frame, discount_factors, None)


def _result(lib, basis, member_path, shown_members, scratch, jobs, started, results, status_arrays,
            present_values, member_frame, sensitivity_frame, discount_factors, scenario_frames):
    """The ValuationResult of a finished run: the frames given, and the data
    summary, the error log and the run record of the scratch folder."""
    error_path = os.path.join(scratch, "errors.txt")
    lib.basis_write_member_data_files(basis._handle, scratch.encode())
    data_summary = _read_data_summary(scratch)
    error_log = ""
    if os.path.exists(error_path):
        with open(error_path, encoding="utf-8", errors="replace") as stream:
            error_log = stream.read()
    record = {
        "program": "talvek (Python module)",
        "version": text(lib.version()),
        "started": started,
        "ended": _utc_now(),
        "basis_file": _file_record(basis.path),
        "member_file": _file_record(member_path),
        "valuation_year": basis.valuation_year,
        "jobs": jobs if jobs else (os.cpu_count() or 1),
        "lines_read": results.line_reads,
        "members_valued": results.members_done - results.unknown_statuses,
        "rejected": results.line_reads - results.members_done,
        "skipped": results.unknown_statuses,
        "errors": results.error_count,
        "stopped_by": None if not results.stopped else "progress",
        "complete": results.stopped == 0,
        "scenarios": None if scenario_frames is None else scenario_frames.record(),
    }
    if shown_members == "<DataFrame>":
        record["member_file"]["path"] = shown_members
    return ValuationResult(basis, _result_arrays(results), status_arrays, present_values, member_frame,
                           sensitivity_frame, discount_factors, data_summary, record, error_log, scenario_frames)
