"""The mutation tool over small trees: each kind changes what it should and leaves alone what is no
logic, the sample follows its seed, outcomes are counted as they came, and every file is put back
however a run ends."""

import importlib.util
import json
import os
import shutil
import signal
import tempfile
import unittest

_source = os.environ.get("KAVRO_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", "..", ".."))
_spec = importlib.util.spec_from_file_location("mutate", os.path.join(_source, "tools", "mutate.py"))
mutate = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(mutate)


def mutated(line, kind):
    return sorted(m.mutated for m in mutate.mutations_of_line("a.cpp", 1, line) if m.kind == kind)


class KindsTest(unittest.TestCase):
    def test_comparisons_flip_and_shift_their_bound(self):
        self.assertEqual(mutated("  if (i < n) return;", "flip"), ["  if (i >= n) return;"])
        self.assertEqual(mutated("  if (i < n) return;", "bound"), ["  if (i <= n) return;"])
        self.assertEqual(mutated("  if (i >= n) return;", "bound"), ["  if (i > n) return;"])
        self.assertEqual(mutated("  if (i > n) return;", "bound"), ["  if (i >= n) return;"])
        self.assertEqual(mutated("  if (i <= n) return;", "bound"), ["  if (i < n) return;"])
        self.assertEqual(mutated("  ok = a == b;", "flip"), ["  ok = a != b;"])
        self.assertEqual(mutated("  ok = a != b;", "flip"), ["  ok = a == b;"])
        self.assertEqual(mutated("  ok = a == b;", "bound"), [])
        # One mutation for each operator on the line.
        self.assertEqual(mutated("  ok = a < b && c > d;", "flip"),
                         ["  ok = a < b && c <= d;", "  ok = a >= b && c > d;"])

    def test_what_is_no_comparison_is_left_alone(self):
        for line in ["#include <vector>", "  std::vector<int> v;", "  out << x >> y;", "  p->q = 1;",
                     '  log("a < b");', "  // if (a < b) f(a, b);", " * a < b in a block comment",
                     "  x = 1;  // a < b", "  c = '<';"]:
            self.assertEqual([m.mutated for m in mutate.mutations_of_line("a.cpp", 1, line)
                              if m.kind in ("flip", "bound")], [], line)

    def test_a_comparison_after_a_string_or_character_is_mutated(self):
        # The string ends at its closing mark, past any escaped one inside it.
        for line, flipped in [('  if (s == "x" || a < b) go();', '  if (s == "x" || a >= b) go();'),
                              ('  if (s == "a\\"b" || a < b) go();', '  if (s == "a\\"b" || a >= b) go();'),
                              ('  if (s == "a\\\\" || a < b) go();', '  if (s == "a\\\\" || a >= b) go();'),
                              ("  if (c == '\\'' || a < b) go();", "  if (c == '\\'' || a >= b) go();")]:
            self.assertIn(flipped, [m.mutated for m in mutate.mutations_of_line("a.cpp", 1, line)
                                    if m.kind == "flip"], line)

    def test_two_arguments_swap_in_calls_but_not_in_parameter_lists(self):
        self.assertEqual(mutated("  move(dx, dy);", "swap"), ["  move(dy, dx);"])
        self.assertEqual(mutated("  return s.substr(0, cut);", "swap"), ["  return s.substr(cut, 0);"])
        self.assertEqual(mutated("  move(d, d);", "swap"), [])
        self.assertEqual(mutated("void f(int a, int b) {", "swap"), [])
        self.assertEqual(mutated("void f(const Rect& r, std::string_view s) {", "swap"), [])
        self.assertEqual(mutated('  g("a", "b");', "swap"), [])
        # Each neighbouring pair of a longer call, but only arguments that look of one type.
        self.assertEqual(mutated("  g(a, b, c);", "swap"), ["  g(a, c, b);", "  g(b, a, c);"])
        self.assertEqual(mutated("  write(path, text, true);", "swap"), ["  write(text, path, true);"])
        self.assertEqual(mutated("  die(Status::Failed, problem);", "swap"), [])
        # A parameter list with unnamed parameters beside a named one is no call either.
        self.assertEqual(mutated("  void moved(Point, Size, double scale);", "swap"), [])
        self.assertEqual(mutated("  pick(Kind::Road, Kind::Rail);", "swap"), ["  pick(Kind::Rail, Kind::Road);"])
        self.assertEqual(mutated("  r.resize(w, h + 1);", "swap"), [])

    def test_a_call_standing_alone_is_dropped(self):
        self.assertEqual(mutated("    view->setNeedsLayout();", "drop"), ["    ;"])
        self.assertEqual(mutated("  a.b.c(f(x), 2);  // why", "drop"), ["  ;  // why"])
        self.assertEqual(mutated("  platform::notify(x);", "drop"), ["  ;"])
        for line in ["  x = f(y);", "  return f(x);", "  if (f(x)) g();", "  f(a) + g(b);", "  auto v = f();",
                     "  f(a,", "  while (f());"]:
            self.assertEqual(mutated(line, "drop"), [], line)

    def test_a_bound_moves_by_one_where_one_is_added_or_taken(self):
        self.assertEqual(mutated("  x = v[n - 1];", "bound"), ["  x = v[n];"])
        self.assertEqual(mutated("  f(i + 1);", "bound"), ["  f(i);"])
        self.assertEqual(mutated("  x = n - 10;", "bound"), [])
        self.assertEqual(mutated("  x = n + 1.5;", "bound"), [])

    def test_an_early_exit_is_left_out_but_not_the_last_word(self):
        self.assertEqual(mutated("  if (done) return;", "return"), ["  if (done) {}"])
        self.assertEqual(mutated("      break;", "return"), ["      ;"])
        self.assertEqual(mutated("    if (skip(x)) continue;", "return"), ["    if (skip(x)) {}"])
        self.assertEqual(mutated("  return;", "return"), [])  # the end of a function: no change
        self.assertEqual(mutated("  return x;", "return"), [])

    def test_flags_invert(self):
        self.assertEqual(mutated("  visible_ = true;", "flag"), ["  visible_ = false;"])
        self.assertEqual(mutated("  f(a, false);", "flag"), ["  f(a, true);"])
        self.assertEqual(mutated("  if (!ready && !o.done()) go();", "flag"),
                         ["  if (!ready && o.done()) go();", "  if (ready && !o.done()) go();"])
        self.assertEqual(mutated("  if (a != b) go();", "flag"), [])
        self.assertEqual(mutated('  log("true!");', "flag"), [])
        self.assertEqual(mutated("  trueish = untrue;", "flag"), [])

    def test_a_field_is_read_for_its_pair(self):
        self.assertEqual(mutated("  p.x = q.y;", "field"), ["  p.x = q.x;", "  p.y = q.y;"])
        self.assertEqual(mutated("  a = r->size.width;", "field"), ["  a = r->size.height;"])
        self.assertEqual(mutated("  return it->second;", "field"), ["  return it->first;"])
        self.assertEqual(mutated("  n = v.begin();", "field"), [])  # a call, not a field
        self.assertEqual(mutated("  xy = x + y;", "field"), [])

    def test_a_lock_is_dropped(self):
        self.assertEqual(mutated("  platform::MutexLock lock(mutex_);", "lock"), ["  ;"])
        self.assertEqual(mutated("    MutexLock l(r.mutex);  // both", "lock"), ["    ;  // both"])
        self.assertEqual(mutated("  platform::MutexLock lock(mutex_, std::adopt_lock);", "lock"), ["  ;"])
        self.assertEqual(mutated("  platform::Mutex mutex_;", "lock"), [])

    def test_kept_state_is_left_uncleared_and_entries_unerased(self):
        self.assertEqual(mutated("  items_.clear();", "reset"), ["  ;"])
        self.assertEqual(mutated("    state.pending->reset();  // why", "reset"), ["    ;  // why"])
        self.assertEqual(mutated("  done_ = false;", "reset"), ["  ;"])
        self.assertEqual(mutated("  request_ = nullptr;", "reset"), ["  ;"])
        self.assertEqual(mutated("  bool done = false;", "reset"), [])  # a declaration, not kept state
        self.assertEqual(mutated("  ok = a == 0;", "reset"), [])
        self.assertEqual(mutated("  waiting_.erase(id);", "erase"), ["  ;"])
        self.assertEqual(mutated("  center_.removeObserver(this);", "erase"), ["  ;"])
        self.assertEqual(mutated("  it = list.erase(it);", "erase"), [])  # the loop needs its answer
        self.assertEqual(mutated("  items_.clear();", "erase"), [])

    def test_a_failed_answer_is_ignored_but_still_asked(self):
        self.assertEqual(mutated("  if (!store.open(path)) return false;", "ignored"),
                         ["  if (((void)(store.open(path)), false)) return false;"])
        self.assertEqual(mutated("  if (::pread(fd, buf, n, 0) < 0) {", "ignored"),
                         ["  if (((void)(::pread(fd, buf, n, 0)), false)) {"])
        self.assertEqual(mutated("  if (sqlite3_step(s) != SQLITE_DONE) fail();", "ignored"),
                         ["  if (((void)(sqlite3_step(s)), false)) fail();"])
        self.assertEqual(mutated("  if (!ready) return;", "ignored"), [])  # no call asked
        self.assertEqual(mutated("  if (f(a) && g(b)) go();", "ignored"), [])
        self.assertEqual(sorted(m.mutated for m in mutate.mutations_of_line("t.py", 1, "    if not run(cmd):")
                                if m.kind == "ignored"), ["    if (run(cmd), False)[1]:"])

    def test_a_limit_moves_by_one_on_a_branch_only(self):
        self.assertEqual(mutated("  } else if (n > 16) {", "branch"), ["  } else if (n > 15) {", "  } else if (n > 17) {"])
        self.assertEqual(mutated("    if (size >= kMaxSize) return;", "branch"),
                         ["    if (size >= (kMaxSize + 1)) return;", "    if (size >= (kMaxSize - 1)) return;"])
        self.assertEqual(mutated("  ok = a && 0 < n;", "branch"), ["  ok = a && 1 < n;"])
        self.assertEqual(mutated("  if (n > 16) return;", "branch"), [])  # the common path: "bound" moves it
        self.assertEqual(mutated("    if (bits == 32) go();", "branch"), [])  # a value, not a limit
        self.assertEqual(mutated("    x = y << 2;", "branch"), [])

    def test_python_has_its_own_spelling(self):
        def py(line, kind):
            return sorted(m.mutated for m in mutate.mutations_of_line("t.py", 1, line) if m.kind == kind)
        self.assertEqual(py("    if a < b:", "flip"), ["    if a >= b:"])
        self.assertEqual(py("    if a < b:", "negate"), ["    if not (a < b):"])
        self.assertEqual(py("    while todo:  # why", "negate"), ["    while not (todo):  # why"])
        self.assertEqual(py("    found = True", "flag"), ["    found = False"])
        self.assertEqual(py("    if not seen:", "flag"), ["    if seen:"])
        self.assertEqual(py("        continue", "return"), ["        pass"])
        self.assertEqual(py("    out.append(x)", "drop"), ["    pass"])
        self.assertEqual(py("    x = f(a, b)", "swap"), ["    x = f(b, a)"])
        self.assertEqual(py("def f(a, b):", "swap"), [])
        self.assertEqual(py("    # if a < b: f(a, b)", "flip"), [])
        self.assertEqual(py("import os", "drop"), [])

    def test_conditions_are_negated_whole(self):
        self.assertEqual(mutated("  if (a && f(b)) {", "negate"), ["  if (!(a && f(b))) {"])
        self.assertEqual(mutated("  } while (i < n);", "negate"), ["  } while (!(i < n));"])
        self.assertEqual(mutated("  if (auto p = weak.lock()) p->go();", "negate"), [])
        self.assertEqual(mutated("  if (int n = count()) use(n);", "negate"), [])
        self.assertEqual(mutated("  if (a == b) go();", "negate"), ["  if (!(a == b)) go();"])
        self.assertEqual(mutated("  if (a ||", "negate"), [])  # the condition goes on: not this line
        # No condition to negate: empty, or an init-statement before it.
        self.assertEqual(mutated("  if ( ) g();", "negate"), [])
        self.assertEqual(mutated("  if (reset(); ok) g();", "negate"), [])
        self.assertEqual(mutated("  while (step(); more) g();", "negate"), [])

    def test_logic_in_a_comment_or_a_string_is_left_alone_by_every_kind(self):
        for line in ["  x = 1;  // if (a) return; f(a, b); while (true) !done; p.x < q.y",
                     '  s = "if (a) return; f(a, b) while (true) !done p.x a < b";']:
            self.assertEqual([(m.kind, m.mutated) for m in mutate.mutations_of_line("a.cpp", 1, line)], [], line)
        for line in ["    x = 1  # if a < b: f(a, b); while True: not done; p.x",
                     '    s = "if a < b: f(a, b) True not done p.x"']:
            self.assertEqual([(m.kind, m.mutated) for m in mutate.mutations_of_line("t.py", 1, line)], [], line)

    def test_a_key_names_the_change_not_the_line_number(self):
        first = mutate.mutations_of_line("a.cpp", 3, "  if (i < n) return;")
        moved = mutate.mutations_of_line("a.cpp", 9, "  if (i < n) return;")
        other = mutate.mutations_of_line("a.cpp", 3, "  if (i < m) return;")
        self.assertEqual([m.key() for m in first], [m.key() for m in moved])
        self.assertNotEqual([m.key() for m in first], [m.key() for m in other])
        self.assertEqual(len({m.key() for m in first}), len(first))


