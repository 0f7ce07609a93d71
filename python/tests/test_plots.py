"""The plots as a reader sees them: angles in plain degrees however narrow
their range, titles inside the figure, legends in words, and the cells of
untrusted tests hatched."""

import pytest

import encounter

# Scenario 107 at a coarse time step over 0.02 degrees: at 350.59 degrees
# and t d fact 0.2 the test changes its total energy by 18.4 %.
NARROW = dict(start=350.58, end=350.6, dalpha=0.01, max_steps=30000, progress=False)
UNTRUSTED = "untrusted (energy changed > 1 %)"


@pytest.fixture(scope="module")
def tracked():
    with pytest.warns(encounter.TrustWarning, match="350.59 degrees changed its total energy"):
        return encounter.map(107, y=("tdfact", 0.2, 0.3, 2), energy=True, **NARROW)


def _legend_texts(ax):
    legend = ax.get_legend()
    return [t.get_text() for t in legend.get_texts()] if legend else []


def _hatched(ax):
    return sum(1 for c in ax.collections if c.get_hatch())


@pytest.mark.parametrize("plot,legend,hatched", [
    ("series", ["absorbed, no ratio", "limit", "lowest speed / escape speed so far",
                "best of the series"], 0),
    ("end", ["escaped", "absorbed", "limit", UNTRUSTED], 1),
    ("ratio", [UNTRUSTED], 1),
])
def test_angles_read_as_degrees_and_titles_and_legends_fit(plot, legend, hatched, tracked):
    if plot == "series":
        ax = encounter.series(107, tdfact=0.3, **NARROW).plot()
    else:
        ax = tracked.plot(plot)
    fig = ax.figure
    fig.canvas.draw()
    assert ax.xaxis.get_offset_text().get_text() == ""
    labels = [t.get_text() for t in ax.get_xticklabels() if t.get_text()]
    assert labels and all(text.startswith("350.") for text in labels), labels
    assert _legend_texts(ax) == legend
    assert _hatched(ax) == hatched
    # The title and the legend lie inside the figure.
    box = fig.bbox
    for artist in (ax.title, ax.get_legend()):
        extent = artist.get_window_extent()
        assert box.x0 <= extent.x0 and extent.x1 <= box.x1, (artist, extent, box)
