#!/usr/bin/env python3
"""dstool compat and dstool check DIR on prepared inputs.

CompatOneChangePerRow: one row per single change to a YANG model, each
beside its compatible twin; both revisions are compiled by dsgen and the C
compiler here, and compat must print exactly the row's line in the row's
group and exit 1 when the group is "breaking", 0 otherwise.
CompatDebianRevisions: ietf-interfaces and ietf-ip of libyuma-base, 2014
against 2018 and back.
CheckDirNamesEveryState: a module directory in each prepared state; the
output must hold the row's lines, and exit 1 exactly when one is a problem.
Exit 77 marks a group skipped (no dsgen, no YANG files)."""

import argparse
import json
import os
import pwd
import re
import shutil
import subprocess
import sys
import tempfile

YANG = 'module t {{ yang-version 1.1; namespace "urn:t"; prefix t;\n' \
    'identity base; identity a {{ base base; }}\n{}\n}}\n'


def leaf(body):
    return "leaf x { %s }" % body


def enum(values):
    return leaf("type enumeration { %s }" % " ".join(
        "enum %s { value %d; }" % (name, value) for name, value in values))


def bits(positions):
    return leaf("type bits { %s }" % " ".join("bit b%d { position %d; }" % (p, p) for p in positions))


def listed(keys, key_range="0..255"):
    return 'list l { key "%s"; %s leaf v { type uint8; } }' % (" ".join(keys), " ".join(
        'leaf %s { type uint8 { range "%s"; } }' % (k, key_range) for k in keys))


IDENT_B = "identity b { base base; }"
IDREF = leaf("type identityref { base base; }")

