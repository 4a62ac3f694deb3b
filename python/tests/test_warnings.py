"""The tool's warnings reach Python as nongauss.AnalysisWarning and in the result."""

import warnings

import numpy as np
import pytest

import nongauss


def caught(call, *args, **kwargs):
    with warnings.catch_warnings(record=True) as seen:
        warnings.simplefilter("always")
        value = call(*args, **kwargs)
    return value, [str(w.message) for w in seen if issubclass(w.category, nongauss.AnalysisWarning)]


def test_reading_that_stops_early_warns(tmp_path):
    path = tmp_path / "rec.txt"
    path.write_text("\n".join(["800", "810", "790"] * 200) + "\nNA\n" + "800\n" * 50)
    rr, seen = caught(nongauss.read_rr, path)
    assert len(rr) == 600
    assert len(seen) == 1 and "reading stopped at row 601" in seen[0] and '"NA"' in seen[0]


def test_gaps_and_a_flipped_unit_are_named():
    rr = np.array([95.0] + [800.0, 820.0, 790.0] * 200)
    result, seen = caught(nongauss.analyse, rr, 25.0)
    assert any("makes the unit seconds" in w for w in result.warnings)
    assert any("lie outside 0.2-3.0 s" in w for w in result.warnings)
    assert set(seen) == set(result.warnings)


def test_a_constant_series_has_no_variability():
    result, seen = caught(nongauss.analyse, np.full(3000, 800.0), 25.0)
    assert result.sd_ms == 0.0 and result.lambda_ == 0.0
    assert any("no variability" in w for w in seen)


@pytest.mark.parametrize("q", [1e-14, -1e-9, 1e-300])
def test_orders_near_zero_use_the_logarithmic_moment(q):
    rr = np.array([800.0 + 60 * np.sin(i / 5.0) + (i * 7919 % 97) for i in range(20000)])
    near, seen = caught(nongauss.analyse, rr, 25.0, q=q)
    at_zero = nongauss.analyse(rr, 25.0, q=0.0)
    assert near.lambda_ == at_zero.lambda_
    assert any("too close to 0" in w for w in seen)


def test_a_file_read_and_analysed_warns_once_of_each_problem(tmp_path):
    path = tmp_path / "rec.txt"
    path.write_text("95\n" + "800\n820\n30000\n790\n" * 200)  # a flipped unit, gaps
    rr, read_warnings = caught(nongauss.read_rr, path)
    result, analysis_warnings = caught(nongauss.analyse, rr, 25.0)
    assert read_warnings == []
    assert sorted(analysis_warnings) == sorted(result.warnings) and len(result.warnings) == 2


def test_a_table_of_times_and_intervals_is_named_by_read_rr(tmp_path):
    path = tmp_path / "export.txt"
    elapsed, lines = 0, []
    for v in [800, 820, 790, 810] * 100:
        elapsed += v
        lines.append(f"{elapsed / 1000:.3f}\t{v}")
    path.write_text("\n".join(lines) + "\n")
    rr, seen = caught(nongauss.read_rr, path)
    assert len(rr) == 800
    assert len(seen) == 1 and "nongauss-clean --column 2" in seen[0]
