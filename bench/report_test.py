#!/usr/bin/env python3
"""Checks the rules by which report.py turns benchmark results into verdicts:
which figure it takes from a run, how it converts units, where a ratio passes
or fails, and when it refuses to judge the allocation goals."""

import io
import json
import os
import sys
import tempfile
import unittest
from contextlib import redirect_stderr, redirect_stdout

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import report  # noqa: E402


def run(name, ns, allocs=None, unit="ns", **extra):
    entry = {"name": name, "run_name": name, "run_type": "iteration", "cpu_time": ns,
             "real_time": ns, "time_unit": unit, **extra}
    if allocs is not None:
        entry["allocs"] = allocs
    return entry


def complete_codec(overrides=None):
    """A codec run with every expected figure at 100 ns, no allocation in the
    validators and a calibrated hook; overrides replace entries by name."""
    entries = {e["name"]: e for e in [
        run("alloc_hook/malloc_free", 10, 1), run("jsonc_new_int64/u32", 100, 1),
        run("ds_build_key/overview", 100), run("ds_key_field_c/overview", 100),
        run("ly_parse_document/all", 100), run("ly_print_document/all", 100),
        run("ds_canonical_json/document", 100)]}
    for label in report.CODEC_LABELS:
        for family in ["ds_jo_value_is_valid", "ds_c_value_is_valid", "ds_jo_to_c"]:
            entries[f"{family}/{label}"] = run(f"{family}/{label}", 10, 0)
        for family in ["ds_c_to_jo", "ds_canonical_json", "jsonc_floor"]:
            entries[f"{family}/{label}"] = run(f"{family}/{label}", 100, 1)
    entries["ly_value_validate/u32"] = run("ly_value_validate/u32", 100, 2)
    # Long texts carry their minimum time in their names, as the run writes them.
    long_names = ["strlen/1MiB", "strlen/100MB"]
    for t in report.LONG_STRING_TYPES + report.LONG_CONVERTED_TYPES:
        long_names += [f"ds_jo_value_is_valid/1MiB/{t}/{c}" for c in report.LONG_CLASSES]
        long_names.append(f"ds_jo_value_is_valid/100MB/{t}")
    for name in long_names:
        entries[name] = run(name + "/min_time:0.020", 10, unit="us")
    for e in overrides or []:
        entries[e["name"]] = e
    return list(entries.values())


def complete_registry(overrides=None):
    entries = {}
    for family, cases in report.LOOKUP_CASES.items():
        for case in cases:
            entries[f"{family}/{case}"] = run(f"{family}/{case}", 10, 0)
    for e in overrides or []:
        entries[e["name"]] = e
    return list(entries.values())


class Results:
    """A results directory written from benchmark entries."""

    def __init__(self, test, codec, registry):
        self.dir = tempfile.TemporaryDirectory()
        test.addCleanup(self.dir.cleanup)
        self._write("codec.json", codec)
        for modules, entries in registry.items():
            self._write(f"registry_{modules}.json", entries)

    def _write(self, name, entries):
        with open(os.path.join(self.dir.name, name), "w", encoding="utf-8") as f:
            json.dump({"context": {}, "benchmarks": entries}, f)

    def goals(self):
        return report.evaluate(*report.load_results(self.dir.name))

    def verdict(self, goal_prefix, case):
        matches = [g for g in self.goals() if g.goal.startswith(goal_prefix) and g.case == case]
        assert len(matches) == 1, (goal_prefix, case, matches)
        return matches[0]

    def main(self):
        with redirect_stdout(io.StringIO()) as out, redirect_stderr(io.StringIO()) as err:
            status = report.main(["report.py", self.dir.name])
        return status, out.getvalue(), err.getvalue()


class FigureChoice(unittest.TestCase):
    def test_median_of_repetitions_wins_over_single_runs(self):
        entries = [run("ds_jo_to_c/u32", 50)]
        for agg, ns in [("mean", 40), ("median", 30), ("stddev", 1)]:
            entries.append(run("ds_jo_to_c/u32_" + agg, ns, run_name="ds_jo_to_c/u32",
                               run_type="aggregate", aggregate_name=agg))
        with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
            json.dump({"benchmarks": entries}, f)
        try:
            figures, _ = report.load_figures(f.name)
        finally:
            os.unlink(f.name)
        self.assertEqual(figures["ds_jo_to_c/u32"].ns, 30)

    def test_time_units_become_nanoseconds(self):
        for unit, value, ns in [("ns", 7, 7), ("us", 1.5, 1500), ("ms", 2, 2e6), ("s", 1, 1e9)]:
            with self.subTest(unit=unit):
                r = Results(self, complete_codec([run("ds_build_key/overview", value, unit=unit)]),
                            {1: complete_registry()})
                codec, _ = report.load_results(r.dir.name)
                self.assertAlmostEqual(codec["ds_build_key/overview"].ns, ns)