class Tree(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.root = self._dir.name

    def tearDown(self):
        self._dir.cleanup()

    def write(self, path, text):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)

    def read(self, path):
        with open(os.path.join(self.root, path), encoding="utf-8") as f:
            return f.read()


CODE = "int f(int a, int n) {\n  if (a < n) return 1;\n  go(a, n);\n  return 0;\n}\n"


class ReviewerKindsTest(Tree):
    """Each kind over a small sample: it finds its sites there, and only them, and makes the fault it
    names."""

    def kind_in(self, path, text, kind):
        self.write(path, text)
        out = []
        for m in mutate.mutations_of_file(self.root, path):
            if m.kind == kind:
                # The line's own indent is kept.
                indent = m.original[: len(m.original) - len(m.original.lstrip())]
                self.assertTrue(m.mutated.startswith(indent) and not m.mutated[len(indent)].isspace(), m.mutated)
                out.append((m.line, m.mutated.strip()))
        return out

    def test_merge_lets_the_other_side_win(self):
        sample = ("void merge(Map& kept, const Map& read) {\n"
                  "  for (auto& [k, v] : read) kept.emplace(k, v);\n"
                  "  kept.insert_or_assign(\"seen\", now);\n"
                  "  memory_[key] = fromDisk;\n"
                  "  auto n = kept.size();\n"
                  "  if (kept[key] == v) go();\n"
                  "}\n")
        self.assertEqual(self.kind_in("kit/x/M.cpp", sample, "merge"),
                         [(2, "for (auto& [k, v] : read) kept.insert_or_assign(k, v);"),
                          (3, 'kept.emplace("seen", now);'),
                          (4, "memory_.emplace(key, fromDisk);")])
        py = "def merge(disk, memory):\n    out = {**disk, **memory}\n    out[k] = v\n    out.setdefault(k, v)\n"
        self.assertEqual(self.kind_in("tools/check-folders.py", py, "merge"),
                         [(2, "out = {**memory, **disk}"), (3, "out.setdefault(k, v)"), (4, "out[k] = v")])

    def test_complete_lets_a_count_one_short_through(self):
        sample = ("bool whole(const std::vector<Entry>& entries, std::size_t expected) {\n"
                  "  if (entries.size() != expected) return false;\n"
                  "  if (expected == index_.count()) return true;\n"
                  "  return entries.size() < expected;\n"
                  "}\n")
        self.assertEqual(self.kind_in("kit/x/C.cpp", sample, "complete"),
                         [(2, "if (entries.size() + 1 != expected) return false;"),
                          (3, "if (expected == (index_.count() + 1)) return true;")])
        self.assertEqual(self.kind_in("tools/check-folders.py", "def f(rows, n):\n    return len(rows) == n\n",
                                      "complete"), [(2, "return len(rows) + 1 == n")])

    def test_unit_drops_or_doubles_a_factor(self):
        sample = ("int waitMs(double seconds) {\n"
                  "  auto d = std::chrono::milliseconds(50);\n"
                  "  return int(seconds * 1000);\n"
                  "  return n * 10;\n"
                  "  log(\"ms = s * 1000\");\n"
                  "}\n")
        self.assertEqual(self.kind_in("kit/x/U.cpp", sample, "unit"),
                         [(2, "auto d = std::chrono::seconds(50);"), (3, "return int(seconds);"),
                          (3, "return int(seconds * 1000 * 1000);")])

    def test_moment_counts_a_time_out_from_another_moment(self):
        sample = ("void Reader::start() {\n"
                  "  started_ = now();\n"
                  "  lastByte_ = now();\n"
                  "}\n"
                  "void Reader::onBytes() { lastByte_ = now(); }\n"
                  "bool Reader::timedOut() const { return now() - lastByte_ > timeOut_; }\n"
                  "void Reader::f() {\n"
                  "  auto t = now();\n"
                  "  // now() - lastByte_ in a comment\n"
                  "}\n")
        self.assertEqual(self.kind_in("kit/x/T.cpp", sample, "moment"),
                         [(2, ";"), (3, ";"),
                          (6, "bool Reader::timedOut() const { return now() - started_ > timeOut_; }"),
                          (6, "bool Reader::timedOut() const { return now() - t > timeOut_; }")])
        # Two moments kept are enough for one to be read for the other.
        two = ("void f() {\n  start_ = now();\n  last_ = now();\n  if (now() - last_ > t) stop();\n"
               "  if (now() - other > t) stop();\n}\n")
        self.assertEqual(self.kind_in("kit/x/T2.cpp", two, "moment"),
                         [(2, ";"), (3, ";"), (4, "if (now() - start_ > t) stop();")])

    def test_token_refuses_a_variant_of_a_token(self):
        sample = ("bool isChunked(const std::string& v) {\n"
                  "  if (strcasecmp(v.c_str(), \"chunked\") == 0) return true;\n"
                  "  return netdetail::lowercase(trim(v)) == \"chunked\";\n"
                  "  if (iequals(name, kChunked)) go();\n"
                  "}\n")
        self.assertEqual(self.kind_in("kit/x/K.cpp", sample, "token"),
                         [(2, 'if (strcmp(v.c_str(), "chunked") == 0) return true;'),
                          (3, 'return trim(v) == "chunked";'),
                          (3, 'return netdetail::lowercase(v) == "chunked";'),
                          (4, "if ((name == kChunked)) go();")])
        self.assertEqual(self.kind_in("tools/check-folders.py", "def f(s):\n    return trim(s).strip().lower()\n", "token"),
                         [(2, "return trim(s).lower()"), (2, "return trim(s).strip()")])

    def test_target_moves_a_driver_to_a_child_or_to_the_view_alone(self):
        sample = ("bool reaches(View& v, View& target) {\n"
                  "  if (&v == &target || target.isDescendantOfView(&v)) return true;\n"
                  "  return hit->isDescendantOfView(&target);\n"
                  "}\n")
        self.assertEqual(self.kind_in("platform/ui/D.cpp", sample, "target"),
                         [(2, "if (target.isDescendantOfView(&v)) return true;"),
                          (2, "if (&v == &target) return true;"),
                          (3, "return hit->superviewPointer() == &target;")])

    def test_trylock_takes_a_lock_not_taken_for_held(self):
        sample = ("void f() {\n"
                  "  if (!mu_.tryLock()) return;\n"
                  "  if (lock.owns_lock()) go();\n"
                  "  if (!ready()) return;\n"
                  "  log(\"if (!mu_.tryLock()) return;\");\n"
                  "}\n")
        self.assertEqual(self.kind_in("kit/x/L.cpp", sample, "trylock"),
                         [(2, "if (((void)(mu_.tryLock()), false)) return;"),
                          (3, "if (((void)(lock.owns_lock()), true)) go();")])
        script = ("#!/usr/bin/env bash\n"
                  "exec 9>\"$dir/.build.lock\"\n"
                  "if ! flock -n 9; then\n"
                  "  if ! flock -w 2 9; then\n"
                  "    echo \"waiting for flock 9\" >&2\n"
                  "    flock 9\n"
                  "    echo flock 9 is taken\n"
                  "  fi\n"
                  "fi\n"
                  "# flock 9 in a comment\n")
        self.assertEqual(self.kind_in("build.sh", script, "trylock"),
                         [(3, "if ! { flock -n 9 || true; }; then"),
                          (4, "if ! { flock -w 2 9 || true; }; then"),
                          (6, "{ flock -n 9 || true; }")])
        # A shell script is mutated by this kind alone.
        self.assertEqual({m.kind for m in mutate.mutations_of_file(self.root, "build.sh")}, {"trylock"})
        self.assertEqual(mutate.Runner(self.root, "b").stages("build.sh"),
                         [("own tests", [], ("ctest", ["-R", r"^tools\.build$"]))])
        # The roads of C++ code run on the runner and on every road driver built beside it.
        runner = mutate.Runner(self.root, "b", reach="own")
        runner._targets = ["kavro", "auth_roads", "kit_core_tests", "kit_core"]
        self.assertEqual(runner.stages("kit/core/A.cpp")[-1],
                         ("roads", ["kavro", "auth_roads"], ("ctest", ["-L", "road"])))


