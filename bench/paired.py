"""Two programs timed in turn, for the paired benchmarks (coldstart.py and
zorvelshow.py): one unmeasured start of each first, so that both find their
libraries in the page cache, then one start of each per round, so that
whatever else the machine does falls on both alike."""
import statistics


def verdict(ratio, target):
    return "met" if ratio <= target else "missed"


def take_turns(programs, start, rounds):
    """Runs each command of programs (name -> command) rounds times in turn;
    start(command) returns one sample, (wall time in ms, peak RSS in MiB)."""
    for command in programs.values():
        start(command)
    results = {name: [] for name in programs}
    for _ in range(rounds):
        for name, command in programs.items():
            results[name].append(start(command))
    return results


def print_medians(heading, rounds, results, ratio_label):
    """Prints each program's medians and the first one's over the second's;
    returns the two ratios, (wall time, peak RSS)."""
    def median(name, index):
        return statistics.median(sample[index] for sample in results[name])

    print(heading)
    print(f"median of {rounds} runs each, taken in turn\n")
    print(f"{'':<28}{'wall time, ms':>16}{'peak RSS, MiB':>16}")
    for name in results:
        print(f"{name:<28}{median(name, 0):>16.1f}{median(name, 1):>16.1f}")
    first, second = list(results)
    ratios = (median(first, 0) / median(second, 0), median(first, 1) / median(second, 1))
    print(f"{ratio_label:<28}{ratios[0]:>16.2f}{ratios[1]:>16.2f}")
    return ratios
