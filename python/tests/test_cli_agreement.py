"""The module gives the command-line tool's numbers on the same intervals."""

import importlib.util
import os
import subprocess
import sys

import numpy as np
import pytest

import nongauss
from conftest import EXAMPLE, program, recordings, require_module, run

# (keyword options of analyse, the same as settings of the reference program,
# the same as options of the tool)
OPTION_SETS = [
    ({}, [], []),
    ({"scale": 50.0, "detrend": 2}, ["scale=50", "detrend=2"], ["-s", "50", "-d", "2"]),
    (
        {"scale": 10.0, "resample": "linear", "dt": 0.5, "fit": "svd", "q": 0.0, "bins": 50},
        ["scale=10", "resample=linear", "dt=0.5", "fit=svd", "q=0", "bins=50"],
        ["-s", "10", "-1", "-t", "0.5", "-m", "2", "-q", "0", "-n", "50"],
    ),
    ({"scale": 100.0, "detrend": 0, "resample": "step"}, ["scale=100", "detrend=0", "resample=step"],
     ["-s", "100", "-d", "0", "-0"]),
]

FILES = [EXAMPLE] + recordings()


def reference(path, settings):
    """scale, sd_ms and lambda of the library run as the tool runs it, exactly."""
    out = subprocess.run([program("NONGAUSS_REFERENCE_EXE"), str(path), *settings],
                         capture_output=True, text=True, check=True).stdout.split()
    return [float.fromhex(x) for x in out]


@pytest.mark.parametrize("path", FILES, ids=lambda p: p.name)
def test_sd_and_lambda_are_the_tools_doubles(path):
    rr = nongauss.read_rr(path)
    for options, settings, _ in OPTION_SETS:
        r = nongauss.analyse(rr, **options)
        assert [r.scale_s, r.sd_ms, r.lambda_] == reference(path, settings), options


@pytest.mark.parametrize("path", FILES, ids=lambda p: p.name)
def test_summary_line_and_density_file_match(path, copy_in):
    """Every digit the tool prints: its summary line and its PDF file."""
    exe = program("NONGAUSS_EXE")
    rr = nongauss.read_rr(path)
    for options, _, cli_options in OPTION_SETS:
        target = copy_in(path)
        done = run([exe, *cli_options, str(target)])
        assert done.returncode == 0, done.stderr
        r = nongauss.analyse(rr, **options)
        fields = done.stdout.rstrip("\n").split("\t")
        assert fields[1:] == ["%5.1f" % r.scale_s, "%7.1f" % r.sd_ms, "%5.4f" % r.lambda_]
        rows = target.with_name(target.stem + "_PDF.txt").read_text().splitlines()
        assert rows[0] == "x/SD\tP_exp\tP_model"
        mine = ["%f\t%8.7f\t%12.11f" % row for row in zip(r.bin_centres, r.p_exp, r.p_model)]
        assert rows[1:] == mine


def test_scan_rows_are_analyse_at_each_scale():
    rr = nongauss.read_rr(EXAMPLE)
    scales = [2.0, 7.5, 25.0, 25.0, 333.3, 3000.0]
    table = nongauss.scan(rr, scales, detrend=2)
    for i, scale in enumerate(scales):
        r = nongauss.analyse(rr, scale, detrend=2)
        row = (table["scale_s"][i], table["sd_ms"][i], table["lambda_"][i], table["lambda_sq"][i],
               table["n_increments"][i], table["error"][i])
        assert row == (r.scale_s, r.sd_ms, r.lambda_, r.lambda_sq, r.n_increments, "")


