"""Each generator of checked-in data, run into a fresh folder, writes exactly what is checked in."""
import filecmp
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.environ.get("KAVRO_SOURCE_DIR") or os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))


def python_with_pil():
    """The skin's badges draw their words with Pillow, which tools/deps.sh installs for the
    system's python3; the interpreter running the tests may be another one."""
    for exe in (sys.executable, "/usr/bin/python3"):
        if os.path.exists(exe) and subprocess.run([exe, "-c", "import PIL"], capture_output=True).returncode == 0:
            return exe
    return None


def files_under(folder):
    found = set()
    for base, _, names in os.walk(folder):
        for name in names:
            found.add(os.path.relpath(os.path.join(base, name), folder))
    return found


class GeneratorsWriteWhatIsCheckedIn(unittest.TestCase):
    def setUp(self):
        self.out = tempfile.mkdtemp(prefix="kavro-generators-")

    def tearDown(self):
        shutil.rmtree(self.out, ignore_errors=True)

    def run_tool(self, script, *args, python=sys.executable):
        done = subprocess.run([python, os.path.join(ROOT, script), *args], cwd=ROOT, capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, script + ": " + done.stderr)
        return done.stdout

    def assertWroteCheckedIn(self, written, checked_in, expected_count):
        """Every file written equals the checked-in one of its name, and the tool wrote as many as
        it is known to, so a file dropped from its list shows too."""
        names = sorted(files_under(written))
        self.assertEqual(len(names), expected_count, names)
        differing = [n for n in names if not filecmp.cmp(os.path.join(written, n), os.path.join(checked_in, n),
                                                          shallow=False)]
        self.assertEqual(differing, [], "written differently from the checked-in files")

    def test_demo_sample(self):
        self.run_tool("tools/demo/make_sample.py", self.out)
        sample = os.path.join(ROOT, "demo", "data", "sample")
        # The sample's folder holds the data files and a README of its own.
        self.assertEqual(files_under(self.out) | {"README.md"}, files_under(sample))
        self.assertWroteCheckedIn(self.out, sample, len(files_under(sample)) - 1)

    def test_map_icons(self):
        self.run_tool("tools/mapsdk/make_map_icons.py", self.out)
        self.assertWroteCheckedIn(self.out, os.path.join(ROOT, "resources", "mapsdk.bundle", "images"), 18)

    def test_flat_skin_images(self):
        self.run_tool("tools/skin/make_native_skin_images.py", self.out)
        self.assertWroteCheckedIn(self.out, os.path.join(ROOT, "resources", "Images"), 16)

    def test_drawn_skin_images(self):
        python = python_with_pil()
        self.assertIsNotNone(python, "no python3 with Pillow (tools/deps.sh installs python3-pil)")
        self.run_tool("tools/skin/draw_native_skin.py", self.out, python=python)
        self.assertWroteCheckedIn(self.out, os.path.join(ROOT, "resources", "Images"), 56)

    def test_powers_of_five_table(self):
        pair = re.compile(r"\{(0x[0-9a-f]{16}), (0x[0-9a-f]{16})\}")
        printed = pair.findall(self.run_tool("tools/powers-of-five.py"))
        with open(os.path.join(ROOT, "kit", "codec", "json", "JBDecimal.cpp")) as f:
            table = pair.findall(f.read())
        self.assertEqual(len(printed), 342 + 309)
        self.assertEqual(printed, table)


if __name__ == "__main__":
    unittest.main()
