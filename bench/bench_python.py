#!/usr/bin/env python3
"""bench_python: the same sweep through the Python module and through
encounter-batch. Preset 2 over the start angles 0 to 359 degrees (360 tests),
on every core, without and with the picture; wall-clock and processor
seconds (all threads), the best of ROUNDS rounds each, and the ratios Python /
command line (the target: at most 1.05). The command line's time includes
starting the program and writing its CSV; Python's, building the columns.

    PYTHONPATH=build/python /usr/bin/python3 bench/bench_python.py [ROUNDS] [BATCH]
"""

import os
import resource
import subprocess
import sys
import tempfile
import time

import encounter

SWEEP = dict(test=2, start=0, end=359, dalpha=1)
ARGS = ["--test", "2", "--set", "start=0", "--set", "end=359", "--set", "dalpha=1", "--quiet"]


def cpu_seconds():
    """Processor time of this process and of its children that have ended."""
    own = resource.getrusage(resource.RUSAGE_SELF)
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def best_of(rounds, run):
    """(wall, processor) seconds: the best round of each."""
    wall, cpu = [], []
    for _ in range(rounds):
        start, start_cpu = time.perf_counter(), cpu_seconds()
        run()
        wall.append(time.perf_counter() - start)
        cpu.append(cpu_seconds() - start_cpu)
    return min(wall), min(cpu)


def main(rounds=3, batch=None):
    batch = batch or os.path.join(os.path.dirname(__file__), "..", "build", "bin", "encounter-batch")
    csv = subprocess.run([batch, *ARGS], stdout=subprocess.PIPE, check=True).stdout
    assert encounter.series(progress=False, picture=False, **SWEEP).to_csv().encode() == csv
    print(f"preset 2, 360 tests, {os.cpu_count()} cores, best of {rounds}")
    png = os.path.join(tempfile.mkdtemp(), "series.png")
    for picture in (False, True):
        extra = ["--png", png] if picture else []
        cli = best_of(rounds, lambda: subprocess.run([batch, *ARGS, *extra], check=True,
                                                     stdout=subprocess.DEVNULL))
        py = best_of(rounds, lambda: encounter.series(progress=False, picture=picture, **SWEEP))
        print(f"picture {'yes' if picture else 'no '}: encounter-batch {cli[0]:.3f} s "
              f"({cli[1]:.3f} s processor), encounter.series {py[0]:.3f} s ({py[1]:.3f} s), "
              f"ratio {py[0] / cli[0]:.3f} ({py[1] / cli[1]:.3f})")


if __name__ == "__main__":
    main(int(sys.argv[1]) if len(sys.argv) > 1 else 3, *sys.argv[2:3])
