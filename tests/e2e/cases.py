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
import hashlib
import struct
import subprocess
import sys
import tempfile
import time
import zlib
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


def expect_installed_files(ctx, prefix, code_page, is64, also_changed=()):
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
    changed = set(REGISTRATION_MODULES + ["setupw64.exe", "moracyzk.bak"]) | set(also_changed)
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
def companion_on_its_own(ctx):
    """64-bit Windows 7: the companion alone over an install directory with the
    two modules registers the input method that nothing has registered yet
    (the input-method library loaded at that call) and places the modules; run
    again without the 64-bit module, it names the module in a message (the
    window library loaded for it) and registers nothing more."""
    with wine.fresh_prefix(ctx.templates, "win7-64", "companion") as prefix:
        install = wine.host_path(prefix, INSTALL_DIR)
        install.mkdir(parents=True)
        companion = install / "setupw64.exe"
        companion.write_bytes(payload_file(ctx, "setupw64.exe"))
        (install / "morahu64.ime").write_bytes(payload_file(ctx, "morahu64.ime"))
        (install / "morahu32.ime").write_bytes(payload_file(ctx, "morahu4.ime"))
        with wine.xvfb() as display:
            first = wine.run_program(prefix, companion, "regmo32=" + INSTALL_DIR, ctx.winlist(prefix), display)
            (install / "morahu64.ime").unlink()
            second = wine.run_program(prefix, companion, "regmo32=" + INSTALL_DIR, ctx.winlist(prefix), display)
        wine.stop_server(prefix)
        expect_equal((first.exit_code, first.boxes), (0, []), "the first run")
        expect_equal((second.exit_code, second.boxes),
                     (0, [("智能墨川安装", "没有成功解压复制c:\\morahu2\\morahu64.ime文件！请重新下载安装。")]),
                     "the run without the 64-bit module")
        layouts = layouts_with(prefix, "Layout Text", LAYOUT_TEXT)
        expect(len(layouts) == 1, f"one layout of the input method, found {sorted(layouts)}")
        expect_equal(wine.read_file(prefix, "c:\\windows\\system32\\morahu4.ime"), payload_file(ctx, "morahu64.ime"),
                     "the 64-bit module in system32")
        expect_equal(wine.read_file(prefix, "c:\\windows\\syswow64\\morahu4.ime"), payload_file(ctx, "morahu4.ime"),
                     "the 32-bit module in syswow64")


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


QUESTION = "检测到安装目录下有智能墨川以前的词组等数据文件，是否保留？"
APPEARANCE_TITLE = {936: "智能墨川皮肤及窗口模式选择", 950: "智能墨川皮膚及窗口模式選擇"}
REQUIRED_BACKUP = ["moracyzk.bak", "cfontset.bak", "cwbzlcz1.bak", "mowbcmxz.bak", "modhzcm.bak", "moradhz.bak",
                   "mogbkhz.bak", "moszsj43.moh", "moradwdw.txt", "morazdym.moh", "mopyzdym.moh", "mowbpy.txt",
                   "moraynhz.txt", "morazdfh.moh"]
OPTIONAL_IN_PAYLOAD = ["ftmozdym.txt", "ftpyzdym.txt", "cwb.ov1", "morapymb.ov1", "mogbkbh.moh"]


def user_word_list():
    """A word list as the input method keeps it: GBK words of two characters,
    then the trailer "MORA", the sum of the characters' bytes, the count."""
    words = [bytes([0xB0 + i % 8, 0xA1 + i % 90, 0xC0 + i % 7, 0xA1 + i % 80]) for i in range(500)]
    text = b"".join(w + b"; " for w in words)
    return text + b"MORA" + struct.pack("<II", sum(b for w in words for b in w), len(words))


