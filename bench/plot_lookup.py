#!/usr/bin/env python3
"""Draws the cost of ds_find_type and ds_find_key against the number of loaded
schema modules, from the registry_<modules>.json results of one run.

usage: plot_lookup.py RESULTS_DIR OUT.png
"""

import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from report import LOOKUP_CASES, load_results  # noqa: E402

STYLES = {"ds_find_type": "-", "ds_find_key": "--", "ds_find_alarm": ":"}


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 64
    _, registry = load_results(argv[1])
    counts = sorted(registry)
    fig, ax = plt.subplots(figsize=(8, 5))
    for family, cases in LOOKUP_CASES.items():
        for case in cases:
            points = [(n, registry[n].get(f"{family}/{case}")) for n in counts]
            points = [(n, f.ns) for n, f in points if f is not None and not f.error]
            if points:
                ax.plot([p[0] for p in points], [p[1] for p in points], STYLES[family],
                        marker="o", label=f"{family} {case}")
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xticks(counts)
    ax.set_xticklabels([str(n) for n in counts])
    ax.set_xlabel("schema modules loaded (100 types, 10,000 key nodes each)")
    ax.set_ylabel("ns per lookup (median CPU time)")
    ax.set_title("libdstypes lookup cost against the number of modules")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend(fontsize=8)
    fig.tight_layout()
    fig.savefig(argv[2], dpi=100)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
