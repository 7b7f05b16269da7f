"""Economic scenarios from Python: the frames of result.scenarios are the
files `talvek run --scenarios --scenario-cashflows` writes, to the last
digit; a refused scenario file gives the command's message; per-member rows
and sensitivities are refused with a set; a scenario of the basis's own rates
is the plain valuation; the distribution is the mean and the percentiles of
each scenario's cash flows; Ctrl-C stops a set as it stops a valuation."""

import hashlib
import json
import math
import os
import signal
import subprocess
import sys
import time

import numpy as np
import pytest

import talvek
from conftest import EXAMPLE_BASIS, SOURCE_DIR, module_environment, run_talvek
from test_results_match_command import assert_matches_folder, assert_same_bits

EXAMPLE_SCENARIOS = os.path.join(SOURCE_DIR, "examples", "scenarios.csv")
SCENARIO_FILES = {"present_values": "scenario_present_values.csv",
                  "distribution": "scenario_cashflow_distribution.csv",
                  "cashflows": "scenario_cashflows.csv"}
FIRST_CASHFLOW_YEARS = 111


@pytest.fixture(scope="module")
def small_members(tmp_path_factory):
    """400 generated members (seed 11): every status, quick under 20 scenarios."""
    path = tmp_path_factory.mktemp("scenario-members") / "members-400.txt"
    run_talvek("generate", "--members", "400", "--seed", "11", "--out", str(path))
    return str(path)


@pytest.fixture(scope="module")
def command_scenario_run(tmp_path_factory, small_members):
    """talvek run of the example set on the small member file: its folder."""
    out = tmp_path_factory.mktemp("scenario-run") / "results"
    run_talvek("run", "--basis", EXAMPLE_BASIS, "--members", small_members, "--scenarios", EXAMPLE_SCENARIOS,
               "--scenario-cashflows", "--out", str(out))
    return str(out)


@pytest.fixture(scope="module")
def module_scenario_run(small_members):
    return talvek.value(EXAMPLE_BASIS, small_members, scenarios=EXAMPLE_SCENARIOS, progress=False)


def cell_text(value):
    """A cell as the command writes it: whole numbers and names as they are,
    a double in 17 significant digits (std::to_chars general, 17, which is
    printf's %.17g)."""
    if isinstance(value, (float, np.floating)):
        return "%.17g" % value
    return str(value)


def frame_lines(frame):
    lines = [",".join(frame.columns)]
    for row in frame.itertuples(index=False):
        lines.append(",".join(cell_text(value) for value in row))
    return lines


def file_lines(path):
    with open(path, encoding="utf-8") as stream:
        return [line for line in stream.read().splitlines() if not line.startswith("#")]


def assert_same_text(frame, path):
    expected = file_lines(path)
    got = frame_lines(frame)
    assert got[0] == expected[0], f"{path}: header"
    assert len(got) == len(expected), f"{path}: {len(got)} lines, the file {len(expected)}"
    for number, (mine, theirs) in enumerate(zip(got, expected), start=1):
        assert mine == theirs, f"{path}, line {number}: {mine!r} != {theirs!r}"


@pytest.mark.parametrize("name", sorted(SCENARIO_FILES))
def test_frames_are_the_commands_scenario_files(module_scenario_run, command_scenario_run, name):
    frame = getattr(module_scenario_run.scenarios, name)
    assert_same_text(frame, os.path.join(command_scenario_run, SCENARIO_FILES[name]))
    # a comparison of empty frames would pass anything
    numbers = frame.select_dtypes("number").drop(columns=["scenario", "year"], errors="ignore")
    assert np.abs(numbers.to_numpy()).sum() > 0


def test_set_and_first_scenarios_arrays_are_the_commands(module_scenario_run, command_scenario_run):
    scenarios = module_scenario_run.scenarios
    assert scenarios.scenario_count == scenarios.scenarios_valued == 20 and scenarios.complete
    assert scenarios.labels == list(range(1, 21))
    assert len(scenarios.present_values) == 20 * 6
    assert len(scenarios.cashflows) == 20 * FIRST_CASHFLOW_YEARS
    # the counts and cash flows of the run are those of the first scenario
    assert_matches_folder(module_scenario_run, command_scenario_run)
    with open(os.path.join(command_scenario_run, "run.json"), encoding="utf-8") as stream:
        command_record = json.load(stream)
    assert module_scenario_run.run_record["scenarios"] == command_record["scenarios"]
    assert module_scenario_run.present_values is None and module_scenario_run.discount_factors is None
    with pytest.raises(ValueError, match="no results by status"):
        module_scenario_run.by_status("benefit_cashflows")


