#!/usr/bin/env python3
"""End-to-end cases: the real morasetup.exe under Wine.

    cases.py --build build/win32 --templates build/wine/templates CASE
    cases.py --build build/win32 --templates build/wine/templates --list

Each case runs in a fresh copy of a prefix template under its own Xvfb, and
exits 0 when it passed, 1 when it failed.
"""

import argparse
import os
import re
import contextlib
import struct
import subprocess
import sys
import tempfile
import time
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
def installer_run(ctx, kind, args, code_page=936):
    """Runs morasetup.exe with args in a fresh prefix of kind under Xvfb,
    answering its message boxes; yields (prefix, run) with Wine stopped."""
    with wine.fresh_prefix(ctx.templates, kind, "morasetup") as prefix:
        with wine.xvfb() as display:
            run = wine.run_program(prefix, ctx.build / "morasetup.exe", args, ctx.winlist(prefix), display,
                                   code_page)
        wine.stop_server(prefix)
        expect_equal(run.exit_code, 0, "exit code")
        yield prefix, run


@case
def register_only_records_directory(ctx):
    """64-bit Windows 7: regmo32=d:\\ime\\ records the directory and registers."""
    with installer_run(ctx, "win7-64", "regmo32=d:\\ime\\") as (prefix, run):
        expect_equal(run.boxes, [("智能墨川", REGISTERED)], "message boxes")
        expect_record(prefix, "d:\\ime\\")


EXIT = (300, 257)
CONFIRM = (90, 257)


@case
def plain_start_restores_default_record(ctx):
    """64-bit Windows 7, nothing recorded: the wizard opens and its exit button
    ends the run; the administrator probe has left c:\\morahu2\\ recorded."""
    with wine.fresh_prefix(ctx.templates, "win7-64", "plain") as prefix:
        with wine.xvfb() as display:
            run = wine.run_wizard(prefix, ctx.build / "morasetup.exe", "", ctx.winlist(prefix), display,
                                  [lambda desk: desk.click(*EXIT)])
        wine.stop_server(prefix)
        expect_equal(run.exit_code, 0, "exit code")
        expect_equal(run.boxes, [], "message boxes")
        expect_record(prefix, "c:\\morahu2\\")


@case
def wizard_pages(ctx):
    """The wizard clicked through as a person would: welcome with its banner,
    the two addresses typed, the install path, the exit button."""
    shots = ctx.build / "e2e-artifacts" / "wizard"
    seen = {}

    def welcome(desk):
        desk.window_shot(shots / "1-welcome.png")
        seen["banner"] = desk.pixel(5, 5, shots / "probe.png")
        seen["welcome"] = desk.pixel(380, 250, shots / "probe.png")
        desk.click(*CONFIRM)

    def addresses(desk):
        seen["address"] = desk.pixel(380, 200, shots / "probe.png")
        desk.click(180, 175)
        desk.type("www.unit.cn")
        desk.click(180, 205)
        desk.type("www.gov.cn")
        desk.window_shot(shots / "2-addresses.png")
        desk.click(*CONFIRM)

    def path(desk):
        desk.window_shot(shots / "3-install-path.png")
        seen["title"] = desk.wizard().title
        seen["texts"] = desk.wizard().texts
        seen["size"] = desk.wizard().rect
        desk.click(*EXIT)

    with wine.fresh_prefix(ctx.templates, "win7-64", "wizard") as prefix:
        wine.host_path(prefix, "c:\\morahu2").mkdir()
        with wine.xvfb() as display:
            run = wine.run_wizard(prefix, ctx.build / "morasetup.exe", "", ctx.winlist(prefix), display,
                                  [welcome, addresses, path])
        wine.stop_server(prefix)
        expect_equal(run.exit_code, 0, "exit code")
        expect_equal(run.boxes, [], "message boxes")
        expect_equal(seen["title"], "智能墨川系统安装3264", "window title")
        left, top, right, bottom = seen["size"]
        expect_equal((right - left, bottom - top), (400, 310), "window size")
        expect_equal(seen["banner"], (41, 111, 210), "the banner at client (5, 5)")
        expect_equal(seen["welcome"], (0, 132, 138), "the welcome gradient at client (380, 250)")
        expect_equal(seen["address"], (96, 164, 154), "the page gradient at client (380, 200)")
        expect("c:\\morahu2\\" in seen["texts"], f"the install path box shows c:\\morahu2\\: {seen['texts']}")
        settings = (wine.read_file(prefix, "c:\\morahu2\\monetsj.dat") or b"").decode("gbk")
        expect(settings.startswith("MONETURL1=www.unit.cn\r\nMONETURL2=www.gov.cn\r\n"),
               f"monetsj.dat: {settings!r}")