class SinceTest(Tree):
    def git(self, *args):
        import subprocess
        subprocess.run(["git", *args], cwd=self.root, check=True, capture_output=True,
                       env=dict(os.environ, GIT_AUTHOR_NAME="t", GIT_AUTHOR_EMAIL="t@t", GIT_COMMITTER_NAME="t",
                                GIT_COMMITTER_EMAIL="t@t"))

    def test_only_the_lines_changed_since_a_commit_are_mutated_in_every_folder(self):
        import contextlib
        import io
        import subprocess

        self.git("init", "-q")
        self.write("kit/x/A.cpp", CODE)
        self.write("mapsdk/y/B.cpp", CODE)
        self.write("build.sh", "flock 9\n")
        self.write("platform/net/duktape/d.cpp", CODE)
        self.git("add", ".")
        self.git("commit", "-q", "-m", "base")
        base = subprocess.run(["git", "rev-parse", "HEAD"], cwd=self.root, capture_output=True, text=True).stdout.strip()
        # A commit changes A's third line, the working tree B's second, a new file is not yet known to
        # git, and a test file and a file of no folder are changed too.
        self.write("kit/x/A.cpp", CODE.replace("  go(a, n);", "  go(n, a);\n  if (a > n) stop();"))
        self.git("commit", "-q", "-am", "change")
        self.write("mapsdk/y/B.cpp", CODE.replace("a < n", "a <= n"))
        self.write("app/z/New.cpp", "void g(int a) {\n  if (a == 1) h(a);\n}\n")
        self.write("tests/kit/T.cpp", "void t() {\n  if (a < 1) f();\n}\n")
        self.write("demo/d.cpp", "void t() {\n  if (a < 1) f();\n}\n")
        self.write("build.sh", "flock -n 9\n")
        self.write("platform/net/duktape/d.cpp", CODE.replace("a < n", "a > n"))
        self.write("kit/x/notes.txt", "if (a < n) go(a, n);\n")
        self.assertEqual(mutate.changed_lines(self.root, base),
                         {"kit/x/A.cpp": {3, 4}, "mapsdk/y/B.cpp": {2}, "app/z/New.cpp": {1, 2, 3, 4},
                          "tests/kit/T.cpp": {1, 2, 3, 4}, "demo/d.cpp": {1, 2, 3, 4}, "build.sh": {1},
                          "platform/net/duktape/d.cpp": {2}, "kit/x/notes.txt": {1, 2}})
        every = mutate.sample(self.root, None, None, 1, lines=mutate.changed_lines(self.root, base))
        self.assertEqual(sorted({(m.path, m.line) for m in every}),
                         [("app/z/New.cpp", 2), ("build.sh", 1), ("kit/x/A.cpp", 3), ("kit/x/A.cpp", 4),
                          ("mapsdk/y/B.cpp", 2)])
        # Every mutation of those lines, in order: the same as the folder's own on those lines.
        whole = [m for m in mutate.mutations_of_file(self.root, "mapsdk/y/B.cpp") if m.line == 2]
        self.assertEqual(sorted(m.key() for m in every if m.path == "mapsdk/y/B.cpp"), sorted(m.key() for m in whole))
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            self.assertEqual(mutate.main(["--since", base, "--list"], root=self.root), 0)
        # Every one, in the order of the files and their lines.
        listed = [line.split()[0] + " " + line.split()[1] for line in out.getvalue().splitlines()
                  if line and not line.startswith((" ", "seed"))]
        self.assertEqual(listed, [f"{m.path}:{m.line} {m.kind}" for m in every])
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            self.assertEqual(mutate.main(["kit/", "--since", base, "-n", "2", "--seed", "5", "--list"], root=self.root), 0)
        self.assertEqual(out.getvalue().count("kit/x/A.cpp:"), 2)
        self.assertNotIn("B.cpp", out.getvalue())
        for argv in (["--list"], ["--since", "no-such-commit", "--list"]):
            with self.assertRaises(SystemExit):
                with contextlib.redirect_stdout(io.StringIO()), contextlib.redirect_stderr(io.StringIO()):
                    mutate.main(argv, root=self.root)


