"""read_basis: the command's own reader, so the same checks and the same
messages as talvek run on the same faulty files, and the engine's arrays as
the basis states the assumptions."""

import math
import os
import re
import subprocess
import sys
import tomllib

import pytest

import talvek
from conftest import EXAMPLE_BASIS, EXAMPLE_MEMBERS, module_environment, run_talvek

with open(EXAMPLE_BASIS, encoding="utf-8") as stream:
    EXAMPLE_TEXT = stream.read()


def faulty_basis(tmp_path, old, new, name="basis.toml"):
    assert old in EXAMPLE_TEXT, old
    path = tmp_path / name
    path.write_text(EXAMPLE_TEXT.replace(old, new, 1), encoding="utf-8")
    return str(path)


def command_problems(basis_path, tmp_path):
    completed = run_talvek("run", "--basis", basis_path, "--members", EXAMPLE_MEMBERS,
                           "--out", str(tmp_path / "results"), check=False)
    assert completed.returncode == 2, completed.stderr
    lines = completed.stderr.splitlines()
    assert re.match(r"talvek: the basis file .* was refused \(\d+ problems?\); nothing was run", lines[-1])
    return lines[:-1]


FAULTS = {
    "valuation year out of range": ("valuation_year = 2024", "valuation_year = 1800"),
    "unknown key": ("averaging_years = 5 ", "averaging_years = 5\nfinal_salary_years = 3 "),
    "rate as text": ("lower_accrual_rate = 0.01 ", 'lower_accrual_rate = "one percent" '),
    "missing table": ("[decrements]\n", "[decrement]\n"),
    "two faults": ("bridge_start_age = 60\nbridge_end_age = 64",
                   "bridge_start_age = 600\nbridge_end_age = -4"),
    "broken TOML": ("[plan.contributions]", "[plan.contributions"),
}


@pytest.mark.parametrize("fault", sorted(FAULTS))
def test_refused_basis_gives_the_commands_messages(fault, tmp_path):
    old, new = FAULTS[fault]
    path = faulty_basis(tmp_path, old, new)
    expected = command_problems(path, tmp_path)
    assert expected, "the command found no problem"
    with pytest.raises(talvek.BasisError) as raised:
        talvek.read_basis(path)
    assert str(raised.value).splitlines() == expected
    assert raised.value.problems == expected


def test_missing_basis_file_is_refused_as_by_the_command(tmp_path):
    path = str(tmp_path / "no-such-basis.toml")
    expected = command_problems(path, tmp_path)
    with pytest.raises(talvek.BasisError) as raised:
        talvek.read_basis(path)
    assert str(raised.value).splitlines() == expected


def test_value_refuses_a_faulty_basis_before_reading_members(tmp_path):
    path = faulty_basis(tmp_path, "valuation_year = 2024", "valuation_year = 1800")
    with pytest.raises(talvek.BasisError, match="valuation_year"):
        talvek.value(path, str(tmp_path / "never-read.txt"), progress=False)


def test_arrays_hold_the_basis_as_stated():
    basis = talvek.read_basis(EXAMPLE_BASIS)
    stated = tomllib.loads(EXAMPLE_TEXT)
    assert basis.valuation_year == stated["valuation_year"]
    assert basis.mortality_base_year == stated["mortality"]["base_year"]
    economic = basis.arrays["economic_parameters"]
    assert economic[11] == stated["economic"]["discount_rate"]["years_1_to_10"]
    assert economic[12] == stated["economic"]["discount_rate"]["years_11_to_110"]
    assert economic[19] == stated["economic"]["salary_ceiling"]
    plan = basis.arrays["plan_parameters"]
    assert plan[6] == stated["plan"]["lower_accrual_rate"]
    assert plan[12] == stated["plan"]["spouse_fraction"]
    assert plan[13] == stated["plan"]["guarantee_period"]
    # Makeham: q(x) = 1 - exp(-A - B c^x (c - 1) / ln c); women as men three years younger
    a, b, c = 0.00022, 2.7e-6, 1.124
    q = lambda x: 1 - math.exp(-a - b * c ** x * (c - 1) / math.log(c))
    mortality = basis.arrays["base_mortality"]
    assert mortality[65] == pytest.approx(q(65), rel=1e-12)
    assert mortality[121 + 65] == pytest.approx(q(62), rel=1e-12)
    assert basis.status_codes == stated["member_file"]["status_codes"]
    assert basis.member_columns["status"] == (2, "")
    assert basis.delimiter_code == 2 and basis.header_row is False