@case
def register_only_not_on_32bit_windows(ctx):
    """32-bit Windows XP: regmo32= does not run the register-only mode; the
    wizard opens instead, and its exit button ends the run."""
    with wine.fresh_prefix(ctx.templates, "winxp-32", "regmo32-xp") as prefix:
        with wine.xvfb() as display:
            run = wine.run_wizard(prefix, ctx.build / "morasetup.exe", "regmo32=d:\\ime\\", ctx.winlist(prefix),
                                  display, [lambda desk: desk.click(*EXIT)])
        wine.stop_server(prefix)
        expect_equal(run.exit_code, 0, "exit code")
        expect_equal(run.boxes, [], "message boxes")
        for place, value in record_places(prefix).items():
            expect_equal(value, None, f"install-path record in {place} (Windows XP makes no probe)")


KEYBOARD_LAYOUTS = "System\\CurrentControlSet\\Control\\Keyboard Layouts"
LAYOUT_TEXT = "智能墨川输入平台  7.4"
OLD_LAYOUT_TEXT = "智能墨川输入平台  6.3"


def layouts_with(prefix, name, value):
    """The Keyboard Layouts sub keys whose value name equals value."""
    found = {}
    start = KEYBOARD_LAYOUTS.lower() + "\\"
    for key, values in wine.read_registry(prefix, "HKLM").items():
        if key.startswith(start) and values.get(name.lower()) == value:
            found[key[len(start):].upper()] = values
    return found


def register_only_layout_text(ctx, code_page):
    with installer_run(ctx, "win7-64", "regmo32=d:\\ime\\", code_page) as (prefix, run):
        expect_equal(run.boxes, [("智能墨川", REGISTERED)], "message boxes")
        layouts = layouts_with(prefix, "Layout Text", LAYOUT_TEXT)
        expect(len(layouts) == 1, f"one layout with the registered text, found {layouts}")
        (identifier, values), = layouts.items()
        language = "0404" if code_page == 950 else "0804"
        expect(identifier.startswith("E0") and identifier.endswith(language), f"layout identifier {identifier}")
        expect_equal(values.get("ime file", "").lower(), "c:\\windows\\system32\\morahu4.ime", "Ime File")


@case
def register_only_layout_text_code_page_936(ctx):
    """regmo32= under code page 936 leaves a layout with the registered text."""
    register_only_layout_text(ctx, 936)


@case
def register_only_layout_text_code_page_950(ctx):
    """regmo32= under code page 950 leaves a layout with the registered text."""
    register_only_layout_text(ctx, 950)


def set_up_layouts(prefix, layouts, preload, version=None):
    """Keyboard Layouts {id: layout text}, and the preload list of the user and
    of the default profile: NT values, or with version win98 numbered sub keys."""
    wine.rewrite_registry(prefix, "HKLM", [KEYBOARD_LAYOUTS],
                          {f"{KEYBOARD_LAYOUTS}\\{i}": {"layout text": t} for i, t in layouts.items()})
    for root in ("HKCU", "HKU\\.DEFAULT"):
        if version == "win98":
            keys = {f"Keyboard Layout\\Preload\\{k}": {"": i} for k, i in enumerate(preload, 1)}
        else:
            keys = {"Keyboard Layout\\Preload": {str(k): i for k, i in enumerate(preload, 1)}}
        wine.rewrite_registry(prefix, root, ["Keyboard Layout\\Preload"], keys)
    if version:
        wine.rewrite_registry(prefix, "HKCU", ["Software\\Wine"], {"Software\\Wine": {"Version": version}})


def preload_of(prefix, root, win98=False):
    keys = wine.read_registry(prefix, root)
    if win98:
        entries = [keys.get(f"keyboard layout\\preload\\{k}", {}).get("") for k in range(1, 50)]
    else:
        values = keys.get("keyboard layout\\preload", {})
        entries = [values.get(str(k)) for k in range(1, 50)]
    return entries[:entries.index(None)] if None in entries else entries


