"""Analyses in several threads at once give the numbers they give one after
the other, and the interpreter lock is free while one runs."""

import os
import signal
import threading
import time

import numpy as np
import pytest

import nongauss
from conftest import EXAMPLE


def fingerprint(rr, scale):
    r = nongauss.analyse(rr, scale)
    table = nongauss.scan(rr, [5.0, scale, 100.0])
    return (r.sd_ms, r.lambda_, r.lambda_sq, r.increments.tobytes(), r.p_exp.tobytes(),
            r.p_model.tobytes(), np.asarray(table["sd_ms"]).tobytes(), np.asarray(table["lambda_"]).tobytes())


def run_together(jobs, rounds=3):
    """Runs every job in its own thread, started together, `rounds` times."""
    results = [[] for _ in jobs]
    start = threading.Barrier(len(jobs))
    failures = []

    def work(i, job):
        try:
            for _ in range(rounds):
                start.wait()
                results[i].append(job())
        except BaseException as e:  # reported to the main thread
            failures.append(e)
            start.abort()

    threads = [threading.Thread(target=work, args=(i, job)) for i, job in enumerate(jobs)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not failures, failures
    return results


def test_two_threads_give_the_sequential_numbers():
    a = nongauss.read_rr(EXAMPLE)
    b = nongauss.synth(12, 0.6, 5).astype(np.float32)  # whole milliseconds: exact
    expected_a, expected_b = fingerprint(a, 25.0), fingerprint(b, 40.0)
    results = run_together([lambda: fingerprint(a, 25.0), lambda: fingerprint(b, 40.0)])
    assert all(r == expected_a for r in results[0])
    assert all(r == expected_b for r in results[1])
    # The same array in both threads at once.
    results = run_together([lambda: fingerprint(a, 25.0)] * 2)
    assert all(r == expected_a for thread in results for r in thread)


def test_the_lock_is_released_during_an_analysis():
    rr = nongauss.synth(200, 0.4, 3)
    start = time.perf_counter()
    nongauss.analyse(rr)
    alone = time.perf_counter() - start
    assert alone > 0.1, "the series is too short to tell"

    # While another thread analyses, this one keeps waking up; were the lock
    # held through the analysis, the longest gap would be the whole analysis.
    worker = threading.Thread(target=nongauss.analyse, args=(rr,))
    ticks = [time.perf_counter()]
    worker.start()
    while worker.is_alive():
        time.sleep(0.001)
        ticks.append(time.perf_counter())
    worker.join()
    longest_gap = max(np.diff(ticks))
    assert longest_gap < alone / 2, (longest_gap, alone)


def native_threads():
    return len(os.listdir("/proc/self/task"))


@pytest.mark.parametrize("call", [
    lambda rr: nongauss.scan(rr, list(np.geomspace(5, 2000, 48))),  # between scales
    lambda rr: nongauss.analyse(rr, 25.0),                          # between stages
])
def test_ctrl_c_ends_a_long_call_at_once_and_leaves_no_thread(call):
    day = nongauss.synth(24, 0.4, 3)
    for days in [1, 2, 4, 8, 16, 32]:  # long enough to tell, whatever the machine's speed
        rr = np.concatenate([day] * days)
        start = time.perf_counter()
        call(rr)
        whole = time.perf_counter() - start
        if whole > 1.0:
            break
    before = native_threads()
    timer = threading.Timer(whole / 20, os.kill, (os.getpid(), signal.SIGINT))
    timer.start()
    start = time.perf_counter()
    with pytest.raises(KeyboardInterrupt):
        call(rr)
        time.sleep(whole)  # a call that ignored the signal ends here, the signal seen late
    interrupted = time.perf_counter() - start
    timer.join()
    assert interrupted < 0.75 * whole, (interrupted, whole)  # ignored, it would be the whole call
    assert native_threads() == before
