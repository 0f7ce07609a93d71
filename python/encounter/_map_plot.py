"""The plot of a map: the outcome of each test over the start angle (x) and
the y axis, in the colours of the pictures of `encounter-batch map`."""

import textwrap

import numpy as np

from . import _table
from ._plot import plain_degrees, untrusted_label

# Each end a colour of Okabe and Ito's palette, told apart with any common
# colour vision; the second where body 3 ended faster than its escape speed.
# In the engine's order of the ends (END_NAMES).
OUTCOME_COLOURS = dict(zip(_table.END_NAMES, (
    ("#0072b2", "#d55e00"), ("#56b4e9", "#e69f00"), ("#000000", "#5a5a5a"),
    ("#009e73", "#f0e442"), ("#bebebe", "#cc79a7"), ("#969696", "#aa5a8c"),
    ("#ffffff", "#ffffff")), strict=True))


def _edges(centres, log):
    """Cell edges half way between the centres (in the logarithm when log),
    the outer ones half a step beyond; a single centre gets a cell of ±0.5
    (±5 % in the logarithm)."""
    c = np.log(centres) if log else np.asarray(centres, dtype=float)
    if len(c) == 1:
        step = np.log(1.05) if log else 0.5
        e = np.array([c[0] - step, c[0] + step])
    else:
        mid = (c[1:] + c[:-1]) / 2
        e = np.concatenate([[2 * c[0] - mid[0]], mid, [2 * c[-1] - mid[-1]]])
    return np.exp(e) if log else e


def _y_label(m):
    field = m.y_column.split("_")[0]
    if field in ("dist1", "dist2"):
        unit = m.unit
    elif field == "tdfact":
        unit = "time-step divisor"
    else:
        unit = "solar masses"
    return f"{field} ({unit})"


def _outcomes(m, ax, x, y):
    from matplotlib.colors import ListedColormap
    from matplotlib.patches import Patch

    codes = m.grid("end")
    red = m.grid("v3_red")
    names = list(_table.END_NAMES)
    outcome = np.vectorize(names.index)(codes) * 2 + red
    present = np.unique(outcome)
    colours = [OUTCOME_COLOURS[names[o // 2]][o % 2] for o in present]
    index = np.searchsorted(present, outcome)
    ax.pcolormesh(x, y, index, cmap=ListedColormap(colours), vmin=-0.5,
                  vmax=len(present) - 0.5, shading="flat")
    labels = [names[o // 2] + (", v3_red" if o % 2 else "") for o in present]
    return [Patch(facecolor=c, edgecolor="gray", label=t) for c, t in zip(colours, labels)]


def _ratios(m, ax, x, y):
    import matplotlib
    from matplotlib.colors import LogNorm

    ratio = m.grid("ratio")
    finite = ratio[np.isfinite(ratio) & (ratio > 0)]
    cmap = matplotlib.colormaps["viridis"].copy()
    cmap.set_bad("#c8c8c8")  # no ratio: absorbed
    norm = LogNorm(finite.min(), finite.max()) if finite.size else None
    mesh = ax.pcolormesh(x, y, np.ma.masked_invalid(np.where(ratio > 0, ratio, np.nan)),
                         cmap=cmap, norm=norm, shading="flat")
    ax.figure.colorbar(mesh, ax=ax, label="speed / escape speed (ratio); grey: none")
    return []


def _hatch_untrusted(m, ax, x, y):
    """Hatches the cells of untrusted tests; their legend entry, or none."""
    from matplotlib.collections import PatchCollection
    from matplotlib.patches import Patch, Rectangle

    if not len(m._untrusted):
        return []
    rows, columns = np.divmod(m._untrusted, len(m.angles))
    cells = [Rectangle((x[c], y[r]), x[c + 1] - x[c], y[r + 1] - y[r]) for r, c in zip(rows, columns)]
    ax.add_collection(PatchCollection(cells, facecolor=(0, 0, 0, 0), edgecolor="black", hatch="///",
                                      linewidth=0, zorder=3))
    return [Patch(facecolor="white", edgecolor="black", hatch="///", label=untrusted_label())]


def _title(m, what):
    """The title, broken into lines short enough to stay over the axes."""
    lines = (f"Scenario {m.scenario}: {what} by start angle and {m.y_column.split('_')[0]}",
             f"({len(m.y)} x {len(m.angles)} cells, {m.meta.get('integrator', '')}"
             + (f"; {m.refined['words']})" if m.refined else ")"))
    return "\n".join(part for line in lines for part in textwrap.wrap(line, 60))


def plot_map(m, colour="end", ax=None):
    if colour not in ("end", "ratio"):
        raise ValueError(f"colour: \"end\" or \"ratio\", not {colour!r}")
    if ax is None:
        import matplotlib.pyplot as plt

        _, ax = plt.subplots(figsize=(9, 4.5), layout="constrained")
    x = _edges(m.angles, False)
    y = _edges(m.y, m.y_log)
    handles = (_outcomes if colour == "end" else _ratios)(m, ax, x, y)
    handles += _hatch_untrusted(m, ax, x, y)
    if handles:
        ax.legend(handles=handles, title="end" if colour == "end" else None, fontsize="small",
                  loc="upper left", bbox_to_anchor=(1.01, 1.0) if colour == "end" else (0, -0.14),
                  borderaxespad=0)
    if m.y_log:
        ax.set_yscale("log")
    ax.set_xlabel("start angle alpha (degrees)")
    plain_degrees(ax.xaxis)
    ax.set_ylabel(_y_label(m))
    ax.set_title(_title(m, "end of the test" if colour == "end" else "speed / escape speed"))
    return ax
