"""talvek: the Talvek pension valuation engine from Python.

    import talvek
    basis = talvek.read_basis("examples/basis.toml")
    result = talvek.value(basis, "examples/members.txt")
    result.present_values        # PV, DBO, service cost and durations by status
    result.cashflows             # tidy: year, status, column, value
    result.benefit_cashflows_wide()
    result.report("report.html")

Economic scenarios: every member valued under each scenario of a scenario
file (docs/scenario-file.md), read by the talvek command's own reader:

    under = talvek.value(basis, "examples/members.txt", scenarios="examples/scenarios.csv")
    under.scenarios.present_values   # scenario_present_values.csv: scenario, group, pvfb, dbo, ...
    under.scenarios.distribution     # scenario_cashflow_distribution.csv: year, cashflow, mean, p5 .. p95
    under.scenarios.cashflows        # scenario_cashflows.csv: scenario, year, a column per cash flow

A refused scenario file raises ScenarioFileError with the command's message;
per_member and sensitivities cannot be combined with scenarios.

The module calls the engine's C interface (libtalvek.so) and the talvek
command's basis reader (libtalvek_basis.so) through ctypes; see docs/python.md.
"""

from ._basis import Basis, BasisError, MemberDataError, read_basis
from ._engine import LibraryNotFound
from ._scenarios import ScenarioFileError, ScenarioResults
from ._valuation import EngineError, ValuationResult, value, write_member_file


def version():
    """The engine's version, as "major.minor.patch"."""
    from ._engine import libraries, text
    return text(libraries().version())


__all__ = ["Basis", "BasisError", "EngineError", "LibraryNotFound", "MemberDataError", "ScenarioFileError",
           "ScenarioResults", "ValuationResult", "read_basis", "value", "version", "write_member_file"]