# (row, old body, new body, breaking lines, compatible lines): the lines
# compat prints under each group, in order; a pattern where dsgen picks a number.
ROWS = [
    ("uint8 -> uint16", leaf("type uint8;"), leaf("type uint16;"),
     ["/t:x: leaf: size 1 -> 2 bytes"], []),
    ("range widened in the same size", leaf('type uint8 { range "0..100"; }'), leaf("type uint8;"),
     [], ["/t:x: leaf: range 0..100 -> 0..255"]),
    ("range narrowed in the same size", leaf("type uint8;"), leaf('type uint8 { range "10..100"; }'),
     ["/t:x: leaf: range 0..255 -> 10..100 (stored 0..9, 101..255 refused)"], []),
    ("int8 -> uint8", leaf("type int8;"), leaf("type uint8;"),
     ["/t:x: leaf: signed -> unsigned: stored -128..-1 read back as large numbers; "
      "leaf: range -128..127 -> 0..255 (stored -128..-1 refused)"], []),
    ("enum renumbered", enum([("up", 1), ("down", 2)]), enum([("up", 1), ("down", 3)]),
     ["/t:x: leaf: value down renumbered 2 -> 3"], []),
    ("enum value added", enum([("up", 1), ("down", 2)]), enum([("up", 1), ("down", 2), ("testing", 3)]),
     [], ["/t:x: leaf: new value testing = 3"]),
    ("enum value removed", enum([("up", 1), ("down", 2)]), enum([("up", 1)]),
     ["/t:x: leaf: value down (2) removed"], []),
    ("string room shrunk", leaf('type string { length "0..32"; }'), leaf('type string { length "0..16"; }'),
     ["/t:x: leaf: room 32 -> 16 characters"], []),
    ("string room grown", leaf('type string { length "0..32"; }'), leaf('type string { length "0..64"; }'),
     ["/t:x: leaf: room 32 -> 64 characters"], []),
    ("string pattern dropped", leaf('type string { length "0..8"; pattern "[a-z]+"; }'),
     leaf('type string { length "0..8"; }'), [], ['/t:x: leaf: pattern "^([a-z]+)$" -> ".*"']),
    ("string pattern added", leaf('type string { length "0..8"; }'),
     leaf('type string { length "0..8"; pattern "[a-z]+"; }'),
     ['/t:x: leaf: pattern ".*" -> "^([a-z]+)$" (stored texts may be refused)'], []),
    ("list gains a key", listed(["a"]), listed(["a", "b"]),
     ["/t:l/*/v: now /t:l/*/*/v: typed levels a -> a, b"], ["/t:l/*/*: added"]),
    ("list key range widened", listed(["a"], "1..10"), listed(["a"], "0..20"), [],
     ["/t:l/*: level 2 (a): range 1..10 -> 0..20", "/t:l/*/v: level 2 (a): range 1..10 -> 0..20"]),
    ("key removed", leaf("type uint8;") + " leaf y { type uint8; }", leaf("type uint8;"),
     ["/t:y: removed"], []),
    ("key added", leaf("type uint8;"), leaf("type uint8;") + " leaf y { type uint8; }",
     [], ["/t:y: added"]),
    ("bitmap narrowed", bits([0, 5]), bits([0]),
     ["/t:x: leaf: bits 6 -> 1 (stored bits 1..5 refused); leaf: bit b5 removed"], []),
    ("bitmap widened in the same byte", bits([0, 5]), bits([0, 5, 7]),
     [], ["/t:x: leaf: bits 6 -> 8; leaf: new bit b7 at 7"]),
    ("bitmap past its byte", bits([0, 5]), bits([0, 5, 8]),
     ["/t:x: leaf: bits 6 -> 9, size 1 -> 2 bytes"], ["/t:x: leaf: new bit b8 at 8"]),
    # Only the YANG data (ds_doc_schema) knows a bit's name and a decimal64 range.
    ("bit moved", leaf("type bits { bit a { position 0; } bit b { position 5; } }"),
     leaf("type bits { bit a { position 5; } bit b { position 0; } }"),
     ["/t:x: leaf: bit a moved 0 -> 5; leaf: bit b moved 5 -> 0"], []),
    ("decimal64 range narrowed", leaf('type decimal64 { fraction-digits 2; range "1..10"; }'),
     leaf('type decimal64 { fraction-digits 2; range "1..5"; }'),
     ["/t:x: leaf: range 1.00..10.00 -> 1.00..5.00 (stored values refused)"], []),
    ("decimal64 range widened", leaf('type decimal64 { fraction-digits 2; range "1..5"; }'),
     leaf('type decimal64 { fraction-digits 2; range "0.5..5 | 7..9"; }'),
     [], ["/t:x: leaf: range 1.00..5.00 -> 0.50..5.00 | 7.00..9.00"]),
    ("identity removed", IDENT_B + IDREF, IDREF,
     [re.compile(r"/t:x: leaf: identity t:b \(\d+\) removed")], []),
    ("identity added", IDREF, IDENT_B + IDREF,
     [], [re.compile(r"/t:x: leaf: new identity t:b = \d+")]),
    ("array room", "leaf-list x { type uint8; max-elements 4; }", "leaf-list x { type uint8; max-elements 8; }",
     ["/t:x: leaf: room 4 -> 8 elements"], []),
    ("array element range widened", 'leaf-list x { type uint8 { range "0..9"; } max-elements 4; }',
     "leaf-list x { type uint8; max-elements 4; }", [], ["/t:x: leaf[]: range 0..9 -> 0..255"]),
]


def run(argv, **kw):
    return subprocess.run(argv, capture_output=True, text=True, timeout=120, **kw)


def build_module(a, work, name, body):
    """NAME.so in work from the YANG body, with dsgen and the C compiler."""
    yang, c, so = (os.path.join(work, name + ext) for ext in (".yang", ".c", ".so"))
    open(yang, "w").write(YANG.format(body))
    for argv in ([a.dsgen, "-o", c, yang], [a.cc, "-shared", "-fPIC", "-I", a.include, "-o", so, c]):
        done = run(argv)
        if done.returncode != 0:
            raise RuntimeError("%s failed: %s" % (argv[0], done.stderr))
    return so


def groups_of(out):
    """{"breaking": [lines], "compatible": [lines]} of compat's text report."""
    groups, current = {"breaking": [], "compatible": []}, None
    for line in out.splitlines():
        if line.endswith(":") and line[:-1] in groups:
            current = groups[line[:-1]]
        elif line.startswith("  ") and current is not None:
            current.append(line[2:])
    return groups


