#!/usr/bin/env python3
"""Reads the JSON results of codec_bench and registry_bench and prints the
figures and the performance goals as Markdown tables, each goal a ratio of two
figures of the same run, with its verdict.

usage: report.py RESULTS_DIR

RESULTS_DIR holds codec.json and registry_<modules>.json, and may hold
load_<modules>_<run>.json. The exit status is
0 when every expected figure is there (whatever the goals say), 2 when a
figure is missing or a benchmark stopped with an error.
"""

import json
import os
import re
import statistics
import sys
from dataclasses import dataclass

# Types whose canonical text is held to the json-c floor: every built-in type
# of the codec run (the custom bitmap is measured but not held to it).
BUILTIN_LABELS = [
    "u32", "alarm_severity", "bool", "double", "string", "word", "ipv4-str", "ipv4",
    "macaddress", "ipv6", "uri-url", "uri-device", "uuid", "dnsname", "alarm", "interface",
]
CODEC_LABELS = BUILTIN_LABELS + ["bitmap4096"]
# Functions that must not allocate once warmed up.
NO_ALLOC_FAMILIES = ["ds_jo_value_is_valid", "ds_c_value_is_valid", "ds_jo_to_c"]
NO_ALLOC_LOOKUPS = ["ds_find_type", "ds_find_key", "ds_find_alarm"]
LOOKUP_CASES = {
    "ds_find_type": ["first_builtin", "last_builtin", "first", "last", "missing"],
    "ds_find_key": ["first", "last", "missing"],
    "ds_find_alarm": ["first", "last", "missing"],
}

VALID_VS_LIBYANG = 0.5
CANONICAL_VS_FLOOR = 1.0
C_TO_JO_VS_NEW_INT = 1.5
LAST_TYPE_VS_FIRST_BUILTIN = 2.0
LAST_KEY_VS_FIRST_KEY = 2.0
YANG_LEAF_VS_LIBYANG = 0.25
YANG_DOCUMENT_VS_LIBYANG = 0.5
# The C++ layer: a wrapped call against the plain C call, same allocations.
WRAPPED_VS_PLAIN = 1.10
CPP_CALLS = ["cpp_c_to_jo", "cpp_build_key"]
# Loading a module directory: the CPU time per module spent outside dlopen
# (directory, symbol lookups, records, indexes) with the most modules, against
# the fewest. dlopen's own time is shown but not held to it.
LOAD_REST_MOST_VS_FEWEST = 1.10
LOAD_PARTS = ["total", "in_dlopen", "rest"]

_UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


@dataclass
class Figure:
    ns: float            # CPU time per iteration, in nanoseconds
    allocs: float | None  # heap allocations per iteration, None when not counted
    error: str | None = None


@dataclass
class Goal:
    goal: str
    case: str
    ratio: float | None
    limit: float
    passed: bool | None  # None: not measured
    note: str = ""


def load_figures(path):
    """Figures of one Google Benchmark JSON file by benchmark name: the median
    of repetitions where there are aggregates, the single run otherwise."""
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    runs, medians = {}, {}
    for b in data.get("benchmarks", []):
        name = b.get("run_name", b["name"])
        if b.get("error_occurred"):
            runs[name] = Figure(0.0, None, b.get("error_message", "error"))
            continue
        figure = Figure(b["cpu_time"] * _UNIT_NS[b.get("time_unit", "ns")], b.get("allocs"))
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                medians[name] = figure
        elif name not in runs:
            runs[name] = figure
    runs.update(medians)
    return runs, data.get("context", {})


def load_results(results_dir):
    """The codec figures and the lookup figures by module count."""
    codec, _ = load_figures(os.path.join(results_dir, "codec.json"))
    registry = {}
    for entry in sorted(os.listdir(results_dir)):
        m = re.fullmatch(r"registry_(\d+)\.json", entry)
        if m:
            registry[int(m.group(1))] = load_figures(os.path.join(results_dir, entry))[0]
    return codec, registry


def _ratio(figures, num, den):
    a, b = figures.get(num), figures.get(den)
    if a is None or b is None or a.error or b.error or b.ns <= 0:
        return None
    return a.ns / b.ns


def _ratio_goal(goal, case, ratio, limit):
    if ratio is None:
        return Goal(goal, case, None, limit, None, "figure missing")
    return Goal(goal, case, ratio, limit, ratio <= limit)