class RatioGoals(unittest.TestCase):
    # (goal prefix, case, numerator entry, denominator entry, registry?, passes)
    CASES = [
        ("ds_jo_value_is_valid / lyd", "u32", ("ds_jo_value_is_valid/u32", 50),
         ("ly_value_validate/u32", 100), False, True),
        ("ds_jo_value_is_valid / lyd", "u32", ("ds_jo_value_is_valid/u32", 51),
         ("ly_value_validate/u32", 100), False, False),
        ("ds_canonical_json / json-c", "uri-url", ("ds_canonical_json/uri-url", 100),
         ("jsonc_floor/uri-url", 100), False, True),
        ("ds_canonical_json / json-c", "uri-url", ("ds_canonical_json/uri-url", 101),
         ("jsonc_floor/uri-url", 100), False, False),
        ("ds_c_to_jo", "u32", ("ds_c_to_jo/u32", 150), ("jsonc_new_int64/u32", 100), False,
         True),
        ("ds_c_to_jo", "u32", ("ds_c_to_jo/u32", 151), ("jsonc_new_int64/u32", 100), False,
         False),
        ("ds_find_type last", "100 modules", ("ds_find_type/last", 20),
         ("ds_find_type/first_builtin", 10), True, True),
        ("ds_find_type last", "100 modules", ("ds_find_type/last", 21),
         ("ds_find_type/first_builtin", 10), True, False),
    ]

    def test_ratio_at_the_limit_passes_and_above_fails(self):
        for prefix, case, num, den, lookup, passes in self.CASES:
            with self.subTest(prefix=prefix, num=num):
                entries = [run(num[0], num[1], 0), run(den[0], den[1], 0)]
                if lookup:
                    r = Results(self, complete_codec(), {1: complete_registry(),
                                                   100: complete_registry(entries)})
                else:
                    r = Results(self, complete_codec(entries), {1: complete_registry()})
                self.assertIs(r.verdict(prefix, case).passed, passes)

    def test_types_without_libyang_counterpart_are_not_held_to_it(self):
        r = Results(self, complete_codec(), {1: complete_registry()})
        cases = [g.case for g in r.goals() if g.goal.startswith("ds_jo_value_is_valid / lyd")]
        self.assertEqual(cases, ["u32"])

    def test_custom_bitmap_is_not_held_to_the_floor(self):
        r = Results(self, complete_codec(), {1: complete_registry()})
        cases = [g.case for g in r.goals() if g.goal.startswith("ds_canonical_json / json-c")]
        self.assertNotIn("bitmap4096", cases)
        self.assertEqual(len(cases), 16)

    def test_lookup_goal_uses_the_largest_module_count(self):
        slow_small = complete_registry([run("ds_find_type/last", 100, 0)])
        r = Results(self, complete_codec(), {1: slow_small, 100: complete_registry()})
        goal = r.verdict("ds_find_type last", "100 modules")
        self.assertEqual(goal.ratio, 1.0)


class AllocationGoals(unittest.TestCase):
    def test_verdicts(self):
        # (codec overrides, case, expected passed)
        cases = [
            ([], "u32", True),
            ([run("ds_jo_to_c/u32", 10, 0.001)], "u32", False),
            ([run("alloc_hook/malloc_free", 10, 0)], "u32", None),  # hook counts nothing
            ([run("alloc_hook/malloc_free", 10, 2)], "u32", None),  # hook counts twice
            ([run("alloc_hook/malloc_free", 10)], "u32", None),     # sanitizer build
            ([run("ds_jo_to_c/u32", 10)], "u32", None),             # counter absent
        ]
        for overrides, case, expected in cases:
            with self.subTest(overrides=overrides):
                r = Results(self, complete_codec(overrides), {1: complete_registry()})
                goal = [g for g in r.goals()
                        if g.goal == "ds_jo_to_c: no allocation" and g.case == case][0]
                self.assertIs(goal.passed, expected)

    def test_lookups_are_judged_per_module_count(self):
        registry = {1: complete_registry(),
                    100: complete_registry([run("ds_find_key/missing", 10, 1)])}
        r = Results(self, complete_codec(), registry)
        failed = [g.case for g in r.goals() if g.passed is False]
        self.assertEqual(failed, ["missing, 100 modules"])


