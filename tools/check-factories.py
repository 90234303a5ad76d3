#!/usr/bin/env python3
"""Checks that objects with a factory are made only through it.

  tools/check-factories.py [--root DIR]

Over the headers of platform/, kit/, mapsdk/ and app/: a class (or struct) with a static factory
must not have a public constructor, so a half-made object does not compile.
- A factory is a static member that hands out an object of the class by pointer (shared, unique or
  raw). A template one (create<T>(), cellWithCellID<T>()) makes the class's subclasses as well, so
  they are judged too. Not factories: the named constructors of value types, which return the
  class (or an optional of it) by value, and the accessors of a process-wide instance
  (shared..., current..., default..., instance()).
- A constructor is open when it is public, not deleted, not a copy or move constructor, and its
  first parameter is not a tag type that only the class and its subclasses can name (the way
  make_shared reaches a closed constructor). Inherited constructors (using Base::Base) keep their
  access in the base; a class that declares none has the compiler's public one. Abstract classes
  (a pure virtual member) cannot be made and pass.
Exit status 1 with one line per open class ("FILE:LINE: Class has factories f() and a public
constructor ..."), 0 when every class with a factory is closed.
"""

import argparse
import os
import re
import sys

TREES = ("platform", "kit", "mapsdk", "app")
HEADER_SUFFIXES = (".h", ".hpp")

CLASS_HEAD = re.compile(r"\b(class|struct)\s+(?:\[\[[^\]]*\]\]\s*)?(?:[A-Z_]+\s+)?([A-Za-z_]\w*)\s*(?:final\s*)?(:[^;{]*)?\{")
# The accessors of a process-wide instance hand out the one instance, made or not: not factories.
ACCESSOR = re.compile(r"^(shared|current|default|main)[A-Z_]?\w*$|^(get)?[iI]nstance$")
ACCESS = re.compile(r"^\s*(public|protected|private)\s*:")


