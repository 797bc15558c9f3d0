"""Prints throughput and ratios from the JSON output of bench_codec.

Every figure comes from the same run: the median of its repetitions, in CPU
time, which other work on the machine disturbs less than wall-clock time.
"""
import json
import sys

SIZES = [("64 KiB", 64 * 1024), ("1 MiB", 1024 * 1024)]


def medians(path):
    with open(path) as file:
        benchmarks = json.load(file)["benchmarks"]
    return {b["run_name"]: b for b in benchmarks if b.get("aggregate_name") == "median"}


def main(path):
    results = medians(path)

    def get(name, size):
        return results[f"{name}/{size}"]

    def row(label, values):
        print(f"{label:<28}" + "".join(f"{value:>12}" for value in values))

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


if __name__ == "__main__":
    main(sys.argv[1])