def test_member_file_with_errors_is_refused_with_the_commands_findings(tmp_path):
    lines = open(EXAMPLE_MEMBERS, encoding="utf-8").read().splitlines()
    lines[9] = "M9999999,A,abc,M,,,,,,,,,,,"  # an age that is not a number
    assert lines[20].startswith("M0000021,A,45,F,43693.00,")
    lines[20] = lines[20].replace("43693.00", "43693.O0")  # a letter O for a zero
    members = tmp_path / "members.txt"
    members.write_text("\n".join(lines) + "\n", encoding="utf-8")
    completed = run_talvek("run", "--basis", EXAMPLE_BASIS, "--members", str(members),
                           "--out", str(tmp_path / "results"), check=False)
    assert completed.returncode == 2
    with pytest.raises(talvek.MemberDataError) as raised:
        talvek.value(EXAMPLE_BASIS, str(members), progress=False)
    # the same findings; the command's last line, a hint at its own options, is not the module's
    assert str(raised.value).splitlines() == completed.stderr.splitlines()[:-1]
    assert "2 errors in 2 lines; nothing was run" in str(raised.value)


def test_missing_member_file_is_refused(tmp_path):
    with pytest.raises(talvek.MemberDataError, match="cannot read the member file"):
        talvek.value(EXAMPLE_BASIS, str(tmp_path / "none.txt"), progress=False)


def test_scenarios_must_be_the_path_of_a_file():
    with pytest.raises(TypeError, match="scenarios must be the path of a scenario file, not list"):
        talvek.value(EXAMPLE_BASIS, EXAMPLE_MEMBERS, scenarios=[1])


@pytest.mark.parametrize("jobs", [0, -1, 2.5, "2"])
def test_jobs_must_be_a_positive_whole_number(jobs):
    with pytest.raises(ValueError, match="jobs"):
        talvek.value(EXAMPLE_BASIS, EXAMPLE_MEMBERS, jobs=jobs)


def test_the_module_is_found_from_the_build(tmp_path):
    completed = subprocess.run([sys.executable, "-c", "import talvek; print(talvek.version())"],
                               capture_output=True, text=True, env=module_environment(), cwd=tmp_path)
    assert completed.returncode == 0, completed.stderr
    assert re.fullmatch(r"\d+\.\d+\.\d+\n", completed.stdout)
    assert os.path.exists(os.path.join(os.path.dirname(talvek.__file__), "_library_paths.py"))


def test_the_module_finds_the_libraries_from_the_source_tree_or_a_named_folder(tmp_path):
    from conftest import BUILD_DIR, SOURCE_DIR
    program = "import talvek, talvek._engine as e; talvek.version(); print(e.libraries().engine_path)"
    environment = dict(os.environ, PYTHONPATH=os.path.join(SOURCE_DIR, "python"), TALVEK_LIBRARY_DIR=BUILD_DIR)
    named = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True, env=environment)
    assert named.returncode == 0, named.stderr
    assert named.stdout.strip() == os.path.join(BUILD_DIR, "libtalvek.so")
    environment["TALVEK_LIBRARY_DIR"] = str(tmp_path)  # a folder without them
    missing = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True, env=environment)
    assert missing.returncode != 0
    assert "no such library; build the project first" in missing.stderr