def compat_rows(a, work):
    failures = 0
    for number, (row, old, new, broken, kept) in enumerate(ROWS):
        old_so = build_module(a, work, "old%d" % number, old)
        new_so = build_module(a, work, "new%d" % number, new)
        done = run([a.tool, "compat", old_so, new_so])
        groups = groups_of(done.stdout)
        problems = []
        for group, expected in (("breaking", broken), ("compatible", kept)):
            got = groups[group]
            if len(got) != len(expected) or not all(
                    e.fullmatch(g) if hasattr(e, "fullmatch") else e == g for e, g in zip(expected, got)):
                problems.append("%s: expected %r, got %r" % (
                    group, [getattr(e, "pattern", e) for e in expected], got))
        if done.returncode != (1 if broken else 0) or done.stderr:
            problems.append("status %d, stderr %r" % (done.returncode, done.stderr))
        failures += report(row, problems)
    same = run([a.tool, "compat", old_so, old_so])
    failures += report("a module against itself", [] if (same.returncode, same.stdout) == (
        0, "verdict: unchanged\n") else ["got %d %r" % (same.returncode, same.stdout)])
    return failures


def compat_debian(a, work):
    y = a.yuma
    old = [y + "/modules/ietf/ietf-interfaces@2014-05-08.yang", y + "/modules/ietf/ietf-ip@2014-06-16.yang"]
    new = [y + "/nmda-modules/ietf/ietf-interfaces@2018-02-20.yang",
           y + "/nmda-modules/ietf/ietf-ip@2018-02-22.yang"]
    iana = y + "/modules/ietf/iana-if-type@2014-05-08.yang"
    modules = []
    for name, files in (("ietf2014", old), ("ietf2018", new)):
        c, so = os.path.join(work, name + ".c"), os.path.join(work, name, "ietf.so")
        os.makedirs(os.path.dirname(so))
        run([a.dsgen, "-p", y + "/nmda-modules/ietf", "-p", y + "/modules/ietf", "-o", c, *files, iana])
        run([a.cc, "-shared", "-fPIC", "-I", a.include, "-o", so, c])
        modules.append(so)
    forward = run([a.tool, "compat", *modules])
    back = run([a.tool, "compat", *modules[::-1]])
    stat = "/ietf-interfaces:interfaces/interface/*/statistics/in-octets"
    # 2018 merges the state tree into the configuration tree (NMDA) and
    # keeps the old state tree: 30 keys more, none changed.
    failures = report("2014 -> 2018 keeps every stored value", [] if forward.returncode == 0 and (
        "  %s: added\n" % stat) in forward.stdout and forward.stdout.endswith(
        "verdict: compatible (0 breaking, 30 compatible)\n") else [forward.stdout])
    failures += report("2018 -> 2014 loses the merged state", [] if back.returncode == 1 and (
        "  %s: removed\n" % stat) in back.stdout and back.stdout.endswith(
        "verdict: breaking (30 breaking, 0 compatible)\n") else [back.stdout])
    return failures


# Hand-written descriptors that a hostile or broken module may hold: an
# array that is its own element, a sequence DAG whose 2^40 ways all lead to
# one changed int, types nested 70 deep, and a key chain 71 levels deep.
HOSTILE = r"""#include <dstypes.h>
#define SEQ(fields) {NULL, DS_KIND_SEQUENCE, 1, {.sequence = {sizeof fields / sizeof *fields, fields}}}
static const DsType cycle = {NULL, DS_KIND_ARRAY, 3, {.array = {1, &cycle}}};
static const DsType dag[41], nested[70];
static const DsField dag_fields[40][2] = {%(dag_fields)s};
static const DsType dag[41] = {%(dag)s, {NULL, DS_KIND_INT, 1, {.integer = {0, %(max)d}}}};
static const DsField nested_fields[69][1] = {%(nested_fields)s};
static const DsType nested[70] = {%(nested)s, {NULL, DS_KIND_INT, 1, {.integer = {0, 9}}}};
const DsKeyNode ds_keys[] = {
    {0, 0, 1, "cycle", NULL, &cycle}, {0, 0, 1, "dag", NULL, &dag[0]},
    {0, 0, 1, "nested", NULL, &nested[0]}, {0, 1, 0, "deep", NULL, NULL},
    [4 ... 72] = {-1, 1, 0, "n", NULL, NULL}, [73] = {-1, 0, 0, "n", NULL, &ds_global_types[DS_BUILTIN_U8]},
};
"""