def evaluate(codec, registry):
    """Every goal, one row per case it covers."""
    goals = []
    for label in CODEC_LABELS:
        if f"ly_value_validate/{label}" in codec:
            goals.append(_ratio_goal(
                "ds_jo_value_is_valid / lyd_value_validate", label,
                _ratio(codec, f"ds_jo_value_is_valid/{label}", f"ly_value_validate/{label}"),
                VALID_VS_LIBYANG))
    for label in BUILTIN_LABELS:
        goals.append(_ratio_goal(
            "ds_canonical_json / json-c floor", label,
            _ratio(codec, f"ds_canonical_json/{label}", f"jsonc_floor/{label}"),
            CANONICAL_VS_FLOOR))
    goals.append(_ratio_goal(
        "ds_c_to_jo / json_object_new_int64+put", "u32",
        _ratio(codec, "ds_c_to_jo/u32", "jsonc_new_int64/u32"), C_TO_JO_VS_NEW_INT))
    most = max(registry) if registry else None
    goals.append(_ratio_goal(
        "ds_find_type last of most modules / first built-in", f"{most} modules",
        _ratio(registry.get(most, {}), "ds_find_type/last", "ds_find_type/first_builtin"),
        LAST_TYPE_VS_FIRST_BUILTIN))
    for function in ("ds_find_key", "ds_find_alarm"):
        for case in ("last", "missing"):
            goals.append(_ratio_goal(
                f"{function} {case} of most modules / first key of the first", f"{most} modules",
                _ratio(registry.get(most, {}), f"{function}/{case}", "ds_find_key/first"),
                LAST_KEY_VS_FIRST_KEY))
    goals.extend(_allocation_goals(codec, registry))
    return goals


def _allocation_goals(codec, registry):
    calibration = codec.get("alloc_hook/malloc_free")
    counted = calibration is not None and calibration.allocs is not None
    if counted and round(calibration.allocs) != 1:
        counted = False
    rows = []
    for family in NO_ALLOC_FAMILIES:
        for label in CODEC_LABELS:
            rows.append((family, label, codec.get(f"{family}/{label}")))
    for modules, figures in sorted(registry.items()):
        for family in NO_ALLOC_LOOKUPS:
            for case in LOOKUP_CASES[family]:
                rows.append((family, f"{case}, {modules} modules",
                             figures.get(f"{family}/{case}")))
    goals = []
    for family, case, figure in rows:
        name = f"{family}: no allocation"
        if not counted:
            goals.append(Goal(name, case, None, 0, None, "allocation hook not calibrated"))
        elif figure is None or figure.error or figure.allocs is None:
            goals.append(Goal(name, case, None, 0, None, "figure missing"))
        else:
            goals.append(Goal(name, case, figure.allocs, 0, figure.allocs == 0))
    return goals


def missing_figures(codec, registry):
    """Names of expected figures that are absent or errored."""
    expected = ["alloc_hook/malloc_free", "jsonc_new_int64/u32", "ds_build_key/overview",
                "ds_key_field_c/overview", "ly_parse_document/all", "ly_print_document/all",
                "ds_canonical_json/document"]
    for family in ["ds_jo_value_is_valid", "ds_c_value_is_valid", "ds_jo_to_c", "ds_c_to_jo",
                   "ds_canonical_json", "jsonc_floor"]:
        expected += [f"{family}/{label}" for label in CODEC_LABELS]
    bad = [n for n in expected if n not in codec or codec[n].error]
    bad += [n for n in codec if codec[n].error and n not in bad]
    if not registry:
        bad.append("registry_<modules>.json")
    for modules, figures in sorted(registry.items()):
        for family, cases in LOOKUP_CASES.items():
            for case in cases:
                f = figures.get(f"{family}/{case}")
                if f is None or f.error:
                    bad.append(f"{family}/{case} ({modules} modules)")
    return bad


def _ns(figure):
    if figure is None:
        return "-"
    if figure.error:
        return "error"
    return f"{figure.ns:,.0f}" if figure.ns >= 100 else f"{figure.ns:.1f}"


def _allocs(figure):
    if figure is None or figure.allocs is None:
        return "-"
    return f"{figure.allocs:g}"


def _x(value):
    return "-" if value is None else f"{value:.2f}"