def user_files():
    """What a user of the earlier installation has in its directory: the files
    the input method makes, changed settings, an own word list and an optional file."""
    files = {name: f"user data {name}".encode() for name in
             ["cfontset.moh", "cwbzlcz1.moh", "mowbcmxz.moh", "modhzcm.moh", "moradhz.moh", "mogbkhz.moh",
              "userck.txt"]}
    files["moracyzk.moh"] = user_word_list()
    files["moszsj43.moh"] = bytes(range(200))
    return files


def backup_entries(ctx, prefix):
    archive = wine.read_file(prefix, INSTALL_DIR + "moraback.moz")
    expect(archive is not None, "moraback.moz in the install directory")
    with tempfile.NamedTemporaryFile(suffix=".moz") as copy:
        copy.write(archive)
        copy.flush()
        listing = subprocess.run([str(ctx.build.parent / "native" / "mozpack"), "list", copy.name],
                                 stdout=subprocess.PIPE).stdout.decode("latin-1")
    return [line.split()[0] for line in listing.splitlines()]


def install_answering(key, while_open=None):
    """A step: the confirm that installs, and the answer to the question about
    old data that follows it (Return: Yes, n: No); while_open() runs while the
    question waits, as another program might."""
    def step(desk):
        desk.click(*CONFIRM)

        def question():
            return next((w for w in wine.list_windows(desk.prefix, desk.winlist, desk.env)
                         if w.cls == "#32770" and w.visible and QUESTION in w.texts), None)
        desk.wait_until(lambda: question() is not None, "the question about old data", 180)
        if while_open is not None:
            while_open()
        box = question()
        desk.run.boxes.append((box.title, "\n".join(box.texts)))
        desk.key(key)
    return step


def finish_on_finish_page(desk):
    desk.wait_until(lambda: on_finish_page(desk), "the finish page", 120, answering=True)
    desk.click(*CONFIRM)
    desk.click(*CONFIRM)


@case
def user_data_backup_and_restore(ctx):
    """64-bit Windows 7 with an earlier installation whose files the user
    changed: the wizard's window packs them into moraback.moz; answering Yes
    brings them back byte for byte; answering No keeps the payload's copies and
    shows the appearance dialog, whose choice reaches moszsj43.moh."""
    installed = lambda name: wine.read_file(prefix, INSTALL_DIR + name)
    shots = ctx.build / "e2e-artifacts" / "user-data"
    with wine.fresh_prefix(ctx.templates, "win7-64", "user-data") as prefix:
        with wine.xvfb() as display:
            silent_install(ctx, prefix, display)
        wine.stop_server(prefix)
        mine = user_files()
        for name, data in mine.items():
            wine.host_path(prefix, INSTALL_DIR + name).write_bytes(data)

        run = run_wizard_install(ctx, prefix, [lambda desk: desk.click(*EXIT)], shots)
        expect_equal(run.boxes, [], "message boxes of the wizard opened and closed")
        expected = REQUIRED_BACKUP + ["userck.txt"] + OPTIONAL_IN_PAYLOAD
        expect_equal(backup_entries(ctx, prefix), expected, "entries of moraback.moz")

        run = run_wizard_install(ctx, prefix, [to_path_page, install_answering("Return"), finish_on_finish_page],
                                 shots)
        expect_equal(run.boxes, [("智能墨川安装", QUESTION), ("智能墨川", f"成功恢复了{len(expected)}个原有数据文件！"),
                                 ("智能墨川", FAREWELL)], "message boxes, keeping the old data")
        expect_equal(installed("moracyzk.bak"), mine["moracyzk.moh"], "the user's word list, byte for byte")
        expect_equal(installed("moszsj43.moh"), mine["moszsj43.moh"], "the user's settings record")
        expect_equal(installed("userck.txt"), mine["userck.txt"], "the user's optional file")

        run = run_wizard_install(ctx, prefix, [to_path_page, install_answering("n"),
                                               appearance([107, 112], shots / "appearance-936.png"),
                                               finish_on_finish_page], shots)
        expect_equal(run.boxes, [("智能墨川安装", QUESTION), ("智能墨川", FAREWELL)],
                     "message boxes, not keeping the old data")
        payload_words = payload_file(ctx, "moracyzk.bak")
        expect_equal(installed("moracyzk.bak")[:len(payload_words)], payload_words, "the payload's word list")
        settings = installed("moszsj43.moh")
        expect_equal(len(settings), 200, "length of moszsj43.moh")
        expect_equal((settings[0], settings[21]), (3, 1), "window mode bytes for Windows-style")
        expect_equal(settings[2:15], payload_file(ctx, "moszsj43.moh")[2:15], "the payload's record around them")
        skin = os.path.join(os.fsencode(ctx.build / "payload" / "files"), "小天使.moz".encode("gbk"))
        listing = subprocess.run([str(ctx.build.parent / "native" / "mozpack"), "list", skin],
                                 stdout=subprocess.PIPE).stdout.decode("latin-1")
        names = [line.split()[0] for line in listing.splitlines()]
        expect(names, "the skin archive lists its files")
        expect_equal([name for name in names if installed(name) is None], [], "the skin's files not installed")


