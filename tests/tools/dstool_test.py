#!/usr/bin/env python3
"""Runs dstool on real inputs and compares exit status, standard output and
standard error byte for byte. Most cases are in dstool_cases.t, under
"## GROUP MODULES" (the example module alone, none, no module directory, or
module names joined by "+": example and the fixtures built from fixture.c):
a case is "$ ARGS" (shell-quoted; @probe runs the log probe instead of dstool),
"env NAME=VALUE" lines before it, a "< JSON-STRING" line for standard input,
then its standard output ("  " lines), standard error ("! " lines) and exit
status ("[N]"; none for 0). $MODDIR stands for the test module directory,
$FIXTURES for the directory the fixtures are built in, $EXAMPLE for the
example module where it was built.
Outputs too large to spell (10 MB inputs, the whole type and key tables) are
checked here. Each group is one CTest test: it first fills the module
directory, then runs its cases. Exit 77 marks a group skipped when the
example module was not built."""

import argparse
import json
import os
import shlex
import shutil
import subprocess
import sys

BUILTIN_NAMES = [
    "u32", "u16", "u8", "i8", "i16", "i32", "i64", "string", "word", "ipv4-str", "ipv4",
    "dnsname", "macaddress-str", "macaddress", "ipv6-str", "ipv6", "uri", "double", "bool",
    "uuid", "timestamp", "alarm_severity", "alarm_category", "alarm", "interface-type",
    "standby-index-range", "port-channel-index-range", "interface-impl", "interface",
]
TEN_MB = 10 * 1024 * 1024
VLAN = "/vlans/*/name"



class Case:
    """One run: args and stdin in; status, and stdout/stderr when given, out.
    check gets the stdout text for outputs compared by structure."""

    def __init__(self, args, status, stdout=None, stderr=None, stdin=b"", check=None, env=None):
        self.args, self.status, self.stdout, self.stderr = args, status, stdout, stderr
        self.stdin, self.check, self.env = stdin, check, env


def err(command, text):
    return "dstool: %s: %s\n" % (command, text)


def parse_cases(path, places):
    """{group: (modules, [Case])} as the case file lists them; places maps
    each $NAME to the path it stands for."""
    groups, cases, env = {}, None, {}
    for line in open(path, encoding="utf-8").read().splitlines():
        for name, place in places.items():
            line = line.replace(name, place)
        tag, rest = line[:2], line[2:]
        if tag == "##":
            name, modules = rest.split()
            cases = groups.setdefault(name, (modules, []))[1]
        elif line.startswith("env "):
            env.update([line[4:].split("=", 1)])
        elif tag == "$ ":
            cases.append(Case(shlex.split(rest), 0, "", "", env=env))
            env = {}
        elif tag == "< ":
            cases[-1].stdin = json.loads(rest).encode()
        elif tag in ("  ", "! "):
            stream = "stdout" if tag == "  " else "stderr"
            setattr(cases[-1], stream, getattr(cases[-1], stream) + rest + "\n")
        elif line.startswith("["):
            cases[-1].status = int(line[1:-1])
    return groups


def rows_of(members, then):
    def check(out):
        rows = json.loads(out)
        assert all(list(r) == members for r in rows), rows
        return then(rows)
    return check


def module_rows(expected):
    return rows_of(["module", "name", "kind", "size", "parameters"],
                   lambda rows: [r["module"] for r in rows][::10] == expected)


