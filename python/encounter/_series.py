"""A series: the scenario and the options, run on the engine, and what it
leaves behind."""

import dataclasses
import json
import warnings

from . import _encounter, _fields, _progress, _table
from ._errors import TrustWarning


@dataclasses.dataclass(frozen=True)
class Request:
    """What a series is asked to be: the texts typed into the fields and the
    options, as plain values (it travels to Dask workers)."""

    test: str | None
    fields: tuple
    unit: str | None
    options: tuple  # (name, value) of SeriesOptions

    @classmethod
    def of(cls, test, fields, *, unit=None, picture=True, **options):
        if unit is not None and (not isinstance(unit, str) or unit.lower() not in ("au", "km")):
            raise _encounter.InputError(f"unknown unit {unit!r} (au or km)")
        unit = unit.lower() if unit else None
        text = _fields.test_text(test)
        edits = _fields.field_edits(text, fields, unit)
        return cls(text, tuple(edits), unit, tuple(dict(options, picture=picture).items()))

    def series_options(self, **more):
        """The engine's SeriesOptions of this series."""
        o = _encounter.SeriesOptions()
        for name, value in dict(self.options, **more).items():
            setattr(o, name, 0 if value is None else value)
        return o

    def prepare(self, **more):
        """The engine's series, set up and checked: raises InputError."""
        return _encounter.Series(self.test, list(self.fields), self.unit,
                                 self.series_options(**more))


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
                structured array where pandas is not installed)
    to_numpy()  the rows as a NumPy structured array
    meta        the record (encounter-batch --meta) as a dict
    to_csv(p)   the CSV, byte for byte that of encounter-batch
    plot()      speed / escape speed against the start angle
    picture()   the Trajectory Display at the end, as RGB pixels
    warnings    what the command line would have warned about
    """

    def __init__(self, columns, names, csv, record, warnings, *, series_id, crosscheck="",
                 picture=None, png=None):
        self._columns = columns
        self.columns = list(names)
        self._csv = csv
        self.meta = record
        self.warnings = list(warnings)
        self.series_id = series_id
        self.crosscheck = crosscheck
        self._picture = picture
        self.png = png
        self._df = None

    @classmethod
    def _of_result(cls, result, header):
        return cls(result["columns"], header.split(","), result["csv"],
                   json.loads(result["record"]), result["warnings"],
                   series_id=result["series_id"], crosscheck=result["crosscheck"],
                   picture=result["picture"], png=result["png"])

    def __len__(self):
        return len(self._columns["test"])

    def __repr__(self):
        m = self.meta
        return (f"<encounter.Series scenario {m.get('scenario')}: {len(self)} tests, "
                f"{m.get('integrator')}, series {self.series_id}>")

    @property
    def df(self):
        if self._df is None:
            try:
                self._df = _table.data_frame(self._columns, self.columns)
            except ImportError:
                self._df = self.to_numpy()
        return self._df

    def to_numpy(self):
        return _table.structured(self._columns, self.columns)

    @property
    def csv(self):
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


def series(test=None, *, unit=None, integrator="euler-sums", crosscheck=False, jobs=None,
           lanes=None, max_steps=50_000_000, energy=False, full=False, picture=True,
           progress=True, **fields):
    """Runs a series as encounter-batch does and returns its Series.

    test       the scenario, as typed into the field "test" (2, "3.5")
    **fields   field edits in the order given, by the names of --set (m1 m2
               m3 dist1 dist2 start end tdfact dalpha): a text is typed as it
               stands ("2.5 AU"), a number as the text that reads back as it
               (a distance in the unit the fields show)
    unit       "au" or "km": the distance unit option, chosen after the fields
    integrator "euler-sums" (the windows' fixed step), "gauss-radau" or "bulirsch-stoer"
    crosscheck every test under both methods, compared
    jobs       threads (None: one per core); lanes: 1, 2, 4 (None: widest)
    max_steps  Next is pressed once a test has run this many steps (0: never)
    energy     add energy_err; full: add the unrounded values
    picture    keep the Trajectory Display (Series.picture())
    progress   True: a progress bar (tqdm); False; or f(done, total, steps)

    Raises TypeError for an unknown field name and InputError (a ValueError)
    for a series the command line refuses; its warnings become TrustWarnings.
    Ctrl-C stops the series and raises KeyboardInterrupt.
    """
    request = Request.of(test, fields, unit=unit, integrator=integrator, crosscheck=crosscheck,
                   jobs=jobs, lanes=lanes, max_steps=max_steps, energy=energy, full=full,
                   picture=picture)
    result, prepared = run(request, progress=progress,
                           warn=lambda text: warnings.warn(text, TrustWarning, stacklevel=5))
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
