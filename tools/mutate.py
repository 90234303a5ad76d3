#!/usr/bin/env python3
"""Puts one small fault at a time into a folder's code and sees whether the tests notice.

Each mutation is one of a few kinds a reviewer fears (a flipped comparison, a bound shifted by one,
two arguments swapped, a dropped call, a negated condition) at a logic line of a .cpp file under
the named folder, chosen at random (seedable). For each: the file is changed, the needed targets of
the ASan build are rebuilt, the folder's tests run, then the road tests when those passed; the
file is put back whatever happens (a failure, Ctrl-C, SIGTERM; a copy on disk covers a kill).
A mutation is killed when a test fails; one that does not build is set aside. The report gives
the kill rate and each survivor, for the tests still missing.

  tools/mutate.py kit -n 20 --seed 7
  tools/mutate.py mapsdk -n 20 --list           # the sample only, nothing built
"""

import argparse
import concurrent.futures
import hashlib
import json
import os
import random
import re
import signal
import subprocess
import sys
import time
from dataclasses import dataclass

FOLDERS = ("platform", "kit", "mapsdk", "app")
KINDS = ("flip", "bound", "swap", "drop", "negate")

# Comparison operators as clang-format writes them between operands: spaced on both sides, which
# keeps out template brackets, shifts, arrows and include lines.
_COMPARISON = re.compile(r"(?<=\s)(==|!=|<=|>=|<|>)(?=\s)")
FLIPPED = {"==": "!=", "!=": "==", "<": ">=", ">=": "<", ">": "<=", "<=": ">"}
SHIFTED = {"<": "<=", "<=": "<", ">": ">=", ">=": ">"}
# A call with exactly two plain arguments.
_TWO_ARGS = re.compile(r"\b([A-Za-z_]\w*)\(([^(),<>\"']+), ([^(),<>\"']+)\)")
# A statement that is one call and nothing else: f(x); obj.f(); p->q.f(a, b);
_DECLARATION = re.compile(r"(?:const\s+)?[A-Za-z_][\w:<>]*(?:\s*[*&]+\s*|\s+)[A-Za-z_]\w*")
_CALL_STATEMENT = re.compile(r"^(\s*)((?:[A-Za-z_][\w:]*(?:\.|->))*[A-Za-z_][\w:]*\(.*\));\s*$")
_CONDITION = re.compile(r"\b(if|while) \(")
_NOT_A_CALL = {"if", "while", "for", "switch", "return", "sizeof", "static_assert", "catch", "assert"}
BACKUP_SUFFIX = ".mutate-orig"


@dataclass(frozen=True)
class Mutation:
    path: str  # relative to the root
    line: int  # 1-based
    kind: str
    column: int
    original: str
    mutated: str

    def key(self):
        """Stable across edits elsewhere in the file: path, kind, column and the line's text."""
        digest = hashlib.sha1(self.original.strip().encode()).hexdigest()[:10]
        return f"{self.path}:{self.kind}:{self.column}:{digest}"

    def describe(self):
        return f"{self.path}:{self.line} {self.kind}\n  - {self.original.strip()}\n  + {self.mutated.strip()}"


def _comment_start(line):
    for i in range(len(line) - 1):
        if line.startswith("//", i) and not _in_string(line, i):
            return i
    return None


def _code_part(line):
    """The line without a trailing // comment; None for lines that hold no logic."""
    stripped = line.strip()
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


