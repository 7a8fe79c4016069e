#!/usr/bin/env python3
"""Checks a remover's JSON report (option /report=) against the prefix it
describes.

  report_check.py REPORT [--snapshots BEFORE INSTALLED REMOVED] [--run N]
                         [--planned PATH]... [--exit-code N]

The report must parse, name the program, its run number and times, and list
the stages complete and in their order. With --snapshots its remaining items
must equal what the snapshot comparison finds left, both ways:
  - every entry that the installation added and the removal left is a
    remaining item, or lies below a folder or key that is one;
  - every remaining item is still in the prefix (a running program, a
    device or an installer product cannot be seen in a file snapshot and is
    named as such).
--planned names a file that must be listed as planned for deletion at the
restart. The exit code is 1 when anything does not hold; every finding is
printed.
"""

import argparse
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import prefix_snapshot  # noqa: E402

STAGES = ["installer-data", "plug-ins", "services", "firewall-driver", "drivers", "processes", "registry", "files"]
FILE_ITEMS = ("file", "folder", "driver file")
UNSEEN_ITEMS = ("process", "device", "installer product")


def registry_forms(key, view):
    """The paths a key of the report may have in Wine's registry files: the
    classes root is the machine's and the user's, the 32-bit view of
    Software is under Wow6432Node, and CurrentControlSet is ControlSet001."""
    root, _, rest = key.partition("\\")
    bases = []
    if root == "HKCR":
        bases = ["HKLM\\Software\\Classes\\" + rest, "HKCU\\Software\\Classes\\" + rest]
    elif root in ("HKLM", "HKCU"):
        bases = [root + "\\" + rest]
    forms = []
    for base in bases:
        forms.append(base)
        parts = base.split("\\")
        if view == "x86":
            lowered = [p.lower() for p in parts]
            if len(parts) > 2 and lowered[1] == "software":
                at = 3 if len(parts) > 3 and lowered[2] == "classes" else 2
                forms.append("\\".join(parts[:at] + ["Wow6432Node"] + parts[at:]))
        if len(parts) > 2 and parts[1].lower() == "system" and parts[2].lower() == "currentcontrolset":
            forms.append("\\".join(parts[:2] + ["ControlSet001"] + parts[3:]))
    return forms


def entry_forms(item):
    """(group, lower-case path, value name or None) of the snapshot entries an
    item may be; empty for what a file snapshot cannot show."""
    kind, text, view = item["kind"], item["item"], item.get("view")
    if kind in FILE_ITEMS:
        return [("fs", text.lower(), None)]
    if kind == "key":
        return [("key", form.lower(), None) for form in registry_forms(text, view)]
    if kind == "service":
        return [("key", form.lower(), None)
                for form in registry_forms("HKLM\\System\\CurrentControlSet\\Services\\" + text, None)]
    if kind in ("value", "AppInit_DLLs entry", "BootExecute entry"):
        key, _, rest = text.partition(" : ")
        name = rest.split(" : ")[0]
        return [("value", form.lower(), name.lower()) for form in registry_forms(key, view)]
    return []


def exists(form, removed):
    group, path, name = form
    return prefix_snapshot.identity("value" if group == "value" else ("key" if group == "key" else "file"), path,
                                    name) in removed


def covers(form, entry):
    """Whether the item form is the entry or a folder or key above it."""
    group, path, name = form
    kind = entry["kind"]
    entry_path = entry["path"].lower()
    if group == "fs":
        return kind in prefix_snapshot.FILE_KINDS and (entry_path == path or entry_path.startswith(path + "\\"))
    if group == "key":
        return kind in prefix_snapshot.REGISTRY_KINDS and (entry_path == path or entry_path.startswith(path + "\\"))
    return kind == "value" and entry_path == path and entry.get("name", "").lower() == name


def check(args):
    findings = []
    with open(args.report, encoding="utf-8") as f:
        report = json.load(f)
    for field in ("program", "version", "machine", "start", "end", "commandLine", "runNumber", "stages",
                  "verification", "restart", "ending", "exitCode"):
        if field not in report:
            findings.append("the report has no field '%s'" % field)
    if report.get("program") != "zorremover":
        findings.append("the report names no program zorremover")
    names = [stage.get("name") for stage in report.get("stages", [])]
    if names != STAGES:
        findings.append("stages %s, not %s" % (names, STAGES))
    if args.run is not None and report.get("runNumber") != args.run:
        findings.append("run number %s, not %d" % (report.get("runNumber"), args.run))
    if args.exit_code is not None and report.get("exitCode") != args.exit_code:
        findings.append("exit code %s, not %d" % (report.get("exitCode"), args.exit_code))
    verification = report.get("verification") or {}
    remaining = verification.get("remaining", [])
    if verification and verification.get("remainingCount") != len(remaining):
        findings.append("remainingCount %s for %d items" % (verification.get("remainingCount"), len(remaining)))
    for path in args.planned or []:
        if not any(i["kind"] in FILE_ITEMS and i["item"].lower() == path.lower() and i["plannedAtRestart"]
                   for i in remaining):
            findings.append("%s is not listed as planned for deletion at the restart" % path)

    if args.snapshots:
        ignore = prefix_snapshot.read_patterns(prefix_snapshot.IGNORE_FILE, False)
        before, installed, removed = (prefix_snapshot.drop_ignored(prefix_snapshot.load(p), ignore)
                                      for p in args.snapshots)
        _, left, _, _, _ = prefix_snapshot.compare(before, installed, removed)
        forms = [(item, entry_forms(item)) for item in remaining]
        for item, item_forms in forms:
            if item["kind"] in UNSEEN_ITEMS:
                findings.append("listed, and no file snapshot can show it: %s %s" % (item["kind"], item["item"]))
            elif not item_forms:
                findings.append("listed, of a kind this check does not know: %s %s" % (item["kind"], item["item"]))
            elif not any(exists(form, removed) for form in item_forms):
                if item.get("plannedAtRestart"):
                    # Planned for deletion: it may have gone since, as
                    # planned (a service that stopped after its delete).
                    print("report: planned and gone since: %s %s" % (item["kind"], item["item"]))
                    continue
                findings.append("listed but gone from the prefix: %s %s (%s)" % (item["kind"], item["item"],
                                                                                item.get("view")))
        for entry in left:
            if not any(covers(form, entry) for _, item_forms in forms for form in item_forms):
                findings.append("left in the prefix but not in the report: %s" % prefix_snapshot.line_of(entry))
        print("report: %d remaining item(s); snapshot: %d entries left" % (len(remaining), len(left)))
    for finding in findings:
        print("REPORT CHECK: " + finding)
    return 1 if findings else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("report")
    parser.add_argument("--snapshots", nargs=3, metavar=("BEFORE", "INSTALLED", "REMOVED"))
    parser.add_argument("--run", type=int)
    parser.add_argument("--exit-code", type=int)
    parser.add_argument("--planned", action="append")
    return check(parser.parse_args())


if __name__ == "__main__":
    sys.exit(main())
