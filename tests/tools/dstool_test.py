#!/usr/bin/env python3
"""Runs dstool on real inputs and compares exit status, standard output and
standard error byte for byte; --json outputs are parsed and their shapes
checked. Each group is one CTest test: it first fills the test module
directory (empty, the example module alone, or none), then runs its table.
Exit 77 marks a group skipped when the example module was not built."""

import argparse
import json
import os
import shutil
import subprocess
import sys

IFACE_JSON = '{"kind": "InlinePort", "slot": 1, "port": 3, "direction": "wan"}'
IFACE_TEXT = '{ "kind": "InlinePort", "slot": 1, "port": 3, "direction": "wan" }'
BUILTIN_NAMES = [
    "u32", "u16", "u8", "i8", "i16", "i32", "i64", "string", "word", "ipv4-str", "ipv4",
    "dnsname", "macaddress-str", "macaddress", "ipv6-str", "ipv6", "uri", "double", "bool",
    "uuid", "timestamp", "alarm_severity", "alarm_category", "alarm", "interface-type",
    "standby-index-range", "port-channel-index-range", "interface-impl", "interface",
]
COMMANDS = ["types", "type", "keys", "alarms", "validate", "canonical", "pack", "unpack",
            "build-key", "find-key", "field", "demo"]
TEN_MB = 10 * 1024 * 1024
VLAN = "/vlans/*/name"
UNIT = "/interfaces/*/units/*/address"
RANGE64 = "is outside the 64-bit integer range -9223372036854775808..9223372036854775807"
SEVERITIES = "(critical = 1, major = 2, minor = 4)"


class Case:
    """One run: args and stdin in; status, and stdout/stderr when given, out.
    check gets the stdout text for outputs compared by structure."""

    def __init__(self, args, status, stdout=None, stderr=None, stdin=b"", check=None, env=None):
        self.args, self.status, self.stdout, self.stderr = args, status, stdout, stderr
        self.stdin, self.check, self.env = stdin, check, env


def err(command, text):
    return "dstool: %s: %s\n" % (command, text)


def exit_code_cases():
    """0 done, 1 the value or lookup failed, 2 the command line is wrong: for every subcommand.
    The other groups check statuses of their own; these are the rest."""
    table = [
        (["types", "--module", "other.so"], 1), (["types", "--bogus"], 2), (["type", "nosuch"], 1),
        (["type"], 2), (["keys", "x"], 2), (["alarms", "--json=1"], 2), (["validate", "u8"], 2),
        (["canonical", "u8", "1", "2"], 2), (["pack", "u8", "x"], 1), (["pack", "u8", "1", "--leaf"], 2),
        (["unpack", "u8"], 2), (["build-key", VLAN, "5000"], 1), (["build-key", "/nope", "1"], 1),
        (["build-key", VLAN, "1", "2"], 2), (["find-key", "/vlans/abc/name"], 0), (["find-key", "/x"], 1),
        (["find-key"], 2), (["field", "5", VLAN, "1"], 0), (["field", "x", VLAN, "1"], 1),
        (["demo", "x"], 2), ([], 2), (["bogus"], 2), (["--help"], 0),
    ] + [([c, "--help"], 0) for c in COMMANDS]
    return [Case(args, status, stderr="" if status == 0 else None) for args, status in table]


