#!/usr/bin/env python3
"""Compares a run of the Windows DLL with the same run of the Linux build.

    compare_runs.py LINUX_DIR WINDOWS_DIR [--prefix-of-count]

Each directory holds what the test host left: results.txt (counters and the
result arrays as the bits of every double), listing.txt and errors.txt. The
results must be equal byte for byte; the reports are equal once the Windows
line ends, "\\r\\n" from text mode, are read as "\\n", and every line feed
of the Windows reports must have come with its carriage return.

--prefix-of-count: the Linux run read only the lines that the Windows run
got through before it was cancelled, so CountInputData's count differs and is
left out of the comparison.

Prints one line, what was equal or what differed, and exits 0 or 1 (2 for
a wrong command line).
"""
import sys
from pathlib import Path


def read_results(path, skip_count):
    lines = path.read_text(encoding="ascii").splitlines()
    if skip_count:
        lines = [line for line in lines if not line.startswith("scalar countInputData.")]
    return lines


def describe_difference(linux, windows):
    """The first line where the results differ, named by array and element."""
    array, element = None, 0
    for index in range(max(len(linux), len(windows))):
        left = linux[index] if index < len(linux) else "<missing>"
        right = windows[index] if index < len(windows) else "<missing>"
        if left.startswith("array "):
            array, element = left.split()[1], -1
        if left != right:
            where = f"{array}[{element}]" if array and element >= 0 else f"line {index + 1}"
            return f"{where}: Linux {left}, Windows {right}"
        element += 1
    return "no difference"


def compare(linux_dir, windows_dir, skip_count):
    problems = []
    linux_results = read_results(linux_dir / "results.txt", skip_count)
    windows_results = read_results(windows_dir / "results.txt", skip_count)
    if linux_results != windows_results:
        problems.append("results differ at " + describe_difference(linux_results, windows_results))
    for name in ("listing.txt", "errors.txt"):
        linux_bytes = (linux_dir / name).read_bytes()
        windows_bytes = (windows_dir / name).read_bytes()
        if windows_bytes.count(b"\n") != windows_bytes.count(b"\r\n"):
            problems.append(f"{name}: a line feed of the Windows report lacks its carriage return")
        if windows_bytes.replace(b"\r\n", b"\n") != linux_bytes:
            problems.append(f"{name} differs once \\r\\n is read as \\n")
    return problems


def main(argv):
    if len(argv) not in (3, 4) or (len(argv) == 4 and argv[3] != "--prefix-of-count"):
        print(__doc__, file=sys.stderr)
        return 2
    linux_dir, windows_dir = Path(argv[1]), Path(argv[2])
    try:
        problems = compare(linux_dir, windows_dir, len(argv) == 4)
    except OSError as error:
        problems = [str(error)]
    name = windows_dir.parent.name
    if problems:
        print(f"{name}: " + "; ".join(problems))
        return 1
    print(f"{name}: result arrays and counters equal bit for bit, listing and error log equal")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
