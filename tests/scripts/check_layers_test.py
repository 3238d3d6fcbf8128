#!/usr/bin/env python3
"""scripts/check-layers.py on a copy of the tree: clean, and with one include planted that runs up
or sideways in the core, in a platform, in a tool and in the tests."""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = pathlib.Path(os.environ.get("KT57_SOURCE_TREE") or pathlib.Path(__file__).resolve().parents[2])
CHECK = SOURCE / "scripts/check-layers.py"


def copy_code(destination):
    for path in SOURCE.rglob("*"):
        relative = path.relative_to(SOURCE)
        if relative.parts[0].startswith("build") or relative.parts[0] == ".git":
            continue
        if path.is_file() and path.suffix in (".h", ".cpp", ".c"):
            target = destination / relative
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(path, target)


class CheckLayers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        cls.clean = pathlib.Path(cls.scratch.name) / "clean"
        copy_code(cls.clean)

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def run_check(self, root):
        return subprocess.run([sys.executable, str(CHECK), str(root)], capture_output=True, text=True)

    def test_the_tree_as_it_stands_passes(self):
        result = self.run_check(self.clean)
        self.assertEqual(result.returncode, 0, result.stdout)

    def test_a_planted_include_fails_by_name(self):
        cases = [
            # file, include, what the finding must say
            ("device/hex.h", "shell/application.h", "shell/ is above device/"),
            ("sequencer/opcode.h", "board/board_model.h", "board/ is above sequencer/"),
            ("platform/linux/tty_driver.h", "platform/qt/console_view.h", "platform/qt/ is above platform/linux/"),
            ("platform/headless/headless_run.h", "platform/win32/win32_shell.h",
             "platform/win32/ is beside platform/headless/"),
            ("platform/qt/console_view.h", "tools/kt57-ctl/ctl_only.h", "tools/kt57-ctl/ is above platform/qt/"),
            ("tools/kt57-run/events_file.h", "tools/kt57-check/program_check.h",
             "tools/kt57-check/ is beside tools/kt57-run/"),
            ("tests/console/controls_test.cpp", "tests/shell/shell_only.h", "tests/shell/ is beside tests/console/"),
        ]
        for file, include, finding in cases:
            with self.subTest(file=file, include=include):
                root = pathlib.Path(self.scratch.name) / "planted"
                shutil.rmtree(root, ignore_errors=True)
                shutil.copytree(self.clean, root)
                planted = root / file
                planted.write_text(f'#include "{include}"\n' + planted.read_text(encoding="utf-8"), encoding="utf-8")
                result = self.run_check(root)
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(f"{file} includes {include}: {finding}", result.stdout)

    def test_a_folder_in_no_room_fails(self):
        root = pathlib.Path(self.scratch.name) / "stray"
        shutil.rmtree(root, ignore_errors=True)
        shutil.copytree(self.clean, root)
        (root / "gadgets").mkdir()
        (root / "gadgets/gadget.h").write_text("#pragma once\n")
        result = self.run_check(root)
        self.assertEqual(result.returncode, 1)
        self.assertIn("gadgets/gadget.h: its folder is in no room", result.stdout)


if __name__ == "__main__":
    unittest.main()
