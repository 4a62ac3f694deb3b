"""Builds the Python module with pip: `python3 -m pip install --no-build-isolation .`

The extension is compiled from the library's sources, the companions' code it
uses and the bindings, with the flags of the CMake build that make the
results bit-reproducible (no fused multiply-add contraction, no fast math).
NONGAUSS_BUILD_JOBS sets the number of compilers run at once (default 2).
"""

import glob
import os
import re

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

HERE = os.path.dirname(os.path.abspath(__file__))


def sources():
    core = [p for p in glob.glob("src/**/*.cpp", recursive=True)
            if not p.startswith(os.path.join("src", "driver", ""))]
    report = [p for p in glob.glob("tools/report/*.cpp") if not p.endswith("main.cpp")]
    scan = [p for p in glob.glob("tools/scan/*.cpp") if not p.endswith("main.cpp")]
    return sorted(core) + sorted(scan) + sorted(report) + sorted(glob.glob("python/src/*.cpp"))


def version():
    with open(os.path.join(HERE, "include", "nongauss", "version.hpp")) as f:
        return re.search(r'version = "([0-9.]+)"', f.read()).group(1)


ParallelCompile("NONGAUSS_BUILD_JOBS", default=2).install()

module = Pybind11Extension(
    "nongauss._nongauss",
    sources(),
    include_dirs=["include", "src"],
    cxx_std=20,
    extra_compile_args=["-O2", "-g0", "-ffp-contract=off", "-fno-fast-math"],
    extra_link_args=["-pthread"],
    # The surrogates' transforms (Debian libfftw3-dev); the report's SHA-256
    # (nettle-dev).
    libraries=["fftw3", "nettle"],
)

setup(
    version=version(),
    packages=["nongauss"],
    package_dir={"": "python"},
    package_data={"nongauss": ["__init__.pyi", "py.typed"]},
    ext_modules=[module],
    cmdclass={"build_ext": build_ext},
    # The CMake build owns build/; pip's intermediate files go elsewhere.
    options={"build": {"build_base": "build-pip"}, "egg_info": {"egg_base": "build-pip"}},
    zip_safe=False,
)
