#!/usr/bin/env python3
"""Waits until no process of a Wine prefix runs any of the named programs, at
most 30 seconds: the programs that an installer of the Wine rows starts and
does not wait for (its 64-bit companion, the access-control tool) would
otherwise still be running on the pinned CPU when the next run is timed.

    settle.py PREFIX PROGRAM...
"""

import sys
import time
from pathlib import Path


def running(prefix, programs):
    """1 when a process of the prefix is one of programs. The program is its
    first argument (a Windows path under Wine); the rest of the line, which
    names the programs in this script's own, does not count."""
    wanted = f"WINEPREFIX={prefix}".encode()
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            program = (entry / "cmdline").read_bytes().split(b"\0")[0].lower()
            environment = (entry / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if wanted in environment and any(program.endswith(name.lower().encode()) for name in programs):
            return True
    return False


def main():
    prefix, programs = sys.argv[1], sys.argv[2:]
    deadline = time.monotonic() + 30
    while running(prefix, programs):
        if time.monotonic() > deadline:
            sys.exit(f"settle.py: still running after 30 s: {' '.join(programs)}")
        time.sleep(0.01)


if __name__ == "__main__":
    main()