def probe(ctx, prefix, operation, nt=True):
    """Runs one operation of registration_probe; returns its last line. On the
    NT family the first preload entry shows as "*": Wine sets the user's value
    "1" to its own default layout whenever a program starts."""
    code, output = wine.run_console(prefix, ctx.build / "registration_probe.exe", [operation])
    expect(code == 0, f"registration_probe {operation} failed ({code}): {output}")
    line = output.strip().splitlines()[-1]
    return re.sub(r"ids=[^,]*", "ids=*", line) if nt else line


def expect_layout_record(prefix, identifier, layout_file):
    values = wine.read_registry(prefix, "HKLM").get(f"{KEYBOARD_LAYOUTS}\\{identifier}".lower())
    expect(values is not None, f"layout key {identifier}")
    expect_equal(values.get("ime file"), "MORAHU4.IME", f"{identifier} IME file")
    expect_equal(values.get("layout file"), layout_file, f"{identifier} layout file")
    expect_equal(values.get("layout text"), LAYOUT_TEXT, f"{identifier} layout text")


@case
def registration_on_windows7_64(ctx):
    """The registry fallback on Windows 7: an old registration under 0404 moves to 0804."""
    with wine.fresh_prefix(ctx.templates, "win7-64", "registration-7") as prefix:
        set_up_layouts(prefix, {"00000409": "US", "E0200804": "Other", "E0150404": OLD_LAYOUT_TEXT},
                       ["00000409", "e0150404"])
        expect_equal(probe(ctx, prefix, "register"), "result=1", "RegisterKeyboardLayout")
        expect_equal(probe(ctx, prefix, "find"), "result=1 found=1 position=2 count=2 ids=*,e0150804",
                     "FindImeInPreload")
        wine.stop_server(prefix)
        expect(f"{KEYBOARD_LAYOUTS}\\E0150404".lower() not in wine.read_registry(prefix, "HKLM"), "E0150404 deleted")
        expect_layout_record(prefix, "E0150804", "kbdus.dll")
        expect_equal(preload_of(prefix, "HKCU")[1:], ["e0150804"], "preload list after entry 1")


@case
def registration_on_windowsxp_32(ctx):
    """The registry fallback on Windows XP, then the move to the second place."""
    with wine.fresh_prefix(ctx.templates, "winxp-32", "registration-xp") as prefix:
        others = ["0000040a", "0000040b", "0000040c", "0000040d", "0000040e"]
        layouts = {i.upper(): f"Layout {i}" for i in others}
        layouts["E0010804"] = "Wine"  # the layout Wine puts first in the user's list
        set_up_layouts(prefix, layouts, others)
        expect_equal(probe(ctx, prefix, "register"), "result=1", "RegisterKeyboardLayout")
        expect_equal(probe(ctx, prefix, "move"),
                     "result=1 found=1 position=6 count=6 ids=*,e0020804,0000040b,0000040c,0000040d,0000040e",
                     "FindImeInPreload and MoveImeToSecondPlace")
        wine.stop_server(prefix)
        expect_layout_record(prefix, "E0020804", "kbdus.dll")
        moved = ["e0020804", "0000040b", "0000040c", "0000040d", "0000040e"]
        expect_equal(preload_of(prefix, "HKCU")[1:], moved, "the user's preload list after entry 1")
        expect_equal(preload_of(prefix, "HKU\\.DEFAULT"), ["0000040a"] + moved, "the default profile's list")


@case
def registration_on_windows98(ctx):
    """The registry fallback on the Windows 9x family, then the swap of the first two."""
    with wine.fresh_prefix(ctx.templates, "win7-64", "registration-98") as prefix:
        set_up_layouts(prefix, {"0000040A": "US", "E0150404": OLD_LAYOUT_TEXT}, ["E0150404", "0000040A"],
                       version="win98")
        expect_equal(probe(ctx, prefix, "register", nt=False), "result=1", "RegisterKeyboardLayout")
        expect_equal(probe(ctx, prefix, "swap", nt=False), "result=2 found=0 position=0 count=2 ids=E0150804,0000040A",
                     "ReadPreloadList")
        wine.stop_server(prefix)
        expect_layout_record(prefix, "E0150804", "kbdus.kbd")
        expect_equal(preload_of(prefix, "HKCU", win98=True), ["0000040A", "E0150804"], "the swapped preload list")


INSTALL_DIR = "c:\\morahu2\\"
REGISTRATION_MODULES = ["mora320.ime", "mora321.ime", "mora640.ime", "mora641.ime"]
CURRENT_VERSION = "Software\\Microsoft\\Windows\\CurrentVersion"
POST_PLATFORM = CURRENT_VERSION + "\\Internet Settings\\User Agent\\Post Platform"
CODECS = {936: "gbk", 950: "cp950"}


