#!/usr/bin/env python3
"""Generates the stand-in payload: the 84 files of the input method, in the
order the installer's payload keeps them, and packs them with mozpack.

    make_payload.py --parts32 DIR --parts64 DIR --mozpack PATH --out DIR

The modules and programs come built from the windows builds (parts32: the
32-bit ones, parts64: the 64-bit ones) and are padded to their sizes; every
other file is made here, the same bytes on every run. The real modules,
dictionaries and pictures belong to the input method, not to us: these stand
in for them. Writes DIR/files/ (one file per entry, names in GBK),
DIR/payload.lst and DIR/payload.moz.
"""

import argparse
import math
import random
import struct
import subprocess
import sys
import zlib
from pathlib import Path

ORDER = [
    "big5hz.ov1", "blank.jpg", "moal01.jpg", "moal02.jpg", "mobj01.jpg", "mobyy0.bmp", "mobyy1.bmp", "modwhz0.moh",
    "mora1.wav", "mora2.wav", "mora3.wav", "mora320.ime", "mora321.ime", "mora4.wav", "mora5.wav", "mora6.wav",
    "mora640.ime", "mora641.ime", "mora7.wav", "moracyzk.bak", "moradel.exe", "moradhz.moh", "moradwdw.txt",
    "moradzk0.moh", "morahu4.ime", "morahu64.ime", "morajfk.ov1", "morapyck.bak", "morapymb.ov1", "moraskfh.moh",
    "moraszsj.moh", "moraynhz.txt", "morazdfh.moh", "morazdym.moh", "moraqov6.exe", "moraqovi.exe", "mofcz.txt",
    "mogbkbh.moh", "mohzbs.moh", "mopyjm1.txt", "mopykey0.txt", "mopykey1.txt", "mopykey2.txt", "mopykey3.txt",
    "mopykey4.txt", "mopykey5.txt", "mopyltwj.moh", "mopyzdfy.txt", "mopyzdym.moh", "moqdel64.exe", "mospeeke.txt",
    "mospk1.txt", "mospk2.txt", "mospk3.txt", "mospk4.txt", "moszsj01.moh", "moszsj02.moh", "moszsj03.moh",
    "moszsj04.moh", "moszsj43.moh", "moszsj44.moh", "mowbjm.txt", "mowbpy.txt", "moxz0.bmp", "moxz1.bmp",
    "MOQOVI41.BMP", "moqovi61.bmp", "cwb.ov1", "cwbzlcz1.txt", "ftmozdym.txt", "ftpyzdym.txt", "ggbhver.dat",
    "jfb5hzb.txt", "jfhzb.txt", "nbyy2.bmp", "pyqspmb.txt", "setupw64.exe", "softkey.txt", "uwb.moh", "wb1.swf",
    "qovi1.bmp", "冷色瓷面.moz", "小天使.moz", "粉色瓷面.moz",
]

# Built parts: (name, width, padded size or None).
BUILT = {
    "morahu4.ime": ("32", 305152), "mora320.ime": ("32", 40960), "mora321.ime": ("32", 40960),
    "morahu64.ime": ("64", 358912), "mora640.ime": ("64", 53248), "mora641.ime": ("64", 53248),
    "moraqovi.exe": ("32", None), "moraqov6.exe": ("32", None), "moradel.exe": ("32", None),
    "moqdel64.exe": ("64", None), "setupw64.exe": ("64", None),
}

SIZES = {"moracyzk.bak": 587902, "morapyck.bak": 1833364, "moszsj44.moh": 807}
WORDS = 80132  # in moracyzk.bak, each of two characters or more
SKINS = {"冷色瓷面.moz": (96, 160, 200), "小天使.moz": (250, 200, 120), "粉色瓷面.moz": (240, 150, 180)}


def rng(name):
    """A random source of its own for each file, the same on every run."""
    return random.Random(zlib.crc32(name.encode("utf-8")))


def gbk_character(r):
    return bytes([r.randint(0xB0, 0xD7), r.randint(0xA1, 0xFE)])


def word_list(name, size, words):
    """GBK words of two or three characters, each followed by "; ", exactly
    `size` bytes; with `words` words when given."""
    r = rng(name)
    if words is None:
        words = size // 7
    characters = (size - 2 * words) // 2  # every word: 2 bytes a character and "; "
    three = characters - 2 * words
    if three < 0 or three > words or (size - 2 * words) % 2:
        raise SystemExit(f"{name}: {size} bytes cannot hold {words} words")
    out = bytearray()
    lengths = [3] * three + [2] * (words - three)
    r.shuffle(lengths)
    for n in lengths:
        for _ in range(n):
            out += gbk_character(r)
        out += b"; "
    assert len(out) == size
    return bytes(out)


def gbk_text(name, lines):
    r = rng(name)
    out = []
    for i in range(lines):
        word = b"".join(gbk_character(r) for _ in range(2 + i % 3))
        out.append(b"%d=" % i + word + b"\r\n")
    return b"".join(out)


def binary(name, size):
    r = rng(name)
    return bytes(r.getrandbits(8) for _ in range(size))


def settings_record(name):
    """The input method's settings record, 200 bytes: the installer's default."""
    record = bytearray(200)
    record[8] = 0x36
    for i in (9, 10, 12, 15, 19, 22, 24, 36, 41, 54, 58):
        record[i] = 1
    if name != "moszsj43.moh":
        record[0] = int(name[6:8]) % 5
    return bytes(record)


def bmp(width, height, pixel):
    """A 24-bit Windows bitmap, pixel data at offset 54; pixel(x, y) -> (r, g, b)
    with y counted from the top."""
    row = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        data += line + bytes(row - len(line))
    header = b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


