"""The progress bar: drawn on standard error when it is a terminal, to 100 %
at the end; nothing when it is not, or when progress=False."""

import os
import pty
import subprocess
import sys

from conftest import EXAMPLE_BASIS, EXAMPLE_MEMBERS, module_environment

PROGRAM = ("import sys, talvek; talvek.value(sys.argv[1], sys.argv[2], progress=sys.argv[3] == 'yes'); "
           "print('done', file=sys.stderr)")


def stderr_on_a_terminal(progress):
    controller, terminal = pty.openpty()
    child = subprocess.Popen([sys.executable, "-c", PROGRAM, EXAMPLE_BASIS, EXAMPLE_MEMBERS, progress],
                             stdout=subprocess.DEVNULL, stderr=terminal, env=module_environment())
    os.close(terminal)
    output = b""
    while True:
        try:
            chunk = os.read(controller, 4096)
        except OSError:  # the child closed the terminal
            break
        if not chunk:
            break
        output += chunk
    os.close(controller)
    assert child.wait(timeout=60) == 0
    return output.decode()


def test_bar_is_drawn_on_a_terminal():
    shown = stderr_on_a_terminal("yes")
    assert shown.startswith("3000 member lines")
    assert "Valuing members [" in shown
    assert shown.rstrip().endswith("] 100%\r\ndone") or shown.rstrip().endswith("] 100%\ndone")


def test_no_bar_when_asked_for_none():
    assert stderr_on_a_terminal("no").strip() == "done"


def test_no_bar_when_standard_error_is_not_a_terminal():
    completed = subprocess.run([sys.executable, "-c", PROGRAM, EXAMPLE_BASIS, EXAMPLE_MEMBERS, "yes"],
                               capture_output=True, text=True, env=module_environment())
    assert completed.returncode == 0
    assert completed.stderr == "done\n"
