"""The keywords of a series and a map: each is an option the engine lists,
read and refused as the command line reads and refuses it."""

import inspect
import random
import subprocess
import warnings

import pytest

import encounter
from conftest import BATCH, batch, in_command_line_words
from encounter import _map, _series

# A series of one test that ends at once, whatever the options.
QUICK = dict(end=0, max_steps=100, progress=False)

HOSTILE = [-1, 0, 1, 2, 3, 4, 1025, 1.5, 2.0, -0.0, float("nan"), float("inf"), 2**63,
           10**5000, True, False, "2", "yes", "true", "", "\ud800", "euler", "gauss-radau",
           [1], None, b"4", 1j]

# What the command line says of these values (its option taking the value's
# text); a flag takes no value there, so only the words are compared.
KNOWN_REFUSALS = [
    ("lanes", 3, '--lanes takes 1, 2, 4 or 8, not "3"'),
    ("lanes", 0, '--lanes takes 1, 2, 4 or 8, not "0"'),
    ("jobs", -1, '--jobs takes a number of threads from 1 to 1024, not "-1"'),
    ("max_steps", -1,
     '--max-steps takes a whole number from 0 to 9223372036854775807, not "-1"'),
    ("max_steps", 2**63,
     '--max-steps takes a whole number from 0 to 9223372036854775807, not "9223372036854775808"'),
    ("integrator", "rk4",
     '--integrator takes euler-sums, gauss-radau or bulirsch-stoer, not "rk4"'),
]


@pytest.mark.parametrize("name,value,words", KNOWN_REFUSALS)
def test_refusals_carry_the_command_lines_words(name, value, words):
    with pytest.raises(encounter.InputError) as e:
        encounter.series(2, **dict(QUICK, **{name: value}))
    assert in_command_line_words(str(e.value)) == words
    r = subprocess.run([BATCH, "--test", "2", f"{_series.SERIES_OPTIONS[name]['option']}={value}"],
                       capture_output=True, text=True)
    assert (r.returncode, r.stderr) == (2, f"encounter-batch: {words}\n")


@pytest.mark.parametrize("unit,words", [
    ("pc", '--unit takes au or km, not "pc"'),
    ("", '--unit takes au or km, not ""'),
    (3, '--unit takes au or km, not "3"'),
])
def test_an_unknown_unit_is_refused_by_series_and_map_as_by_the_command_line(unit, words):
    with pytest.raises(encounter.InputError) as e:
        encounter.series(2, unit=unit, **QUICK)
    assert str(e.value) == words
    with pytest.raises(encounter.InputError) as e:
        encounter.map(2, y="dist2", y_from=1.5, y_to=3, y_count=2, unit=unit, **QUICK)
    assert str(e.value) == words
    r = subprocess.run([BATCH, "--test", "2", f"--unit={unit}"], capture_output=True, text=True)
    assert (r.returncode, r.stderr) == (2, f"encounter-batch: {words}\n")


@pytest.mark.parametrize("unit,distance", [("au", "2.99"), ("AU", "2.99"), ("Au", "2.99"),
                                           ("km", "448742746"), ("KM", "448742746")])
def test_the_unit_is_taken_in_either_case_by_series_map_and_trajectory(unit, distance, tmp_path):
    # Scenario 2 at 0 degrees after 100 steps: r3 2.99 AU, 448742746 km.
    s = encounter.series(2, unit=unit, **QUICK)
    assert s.df.attrs["units"]["r3"] == ("AU" if distance == "2.99" else "km")
    assert s.to_csv() == batch("--test", "2", "--set", "end=0", f"--unit={unit.lower()}",
                               "--max-steps=100").decode()
    assert s.to_csv().splitlines()[1].split(",")[6] == distance
    m = encounter.map(2, y=("tdfact", 2, 2, 1), unit=unit, **QUICK)
    assert m.to_csv().splitlines()[1].split(",")[7] == distance
    t = encounter.trajectory(2, alpha=0, unit=unit, end=0, max_steps=100)
    assert t.df.attrs["units"]["x1"] == s.df.attrs["units"]["r3"]
    # Each writes its bytes into a file opened for bytes, as into a named one.
    for result in (s, m, t):
        with open(tmp_path / "opened.csv", "wb") as f:
            result.to_csv(f)
        result.to_csv(tmp_path / "named.csv")
        assert (tmp_path / "opened.csv").read_bytes() == result.to_csv().encode()
        assert (tmp_path / "named.csv").read_bytes() == result.to_csv().encode()