@case
def appearance_dialog_code_page_950(ctx):
    """Code page 950: the traditional dialog PYKEYB; its default choice, and byte 15 of the settings record."""
    shots = ctx.build / "e2e-artifacts" / "user-data"
    with wine.fresh_prefix(ctx.templates, "win7-64", "appearance-950") as prefix:
        run = run_wizard_install(ctx, prefix, [to_path_page, lambda desk: desk.click(*CONFIRM),
                                               appearance((), shots / "appearance-950.png", 950),
                                               finish_on_finish_page], shots, 950)
        expect_equal(run.boxes, [("智能墨川", FAREWELL)], "message boxes")
        settings = wine.read_file(prefix, INSTALL_DIR + "moszsj43.moh")
        expect_equal((len(settings), settings[0], settings[15], settings[21]), (200, 0, 1, 0), "moszsj43.moh")


def moz(entries, layout=b"0", count=None):
    """A moz archive of (name, zlib data, content digest) entries as a hostile
    program would write it: names and lengths as given, the count as given."""
    body = b""
    for name, data, digest, length in entries:
        if layout == b"0":
            header = b"CF" + name.ljust(16, b"\0")[:16] + digest.ljust(32, b"\0")[:32] + b"\0\0"
        else:
            header = b"CF" + (name + b"\0").ljust(14, b"\0")[:14]
        body += header + struct.pack("<I", len(data) if length is None else length) + data
    entries_count = len(entries) if count is None else count
    return b"C" + layout + struct.pack("<II", 10 + len(body), entries_count) + body


def entry(name, content, data=None, digest=None, length=None):
    """An archive entry: the content compressed and its digest, unless given."""
    data = zlib.compress(content) if data is None else data
    digest = hashlib.md5(content).hexdigest().upper().encode() if digest is None else digest
    return name, data, digest, length


BOMB = bytes(2 * 1024 * 1024)
CUT = b"cut short " * 50

# A crafted backup (current layout): one sound entry among names leading out
# of the directory or to a device, a 2 MB bomb of zeros, an empty entry, a cut
# stream, a wrong digest, and last a length past the end; the count claims more.
HOSTILE_BACKUP = moz([
    entry(b"..\\evil1.txt", b"escaped upwards"),
    entry(b"userck.txt", b"crafted but sound"),
    entry(b"c:\\evil2.txt", b"escaped to a drive root"),
    entry(b"con.txt", b"written to a device"),
    entry(b"bomb.txt", BOMB, zlib.compress(BOMB, 9)),
    entry(b"delck.txt", b"", b""),
    entry(b"ftpyzdym.txt", CUT, zlib.compress(CUT)[:-8]),
    entry(b"cwb.ov1", b"the digest lies", digest=b"0" * 32),
    entry(b"mowbpy.txt", b"runs past the end", length=100000),
], count=12)
BACKUP_FAILED = [b"..\\evil1.txt", b"c:\\evil2.txt", b"con.txt", b"bomb.txt", b"delck.txt", b"ftpyzdym.txt",
                 b"cwb.ov1"]

