"""examples/value_example.py runs from a fresh build: it prints the present
values of every status and draws its two charts."""

import os
import subprocess
import sys

import matplotlib.image

from conftest import SOURCE_DIR, module_environment


def test_example_script_prints_present_values_and_draws_two_charts(tmp_path):
    completed = subprocess.run([sys.executable, os.path.join(SOURCE_DIR, "examples", "value_example.py"),
                                str(tmp_path)], capture_output=True, text=True, env=module_environment())
    assert completed.returncode == 0, completed.stderr
    assert "Valuation 2024: 3,000 members" in completed.stdout
    for status in ("total", "in_service", "pensioners", "disabled", "deferred", "spouses"):
        assert any(line.startswith(status + " ") for line in completed.stdout.splitlines()), status
    for chart in ("value_example_cashflows.png", "value_example_headcounts.png"):
        pixels = matplotlib.image.imread(str(tmp_path / chart))
        assert pixels.shape[0] > 300 and pixels.shape[1] > 600
