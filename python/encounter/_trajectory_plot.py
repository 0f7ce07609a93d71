"""The plot of a trajectory: the paths of the three bodies, one colour each,
with the closest approaches, absorptions and the end marked."""

import numpy as np

BODY_COLOURS = ("tab:pink", "tab:green", "tab:blue")
EVENT_STYLE = {"closest-approach": ("o", "orange"), "absorption": ("X", "red"),
               "end": ("s", "black")}


def _paths(ax, t, xs, ys, label_suffix=""):
    c = t._c
    for k in range(3):
        alive = c[f"m{k + 1}_kg"] > 0
        ax.plot(np.where(alive, xs[k], np.nan), np.where(alive, ys[k], np.nan),
                color=BODY_COLOURS[k], linewidth=0.9, label=f"body {k + 1}{label_suffix}")
    bits = c["events"]
    from ._trajectory import EVENT_BITS

    for name, bit in EVENT_BITS.items():
        mask = (bits & bit) != 0
        if mask.any():
            marker, colour = EVENT_STYLE[name]
            ax.scatter(xs[2][mask], ys[2][mask], marker=marker, color=colour, s=28, zorder=3,
                       label=name if name != "end" else f"end: {t.end}")


def plot_trajectory(t, views=False, ax=None):
    import matplotlib.pyplot as plt

    c = t._c
    xs = [c[f"x{k}"] for k in (1, 2, 3)]
    ys = [c[f"y{k}"] for k in (1, 2, 3)]
    if views:
        fig, axes = plt.subplots(1, 3, figsize=(15, 5)) if ax is None else (None, ax)
    else:
        if ax is None:
            _, ax = plt.subplots(figsize=(6.5, 6))
        axes = [ax]
    title = f"scenario {t.scenario}, alpha {t.alpha:g} degrees, {t.integrator}"
    _paths(axes[0], t, xs, ys)
    axes[0].set_title(title if not views else "the whole system")
    if views:
        # Seen from body 3: the offsets of the others from it.
        rx = [x - xs[2] for x in xs]
        ry = [y - ys[2] for y in ys]
        _paths(axes[1], t, rx, ry)
        axes[1].set_title("seen from body 3")
        # Around body 3's nearest point to the pair's centre, enlarged.
        r = np.hypot(xs[2], ys[2])
        i = int(np.nanargmin(r))
        half = max(float(np.nanmax(np.hypot(xs[0] - xs[1], ys[0] - ys[1]))), 1e-12)
        _paths(axes[2], t, xs, ys)
        axes[2].set_xlim(xs[2][i] - half, xs[2][i] + half)
        axes[2].set_ylim(ys[2][i] - half, ys[2][i] + half)
        axes[2].set_title("near body 3's closest point, enlarged")
        if fig is not None:
            fig.suptitle(title)
    for a in axes:
        a.set_aspect("equal", adjustable="datalim" if a is not axes[-1] or not views else "box")
        a.set_xlabel(f"x ({t.unit})")
        a.set_ylabel(f"y ({t.unit})")
    axes[0].legend(fontsize="small", loc="best")
    return list(axes) if views else axes[0]
