"""clean() and synth() give what nongauss-clean and nongauss-synth write."""

import numpy as np
import pytest

import nongauss
from conftest import EXAMPLE, program, recordings, run


def shortest_text(values):
    """The values one per line, each in its shortest exact form ("812", "0.8125")."""
    return "".join(repr(float(v)).removesuffix(".0") + "\n" for v in values)


def with_artefacts():
    rr = nongauss.read_rr(EXAMPLE).copy()
    rr[0] = 2500.0          # a gap at the start
    rr[100] = 400.0         # an ectopic beat...
    rr[101] = 1200.0        # ...and its compensatory pause
    rr[5000:5003] = 3000.0  # a stretch of lost signal
    rr[9000] = 812.5        # a finer resolution: replacements get one decimal
    rr[-1] = 150.0          # a spurious detection at the end
    return rr


SERIES = [("artefacts", with_artefacts)] + [(p.name, lambda p=p: nongauss.read_rr(p))
                                            for p in recordings()]


@pytest.mark.parametrize("name, make", SERIES, ids=[s[0] for s in SERIES])
@pytest.mark.parametrize("replace", [False, True])
def test_clean_matches_the_cleaner(name, make, replace, tmp_path):
    exe = program("NONGAUSS_CLEAN_EXE")
    rr = make()
    source = tmp_path / "in.txt"
    source.write_text(shortest_text(rr))
    out = tmp_path / "out.txt"
    done = run([exe, "--summary", "-o", str(out)] + (["-r"] if replace else []) + [str(source)])
    assert done.returncode == 0, done.stderr

    cleaned = nongauss.clean(rr, replace=replace)
    written = [float(x) for x in out.read_text().split()]
    assert cleaned.rr.tolist() == written
    fields = done.stdout.rstrip("\n").split("\t")
    assert [int(f) for f in fields[1:4]] == [cleaned.n_read, cleaned.n_range, cleaned.n_deviation]
    assert fields[4:6] == ["%.2f" % cleaned.flagged_pct, "%.2f" % cleaned.time_pct]
    assert int(fields[6]) == len(cleaned.rr) == cleaned.n_kept + cleaned.n_interpolated
    assert np.count_nonzero(cleaned.flags) == cleaned.n_range + cleaned.n_deviation


def test_clean_flags_and_keeps():
    rr = with_artefacts()
    cleaned = nongauss.clean(rr)
    assert cleaned.unit == "ms"
    assert cleaned.flags[[0, 5000, 5001, 5002, len(rr) - 1]].tolist() == [1] * 5
    assert cleaned.flags[100] == 2 and cleaned.flags[101] == 2
    # Deleting keeps every other interval exactly; replacing keeps the time axis.
    assert cleaned.rr.tolist() == rr[cleaned.flags == 0].tolist()
    replaced = nongauss.clean(rr, replace=True)
    assert replaced.n_stretches >= 4 and replaced.n_unfilled == 0  # the four injected stretches at least
    assert replaced.rr.sum() == pytest.approx(rr.sum(), abs=1e-6)
    # At the resolution of the finest value (812.5): tenths.
    assert np.array_equal(np.round(replaced.rr * 10) / 10, replaced.rr)
    assert not np.array_equal(np.round(replaced.rr), replaced.rr)
    # Without its filters nothing is flagged.
    plain = nongauss.clean(rr, range_filter=False, deviation_filter=False)
    assert plain.rr.tolist() == rr.tolist() and plain.flagged_pct == 0.0


@pytest.mark.parametrize("args, options, cli", [
    ((2, 0.3, 9), {}, ["--hours", "2", "--lambda", "0.3", "--seed", "9"]),
    ((1.5, 0.0, 2**64 - 1), {"unit": "s", "decimals": 4, "mean_ms": 650, "sd_ms": 60},
     ["--hours", "1.5", "--lambda", "0", "--seed", "18446744073709551615", "--unit", "s",
      "--decimals", "4", "--mean", "650", "--sd", "60"]),
    ((3, 1.2, 0), {"block_s": 120, "decimals": 2},
     ["--hours", "3", "--lambda", "1.2", "--seed", "0", "--block", "120", "--decimals", "2"]),
])
def test_synth_matches_the_generator(args, options, cli, tmp_path):
    exe = program("NONGAUSS_SYNTH_EXE")
    out = tmp_path / "synth.txt"
    done = run([exe, *cli, "-o", str(out)])
    assert done.returncode == 0, done.stderr
    series = nongauss.synth(*args, **options)
    assert series.tolist() == nongauss.read_rr(out).tolist()
    assert series.flags.writeable


def test_synth_lambda_is_recovered():
    r = nongauss.analyse(nongauss.synth(24, 0.5, 11))
    assert r.lambda_ == pytest.approx(0.5, abs=0.1)
