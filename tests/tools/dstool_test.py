#!/usr/bin/env python3
"""Runs dstool on real inputs and compares exit status, standard output and
standard error byte for byte. Each group is one CTest test: it first fills the
test module directory (empty, or the example module alone), then runs its
table of cases. Exit 77 marks a group skipped when the example module was not
built."""

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
TEN_MB = 10 * 1024 * 1024
IPV4_PATTERN = ("(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])"
                "(\\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}")


class Case:
    """One run: args and stdin in; status, and stdout/stderr when given, out.
    A callable check gets the stdout text for outputs compared by structure."""

    def __init__(self, args, status, stdout=None, stderr=None, stdin=b"", check=None):
        self.args, self.status, self.stdout, self.stderr = args, status, stdout, stderr
        self.stdin, self.check = stdin, check


def err(command, text):
    return "dstool: %s: %s\n" % (command, text)


def help_cases():
    commands = ["types", "type", "keys", "alarms", "validate", "canonical", "pack",
                "unpack", "build-key", "find-key", "field", "demo"]
    cases = [Case([c, "--help"], 0, check=starts_with("usage: dstool " + c)) for c in commands]
    cases += [
        Case(["--help"], 0, check=lambda out: all("  %s " % c in out for c in commands)),
        Case([], 2, "", "dstool: missing command (see dstool --help)\n"),
        Case(["bogus"], 2, "", err("bogus", "unknown command (see dstool --help)")),
        Case(["types", "--bogus"], 2, "",
             err("types", "unknown option --bogus (see dstool types --help)")),
        Case(["types", "--module"], 2, "",
             err("types", "option --module needs FILE (see dstool types --help)")),
        Case(["keys", "--json=1"], 2, "",
             err("keys", "option --json takes no value (see dstool keys --help)")),
        Case(["validate", "u8"], 2, "",
             err("validate", "missing arguments: validate TYPE JSON (see dstool validate --help)")),
        Case(["demo", "extra"], 2, "",
             err("demo", "too many arguments: demo (see dstool demo --help)")),
        Case(["field", "5", "/vlans/*/name", "x1"], 2, "",
             err("field", "x1: not a valid field number")),
    ]
    return cases