def seen_cases():
    """The refusals a new user met, each now with its reason computed from the type."""
    return [
        Case(["validate", "u8", "7 garbage"], 1, "",
             err("validate", "u8 7 garbage: text after the JSON value at offset 2: garbage")),
        Case(["canonical", "oper-state", "-"], 1, "", stdin=b'"up"\n"down"\n', stderr=err(
            "canonical", 'oper-state "up"\\n"down": more than one JSON value: a second one begins at offset 5')),
        Case(["canonical", "i64", "99999999999999999999999"], 1, "",
             err("canonical", "i64 99999999999999999999999: 99999999999999999999999 " + RANGE64)),
        Case(["validate", "i64", "-9223372036854775809"], 1, "",
             err("validate", "i64 -9223372036854775809: -9223372036854775809 " + RANGE64)),
        Case(["canonical", "double", "1e400"], 1, "",
             err("canonical", "double 1e400: 1e400 is not a finite number")),
        Case(["validate", "alarm", '{"eventId": 1, "timestamp": NaN}'], 1, "",
             err("validate", 'alarm {"eventId": 1, "timestamp": NaN}: .timestamp: NaN is not a finite number')),
        Case(["unpack", "double", "000000000000f07f"], 1, "", err(
            "unpack", "double 000000000000f07f: Infinity is not a finite number, which JSON cannot write")),
        Case(["unpack", "u8", "0001"], 1, "",
             err("unpack", "u8 0001: the packed form of u8 is 1 byte; 2 given")),
        Case(["unpack", "interface", "04010301ff"], 1, "",
             err("unpack", "interface 04010301ff: the packed form of interface is 4 bytes; 5 given")),
        Case(["canonical", "alarm_severity", "3"], 1, "", err(
            "canonical", "alarm_severity 3: 3 is not in the enumeration of alarm_severity " + SEVERITIES)),
        Case(["validate", "u8", "256"], 1, "", err("validate", "u8 256: 256 is outside the range 0..255 of u8")),
        Case(["build-key", "/interfaces/*/state", '{"kind": "GigabitEthernet", "slot": 5, "port": 7}'], 1, "",
             err("build-key", '/interfaces/*/state level 2 (name: interface) {"kind": "GigabitEthernet", '
                 '"slot": 5, "port": 7}: .slot: 5 is outside the range 0..1 (in the arm for kind GigabitEthernet)')),
        Case(["unpack", "interface", "04050301"], 1, "", err("unpack", "interface 04050301: .slot: byte 1: "
                                                            "5 is outside the range 0..1 (in the arm for kind InlinePort)")),
        Case(["unpack", "bool", "02"], 1, "",
             err("unpack", "bool 02: byte 0: 2 is not in the enumeration of bool (false = 0, true = 1)")),
        Case(["field", "5", VLAN, "2"], 1, "", err("field", VLAN + " field 2 of 5: the key has 1 field: id (vlan-id)")),
        Case(["field", "5", VLAN, "0"], 2, "", err("field", "0: field numbers count from 1")),
        Case(["field", "5", VLAN, "-1"], 2, "", err("field", "-1: not a valid field number (1, 2, ...)")),
        Case(["canonical", "u8", ""], 1, "", err("canonical", "u8 (empty text): no JSON value: the text is empty")),
        Case(["canonical", "u8", "   "], 1, "", err("canonical", "u8    : no JSON value: the text is blank")),
        Case(["canonical", "", "1"], 1, "", err("canonical", 'type "": no such type')),
        Case(["build-key", UNIT, "-", "-"], 0, "/interfaces/{ \"kind\": \"Virtual\", \"index\": 1 }/units/7/address\n",
             "", stdin=b'{"kind": "Virtual", "index": 1}\n 7\n'),
        Case(["build-key", UNIT, "-", "-"], 1, "", stdin=b'{"kind": "Virtual", "index": 1} 7 8',
             stderr=err("build-key", UNIT + " level 4 (unit: if-unit) 7 8: more than one JSON value: "
                        "a second one begins at offset 2")),
        Case(["find-key", "/vlans/abc/name", "--check"], 1, "", err(
            "find-key", "/vlans/abc/name level 2 (id: vlan-id) abc: not JSON: unexpected character at offset 0")),
        Case(["find-key", "/vlans/5000/name", "--check"], 1, "", err(
            "find-key", "/vlans/5000/name level 2 (id: vlan-id) 5000: 5000 is outside the range 1..4094 of vlan-id")),
        Case(["find-key", "/vlans/10/name", "--check"], 0, "key: /vlans/*/name\nmodule: example.so\n"
             "typed levels: id (vlan-id)\nleaf type: word\ncheck: every typed component is a valid value\n", ""),
    ]


