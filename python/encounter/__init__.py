"""The encounter laboratory in Python: series of close encounters of three
bodies, run on the program's own engine, the rows as pandas DataFrames.

    import encounter
    encounter.presets()                          # the built-in scenarios
    s = encounter.series(2, end=30)              # scenario 2, angles 0 to 30
    s.df                                         # the rows, typed
    s.plot()                                     # speed / escape speed
    s.to_csv("preset-2.csv")                     # the bytes of encounter-batch
    m = encounter.map(2, y=("dist2", 1.5, 3, 16), end=90)  # outcome by angle and dist2
    m.plot()                                     # the outcome over both
    t = encounter.trajectory(2, alpha=20, every=1000)  # one test from inside
    t.df, t.events, t.plot()                     # points, events, the paths

encounter.dask.series(client, 2, shards=16) runs the same series on a Dask
cluster. See docs/python.md.
"""

from . import _encounter, dask
from ._encounter import Error, InputError
from ._errors import PhysicsWarning, TrustWarning
from . import _map as _map_module, _series
from ._map import Map, map  # noqa: A004 (encounter.map, as encounter-batch map)
from ._series import Series, presets, series
from ._table import columns
from ._trajectory import Trajectory, start_states, trajectory

__version__ = _encounter.version()
field_names = _encounter.field_names

for _cls in (Error, InputError):
    _cls.__module__ = __name__
Error.__doc__ = """The engine could not finish: a picture that cannot be encoded, a series
stopped (Stopped). The base of InputError."""
InputError.__doc__ = """Input the command line refuses (a ValueError): an option's value it does
not take, a field text it cannot read, a series that would never end; the
message is the command line's, naming the keyword where it names an option."""
SERIES_OPTIONS = _series.SERIES_OPTIONS
MAP_OPTIONS = _map_module.MAP_OPTIONS

__all__ = ["dask", "Error", "InputError", "MAP_OPTIONS", "Map", "PhysicsWarning", "SERIES_OPTIONS", "Series",
           "Trajectory", "TrustWarning", "columns", "field_names", "map", "presets", "series",
           "start_states", "trajectory"]