def test_first_scenarios_cash_flows_are_the_runs(module_scenario_run):
    scenarios = module_scenario_run.scenarios
    first = scenarios.cashflows[scenarios.cashflows["scenario"] == 1].drop(columns="scenario").set_index("year")
    assert_same_bits(first, module_scenario_run.benefit_cashflows_wide(), "scenario 1")


def sequential_mean(values):
    # the engine's mean: the values added in the set's order, then divided
    total = 0.0
    for value in values:
        total += value
    return total / len(values)


def percentile(values, p):
    # P(p) = x[floor h] + (h - floor h)(x[floor h + 1] - x[floor h]), h = (n - 1) p
    ordered = sorted(values)
    h = (len(ordered) - 1) * p
    low = math.floor(h)
    if low + 1 >= len(ordered):
        return ordered[low]
    return ordered[low] + (h - low) * (ordered[low + 1] - ordered[low])


def test_distribution_is_of_each_scenarios_cash_flows(module_scenario_run):
    scenarios = module_scenario_run.scenarios
    cashflows = scenarios.cashflows
    distribution = scenarios.distribution
    assert list(distribution.columns) == ["year", "cashflow", "mean", "p5", "p25", "p50", "p75", "p95"]
    points = {"p5": 0.05, "p25": 0.25, "p50": 0.50, "p75": 0.75, "p95": 0.95}
    checked = 0
    for year in (1, 2, 10, 40):
        for column in ("old_age_pension_service_male", "contributions_female", "lump_sum_female"):
            values = cashflows.loc[cashflows["year"] == year, column].tolist()
            assert len(values) == 20
            row = distribution[(distribution["year"] == year) & (distribution["cashflow"] == column)]
            assert len(row) == 1
            assert row["mean"].iloc[0] == sequential_mean(values)
            for name, p in points.items():
                assert row[name].iloc[0] == pytest.approx(percentile(values, p), rel=1e-15, abs=1e-9), (year, column)
            checked += 1
    assert checked == 12
    # the scenarios do differ: a distribution of equal values would check nothing
    spread = distribution["p95"] - distribution["p5"]
    assert (spread > 0).sum() > 100


def basis_rate_file(path, basis, label, columns):
    """A scenario file of one scenario whose rates are the basis's own: years
    0..110 of the two rows of yearly rates, in the shortest text that reads
    back to the same double."""
    rates = basis.arrays["yearly_rates"]
    rows = {"inflation": rates[:FIRST_CASHFLOW_YEARS], "salary_growth": rates[FIRST_CASHFLOW_YEARS:]}
    lines = [",".join(["scenario", "year"] + columns)]
    for year in range(FIRST_CASHFLOW_YEARS):
        lines.append(",".join([str(label), str(year)] + [repr(float(rows[c][year])) for c in columns]))
    path.write_text("\n".join(lines) + "\n", encoding="utf-8")
    return str(path)


@pytest.mark.parametrize("columns", [["inflation", "salary_growth"], []], ids=["rates-written", "rates-left-out"])
def test_a_scenario_of_the_basiss_own_rates_is_the_plain_valuation(tmp_path, small_members, columns):
    basis = talvek.read_basis(EXAMPLE_BASIS)
    path = basis_rate_file(tmp_path / "own-rates.csv", basis, 1, columns)
    plain = talvek.value(basis, small_members, progress=False)
    under = talvek.value(basis, small_members, scenarios=path, progress=False)
    scenarios = under.scenarios
    assert scenarios.labels == [1] and scenarios.discount_curve == "basis_rates"
    cashflows = scenarios.cashflows.drop(columns="scenario").set_index("year")
    assert_same_bits(cashflows, plain.benefit_cashflows_wide(), "scenario 1 against the plain valuation")
    assert plain.benefit_cashflows_wide().to_numpy().sum() > 0
    figures = [c for c in plain.present_values.columns if c != "group"]
    assert scenarios.present_values["group"].tolist() == plain.present_values["group"].tolist()
    assert (scenarios.present_values[figures].to_numpy().tobytes()
            == plain.present_values[figures].to_numpy().tobytes())
    # over one scenario the mean and every percentile are its own cash flows
    distribution = scenarios.distribution
    for name in ("mean", "p5", "p50", "p95"):
        wide = distribution.pivot(index="year", columns="cashflow", values=name)[cashflows.columns]
        assert_same_bits(wide, cashflows, name)
    for name in ("member_counts", "decrement_counts", "benefit_cashflows"):
        assert under.array(name).tobytes() == plain.array(name).tobytes(), name


