"""Shared fixtures of the Python module's tests.

CTest runs these with PYTHONPATH pointing at the built package and the paths
of the programs in the environment (NONGAUSS_EXE, NONGAUSS_REFERENCE_EXE, ...);
tests that need a program skip when its variable is not set.
"""

import importlib
import os
import pathlib
import shutil
import subprocess

import pytest

SOURCE_DIR = pathlib.Path(__file__).resolve().parents[2]
EXAMPLE = SOURCE_DIR / "examples" / "synthetic_4h.txt"
# The real recordings live beside the repository; absent on most machines.
RECORDINGS_DIR = SOURCE_DIR.parent / "shared" / "data" / "rri"


def recordings():
    return sorted(RECORDINGS_DIR.glob("*.txt")) if RECORDINGS_DIR.is_dir() else []


def program(variable):
    """The path of a program built beside the module, or skip the test."""
    path = os.environ.get(variable)
    if not path or not os.path.exists(path):
        pytest.skip(f"{variable} not set (run through CTest)")
    return path


def require_module(name, package):
    """Imports a module the test needs, or skips the test naming the Debian
    package to install. Under CI=true, where scripts/setup installs every
    package, a missing one fails the test instead: a skip would hide it."""
    try:
        return importlib.import_module(name)
    except ImportError:
        message = f"needs the Python module {name} (Debian package {package})"
        if os.environ.get("CI") == "true":
            pytest.fail(message + ": missing under CI=true")
        pytest.skip(message)


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, check=False, **kwargs)


@pytest.fixture
def copy_in(tmp_path):
    """Copies a file into the test's scratch directory (the tool writes beside its input)."""

    def copy(path):
        target = tmp_path / pathlib.Path(path).name
        shutil.copyfile(path, target)
        return target

    return copy
