#!/usr/bin/env python3
"""Checks a dry run against the real run that followed it on the same
installation.

  dry_run_check.py DRY_RUN_LOG INSTALLED REMOVED [--expect FILE]

DRY_RUN_LOG is the dry run's log as text; INSTALLED and REMOVED are snapshots
(tools/prefix_snapshot.py) taken before and after the real run. Every entry
the real run removed must be named by a "Would" line of the dry run, itself
or through a folder or key above it, or be explained:
  - a service the dry run would delete takes its key with it (the service
    manager deletes it);
  - what a program the dry run would run removes is that program's: an
    installer product's files and registration, a driver service that
    "sc delete" removes;
  - the lines of --expect (REASON PATTERN, as the acceptance lists) name
    what else is explained, each with its reason.
The other way, nothing of the installation that the dry run would delete may
be kept by the real run. The exit code is 1 when either does not hold; the
entries are printed, and so are the counts.
"""

import argparse
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import prefix_snapshot  # noqa: E402
import report_check  # noqa: E402

WOULD = re.compile(r"INFO Would (delete at restart|delete key|delete value|delete service|delete|rename file|run|"
                   r"remove device) (.*)$")


def packed(code):
    """A product code as Windows Installer's registry keys spell it: the
    first three groups reversed, the last two reversed pair by pair."""
    groups = code.split("-")
    pairs = lambda text: "".join(text[i + 1] + text[i] for i in range(0, len(text), 2))
    return groups[0][::-1] + groups[1][::-1] + groups[2][::-1] + pairs(groups[3]) + pairs(groups[4])


def would_lines(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            found = WOULD.search(line.rstrip("\n"))
            if found:
                yield found.group(1), found.group(2)


def registry_forms(key):
    """A key as the gate names it, in the forms Wine's registry files use."""
    return [form.lower() for form in report_check.registry_forms(key, None)]


def named(entry, files, keys, values):
    path = entry["path"].lower()
    if entry["kind"] in prefix_snapshot.FILE_KINDS:
        return any(path == f or path.startswith(f + "\\") for f in files)
    if entry["kind"] == "key":
        return any(path == k or path.startswith(k + "\\") for k in keys)
    name = entry.get("name", "").lower()
    return (path, name) in values or any(path == k or path.startswith(k + "\\") for k in keys)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("log")
    parser.add_argument("installed")
    parser.add_argument("removed")
    parser.add_argument("--expect")
    args = parser.parse_args()

    files, keys, values, products = set(), set(), set(), set()
    for action, item in would_lines(args.log):
        if action in ("delete", "delete at restart"):
            files.add(item.lower())
        elif action == "rename file":
            files.add(item.split(" to ")[0].lower())
        elif action == "delete key":
            keys.update(registry_forms(item))
        elif action == "delete value":
            key, _, name = item.partition(" : ")
            values.update((form, name.lower()) for form in registry_forms(key))
        elif action == "delete service":
            keys.update(registry_forms("HKLM\\System\\CurrentControlSet\\Services\\" + item))
        elif action == "remove device":
            keys.update(registry_forms("HKLM\\System\\CurrentControlSet\\Enum\\" + item))
        elif action == "run":
            # A product code on an installer's command line: what holds the
            # code, or its packed form, is that installer's to remove.
            for code in re.findall(r"\{([0-9A-Fa-f-]{36})\}", item):
                products.update((code.lower(), packed(code).lower()))
            # "sc delete NAME" removes the service's key.
            service = re.match(r"sc delete (\S+)", item, re.IGNORECASE)
            if service:
                keys.update(registry_forms("HKLM\\System\\CurrentControlSet\\Services\\" + service.group(1)))

    ignore = prefix_snapshot.read_patterns(prefix_snapshot.IGNORE_FILE, False)
    installed, removed = (prefix_snapshot.drop_ignored(prefix_snapshot.load(p), ignore)
                          for p in (args.installed, args.removed))
    gone = [installed[k] for k in sorted(installed) if k not in removed]
    expectations = prefix_snapshot.read_patterns(args.expect, True) if args.expect else []
    unnamed, explained = [], []
    for entry in gone:
        if named(entry, files, keys, values):
            continue
        text = prefix_snapshot.line_of(entry)
        if any(product in text.lower() for product in products):
            explained.append("%-15s %s" % ("installer", text))
            continue
        hit = next((e for e in expectations if prefix_snapshot.matches(e["pattern"], text)), None)
        if hit is None:
            unnamed.append(text)
        else:
            explained.append("%-15s %s" % (hit["reason"], text))
    # The other way: what the dry run would delete of the installation, the
    # real run deleted, unless an expected line says why it stays.
    wanted = ([prefix_snapshot.identity("file", path) for path in sorted(files)] +
              [prefix_snapshot.identity("key", path) for path in sorted(keys)] +
              [prefix_snapshot.identity("value", path, name) for path, name in sorted(values)])
    extra = [prefix_snapshot.line_of(installed[key]) for key in wanted if key in installed and key in removed]
    extra = [t for t in extra if not any(prefix_snapshot.matches(e["pattern"], t) for e in expectations)]
    print("removed by the real run: %d; named by the dry run: %d; explained: %d; neither: %d; "
          "named but kept by the real run: %d" %
          (len(gone), len(gone) - len(unnamed) - len(explained), len(explained), len(unnamed), len(extra)))
    prefix_snapshot.print_list("explained", explained)
    prefix_snapshot.print_list("removed but not named by the dry run", unnamed)
    prefix_snapshot.print_list("named by the dry run but kept by the real run", extra)
    return 1 if unnamed or extra else 0


if __name__ == "__main__":
    sys.exit(main())
