"""Every way a call can fail raises a Python exception; the interpreter lives on."""

import math
import os
import subprocess

import numpy as np
import pytest

import nongauss
from conftest import EXAMPLE, program

GOOD = [800.0, 810.0, 790.0] * 100  # 240 s in milliseconds


def raises_input(message, call, *args, **kwargs):
    with pytest.raises(nongauss.InputError) as caught:
        call(*args, **kwargs)
    assert isinstance(caught.value, ValueError)
    assert str(caught.value) == message
    assert caught.value.report == message + "\n"  # what the tool writes to stderr


@pytest.mark.parametrize("call", [nongauss.analyse, lambda rr: nongauss.scan(rr, [25])])
def test_unusable_intervals(call):
    raises_input("No data was read!", call, [])
    raises_input("No data was read!", call, np.array([], dtype=np.float32))
    raises_input("Invalid RR interval at row 3: nan (intervals must be positive and finite)",
                 call, [800, 810, math.nan, 800])
    raises_input("Invalid RR interval at row 2: inf (intervals must be positive and finite)",
                 call, np.array([0.8, np.inf], dtype=np.float32))
    raises_input("Invalid RR interval at row 4: 0 (intervals must be positive and finite)",
                 call, [0.8, 0.8, 0.8, 0.0])
    raises_input("Invalid RR interval at row 1: -800 (intervals must be positive and finite)",
                 call, [-800, 800])
    with pytest.raises(nongauss.InputError, match="does not advance the elapsed time"):
        call([1e20, 1.0, 1.0])


def test_analysis_that_cannot_be_completed():
    with pytest.raises(nongauss.AnalysisError) as caught:
        nongauss.analyse(GOOD, 200.0)  # detrending needs two scales of series
    assert isinstance(caught.value, RuntimeError)
    assert str(caught.value) == "The data length is not enough!"
    assert caught.value.report == ("Run-time error...\nThe data length is not enough!\n\n"
                                   "...now exiting to system...\n")
    # One scale failing in a scan is a row, not an exception.
    table = nongauss.scan(GOOD, [25.0, 200.0])
    assert list(table["error"]) == ["", "The data length is not enough!"]
    assert not math.isnan(table["lambda_"][0]) and math.isnan(table["lambda_"][1])
    assert math.isnan(table["sd_ms"][1]) and table["n_increments"][1] == 0


@pytest.mark.parametrize("options, message", [
    ({"unit": "kg"}, "unit must be 'auto', 'ms' or 's', not 'kg'"),
    ({"resample": "cubic"}, "resample must be 'spline', 'linear' or 'step', not 'cubic'"),
    ({"fit": "qr"}, "fit must be 'normal' or 'svd', not 'qr'"),
    ({"dt": math.nan}, "dt must be a finite number, not nan"),
    ({"scale": math.inf}, "scale must be a finite number, not inf"),
    ({"q": -math.inf}, "q must be a finite number, not -inf"),
    ({"bins": 2**40}, "bins must be an integer from -2147483648 to 2147483647, not 1099511627776"),
    ({"detrend": -2**70}, "detrend must be an integer from -2147483648 to 2147483647, not "
                          "-1180591620717411303424"),
])
def test_bad_options(options, message):
    with pytest.raises(ValueError) as caught:
        nongauss.analyse(GOOD, **options)
    assert str(caught.value) == message
    scale_options = {k: v for k, v in options.items() if k != "scale"}
    if scale_options:
        with pytest.raises(ValueError, match="must be"):
            nongauss.scan(GOOD, [25.0], **scale_options)


@pytest.mark.parametrize("options", [{"detrend": 1.5}, {"detrend": True}, {"bins": "100"},
                                     {"bins": None}, {"unit": 1}, {"dt": "0.25"}])
def test_options_of_the_wrong_type(options):
    with pytest.raises(TypeError):
        nongauss.analyse(GOOD, **options)


def test_numpy_integers_are_integers():
    assert nongauss.analyse(GOOD, detrend=np.int8(2), bins=np.uint16(50)).p_exp.shape == (50,)


@pytest.mark.parametrize("rr, error", [
    (np.ones((10, 2)), ValueError),        # two-dimensional
    (800.0, ValueError),                   # not a sequence
    (["800", "810"], TypeError),           # strings are not parsed
    (np.array(["800", "810"], dtype=object), TypeError),  # nor in an object array
    (np.array([800.0, b"810"], dtype=object), TypeError),
    ("800 810", TypeError),
    ([800, None, 810], nongauss.InputError),  # None is a missing value: NaN
    ([800, [810, 820]], ValueError),       # ragged
    (np.array([800, 810], dtype=complex), TypeError),
    (np.array([True, False]), TypeError),
    (np.array(["2024-01-01"], dtype="datetime64[D]"), TypeError),
    (object(), ValueError),                # a zero-dimensional array of it
])
def test_unusable_containers(rr, error):
    with pytest.raises(error):
        nongauss.analyse(rr)


def test_scan_scales():
    with pytest.raises(ValueError, match="every scale must be a finite number"):
        nongauss.scan(GOOD, [25.0, math.nan])
    with pytest.raises(ValueError, match="one-dimensional"):
        nongauss.scan(GOOD, [[25.0]])
    empty = nongauss.scan(GOOD, [])
    assert len(empty["lambda_"]) == 0