def table_cases(example_path):
    """The whole type and key tables: their rows' members and a few rows."""
    def types(rows):
        assert [r["name"] for r in rows if r["module"] == "builtin"] == BUILTIN_NAMES
        by_name = {r["name"]: r["parameters"] for r in rows}
        assert by_name["interface-type"]["values"][4:6] == [{"name": "InlineGroup", "value": 5},
                                                            {"name": "InlinePort", "value": 4}]
        assert by_name["oper-state"] == {"base": "u8", "values": [
            {"name": "up", "value": 1}, {"name": "down", "value": 2}, {"name": "testing", "value": 3}]}
        assert by_name["interface"] == {"converter": 0, "converter_name": "base", "base": "interface-impl"}
        arm = by_name["interface-impl"]["arms"][1]
        assert [v["name"] for v in arm["values"]] == ["GigabitEthernet", "TenGigabitEthernet", "InlineGroup"]
        assert arm["fields"][1] == {"index": 3, "name": "port", "type": {
            "kind": "int", "size": 1, "parameters": {"min": 0, "max": 15}}}
        return by_name["u8"] == {"min": 0, "max": 255}

    state = {"module": "example.so", "key": "/interfaces/*/state", "leaf_type": "oper-state", "levels": [
        {"name": "interfaces", "field_type": None}, {"name": "name", "field_type": "interface"},
        {"name": "state", "field_type": None}]}
    return [
        Case(["types", "--json"], 0, check=rows_of(["module", "name", "kind", "size", "parameters"], types), stderr=""),
        Case(["types", "--module", "builtin", "--json"], 0, check=module_rows(["builtin"] * 3)),
        Case(["types", "--module=" + example_path, "--json"], 0, check=module_rows(["example.so"] * 2)),
        Case(["keys", "--json"], 0, check=rows_of(list(state), lambda rows: rows[2] == state), stderr=""),
    ]


def generated_cases():
    """keys --json of a generated module: anonymous types as {"kind", "size", "parameters"}."""
    name = {"kind": "string", "size": 17, "parameters": {"pattern": "^[a-z][a-z0-9]*$"}}
    def keys(rows):
        assert [r["key"][len("/gen:ports/port/*"):] for r in rows[3:]] == ["/mtu", "/admin", "/load"]
        assert all(r["levels"][2]["field_type"] == name for r in rows[2:])
        return [r["leaf_type"] for r in rows[3:]] == [
            {"kind": "int", "size": 2, "parameters": {"min": 68, "max": 9216}},
            {"kind": "enum", "size": 1, "parameters": {"base": "u8", "values": [
                {"name": "up", "value": 1}, {"name": "down", "value": 2}]}},
            "gen:percent"]
    return [Case(["keys", "--module", "tools_generated.so", "--json"], 0, check=rows_of(
        ["module", "key", "leaf_type", "levels"], keys), stderr="")]


def large_cases():
    one_line = lambda e: e.count("\n") == 1 and len(e) < 600
    return [
        Case(["validate", "string", "-"], 1, "", stdin=b'"' + b"a" * TEN_MB + b'"', stderr=err(
            "validate", 'string "%s...: "%s..." has %d characters; string holds at most 64'
            % ("a" * 59, "a" * 40, TEN_MB))),
        Case(["canonical", "u32", "-"], 0, "5\n", "", stdin=b" " * TEN_MB + b"5"),
        Case(["canonical", "u32", "-"], 1, "", stdin=b"[" * TEN_MB, stderr=one_line),
        Case(["unpack", "u8", "-"], 1, "", stdin=b"00" * 1000000, stderr=err(
            "unpack", "u8 %s...: the packed form of u8 is 1 byte; 1000000 given" % ("0" * 60))),
        Case(["build-key", VLAN, "-"], 1, "", stdin=b"7" * TEN_MB, stderr=one_line),
        # 200000 escaped member names, each decoded, then one given again.
        Case(["validate", "alarm", "-"], 1, "", stdin=b"{" + b",".join(
            b'"\\u006d%d": 0' % i for i in range(200000)) + b', "m0": 1}', stderr=lambda e: one_line(e)
            and e.endswith('member "m0" again at offset 3488892: an object holds each name once, '
                           'and the library would keep only the last\n')),
    ]


def compact_join_cases():
    """doc join --compact: the one line has no newline, which the case file cannot spell."""
    entries = b'/dt:top/count\t07\n/dt:top/item/"a\\/b"\t\n/dt:top/item/"a\\/b"/v\tfe ff ff ff\n'
    return [Case(["doc", "join", "--compact", "-"], 0, '{"dt:top":{"count":7,"item":[{"id":"a/b","v":-2}]}}',
                 "", stdin=entries)]