def hostile_source(max_value):
    return HOSTILE % {
        "dag_fields": ", ".join('{{"a", &dag[%d]}, {"b", &dag[%d]}}' % (i + 1, i + 1) for i in range(40)),
        "dag": ", ".join("SEQ(dag_fields[%d])" % i for i in range(40)), "max": max_value,
        "nested_fields": ", ".join('{{"f", &nested[%d]}}' % (i + 1) for i in range(69)),
        "nested": ", ".join("SEQ(nested_fields[%d])" % i for i in range(69))}


def compat_bounds(a, work):
    modules = []
    for name, max_value in (("hostile_old", 10), ("hostile_new", 5)):
        c, so = os.path.join(work, name + ".c"), os.path.join(work, name + ".so")
        open(c, "w").write(hostile_source(max_value))
        done = run([a.cc, "-shared", "-fPIC", "-I", a.include, "-o", so, c])
        if done.returncode != 0:
            return report("hostile modules build", [done.stderr])
        modules.append(so)
    done = run([a.tool, "compat", *modules])
    lines = groups_of(done.stdout)["breaking"]
    dag = "/dag: leaf%s: range 0..10 -> 0..5 (stored 6..10 refused); " % (".a" * 40)
    expected = [
        # Each pair once: the DAG's 2^40 ways cost 40 comparisons, not the work bound.
        ("the DAG's change, its first ways listed", lambda x: x.startswith(dag) and x.endswith(
            "more changes not listed") and x.count(";") == 16),
        ("nesting bounded", lambda x: x == "/nested: leaf%s: not compared: nested deeper than 64 "
         "descriptors" % (".f" * 64)),
        ("key depth bounded", lambda x: x == "/deep%s: keys below lie deeper than 64 levels: not "
         "compared" % ("/n" * 63)),
    ]
    failures = 0
    for row, check in expected:
        failures += report(row, [] if any(check(x) for x in lines) else ["no such line in %r" % lines])
    return failures + report("a self-referencing array compares equal, exit 1 for the rest", [] if (
        len(lines) == 3 and done.returncode == 1 and not done.stderr) else [done.stdout, done.stderr])


def report(row, problems):
    print(("FAIL %s\n  %s" % (row, "\n  ".join(problems))) if problems else "ok   " + row)
    return 1 if problems else 0


# --- tree ---

def tree_nodes(text):
    """{path: (flags, marks, keys)} of the data nodes of a tree diagram:
    names without their module, choices as "(name)", cases as ":(name)";
    an augment section's nodes under the augment's target. Actions, uses
    and notifications ("-x", "-u", "-n" flags) and what lies below them are
    not data."""
    nodes, names, base, indent, inside, skip = {}, [], (), 2, False, None
    for line in text.splitlines():
        augment = re.fullmatch(r"  augment (\S+):", line)
        if line.startswith("module: ") or augment:
            base = tuple(c.split(":")[-1] for c in augment.group(1).strip("/").split("/")) if augment else ()
            indent, inside, skip = (4 if augment else 2), True, None
            continue
        if re.fullmatch(r"  \S.*:", line):
            inside = False  # rpcs, notifications, groupings
        node = re.fullmatch(r"([ |]*)[+xo]--((?:rw|ro) )?(\S+)( \[[^]]*\])?.*", line)
        if not node or not inside:
            continue
        depth = (len(node.group(1)) - indent) // 3
        if skip is not None and depth > skip:
            continue
        skip = depth if node.group(3).startswith("-") else None
        if skip is not None:
            continue
        name = node.group(3)
        marks = re.search(r"[*?!]*$", name).group(0)
        name = name[:len(name) - len(marks)]
        if not name.startswith(("(", ":(")):
            name = name.split(":")[-1]
        names[depth:] = [name]
        flags = (node.group(2) or "").strip()
        nodes[base + tuple(names)] = (flags, "" if name.startswith(":(") else marks, (node.group(4) or "").strip())
    return nodes