class SampleTest(Tree):
    def test_lines_of_one_text_have_keys_of_their_own_and_a_lone_line_keeps_its_key(self):
        self.write("kit/x/R.cpp", "int f(int a) {\n  if (a < 0) return;\n  g(a);\n  if (a < 0) return;\n}\n")
        muts = [m for m in mutate.mutations_of_file(self.root, "kit/x/R.cpp") if m.kind == "flip"]
        repeated = [m.key() for m in muts if m.line in (2, 4)]
        self.assertEqual(len(repeated), 2)
        self.assertNotEqual(repeated[0], repeated[1])
        self.assertTrue(repeated[0].endswith(".1") and repeated[1].endswith(".2"), repeated)
        # A line no other repeats keeps the key it had, so what was set aside before still is.
        alone = mutate.mutations_of_line("kit/x/R.cpp", 3, "  g(a);")
        here = [m for m in mutate.mutations_of_file(self.root, "kit/x/R.cpp") if m.line == 3]
        self.assertEqual([m.key() for m in alone], [m.key() for m in here])

    def setUp(self):
        super().setUp()
        for i in range(4):
            self.write(f"kit/part{i}/F{i}.cpp", CODE)
        self.write("kit/part0/F.h", "inline bool g(int a, int b) { return a < b; }\n")
        self.write("kit/vendored/V.cpp", CODE)
        self.write("kit/part1/Block.cpp", "/*\n  if (a < b) go(a, b);\n*/\nvoid h() { x(); }\n")

    def test_the_seed_decides_the_sample(self):
        one = mutate.sample(self.root, "kit", 8, seed=5)
        again = mutate.sample(self.root, "kit", 8, seed=5)
        self.assertEqual(one, again)
        others = [mutate.sample(self.root, "kit", 8, seed=s) for s in (6, 7, 8)]
        self.assertTrue(any(o != one for o in others))

    def test_the_sample_is_of_the_folder_code_without_repeats(self):
        chosen = mutate.sample(self.root, "kit", 100, seed=1, exclude=("kit/vendored",))
        self.assertEqual(len(chosen), len(set(chosen)))
        paths = {m.path for m in chosen}
        self.assertEqual(paths, {f"kit/part{i}/F{i}.cpp" for i in range(4)})  # no header, no comment
        self.assertEqual({m.kind for m in chosen}, {"flip", "bound", "swap", "drop", "negate"})
        # Each file: two comparison changes, a swap, a drop, a negation.
        self.assertEqual(len(chosen), 4 * 5)
        self.assertEqual(len(mutate.sample(self.root, "kit", 3, seed=1)), 3)
        only = mutate.sample(self.root, "kit", 100, seed=1, kinds=("drop",), exclude=("kit/vendored",))
        self.assertEqual([m.kind for m in only], ["drop"] * 4)  # x() in Block.cpp shares its line

    def test_a_mutation_is_put_back_byte_for_byte(self):
        self.write("kit/part0/F0.cpp", CODE + "// no newline at the end")
        before = self.read("kit/part0/F0.cpp")
        m = next(m for m in mutate.mutations_of_file(self.root, "kit/part0/F0.cpp") if m.kind == "negate")
        mutate.apply(self.root, m)
        self.assertIn("if (!(a < n)) return 1;", self.read("kit/part0/F0.cpp"))
        mutate.revert(self.root, m.path)
        self.assertEqual(self.read("kit/part0/F0.cpp"), before)
        self.assertFalse(os.path.exists(os.path.join(self.root, "kit/part0/F0.cpp" + mutate.BACKUP_SUFFIX)))
        # Put back twice (a worker, then an interrupted run), or never mutated: left as it is.
        mutate.revert(self.root, m.path)
        mutate.revert(self.root, "kit/part1/F1.cpp")
        self.assertEqual(self.read("kit/part0/F0.cpp"), before)
        self.assertEqual(self.read("kit/part1/F1.cpp"), CODE)

    def test_two_views_added_to_one_parent_change_places_and_are_put_back(self):
        text = ("void build() {\n  auto a = make();\n  view->addSubview(a);\n  auto b = make();\n"
                "  view->addSubview(b);\n  other->addSubview(c);\n}\n")
        self.write("kit/part0/V.cpp", text)
        swaps = [m for m in mutate.mutations_of_file(self.root, "kit/part0/V.cpp") if m.kind == "siblings"]
        self.assertEqual(len(swaps), 1)  # another parent's view is no sibling
        mutate.apply(self.root, swaps[0])
        self.assertEqual(self.read("kit/part0/V.cpp"), "void build() {\n  auto a = make();\n  auto b = make();\n"
                         "  view->addSubview(b);\n  view->addSubview(a);\n  other->addSubview(c);\n}\n")
        mutate.revert(self.root, "kit/part0/V.cpp")
        self.assertEqual(self.read("kit/part0/V.cpp"), text)
        # Views of two blocks are not siblings of one another.
        self.write("kit/part0/V.cpp", "  if (x) {\n    v->addSubview(a);\n  }\n  v->addSubview(b);\n")
        self.assertEqual([m for m in mutate.mutations_of_file(self.root, "kit/part0/V.cpp") if m.kind == "siblings"], [])

    def test_a_shell_script_left_mutated_is_put_back(self):
        self.write("build.sh", "flock 9\n")
        m = [m for m in mutate.mutations_of_file(self.root, "build.sh")][0]
        mutate.apply(self.root, m)
        self.assertEqual(mutate.revert_leftovers(self.root), ["build.sh"])
        self.assertEqual(self.read("build.sh"), "flock 9\n")
        self.assertFalse(os.path.exists(os.path.join(self.root, "build.sh" + mutate.BACKUP_SUFFIX)))

    def test_a_file_left_mutated_by_a_killed_run_is_put_back_at_the_next(self):
        m = mutate.mutations_of_file(self.root, "kit/part2/F2.cpp")[0]
        mutate.apply(self.root, m)
        self.assertNotEqual(self.read("kit/part2/F2.cpp"), CODE)
        self.assertEqual(mutate.revert_leftovers(self.root), ["kit/part2/F2.cpp"])
        self.assertEqual(self.read("kit/part2/F2.cpp"), CODE)
        self.assertEqual(mutate.revert_leftovers(self.root), [])

    def test_a_line_changed_since_the_sample_is_not_overwritten(self):
        m = mutate.mutations_of_file(self.root, "kit/part3/F3.cpp")[0]
        self.write("kit/part3/F3.cpp", "// edited meanwhile\n" + CODE)
        with self.assertRaises(RuntimeError):
            mutate.apply(self.root, m)
        self.assertEqual(self.read("kit/part3/F3.cpp"), "// edited meanwhile\n" + CODE)


