"""A series: the scenario and the options, run on the engine, and what it
leaves behind."""

import dataclasses
import json
import numbers
import warnings

import numpy as np

from . import _encounter, _fields, _progress, _table
from ._errors import PhysicsWarning, TrustWarning


SERIES_OPTIONS = {o["name"]: o for o in _encounter.series_option_table()}
"""The options of a series as the engine lists them, by keyword: each a dict of
name, option (the command line's), kind, takes, meaning and default."""


def _utf8(name, text):
    """text, refused as InputError when it cannot be UTF-8 (a lone surrogate)."""
    try:
        text.encode("utf-8")
    except UnicodeEncodeError:
        raise _encounter.InputError(f"{name}={text!r}: the text is not UTF-8 (a lone surrogate)") from None
    return text


def _shown(value):
    """The value as a message shows it: its repr, or the size of a whole
    number too long to print."""
    try:
        return repr(value)
    except ValueError:
        return f"a whole number of {int(value).bit_length()} bits"


def option_text(info, value):
    """The text of an option's value as the command line would carry it; the
    engine reads it and refuses, in the command line's words, what the option
    does not take."""
    name = info["name"]
    if info["kind"] == "flag":
        if not isinstance(value, (bool, np.bool_)):
            raise _encounter.InputError(f"{name} takes {info['takes']}, not {_shown(value)}")
        return "true" if value else "false"
    if isinstance(value, str):
        try:
            return _utf8(name, value)
        except _encounter.InputError:
            raise _encounter.InputError(f"{name} takes {info['takes']}, not {_shown(value)}") from None
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
        raise _encounter.InputError(f"{name} takes {info['takes']}, not {_shown(value)}")
    if isinstance(value, numbers.Integral):
        try:
            return str(int(value))
        except ValueError:  # more digits than Python prints
            raise _encounter.InputError(f"{name} takes {info['takes']}, not {_shown(value)}") from None
    return repr(float(value))


def options_of(options, table):
    """[(name, text)] of the options given (None: the engine's default), each
    checked by the engine."""
    texts = []
    for name, value in options.items():
        if name not in table:
            raise TypeError(f"unknown option {name!r}")
        if value is not None:
            texts.append((name, option_text(table[name], value)))
    probe = _encounter.SeriesOptions()
    for name, text in texts:
        if name in SERIES_OPTIONS:
            _encounter.set_option(probe, name, text)
    return texts


def _typed_value(name, value):
    """Refuses as the command line would a value no field can be typed with:
    not a text or a number, a text that is no UTF-8, a number beyond any
    double."""
    if isinstance(value, str):
        _utf8(name, value)
    elif isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
        raise _encounter.InputError(f"{name} takes a text or a number, not {_shown(value)}")
    elif isinstance(value, numbers.Integral):
        try:
            float(value)
        except OverflowError:
            raise _encounter.InputError(f"{name}: the number is not finite") from None


def _field_values(fields):
    """The fields' values checked (_typed_value); an unknown name is left for
    the TypeError of the field edits."""
    names = _encounter.field_names()
    for name, value in fields.items():
        if name in names:
            _typed_value(name, value)


@dataclasses.dataclass(frozen=True)
class Request:
    """What a series is asked to be: the texts typed into the fields and the
    options, as plain values (it travels to Dask workers)."""

    test: str | None
    """The text typed into the field "test"; None: scenario 0."""
    fields: tuple
    """(name, text) of each field edit, in order."""
    unit: str | None
    """"au", "km" or None (the scenario's own)."""
    options: tuple
    """(name, text) of each option given, as the command line carries it."""

    @classmethod
    def of(cls, test, fields, *, unit=None, picture=True, **options):
        """The request of a series: refuses with InputError what the command line refuses."""
        if unit is not None:
            unit = _encounter.unit_name(unit).lower()
        if test is not None:
            _typed_value("test", test)
        _field_values(fields)
        text = _fields.test_text(test)
        edits = _fields.field_edits(text, fields, unit)
        return cls(text, tuple(edits), unit, tuple(options_of(dict(options, picture=picture),
                                                              SERIES_OPTIONS)))

    def series_options(self, **more):
        """The engine's SeriesOptions of this series, with more options (by
        name, as plain values) over those of the request."""
        o = _encounter.SeriesOptions()
        texts = dict(self.options)
        texts.update(options_of(more, SERIES_OPTIONS))
        for name, text in texts.items():
            _encounter.set_option(o, name, text)
        return o

    def prepare(self, **more):
        """The engine's series, set up and checked: raises InputError."""
        return _encounter.Series(self.test, list(self.fields), self.unit,
                                 self.series_options(**more))


