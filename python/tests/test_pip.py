"""pip builds the module from the sources, with the same doubles.

Slow (pip compiles the whole library): runs only with NONGAUSS_TEST_PIP=1,
which CMake sets for this test when configured with -DNONGAUSS_TEST_PIP=ON.
The sources are copied first, so that pip's files stay out of the tree.
"""

import os
import shutil
import subprocess
import sys

import pytest

import nongauss
from conftest import EXAMPLE, SOURCE_DIR

pytestmark = pytest.mark.skipif(os.environ.get("NONGAUSS_TEST_PIP") != "1",
                                reason="set NONGAUSS_TEST_PIP=1 (slow)")

CHECK = """
import sys, nongauss
rr = nongauss.read_rr(sys.argv[1])
for options in [{}, {"scale": 50.0, "detrend": 2, "fit": "svd"}]:
    r = nongauss.analyse(rr, **options)
    print(r.sd_ms.hex(), r.lambda_.hex())
print(nongauss.__file__)
"""


def test_pip_install_into_a_virtual_environment(tmp_path):
    source = tmp_path / "source"
    shutil.copytree(SOURCE_DIR, source, ignore=shutil.ignore_patterns(
        "build*", ".git", "__pycache__", "*_TS.txt", "*_PDF.txt"))
    venv = tmp_path / "venv"
    subprocess.run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", str(venv)],
                   check=True)
    python = str(venv / "bin" / "python")
    env = {k: v for k, v in os.environ.items() if not k.startswith("PYTHON")}
    done = subprocess.run([python, "-m", "pip", "install", "--no-build-isolation", "--no-index",
                           str(source)], capture_output=True, text=True, env=env)
    assert done.returncode == 0, done.stdout[-3000:] + done.stderr[-3000:]

    out = subprocess.run([python, "-c", CHECK, str(EXAMPLE)], capture_output=True, text=True,
                         env=env, cwd=tmp_path, check=True).stdout.splitlines()
    rr = nongauss.read_rr(EXAMPLE)
    expected = [f"{r.sd_ms.hex()} {r.lambda_.hex()}" for r in
                (nongauss.analyse(rr), nongauss.analyse(rr, 50.0, detrend=2, fit="svd"))]
    assert out[:2] == expected
    package = os.path.dirname(out[2])
    assert package.startswith(str(venv))
    assert {"__init__.pyi", "py.typed"} <= set(os.listdir(package))