def test_every_container_of_the_same_values_gives_the_same_doubles():
    rr = nongauss.read_rr(EXAMPLE)  # whole milliseconds
    expected = nongauss.analyse(rr)
    interleaved = np.zeros(2 * len(rr))
    interleaved[1::2] = rr
    forms = {
        "list": rr.tolist(),
        "tuple": tuple(rr.tolist()),
        "int64": rr.astype(np.int64),
        "int16": rr.astype(np.int16),
        "uint32": rr.astype(np.uint32),
        "float32": rr.astype(np.float32),  # whole numbers: exact in float32
        "float16": rr.astype(np.float16),  # and in float16 below 2048
        "longdouble": rr.astype(np.longdouble),
        "strided": interleaved[1::2],
        "reversed twice": rr[::-1].copy()[::-1],
        "big-endian": rr.astype(">f8"),
        "unaligned": np.frombuffer(b"\0" + rr.tobytes(), dtype=np.float64, offset=1),
        "fortran column": np.asfortranarray(rr.reshape(-1, 1))[:, 0],
    }
    # Without pandas (outside CI) the other forms are still checked.
    if os.environ.get("CI") == "true" or importlib.util.find_spec("pandas") is not None:
        forms["pandas"] = require_module("pandas", "python3-pandas").Series(rr)
    for name, form in forms.items():
        r = nongauss.analyse(form)
        assert (r.sd_ms, r.lambda_, r.n_beats) == (expected.sd_ms, expected.lambda_, expected.n_beats), name


def test_unit_choice_follows_the_tool():
    rr = nongauss.read_rr(EXAMPLE)
    seconds = rr / 1000.0
    auto = nongauss.analyse(rr)
    assert auto.unit == "ms"
    assert nongauss.analyse(seconds).unit == "s"
    # The same series in seconds: the same increments up to the division's rounding.
    assert nongauss.analyse(seconds).sd_ms == pytest.approx(auto.sd_ms, rel=1e-12)
    # Forcing milliseconds on seconds makes the recording a thousand times shorter.
    forced = nongauss.analyse(seconds, 0.025, unit="ms", dt=0.01)
    assert forced.unit == "ms" and forced.duration_s == pytest.approx(auto.duration_s / 1000)


def test_read_rr_reads_as_the_tool_reads(tmp_path):
    text = tmp_path / "rr.txt"
    text.write_text("812\t0.8125e3\r\n+790 805.5\n800ms 700\n")
    assert nongauss.read_rr(text).tolist() == [812.0, 812.5, 790.0, 805.5, 800.0]
    assert nongauss.read_rr(str(text).encode()).tolist() == nongauss.read_rr(str(text)).tolist()


def test_result_arrays():
    r = nongauss.analyse(nongauss.read_rr(EXAMPLE), bins=40)
    assert len(r.bin_centres) == len(r.p_exp) == len(r.p_model) == 40
    assert r.increments.shape == (r.n_increments,)
    assert r.increments.std() == pytest.approx(1.0, rel=1e-9)
    assert abs(r.increments.mean()) < 1e-9
    # The densities integrate to about one over the bins.
    width = r.bin_centres[1] - r.bin_centres[0]
    assert r.p_exp.sum() * width == pytest.approx(1.0, rel=1e-9)
    with pytest.raises(ValueError):
        r.p_exp[0] = 1.0  # a result is read-only


def test_scan_without_pandas_gives_numpy_columns():
    script = ("import sys; sys.modules['pandas'] = None\n"
              "import nongauss\n"
              "t = nongauss.scan(nongauss.read_rr(sys.argv[1]), [10, 25])\n"
              "print(type(t).__name__, list(t), t['lambda_'].dtype, t['n_increments'].dtype)\n"
              "print(t['lambda_'][1].hex())")
    out = subprocess.run([sys.executable, "-c", script, str(EXAMPLE)], capture_output=True,
                         text=True, check=True).stdout.splitlines()
    assert out[0] == ("dict ['scale_s', 'scale_pt', 'sd_ms', 'lambda_', 'lambda_sq', "
                      "'n_increments', 'error'] float64 int64")
    assert out[1] == nongauss.analyse(nongauss.read_rr(EXAMPLE)).lambda_.hex()
