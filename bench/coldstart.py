"""Cold start of the demo program to its filled main window, against the bare
Qt window yardstick, both offscreen.

The two programs run in turn, one start each per round, so that whatever
else the machine does falls on both alike. Each start is timed from the
process's creation to its end, and its peak resident memory comes from the
kernel's accounting of the ended child. One unmeasured start of each comes
first, so that both find the libraries in the page cache.

Usage: coldstart.py DEMO YARDSTICK [ROUNDS]
"""
import os
import subprocess
import sys
import tempfile
import time

from paired import print_medians, take_turns, verdict

TIME_TARGET = 2.0
MEMORY_TARGET = 1.5


def start(command, environment):
    """Runs the program once; returns its wall time in ms and peak RSS in MiB."""
    with tempfile.TemporaryFile() as errors:
        began = time.perf_counter()
        process = subprocess.Popen(command, env=environment, stdout=subprocess.DEVNULL, stderr=errors)
        _, status, usage = os.wait4(process.pid, 0)
        seconds = time.perf_counter() - began
        process.returncode = os.waitstatus_to_exitcode(status)
        if process.returncode != 0:
            errors.seek(0)
            sys.exit(f"{command[0]} ended with {process.returncode}:\n{errors.read().decode(errors='replace')}")
    return seconds * 1000, usage.ru_maxrss / 1024


def main(demo, yardstick, rounds=20):
    environment = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    programs = {
        "demo": [demo, "--quit-when-filled"],
        "bare window": [yardstick],
    }
    results = take_turns(programs, lambda command: start(command, environment), rounds)
    time_ratio, memory_ratio = print_medians(
        "Cold start to the shown window (the demo's filled by the module's replies), offscreen:",
        rounds, results, "demo / bare window")
    print(f"\nTargets: time within {TIME_TARGET:g} times the bare window's: {verdict(time_ratio, TIME_TARGET)};"
          f" peak memory within {MEMORY_TARGET:g} times: {verdict(memory_ratio, MEMORY_TARGET)}.")


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], *(int(arg) for arg in sys.argv[3:]))