def payload_file(ctx, name):
    return (ctx.build / "payload" / "files" / name).read_bytes()


def silent_install(ctx, prefix, display, code_page=936):
    """morasetup.exe setmosrf32, and the 64-bit companion it leaves running;
    returns the Run with the message boxes of both."""
    run = wine.run_program(prefix, ctx.build / "morasetup.exe", "setmosrf32", ctx.winlist(prefix), display,
                           code_page)
    wine.wait_for_program(prefix, "setupw64.exe", ctx.winlist(prefix), display, run, code_page)
    expect_equal(run.exit_code, 0, "exit code")
    expect_equal(run.boxes, [], "message boxes")
    return run


def unverified(ctx, prefix, code_page):
    """The payload entries whose installed file mozpack verify finds missing or
    different. Wine keeps the installer's ANSI names as Unicode: a copy of the
    install directory under the names' bytes lets mozpack read them."""
    with tempfile.TemporaryDirectory() as copy:
        for path in wine.host_path(prefix, INSTALL_DIR).iterdir():
            if path.is_file():
                name = path.name.encode(CODECS[code_page], errors="replace")
                Path(os.fsdecode(os.path.join(os.fsencode(copy), name))).write_bytes(path.read_bytes())
        result = subprocess.run([str(ctx.build.parent / "native" / "mozpack"), "verify",
                                 str(ctx.build / "payload" / "payload.moz"), copy], stdout=subprocess.PIPE)
    lines = result.stdout.decode("latin-1").splitlines()
    return set(filter(None, lines[0].split("....")) if len(lines) > 1 else [])


def expect_installed_files(ctx, prefix, code_page, is64):
    installed = lambda name: wine.read_file(prefix, INSTALL_DIR + name)
    for name in REGISTRATION_MODULES:
        expect_equal(installed(name), None, f"{name} in the install directory")
    expect_equal(installed("morahu32.ime"), payload_file(ctx, "morahu4.ime"), "morahu32.ime")
    words = installed("moracyzk.bak") or b""
    expect_equal((words[-12:-8], struct.unpack("<I", words[-4:])[0] if len(words) >= 12 else None), (b"MORA", 80132),
                 "the word list's trailer")
    expect_equal(installed("moracyzk.mou"), words, "moracyzk.mou")
    expect_equal(installed("morapyck.mou"), installed("morapyck.bak"), "morapyck.mou")
    companion = installed("setupw64.exe") or b""
    expect(LAYOUT_TEXT.encode("utf-16-le") in companion, "the companion's version text patched to 7.4")
    expect_equal(installed("moraqovi.exe"), payload_file(ctx, "moraqov6.exe" if is64 else "moraqovi.exe"),
                 "moraqovi.exe")
    changed = set(REGISTRATION_MODULES + ["setupw64.exe", "moracyzk.bak"])
    if is64:
        changed |= {"moraqovi.exe", "moraqov6.exe"}
    expect_equal(unverified(ctx, prefix, code_page), changed, "installed files that differ from the payload")


def expect_system_files(ctx, prefix, is64):
    system = lambda name: wine.read_file(prefix, "c:\\windows\\system32\\" + name)
    if is64:
        wow = wine.read_file(prefix, "c:\\windows\\syswow64\\morahu4.ime")
        expect_equal(wow, payload_file(ctx, "morahu4.ime"), "the 32-bit module in syswow64")
        expect_equal(system("morahu4.ime"), payload_file(ctx, "morahu64.ime"), "the 64-bit module in system32")
        expect_equal(system("moradel.exe"), payload_file(ctx, "moqdel64.exe"), "the uninstaller in system32")
    else:
        expect_equal(system("morahu4.ime"), payload_file(ctx, "morahu4.ime"), "the module in system32")
        expect_equal(system("moradel.exe"), payload_file(ctx, "moradel.exe"), "the uninstaller in system32")