def test_labels_are_kept_in_the_files_order(tmp_path, small_members):
    basis = talvek.read_basis(EXAMPLE_BASIS)
    own = basis_rate_file(tmp_path / "own.csv", basis, 9, ["inflation"])
    lines = open(own, encoding="utf-8").read().splitlines()
    # scenario 4: one point more inflation in every year
    more = [lines[0]] + [f"4,{year},{float(rate) + 0.01!r}" for year, rate in
                         (line.split(",")[1:] for line in lines[1:])]
    path = tmp_path / "two.csv"
    path.write_text("\n".join(lines + more[1:]) + "\n", encoding="utf-8")
    scenarios = talvek.value(basis, small_members, scenarios=path, progress=False).scenarios
    assert scenarios.labels == [9, 4]
    assert scenarios.present_values["scenario"].tolist() == [9] * 6 + [4] * 6
    dbo = scenarios.present_values.set_index(["scenario", "group"])["dbo"]
    # indexed pensions and salaries grow faster: a larger obligation
    assert dbo[(4, "total")] > dbo[(9, "total")]


BAD_FILES = {
    "not-a-number": ("scenario,year,inflation\n1,0,0.02\n1,1,two per cent\n", "line 3, column 3 (inflation)"),
    "unknown-column": ("scenario,year,inflaton\n1,0,0.02\n", "line 1, column 3: unknown column \"inflaton\""),
    "missing-years": ("scenario,year,inflation\n1,0,0.02\n1,1,0.02\n", "scenario 1 has no rows for years 2, 3"),
    "rate-of-minus-one": ("scenario,year,salary_growth\n1,1,-1\n", "line 2, column 3 (salary_growth): -1 is a rate"),
}


@pytest.mark.parametrize("case", sorted(BAD_FILES))
def test_a_refused_scenario_file_gives_the_commands_message(tmp_path, small_members, case):
    content, expected = BAD_FILES[case]
    path = tmp_path / f"{case}.csv"
    path.write_text(content, encoding="utf-8")
    with pytest.raises(talvek.ScenarioFileError) as raised:
        talvek.value(EXAMPLE_BASIS, small_members, scenarios=str(path), progress=False)
    message = str(raised.value)
    assert message.startswith(f"{path}: ")
    assert expected in message
    command = run_talvek("run", "--basis", EXAMPLE_BASIS, "--members", small_members, "--scenarios", str(path),
                         "--out", str(tmp_path / "results"), check=False)
    assert command.returncode == 2
    assert command.stderr == f"talvek: {message}; nothing was run\n"
    assert not (tmp_path / "results").exists()


def test_a_missing_scenario_file_names_the_file(tmp_path, small_members):
    path = tmp_path / "no-such.csv"
    with pytest.raises(talvek.ScenarioFileError, match="no-such.csv: cannot read the scenario file"):
        talvek.value(EXAMPLE_BASIS, small_members, scenarios=str(path), progress=False)


@pytest.mark.parametrize("options", [{"per_member": True}, {"sensitivities": True},
                                     {"sensitivities": [("mortality", 0.9)]}],
                         ids=["per_member", "sensitivities", "sensitivities-listed"])
def test_per_member_rows_and_sensitivities_are_refused_with_a_set(small_members, options):
    with pytest.raises(ValueError, match="cannot be combined with " + next(iter(options))):
        talvek.value(EXAMPLE_BASIS, small_members, scenarios=EXAMPLE_SCENARIOS, progress=False, **options)