# A crafted skin (older layout, no digests) of the same kinds.
SOUND_SKIN = b"a sound skin picture" * 20
HOSTILE_SKIN = moz([
    entry(b"..\\evil3.bmp", b"escaped upwards"),
    entry(b"skinok.bmp", SOUND_SKIN),
    entry(b"d:\\evil4.bmp", b"escaped to a drive root"),
    entry(b"nul.bmp", b"written to a device"),
    entry(b"bomb.bmp", BOMB, zlib.compress(BOMB, 9)),
    entry(b"empty.bmp", b"", b""),
    entry(b"cut.bmp", CUT, zlib.compress(CUT)[:-8]),
    entry(b"past.bmp", b"runs past the end", length=100000),
], layout=b"A", count=12)
SKIN_FAILED = [b"..\\evil3.bmp", b"d:\\evil4.bmp", b"nul.bmp", b"bomb.bmp", b"empty.bmp", b"cut.bmp"]
# The skin's check goes by length: a missing file passes for an empty entry.
SKIN_REPORTED = [b"..\\evil3.bmp", b"d:\\evil4.bmp", b"nul.bmp", b"bomb.bmp", b"cut.bmp"]



def extraction_failed(name):
    return f"没有成功解压复制{name.decode('gbk')}文件！请重新下载安装。"


def files_named_like(root, word):
    return sorted(str(p) for p in Path(root).rglob("*") if word in p.name.lower())


@case
def hostile_archives_while_the_question_is_open(ctx):
    """Crafted archives written into the install directory while the question
    about old data is open (as any program may, its integrity level lowered):
    Yes restores a crafted moraback.moz, No unpacks a crafted skin. Each bad
    entry is reported by name, the sound ones are written, the installation
    finishes, and no file appears outside the install directory."""
    shots = ctx.build / "e2e-artifacts" / "hostile"
    with wine.fresh_prefix(ctx.templates, "win7-64", "hostile") as prefix:
        with wine.xvfb() as display:
            silent_install(ctx, prefix, display)
        wine.stop_server(prefix)
        for name, data in user_files().items():
            wine.host_path(prefix, INSTALL_DIR + name).write_bytes(data)
        installed = lambda name: wine.read_file(prefix, INSTALL_DIR + name)

        def swap_backup():
            wine.host_path(prefix, INSTALL_DIR + "moraback.moz").write_bytes(HOSTILE_BACKUP)

        run = run_wizard_install(ctx, prefix, [to_path_page, install_answering("Return", swap_backup),
                                               finish_on_finish_page], shots)
        texts = [text for _, text in run.boxes]
        failed = len(BACKUP_FAILED)
        expect_equal(texts[:1 + failed], [QUESTION] + [extraction_failed(n) for n in BACKUP_FAILED],
                     "the question, then each bad entry of the backup by name")
        closing = texts[1 + failed] if len(texts) > 1 + failed else ""
        for name in BACKUP_FAILED:
            expect(name.decode("gbk") + "...." in closing, f"{name} in the restore's closing report: {closing!r}")
        expect("原有数据文件没有成功复制，原有数据不能使用！" in closing, f"the restore's closing report: {closing!r}")
        expect_equal(texts[2 + failed:], [FAREWELL], "the installation finishes")
        expect_equal(installed("userck.txt"), b"crafted but sound", "the sound entry of the backup")
        expect(installed("moraback.pending") is not None, "a restore that failed is offered again")

        skin_name = "小天使.moz"
        skin_bytes = (ctx.build / "payload" / "files").joinpath(os.fsdecode(skin_name.encode("gbk"))).read_bytes()
        folder = wine.host_path(prefix, INSTALL_DIR)
        skin_path = next(p for p in folder.iterdir() if p.suffix == ".moz" and p.read_bytes() == skin_bytes)

        def swap_skin():
            skin_path.write_bytes(HOSTILE_SKIN)

        run = run_wizard_install(ctx, prefix, [to_path_page, install_answering("n", swap_skin),
                                               appearance([112], shots / "hostile-appearance.png"),
                                               finish_on_finish_page], shots)
        texts = [text for _, text in run.boxes]
        expect_equal(texts[0], QUESTION, "the question about the kept backup")
        expect(skin_name + "...." in texts[1] and "上述文件没有成功复制，请重新下载安装！" in texts[1],
               f"the payload's check names the swapped skin: {texts[1]!r}")
        failed = len(SKIN_FAILED)
        expect_equal(texts[2:2 + failed], [extraction_failed(n) for n in SKIN_FAILED], "each bad entry of the skin")
        report = texts[2 + failed] if len(texts) > 2 + failed else ""
        expect("皮肤文件没有成功复制，请重新安装皮肤文件！" in report, f"the skin's check: {report!r}")
        for name in SKIN_REPORTED:
            expect(name.decode("gbk") + "...." in report, f"{name} in the skin's report: {report!r}")
        expect_equal(texts[3 + failed:], [FAREWELL], "the installation finishes")
        expect_equal(installed("skinok.bmp"), SOUND_SKIN, "the sound entry of the skin")
        expect(installed("moraback.pending") is None, "No leaves the old data behind")

        expect_equal(files_named_like(prefix, "evil"), [], "files of the crafted names anywhere in the prefix")
        devices = [p.name for p in folder.iterdir() if p.name.lower().split(".")[0] in ("con", "nul")]
        expect_equal(devices, [], "device names written as files")


