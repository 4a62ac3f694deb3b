"""report() writes nongauss-report's page and JSON with the program's own code."""

import json
import os
import shutil
import warnings

import pytest

import nongauss
from conftest import EXAMPLE, program, run


@pytest.fixture
def gnuplot():
    if shutil.which("gnuplot") is None:
        if os.environ.get("CI") == "true":
            pytest.fail("gnuplot (Debian gnuplot-nox) is missing under CI=true")
        pytest.skip("needs gnuplot (Debian package gnuplot-nox)")


def test_report_is_the_programs_and_its_numbers_are_scans(gnuplot, tmp_path, monkeypatch):
    shutil.copy(EXAMPLE, tmp_path / "rec.txt")
    monkeypatch.chdir(tmp_path)
    page = nongauss.report("rec.txt", [5, 37.5], detrend=2, surrogates=5, seed=3, flags="clean")
    assert page == "rec_report.html"
    numbers = json.loads((tmp_path / "rec_report.json").read_text())
    cleaned = nongauss.clean(nongauss.read_rr("rec.txt")).rr
    table = nongauss.scan(cleaned, [5, 37.5], detrend=2)
    assert [s["lambda"] for s in numbers["scales"]] == list(table["lambda_"])
    assert [s["sd_ms"] for s in numbers["scales"]] == list(table["sd_ms"])
    assert all(0 < s["p"] <= 1 for s in numbers["scales"])
    # The JSON's command, run by the program elsewhere, writes the same page.
    other = tmp_path / "again"
    other.mkdir()
    shutil.copy(EXAMPLE, other / "rec.txt")
    cli = run([program("NONGAUSS_REPORT_EXE"), *numbers["command"][1:]], cwd=other)
    assert cli.returncode == 0, cli.stderr
    assert (other / "rec_report.html").read_bytes() == (tmp_path / "rec_report.html").read_bytes()
    assert (other / "rec_report.json").read_bytes() == (tmp_path / "rec_report.json").read_bytes()


def test_report_options_and_failures(gnuplot, tmp_path):
    with pytest.raises(ValueError, match="flags must be"):
        nongauss.report(EXAMPLE, flags="maybe")
    with pytest.raises(ValueError, match="finite"):
        nongauss.report(EXAMPLE, [float("nan")])
    with pytest.raises(ValueError, match="one of the input files"):
        nongauss.report(EXAMPLE, output=EXAMPLE)
    short = tmp_path / "short.txt"
    short.write_text("800\n" * 300)
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        page = nongauss.report(short, [5, 500], output=tmp_path / "short.html", flags="none")
    assert page == str(tmp_path / "short.html")
    assert any("no result" in str(w.message) or "500" in str(w.message) for w in caught)
