#!/usr/bin/env python3
"""Checks that every include in src/ and tools/ keeps to the layer order of layers.txt.

Prints one line per include that runs up the layers, across peers or brings Qt into a portable
folder, and exits with 1 when there is any; exits with 0 and prints nothing otherwise.
Usage: check-layers.py [ROOT]   (ROOT defaults to the checkout holding this script)
"""
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]')


def read_layers(root):
    """Returns {folder: (rank, qt_allowed)} from layers.txt."""
    layers = {}
    rank = 0
    for line in (root / "layers.txt").read_text().splitlines():
        line = line.split("#", 1)[0].split()
        if not line:
            continue
        for word in line:
            folder, _, mark = word.partition(":")
            layers[folder] = (rank, mark == "qt")
        rank += 1
    return layers


def folder_of(path, layers):
    """The longest layer folder that path lies in, or None."""
    best = None
    for folder in layers:
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def check(root):
    layers = read_layers(root)
    faults = []
    for top in ("src", "tools"):
        for source in sorted((root / top).rglob("*")):
            if source.suffix not in (".cpp", ".h") or not source.is_file():
                continue
            relative = source.relative_to(root).as_posix()
            own = folder_of(relative[len("src/"):] if top == "src" else "tools", layers)
            if own is None:
                faults.append(f"{relative}: lies in no folder of layers.txt")
                continue
            own_rank, qt_allowed = layers[own]
            for number, text in enumerate(source.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(text)
                if not match:
                    continue
                header = match.group(1)
                where = f"{relative}:{number}: {text.strip()}"
                if re.match(r"Q[A-Za-z]", header) and not qt_allowed:
                    faults.append(f"{where}  (Qt in {own}, which stays portable)")
                    continue
                target = folder_of(header, layers)
                if target is None or target == own:
                    continue
                rank = layers[target][0]
                if rank > own_rank:
                    faults.append(f"{where}  ({own} includes {target}, which lies above it)")
                elif rank == own_rank:
                    faults.append(f"{where}  ({own} includes its peer {target})")
    return faults


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    faults = check(root)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
