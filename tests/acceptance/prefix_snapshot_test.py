#!/usr/bin/env python3
"""Checks of tools/prefix_snapshot.py: a fault there would hide leftovers or
collateral damage in every scenario."""

import contextlib
import io
import json
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import prefix_snapshot  # noqa: E402

SYSTEM_REG = r'''WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win64

[Software\\Vendor\\Deep\\Leaf] 1700000000
#time=1d9c8f0e6a2b3c4
"Plain"="text with \"quotes\" and a \\ backslash"
@="default"
"Multi"=hex(7):61,00,62,00,00,00,63,00,\
  00,00,00,00
"Caf\x00e9"=dword:00000001

[Software\\Empty] 1700000000
#time=1d9c8f0e6a2b3c4

[Software\\Odd \[name\]] 1700000000
"x"="y"

[Software\\Wow6432Node\\Classes] 1700000000
#link
"SymbolicLinkValue"=hex(6):5c,00
'''

USER_REG = r'''WINE REGISTRY Version 2
;; All keys relative to \\User\\S-1-5-21-1-2-3-1000

[Software\\Mine] 1700000000
"Setting"="1"
'''


def make_prefix(root, files, system=SYSTEM_REG, user=USER_REG):
    os.makedirs(os.path.join(root, "drive_c"))
    for path, text in files.items():
        full = os.path.join(root, "drive_c", path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as f:
            f.write(text)
    with open(os.path.join(root, "system.reg"), "w") as f:
        f.write(system)
    with open(os.path.join(root, "user.reg"), "w") as f:
        f.write(user)


def lines(entries):
    return sorted(prefix_snapshot.line_of(e) for e in entries.values())


class RegistryReading(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        make_prefix(self.folder.name, {})
        self.entries = prefix_snapshot.record(self.folder.name)

    def tearDown(self):
        self.folder.cleanup()

    def test_keys_values_and_the_keys_above_them(self):
        expected = [
            "key HKCU\\Software",
            "key HKCU\\Software\\Mine",
            "key HKLM\\Software",
            "key HKLM\\Software\\Empty",
            "key HKLM\\Software\\Odd [name]",
            "key HKLM\\Software\\Vendor",
            "key HKLM\\Software\\Vendor\\Deep",
            "key HKLM\\Software\\Vendor\\Deep\\Leaf",
            "key HKLM\\Software\\Wow6432Node",
            "key HKLM\\Software\\Wow6432Node\\Classes",
            "value HKCU\\Software\\Mine : Setting",
            "value HKLM\\Software\\Odd [name] : x",
            "value HKLM\\Software\\Vendor\\Deep\\Leaf : (default)",
            "value HKLM\\Software\\Vendor\\Deep\\Leaf : Caf\u00e9",
            "value HKLM\\Software\\Vendor\\Deep\\Leaf : Multi",
            "value HKLM\\Software\\Vendor\\Deep\\Leaf : Plain",
            "value HKLM\\Software\\Wow6432Node\\Classes : SymbolicLinkValue",
        ]
        self.assertEqual(lines(self.entries), expected)

    def test_value_data_is_kept_whole_across_continued_lines(self):
        multi = self.entries[prefix_snapshot.identity("value", "HKLM\\Software\\Vendor\\Deep\\Leaf", "Multi")]
        self.assertEqual(multi["detail"], "hex(7):61,00,62,00,00,00,63,00,00,00,00,00")
        plain = self.entries[prefix_snapshot.identity("value", "HKLM\\Software\\Vendor\\Deep\\Leaf", "Plain")]
        self.assertEqual(plain["detail"], r'"text with \"quotes\" and a \\ backslash"')

    def test_unescaping(self):
        cases = [
            (r"a\\b", "a\\b"),
            (r"\"q\"", '"q"'),
            (r"\x00e9t\xe9", "\u00e9t\u00e9"),
            (r"tab\there", "tab\there"),
            (r"nul\0end", "nul\0end"),
        ]
        for text, plain in cases:
            with self.subTest(text=text):
                self.assertEqual(prefix_snapshot.unescape(text), plain)


class FileReading(unittest.TestCase):
    def test_links_are_recorded_and_never_followed(self):
        with tempfile.TemporaryDirectory() as root:
            make_prefix(root, {"Product/a.txt": "12345", "Outside/keep/deep.txt": "x"})
            os.symlink(os.path.join(root, "drive_c", "Outside"), os.path.join(root, "drive_c", "Product", "link"))
            entries = prefix_snapshot.record_files(root)
        self.assertEqual(lines(entries), [
            "dir C:\\Outside",
            "dir C:\\Outside\\keep",
            "dir C:\\Product",
            "file C:\\Outside\\keep\\deep.txt",
            "file C:\\Product\\a.txt",
            "link C:\\Product\\link",
        ])
        self.assertEqual(entries[prefix_snapshot.identity("file", "C:\\Product\\a.txt")]["detail"], 5)


def entry(kind, path, name=None, detail=None):
    e = {"kind": kind, "path": path, "detail": detail}
    if name is not None:
        e["name"] = name
    return prefix_snapshot.identity(kind, path, name), e


def snapshot(*entries):
    return dict(entries)


class Comparison(unittest.TestCase):
    before = snapshot(
        entry("dir", "C:\\Other"),
        entry("file", "C:\\Other\\keep.txt", detail=3),
        entry("key", "HKLM\\Software\\Other"),
        entry("value", "HKLM\\Software\\Lists", "Shared", "\"a\""),
    )
    installed = snapshot(
        *before.items(),
        entry("dir", "C:\\Product"),
        entry("file", "C:\\Product\\app.exe", detail=9),
        entry("key", "HKLM\\Software\\Product"),
        entry("value", "HKLM\\Software\\Product", "Dir", "\"C:\\\\Product\""),
        entry("value", "HKLM\\Software\\Lists", "Shared", "\"a,product\""),
    )

    def test_leftovers_damage_and_changes(self):
        # The removal leaves the product's key (in another letter case), takes
        # the other vendor's file and leaves the shared list changed.
        removed = snapshot(
            entry("dir", "C:\\Other"),
            entry("key", "HKLM\\Software\\Other"),
            entry("key", "HKLM\\SOFTWARE\\PRODUCT"),
            entry("value", "HKLM\\Software\\Lists", "Shared", "\"a,\""),
        )
        added, left, damaged, changed, created = prefix_snapshot.compare(self.before, self.installed, removed)
        self.assertEqual(len(added), 4)
        self.assertEqual([prefix_snapshot.line_of(e) for e in left], ["key HKLM\\Software\\Product"])
        self.assertEqual([prefix_snapshot.line_of(e) for e in damaged], ["file C:\\Other\\keep.txt"])
        self.assertEqual([prefix_snapshot.line_of(b) for b, _ in changed], ["value HKLM\\Software\\Lists : Shared"])
        self.assertEqual(created, [])

    def test_a_value_restored_by_the_removal_is_no_change(self):
        removed = snapshot(*self.before.items())
        _, left, damaged, changed, _ = prefix_snapshot.compare(self.before, self.installed, removed)
        self.assertEqual((left, damaged, changed), ([], [], []))


class Verdict(unittest.TestCase):
    """The exit code of "diff" for whole snapshots and an expected list."""

    def run_diff(self, removed, expected_text):
        with tempfile.TemporaryDirectory() as folder:
            paths = []
            for name, entries in (("before", Comparison.before), ("installed", Comparison.installed),
                                  ("removed", removed)):
                paths.append(os.path.join(folder, name + ".json"))
                with open(paths[-1], "w") as f:
                    json.dump(entries, f)
            expect = os.path.join(folder, "case.expected")
            with open(os.path.join(folder, "shared.expected"), "w") as f:
                f.write("# shared\nengine file C:\\Product\\app.exe\n")
            with open(expect, "w") as f:
                f.write(expected_text)
            args = type("Args", (), {"before": paths[0], "installed": paths[1], "removed": paths[2],
                                     "expect": expect, "summary": False})
            out = io.StringIO()
            with contextlib.redirect_stdout(out):
                code = prefix_snapshot.diff(args)
            return code, out.getvalue()

    def test_cases(self):
        clean = snapshot(*Comparison.before.items())
        left_file = snapshot(*Comparison.before.items(), entry("dir", "C:\\Product"),
                             entry("file", "C:\\Product\\app.exe", detail=9))
        damaged = snapshot(*[(k, e) for k, e in Comparison.before.items() if e["kind"] != "file"])
        rows = [
            # (what, removed snapshot, expected list, exit code)
            ("everything removed", clean, "", 0),
            ("a leftover nobody expects", left_file, "", 1),
            ("leftovers all expected, one through include", left_file,
             "include shared.expected\nengine dir C:\\Product\n", 0),
            ("a pattern covers what lies below", left_file, "engine * C:\\Product*\n", 0),
            ("kept as required", left_file, "keep dir C:\\Product\nkeep file C:\\Product\\app.exe\n", 0),
            ("a file that must be kept is gone", clean, "keep file C:\\Product\\app.exe\n", 1),
            ("collateral damage fails whatever is expected", damaged, "engine *\n", 1),
        ]
        for what, removed, expected_text, code in rows:
            with self.subTest(what):
                result, output = self.run_diff(removed, expected_text)
                self.assertEqual(result, code, output)

    def test_ignored_entries_count_nowhere(self):
        ignore = [{"reason": None, "pattern": "file *\\zorremover.log", "where": "x"}]
        entries = snapshot(entry("file", "C:\\remover\\zorremover.log"), entry("file", "C:\\remover\\other.log"))
        kept = prefix_snapshot.drop_ignored(entries, ignore)
        self.assertEqual(lines(kept), ["file C:\\remover\\other.log"])


if __name__ == "__main__":
    unittest.main()