def render(codec, registry, goals):
    out = ["### Codec, ns per call (median CPU time)", "",
           "| type | jo_value_is_valid | lyd_value_validate | ratio | canonical_json "
           "| json-c floor | ratio | jo_to_c | c_to_jo | c_value_is_valid | allocs (valid / "
           "c_valid / jo_to_c / c_to_jo) |",
           "|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|---|"]
    for label in CODEC_LABELS:
        f = {fam: codec.get(f"{fam}/{label}") for fam in [
            "ds_jo_value_is_valid", "ly_value_validate", "ds_canonical_json", "jsonc_floor",
            "ds_jo_to_c", "ds_c_to_jo", "ds_c_value_is_valid"]}
        allocs = " / ".join(_allocs(f[fam]) for fam in [
            "ds_jo_value_is_valid", "ds_c_value_is_valid", "ds_jo_to_c", "ds_c_to_jo"])
        out.append(
            f"| {label} | {_ns(f['ds_jo_value_is_valid'])} | {_ns(f['ly_value_validate'])} "
            f"| {_x(_ratio(codec, f'ds_jo_value_is_valid/{label}', f'ly_value_validate/{label}'))} "
            f"| {_ns(f['ds_canonical_json'])} | {_ns(f['jsonc_floor'])} "
            f"| {_x(_ratio(codec, f'ds_canonical_json/{label}', f'jsonc_floor/{label}'))} "
            f"| {_ns(f['ds_jo_to_c'])} | {_ns(f['ds_c_to_jo'])} "
            f"| {_ns(f['ds_c_value_is_valid'])} | {allocs} |")
    out += ["", "### Documents, keys and baselines, ns per call", "",
            "| benchmark | ns | allocs |", "|---|--:|--:|"]
    for name in ["ds_canonical_json/document", "ly_parse_document/all", "ly_print_document/all",
                 "ds_build_key/overview", "ds_key_field_c/overview", "jsonc_new_int64/u32",
                 "alloc_hook/malloc_free"]:
        out.append(f"| {name} | {_ns(codec.get(name))} | {_allocs(codec.get(name))} |")
    counts = sorted(registry)
    out += ["", "### Lookups, ns per call by number of schema modules", "",
            "| lookup | " + " | ".join(f"{n} modules" for n in counts) + " | allocs |",
            "|---|" + "--:|" * len(counts) + "--:|"]
    for family, cases in LOOKUP_CASES.items():
        for case in cases:
            name = f"{family}/{case}"
            cells = [registry[n].get(name) for n in counts]
            allocs = max((c.allocs for c in cells if c and c.allocs is not None), default=None)
            out.append(f"| {name} | " + " | ".join(_ns(c) for c in cells)
                       + f" | {'-' if allocs is None else f'{allocs:g}'} |")
    out += ["", "### Goals", "", "| goal | case | measured | limit | verdict |",
            "|---|---|--:|--:|---|"]
    for g in goals:
        verdict = "not measured: " + g.note if g.passed is None else (
            "pass" if g.passed else "FAIL")
        if g.ratio is None:
            measured = "-"
        else:
            measured = f"{g.ratio:g}" if g.limit == 0 else f"{g.ratio:.2f}"
        out.append(f"| {g.goal} | {g.case} | {measured} | {g.limit:g} | {verdict} |")
    out += ["", "### Summary", "", "| goal | pass | fail | not measured |", "|---|--:|--:|--:|"]
    for name in dict.fromkeys(g.goal for g in goals):
        rows = [g for g in goals if g.goal == name]
        out.append(f"| {name} | {sum(g.passed is True for g in rows)} "
                   f"| {sum(g.passed is False for g in rows)} "
                   f"| {sum(g.passed is None for g in rows)} |")
    return "\n".join(out) + "\n"


def render_cpp(results_dir):
    """The C++ layer's table from cpp.json, and the names of its missing figures
    (none when the run left out cpp.json altogether)."""
    path = os.path.join(results_dir, "cpp.json")
    if not os.path.exists(path):
        return "", []
    figures = load_figures(path)[0]
    out = ["", "### C++ layer against the plain C call, ns per call", "",
           "| call | plain | wrapped | ratio | limit | allocs (plain / wrapped) | verdict |",
           "|---|--:|--:|--:|--:|---|---|"]
    bad = []
    for call in CPP_CALLS:
        plain, wrapped = figures.get(f"{call}/plain"), figures.get(f"{call}/wrapped")
        bad += [f"{call}/{v}" for v, f in (("plain", plain), ("wrapped", wrapped))
                if f is None or f.error]
        ratio = _ratio(figures, f"{call}/wrapped", f"{call}/plain")
        same_allocs = plain is not None and wrapped is not None and plain.allocs == wrapped.allocs
        verdict = "not measured" if ratio is None else (
            "pass" if ratio <= WRAPPED_VS_PLAIN and same_allocs else "FAIL")
        out.append(f"| {call} | {_ns(plain)} | {_ns(wrapped)} | {_x(ratio)} "
                   f"| {WRAPPED_VS_PLAIN:g} | {_allocs(plain)} / {_allocs(wrapped)} | {verdict} |")
    return "\n".join(out) + "\n", bad


