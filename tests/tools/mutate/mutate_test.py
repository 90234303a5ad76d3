"""The mutation tool over small trees: each kind changes what it should and leaves alone what is no
logic, the sample follows its seed, outcomes are counted as they came, and every file is put back
however a run ends."""

import importlib.util
import os
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

    def test_two_arguments_swap_in_calls_but_not_in_parameter_lists(self):
        self.assertEqual(mutated("  move(dx, dy);", "swap"), ["  move(dy, dx);"])
        self.assertEqual(mutated("  return s.substr(0, cut);", "swap"), ["  return s.substr(cut, 0);"])
        self.assertEqual(mutated("  move(d, d);", "swap"), [])
        self.assertEqual(mutated("void f(int a, int b) {", "swap"), [])
        self.assertEqual(mutated("void f(const Rect& r, std::string_view s) {", "swap"), [])
        self.assertEqual(mutated("  g(a, b, c);", "swap"), [])
        self.assertEqual(mutated('  g("a", "b");', "swap"), [])

    def test_a_call_standing_alone_is_dropped(self):
        self.assertEqual(mutated("    view->setNeedsLayout();", "drop"), ["    ;"])
        self.assertEqual(mutated("  a.b.c(f(x), 2);  // why", "drop"), ["  ;  // why"])
        self.assertEqual(mutated("  platform::notify(x);", "drop"), ["  ;"])
        for line in ["  x = f(y);", "  return f(x);", "  if (f(x)) g();", "  f(a) + g(b);", "  auto v = f();",
                     "  f(a,", "  while (f());"]:
            self.assertEqual(mutated(line, "drop"), [], line)

    def test_conditions_are_negated_whole(self):
        self.assertEqual(mutated("  if (a && f(b)) {", "negate"), ["  if (!(a && f(b))) {"])
        self.assertEqual(mutated("  } while (i < n);", "negate"), ["  } while (!(i < n));"])
        self.assertEqual(mutated("  if (auto p = weak.lock()) p->go();", "negate"), [])
        self.assertEqual(mutated("  if (int n = count()) use(n);", "negate"), [])
        self.assertEqual(mutated("  if (a == b) go();", "negate"), ["  if (!(a == b)) go();"])
        self.assertEqual(mutated("  if (a ||", "negate"), [])  # the condition goes on: not this line

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


class SampleTest(Tree):
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
        self.killing, self.unbuildable, self.road_killing = killing, unbuildable, road_killing
        self.on_test = on_test
        self.builds = []
        self.stages_run = []

    def stages(self, path):
        return [("own tests", ["kit_part0_tests"], ["own"]), ("folder tests", ["kit_a_tests"], ["folder"]),
                ("roads", ["kavro"], ["roads"])]

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
        results = mutate.run_mutations(self.root, order, runner, report=lines.append)
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

    def test_ctrl_c_puts_the_file_back(self):
        def interrupt():
            raise KeyboardInterrupt()

        runner = FakeRunner(self, "kit/part0/F0.cpp", on_test=interrupt)
        with self.assertRaises(KeyboardInterrupt):
            mutate.run_mutations(self.root, [self.by_kind["flip"], self.by_kind["drop"]], runner, report=lambda s: None)
        self.assertEqual(self.read("kit/part0/F0.cpp"), CODE)
        self.assertEqual(mutate.revert_leftovers(self.root), [])
        self.assertEqual(runner.builds[-1][1], CODE)

    def test_a_terminate_signal_puts_the_file_back(self):
        runner = FakeRunner(self, "kit/part0/F0.cpp", on_test=lambda: os.kill(os.getpid(), signal.SIGTERM))
        before = signal.getsignal(signal.SIGTERM)
        with self.assertRaises(mutate.Terminated):
            mutate.run_mutations(self.root, [self.by_kind["negate"]], runner, report=lambda s: None)
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


if __name__ == "__main__":
    unittest.main()
