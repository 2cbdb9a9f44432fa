#!/usr/bin/env python3
"""The layer check on small core trees: what it lets pass and what it names."""
import os
import subprocess
import sys
import tempfile
import unittest

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "check-layers.py")


def run(tree):
    """Writes {path: text} under a fresh core folder and checks it."""
    with tempfile.TemporaryDirectory() as core:
        for path, text in tree.items():
            os.makedirs(os.path.join(core, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(core, path), "w") as f:
                f.write(text)
        done = subprocess.run([sys.executable, CHECK, core], capture_output=True, text=True)
        return done.returncode, done.stdout.replace(os.path.relpath(core) + "/", "")


class LayerCheck(unittest.TestCase):
    def test_downward_and_same_folder_includes_pass(self):
        code, out = run({
            "base/journal.h": "#pragma once\n",
            "kernel/process.h": '#include "base/journal.h"\n#include <windows.h>\n#include "platform/ce_api.h"\n',
            "user/window.h": '#include "kernel/process.h"\n',
            "user/window.cpp": '#include "user/window.h"\n#include "base/journal.h"\n',
        })
        self.assertEqual(code, 0, out)

    def test_each_fault_is_named_with_its_file_and_line(self):
        cases = [
            ("an include of a folder above",
             {"user/window.h": "#pragma once\n", "gdi/dc.cpp": '// DCs\n#include "user/window.h"\n'},
             "gdi/dc.cpp:2: includes user/window.h, but user/ stands above gdi/"),
            ("a cycle inside one folder",
             {"user/a.h": '#include "user/b.h"\n', "user/b.h": '\n#include "user/a.h"\n'},
             "user/b.h:2: includes user/a.h, which closes a cycle of user/a.h, user/b.h"),
            ("a header included beside its includer, from above",
             {"shell/bar.h": "#pragma once\n", "kernel/x.cpp": '#include "../shell/bar.h"\n'},
             "kernel/x.cpp:1: includes shell/bar.h, but shell/ stands above kernel/"),
            ("a folder the order does not name",
             {"extras/thing.h": "#pragma once\n"},
             "extras/: a folder with no place in the order"),
        ]
        for name, tree, expected in cases:
            with self.subTest(name):
                code, out = run(tree)
                self.assertEqual(code, 1, out)
                self.assertIn(expected, out)


if __name__ == "__main__":
    unittest.main()
