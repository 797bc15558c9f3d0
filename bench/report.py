"""Prints figures and ratios from the JSON output of the benchmark programs.

Every figure comes from the same run: the median of its repetitions. The
codec is measured in CPU time, which other work on the machine disturbs less
than wall-clock time; the end-to-end read-back waits on a pseudo-terminal, so
it is measured in wall-clock time.

Usage: report.py RESULTS.json...
"""
import json
import sys

SIZES = [("64 KiB", 64 * 1024), ("1 MiB", 1024 * 1024)]
END_TO_END_TARGET_MS = 2.0


def medians(path):
    with open(path) as file:
        benchmarks = json.load(file)["benchmarks"]
    return {b["run_name"]: b for b in benchmarks if b.get("aggregate_name") == "median"}


def row(label, values):
    print(f"{label:<28}" + "".join(f"{value:>12}" for value in values))


def codec(results):
    def get(name, size):
        return results[f"{name}/{size}"]

    print("Codec: reassembly of back-to-back 29-byte replies, median of the repetitions")
    print("(MB = 1 000 000 bytes)\n")
    row("", [label for label, _ in SIZES])
    for name, label in (("reassembleBurst", "reassembly, MB/s"), ("copyBurst", "plain copy, MB/s")):
        row(label, [f"{get(name, size)['bytes_per_second'] / 1e6:.0f}" for _, size in SIZES])
    row("reassembly / copy, CPU time",
        [f"{get('reassembleBurst', size)['cpu_time'] / get('copyBurst', size)['cpu_time']:.1f}"
         for _, size in SIZES])

    (small_label, small), (large_label, large) = SIZES
    print(f"\nCPU time for {large_label} / CPU time for {small_label} ({large // small} times the bytes):")
    for name, label in (("reassembleBurst", "reassembly"), ("copyBurst", "plain copy")):
        print(f"  {label:<12}{get(name, large)['cpu_time'] / get(name, small)['cpu_time']:.1f}")


def milliseconds(result):
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[result["time_unit"]]
    return result["real_time"] * scale


def end_to_end(results):
    window = results["windowReadBack/manual_time"]
    bare = results["bareRoundTrip/manual_time"]
    window_ms = milliseconds(window)
    bare_ms = milliseconds(bare)
    print("End to end: the read-back over a pseudo-terminal with the simulated module,")
    print("median of the repetitions, wall-clock time\n")
    row("", ["ms"])
    row("main window, built to filled", [f"{window_ms:.3f}"])
    row("  of which its constructor", [f"{window['constructor_ms']:.3f}"])
    row("bare round trip", [f"{bare_ms:.3f}"])
    difference = window_ms - bare_ms
    verdict = "met" if difference <= END_TO_END_TARGET_MS else "missed"
    row("difference", [f"{difference:.3f}"])
    print(f"\nTarget: a difference within {END_TO_END_TARGET_MS:g} ms: {verdict}.")


def main(paths):
    results = {}
    for path in paths:
        results.update(medians(path))
    sections = []
    if "reassembleBurst/65536" in results:
        sections.append(codec)
    if "windowReadBack/manual_time" in results and "bareRoundTrip/manual_time" in results:
        sections.append(end_to_end)
    for number, section in enumerate(sections):
        if number:
            print()
        section(results)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    main(sys.argv[1:])
