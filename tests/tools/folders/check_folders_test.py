"""The folder check over small trees: each rule it keeps, broken once."""

import contextlib
import importlib.util
import io
import os
import tempfile
import unittest

_source = os.environ.get("KAVRO_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", "..", ".."))
_spec = importlib.util.spec_from_file_location("check_folders", os.path.join(_source, "tools", "check-folders.py"))
check_folders = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(check_folders)


class FolderCheckTest(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.root = self._dir.name
        self.targets = os.path.join(self.root, "targets.txt")
        self.write_targets([])

    def tearDown(self):
        self._dir.cleanup()

    def write(self, path, *includes):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write("#pragma once\n#include <string>\n")
            for include in includes:
                f.write(f'#include "{include}"\n')

    def write_targets(self, rows):
        with open(self.targets, "w", encoding="utf-8") as f:
            for row in rows:
                f.write("\t".join(row) + "\n")

    def run_check(self):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            status = check_folders.main(["--root", self.root, "--targets", self.targets])
        return status, out.getvalue()

    def test_a_layered_tree_passes(self):
        self.write("platform/foundation/Data.h")
        self.write("kit/core/Store.h", "platform/foundation/Data.h")
        self.write("kit/http/Request.cpp", "kit/core/Store.h", "kit/http/Request.h")
        self.write("mapsdk/engine/Engine.h", "kit/core/Store.h", "platform/foundation/Data.h")
        self.write("app/api/ApiJob.cpp", "kit/http/Request.cpp", "mapsdk/engine/Engine.h")
        self.write_targets([("kit_core", "kit/core", "kit/core"), ("kit_http", "kit/http", "kit/http"),
                            ("platform_foundation", "platform/foundation", "")])
        status, out = self.run_check()
        self.assertEqual(status, 0, out)

    def test_run_as_a_program_it_exits_with_its_answer(self):
        import subprocess
        import sys

        script = os.path.join(_source, "tools", "check-folders.py")
        command = [sys.executable, script, "--root", self.root, "--targets", self.targets]
        self.write("platform/foundation/Data.h", "kit/core/Store.h")
        self.write("kit/core/Store.h")
        run = subprocess.run(command, capture_output=True, text=True)
        self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
        self.assertIn("platform/foundation/Data.h:3", run.stdout)
        self.write("platform/foundation/Data.h")
        run = subprocess.run(command, capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)

    def test_two_folders_including_each_other_fail_naming_both_includes(self):
        self.write("kit/core/Location.cpp", "kit/http/Reachability.h")
        self.write("kit/http/Reachability.h")
        self.write("kit/http/Utilities.cpp", "kit/core/Base64.h")
        self.write("kit/core/Base64.h")
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertIn("folders kit/core, kit/http include each other", out)
        self.assertIn("kit/core/Location.cpp:3", out)
        self.assertIn("kit/http/Utilities.cpp:3", out)

    def test_a_loop_through_three_folders_fails(self):
        self.write("app/api/ApiJob.cpp", "app/jobsearch/JobSearchParam.h")
        self.write("app/jobsearch/JobSearchParam.h", "app/community/Post.h")
        self.write("app/community/Post.h", "app/api/ApiJob.h")
        self.write("app/api/ApiJob.h")
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertIn("folders app/api, app/community, app/jobsearch include each other", out)

    def test_includes_that_point_up_fail(self):
        self.write("platform/ui/View.cpp", "kit/ui/Skin.h")
        self.write("kit/ui/Skin.h", "app/home/Home.h")
        self.write("app/home/Home.h")
        self.write("mapsdk/display/Map.cpp", "kit/ui/Skin.h", "app/home/Home.h")
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertIn("platform/ui/View.cpp:3: platform/ui includes kit/ui, which is above it", out)
        self.assertIn("kit/ui/Skin.h:3: kit/ui includes app/home", out)
        self.assertIn("mapsdk/display/Map.cpp:3: mapsdk/display includes kit/ui", out)
        self.assertIn("mapsdk/display/Map.cpp:4: mapsdk/display includes app/home", out)

    def test_an_include_pointing_up_is_one_fault_not_a_loop_too(self):
        self.write("platform/ui/View.cpp", "kit/ui/Skin.h")
        self.write("kit/ui/Skin.h", "platform/ui/View.h")
        self.write("platform/ui/View.h")
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertEqual(out.count("platform/ui/View.cpp:3"), 1, out)
        self.assertNotIn("include each other", out)
        self.assertNotIn("Skin.h:3", out)

    def test_includes_that_name_no_folder_of_the_trees_are_not_judged(self):
        # A header of the file's own folder by its bare name, one of a vendored tree beside the
        # library trees, and one the build writes (no such folder in the source tree).
        self.write("kit/http/Request.cpp", "Request.h", "vendor/zlib/zlib.h", "kit/http/Request.h")
        self.write("kit/http/Request.h")
        self.write("vendor/zlib/zlib.h", "app/home/Home.h")
        self.write("app/home/Home.h")
        self.write("platform/ui/View.cpp", "kit/generated/BuildInfo.h")
        # Files other than sources say nothing of the build, whatever they hold.
        self.write("platform/ui/README.md", "app/home/Home.h")
        self.write("platform/ui/notes.txt", "kit/http/Request.h")
        status, out = self.run_check()
        self.assertEqual(status, 0, out)
        # The same include from a source is judged.
        self.write("platform/ui/Label.inc", "kit/http/Request.h")
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertIn("platform/ui/Label.inc:3: platform/ui includes kit/http, which is above it", out)
        self.assertNotIn("README", out)
        self.assertNotIn("notes", out)
        self.assertNotIn("BuildInfo", out)

    def test_a_folder_with_two_targets_fails(self):
        self.write("kit/core/Base64.cpp")
        self.write_targets([("kit_core", "kit/core", "kit/core"), ("kit_base64", "kit/core", "kit/core")])
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertIn("kit/core holds 2 targets (kit_base64, kit_core)", out)

    def test_a_target_built_from_another_folders_sources_fails(self):
        self.write_targets([("app_jobsearch", "app/jobsearch", "app/jobsearch;app/api")])
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertIn("app/jobsearch: target app_jobsearch builds sources of app/api", out)

    def test_targets_outside_the_library_trees_are_not_judged(self):
        self.write_targets([("kavro_loopback", "tests/support", "tests/support"),
                            ("kavro_test_support", "tests/support", "tests/support")])
        status, out = self.run_check()
        self.assertEqual(status, 0, out)


    def test_the_demo_servers_and_the_application_stay_apart(self):
        self.write("platform/foundation/Data.h")
        self.write("demo/DemoApi.cpp", "platform/foundation/Data.h", "mapsdk/offline/Record.h")
        self.write("mapsdk/offline/Record.h")
        self.write("app/home/Start.cpp", "demo/DemoApi.h")
        self.write("demo/Server.cpp", "app/api/ApiJob.h")
        self.write("app/api/ApiJob.h")
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertIn("app/home/Start.cpp:3: app/home includes demo, which is beside it", out)
        self.assertIn("demo/Server.cpp:3: demo includes app/api, which is beside it", out)
        self.assertNotIn("DemoApi.cpp", out)

    def test_product_code_never_includes_the_tests_headers(self):
        self.write("tools/kavro/Runner.cpp", "demo/ApiFixtureServer.h", "tests/support/TempDir.h")
        self.write("kit/core/Store.cpp", "tests/support/VirtualRunLoop.h")
        self.write("demo/ApiFixtureServer.h")
        self.write("bench/json_bench.cpp", "tests/support/TempDir.h")
        self.write("fuzz/map_http.cpp", "tests/mapsdk/engine/EngineTestParts.h")
        status, out = self.run_check()
        self.assertEqual(status, 1)
        self.assertIn("tools/kavro/Runner.cpp:4: includes tests/support/TempDir.h", out)
        self.assertIn("kit/core/Store.cpp:3: includes tests/support/VirtualRunLoop.h", out)
        self.assertNotIn("bench", out)
        self.assertNotIn("fuzz", out)

if __name__ == "__main__":
    unittest.main()
