"""Running Windows programs under Wine for the end-to-end tests.

Prefix templates are made once per test run; every case works in a fresh copy
of one and deletes it afterwards. Programs that may open windows run under
their own Xvfb with Wine's virtual desktop, so that message boxes can be found
with the winlist helper and answered with a key press, as a person would.
"""

import contextlib
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

WINE_BIN = Path("/usr/lib/wine")
TEMPLATE_KINDS = {
    # name: (WINEARCH, Windows version, what it stands for)
    "win7-64": ("win64", "win7", "64-bit Windows 7"),
    "winxp-32": ("win32", "winxp", "32-bit Windows XP"),
}
# Raised whenever make_template changes: older templates are made again.
TEMPLATE_VERSION = 2
LOCALES = {936: "zh_CN.UTF-8", 950: "zh_TW.UTF-8"}
REGISTRY_FILES = {"HKLM": "system.reg", "HKCU": "user.reg", "HKU\\.DEFAULT": "userdef.reg"}
FONT_REPLACEMENTS = ["SimSun", "NSimSun", "MingLiU", "PMingLiU", "MS Shell Dlg", "MS Shell Dlg 2", "KaiTi",
                     "SimHei"]


class WineError(Exception):
    pass


def base_env(prefix, code_page=936, display=None):
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": str(prefix),
        "WINEDEBUG": "-all",
        # No Mono or Gecko to install, and no debugger waiting on a crashed helper.
        "WINEDLLOVERRIDES": "mscoree,mshtml=;winedbg.exe=d",
        "LC_ALL": LOCALES[code_page],
        "LANG": LOCALES[code_page],
        "PATH": f"{WINE_BIN}:{env.get('PATH', '')}",
    })
    env.pop("DISPLAY", None)
    if display is not None:
        env["DISPLAY"] = display
    return env


def wine_for(prefix):
    """The loader that starts programs in this prefix: wine64 runs 32-bit ones
    too in a 64-bit prefix."""
    return str(WINE_BIN / ("wine" if arch_of(prefix) == "win32" else "wine64"))


def arch_of(prefix):
    text = (Path(prefix) / "system.reg").read_text(errors="replace")
    return "win32" if "#arch=win32" in text else "win64"


