#!/usr/bin/env python3
"""Waits until no process of a Wine prefix runs any of the named programs, at
most 30 seconds: the programs that an installer of the Wine rows starts and
does not wait for (its 64-bit companion, the access-control tool) would
otherwise still be running on the pinned CPU when the next run is timed.

    settle.py PREFIX PROGRAM...
"""

import os
import sys
import time
from pathlib import Path


def processes(prefix, programs):
    """The host processes of the prefix, other than this one, with an argument
    that names one of programs: a Windows process under Wine shows its program
    first, one run through qemu shows it after the emulator's own arguments."""
    wanted = f"WINEPREFIX={prefix}".encode()
    names = [name.lower().encode() for name in programs]
    found = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit() or int(entry.name) == os.getpid():
            continue
        try:
            arguments = (entry / "cmdline").read_bytes().lower().split(b"\0")
            environment = (entry / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if wanted in environment and any(a.endswith(name) for a in arguments for name in names):
            found.append(int(entry.name))
    return found


def main():
    prefix, programs = sys.argv[1], sys.argv[2:]
    deadline = time.monotonic() + 30
    while processes(prefix, programs):
        if time.monotonic() > deadline:
            sys.exit(f"settle.py: still running after 30 s: {' '.join(programs)}")
        time.sleep(0.01)


if __name__ == "__main__":
    main()
