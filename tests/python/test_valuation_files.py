"""The valuation's frames are talvek run's valuation files to the bit:
present values, per member, sensitivities, discount factors and the arrays
by status, on the example (every sensitivity of its basis) and on 100,000
generated members."""

import os

import numpy as np
import pandas as pd
import pytest

import talvek
from conftest import EXAMPLE_BASIS, EXAMPLE_MEMBERS, run_talvek

BY_STATUS_FILES = {"member_counts": "member_counts_by_status.csv",
                   "decrement_counts": "decrement_counts_by_status.csv",
                   "benefit_cashflows": "cashflows_by_status.csv"}


def read_csv(path):
    # only an empty field is missing (a change where the base is 0); texts stay texts
    return pd.read_csv(path, comment="#", float_precision="round_trip", keep_default_na=False, na_values=[""],
                       dtype={"member_number": str, "sex": str})


def assert_frames_same_bits(module, command, what):
    assert list(module.columns) == list(command.columns), what
    assert len(module) == len(command), what
    for column in module.columns:
        left, right = module[column], command[column]
        if pd.api.types.is_float_dtype(left) or pd.api.types.is_float_dtype(right):
            a = left.to_numpy(dtype=np.float64)
            b = right.to_numpy(dtype=np.float64)
            # the bytes of the doubles (NaN where the file has an empty field)
            same = (a.view(np.uint64) == b.view(np.uint64)) | (np.isnan(a) & np.isnan(b))
            assert same.all(), f"{what}, {column}: first difference at row {np.argmin(same)}"
        else:
            assert [str(v) for v in left] == [str(v) for v in right], f"{what}, {column}"


def compare_valuation_files(result, folder, per_member, sensitivities):
    assert_frames_same_bits(result.present_values, read_csv(os.path.join(folder, "present_values.csv")),
                            "present_values.csv")
    assert_frames_same_bits(result.discount_factors, read_csv(os.path.join(folder, "discount_factors.csv")),
                            "discount_factors.csv")
    for name, file in BY_STATUS_FILES.items():
        assert_frames_same_bits(result.by_status(name), read_csv(os.path.join(folder, file)), file)
    if per_member:
        assert_frames_same_bits(result.per_member, read_csv(os.path.join(folder, "per_member.csv")),
                                "per_member.csv")
    if sensitivities:
        assert_frames_same_bits(result.sensitivities, read_csv(os.path.join(folder, "sensitivities.csv")),
                                "sensitivities.csv")


def test_example_valuation_files_equal_the_frames(tmp_path):
    out = tmp_path / "results"
    run_talvek("run", "--basis", EXAMPLE_BASIS, "--members", EXAMPLE_MEMBERS, "--out", str(out),
               "--per-member", "--sensitivities")
    result = talvek.value(EXAMPLE_BASIS, EXAMPLE_MEMBERS, per_member=True, sensitivities=True, progress=False)
    assert len(result.sensitivities) > 6  # the base and the basis's set, six groups each
    assert result.present_values["dbo"][0] > 0
    compare_valuation_files(result, str(out), True, True)


def test_hundred_thousand_members_valuation_files_equal_the_frames(generated_members, tmp_path):
    out = tmp_path / "results"
    run_talvek("run", "--basis", EXAMPLE_BASIS, "--members", generated_members, "--out", str(out), "--per-member")
    result = talvek.value(EXAMPLE_BASIS, generated_members, per_member=True, progress=False)
    assert len(result.per_member) == 100000
    compare_valuation_files(result, str(out), True, False)


def test_a_spot_curve_and_a_set_of_the_basis_give_the_commands_files(tmp_path):
    text = open(EXAMPLE_BASIS, encoding="utf-8").read()
    start = text.index("[sensitivities]")
    end = text.index("\n[", start + 1)
    basis_path = tmp_path / "curve.toml"
    basis_path.write_text(text[:start] + "[sensitivities]\nmortality = [0.8]\ndiscount_rate = [0.01]\n\n"
                          "[discount]\nspot_rates = [0.030, 0.031, 0.032, 0.033, 0.034, 0.035]\n" + text[end:],
                          encoding="utf-8")
    basis = talvek.read_basis(str(basis_path))
    assert basis.discount_curve_kind == "spot_rates"
    assert list(basis.discount_curve[1:8]) == [0.030, 0.031, 0.032, 0.033, 0.034, 0.035, 0.035]
    assert basis.sensitivities == [(1, 0.01), (4, 0.8)]  # valued in the order of the keys
    out = tmp_path / "results"
    run_talvek("run", "--basis", str(basis_path), "--members", EXAMPLE_MEMBERS, "--out", str(out), "--sensitivities")
    result = talvek.value(basis, EXAMPLE_MEMBERS, sensitivities=True, progress=False)
    # v(6) on the spot curve: (1 + s(6))^-6
    assert result.discount_factors["discount_factor"][6] == pytest.approx(1.035 ** -6, rel=1e-15)
    compare_valuation_files(result, str(out), False, True)