def test_read_rr_failures(tmp_path):
    missing = tmp_path / "missing.txt"
    raises_input(f"File {missing} not found!", nongauss.read_rr, missing)
    raises_input(f"Error while reading input file {tmp_path}!", nongauss.read_rr, tmp_path)
    missing_odd = os.fsencode(tmp_path) + b"/\xffmissing.txt"  # a name that is not UTF-8
    raises_input(f"File {os.fsdecode(tmp_path)}/\\xffmissing.txt not found!", nongauss.read_rr, missing_odd)
    bad = tmp_path / "bad.txt"
    bad.write_text("800\n-5\n")
    raises_input("Invalid RR interval at row 2: -5 (intervals must be positive and finite)",
                 nongauss.read_rr, bad)
    with pytest.raises(ValueError, match="embedded null byte"):
        nongauss.read_rr(str(EXAMPLE) + "\0.txt")
    with pytest.raises(TypeError):
        nongauss.read_rr(42)
    # A name that is not UTF-8 is passed on as the file system's bytes.
    odd = os.fsencode(tmp_path) + b"/\xff.txt"
    with open(odd, "w") as f:
        f.write("800 810\n")
    assert nongauss.read_rr(odd).tolist() == [800.0, 810.0]
    assert nongauss.read_rr(os.fsdecode(odd)).tolist() == [800.0, 810.0]


@pytest.mark.parametrize("text", ["RR\n800\n810\n", "0.000\t812\n0.812\t790\n1.602\t805\n"])
def test_a_report_holds_the_hint_the_tool_writes(tmp_path, text):
    path = tmp_path / "export.txt"
    path.write_text(text)
    with pytest.raises(nongauss.InputError) as caught:
        nongauss.read_rr(path)
    run = subprocess.run([program("NONGAUSS_EXE"), str(path)], capture_output=True, text=True)
    assert run.returncode == 1
    assert caught.value.report == run.stderr[run.stderr.index("------\n", 100) + 7:]
    assert caught.value.report.endswith(caught.value.hint + "\n") and caught.value.hint.startswith("Hint: ")


def test_clean_failures():
    raises_input("No data was read!", nongauss.clean, [])
    raises_input("Invalid RR interval at row 2: nan (intervals must be finite)",
                 nongauss.clean, [800, math.nan])
    raises_input("No interval was kept!", nongauss.clean, [5000.0, 6000.0])
    for options, message in [({"window": 4, "median": True}, "window must be odd"),
                             ({"window": 1, "median": True}, "window must be an integer from 3 to 100001, not 1"),
                             ({"window": 41}, "window is the median filter's window: add median=True"),
                             ({"median": True, "detector": True}, "one local filter"),
                             ({"min_s": 1.0, "max_s": 0.5}, "the range is empty"),
                             ({"min_s": -1.0}, "min_s must be 0 or more"),
                             ({"max_s": 0.0}, "max_s must be positive"),
                             ({"deviation_pct": 0.0}, "deviation_pct must be positive"),
                             ({"unit": "h"}, "unit must be")]:
        with pytest.raises(ValueError, match=message):
            nongauss.clean(GOOD, **options)


def test_synth_failures():
    for args, options, message in [
        ((0,), {}, "hours wants a number of hours above 0"),
        ((10001,), {}, "hours wants"),
        ((1, 1.6), {}, "lambda_ wants a number from 0 to 1.5"),
        ((1, 0.4, -1), {}, "seed wants an integer from 0 to 18446744073709551615, not -1"),
        ((1, 0.4, 2**64), {}, "seed wants an integer"),
        ((1,), {"mean_ms": 100}, "mean_ms wants"),
        ((1,), {"sd_ms": math.nan}, "sd_ms wants"),
        ((1,), {"block_s": 10}, "block_s wants"),
        ((1,), {"unit": "h"}, "unit must be 'ms' or 's'"),
        ((1,), {"decimals": 10}, "decimals must be an integer from 0 to 9"),
        ((1,), {"unit": "s", "decimals": 0}, "needs at least one decimal"),
    ]:
        with pytest.raises(ValueError, match=message):
            nongauss.synth(*args, **options)
    with pytest.raises(TypeError):
        nongauss.synth(1, 0.4, 1.5)


def test_log_spaced_scales_failures():
    scales = nongauss.log_spaced_scales(5, 500, 3)
    assert scales[0] == 5.0 and scales[2] == 500.0 and scales[1] == pytest.approx(50.0)
    # Ends whose ratio is beyond the doubles: the ends exact, finite numbers between.
    for a, b in [(1e-300, 1e300), (1e300, 1e-300)]:
        scales = nongauss.log_spaced_scales(a, b, 5)
        assert scales[0] == a and scales[-1] == b and np.all(np.isfinite(scales))
        assert np.log10(scales) == pytest.approx(np.linspace(np.log10(a), np.log10(b), 5))
    for args in [(0, 10, 3), (5, -1, 3), (5, 10, 0), (math.nan, 10, 3)]:
        with pytest.raises(ValueError):
            nongauss.log_spaced_scales(*args)
