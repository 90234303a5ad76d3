#!/usr/bin/env python3
"""Puts one small fault at a time into a folder's code and sees whether the tests notice.

Each mutation is one a reviewer fears, at a logic line of a source file under the named folder,
chosen at random from a seed given or taken from the clock (printed either way). The kinds, each
reported as a class of its own:
  flip    a comparison turned into its opposite          (a < b  ->  a >= b)
  bound   a bound moved by one                           (a < b  ->  a <= b, n + 1 -> n)
  swap    two arguments of one call exchanged            (f(a, b) -> f(b, a))
  drop    a call standing alone left out                 (v.update(); -> ;)
  return  an early return, break or continue left out    (if (x) return; -> if (x) {})
  negate  a condition negated whole                      (if (c) -> if (!(c)))
  flag    a flag inverted                                (true -> false, !done -> done)
  field   one of a pair of fields read for the other     (p.x -> p.y, size.width -> size.height)
  lock    a lock dropped                                 (platform::MutexLock l(mu_); -> ;)
  reset   a reset or clear of kept state left out        (items_.clear(); -> ;  done_ = false; -> ;)
  erase   an erase or removal from a kept list left out  (pending_.erase(id); -> ;)
  ignored a failed call's answer ignored                 (if (!f(x)) return; -> if (((void)(f(x)), false)) return;)
  branch  a limit moved by one on a branch's own path    (} else if (n > 16) -> } else if (n > 17))
  siblings two views added to one parent in the other order
  merge   the other side of a merge wins                 (m.insert_or_assign(k, v) -> m.emplace(k, v), m[k] = v; -> m.emplace(k, v);)
  complete a completeness check one entry short          (if (rows.size() != n) -> if (rows.size() + 1 != n))
  unit    a unit factor dropped or doubled               (s * 1000 -> s, s * 1000 * 1000; seconds <-> milliseconds)
  moment  a time counted from another moment             (last_ = now(); -> ;  now() - last_ -> now() - start_)
  token   a variant of a token no longer taken           (lowercase(s) -> s, s.strip() -> s, strcasecmp -> strcmp)
  target  a driver's target moved to a child or parent   (&v == &t || t.isDescendantOfView(&v) -> t.isDescendantOfView(&v))
  trylock a lock's failure to take it ignored            (if (!m.tryLock()) -> if (((void)(m.tryLock()), false)),
                                                          flock -w 2 9 -> { flock -w 2 9 || true; })
The folders are platform, kit, mapsdk and app (their .cpp files) and tools: the runner in
tools/kavro and the python tools that have tests.

Mutations run in copies of the tree (build/mutate/treeN, each with its own build/test), never in
the tree itself, so the build directory you work in stays yours; a copy is brought up to date
with the tree (changed files only) at the start of each run. For each mutation the affected
targets alone are built and the tests run in stages, cheapest first, stopping at the first that
fails: the mutated folder's own tests, then every other test executable that links the mutated
library, then the road tests. A dropped lock is first read by clang's thread-safety analysis:
a warning kills it. A mutation is killed when a test fails; one that does not build is set aside.
The report gives the kill rate, the rate per class and each survivor.

  tools/mutate.py kit -n 40                      # seed from the clock, printed
  tools/mutate.py kit -n 40 --seed 7 --workers 2 # two copies of the tree, jobs shared among them
  tools/mutate.py mapsdk -n 20 --list            # the sample only, nothing built
  tools/mutate.py --since 7fe58cc                # every mutation of the lines changed since that commit

With --since BASE the sample is of the lines a change touched: those added or changed since BASE
in the working tree (its commits and what is not committed yet, new files whole), in every folder
above and in the shell scripts with tests (build.sh); -n then takes that many of them, all by
default.
"""

import argparse
import dataclasses
import hashlib
import json
import os
import queue
import random
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
from dataclasses import dataclass

FOLDERS = ("platform", "kit", "mapsdk", "app", "tools")
KINDS = ("flip", "bound", "swap", "drop", "return", "negate", "flag", "field", "lock", "reset", "erase", "ignored",
         "branch", "siblings", "merge", "complete", "unit", "moment", "token", "target", "trylock")
# The python tools with tests of their own, each with the CTest tests that run them (a check's
# tests and the check over the tree). The generators beside them make files that are checked in
# and read by tests of their own.
PY_TOOLS = {
    "tools/check-folders.py": r"^tools\.(check_)?folders$",
    "tools/check-factories.py": r"^tools\.(check_)?factories$",
    "tools/mutate.py": r"^tools\.mutate$",
}
CPP_TOOLS = ("tools/kavro",)
# Shell scripts with tests of their own, each with the CTest tests that run it.
SH_TOOLS = {
    "build.sh": r"^tools\.build$",
}
# Vendored code: not ours to test.
EXCLUDE = ("platform/net/duktape",)
# All the jobs the machine lets a run have, shared among its workers.
MAX_JOBS = 3

# Comparison operators as clang-format writes them between operands: spaced on both sides, which
# keeps out template brackets, shifts, arrows and include lines.
_COMPARISON = re.compile(r"(?<=\s)(==|!=|<=|>=|<|>)(?=\s)")
FLIPPED = {"==": "!=", "!=": "==", "<": ">=", ">=": "<", ">": "<=", "<=": ">"}
SHIFTED = {"<": "<=", "<=": "<", ">": ">=", ">=": ">"}
# "+ 1" or "- 1" after an operand: the other side of an off-by-one.
_PLUS_ONE = re.compile(r"(?<=[\w)\]]) ([-+]) 1\b(?![.\w])")
# A call with two to four plain arguments (no nested call, template or string).
_CALL_ARGS = re.compile(r"\b([A-Za-z_]\w*)\(([^(),<>\"'{}]+(?:, [^(),<>\"'{}]+){1,3})\)")
_DECLARATION = re.compile(r"(?:const\s+)?[A-Za-z_][\w:<>]*(?:\s*[*&]+\s*|\s+)[A-Za-z_]\w*")
_NUMBER = re.compile(r"-?(?:0x[0-9a-fA-F]+|\d+(?:\.\d*)?(?:e-?\d+)?)[uUlLfF]*")
_IDENT = re.compile(r"[A-Za-z_][\w.:>-]*")
# A statement that is one call and nothing else: f(x); obj.f(); p->q.f(a, b);
_CALL_STATEMENT = re.compile(r"^(\s*)((?:[A-Za-z_][\w:]*(?:\.|->))*[A-Za-z_][\w:]*\(.*\));\s*$")
_PY_CALL_STATEMENT = re.compile(r"^(\s*)((?:[A-Za-z_]\w*\.)*[A-Za-z_]\w*\(.*\))\s*$")
_CONDITION = re.compile(r"\b(if|while) \(")
_PY_CONDITION = re.compile(r"^(\s*)(if|elif|while) (.+):\s*$")
_EARLY_EXIT = re.compile(r"\b(return|break|continue);")
_PY_EARLY_EXIT = re.compile(r"^(\s*)(return|break|continue)\s*$")
_FLAG = {"true": "false", "false": "true"}
_PY_FLAG = {"True": "False", "False": "True"}
_BOOL = re.compile(r"\b(true|false)\b")
_PY_BOOL = re.compile(r"\b(True|False)\b")
# "!name" or "!obj.name()" in an expression: the negation taken off.
_NOT = re.compile(r"(?<![\w)!])!(?=[A-Za-z_])")
_PY_NOT = re.compile(r"\bnot (?=[A-Za-z_(])")
# Fields that come in pairs of one type: reading one for the other is a reviewer's classic.
_PAIRS = [("x", "y"), ("width", "height"), ("first", "second"), ("left", "right"), ("top", "bottom"),
          ("row", "column"), ("latitude", "longitude"), ("lat", "lon"), ("min", "max"), ("begin", "end"),
          ("start", "end"), ("w", "h"), ("dx", "dy"), ("start", "stop")]