def mutations_of_line(path, number, line):
    """Every mutation of every kind this line allows."""
    code = _code_part(line)
    if code is None:
        return []
    rest = line[len(code):]
    found = []

    def add(kind, column, new_code):
        if new_code != code:
            found.append(Mutation(path, number, kind, column, line, new_code + rest))

    for m in _COMPARISON.finditer(code):
        if _in_string(code, m.start()):
            continue
        op = m.group(1)
        add("flip", m.start(), code[: m.start()] + FLIPPED[op] + code[m.end():])
        if op in SHIFTED:
            add("bound", m.start(), code[: m.start()] + SHIFTED[op] + code[m.end():])
    for m in _TWO_ARGS.finditer(code):
        a, b = m.group(2).strip(), m.group(3).strip()
        if m.group(1) in _NOT_A_CALL or a == b or _in_string(code, m.start()):
            continue
        if _DECLARATION.fullmatch(a) or _DECLARATION.fullmatch(b):
            continue  # a parameter list, not a call
        add("swap", m.start(), code[: m.start()] + f"{m.group(1)}({b}, {a})" + code[m.end():])
    call = _CALL_STATEMENT.match(code)
    if call:
        body = call.group(2)
        head = body[: body.index("(")]
        name = re.split(r"\.|->|::", head)[-1]
        if name not in _NOT_A_CALL and _matching_paren(body, body.index("(")) == len(body) - 1:
            add("drop", len(call.group(1)), call.group(1) + ";" + code[len(code.rstrip()):])
    for m in _CONDITION.finditer(code):
        if _in_string(code, m.start()):
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
    return found


def mutations_of_file(root, path):
    with open(os.path.join(root, path), encoding="utf-8") as f:
        lines = f.read().split("\n")
    found = []
    in_block_comment = False
    for i, line in enumerate(lines):
        stripped = line.strip()
        if in_block_comment:
            if "*/" in stripped:
                in_block_comment = False
            continue
        if stripped.startswith("/*") and "*/" not in stripped:
            in_block_comment = True
            continue
        found.extend(mutations_of_line(path, i + 1, line))
    return found


def source_files(root, folder, exclude=()):
    """The folder's own .cpp files (vendored folders named in exclude left out), sorted."""
    out = []
    for dirpath, dirnames, filenames in os.walk(os.path.join(root, folder)):
        dirnames.sort()
        rel_dir = os.path.relpath(dirpath, root)
        if any(rel_dir == e or rel_dir.startswith(e + os.sep) for e in exclude):
            dirnames[:] = []
            continue
        out += [os.path.join(rel_dir, n) for n in filenames if n.endswith(".cpp")]
    return sorted(out)


def sample(root, folder, count, seed, kinds=KINDS, exclude=()):
    """count mutations spread over the folder: a random file, then a random mutation of it, none
    twice. The same seed over the same tree gives the same sample."""
    rng = random.Random(seed)
    by_file = {}
    for path in source_files(root, folder, exclude):
        muts = [m for m in mutations_of_file(root, path) if m.kind in kinds]
        if muts:
            by_file[path] = muts
    chosen = []
    files = sorted(by_file)
    while files and len(chosen) < count:
        path = rng.choice(files)
        chosen.append(by_file[path].pop(rng.randrange(len(by_file[path]))))
        if not by_file[path]:
            files.remove(path)
    return chosen


def apply(root, m):
    """Writes the mutation into its file, keeping the original beside it until revert."""
    full = os.path.join(root, m.path)
    with open(full, encoding="utf-8") as f:
        text = f.read()
    lines = text.split("\n")
    if lines[m.line - 1] != m.original:
        raise RuntimeError(f"{m.path}:{m.line} changed since it was read")
    with open(full + BACKUP_SUFFIX, "w", encoding="utf-8") as f:
        f.write(text)
    lines[m.line - 1] = m.mutated
    with open(full, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


def revert(root, path):
    full = os.path.join(root, path)
    backup = full + BACKUP_SUFFIX
    if os.path.exists(backup):
        with open(backup, encoding="utf-8") as f:
            text = f.read()
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)
        os.remove(backup)


def revert_leftovers(root, folders=FOLDERS):
    """Puts back any file that a run killed outright left mutated."""
    restored = []
    for folder in folders:
        for dirpath, _, filenames in os.walk(os.path.join(root, folder)):
            for name in filenames:
                if name.endswith(BACKUP_SUFFIX):
                    path = os.path.relpath(os.path.join(dirpath, name[: -len(BACKUP_SUFFIX)]), root)
                    revert(root, path)
                    restored.append(path)
    return sorted(restored)


class Terminated(Exception):
    pass


def _on_term(signum, frame):
    raise Terminated()


