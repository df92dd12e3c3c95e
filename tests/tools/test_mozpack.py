#!/usr/bin/env python3
"""Tests of the archive tool: test_mozpack.py PATH-TO-MOZPACK"""

import hashlib
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

MOZPACK = None


def read(path):
    with open(path, "rb") as f:
        return f.read()


def run(*args):
    result = subprocess.run([MOZPACK, *map(str, args)], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return result.returncode, result.stdout, result.stderr.decode("utf-8", "replace")


class MozpackTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name

    def tearDown(self):
        self.dir.cleanup()

    def file(self, name, data):
        path = os.path.join(self.root, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_round_trip_with_digests(self):
        noise = bytes((i * 2654435761 >> 13) & 0xFF for i in range(40000))  # incompressible, above 8 KB
        files = [self.file("a.txt", b"alpha"), self.file("noise.bin", noise), self.file("empty.txt", b""),
                 self.file("abcdefgh.123", b"twelve bytes")]
        archive = os.path.join(self.root, "out.moz")
        self.assertEqual(run("create", archive, *files)[0], 0)
        data = read(archive)
        self.assertEqual(data[:2], b"C0")
        self.assertEqual(struct.unpack_from("<II", data, 2), (len(data), 4))
        self.assertEqual(data[18 + 10:50 + 10], hashlib.md5(b"alpha").hexdigest().upper().encode())

        code, listing, _ = run("list", archive)
        self.assertEqual(code, 0)
        lines = listing.decode().splitlines()
        self.assertEqual([l.split()[0] for l in lines], ["a.txt", "noise.bin", "empty.txt", "abcdefgh.123"])
        self.assertEqual(lines[1].split()[1], "40000")
        self.assertTrue(all(l.endswith("matches") for l in lines))

        out = os.path.join(self.root, "out")
        os.mkdir(out)
        self.assertEqual(run("extract", archive, out)[0], 0)
        self.assertEqual(read(os.path.join(out, "noise.bin")), noise)
        code, report, _ = run("verify", archive, out)
        self.assertEqual((code, report.decode().strip()), (0, "4 of 4 entries verified"))
        self.file("out/a.txt", b"changed")
        code, report, _ = run("verify", archive, out)
        self.assertEqual(code, 1)
        self.assertIn("a.txt....", report.decode())
        self.assertEqual(run("cat", archive, "a.txt")[:2], (0, b"alpha"))
        self.assertEqual(run("cat", archive, "absent")[0], 1)

    def test_archives_that_cannot_be_mapped(self):
        archive = os.path.join(self.root, "in.moz")
        self.assertEqual(run("create", archive, self.file("a.txt", b"alpha" * 1000))[0], 0)
        out = os.path.join(self.root, "out")
        os.mkdir(out)
        # A pipe is read, not mapped.
        with open(archive, "rb") as source:
            feeder = subprocess.Popen(["cat"], stdin=source, stdout=subprocess.PIPE)
            result = subprocess.run([MOZPACK, "extract", "/dev/stdin", out], stdin=feeder.stdout,
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            feeder.stdout.close()
            feeder.wait()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(read(os.path.join(out, "a.txt")), b"alpha" * 1000)
        code, _, message = run("extract", self.file("empty.moz", b""), out)
        self.assertEqual(code, 2)
        self.assertIn("the 10-byte header is cut short", message)

    def test_legacy_layout_verifies_by_length(self):
        archive = os.path.join(self.root, "skin.moz")
        self.assertEqual(run("create", "--legacy", archive, self.file("mobmp8.moh", b"x" * 4096))[0], 0)
        data = read(archive)
        self.assertNotEqual(data[1:2], b"0")
        self.assertEqual(struct.unpack_from("<I", data, 10 + 16)[0], len(data) - 30)
        code, listing, _ = run("list", archive)
        self.assertEqual(code, 0)
        self.assertIn(" - -", listing.decode())
        out = os.path.join(self.root, "out")
        os.mkdir(out)
        self.file("out/mobmp8.moh", b"y" * (len(data) - 30))
        self.assertEqual(run("verify", archive, out)[0], 0)

    def test_refusals_name_what_and_where(self):
        archive = os.path.join(self.root, "x.moz")
        code, _, err = run("create", archive, self.file("abcdefgh.1234", b"13"), self.file("ok.txt", b"ok"))
        self.assertEqual(code, 1)
        self.assertIn("is not 1 to 12 bytes", err)
        code, _, err = run("create", archive, self.file("big.bin", b"\0" * (0x200000 + 1)))
        self.assertEqual(code, 1)
        self.assertIn("at most 2,097,152", err)
        self.assertEqual(run("create", archive, self.file("max.bin", b"\0" * 0x200000))[0], 0)
        self.assertEqual(run("list", archive)[0], 0)

        good = b"C0" + struct.pack("<II", 0, 3)
        content = zlib.compress(b"alpha")
        good += b"CF" + b"a.txt".ljust(16, b"\0") + hashlib.md5(b"alpha").hexdigest().upper().encode() + b"\0\0"
        good += struct.pack("<I", len(content)) + content
        for what, data, message in [
            ("a lying count", good, "entry 1 at offset %d: the entry header is cut short" % len(good)),
            ("a length past the end", good[:-3], "entry 0 at offset 10: its data runs past the end"),
            ("a cut header", good[:9], "the 10-byte header is cut short"),
        ]:
            path = self.file("bad.moz", data)
            code, _, err = run("list", path)
            self.assertEqual(code, 2, what)
            self.assertIn(message, err, what)

        unsafe = b"C0" + struct.pack("<II", 0, 1)
        unsafe += b"CF" + b"..\\evil.txt".ljust(16, b"\0") + hashlib.md5(b"x").hexdigest().upper().encode() + b"\0\0"
        payload = zlib.compress(b"x")
        unsafe += struct.pack("<I", len(payload)) + payload
        out = os.path.join(self.root, "safe")
        os.mkdir(out)
        code, _, err = run("extract", self.file("unsafe.moz", unsafe), out)
        self.assertEqual(code, 1)
        self.assertIn("entry 0 (..\\evil.txt) at offset 10", err)
        self.assertEqual(os.listdir(out), [])

        lying = b"C0" + struct.pack("<II", 0, 2)
        for name, digest in [(b"lies.txt", b"0" * 32), (b"true.txt", hashlib.md5(b"x").hexdigest().upper().encode())]:
            lying += b"CF" + name.ljust(16, b"\0") + digest + b"\0\0" + struct.pack("<I", len(payload)) + payload
        code, _, err = run("extract", self.file("lying.moz", lying), out)
        self.assertEqual(code, 1)
        self.assertIn("entry 0 (lies.txt) at offset 10: the content does not match its digest", err)
        self.assertEqual(os.listdir(out), ["true.txt"])

    def test_usage(self):
        self.assertEqual(run("--help")[0], 0)
        self.assertEqual(run()[0], 2)
        self.assertEqual(run("list")[0], 2)
        self.assertEqual(run("frobnicate", "x")[0], 2)
        self.assertEqual(run("list", os.path.join(self.root, "missing.moz"))[0], 2)


if __name__ == "__main__":
    MOZPACK = sys.argv.pop(1)
    unittest.main()
