"""A map from Python against `encounter-batch map`: the same bytes, rows that
are the series of their field texts, the command line's summary and refusals."""

import _thread
import os
import subprocess
import threading
import time

import numpy as np
import pytest

import encounter
from conftest import BATCH, batch, in_command_line_words

# Scenario 2 at 0, 10, .. 40 degrees, from 1.5 to 3 AU: one test absorbed.
KWARGS = dict(end=40, dalpha=10)
ARGS = ["map", "--test", "2", "--set", "end=40", "--set", "dalpha=10", "--y", "dist2=1.5:3:3"]


@pytest.fixture(scope="module")
def m():
    return encounter.map(2, y=("dist2", 1.5, 3, 3), progress=False, **KWARGS)


@pytest.mark.parametrize("kwargs,args", [
    (dict(y=("dist2", 1.5, 3, 3), **KWARGS), ARGS),
    (dict(y="tdfact", y_from=1, y_to=1.4, y_count=5, start=110, end=149, dalpha=1, refine=2,
          full=True),
     ["map", "--test", "2", "--set", "start=110", "--set", "end=149", "--set", "dalpha=1", "--y",
      "tdfact=1:1.4:5", "--refine", "2", "--full"]),
    (dict(y=("dist2", 1.5, 3, 3), y_log=True, integrator="gauss-radau", **KWARGS),
     ARGS + ["--y-log", "--integrator", "gauss-radau"]),
], ids=["plain", "refine-full", "log-gr"])
def test_bytes_and_record_are_the_command_lines(kwargs, args):
    m = encounter.map(2, progress=False, **kwargs)
    expected = batch(*args)
    assert m.to_csv().encode() == expected
    assert batch(*m.meta["arguments"]) == expected  # the record runs it again
    assert m.meta["arguments"][0] == "map" and m.meta["map"]["rows"] == m.shape[0]
    if "refine" in kwargs:  # 133 of the 200 cells computed, 30 of them the sample
        assert m.df["computed"].dtype == bool and m.computed == m.df["computed"].sum() == 133
        words = "refined: 66.5 % computed, sampled error 0.0 % [0.0, 11.4]"
        assert m.refined == {"words": words, "sampled": 30, "sampled_differing": 0, "low": 0.0,
                             "high": pytest.approx(0.1135, abs=1e-4)}
        assert m.summary()["inferred"].sum() == 67 and m.meta["map"]["refined"] == words
    else:
        assert m.refined is None and "inferred" not in m.summary()


def test_cells_are_typed_and_a_row_is_the_series_of_its_field_text(m):
    df = m.df
    assert list(df.index) == list(range(15)) and m.shape == (3, 5)
    assert df["dist2_au"].tolist() == [1.5] * 5 + [2.25] * 5 + [3.0] * 5
    assert df["test"].tolist() == list(range(5)) * 3 and str(df["end"].dtype) == "category"
    text = m.meta["map"]["field_texts"][1]
    assert text == "2.25 AU"
    s = encounter.series(2, progress=False, **KWARGS, dist2=text)
    row = [line.split(",", 1)[1] for line in m.to_csv().splitlines()[6:11]]
    assert row == s.to_csv().splitlines()[1:]
    cells = df[df.dist2_au == 2.25].drop(columns=["dist2_au", "test"]).set_index(s.df.index)
    assert cells.equals(s.df)


def test_grid_is_y_by_angle(m):
    end, ratio = m.grid("end"), m.grid("ratio")
    assert end.shape == ratio.shape == (3, 5)
    lines = [line.split(",") for line in m.to_csv().splitlines()]
    column = lines[0].index("end")
    assert end.ravel().tolist() == [cells[column] for cells in lines[1:]]
    assert (end == "absorbed").sum() == 1 and np.isnan(ratio[end == "absorbed"]).all()
    assert m.grid("v3_red").dtype == bool


def test_summary_is_the_command_lines(m):
    r = subprocess.run([BATCH, *ARGS, "--summary", "--quiet"], capture_output=True, text=True)
    table = [line.split() for line in r.stderr.splitlines()[2:]]
    summary = m.summary()
    assert list(summary.columns) == ["tests", "escaped", "escaped_se", "absorbed", "absorbed_se",
                                     "v3_red", "v3_red_se", "untrusted"]
    for (y, row), words in zip(summary.iterrows(), table):
        # y tests p ± se p ± se p ± se untrusted
        assert [float(words[0]), int(words[1])] == [y, row["tests"]]
        got = row.drop("tests").to_numpy(dtype=float)
        assert np.allclose(got, [float(w) for w in words[2:] if w != "\u00b1"], atol=5e-4), words


def test_an_axis_the_scenario_does_not_read_is_refused_as_the_command_line_refuses_it():
    r = subprocess.run([BATCH, "map", "--test", "2", "--y", "m3=0.001:0.002:3"], capture_output=True,
                       text=True)
    assert r.returncode == 2
    with pytest.raises(encounter.InputError) as e:
        encounter.map(2, y=("m3", 0.001, 0.002, 3), progress=False)
    assert "encounter-batch: " + in_command_line_words(str(e.value)) + "\n" == r.stderr
    with pytest.raises(TypeError):
        encounter.map(2, y=("dist2", 1.5, 3))
    with pytest.raises(encounter.InputError, match='y_count takes a number of values from 1 to 10000, not "2.5"'):
        encounter.map(2, y="dist2", y_from=1.5, y_to=3, y_count=2.5)


# The map warns of each untrusted test as it is found, before Ctrl-C comes.
@pytest.mark.filterwarnings("ignore::encounter.TrustWarning")
def test_ctrl_c_stops_a_long_map_and_progress_counts_cells():
    threads = len(os.listdir("/proc/self/task"))
    timer = threading.Timer(0.3, _thread.interrupt_main)
    timer.start()
    start = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        encounter.map(6, y=("dist2", 1, 2, 50), progress=False)  # minutes of work
    timer.join()
    assert time.monotonic() - start < 0.3 + 2.0
    assert len(os.listdir("/proc/self/task")) == threads  # no engine thread left
    calls = []
    encounter.map(2, y=("dist2", 1.5, 3, 3), progress=lambda *a: calls.append(a), **KWARGS)
    assert calls[-1][:2] == (15, 15)


def test_plot_names_the_scenario_and_its_axes(m):
    ax = m.plot()
    assert ax.get_title().startswith("Scenario 2: end of the test by start angle and dist2")
    assert ax.get_xlabel() == "start angle alpha (degrees)" and ax.get_ylabel() == "dist2 (AU)"
    assert [t.get_text() for t in ax.get_legend().get_texts()] == [
        "escaped", "escaped, v3_red", "absorbed"]
    ax = m.plot("ratio")
    assert len(ax.figure.axes) == 2  # the colour bar
