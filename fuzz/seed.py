#!/usr/bin/env python3
"""Seeds for the fuzz targets, from the built stand-in payload and the kinds of
input the unit tests use:  fuzz/seed.py OUT [PAYLOAD_FILES]

Writes OUT/<target>/<seed>. Archive seeds need mozpack (build/native) and the
payload's files (build/win32/payload/files); without them only the text seeds
are written."""

import subprocess
import sys
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]


def write(out, target, name, data):
    folder = out / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def archive_seeds(out, files, mozpack):
    small = [files / n for n in ("moszsj43.moh", "mowbpy.txt", "uwb.moh") if (files / n).exists()]
    made = out / "made.moz"
    if small and mozpack.exists():
        subprocess.run([str(mozpack), "create", str(made)] + [str(f) for f in small], check=True,
                       stdout=subprocess.DEVNULL)
        data = made.read_bytes()
        made.unlink()
        for target in ("archive_walk", "archive_extract", "archive_lookup", "archive_verify"):
            write(out, target, "current.moz", data)
            write(out, target, "cut.moz", data[:len(data) // 2])
    for skin in files.glob("*.moz"):
        data = skin.read_bytes()
        for target in ("archive_walk", "archive_extract", "archive_verify"):
            write(out, target, f"legacy-{zlib.crc32(skin.name.encode(errors='surrogateescape'))}.moz", data)
    payload = ROOT / "build" / "payload.moz"
    if payload.exists():
        head = payload.read_bytes()[:65536]
        for target in ("archive_walk", "archive_lookup"):
            write(out, target, "payload-head.moz", head)
    words = files / "moracyzk.bak"
    if words.exists():
        write(out, "word_list", "words", words.read_bytes()[:4096])
    banner = files / "qovi1.bmp"
    if banner.exists():
        write(out, "archive_bitmap", "banner", bytes([0, 0, 100, 77, 0, 0, 100, 77]) + banner.read_bytes())
    module = files / "mora320.ime"
    if module.exists():
        write(out, "version_patch", "mora320.ime", module.read_bytes())
        write(out, "version_patch", "setupw64.exe", (files / "setupw64.exe").read_bytes())


def text_seeds(out):
    write(out, "key_value", "monetsj.dat", b"MONETURL1=www.unit.cn\r\nMONETURL2=www.gov.cn\r\nMONETDOWN=1\r\n")
    write(out, "word_list", "trailer", b"\xb0\xa1\xb0\xa2; MORA\x00\x00\x00\x00\x01\x00\x00\x00")
    for i, line in enumerate([b"", b"setmosrf32", b"regmo32=d:\\ime\\", b"REGMO32=x run regmo32=c:\\a b\\",
                              b"d:\\ime", b"d:\\ime\\", b"d:\\a\\b", b"\\\\server\\ime"]):
        write(out, "command_line", f"line{i}", line)
    for i, record in enumerate([b"c:\\morahu2\\\n", b"d:\\ime\\\nc:\\other\\", b"\nd:\\x", b"x" * 250 + b"\n" + b"y" * 300]):
        write(out, "install_path_record", f"record{i}", record)


def registry_seeds(out):
    ours = "智能墨川输入平台  7.4".encode("gbk")
    write(out, "registry_layouts", "layouts",
          b"\x00layout text=" + ours + b"\x00\x00IME file=MORAHU4.IME\x00\x01layout text=US\x00\x041=00000409\x00"
          b"\x042=e0100804\x00\x051=00000409")


def main():
    out = Path(sys.argv[1])
    files = Path(sys.argv[2]) if len(sys.argv) > 2 else ROOT / "build" / "win32" / "payload" / "files"
    out.mkdir(parents=True, exist_ok=True)
    text_seeds(out)
    registry_seeds(out)
    archive_seeds(out, files, ROOT / "build" / "native" / "mozpack")


if __name__ == "__main__":
    main()
