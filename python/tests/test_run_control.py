"""Running a series from Python as a notebook does: Ctrl-C stops it with no
thread left behind, the interpreter is free while it runs, progress comes in
order."""

import _thread
import os
import resource
import subprocess
import sys
import threading
import time

import pytest

import encounter


def threads_of_process():
    return len(os.listdir("/proc/self/task"))


def test_ctrl_c_stops_a_long_series_and_leaves_no_thread():
    before = threads_of_process()
    timer = threading.Timer(0.3, _thread.interrupt_main)
    timer.start()
    start = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        encounter.series(6, progress=False)  # minutes of work
    stopped = time.monotonic() - start
    timer.join()
    assert stopped < 0.3 + 2.0, f"stopped {stopped - 0.3:.2f} s after Ctrl-C"
    assert threads_of_process() == before


def test_an_exception_in_the_progress_function_stops_the_series():
    before = threads_of_process()

    def progress(done, total, steps):
        raise RuntimeError("enough")

    with pytest.raises(RuntimeError, match="enough"):
        encounter.series(6, progress=progress)
    assert threads_of_process() == before


def test_progress_counts_up_to_every_test():
    calls = []
    s = encounter.series(2, end=60, jobs=1, progress=lambda *a: calls.append(a))
    done = [c[0] for c in calls]
    assert done == sorted(done) and calls[-1][:2] == (len(s), len(s)) == (7, 7)
    assert all(c[1] == 7 for c in calls)


def test_two_series_in_two_threads_are_those_run_one_after_the_other():
    kwargs = [dict(test=2, end=90, jobs=1), dict(test=111, start=40, end=60, crosscheck=True, jobs=1)]
    alone = [encounter.series(progress=False, **k) for k in kwargs]
    together = [None, None]

    def run(i):
        together[i] = encounter.series(progress=False, **kwargs[i])

    threads = [threading.Thread(target=run, args=(i,)) for i in range(2)]
    for t in threads:
        t.start()
    # The interpreter is not held while the engine runs: this thread goes on.
    ticks = 0
    while any(t.is_alive() for t in threads):
        ticks += 1
        time.sleep(0.01)
    assert ticks > 5
    assert all(a.equals(b) for a, b in zip(alone, together))


@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""),
                    reason="the sanitizers reserve more address space than the limit")
def test_threads_that_cannot_start_raise_an_error_and_the_interpreter_lives_on():
    script = ("import encounter\n"
              "try:\n"
              "    encounter.series(2, dalpha=0.1, max_steps=1000, jobs=1000, lanes=1, progress=False)\n"
              "except encounter.Error as e:\n"
              "    print(e)\n"
              "print('alive')\n")
    limit = 3 << 30  # a small machine's address space: not 1000 threads' stacks (one test each)
    r = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=False,
                       preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit)))
    assert r.returncode == 0, r.stderr
    error, alive = r.stdout.splitlines()
    assert error.startswith("cannot start ") and error.endswith(" threads: Resource temporarily unavailable")
    assert alive == "alive"
