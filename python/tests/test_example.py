"""The example script runs as the README shows it and saves its figure."""

import os
import subprocess
import sys

from conftest import SOURCE


def test_the_example_saves_its_figure(tmp_path):
    figure = tmp_path / "figure.png"
    script = os.path.join(SOURCE, "examples", "python", "plot_series.py")
    r = subprocess.run([sys.executable, script, str(figure)], capture_output=True, text=True,
                       cwd=tmp_path)
    assert r.returncode == 0, r.stderr
    assert r.stdout.startswith("37 tests; the best at alpha = ")
    with open(figure, "rb") as f:
        assert f.read(8) == b"\x89PNG\r\n\x1a\n"
    assert "escaped" in r.stdout and r.stdout.endswith(f"saved {figure}\n")
