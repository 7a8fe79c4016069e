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


def reg_text(text):
    """A REG_SZ value's data as Wine's registry file writes it."""
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def reg_multi(*strings):
    """A REG_MULTI_SZ value's data as Wine's registry file writes it: each
    string ended by "\\0", the list's own end left out."""
    text = "".join(string + "\0" for string in strings)
    return 'str(7):"' + text.replace("\\", "\\\\").replace('"', '\\"').replace("\0", "\\0") + '"'


def reg_hex_multi(*strings):
    """The same in the hexadecimal form."""
    data = ("".join(text + "\0" for text in strings) + "\0").encode("utf-16-le")
    return "hex(7):" + ",".join("%02x" % byte for byte in data)


class DataText(unittest.TestCase):
    def test_data_as_the_report_shows_it(self):
        cases = [
            (reg_text(" a.dll,,C:\\X\\b.dll  "), '" a.dll,,C:\\X\\b.dll  "'),
            (reg_text('say "hi"'), '"say "hi""'),
            ('str(2):"%SystemRoot%\\\\x"', 'str(2):"%SystemRoot%\\x"'),
            (reg_hex_multi("autocheck autochk *", "OtherVendorChk \\??\\C:\\x.exe /Scan"),
             '["autocheck autochk *", "OtherVendorChk \\??\\C:\\x.exe /Scan"]'),
            (reg_multi("autocheck autochk *", "OtherVendorChk \\??\\C:\\x.exe /Scan"),
             '["autocheck autochk *", "OtherVendorChk \\??\\C:\\x.exe /Scan"]'),
            ('str(7):"autocheck autochk *\\0Other \\"x\\" C:\\\\y\\0\\0"', '["autocheck autochk *", "Other "x" C:\\y"]'),
            (reg_multi(), "[]"),
            (reg_multi("a", "", "b"), '["a", "", "b"]'),
            (reg_hex_multi("a", "", "b"), '["a", "", "b"]'),
            ("hex(7):zz,00", "hex(7):zz,00"),
            ("dword:00000001", "dword:00000001"),
            ('"', '"'),
            (12, "12"),
            (None, "None"),
        ]
        for detail, shown in cases:
            with self.subTest(detail=detail):
                self.assertEqual(prefix_snapshot.data_text(detail), shown)

    def test_a_multi_string_read_from_a_registry_file(self):
        system = SYSTEM_REG + '\n[System\\\\Setup] 1700000000\n"List"=%s\n' % reg_multi("One", "Two")
        with tempfile.TemporaryDirectory() as root:
            make_prefix(root, {}, system=system)
            entries = prefix_snapshot.record(root)
        value = entries[prefix_snapshot.identity("value", "HKLM\\System\\Setup", "List")]
        self.assertEqual(prefix_snapshot.data_text(value["detail"]), '["One", "Two"]')


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

    def test_a_change_made_by_the_removal_alone_is_a_change(self):
        # The installation left the file and the value alone; the removal
        # rewrote both.
        installed = snapshot(*self.before.items())
        removed = snapshot(*self.before.items(),
                           entry("file", "C:\\Other\\keep.txt", detail=0),
                           entry("value", "HKLM\\Software\\Lists", "Shared", "\"A\""))
        _, _, damaged, changed, _ = prefix_snapshot.compare(self.before, installed, removed)
        self.assertEqual(damaged, [])
        self.assertEqual([(prefix_snapshot.line_of(b), b["detail"], r["detail"]) for b, r in changed], [
            ("file C:\\Other\\keep.txt", 3, 0),
            ("value HKLM\\Software\\Lists : Shared", '"a"', '"A"'),
        ])


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

    def test_a_changed_line_without_the_data_after_the_removal_is_refused(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "case.expected")
            with open(path, "w") as f:
                f.write("# allowed\nchanged value HKLM\\Software\\Lists : Shared\n")
            with self.assertRaises(SystemExit) as refused:
                prefix_snapshot.read_patterns(path, True)
        self.assertEqual(str(refused.exception.code),
                         "case.expected:2: an allowed change names the entry and its data after the removal: "
                         "changed PATTERN -> DATA")

    def test_a_changed_line_is_read_as_pattern_and_data(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "case.expected")
            with open(path, "w") as f:
                f.write('changed value HKLM\\*\\Windows : AppInit_DLLs ->  " a.dll,,b.dll  " \nkeep dir C:\\x\n')
            lines = prefix_snapshot.read_patterns(path, True)
        self.assertEqual(lines, [
            {"reason": "changed", "pattern": "value HKLM\\*\\Windows : AppInit_DLLs", "data": '" a.dll,,b.dll  "',
             "where": "case.expected:1"},
            {"reason": "keep", "pattern": "dir C:\\x", "where": "case.expected:2"},
        ])

    def test_ignored_entries_count_nowhere(self):
        ignore = [{"reason": None, "pattern": "file *\\zorremover.log", "where": "x"}]
        entries = snapshot(entry("file", "C:\\remover\\zorremover.log"), entry("file", "C:\\remover\\other.log"))
        kept = prefix_snapshot.drop_ignored(entries, ignore)
        self.assertEqual(lines(kept), ["file C:\\remover\\other.log"])


