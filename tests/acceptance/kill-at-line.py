#!/usr/bin/env python3
"""Starts a command and kills it (SIGKILL, as a power cut or the task
manager would stop a program) as soon as a line appears in a UTF-16LE log
file that the command appends to.

    kill-at-line.py LOG LINE TIMEOUT COMMAND...

Only what the log gains after the start counts. The command's output goes
to standard error; the one line on standard output says how it ended:
    killed                 0   the line appeared and the command was killed
    finished N             3   the command ended (exit code N) before the
                               line was seen or before it could be killed
    timed out              4   neither within TIMEOUT seconds (killed then)
"""
import os
import signal
import subprocess
import sys
import time


def log_size(path):
    try:
        return os.path.getsize(path)
    except OSError:
        return 0


def main():
    if len(sys.argv) < 5:
        sys.stderr.write(__doc__)
        return 2
    log, line, timeout, command = sys.argv[1], sys.argv[2], float(sys.argv[3]), sys.argv[4:]
    wanted = line.encode("utf-16-le")
    start = log_size(log)
    child = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=sys.stderr)
    deadline = time.monotonic() + timeout
    # The log lines of a run go out one write each: a short poll sees the
    # line within a few milliseconds of its write.
    while time.monotonic() < deadline:
        if child.poll() is not None:
            break
        if log_size(log) > start:
            with open(log, "rb") as text:
                text.seek(start)
                gained = text.read()
            # Code units start at even offsets from the start of the file.
            offset = gained.find(wanted)
            while offset >= 0 and (start + offset) % 2:
                offset = gained.find(wanted, offset + 1)
            if offset >= 0:
                if child.poll() is not None:
                    break
                child.send_signal(signal.SIGKILL)
                child.wait()
                print("killed")
                return 0
        time.sleep(0.002)
    if child.poll() is not None:
        print("finished %d" % child.returncode)
        return 3
    child.kill()
    child.wait()
    print("timed out")
    return 4


if __name__ == "__main__":
    sys.exit(main())
