"""python3 -m talvek report --basis B --members F --out report.html"""

import argparse
import sys

from . import BasisError, MemberDataError, read_basis, value
from ._engine import LibraryNotFound
from ._valuation import EngineError


def _parser():
    parser = argparse.ArgumentParser(prog="python3 -m talvek",
                                     description="The Talvek pension valuation from Python.")
    commands = parser.add_subparsers(dest="command", required=True)
    report = commands.add_parser("report", help="value the members and write the valuation report (HTML)")
    report.add_argument("--basis", required=True, help="the basis file (TOML)")
    report.add_argument("--members", required=True, help="the member file")
    report.add_argument("--out", required=True, help="the report to write (HTML)")
    report.add_argument("--jobs", type=int, default=None, help="threads (default: one per core)")
    report.add_argument("--sensitivities", action="store_true", help="also value the basis's sensitivities")
    return parser


def main(argv=None):
    options = _parser().parse_args(argv)
    try:
        basis = read_basis(options.basis)
        result = value(basis, options.members, jobs=options.jobs, sensitivities=options.sensitivities)
        result.report(options.out)
    except BasisError as error:
        print(error, file=sys.stderr)
        print(f"talvek: the basis file {options.basis} was refused ({len(error.problems)} problem"
              f"{'' if len(error.problems) == 1 else 's'}); nothing was run", file=sys.stderr)
        return 2
    except (MemberDataError, EngineError, LibraryNotFound, ValueError) as error:
        print(f"talvek: {error}", file=sys.stderr)
        return 2
    except OSError as error:
        print(f"talvek: the report {options.out} could not be written: {error}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("talvek: stopped by Ctrl-C; no report was written", file=sys.stderr)
        return 130
    print(f"{options.out}: valuation report of {result.run_record['members_valued']:,} members")
    return 0


if __name__ == "__main__":
    sys.exit(main())