def strip_comments_and_strings(text):
    """The text with comments, string and character literals blanked, keeping every offset."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif c == '"' or (c == "'" and not (i > 0 and text[i - 1].isalnum())):
            if c == '"' and i > 0 and text[i - 1] == "R":
                m = re.match(r'R"([^(]*)\(', text[i - 1:])
                if m:
                    end = text.find(")" + m.group(1) + '"', i)
                    end = n if end < 0 else end + len(m.group(1)) + 2
                    out.append(c + re.sub(r"[^\n]", " ", text[i + 1:end - 1]) + c)
                    i = end
                    continue
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1, n)
            out.append(c + " " * max(0, j - i - 2) + (c if j - i >= 2 else ""))
            i = j
        else:
            out.append(c)
            i += 1
    return "".join(out)


def blank_preprocessor(text):
    """Blanks preprocessor lines (with their continuations), keeping offsets."""
    lines = text.split("\n")
    continuing = False
    for k, line in enumerate(lines):
        if continuing or line.lstrip().startswith("#"):
            continuing = line.endswith("\\")
            lines[k] = " " * len(line)
    return "\n".join(lines)


def matching_brace(text, open_at):
    depth = 0
    for i in range(open_at, len(text)):
        if text[i] == "{":
            depth += 1
        elif text[i] == "}":
            depth -= 1
            if depth == 0:
                return i
    return len(text)


def top_level_statements(body):
    """Yields (offset, text) for the statements and member definitions at the body's own level, with
    nested bodies cut out (their heads stay, so a nested class is seen as one statement)."""
    start = 0
    paren = 0
    i = 0
    current = []
    while i < len(body):
        c = body[i]
        if c == "(":
            paren += 1
        elif c == ")":
            paren -= 1
        if c == "{" and paren == 0:
            close = matching_brace(body, i)
            current.append(body[start:i])
            yield start, "".join(current)
            current = []
            i = close + 1
            # A member function's body ends the statement; a variable's braces are followed by ";".
            if i < len(body) and body[i:].lstrip().startswith(";"):
                i = body.index(";", i) + 1
            start = i
            continue
        if c == ";" and paren == 0:
            current.append(body[start:i])
            yield start, "".join(current)
            current = []
            start = i + 1
        elif c == ":" and paren == 0 and body[start:i + 1].strip() in ("public:", "protected:", "private:"):
            yield start, body[start:i + 1]
            start = i + 1
        i += 1
    if body[start:].strip():
        yield start, body[start:]


class ClassInfo:
    def __init__(self, name, path, line):
        self.name = name
        self.path = path
        self.line = line
        self.factories = []
        self.subclass_factories = []  # template factories that make subclasses
        self.public_constructors = []  # (text, first parameter's type)
        self.hidden_types = set()  # nested types only the class and its friends can name
        self.declares_constructor = False
        self.inherits_constructors_of = None
        self.bases = []
        self.abstract = False


def is_copy_or_move(name, params):
    p = re.sub(r"\s+", " ", params.strip())
    p = re.sub(r"\b[a-z_]\w*$", "", p).strip()  # the parameter's name
    p = p.replace("const ", "").replace(" ", "")
    return p in (f"{name}&", f"{name}&&")


def judge_statement(info, access, statement):
    s = " ".join(statement.split())
    if not s:
        return
    if re.search(r"=\s*0\s*$", s) and "virtual" in s:
        info.abstract = True
    template = re.match(r"^template\s*<(.*?)>\s*", s)
    template_params = re.findall(r"(?:class|typename)\s+(\w+)", template.group(1)) if template else []
    s = s[template.end():] if template else s
    u = re.match(r"^using\s+(?:[\w:]*::)?(\w+)\s*::\s*(\w+)\s*$", s)
    if u and u.group(1) == u.group(2):
        # Inherited constructors keep the access they have in the base.
        info.inherits_constructors_of = u.group(1)
        info.declares_constructor = True
        return
    t = re.match(r"^(?:class|struct|enum(?:\s+class)?)\s+(\w+)|^using\s+(\w+)\s*=", s)
    if t:
        if access != "public":
            info.hidden_types.add(t.group(1) or t.group(2))
        return
    s = re.sub(r"\[\[[^\]]*\]\]\s*", "", s)
    # A constructor: [explicit] [constexpr] Name(...) ...
    m = re.match(rf"^(?:(?:explicit|constexpr|inline)(?:\s*\([^)]*\))?\s+)*{re.escape(info.name)}\s*\((.*)$", s)
    if m:
        info.declares_constructor = True
        rest = m.group(1)
        depth, k = 1, 0
        while k < len(rest) and depth:
            depth += {"(": 1, ")": -1}.get(rest[k], 0)
            k += 1
        params, tail = rest[:k - 1], rest[k:]
        if re.search(r"=\s*delete\b", tail):
            return
        if access == "public" and not is_copy_or_move(info.name, params):
            first = params.split(",")[0].replace("const", "").replace("&", "").split("=")[0].strip()
            first = first.split()[0] if first else ""
            info.public_constructors.append((s[: s.find("(") + 1] + params + ")", first))
        return
    m = re.match(r"^(?:(?:inline|constexpr|\[\[nodiscard\]\])\s+)*static\s+(?:(?:inline|constexpr)\s+)*(.+?)\b([A-Za-z_]\w*)\s*\(", s)
    if not m:
        return
    returns, fname = m.group(1).strip(), m.group(2)
    if returns.endswith("&") or "operator" in fname or ACCESSOR.match(fname):
        return
    self_word = re.compile(rf"(?<![\w:]){re.escape(info.name)}\b|(?<=::){re.escape(info.name)}\b")
    pointer = re.search(rf"(shared_ptr|unique_ptr)\s*<\s*(?:[\w:]*::)?{re.escape(info.name)}\s*>", returns) or re.search(
        rf"(?<![\w:]){re.escape(info.name)}\s*\*\s*$", returns)
    by_value = not pointer and self_word.search(returns)
    named = fname == "create" or (re.match(r"^(create|new)[A-Z_]?", fname) and self_word.search(returns))
    # A value type's named constructors (returning the value, or an optional one) hand out a copy,
    # never an object in the making; only handing out a pointer makes a factory.
    if pointer or (named and not by_value):
        info.factories.append(fname)
    if template_params and pointer or template_params and re.search(r"(shared_ptr|unique_ptr)\s*<\s*(" + "|".join(template_params) + r")\s*>", returns):
        # A template factory makes the class's subclasses too.
        info.subclass_factories.append(fname)


def classes_in(path, rel):
    with open(path, encoding="utf-8", errors="replace") as f:
        raw = f.read()
    text = blank_preprocessor(strip_comments_and_strings(raw))
    found = []

    def scan(region_start, region_end):
        pos = region_start
        while True:
            m = CLASS_HEAD.search(text, pos, region_end)
            if not m:
                return
            open_at = m.end() - 1
            close = matching_brace(text, open_at)
            # "enum class X {" is not a class.
            before = text[max(region_start, m.start() - 6):m.start()]
            if re.search(r"\benum\s*$", before):
                pos = close + 1
                continue
            kind, name = m.group(1), m.group(2)
            info = ClassInfo(name, rel, raw.count("\n", 0, m.start()) + 1)
            info.bases = re.findall(r"(?:public|protected|private)?\s*(?:virtual\s+)?(?:[\w:]*::)?(\w+)\s*(?:<[^>]*>)?\s*(?:,|$)",
                                    (m.group(3) or ":")[1:])
            access = "public" if kind == "struct" else "private"
            body = text[open_at + 1:close]
            for _, statement in top_level_statements(body):
                stripped = statement.strip()
                a = ACCESS.match(stripped)
                if a and stripped in ("public:", "protected:", "private:"):
                    access = a.group(1)
                    continue
                judge_statement(info, access, statement)
            found.append(info)
            scan(open_at + 1, close)
            pos = close + 1

    scan(0, len(text))
    return found


def scan_tree(root):
    for tree in TREES:
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, tree)):
            dirnames.sort()
            for name in sorted(filenames):
                if name.endswith(HEADER_SUFFIXES):
                    path = os.path.join(dirpath, name)
                    yield from classes_in(path, os.path.relpath(path, root))


def hidden_types(info, by_name, depth=0):
    """Nested types that code outside the class and its subclasses cannot name, its bases' too."""
    hidden = set(info.hidden_types)
    for base in info.bases:
        known = by_name.get(base)
        if known is not None and known is not info and depth < 8:
            hidden |= hidden_types(known, by_name, depth + 1)
    return hidden