def banner():
    """qovi1.bmp, 401 x 310: ink-wash hills under an evening sky, a brush
    stroke and a red seal. The welcome page shows its top 400 x 190 pixels and
    writes white text over the dark hills from y = 165 on."""
    def pixel(x, y):
        far = 120 + 22 * math.sin(x / 61 + 2) + 8 * math.sin(x / 17)
        near = 150 + 16 * math.sin(x / 37) + 9 * math.sin(x / 13 + 1)
        if y > near:
            shade = int(70 - min(60, (y - near) * 0.4))
            return (shade, shade + 8, shade + 14)
        if y > far:
            mist = int(150 - (y - far) * 1.2)
            return (mist - 30, mist - 10, mist + 10)
        stroke = 118 < x < 300 and abs(y - (52 + 14 * math.sin((x - 118) / 58))) < 2 + 4 * math.sin((x - 118) / 58)
        if stroke:
            return (25, 25, 35)
        if 328 <= x <= 372 and 28 <= y <= 72 and not (338 < x < 362 and 38 < y < 62 and (x + y) % 9):
            return (190, 30, 36)
        return (40 + y // 3, 110 + y // 3, 210 - y // 8)
    return bmp(401, 310, pixel)


def small_bmp(name, width, height, tint):
    r = rng(name)
    noise = [r.randint(0, 40) for _ in range(64)]
    return bmp(width, height, lambda x, y: tuple(min(255, c + noise[(x + y) % 64]) for c in tint))


def wav(name, seconds_tenths):
    rate, samples = 8000, 800 * seconds_tenths
    r = rng(name)
    pcm = bytes(128 + r.randint(-3, 3) for _ in range(samples))
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate, 1, 8)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(pcm)) + pcm
    return b"RIFF" + struct.pack("<I", len(body)) + body


def swf():
    """An empty Flash movie: header, a 1x1 frame, one ShowFrame, End."""
    rect = bytes([0x08, 0x00])  # five bits of field size (1), four fields of one bit each
    body = rect + struct.pack("<HH", 12 << 8, 1) + struct.pack("<H", 1 << 6) + struct.pack("<H", 0)
    return b"FWS" + bytes([6]) + struct.pack("<I", 8 + len(body)) + body


def jpeg(path, tint):
    subprocess.run(["convert", "-size", "64x48", f"xc:rgb({tint[0]},{tint[1]},{tint[2]})", "-strip",
                    "-quality", "85", f"jpg:{path}"], check=True)


def skin(folder, name, tint, mozpack):
    """A skin archive in the older layout: mobmp8.moh and mobmpsx1.bmp to mobmpsx7.bmp."""
    parts = folder / ("skin-" + str(zlib.crc32(name.encode("utf-8"))))
    parts.mkdir(exist_ok=True)
    files = [parts / "mobmp8.moh"]
    # Small values, as a skin's table holds: shorter compressed than as it is,
    # which the installer's check of an older-layout archive relies on.
    r = rng(name + "mobmp8")
    files[0].write_bytes(bytes(r.randint(0, 15) for _ in range(4096)))
    for i in range(1, 8):
        path = parts / f"mobmpsx{i}.bmp"
        path.write_bytes(small_bmp(name + str(i), 40 + 8 * i, 24, tint))
        files.append(path)
    target = bytes(folder / "files") + b"/" + name.encode("gbk")
    subprocess.run([str(mozpack), "create", "--legacy", target] + [str(f) for f in files], check=True)


def content(name, args):
    if name in BUILT:
        width, size = BUILT[name]
        data = (Path(args.parts32 if width == "32" else args.parts64) / name).read_bytes()
        if size is not None:
            if len(data) > size:
                raise SystemExit(f"{name}: built {len(data)} bytes, larger than its {size}")
            data += bytes(size - len(data))
        return data
    if name == "moracyzk.bak":
        return word_list(name, SIZES[name], WORDS)
    if name == "morapyck.bak":
        return word_list(name, SIZES[name], None)
    if name.startswith("moszsj") and name != "moszsj44.moh":
        return settings_record(name)
    if name == "moszsj44.moh":
        return binary(name, SIZES[name])
    if name == "qovi1.bmp":
        return banner()
    if name.lower().endswith(".bmp"):
        return small_bmp(name, 96, 64, (90, 140, 200))
    if name.endswith(".wav"):
        return wav(name, int(name[4]))
    if name == "wb1.swf":
        return swf()
    if name.endswith(".txt"):
        return gbk_text(name, 40 + len(name) * 3)
    return binary(name, 1024 + 97 * len(name))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--parts32", required=True)
    parser.add_argument("--parts64", required=True)
    parser.add_argument("--mozpack", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    out = Path(args.out)
    files = out / "files"
    files.mkdir(parents=True, exist_ok=True)
    paths = []
    for name in ORDER:
        encoded = name.encode("gbk")
        path = bytes(files) + b"/" + encoded
        if name in SKINS:
            skin(out, name, SKINS[name], args.mozpack)
        elif name.endswith(".jpg"):
            jpeg(path.decode("utf-8", "surrogateescape"), (200, 200, 190))
        else:
            Path(path.decode("utf-8", "surrogateescape")).write_bytes(content(name, args))
        paths.append(path)
    (out / "payload.lst").write_bytes(b"\n".join(n.encode("gbk") for n in ORDER) + b"\n")
    subprocess.run([str(args.mozpack), "create", bytes(out / "payload.moz")] + paths, check=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