def tree_matches(a, work):
    y, t = a.yuma, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "dsgen")
    nmda, ietf = y + "/nmda-modules/ietf", y + "/modules/ietf"
    sets = [("ietf", [nmda, ietf], [nmda + "/ietf-interfaces@2018-02-20.yang", nmda + "/ietf-ip@2018-02-22.yang",
                                    ietf + "/ietf-system@2014-08-06.yang", ietf + "/ietf-routing@2016-11-04.yang",
                                    ietf + "/ietf-hardware@2018-03-13.yang", ietf + "/iana-if-type@2014-05-08.yang"]),
            ("translations", [t], [os.path.join(t, "translations.yang")]),
            ("shapes", [t, ietf], [os.path.join(t, "doc-shapes.yang"), os.path.join(t, "aaa-doc-aug.yang")])]
    failures = 0
    for name, dirs, files in sets:
        c = os.path.join(work, name + ".c")
        so = os.path.join(a.moddir, name + ".so")
        run([a.dsgen, *sum((["-p", d] for d in dirs), []), "-o", c, *files])
        run([a.cc, "-shared", "-fPIC", "-I", a.include, "-o", so, c])
        text = run([a.tool, "tree", "--module", name + ".so"]).stdout
        sections = json.loads(run([a.tool, "tree", "--module", name + ".so", "--json"]).stdout)
        ours = tree_nodes(text)
        theirs = tree_nodes(run([a.ly_tree, ":".join(dirs), *files]).stdout)
        os.unlink(so)
        problems = ["%s: %r, ours %r" % ("/".join(path), got, ours.get(path))
                    for path, got in sorted(theirs.items()) if ours.get(path) != got]
        # --json holds the same lines, nested.
        flat = lambda nodes: sum(([n["node"]] + flat(n["children"]) for n in nodes), [])
        if [x for s in sections for x in ["module: " + s["module"]] + flat(s["nodes"])] != [
                re.sub(r"^[ |]*\+--|   +\S.*$", "", x) for x in text.splitlines() if x]:
            problems.append("--json differs from the text: %r" % sections[:1])
        failures += report("%s: libyang's %d data nodes at the same place with the same flags, marks and keys"
                           % (name, len(theirs)), problems[:20] if theirs else ["libyang printed nothing"])
    return failures


# --- check DIR ---

def other_user():
    try:
        return pwd.getpwnam("nobody").pw_uid
    except KeyError:
        return None


def dir_rows(fixture):
    """(row, prepare(dir, outside), expected lines (DIR and OUT stand for the
    directory and a directory beside it), exit status); prepare returns a
    reason to skip the row, or None."""
    def copy(name):
        return lambda d, o: shutil.copy(fixture, os.path.join(d, name)) and None

    def chown_other(d, o):
        if os.geteuid() != 0 or other_user() is None:
            return "needs root and the user nobody to give a file away"
        copy("m.so")(d, o)
        os.chown(os.path.join(d, "m.so"), other_user(), -1)

    def link_out(d, o):
        shutil.copy(fixture, os.path.join(o, "x.so"))
        os.symlink(os.path.join(o, "x.so"), os.path.join(d, "m.so"))

    def group_writable(d, o):
        copy("m.so")(d, o)
        os.chmod(os.path.join(d, "m.so"), 0o664)

    def junk(d, o):
        copy("m.so")(d, o)
        open(os.path.join(d, "junk.so"), "w").write("not a module\n")

    def two(d, o):
        copy("a.so")(d, o)
        copy("b.so")(d, o)

    def world(d, o):
        copy("m.so")(d, o)
        os.chmod(d, 0o777)

    def skipped(d, o):
        copy("m.so")(d, o)
        for name in (".so", "m.so.1", "README"):
            open(os.path.join(d, name), "w").close()

    skip_line = ': skipped: the loader takes only names ending in ".so" after at least one character'
    return [
        ("the packaged state: root, 0755 and 0644", copy("m.so"),
         ["DIR/m.so: loads as module 1", re.compile(r"DIR: memory maps: 1 module takes \d+; .*"),
          "DIR: ok (1 loaded, 0 skipped)"], 0),
        ("names the loader passes over", skipped,
         ["DIR/.so" + skip_line, "DIR/m.so.1" + skip_line, "DIR/README" + skip_line,
          "DIR: ok (1 loaded, 3 skipped)"], 0),
        ("a file that fails to load", junk,
         [re.compile(r"DIR/junk.so: does not load: DIR/junk.so: .*"), "DIR: 1 problem (1 loaded, 0 skipped)"], 1),
        ("a type name hidden by an earlier module", two,
         [re.compile(r'DIR/(a|b).so: ds_types\[0\] "gen:.*": hidden by the type of the same name in '
                     r'DIR/(a|b).so, which comes earlier')], 1),
        ("a group-writable module", group_writable,
         ["DIR/m.so: group-writable (mode 0664, group %s)" % group_name()], 1),
        ("a world-writable directory", world, ["DIR: world-writable (mode 0777)"], 1),
        ("a symbolic link out of the directory", link_out,
         ["DIR/m.so: symbolic link to OUT/x.so, outside the directory"], 1),
        ("a module owned by another user", chown_other,
         ["DIR/m.so: owned by nobody (uid %s), neither root nor the directory's owner" % other_user()], 1),
    ]


