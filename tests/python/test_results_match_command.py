"""The module's numbers are talvek run's to the bit: every result array of
the example and of 100,000 generated members, read back from the command's
CSV files (written so that they read back to the same double) and compared
bit for bit with the module's DataFrames; members given as a DataFrame, and
any number of jobs, give the same bytes."""

import os

import numpy as np
import pandas as pd
import pytest

import talvek
from conftest import EXAMPLE_BASIS, EXAMPLE_MEMBERS, run_talvek

CSV_FILES = {"member_counts": "member_counts.csv", "decrement_counts": "decrement_counts.csv",
             "benefit_cashflows": "benefit_cashflows.csv"}


def read_command_csv(path):
    return pd.read_csv(path, comment="#", float_precision="round_trip").set_index("year")


def assert_same_bits(module_frame, command_frame, what):
    assert list(module_frame.columns) == list(command_frame.columns), what
    assert list(module_frame.index) == list(command_frame.index), what
    left = module_frame.to_numpy(dtype=np.float64)
    right = command_frame.to_numpy(dtype=np.float64)
    # the bytes of the doubles, so that -0.0 and 0.0 or two NaNs are told apart too
    differing = np.argwhere(left.view(np.uint64) != right.view(np.uint64))
    assert differing.size == 0, (
        f"{what}: {len(differing)} values differ, the first at year {differing[0][0]}, column "
        f"{module_frame.columns[differing[0][1]]}: {left[tuple(differing[0])]!r} != {right[tuple(differing[0])]!r}")


def assert_matches_folder(result, folder):
    for name, file in CSV_FILES.items():
        assert_same_bits(result.wide(name), read_command_csv(os.path.join(folder, file)), file)


def test_example_equals_talvek_run(example_run):
    result = talvek.value(EXAMPLE_BASIS, EXAMPLE_MEMBERS, progress=False)
    assert_matches_folder(result, example_run)
    # a comparison that found nothing to compare would pass anything
    assert result.wide("benefit_cashflows").to_numpy().sum() > 0
    assert result.run_record["members_valued"] == 3000


def test_hundred_thousand_generated_members_equal_talvek_run_on_other_jobs(generated_members, tmp_path):
    # the command on two threads, the module on one: the same bytes whatever the jobs
    out = tmp_path / "results"
    run_talvek("run", "--basis", EXAMPLE_BASIS, "--members", generated_members, "--out", str(out), "--jobs", "2")
    result = talvek.value(EXAMPLE_BASIS, generated_members, jobs=1, progress=False)
    assert result.run_record["lines_read"] == 100000
    assert_matches_folder(result, str(out))


def test_any_number_of_jobs_gives_the_same_present_values():
    one = talvek.value(EXAMPLE_BASIS, EXAMPLE_MEMBERS, jobs=1, per_member=True, progress=False)
    three = talvek.value(EXAMPLE_BASIS, EXAMPLE_MEMBERS, jobs=3, per_member=True, progress=False)
    for name in CSV_FILES:
        assert one.array(name).tobytes() == three.array(name).tobytes(), name
    numbers = [c for c in one.present_values.columns if c != "group"]
    assert one.present_values[numbers].to_numpy().tobytes() == three.present_values[numbers].to_numpy().tobytes()
    assert one.per_member.equals(three.per_member)


def example_frame(**read_options):
    names = talvek._basis.field_names()
    return pd.read_csv(EXAMPLE_MEMBERS, header=None, names=names + ["end"], **read_options).drop(columns="end")


def test_members_as_text_in_a_data_frame_equal_the_file(example_run):
    # the fields as text: the file the module writes is the example's own bytes
    result = talvek.value(EXAMPLE_BASIS, example_frame(dtype=str, keep_default_na=False), progress=False)
    assert_matches_folder(result, example_run)
    assert result.run_record["member_file"]["path"] == "<DataFrame>"


def test_members_as_numbers_equal_talvek_run_on_the_file_written(tmp_path):
    # numbers are written in their shortest form ("0.93" for "0.930"); the
    # valuation reads a number's text digit by digit, so the last bit may
    # differ from the example's, but never from talvek run on the same text
    frame = example_frame(float_precision="round_trip")
    written = tmp_path / "members.txt"
    talvek.write_member_file(frame, talvek.read_basis(EXAMPLE_BASIS), str(written))
    assert "M0000002,P,78,M,,,,12883.15,U,,15,,0.93,," in written.read_text().splitlines()
    run_talvek("run", "--basis", EXAMPLE_BASIS, "--members", str(written), "--out", str(tmp_path / "results"))
    result = talvek.value(EXAMPLE_BASIS, frame, progress=False)
    assert_matches_folder(result, str(tmp_path / "results"))