FAREWELL = "安装完毕，如不能使用，请重新启动计算机！"
REFUSED = "智能墨川不能安装在你设定的路径下，请重新设定路径！"
PATH_BOX = (200, 205)  # a client point inside the install-path box


def to_path_page(desk):
    desk.click(*CONFIRM)
    desk.click(*CONFIRM)


def type_path(desk, path):
    """Replaces the text of the install-path box."""
    desk.click(*PATH_BOX)
    desk.key("End")
    desk.key(*["BackSpace"] * 40)
    desk.type(path)


def appearance(clicks=(), shot=None, code_page=936):
    """A step: waits for the appearance dialog, clicks its controls, OK."""
    def step(desk):
        title = APPEARANCE_TITLE[code_page]
        desk.wait_until(lambda: desk.dialog(title) is not None, "the appearance dialog", 180, answering=True)
        dialog = desk.dialog(title)
        for control in clicks:
            desk.click_control(dialog, control)
        if shot:
            wine.window_picture(desk.env, dialog.rect, shot)
        desk.click_control(dialog, 105)
    return step


def on_finish_page(desk):
    """The finish page has emptied the install-path box for the typing test."""
    return INSTALL_DIR not in desk.wizard().texts


def run_wizard_install(ctx, prefix, steps, shots, code_page=936):
    with wine.xvfb() as display:
        run = wine.run_wizard(prefix, ctx.build / "morasetup.exe", "", ctx.winlist(prefix), display, steps,
                              code_page=code_page, shots=shots, dialogs=APPEARANCE_TITLE.values())
        wine.wait_for_program(prefix, "setupw64.exe", ctx.winlist(prefix), display, run, code_page)
    wine.stop_server(prefix)
    expect_equal(run.exit_code, 0, "exit code")
    return run