def reason_cases():
    """Each kind names what its descriptor allows where a value fails."""
    table = [
        ("vlan-bitmap", '"1,5-5"', "range 5-5 does not run upwards"),
        ("vlan-bitmap", '"4096"', "bit 4096 is outside the bitmap (bits 0..4095 of vlan-bitmap)"),
        ("vlan-bitmap", '"1;2"', 'unexpected ";" at offset 1; items are N or N-M separated by ","'),
        ("word", '" "', '" " does not match the pattern [a-zA-Z0-9_-]+ of word'),
        ("word", '"%s"' % ("a" * 33), '"%s" has 33 characters; word holds at most 32' % ("a" * 33)),
        ("alarm", '{"eventId": 7}', 'member "timestamp" is missing'),
        ("alarm", '{"eventId": 7, "timestamp": 1, "x": 1}', 'unknown member "x"; the members are eventId, timestamp'),
        ("interface", '{"slot": 1}', 'member "kind" (which selects the arm) is missing'),
        ("interface", '{"kind": 2, "slot": 0, "port": 1, "index": 1}',
         'unknown member "index"; the members are kind, slot, port (in the arm for kind GigabitEthernet)'),
        ("sys-dns-servers", '["10.0.0.1", "1.2.3.4.5"]', '[1]: "1.2.3.4.5" is not an IPv4 address'),
        ("sys-dns-servers", "[%s]" % ", ".join(['"1.1.1.1"'] * 5), "5 elements; sys-dns-servers holds at most 4"),
        ("bool", '"1"', '"1" is not in the enumeration of bool (false = 0, true = 1)'),
        ("alarm_severity", "true", "a boolean is taken only by the type bool; this enumeration takes a "
                                   "name or a number " + SEVERITIES),
        ("string", '"a\\u0000b"', "a \\u0000 escape at offset 2: the library cuts texts at a NUL character"),
        ("u8", "5.0", "expected an integer, got a number with a fraction or exponent 5.0"),
        ("u8", "'a'", "not JSON: unexpected character at offset 0"),
        ("u8", "[1,]", "not JSON: unexpected character at offset 3"),
        ("u8", "null", "JSON null is no value"),
        ("alarm", '{"eventId": 1, "timestamp": null}', 'member "timestamp" is null'),
    ]
    return [Case(["validate", t, v], 1, "", err("validate", "%s %s: %s" % (t, v, why))) for t, v, why in table]


def value_cases():
    return [
        Case(["validate", "i8", "-128"], 0, "valid\n", ""),
        Case(["canonical", "alarm", '{"timestamp": 2, "eventId": 7}'], 0, '{ "eventId": 7, "timestamp": 2.0 }\n', ""),
        Case(["canonical", "vlan-bitmap", '"10,9,3"'], 0, '"3,9-10"\n', ""),
        Case(["pack", "interface", IFACE_JSON], 0, "04 01 03 01\n", ""),
        Case(["pack", "ipv4", "-"], 0, "0a 00 00 01\n", "", stdin=b'"10.0.0.1"\n'),
        Case(["unpack", "interface", "04 01 03 01"], 0, IFACE_TEXT + "\n", ""),
        Case(["unpack", "interface", "-"], 0, '{ "kind": "GigabitEthernet", "slot": 0, "port": 7 }\n', "",
             stdin=b"02 00\n07 00\n"),
        Case(["unpack", "macaddress", "00 1A 2b 3c 4d 5e"], 0, '"00:1a:2b:3c:4d:5e"\n', ""),
        Case(["unpack", "interface", "040"], 1, "",
             err("unpack", "interface 040: odd number of hex digits in a byte at offset 2")),
        Case(["unpack", "interface", "04 0g"], 1, "", err("unpack", "interface 04 0g: not a hex digit at offset 4")),
        Case(["build-key", "/users/*/role", '"al/ice"'], 0, '/users/"al\\/ice"/role\n', ""),
        Case(["build-key", VLAN], 2, "", err("build-key", VLAN + ": the key takes 1 value (id (vlan-id)), 0 given")),
        Case(["build-key", "/vlans/*/nope", "10"], 1, "",
             err("build-key", 'key "/vlans/*/nope": no key has this name (see dstool keys)')),
        Case(["find-key", '/users/"al\\/ice"/role', "--check"], 0, check=lambda out: "user-role" in out),
        Case(["find-key", "/interfaces/x", "--leaf"], 1, "",
             err("find-key", "/interfaces/x: no key with a leaf type has this path")),
        Case(["field", '{"kind": "Virtual", "index": 2}/7', UNIT, "2"], 0, "json: 7\npacked: 07 00\n", ""),
        Case(["field", "5", UNIT, "2"], 1, "", err("field", UNIT + ' field 2 of 5: the text has 1 component '
                                                    '(separated by "/")')),
        Case(["field", "5 x", VLAN, "1"], 1, "", err("field", VLAN + " field 1 of 5 x level 2 (id: vlan-id): "
                                                      "text after the JSON value at offset 2: x")),
        Case(["field", '"a"', VLAN, "1"], 1, "", err("field", VLAN + ' field 1 of "a" level 2 (id: vlan-id): '
                                                      'expected an integer, got a string "a"')),
        Case(["type", "oper-state"], 0, "oper-state: enum, 1 byte\n  base u8: int, 1 byte, range 0..255\n"
             "  value up = 1\n  value down = 2\n  value testing = 3\n", ""),
        Case(["type", "sys-address"], 0, check=lambda out: out.splitlines()[:7] == [
            "sys-address: choice, 17 bytes", "  discriminator 0 family: sys-address-family: enum, 1 byte",
            "    base u8: int, 1 byte, range 0..255", "    value ipv4 = 4", "    value ipv6 = 6",
            "  arm 1: 4 (ipv4)", "    field 1 address: ipv4: converted, 4 bytes, converter 1 (ipv4)"]),
        Case(["alarms"], 0, "MODULE      ROW  KEY\nexample.so  0    /interfaces/*/state\n"
             "example.so  1    /interfaces/*/counters\nexample.so  2    /system/boot-time\n", ""),
    ]


