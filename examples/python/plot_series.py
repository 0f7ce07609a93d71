#!/usr/bin/env python3
"""Runs scenario 2 over the start angles 0 to 180 degrees, plots how fast
each encounter left body 3 against the start angle, and saves the figure.

    PYTHONPATH=build/python python3 examples/python/plot_series.py [FIGURE.png]
"""

import sys

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt

import encounter


def main(figure="series-2.png"):
    s = encounter.series(2, end=180, dalpha=5, progress=False)
    best = s.df[s.df["best"]].iloc[-1]
    print(f"{len(s)} tests; the best at alpha = {best['alpha']:g} degrees: "
          f"speed / escape speed {best['ratio']:.4f}")
    counts = s.df["end"].value_counts()
    print(counts[counts > 0].to_string())

    fig, (left, right) = plt.subplots(1, 2, figsize=(13, 4.8), width_ratios=[3, 2])
    s.plot(ax=left)
    right.imshow(s.picture())
    right.set_title("trajectories of the series")
    right.set_axis_off()
    fig.tight_layout()
    fig.savefig(figure, dpi=100)
    print(f"saved {figure}")


if __name__ == "__main__":
    main(*sys.argv[1:2])
