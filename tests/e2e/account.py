#!/usr/bin/env python3
"""Tells what the installer left in a stopped Wine prefix: the install
directory's files, the input-method modules of the system folders, and the
installer's registry records (as a 32-bit program sees them).

    account.py PREFIX
"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import wine  # noqa: E402

RECORDS = [
    ("HKLM", "Software\\morawb", "path"),
    ("HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\moraqwb", "DisplayName"),
    ("HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\moraqwb", "UninstallString"),
    ("HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "momcsjgl"),
    ("HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent\\Post Platform",
     "qovi7400"),
]


def decode(data):
    for encoding in ("gbk", "latin-1"):
        try:
            return data.decode(encoding)
        except UnicodeDecodeError:
            continue
    return repr(data)


def main():
    prefix = Path(sys.argv[1])
    record = wine.read_file(prefix, "c:\\windows\\morapath.moh")
    install_dir = decode(record) if record else "c:\\morahu2\\"
    print(f"Install-path record (c:\\windows\\morapath.moh): {decode(record) if record else '(none)'}")
    drive_copy = wine.read_file(prefix, "c:\\morahu\\morapath.moh")
    print(f"Drive copy (c:\\morahu\\morapath.moh): {decode(drive_copy) if drive_copy else '(none)'}")

    folder = wine.host_path(prefix, install_dir) if install_dir[1:3] == ":\\" else None
    if folder is not None and folder.is_dir():
        files = sorted(p for p in folder.iterdir())
        print(f"Install directory {install_dir}: {len(files)} entries")
        for p in files:
            print(f"  {p.name:<24} {p.stat().st_size:>10}" if p.is_file() else f"  {p.name}\\")
    else:
        print(f"Install directory {install_dir}: not there")

    for folder in ("c:\\windows\\system32", "c:\\windows\\syswow64"):
        for name in ("morahu4.ime", "moradel.exe"):
            data = wine.read_file(prefix, f"{folder}\\{name}")
            print(f"{folder}\\{name}: {len(data)} bytes" if data is not None else f"{folder}\\{name}: (none)")

    for root, key, name in RECORDS:
        value = wine.registry_value(prefix, root, key, name)
        print(f"{root}\\{key} {name}: {'(none)' if value is None else repr(value)}")
    layouts = wine.read_registry(prefix, "HKLM")
    prefix_key = "system\\currentcontrolset\\control\\keyboard layouts\\"
    for key, values in sorted(layouts.items()):
        if key.startswith(prefix_key) and "morahu4" in str(values.get("ime file", "")).lower():
            print(f"Keyboard layout {key[len(prefix_key):].upper()}: {values}")


if __name__ == "__main__":
    main()
