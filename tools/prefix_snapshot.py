#!/usr/bin/env python3
"""Snapshots of a Wine prefix (files and registry) and the difference that a
removal leaves behind.

  prefix_snapshot.py record PREFIX OUT.json
      Records every file, folder and link under drive_c (path, size or link
      target) and every key and value of HKLM and HKCU (from system.reg and
      user.reg). The prefix's wineserver must have ended first: Wine writes
      the registry files only when its server exits.

  prefix_snapshot.py diff BEFORE INSTALLED REMOVED [--expect FILE] [--summary]
      Compares the three moments of a removal:
        leftovers          added by the installation and still there
        collateral damage  present before the installation and gone after the
                           removal, or there still with other data (a value) or
                           another size (a file)
      An entry is a file, folder or link by its path, a key by its path, a
      value by its key path and name, all compared without regard to case.
      --expect names the leftovers that are expected, each with its reason,
      and the changes that are allowed, each with the data the entry must
      have after the removal (see tests/acceptance/README.md). The exit code
      is 1 when a leftover is unexpected, when anything was damaged, or when
      an entry that must be kept is gone.
      --summary prints the leftovers and the damage (the first 20 of each)
      and their counts by kind, ending in the line
      "installed: N, removed: N, left: N, collateral damage: N".

  prefix_snapshot.py show SNAPSHOT [PATTERN]
      Lists a snapshot's entries (all, or those matching PATTERN).

Entries whose rendering matches a line of prefix-snapshot-ignore.txt (Wine's
own churn, the remover's own log) are left out of every comparison.
"""

import argparse
import fnmatch
import json
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
IGNORE_FILE = os.path.join(HERE, "prefix-snapshot-ignore.txt")

FILE_KINDS = ("file", "dir", "link")
# The reason of an expected-list line that allows a change, and what parts
# the entry's pattern from the data it must have after the removal.
CHANGED = "changed"
CHANGED_TO = " -> "
SUMMARY_LINES = 20
REGISTRY_KINDS = ("key", "value")


# ---------------------------------------------------------------- entries

def render(kind, path, name=None):
    """The one-line text of an entry; patterns match against it."""
    if kind == "value":
        return "value %s : %s" % (path, "(default)" if name == "" else name)
    return "%s %s" % (kind, path)


def identity(kind, path, name=None):
    # A file replaced by a folder of the same name is still "there".
    group = "fs" if kind in FILE_KINDS else kind
    text = path.lower() if name is None else path.lower() + "\0" + name.lower()
    return group + "|" + text


# ---------------------------------------------------------------- files

def record_files(prefix):
    drive = os.path.join(prefix, "drive_c")
    entries = {}

    def add(kind, windows_path, detail):
        entries[identity(kind, windows_path)] = {"kind": kind, "path": windows_path, "detail": detail}

    for top, folders, files in os.walk(drive, followlinks=False):
        relative = os.path.relpath(top, drive)
        base = "C:" if relative == "." else "C:\\" + relative.replace("/", "\\")
        for name in folders + files:
            full = os.path.join(top, name)
            windows_path = base + "\\" + name
            if os.path.islink(full):
                add("link", windows_path, os.readlink(full))
            elif os.path.isdir(full):
                add("dir", windows_path, None)
            else:
                try:
                    size = os.lstat(full).st_size
                except OSError:
                    size = None
                add("file", windows_path, size)
    return entries


# ---------------------------------------------------------------- registry

_ESCAPES = {"a": "\a", "b": "\b", "t": "\t", "n": "\n", "v": "\v", "f": "\f", "r": "\r", "e": "\x1b"}


