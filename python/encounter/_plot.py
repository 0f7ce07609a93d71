"""The plot of a series: the ratio the best rule compares (speed / escape
speed, the column "ratio") against the start angle of the pair."""

import numpy as np

from . import _encounter, _table

# One colour per end, in the engine's order of the ends.
END_COLOURS = dict(zip(_table.END_NAMES, ("tab:blue", "tab:green", "tab:red", "tab:purple",
                                          "tab:orange", "tab:brown", "tab:gray"), strict=True))


def untrusted_label():
    """The legend's words for an untrusted test or cell."""
    return f"untrusted (energy changed > {_encounter.ENERGY_CHANGE_LIMIT * 100:g} %)"


def _plot_untrusted(ax, alpha, ratio, ends, untrusted, bottom):
    """The untrusted tests as open circles in their end's colour, those
    without a ratio along the bottom; one legend entry for them all."""
    if not untrusted.any():
        return
    colours = [END_COLOURS[_table.END_NAMES[e]] for e in ends[untrusted]]
    none = np.isnan(ratio[untrusted])
    x = alpha[untrusted]
    if (~none).any():
        ax.scatter(x[~none], ratio[untrusted][~none], s=24, facecolors=(0, 0, 0, 0),
                   edgecolors=[c for c, n in zip(colours, none, strict=True) if not n],
                   linewidths=1.0, zorder=2, gid="untrusted")
    if none.any():
        ax.scatter(x[none], np.full(none.sum(), 0.03), s=24, facecolors=(0, 0, 0, 0),
                   edgecolors=[c for c, n in zip(colours, none, strict=True) if n],
                   linewidths=1.0, transform=bottom, zorder=2, gid="untrusted")
    ax.scatter([], [], s=24, facecolors=(0, 0, 0, 0), edgecolors="black", linewidths=1.0,
               label=untrusted_label())


def plain_degrees(axis):
    """Tick labels of an angle axis as plain degrees: a narrow range of
    angles would otherwise read as small offsets from a number put aside."""
    from matplotlib.ticker import ScalarFormatter

    formatter = ScalarFormatter(useOffset=False)
    formatter.set_scientific(False)
    axis.set_major_formatter(formatter)


def plot_series(series, ax=None):
    """ratio against alpha, one colour per end; tests without a ratio (they
    could not be best) as crosses along the bottom; untrusted tests (the run
    warned that their total energy changed by more than 1 %) hollow, in
    their end's colour (along the bottom without a ratio); each test whose
    ratio was the lowest so far ringed, the best of the series starred. The
    angles read as plain degrees, without an offset. Returns the axes."""
    if ax is None:
        import matplotlib.pyplot as plt

        _, ax = plt.subplots(figsize=(8, 4.5))
    c = series._columns
    alpha, ratio, ends = c["alpha"], c["ratio"], c["end"]
    none = np.isnan(ratio)
    trusted = series._trusted
    bottom = ax.get_xaxis_transform()  # x in degrees, y in axes fractions
    for code, name in enumerate(_table.END_NAMES):
        mask = (ends == code) & trusted
        colour = END_COLOURS[name]
        if (mask & ~none).any():
            ax.scatter(alpha[mask & ~none], ratio[mask & ~none], s=16, color=colour, label=name,
                       zorder=2)
        if (mask & none).any():
            ax.scatter(alpha[mask & none], np.full((mask & none).sum(), 0.03), s=22, marker="x",
                       color=colour, transform=bottom, label=f"{name}, no ratio", zorder=2)
    _plot_untrusted(ax, alpha, ratio, ends, ~trusted, bottom)
    best = c["best"]
    if best.any():
        ax.scatter(alpha[best], ratio[best], s=70, facecolors=(0, 0, 0, 0), edgecolors="black",
                   linewidths=0.8, label="lowest speed / escape speed so far", zorder=3)
        last = np.flatnonzero(best)[-1]
        ax.scatter(alpha[last], ratio[last], s=160, marker="*", color="gold",
                   edgecolors="black", linewidths=0.6, label="best of the series", zorder=4)
    if (~none).any() and np.nanmin(ratio) <= 1 <= np.nanmax(ratio):
        ax.axhline(1.0, color="gray", linestyle=":", linewidth=1, zorder=1)  # escape
    ax.set_xlabel("start angle alpha (degrees)")
    plain_degrees(ax.xaxis)
    ax.set_ylabel("speed / escape speed (ratio)")
    m = series.meta
    ax.set_title(f"scenario {m.get('scenario', '?')}, {m.get('integrator', '')}: "
                 f"{len(series)} tests")
    ax.legend(title="end", fontsize="small", loc="best")
    return ax