class Runner:
    """Builds and runs the tests in stages, cheapest first, stopping at the first that fails: the
    tests of the mutated file's own folder, then those of the whole top folder, then the roads."""

    def __init__(self, root, build_dir, folder, roads=True, jobs=4, road_exclude=None, log=None):
        self.root = root
        self.build_dir = build_dir
        self.folder = folder
        self.roads = roads
        self.jobs = jobs
        self.road_exclude = road_exclude
        self.log = log or (lambda s: None)
        self._targets = None

    def run(self, cmd, timeout=3600):
        self.log("$ " + " ".join(cmd))
        try:
            p = subprocess.run(cmd, cwd=self.root, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               timeout=timeout, text=True, errors="replace")
        except subprocess.TimeoutExpired:
            return 124, "timed out"
        return p.returncode, p.stdout

    def all_targets(self):
        if self._targets is None:
            _, out = self.run(["cmake", "--build", self.build_dir, "--target", "help"])
            self._targets = re.findall(r"^(\S+): \S+", out, re.M)
        return self._targets

    def stages(self, path):
        """(name, targets to build, what to run) for each stage of a mutation of path."""
        top = self.folder.split("/")[0]
        own = os.path.dirname(path)
        own_target = own.replace("/", "_") + "_tests"
        folder_targets = [n for n in self.all_targets() if n.startswith(top + "_") and n.endswith("_tests")]
        out = []
        if own_target in folder_targets:
            out.append(("own tests", [own_target], ("exe", [own_target])))
        out.append(("folder tests", folder_targets, ("exe", folder_targets)))
        if self.roads:
            roads = ["--test-dir", self.build_dir, "-L", "road"]
            if self.road_exclude:
                roads += ["-E", self.road_exclude]
            out.append(("roads", ["kavro"], ("ctest", roads)))
        return out

    def build(self, targets):
        code, out = self.run(["cmake", "--build", self.build_dir, "--target", *targets])
        return code == 0, out

    def _executable(self, target):
        for dirpath, _, filenames in os.walk(os.path.join(self.root, self.build_dir, "tests")):
            if target in filenames:
                return os.path.join(dirpath, target)
        return None

    def test(self, what):
        """Test executables run whole, one process each, jobs at a time (much faster than a
        process per case); the roads through ctest."""
        kind, args = what
        if kind == "ctest":
            code, out = self.run(["ctest", *args, "-j", str(self.jobs), "--timeout", "600", "--stop-on-failure"])
            return code == 0, out
        os.environ.setdefault("KAVRO_RESOURCES", os.path.join(self.root, "resources"))
        paths = [p for p in (self._executable(t) for t in args) if p]
        with concurrent.futures.ThreadPoolExecutor(max_workers=self.jobs) as pool:
            runs = list(pool.map(lambda p: (p, self.run([p, "--gtest_brief=1"], timeout=900)), paths))
        failed = [(p, out) for p, (code, out) in runs if code != 0]
        report = "".join(f"  1 - {os.path.basename(p)} ({_first_failure(out)})\n" for p, out in failed)
        return not failed, report


def _first_failure(out):
    for line in out.splitlines():
        if line.startswith("[  FAILED  ]") or "ERROR: AddressSanitizer" in line or line == "timed out":
            return line.replace("[  FAILED  ] ", "").split(" (")[0].strip()
    return "exit"


def _failed_names(out):
    return re.findall(r"\d+ - (\S+) \(", out)[:4]


def run_mutations(root, mutations, runner, report=print):
    """Applies, tests and reverts each mutation in turn. Answers (mutation, outcome, what killed
    it) for each, the outcome one of "killed", "survived" and "unbuilt"."""
    results = []
    previous = signal.signal(signal.SIGTERM, _on_term)
    built_any = set()
    try:
        for i, m in enumerate(mutations, 1):
            apply(root, m)
            outcome, by = "survived", ""
            try:
                for name, targets, ctest_args in runner.stages(m.path):
                    built_any.update(targets)
                    built, _ = runner.build(targets)
                    if not built:
                        outcome = "unbuilt"
                        break
                    passed, out = runner.test(ctest_args)
                    if not passed:
                        outcome, by = "killed", name + ": " + ", ".join(_failed_names(out))
                        break
            finally:
                revert(root, m.path)
            results.append((m, outcome, by))
            report(f"[{i}/{len(mutations)}] {outcome:8} {m.path}:{m.line} {m.kind} {by}".rstrip())
    finally:
        signal.signal(signal.SIGTERM, previous)
        # The build directory goes back to the tree as it is.
        if built_any:
            runner.build(sorted(built_any))
    return results