def test_a_plain_valuation_has_no_scenarios(small_members):
    result = talvek.value(EXAMPLE_BASIS, small_members, progress=False)
    assert result.scenarios is None and result.run_record["scenarios"] is None


# the child reports the engine's first progress call with members done, then
# waits for the interrupt; afterwards it values the set again
CHILD = r"""
import sys, threading, time
import talvek
import talvek._valuation as valuation

original = valuation._ProgressBar.update
def update(self, done, total):
    if done > 0 and not getattr(update, "told", False):
        update.told = True
        print("STARTED", flush=True)
    return original(self, done, total)
valuation._ProgressBar.update = update

basis, members, scenarios, small = sys.argv[1:5]
try:
    talvek.value(basis, members, jobs=2, scenarios=scenarios, progress=False)
    print("FINISHED", flush=True)
except KeyboardInterrupt:
    stopped = time.monotonic()
    alive = [t.name for t in threading.enumerate() if t.is_alive() and t is not threading.main_thread()]
    print("INTERRUPTED", stopped, "threads:", ",".join(alive) or "none", flush=True)
    result = talvek.value(basis, small, scenarios=scenarios, progress=False)
    print("AGAIN", result.scenarios.scenarios_valued, flush=True)
"""


def test_interrupt_stops_a_set(tmp_path, generated_members, small_members):
    child = subprocess.Popen([sys.executable, "-c", CHILD, EXAMPLE_BASIS, generated_members, EXAMPLE_SCENARIOS,
                              small_members], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                             env=module_environment())
    assert child.stdout.readline().strip() == "STARTED"
    time.sleep(0.2)
    asked = time.monotonic()
    child.send_signal(signal.SIGINT)
    output, errors = child.communicate(timeout=120)
    assert child.returncode == 0, errors
    lines = output.splitlines()
    assert lines[0].startswith("INTERRUPTED"), output
    _, stopped, _, threads = lines[0].split()
    assert float(stopped) - asked < 1.0
    assert threads == "none"
    assert lines[1] == "AGAIN 20"


def test_the_set_read_holds_the_files_rates_and_the_basiss_for_the_rest(tmp_path):
    # two scenarios of spot rates and inflation, without year 0, with a year
    # beyond the projection: salary growth and year 0 are the basis's
    basis = talvek.read_basis(EXAMPLE_BASIS)
    lines = ["scenario,year,inflation,spot_rate"]
    for label, shift in ((3, 0.0), (8, 0.001)):
        lines += [f"{label},{year},{0.02 + shift + year / 1e5!r},{0.03 + shift!r}" for year in range(1, 111)]
    lines.append("8,140,0.5,0.5")
    path = tmp_path / "spot.csv"
    path.write_bytes(("\n".join(lines) + "\n").encode())
    read = talvek._scenarios.ScenarioFile(basis, str(path))
    assert read.count == 2 and list(read.labels) == [3, 8] and read.skipped_rows == 1
    assert read.curve_kind == "spot_rates" and not read.engine_set.annuity_rates
    assert read.record() == {"path": str(path), "size": len(path.read_bytes()),
                             "sha256": hashlib.sha256(path.read_bytes()).hexdigest()}
    size = 2 * FIRST_CASHFLOW_YEARS
    yearly = np.ctypeslib.as_array(read.engine_set.yearly_rates, shape=(2 * size,)).reshape(2, size)
    curves = np.ctypeslib.as_array(read.engine_set.discount_curves, shape=(2 * FIRST_CASHFLOW_YEARS,))
    own = basis.arrays["yearly_rates"]
    for k, shift in enumerate((0.0, 0.001)):
        assert yearly[k, 0] == own[0]
        assert yearly[k, FIRST_CASHFLOW_YEARS:].tobytes() == own[FIRST_CASHFLOW_YEARS:].tobytes()
        assert [yearly[k, year] for year in (1, 50, 110)] == [0.02 + shift + year / 1e5 for year in (1, 50, 110)]
        curve = curves[k * FIRST_CASHFLOW_YEARS:(k + 1) * FIRST_CASHFLOW_YEARS]
        assert set(curve[1:]) == {0.03 + shift}
