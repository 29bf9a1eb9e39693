#!/usr/bin/env python3
"""The layer check passes on a copy of the tree and reports each fault planted in one."""
import pathlib
import shutil
import subprocess
import sys
import tempfile

root = pathlib.Path(sys.argv[1])
plants = [  # (file, include, what the report must name); the first row plants nothing
    (None, None, None),
    ("src/imaging/Surface.cpp", "#include <document/Document.h>", "imaging includes document"),
    ("src/markup/MarkupNode.cpp", '#include "script/language/ScriptRunner.h"', "peer script/language"),
    ("src/elements/Element.cpp", "#include <QString>", "Qt in elements"),
    ("src/platform/Font.cpp", "#include <headless/HeadlessWindowSystem.h>", "platform includes headless"),
]
failures = 0
for path, include, expected in plants:
    with tempfile.TemporaryDirectory() as work:
        copy = pathlib.Path(work)
        shutil.copy(root / "layers.txt", copy)
        for folder in ("src", "tools"):
            shutil.copytree(root / folder, copy / folder)
        if path:
            (copy / path).write_text(include + "\n" + (copy / path).read_text())
        done = subprocess.run([sys.executable, root / "scripts" / "check-layers.py", copy], capture_output=True, text=True)
        reported = done.returncode == 1 and f"{path}:1:" in done.stdout and expected in done.stdout
        if not (reported if path else done.returncode == 0):
            print(f"planting {include} in {path}: exit {done.returncode}, report:\n{done.stdout}")
            failures += 1
print(f"{len(plants) - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
