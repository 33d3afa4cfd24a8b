#!/usr/bin/env python3
"""The YANG fuzzer: random but valid YANG modules, each compiled by dsgen.

A module "yfz" (typedef chains, unions, patterns, ranges and lengths of
several parts, lists of several keys, choices, groupings with refines,
identities, bits, decimal64, leafrefs, leaf-lists, features and if-features)
and a module "yfz-aug" that augments it come from one seed. dsgen must not
crash, refuse only for a reason it documents, and write a module that builds
with -Wall -Wextra -Werror (as C, its header as C and C++), passes dstool
check and agrees with libyang on every value of the pool for every leaf
(yang_fuzz_check, which names the excused differences). Exit 1 on any
finding; the models of each finding are kept under WORK/findings.
"""
import argparse
import json
import os
import random
import shutil
import subprocess
import sys
import time

# Characters of patterns and texts: letters, digits, and the characters that
# XSD and POSIX brackets treat specially.
ALPHA = "abcxyz019-^[]\\.$:_/ "
WORDS = ["leaf", "class", "int", "default", "operator", "x-y", "a.b", "_u", "Up"]
ENUM_NAMES = ["up", "down", "a-b", "a.b", "a b", "1st", 'say"hi', "back\\slash", "-", "x"]
INT_BASES = {f"{u}int{b}": (0, 2**b - 1) if u else (-2**(b - 1), 2**(b - 1) - 1)
             for u in ("", "u") for b in (8, 16, 32, 64)}
U64 = (0, 2**64 - 1)
# dsgen's documented refusals of valid YANG, by their message.
KNOWN_REFUSALS = ["patterns must all match", "has no POSIX equivalent",
                  "has no libdstypes form", "does not fit 65535 bytes", "exceeds 65535 bytes"]
EXCUSES = ("above-int63", "longer-than-size", "non-ascii", "identity-no-prefix", "json-number",
           "clamped", "lone-minus", "repeated-bit", "libyang-caret", "decimal64", "announced")


def type_stmt(text):
    return f"type {text}" + ("" if text.endswith("}") else ";")


def braced(name, body):
    return f"{name} {{ {body}}}" if body else name


class Type:
    """A type's base (int dec str enum bits bool ident union binary leafref) and restrictions."""

    def __init__(self, base, parts=None, patterns=0, names=(), scale=0, bounds=None):
        self.base, self.parts, self.patterns, self.names = base, parts, patterns, list(names)
        self.scale, self.bounds = scale, bounds