def expect_records(prefix, is64, installs=1):
    """The records of a stopped prefix after a number of installations. Wine's
    ImmInstallIMEW adds a layout on every call, where Windows gives back the
    one of the same IME file: one layout each, and none of the companion's."""
    layouts = layouts_with(prefix, "Layout Text", LAYOUT_TEXT)
    expect(len(layouts) == installs, f"{installs} layout(s) of the input method, found {sorted(layouts)}")
    uninstall = CURRENT_VERSION + "\\Uninstall\\moraqwb"
    expect_equal(wine.registry_value(prefix, "HKLM", uninstall, "DisplayName"), "墨川五笔", "uninstall entry")
    expect_equal(wine.registry_value(prefix, "HKLM", uninstall, "UninstallString"),
                 "C:\\windows\\system32\\moradel.exe", "uninstall command")
    expect_equal(wine.registry_value(prefix, "HKLM", CURRENT_VERSION + "\\Run", "momcsjgl"),
                 '"c:\\morahu2\\moraqovi.exe" mo', "autorun value")
    expect(wine.registry_value(prefix, "HKLM", POST_PLATFORM, "qovi7400") is not None, "the browser marker")
    for place, value in record_places(prefix).items():
        # Windows XP keeps no copy of the record on a drive.
        expected = None if not is64 and place.startswith("c:\\morahu\\") else INSTALL_DIR
        expect_equal(value.decode("gbk") if isinstance(value, bytes) else value, expected,
                     f"install-path record in {place}")
    if is64:
        expect_equal(wine.registry_value(prefix, "HKLM", "Software\\morawb", "path", view32=False), INSTALL_DIR,
                     "the install-path record in the 64-bit view, by the companion")


def silent_reinstall(ctx, kind, code_page=936):
    is64 = kind != "winxp-32"
    with wine.fresh_prefix(ctx.templates, kind, f"silent-{kind}-{code_page}") as prefix:
        for run_number in (1, 2):
            with wine.xvfb() as display:
                silent_install(ctx, prefix, display, code_page)
            wine.stop_server(prefix)
            try:
                expect_installed_files(ctx, prefix, code_page, is64)
                expect_system_files(ctx, prefix, is64)
                expect_records(prefix, is64, run_number)
            except Failed as failure:
                raise Failed(f"run {run_number}: {failure}")


@case
def silent_reinstall_on_windows7_64(ctx):
    """setmosrf32 on 64-bit Windows 7, twice: the installation complete each time."""
    silent_reinstall(ctx, "win7-64")


@case
def silent_reinstall_on_windowsxp_32(ctx):
    """setmosrf32 on 32-bit Windows XP, twice: no companion swap, one system folder."""
    silent_reinstall(ctx, "winxp-32")


@case
def silent_reinstall_code_page_950(ctx):
    """setmosrf32 on 64-bit Windows 7 under code page 950, twice."""
    silent_reinstall(ctx, "win7-64", 950)


@case
def silent_reinstall_module_held(ctx):
    """64-bit Windows 7: the old 32-bit module held loaded by another program
    while the input method is in the user's list; the re-install moves it
    aside and finishes."""
    wow = "c:\\windows\\syswow64\\"
    with wine.fresh_prefix(ctx.templates, "win7-64", "silent-held") as prefix:
        with wine.xvfb() as display:
            silent_install(ctx, prefix, display)
        wine.stop_server(prefix)
        (identifier, _), = layouts_with(prefix, "Layout Text", LAYOUT_TEXT).items()
        wine.rewrite_registry(prefix, "HKCU", ["Keyboard Layout\\Preload"],
                              {"Keyboard Layout\\Preload": {"1": "00000804", "2": identifier.lower()}})
        ready, stop = wine.host_path(prefix, "c:\\ready"), wine.host_path(prefix, "c:\\stop")
        holder = subprocess.Popen([wine.wine_for(prefix), str(ctx.build / "holder.exe"), wow + "morahu4.ime",
                                   "c:\\ready", "c:\\stop"], env=wine.base_env(prefix), stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE)
        try:
            deadline = time.time() + 60
            while not ready.exists() and holder.poll() is None and time.time() < deadline:
                time.sleep(0.2)
            expect(ready.exists(), f"the holder did not load the module: {holder.poll()}")
            expect(wine.host_path(prefix, wow + "morahu4.ime").exists(), "the held module")
            with wine.xvfb() as display:
                silent_install(ctx, prefix, display)
            expect_equal(wine.read_file(prefix, wow + "morahu2.ime"), payload_file(ctx, "morahu4.ime"),
                         "the held module moved aside")
            expect_equal(wine.read_file(prefix, wow + "morahu4.ime"), payload_file(ctx, "morahu4.ime"),
                         "the new module in its place")
        finally:
            stop.touch()
            try:
                holder.wait(timeout=30)
            except subprocess.TimeoutExpired:
                holder.kill()
        wine.stop_server(prefix)
        expect_installed_files(ctx, prefix, 936, True)
        expect_records(prefix, True, 2)


