"""The type stub describes the module as it is: the same names, the same parameters."""

import ast
import re

import nongauss
from conftest import SOURCE_DIR


def stub_functions():
    tree = ast.parse((SOURCE_DIR / "python" / "nongauss" / "__init__.pyi").read_text())
    return {f.name: ([a.arg for a in f.args.args], [a.arg for a in f.args.kwonlyargs])
            for f in tree.body if isinstance(f, ast.FunctionDef)}


def runtime_parameters(function):
    # pybind11 puts the signature on the first line of the docstring.
    signature = function.__doc__.splitlines()[0]
    inside = re.match(rf"{function.__name__}\((.*)\) ->", signature).group(1)
    positional, keyword, seen_star = [], [], False
    for part in inside.split(", "):
        if part == "*":
            seen_star = True
            continue
        (keyword if seen_star else positional).append(part.split(":")[0])
    return positional, keyword


def test_stub_matches_the_module():
    stubs = stub_functions()
    functions = {n for n in nongauss.__all__ if callable(getattr(nongauss, n))
                 and not isinstance(getattr(nongauss, n), type)}
    assert set(stubs) == functions
    for name in functions:
        assert stubs[name] == runtime_parameters(getattr(nongauss, name)), name
    tree = ast.parse((SOURCE_DIR / "python" / "nongauss" / "__init__.pyi").read_text())
    classes = {c.name: {f.name for f in c.body if isinstance(f, ast.FunctionDef)}
               for c in tree.body if isinstance(c, ast.ClassDef)}
    for name in ("Result", "Cleaned", "Annotations"):
        public = {a for a in dir(getattr(nongauss, name)) if not a.startswith("_")}
        assert classes[name] == public, name
