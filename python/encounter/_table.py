"""The columns of a series as a pandas DataFrame or a NumPy structured array.

The binding hands over one NumPy array per CSV column (and "test", the index
of the test in the series): float64 with NaN where the CSV is empty, int64,
bool, and int8 for categories and flags that may be empty (-1 where the CSV
is empty)."""

import numpy as np

from . import _encounter

END_NAMES = tuple(_encounter.END_NAMES)
# The engine's description of every column, by name.
COLUMNS = {c["name"]: c for c in _encounter.columns()}
# int8 columns: the index of a category, or a value that may be missing.
CATEGORIES = {n: tuple(c["categories"]) for n, c in COLUMNS.items() if c["type"] == "category"}
OPTIONAL_FLAGS = tuple(n for n, c in COLUMNS.items() if c["type"] == "boolean")
OPTIONAL_WHOLE = tuple(n for n, c in COLUMNS.items() if c["type"] == "Int8")


def columns():
    """The columns of a series' CSV as a pandas DataFrame (a list of dicts
    where pandas is not installed): name, unit ("AU or km" for a distance in
    the unit the scenario shows), type, the option that adds it, meaning."""
    rows = [{k: c[k] for k in ("name", "unit", "type", "option", "meaning")}
            for c in _encounter.columns()]
    try:
        import pandas as pd
    except ImportError:
        return rows
    return pd.DataFrame(rows)


def units(names, shown):
    """{column: unit} for the columns named, distances in the unit shown."""
    return {n: _encounter.column_unit(n, shown or "km") for n in names if n in COLUMNS}


def _texts(codes, categories):
    names = np.array(("",) + categories)
    return names[codes.astype(np.int64) + 1]


def data_frame(columns, names, index="test", unit=None):
    """A DataFrame indexed by "test" (a map's by "cell"): categories for end,
    acc_end and vesc_heading, nullable boolean and integer columns for the
    flags and the body that may be empty; attrs["units"] gives each column's
    unit, r3 and rmin in the distance unit shown (unit: "AU" or "km")."""
    import pandas as pd

    data = {}
    for name in names:
        a = columns[name]
        if name in CATEGORIES:
            data[name] = pd.Categorical.from_codes(a, categories=CATEGORIES[name])
        elif name in OPTIONAL_FLAGS:
            data[name] = pd.arrays.BooleanArray(a == 1, a < 0)
        elif name in OPTIONAL_WHOLE:
            data[name] = pd.arrays.IntegerArray(a, a < 0)
        else:
            data[name] = a
    df = pd.DataFrame(data, index=pd.Index(columns[index], name=index))
    df.attrs["units"] = units(names, unit)
    return df


def structured(columns, names, index="test"):
    """A NumPy structured array with the field index ("test", a map's "cell")
    and one per column: categories as text ("" where the CSV is empty),
    optional flags and bodies as int8 (-1 where the CSV is empty)."""
    values = {index: columns[index]}
    for name in names:
        a = columns[name]
        if name in CATEGORIES:
            a = _texts(a, CATEGORIES[name])
        elif isinstance(a, list):
            a = np.array(a, dtype=str) if a else np.array([], dtype="U1")
        values[name] = a
    out = np.empty(len(values[index]), dtype=[(n, v.dtype) for n, v in values.items()])
    for n, v in values.items():
        out[n] = v
    return out


def equal(a, b):
    """Whether two sets of columns hold the same values (NaN equal to NaN)."""
    if a.keys() != b.keys():
        return False
    for name in a:
        x, y = np.asarray(a[name]), np.asarray(b[name])
        if x.dtype != y.dtype or x.shape != y.shape:
            return False
        if not np.array_equal(x, y, equal_nan=x.dtype.kind == "f"):
            return False
    return True