def json_is(expected):
    """The output parses to expected, members in the same order."""
    return lambda out: json.dumps(json.loads(out)) == json.dumps(expected)


def rows_of(members, then):
    def check(out):
        rows = json.loads(out)
        assert all(list(r) == members for r in rows), rows
        return then(rows)
    return check


def module_rows(expected):
    return rows_of(["module", "name", "kind", "size", "parameters"],
                   lambda rows: [r["module"] for r in rows][::10] == expected)


def json_cases(example_path):
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

    levels = [{"name": "vlans", "field_type": None}, {"name": "id", "field_type": "vlan-id"},
              {"name": "name", "field_type": None}]
    state = {"module": "example.so", "key": "/interfaces/*/state", "leaf_type": "oper-state", "levels": [
        {"name": "interfaces", "field_type": None}, {"name": "name", "field_type": "interface"},
        {"name": "state", "field_type": None}]}
    alarm_keys = ["/interfaces/*/state", "/interfaces/*/counters", "/system/boot-time"]
    steps = [("ds_c_to_jo", IFACE_TEXT), ("ds_build_key", "/interfaces/%s/state" % IFACE_TEXT),
             ("ds_find_key", "/interfaces/*/state"), ("ds_leaf_to_c", "01"), ("ds_key_field_c", "04 01 03 01")]
    return [
        Case(["types", "--json"], 0, check=rows_of(["module", "name", "kind", "size", "parameters"], types), stderr=""),
        Case(["types", "--module", "builtin", "--json"], 0, check=module_rows(["builtin"] * 3)),
        Case(["types", "--module=" + example_path, "--json"], 0, check=module_rows(["example.so"] * 2)),
        Case(["type", "uri"], 0, check=lambda out: "\\x01-\\x1f" in out),
        Case(["keys", "--json"], 0, check=rows_of(list(state), lambda rows: rows[2] == state), stderr=""),
        Case(["alarms", "--json"], 0, check=json_is(
            [{"module": "example.so", "row": i, "key": k} for i, k in enumerate(alarm_keys)])),
        Case(["type", "interface", "--json"], 0, check=lambda out: json.loads(out)["base"]["arms"][1]["values"][0]
             == {"value": 2, "name": "GigabitEthernet"}),
        Case(["validate", "alarm_severity", "2", "--json"], 0,
             check=json_is({"type": "alarm_severity", "value": 2, "valid": True})),
        Case(["canonical", "bool", "1", "--json"], 0, check=json_is({"type": "bool", "canonical": "true", "value": True})),
        Case(["pack", "interface", '{"kind": "Virtual", "index": 1}', "--json"], 0, check=json_is(
            {"type": "interface", "size": 4, "hex": "01 01 00 00", "bytes": [1, 1, 0, 0]})),
        Case(["unpack", "interface", "02000700", "--json"], 0, check=json_is(
            {"type": "interface", "value": {"kind": "GigabitEthernet", "slot": 0, "port": 7}})),
        Case(["build-key", VLAN, "10", "--json"], 0, check=json_is({"key": VLAN, "path": "/vlans/10/name"})),
        Case(["find-key", "/vlans/10/name", "--check", "--json"], 0, check=json_is({
            "module": "example.so", "key": VLAN, "leaf_type": "word", "levels": levels, "path": "/vlans/10/name",
            "checked": True})),
        Case(["field", '{"kind": "Virtual", "index": 2}/7', UNIT, "2", "--json"], 0, check=json_is(
            {"key": UNIT, "field": 2, "name": "unit", "type": "if-unit", "value": 7, "hex": "07 00"})),
        Case(["demo", "--json"], 0, check=json_is(
            {"steps": [{"call": c, "result": r} for c, r in steps], "match": True})),
    ]