class FakeRunner:
    """Tests that fail when the file holds one of the given texts; builds that fail on others."""

    def __init__(self, tree, path, killing=(), unbuildable=(), road_killing=(), on_test=None):
        self.tree, self.path = tree, path
        self.root = tree.root
        self.analysed = []
        self.killing, self.unbuildable, self.road_killing = killing, unbuildable, road_killing
        self.on_test = on_test
        self.builds = []
        self.stages_run = []

    def stages(self, path):
        return [("own tests", ["kit_part0_tests"], ["own"]), ("folder tests", ["kit_a_tests"], ["folder"]),
                ("roads", ["kavro"], ["roads"])]

    def analyse(self, path):
        self.analysed.append(self.tree.read(path))
        return "warning: requires holding mutex (thread-safety)" if "g() {\n  ;" in self.tree.read(path) else ""

    def build(self, targets):
        self.builds.append((targets, self.tree.read(self.path)))
        return not any(t in self.tree.read(self.path) for t in self.unbuildable), ""

    def test(self, args):
        self.stages_run.append(args[0])
        if self.on_test:
            self.on_test()
        text = self.tree.read(self.path)
        failing = self.road_killing if args[0] == "roads" else self.killing
        hit = any(t in text for t in failing)
        return not hit, "  1/1 Test #1: Case.One ...***Failed\n  1 - Case.One (Failed)\n" if hit else ""


class RunTest(Tree):
    def setUp(self):
        super().setUp()
        self.write("kit/part0/F0.cpp", CODE)
        self.all = mutate.mutations_of_file(self.root, "kit/part0/F0.cpp")
        self.by_kind = {m.kind: m for m in self.all}

    def test_outcomes_stages_and_the_tree_after_each(self):
        runner = FakeRunner(self, "kit/part0/F0.cpp", killing=["a >= n"], unbuildable=["go(n, a)"],
                            road_killing=["!(a < n)"])
        order = [self.by_kind[k] for k in ("flip", "swap", "negate", "drop")]
        lines = []
        results = mutate.run_mutations(order, [runner], report=lines.append)
        self.assertEqual([o for _, o, _ in results], ["killed", "unbuilt", "killed", "survived"])
        self.assertEqual(results[0][2], "own tests: Case.One")
        self.assertEqual(results[2][2], "roads: Case.One")
        # The killed one stopped at the first stage; the survivor went through all three.
        self.assertEqual(runner.stages_run, ["own", "own", "folder", "roads", "own", "folder", "roads"])
        self.assertEqual(self.read("kit/part0/F0.cpp"), CODE)
        # Every mutated build was of the mutated file; the last build is of the tree as it is.
        self.assertEqual(runner.builds[-1], (["kavro", "kit_a_tests", "kit_part0_tests"], CODE))
        self.assertTrue(all(text != CODE for _, text in runner.builds[:-1]))
        self.assertEqual(len(lines), 4)
        self.assertTrue(lines[1].startswith("[2/4] unbuilt"))

        text, (killed, counted) = mutate.summary("kit", results)
        self.assertEqual((killed, counted), (2, 3))
        self.assertTrue(text.startswith("kit: 2 of 3 killed (67 %)"))
        self.assertIn("1 did not build", text)
        self.assertIn("survivors:", text)
        self.assertIn(order[3].key(), text)

        # An equivalent mutation counts neither way.
        text, (killed, counted) = mutate.summary("kit", results, equivalent={order[3].key()})
        self.assertEqual((killed, counted), (2, 2))
        self.assertIn("1 equivalent, set aside", text)
        self.assertNotIn("survivors:", text)

    def test_a_dropped_lock_is_read_by_the_analysis_first(self):
        self.write("kit/part0/F0.cpp", "void f() {\n  platform::MutexLock lock(mu_);\n  n_ = 1;\n}\n"
                   "void g() {\n  platform::MutexLock lock(mu_);\n  Shared();\n}\n")
        locks = [m for m in mutate.mutations_of_file(self.root, "kit/part0/F0.cpp") if m.kind == "lock"]
        runner = FakeRunner(self, "kit/part0/F0.cpp", killing=["f() {\n  ;"])
        results = mutate.run_mutations(locks, [runner], report=lambda s: None)
        # Both read by the analysis with the lock gone; one warned, the other went on to the tests.
        self.assertEqual([o for _, o, _ in results], ["killed", "killed"])
        self.assertEqual([by for _, _, by in results], ["own tests: Case.One", "thread-safety analysis"])
        self.assertEqual(len(runner.analysed), 2)
        self.assertTrue(all(t.count("MutexLock") == 1 for t in runner.analysed))
        self.assertEqual(runner.stages_run, ["own"])

    @unittest.skipUnless(shutil.which("clang++"), "clang++ reads the thread-safety analysis")
    def test_the_analysis_reads_a_file_with_the_flags_of_its_build(self):
        guarded = ("struct __attribute__((capability(\"mutex\"))) Mu {\n"
                   "  void lock() __attribute__((acquire_capability()));\n"
                   "  void unlock() __attribute__((release_capability()));\n};\n"
                   "Mu mu;\nint n __attribute__((guarded_by(mu)));\n")
        self.write("kit/part0/F0.cpp", guarded + "void f() {\n  mu.lock();\n  n = 1;\n  mu.unlock();\n}\n")
        self.write("kit/part1/F1.cpp", guarded + "void f() {\n  n = 1;\n}\n")
        compdb = [{"directory": self.root, "file": f"kit/part{i}/F{i}.cpp",
                   "output": f"kit/part{i}/CMakeFiles/kit_part{i}.dir/F{i}.cpp.o",
                   "command": f"c++ -std=c++20 -DSEEN -o kit/part{i}/CMakeFiles/kit_part{i}.dir/F{i}.cpp.o "
                              f"-c kit/part{i}/F{i}.cpp"} for i in (0, 1)]
        asked = []

        class Compdb(mutate.Runner):
            def run(self, cmd, timeout=3600, env=None):
                asked.append(cmd)
                return 0, json.dumps(compdb)

        runner = Compdb(self.root, "build/test")
        self.assertEqual(runner.analyse("kit/part0/F0.cpp"), "")
        self.assertIn("requires holding mutex", runner.analyse("kit/part1/F1.cpp"))
        self.assertIsNone(runner.analyse("kit/part2/F2.cpp"))  # not in the build
        self.assertEqual(len(asked), 1)  # the build's commands are read once

        class NoCompdb(mutate.Runner):
            def run(self, cmd, timeout=3600, env=None):
                return 1, "ninja: error: loading 'build.ninja'"

        self.assertIsNone(NoCompdb(self.root, "build/test").analyse("kit/part1/F1.cpp"))

    def test_workers_share_the_sample_and_report_in_its_order(self):
        trees = []
        for w in range(2):
            t = Tree()
            t.setUp()
            self.addCleanup(t.tearDown)
            t.write("kit/part0/F0.cpp", CODE)
            trees.append(t)
        runners = [FakeRunner(t, "kit/part0/F0.cpp", killing=["a >= n", "!(a < n)"]) for t in trees]
        order = [self.by_kind[k] for k in ("flip", "swap", "negate", "drop", "bound")]
        results = mutate.run_mutations(order, runners, report=lambda s: None)
        self.assertEqual([m for m, _, _ in results], order)
        self.assertEqual([o for _, o, _ in results], ["killed", "survived", "killed", "survived", "survived"])
        self.assertEqual(sum(len(r.stages_run) for r in runners), 2 * 1 + 3 * 3)
        for t in trees:
            self.assertEqual(t.read("kit/part0/F0.cpp"), CODE)
        self.assertEqual(self.read("kit/part0/F0.cpp"), CODE)  # the tree itself was never touched

    def test_ctrl_c_puts_the_file_back(self):
        def interrupt():
            raise KeyboardInterrupt()

        runner = FakeRunner(self, "kit/part0/F0.cpp", on_test=interrupt)
        with self.assertRaises(KeyboardInterrupt):
            mutate.run_mutations([self.by_kind["flip"], self.by_kind["drop"]], [runner], report=lambda s: None)
        self.assertEqual(self.read("kit/part0/F0.cpp"), CODE)
        self.assertEqual(mutate.revert_leftovers(self.root), [])
        self.assertEqual(runner.builds[-1][1], CODE)

    def test_a_terminate_signal_puts_the_file_back(self):
        sent = []

        def terminate():  # once: the worker goes on with its stages while the run stops
            if not sent:
                sent.append(True)
                os.kill(os.getpid(), signal.SIGTERM)

        runner = FakeRunner(self, "kit/part0/F0.cpp", on_test=terminate)
        before = signal.getsignal(signal.SIGTERM)
        with self.assertRaises(mutate.Terminated):
            mutate.run_mutations([self.by_kind["negate"]], [runner], report=lambda s: None)
        self.assertEqual(self.read("kit/part0/F0.cpp"), CODE)
        self.assertIs(signal.getsignal(signal.SIGTERM), before)

    def test_equivalent_keys_are_read_with_their_reasons(self):
        self.write("eq.txt", "# comment line\nkit/a.cpp:flip:3:abc # both branches do the same\n\n  k2  # why\n")
        self.assertEqual(mutate.load_equivalent(os.path.join(self.root, "eq.txt")), {"kit/a.cpp:flip:3:abc", "k2"})
        self.assertEqual(mutate.load_equivalent(os.path.join(self.root, "missing.txt")), set())


