"""Ten million intervals: one conversion, memory given back, the same doubles.

Each measurement runs in a fresh interpreter, whose peak resident size
(ru_maxrss) before and after the call shows what the call itself needed. The
peaks are printed (ctest -V -R python_large shows them). The series is ten
million intervals of 0.6 to 1 s (about 93 days), resampled every 50 s so that
the analysis stays small beside the intervals themselves and the test takes
a few seconds.
"""

import json
import os
import subprocess
import sys
import textwrap

import pytest

N = 10_000_000
ONE_COPY = N * 8  # the intervals as doubles: the one conversion allowed

SCRIPT = textwrap.dedent("""
    import json, resource, sys, time
    import numpy as np
    import nongauss

    def peak():
        return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024

    def resident():
        with open("/proc/self/statm") as f:
            return int(f.read().split()[1]) * resource.getpagesize()

    n, form, what = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    if form == "float32-strided":
        storage = np.empty(2 * n, dtype=np.float32)
        np.random.default_rng(1).random(dtype=np.float32, out=storage)
        rr = storage[::2]
    else:
        rr = np.empty(n)
        np.random.default_rng(1).random(out=rr)
    rr *= 0.4
    rr += 0.6
    report = {}
    if what == "conversion":
        rr[-1] = np.nan  # the check of the last interval ends the call after the conversion
        before = peak()
        try:
            nongauss.analyse(rr)
        except nongauss.InputError:
            pass
        report["peak"] = peak() - before
    else:
        before, resident_before = peak(), resident()
        start = time.perf_counter()
        r = nongauss.analyse(rr, 1000.0, dt=50.0)
        report["seconds"] = time.perf_counter() - start
        report["peak"] = peak() - before
        del r
        report["kept"] = resident() - resident_before
        again = nongauss.analyse(rr, 1000.0, dt=50.0)
        ref = nongauss.analyse(np.array(rr, dtype=np.float64), 1000.0, dt=50.0)
        report["same"] = (again.sd_ms, again.lambda_, again.p_exp.tolist()) == \\
                         (ref.sd_ms, ref.lambda_, ref.p_exp.tolist())
    print(json.dumps(report))
""")


def measure(form, what):
    done = subprocess.run([sys.executable, "-c", SCRIPT, str(N), form, what],
                          capture_output=True, text=True, env=os.environ, timeout=300)
    assert done.returncode == 0, done.stderr
    return json.loads(done.stdout)


def mib(n):
    return f"{n / 2**20:.1f} MiB"


@pytest.mark.parametrize("form", ["float64", "float32-strided"])
def test_one_conversion(form, capsys):
    report = measure(form, "conversion")
    with capsys.disabled():
        print(f"\n{N} intervals, {form}: peak while converting {mib(report['peak'])} "
              f"(one copy as doubles: {mib(ONE_COPY)})")
    assert 0.9 * ONE_COPY < report["peak"] < 1.2 * ONE_COPY


def test_whole_analysis(capsys):
    report = measure("float32-strided", "analysis")
    with capsys.disabled():
        print(f"\n{N} intervals, float32-strided, scale 1000 s, dt 50 s: "
              f"{report['seconds']:.2f} s, peak {mib(report['peak'])}, "
              f"kept after the result is freed {mib(report['kept'])}")
    assert report["same"]
    assert report["kept"] < 0.25 * ONE_COPY  # the intervals' copy is given back