def open_constructors(info, by_name, depth=0):
    """The constructors of the class that anybody can call: its own, and those it inherits."""
    hidden = hidden_types(info, by_name)
    public = [text for text, first in info.public_constructors if first not in hidden and first.split("::")[-1] not in hidden]
    if not info.declares_constructor:
        public.append(f"{info.name}()")
    base = info.inherits_constructors_of
    if base:
        known = by_name.get(base)
        if known is None or depth > 8:
            public.append(f"{base}'s constructors (inherited)")
        else:
            public += open_constructors(known, by_name, depth + 1)
    return public


def inherited_factories(classes, by_name):
    """Gives every subclass of a class with a template factory (create<T>()) that factory."""
    def makers(info, depth=0):
        found = [f"{info.name}::{f}<T>" for f in info.subclass_factories]
        for base in info.bases:
            known = by_name.get(base)
            if known is not None and known is not info and depth < 8:
                found += makers(known, depth + 1)
        return found

    for info in classes:
        for base in info.bases:
            known = by_name.get(base)
            if known is not None and known is not info:
                for maker in makers(known):
                    if maker not in info.factories:
                        info.factories.append(maker)


def check(root):
    faults = []
    closed = 0
    classes = list(scan_tree(root))
    by_name = {}
    for info in classes:
        by_name.setdefault(info.name, info)
    inherited_factories(classes, by_name)
    for info in classes:
        if not info.factories:
            continue
        factories = ", ".join(f"{f}()" for f in dict.fromkeys(info.factories))
        if info.abstract:
            continue
        # A constructor whose first parameter is a tag type only the class can name is closed.
        public = open_constructors(info, by_name)
        if public and info.declares_constructor:
            faults.append(f"{info.path}:{info.line}: {info.name} has factories {factories} and a public constructor "
                          f"{public[0]}")
        elif public:
            faults.append(f"{info.path}:{info.line}: {info.name} has factories {factories} and the compiler's public "
                          f"constructor")
        else:
            closed += 1
    return faults, closed


def main(argv):
    parser = argparse.ArgumentParser(description="Checks that classes with a factory have no public constructor.")
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    args = parser.parse_args(argv)
    faults, closed = check(os.path.abspath(args.root))
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} classes with a factory can still be made without it")
        return 1
    print(f"factories: {closed} classes are made only through their factories")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