def stop_server(prefix):
    subprocess.run([str(WINE_BIN / "wineserver"), "-k"], env=base_env(prefix), timeout=60,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([str(WINE_BIN / "wineserver"), "-w"], env=base_env(prefix), timeout=60,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_template(root, kind):
    """Makes one prefix template under root; returns its path."""
    arch, version, _ = TEMPLATE_KINDS[kind]
    path = Path(root).resolve() / kind
    stamp = f"{kind} {TEMPLATE_VERSION}"
    if (path / ".complete").exists() and (path / ".complete").read_text() == stamp:
        return path
    path.parent.mkdir(parents=True, exist_ok=True)
    # Under qemu's emulation of 32-bit programs a first start now and then
    # hangs; a fresh try goes through.
    for attempt in range(3):
        shutil.rmtree(path, ignore_errors=True)
        env = base_env(path)
        env["WINEARCH"] = arch
        loader = str(WINE_BIN / ("wine" if arch == "win32" else "wine64"))
        try:
            result = subprocess.run([loader, "wineboot", "-i"], env=env, timeout=150, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT, text=True, errors="replace")
            output, code = result.stdout, result.returncode
        except subprocess.TimeoutExpired:
            output, code = "(timed out)", None
        stop_server(path)
        if code == 0 and (path / "user.reg").exists():
            break
    else:
        raise WineError(f"wineboot for {kind} failed three times ({code}): {output[-2000:]}")
    append_registry(path / "user.reg", {
        "Software\\Wine": {"Version": version},
        "Software\\Wine\\Explorer": {"Desktop": "Default"},
        "Software\\Wine\\Explorer\\Desktops": {"Default": "800x600"},
        "Software\\Wine\\Fonts\\Replacements": {name: "WenQuanYi Zen Hei" for name in FONT_REPLACEMENTS},
    })
    # Windows comes with the browser's User Agent key, which a Wine prefix
    # lacks; the installer's version marker goes under it.
    agent = "Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent"
    views = ["Software\\"] + (["Software\\Wow6432Node\\"] if arch == "win64" else [])
    append_registry(path / "system.reg", {view + agent: {"": "Mozilla/4.0 (compatible; MSIE 8.0)"} for view in views})
    (path / ".complete").write_text(stamp)
    return path


def append_registry(reg_file, keys):
    """Adds string values to a registry file of a stopped prefix; the name ""
    is the key's default value."""
    lines = []
    for key, values in keys.items():
        lines.append("")
        lines.append(f"[{escape(key)}] {int(time.time())}")
        for name, value in values.items():
            label = "@" if name == "" else f'"{escape(name)}"'
            lines.append(f'{label}="{escape(value)}"')
    with open(reg_file, "a", encoding="ascii") as f:
        f.write("\n".join(lines) + "\n")


def rewrite_registry(prefix, root, trees, keys):
    """In a stopped prefix: removes the keys under each of trees (the keys
    themselves included) from the registry file of root, then adds keys."""
    reg_file = Path(prefix) / REGISTRY_FILES[root]
    lowered = [t.lower() for t in trees]
    kept, dropping = [], False
    for line in reg_file.read_text(encoding="utf-8", errors="replace").splitlines():
        if line.startswith("["):
            name = unescape(line[1:line.rindex("]")]).lower()
            dropping = any(name == t or name.startswith(t + "\\") for t in lowered)
        if not dropping:
            kept.append(line)
    reg_file.write_text("\n".join(kept) + "\n", encoding="utf-8")
    append_registry(reg_file, keys)


def escape(text):
    out = []
    for ch in text:
        if ch in '\\"':
            out.append("\\" + ch)
        elif ord(ch) < 32 or ord(ch) > 126:
            out.append("\\x%04x" % ord(ch))
        else:
            out.append(ch)
    return "".join(out)


@contextlib.contextmanager
def fresh_prefix(templates, kind, name):
    """A copy of a template for one case, stopped and deleted afterwards."""
    template = make_template(templates, kind)
    work = Path(tempfile.mkdtemp(prefix=f"{name}.", dir=Path(templates).resolve().parent))
    prefix = work / "prefix"
    subprocess.run(["cp", "-a", str(template), str(prefix)], check=True)
    try:
        yield prefix
    finally:
        stop_server(prefix)
        shutil.rmtree(work, ignore_errors=True)


@contextlib.contextmanager
def xvfb():
    """A private X display; yields its name (":N")."""
    read_end, write_end = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
                             "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        number = b""
        deadline = time.time() + 20
        while not number.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            raise WineError("Xvfb did not start")
        yield ":" + number.decode().strip()
    finally:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()


# ---------------------------------------------------------------- windows and message boxes

class Window:
    def __init__(self, line):
        parts = line.rstrip("\r\n").split("\t")
        self.handle, self.process, visible, self.cls, rect, self.title, origin = parts[:7]
        self.visible = visible == "1"
        self.rect = tuple(int(v) for v in rect.split())
        self.client = tuple(int(v) for v in origin.split())
        self.texts = parts[7:]

    def __repr__(self):
        return f"<{self.cls} {self.title!r} {self.texts!r}>"


def list_windows(prefix, winlist, env):
    result = subprocess.run([wine_for(prefix), str(winlist)], env=env, timeout=60, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL)
    text = result.stdout.decode("utf-8", errors="replace")
    return [Window(line) for line in text.splitlines() if line.count("\t") >= 6]


class Control:
    def __init__(self, line):
        parts = line.rstrip("\r\n").split("\t")
        self.window, control_id, self.cls, rect = parts[:4]
        self.id = int(control_id)
        self.rect = tuple(int(v) for v in rect.split())
        self.text = parts[4] if len(parts) > 4 else ""

    def centre(self):
        left, top, right, bottom = self.rect
        return (left + right) // 2, (top + bottom) // 2


def list_controls(prefix, winlist, env):
    """The controls of the visible top-level windows, screen coordinates."""
    result = subprocess.run([wine_for(prefix), str(winlist), "controls"], env=env, timeout=60, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL)
    text = result.stdout.decode("utf-8", errors="replace")
    return [Control(line) for line in text.splitlines() if line.count("\t") >= 4]


def click_at(env, x, y):
    """A left click at screen coordinates, which are the X root's under Wine's virtual desktop."""
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], env=env, timeout=20)
    time.sleep(0.5)