def run_contract_tests(ctx, kind, width):
    exe = ctx.build.parent / width / "contract_tests.exe"
    with wine.fresh_prefix(ctx.templates, kind, f"contract-{width}") as prefix:
        code, output = wine.run_console(prefix, exe, [])
        expect(code == 0 and "[  PASSED  ]" in output, f"contract tests failed ({code}):\n{output}")


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
    payload = resources.get(("MOZ", "QOVIMOZ"), b"")
    built = (ctx.build / "payload" / "payload.moz").read_bytes()
    expect(payload[:len(built)] == built and not payload[len(built):].strip(b"\0"),
           f"payload resource: {len(payload)} bytes, the built payload {len(built)}")
    expect_equal(struct.unpack_from("<I", built, 6)[0], 84, "entries in the payload")
    expect(("14", "MORAHU") in resources, f"icon group MORAHU among {sorted(resources)}")
    manifest = resources.get(("24", "1"), b"").decode("utf-8", errors="replace")
    expect('level="requireAdministrator"' in manifest, f"manifest: {manifest}")


@case
def payload_extracts_and_verifies(ctx):
    """The built payload: 84 entries in their order, each matching its digest;
    mozpack extract and verify agree; the sizes and the word list as given."""
    sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "payload"))
    import make_payload
    mozpack = ctx.build.parent / "native" / "mozpack"
    payload = ctx.build / "payload" / "payload.moz"
    listing = subprocess.run([str(mozpack), "list", str(payload)], stdout=subprocess.PIPE).stdout
    lines = listing.decode("gbk").splitlines()
    expect_equal([line.split()[0] for line in lines], make_payload.ORDER, "entries in stored order")
    expect(all(line.endswith(" matches") for line in lines), "every entry matches its digest")
    sizes = {line.split()[0]: int(line.split()[1]) for line in lines}
    for name, size in [("moracyzk.bak", 587902), ("morapyck.bak", 1833364), ("morahu4.ime", 305152),
                       ("morahu64.ime", 358912), ("moszsj43.moh", 200), ("moszsj44.moh", 807)]:
        expect_equal(sizes[name], size, f"size of {name}")
    with tempfile.TemporaryDirectory() as out:
        expect_equal(subprocess.run([str(mozpack), "extract", str(payload), out]).returncode, 0, "mozpack extract")
        expect_equal(subprocess.run([str(mozpack), "verify", str(payload), out], stdout=subprocess.DEVNULL).returncode,
                     0, "mozpack verify")
        words = (Path(out) / "moracyzk.bak").read_bytes().split(b"; ")
        expect_equal(words[-1], b"", "the word list ends with a separator")
        expect_equal(len(words) - 1, 80132, "words in the word list")
        expect(all(len(w) >= 4 and len(w) % 2 == 0 and all(b > 0x80 for b in w[::2]) for w in words[:-1]),
               "every word is two GBK characters or more")
        banner = (Path(out) / "qovi1.bmp").read_bytes()
        expect_equal(struct.unpack_from("<2sIHHIIii", banner, 0)[4:], (54, 40, 401, 310), "banner header")
        expect_equal(struct.unpack_from("<H", banner, 28)[0], 24, "banner bits per pixel")


@case
def package_from_a_folder(ctx):
    """scripts/package: an installer carrying the files of a folder, in the
    order of its payload.lst."""
    root = Path(__file__).resolve().parents[2]
    with tempfile.TemporaryDirectory() as work:
        folder = Path(work) / "files"
        folder.mkdir()
        for name, data in [("b.txt", b"second"), ("a.txt", b"first"), ("c.moh", b"third")]:
            (folder / name).write_bytes(data)
        (folder / "payload.lst").write_text("c.moh\nb.txt\r\na.txt\n")
        out = Path(work) / "mine.exe"
        result = subprocess.run([str(root / "scripts" / "package"), str(folder), str(out)], stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)
        expect(result.returncode == 0, f"scripts/package failed: {result.stdout.decode(errors='replace')}")
        payload = pe_resources(out.read_bytes()).get(("MOZ", "QOVIMOZ"), b"")
        names, at = [], 10
        for _ in range(struct.unpack_from("<I", payload, 6)[0]):
            names.append(payload[at + 2:at + 18].split(b"\0")[0].decode())
            at += 56 + struct.unpack_from("<I", payload, at + 52)[0]
        expect_equal(names, ["c.moh", "b.txt", "a.txt"], "entries of the packaged installer")


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