def render_yang(results_dir):
    """The YANG workload against libyang, and the load time per module count;
    empty when the run had no YANG figures (no dsgen or no libyuma-base)."""
    path = os.path.join(results_dir, "yang.json")
    if not os.path.exists(path):
        return ""
    figures, _ = load_figures(path)
    out = ["", "### YANG workload (ietf-interfaces + ietf-ip, 1,000 interfaces)", "",
           "| goal | measured | limit | verdict |", "|---|--:|--:|---|"]
    for goal, num, den, limit in [
            ("per leaf: ds_find_key + ds_leaf_to_c / lyd_new_path",
             "yang_leaf/dstypes_find_key_leaf_to_c", "yang_leaf/libyang_lyd_new_path",
             YANG_LEAF_VS_LIBYANG),
            ("per document: canonical text of every leaf / lyd_parse_data_mem + lyd_print_mem",
             "yang_document/dstypes_canonical_every_leaf", "yang_document/libyang_parse_print",
             YANG_DOCUMENT_VS_LIBYANG)]:
        ratio = _ratio(figures, num, den)
        verdict = "not measured" if ratio is None else ("pass" if ratio <= limit else "FAIL")
        shown = "-" if ratio is None else _x(ratio)
        out.append(f"| {goal} | {shown} | {limit:g} | {verdict} |")
    loads = []
    for name in sorted(os.listdir(results_dir)):
        m = re.fullmatch(r"yang_load_(\d+)\.json", name)
        if m:
            # Manual time: the wall time of the first lookup, measured once.
            with open(os.path.join(results_dir, name), encoding="utf-8") as f:
                for b in json.load(f).get("benchmarks", []):
                    if b["name"].startswith("yang_load/"):
                        ns = b["real_time"] * _UNIT_NS[b.get("time_unit", "ns")]
                        loads.append((int(m.group(1)), ns / 1e6))
    if loads:
        out += ["", "| modules loaded | first lookup (ms) |", "|--:|--:|"]
        out += [f"| {n} | {ms:.2f} |" for n, ms in sorted(loads)]
    return "\n".join(out) + "\n"


DOC_SPLIT_VS_LIBYANG = 0.25
DOC_JOIN_VS_LIBYANG = 0.5
DOC_ROWS = ["doc_split/dstypes_split", "doc_split/libyang_parse", "doc_join/dstypes_join",
            "doc_join/dstypes_print", "doc_join/libyang_print"]
# The same two goals measured in alternation, the median of per-round ratios.
DOC_PAIRED_ROWS = [
    ("split / parse, paired rounds", "doc_paired/split_vs_parse/manual_time", DOC_SPLIT_VS_LIBYANG),
    ("join / print, paired rounds", "doc_paired/join_vs_print/manual_time", DOC_JOIN_VS_LIBYANG)]
DOC_MEMORY_ROWS = ["doc_memory/dstypes_split_big", "doc_memory/dstypes_split_1000",
                   "doc_memory/libyang_parse_1000"]


def _counter(path, name, counter):
    """A counter of the named benchmark: the median where there are
    aggregates, the single run otherwise; None when it is missing."""
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    found = None
    for b in data.get("benchmarks", []):
        if b.get("run_name", b["name"]).split("/iterations:")[0] != name or b.get("error_occurred"):
            continue
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        if counter in b and (found is None or b.get("run_type") == "aggregate"):
            found = b[counter]
    return found


