#!/usr/bin/env python3
"""Checks that every source and header compiles on its own.

usage: cmake/compile-alone.py BUILD_DIR [-j N] [--sources-under FOLDER...]

BUILD_DIR is a tree configured without unity batches and with the tests on (its
compile_commands.json lists each file by itself). Every source listed there (or only those under
the FOLDERs named), every fuzz target and every header of the repository is compiled for syntax
only, alone, with the flags of its own folder's files; a file that needs a neighbour's includes to
compile fails here although the unity builds pass it. Prints each failure with the compiler's
first lines, exits 1 on any.
"""

import argparse
import concurrent.futures
import json
import os
import re
import shlex
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def compile_args(entry):
    args = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
    out, skip = [], False
    for arg in args:
        if skip:
            skip = False
            continue
        if arg == "-o":
            skip = True
            continue
        if arg in ("-c", entry["file"]) or arg.startswith(("-MF", "-MD", "-MT", "-MQ")):
            continue
        out.append(arg)
    return out


def tracked(*patterns):
    listed = subprocess.run(["git", "-C", ROOT, "ls-files", "-z", *patterns], check=True,
                            capture_output=True).stdout.decode()
    return [os.path.join(ROOT, name) for name in listed.split("\0") if name]


def first_include(source):
    try:
        with open(source, encoding="utf-8", errors="replace") as f:
            for line in f:
                match = re.match(r'\s*#\s*include\s*[<"]([^>"]+)[>"]', line)
                if match:
                    return match.group(1)
    except OSError:
        pass
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("-j", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--sources-under", nargs="+", default=[], metavar="FOLDER")
    opts = parser.parse_args()
    with open(os.path.join(opts.build_dir, "compile_commands.json")) as f:
        entries = json.load(f)

    jobs = []  # (name, argv, directory, stdin text or None)
    by_folder = {}
    build_dir = os.path.realpath(opts.build_dir)
    for entry in entries:
        path = os.path.realpath(entry["file"])
        if path.startswith(build_dir + os.sep):
            continue  # generated, third-party
        args = compile_args(entry)
        if path.endswith((".cpp", ".cc")):
            by_folder.setdefault(os.path.dirname(path), (args, entry["directory"]))
        if opts.sources_under and not any(
                path.startswith(os.path.join(ROOT, folder.strip("/")) + os.sep) for folder in opts.sources_under):
            continue
        jobs.append((os.path.relpath(path, ROOT), args + ["-fsyntax-only", path], entry["directory"], None))

    def flags_for(path):
        folder = os.path.dirname(path)
        while folder.startswith(ROOT):
            if folder in by_folder:
                return by_folder[folder]
            folder = os.path.dirname(folder)
        # A folder with no listed source (the fuzz targets): the flags of the tests' helpers.
        return by_folder.get(os.path.join(ROOT, "tests", "support")) or next(iter(by_folder.values()))

    listed = {os.path.realpath(e["file"]) for e in entries}
    for path in tracked("fuzz/*.cpp"):
        if path not in listed:
            args, directory = flags_for(path)
            jobs.append((os.path.relpath(path, ROOT), args + ["-fsyntax-only", path], directory, None))
    # A header is compiled as the only include of an empty file, so that it is its own first line;
    # one whose own source includes it first is compiled alone with that source.
    for path in tracked("*.h", "*.hpp"):
        rel = os.path.relpath(path, ROOT)
        if first_include(os.path.splitext(path)[0] + ".cpp") == rel:
            continue
        if rel.startswith(("build/", "fuzz/corpus/")):
            continue
        if rel.startswith("bench/") and not any(f.startswith(os.path.join(ROOT, "bench")) for f in by_folder):
            continue  # the benchmarks' peer libraries are installed by bench.sh alone
        args, directory = flags_for(path)
        jobs.append((rel, args + ["-fsyntax-only", "-x", "c++", "-"], directory, f'#include "{path}"\n'))

    def run(job):
        name, argv, directory, text = job
        done = subprocess.run(argv, cwd=directory, input=(text or "").encode(), capture_output=True)
        return name, done.returncode, done.stderr.decode(errors="replace")

    failed = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=opts.j) as pool:
        for done in concurrent.futures.as_completed([pool.submit(run, job) for job in jobs]):
            name, code, err = done.result()
            if code != 0:
                failed.append(name)
                lines = [line for line in err.splitlines() if "error" in line][:5]
                print(f"{name} does not compile alone:", *lines, sep="\n  ", file=sys.stderr)
    print(f"{len(jobs)} files compiled alone, {len(failed)} failed", file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