def expect_complete_installation(ctx, prefix, is64, skin):
    expect_installed_files(ctx, prefix, 936, is64, {"moszsj43.moh"})
    expect_system_files(ctx, prefix, is64)
    expect_records(prefix, is64)
    listing = subprocess.run([str(ctx.build.parent / "native" / "mozpack"), "list",
                              os.path.join(os.fsencode(ctx.build / "payload" / "files"), skin.encode("gbk"))],
                             stdout=subprocess.PIPE).stdout.decode("latin-1")
    missing = [line.split()[0] for line in listing.splitlines()
               if wine.read_file(prefix, INSTALL_DIR + line.split()[0]) is None]
    expect_equal(missing, [], f"files of the skin {skin} in the install directory")


@case
def wizard_install_on_windows7_64(ctx):
    """64-bit Windows 7, a fresh machine, clicked through as a person would: the
    pages, a skin chosen, the working page, the finish page after 1.6 s with an
    empty name box, two confirms, the farewell; the installation is complete."""
    shots = ctx.build / "e2e-artifacts" / "install-7-64"
    seen = {}

    def welcome(desk):
        desk.window_shot(shots / "1-welcome.png")
        desk.click(*CONFIRM)

    def addresses(desk):
        desk.window_shot(shots / "2-addresses.png")
        desk.click(*CONFIRM)

    def path(desk):
        desk.window_shot(shots / "3-install-path.png")
        desk.click(*CONFIRM)

    def finish(desk):
        desk.window_shot(shots / "5-working.png")
        desk.wait_until(lambda: on_finish_page(desk), "the finish page", 60)
        desk.window_shot(shots / "6-finish.png")
        seen["texts"] = desk.wizard().texts
        desk.click(*CONFIRM)
        desk.click(*CONFIRM)

    with wine.fresh_prefix(ctx.templates, "win7-64", "wizard-7-64") as prefix:
        run = run_wizard_install(ctx, prefix, [welcome, addresses, path,
                                               appearance([111], shots / "4-appearance.png"), finish], shots)
        expect_equal(run.boxes, [("智能墨川", FAREWELL)], "message boxes")
        expect(all(text == "" for text in seen["texts"]), f"an empty name box on the finish page: {seen['texts']}")
        expect_complete_installation(ctx, prefix, True, "粉色瓷面.moz")


@case
def wizard_install_on_windowsxp_32(ctx):
    """32-bit Windows XP: no finish page; the farewell right after the install steps."""
    shots = ctx.build / "e2e-artifacts" / "install-xp-32"
    with wine.fresh_prefix(ctx.templates, "winxp-32", "wizard-xp") as prefix:
        run = run_wizard_install(ctx, prefix, [to_path_page, lambda desk: desk.click(*CONFIRM), appearance()], shots)
        expect_equal(run.boxes, [("智能墨川", FAREWELL)], "message boxes")
        expect_complete_installation(ctx, prefix, False, "冷色瓷面.moz")


@case
def wizard_refused_path(ctx):
    """A refused path (d:\\a\\b): the message, c:\\morahu2\\ back in the box, still
    on the install-path page; then c:\\mora ime, with a space, installs there."""
    shots = ctx.build / "e2e-artifacts" / "refused-path"
    seen = {}

    def refused(desk):
        type_path(desk, "d:\\a\\b")
        desk.click(*CONFIRM)

    def back_on_path_page(desk):
        seen["texts"] = desk.wizard().texts
        desk.window_shot(shots / "path-again.png")
        type_path(desk, "c:\\mora ime")
        desk.click(*CONFIRM)

    with wine.fresh_prefix(ctx.templates, "winxp-32", "refused-path") as prefix:
        run = run_wizard_install(ctx, prefix, [to_path_page, refused, back_on_path_page, appearance()], shots)
        expect_equal(run.boxes, [("智能墨川", REFUSED), ("智能墨川", FAREWELL)], "message boxes")
        expect(INSTALL_DIR in seen["texts"], f"c:\\morahu2\\ back in the box: {seen['texts']}")
        expect(wine.read_file(prefix, "c:\\mora ime\\morahu32.ime") is not None, "installed into c:\\mora ime\\")
        expect_equal(wine.registry_value(prefix, "HKLM", CURRENT_VERSION + "\\Run", "momcsjgl"),
                     '"c:\\mora ime\\moraqovi.exe" mo', "the autorun value, quoted")
        expect_equal(wine.registry_value(prefix, "HKLM", "Software\\morawb", "path"), "c:\\mora ime\\",
                     "the install-path record")


