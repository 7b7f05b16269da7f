"""talvek: the Talvek pension valuation engine from Python.

    import talvek
    basis = talvek.read_basis("examples/basis.toml")
    result = talvek.value(basis, "examples/members.txt")
    result.present_values        # PV, DBO, service cost and durations by status
    result.cashflows             # tidy: year, status, column, value
    result.benefit_cashflows_wide()
    result.report("report.html")

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
