"""One test of a series followed from inside: the positions and velocities
of the three bodies over time, their energy and angular momentum, and the
moments of the encounter."""

import numbers
import warnings

import numpy as np

from . import _encounter, _series
from ._errors import TrustWarning

EVENT_BITS = dict(_encounter.TRAJECTORY_EVENTS)


def _columns(full, unit):
    """(name, unit) of the CSV's columns, the scenario's unit named."""
    return [(name, unit if u == "unit" else u)
            for name, u, _ in _encounter.trajectory_columns(full)]


class Trajectory:
    """The points of one test and its row in the series.

    df          the points as a pandas DataFrame (a NumPy structured array
                where pandas is not installed); df.attrs["units"] names the
                unit of each column
    events      the points at which something happened: closest-approach,
                absorption, end (the series' end word after "end:")
    row         the test's row of the series, as its CSV prints it
    end         the series' end word: escaped, receded, absorbed, ...
    plot()      the paths of the three bodies, the events marked
    to_csv(p)   the CSV, byte for byte that of encounter-batch trajectory
    """

    def __init__(self, result, prepared, scenario, integrator, full):
        self._c = result["columns"]
        self._csv = result["csv"]
        self.row = result["row"]
        self.end = result["end"]
        self.test = int(result["test"])
        self.warnings = list(result["warnings"])
        self.alpha = prepared.alpha
        self.unit = prepared.unit
        self.unit_km = prepared.unit_km
        self.scenario = scenario
        self.integrator = integrator
        self.full = full
        self._df = None

    def __len__(self):
        return len(self._c["step"])

    def __repr__(self):
        return (f"<encounter.Trajectory scenario {self.scenario}, alpha {self.alpha:g}: "
                f"{len(self)} points, {self.integrator}, end {self.end}>")

    def event_texts(self):
        """The text of the column "event" at each point."""
        bits = self._c["events"]
        out = np.full(len(bits), "", dtype=object)
        for i in np.flatnonzero(bits):
            words = [name for name, bit in EVENT_BITS.items() if bits[i] & bit]
            out[i] = ";".join(f"end:{self.end}" if w == "end" else w for w in words)
        return out

    def to_numpy(self):
        """The points as a NumPy structured array, one field per CSV column."""
        names = [n for n, _ in _columns(True, self.unit)]
        data = self._data()
        dtype = [(n, data[n].dtype if n != "event" else object) for n in names]
        out = np.empty(len(self), dtype=dtype)
        for n in names:
            out[n] = data[n]
        return out

    def _data(self):
        c = dict(self._c)
        c["event"] = self.event_texts()
        return c

    @property
    def df(self):
        """The points as a pandas DataFrame: the CSV's columns, typed, with
        `df.attrs["units"]` giving each column's unit."""
        if self._df is None:
            try:
                import pandas as pd
            except ImportError:
                self._df = self.to_numpy()
                return self._df
            columns = _columns(True, self.unit)
            data = self._data()
            df = pd.DataFrame({n: data[n] for n, _ in columns})
            df["event"] = df["event"].astype("string")
            df.attrs["units"] = {n: u for n, u in columns}
            self._df = df
        return self._df

    @property
    def events(self):
        """The points that carry events, with their time and the event text."""
        df = self.df
        mask = self._c["events"] != 0
        return df[mask] if hasattr(df, "loc") else df[mask]

    @property
    def csv(self):
        """The CSV text, exactly as `encounter-batch trajectory` prints it."""
        return self._csv.decode()

    def to_csv(self, path=None):
        """Writes the CSV to path (a name or a binary file), or returns it."""
        return _series.Series.to_csv(self, path)

    def plot(self, views=False, ax=None):
        """The paths of the three bodies in the plane, axes in the scenario's
        unit at equal scale, the events marked. views=True adds the two other
        views of the Trajectory Display as panels: the bodies seen from body
        3, and the neighbourhood of body 3's closest approach enlarged.
        Returns the axes (a list of them with views)."""
        from ._trajectory_plot import plot_trajectory

        return plot_trajectory(self, views, ax)


def _every(every):
    if isinstance(every, bool) or not isinstance(every, numbers.Integral):
        raise TypeError(f"every: a whole number of steps, not {every!r}")
    return int(every)


def trajectory(test=None, alpha=None, *, every=1, display_steps=False, unit=None,
               integrator="euler-sums", max_steps=50_000_000, full=False, **fields):
    """Follows the test at angle alpha of the scenario's series and returns
    its Trajectory, as `encounter-batch trajectory` does.

    test, **fields, unit, integrator, max_steps   as for encounter.series
    alpha          the test: one of the series' start angles (degrees)
    every          a point every this many time steps of the fixed method;
                   the accurate methods are sampled at the same times
    display_steps  instead, the points the Trajectory Display plots
    full           to_csv() adds the positions in km

    Raises InputError (a ValueError) for an angle outside the series, every
    below 1, or what a series refuses; TypeError for an unknown field.
    """
    if alpha is None:
        raise TypeError("alpha: the start angle of the test (degrees)")
    request = _series.Request.of(test, fields, unit=unit)
    prepared = _encounter.Trajectory(request.test, list(request.fields), request.unit,
                                     float(alpha), integrator, _every(every),
                                     bool(display_steps), int(max_steps))
    for text in prepared.setup_warnings:
        warnings.warn(text, TrustWarning, stacklevel=2)
    warn = lambda text: warnings.warn(text, TrustWarning, stacklevel=3)  # noqa: E731
    result = prepared.run(bool(full), warn)
    return Trajectory(result, prepared, request.test or "0", integrator, bool(full))


def start_states(test=None, *, unit=None, **fields):
    """The start state of each test of the series: angle, masses (kg),
    positions (km), velocities (km/s) and time step (s), as a DataFrame
    indexed by "test" (a dict of arrays where pandas is not installed)."""
    request = _series.Request.of(test, fields, unit=unit)
    columns = _encounter.start_states(request.test, list(request.fields), request.unit)
    try:
        import pandas as pd
    except ImportError:
        return columns
    return pd.DataFrame(columns).set_index("test")
