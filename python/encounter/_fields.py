"""Keyword arguments typed into the fields: a text as it stands, a number as
the text that reads back as exactly that number."""

import math
import numbers
import warnings

from . import _encounter
from ._errors import TrustWarning

# Kilometres per astronomical unit, as the program converts distances.
KM_PER_AU = 149_600_000.0
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


def au_of_km(km):
    """The number of AU that the program reads back as km kilometres: exactly
    where a number does (about nine in ten), else as near as a number can."""
    au = up = down = km / KM_PER_AU
    candidates = [au]
    for _ in range(2):
        up, down = math.nextafter(up, math.inf), math.nextafter(down, -math.inf)
        candidates += [up, down]
    return min(candidates, key=lambda a: abs(a * KM_PER_AU - km))


def scenario_unit(test_text, unit):
    """The distance unit the fields show: the unit option when one is given,
    else that of the scenario loaded (scenario 0's, km, for any other number)."""
    if unit is not None:
        return unit.upper()
    if test_text is not None:
        try:
            number = float(test_text.strip().replace(",", "."))
        except ValueError:
            number = 0.0
        for p in _encounter.presets():
            if float(p["number"]) == number:
                return p["unit"]
    return "km"


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
            au = float(value) if shown == "AU" else au_of_km(float(value))
            text = number_text(name, au) + " AU"
            if shown != "AU" and au * KM_PER_AU != float(value):
                warnings.warn(f"{name}={value!r} km: no number of AU reads back as exactly that; "
                              f"typed \"{text}\", which reads as {au * KM_PER_AU!r} km",
                              TrustWarning, stacklevel=4)
        else:
            text = number_text(name, value)
        edits.append((name, text))
    return edits