class Generator:
    def __init__(self, seed):
        self.r = random.Random(seed)
        self.count = 0
        self.values = set()
        self.typedefs = []    # (name, Type)
        self.features = [f"f{i}" for i in range(self.r.randint(0, 3))]
        self.idents = []      # qualified identity names
        self.targets = []     # data paths of leaves a leafref may name
        self.nodes = []       # (schema path, kind) of containers, lists, choices
        self.groupings = []   # (name, [leaf names])
        self.used = {}        # data path -> groupings used there

    def name(self, word=None):
        self.count += 1
        return f"{word or self.r.choice(WORDS)}{self.count}"

    def chance(self, p):
        return self.r.random() < p

    def iffeature(self, p=0.15, prefix=""):
        if self.features and self.chance(p):
            return f"if-feature {prefix}{self.r.choice(self.features)}; "
        return ""

    # --- numbers: ranges and lengths of 1 to 3 parts, values at their edges ---

    def number(self, lo, hi):
        if self.chance(0.5):
            span = min(hi - lo, 1000)
            return lo + self.r.randint(0, span) if self.chance(0.5) else hi - self.r.randint(0, span)
        return self.r.randint(lo, hi)

    def sub_parts(self, parts):
        """1 to 3 ascending parts inside one of the given ones, with gaps between."""
        lo, hi = self.r.choice(parts)
        points = sorted({self.number(lo, hi) for _ in range(2 * self.r.randint(1, 3))})
        if len(points) % 2:
            points = points[:-1] if len(points) > 1 else points * 2
        out = []
        for a, b in zip(points[::2], points[1::2]):
            if not out or a > out[-1][1] + 1:
                out.append((a, b))
        return out

    def add_number_values(self, parts, scale=0):
        edges = [v for lo, hi in parts for v in (lo - 1, lo, hi, hi + 1, (lo + hi) // 2)]
        gaps = [(hi + lo) // 2 for (_, hi), (lo, _) in zip(parts, parts[1:])]
        self.values.update(self.decimal(v, scale) for v in edges + gaps)

    @staticmethod
    def decimal(v, scale):
        if scale == 0:
            return str(v)
        sign, v = ("-" if v < 0 else ""), abs(v)
        return f"{sign}{v // 10**scale}.{v % 10**scale:0{scale}d}"

    def range_text(self, parts, base, scale=0):
        items = []
        for lo, hi in parts:
            a = "min" if lo == base[0] and self.chance(0.5) else self.decimal(lo, scale)
            b = "max" if hi == base[1] and self.chance(0.5) else self.decimal(hi, scale)
            items.append(a if lo == hi else f"{a}..{b}")
        return " | ".join(items)

    # --- patterns: a tree, written as XSD and sampled for values -----------

    def pattern_node(self, depth=0):
        roll = self.r.random()
        if roll < 0.35 or depth > 2:
            return ("lit", self.r.choice(ALPHA))
        if roll < 0.6:
            members = self.r.sample(ALPHA, self.r.randint(1, 4))
            if self.chance(0.3):
                members.append(self.r.choice(["a-c", "0-9", "x-z"]))
            return ("cls", members, self.chance(0.2), self.chance(0.1))
        if roll < 0.65:
            return ("any",)
        if roll < 0.88:
            kind, n = ("seq", (1, 3)) if roll < 0.8 else ("alt", (2, 3))
            return (kind, [self.pattern_node(depth + 1) for _ in range(self.r.randint(*n))])
        lo = self.r.randint(0, 2)
        hi = self.r.choice([lo, lo + 2, None])
        return ("rep", self.pattern_node(depth + 1), lo, hi)

    def class_member(self, i, m):
        if len(m) == 3 or m not in "\\[]-^":
            return m
        if m == "-":
            return "-" if i == 0 and self.chance(0.5) else "\\-"
        if m == "^":
            return "^" if i > 0 and self.chance(0.5) else "\\^"
        return "\\" + m

    def xsd(self, node):
        kind = node[0]
        if kind == "lit":
            c = node[1]
            if c in "\\|.?*+{}()[]":
                return "\\" + c
            return "\\" + c if c in "-^" and self.chance(0.5) else c
        if kind == "any":
            return "."
        if kind == "cls":
            members = "".join(self.class_member(i, m) for i, m in enumerate(node[1]))
            return "[" + ("^" if node[2] else "") + members + ("\\d" if node[3] else "") + "]"
        if kind in ("seq", "alt"):
            joined = ("" if kind == "seq" else "|").join(self.xsd(n) for n in node[1])
            return joined if kind == "seq" else "(" + joined + ")"
        # libyang refuses a quantified \^ (it reads it as "\" and an anchor).
        inner = "^" if node[1] == ("lit", "^") else self.xsd(node[1])
        if node[1][0] in ("seq", "rep"):
            inner = "(" + inner + ")"
        lo, hi = node[2], node[3]
        quant = {(0, None): "*", (1, None): "+", (0, 1): "?"}.get((lo, hi))
        if quant is None:
            quant = "{%d}" % lo if hi == lo else "{%d,%s}" % (lo, "" if hi is None else hi)
        return inner + quant

    def sample(self, node):
        kind = node[0]
        if kind in ("lit", "any"):
            return node[1] if kind == "lit" else self.r.choice(ALPHA)
        if kind == "cls":
            chars = set()
            for m in node[1]:
                chars |= set(chr(c) for c in range(ord(m[0]), ord(m[2]) + 1)) if len(m) == 3 else {m}
            chars |= set("0123456789") if node[3] else set()
            chars = (set(ALPHA) - chars or {"w"}) if node[2] else chars
            return self.r.choice(sorted(chars))
        if kind in ("seq", "alt"):
            return "".join(map(self.sample, node[1])) if kind == "seq" else \
                self.sample(self.r.choice(node[1]))
        hi = node[3] if node[3] is not None else node[2] + 3
        return "".join(self.sample(node[1]) for _ in range(self.r.randint(node[2], hi)))

    def pattern(self):
        """A pattern's text; its samples and their near misses go to the pool."""
        node = self.pattern_node()
        for _ in range(4):
            text = self.sample(node)
            self.values.add(text)
            for _ in range(2):
                i, c = self.r.randint(0, len(text)), self.r.choice(ALPHA)
                self.values.update({text[:i] + c + text[i:], text[:i] + text[i + 1:],
                                    text[:i] + c + text[i + 1:]})
        text = self.xsd(node) + ("\\w" if self.chance(0.03) else "")  # \w: dsgen refuses it
        return text.replace("'", "")

    # --- types -------------------------------------------------------------

    def restrict(self, t):
        """A restriction of type t: the statements to write and the new Type."""
        new = Type(t.base, t.parts, t.patterns, t.names, t.scale, t.bounds)
        body = ""
        if t.base in ("int", "dec") and self.chance(0.6 if t.base == "int" else 0.5):
            new.parts = self.sub_parts(t.parts)
            self.add_number_values(new.parts, t.scale)
            body = f"range \"{self.range_text(new.parts, t.bounds, t.scale)}\"; "
        elif t.base == "str":
            if self.chance(0.5):
                cap = 40 if self.chance(0.9) else 300
                parts = [(lo, min(hi, cap)) for lo, hi in t.parts or [U64] if lo <= cap]
                new.parts = self.sub_parts(parts or t.parts)
                self.values.update(self.r.choice("ab") * n for lo, hi in new.parts
                                   for n in {lo - 1, lo, hi, hi + 1} if n >= 0)
                body += f"length \"{self.range_text(new.parts, U64)}\"; "
            if (t.patterns == 0 and self.chance(0.5)) or self.chance(0.04):
                new.patterns += 1
                body += f"pattern '{self.pattern()}'; "
        elif t.base in ("enum", "bits") and self.chance(0.3) and len(t.names) > 1:
            new.names = self.r.sample(t.names, self.r.randint(1, len(t.names)))
            word = "enum" if t.base == "enum" else "bit"
            body = " ".join(f"{word} {self.quote(n)};" for n in new.names) + " "
        return body, new

    @staticmethod
    def quote(text):
        return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'

    def named_members(self, word, names, extra, show=str):
        """Enum or bit statements, all but the first maybe under a feature;
        the names never disabled are what a restriction may name."""
        body, always = "", []
        for i, (n, more) in enumerate(zip(names, extra)):
            feature = self.iffeature() if i else ""
            body += f"{word} {show(n)} {{ {more}{feature}}} "
            if not feature:
                always.append(n)
        return body, always

    def fresh_type(self, depth=0):
        """A type written in place: (YANG text, Type)."""
        roll = self.r.random()
        if roll < 0.25:
            base = INT_BASES[name := self.r.choice(list(INT_BASES))]
            t = Type("int", parts=[base], bounds=base)
            self.add_number_values([base])
            self.values.update({"1.5", "x", "+1", "01"})
        elif roll < 0.45:
            name, t = "string", Type("str")
        elif roll < 0.55:
            names = self.r.sample(ENUM_NAMES, self.r.randint(1, 4))
            # Either every value is given, all different, or none.
            values = self.r.sample([0, 1, 7, 300, -5, 2**31 - 1, -2**31], len(names)) \
                if self.chance(0.3) else [None] * len(names)
            body, always = self.named_members(
                "enum", names, ["" if v is None else f"value {v}; " for v in values], self.quote)
            for n in names:
                self.values.update({n, n + "x", n.upper()})
            return f"enumeration {{ {body}}}", Type("enum", names=always)
        elif roll < 0.62:
            names = [self.name("b") for _ in range(self.r.randint(1, 4))]
            positions = self.r.sample(range(0, 40), len(names))
            body, always = self.named_members("bit", names, [f"position {p}; " for p in positions])
            self.values.update({names[0], " ".join(names), "", "nosuch", names[-1] + " " + names[0]})
            return f"bits {{ {body}}}", Type("bits", names=always)
        elif roll < 0.7:
            scale, bound = self.r.choice([1, 2, 3, 18]), 2**63 - 1
            t = Type("dec", parts=[(-bound - 1, bound)], bounds=(-bound - 1, bound), scale=scale)
            self.values.update({"1.5", "-0.25", "3", "1.1234", "0.0001"})
            body, t = self.restrict(t)
            return f"decimal64 {{ fraction-digits {scale}; {body}}}", t
        elif roll < 0.76 and self.idents:
            return f"identityref {{ base {self.r.choice(self.idents)}; }}", Type("ident")
        elif roll < 0.8:
            self.values.update({"true", "false"})
            return "boolean", Type("bool")
        elif roll < 0.83:
            self.values.update({"AAAA", "AAA=", "AA==", "A", "QUJD"})
            return "binary", Type("binary")
        elif roll < 0.92 and depth < 2:
            members = [self.any_type(depth + 1)[0] for _ in range(self.r.randint(2, 3))]
            return "union { " + " ".join(type_stmt(m) for m in members) + " }", Type("union")
        elif self.targets and depth == 0 and self.chance(0.7):
            path = self.r.choice(self.targets)
            require = " require-instance false;" if self.chance(0.3) else ""
            return f"leafref {{ path \"{path}\";{require} }}", Type("leafref")
        else:
            name, t = "string", Type("str")
        body, t = self.restrict(t)
        return braced(name, body), t

    def any_type(self, depth=0, no_leafref=False):
        """A type for a leaf: a typedef (maybe restricted) or one in place."""
        if self.typedefs and self.chance(0.4):
            name, t = self.r.choice(self.typedefs)
            if t.base == "leafref" and no_leafref:
                return self.any_type(depth, no_leafref)
            body, new = self.restrict(t) if self.chance(0.4) else ("", t)
            return braced(name, body), new
        text, t = self.fresh_type(depth)
        return self.any_type(depth, no_leafref) if no_leafref and t.base == "leafref" else (text, t)

    def typedef_stmts(self):
        out = ""
        for _ in range(self.r.randint(0, 5)):
            name = self.name("t")
            if self.typedefs and self.chance(0.5):
                base_name, base = self.r.choice(self.typedefs)
                body, t = self.restrict(base)
                text = braced(base_name, body)
            else:
                text, t = self.fresh_type()
            out += f"  typedef {name} {{ {type_stmt(text)} }}\n"
            self.typedefs.append((name, t))
        return out

    # --- data nodes --------------------------------------------------------

    def leaf(self, path, state, conditional, key=False):
        name = self.name()
        text, t = self.any_type(no_leafref=key)
        feature = "" if key else self.iffeature()
        if not state and not conditional and (key or (not feature and t.base != "leafref")):
            self.targets.append(f"{path}/y:{name}")
        return name, f"leaf {name} {{ {type_stmt(text)} {feature}}}"

    def children(self, path, schema, depth, state, conditional, grouping=False):
        out = []
        for _ in range(self.r.randint(1, 4 if depth < 3 else 2)):
            roll = self.r.random()
            if roll < 0.45 or depth >= 3:
                out.append(self.leaf(path, state, conditional or grouping)[1])
                if self.chance(0.1):  # siblings whose C names collide
                    n = self.count
                    out.append(f"leaf p-q{n} {{ type string; }} leaf p.q{n} {{ type int8; }}")
            elif roll < 0.55:
                name = self.name()
                text, _ = self.any_type()
                limit = f"max-elements {self.r.randint(1, 5)}; " if self.chance(0.4) else ""
                out.append(f"leaf-list {name} {{ {type_stmt(text)} {limit}{self.iffeature()}}}")
            elif roll < 0.68:
                name = self.name("c")
                feature = self.iffeature()
                sub_state = state or self.chance(0.15)
                config = "config false; " if sub_state and not state else ""
                body = self.children(f"{path}/y:{name}", f"{schema}/y:{name}", depth + 1,
                                     sub_state, conditional or bool(feature) or grouping)
                if not grouping:
                    self.nodes.append((f"{schema}/y:{name}", "container"))
                out.append(f"container {name} {{ {config}{feature}{body} }}")
            elif roll < 0.8:
                out.append(self.list_stmt(path, schema, depth, state, conditional, grouping))
            elif roll < 0.9:
                name = self.name("ch")
                cases = ""
                for _ in range(self.r.randint(1, 3)):
                    case = self.name("k")
                    body = self.children(path, f"{schema}/y:{name}/y:{case}", 3, state, True, grouping)
                    cases += f"case {case} {{ {self.iffeature()}{body} }} "
                if not grouping:
                    self.nodes.append((f"{schema}/y:{name}", "choice"))
                out.append(f"choice {name} {{ {cases}}}")
            elif self.groupings and not grouping:
                g, leaves = self.r.choice(self.groupings)
                if g in self.used.setdefault(path, set()):
                    continue  # its leaves are already there
                self.used[path].add(g)
                refine = ""
                if leaves and self.chance(0.6):
                    refine = f" refine {leaves[0]} {{ description \"r\"; {self.iffeature(0.5)}}}"
                out.append(f"uses {g} {{{refine} }}")
        return " ".join(out)

    def list_stmt(self, path, schema, depth, state, conditional, grouping):
        name = self.name("l")
        sub_state = state or self.chance(0.2)
        config = "config false; " if sub_state and not state else ""
        keyless = sub_state and self.chance(0.3)
        keys = [self.leaf(f"{path}/y:{name}", sub_state, conditional or grouping, key=True)
                for _ in range(0 if keyless else self.r.randint(1, 3))]
        body = self.children(f"{path}/y:{name}", f"{schema}/y:{name}", depth + 1, sub_state,
                             conditional or grouping, grouping)
        if not grouping:
            self.nodes.append((f"{schema}/y:{name}", "list"))
        key = f"key \"{' '.join(k for k, _ in keys)}\"; " if keys else ""
        return f"list {name} {{ {config}{key}{' '.join(s for _, s in keys)} {body} }}"

    # --- modules -----------------------------------------------------------

    def identities(self, prefix="", bases=()):
        out = ""
        module = "yfz-aug" if prefix else "yfz"
        for _ in range(self.r.randint(0, 4)):
            name = self.name("id")
            base = self.r.choice(list(bases) + self.idents) if (bases or self.idents) and \
                self.chance(0.7) else None
            out += f"  identity {name} {{ {f'base {base}; ' if base else ''}" \
                   f"{self.iffeature(0.1, prefix)}}}\n"
            if not prefix:
                self.idents.append(f"y:{name}")
            self.values.update({f"{module}:{name}", name, f"{module}:{name}x"})
        return out

    def main_module(self):
        text = "module yfz {\n  yang-version 1.1;\n  namespace \"urn:yfz\";\n  prefix y;\n"
        text += "".join(f"  feature {f};\n" for f in self.features)
        text += self.identities() + self.typedef_stmts()
        for _ in range(self.r.randint(0, 2)):
            name = self.name("g")
            leaves = [self.leaf("", False, True) for _ in range(self.r.randint(1, 3))]
            self.groupings.append((name, [n for n, _ in leaves]))
            text += f"  grouping {name} {{ {''.join(s + ' ' for _, s in leaves)}}}\n"
        for _ in range(self.r.randint(1, 2)):
            name = self.name("top")
            self.nodes.append((f"/y:{name}", "container"))
            body = self.children(f"/y:{name}", f"/y:{name}", 1, False, False)
            text += f"  container {name} {{ {body} }}\n"
        return text + "}\n"

    def aug_module(self):
        text = ("module yfz-aug {\n  yang-version 1.1;\n  namespace \"urn:yfz-aug\";\n"
                "  prefix a;\n  import yfz { prefix y; }\n")
        text += self.identities("y:", self.idents)
        self.typedefs = [(f"y:{n}", t) for n, t in self.typedefs]
        self.features = [f"y:{f}" for f in self.features]
        self.groupings = [(f"y:{g}", leaves) for g, leaves in self.groupings]
        for schema, kind in self.r.sample(self.nodes, min(len(self.nodes), self.r.randint(0, 3))):
            if kind == "choice":
                case = self.name("k")
                body = self.children("", f"{schema}/a:{case}", 3, False, True)
                text += f"  augment \"{schema}\" {{ case {case} {{ {body} }} }}\n"
            else:
                body = self.children("", schema, 3, False, True)
                text += f"  augment \"{schema}\" {{ {self.iffeature(0.2)}{body} }}\n"
        return text + "}\n"


def generate(seed):
    g = Generator(seed)
    main = g.main_module()
    enabled = g.r.sample(g.features, g.r.randint(0, len(g.features))) if g.features else None
    aug = g.aug_module()
    return main, aug, enabled, sorted(g.values | {"", "\u00e9", "a\nb", "x" * 300})


def run(argv, timeout):
    """(status, stdout, stderr); status None after a timeout."""
    try:
        done = subprocess.run(argv, capture_output=True, text=True, timeout=timeout)
        return done.returncode, done.stdout, done.stderr
    except subprocess.TimeoutExpired:
        return None, "", ""


class Fuzzer:
    def __init__(self, args):
        self.a = args
        self.totals = {}
        self.findings = 0
        self.refusals = {}

    def add(self, key, n=1):
        self.totals[key] = self.totals.get(key, 0) + n

    def keep(self, folder, seed, line, files):
        print(line, flush=True)
        keep = os.path.join(self.a.work, folder, str(seed))
        os.makedirs(keep, exist_ok=True)
        for f in files:
            shutil.copy(f, keep)

    def finding(self, seed, what, files):
        self.findings += 1
        self.keep("findings", seed, f"FINDING seed {seed}: {what}", files)

    def libyang_fault(self, seed, what, files):
        """libyang itself crashed: counted and kept, not a finding against dsgen."""
        self.add("libyang-crashes")
        self.keep("libyang-faults", seed, f"seed {seed}: {what}", files)

    def write(self, path, text):
        with open(path, "w") as out:
            out.write(text)
        return path

    def one(self, seed):
        a = self.a
        main, aug, enabled, values = generate(seed)
        work = os.path.join(a.work, "current")
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        at = lambda name: os.path.join(work, name)  # noqa: E731
        files = [self.write(at("yfz.yang"), main), self.write(at("yfz-aug.yang"), aug)]
        values_file = self.write(at("values.json"), json.dumps(values))
        features = "*" if enabled is None else "yfz:" + ",".join(enabled)
        c_file, h_file = at("yfz.c"), at("yfz.h")
        dsgen = [a.dsgen, "-p", work, "-o", c_file, "-H", h_file, "--string-size",
                 str([16, 64, 256][seed % 3]), "--max-elements", str(1 + seed % 5)]
        dsgen += ["-F", features] if enabled is not None else []
        status, _, err = run(dsgen + files, 60)
        self.add("modules")
        if status is None or status < 0 or status > 1:
            alone, _, _ = run([a.check, features, "--load-only", "-", *files], 60)
            if status is not None and status < 0 and alone == 3:  # crash in libyang
                return self.libyang_fault(seed, "libyang's lys_parse crashes on the models", files)
            return self.finding(seed, f"dsgen ended with {status}: {err.strip()[-300:]}", files)
        if status == 1:
            errors = [line for line in err.splitlines() if line.startswith("dsgen: error:")]
            if any("(fix the model or the search path (-p))" in e for e in errors):
                return self.finding(seed, "libyang refuses the generated models: " + errors[0], files)
            unknown = [e for e in errors if not any(k in e for k in KNOWN_REFUSALS)]
            if unknown or not errors:
                return self.finding(seed, "dsgen refuses: " + "; ".join(unknown)[:300], files)
            for reason in {k for k in KNOWN_REFUSALS for e in errors if k in e}:
                self.refusals[reason] = self.refusals.get(reason, 0) + 1
            return
        self.add("compiled")
        stderr_file = self.write(at("dsgen.stderr"), err)
        files += [c_file, h_file]
        module = os.path.join(a.moddir, "yfz.so")
        for name in os.listdir(a.moddir):
            os.remove(os.path.join(a.moddir, name))
        strict = ["-Wall", "-Wextra", "-Werror", "-I", a.include, "-I", work]
        steps = [("the module does not build", [a.cc, "-std=c11", *strict, "-shared", "-fPIC", "-o",
                                                module, c_file, self.write(at("header_check.c"),
                                                                           '#include "yfz.h"\n')]),
                 ("the header does not build as C++",
                  [a.cxx, "-std=c++20", *strict, "-fsyntax-only", "-x", "c++", h_file])]
        for what, argv in steps:
            status, _, err = run(argv, 120)
            if status != 0:
                return self.finding(seed, f"{what}: {err.strip()[:400]}", files)
        status, out, err = run([a.dstool, "check", module], 60)
        if status != 0 or out.strip() != module + ": ok":
            return self.finding(seed, f"dstool check: {(out + err).strip()[:400]}", files)
        status, out, err = run([a.check, features, values_file, stderr_file, *files[:2]], 300)
        lines = out.rstrip().splitlines() or [""]
        if status == 3 and lines[-1].startswith("crash in libyang"):
            self.libyang_fault(seed, lines[-1] + " (values after it are not compared)", files)
            lines.pop()
        elif status != 0 or not lines[-1].startswith("counts "):
            return self.finding(seed, f"yang_fuzz_check ended with {status}: {(out + err)[-400:]}",
                                files + [values_file, stderr_file])
        for line in lines:
            if not line.startswith("counts "):
                self.finding(seed, line, files + [values_file, stderr_file])
                continue
            for key, value in (item.split("=") for item in line.split()[1:]):
                self.add(key, int(value))

    def report(self, started):
        t = self.totals
        print(f"{t.get('modules', 0)} modules, {t.get('compiled', 0)} compiled by dsgen, "
              f"refused by dsgen as documented: {self.refusals or 'none'}; "
              f"{t.get('values', 0)} values: {t.get('agreed', 0)} agreed, "
              f"{t.get('disagreed', 0)} disagreed, excused: "
              + ", ".join(f"{k} {t.get(k, 0)}" for k in EXCUSES)
              + f"; libyang crashed on {t.get('libyang-crashes', 0)} modules"
              + " (kept in WORK/libyang-faults)"
              + f"; {self.findings} findings in {time.time() - started:.0f} s", flush=True)


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    for name in ("dsgen", "check", "dstool", "cc", "cxx", "include", "moddir", "work"):
        p.add_argument("--" + name, required=True)
    p.add_argument("--seed", type=int, default=1, help="first seed; module i uses seed + i")
    p.add_argument("--count", type=int, default=0, help="number of modules")
    p.add_argument("--seconds", type=float, default=0, help="run until this many seconds passed")
    a = p.parse_args()
    fuzzer, started, i = Fuzzer(a), time.time(), 0
    while (a.count and i < a.count) or (a.seconds and time.time() - started < a.seconds):
        fuzzer.one(a.seed + i)
        i += 1
        if a.seconds and i % 100 == 0:
            fuzzer.report(started)
    fuzzer.report(started)
    return 1 if fuzzer.findings else 0


if __name__ == "__main__":
    sys.exit(main())