class CommandLineTest(Tree):
    def test_list_prints_the_sample_and_builds_nothing(self):
        self.write("kit/x/A.cpp", CODE)
        import contextlib
        import io

        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            self.assertEqual(mutate.main(["kit", "-n", "2", "--seed", "3", "--list"], root=self.root), 0)
        self.assertEqual(out.getvalue().count("kit/x/A.cpp:"), 2)
        self.assertEqual(self.read("kit/x/A.cpp"), CODE)
        with self.assertRaises(SystemExit):
            with contextlib.redirect_stderr(io.StringIO()):
                mutate.main(["demo", "--list"], root=self.root)
        with self.assertRaises(SystemExit):
            with contextlib.redirect_stderr(io.StringIO()):
                mutate.main(["kit", "--kinds", "flip,rename", "--list"], root=self.root)

    def test_only_runs_keys_of_the_sample_and_refuses_one_the_sample_lacks(self):
        self.write("kit/x/A.cpp", CODE)
        import contextlib
        import io

        keys = [m.key() for m in mutate.sample(self.root, "kit", 2, 3, mutate.KINDS)]
        only = os.path.join(self.root, "only.txt")
        with open(only, "w", encoding="utf-8") as f:
            f.write(keys[1] + "  # a survivor\n")
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            self.assertEqual(mutate.main(["kit", "-n", "2", "--seed", "3", "--only", only, "--list"],
                                         root=self.root), 0)
        listed = [line for line in out.getvalue().splitlines() if "kit/x/A.cpp:" in line]
        self.assertEqual(len(listed), 1)
        # Another seed draws another sample: the key is named, not silently dropped.
        with open(only, "a", encoding="utf-8") as f:
            f.write("kit/x/A.cpp:flip:99:0000000000\n")
        err = io.StringIO()
        with self.assertRaises(SystemExit):
            with contextlib.redirect_stdout(io.StringIO()), contextlib.redirect_stderr(err):
                mutate.main(["kit", "-n", "2", "--seed", "3", "--only", only, "--list"], root=self.root)
        self.assertIn("kit/x/A.cpp:flip:99:0000000000", err.getvalue())
        self.assertNotIn(keys[1], err.getvalue())

    def test_the_script_run_as_a_program_works_on_the_tree_it_stands_in_and_exits_with_its_answer(self):
        import shutil
        import subprocess
        import sys

        self.write("kit/x/A.cpp", CODE)
        os.makedirs(os.path.join(self.root, "tools"))
        shutil.copy(os.path.join(_source, "tools", "mutate.py"), os.path.join(self.root, "tools", "mutate.py"))
        script = os.path.join(self.root, "tools", "mutate.py")
        listed = subprocess.run([sys.executable, script, "kit", "-n", "2", "--seed", "3", "--list"],
                                capture_output=True, text=True, cwd="/")
        self.assertEqual(listed.returncode, 0, listed.stderr)
        self.assertTrue(listed.stdout.startswith("seed 3\n"), listed.stdout)
        self.assertEqual(listed.stdout.count("kit/x/A.cpp:"), 2, listed.stdout)
        refused = subprocess.run([sys.executable, script, "demo", "--list"], capture_output=True, text=True)
        self.assertEqual(refused.returncode, 2)
        self.assertIn("the folder must be under one of", refused.stderr)
        self.assertEqual(refused.stdout, "")



class ToolsTest(Tree):
    def test_the_tools_folder_is_the_runner_and_the_tested_python_tools(self):
        self.write("tools/kavro/Runner.cpp", CODE)
        self.write("tools/check-folders.py", "def f(a, n):\n    if a < n:\n        return True\n")
        self.write("tools/powers-of-five.py", "if a < n:\n    print(a)\n")  # no test of its own
        self.write("tools/demo/make_sample.py", "if a < n:\n    print(a)\n")
        self.assertEqual(mutate.source_files(self.root, "tools"), ["tools/check-folders.py", "tools/kavro/Runner.cpp"])
        kinds = {m.path: set() for m in mutate.sample(self.root, "tools", 100, seed=3)}
        for m in mutate.sample(self.root, "tools", 100, seed=3):
            kinds[m.path].add(m.kind)
        self.assertEqual(kinds["tools/check-folders.py"], {"flip", "bound", "negate", "flag"})

    def test_a_python_tool_named_alone_is_the_sample_and_a_missing_one_is_nothing(self):
        self.write("tools/check-folders.py", "def f(a, n):\n    if a < n:\n        return True\n")
        self.assertEqual(mutate.source_files(self.root, "tools/check-folders.py"), ["tools/check-folders.py"])
        self.assertEqual(mutate.source_files(self.root, "tools/check-factories.py"), [])
        self.assertEqual(mutate.sample(self.root, "tools/check-factories.py", 10, seed=3), [])

    def test_docstrings_hold_no_logic(self):
        self.write("tools/check-folders.py", 'def f():\n    """Whether\n    if a < b: go(a, b)\n    """\n    return a < b\n')
        self.assertEqual({m.line for m in mutate.mutations_of_file(self.root, "tools/check-folders.py")}, {5})


class SampleByKindTest(Tree):
    def test_a_rare_kind_is_drawn_as_often_as_a_file_offers_it(self):
        lines = ["void f() {", "  platform::MutexLock lock(mutex_);"] + [f"  if (a < {i}) g();" for i in range(30)]
        self.write("kit/a/A.cpp", "\n".join(lines) + "\n}\n")
        hits = sum(any(m.kind == "lock" for m in mutate.sample(self.root, "kit", 4, seed=s)) for s in range(20))
        self.assertGreater(hits, 5)  # by mutation it would come about once in twenty samples

    def test_the_seed_comes_from_the_clock_when_not_given_and_is_printed(self):
        import contextlib
        import io
        self.write("kit/a/A.cpp", CODE)
        runs = []
        for _ in range(2):
            out = io.StringIO()
            with contextlib.redirect_stdout(out):
                self.assertEqual(mutate.main(["kit", "-n", "3", "--list"], root=self.root), 0)
            runs.append(out.getvalue())
        seeds = [r.splitlines()[0] for r in runs]
        self.assertRegex(seeds[0], r"^seed \d+$")
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            mutate.main(["kit", "-n", "3", "--list", "--seed", seeds[0].split()[1]], root=self.root)
        self.assertEqual(out.getvalue(), runs[0])  # the printed seed gives the sample again