def window_picture(env, rect, path):
    """A picture of the screen's rectangle (left, top, right, bottom)."""
    Path(path).parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["import", "-window", "root", str(path)], env=env, timeout=30, check=True)
    left, top, right, bottom = rect
    subprocess.run(["convert", str(path), "-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage",
                    str(path)], timeout=30, check=True)


class Run:
    """What a program did: its exit code and the message boxes it showed."""

    def __init__(self):
        self.exit_code = None
        self.boxes = []  # (caption, text)


def run_program(prefix, exe, args, winlist, display, code_page=936, timeout=120):
    """Runs exe with args (one string, the command line's rest) and answers each
    message box it shows with a key press; returns a Run."""
    return run_wizard(prefix, exe, args, winlist, display, None, code_page, timeout)


def run_console(prefix, exe, args, code_page=936, timeout=300):
    """Runs a console program without a display; returns (exit code, what it
    printed). What Wine and its helper processes say goes to the log on
    standard error, not into the result."""
    result = subprocess.run([wine_for(prefix), str(exe)] + list(args), env=base_env(prefix, code_page),
                            timeout=timeout, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    sys.stderr.write(result.stderr.decode("utf-8", errors="replace"))
    return result.returncode, result.stdout.decode("utf-8", errors="replace").replace("\r\n", "\n")


class Desk:
    """What a person at the wizard does: look, click, type, take pictures."""

    def __init__(self, prefix, winlist, env, run, seen):
        self.prefix, self.winlist, self.env, self.run, self.seen = prefix, winlist, env, run, seen

    def wizard(self, timeout=60):
        deadline = time.time() + timeout
        while time.time() < deadline:
            for w in list_windows(self.prefix, self.winlist, self.env):
                if w.cls == "installWClass" and w.visible:
                    return w
            time.sleep(0.3)
        raise WineError("the wizard window did not appear")

    def click(self, x, y):
        """A left click at client coordinates of the wizard."""
        origin = self.wizard().client
        subprocess.run(["xdotool", "mousemove", str(origin[0] + x), str(origin[1] + y), "click", "1"], env=self.env,
                       timeout=20)
        time.sleep(1.0)

    def key(self, *keys):
        subprocess.run(["xdotool", "key"] + list(keys), env=self.env, timeout=20)
        time.sleep(0.3)

    def wait_until(self, condition, what, timeout=60, answering=False):
        """Waits for condition() to hold; answering the message boxes that
        appear meanwhile, or leaving them to the caller."""
        deadline = time.time() + timeout
        while not condition():
            if time.time() > deadline:
                raise WineError(f"waited {timeout} s for {what}; boxes so far: {self.run.boxes}")
            if answering:
                answer_boxes(self.prefix, self.winlist, self.env, self.run, self.seen, self.shots, self.dialogs)
            time.sleep(0.3)

    def dialog(self, title):
        """The visible dialog of that title, or None."""
        return next((w for w in list_windows(self.prefix, self.winlist, self.env)
                     if w.cls == "#32770" and w.visible and w.title == title), None)

    def click_control(self, window, control_id):
        controls = {c.id: c for c in list_controls(self.prefix, self.winlist, self.env) if c.window == window.handle}
        click_at(self.env, *controls[control_id].centre())

    def type(self, text):
        subprocess.run(["xdotool", "type", "--delay", "40", text], env=self.env, timeout=60)
        time.sleep(0.5)

    def screenshot(self, path):
        Path(path).parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["import", "-window", "root", str(path)], env=self.env, timeout=30, check=True)

    def window_shot(self, path):
        """A picture of the wizard window alone."""
        self.screenshot(path)
        left, top, right, bottom = self.wizard().rect
        subprocess.run(["convert", str(path), "-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage",
                        str(path)], timeout=30, check=True)

    def pixel(self, x, y, shot):
        """The colour (r, g, b) at client (x, y) in a screenshot taken now."""
        self.screenshot(shot)
        origin = self.wizard().client
        result = subprocess.run(["convert", str(shot), "-format", f"%[pixel:p{{{origin[0] + x},{origin[1] + y}}}]",
                                 "info:"], stdout=subprocess.PIPE, text=True, timeout=30)
        values = re.findall(r"\d+", result.stdout)
        return tuple(int(v) for v in values[:3])


