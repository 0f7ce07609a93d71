"""One test from Python against `encounter-batch trajectory` and the series:
the same CSV bytes, the series' row at the last point, the start states,
the plot's axes, the refusals."""

import numpy as np
import pytest

import encounter
from conftest import batch


@pytest.mark.parametrize("kwargs,args", [
    (dict(test=2, alpha=20, every=5000, end=60), ["--test", "2", "--alpha", "20", "--every", "5000",
                                                "--set", "end=60"]),
    (dict(test=0, alpha=10, display_steps=True, end=30, full=True, max_steps=3000),
     ["--test", "0", "--alpha", "10", "--display-steps", "--set", "end=30", "--full",
      "--max-steps", "3000"]),
    (dict(test=111, alpha=40, every=10, tdfact=0.05, integrator="bulirsch-stoer"),
     ["--test", "111", "--alpha", "40", "--every", "10", "--set", "tdfact=0.05",
      "--integrator", "bulirsch-stoer"]),
])
def test_csv_is_the_command_lines(kwargs, args):
    t = encounter.trajectory(**kwargs)
    assert t.to_csv().encode() == batch("trajectory", *args)


def test_last_point_is_the_series_row():
    s = encounter.series(0, end=30, full=True, progress=False)
    row = s.df.loc[1]  # 10 degrees (tests/data/series/full-0.csv)
    t = encounter.trajectory(0, alpha=10, every=10000, end=30)
    last = t.df.iloc[-1]
    assert last["event"] == f"end:{row['end']}"
    assert last["step"] == row["steps"] == 87759
    for k in (1, 2, 3):
        assert last[f"v{k}_kms"] == row[f"v{k}_kms"]
    assert s.csv.splitlines()[2].startswith(t.row.rstrip("\n") + ",")  # then --full's columns


def test_frame_is_typed_with_units():
    t = encounter.trajectory(2, alpha=20, every=20000, end=60)
    df = t.df
    assert df["step"].dtype == np.int64 and df["x3"].dtype == np.float64
    assert df.attrs["units"]["x3"] == "AU" and df.attrs["units"]["vx3"] == "km/s"
    assert df["x3"].iloc[0] == 2.5 and df["x3_km"].iloc[0] == 374_000_000
    assert list(t.events["event"]) == ["absorption;end:absorbed"]
    assert encounter.trajectory(0, alpha=0, every=50000, end=0).df.attrs["units"]["x1"] == "km"


def test_start_states_are_the_first_points():
    s = encounter.series(2, end=30, progress=False)
    starts = s.start_states()
    assert list(starts["alpha"]) == [0, 10, 20, 30]
    first = encounter.trajectory(2, alpha=30, every=10**9, end=30).df.iloc[0]
    for column in ("x1_km", "y2_km", "vx3", "vy1"):
        assert first[column] == starts.loc[3, column]


def test_plot_has_the_units_and_equal_scale():
    t = encounter.trajectory(2, alpha=0, every=20000, end=0)
    ax = t.plot()
    assert ax.get_xlabel() == "x (AU)" and ax.get_aspect() == 1.0
    assert len(t.plot(views=True)) == 3


@pytest.mark.parametrize("kwargs,error", [
    (dict(alpha=25), encounter.InputError),
    (dict(alpha=200), encounter.InputError),
    (dict(alpha=20, every=0), encounter.InputError),
    (dict(alpha=20, every=-1), encounter.InputError),
    (dict(alpha=20, every=1.5), TypeError),
    (dict(alpha=20, integrator="leapfrog"), encounter.InputError),
])
def test_refusals(kwargs, error):
    with pytest.raises(error):
        encounter.trajectory(2, **kwargs)
