#!/usr/bin/env python3
"""Checks that the folders are the architecture.

  tools/check-folders.py [--root DIR] [--targets FILE]

Over platform/, kit/, mapsdk/, app/ and demo/ (the library trees):
- a folder holds at most one library target, and a target's sources are in its own folder
  (FILE, written by the build, lists "target<TAB>declaring folder<TAB>source folders");
- an include between folders points down: platform <- kit <- mapsdk <- app, and the map SDK uses
  kit/core only of the kit;
- the demo servers (demo/) stand beside the application: neither includes the other;
- no two folders include each other, directly or round a loop;
- nothing outside tests/, bench/ and fuzz/ includes a header of tests/.
Exit status 1 with one line per fault, 0 when the tree keeps the rules.
"""

import argparse
import os
import re
import sys
from collections import defaultdict

TREES = ("platform", "kit", "mapsdk", "app", "demo")
RANK = {"platform": 0, "kit": 1, "mapsdk": 2, "app": 3, "demo": 3}
# Trees whose code ships or runs as the product: none of them includes the tests' own headers.
PRODUCT_TREES = TREES + ("tools",)
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c", ".inc", ".def")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')

def tree_of(folder):
    return folder.split("/", 1)[0]


def in_trees(folder):
    return tree_of(folder) in TREES


def quoted_includes(root, trees):
    """Yields (file path, line number, its folder, included path) for every quoted include."""
    for tree in trees:
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, tree)):
            dirnames.sort()
            folder = os.path.relpath(dirpath, root)
            for name in sorted(filenames):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if m:
                            yield path, number, folder, m.group(1)


def scan_includes(root):
    """Yields (file, line number, including folder, included folder) for includes between folders."""
    for path, number, folder, included in quoted_includes(root, TREES):
        target = os.path.dirname(included)
        if not target or target == folder or not in_trees(target):
            continue
        if not os.path.isdir(os.path.join(root, target)):
            continue
        yield os.path.relpath(path, root), number, folder, target


def points_up(source, target):
    if RANK[tree_of(target)] > RANK[tree_of(source)]:
        return True
    if RANK[tree_of(target)] == RANK[tree_of(source)] and tree_of(target) != tree_of(source):
        return True
    return tree_of(source) == "mapsdk" and tree_of(target) == "kit" and target != "kit/core"


def loops(edges):
    """Strongly connected sets of more than one folder (Tarjan)."""
    index, low, on_stack, stack, found = {}, {}, set(), [], []
    counter = [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on_stack.add(v)
        for w in sorted(edges.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            members = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                members.append(w)
                if w == v:
                    break
            if len(members) > 1:
                found.append(sorted(members))

    for v in sorted(edges):
        if v not in index:
            visit(v)
    return found


def check_includes(root):
    faults = []
    edges = defaultdict(set)
    sites = defaultdict(list)
    for path, number, source, target in scan_includes(root):
        if points_up(source, target):
            where = "beside" if RANK[tree_of(target)] == RANK[tree_of(source)] else "above"
            faults.append(f"{path}:{number}: {source} includes {target}, which is {where} it")
            continue
        sites[(source, target)].append(f"{path}:{number}")
        edges[source].add(target)
    for members in loops(edges):
        within = sorted(e for e in sites if e[0] in members and e[1] in members)
        detail = "; ".join(f"{s} -> {t} ({sites[(s, t)][0]})" for s, t in within)
        faults.append(f"folders {', '.join(members)} include each other: {detail}")
    return faults


def check_test_includes(root):
    faults = []
    for path, number, _, included in quoted_includes(root, PRODUCT_TREES):
        if included.startswith("tests/"):
            faults.append(f"{os.path.relpath(path, root)}:{number}: includes {included}, a header of the tests")
    return faults


def check_targets(targets_file):
    faults = []
    by_folder = defaultdict(list)
    with open(targets_file, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line:
                continue
            name, folder, source_folders = (line.split("\t") + ["", ""])[:3]
            if not in_trees(folder):
                continue
            by_folder[folder].append(name)
            for other in filter(None, source_folders.split(";")):
                if other != folder:
                    faults.append(f"{folder}: target {name} builds sources of {other}")
    for folder in sorted(by_folder):
        names = sorted(by_folder[folder])
        if len(names) > 1:
            faults.append(f"{folder} holds {len(names)} targets ({', '.join(names)}): give each its own folder")
    return faults


def main(argv):
    parser = argparse.ArgumentParser(description="Checks the folders' targets and includes.")
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    parser.add_argument("--targets", help="the build's list of library targets and their folders")
    args = parser.parse_args(argv)
    faults = check_includes(os.path.abspath(args.root)) + check_test_includes(os.path.abspath(args.root))
    if args.targets:
        faults += check_targets(args.targets)
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print("folders: one target each, every include between folders points down")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
