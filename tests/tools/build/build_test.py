"""build.sh in a tree of its own whose build is a small ninja file: builds of one folder take turns
through the lock, a build that waits past the lock's short wait says so and starts only once the
other ends; and the copy the runner's files go through replaces a file whose content changed by a
rename and leaves one whose content is the same as it is."""

import fcntl
import os
import shutil
import subprocess
import tempfile
import time
import unittest

_source = os.environ.get("KAVRO_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", "..", ".."))
WAITING = "waiting for another build of build/release to end ...\n"
BUILDING = "building build/release ...\n"

# The build: one step that is never up to date, which writes where it starts and ends to a log and,
# in between, waits for the test's word.
NINJA = """rule step
  command = echo start >> ../../order.log && while [ ! -e ../../go ]; do sleep 0.02; done && echo end >> ../../order.log
  description = Building step
build never-made: step
"""


def wait_for(condition, what, limit=120):
    """Polls until the condition holds; the limit only stops a hung test, it is no assertion of speed."""
    end = time.monotonic() + limit
    while not condition():
        if time.monotonic() > end:
            raise AssertionError("never came: " + what)
        time.sleep(0.02)


class BuildLockTest(unittest.TestCase):
    def setUp(self):
        if not shutil.which("ninja") or not shutil.which("flock"):
            self.skipTest("ninja and flock are needed")
        self._dir = tempfile.TemporaryDirectory()
        self.root = self._dir.name
        shutil.copy(os.path.join(_source, "build.sh"), self.root)
        os.makedirs(os.path.join(self.root, "build", "release"))
        with open(os.path.join(self.root, "build", "release", "build.ninja"), "w") as f:
            f.write(NINJA)
        self.builds = []

    def tearDown(self):
        for proc, err in self.builds:
            if proc.poll() is None:
                os.killpg(proc.pid, 9)
                proc.wait()
            err.close()
        self._dir.cleanup()

    def start(self):
        err = open(os.path.join(self.root, f"stderr{len(self.builds)}"), "w+")
        env = {k: v for k, v in os.environ.items() if k != "KAVRO_BUILD_LOCKED"}
        proc = subprocess.Popen([os.path.join(self.root, "build.sh"), "--quiet"], cwd=self.root, env=env,
                                stdout=subprocess.DEVNULL, stderr=err, start_new_session=True)
        self.builds.append((proc, err))
        return len(self.builds) - 1

    def said(self, i):
        with open(self.builds[i][1].name) as f:
            return f.read()

    def order(self):
        try:
            with open(os.path.join(self.root, "order.log")) as f:
                return f.read().split()
        except FileNotFoundError:
            return []

    def go(self):
        open(os.path.join(self.root, "go"), "w").close()

    def blocked_in_flock(self, i):
        """Whether the build waits in a plain flock on its lock: the wait that only the lock's release ends."""
        pid = self.builds[i][0].pid
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open(f"/proc/{entry}/stat") as f:
                    stat = f.read()
                with open(f"/proc/{entry}/cmdline", "rb") as f:
                    argv = f.read().split(b"\0")[:-1]
            except OSError:
                continue
            if int(stat.rsplit(")", 1)[1].split()[3]) == pid and argv == [b"flock", b"9"]:
                return True
        return False

    def test_a_build_waits_for_a_held_lock_says_so_and_builds_once_it_is_released(self):
        lock = open(os.path.join(self.root, "build", "release", ".build.lock"), "w")
        fcntl.flock(lock, fcntl.LOCK_EX)
        self.go()
        b = self.start()
        wait_for(lambda: self.said(b) == WAITING, "the word that the build waits")
        # Past the short wait: it waits on, and builds nothing while the lock is held.
        wait_for(lambda: self.blocked_in_flock(b) or self.builds[b][0].poll() is not None, "the long wait")
        self.assertIsNone(self.builds[b][0].poll())
        self.assertEqual(self.order(), [])
        fcntl.flock(lock, fcntl.LOCK_UN)
        lock.close()
        self.assertEqual(self.builds[b][0].wait(), 0)
        self.assertEqual(self.order(), ["start", "end"])
        self.assertEqual(self.said(b), WAITING + BUILDING)
        # Its lock went with it: the next build takes it at once and says nothing of waiting.
        c = self.start()
        self.assertEqual(self.builds[c][0].wait(), 0)
        self.assertEqual(self.said(c), BUILDING)
        self.assertEqual(self.order(), ["start", "end", "start", "end"])

    def test_two_builds_started_together_take_turns(self):
        first, second = self.start(), self.start()
        # One of them builds; the other waits past the lock's short wait and says so.
        wait_for(lambda: self.order() == ["start"], "the first build's step")
        wait_for(lambda: WAITING in self.said(first) + self.said(second), "the word that the other waits")
        waiter = first if WAITING in self.said(first) else second
        builder = second if waiter == first else first
        wait_for(lambda: self.blocked_in_flock(waiter) or self.builds[waiter][0].poll() is not None, "the long wait")
        self.assertIsNone(self.builds[waiter][0].poll())
        self.assertEqual(self.order(), ["start"])
        self.go()
        self.assertEqual(self.builds[builder][0].wait(), 0)
        self.assertEqual(self.builds[waiter][0].wait(), 0)
        # Never at once: each step ended before the next began.
        self.assertEqual(self.order(), ["start", "end", "start", "end"])
        self.assertEqual(self.said(waiter), WAITING + BUILDING)
        self.assertEqual(self.said(builder), BUILDING)


