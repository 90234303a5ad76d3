"""The factory check over small trees: each way to close a class passes, each way to leave one
open fails, and what is not a factory is not judged."""

import contextlib
import io
import os
import runpy
import tempfile
import types
import unittest

_source = os.environ.get("KAVRO_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", "..", ".."))
check_factories = types.SimpleNamespace(**runpy.run_path(os.path.join(_source, "tools", "check-factories.py")))


class FactoryCheckTest(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.root = self._dir.name

    def tearDown(self):
        self._dir.cleanup()

    def write(self, path, text):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write("#pragma once\n#include <memory>\n\nnamespace kavro {\n" + text + "\n}  // namespace kavro\n")

    def run_check(self):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            status = check_factories.main(["--root", self.root])
        return status, out.getvalue()

    def assertOpen(self, out, path, line, name, what):
        self.assertIn(f"{path}:{line}: {name} has factories", out)
        self.assertIn(what, out)

    def test_closed_classes_pass(self):
        # A protected constructor, a private one, a private tag for make_shared, an inherited closed
        # constructor and a tag named by a subclass from its base.
        self.write("kit/ui/Closed.h", """
class Screen {
 public:
  template <class T = Screen>
  static std::shared_ptr<T> create() { return std::shared_ptr<T>(new T()); }
  virtual ~Screen() = default;

 protected:
  Screen() = default;
};

class Record {
  struct Token {
    explicit Token() = default;
  };

 public:
  explicit Record(Token);
  static std::shared_ptr<Record> newDetail() { return std::make_shared<Record>(Token()); }
  Record(const Record& other);  // a copy of a whole record is whole
};

class Queue {
 public:
  static std::unique_ptr<Queue> create();
  Queue(const Queue&) = delete;

 private:
  Queue() = default;
};

class PathView {
 public:
  static std::shared_ptr<PathView> initWithOverlay(int overlay);

 protected:
  struct Token {
    explicit Token() = default;
  };
  PathView(Token, int overlay);
};

class CircleView : public PathView {
 public:
  CircleView(Token, int circle) : PathView(Token(), circle) {}
  static std::shared_ptr<CircleView> initWithOverlay(int overlay);
};

class Bar : public Screen {
 public:
  static std::shared_ptr<Bar> barWithCtrl(int ctrl);

 protected:
  using Screen::Screen;
};
""")
        status, out = self.run_check()
        self.assertEqual(status, 0, out)
        self.assertIn("6 classes are made only through their factories", out)

    def test_run_as_a_program_it_exits_with_its_answer(self):
        import subprocess
        import sys

        script = os.path.join(_source, "tools", "check-factories.py")
        self.write("kit/ui/Open.h", """
class Open {
 public:
  Open();
  static std::shared_ptr<Open> create();
};
""")
        run = subprocess.run([sys.executable, script, "--root", self.root], capture_output=True, text=True)
        self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
        self.assertIn("kit/ui/Open.h:", run.stdout)
        self.assertIn("1 classes with a factory can still be made without it", run.stdout)
        os.remove(os.path.join(self.root, "kit/ui/Open.h"))
        run = subprocess.run([sys.executable, script, "--root", self.root], capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertIn("factories: 0 classes are made only through their factories", run.stdout)

    def test_a_public_constructor_beside_a_factory_fails(self):
        self.write("platform/ui/Button.h", """
// A button.
class Button : public Control {
 public:
  explicit Button(ButtonType type = ButtonType::Custom, Rect frame = {});
  static std::shared_ptr<Button> buttonWithType(ButtonType type);
};
""")
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertOpen(out, "platform/ui/Button.h", 7, "Button", "buttonWithType() and a public constructor explicit Button(")

    def test_a_struct_or_class_without_a_constructor_has_the_compilers_public_one(self):
        self.write("app/jobmap/MapQueryParam.h", """
struct MapQueryParam {
  static std::shared_ptr<MapQueryParam> create() { return std::make_shared<MapQueryParam>(); }
  int radius = 0;
};
""")
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertOpen(out, "app/jobmap/MapQueryParam.h", 6, "MapQueryParam", "the compiler's public constructor")

    def test_a_tag_everybody_can_name_does_not_close_the_constructor(self):
        self.write("kit/core/Result.h", """
class Result {
 public:
  struct Token {};
  explicit Result(Token);
  static std::shared_ptr<Result> create() { return std::make_shared<Result>(Token()); }
};
""")
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertOpen(out, "kit/core/Result.h", 6, "Result", "explicit Result(Token)")

    def test_inheriting_a_public_constructor_leaves_the_subclass_open(self):
        self.write("kit/ui/Cells.h", """
class Cell {
 public:
  explicit Cell(std::string cellId);
};

class TitleCell : public Cell {
 public:
  using Cell::Cell;
  static std::shared_ptr<TitleCell> cellWithCellID(const std::string& id);
};
""")
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertOpen(out, "kit/ui/Cells.h", 11, "TitleCell", "explicit Cell(std::string cellId)")

    def test_subclasses_made_by_a_template_factory_of_their_base_are_judged(self):
        self.write("kit/ui/Rows.h", """
class Row {
 public:
  template <class T>
  static std::shared_ptr<Row> cellWithCellID(const std::string& id) { return std::make_shared<T>(Token(), id); }

 protected:
  struct Token {
    explicit Token() = default;
  };

 public:
  Row(Token, std::string id);
};

class TitleRow : public Row {
 public:
  using Row::Row;
};

class ErrorRow : public TitleRow {
 public:
  explicit ErrorRow(std::string id) : TitleRow(Token(), id) {}
};
""")
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertOpen(out, "kit/ui/Rows.h", 25, "ErrorRow", "Row::cellWithCellID<T>() and a public constructor explicit ErrorRow(")
        self.assertNotIn("TitleRow has", out)
        self.assertIn("1 classes with a factory", out)

    def test_every_open_class_is_named_and_nested_ones_too(self):
        self.write("mapsdk/display/Shapes.h", """
class Circle {
 public:
  Circle(double radius);
  static std::shared_ptr<Circle> circleWithRadius(double radius);
  class Builder {
   public:
    Builder() = default;
    static Builder* newBuilder();
  };
};
""")
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertOpen(out, "mapsdk/display/Shapes.h", 6, "Circle", "circleWithRadius()")
        self.assertOpen(out, "mapsdk/display/Shapes.h", 10, "Builder", "newBuilder()")
        self.assertIn("2 classes with a factory can still be made without it", out)

    def test_what_is_not_a_factory_is_not_judged(self):
        # Value types' named constructors, accessors of one shared instance, factories of another
        # class, deleted constructors, abstract classes, comments and strings, trees outside the
        # library ones.
        self.write("platform/graphics/Bitmap.h", """
class Bitmap {
 public:
  static std::optional<Bitmap> create(int width, int height);
  static Bitmap zero();
  Bitmap() = default;
};

class Cache {
 public:
  Cache() = default;
  static std::shared_ptr<Cache> sharedCache();
  static std::shared_ptr<Cache> currentCache();
  static Cache& instance();
  static std::shared_ptr<Image> imageNamed(std::string_view name);
  // static std::shared_ptr<Cache> create();
  const char* text = "static std::shared_ptr<Cache> create();";
};

class Clock {
 public:
  static std::shared_ptr<Clock> real();
  virtual double now() const = 0;
};

class Deleted {
 public:
  Deleted() = delete;
  Deleted(int) = delete;
  static std::shared_ptr<Deleted> create();
};

enum class Kind { A, B };
""")
        self.write("tests/support/Server.h", """
class Server {
 public:
  Server();
  static std::shared_ptr<Server> create();
};
""")
        status, out = self.run_check()
        self.assertEqual(status, 0, out)


if __name__ == "__main__":
    unittest.main()


class BlankingTest(unittest.TestCase):
    def test_comments_and_literals_are_blanked_keeping_every_offset(self):
        text = ('auto a = "x{y}"; // class Q {\nchar c = \'{\'; /* struct R {\n */ auto r = R"d(class S {)d";\n'
                'auto e = "say \\"{\\"";\nauto empty = "";\nint after;\n')
        out = check_factories.strip_comments_and_strings(text)
        self.assertEqual(len(out), len(text))
        self.assertEqual([i for i, c in enumerate(out) if c == "\n"], [i for i, c in enumerate(text) if c == "\n"])
        self.assertNotIn("{", out)
        self.assertNotIn("class", out)
        # The quotes stay where they were, the code outside them as it was.
        self.assertEqual(out.splitlines()[0], 'auto a = "' + " " * 4 + '";' + " " * 13)
        self.assertEqual(out.splitlines()[4], 'auto empty = "";')
        self.assertEqual(out.splitlines()[5], "int after;")

    def test_a_raw_string_is_blanked_whole_across_quotes_and_lines(self):
        text = 'auto j = R"j({"k": "class U {"}\nstruct V {\n)j";\nint after;\n'
        out = check_factories.strip_comments_and_strings(text)
        self.assertEqual(len(out), len(text))
        self.assertNotIn("class", out)
        self.assertNotIn("struct", out)
        self.assertNotIn("{", out)
        self.assertEqual(out.splitlines()[-1], "int after;")
        self.assertTrue(out.startswith('auto j = R"'), out)