def demo_cases():
    path = "/interfaces/%s/state" % IFACE_TEXT
    return [Case(["demo"], 0,
                 '1. packed "interface" value 04 01 03 01\n   ds_c_to_jo: %s\n'
                 "2. ds_build_key(/interfaces/*/state, 04 01 03 01)\n   path: %s\n"
                 "3. ds_find_key(path, 1)\n"
                 "   key: /interfaces/*/state in example.so (the key the path was built from)\n"
                 '4. ds_leaf_to_c(path, "up")\n   packed oper-state: 01\n'
                 "5. ds_key_field_c(field text, 1)\n   field text: %s\n   packed: 04 01 03 01\n"
                 "   original 04 01 03 01, extracted 04 01 03 01: match\n" % (IFACE_TEXT, path, IFACE_TEXT), "")]


def no_example_cases(moddir):
    return [
        Case(["demo"], 1, "", err("demo", "example.so: the example module is not loaded; install it in " + moddir)),
        Case(["keys"], 0, "MODULE  KEY  TYPED LEVELS  LEAF TYPE\n", ""),
        Case(["alarms", "--json"], 0, "[\n]\n", ""),
    ]


def missing_dir_cases(moddir):
    missing = ": No such file or directory; built-in types are unavailable until it exists"
    return [Case([c] + args, 1, "", err(c, moddir + missing))
            for c, args in [("types", []), ("validate", ["u8", "1"]), ("find-key", ["/a"])]]


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
    ]


def log_cases(probe):
    line = "dstypes: 0x2a862: Bad translation of JSON value (value { error unexpected end of data)\n"
    return [Case([probe], 0, "", line, env={"DSTYPES_LOG_STDERR": "1"}),
            Case([probe], 0, "", "", env={"DSTYPES_LOG_STDERR": "0"}), Case([probe], 0, "", "")]


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
    if case.status != 0 and (errtext.count("\n") != 1 or out != ""):
        problems.append("a failure is one line on stderr and nothing on stdout: %r" % errtext[:2000])
    return problems


def main():
    parser = argparse.ArgumentParser()
    for name in ("--tool", "--moddir", "--group"):
        parser.add_argument(name, required=True)
    parser.add_argument("--example", default="")
    parser.add_argument("--probe", default="")
    a = parser.parse_args()
    example = [a.example]
    groups = {
        "ExitCodesFollowOneRule": (example, exit_code_cases),
        "SeenCasesSayWhy": (example, seen_cases),
        "RefusalsNameWhatTheTypeAllows": (example, reason_cases),
        "ValuesConvertOrSayWhy": (example, value_cases),
        "JsonOutputsHaveTheirShapes": (example, lambda: json_cases(os.path.join(a.moddir, "example.so"))),
        "DemoRoundTripMatches": (example, demo_cases),
        "DemoNamesMissingModuleDirectory": ([], lambda: no_example_cases(a.moddir)),
        "MissingModuleDirectoryIsOneLine": (None, lambda: missing_dir_cases(a.moddir)),
        "LargeInputsStayOneLine": ([], large_cases),
        "LogLinesReachStderrOnRequest": ([], lambda: log_cases(a.probe)),
    }
    modules, make_cases = groups[a.group]
    if modules and not a.example:
        print("SKIP: the example module (target dstypes_example) is not built")
        return 77
    fill_moddir(a.moddir, modules)
    failures = 0
    try:
        for case in make_cases():
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