def render_doc(results_dir):
    """The document workload against libyang and the split's peak heap, and
    the names of its missing figures (none when the run had no doc.json)."""
    path = os.path.join(results_dir, "doc.json")
    if not os.path.exists(path):
        return "", []
    figures = load_figures(path)[0]
    bad = [r for r in DOC_ROWS if figures.get(r) is None or figures[r].error]
    out = ["", "### Documents (ietf-interfaces + ietf-ip, 1,000 interfaces), ms per document", "",
           "| benchmark | ms | allocs |", "|---|--:|--:|"]
    out += [f"| {r} | {_ms(figures.get(r))} | {_count(figures.get(r))} |" for r in DOC_ROWS]
    out += ["", "| goal | measured | limit | verdict |", "|---|--:|--:|---|"]
    for goal, num, den, limit in [
            ("ds_doc_split / lyd_parse_data_mem", DOC_ROWS[0], DOC_ROWS[1], DOC_SPLIT_VS_LIBYANG),
            ("ds_doc_join_new + add + print / lyd_print_mem", DOC_ROWS[2], DOC_ROWS[4],
             DOC_JOIN_VS_LIBYANG)]:
        ratio = _ratio(figures, num, den)
        verdict = "not measured" if ratio is None else ("pass" if ratio <= limit else "FAIL")
        out.append(f"| {goal} | {'-' if ratio is None else _x(ratio)} | {limit:g} | {verdict} |")
    for goal, row, limit in DOC_PAIRED_ROWS:
        ratio = _counter(path, row, "ratio")
        verdict = "not measured" if ratio is None else ("pass" if ratio <= limit else "FAIL")
        out.append(f"| {goal} | {'-' if ratio is None else _x(ratio)} | {limit:g} | {verdict} |")
    out += ["", "| peak heap | text bytes | peak heap bytes | peak / text |", "|---|--:|--:|--:|"]
    for row in DOC_MEMORY_ROWS:
        text, peak = _counter(path, row, "text_bytes"), _counter(path, row, "peak_heap_bytes")
        if text is None or peak is None:
            bad.append(row)
            continue
        out.append(f"| {row} | {text:,.0f} | {peak:,.0f} | {peak / text:.4f} |")
    return "\n".join(out) + "\n", bad


def _count(figure):
    return "-" if figure is None or figure.allocs is None else f"{figure.allocs:,.0f}"


def _ms(figure):
    return "-" if figure is None or figure.error else f"{figure.ns / 1e6:.2f}"


def _us(figure):
    if figure is None or figure.error:
        return "-"
    return f"{figure.ns / 1e3:,.1f}" if figure.ns >= 1e4 else f"{figure.ns / 1e3:.3f}"


# Refusing long texts: each built-in string type, by character class, beside
# strlen over the same bytes; the converted address types are shown too.
LONG_STRING_TYPES = ["string", "word", "ipv4-str", "dnsname", "macaddress-str", "ipv6-str",
                     "uri", "uuid"]
LONG_CONVERTED_TYPES = ["ipv4", "macaddress", "ipv6"]
LONG_CLASSES = ["hex-a", "digit-1", "hex-F", "colon", "dot", "hyphen", "slash", "percent"]
LONG_VS_STRLEN = 2.0


def render_long_texts(codec):
    """The long-text table and goals, and the names of its missing figures."""
    figures = {re.sub(r"/min_time:[0-9.]+$", "", n): f for n, f in codec.items()}
    out = ["", "### Refusing a long text (ds_jo_value_is_valid), us per call", "",
           "| type | " + " | ".join(f"1 MiB {c}" for c in LONG_CLASSES) + " | 100 MB |",
           "|---|" + "--:|" * (len(LONG_CLASSES) + 1)]
    bad = [n for n in ("strlen/1MiB", "strlen/100MB") if n not in figures or figures[n].error]
    goals = []
    for t in LONG_STRING_TYPES + LONG_CONVERTED_TYPES:
        names = [f"ds_jo_value_is_valid/1MiB/{t}/{c}" for c in LONG_CLASSES]
        names.append(f"ds_jo_value_is_valid/100MB/{t}")
        bad += [n for n in names if n not in figures or figures[n].error]
        cells = [figures.get(n) for n in names]
        out.append(f"| {t} | " + " | ".join(_us(f) for f in cells) + " |")
        if t not in LONG_STRING_TYPES:
            continue
        worst = max((n for n in names[:-1] if n in figures and not figures[n].error),
                    key=lambda n: figures[n].ns, default=None)
        goals.append(_ratio_goal("refusing 1 MiB, worst class / strlen of it", t,
                                 _ratio(figures, worst, "strlen/1MiB") if worst else None,
                                 LONG_VS_STRLEN))
        goals.append(_ratio_goal("refusing 100 MB / strlen of it", t,
                                 _ratio(figures, names[-1], "strlen/100MB"), LONG_VS_STRLEN))
    out += ["", f"strlen: {_ns(figures.get('strlen/1MiB'))} ns for 1 MiB, "
            f"{_ns(figures.get('strlen/100MB'))} ns for 100 MB.", "",
            "| goal | case | measured | limit | verdict |", "|---|---|--:|--:|---|"]
    for g in goals:
        verdict = "not measured: " + g.note if g.passed is None else (
            "pass" if g.passed else "FAIL")
        out.append(f"| {g.goal} | {g.case} | {_x(g.ratio)} | {g.limit:g} | {verdict} |")
    return "\n".join(out) + "\n", bad

