"""The module as its users read it: every public name explains itself, and
the type stub of the compiled half names what that half holds."""

import ast
import inspect
import os

import encounter
from encounter import _encounter


def public_members(obj):
    for name, value in vars(obj).items():
        if not name.startswith("_") and (inspect.isfunction(value) or isinstance(value, property)):
            yield name, value


def test_every_public_name_has_a_docstring():
    missing = []
    for module in (encounter, encounter.dask):
        for name in getattr(module, "__all__", [n for n in vars(module) if not n.startswith("_")]):
            value = getattr(module, name)
            if isinstance(value, (dict, list, str, int)) or inspect.ismodule(value) and value is not module:
                continue
            if not inspect.getdoc(value):
                missing.append(f"{module.__name__}.{name}")
            if inspect.isclass(value):
                missing += [f"{module.__name__}.{name}.{m}" for m, v in public_members(value)
                            if not inspect.getdoc(v)]
    assert missing == []


def test_the_options_tables_explain_every_option():
    for table in (encounter.SERIES_OPTIONS, encounter.MAP_OPTIONS):
        for name, info in table.items():
            assert info["name"] == name and info["option"].startswith("--")
            assert info["takes"] and info["meaning"], name


def test_the_stub_names_what_the_compiled_module_holds():
    stub = os.path.join(os.path.dirname(_encounter.__file__), "_encounter.pyi")
    tree = ast.parse(open(stub).read())
    declared = {node.name for node in tree.body if isinstance(node, (ast.FunctionDef, ast.ClassDef))}
    declared |= {t.id for node in tree.body if isinstance(node, (ast.Assign, ast.AnnAssign))
                 for t in (node.targets if isinstance(node, ast.Assign) else [node.target])}
    compiled = {n for n in dir(_encounter) if not n.startswith("_")}
    assert compiled <= declared, compiled - declared
    for cls in ("Series", "Map"):
        node = next(n for n in tree.body if isinstance(n, ast.ClassDef) and n.name == cls)
        members = {n.name for n in node.body if isinstance(n, ast.FunctionDef)}
        assert {n for n in dir(getattr(_encounter, cls)) if not n.startswith("_")} <= members, cls