_FIELD_OTHER = {}
for _a, _b in _PAIRS:
    _FIELD_OTHER.setdefault(_a, _b)
    _FIELD_OTHER.setdefault(_b, _a)
_FIELD = re.compile(r"(\.|->)(" + "|".join(sorted(_FIELD_OTHER, key=len, reverse=True)) + r")_?\b(?!\()")
_LOCK = re.compile(r"^(\s*)(?:platform::)?MutexLock\s+\w+[({].*[)}];\s*$")
# Calls that empty what an object keeps, and fields set back to nothing: left out, the object
# carries its last use into the next.
_RESET_CALL = re.compile(r"^(clear|reset|removeAll\w*|clearAll\w*)$")
_RESET_ASSIGN = re.compile(r"^(\s*)(?:this->|self\.)?[A-Za-z_][\w.>-]*?(?:_|\.\w+)\s*=\s*"
                           r"(?:false|False|0|0\.0|nullptr|None|\{\}|\[\]|\"\"|std::nullopt|-1)\s*;?\s*$")
# Calls that take an entry out of a list, table or registry.
_ERASE_CALL = re.compile(r"^(erase|remove\w*|pop_back|pop_front|pop|discard|unregister\w*|forget\w*)$")
_PY_DEL = re.compile(r"^(\s*)del \S.*$")
# A condition that is the answer of one call: "!f(x)", "f(x) < 0", "f(x) != OK".
_CALLED = r"(?:::)?(?:[A-Za-z_][\w:]*(?:\.|->))*[A-Za-z_][\w:]*\(.*\)"
_FAILED_CALL = re.compile(r"^!\s*(" + _CALLED + r")$")
_FAILED_ANSWER = re.compile(r"^(" + _CALLED + r")\s+(?:<|==|!=)\s+(?:0|-1|nullptr|[\w:]*(?:OK|Ok|DONE|Done)\w*)$")
# A limit a comparison holds: a number, or a constant named as one.
_LIMIT = re.compile(r"(?:(?<=[^<>][<>] )|(?<=[^<>=!][<>]= ))(\d+|k[A-Z]\w*|[A-Z][A-Z0-9_]{2,})\b(?![.(\w])"
                    r"|\b(\d+|k[A-Z]\w*|[A-Z][A-Z0-9_]{2,})(?= (?:<=|>=|<|>) )")
_SUBVIEW = re.compile(r"^(\s*)(.*?)(?:->|\.)?(addSubview|addArrangedSubview)\((.+)\);\s*$")
_NOT_A_CALL = {"if", "while", "for", "switch", "return", "sizeof", "static_assert", "catch", "assert",
               "elif", "print", "not", "and", "or", "def", "class", "lambda", "in", "is"}
# A merge: the entry kept when both sides hold a key. insert_or_assign and m[k] = v let the new one
# win, emplace and try_emplace the one already there.
_MERGE_OVERWRITE = re.compile(r"\b(insert_or_assign)\(")
_MERGE_KEEP = re.compile(r"\b(try_emplace|emplace)\((?=[^()]*,)")
_MERGE_INDEX = re.compile(r"^(\s*)([A-Za-z_][\w.>-]*)\[([^\[\]]+)\] = (.+);\s*$")
_PY_MERGE_INDEX = re.compile(r"^(\s*)([A-Za-z_][\w.]*)\[([^\[\]]+)\] = (.+?)\s*$")
_PY_MERGE_DEFAULT = re.compile(r"^(\s*)([A-Za-z_][\w.]*)\.setdefault\(([^(),]+), (.+)\)\s*$")
_PY_MERGE_SPREAD = re.compile(r"\{\*\*([\w.]+), \*\*([\w.]+)\}")
# A count of entries compared for equality with what it should be.
_SIZE_TERM = r"(?:[A-Za-z_][\w.>\[\]-]*(?:\.|->)(?:size|length|count)\(\)|len\([^()]+\)|std::size\([^()]+\))"
_COMPLETE = re.compile(r"(" + _SIZE_TERM + r")(?= (?:==|!=) )|(?<=(?:==|!=) )(" + _SIZE_TERM + r")")
# A factor between units of time or size.
_UNIT = re.compile(r" ([*/]) (1000|1e3|1e6|1e9|1000000|1000000000|60|3600|1024|86400)(\.0)?(?![\w.])")
_CHRONO_UNITS = {"seconds": "milliseconds", "milliseconds": "seconds", "microseconds": "milliseconds",
                 "nanoseconds": "microseconds"}
_CHRONO = re.compile(r"\bstd::chrono::(seconds|milliseconds|microseconds|nanoseconds)\b")
# A reading of a clock, and a kept moment set from one.
_CLOCK = r"(?:[\w:]*::now\(\)|\bnow\(\)|\bmonotonic\(\)|time\.monotonic\(\)|time\.time\(\)|\bnowSeconds\(\)|currentTime\(\))"
_MOMENT_SET = re.compile(r"^(\s*)(?:this->|self\.)?([A-Za-z_][\w.>-]*)\s*=\s*" + _CLOCK + r";?\s*$")
_MOMENT_DECLARED = re.compile(r"\b([A-Za-z_]\w*)\s*=\s*" + _CLOCK + r"\s*;?\s*$")
_MOMENT_FROM = re.compile(_CLOCK + r" - (?:this->|self\.)?([A-Za-z_]\w*)\b(?![.(\[])")
# A token taken in its variants: a case folded, spaces or quotes taken off, compared without case.
_TOKEN_CALL = re.compile(r"(?<![\w.>])((?:[\w]+::)*(?:lowercase\w*|lowercased|toLower\w*|tolower|trim\w*|unquote\w*|"
                         r"stripQuotes|stripped|strip\w*Space\w*))\(")
_PY_TOKEN = re.compile(r"\.(?:lower|casefold|strip|lstrip|rstrip)\((?:[^()]*)\)")
_TOKEN_CASELESS = {"strcasecmp": "strcmp", "strncasecmp": "strncmp"}
_CASELESS = re.compile(r"\b(strcasecmp|strncasecmp)\(")
_CASELESS_EQ = re.compile(r"\b(?:[\w]+::)*(iequals|equalsIgnoringCase|caseInsensitiveEquals?)\(([^(),]+), ([^(),]+)\)")
# A driver's target: the view named, or a view inside it.
_TARGET_DESCENDANT = re.compile(r"(&?[\w.>*-]+) == (&?[\w.>*-]+) \|\| ([\w.>*-]+(?:\.|->)isDescendantOfView\([^()]+\))")
_TARGET_DESCENDANT_ALONE = re.compile(r"([\w.>*-]+(?:\.|->))isDescendantOfView\(([^()]+)\)")
# A lock tried: its answer is whether it was taken.
_TRY_LOCK = r"(?:[A-Za-z_][\w.>-]*(?:\.|->))?(?:tryLock\w*|try_lock\w*|owns_lock)\([^()]*\)"
_TRY_LOCK_COND = re.compile(r"\bif \((!?)\s*(" + _TRY_LOCK + r")\)")
_SH_FLOCK = re.compile(r"(?<![\w(])flock( -[nwsxeo]+(?: [\d.]+)?)* (\d+|\S+\.lock\S*|\"[^\"]*\")(?=$|;|\s|\))")
BACKUP_SUFFIX = ".mutate-orig"
# Held while a file is mutated or put back: a worker and an interrupted run's main thread both do.
_FILES = threading.Lock()


@dataclass(frozen=True)
class Mutation:
    path: str  # relative to the root
    line: int  # 1-based
    kind: str
    column: int
    original: str
    mutated: str
    # Which of the file's lines of this very text it is (1, 2, ...) when there are several, else 0.
    repeat: int = 0
    # How many lines it changes from line on (original and mutated hold them joined by newlines).
    span: int = 1

    def key(self):
        """Stable across edits elsewhere in the file: path, kind, column and the line's text, and
        for a text the file holds more than once which of them it is, so that setting one aside
        does not hide the others."""
        digest = hashlib.sha1(self.original.strip().encode()).hexdigest()[:10]
        which = f".{self.repeat}" if self.repeat else ""
        return f"{self.path}:{self.kind}:{self.column}:{digest}{which}"

    def describe(self):
        return f"{self.path}:{self.line} {self.kind}\n  - {self.original.strip()}\n  + {self.mutated.strip()}"


