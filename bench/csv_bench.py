# SPDX-License-Identifier: Apache-2.0
"""Baseline for csv_bench: Python's csv module writing the same rows.

Usage: csv_bench.py <rows.csv> <output.csv>
Reads the rows untimed, then times writing them and prints two times in
seconds: up to the file's close without a flush to the disk, and the same with
the flush to the disk that the program does; then the processor time of the
unflushed run, which a busy machine disturbs less than the elapsed time.
"""
import csv
import os
import sys
import time


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f, delimiter=","))
    times = []
    processor = None
    for durable in (False, True):
        start = time.perf_counter()
        processor_start = time.process_time()
        with open(target, "w", newline="", encoding="utf-8") as f:
            writer = csv.writer(f, delimiter=",", lineterminator="\r\n")
            writer.writerows(rows)
            f.flush()
            if durable:
                os.fsync(f.fileno())
        times.append(time.perf_counter() - start)
        if not durable:
            processor = time.process_time() - processor_start
        os.remove(target)
    print(f"{times[0]:.6f} {times[1]:.6f} {processor:.6f}")


if __name__ == "__main__":
    main()