def group_modules(listed, example, fixtures):
    """The module files a group's MODULES names, in order; None for "missing"."""
    if listed == "missing":
        return None
    if listed == "none":
        return []
    named = {"example": example}
    return [named.get(name) or os.path.join(fixtures, name + ".so") for name in listed.split("+")]


def fill_moddir(moddir, modules):
    """Empties the module directory and copies the given modules in; None removes it."""
    if os.path.isdir(moddir):
        shutil.rmtree(moddir)
    if modules is None:
        return
    os.makedirs(moddir)
    for module in modules:
        shutil.copy(module, os.path.join(moddir, os.path.basename(module)))


def run_case(tool, case):
    command = case.args if case.args and os.path.isabs(case.args[0]) else [tool] + case.args
    env = dict(os.environ)
    env.pop("DSTYPES_LOG_STDERR", None)
    env.update(case.env or {})
    proc = subprocess.run(command, input=case.stdin, capture_output=True, timeout=60, env=env)
    out, errtext = proc.stdout.decode("utf-8", "replace"), proc.stderr.decode("utf-8", "replace")
    problems = []
    if "Sanitizer" in errtext or "runtime error" in errtext:
        problems.append("sanitizer report")
    if proc.returncode != case.status:
        problems.append("status %d, expected %d" % (proc.returncode, case.status))
    if isinstance(case.stdout, str) and out != case.stdout:
        problems.append("stdout %r, expected %r" % (out[:2000], case.stdout))
    if isinstance(case.stderr, str) and errtext != case.stderr:
        problems.append("stderr %r, expected %r" % (errtext[:2000], case.stderr))
    if callable(case.stderr) and not case.stderr(errtext):
        problems.append("stderr %r fails its check" % errtext[:2000])
    if case.check is not None and not problems:
        try:
            assert case.check(out) is not False
        except (AssertionError, ValueError, KeyError, IndexError, TypeError) as e:
            problems.append("stdout check failed: %r (%s)" % (out[:2000], e))
    # check's findings are its output; every other failure is one line.
    if case.status != 0 and case.args[:1] != ["check"] and (errtext.count("\n") != 1 or out != ""):
        problems.append("a failure is one line on stderr and nothing on stdout: %r" % errtext[:2000])
    return problems


def main():
    parser = argparse.ArgumentParser()
    for name in ("--tool", "--moddir", "--group"):
        parser.add_argument(name, required=True)
    parser.add_argument("--example", default="")
    parser.add_argument("--fixtures", default="")
    parser.add_argument("--probe", default="")
    a = parser.parse_args()
    places = {"$MODDIR": a.moddir, "$FIXTURES": a.fixtures, "$EXAMPLE": a.example}
    groups = parse_cases(os.path.join(os.path.dirname(os.path.abspath(__file__)), "dstool_cases.t"), places)
    groups.setdefault("LargeInputsStayOneLine", ("none", []))[1].extend(large_cases())
    groups["JsonOutputsHaveTheirShapes"][1].extend(table_cases(os.path.join(a.moddir, "example.so")))
    groups["GeneratedLeavesByKeyPath"][1].extend(generated_cases())
    groups["DocumentsSplitIntoEntries"][1].extend(compact_join_cases())
    modules, cases = groups[a.group]
    if "example" in modules.split("+") and not a.example:
        print("SKIP: the example module (target dstypes_example) is not built")
        return 77
    fill_moddir(a.moddir, group_modules(modules, a.example, a.fixtures))
    failures = 0
    try:
        for case in cases:
            if case.args[:1] == ["@probe"]:
                case.args = [a.probe]
            problems = run_case(a.tool, case)
            shown = " ".join(arg if len(arg) < 80 else arg[:77] + "..." for arg in case.args)
            if problems:
                failures += 1
                print("FAIL dstool %s\n  %s" % (shown, "\n  ".join(problems)))
            else:
                print("ok   dstool %s" % shown)
    finally:
        # Leave the directory present and empty for whoever runs next.
        fill_moddir(a.moddir, [])
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