def _is_python(path):
    return path.endswith(".py")


def _comment_start(line, marker="//"):
    for i in range(len(line) - len(marker) + 1):
        if line.startswith(marker, i) and not _in_string(line, i):
            return i
    return None


def _code_part(line, python=False):
    """The line without a trailing comment; None for lines that hold no logic."""
    stripped = line.strip()
    if python:
        if not stripped or stripped.startswith(("#", "import ", "from ", "@")):
            return None
        cut = _comment_start(line, "#")
        return line[:cut].rstrip() if cut is not None else line
    if not stripped or stripped.startswith(("//", "#", "*", "/*")):
        return None
    cut = _comment_start(line)
    return line[:cut] if cut is not None else line


def _in_string(line, index):
    quote = None
    i = 0
    while i < index:
        c = line[i]
        if quote:
            if c == "\\":
                i += 1
            elif c == quote:
                quote = None
        elif c in "\"'":
            quote = c
        i += 1
    return quote is not None


def _matching_paren(text, open_index):
    depth = 0
    for i in range(open_index, len(text)):
        if text[i] == "(":
            depth += 1
        elif text[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return None


def _arg_class(a):
    """What a swap may exchange an argument with, read from its spelling alone: a value (a number
    or a name), a keyword constant, a named constant (Kind::Value, kName), or nothing (anything
    else: a string, an expression)."""
    if a in ("true", "false", "nullptr", "True", "False", "None"):
        return "keyword"
    if re.fullmatch(r"(?:\w+::)+[A-Z]\w*|k[A-Z]\w*", a):
        return "constant"
    if _NUMBER.fullmatch(a) or _IDENT.fullmatch(a):
        return "value"
    return None


def _same_kind(a, b):
    """Two arguments a swap may exchange: likely of one type, so that the swap builds and changes
    what the call does."""
    kind = _arg_class(a)
    return kind is not None and kind == _arg_class(b)


def _is_shell(path):
    return path.endswith(".sh")


def mutations_of_line(path, number, line):
    """Every mutation of every kind this line allows."""
    python = _is_python(path)
    code = _code_part(line, python or _is_shell(path))
    if code is None:
        return []
    rest = line[len(code):]
    found = []

    def add(kind, column, new_code):
        if new_code != code:
            found.append(Mutation(path, number, kind, column, line, new_code + rest))

    def outside(m):
        return not _in_string(code, m.start())

    if _is_shell(path):
        # A flock whose failure is taken for the lock: the script goes on unlocked.
        for m in _SH_FLOCK.finditer(code):
            if outside(m) and not code.lstrip().startswith(("echo ", "exec ")):
                # A flock without -n or -w that fails at once, as one that timed out.
                flock = m.group(0) if re.search(r" -\w*[nw]", m.group(0)) else "flock -n" + m.group(0)[5:]
                add("trylock", m.start(), code[: m.start()] + "{ " + flock + " || true; }" + code[m.end():])
        return found

    for m in _COMPARISON.finditer(code):
        if not outside(m):
            continue
        op = m.group(1)
        add("flip", m.start(), code[: m.start()] + FLIPPED[op] + code[m.end():])
        if op in SHIFTED:
            add("bound", m.start(), code[: m.start()] + SHIFTED[op] + code[m.end():])
    if not python or not code.lstrip().startswith("def "):
        for m in _PLUS_ONE.finditer(code):
            if outside(m):
                add("bound", m.start(), code[: m.start()] + code[m.end():])
        for m in _CALL_ARGS.finditer(code):
            args = [a.strip() for a in m.group(2).split(", ")]
            if m.group(1) in _NOT_A_CALL or not outside(m):
                continue
            if any(_DECLARATION.fullmatch(a) for a in args):
                continue  # a parameter list, not a call
            for i in range(len(args) - 1):
                if args[i] == args[i + 1] or not _same_kind(args[i], args[i + 1]):
                    continue
                swapped = args[:i] + [args[i + 1], args[i]] + args[i + 2:]
                add("swap", m.start() + i, code[: m.start()] + f"{m.group(1)}({', '.join(swapped)})" + code[m.end():])
    call = (_PY_CALL_STATEMENT if python else _CALL_STATEMENT).match(code)
    if call:
        body = call.group(2)
        head = body[: body.index("(")]
        name = re.split(r"\.|->|::", head)[-1]
        if name not in _NOT_A_CALL and _matching_paren(body, body.index("(")) == len(body) - 1:
            empty = "pass" if python else ";"
            add("drop", len(call.group(1)), call.group(1) + empty + code[len(code.rstrip()):])
    if python:
        m = _PY_EARLY_EXIT.match(code)
        if m:
            add("return", len(m.group(1)), m.group(1) + "pass")
        m = _PY_CONDITION.match(code)
        if m and not _in_string(code, len(m.group(1))):
            add("negate", len(m.group(1)), f"{m.group(1)}{m.group(2)} not ({m.group(3)}):")
        for m in _PY_BOOL.finditer(code):
            if outside(m):
                add("flag", m.start(), code[: m.start()] + _PY_FLAG[m.group(1)] + code[m.end():])
        for m in _PY_NOT.finditer(code):
            if outside(m):
                add("flag", m.start(), code[: m.start()] + code[m.end():])
    else:
        for m in _EARLY_EXIT.finditer(code):
            if outside(m) and code[: m.start()].strip():  # guarded: "if (x) return;", not the last line
                # An empty block, not ";": the build's warnings refuse an empty if-body.
                add("return", m.start(), code[: m.start()] + "{}" + code[m.end():])
        if _EARLY_EXIT.fullmatch(code.strip()) and code.strip() != "return;":
            add("return", len(code) - len(code.lstrip()), code[: len(code) - len(code.lstrip())] + ";")
        for m in _CONDITION.finditer(code):
            if not outside(m):
                continue
            open_index = m.end() - 1
            close = _matching_paren(code, open_index)
            if close is None:
                continue
            cond = code[open_index + 1 : close]
            if not cond.strip() or ";" in cond:
                continue
            if re.match(r"^\s*(auto|const)\b|^\s*[A-Za-z_][\w:<>*&]*\s+[A-Za-z_]\w*\s*=[^=]", cond):
                continue  # a declaration in the condition
            add("negate", m.start(), code[: open_index + 1] + "!(" + cond + ")" + code[close:])
        for m in _BOOL.finditer(code):
            if outside(m):
                add("flag", m.start(), code[: m.start()] + _FLAG[m.group(1)] + code[m.end():])
        for m in _NOT.finditer(code):
            if outside(m):
                add("flag", m.start(), code[: m.start()] + code[m.end():])
        lock = _LOCK.match(code)
        if lock:
            add("lock", len(lock.group(1)), lock.group(1) + ";" + code[len(code.rstrip()):])
    _reset_erase_ignored_branch(code, python, add, outside)
    _merge_complete_unit_moment(code, python, add, outside)
    _token_target_trylock(code, python, add, outside)
    for m in _FIELD.finditer(code):
        if outside(m):
            name = m.group(2)
            add("field", m.start(), code[: m.start(2)] + _FIELD_OTHER[name] + code[m.start(2) + len(name):])
    return found


def _reset_erase_ignored_branch(code, python, add, outside):
    """The kinds a reviewer writes by hand beyond the operators: state kept into the next use, an
    entry left in its list, a failure taken for success, a limit off by one on a rare path."""
    indent = code[: len(code) - len(code.lstrip())]
    empty = indent + ("pass" if python else ";") + code[len(code.rstrip()):]
    call = (_PY_CALL_STATEMENT if python else _CALL_STATEMENT).match(code)
    if call:
        body = call.group(2)
        name = re.split(r"\.|->|::", body[: body.index("(")])[-1]
        if _matching_paren(body, body.index("(")) == len(body) - 1:
            if _RESET_CALL.match(name):
                add("reset", len(indent), empty)
            elif _ERASE_CALL.match(name):
                add("erase", len(indent), empty)
    if _RESET_ASSIGN.match(code) and "==" not in code:
        add("reset", len(indent), empty)
    if python:
        if _PY_DEL.match(code):
            add("erase", len(indent), empty)
        m = _PY_CONDITION.match(code)
        if m and m.group(3).startswith("not ") and re.fullmatch(_CALLED, m.group(3)[4:].strip()):
            add("ignored", len(m.group(1)), f"{m.group(1)}{m.group(2)} ({m.group(3)[4:].strip()}, False)[1]:")
        return
    for m in re.finditer(r"\bif \(", code):
        if not outside(m):
            continue
        close = _matching_paren(code, m.end() - 1)
        if close is None:
            continue
        cond = code[m.end() : close].strip()
        failed = _FAILED_CALL.match(cond) or _FAILED_ANSWER.match(cond)
        if failed and _matching_paren(failed.group(1), failed.group(1).index("(")) == len(failed.group(1)) - 1:
            add("ignored", m.start(), code[: m.end()] + "((void)(" + failed.group(1) + "), false)" + code[close:])
    # A branch's own path: an "else if", a choice, a second condition, or a line inside a nested block.
    stripped = code.strip()
    on_branch = (stripped.startswith(("} else if (", "else if (")) or " ? " in code or
                 re.search(r"(&&|\|\|) [^&|]*(==|!=|<=|>=|<|>) ", code) or len(indent) >= 4)
    if not on_branch or not _COMPARISON.search(code):
        return
    for m in _LIMIT.finditer(code):
        if not outside(m):
            continue
        limit = m.group(1) or m.group(2)
        start = m.start(1) if m.group(1) else m.start(2)
        end = start + len(limit)
        if limit.isdigit():
            moved = [str(int(limit) + 1)] + ([str(int(limit) - 1)] if int(limit) > 0 else [])
        else:
            moved = [f"({limit} + 1)", f"({limit} - 1)"]
        # The two moves of one limit each keep a key of their own: the second is placed at its end.
        for column, new in zip((start, end), moved):
            add("branch", column, code[:start] + new + code[end:])


def _merge_complete_unit_moment(code, python, add, outside):
    """State merged the other way, a count that lets one entry short through, a factor between units
    lost or taken twice, a moment no longer kept: the faults of a rare path that tests checking
    only a lower bound, or the common case, let pass."""
    indent = code[: len(code) - len(code.lstrip())]
    if python:
        m = _PY_MERGE_INDEX.match(code)
        if m and "==" not in code:
            add("merge", len(indent), f"{indent}{m.group(2)}.setdefault({m.group(3)}, {m.group(4)})")
        m = _PY_MERGE_DEFAULT.match(code)
        if m:
            add("merge", len(indent), f"{indent}{m.group(2)}[{m.group(3)}] = {m.group(4)}")
        for m in _PY_MERGE_SPREAD.finditer(code):
            if outside(m):
                add("merge", m.start(), code[: m.start()] + "{**" + m.group(2) + ", **" + m.group(1) + "}" + code[m.end():])
    else:
        for m in _MERGE_OVERWRITE.finditer(code):
            if outside(m):
                add("merge", m.start(), code[: m.start()] + "emplace(" + code[m.end():])
        for m in _MERGE_KEEP.finditer(code):
            if outside(m):
                add("merge", m.start(), code[: m.start()] + "insert_or_assign(" + code[m.end():])
        m = _MERGE_INDEX.match(code)
        if m and not re.match(r"^\s*(?:auto|const|return)\b", code):
            add("merge", len(indent), f"{indent}{m.group(2)}.emplace({m.group(3)}, {m.group(4)});")
    for m in _COMPLETE.finditer(code):
        if outside(m):
            add("complete", m.start(), code[: m.end()] + " + 1" + code[m.end():] if m.group(1) else
                code[: m.start()] + "(" + m.group(2) + " + 1)" + code[m.end():])
    for m in _UNIT.finditer(code):
        if not outside(m):
            continue
        add("unit", m.start(), code[: m.start()] + code[m.end():])
        add("unit", m.end(), code[: m.end()] + m.group(0) + code[m.end():])
    if not python:
        for m in _CHRONO.finditer(code):
            if outside(m):
                unit = m.group(1)
                add("unit", m.start(), code[: m.start(1)] + _CHRONO_UNITS[unit] + code[m.end(1):])
    m = _MOMENT_SET.match(code)
    if m:
        add("moment", len(indent), indent + ("pass" if python else ";"))


def _token_target_trylock(code, python, add, outside):
    """A token's other spellings refused, a driver reaching the wrong view, a lock taken for held."""
    if python:
        for m in _PY_TOKEN.finditer(code):
            if outside(m):
                add("token", m.start(), code[: m.start()] + code[m.end():])
        return
    for m in _TOKEN_CALL.finditer(code):
        close = _matching_paren(code, m.end() - 1)
        if outside(m) and close is not None and code[m.end() : close] and "," not in code[m.end() : close]:
            add("token", m.start(), code[: m.start()] + code[m.end() : close] + code[close + 1 :])
    for m in _CASELESS.finditer(code):
        if outside(m):
            add("token", m.start(), code[: m.start()] + _TOKEN_CASELESS[m.group(1)] + "(" + code[m.end():])
    for m in _CASELESS_EQ.finditer(code):
        if outside(m):
            add("token", m.start(), code[: m.start()] + f"({m.group(2)} == {m.group(3).strip()})" + code[m.end():])
    for m in _TARGET_DESCENDANT.finditer(code):
        if outside(m):
            # Only a view inside the target counts, not the target itself: the reach moved to a child.
            add("target", m.start(), code[: m.start()] + m.group(3) + code[m.end():])
            # The target alone: a view inside it no longer counts.
            add("target", m.start(3), code[: m.start()] + f"{m.group(1)} == {m.group(2)}" + code[m.end():])
    if not _TARGET_DESCENDANT.search(code):
        for m in _TARGET_DESCENDANT_ALONE.finditer(code):
            if outside(m):
                add("target", m.start(), code[: m.start()] + m.group(1) + "superviewPointer() == " + m.group(2) +
                    code[m.end():])
    for m in _TRY_LOCK_COND.finditer(code):
        if not outside(m):
            continue
        start = m.start(2)
        taken = "false" if m.group(1) else "true"
        add("trylock", m.start(), code[: m.start(1)] + "((void)(" + m.group(2) + "), " + taken + ")" +
            code[m.end(2):])


def _moment_swaps(path, lines):
    """A time taken since one kept moment read since another the file keeps: a time-out counted
    from the start instead of the last byte, or the other way."""
    python = _is_python(path)
    moments = []
    for line in lines:
        code = _code_part(line, python)
        if code is None:
            continue
        m = _MOMENT_SET.match(code) or _MOMENT_DECLARED.search(code)
        if m:
            name = re.split(r"\.|->", m.group(2) if m.re is _MOMENT_SET else m.group(1))[-1]
            if name not in moments:
                moments.append(name)
    found = []
    if len(moments) < 2:
        return found
    for i, line in enumerate(lines):
        code = _code_part(line, python)
        if code is None:
            continue
        for m in _MOMENT_FROM.finditer(code):
            name = m.group(1)
            if name not in moments or _in_string(code, m.start()):
                continue
            for other in moments:
                if other != name:
                    new = code[: m.start(1)] + other + code[m.end(1):]
                    found.append(Mutation(path, i + 1, "moment", m.start(1) + moments.index(other), line,
                                          new + line[len(code):]))
    return found


def _sibling_swaps(path, lines):
    """Two views added to one parent, the first moved to just after the second: each view still
    exists where it is added, and the parent holds them in the other order."""
    found = []
    for i, line in enumerate(lines):
        first = _SUBVIEW.match(line)
        if not first or _comment_start(line) is not None:
            continue
        for j in range(i + 1, min(i + 8, len(lines))):
            between = lines[j].strip()
            if not between or between.startswith("}") or between.endswith("{") or lines[j].startswith(first.group(1) + " "):
                break
            second = _SUBVIEW.match(lines[j])
            if second and second.group(1) == first.group(1) and second.group(2) == first.group(2):
                if second.group(4) != first.group(4):
                    span = lines[i : j + 1]
                    found.append(Mutation(path, i + 1, "siblings", len(first.group(1)), "\n".join(span),
                                          "\n".join(span[1:] + span[:1]), span=len(span)))
                break
    return found


def mutations_of_file(root, path):
    with open(os.path.join(root, path), encoding="utf-8") as f:
        lines = f.read().split("\n")
    python = _is_python(path)
    found = []
    in_block_comment = False
    for i, line in enumerate(lines):
        stripped = line.strip()
        if in_block_comment:
            if ('"""' if python else "*/") in stripped:
                in_block_comment = False
            continue
        if python:
            if stripped.startswith(('"""', 'r"""')):
                in_block_comment = stripped.count('"""') == 1
                continue
        elif stripped.startswith("/*") and "*/" not in stripped:
            in_block_comment = True
            continue
        found.extend(mutations_of_line(path, i + 1, line))
    if not python and not _is_shell(path):
        found.extend(_sibling_swaps(path, lines))
    if not _is_shell(path):
        found.extend(_moment_swaps(path, lines))
    counts = {}
    for line in lines:
        counts[line.strip()] = counts.get(line.strip(), 0) + 1
    seen, repeat = {}, {}
    for number, line in enumerate(lines, 1):
        text = line.strip()
        if counts[text] > 1:
            seen[text] = seen.get(text, 0) + 1
            repeat[number] = seen[text]
    return [dataclasses.replace(m, repeat=repeat[m.line]) if m.line in repeat else m for m in found]


def source_files(root, folder, exclude=()):
    """The folder's own sources (vendored folders named in exclude left out), sorted: the .cpp
    files, and for tools the runner's and the tested python tools."""
    if folder == "tools":
        out = [p for p in PY_TOOLS if os.path.exists(os.path.join(root, p))]
        for sub in CPP_TOOLS:
            out += source_files(root, sub, exclude)
        return sorted(out)
    if folder.endswith(".py"):
        return [folder] if os.path.exists(os.path.join(root, folder)) else []
    out = []
    for dirpath, dirnames, filenames in os.walk(os.path.join(root, folder)):
        dirnames.sort()
        rel_dir = os.path.relpath(dirpath, root)
        if any(rel_dir == e or rel_dir.startswith(e + os.sep) for e in exclude):
            dirnames[:] = []
            continue
        out += [os.path.join(rel_dir, n) for n in filenames if n.endswith(".cpp")]
    return sorted(out)


def is_mutable(path, exclude=()):
    """Whether the tool mutates this file: a .cpp file of platform, kit, mapsdk, app or the runner,
    a python tool or a shell script with tests."""
    if path in PY_TOOLS or path in SH_TOOLS:
        return True
    if not path.endswith(".cpp") or any(path == e or path.startswith(e + "/") for e in EXCLUDE + tuple(exclude)):
        return False
    return path.split("/")[0] in FOLDERS[:4] or any(path.startswith(t + "/") for t in CPP_TOOLS)


_HUNK = re.compile(r"^@@ -\d+(?:,\d+)? \+(\d+)(?:,(\d+))? @@", re.M)


def changed_lines(root, base):
    """{path: the numbers of its lines added or changed since base}: the commits since base and what
    is not committed yet, files git does not track yet whole."""
    out = subprocess.run(["git", "diff", "-U0", "--no-color", "--no-ext-diff", "--no-renames", base, "--"],
                         cwd=root, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True, text=True,
                         errors="replace").stdout
    lines = {}
    path = None
    for line in out.split("\n"):
        if line.startswith("+++ "):
            path = line[6:] if line.startswith("+++ b/") else None
        elif line.startswith("@@") and path:
            m = _HUNK.match(line)
            start, count = int(m.group(1)), int(m.group(2) if m.group(2) is not None else 1)
            lines.setdefault(path, set()).update(range(start, start + count))
    untracked = subprocess.run(["git", "ls-files", "-o", "--exclude-standard", "-z"], cwd=root,
                               stdout=subprocess.PIPE, check=True).stdout.decode()
    for path in filter(None, untracked.split("\0")):
        try:
            with open(os.path.join(root, path), encoding="utf-8") as f:
                lines[path] = set(range(1, f.read().count("\n") + 2))
        except (OSError, UnicodeDecodeError):
            continue
    return {p: n for p, n in lines.items() if n}


def sample(root, folder, count, seed, kinds=KINDS, exclude=(), lines=None):
    """count mutations spread over the folder: a random file, then a random kind that file allows,
    then a random mutation of that kind, none twice (so the rare kinds, a lock or a field, are
    drawn as often as a file offers them, not drowned by the comparisons). The same seed over the
    same tree gives the same sample. With lines ({path: line numbers}), only mutations that touch
    those lines of those files, from any folder; a count of None then takes every one, in order."""
    rng = random.Random(seed)
    by_file = {}
    if lines is not None:
        paths = sorted(p for p in lines if is_mutable(p, exclude) and os.path.isfile(os.path.join(root, p)))
    else:
        paths = source_files(root, folder, exclude)
    for path in paths:
        muts = {}
        for m in mutations_of_file(root, path):
            if lines is not None and not lines[path].intersection(range(m.line, m.line + m.span)):
                continue
            if m.kind in kinds:
                muts.setdefault(m.kind, []).append(m)
        if muts:
            by_file[path] = muts
    if count is None:
        return [m for path in sorted(by_file) for m in sorted(
            (m for ms in by_file[path].values() for m in ms), key=lambda m: (m.line, m.kind, m.column))]
    chosen = []
    files = sorted(by_file)
    while files and len(chosen) < count:
        path = rng.choice(files)
        kinds_here = sorted(by_file[path])
        kind = rng.choice(kinds_here)
        pool = by_file[path][kind]
        chosen.append(pool.pop(rng.randrange(len(pool))))
        if not pool:
            del by_file[path][kind]
        if not by_file[path]:
            files.remove(path)
    return chosen


def apply(root, m):
    """Writes the mutation into its file, keeping the original beside it until revert."""
    full = os.path.join(root, m.path)
    with open(full, encoding="utf-8") as f:
        text = f.read()
    lines = text.split("\n")
    if "\n".join(lines[m.line - 1 : m.line - 1 + m.span]) != m.original:
        raise RuntimeError(f"{m.path}:{m.line} changed since it was read")
    with open(full + BACKUP_SUFFIX, "w", encoding="utf-8") as f:
        f.write(text)
    lines[m.line - 1 : m.line - 1 + m.span] = [m.mutated]
    with open(full, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


def revert(root, path):
    full = os.path.join(root, path)
    backup = full + BACKUP_SUFFIX
    try:
        with open(backup, encoding="utf-8") as f:
            text = f.read()
    except FileNotFoundError:
        return  # not mutated, or put back already (a worker and an interrupted run both do)
    with open(full, "w", encoding="utf-8") as f:
        f.write(text)
    try:
        os.remove(backup)
    except FileNotFoundError:
        pass


def revert_leftovers(root, folders=FOLDERS):
    """Puts back any file that a run killed outright left mutated."""
    restored = []
    for path in SH_TOOLS:
        if os.path.exists(os.path.join(root, path + BACKUP_SUFFIX)):
            revert(root, path)
            restored.append(path)
    for folder in folders:
        for dirpath, _, filenames in os.walk(os.path.join(root, folder)):
            for name in filenames:
                if name.endswith(BACKUP_SUFFIX):
                    path = os.path.relpath(os.path.join(dirpath, name[: -len(BACKUP_SUFFIX)]), root)
                    revert(root, path)
                    restored.append(path)
    return sorted(restored)


def tree_files(root):
    """The files of the tree as git sees them, the ones not yet committed too."""
    out = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=root,
                         stdout=subprocess.PIPE, check=True).stdout.decode()
    return [p for p in out.split("\0") if p]


def sync_tree(root, copy, files=None):
    """Brings a copy of the tree up to date: each file whose content differs is written anew,
    the others are left alone so that their build stays as it is. Answers how many were written."""
    written = 0
    for path in files if files is not None else tree_files(root):
        src, dst = os.path.join(root, path), os.path.join(copy, path)
        if not os.path.isfile(src) or os.path.islink(src):
            continue
        with open(src, "rb") as f:
            data = f.read()
        try:
            with open(dst, "rb") as f:
                if f.read() == data:
                    continue
        except OSError:
            os.makedirs(os.path.dirname(dst), exist_ok=True)
        with open(dst, "wb") as f:
            f.write(data)
        shutil.copymode(src, dst)
        written += 1
    return written


class Terminated(Exception):
    pass


def _on_term(signum, frame):
    raise Terminated()


def library_of(path):
    """The library target a source file is built into: its folder with "_" for "/"."""
    if path.startswith("tools/kavro/"):
        return "kavro_runner"
    return os.path.dirname(path).replace("/", "_")


def own_tests_of(path):
    if path.startswith("tools/kavro/"):
        return "kavro_runner_tests"
    return library_of(path) + "_tests"


class Runner:
    """One copy of the tree and its build: builds the targets a mutation affects and runs their
    tests in stages, cheapest first, stopping at the first that fails."""

    def __init__(self, root, build_dir, roads=True, jobs=MAX_JOBS, road_exclude=None, log=None, reach="all"):
        self.root = root
        self.reach = reach
        self.build_dir = build_dir
        self.roads = roads
        self.jobs = jobs
        self.road_exclude = road_exclude
        self.log = log or (lambda s: None)
        self._targets = None
        self._links = {}
        self._commands = None

    def run(self, cmd, timeout=3600, env=None):
        self.log("$ " + " ".join(cmd))
        try:
            p = subprocess.run(cmd, cwd=self.root, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               timeout=timeout, text=True, errors="replace", env=env)
        except subprocess.TimeoutExpired:
            return 124, "timed out"
        return p.returncode, p.stdout

    def configure(self):
        """The sanitizer build of test.sh, with its very flags: a copy's first build then comes
        from the compiler cache the working tree's tests filled, and its tests run as fast."""
        if os.path.exists(os.path.join(self.root, self.build_dir, "CMakeCache.txt")):
            return True
        flags = "-O1 -Wno-maybe-uninitialized"
        cmd = ["cmake", "-S", ".", "-B", self.build_dir, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
               "-DKAVRO_SANITIZE=ON", "-DKAVRO_WERROR=ON", "-DKAVRO_TESTS=ON",
               "-DCMAKE_C_FLAGS=" + flags, "-DCMAKE_CXX_FLAGS=" + flags, "-DCMAKE_UNITY_BUILD=ON",
               "-DCMAKE_UNITY_BUILD_BATCH_SIZE=8"]
        if shutil.which("ccache"):
            cmd += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        code, out = self.run(cmd)
        if code != 0:
            self.log(out)
        return code == 0

    def all_targets(self):
        if self._targets is None:
            _, out = self.run(["cmake", "--build", self.build_dir, "--target", "help"])
            self._targets = re.findall(r"^(\S+): \S+", out, re.M)
        return self._targets

    def test_targets(self):
        return [t for t in self.all_targets() if t.endswith("_tests")]

    def links(self, test_target, library):
        """Whether a test executable is built from the library (ninja knows each input)."""
        key = test_target
        if key not in self._links:
            exe = self._executable(test_target, built=False)
            code, out = self.run(["ninja", "-C", self.build_dir, "-t", "inputs", exe]) if exe else (1, "")
            self._links[key] = set(re.findall(r"lib(\w+)\.a\b", out)) if code == 0 else None
        libs = self._links[key]
        return libs is None or library in libs

    def stages(self, path):
        """(name, targets to build, what to run) for each stage of a mutation of path."""
        if _is_python(path):
            return [("own tests", [], ("ctest", ["-R", PY_TOOLS[path]]))]
        if path in SH_TOOLS:
            return [("own tests", [], ("ctest", ["-R", SH_TOOLS[path]]))]
        library = library_of(path)
        own = own_tests_of(path)
        tests = self.test_targets()
        out = []
        if own in tests:
            out.append(("own tests", [own], ("exe", [own])))
        top = path.split("/")[0] + "_"
        affected = [t for t in tests if t != own and (self.reach != "top" or t.startswith(top))
                    and self.links(t, library)] if self.reach != "own" else []
        if affected:
            out.append(("tests that link it", affected, ("exe", affected)))
        if path.startswith("tools/kavro/"):
            out.append(("tours", ["kavro"], ("ctest", ["-R", r"^tools\.kavro\."])))
        if self.roads:
            roads = ["-L", "road"]
            if self.road_exclude:
                roads += ["-E", self.road_exclude]
            # Some roads drive an executable of their own, beside the runner.
            drivers = [t for t in self.all_targets() if t.endswith("_roads")]
            out.append(("roads", ["kavro", *drivers], ("ctest", roads)))
        return out

    def build(self, targets):
        if not targets:
            return True, ""
        code, out = self.run(["cmake", "--build", self.build_dir, "-j", str(self.jobs), "--target", *targets])
        return code == 0, out

    def analyse(self, path):
        """clang's thread-safety analysis of one file with the flags of its build: answers the
        warnings, "" when there are none, None when it cannot be run."""
        clang = shutil.which("clang++")
        if not clang:
            return None
        if self._commands is None:
            code, out = self.run(["ninja", "-C", self.build_dir, "-t", "compdb"])
            self._commands = json.loads(out) if code == 0 else []
        entries = self._commands
        full = os.path.join(self.root, path)
        target_dir = f"CMakeFiles/{library_of(path)}.dir/"
        entry = next((e for e in entries if target_dir in e.get("output", e.get("command", ""))), None)
        if entry is None:
            return None
        args = entry["command"].split()
        while args and not args[0].startswith("-"):
            args.pop(0)  # the launcher and the compiler
        keep = []
        skip = False
        for a in args:
            if skip:
                skip = False
                continue
            if a in ("-o", "-c", "-MT", "-MF", "-MQ"):
                skip = True
                continue
            if a.startswith(("-Werror", "-fsanitize", "-MD", "-MMD")) or a.endswith((".cxx", ".cpp")):
                continue
            keep.append(a)
        cmd = [clang, *keep, "-fsyntax-only", "-Wno-everything", "-Wthread-safety", "-Werror=thread-safety", full]
        self.log("$ " + " ".join(cmd))
        p = subprocess.run(cmd, cwd=entry["directory"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           text=True, errors="replace", timeout=600)
        return p.stdout if p.returncode != 0 and "thread-safety" in p.stdout else ""

    def _executable(self, target, built=True):
        if self._exes is None:
            self._exes = {}
            for dirpath, _, filenames in os.walk(os.path.join(self.root, self.build_dir, "tests")):
                for n in filenames:
                    if n.endswith("_tests"):
                        self._exes[n] = os.path.join(dirpath, n)
        path = self._exes.get(target)
        if path is None and not built:
            # Not built yet: its place in the build tree, as ninja names it.
            _, out = self.run(["ninja", "-C", self.build_dir, "-t", "targets", "all"])
            m = re.search(r"^(\S*/" + re.escape(target) + r"): ", out, re.M)
            return m.group(1) if m else None
        if path and not built:
            return os.path.relpath(path, os.path.join(self.root, self.build_dir))
        return path

    _exes = None

    def test(self, what):
        """Test executables run in shards, as many at once as the jobs allow (far faster than one
        process an executable, or CTest's process a case), the other tests through CTest by name or
        label."""
        kind, args = what
        env = dict(os.environ, KAVRO_RESOURCES=os.path.join(self.root, "resources"),
                   ASAN_OPTIONS="detect_leaks=1:abort_on_error=1", UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1")
        if kind == "ctest":
            code, out = self.run(["ctest", "--test-dir", self.build_dir, *args, "-j", str(self.jobs),
                                  "--timeout", "600", "--stop-on-failure"], env=env)
            return code == 0, out
        self._exes = None
        paths = [p for p in (self._executable(t) for t in args) if p]
        failed = run_shards(paths, max(1, self.jobs), env, self.root, log=self.log)
        report = "".join(f"  1 - {os.path.basename(p)} ({_first_failure(out)})\n" for p, out in failed)
        return not failed, report


# The shards running, in every worker: each in a process group of its own, so an interrupted run
# stops them itself.
_SHARDS = set()
_SHARDS_LOCK = threading.Lock()


def _stop_shard(proc):
    try:
        os.killpg(proc.pid, signal.SIGKILL)  # the shard and any server it started
    except (ProcessLookupError, PermissionError):
        pass


def stop_shards():
    with _SHARDS_LOCK:
        for proc in list(_SHARDS):
            _stop_shard(proc)


def run_shards(paths, jobs, env, cwd, timeout=900, log=None):
    """Runs each gtest executable split into jobs shards, jobs processes at once, the executables'
    shards queued in the order given; at the first shard that fails the others are stopped and
    no more started. Answers [(executable, its output)] for that shard, [] when all passed."""
    todo = queue.Queue()
    for p in paths:
        for i in range(jobs):
            todo.put((p, i))
    failed = []
    running = set()
    lock = threading.Lock()

    def work():
        while True:
            with lock:
                if failed:
                    return
                try:
                    path, index = todo.get_nowait()
                except queue.Empty:
                    return
                if log:
                    log(f"$ GTEST_SHARD_INDEX={index} GTEST_TOTAL_SHARDS={jobs} {path} --gtest_brief=1")
                # Its own process group, so that stopping it stops what it started.
                proc = subprocess.Popen([path, "--gtest_brief=1"], cwd=cwd, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True, errors="replace",
                                        env=dict(env, GTEST_TOTAL_SHARDS=str(jobs), GTEST_SHARD_INDEX=str(index)),
                                        start_new_session=True)
                running.add(proc)
                with _SHARDS_LOCK:
                    _SHARDS.add(proc)
            try:
                out, _ = proc.communicate(timeout=timeout)
            except subprocess.TimeoutExpired:
                _stop_shard(proc)
                proc.communicate()
                out = "timed out"
            with _SHARDS_LOCK:
                _SHARDS.discard(proc)
            with lock:
                running.discard(proc)
                # A shard stopped because another failed is no failure of its own.
                if proc.returncode != 0 and not failed:
                    failed.append((path, out))
                    for other in running:
                        _stop_shard(other)

    threads = [threading.Thread(target=work, daemon=True) for _ in range(min(jobs, todo.qsize()))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return failed


def _first_failure(out):
    for line in out.splitlines():
        if line.startswith("[  FAILED  ]") or "ERROR: AddressSanitizer" in line or line == "timed out":
            return line.replace("[  FAILED  ] ", "").split(" (")[0].strip()
    return "exit"


def _failed_names(out):
    return re.findall(r"\d+ - (\S+) \(", out)[:4]


def run_one(runner, m, built_any, stop=None):
    """Applies, tests and reverts one mutation in the runner's tree: (outcome, what killed it).
    Every target built is added to built_any, for the build to be put back afterwards."""
    root = runner.root
    with _FILES:
        if stop is not None and stop.is_set():
            raise Terminated()
        apply(root, m)
    try:
        if m.kind == "lock":
            warnings = runner.analyse(m.path)
            if warnings:
                return "killed", "thread-safety analysis"
        for name, targets, what in runner.stages(m.path):
            built_any.update(targets)
            built, _ = runner.build(targets)
            if not built:
                return "unbuilt", ""
            passed, out = runner.test(what)
            if not passed:
                return "killed", name + ": " + ", ".join(_failed_names(out))
        return "survived", ""
    finally:
        with _FILES:
            revert(root, m.path)


def run_mutations(mutations, runners, report=print, restore=True):
    """Runs each mutation in one of the runners (a worker each, each its own copy of the tree).
    Answers (mutation, outcome, what killed it) for each, in the sample's order, the outcome one
    of "killed", "survived" and "unbuilt". With restore, the targets built are built once more
    at the end, from the tree as it is; without, the next build does that when it needs them."""
    results = [None] * len(mutations)
    todo = queue.Queue()
    for i, m in enumerate(mutations):
        todo.put(i)
    done = [0]
    lock = threading.Lock()
    stop = threading.Event()
    errors = []

    def work(runner):
        built_any = set()
        try:
            while not stop.is_set():
                try:
                    i = todo.get_nowait()
                except queue.Empty:
                    break
                m = mutations[i]
                outcome, by = run_one(runner, m, built_any, stop)
                with lock:
                    results[i] = (m, outcome, by)
                    done[0] += 1
                    report(f"[{done[0]}/{len(mutations)}] {outcome:8} {m.path}:{m.line} {m.kind} {by}".rstrip())
        except BaseException as e:  # noqa: B036 - handed to the main thread
            errors.append(e)
            stop.set()
        finally:
            # The copy's build goes back to its tree as it is.
            if built_any and restore:
                runner.build(sorted(built_any))

    previous = signal.signal(signal.SIGTERM, _on_term)
    threads = [threading.Thread(target=work, args=(r,), daemon=True) for r in runners]
    try:
        for t in threads:
            t.start()
        while any(t.is_alive() for t in threads):
            for t in threads:
                t.join(0.5)
    except (KeyboardInterrupt, Terminated):
        # A second signal must not cut the putting back short and leave a file half written.
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        interrupt = signal.signal(signal.SIGINT, signal.SIG_IGN)
        stop.set()
        stop_shards()
        with _FILES:
            for r in runners:
                revert_leftovers(r.root)
        signal.signal(signal.SIGINT, interrupt)
        raise
    finally:
        signal.signal(signal.SIGTERM, previous)
    if errors:
        raise errors[0]
    return [r for r in results if r is not None]


def baseline_plan(runner, paths):
    """What the stages of mutations of these paths build and run, each once: (the targets, the
    test executables, the other stages' (name, path, what)). A test executable that links many of
    the folder's libraries is in the stages of each, and runs once all the same."""
    targets, exes, others = [], [], []
    for path in paths:
        for name, stage_targets, what in runner.stages(path):
            targets += [t for t in stage_targets if t not in targets]
            kind, args = what
            if kind == "exe":
                exes += [a for a in args if a not in exes]
            elif all(what != w for _, _, w in others):
                others.append((name, path, what))
    return targets, exes, others


def baseline(runner, paths):
    """Builds and runs, once on the tree as it is, every test the mutations of these paths reach:
    the executables together, in shards, then the other stages. Answers None when all pass, else
    (what failed, its output)."""
    targets, exes, others = baseline_plan(runner, paths)
    built, out = runner.build(targets)
    if not built:
        return "the build fails", out[-3000:]
    if exes:
        passed, out = runner.test(("exe", exes))
        if not passed:
            return "the test executables fail", out[-3000:]
    for name, path, what in others:
        passed, out = runner.test(what)
        if not passed:
            return f"the {name} of {path} fail", out[-3000:]
    return None


def summary(folder, results, equivalent=()):
    """The kill rate over the mutations that build and are not known to be equivalent, then the
    rate of each class; answers the text and (killed, counted)."""
    counted = [(m, o) for m, o, _ in results if o != "unbuilt" and m.key() not in equivalent]
    killed = sum(1 for _, o in counted if o == "killed")
    rate = f" ({100.0 * killed / len(counted):.0f} %)" if counted else ""
    lines = [f"{folder}: {killed} of {len(counted)} killed{rate}"]
    for kind in KINDS:
        of_kind = [o for m, o in counted if m.kind == kind]
        if of_kind:
            k = of_kind.count("killed")
            lines.append(f"  {kind:7} {k:3} of {len(of_kind):3} killed ({100.0 * k / len(of_kind):.0f} %)")
    unbuilt = [m for m, o, _ in results if o == "unbuilt"]
    if unbuilt:
        lines.append(f"  {len(unbuilt)} did not build (not counted)")
    set_aside = [m for m, _, _ in results if m.key() in equivalent]
    if set_aside:
        lines.append(f"  {len(set_aside)} equivalent, set aside:")
        lines += ["    " + m.describe().replace("\n", "\n    ") for m in set_aside]
    survivors = [m for m, o in counted if o == "survived"]
    if survivors:
        lines.append("  survivors:")
        lines += ["    " + m.describe().replace("\n", "\n    ") + f"\n    key {m.key()}" for m in survivors]
    return "\n".join(lines), (killed, len(counted))


def load_equivalent(path):
    """Keys of mutations that change no behaviour, one a line, each followed by " # " and why."""
    keys = set()
    if path and os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            for line in f:
                key = line.split(" # ")[0].strip()
                if key and not key.startswith("#"):
                    keys.add(key)
    return keys


def clock_seed():
    return int(time.time() * 1000) % 1000000


def main(argv=None, root=None):
    root = root or os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("folder", nargs="?", help="platform, kit, mapsdk, app, tools or a folder under one of them")
    ap.add_argument("--since", metavar="BASE", default=None,
                    help="mutate only the lines changed since this commit (the folder then narrows it)")
    ap.add_argument("-n", "--count", type=int, default=None, help="default: 40, or every one with --since")
    ap.add_argument("--seed", type=int, default=None, help="default: taken from the clock")
    ap.add_argument("--kinds", default=",".join(KINDS))
    ap.add_argument("--build-dir", default="build/mutate", help="where the copies of the tree go")
    ap.add_argument("--workers", type=int, default=1, help="copies of the tree run at once")
    ap.add_argument("-j", "--jobs", type=int, default=MAX_JOBS, help="build jobs shared by all workers")
    ap.add_argument("--no-roads", action="store_true", help="leave the road tests out")
    ap.add_argument("--reach", choices=("own", "top", "all"), default="all",
                    help="the test executables run: the mutated folder's own, those of its top folder "
                    "that link it, or every one that links it (the default)")
    ap.add_argument("--road-exclude", default=None, help="road tests to leave out (a ctest -E regex)")
    ap.add_argument("--only", default=None, help="run only these keys (a file of keys, one a line)")
    ap.add_argument("--no-sync", action="store_true",
                    help="use the copies of the tree as they are (to measure the tests as they were)")
    ap.add_argument("--list", action="store_true", help="print the sample and stop")
    ap.add_argument("--no-baseline", action="store_true", help="skip the run of the tests on the tree as it is")
    ap.add_argument("--equivalent", default=None, help="default: tools/mutate-equivalent.txt")
    ap.add_argument("--json", help="write each outcome here")
    ap.add_argument("--verbose", action="store_true")
    args = ap.parse_args(argv)

    if args.folder is None and args.since is None:
        ap.error("name a folder, or --since BASE")
    if args.folder is not None and args.folder.split("/")[0] not in FOLDERS:
        ap.error("the folder must be under one of " + ", ".join(FOLDERS))
    lines = None
    if args.since is not None:
        try:
            lines = changed_lines(root, args.since)
        except subprocess.CalledProcessError:
            ap.error(f"git cannot compare the tree with {args.since}")
        if args.folder is not None:
            lines = {p: n for p, n in lines.items() if p == args.folder or p.startswith(args.folder.rstrip("/") + "/")}
    count = args.count if args.count is not None else (None if lines is not None else 40)
    label = args.folder if lines is None else f"since {args.since}" + (f" in {args.folder}" if args.folder else "")
    kinds = tuple(k for k in args.kinds.split(",") if k)
    unknown = [k for k in kinds if k not in KINDS]
    if unknown:
        ap.error("unknown kinds: " + ", ".join(unknown))
    seed = args.seed if args.seed is not None else clock_seed()
    print(f"seed {seed}", flush=True)
    for path in revert_leftovers(root):
        print(f"put back {path}, left mutated by an earlier run")
    equivalent = load_equivalent(args.equivalent or os.path.join(root, "tools", "mutate-equivalent.txt"))
    mutations = sample(root, args.folder, count, seed, kinds, exclude=EXCLUDE, lines=lines)
    if args.only:
        with open(args.only, encoding="utf-8") as f:
            only = {line.split()[0] for line in f if line.strip()}
        # A key is drawn only by the seed and count that drew it: one missing from this sample would
        # otherwise be left out without a word and counted nowhere.
        missing = sorted(only - {m.key() for m in mutations})
        if missing:
            ap.error(f"not in the sample of seed {seed} and -n {count}: " + ", ".join(missing))
        mutations = [m for m in mutations if m.key() in only]
    if args.list:
        for m in mutations:
            print(m.describe())
        return 0
    workers = max(1, min(args.workers, args.jobs))
    log = (lambda s: print(s, file=sys.stderr)) if args.verbose else None
    files = [] if args.no_sync else tree_files(root)
    runners = []
    for w in range(workers):
        copy = os.path.join(root, args.build_dir, f"tree{w}")
        os.makedirs(copy, exist_ok=True)
        for path in revert_leftovers(copy):
            print(f"put back {path} in {copy}")
        written = sync_tree(root, copy, files)
        print(f"worker {w}: {copy} ({written} files brought up to date)", flush=True)
        # The copy's build sits where the tree's own does, so the shared compiler cache serves it.
        runner = Runner(copy, "build/test", roads=not args.no_roads, jobs=max(1, args.jobs // workers),
                        road_exclude=args.road_exclude, log=log, reach=args.reach)
        if not runner.configure():
            print(f"the build in {copy} does not configure", file=sys.stderr)
            return 2
        runners.append(runner)
    started = time.monotonic()
    if not args.no_baseline and mutations:
        # Tests that fail on the tree as it is would count every mutation as killed: every test any
        # mutation reaches runs once on the tree as it is.
        try:
            failure = baseline(runners[0], sorted({m.path for m in mutations}))
        except KeyboardInterrupt:
            stop_shards()
            print("stopped", file=sys.stderr)
            return 130
        if failure:
            print(f"{failure[0]} without any mutation: mend them first\n{failure[1]}", file=sys.stderr)
            return 2
        print(f"the tests pass without any mutation ({time.monotonic() - started:.0f} s)", flush=True)
    try:
        # The copies' builds are the tool's own: the next run rebuilds what it needs.
        results = run_mutations(mutations, runners, report=lambda s: print(s, flush=True), restore=False)
    except (KeyboardInterrupt, Terminated):
        print("stopped; every file is as it was", file=sys.stderr)
        return 130
    text, _ = summary(label, results, equivalent)
    print(text)
    print(f"seed {seed}, {len(results)} mutations ({time.monotonic() - started:.0f} s)")
    if args.json:
        with open(args.json, "w", encoding="utf-8") as f:
            json.dump({"folder": label, "seed": seed,
                       "results": [{"key": m.key(), "where": f"{m.path}:{m.line}", "kind": m.kind, "outcome": o,
                                    "by": by, "original": m.original.strip(), "mutated": m.mutated.strip()}
                                   for m, o, by in results]},
                      f, ensure_ascii=False, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
