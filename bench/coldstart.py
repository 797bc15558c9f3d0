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
import statistics
import subprocess
import sys
import time


def start(command, environment):
    began = time.perf_counter()
    process = subprocess.Popen(command, env=environment,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.perf_counter() - began
    process.returncode = os.waitstatus_to_exitcode(status)
    errors = process.stderr.read().decode(errors="replace")
    process.stderr.close()
    if process.returncode != 0:
        sys.exit(f"{command[0]} ended with {process.returncode}:\n{errors}")
    return seconds * 1000, usage.ru_maxrss / 1024


def main(demo, yardstick, rounds=20):
    environment = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    programs = {
        "demo": [demo, "--quit-when-filled"],
        "bare window": [yardstick],
    }
    for command in programs.values():
        start(command, environment)
    results = {name: [] for name in programs}
    for _ in range(rounds):
        for name, command in programs.items():
            results[name].append(start(command, environment))

    def median(name, index):
        return statistics.median(sample[index] for sample in results[name])

    print(f"Cold start to the shown window, offscreen: median of {rounds} starts each, taken in turn\n")
    print(f"{'':<28}{'wall time, ms':>16}{'peak RSS, MiB':>16}")
    for name in programs:
        print(f"{name:<28}{median(name, 0):>16.1f}{median(name, 1):>16.1f}")
    print(f"{'demo / bare window':<28}{median('demo', 0) / median('bare window', 0):>16.2f}"
          f"{median('demo', 1) / median('bare window', 1):>16.2f}")


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], *(int(arg) for arg in sys.argv[3:]))