@pytest.mark.parametrize("kwargs,words", [
    (dict(refine=1.5), 'refine takes a number of levels from 0 to 20, not "1.5"'),
    (dict(refine=-1), 'refine takes a number of levels from 0 to 20, not "-1"'),
    (dict(y_log="yes"), "y_log takes true or false, not 'yes'"),
    (dict(y_count=0), 'y_count takes a number of values from 1 to 10000, not "0"'),
    (dict(y_from="x"), 'y_from takes a finite number, not "x"'),
    (dict(progress=5), "progress takes True, False or a function f(done, total, steps), not 5"),
])
def test_a_maps_keywords_are_refused_with_the_options_words(kwargs, words):
    args = dict(y="dist2", y_from=1.5, y_to=3, y_count=2, end=0, max_steps=100, progress=False)
    with pytest.raises(encounter.InputError) as e:
        encounter.map(2, **dict(args, **kwargs))
    assert str(e.value) == words


def test_a_text_that_reads_as_a_number_is_the_number_the_command_line_reads():
    m = encounter.map(2, y="dist2", y_from="1.5", y_to=3, y_count=2, end=0, max_steps=100,
                      progress=False)
    assert list(m.y) == [1.5, 3.0]


def test_the_keywords_are_the_options_the_engine_lists():
    own = {"test", "unit", "progress", "fields", "picture", "y"}
    for function, tables in ((encounter.series, [_series.SERIES_OPTIONS]),
                             (encounter.map, [_series.SERIES_OPTIONS, _map.MAP_OPTIONS])):
        keywords = set(inspect.signature(function).parameters) - own
        names = set().union(*tables)
        assert keywords <= names, keywords - names
    assert {o["option"] for o in _series.SERIES_OPTIONS.values()} >= {
        "--lanes", "--jobs", "--max-steps", "--integrator", "--crosscheck", "--energy", "--full"}


def test_random_keywords_are_run_or_refused_as_input_errors_in_the_command_lines_words():
    rng = random.Random(20261207)
    names = list(_series.SERIES_OPTIONS) + ["end", "dalpha", "m2", "speed", "lane"]
    names = [n for n in names if n not in ("shard", "shards", "picture_width", "picture_height")]
    asked = {}
    for _ in range(160):
        name, value = rng.choice(names), rng.choice(HOSTILE)
        try:
            with warnings.catch_warnings():
                warnings.simplefilter("ignore", encounter.TrustWarning)
                encounter.series(2, **dict(QUICK, **{name: value}))
        except TypeError as e:
            assert name in ("speed", "lane"), (name, value, e)
            assert type(e) is TypeError and f"unknown field {name!r}" in str(e)
            continue
        except encounter.InputError as e:
            assert isinstance(e, ValueError)
            assert str(e) and "\n" not in str(e).strip() or name in ("end", "dalpha", "m2")
            info = _series.SERIES_OPTIONS.get(name)
            if info is None:
                continue
            assert str(e).startswith(name + " takes " + info["takes"] + ", not "), (name, value, e)
            if (info["kind"] != "flag" and isinstance(value, (int, str)) and not isinstance(value, bool)
                    and value != 10**5000):
                asked[(info["option"], str(value))] = str(e)
            continue
        assert name not in ("speed", "lane"), name
    assert len(asked) > 5
    for (option, text), message in list(asked.items())[:8]:
        if len(text) > 100 or "\ud800" in text:
            continue
        r = subprocess.run([BATCH, "--test", "2", f"{option}={text}"], capture_output=True,
                           text=True)
        assert (r.returncode, r.stderr) == (2, f"encounter-batch: {in_command_line_words(message)}\n")