def group_name():
    import grp
    return grp.getgrgid(os.getgid()).gr_name


def check_dir(a, work):
    failures = 0
    for number, (row, prepare, expected, status) in enumerate(dir_rows(a.fixture)):
        d, o = os.path.join(work, "dir%d" % number), os.path.join(work, "out%d" % number)
        os.makedirs(d)
        os.makedirs(o)
        os.chmod(d, 0o755)
        skip = prepare(d, o)
        if skip:
            print("skip %s: %s" % (row, skip))
            continue
        done = run([a.tool, "check", d])
        lines = done.stdout.replace(d, "DIR").replace(o, "OUT").splitlines()
        problems = ["no line %r in %r" % (getattr(e, "pattern", e), lines) for e in expected
                    if not any(e.fullmatch(x) if hasattr(e, "fullmatch") else e == x for x in lines)]
        if done.returncode != status or done.stderr:
            problems.append("status %d, stderr %r" % (done.returncode, done.stderr))
        failures += report(row, problems)
    # Without argument: the module directory, the same way.
    done = run([a.tool, "check"])
    last = done.stdout.splitlines()[-1:] or [""]
    verdict = re.fullmatch(re.escape(a.moddir) + r": (ok|\d+ problems?) \(0 loaded, 0 skipped\)", last[0])
    failures += report("no argument: the module directory", [] if verdict and done.returncode == (
        0 if verdict.group(1) == "ok" else 1) else [done.stdout])
    return failures


def main():
    parser = argparse.ArgumentParser()
    for name in ("--tool", "--group", "--fixture", "--moddir", "--cc", "--include"):
        parser.add_argument(name, required=True)
    parser.add_argument("--dsgen", default="")
    parser.add_argument("--yuma", default="")
    parser.add_argument("--ly-tree", dest="ly_tree", default="")
    a = parser.parse_args()
    if a.group in ("CompatOneChangePerRow", "CompatDebianRevisions", "TreeMatchesLibyang") and not a.dsgen or a.group in ("CompatDebianRevisions", "TreeMatchesLibyang") and (
            not a.yuma or a.yuma.endswith("NOTFOUND")):
        print("SKIP: needs dsgen%s" % (" and libyuma-base" if a.group == "CompatDebianRevisions" else ""))
        return 77
    work = tempfile.mkdtemp(prefix="dstool-schema-checks-")
    try:
        run_group = {"CompatOneChangePerRow": compat_rows, "CompatDebianRevisions": compat_debian,
                     "CompatBoundsItsWork": compat_bounds, "CheckDirNamesEveryState": check_dir,
                     "TreeMatchesLibyang": tree_matches}[a.group]
        return 1 if run_group(a, work) else 0
    finally:
        subprocess.run(["chmod", "-R", "u+rwx", work])
        shutil.rmtree(work)


if __name__ == "__main__":
    sys.exit(main())
