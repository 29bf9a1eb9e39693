#!/usr/bin/env python3
"""The layer check passes on the tree and reports each planted fault in a copy of it."""
import pathlib
import shutil
import subprocess
import sys
import tempfile

root = pathlib.Path(sys.argv[1])
checker = root / "scripts" / "check-layers.py"


def run(tree):
    done = subprocess.run([sys.executable, checker, tree], capture_output=True, text=True)
    return done.returncode, done.stdout


failures = 0
code, out = run(root)
if code != 0:
    print("the tree itself fails:\n" + out)
    failures += 1

plants = [  # (file, include, what the report must name)
    ("src/imaging/Surface.cpp", "#include <document/Document.h>", "imaging includes document"),
    ("src/markup/MarkupNode.cpp", '#include "script/language/ScriptRunner.h"', "peer script/language"),
    ("src/elements/Element.cpp", "#include <QString>", "Qt in elements"),
    ("src/platform/Font.cpp", "#include <headless/HeadlessWindowSystem.h>", "platform includes headless"),
]
for path, include, expected in plants:
    with tempfile.TemporaryDirectory() as work:
        copy = pathlib.Path(work)
        shutil.copy(root / "layers.txt", copy)
        shutil.copytree(root / "src", copy / "src")
        shutil.copytree(root / "tools", copy / "tools")
        target = copy / path
        target.write_text(include + "\n" + target.read_text())
        code, out = run(copy)
        if code != 1 or f"{path}:1:" not in out or expected not in out:
            print(f"planting {include} in {path}: exit {code}, report:\n{out}")
            failures += 1
print(f"{len(plants) + 1 - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