def unescape(text):
    """Undoes the escapes of Wine's registry files (\\x, octal, \\n, \\<char>)."""
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c != "\\" or i + 1 == len(text):
            out.append(c)
            i += 1
            continue
        n = text[i + 1]
        if n == "x":
            m = re.match(r"[0-9a-fA-F]{1,4}", text[i + 2:])
            if m:
                out.append(chr(int(m.group(0), 16)))
                i += 2 + len(m.group(0))
                continue
            out.append("x")
            i += 2
        elif n in "01234567":
            m = re.match(r"[0-7]{1,3}", text[i + 1:])
            out.append(chr(int(m.group(0), 8)))
            i += 1 + len(m.group(0))
        elif n in _ESCAPES:
            out.append(_ESCAPES[n])
            i += 2
        else:
            out.append(n)
            i += 2
    return "".join(out)


def _closing(text, start, quote):
    """Index of the first unescaped quote character at or after start."""
    i = start
    while i < len(text):
        if text[i] == "\\":
            i += 2
            continue
        if text[i] == quote:
            return i
        i += 1
    return -1


def record_hive(path, root):
    entries = {}
    if not os.path.exists(path):
        raise SystemExit("%s is missing: has the prefix's wineserver ended?" % path)
    with open(path, encoding="latin-1") as f:
        lines = f.read().split("\n")
    key = None
    i = 0
    while i < len(lines):
        line = lines[i]
        i += 1
        # A value's data continues on the next line after a final backslash.
        while line.endswith("\\") and i < len(lines) and not line.startswith("["):
            line = line[:-1] + lines[i].lstrip()
            i += 1
        if line.startswith("["):
            end = _closing(line, 1, "]")
            key = root + "\\" + unescape(line[1:end])
            # Wine writes a key without values only when it has no subkeys:
            # every key above one that is written exists as well.
            parts = key.split("\\")
            for depth in range(2, len(parts) + 1):
                path = "\\".join(parts[:depth])
                entries.setdefault(identity("key", path), {"kind": "key", "path": path, "detail": None})
        elif key is None or not line or line.startswith("#") or line.startswith(";"):
            continue
        elif line.startswith("@="):
            entries[identity("value", key, "")] = {"kind": "value", "path": key, "name": "", "detail": line[2:]}
        elif line.startswith('"'):
            end = _closing(line, 1, '"')
            name = unescape(line[1:end])
            entries[identity("value", key, name)] = {
                "kind": "value", "path": key, "name": name, "detail": line[end + 2:]}
    return entries


def record(prefix):
    entries = record_files(prefix)
    entries.update(record_hive(os.path.join(prefix, "system.reg"), "HKLM"))
    entries.update(record_hive(os.path.join(prefix, "user.reg"), "HKCU"))
    return entries


# ---------------------------------------------------------------- patterns

def read_patterns(path, with_reason, seen=None):
    """Lines of a pattern file: PATTERN, or REASON PATTERN when with_reason;
    with the reason "changed" the line is "changed PATTERN -> DATA".
    "include FILE" reads another file (relative to this one)."""
    seen = seen if seen is not None else set()
    real = os.path.realpath(path)
    if real in seen:
        return []
    seen.add(real)
    result = []
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("include "):
                included = os.path.join(os.path.dirname(path), line.split(None, 1)[1])
                result += read_patterns(included, with_reason, seen)
                continue
            where = "%s:%d" % (os.path.basename(path), number)
            if with_reason:
                reason, _, pattern = line.partition(" ")
                expectation = {"reason": reason, "pattern": pattern.strip(), "where": where}
                if reason == CHANGED:
                    pattern, arrow, data = pattern.partition(CHANGED_TO)
                    if not arrow:
                        raise SystemExit("%s: an allowed change names the entry and its data after the removal: "
                                         "changed PATTERN%sDATA" % (where, CHANGED_TO))
                    expectation.update(pattern=pattern.strip(), data=data.strip())
                result.append(expectation)
            else:
                result.append({"reason": None, "pattern": line, "where": where})
    return result


def matches(pattern, text):
    return fnmatch.fnmatchcase(text.lower(), pattern.lower())


def drop_ignored(entries, ignore):
    return {k: e for k, e in entries.items()
            if not any(matches(p["pattern"], render(e["kind"], e["path"], e.get("name"))) for p in ignore)}


