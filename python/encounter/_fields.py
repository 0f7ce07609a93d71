"""Keyword arguments typed into the fields: a text as it stands, a number as
the text that reads back as exactly that number."""

import math
import numbers
import warnings

from . import _encounter
from ._errors import TrustWarning

DISTANCES = ("dist1", "dist2")


def number_text(name, value):
    """The shortest text that reads back as the number: "30" for 30 and 30.0,
    "0.001", "1e-05"."""
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name}: a text or a number, not {type(value).__name__}")
    if isinstance(value, numbers.Integral):
        return str(int(value))
    v = float(value)
    if not math.isfinite(v):
        raise _encounter.InputError(f"{name}={value!r}: the number is not finite")
    text = repr(v)
    return text[:-2] if text.endswith(".0") else text


def scenario_unit(test_text, unit):
    """The distance unit the fields show: the unit option when one is given,
    else that of the scenario loaded."""
    return _encounter.shown_unit(test_text, unit)


def test_text(test):
    """The text typed into the field "test"."""
    if test is None or isinstance(test, str):
        return test
    return number_text("test", test)


def field_edits(test, fields, unit):
    """[(name, text)] in the order given. A distance given as a number is in
    the unit the fields show and is typed with the unit AU, the only way the
    program reads a distance."""
    names = _encounter.field_names()
    edits = []
    shown = None
    for name, value in fields.items():
        if name not in names:
            raise TypeError(f"unknown field {name!r} (fields: {' '.join(names)})")
        if isinstance(value, str):
            text = value
        elif name in DISTANCES:
            shown = shown or scenario_unit(test, unit)
            number_text(name, value)  # refuses what is not a finite number
            text, km = _encounter.distance_text(float(value), shown)
            if shown != "AU" and km != float(value):
                warnings.warn(f"{name}={value!r} km: no number of AU reads back as exactly that; "
                              f"typed \"{text}\", which reads as {km!r} km",
                              TrustWarning, stacklevel=4)
        else:
            text = number_text(name, value)
        edits.append((name, text))
    return edits
