"""The compiled half of the package: the public C++ library's series and
maps, run on a thread of their own while the interpreter is released. Use
the package encounter; these are its building blocks."""

from typing import Any, Callable, Optional


END_NAMES: list[str]
ENERGY_CHANGE_LIMIT: float
"""The words of the column "end", in the order of their codes."""

class Error(RuntimeError):
    """The engine could not finish."""

class InputError(ValueError):
    """Input the command line refuses, in its words."""

class Stopped(Error):
    """The series or map was stopped before its end."""

class SeriesOptions:
    """The options of a series; set them with set_option."""
    def __init__(self) -> None: ...

class MapAxis:
    """The y axis of a map; set it with set_map_option."""
    def __init__(self) -> None: ...

class MapOptions:
    """A map's own options (the refinement)."""
    def __init__(self) -> None: ...

Progress = Optional[Callable[[int, int, int], Any]]
Warn = Callable[[str], Any]

class Series:
    """A series set up and checked (raises InputError), ready to run once."""
    def __init__(self, test: Optional[str], fields: list[tuple[str, str]], unit: Optional[str],
                 options: SeriesOptions) -> None: ...
    @property
    def setup_warnings(self) -> list[str]:
        """Field texts that will not be read as they look, and the like."""
    @property
    def tests(self) -> int:
        """Tests this run (this shard) hands out."""
    @property
    def tests_in_series(self) -> int:
        """Tests of the whole series, all shards."""
    @property
    def threads(self) -> int:
        """Threads the tests run on."""
    @property
    def header(self) -> str:
        """The CSV column names, comma-separated."""
    @property
    def first_lines(self) -> str:
        """What precedes the first row: a shard's first line and the header."""
    @property
    def series_id(self) -> str:
        """The id that names the series."""
    def run(self, progress: Progress, warn: Warn, poll: float = 0.05) -> dict[str, Any]:
        """Runs the series: a dict of columns (NumPy arrays), csv (bytes),
        record (JSON text), warnings, untrusted ((row position, warning)
        pairs), untrusted_rows (positions of the untrusted rows), crosscheck, cross_rows,
        cross_differing, series_id, tests_in_series, picture (height x width x
        3 bytes or None) and png (bytes or None)."""

class Map:
    """A map set up and checked (raises InputError), ready to run once."""
    def __init__(self, test: Optional[str], fields: list[tuple[str, str]], unit: Optional[str],
                 options: SeriesOptions, axis: MapAxis, map: MapOptions) -> None: ...
    @property
    def setup_warnings(self) -> list[str]:
        """Warnings of the set-up of every row."""
    @property
    def rows(self) -> int:
        """The y values."""
    @property
    def columns(self) -> int:
        """The start angles: tests of each row's series."""
    @property
    def cells(self) -> int:
        """Cells this run (this shard) hands out."""
    @property
    def y(self) -> list[float]:
        """The y values, in the unit the scenario shows."""
    @property
    def field_texts(self) -> list[str]:
        """Each y value as typed into its field."""
    @property
    def angles(self) -> list[float]:
        """The start angles (degrees)."""
    @property
    def y_column(self) -> str:
        """The name of the y column: "dist2_au", "tdfact", ..."""
    @property
    def unit(self) -> str:
        """"AU" or "km": the unit distances are shown in."""
    @property
    def fields(self) -> list[tuple[str, str]]:
        """The nine fields as the first row's first test used them, by caption."""
    @property
    def header(self) -> str:
        """The CSV column names, comma-separated."""
    @property
    def first_lines(self) -> str:
        """What precedes the first cell: a shard's first line and the header."""
    @property
    def map_id(self) -> str:
        """The id that names the map."""
    @property
    def threads(self) -> int:
        """Threads all rows together run on."""
    def run(self, progress: Progress, warn: Warn, poll: float = 0.05) -> dict[str, Any]:
        """Runs the map: as Series.run, with map_id, cells_in_map, computed,
        refined (None, or with refine a dict: words, sampled,
        sampled_differing, low, high) and tallies (per y value: y, tests,
        computed, ends, red, untrusted) instead of the picture."""

class Trajectory:
    """One test of a series followed from inside, set up and checked (raises
    InputError), ready to run once."""
    def __init__(self, test: Optional[str], fields: list[tuple[str, str]], unit: Optional[str],
                 alpha: float, integrator: Optional[str], every: int, display_steps: bool,
                 max_steps: Optional[int]) -> None: ...
    @property
    def test(self) -> int:
        """The index of the test in its series."""
    @property
    def alpha(self) -> float:
        """The test's start angle (degrees)."""
    @property
    def unit(self) -> str:
        """"AU" or "km": the unit positions are shown in."""
    @property
    def unit_km(self) -> float:
        """Kilometres per unit of the positions shown."""
    @property
    def setup_warnings(self) -> list[str]:
        """Warnings of the test's set-up."""
    def run(self, full: bool, warn: Warn, poll: float = 0.05) -> dict[str, Any]:
        """Runs the test; returns its points as columns, its CSV and its series row."""

TRAJECTORY_EVENTS: dict[str, int]
"""The bits of a point's events: closest-approach, absorption, end."""

def start_states(test: Optional[str], fields: list[tuple[str, str]],
                 unit: Optional[str]) -> dict[str, Any]:
    """The start state of each test of the series, as columns."""

def trajectory_columns(full: bool) -> list[tuple[str, str, str]]:
    """The columns of a trajectory's CSV: (name, unit, meaning)."""

def version() -> str:
    """The library's version, "MAJOR.MINOR.PATCH"."""

def is_caveat(warning: str) -> bool:
    """Whether a warning is a caveat about the physics (beyond Newtonian gravity)."""

def field_names() -> list[str]:
    """The names a scenario's fields may carry: m1 m2 m3 dist1 dist2 start end tdfact dalpha."""

def presets() -> list[dict[str, Any]]:
    """The built-in scenarios as the fields show them once loaded."""

def columns() -> list[dict[str, Any]]:
    """The CSV's columns: name, unit, type, option, meaning and a category's values."""

def column_unit(name: str, shown: str) -> str:
    """The unit of a column's values when the scenario shows distances in AU or km."""

def unit_name(unit: object) -> str:
    """The unit named au or km (in any case) as the fields show it, AU or km; InputError for any other."""

def shown_unit(test: str | None, unit: str | None) -> str:
    """The distance unit the fields show: AU or km."""

def distance_text(value: float, shown: str) -> tuple[str, float]:
    """The field text a distance in that unit is typed as, and the km it reads back as."""

def series_option_table() -> list[dict[str, str]]:
    """The options of a series: dicts of name, option, kind, takes, meaning, default."""

def map_option_table() -> list[dict[str, str]]:
    """A map's own options (the axis and the refinement), as series_option_table."""

def set_option(options: SeriesOptions, name: str, text: str) -> None:
    """Sets an option of a series from its text as the command line reads it;
    raises InputError naming the option for a value it does not take."""

def set_map_option(axis: MapAxis, options: MapOptions, name: str, text: str) -> None:
    """Sets an option of map_option_table (or a series' option of the map)
    from its text; raises InputError naming it."""

def merge_shards(files: list[str]) -> tuple[int, bytes, str]:
    """Joins the outputs of all shards of a series as `encounter-batch merge`
    does: (status, merged CSV, messages naming the faulty shard files)."""