# ---------------------------------------------------------------- diff

def load(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def line_of(entry):
    return render(entry["kind"], entry["path"], entry.get("name"))


def by_kind(entries):
    files = sum(1 for e in entries if e["kind"] in FILE_KINDS)
    return files, len(entries) - files


def strings_text(text):
    """A multi-string's strings in brackets, without the empty ones that end it."""
    strings = text.split("\0")
    while strings and strings[-1] == "":
        strings.pop()
    return "[" + ", ".join('"%s"' % string for string in strings) + "]"


def data_text(detail):
    """An entry's data as the report shows it and an allowed change names it:
    a text in quotation marks with the registry file's escapes undone, a
    multi-string as its strings in brackets, a file by its size, anything
    else as the registry file writes it."""
    if not isinstance(detail, str):
        return str(detail)
    for start in ('"', 'str(2):"', 'str(7):"'):
        if detail.startswith(start) and detail.endswith('"') and len(detail) > len(start):
            text = unescape(detail[len(start):-1])
            return strings_text(text) if start == 'str(7):"' else start + text + '"'
    if detail.startswith("hex(7):"):
        try:
            data = bytes(int(byte, 16) for byte in detail[len("hex(7):"):].split(",") if byte.strip())
        except ValueError:
            return detail
        return strings_text(data.decode("utf-16-le", errors="replace"))
    return detail


def compare(before, installed, removed):
    """The entries added, left, gone (damaged) and changed, and those the
    removal made. A change is an entry of before whose data differs after the
    removal, whatever the installation did to it: (before, after) pairs."""
    added = [installed[k] for k in sorted(installed) if k not in before]
    left = [installed[k] for k in sorted(installed) if k not in before and k in removed]
    damaged = [before[k] for k in sorted(before) if k not in removed]
    changed = [(before[k], removed[k]) for k in sorted(before)
               if k in removed and before[k]["kind"] in ("value", "file") and removed[k]["kind"] == before[k]["kind"]
               and removed[k].get("detail") != before[k].get("detail")]
    created = [removed[k] for k in sorted(removed) if k not in before and k not in installed]
    return added, left, damaged, changed, created


def classify_changes(changed, expectations):
    """Splits the changes into those an expected line allows (its pattern
    matches the entry and its data is the entry's data after the removal,
    exactly) and the others, which are damage; each of the others comes with
    the allowing line whose pattern matched but whose data did not, or None.
    Also returns the allowing lines that matched no change."""
    allowing = [e for e in expectations if e["reason"] == CHANGED]
    unexpected, allowed = [], []
    used = set()
    for old, new in changed:
        text, after = line_of(old), data_text(new.get("detail"))
        named = [e for e in allowing if matches(e["pattern"], text)]
        used.update(id(e) for e in named)
        hit = next((e for e in named if e["data"] == after), None)
        if hit is None:
            unexpected.append((old, new, named[0] if named else None))
        else:
            allowed.append((hit, old, new))
    unused = [e for e in allowing if id(e) not in used]
    return unexpected, allowed, unused


def change_line(old, new, wanted=None):
    text = "%s changed: %s -> %s" % (line_of(old), data_text(old.get("detail")), data_text(new.get("detail")))
    if wanted is not None:
        text += " (%s allows only -> %s)" % (wanted["where"], wanted["data"])
    return text


def classify(left, expectations):
    """Splits the leftovers into unexpected ones and expected ones by reason;
    also returns the expectations that matched nothing. Allowed changes
    excuse no leftover."""
    expectations = [e for e in expectations if e["reason"] != CHANGED]
    unexpected, expected = [], []
    used = set()
    for entry in left:
        text = line_of(entry)
        hit = next((e for e in expectations if matches(e["pattern"], text)), None)
        if hit is None:
            unexpected.append(entry)
        else:
            used.add(id(hit))
            expected.append((hit, entry))
    unused = [e for e in expectations if id(e) not in used]
    return unexpected, expected, unused


def print_list(title, lines):
    print("%s: %d" % (title, len(lines)))
    for line in lines:
        print("    " + line)


def diff(args):
    ignore = read_patterns(IGNORE_FILE, False)
    before, installed, removed = (drop_ignored(load(p), ignore) for p in (args.before, args.installed, args.removed))
    added, left, damaged, changed, created = compare(before, installed, removed)
    expectations = read_patterns(args.expect, True) if args.expect else []
    unexpected, expected, unused = classify(left, expectations)
    changed_unexpected, changed_allowed, changes_unseen = classify_changes(changed, expectations)
    # Gone or changed, both are damage to what was there before.
    damage = [line_of(e) for e in damaged] + [change_line(old, new, wanted) for old, new, wanted in changed_unexpected]

    counts = {
        "installed": by_kind(added),
        "removed": tuple(a - l for a, l in zip(by_kind(added), by_kind(left))),
        "left": by_kind(left),
        "collateral damage": by_kind(damaged + [old for old, _, _ in changed_unexpected]),
    }
    if args.summary:
        for title, lines in (("left", [line_of(e) for e in left]), ("collateral damage", damage)):
            if lines:
                print_list(title, lines[:SUMMARY_LINES])
                if len(lines) > SUMMARY_LINES:
                    print("    ... and %d more" % (len(lines) - SUMMARY_LINES))
        for index, kind in ((0, "files and folders"), (1, "registry keys and values")):
            print("%-25s %s" % (kind + ":", ", ".join("%s: %d" % (name, value[index]) for name, value in counts.items())))
        print(", ".join("%s: %d" % (name, sum(value)) for name, value in counts.items()))
        return 0 if not damage else 1

    kept_missing = [e for e in unused if e["reason"] == "keep"]
    print("installed %d files and folders, %d registry keys and values" % by_kind(added))
    print_list("unexpected leftovers", [line_of(e) for e in unexpected])
    print_list("collateral damage", damage)
    print_list("expected leftovers", ["%-15s %s" % (hit["reason"], line_of(e)) for hit, e in expected])
    print_list("allowed changes", ["%s %s" % (hit["where"], change_line(old, new)) for hit, old, new in changed_allowed])
    print_list("entries that must be kept and are gone", ["%s %s" % (e["where"], e["pattern"]) for e in kept_missing])
    print_list("expected leftovers no longer left (the list can shrink)",
               ["%s %s %s" % (e["where"], e["reason"], e["pattern"]) for e in unused if e["reason"] != "keep"])
    print_list("allowed changes no longer seen (the list can shrink)",
               ["%s %s %s%s%s" % (e["where"], e["reason"], e["pattern"], CHANGED_TO, e["data"]) for e in changes_unseen])
    print_list("made by the removal and still there (information)", [line_of(e) for e in created])
    print("left: %d files and folders, %d registry keys and values (unexpected: %d), collateral damage: %d" %
          (counts["left"] + (len(unexpected), len(damage))))
    return 1 if unexpected or damage or kept_missing else 0


def show(args):
    entries = load(args.snapshot)
    for key in sorted(entries):
        text = line_of(entries[key])
        if args.pattern is None or matches(args.pattern, text):
            print(text)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    p = commands.add_parser("record")
    p.add_argument("prefix")
    p.add_argument("out")
    p = commands.add_parser("diff")
    p.add_argument("before")
    p.add_argument("installed")
    p.add_argument("removed")
    p.add_argument("--expect")
    p.add_argument("--summary", action="store_true")
    p = commands.add_parser("show")
    p.add_argument("snapshot")
    p.add_argument("pattern", nargs="?")
    args = parser.parse_args()
    if args.command == "record":
        with open(args.out, "w", encoding="utf-8") as f:
            json.dump(record(args.prefix), f)
        return 0
    return diff(args) if args.command == "diff" else show(args)


if __name__ == "__main__":
    sys.exit(main())
