#!/usr/bin/python3
"""Reference standard-curve fits from SciPy's curve_fit, for the analysis tests.

Writes curve_fits.json beside this script: for each data set the standards
(concentration, response; responses rounded to the reader's 0.001), and for
each model and weighting the fitted parameters, R^2 and the concentrations
back-calculated from a few responses. Run with Debian's python3-scipy:
    /usr/bin/python3 tests/analysis/reference/make_curve_fits.py
"""
import json
import os

import numpy as np
import scipy
from scipy.optimize import curve_fit


def linear(x, intercept, slope):
    return intercept + slope * x


def four_pl(x, a, b, c, d):
    return d + (a - d) / (1 + (x / c) ** b)


def five_pl(x, a, b, c, d, g):
    return d + (a - d) / (1 + (x / c) ** b) ** g


def inverse(model, p, y):
    """The concentration whose response is y, or None beyond the curve."""
    if model == "linear":
        return (y - p["intercept"]) / p["slope"]
    g = p.get("g", 1.0)
    ratio = (p["a"] - p["d"]) / (y - p["d"])
    if ratio <= 0:
        return None
    power = ratio ** (1 / g) - 1
    if power <= 0:
        return None
    return p["c"] * power ** (1 / p["b"])


def starts(x, y, model):
    """Starting values read off the data: the extreme standards' means as
    asymptotes, the standard nearest halfway as midpoint, b = 1."""
    levels = sorted(set(x))
    means = [np.mean([yy for xx, yy in zip(x, y) if xx == lv]) for lv in levels]
    if model == "linear":
        return [means[0], (means[-1] - means[0]) / (levels[-1] - levels[0])]
    half = (means[0] + means[-1]) / 2
    positive = [(lv, m) for lv, m in zip(levels, means) if lv > 0]
    c = min(positive, key=lambda item: abs(item[1] - half))[0]
    p0 = [means[0], 1.0, c, means[-1]]
    return p0 + [1.0] if model == "5pl" else p0


FUNCTIONS = {"linear": linear, "4pl": four_pl, "5pl": five_pl}
NAMES = {"linear": ["intercept", "slope"], "4pl": ["a", "b", "c", "d"],
         "5pl": ["a", "b", "c", "d", "g"]}


def fit(x, y, model, weighting):
    x = np.asarray(x, float)
    y = np.asarray(y, float)
    sigma = {"none": None, "1/y": np.sqrt(y), "1/y2": y}[weighting]
    p, _ = curve_fit(FUNCTIONS[model], x, y, p0=starts(x, y, model), sigma=sigma,
                     method="lm", ftol=1e-15, xtol=1e-15, gtol=1e-15, maxfev=100000)
    p = list(p)
    if model == "4pl" and p[1] < 0:  # the mirror solution draws the same curve
        p = [p[3], -p[1], p[2], p[0]]
    w = np.ones_like(y) if sigma is None else 1 / sigma ** 2
    fitted = FUNCTIONS[model](x, *p)
    mean = np.sum(w * y) / np.sum(w)
    r2 = 1 - np.sum(w * (y - fitted) ** 2) / np.sum(w * (y - mean) ** 2)
    return dict(zip(NAMES[model], p)), float(r2)


def data_set(name, levels, replicates, truth, model, noise, seed, fits, probes):
    rng = np.random.RandomState(seed)
    x = [lv for lv in levels for _ in range(replicates)]
    clean = FUNCTIONS[model](np.asarray(x, float), *truth)
    y = clean + rng.normal(0, 1, len(x)) * (noise[0] + noise[1] * np.abs(clean))
    y = [round(float(v), 3) for v in y]
    out = {"name": name, "concentrations": x, "responses": y, "fits": []}
    for fit_model, weighting in fits:
        params, r2 = fit(x, y, fit_model, weighting)
        out["fits"].append({
            "model": fit_model, "weighting": weighting, "parameters": params, "r2": r2,
            "back_calculated": [{"response": r, "concentration": inverse(fit_model, params, r)}
                                for r in probes]})
    return out


def main():
    series = [0, 1.5625, 3.125, 6.25, 12.5, 25, 50, 100]
    sets = [
        data_set("linear protein assay", [0, 125, 250, 500, 750, 1000, 1500], 2,
                 [0.03, 0.00095], "linear", (0.004, 0.01), 11,
                 [("linear", "none"), ("linear", "1/y"), ("linear", "1/y2")],
                 [0.2, 1.0, 1.6]),
        data_set("rising elisa", series, 2, [0.05, 1.3, 20.0, 3.0], "4pl", (0.003, 0.01), 7,
                 [("4pl", "none"), ("4pl", "1/y"), ("4pl", "1/y2"), ("5pl", "none"),
                  ("linear", "none")],
                 [0.1, 0.5, 1.5, 2.5, 2.99, 3.5, 0.0]),
        data_set("falling competitive elisa", [0.5, 1, 2, 4, 8, 16, 32, 64, 128, 256], 3,
                 [2.5, 1.1, 15.0, 0.1], "4pl", (0.003, 0.01), 5,
                 [("4pl", "none"), ("4pl", "1/y2"), ("5pl", "none")],
                 [2.4, 1.3, 0.3, 0.05]),
        data_set("asymmetric", [0, 1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024], 2,
                 [0.04, 1.8, 30.0, 2.8, 0.45], "5pl", (0.002, 0.005), 3,
                 [("5pl", "none"), ("5pl", "1/y"), ("4pl", "none")],
                 [0.2, 1.0, 2.0, 2.7]),
    ]
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "curve_fits.json"), "w") as f:
        json.dump({"tool": "scipy.optimize.curve_fit (method lm), SciPy " + scipy.__version__,
                   "data_sets": sets}, f, indent=1)
        f.write("\n")


if __name__ == "__main__":
    main()