def warn_in_python(text, stacklevel):
    """A warning of the engine as a Python warning: a caveat about the physics
    as a PhysicsWarning, any other as a TrustWarning."""
    category = PhysicsWarning if _encounter.is_caveat(text) else TrustWarning
    warnings.warn(text, category, stacklevel=stacklevel + 1)


def run_prepared(prepared, description, *, progress=False, warn=None):
    """Runs a prepared series or map on the engine and returns the binding's
    result. warn(text) gets every warning, set-up warnings first."""
    warn = warn or (lambda text: None)
    for text in prepared.setup_warnings:
        warn(text)
    report, close = _progress.reporter(progress, description)
    try:
        return prepared.run(report, warn)
    finally:
        close()


def run(request, *, progress=False, warn=None, **more):
    """Runs request on the engine and returns the binding's result and the
    prepared series."""
    prepared = request.prepare(**more)
    result = run_prepared(prepared, f"scenario {request.test or 0}", progress=progress, warn=warn)
    return result, prepared


class Series:
    """The rows of a series and its record, as the command line leaves them.

    df          the rows as a pandas DataFrame indexed by "test" (a NumPy
                structured array where pandas is not installed); its last
                column "trusted" (not one of the CSV's) is False for the
                tests the run warned about: total energy changed by more
                than 1 %
    untrusted   the "test" values of those tests, in series order
    to_numpy()  the rows as a NumPy structured array
    meta        the record (encounter-batch --meta) as a dict
    to_csv(p)   the CSV, byte for byte that of encounter-batch
    plot()      speed / escape speed against the start angle
    picture()   the Trajectory Display at the end, as RGB pixels
    warnings    what the command line would have warned about (texts)
    caveats     how many tests went beyond Newtonian gravity (PhysicsWarning)
    columns     the names of the CSV columns, in order
    series_id   the id that names the series (the CSV's and the record's)
    crosscheck  with crosscheck: the counts in words, as the command line says them
    cross_rows, cross_differing
                with crosscheck: the rows compared, and those whose outcome differs
    png         the picture as the bytes of a PNG file (None without a picture)
    """

    def __init__(self, columns, names, csv, record, warnings, *, series_id, crosscheck="",
                 picture=None, png=None, cross_rows=0, cross_differing=0, caveats=0,
                 untrusted=()):
        self._columns = columns
        # untrusted: the positions of the rows the run warned about.
        self._trusted = np.ones(len(columns["test"]), dtype=bool)
        self._trusted[list(untrusted)] = False
        self.untrusted = [int(t) for t in columns["test"][~self._trusted]]
        self.columns = list(names)
        self._csv = csv
        self.meta = record
        self.warnings = list(warnings)
        self.caveats = caveats
        self.series_id = series_id
        self.crosscheck = crosscheck
        self.cross_rows = cross_rows
        self.cross_differing = cross_differing
        self._picture = picture
        self.png = png
        self._df = None

    @classmethod
    def _of_result(cls, result, header):
        return cls(result["columns"], header.split(","), result["csv"],
                   json.loads(result["record"]), result["warnings"],
                   series_id=result["series_id"], crosscheck=result["crosscheck"],
                   picture=result["picture"], png=result["png"], cross_rows=result["cross_rows"],
                   cross_differing=result["cross_differing"], caveats=result["caveats"],
                   untrusted=result["untrusted_rows"])

    def __len__(self):
        return len(self._columns["test"])

    def __repr__(self):
        m = self.meta
        return (f"<encounter.Series scenario {m.get('scenario')}: {len(self)} tests, "
                f"{m.get('integrator')}, series {self.series_id}>")

    @property
    def df(self):
        """The rows as a pandas DataFrame indexed by "test", typed as the
        columns are (a NumPy structured array where pandas is not installed)."""
        if self._df is None:
            try:
                self._df = _table.data_frame(self._columns, self.columns, unit=self.meta.get("unit"))
                # Derived from the run's warnings, not a column of the CSV.
                self._df["trusted"] = self._trusted
            except ImportError:
                self._df = self.to_numpy()
        return self._df

    def to_numpy(self):
        """The rows as a NumPy structured array, a field per column."""
        return _table.structured(self._columns, self.columns)

    @property
    def csv(self):
        """The CSV as text, byte for byte that of encounter-batch."""
        return self._csv.decode()

    def to_csv(self, path=None):
        """Writes the CSV to path (a name or a binary file), or returns it."""
        if path is None:
            return self.csv
        if hasattr(path, "write"):
            path.write(self._csv)
        else:
            with open(path, "wb") as f:
                f.write(self._csv)
        return None

    def picture(self):
        """The Trajectory Display at the end of the series: an array of
        height x width x 3 bytes (RGB), the pixels of encounter-batch --png."""
        if self._picture is None:
            raise ValueError("this series kept no picture (run it with picture=True)")
        return self._picture

    def plot(self, ax=None):
        """Speed / escape speed (the column ratio) against the start angle,
        the best tests marked, on matplotlib axes ax (new ones when None).
        Returns the axes."""
        from ._plot import plot_series

        return plot_series(self, ax)

    def start_states(self):
        """The start state of each test of this series (encounter.start_states)."""
        from ._trajectory import start_states

        request = getattr(self, "_request", None)
        if request is None:
            raise ValueError("this series does not know its request (run it with encounter.series)")
        return start_states(request.test, unit=request.unit, **dict(request.fields))

    def equals(self, other):
        """The same rows, the same CSV bytes."""
        return (isinstance(other, Series) and self.columns == other.columns
                and self._csv == other._csv and _table.equal(self._columns, other._columns))