class BaselineTest(unittest.TestCase):
    """Before any mutation, every test the sample reaches runs once on the tree as it is."""

    class Runner:
        def __init__(self, failing=()):
            self.failing = failing
            self.builds, self.tests = [], []

        def stages(self, path):
            lib = os.path.dirname(path).replace("/", "_")
            others = [t for t in ("kit_b_tests", "app_x_tests", "app_y_tests") if t != lib + "_tests"]
            return [("own tests", [lib + "_tests"], ("exe", [lib + "_tests"])),
                    ("tests that link it", others, ("exe", others)),
                    ("roads", ["kavro"], ("ctest", ["-L", "road"]))]

        def build(self, targets):
            self.builds.append(targets)
            return True, ""

        def test(self, what):
            self.tests.append(what)
            hit = [t for t in what[1] if t in self.failing]
            return not hit, "".join(f"  1 - {t} (Case.Fails)\n" for t in hit)

    def test_each_executable_and_each_other_stage_runs_once_whichever_libraries_share_it(self):
        runner = self.Runner()
        self.assertIsNone(mutate.baseline(runner, ["kit/a/A.cpp", "kit/b/B.cpp", "kit/b/C.cpp"]))
        self.assertEqual(runner.builds, [["kit_a_tests", "kit_b_tests", "app_x_tests", "app_y_tests", "kavro"]])
        self.assertEqual(runner.tests, [("exe", ["kit_a_tests", "kit_b_tests", "app_x_tests", "app_y_tests"]),
                                        ("ctest", ["-L", "road"])])

    def test_a_failing_executable_or_stage_is_named_and_nothing_after_it_runs(self):
        runner = self.Runner(failing=["app_y_tests"])
        what, out = mutate.baseline(runner, ["kit/a/A.cpp"])
        self.assertEqual(what, "the test executables fail")
        self.assertIn("app_y_tests (Case.Fails)", out)
        self.assertEqual([w[0] for w in runner.tests], ["exe"], "the roads wait for the executables")
        runner = self.Runner(failing=["road"])
        what, _ = mutate.baseline(runner, ["kit/a/A.cpp"])
        self.assertEqual(what, "the roads of kit/a/A.cpp fail")


class SummaryTest(unittest.TestCase):
    def test_each_class_has_its_rate_and_the_unbuilt_and_equivalent_do_not_count(self):
        def m(kind, line):
            return mutate.Mutation("kit/a/A.cpp", line, kind, 0, f"x{line}", f"y{line}")
        results = [(m("flip", 1), "killed", "t"), (m("flip", 2), "survived", ""), (m("lock", 3), "killed", "a"),
                   (m("lock", 4), "unbuilt", ""), (m("drop", 5), "survived", ""), (m("drop", 6), "survived", "")]
        text, (killed, counted) = mutate.summary("kit", results, equivalent={m("drop", 6).key()})
        self.assertEqual((killed, counted), (2, 4))
        lines = text.splitlines()
        self.assertEqual(lines[0], "kit: 2 of 4 killed (50 %)")
        self.assertIn("  flip      1 of   2 killed (50 %)", lines)
        self.assertIn("  lock      1 of   1 killed (100 %)", lines)
        self.assertIn("  drop      0 of   1 killed (0 %)", lines)
        self.assertIn("  1 did not build (not counted)", lines)


class CopyTest(Tree):
    def test_a_copy_of_the_tree_gets_only_the_files_that_changed(self):
        copy = os.path.join(self.root, "copy")
        os.makedirs(copy)
        self.write("kit/a/A.cpp", CODE)
        self.write("tools/x.sh", "#!/bin/sh\n")
        os.chmod(os.path.join(self.root, "tools/x.sh"), 0o755)
        files = ["kit/a/A.cpp", "tools/x.sh"]
        self.assertEqual(mutate.sync_tree(self.root, copy, files), 2)
        self.assertTrue(os.access(os.path.join(copy, "tools/x.sh"), os.X_OK))
        before = os.stat(os.path.join(copy, "kit/a/A.cpp")).st_mtime_ns
        self.assertEqual(mutate.sync_tree(self.root, copy, files), 0)
        self.write("tools/x.sh", "#!/bin/sh\nexit 1\n")
        self.assertEqual(mutate.sync_tree(self.root, copy, files), 1)
        self.assertEqual(os.stat(os.path.join(copy, "kit/a/A.cpp")).st_mtime_ns, before)  # its build stays
        with open(os.path.join(copy, "tools/x.sh"), encoding="utf-8") as f:
            self.assertEqual(f.read(), "#!/bin/sh\nexit 1\n")


class CommentAtTheEndTest(unittest.TestCase):
    def test_a_comment_marker_closing_the_line_is_no_code(self):
        self.assertEqual(mutated("  if (a < b) go();  //", "flip"), ["  if (a >= b) go();  //"])
        self.assertEqual(mutate._code_part("  x = 1;  //"), "  x = 1;  ")
        self.assertEqual(mutate._code_part("    y = a < b  #", python=True), "    y = a < b")
        self.assertEqual(mutate._code_part('  s = "//";'), '  s = "//";')