def test_a_data_frame_without_status_is_refused():
    frame = example_frame(dtype=str, keep_default_na=False).drop(columns="status")
    with pytest.raises(talvek.MemberDataError, match="no column 'status'"):
        talvek.value(EXAMPLE_BASIS, frame, progress=False)


def test_tidy_frames_hold_the_wide_arrays():
    result = talvek.value(EXAMPLE_BASIS, EXAMPLE_MEMBERS, progress=False)
    wide = result.benefit_cashflows_wide()
    tidy = result.cashflows[result.cashflows["status"] == "total"]
    assert list(tidy.columns) == ["year", "status", "column", "value"]
    assert len(tidy) == wide.size
    back = tidy.pivot(index="year", columns="column", values="value")[wide.columns]
    assert_same_bits(back, wide, "tidy cash flows")
    for tidy_frame, wide_frame in ((result.counts, result.member_counts_wide()),
                                   (result.decrements, result.decrement_counts_wide())):
        all_rows = tidy_frame[tidy_frame["status"] == "total"]
        assert len(all_rows) == wide_frame.size
        assert set(tidy_frame["status"]) == {"total", "in_service", "pensioners", "disabled", "deferred",
                                             "spouses"}


def test_run_record_names_the_inputs_and_their_hashes(example_run):
    import json
    result = talvek.value(EXAMPLE_BASIS, EXAMPLE_MEMBERS, progress=False)
    with open(os.path.join(example_run, "run.json"), encoding="utf-8") as stream:
        command_record = json.load(stream)
    for key in ("basis_file", "member_file"):
        assert result.run_record[key] == command_record[key]
    for key in ("version", "valuation_year", "lines_read", "members_valued", "rejected", "skipped", "errors",
                "complete"):
        assert result.run_record[key] == command_record[key], key


def test_data_summary_is_the_commands(example_run):
    result = talvek.value(EXAMPLE_BASIS, EXAMPLE_MEMBERS, progress=False)
    with open(os.path.join(example_run, "data_summary.csv"), encoding="utf-8") as stream:
        assert result.data_summary == stream.read()


SPREADSHEET_MEMBER_FILE = """[member_file]
delimiter = "semicolon"
layout = "spreadsheet"
header = true
decimal_separator = "comma"

[member_file.columns]
member_number = "Personnel no."
status = "Status"
age = "Age"
sex = "Sex"
annual_salary = 9
service_with_guarantee = "Weeks guaranteed"
service_without_guarantee = "Weeks"
current_pension = "Pension"
marital_status = "Married"
spouse_age = "Spouse age"
years_retired = "Years retired"
bridge_pension = "Bridge"
guaranteed_fraction = "Guaranteed part"
average_salary = "Average salary"

"""


def test_a_data_frame_is_written_in_the_layout_the_basis_describes(tmp_path):
    # a spreadsheet's file with a header row, columns by name and by number, the
    # decimal comma: the command converts it back, so the valuation reads the
    # same numbers as from the example's own layout
    text = open(EXAMPLE_BASIS, encoding="utf-8").read()
    start, end = text.index("[member_file]"), text.index("[member_file.status_codes]")
    basis_path = tmp_path / "spreadsheet.toml"
    basis_path.write_text(text[:start] + SPREADSHEET_MEMBER_FILE + text[end:], encoding="utf-8")
    basis = talvek.read_basis(str(basis_path))
    assert basis.header_row and basis.spreadsheet_layout and basis.decimal_separator == ","
    frame = example_frame(float_precision="round_trip")
    written = tmp_path / "members.csv"
    talvek.write_member_file(frame, basis, str(written))
    lines = written.read_text().splitlines()
    header = lines[0].split(";")
    # the numbered column where the basis puts it, the named ones in the others
    assert header[8] == "annual_salary" and header[0] == "Personnel no." and header[13] == "Average salary"
    assert "12883,15" in lines[2] and "0,93" in lines[2]
    in_spreadsheet = talvek.value(basis, frame, progress=False)
    in_library_layout = talvek.value(EXAMPLE_BASIS, frame, progress=False)
    for name in CSV_FILES:
        assert in_spreadsheet.array(name).tobytes() == in_library_layout.array(name).tobytes(), name