def load_loads(results_dir):
    """The loading figures: per module count and part, the CPU time per module
    (ns) of each run; and the names of figures that are missing or errored."""
    loads, bad = {}, []
    for entry in sorted(os.listdir(results_dir)):
        m = re.fullmatch(r"load_(\d+)_\d+\.json", entry)
        if not m:
            continue
        modules = int(m.group(1))
        with open(os.path.join(results_dir, entry), encoding="utf-8") as f:
            benchmarks = json.load(f).get("benchmarks", [])
        for part in LOAD_PARTS:
            name = f"load_per_module/{part}"
            found = [b for b in benchmarks if b["name"].split("/iterations")[0] == name]
            if not found or found[0].get("error_occurred"):
                bad.append(f"{name} ({entry})")
                continue
            # Manual time: the CPU time of the loading lookup per module.
            ns = found[0]["real_time"] * _UNIT_NS[found[0].get("time_unit", "ns")]
            loads.setdefault(modules, {}).setdefault(part, []).append(ns)
    return loads, bad


def _load_median(loads, modules, part):
    runs = loads.get(modules, {}).get(part)
    return statistics.median(runs) if runs else None


def load_goals(loads):
    """The loading goal: the part outside dlopen, most modules / fewest."""
    if len(loads) < 2:
        return []
    fewest, most = min(loads), max(loads)
    num, den = _load_median(loads, most, "rest"), _load_median(loads, fewest, "rest")
    ratio = num / den if num is not None and den else None
    return [_ratio_goal("load per module outside dlopen, most / fewest modules",
                        f"{most} / {fewest} modules", ratio, LOAD_REST_MOST_VS_FEWEST)]


def render_load(loads):
    """The loading table: CPU time per module by module count, and the ratio
    of the most modules to the fewest."""
    if not loads:
        return ""
    runs = max(len(parts.get("total", [])) for parts in loads.values())
    of_runs = "one run" if runs == 1 else f"median of {runs} runs"
    out = ["", f"### Loading the module directory, CPU time per module in µs ({of_runs})", "",
           "| modules | total | inside dlopen | outside dlopen |", "|--:|--:|--:|--:|"]
    cells = {n: [_load_median(loads, n, part) for part in LOAD_PARTS] for n in sorted(loads)}
    for n, values in cells.items():
        out.append(f"| {n} | " + " | ".join("-" if v is None else f"{v / 1e3:.1f}" for v in values)
                   + " |")
    if len(loads) >= 2:
        fewest, most = min(loads), max(loads)
        ratios = [None if a is None or not b else a / b
                  for a, b in zip(cells[most], cells[fewest])]
        out.append(f"| {most} / {fewest} | " + " | ".join(_x(r) for r in ratios) + " |")
    return "\n".join(out) + "\n"


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 64
    codec, registry = load_results(argv[1])
    loads, load_bad = load_loads(argv[1])
    goals = evaluate(codec, registry) + load_goals(loads)
    sys.stdout.write(render(codec, registry, goals))
    bad = missing_figures(codec, registry) + load_bad
    cpp_table, cpp_bad = render_cpp(argv[1])
    sys.stdout.write(cpp_table)
    bad += cpp_bad
    sys.stdout.write(render_yang(argv[1]))
    doc_table, doc_bad = render_doc(argv[1])
    sys.stdout.write(doc_table)
    bad += doc_bad
    long_table, long_bad = render_long_texts(codec)
    sys.stdout.write(long_table)
    bad += long_bad
    sys.stdout.write(render_load(loads))
    if bad:
        print("\nmissing or failed figures: " + ", ".join(bad), file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
