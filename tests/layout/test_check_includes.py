#!/usr/bin/env python3
"""The include check finds what it is there to find, on trees made up here."""
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
import check_includes  # noqa: E402

TABLE = {"low": set(), "mid": {"low"}, "cli": {"low", "mid"}}


def tree(files):
    """A src/ tree of `files` ({relative path: text}) in a new temporary folder."""
    root = tempfile.TemporaryDirectory()
    for name, text in files.items():
        path = Path(root.name) / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
    return root


class IncludeCheck(unittest.TestCase):
    def faults(self, files, table=TABLE):
        with tree(files) as src:
            return check_includes.include_faults(Path(src), table)

    def test_allowed_includes_pass(self):
        self.assertEqual(self.faults({
            "low/a.h": "#pragma once\n",
            "low/a.cpp": '#include "a.h"\n#include "low/a.h"\n#include <vector>\n',
            "mid/b.cpp": '#include "low/a.h"\n',
            "cli/c.cpp": '#include "mid/b.h"\n  #  include "low/a.h"\n',
        }), [])

    def test_wrong_way_includes_fail(self):
        faults = self.faults({
            "low/a.cpp": '#include <cstdio>\n\n#include "mid/b.h"\n',
            "mid/b.cpp": '#include "cli/c.h"\n',
            "mid/c.cpp": '#include "missing.h"\n',
            "other/d.cpp": "",
        })
        self.assertEqual(faults, [
            'low/a.cpp:3: low/ may not include "mid/b.h"',
            'mid/b.cpp:1: mid/ may not include "cli/c.h"',
            'mid/c.cpp:1: "missing.h" is not in mid/',
            "other/: a folder that the table does not know",
        ])

    def test_wrong_way_links_fail(self):
        faults = self.faults({
            "low/CMakeLists.txt": "add_library(crdview_low STATIC a.cpp)\n"
                                  "target_link_libraries(crdview_low PUBLIC\n  crdview_mid)\n",
            "mid/CMakeLists.txt": "target_link_libraries(crdview_mid PUBLIC crdview_low)\n",
        })
        self.assertEqual(faults, ["low/CMakeLists.txt: crdview_low may not link crdview_mid"])

    def test_table_faults(self):
        self.assertEqual(check_includes.table_faults(TABLE), [])
        self.assertEqual(check_includes.table_faults({"a": {"b"}, "b": {"a"}}),
                         ["table: a cycle: a -> b -> a"])
        self.assertEqual(check_includes.table_faults({"a": {"cli", "x"}, "cli": set()}),
                         ["table: a uses x, which is not a folder of the table",
                          "table: a uses cli, which nothing may use"])

    def test_the_real_table_is_layered(self):
        self.assertEqual(check_includes.table_faults(check_includes.ALLOWED), [])
        for bottom in ("cardfile", "decode", "sys"):
            self.assertEqual(check_includes.ALLOWED[bottom], set())


if __name__ == "__main__":
    unittest.main()
