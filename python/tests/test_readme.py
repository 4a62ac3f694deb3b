"""The README's "From Python" section runs as written."""

import contextlib
import io
import re
import shutil

import pytest

from conftest import EXAMPLE, SOURCE_DIR, require_module


def python_blocks():
    readme = (SOURCE_DIR / "README.md").read_text()
    section = readme.split("\n## From Python\n", 1)[1].split("\n## ", 1)[0]
    return re.findall(r"```python\n(.*?)```", section, re.S)


def test_readme_examples_run(tmp_path, monkeypatch):
    pd = require_module("pandas", "python3-pandas")
    require_module("matplotlib", "python3-matplotlib")
    blocks = python_blocks()
    assert len(blocks) == 3
    (tmp_path / "examples").mkdir()
    shutil.copyfile(EXAMPLE, tmp_path / "examples" / EXAMPLE.name)
    monkeypatch.chdir(tmp_path)

    # The four calls; the printed line is the tool's summary of the example.
    printed = io.StringIO()
    calls = {}
    with contextlib.redirect_stdout(printed):
        exec(compile(blocks[0], "README block 1", "exec"), calls)
    assert printed.getvalue() == "215.9 0.3627\n"
    assert list(calls["table"]["scale_s"]) == [5, 10, 25, 50, 100]
    assert len(calls["cleaned"]) > 18000 and len(calls["test"]) > 17000

    # The worked example: the cohort, the table, the picture.
    namespace = {}
    exec(compile(blocks[1], "README block 2", "exec"), namespace)
    exec(compile(blocks[2], "README block 3", "exec"), namespace)
    cohort = namespace["cohort"]
    assert list(cohort.columns[:3]) == ["recording", "scale_s", "scale_pt"]
    assert len(cohort) == 30 and (cohort["error"] == "").all()
    assert pd.read_csv("lambda_vs_scale.csv").shape == cohort.shape
    # The lambdas the cohort was made with, at the short scales.
    short = cohort[cohort["scale_s"] <= 60].groupby("recording")["lambda_"].mean()
    assert short["subject1"] == pytest.approx(0.2, abs=0.08)
    assert short["subject2"] == pytest.approx(0.4, abs=0.08)
    assert short["subject3"] == pytest.approx(0.6, abs=0.08)

    png = (tmp_path / "lambda_vs_scale.png").read_bytes()
    assert png[:8] == b"\x89PNG\r\n\x1a\n"
    width, height = int.from_bytes(png[16:20], "big"), int.from_bytes(png[20:24], "big")
    assert (width, height) == (600, 400)
