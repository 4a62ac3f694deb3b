"""cmake --install puts the package where the system's python3 finds it."""

import os
import pathlib
import subprocess
import sys
import sysconfig

import pytest

from conftest import EXAMPLE, run

CHECK = ("import nongauss, sys; r = nongauss.analyse(nongauss.read_rr(sys.argv[1])); "
         "print(nongauss.__file__); print(f'{r.sd_ms:.1f} {r.lambda_:.4f}')")


def install_command():
    binary_dir = os.environ.get("NONGAUSS_BINARY_DIR")
    cmake = os.environ.get("NONGAUSS_CMAKE_COMMAND")
    if not binary_dir or not cmake:
        pytest.skip("NONGAUSS_BINARY_DIR / NONGAUSS_CMAKE_COMMAND not set (run through CTest)")
    return binary_dir, cmake


def clean_env(**extra):
    env = {k: v for k, v in os.environ.items() if not k.startswith("PYTHON")}
    env.update(extra)
    return env


def test_user_prefix_is_found_without_pythonpath(tmp_path):
    binary_dir, cmake = install_command()
    prefix = tmp_path / "home-local"
    done = run([cmake, "--install", binary_dir, "--prefix", str(prefix)])
    assert done.returncode == 0, done.stdout + done.stderr
    version = f"python{sys.version_info.major}.{sys.version_info.minor}"
    package = prefix / "lib" / version / "site-packages" / "nongauss"
    names = sorted(p.name for p in package.iterdir())
    assert names[:3] == ["__init__.py", "__init__.pyi", "_nongauss" + sysconfig.get_config_var("EXT_SUFFIX")]
    assert names[3:] == ["py.typed"]
    # As --prefix ~/.local: the user's own packages of this interpreter.
    found = run([sys.executable, "-c", CHECK, str(EXAMPLE)], cwd=tmp_path,
                env=clean_env(PYTHONUSERBASE=str(prefix)))
    assert found.returncode == 0, found.stderr
    assert found.stdout.splitlines() == [str(package / "__init__.py"), "215.9 0.3627"]


def test_default_prefix_goes_where_python3_looks(tmp_path):
    binary_dir, cmake = install_command()
    cache = pathlib.Path(binary_dir, "CMakeCache.txt").read_text()
    if "CMAKE_INSTALL_PREFIX:PATH=/usr/local\n" not in cache:
        pytest.skip("the build was configured with another prefix")
    site = sysconfig.get_path("platlib")
    if not site.startswith("/usr/local/"):
        pytest.skip("this interpreter does not search /usr/local")
    staged = tmp_path / "stage"
    done = run([cmake, "--install", binary_dir], env=dict(os.environ, DESTDIR=str(staged)))
    assert done.returncode == 0, done.stdout + done.stderr
    package = pathlib.Path(str(staged) + site) / "nongauss"
    assert (package / "__init__.py").is_file()
    found = run([sys.executable, "-c", CHECK, str(EXAMPLE)], cwd=tmp_path,
                env=clean_env(PYTHONPATH=str(package.parent)))
    assert found.returncode == 0, found.stderr
    assert found.stdout.splitlines()[1] == "215.9 0.3627"
