"""A map: the series of a scenario run once for each value of a second field
(the y axis), and what it leaves behind."""

import json
import warnings

import numpy as np

from . import _encounter, _progress, _series, _table
from ._errors import TrustWarning


MAP_OPTIONS = {o["name"]: o for o in _encounter.map_option_table()}
"""A map's own options as the engine lists them, by keyword (see SERIES_OPTIONS)."""


def _axis(y, y_from, y_to, y_count):
    """{y, y_from, y_to, y_count} of y=NAME with y_from, y_to, y_count, or of
    y=(NAME, FROM, TO, COUNT)."""
    if isinstance(y, (tuple, list)):
        if len(y) != 4 or any(v is not None for v in (y_from, y_to, y_count)):
            raise TypeError("y: (name, from, to, count), or a name with y_from, y_to and y_count")
        y, y_from, y_to, y_count = y
    if y is None or None in (y_from, y_to, y_count):
        raise TypeError("y: (name, from, to, count), or a name with y_from, y_to and y_count")
    return {"y": y, "y_from": y_from, "y_to": y_to, "y_count": y_count}


def _map_request(axis):
    """The engine's MapAxis and MapOptions of the axis and the map's options,
    each value read by the engine: InputError in the command line's words."""
    engine_axis, options = _encounter.MapAxis(), _encounter.MapOptions()
    for name, text in _series.options_of(axis, MAP_OPTIONS):
        _encounter.set_map_option(engine_axis, options, name, text)
    return engine_axis, options


class Map:
    """The cells of a map and its record, as `encounter-batch map` leaves them.

    df          the cells as a pandas DataFrame indexed by "cell" (row of the
                map x angles + test): the y column, then the series' columns,
                and "trusted" as a Series' df has it (False where the cell
                shows a result whose total energy changed by more than 1 %)
    to_numpy()  the cells as a NumPy structured array
    meta        the record (encounter-batch map --meta) as a dict
    to_csv(p)   the CSV, byte for byte that of encounter-batch map
    grid(c)     the column c as a 2-D array, y values x start angles
    summary()   per y value the fraction of each end and of v3_red, with
                errors, and the number of untrusted tests
    plot()      the outcome over start angle and y
    warnings    what the command line would have warned about (texts)
    y, angles   the y values and the start angles (degrees), as NumPy arrays
    y_column    the name of the y column: "dist2_au", "tdfact", ...
    unit        "AU" or "km": the unit distances are shown in
    map_id      the id that names the map
    computed    cells integrated (with refine, fewer than the cells)
    refined     with refine, a dict: "words" ("refined: 25.0 % computed,
                sampled error 0.6 % [0.1, 3.2]"), "sampled" (inferred cells
                integrated as a random sample), "sampled_differing" (those that
                ended otherwise than inferred), "low" and "high" (the 95 %
                interval of that fraction); None without refine
    crosscheck, cross_rows, cross_differing
                with crosscheck: the counts in words, the cells compared, those that differ
    """

    def __init__(self, result, prepared, scenario, y_log):
        names = prepared.header.split(",")
        self._columns = result["columns"]
        self.columns = names
        self._names = names[:1] + (["test"] if "test" not in names else []) + names[1:]
        self._csv = result["csv"]
        self.meta = json.loads(result["record"])
        self.warnings = list(result["warnings"])
        self.map_id = result["map_id"]
        self.crosscheck = result["crosscheck"]
        self.cross_rows = result["cross_rows"]
        self.cross_differing = result["cross_differing"]
        self.computed = result["computed"]
        self.refined = result["refined"]
        self.y_column = prepared.y_column
        self.y = np.array(prepared.y)
        self.angles = np.array(prepared.angles)
        self.unit = prepared.unit
        self.scenario = scenario
        self.y_log = y_log
        self._tallies = result["tallies"]
        self._trusted = np.ones(len(self._columns["cell"]), dtype=bool)
        self._trusted[list(result["untrusted_rows"])] = False
        # The cells whose test the run warned of: its energy changed too much.
        self._untrusted = np.asarray(self._columns["cell"], dtype=np.int64)[~self._trusted]
        self._df = None

    def __len__(self):
        return len(self._columns["cell"])

    def __repr__(self):
        return (f"<encounter.Map scenario {self.scenario}: {len(self.y)} x {len(self.angles)} cells "
                f"by {self.y_column}, {self.meta.get('integrator')}, map {self.map_id}>")

    @property
    def shape(self):
        """(y values, start angles)."""
        return len(self.y), len(self.angles)

    @property
    def df(self):
        """The cells as a pandas DataFrame indexed by "cell" (a NumPy
        structured array where pandas is not installed)."""
        if self._df is None:
            try:
                self._df = _table.data_frame(self._columns, self._names, index="cell", unit=self.unit)
                self._df["trusted"] = self._trusted  # from the run, not the CSV
            except ImportError:
                self._df = self.to_numpy()
        return self._df

    def to_numpy(self):
        """The cells as a NumPy structured array, a field per column."""
        return _table.structured(self._columns, self._names, index="cell")

    @property
    def csv(self):
        """The CSV as text, byte for byte that of encounter-batch map."""
        return self._csv.decode()

    def to_csv(self, path=None):
        """Writes the CSV to path (a name or a binary file), or returns it."""
        return _series.Series.to_csv(self, path)

    def grid(self, column="end"):
        """The column as a 2-D array, one row per y value (the first y value
        first), one column per start angle: "end" and the other categories as
        texts, "ratio" as float64 (NaN where a test has no ratio)."""
        values = self._columns[column]
        if column in _table.CATEGORIES:
            values = _table._texts(values, _table.CATEGORIES[column])
        values = np.asarray(values)
        out = np.empty(len(self.y) * len(self.angles), dtype=values.dtype)
        out[self._columns["cell"]] = values
        return out.reshape(self.shape)

    def summary(self):
        """Per y value: its tests (with refine: "computed" and "inferred"
        apart), and the fraction of them that ended each way
        (the ends that occur in the map) and that had v3_red, each with its
        binomial standard error sqrt(p (1 - p) / n) in the column NAME_se;
        last the number of its untrusted tests (as the row's tallies count them)."""
        t = self._tallies
        n = t["tests"].astype(float)
        with np.errstate(invalid="ignore", divide="ignore"):
            def fraction(counts):
                p = counts / n
                return p, np.sqrt(p * (1 - p) / n)

            data = {self.y_column: t["y"], "tests": t["tests"]}
            if self.refined is not None:
                data["computed"] = t["computed"]
                data["inferred"] = t["tests"] - t["computed"]
            for code, name in enumerate(_table.END_NAMES):
                if t["ends"][:, code].any():
                    data[name], data[name + "_se"] = fraction(t["ends"][:, code])
            data["v3_red"], data["v3_red_se"] = fraction(t["red"])
            data["untrusted"] = t["untrusted"]
        try:
            import pandas as pd
        except ImportError:
            return data
        return pd.DataFrame(data).set_index(self.y_column)

    def plot(self, colour="end", ax=None):
        """The outcome over start angle (x) and y: colour="end" one colour per
        end and v3_red, with a legend; colour="ratio" speed / escape speed on a
        logarithmic scale, with a colour bar. Cells whose test changed its
        total energy by more than the limit (those warned of) are hatched.
        Returns the axes."""
        from ._map_plot import plot_map

        return plot_map(self, colour, ax)


