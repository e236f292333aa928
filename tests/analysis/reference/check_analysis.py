#!/usr/bin/python3
"""Checks platovix-cli's analysis against an independent fit.

Reads the JSON of `platovix-cli measure --layout ... --format json` (one
read) or of `platovix-cli analyse` (an array), refits each plate's standards
with SciPy's curve_fit (same model and weighting, the responses as the
analysis lists them) and compares the parameters and every back-calculated
concentration; exits 1 on a difference above 1e-4 relative.
    check_analysis.py RESULT.json
"""
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_curve_fits import fit, inverse  # noqa: E402

TOLERANCE = 1e-4


def close(ours, theirs):
    return abs(ours - theirs) <= TOLERANCE * abs(theirs)


def check(analysis, label):
    problems = []
    result_fit = analysis["fit"]
    if "parameters" not in result_fit:
        return [f"{label}: no fit: {result_fit.get('failure')}"]
    points = result_fit["residuals"]
    x = [p["concentration"] for p in points]
    y = [p["response"] for p in points]
    params, r2 = fit(x, y, result_fit["model"], result_fit["weighting"])
    for name, value in params.items():
        if not close(result_fit["parameters"][name], value):
            problems.append(f"{label}: {name} {result_fit['parameters'][name]} vs SciPy {value}")
    if not close(result_fit["r2"], r2):
        problems.append(f"{label}: r2 {result_fit['r2']} vs SciPy {r2}")
    checked = 0
    for group in analysis["groups"]:
        if group["role"] == "standard" or group["mean"] is None:
            continue
        expected = inverse(result_fit["model"], params, group["mean"])
        ours = group["concentration"]
        if expected is None or ours is None:
            if (expected is None) != (ours is None):
                problems.append(f"{label}: {group['name']}: {ours} vs SciPy {expected}")
            continue
        expected *= group.get("dilution", 1)
        checked += 1
        if not close(ours, expected):
            problems.append(f"{label}: {group['name']}: {ours} vs SciPy {expected}")
    print(f"{label}: {result_fit['model']} fit and {checked} concentrations agree with SciPy"
          if not problems else f"{label}: {len(problems)} differences")
    return problems


def main():
    with open(sys.argv[1]) as f:
        document = json.load(f)
    plates = document if isinstance(document, list) else [document]
    problems = []
    for i, plate in enumerate(plates):
        problems += check(plate["analysis"], plate.get("file", f"plate {i + 1}"))
    for problem in problems:
        print(problem, file=sys.stderr)
    sys.exit(1 if problems or not plates else 0)


if __name__ == "__main__":
    main()
