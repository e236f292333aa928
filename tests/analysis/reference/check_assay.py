#!/usr/bin/python3
"""Checks an assay's figures in platovix-cli's JSON against an independent
computation: the curve refitted with SciPy (numpy's polyfit for the
quadratic), each standard level's mean response back-calculated, its
recovery, the LLOQ and ULOQ under the assay's limits, and the standards
rule's count. Exits 1 on a difference.
    check_assay.py ASSAY.json RESULT.json
"""
import json
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_curve_fits import fit, inverse  # noqa: E402

TOLERANCE = 1e-4


def close(ours, theirs):
    return abs(ours - theirs) <= TOLERANCE * max(abs(theirs), 1e-9)


def refit(model, x, y):
    if model != "quadratic":
        return fit(x, y, model, "none")[0]
    c, b, a = np.polyfit(np.asarray(x, float), np.asarray(y, float), 2)
    return {"a": a, "b": b, "c": c}


def back_calculate(model, p, y, levels):
    if model != "quadratic":
        return inverse(model, p, y)
    roots = np.roots([p["c"], p["b"], p["a"] - y])
    real = [r.real for r in roots if abs(r.imag) < 1e-12 and r.real >= 0]
    if not real:
        return None
    middle = (min(levels) + max(levels)) / 2
    return min(real, key=lambda r: abs(r - middle))


def check(analysis, qc_rules, label):
    problems = []
    model = analysis["fit"]["model"]
    points = analysis["fit"]["residuals"]
    x = [pt["concentration"] for pt in points]
    y = [pt["response"] for pt in points]
    params = refit(model, x, y)
    levels = sorted(set(v for v in x if v > 0))
    inner = qc_rules.get("recoveryPercent", 20)
    ends = qc_rules.get("recoveryPercentAtEnds", inner)
    passing = []
    standards = {g["nominal"]: g for g in analysis["groups"] if g["role"] == "standard"}
    for i, level in enumerate(levels):
        mean = np.mean([yy for xx, yy in zip(x, y) if xx == level])
        theirs = back_calculate(model, params, mean, levels)
        group = standards[level]
        recovery = 100 * theirs / level
        if not close(group["backCalculated"], theirs):
            problems.append(f"{label}: {level}: back-calculated {group['backCalculated']} "
                            f"vs {theirs}")
        if not close(group["recovery"], recovery):
            problems.append(f"{label}: {level}: recovery {group['recovery']} vs {recovery}")
        limit = ends if i in (0, len(levels) - 1) else inner
        if abs(recovery - 100) <= limit:
            passing.append(level)
    lloq = min(passing) if passing else None
    uloq = max(passing) if passing else None
    if analysis["lloq"] != lloq or analysis["uloq"] != uloq:
        problems.append(f"{label}: LLOQ/ULOQ {analysis['lloq']}/{analysis['uloq']} "
                        f"vs {lloq}/{uloq}")
    rule = [r for r in analysis["qc"]["rules"] if r["rule"] == "standards"][0]
    if not rule["detail"].startswith(f"Standards: {len(passing)} of {len(levels)} levels"):
        problems.append(f"{label}: {rule['detail']} vs {len(passing)} of {len(levels)}")
    print(f"{label}: {model}, {len(levels)} levels, LLOQ {lloq}, ULOQ {uloq}, "
          f"verdict {analysis['qc']['verdict']}" if not problems else
          f"{label}: {len(problems)} differences")
    return problems


def main():
    with open(sys.argv[1]) as f:
        qc_rules = json.load(f).get("qc", {})
    with open(sys.argv[2]) as f:
        document = json.load(f)
    plates = document if isinstance(document, list) else [document]
    problems = []
    for i, plate in enumerate(plates):
        problems += check(plate["analysis"], qc_rules, plate.get("file", f"plate {i + 1}"))
    for problem in problems:
        print(problem, file=sys.stderr)
    sys.exit(1 if problems or not plates else 0)


if __name__ == "__main__":
    main()
