#!/usr/bin/python3
"""Reference interpolators for bench_interpolation_accuracy.

Reads the survey points (x,y,value) and the query cells (x,y) as CSV,
writes one column per method (value or empty where a method gives none):
Delaunay-linear, thin-plate RBF (30 neighbours) and ordinary kriging
(exponential variogram fitted to the points, 30 neighbours).
"""
import sys

import numpy as np
from scipy.interpolate import LinearNDInterpolator, RBFInterpolator
from scipy.optimize import curve_fit
from scipy.spatial import cKDTree


def read(path):
    return np.loadtxt(path, delimiter=",", ndmin=2)


def exponential(h, nugget, sill, rng):
    return nugget + sill * (1.0 - np.exp(-h / rng))


def kriging(xy, v, query, k=30):
    # Empirical semivariogram in 15 distance bins up to half the extent.
    d = np.sqrt(((xy[:, None, :] - xy[None, :, :]) ** 2).sum(-1))
    g = 0.5 * (v[:, None] - v[None, :]) ** 2
    iu = np.triu_indices(len(v), 1)
    d, g = d[iu], g[iu]
    top = d.max() / 2
    edges = np.linspace(0, top, 16)
    centres, gammas = [], []
    for lo, hi in zip(edges[:-1], edges[1:]):
        m = (d > lo) & (d <= hi)
        if m.sum() > 5:
            centres.append(d[m].mean())
            gammas.append(g[m].mean())
    centres, gammas = np.array(centres), np.array(gammas)
    p0 = [max(gammas.min(), 1e-3), max(gammas.max(), 1e-3), top / 3]
    try:
        (nugget, sill, rng), _ = curve_fit(exponential, centres, gammas, p0=p0,
                                           bounds=([0, 1e-6, 1e-3], [np.inf, np.inf, np.inf]), maxfev=20000)
    except RuntimeError:
        nugget, sill, rng = p0
    tree = cKDTree(xy)
    k = min(k, len(v))
    _, idx = tree.query(query, k=k)
    nb = xy[idx]                                   # (q, k, 2)
    dd = np.sqrt(((nb[:, :, None, :] - nb[:, None, :, :]) ** 2).sum(-1))
    a = np.ones((len(query), k + 1, k + 1))
    a[:, :k, :k] = exponential(dd, nugget, sill, rng)
    a[:, np.arange(k), np.arange(k)] = 0.0         # gamma(0) = 0
    a[:, k, k] = 0.0
    b = np.ones((len(query), k + 1))
    b[:, :k] = exponential(np.sqrt(((nb - query[:, None, :]) ** 2).sum(-1)), nugget, sill, rng)
    w = np.linalg.solve(a, b[..., None])[..., 0]
    return (w[:, :k] * v[idx]).sum(-1)


def main():
    points, cells, out = sys.argv[1], sys.argv[2], sys.argv[3]
    p = read(points)
    q = read(cells)
    xy, v = p[:, :2], p[:, 2]
    # Several visits of one spot: the mean, as the map takes it.
    uniq, inverse = np.unique(xy, axis=0, return_inverse=True)
    mean = np.bincount(inverse, weights=v) / np.bincount(inverse)
    linear = LinearNDInterpolator(uniq, mean)(q)
    rbf = RBFInterpolator(uniq, mean, neighbors=min(30, len(mean)), kernel="thin_plate_spline")(q)
    krig = kriging(uniq, mean, q)
    with open(out, "w") as f:
        for row in zip(linear, rbf, krig):
            f.write(",".join("" if np.isnan(x) else "%.4f" % x for x in row) + "\n")


if __name__ == "__main__":
    main()