def value_cases():
    parse_error = "Bad translation of JSON value (value %s error %s)"
    return [
        # validate: negative numbers are values, not options
        Case(["validate", "u8", "255"], 0, "valid\n", ""),
        Case(["validate", "i8", "-128"], 0, "valid\n", ""),
        Case(["validate", "u8", "256"], 1, "", err("validate", "u8 256: not a valid value of type u8")),
        Case(["validate", "word", '" "'], 1, "",
             err("validate", 'word " ": not a valid value of type word')),
        Case(["validate", "u8", "{"], 1, "",
             err("validate", "u8 {: " + parse_error % ("{", "unexpected end of data"))),
        Case(["validate", "u8", "null"], 1, "", err("validate", "u8 null: JSON null is no value")),
        Case(["validate", "uint64", "1"], 2, "", err("validate", "uint64: no such type")),
        Case(["validate", "u8", ""], 2, "", err("validate", "argument: empty text")),
        Case(["validate", "u8", "-"], 2, "",
             err("validate", "standard input: standard input is empty")),
        Case(["validate", "u8", "-"], 1, "", err("validate", "u8 1\\n\\x002: NUL byte at offset 2"),
             stdin=b"1\n\x002"),
        # canonical: the library's normal forms and its own log line
        Case(["canonical", "alarm_severity", "2"], 0, '"major"\n', ""),
        Case(["canonical", "bool", "1"], 0, "true\n", ""),
        Case(["canonical", "alarm", '{"timestamp": 2, "eventId": 7}'], 0,
             '{ "eventId": 7, "timestamp": 2.0 }\n', ""),
        Case(["canonical", "interface", '{"kind": "VirtualBlade", "slot": 1}'], 0,
             '{ "kind": "VirtualBlade" }\n', ""),
        Case(["canonical", "alarm_severity", "3"], 1, "",
             err("canonical", "alarm_severity 3: Bad translation of JSON value "
                 "(can't convert c 3 to alarm_severity) (code 50)")),
        Case(["canonical", "u8", "[1,}"], 1, "",
             err("canonical", "u8 [1,}: " + parse_error % ("[1,}", "unexpected character")
                 + " (code 50)")),
        Case(["canonical", "u8", "null"], 1, "", err("canonical", "u8 null: JSON null is no value")),
        # pack
        Case(["pack", "interface", IFACE_JSON], 0, "04 01 03 01\n", ""),
        Case(["pack", "interface", '{"kind": "VirtualBlade"}'], 0, "09 00 00 00\n", ""),
        Case(["pack", "alarm", '{"eventId": 7, "timestamp": 1.5}'], 0,
             "07 00 00 00 00 00 00 00 00 00 f8 3f\n", ""),
        Case(["pack", "ipv6", '"::1"'], 0, "00 " * 15 + "01\n", ""),
        Case(["pack", "ipv4", "-"], 0, "0a 00 00 01\n", "", stdin=b'"10.0.0.1"\n'),
        Case(["pack", "u8", "256"], 1, "",
             err("pack", "u8 256: does not convert to type u8 (Invalid argument)")),
        Case(["pack", "interface", '{"kind": "PortChannel", "index": 9}'], 1, "",
             err("pack", 'interface {"kind": "PortChannel", "index": 9}: '
                 "does not convert to type interface (Invalid argument)")),
        # unpack: blanks between pairs only, and the library's length rules
        Case(["unpack", "interface", "04 01 03 01"], 0, IFACE_TEXT + "\n", ""),
        Case(["unpack", "interface", "04010301"], 0, IFACE_TEXT + "\n", ""),
        Case(["unpack", "macaddress", "00 1A 2b 3c 4d 5e"], 0, '"00:1a:2b:3c:4d:5e"\n', ""),
        Case(["unpack", "i32", "fe"], 0, "-2\n", ""),
        Case(["unpack", "interface", "-"], 0, '{ "kind": "GigabitEthernet", "slot": 0, "port": 7 }\n',
             "", stdin=b"02 00 07 00\n"),
        Case(["unpack", "interface", "040"], 1, "",
             err("unpack", "interface 040: odd number of hex digits in a byte at offset 2")),
        Case(["unpack", "interface", "0 401"], 1, "",
             err("unpack", "interface 0 401: odd number of hex digits in a byte at offset 0")),
        Case(["unpack", "interface", "04 0g"], 1, "",
             err("unpack", "interface 04 0g: not a hex digit at offset 4")),
        Case(["unpack", "interface", "  "], 1, "", err("unpack", "interface   : no bytes")),
        Case(["unpack", "interface", "07 09 00 00"], 1, "",
             err("unpack", "interface 07 09 00 00: not a valid packed value of type interface "
                 "(4 bytes given, the type takes 4)")),
        Case(["unpack", "alarm", "00" * 16], 1, "",
             err("unpack", "alarm %s: not a valid packed value of type alarm "
                 "(16 bytes given, the type takes 12)" % ("00" * 16))),
        Case(["unpack", "nosuch", "00"], 2, "", err("unpack", "nosuch: no such type")),
    ]