def summary(folder, results, equivalent=()):
    """The kill rate over the mutations that build and are not known to be equivalent; answers
    the text and (killed, counted)."""
    counted = [(m, o) for m, o, _ in results if o != "unbuilt" and m.key() not in equivalent]
    killed = sum(1 for _, o in counted if o == "killed")
    rate = f" ({100.0 * killed / len(counted):.0f} %)" if counted else ""
    lines = [f"{folder}: {killed} of {len(counted)} killed{rate}"]
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


def main(argv=None, root=None):
    root = root or os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("folder", help="platform, kit, mapsdk, app or a folder under one of them")
    ap.add_argument("-n", "--count", type=int, default=20)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--kinds", default=",".join(KINDS))
    ap.add_argument("--build-dir", default="build/test")
    ap.add_argument("--no-roads", action="store_true", help="the folder's tests only")
    ap.add_argument("--road-exclude", default=None, help="road tests to leave out (a ctest -E regex)")
    ap.add_argument("-j", "--jobs", type=int, default=4)
    ap.add_argument("--list", action="store_true", help="print the sample and stop")
    ap.add_argument("--no-baseline", action="store_true", help="skip the run of the tests on the tree as it is")
    ap.add_argument("--equivalent", default=None, help="default: tools/mutate-equivalent.txt")
    ap.add_argument("--json", help="write each outcome here")
    ap.add_argument("--verbose", action="store_true")
    args = ap.parse_args(argv)

    if args.folder.split("/")[0] not in FOLDERS:
        ap.error("the folder must be under one of " + ", ".join(FOLDERS))
    kinds = tuple(k for k in args.kinds.split(",") if k)
    unknown = [k for k in kinds if k not in KINDS]
    if unknown:
        ap.error("unknown kinds: " + ", ".join(unknown))
    for path in revert_leftovers(root):
        print(f"put back {path}, left mutated by an earlier run")
    equivalent = load_equivalent(args.equivalent or os.path.join(root, "tools", "mutate-equivalent.txt"))
    mutations = sample(root, args.folder, args.count, args.seed, kinds, exclude=("platform/net/duktape",))
    if args.list:
        for m in mutations:
            print(m.describe())
        return 0
    runner = Runner(root, args.build_dir, args.folder, roads=not args.no_roads, jobs=args.jobs,
                    road_exclude=args.road_exclude,
                    log=(lambda s: print(s, file=sys.stderr)) if args.verbose else None)
    started = time.monotonic()
    if not args.no_baseline:
        # Tests that fail on the tree as it is would count every mutation as killed.
        for name, targets, what in runner.stages(mutations[0].path if mutations else args.folder + "/x.cpp")[-2:]:
            built, out = runner.build(targets)
            passed, out = runner.test(what) if built else (False, out)
            if not passed:
                print(f"the {name} fail without any mutation: mend them first\n{out[-3000:]}", file=sys.stderr)
                return 2
    try:
        results = run_mutations(root, mutations, runner, report=lambda s: print(s, flush=True))
    except (KeyboardInterrupt, Terminated):
        print("stopped; every file is as it was", file=sys.stderr)
        return 130
    text, _ = summary(args.folder, results, equivalent)
    print(text)
    print(f"({time.monotonic() - started:.0f} s)")
    if args.json:
        with open(args.json, "w", encoding="utf-8") as f:
            json.dump([{"key": m.key(), "where": f"{m.path}:{m.line}", "kind": m.kind, "outcome": o, "by": by,
                        "original": m.original.strip(), "mutated": m.mutated.strip()} for m, o, by in results],
                      f, ensure_ascii=False, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
