"""Shared fixtures of the Python module's tests: the build to test (its
libraries, its talvek command and its copy of the module) and generated
member files, made once per session."""

import os
import subprocess
import sys

import pytest

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD_DIR = os.environ.get("TALVEK_BUILD_DIR", os.path.join(SOURCE_DIR, "build", "release"))
TALVEK = os.path.join(BUILD_DIR, "host", "talvek")
MODULE_DIR = os.path.join(BUILD_DIR, "python")
EXAMPLE_BASIS = os.path.join(SOURCE_DIR, "examples", "basis.toml")
EXAMPLE_MEMBERS = os.path.join(SOURCE_DIR, "examples", "members.txt")

sys.path.insert(0, MODULE_DIR)


def run_talvek(*arguments, check=True):
    completed = subprocess.run([TALVEK, *arguments], capture_output=True, text=True)
    if check and completed.returncode not in (0, 3):
        raise AssertionError(f"talvek {' '.join(arguments)} exited {completed.returncode}: {completed.stderr}")
    return completed


def module_environment():
    environment = dict(os.environ)
    environment["PYTHONPATH"] = MODULE_DIR
    return environment


@pytest.fixture(scope="session")
def generated_members(tmp_path_factory):
    """100,000 generated members (seed 42), as the command generates them."""
    path = tmp_path_factory.mktemp("generated") / "members-100000.txt"
    run_talvek("generate", "--members", "100000", "--seed", "42", "--out", str(path))
    return str(path)


@pytest.fixture(scope="session")
def example_run(tmp_path_factory):
    """talvek run of the example: its results folder."""
    out = tmp_path_factory.mktemp("example") / "results"
    run_talvek("run", "--basis", EXAMPLE_BASIS, "--members", EXAMPLE_MEMBERS, "--out", str(out))
    return str(out)