class BuildTreeTest(Tree):
    def test_a_test_executable_is_found_where_the_build_put_it(self):
        for path in ("build/test/tests/kit/core/kit_core_tests", "build/test/tests/kit/core/kit_core_tests.d/x",
                     "build/test/tests/app/api/app_api_tests"):
            self.write(path, "")
        runner = mutate.Runner(self.root, "build/test")
        self.assertEqual(runner._executable("kit_core_tests"),
                         os.path.join(self.root, "build/test/tests/kit/core/kit_core_tests"))
        self.assertEqual(runner._executable("app_api_tests"),
                         os.path.join(self.root, "build/test/tests/app/api/app_api_tests"))
        self.assertIsNone(runner._executable("kit_ui_tests"))
        self.assertEqual(mutate.library_of("kit/codec/json/Json.cpp"), "kit_codec_json")
        self.assertEqual(mutate.own_tests_of("kit/codec/json/Json.cpp"), "kit_codec_json_tests")
        self.assertEqual(mutate.own_tests_of("tools/kavro/Runner.cpp"), "kavro_runner_tests")

    def test_test_executables_run_in_shards_and_other_tests_through_ctest(self):
        exe = "build/test/tests/kit/core/kit_core_tests"
        self.write(exe, "#!/bin/sh\necho '[  FAILED  ] Store.KeepsWhatItGot (1 ms)'\nexit 1\n")
        os.chmod(os.path.join(self.root, exe), 0o755)
        runner = mutate.Runner(self.root, "build/test")
        ok, report = runner.test(("exe", ["kit_core_tests"]))
        self.assertFalse(ok)
        self.assertIn("kit_core_tests (Store.KeepsWhatItGot)", report)
        self.write(exe, "#!/bin/sh\nexit 0\n")
        self.assertEqual(runner.test(("exe", ["kit_core_tests"])), (True, ""))

        self.write("build/test/CTestTestfile.cmake", 'add_test(road.falls "/bin/false")\n'
                   'set_tests_properties(road.falls PROPERTIES LABELS "road")\n'
                   'add_test(tools.stands "/bin/true")\n')
        ok, out = runner.test(("ctest", ["-L", "road"]))
        self.assertFalse(ok)
        self.assertIn("road.falls", out)
        ok, out = runner.test(("ctest", ["-R", "^tools\\."]))
        self.assertTrue(ok, out)
        self.assertIn("tools.stands", out)

    def shard_script(self, path, body=""):
        """An executable that leaves a mark of the shard it ran as, then runs body."""
        self.write(path, "#!/bin/sh\ntouch \"$0.$GTEST_SHARD_INDEX-of-$GTEST_TOTAL_SHARDS\"\n" + body + "exit 0\n")
        os.chmod(os.path.join(self.root, path), 0o755)

    def shards_run(self, path):
        folder, name = os.path.split(os.path.join(self.root, path))
        return sorted(n[len(name) + 1:] for n in os.listdir(folder) if n.startswith(name + "."))

    def test_each_executable_runs_split_into_as_many_shards_as_jobs_each_once(self):
        core, api = "build/test/tests/kit/core/kit_core_tests", "build/test/tests/app/api/app_api_tests"
        self.shard_script(core)
        self.shard_script(api)
        runner = mutate.Runner(self.root, "build/test", jobs=3)
        self.assertEqual(runner.test(("exe", ["kit_core_tests", "app_api_tests"])), (True, ""))
        self.assertEqual(self.shards_run(core), ["0-of-3", "1-of-3", "2-of-3"])
        self.assertEqual(self.shards_run(api), ["0-of-3", "1-of-3", "2-of-3"])

    def test_a_failing_shard_names_its_case_and_stops_the_rest(self):
        core, api = "build/test/tests/kit/core/kit_core_tests", "build/test/tests/app/api/app_api_tests"
        # Shard 1 fails; shard 0 would never end unless stopped, and its server with it.
        self.shard_script(core, 'if [ "$GTEST_SHARD_INDEX" = 1 ]; then\n'
                          "  echo '[  FAILED  ] Cache.DropsTheOldest (3 ms)'; exit 1\nfi\n"
                          "sleep 3600 &\nwait\n")
        self.shard_script(api)
        runner = mutate.Runner(self.root, "build/test", jobs=2)
        ok, report = runner.test(("exe", ["kit_core_tests", "app_api_tests"]))
        self.assertFalse(ok)
        self.assertEqual(report, "  1 - kit_core_tests (Cache.DropsTheOldest)\n")
        self.assertEqual(mutate._failed_names(report), ["kit_core_tests"])
        self.assertEqual(self.shards_run(api), [], "no shard starts after one failed")
        self.assertEqual(mutate._SHARDS, set())

    def test_one_job_runs_the_executables_one_after_another_in_the_order_given(self):
        core, api = "build/test/tests/kit/core/kit_core_tests", "build/test/tests/app/api/app_api_tests"
        self.shard_script(core, "echo 'ERROR: AddressSanitizer: heap-use-after-free'; exit 1\n")
        self.shard_script(api)
        runner = mutate.Runner(self.root, "build/test", jobs=1)
        ok, report = runner.test(("exe", ["kit_core_tests", "app_api_tests"]))
        self.assertFalse(ok)
        self.assertIn("kit_core_tests (ERROR: AddressSanitizer: heap-use-after-free)", report)
        self.assertEqual(self.shards_run(core), ["0-of-1"])
        self.assertEqual(self.shards_run(api), [])
        ok, report = runner.test(("exe", ["app_api_tests", "kit_core_tests"]))
        self.assertFalse(ok)
        self.assertEqual(self.shards_run(api), ["0-of-1"])

    def test_a_build_that_cannot_be_configured_is_told_and_one_configured_is_left_alone(self):
        said = []
        runner = mutate.Runner(self.root, "build/test", log=said.append)
        self.assertFalse(runner.configure())  # no CMakeLists.txt in the tree
        self.assertTrue(any("CMakeLists.txt" in s for s in said), said)
        self.write("build/test/CMakeCache.txt", "")
        said.clear()
        self.assertTrue(runner.configure())
        self.assertEqual(said, [], "a configured build is not configured again")


LOCKED = """#define GUARDED_BY(x) __attribute__((guarded_by(x)))
struct __attribute__((capability("mutex"))) Mu {
  void lock() __attribute__((acquire_capability()));
  void unlock() __attribute__((release_capability()));
};
struct __attribute__((scoped_lockable)) MutexLock {
  explicit MutexLock(Mu& m) __attribute__((acquire_capability(m)));
  ~MutexLock() __attribute__((release_capability()));
};
struct Counter {
  Mu mu;
  int n GUARDED_BY(mu) = 0;
  void add() {
    MutexLock lock(mu);
    ++n;
  }
};
"""


@unittest.skipUnless(mutate.shutil.which("clang++"), "no clang")
class AnalysisTest(Tree):
    def test_the_analysis_reads_a_file_with_the_flags_of_its_build_and_names_a_dropped_lock(self):
        self.write("kit/a/A.cpp", LOCKED)
        runner = mutate.Runner(self.root, "build/test")
        # The build's own command: its launcher, warnings as errors, sanitizers and dependency files
        # stay out of the analysis, which answers only about locks.
        runner._commands = [{"directory": self.root, "output": "kit/a/CMakeFiles/kit_a.dir/unity_0.cxx.o",
                             "command": "ccache /usr/bin/c++ -DX=1 -Werror -Wunused -fsanitize=address -std=c++20 "
                                        "-MD -MT a.o -MF a.o.d -o a.o -c kit/a/unity_0.cxx"}]
        self.assertEqual(runner.analyse("kit/a/A.cpp"), "")
        lock = next(m for m in mutate.mutations_of_file(self.root, "kit/a/A.cpp") if m.kind == "lock")
        mutate.apply(self.root, lock)
        self.assertIn("requires holding mutex 'mu'", runner.analyse("kit/a/A.cpp"))
        mutate.revert(self.root, lock.path)
        runner._commands = [{"directory": self.root, "output": "kit/b/CMakeFiles/kit_b.dir/x.o", "command": "c++ x"}]
        self.assertIsNone(runner.analyse("kit/a/A.cpp"))  # no build of that folder to borrow flags from


class MainTest(Tree):
    def test_a_run_works_in_a_copy_of_the_tree_and_reports_each_class(self):
        import contextlib
        import io
        import json
        import subprocess
        self.write("kit/a/A.cpp", CODE)
        subprocess.run(["git", "init", "-q", self.root], check=True)
        made = []

        class Runner(FakeRunner):
            def __init__(runner, root, build_dir, **kwargs):
                tree = Tree()
                tree.root = root
                super().__init__(tree, "kit/a/A.cpp", killing=["a >= n", "go(n, a)"])
                runner.build_dir, runner.kwargs = build_dir, kwargs
                made.append(runner)

            def configure(runner):
                return True

        saved = mutate.Runner
        mutate.Runner = Runner
        try:
            out = io.StringIO()
            with contextlib.redirect_stdout(out):
                status = mutate.main(["kit", "-n", "3", "--seed", "4", "--no-baseline", "--json",
                                      os.path.join(self.root, "out.json")], root=self.root)
        finally:
            mutate.Runner = saved
        self.assertEqual(status, 0, out.getvalue())
        copy = os.path.join(self.root, "build", "mutate", "tree0")
        self.assertEqual([r.root for r in made], [copy])
        self.assertEqual(made[0].kwargs["jobs"], mutate.MAX_JOBS)
        self.assertEqual(self.read("build/mutate/tree0/kit/a/A.cpp"), CODE)  # brought over, put back
        self.assertEqual(self.read("kit/a/A.cpp"), CODE)
        with open(os.path.join(self.root, "out.json"), encoding="utf-8") as f:
            report = json.load(f)
        self.assertEqual(report["seed"], 4)
        chosen = mutate.sample(self.root, "kit", 3, 4)
        self.assertEqual([r["key"] for r in report["results"]], [m.key() for m in chosen])
        text = out.getvalue()
        self.assertTrue(text.startswith("seed 4\n"))
        killed = sum(r["outcome"] == "killed" for r in report["results"])
        self.assertIn(f"kit: {killed} of 3 killed", text)
        for kind in {m.kind for m in chosen}:
            self.assertRegex(text, rf"\n  {kind} +\d+ of +\d+ killed")
        self.assertIn("seed 4, 3 mutations", text)


if __name__ == "__main__":
    unittest.main()