def series(test: str | float | None = None, *, unit: str | None = None,
           integrator: str | None = None, crosscheck: bool = False, jobs: int | None = None,
           lanes: int | None = None, max_steps: int | None = None, energy: bool = False,
           full: bool = False, picture: bool = True, progress=True, **fields) -> "Series":
    """Runs a series as encounter-batch does and returns its Series.

    test       the scenario, as typed into the field "test" (2, "3.5")
    **fields   field edits in the order given, by the names of --set (m1 m2
               m3 dist1 dist2 start end tdfact dalpha): a text is typed as it
               stands ("2.5 AU"), a number as the text that reads back as it
               (a distance in the unit the fields show)
    unit       "au" or "km": the distance unit option, chosen after the fields
    integrator "euler-sums" (None: the windows' fixed step), "gauss-radau" or
               "bulirsch-stoer"
    crosscheck every test under both methods, compared
    jobs       threads, 1 to 1024 (None: one per core); lanes: 1, 2, 4, 8 (None: fastest)
    max_steps  Next is pressed once a test has run this many steps (0: never;
               None: 50000000)
    energy     add energy_err; full: add the unrounded values
    picture    keep the Trajectory Display (Series.picture())
    progress   True: a progress bar (tqdm); False; or f(done, total, steps)

    Every option is one of SERIES_OPTIONS, checked by the engine as the
    command line checks it. Raises TypeError for an unknown field name and
    InputError (a ValueError) for a value or a series the command line
    refuses, in its words; its warnings become TrustWarnings.
    Ctrl-C stops the series and raises KeyboardInterrupt.
    """
    request = Request.of(test, fields, unit=unit, integrator=integrator, crosscheck=crosscheck,
                         jobs=jobs, lanes=lanes, max_steps=max_steps, energy=energy, full=full,
                         picture=picture)
    _progress.reporter(progress, "")  # refuses what progress cannot be, before the run
    result, prepared = run(request, progress=progress,
                           warn=lambda text: warn_in_python(text, stacklevel=5))
    s = Series._of_result(result, prepared.header)
    s._request = request
    return s


def presets():
    """The built-in scenarios as the fields show them once loaded: a DataFrame
    (a list of dicts where pandas is not installed)."""
    rows = _encounter.presets()
    try:
        import pandas as pd
    except ImportError:
        return rows
    return pd.DataFrame(rows).astype({"regime": "category"})
