"""KeyboardInterrupt during a long valuation: the engine stops at its next
progress call, the worker thread is joined and the interrupt reaches the
caller within a second, with no thread left behind; the module values again
afterwards as if nothing had happened."""

import os
import signal
import subprocess
import sys
import time

from conftest import EXAMPLE_BASIS, module_environment, run_talvek

# the child reports when the engine has started (its first progress call
# with members done), then waits for the interrupt
CHILD = r"""
import os, sys, threading, time
import talvek
import talvek._valuation as valuation

def os_threads():
    return len(os.listdir("/proc/self/task"))

before = os_threads()
original = valuation._ProgressBar.update
def update(self, done, total):
    # the engine has started valuing: the parent may interrupt now
    if done > 0 and not getattr(update, "told", False):
        update.told = True
        print("STARTED", flush=True)
    return original(self, done, total)
valuation._ProgressBar.update = update

try:
    talvek.value(sys.argv[1], sys.argv[2], jobs=int(sys.argv[3]), progress=False)
    print("FINISHED", flush=True)
except KeyboardInterrupt:
    stopped = time.monotonic()
    alive = [t.name for t in threading.enumerate() if t.is_alive() and t is not threading.main_thread()]
    print("INTERRUPTED", stopped, "threads:", ",".join(alive) or "none", os_threads() - before, flush=True)
    # the module still works after a stop
    result = talvek.value(sys.argv[1], sys.argv[4], progress=False)
    print("AGAIN", result.run_record["members_valued"], flush=True)
"""


def interrupt_long_run(tmp_path, generated_members, jobs):
    long_file = tmp_path / "members-600000.txt"
    run_talvek("generate", "--members", "600000", "--seed", "7", "--out", str(long_file))
    child = subprocess.Popen([sys.executable, "-c", CHILD, EXAMPLE_BASIS, str(long_file), str(jobs),
                              generated_members], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                             env=module_environment())
    assert child.stdout.readline().strip() == "STARTED"
    time.sleep(0.2)
    asked = time.monotonic()
    child.send_signal(signal.SIGINT)
    output, errors = child.communicate(timeout=60)
    assert child.returncode == 0, errors
    lines = output.splitlines()
    assert lines[0].startswith("INTERRUPTED"), output
    _, stopped, _, threads, extra_os_threads = lines[0].split()
    # CLOCK_MONOTONIC is shared by the two processes
    assert float(stopped) - asked < 1.0
    assert threads == "none"
    # the engine's own threads too: the process has no more threads than before the run
    assert int(extra_os_threads) <= 0
    assert lines[1] == "AGAIN 100000"


def test_interrupt_stops_a_run_on_one_job(tmp_path, generated_members):
    interrupt_long_run(tmp_path, generated_members, 1)


def test_interrupt_stops_a_run_on_two_jobs(tmp_path, generated_members):
    interrupt_long_run(tmp_path, generated_members, 2)
