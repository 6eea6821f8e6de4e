#!/usr/bin/env python3
"""Checks that no source file includes a header from a floor above its own.

The product's folders stand on each other in floors (docs/architecture.md). A file may include
headers of its own folder and of any lower floor, never of a higher one nor of another folder
on its own floor. Prints every include that breaks this and exits with 1; exits with 0 when
there is none. Tests are not checked: they may reach any floor.
"""
import pathlib
import re
import sys

# Lowest first; the folders of one entry share a floor and may not include each other.
FLOORS = [
    ["common"],
    ["platform"],
    ["client/texts"],
    ["client/record"],
    ["client/local"],
    ["client/protocol"],
    ["client/monitor"],
    ["client/headless", "client/framework", "updater"],
    ["client/controls"],
    ["client/app", "service"],
    ["standins"],
]
SOURCE_SUFFIXES = {".h", ".cpp", ".rc"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def folder_of(path):
    """The floor folder a repository path belongs to, or None outside the product."""
    text = path.as_posix()
    best = None
    for level, folders in enumerate(FLOORS):
        for folder in folders:
            if text == folder or text.startswith(folder + "/"):
                if best is None or len(folder) > len(best[0]):
                    best = (folder, level)
    return best


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    faults = []
    checked = 0
    for folders in FLOORS:
        for folder in folders:
            for source in sorted((root / folder).rglob("*")):
                if source.suffix not in SOURCE_SUFFIXES or not source.is_file():
                    continue
                relative = source.relative_to(root)
                own = folder_of(relative)
                checked += 1
                text = source.read_text(encoding="utf-8", errors="replace")
                for included in INCLUDE.findall(text):
                    target = folder_of(pathlib.PurePosixPath(included))
                    if target is None or target[0] == own[0]:
                        continue
                    if target[1] >= own[1]:
                        faults.append(f"{relative}: includes {included} ({target[0]} is not "
                                      f"below {own[0]})")
    for fault in faults:
        print(fault)
    print(f"{checked} files checked, {len(faults)} includes out of place")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