class ChangeVerdict(unittest.TestCase):
    """Lists other software shares with the product: a removal that changes
    them in any other way than taking the product's entry out is damage."""

    WINDOWS = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows"
    SESSION = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager"
    OTHER_CHECK = "OtherVendorChk \\??\\C:\\Program Files\\Other Vendor\\OVChk.exe /Scan"
    LIBRARIES = " zorrosync.dll,,OVHook64.dll  "
    LIBRARIES_AFTER = " zorrosync.dll,,OVHook64.dll"
    ALLOWED = 'changed value %s : AppInit_DLLs -> "%s"\n' % (WINDOWS, LIBRARIES_AFTER)

    def lists(self, libraries, boot):
        return snapshot(entry("key", self.WINDOWS), entry("key", self.SESSION),
                        entry("value", self.WINDOWS, "AppInit_DLLs", reg_text(libraries)),
                        entry("value", self.SESSION, "BootExecute", reg_multi(*boot)))

    def run_diff(self, removed, expected_text, installed=None, summary=False):
        before = self.lists(self.LIBRARIES, ["autocheck autochk *", self.OTHER_CHECK])
        if installed is None:
            installed = self.lists(self.LIBRARIES + ",C:\\PROG~1\\ZOR\\ZOR10\\ZORRSSTA.DLL",
                                   ["autocheck autochk *", self.OTHER_CHECK, "zorbtchk C:\\ZOR\\zorbtchk.dat"])
        with tempfile.TemporaryDirectory() as folder:
            paths = []
            for name, entries in (("before", before), ("installed", installed), ("removed", removed)):
                paths.append(os.path.join(folder, name + ".json"))
                with open(paths[-1], "w") as f:
                    json.dump(entries, f)
            expect = os.path.join(folder, "case.expected")
            with open(expect, "w") as f:
                f.write(expected_text)
            args = type("Args", (), {"before": paths[0], "installed": paths[1], "removed": paths[2],
                                     "expect": expect, "summary": summary})
            out = io.StringIO()
            with contextlib.redirect_stdout(out):
                code = prefix_snapshot.diff(args)
            return code, out.getvalue()

    def test_cases(self):
        boot = ["autocheck autochk *", self.OTHER_CHECK]
        right = self.lists(self.LIBRARIES_AFTER, boot)
        lowered_boot = ["autocheck autochk *", self.OTHER_CHECK.lower()]
        rows = [
            # (what, removed snapshot, expected list, exit code)
            ("only the product's entry went, as the list allows", right, self.ALLOWED, 0),
            ("the same change, allowed by a pattern", right,
             'changed value HKLM\\*\\Windows : appinit_dlls -> "%s"\n' % self.LIBRARIES_AFTER, 0),
            ("a change nobody allowed", right, "", 1),
            ("the other entries joined anew", self.lists("zorrosync.dll,OVHook64.dll", boot), self.ALLOWED, 1),
            ("the product's entry in capitals stayed",
             self.lists(self.LIBRARIES + ",C:\\PROG~1\\ZOR\\ZOR10\\ZORRSSTA.DLL", boot), self.ALLOWED, 1),
            ("the data compares in its letter case",
             right, 'changed value %s : AppInit_DLLs -> "%s"\n' % (self.WINDOWS, self.LIBRARIES_AFTER.upper()), 1),
            ("another vendor's boot entry came back in lower case",
             self.lists(self.LIBRARIES_AFTER, lowered_boot), self.ALLOWED, 1),
            ("a line allowing one value allows no other", self.lists(self.LIBRARIES, lowered_boot),
             'changed value * : AppInit_DLLs -> "%s"\n' % self.LIBRARIES, 1),
            ("the list back as it was before the installation", self.lists(self.LIBRARIES, boot), self.ALLOWED, 0),
        ]
        for what, removed, expected_text, code in rows:
            with self.subTest(what):
                result, output = self.run_diff(removed, expected_text)
                self.assertEqual(result, code, output)

    def test_a_change_made_by_the_removal_alone_is_damage(self):
        # The installation left BootExecute alone; the removal lower-cased it.
        boot = ["autocheck autochk *", self.OTHER_CHECK]
        installed = self.lists(self.LIBRARIES, boot)
        code, output = self.run_diff(self.lists(self.LIBRARIES, [b.lower() for b in boot]), "", installed=installed)
        self.assertEqual(code, 1, output)
        self.assertIn("collateral damage: 1\n    value %s : BootExecute changed: "
                      '["autocheck autochk *", "%s"] -> ["autocheck autochk *", "%s"]\n'
                      % (self.SESSION, self.OTHER_CHECK, self.OTHER_CHECK.lower()), output)

    def test_the_report_names_the_allowing_line_and_what_it_allows(self):
        code, output = self.run_diff(self.lists("zorrosync.dll,OVHook64.dll", ["autocheck autochk *", self.OTHER_CHECK]),
                                     "# shared lists\n" + self.ALLOWED)
        self.assertEqual(code, 1, output)
        self.assertIn('    value %s : AppInit_DLLs changed: "%s" -> "zorrosync.dll,OVHook64.dll" '
                      '(case.expected:2 allows only -> "%s")\n' % (self.WINDOWS, self.LIBRARIES, self.LIBRARIES_AFTER),
                      output)
        self.assertTrue(output.endswith("collateral damage: 1\n"), output)

    def test_allowed_changes_are_listed_and_unseen_ones_can_go(self):
        code, output = self.run_diff(self.lists(self.LIBRARIES_AFTER, ["autocheck autochk *", self.OTHER_CHECK]),
                                     self.ALLOWED + 'changed value * : Gone -> "x"\n')
        self.assertEqual(code, 0, output)
        self.assertIn('allowed changes: 1\n    case.expected:1 value %s : AppInit_DLLs changed: "%s" -> "%s"\n'
                      % (self.WINDOWS, self.LIBRARIES, self.LIBRARIES_AFTER), output)
        self.assertIn('allowed changes no longer seen (the list can shrink): 1\n'
                      '    case.expected:2 changed value * : Gone -> "x"\n', output)

    def test_an_allowed_change_excuses_no_leftover(self):
        removed = snapshot(*self.lists(self.LIBRARIES, ["autocheck autochk *", self.OTHER_CHECK]).items(),
                           entry("value", self.WINDOWS, "ZorHook", reg_text("x")))
        installed = snapshot(*removed.items())
        code, output = self.run_diff(removed, 'changed value %s : * -> "x"\n' % self.WINDOWS, installed=installed)
        self.assertEqual(code, 1, output)
        self.assertIn("unexpected leftovers: 1\n    value %s : ZorHook\n" % self.WINDOWS, output)

    def test_the_summary_counts_an_unallowed_change_as_damage(self):
        lowered = self.lists(self.LIBRARIES_AFTER, ["autocheck autochk *", self.OTHER_CHECK.lower()])
        code, output = self.run_diff(lowered, self.ALLOWED, summary=True)
        self.assertEqual(code, 1, output)
        self.assertTrue(output.endswith("installed: 0, removed: 0, left: 0, collateral damage: 1\n"), output)
        code, output = self.run_diff(self.lists(self.LIBRARIES_AFTER, ["autocheck autochk *", self.OTHER_CHECK]),
                                     self.ALLOWED, summary=True)
        self.assertEqual(code, 0, output)
        self.assertTrue(output.endswith("installed: 0, removed: 0, left: 0, collateral damage: 0\n"), output)


if __name__ == "__main__":
    unittest.main()