def table_cases(example_path):
    def types_json(expect_modules):
        def check(out):
            rows = json.loads(out)
            modules = [m for m in dict.fromkeys(r["module"] for r in rows)]
            assert modules == expect_modules, modules
            builtin = [r["name"] for r in rows if r["module"] == "builtin"]
            if "builtin" in expect_modules:
                assert builtin == BUILTIN_NAMES, builtin
            return rows
        return check

    def example_rows(out):
        rows = types_json(["example.so"])(out)
        assert rows[0] == {"module": "example.so", "name": "oper-state", "kind": "enum",
                           "size": 1, "parameters": "base u8, 3 values"}, rows[0]
        assert {"module": "example.so", "name": "sys-address", "kind": "choice", "size": 17,
                "parameters": "discriminator family (sys-address-family), 2 arms, 3 fields"} in rows

    def interface_json(out):
        d = json.loads(out)
        assert (d["name"], d["kind"], d["converter_name"]) == ("interface", "converted", "base")
        impl = d["base"]
        assert impl["discriminator"]["type"]["values"][4:6] == [
            {"name": "InlineGroup", "value": 5}, {"name": "InlinePort", "value": 4}]
        arm = impl["arms"][1]
        assert arm["values"] == [{"value": 2, "name": "GigabitEthernet"},
                                 {"value": 3, "name": "TenGigabitEthernet"},
                                 {"value": 5, "name": "InlineGroup"}], arm["values"]
        assert [(f["index"], f["name"], f["type"]["max"]) for f in arm["fields"]] == [
            (2, "slot", 1), (3, "port", 15)]

    def sys_address_text(out):
        lines = out.splitlines()
        assert lines[:10] == [
            "sys-address: choice, 17 bytes",
            "  discriminator 0 family: sys-address-family: enum, 1 byte",
            "    base u8: int, 1 byte, range 0..255",
            "    value ipv4 = 4",
            "    value ipv6 = 6",
            "  arm 1: 4 (ipv4)",
            "    field 1 address: ipv4: converted, 4 bytes, converter 1 (ipv4)",
            "      base ipv4-str: string, 16 bytes, pattern " + IPV4_PATTERN,
            "  arm 2: 6 (ipv6)",
            "    field 2 address: ipv6: converted, 16 bytes, converter 2 (ipv6)",
        ], lines[:10]
        assert lines[10].startswith("      base ipv6-str: string, 46 bytes, pattern ((([0-9A-Fa-f]{1,4}:){7}")
        assert len(lines) == 11

    def dns_servers_json(out):
        d = json.loads(out)
        assert (d["kind"], d["size"], d["max_count"]) == ("array", 18, 4), d
        assert (d["element"]["name"], d["element"]["converter"]) == ("ipv4", 1), d["element"]

    return [
        Case(["types", "--json"], 0, check=types_json(["builtin", "example.so"]), stderr=""),
        Case(["types", "--module", "builtin", "--json"], 0, check=types_json(["builtin"])),
        Case(["types", "--module", "example.so", "--json"], 0, check=example_rows),
        Case(["types", "--module=" + example_path, "--json"], 0, check=example_rows),
        Case(["types", "--module", "other.so"], 2, "", err("types", "other.so: no loaded module matches this file")),
        Case(["types", "--module", "builtin"], 0,
             check=lambda out: out.splitlines()[1].split() == ["builtin", "u32", "int", "4", "0..4294967295"]),
        Case(["type", "oper-state"], 0,
             "oper-state: enum, 1 byte\n"
             "  base u8: int, 1 byte, range 0..255\n"
             "  value up = 1\n  value down = 2\n  value testing = 3\n", ""),
        Case(["type", "sys-address"], 0, check=sys_address_text, stderr=""),
        Case(["type", "interface", "--json"], 0, check=interface_json, stderr=""),
        Case(["type", "uri"], 0, check=lambda out: "\\x01-\\x1f" in out),
        Case(["type", "nosuch"], 2, "", err("type", "nosuch: no such type")),
        Case(["type", "sys-dns-servers", "--json"], 0, check=dns_servers_json, stderr=""),
        # module types go through the same library calls as built-in ones
        Case(["canonical", "vlan-bitmap", '"10,9,3"'], 0, '"3,9-10"\n', ""),
        Case(["canonical", "vlan-bitmap", '"5-5"'], 1, "",
             err("canonical", 'vlan-bitmap "5-5": Bad translation of JSON value '
                 "(can't convert c \"5-5\" to vlan-bitmap) (code 50)")),
        Case(["pack", "sys-address", '{"family": "ipv4", "address": "10.0.0.1"}'], 0,
             "04 0a 00 00 01" + " 00" * 12 + "\n", ""),
        Case(["unpack", "sys-dns-servers", "02 00 0a 00 00 01 0a 00 00 02" + " 00" * 8], 0,
             '[ "10.0.0.1", "10.0.0.2" ]\n', ""),
    ]


