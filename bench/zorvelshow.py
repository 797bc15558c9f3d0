"""`zorvel show --json` against the same three reads in a Python script with
pyserial, on one pseudo-terminal served by one simulated module (zorvel-sim).

The two run in turn, one run each per round, so that whatever else the
machine does falls on both alike. Each round runs each program twice: once
timed from the process's creation to its end, and once under GNU time for
its peak resident memory. GNU time starts it from a small process; a child
forked straight from this script would be charged this script's own memory
as its peak. One unmeasured run of each comes first, so that both find
their libraries in the page cache.

Usage: zorvelshow.py ZORVEL ZORVEL_SIM PYTHON [ROUNDS]
"""
import pathlib
import subprocess
import sys
import tempfile
import time

from paired import print_medians, take_turns, verdict

TIME_TARGET = 0.4
MEMORY_TARGET = 1.0
GNU_TIME = "/usr/bin/time"
YARDSTICK = pathlib.Path(__file__).with_name("pyserialshow.py")


def fail(command, errors):
    errors.seek(0)
    sys.exit(f"{command[0]} failed:\n{errors.read().decode(errors='replace')}")


def start(command):
    """Runs the program twice; returns its wall time in ms and peak RSS in MiB."""
    with tempfile.NamedTemporaryFile(mode="r") as peak, tempfile.TemporaryFile() as errors:
        began = time.perf_counter()
        if subprocess.call(command, stdout=subprocess.DEVNULL, stderr=errors) != 0:
            fail(command, errors)
        seconds = time.perf_counter() - began
        if subprocess.call([GNU_TIME, "-f", "%M", "-o", peak.name] + command,
                           stdout=subprocess.DEVNULL, stderr=errors) != 0:
            fail(command, errors)
        kibibytes = int(peak.read().split()[-1])
    return seconds * 1000, kibibytes / 1024


def main(zorvel, simulator, python, rounds=20):
    module = subprocess.Popen([simulator, "--quiet"], stdout=subprocess.PIPE, text=True)
    try:
        port = module.stdout.readline().strip()
        programs = {
            "zorvel show --json": [zorvel, "show", "--json", "--port", port],
            "pyserial script": [python, str(YARDSTICK), port],
        }
        results = take_turns(programs, start, rounds)
    finally:
        module.terminate()
        module.wait()

    time_ratio, memory_ratio = print_medians(
        "The three reads of a module to its printed settings document, simulated module on a pseudo-terminal:",
        rounds, results, "zorvel / script")
    print(f"\nTargets: time within {TIME_TARGET:g} of the script's: {verdict(time_ratio, TIME_TARGET)};"
          f" peak memory within the script's: {verdict(memory_ratio, MEMORY_TARGET)}.")


if __name__ == "__main__":
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3], *(int(arg) for arg in sys.argv[4:]))