def run_wizard(prefix, exe, args, winlist, display, steps, code_page=936, timeout=300, shots=None, dialogs=()):
    """Runs exe, waits for its wizard, then performs the steps (each a callable
    taking a Desk) in order; with steps None it waits for no wizard. Message
    boxes are recorded, pictured into shots when given, and answered with
    Return throughout, except dialogs titled as in `dialogs`, which the steps
    handle. Returns a Run once the program has ended."""
    env = base_env(prefix, code_page, display)
    run = Run()
    proc = subprocess.Popen([wine_for(prefix), str(exe)] + ([args] if args else []), env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    seen = set()
    desk = Desk(prefix, winlist, env, run, seen)
    desk.shots, desk.dialogs = shots, dialogs
    deadline = time.time() + timeout
    try:
        if steps is not None:
            desk.wizard()
            for step in steps:
                step(desk)
                answer_boxes(prefix, winlist, env, run, seen, shots, dialogs)
        while proc.poll() is None:
            if time.time() > deadline:
                raise WineError(f"{exe} {args} did not end within {timeout} s; boxes so far: {run.boxes}")
            answer_boxes(prefix, winlist, env, run, seen, shots, dialogs)
            time.sleep(0.2)
        run.exit_code = proc.returncode
    finally:
        if proc.poll() is None:
            proc.kill()
    return run


def running(prefix, program):
    """The host processes of the prefix whose command line names program."""
    found = []
    wanted = f"WINEPREFIX={prefix}".encode()
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            command = (entry / "cmdline").read_bytes().lower()
            environment = (entry / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if program.lower().encode() in command and wanted in environment:
            found.append(int(entry.name))
    return found


def wait_for_program(prefix, program, winlist, display, run, code_page=936, timeout=120):
    """Waits until no process of the prefix runs program (one that the program
    under test started and left running), answering its message boxes into
    run.boxes."""
    env = base_env(prefix, code_page, display)
    deadline = time.time() + timeout
    seen = set()
    while running(prefix, program):
        if time.time() > deadline:
            raise WineError(f"{program} still running after {timeout} s; boxes so far: {run.boxes}")
        answer_boxes(prefix, winlist, env, run, seen)
        time.sleep(0.3)


def answer_boxes(prefix, winlist, env, run, seen, shots=None, dialogs=()):
    """Records each new message box into run.boxes (with a picture of it in
    shots, when given) and answers it with Return; dialogs with a title of
    `dialogs` are left to the steps."""
    for w in list_windows(prefix, winlist, env):
        if w.cls == "#32770" and w.visible and w.handle not in seen and w.title not in dialogs:
            seen.add(w.handle)
            w = settled(prefix, winlist, env, w)
            run.boxes.append((w.title, "\n".join(w.texts)))
            if shots is not None:
                window_picture(env, w.rect, Path(shots) / f"box-{len(run.boxes)}.png")
            time.sleep(0.2)
            subprocess.run(["xdotool", "key", "Return"], env=env, timeout=20)


def settled(prefix, winlist, env, box, timeout=3.0):
    """The box once its texts are there: a box just made visible may not have
    its text control yet."""
    deadline = time.time() + timeout
    while not box.texts and time.time() < deadline:
        time.sleep(0.3)
        again = [w for w in list_windows(prefix, winlist, env) if w.handle == box.handle]
        if not again:
            break
        box = again[0]
    return box


# ---------------------------------------------------------------- registry and files of a prefix

def read_registry(prefix, root):
    """The keys of a stopped prefix's registry file: {lower-case key: {lower-case
    name: str or bytes}}. root is HKLM, HKCU or HKU\\.DEFAULT."""
    text = (Path(prefix) / REGISTRY_FILES[root]).read_text(encoding="utf-8", errors="replace")
    keys, current = {}, None
    for line in text.splitlines():
        if line.startswith("["):
            name = unescape(line[1:line.rindex("]")])
            current = keys.setdefault(name.lower(), {})
        elif current is not None and line.startswith(('"', "@")):
            name, value = split_value(line)
            current[name.lower()] = value
    return keys


def split_value(line):
    if line.startswith("@"):
        name, rest = "", line[2:]
    else:
        end = 1
        while line[end] != '"':
            end += 2 if line[end] == "\\" else 1
        name, rest = unescape(line[1:end]), line[end + 2:]
    if rest.startswith('"'):
        return name, unescape(rest[1:-1])
    if rest.startswith("str:"):
        return name, unescape(rest[5:-1])
    match = re.match(r"hex\((\w+)\):(.*)", rest) or re.match(r"hex:(.*)", rest)
    if match:
        data = bytes(int(b, 16) for b in match.groups()[-1].replace("\\", "").split(",") if b.strip())
        if match.re.pattern.startswith("hex\\(") and match.group(1) in ("1", "2"):
            return name, data.decode("utf-16-le").split("\0")[0]
        return name, data
    return name, rest


def unescape(text):
    out, i = [], 0
    while i < len(text):
        ch = text[i]
        if ch == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            if nxt == "x":
                match = re.match(r"[0-9a-fA-F]{1,4}", text[i + 2:])
                out.append(chr(int(match.group(0), 16)))
                i += 2 + len(match.group(0))
                continue
            out.append({"n": "\n", "r": "\r", "t": "\t", "0": "\0"}.get(nxt, nxt))
            i += 2
            continue
        out.append(ch)
        i += 1
    return "".join(out)


def registry_value(prefix, root, key, name, view32=True):
    """A value as a 32-bit program sees it (HKLM\\Software is redirected in a
    64-bit prefix), or None."""
    if view32 and root == "HKLM" and arch_of(prefix) == "win64" and key.lower().startswith("software\\"):
        key = "Software\\Wow6432Node\\" + key[len("software\\"):]
    return read_registry(prefix, root).get(key.lower(), {}).get(name.lower())


def host_path(prefix, windows_path):
    """The host path of c:\\... in a prefix, matched without regard to case."""
    assert windows_path[1:3] == ":\\", windows_path
    path = Path(prefix) / "dosdevices" / (windows_path[0].lower() + ":")
    path = path.resolve()
    for part in windows_path[3:].split("\\"):
        if not part:
            continue
        match = None
        if path.is_dir():
            match = next((p for p in path.iterdir() if p.name.lower() == part.lower()), None)
        path = match if match is not None else path / part
    return path


def read_file(prefix, windows_path):
    path = host_path(prefix, windows_path)
    return path.read_bytes() if path.is_file() else None
