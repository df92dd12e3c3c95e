#!/usr/bin/env python3
"""End-to-end cases: the real morasetup.exe under Wine.

    cases.py --build build/win32 --templates build/wine/templates CASE
    cases.py --build build/win32 --templates build/wine/templates --list

Each case runs in a fresh copy of a prefix template under its own Xvfb, and
exits 0 when it passed, 1 when it failed.
"""

import argparse
import contextlib
import struct
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import wine  # noqa: E402

REGISTERED = "智能墨川已安装成功，如不能使用，请重新启动计算机！"
CASES = {}


def case(function):
    CASES[function.__name__] = function
    return function


class Failed(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failed(message)


def expect_equal(actual, expected, what):
    expect(actual == expected, f"{what}: expected {expected!r}, got {actual!r}")


def record_places(prefix):
    return {
        "c:\\windows\\morapath.moh": wine.read_file(prefix, "c:\\windows\\morapath.moh"),
        "HKLM\\Software\\morawb path": wine.registry_value(prefix, "HKLM", "Software\\morawb", "path"),
        "c:\\morahu\\morapath.moh": wine.read_file(prefix, "c:\\morahu\\morapath.moh"),
    }


def expect_record(prefix, directory):
    for place, value in record_places(prefix).items():
        if isinstance(value, bytes):
            value = value.decode("gbk")
        expect_equal(value, directory, f"install-path record in {place}")


@contextlib.contextmanager
def installer_run(ctx, kind, args):
    """Runs morasetup.exe with args in a fresh prefix of kind under Xvfb,
    answering its message boxes; yields (prefix, run) with Wine stopped."""
    with wine.fresh_prefix(ctx.templates, kind, "morasetup") as prefix:
        with wine.xvfb() as display:
            run = wine.run_program(prefix, ctx.build / "morasetup.exe", args, ctx.winlist(prefix), display)
        wine.stop_server(prefix)
        expect_equal(run.exit_code, 0, "exit code")
        yield prefix, run


@case
def register_only_records_directory(ctx):
    """64-bit Windows 7: regmo32=d:\\ime\\ records the directory and registers."""
    with installer_run(ctx, "win7-64", "regmo32=d:\\ime\\") as (prefix, run):
        expect_equal(run.boxes, [("智能墨川", REGISTERED)], "message boxes")
        expect_record(prefix, "d:\\ime\\")


@case
def plain_start_restores_default_record(ctx):
    """64-bit Windows 7, nothing recorded: the administrator probe leaves c:\\morahu2\\."""
    with installer_run(ctx, "win7-64", "") as (prefix, run):
        expect_equal(run.boxes, [], "message boxes")
        expect_record(prefix, "c:\\morahu2\\")


@case
def register_only_not_on_32bit_windows(ctx):
    """32-bit Windows XP: regmo32= does not run the register-only mode."""
    with installer_run(ctx, "winxp-32", "regmo32=d:\\ime\\") as (prefix, run):
        expect_equal(run.boxes, [], "message boxes")
        for place, value in record_places(prefix).items():
            expect_equal(value, None, f"install-path record in {place} (Windows XP makes no probe)")


def run_contract_tests(ctx, kind, width):
    exe = ctx.build.parent / width / "contract_tests.exe"
    with wine.fresh_prefix(ctx.templates, kind, f"contract-{width}") as prefix:
        env = wine.base_env(prefix, 936)
        result = subprocess.run([wine.wine_for(prefix), str(exe)], env=env, timeout=300,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        output = result.stdout.decode("utf-8", errors="replace")
        expect(result.returncode == 0 and "[  PASSED  ]" in output,
               f"contract tests failed ({result.returncode}):\n{output}")


@case
def contract_64bit_on_windows7_64(ctx):
    """The Win32 contract tests, 64-bit, on 64-bit Windows 7."""
    run_contract_tests(ctx, "win7-64", "win64")


@case
def contract_32bit_on_windows7_64(ctx):
    """The Win32 contract tests, 32-bit, on 64-bit Windows 7."""
    run_contract_tests(ctx, "win7-64", "win32")


@case
def contract_32bit_on_windowsxp_32(ctx):
    """The Win32 contract tests, 32-bit, on 32-bit Windows XP."""
    run_contract_tests(ctx, "winxp-32", "win32")


@case
def installer_resources(ctx):
    """The executable: 32-bit GUI, the manifest, the icon and the payload."""
    exe = ctx.build / "morasetup.exe"
    description = subprocess.run(["file", "-b", str(exe)], stdout=subprocess.PIPE, text=True).stdout
    expect(description.startswith("PE32 executable (GUI) Intel 80386"), f"file says: {description}")
    resources = pe_resources(exe.read_bytes())
    expect_equal(resources.get(("MOZ", "QOVIMOZ"))[:10], b"C0\x0a\0\0\0\0\0\0\0", "payload resource")
    expect(("14", "MORAHU") in resources, f"icon group MORAHU among {sorted(resources)}")
    manifest = resources.get(("24", "1"), b"").decode("utf-8", errors="replace")
    expect('level="requireAdministrator"' in manifest, f"manifest: {manifest}")


def pe_resources(image):
    """{(type, name): bytes} of a PE image's resources (first language)."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    sections = struct.unpack_from("<H", image, pe + 6)[0]
    optional_size = struct.unpack_from("<H", image, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    rva = struct.unpack_from("<I", image, directories + 2 * 8)[0]
    table = optional + optional_size
    for i in range(sections):
        virtual_size, va, raw_size, raw = struct.unpack_from("<IIII", image, table + i * 40 + 8)
        if va <= rva < va + max(virtual_size, raw_size):
            base = raw + (rva - va)
            break
    else:
        return {}

    def entries(offset):
        named, ids = struct.unpack_from("<HH", image, base + offset + 12)
        for k in range(named + ids):
            name, target = struct.unpack_from("<II", image, base + offset + 16 + 8 * k)
            if name & 0x80000000:
                at = base + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", image, at)[0]
                label = image[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            else:
                label = str(name)
            yield label, target

    found = {}
    for type_label, type_target in entries(0):
        for name_label, name_target in entries(type_target & 0x7FFFFFFF):
            _, data_target = next(entries(name_target & 0x7FFFFFFF))
            data_rva, size = struct.unpack_from("<II", image, base + data_target)
            found[(type_label, name_label)] = image[base + (data_rva - rva):base + (data_rva - rva) + size]
    return found


class Context:
    def __init__(self, build, templates):
        self.build = Path(build).resolve()
        self.templates = Path(templates).resolve()

    def winlist(self, prefix):
        """The window lister of the prefix's own width."""
        width = "win32" if wine.arch_of(prefix) == "win32" else "win64"
        return self.build.parent / width / "winlist.exe"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True, help="the win32 build folder")
    parser.add_argument("--templates", required=True, help="where the prefix templates are made")
    parser.add_argument("--list", action="store_true", help="list the cases")
    parser.add_argument("--make-templates", action="store_true", help="make the prefix templates")
    parser.add_argument("case", nargs="?")
    args = parser.parse_args()
    if args.list:
        for name, function in CASES.items():
            print(f"{name}: {function.__doc__}")
        return 0
    if args.make_templates:
        for kind in wine.TEMPLATE_KINDS:
            print(f"template {kind}: {wine.make_template(args.templates, kind)}")
        return 0
    if args.case not in CASES:
        parser.error(f"unknown case {args.case!r}")
    try:
        CASES[args.case](Context(args.build, args.templates))
    except Failed as failure:
        print(f"FAILED {args.case}: {failure}")
        return 1
    print(f"passed {args.case}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
