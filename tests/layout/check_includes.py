#!/usr/bin/env python3
"""Holds the folders of src/ to the one direction they are layered in.

Every #include "..." in src/ names a header of its own folder ("reader.h",
or "cardfile/reader.h" from cardfile/) or of a folder that ALLOWED lets its
folder use; and every library's target_link_libraries in src/*/CMakeLists.txt
links only such folders' libraries (crdview_FOLDER). The table itself has no
cycle, and nothing may use cli/.

Usage: check_includes.py SRC_DIR   (exit status 1, each fault on a line, when
       an include or a link goes the wrong way)
"""
import re
import sys
from pathlib import Path

# What each folder may include and link, besides itself. The bottom three
# (the reader, the code pages, the system calls) use nothing else.
ALLOWED = {
    "cardfile": set(),
    "decode": set(),
    "sys": set(),
    "text": {"decode"},
    "image": {"cardfile"},
    "contacts": {"text"},
    "walk": {"cardfile", "decode", "sys", "text"},
    "writers": {"cardfile", "decode", "sys", "text", "image", "contacts", "walk"},
    "cli": {"cardfile", "decode", "sys", "text", "image", "contacts", "walk", "writers"},
    # The web page runs the command line in the browser: it alone stands above cli/.
    "web": {"cardfile", "decode", "sys", "text", "image", "contacts", "walk", "writers", "cli"},
}
# The one folder that may use cli/.
ABOVE_CLI = {"web"}

INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]*"([^"]+)"', re.M)
LINK = re.compile(r"target_link_libraries\(\s*crdview_(\w+)([^)]*)\)", re.S)
SOURCES = ("*.h", "*.cpp", "*.inc")


def table_faults(allowed):
    """Faults of the table itself: an unknown folder, a use of cli/, a cycle."""
    faults = []
    for folder, uses in sorted(allowed.items()):
        for used in sorted(uses - allowed.keys()):
            faults.append(f"table: {folder} uses {used}, which is not a folder of the table")
        if "cli" in uses and folder not in ABOVE_CLI:
            faults.append(f"table: {folder} uses cli, which nothing may use")
    # Depth-first search for a cycle.
    state = {}

    def visit(folder, path):
        if state.get(folder) == "done":
            return
        if state.get(folder) == "open":
            faults.append("table: a cycle: " + " -> ".join(path + [folder]))
            return
        state[folder] = "open"
        for used in sorted(allowed.get(folder, ())):
            visit(used, path + [folder])
        state[folder] = "done"

    for folder in sorted(allowed):
        visit(folder, [])
    return faults


def include_faults(src, allowed):
    """Faults of the #include lines and library links of the tree at `src`."""
    faults = []
    for folder in sorted(p for p in src.iterdir() if p.is_dir()):
        name = folder.name
        if name not in allowed:
            faults.append(f"{name}/: a folder that the table does not know")
            continue
        files = sorted(f for pattern in SOURCES for f in folder.rglob(pattern))
        for source in files:
            text = source.read_text(encoding="utf-8", errors="replace")
            for match in INCLUDE.finditer(text):
                header = match.group(1)
                line = text.count("\n", 0, match.start()) + 1
                where = f"{source.relative_to(src)}:{line}"
                if "/" not in header:
                    if not (source.parent / header).exists():
                        faults.append(f'{where}: "{header}" is not in {name}/')
                    continue
                used = header.split("/", 1)[0]
                if used != name and used not in allowed[name]:
                    faults.append(f'{where}: {name}/ may not include "{header}"')
        cmake = folder / "CMakeLists.txt"
        if cmake.exists():
            for match in LINK.finditer(cmake.read_text(encoding="utf-8")):
                # A folder's every target (its library, and any program made
                # of it) is held to the folder's row.
                target = match.group(1)
                for used in re.findall(r"\bcrdview_(\w+)", match.group(2)):
                    if used not in (name, target) and used not in allowed[name]:
                        faults.append(f"{name}/CMakeLists.txt: crdview_{target} may not link "
                                      f"crdview_{used}")
    return faults


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    src = Path(argv[1])
    faults = table_faults(ALLOWED) + include_faults(src, ALLOWED)
    for fault in faults:
        print(f"check_includes: {fault}")
    if not faults:
        print(f"check_includes: every include and link of {len(ALLOWED)} folders goes one way")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