def key_cases():
    def keys_json(out):
        rows = json.loads(out)
        assert [r["key"] for r in rows[:4]] == [
            "/interfaces", "/interfaces/*", "/interfaces/*/state", "/interfaces/*/admin"]
        assert rows[2] == {"module": "example.so", "key": "/interfaces/*/state",
                           "typed_levels": "name (interface)", "leaf_type": "oper-state"}
        unit = [r for r in rows if r["key"] == "/interfaces/*/units/*/address"]
        assert unit[0]["typed_levels"] == "name (interface), unit (if-unit)", unit

    vlan = "/vlans/*/name"
    too_few = "Improperly built key for too few arguments at /vlans//id"
    return [
        Case(["keys", "--json"], 0, check=keys_json, stderr=""),
        Case(["alarms"], 0,
             "MODULE      ROW  KEY\n"
             "example.so  0    /interfaces/*/state\n"
             "example.so  1    /interfaces/*/counters\n"
             "example.so  2    /system/boot-time\n", ""),
        Case(["build-key", "/interfaces/*/state", IFACE_JSON], 0,
             "/interfaces/%s/state\n" % IFACE_TEXT, ""),
        Case(["build-key", vlan, "10"], 0, "/vlans/10/name\n", ""),
        Case(["build-key", "/system/hostname"], 0, "/system/hostname\n", ""),
        Case(["build-key", "/users/*/role", '"al/ice"'], 0, '/users/"al\\/ice"/role\n', ""),
        Case(["build-key", vlan, "5000"], 1, "",
             err("build-key", "id (vlan-id) 5000: does not convert to type vlan-id (Invalid argument)")),
        Case(["build-key", vlan, "[1"], 1, "",
             err("build-key", "id (vlan-id) [1: Bad translation of JSON value "
                 "(value [1 error unexpected end of data)")),
        Case(["build-key", vlan], 2, "", err("build-key", "%s: %s" % (vlan, too_few))),
        Case(["build-key", vlan, "10", "11"], 2, "",
             err("build-key", vlan + ": Improperly built key for too many arguments for /vlans/10/name")),
        Case(["build-key", vlan, "-"], 1, "", stdin=b"7" * TEN_MB,
             stderr=lambda e: e.startswith(err("build-key", "id (vlan-id) " + "7" * 60 + "...: ")[:-1])
             and e.count("\n") == 1 and len(e) < 300),
        Case(["build-key", "/vlans/*/nope", "10"], 2, "",
             err("build-key", "/vlans/*/nope: no key has this name")),
        Case(["find-key", '/interfaces/{"kind":"Virtual","index":1}/state', "--leaf"], 0,
             "key: /interfaces/*/state\nmodule: example.so\ntyped levels: name (interface)\n"
             "leaf type: oper-state\n", ""),
        Case(["find-key", '/users/"al\\/ice"/role'], 0,
             "key: /users/*/role\nmodule: example.so\ntyped levels: user (word)\n"
             "leaf type: user-role\n", ""),
        Case(["find-key", "/interfaces/x"], 0,
             "key: /interfaces/*\nmodule: example.so\ntyped levels: name (interface)\n"
             "leaf type: -\n", ""),
        Case(["find-key", "--leaf", "/vlans/10/name"], 0,
             "key: /vlans/*/name\nmodule: example.so\ntyped levels: id (vlan-id)\n"
             "leaf type: word\n", ""),
        Case(["alarms", "--json"], 0, check=lambda out: json.loads(out)[2] == {
            "module": "example.so", "row": 2, "key": "/system/boot-time"}, stderr=""),
        Case(["find-key", "/interfaces/x", "--leaf"], 1, "",
             err("find-key", "/interfaces/x: no key with a leaf type has this path")),
        Case(["find-key", "/"], 1, "", err("find-key", "/: no key has this path")),
        Case(["field", IFACE_JSON, "/interfaces/*/state", "1"], 0,
             "json: %s\npacked: 04 01 03 01\n" % IFACE_TEXT, ""),
        Case(["field", '{"kind": "Virtual", "index": 2}/7', "/interfaces/*/units/*/address", "2"], 0,
             "json: 7\npacked: 07 00\n", ""),
        Case(["field", "5", vlan, "2"], 1, "",
             err("field", vlan + " field 2 of 5: Bad extraction of data from a field no such field")),
        Case(["field", "5", vlan, "0"], 1, "",
             err("field", vlan + " field 0 of 5: Bad extraction of data from a field no such field")),
        Case(["field", "x", vlan, "1"], 1, "",
             err("field", vlan + " field 1 of x: Bad extraction of data from a field "
                 "Bad field value x (unexpected character)")),
        Case(["field", '"a"', vlan, "1"], 1, "",
             err("field", vlan + ' field 1 of "a": does not convert to type vlan-id (Invalid argument)')),
        Case(["field", "5", "/nope", "1"], 2, "", err("field", "/nope: no key has this name")),
    ]