class CopyIfChangedTest(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.root = self._dir.name

    def tearDown(self):
        self._dir.cleanup()

    def write(self, path, text):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as f:
            f.write(text)

    def read(self, path):
        with open(os.path.join(self.root, path)) as f:
            return f.read()

    def copy(self, source, target):
        p = subprocess.run(["cmake", f"-DFROM={os.path.join(self.root, source)}", f"-DTO={os.path.join(self.root, target)}",
                            "-P", os.path.join(_source, "cmake", "CopyIfChanged.cmake")], capture_output=True, text=True)
        self.assertEqual(p.returncode, 0, p.stderr)

    def identity(self, path):
        st = os.stat(os.path.join(self.root, path))
        return st.st_ino, st.st_mtime_ns

    def test_a_changed_file_is_renamed_into_place_and_an_unchanged_one_left_alone(self):
        self.write("src/a.txt", "first")
        self.copy("src/a.txt", "out/a.txt")
        self.assertEqual(self.read("out/a.txt"), "first")
        kept = self.identity("out/a.txt")
        # The same content again: the very file stays, not rewritten.
        self.copy("src/a.txt", "out/a.txt")
        self.assertEqual(self.identity("out/a.txt"), kept)
        # New content of the same size: a new file takes the name; a reader of the old one reads it whole.
        with open(os.path.join(self.root, "out/a.txt")) as reader:
            self.write("src/a.txt", "secnd")
            self.copy("src/a.txt", "out/a.txt")
            self.assertEqual(reader.read(), "first")
        self.assertEqual(self.read("out/a.txt"), "secnd")
        self.assertNotEqual(self.identity("out/a.txt")[0], kept[0])
        self.assertEqual(os.listdir(os.path.join(self.root, "out")), ["a.txt"])

    def test_a_folder_is_copied_file_by_file_each_only_when_it_changed(self):
        self.write("res/one.json", "{}")
        self.write("res/deep/two.json", "[1]")
        self.copy("res", "out/res")
        one, two = self.identity("out/res/one.json"), self.identity("out/res/deep/two.json")
        self.write("res/deep/two.json", "[1, 2]")
        self.copy("res", "out/res")
        self.assertEqual(self.identity("out/res/one.json"), one)
        self.assertNotEqual(self.identity("out/res/deep/two.json")[0], two[0])
        self.assertEqual(self.read("out/res/deep/two.json"), "[1, 2]")
        self.assertEqual(sorted(os.listdir(os.path.join(self.root, "out/res/deep"))), ["two.json"])
        self.assertEqual(sorted(os.listdir(os.path.join(self.root, "out/res"))), ["deep", "one.json"])


if __name__ == "__main__":
    unittest.main()