@case
def wizard_programs_using_the_input_method(ctx):
    """A program whose window owns a window of the class UIQOVI: the list of
    programs names it and nothing is installed; after it ends, the next
    confirm installs."""
    shots = ctx.build / "e2e-artifacts" / "in-use"
    title = "墨川测试编辑器"
    with wine.fresh_prefix(ctx.templates, "winxp-32", "in-use") as prefix:
        ready, stop = wine.host_path(prefix, "c:\\ready"), wine.host_path(prefix, "c:\\stop")
        seen = {}
        with wine.xvfb() as display:
            user = subprocess.Popen([wine.wine_for(prefix), str(ctx.build / "ime_user.exe"), title, "c:\\ready",
                                     "c:\\stop"], env=wine.base_env(prefix, 936, display), stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            try:
                deadline = time.time() + 60
                while not ready.exists() and user.poll() is None and time.time() < deadline:
                    time.sleep(0.2)
                expect(ready.exists(), "the program using the input method did not start")

                def first_confirm(desk):
                    desk.click(*CONFIRM)

                def after_closing(desk):
                    seen["installed"] = wine.read_file(prefix, INSTALL_DIR + "morahu32.ime") is not None
                    stop.touch()
                    user.wait(timeout=60)
                    desk.click(*CONFIRM)

                run = wine.run_wizard(prefix, ctx.build / "morasetup.exe", "", ctx.winlist(prefix), display,
                                      [to_path_page, first_confirm, after_closing, appearance()], shots=shots,
                                      dialogs=APPEARANCE_TITLE.values())
            finally:
                stop.touch()
                if user.poll() is None:
                    user.kill()
        wine.stop_server(prefix)
        expect_equal(run.exit_code, 0, "exit code")
        expect_equal(len(run.boxes), 2, f"two message boxes: {run.boxes}")
        expect(f"　　1：{title}" in run.boxes[0][1] and "请关闭使上述软件后再继续安装" in run.boxes[0][1],
               f"the list of programs: {run.boxes[0]}")
        expect_equal(seen["installed"], False, "nothing installed while the program runs")
        expect_equal(run.boxes[1], ("智能墨川", FAREWELL), "the farewell after the second confirm")


@case
def wizard_report_of_removed_files(ctx):
    """64-bit Windows 7: the Pinyin word lists removed while the finish page is
    shown; the report names the first failing check, with its codes."""
    shots = ctx.build / "e2e-artifacts" / "report"

    def remove_and_finish(desk):
        desk.wait_until(lambda: on_finish_page(desk), "the finish page", 60)
        for name in ("morapyck.bak", "morapyck.mou"):
            wine.host_path(desk.prefix, INSTALL_DIR + name).unlink()
        desk.click(*EXIT)

    with wine.fresh_prefix(ctx.templates, "win7-64", "report") as prefix:
        run = run_wizard_install(ctx, prefix, [to_path_page, lambda desk: desk.click(*CONFIRM), appearance(),
                                               remove_and_finish], shots)
        expect_equal(len(run.boxes), 1, f"one message box: {run.boxes}")
        caption, text = run.boxes[0]
        expect_equal(caption, "智能墨川", "caption of the report")
        expect("错误为：无拼音词库文件！" in text and "FR1--1400;FR2--2;" in text, f"the report: {text}")


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
    expect_appearance_dialogs(resources)


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


def dialog_template(data):
    """A DIALOGEX resource: (style, (x, y, cx, cy), caption, (points, weight, charset, face), controls), each
    control (id, class, style, (x, y, cx, cy), text)."""
    at = 0

    def text():
        nonlocal at
        end = at
        while data[end:end + 2] != b"\0\0":
            end += 2
        value = data[at:end].decode("utf-16-le")
        at = end + 2
        return value

    def name_or_ordinal():
        nonlocal at
        if struct.unpack_from("<H", data, at)[0] == 0xFFFF:
            at += 4
            return {0x80: "Button", 0x81: "Edit", 0x82: "Static"}.get(struct.unpack_from("<H", data, at - 2)[0], "?")
        return text()

    _, _, _, _, style, count = struct.unpack_from("<HHIIIH", data, 0)
    at = 18
    rect = tuple(struct.unpack_from("<hhhh", data, at))
    at += 8
    name_or_ordinal(), name_or_ordinal()
    caption = text()
    points, weight, _, charset = struct.unpack_from("<HHBB", data, at)
    at += 6
    font = (points, weight, charset, text())
    controls = []
    for _ in range(count):
        at = (at + 3) & ~3
        _, _, item_style = struct.unpack_from("<III", data, at)
        item_rect = tuple(struct.unpack_from("<hhhh", data, at + 12))
        item_id = struct.unpack_from("<i", data, at + 20)[0]
        at += 24
        item_class = name_or_ordinal()
        item_text = name_or_ordinal()
        extra = struct.unpack_from("<H", data, at)[0]
        at += 2 + extra
        controls.append((item_id, item_class, item_style, item_rect, item_text))
    return style, rect, caption, font, controls


APPEARANCE_CONTROLS = [  # id, class, style, rectangle, simplified text, traditional text
    (105, "BUTTON", 0x50010001, (88, 117, 44, 14), "确定", "確定"),
    (-1, "BUTTON", 0x50000007, (6, 8, 204, 39), "输入法状态窗口模式选择", "輸入法狀態窗口模式選擇"),
    (-1, "BUTTON", 0x50000007, (6, 54, 204, 39), "输入法皮肤选择", "輸入法皮膚選擇"),
    (101, "BUTTON", 0x50000009, (15, 25, 44, 10), "双行窗口", "雙行窗口"),
    (102, "BUTTON", 0x50000009, (66, 25, 44, 10), "单行窗口", "單行窗口"),
    (106, "BUTTON", 0x50000009, (113, 25, 36, 10), "双窗口", "雙窗口"),
    (107, "BUTTON", 0x50000009, (155, 25, 48, 10), "仿WIN窗口", "仿WIN窗口"),
    (110, "BUTTON", 0x50000009, (15, 72, 48, 10), "冷色瓷面", "冷色瓷面"),
    (111, "BUTTON", 0x50000009, (84, 72, 48, 10), "粉色瓷面", "粉色瓷面"),
    (112, "BUTTON", 0x50000009, (150, 71, 40, 10), "小天使", "小天使"),
    (-1, "STATIC", 0x50020000, (13, 99, 145, 8), "注：你也可在安装完毕后改变这些参数。", "注：你也可在安裝完畢后改變這些參數。"),
]


def expect_appearance_dialogs(resources):
    """Both templates: a modal frame, caption, system menu and font (styles 0xC800C0), at 10, 15, 219 x 140."""
    for name, caption, font, column in [("PYKEY", "智能墨川皮肤及窗口模式选择", (12, 400, 134, "宋体"), 4),
                                        ("PYKEYB", "智能墨川皮膚及窗口模式選擇", (10, 400, 1, "System"), 5)]:
        expect(("5", name) in resources, f"dialog {name} among {sorted(resources)}")
        style, rect, found_caption, found_font, controls = dialog_template(resources[("5", name)])
        expect_equal((style, rect, found_caption, found_font), (0xC800C0, (10, 15, 219, 140), caption, font),
                     f"dialog {name}")
        expect_equal(controls, [row[:4] + (row[column],) for row in APPEARANCE_CONTROLS], f"controls of {name}")


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