def map(test: str | float | None = None, y=None, *, y_from: float | None = None,
        y_to: float | None = None, y_count: int | None = None, y_log: bool = False,
        refine: int | None = None, unit: str | None = None, integrator: str | None = None,
        crosscheck: bool = False, jobs: int | None = None, lanes: int | None = None,
        max_steps: int | None = None, energy: bool = False, full: bool = False, progress=True,
        **fields) -> "Map":
    """Runs a map as `encounter-batch map` does and returns its Map.

    test       the scenario, as typed into the field "test" (2, "3.5")
    y          the y axis: ("dist2", 1.5, 3.0, 16), or its name ("dist2",
               "dist1", "tdfact"; "m2", "m3" in scenario 0) with y_from, y_to
               and y_count; values in the unit the fields show (--y)
    y_log      spaced evenly in the logarithm (--y-log)
    refine     levels of adaptive refinement (--refine)
    **fields   field edits in the order given, as for encounter.series
    the rest   as for encounter.series: unit, integrator, crosscheck, jobs
               (threads for all rows together), lanes, max_steps, energy,
               full, progress

    Raises TypeError for an unknown field name or a malformed axis, and
    InputError (a ValueError) for a map the command line refuses, an axis
    the scenario does not read among them; its warnings become TrustWarnings.
    Ctrl-C stops the map and raises KeyboardInterrupt.
    """
    axis = dict(_axis(y, y_from, y_to, y_count), y_log=y_log, refine=refine)
    engine_axis, options = _map_request(axis)
    request = _series.Request.of(test, fields, unit=unit, integrator=integrator, crosscheck=crosscheck,
                                 jobs=jobs, lanes=lanes, max_steps=max_steps, energy=energy,
                                 full=full, picture=False)
    _progress.reporter(progress, "")  # refuses what progress cannot be, before the run
    prepared = _encounter.Map(request.test, list(request.fields), request.unit,
                              request.series_options(), engine_axis, options)
    warn = lambda text: warnings.warn(text, TrustWarning, stacklevel=4)  # noqa: E731
    result = _series.run_prepared(prepared, f"scenario {request.test or 0}, map", progress=progress,
                                  warn=warn)
    return Map(result, prepared, request.test or "0", bool(y_log))