class LongTextGoals(unittest.TestCase):
    def test_the_worst_class_is_held_to_strlen(self):
        for ns, verdict in [(20, "2.00 | 2 | pass"), (21, "2.10 | 2 | FAIL")]:
            with self.subTest(ns=ns):
                codec = {e["name"]: report.Figure(e["cpu_time"] * 1e3, None)
                         for e in complete_codec()}
                codec["ds_jo_value_is_valid/1MiB/uri/percent/min_time:0.020"] = \
                    report.Figure(ns * 1e3, None)
                table, bad = report.render_long_texts(codec)
                self.assertEqual(bad, [])
                self.assertIn(f"| refusing 1 MiB, worst class / strlen of it | uri | {verdict} |",
                              table)

class LoadGoal(unittest.TestCase):
    def write_loads(self, runs):
        """runs: (modules, run, rest ns, error?) per file."""
        d = tempfile.TemporaryDirectory()
        self.addCleanup(d.cleanup)
        for modules, i, rest, error in runs:
            entries = [run(f"load_per_module/{part}/iterations:1/manual_time", ns)
                       for part, ns in [("total", 100), ("in_dlopen", 100 - rest), ("rest", rest)]]
            if error:
                entries[2].update(error_occurred=True, error_message="loaded 9 of 10 modules")
            with open(os.path.join(d.name, f"load_{modules}_{i}.json"), "w",
                      encoding="utf-8") as f:
                json.dump({"benchmarks": entries}, f)
        return report.load_loads(d.name)

    def test_median_rest_of_most_modules_against_fewest(self):
        # (runs, expected ratio, passes)
        cases = [
            ([(1000, 1, 10, False), (10000, 1, 11, False)], 1.1, True),
            ([(1000, 1, 10, False), (10000, 1, 11.1, False)], 1.11, False),
            # medians: 10 (of 9, 10, 30) and 10 (of 10, 12, 2); a middle count is ignored
            ([(1000, 1, 9, False), (1000, 2, 30, False), (1000, 3, 10, False),
              (10000, 1, 10, False), (10000, 2, 12, False), (10000, 3, 2, False),
              (5000, 1, 99, False)], 1.0, True),
        ]
        for runs, ratio, passes in cases:
            with self.subTest(runs=runs):
                loads, bad = self.write_loads(runs)
                goals = report.load_goals(loads)
                self.assertEqual((len(goals), bad), (1, []))
                self.assertAlmostEqual(goals[0].ratio, ratio)
                self.assertIs(goals[0].passed, passes)

    def test_errored_run_is_named_and_one_count_sets_no_goal(self):
        loads, bad = self.write_loads([(10, 1, 5, False), (100, 1, 5, True)])
        self.assertEqual(bad, ["load_per_module/rest (load_100_1.json)"])
        loads, bad = self.write_loads([(10, 1, 5, False)])
        self.assertEqual((report.load_goals(loads), bad), ([], []))


class Completeness(unittest.TestCase):
    def test_complete_results_exit_zero_even_when_goals_fail(self):
        r = Results(self, complete_codec([run("ds_c_to_jo/u32", 1000, 1)]), {1: complete_registry()})
        status, out, err = r.main()
        self.assertEqual((status, err), (0, ""))
        self.assertIn("| ds_c_to_jo / json_object_new_int64+put | u32 | 10.00 | 1.5 | FAIL |",
                      out)

    def test_errored_or_missing_figures_exit_two_and_are_named(self):
        errored = run("ds_canonical_json/ipv6", 0, error_occurred=True,
                      error_message="ds_canonical_json fails")
        codec = [e for e in complete_codec([errored]) if e["name"] != "jsonc_floor/uuid"]
        registry = [e for e in complete_registry() if e["name"] != "ds_find_key/last"]
        status, _, err = Results(self, codec, {10: registry}).main()
        self.assertEqual(status, 2)
        self.assertEqual(err.strip(), "missing or failed figures: ds_canonical_json/ipv6, "
                         "jsonc_floor/uuid, ds_find_key/last (10 modules)")


if __name__ == "__main__":
    unittest.main()