def demo_cases():
    path = "/interfaces/%s/state" % IFACE_TEXT
    return [Case(["demo"], 0,
                 '1. packed "interface" value 04 01 03 01\n'
                 "   ds_c_to_jo: %s\n"
                 "2. ds_build_key(/interfaces/*/state, 04 01 03 01)\n"
                 "   path: %s\n"
                 "3. ds_find_key(path, 1)\n"
                 "   key: /interfaces/*/state in example.so (the key the path was built from)\n"
                 '4. ds_leaf_to_c(path, "up")\n'
                 "   packed oper-state: 01\n"
                 "5. ds_key_field_c(field text, 1)\n"
                 "   field text: %s\n"
                 "   packed: 04 01 03 01\n"
                 "   original 04 01 03 01, extracted 04 01 03 01: match\n"
                 % (IFACE_TEXT, path, IFACE_TEXT), "")]


def no_example_cases(moddir):
    return [
        Case(["demo"], 2, "", err("demo", "example.so: the example module is not loaded; "
                                  "install it in " + moddir)),
        Case(["keys"], 0, "MODULE  KEY  TYPED LEVELS  LEAF TYPE\n", ""),
        Case(["alarms", "--json"], 0, "[\n]\n", ""),
    ]


def missing_dir_cases(moddir):
    missing = ": No such file or directory; built-in types are unavailable until it exists"
    line = err("types", moddir + missing)
    return [
        Case(["types"], 2, "", line),
        Case(["validate", "u8", "1"], 2, "", err("validate", moddir + missing)),
    ]


def large_cases():
    one_line = lambda limit: lambda e: e.count("\n") == 1 and len(e) < limit
    big_string = b'"' + b"a" * TEN_MB + b'"'
    return [
        Case(["validate", "string", "-"], 1, "", stdin=big_string,
             check=None, stderr=err("validate", 'string "' + "a" * 59 +
                                    "...: not a valid value of type string")),
        Case(["canonical", "u32", "-"], 0, "5\n", "", stdin=b" " * TEN_MB + b"5"),
        Case(["canonical", "u32", "-"], 1, "", stdin=b"[" * TEN_MB, stderr=one_line(600)),
        Case(["pack", "u32", "-"], 1, "", stdin=b"{" * TEN_MB, stderr=one_line(600)),
        Case(["unpack", "string", "-"], 1, "", stdin=b"61" * (TEN_MB // 2), stderr=one_line(300)),
    ]


def starts_with(prefix):
    def check(out):
        assert out.startswith(prefix), out[:80]
    return check


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
    proc = subprocess.run([tool] + case.args, input=case.stdin, capture_output=True, timeout=60)
    out = proc.stdout.decode("utf-8", "replace")
    errtext = proc.stderr.decode("utf-8", "replace")
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
        except (AssertionError, ValueError, KeyError, IndexError) as e:
            problems.append("stdout check failed: %r (%s)" % (out[:2000], e))
    if case.status != 0 and errtext.count("\n") != 1:
        problems.append("error output is not one line: %r" % errtext[:2000])
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--moddir", required=True)
    parser.add_argument("--example", default="")
    parser.add_argument("--group", required=True)
    a = parser.parse_args()
    example_in_dir = os.path.join(a.moddir, "example.so")
    groups = {
        "HelpAndUsageErrors": ([], help_cases),
        "ValuesConvertOrSayWhy": ([], value_cases),
        "TypeTablesListEveryModule": ([a.example], lambda: table_cases(example_in_dir)),
        "KeysBuildFindAndTakeApart": ([a.example], key_cases),
        "DemoRoundTripMatches": ([a.example], demo_cases),
        "DemoNamesMissingModuleDirectory": ([], lambda: no_example_cases(a.moddir)),
        "MissingModuleDirectoryIsOneLine": (None, lambda: missing_dir_cases(a.moddir)),
        "LargeInputsStayOneLine": ([], large_cases),
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
